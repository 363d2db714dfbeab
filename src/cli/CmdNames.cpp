#include "cli/Commands.h"

#include "store/AdoDatabase.h"
#include "store/UserSchema.h"

#include <cstdio>

namespace Cli {
namespace {

// Files of earlier builds may hold test specifications whose names differ only in case
// beyond ASCII ("Ölpumpe", "ölpumpe"); they open and upgrade, and this lists them so that
// one of each pair can be renamed or deleted.
int CmdCheckNames(const GlobalOptions& options, const QStringList& args) {
    if (!args.isEmpty()) {
        Err(QStringLiteral("check-names: unexpected argument '%1'").arg(args.first()));
        return 2;
    }
    CAdoDatabase db;
    if (!db.Open(DataFolder(options), UserSchema::FileName()))
        return 1;
    const QList<NameOrder::Clash> clashes = UserSchema::FindNameClashes(db);
    if (db.GetErrorNumber() != 0)
        return 1;
    for (const NameOrder::Clash& c : clashes)
        std::printf("%d\t%s\t%d\t%s\n", c.firstId, c.firstName.toUtf8().constData(), c.otherId,
                    c.otherName.toUtf8().constData());
    std::fflush(stdout);
    if (!clashes.isEmpty()) {
        Err(QStringLiteral("check-names: %1 test specification name(s) differ only in case from an earlier "
                           "one; rename or delete them")
                .arg(clashes.size()));
        return 1;
    }
    return 0;
}

const CommandRegistration kCheckNames(
    "check-names",
    "check-names   list test specifications whose names differ only in case (id, name, id, name); "
    "exit 1 if there are any",
    CmdCheckNames);

} // namespace
} // namespace Cli
