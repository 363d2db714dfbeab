#include "cli/Commands.h"

#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "views/DueDates.h"

#include <QFileInfo>
#include <cstdio>

namespace Cli {
namespace {

int CmdDue(const GlobalOptions& options, const QStringList& args) {
    int window = -1;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--within") && i + 1 < args.size()) {
            bool ok = false;
            window = args[++i].toInt(&ok);
            if (!ok || window < 0 || window > 36500) {
                Err(QStringLiteral("due: --within takes a number of days from 0 to 36500, not '%1'")
                        .arg(args[i]));
                return 2;
            }
        } else {
            Err(QStringLiteral("due: unexpected argument '%1'").arg(args[i]));
            return 2;
        }
    }
    const QString folder = DataFolder(options);
    if (!UserDatabaseExists(options)) {
        Err(QStringLiteral("due: there is no user database in %1").arg(folder));
        return 1;
    }
    CAdoDatabase db;
    std::vector<DueDates::Entry> entries;
    if (!db.Open(folder, UserSchema::FileName()) || !DueDates::List(db, DueDates::Today(), window, entries)) {
        Err(QStringLiteral("due: the device protocols could not be read"));
        return 1;
    }
    for (const DueDates::Entry& e : entries) {
        const QString line = QStringList{QString::number(e.id),
                                         e.device,
                                         e.next.toString(QStringLiteral("yyyy-MM-dd")),
                                         e.state == DueDates::State::Overdue ? QStringLiteral("overdue")
                                                                             : QStringLiteral("due"),
                                         e.specification,
                                         e.client}
                                 .join(QLatin1Char('\t'));
        std::printf("%s\n", line.toUtf8().constData());
    }
    return 0;
}

const CommandRegistration
    kDue("due",
         "due [--within DAYS]       current protocols whose next test is overdue (or due within DAYS):\n"
         "                            id, device, date, overdue|due, specification, client",
         CmdDue);

} // namespace
} // namespace Cli
