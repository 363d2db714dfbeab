#include "store/AdoDatabase.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

// Every command that works on user2.db refuses a database the program refuses, with the
// program's message, and leaves it as it was.
TEST(CliDatabaseVersion, CommandsRefuseADatabaseTheProgramRefuses) {
    struct Case {
        const char* what;
        const char* schema;
        const char* lastVersionSql; // run after init; null: none
        const char* found;
    };
    const Case cases[] = {
        {"an older schema", "3.1", nullptr, "3.1"},
        {"a newer version", "3.2", "INSERT INTO VersionTab (DatabaseVersion) VALUES ('4.0')", "4.0"},
        {"an empty VersionTab", "3.2", "DELETE FROM VersionTab", ""},
    };
    const QStringList commands[] = {
        {QStringLiteral("due")},
        {QStringLiteral("show"), QStringLiteral("--kind"), QStringLiteral("specs"), QStringLiteral("--id"),
         QStringLiteral("1")},
        {QStringLiteral("check-names")},
        {QStringLiteral("import"), QStringLiteral("--source"), QStringLiteral("folder"),
         QStringLiteral("--path"), QStringLiteral("/nonexistent"), QStringLiteral("--kind"),
         QStringLiteral("specs"), QStringLiteral("--all")},
        {QStringLiteral("export"), QStringLiteral("--target"), QStringLiteral("folder"),
         QStringLiteral("--path"), QStringLiteral("/tmp"), QStringLiteral("--kind"), QStringLiteral("specs"),
         QStringLiteral("--ids"), QStringLiteral("1")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir tmp;
        const QString data = tmp.path();
        const auto init =
            RunProgram(QStringLiteral("v740ctl"), {QStringLiteral("--data"), data, QStringLiteral("init"),
                                                   QStringLiteral("--schema"), QString::fromUtf8(c.schema)});
        ASSERT_EQ(init.exitCode, 0) << init.err.toStdString();
        if (c.lastVersionSql) {
            CAdoDatabase db;
            ASSERT_TRUE(db.Open(data, QStringLiteral("user2.db")));
            ASSERT_TRUE(db.Execute(QString::fromUtf8(c.lastVersionSql)));
        }
        const QByteArray before = FileBytes(data + QStringLiteral("/user2.db"));
        for (const QStringList& command : commands) {
            SCOPED_TRACE(command.first().toStdString());
            const auto r = RunProgram(QStringLiteral("v740ctl"),
                                      QStringList{QStringLiteral("--data"), data, QStringLiteral("--lang"),
                                                  QStringLiteral("English")} +
                                          command);
            EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
            // The program's message names the version it needs and the one it found.
            EXPECT_TRUE(r.err.contains(QStringLiteral("3.2"))) << r.err.toStdString();
            EXPECT_TRUE(r.err.contains(QStringLiteral("'%1'").arg(QString::fromUtf8(c.found))) ||
                        r.err.contains(QString::fromUtf8(c.found)))
                << r.err.toStdString();
            EXPECT_FALSE(r.err.contains(QStringLiteral("write"), Qt::CaseInsensitive)) << r.err.toStdString();
        }
        EXPECT_EQ(FileBytes(data + QStringLiteral("/user2.db")), before) << "nothing written";
    }
}
