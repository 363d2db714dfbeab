#include "upgrade/DatabaseUpgrade.h"

#include "store/AdoDatabase.h"
#include "store/UserSchema.h"

namespace DatabaseUpgrade {

namespace {

QString VersionInsert(const QString& version) {
    for (const UserSchema::VersionRow& row : UserSchema::VersionRows())
        if (row.version == version)
            return UserSchema::VersionRowInsert(row);
    return QString();
}

} // namespace

const QList<Step>& Steps() {
    // Index names carry their table's name in SQLite ("DROP INDEX IX_GUID ON GeraeteTab" is
    // "DROP INDEX GeraeteTab_IX_GUID"), text columns compare without case like every other,
    // and widening a text column changes nothing in SQLite, so those statements are gone.
    static const QList<Step> steps{
        {QStringLiteral("2.1"),
         {VersionInsert(QStringLiteral("2.1")), QStringLiteral("DROP INDEX GeraeteTab_IX_GUID"),
          QStringLiteral("CREATE INDEX GeraeteTab_IX_GUID ON GeraeteTab (myGUID ASC)"),
          QStringLiteral("ALTER TABLE GeraeteTab ADD COLUMN History INTEGER"),
          QStringLiteral("UPDATE GeraeteTab SET History=0"),
          QStringLiteral(
              "UPDATE UserSetup SET FilterOn = 0 WHERE DirectoryTabID = 50 OR DirectoryTabID = 60")}},
        {QStringLiteral("3.0"),
         {VersionInsert(QStringLiteral("3.0")),
          QStringLiteral("ALTER TABLE TypenTab ADD COLUMN VoltageAccessiblePart INTEGER"),
          QStringLiteral("ALTER TABLE TypenTab ADD COLUMN FunctionEarth INTEGER"),
          QStringLiteral("ALTER TABLE TypenTab ADD COLUMN VoltageSignalIO INTEGER"),
          QStringLiteral("ALTER TABLE TypenTab ADD COLUMN AccessibleParts INTEGER"),
          QStringLiteral("ALTER TABLE TypenTab ADD COLUMN PhaseReverseEnable INTEGER"),
          QStringLiteral("ALTER TABLE TypenTab ADD COLUMN TotalPabl INTEGER"),
          QStringLiteral("ALTER TABLE TypPartsTab ADD COLUMN Description NVARCHAR (50) COLLATE NOCASE"),
          QStringLiteral("ALTER TABLE TypTestStepTab ADD COLUMN Jacks INTEGER"),
          QStringLiteral("UPDATE TypenTab SET VoltageAccessiblePart=-1"),
          QStringLiteral("UPDATE TypenTab SET FunctionEarth=-1"),
          QStringLiteral("UPDATE TypenTab SET VoltageSignalIO=-1"),
          QStringLiteral("UPDATE TypenTab SET AccessibleParts=-1"),
          QStringLiteral("UPDATE TypenTab SET PhaseReverseEnable=-1"),
          QStringLiteral("UPDATE TypenTab SET TotalPabl=-1"),
          QStringLiteral("UPDATE TypPartsTab SET Description=''"),
          QStringLiteral("UPDATE TypTestStepTab SET Jacks=0"),
          QStringLiteral("ALTER TABLE GeraeteTab ADD COLUMN City NVARCHAR (20) COLLATE NOCASE"),
          QStringLiteral("ALTER TABLE GeraeteTab ADD COLUMN Street NVARCHAR (20) COLLATE NOCASE"),
          QStringLiteral("ALTER TABLE GeraeteTab ADD COLUMN ReviewPeriod INTEGER"),
          QStringLiteral("ALTER TABLE GeraeteTab ADD COLUMN DutClass NVARCHAR (20) COLLATE NOCASE"),
          QStringLiteral("UPDATE GeraeteTab SET City=''"),
          QStringLiteral("UPDATE GeraeteTab SET Street=''"),
          QStringLiteral("UPDATE GeraeteTab SET ReviewPeriod=0"),
          QStringLiteral("UPDATE GeraeteTab SET DutClass=''")}},
        {QStringLiteral("3.1"), {VersionInsert(QStringLiteral("3.1"))}},
        {QStringLiteral("3.2"),
         {VersionInsert(QStringLiteral("3.2")),
          QStringLiteral("ALTER TABLE GeraeteTab ADD COLUMN UseExtraPolation INTEGER NULL"),
          QStringLiteral("ALTER TABLE TypenTab ADD COLUMN UseExtraPolation INTEGER NULL")}},
    };
    return steps;
}

QList<Step> Chain(const QString& currentVersion) {
    static const QStringList from{QStringLiteral("2.0"), QStringLiteral("2.1"), QStringLiteral("3.0"),
                                  QStringLiteral("3.1")};
    const qsizetype start = from.indexOf(currentVersion);
    return start < 0 ? QList<Step>() : Steps().mid(start);
}

bool RunStep(CAdoDatabase& db, const Step& step, qint32* errorNumber) {
    if (!db.BeginTrans()) {
        if (errorNumber)
            *errorNumber = db.GetErrorNumber();
        return false;
    }
    for (const QString& sql : step.statements) {
        if (!db.Execute(sql)) {
            if (errorNumber)
                *errorNumber = db.GetErrorNumber();
            db.RollbackTrans();
            return false;
        }
    }
    if (!db.CommitTrans()) {
        if (errorNumber)
            *errorNumber = db.GetErrorNumber();
        db.RollbackTrans();
        return false;
    }
    return true;
}

bool RunChain(CAdoDatabase& db, const QString& currentVersion) {
    for (const Step& step : Chain(currentVersion))
        if (!RunStep(db, step))
            return false;
    return true;
}

bool ReadVersion(CAdoDatabase& db, QString& version) {
    version.clear();
    const bool ok = db.OpenTable(QStringLiteral("VersionTab")) && db.MoveLast() &&
                    db.GetString(QStringLiteral("DatabaseVersion"), version);
    db.CloseRecordset();
    return ok;
}

} // namespace DatabaseUpgrade
