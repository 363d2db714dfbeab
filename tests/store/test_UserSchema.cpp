#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

QStringList Columns(CAdoDatabase& db, const QString& table) {
    QStringList out;
    EXPECT_TRUE(db.OpenQuery(
        QStringLiteral("SELECT name, type FROM pragma_table_info('%1') ORDER BY cid").arg(table)));
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        QString name, type;
        db.GetString(QStringLiteral("name"), name);
        db.GetString(QStringLiteral("type"), type);
        out << name + QLatin1Char(' ') + type;
    }
    return out;
}

QString One(CAdoDatabase& db, const QString& sql) {
    QString v;
    if (db.OpenQuery(sql) && db.MoveFirst())
        db.GetString(QStringLiteral("v"), v);
    return v;
}

} // namespace

TEST(UserSchema, InitCreatesEachVersionWithItsColumnsIndexesAndCascades) {
    struct Expect {
        const char* version;
        const char* device; // type of GeraeteTab.Device
        bool history, iec, extrapolation;
        const char* city;   // type of GeraeteTab.City, or nullptr
        const char* bitmap; // type of TypenTab.Bitmap
        bool uniqueGuid;
        int versionRows;
    };
    const Expect expects[] = {
        {"2.0", "TEXT(20)", false, false, false, nullptr, "TEXT(20)", true, 1},
        {"2.1", "TEXT(20)", true, false, false, nullptr, "TEXT(20)", false, 2},
        {"3.0", "TEXT(50)", true, true, false, "TEXT(20)", "TEXT(20)", false, 3},
        {"3.1", "TEXT(50)", true, true, false, "TEXT(30)", "TEXT(40)", false, 4},
        {"3.2", "TEXT(50)", true, true, true, "TEXT(30)", "TEXT(40)", false, 5},
    };
    QTemporaryDir tmp;
    for (const Expect& e : expects) {
        const QString folder =
            tmp.filePath(QStringLiteral("v") + QLatin1String(e.version) + QStringLiteral("/sub"));
        const auto r =
            RunProgram(QStringLiteral("v740ctl"), {QStringLiteral("--data"), folder, QStringLiteral("init"),
                                                   QStringLiteral("--schema"), QLatin1String(e.version)});
        ASSERT_EQ(r.exitCode, 0) << r.err.toStdString();

        CNotifierScope notes;
        CAdoDatabase db;
        ASSERT_TRUE(db.Open(folder, QStringLiteral("user2.db")));
        const QStringList geraete = Columns(db, QStringLiteral("GeraeteTab"));
        const QStringList typen = Columns(db, QStringLiteral("TypenTab"));
        EXPECT_TRUE(geraete.contains(QStringLiteral("Device ") + QLatin1String(e.device))) << e.version;
        EXPECT_EQ(geraete.contains(QStringLiteral("History LONG")), e.history) << e.version;
        EXPECT_EQ(typen.contains(QStringLiteral("TotalPabl LONG")), e.iec) << e.version;
        EXPECT_EQ(Columns(db, QStringLiteral("TypTestStepTab")).contains(QStringLiteral("Jacks LONG")),
                  e.iec);
        EXPECT_EQ(Columns(db, QStringLiteral("TypPartsTab")).contains(QStringLiteral("Description TEXT(50)")),
                  e.iec);
        EXPECT_EQ(geraete.contains(QStringLiteral("UseExtraPolation LONG")), e.extrapolation) << e.version;
        EXPECT_EQ(typen.contains(QStringLiteral("UseExtraPolation LONG")), e.extrapolation) << e.version;
        EXPECT_EQ(geraete.contains(QStringLiteral("City ") + QLatin1String(e.city ? e.city : "")),
                  e.city != nullptr);
        EXPECT_TRUE(typen.contains(QStringLiteral("Bitmap ") + QLatin1String(e.bitmap))) << e.version;
        EXPECT_TRUE(Columns(db, QStringLiteral("TypTestStepTab")).contains(QStringLiteral("Limit DECIMAL")));

        EXPECT_EQ(One(db, QStringLiteral(
                              "SELECT CAST(\"unique\" AS TEXT) AS v FROM pragma_index_list('GeraeteTab') "
                              "WHERE name = 'GeraeteTab_IX_GUID'")),
                  QLatin1String(e.uniqueGuid ? "1" : "0"));
        for (const char* index :
             {"TypenTab_idx", "TypenTab_IX_Name", "GeraeteTab_idx", "UserSetup_IX_DirectoryTabID"})
            EXPECT_EQ(
                One(db, QStringLiteral("SELECT name AS v FROM sqlite_master WHERE type='index' AND name='%1'")
                            .arg(QLatin1String(index))),
                QLatin1String(index));

        // Every step and result table cascades from its master.
        for (const char* child : {"TypPartsTab", "TypSichtPrfTab", "TypTestStepTab", "TypFktStepTab",
                                  "GeraetSichtProtTab", "GeraetProtTab", "GeraetFktProtTab"}) {
            const QString parent = QLatin1String(child).startsWith(QLatin1String("Typ"))
                                       ? QStringLiteral("TypenTab")
                                       : QStringLiteral("GeraeteTab");
            EXPECT_EQ(
                One(db, QStringLiteral(
                            "SELECT \"table\" || ' ' || on_delete AS v FROM pragma_foreign_key_list('%1')")
                            .arg(QLatin1String(child))),
                parent + QStringLiteral(" CASCADE"))
                << child;
        }

        // VersionTab: one row per step up to this version, the last one is the version.
        EXPECT_EQ(One(db, QStringLiteral("SELECT CAST(count(*) AS TEXT) AS v FROM VersionTab")),
                  QString::number(e.versionRows));
        ASSERT_TRUE(db.OpenTable(QStringLiteral("VersionTab")));
        ASSERT_TRUE(db.MoveLast());
        QString version, comment;
        db.GetString(QStringLiteral("DatabaseVersion"), version);
        EXPECT_EQ(version, QLatin1String(e.version));
        QDateTime when;
        EXPECT_TRUE(db.GetDate(QStringLiteral("DatabaseDate"), when));
        EXPECT_LE(qAbs(when.secsTo(QDateTime::currentDateTime())), 120);
        EXPECT_TRUE(notes.recorder.messages.isEmpty()) << notes.recorder.Last().toStdString();
    }

    // The upgrade comments carry their umlauts.
    CAdoDatabase db;
    ASSERT_TRUE(db.Open(tmp.filePath(QStringLiteral("v3.2/sub")), QStringLiteral("user2.db")));
    EXPECT_EQ(One(db, QStringLiteral("SELECT Comment AS v FROM VersionTab WHERE DatabaseVersion = '2.1'")),
              QStringLiteral("Update auf 2.1 für Gerätehistorie"));
}

TEST(UserSchema, InitRefusesAnExistingDatabaseAndUnknownVersions) {
    QTemporaryDir tmp;
    const QString folder = tmp.path();
    ASSERT_EQ(
        RunProgram(QStringLiteral("v740ctl"), {QStringLiteral("--data"), folder, QStringLiteral("init")})
            .exitCode,
        0);
    QFile f(folder + QStringLiteral("/user2.db"));
    const qint64 size = f.size();
    const auto again =
        RunProgram(QStringLiteral("v740ctl"), {QStringLiteral("--data"), folder, QStringLiteral("init")});
    EXPECT_EQ(again.exitCode, 1);
    EXPECT_TRUE(again.err.contains(QStringLiteral("user2.db"))) << again.err.toStdString();
    EXPECT_EQ(f.size(), size);

    const auto bad = RunProgram(QStringLiteral("v740ctl"),
                                {QStringLiteral("--data"), tmp.filePath(QStringLiteral("x")),
                                 QStringLiteral("init"), QStringLiteral("--schema"), QStringLiteral("3.3")});
    EXPECT_NE(bad.exitCode, 0);
    EXPECT_FALSE(QFile::exists(tmp.filePath(QStringLiteral("x/user2.db"))));
}
