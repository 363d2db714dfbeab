// Prints what opening a connection to user2.db costs, now that each connection registers
// the name order and creates its own date and name-key triggers, and what an insert of a
// test specification costs with them.
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <cstdio>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!UserSchema::CreateUserDatabase(dir.path(), QStringLiteral("3.2")))
        return 1;
    QElapsedTimer timer;
    timer.start();
    int opens = 0;
    while (timer.elapsed() < 1000) {
        CAdoDatabase db;
        if (!db.Open(dir.path(), UserSchema::FileName()))
            return 1;
        ++opens;
    }
    const double openUs = timer.nsecsElapsed() / 1e3 / opens;

    CAdoDatabase db;
    db.Open(dir.path(), UserSchema::FileName());
    CTransaction trans(db);
    timer.restart();
    const int inserts = 20000;
    for (int i = 0; i < inserts; ++i)
        db.Execute(QStringLiteral("INSERT INTO TypenTab (Name, CreateDate) VALUES ('Prüfung %1', '2020-2-1')")
                       .arg(i));
    const double insertUs = timer.nsecsElapsed() / 1e3 / inserts;
    trans.Commit();
    std::printf("open user2.db: %.1f us per connection (%d in 1 s)\n", openUs, opens);
    std::printf("insert into TypenTab with key and date normalising: %.1f us per row (%d rows)\n", insertUs,
                inserts);
    return 0;
}
