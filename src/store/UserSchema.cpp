#include "store/UserSchema.h"

#include "platform/Notifier.h"
#include "store/AdoDatabase.h"

#include <QFile>
#include <QFileInfo>

namespace UserSchema {

namespace {

enum Ver { V20, V21, V30, V31, V32 };

struct Column {
    const char* name;
    const char* type; // Jet type as declared: COUNTER, LONG, TEXT(n), MEMO, DATETIME, YESNO, DECIMAL
    Ver since = V20;
    // A column widened by a later step: the type it had before that step.
    Ver widenedIn = V20;
    const char* typeBefore = nullptr;
    const char* references = nullptr; // master table of a step or result row
};

struct Table {
    const char* name;
    std::vector<Column> columns;
};

struct Index {
    const char* table;
    const char* name;
    const char* columns;
    bool unique;
    Ver since = V20;
    Ver until = V32; // last version that has it in this form
};

const std::vector<Table>& Tables() {
    static const std::vector<Table> tables = {
        {"TypenTab",
         {{"id", "COUNTER"},
          {"Run", "TEXT(20)"},
          {"Parameter", "TEXT(30)"},
          {"IconSymbol", "TEXT(20)"},
          {"Bitmap", "TEXT(40)", V20, V31, "TEXT(20)"},
          {"StandardID", "LONG"},
          {"ClassID", "LONG"},
          {"Name", "TEXT(20)"},
          {"Manufacturer", "TEXT(20)"},
          {"Description", "TEXT(20)"},
          {"TypID", "LONG"},
          {"CordLength", "DECIMAL"},
          {"NominalPower", "LONG"},
          {"AllPe", "LONG"},
          {"IsoMeas", "LONG"},
          {"MainsSeparation", "LONG"},
          {"MeasMethodeID", "LONG"},
          {"TestSequenceID", "LONG"},
          {"PowerPhase", "LONG"},
          {"WarningNotice", "LONG"},
          {"PartsUsed", "YESNO"},
          {"ReviewPeriod", "LONG"},
          {"ExportImport", "LONG"},
          {"ExternalUse", "TEXT(80)"},
          {"CreateDate", "DATETIME"},
          {"myGUID", "TEXT(40)"},
          {"VoltageAccessiblePart", "LONG", V30},
          {"FunctionEarth", "LONG", V30},
          {"VoltageSignalIO", "LONG", V30},
          {"AccessibleParts", "LONG", V30},
          {"PhaseReverseEnable", "LONG", V30},
          {"TotalPabl", "LONG", V30},
          {"UseExtraPolation", "LONG", V32}}},
        {"TypPartsTab",
         {{"TypenTabID", "LONG", V20, V20, nullptr, "TypenTab"},
          {"GroupNo", "LONG"},
          {"AppliedPartID", "LONG"},
          {"Jacks", "LONG"},
          {"Description", "TEXT(50)", V30}}},
        {"TypSichtPrfTab",
         {{"TypenTabID", "LONG", V20, V20, nullptr, "TypenTab"},
          {"RefNo", "LONG"},
          {"TextID", "LONG"},
          {"myText", "TEXT(95)"}}},
        {"TypTestStepTab",
         {{"TypenTabID", "LONG", V20, V20, nullptr, "TypenTab"},
          {"RefNo", "LONG"},
          {"MeasNo", "LONG"},
          {"MainOrder", "LONG"},
          {"TypOrder", "LONG"},
          {"GroupNo", "LONG"},
          {"Limit", "DECIMAL"},
          {"Jacks", "LONG", V30}}},
        {"TypFktStepTab",
         {{"TypenTabID", "LONG", V20, V20, nullptr, "TypenTab"},
          {"RefNo", "LONG"},
          {"myText", "TEXT(95)"},
          {"UseLimitsID", "LONG"},
          {"LowLimit", "DECIMAL"},
          {"HighLimit", "DECIMAL"}}},
        {"GeraeteTab",
         {{"id", "COUNTER"},
          {"SpecificationName", "TEXT(20)"},
          {"Device", "TEXT(50)", V20, V30, "TEXT(20)"},
          {"NominalVoltage", "TEXT(5)"},
          {"TestDate", "DATETIME"},
          {"TestResultID", "LONG"},
          {"Operator", "TEXT(20)"},
          {"Serial", "TEXT(20)"},
          {"Manufacturer", "TEXT(20)"},
          {"Description", "TEXT(20)"},
          {"Client", "TEXT(20)"},
          {"Location", "TEXT(20)"},
          {"Department", "TEXT(20)"},
          {"Room", "TEXT(20)"},
          {"Costs", "TEXT(20)"},
          {"Comment", "TEXT(128)"},
          {"FirstTestDate", "DATETIME"},
          {"NextTestDate", "DATETIME"},
          {"ExternalUse", "TEXT(80)"},
          {"ExportImport", "LONG"},
          {"TesterName", "TEXT(15)"},
          {"TesterSerial", "TEXT(15)"},
          {"TesterSW", "TEXT(15)"},
          {"History", "LONG", V21},
          {"myGUID", "TEXT(40)"},
          {"City", "TEXT(30)", V30, V31, "TEXT(20)"},
          {"Street", "TEXT(30)", V30, V31, "TEXT(20)"},
          {"ReviewPeriod", "LONG", V30},
          {"DutClass", "TEXT(20)", V30},
          {"UseExtraPolation", "LONG", V32}}},
        {"GeraetSichtProtTab",
         {{"GeraeteTabID", "LONG", V20, V20, nullptr, "GeraeteTab"}, {"RefNo", "LONG"}, {"Result", "LONG"}}},
        {"GeraetProtTab",
         {{"GeraeteTabID", "LONG", V20, V20, nullptr, "GeraeteTab"},
          {"RefNo", "LONG"},
          {"MeasValue", "DECIMAL"},
          {"Result", "LONG"},
          {"FirstValue", "DECIMAL"}}},
        {"GeraetFktProtTab",
         {{"GeraeteTabID", "LONG", V20, V20, nullptr, "GeraeteTab"},
          {"RefNo", "LONG"},
          {"MeasValue", "DECIMAL"},
          {"Result", "LONG"},
          {"FirstValue", "DECIMAL"}}},
        {"UserSetup",
         {{"DirectoryTabID", "LONG"},
          {"IconView", "LONG"},
          {"FilterOn", "YESNO"},
          {"SqlFilterQuery", "MEMO"}}},
        {"UserSetupDetails",
         {{"DirectoryTabID", "LONG"},
          {"SortOrder", "LONG"},
          {"UseFor", "LONG"},
          {"StringValue", "TEXT(255)"}}},
        {"VersionTab",
         {{"DatabaseVersion", "TEXT(10)"},
          {"DatabaseDate", "DATETIME"},
          {"RequiredSoftwareRelease", "TEXT(10)"},
          {"Comment", "TEXT(255)"}}},
    };
    return tables;
}

const std::vector<Index>& Indexes() {
    static const std::vector<Index> indexes = {
        {"TypenTab", "idx", "id", true},
        {"TypenTab", "IX_Name", "Name", true},
        {"GeraeteTab", "idx", "id", true},
        // Until 2.1 a device had exactly one protocol; the history made the index non-unique.
        {"GeraeteTab", "IX_GUID", "myGUID", true, V20, V20},
        {"GeraeteTab", "IX_GUID", "myGUID ASC", false, V21, V32},
        {"GeraeteTab", "IX_SpecificationName", "SpecificationName", false},
        {"TypPartsTab", "IX_TypenTabID", "TypenTabID", false},
        {"TypSichtPrfTab", "IX_TypenTabID", "TypenTabID", false},
        {"TypTestStepTab", "IX_TypenTabID", "TypenTabID", false},
        {"TypFktStepTab", "IX_TypenTabID", "TypenTabID", false},
        {"GeraetSichtProtTab", "IX_GeraeteTabID", "GeraeteTabID", false},
        {"GeraetProtTab", "IX_GeraeteTabID", "GeraeteTabID", false},
        {"GeraetFktProtTab", "IX_GeraeteTabID", "GeraeteTabID", false},
        {"UserSetup", "IX_DirectoryTabID", "DirectoryTabID", true},
        {"UserSetupDetails", "IX_DirectoryTabID", "DirectoryTabID", false},
    };
    return indexes;
}

QString SqlType(const char* jetType) {
    const QString t = QString::fromLatin1(jetType);
    if (t == QLatin1String("COUNTER"))
        return QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT");
    if (t.startsWith(QLatin1String("TEXT")) || t == QLatin1String("MEMO"))
        return t + QStringLiteral(" COLLATE NOCASE");
    return t;
}

int VersionIndex(const QString& version) {
    return int(Versions().indexOf(version));
}

} // namespace

const QStringList& Versions() {
    static const QStringList versions{QStringLiteral("2.0"), QStringLiteral("2.1"), QStringLiteral("3.0"),
                                      QStringLiteral("3.1"), QStringLiteral("3.2")};
    return versions;
}

QString CurrentVersion() {
    return QStringLiteral("3.2");
}

bool IsKnownVersion(const QString& version) {
    return VersionIndex(version) >= 0;
}

QString FileName() {
    return QStringLiteral("user2.db");
}

const QList<VersionRow>& VersionRows() {
    static const QList<VersionRow> rows{
        {QStringLiteral("2.0"), QString(), QString()},
        {QStringLiteral("2.1"), QStringLiteral("2.9"), QStringLiteral("Update auf 2.1 für Gerätehistorie")},
        {QStringLiteral("3.0"), QStringLiteral("3.0"), QStringLiteral("Update auf 3.0 für IEC60601")},
        {QStringLiteral("3.1"), QStringLiteral("3.1"), QStringLiteral("Update auf 3.1 für IEC60601")},
        {QStringLiteral("3.2"), QStringLiteral("4.1"),
         QStringLiteral("Update auf 3.2 für disable ExtraPolation")},
    };
    return rows;
}

QString VersionRowInsert(const VersionRow& row) {
    return QStringLiteral(
               "Insert into VersionTab (DatabaseVersion, DatabaseDate, RequiredSoftwareRelease, Comment)"
               "\t\t VALUES (%1,\t Now(),\t %2,\t %3)")
        .arg(SqlLiteral(row.version), SqlLiteral(row.requiredRelease), SqlLiteral(row.comment));
}

QStringList CreateStatements(const QString& version) {
    const int v = VersionIndex(version);
    if (v < 0)
        return {};
    QStringList out;
    for (const Table& table : Tables()) {
        QStringList defs;
        QStringList keys;
        for (const Column& c : table.columns) {
            if (int(c.since) > v)
                continue;
            const char* type = (c.typeBefore && v < int(c.widenedIn)) ? c.typeBefore : c.type;
            defs << QStringLiteral("\"%1\" %2").arg(QLatin1String(c.name), SqlType(type));
            if (c.references)
                keys << QStringLiteral("FOREIGN KEY (\"%1\") REFERENCES \"%2\" (id) ON DELETE CASCADE")
                            .arg(QLatin1String(c.name), QLatin1String(c.references));
        }
        out << QStringLiteral("CREATE TABLE \"%1\" (\n  %2\n)")
                   .arg(QLatin1String(table.name), (defs + keys).join(QStringLiteral(",\n  ")));
        for (const Column& c : table.columns) {
            if (int(c.since) > v || QByteArray(c.type) != "DATETIME")
                continue;
            // Dates arrive in whatever form the caller wrote them ("2020-2-1"); store them
            // zero-filled so that sorting and the date functions see one form.
            for (const char* when : {"INSERT", "UPDATE OF"}) {
                const bool ins = QByteArray(when) == "INSERT";
                out << QStringLiteral(
                           "CREATE TRIGGER \"%1_%2_%3\" AFTER %4 ON \"%1\" "
                           "WHEN NEW.\"%2\" IS NOT JET_NORMDATE(NEW.\"%2\") BEGIN "
                           "UPDATE \"%1\" SET \"%2\" = JET_NORMDATE(NEW.\"%2\") WHERE rowid = NEW.rowid; END")
                           .arg(QLatin1String(table.name), QLatin1String(c.name),
                                ins ? QStringLiteral("ins") : QStringLiteral("upd"),
                                ins ? QStringLiteral("INSERT")
                                    : QStringLiteral("UPDATE OF \"%1\"").arg(QLatin1String(c.name)));
            }
        }
    }
    for (const Index& index : Indexes()) {
        if (v < int(index.since) || v > int(index.until))
            continue;
        out << QStringLiteral("CREATE %1INDEX \"%2_%3\" ON \"%2\" (%4)")
                   .arg(index.unique ? QStringLiteral("UNIQUE ") : QString(), QLatin1String(index.table),
                        QLatin1String(index.name), QLatin1String(index.columns));
    }
    for (int i = 0; i <= v; ++i)
        out << VersionRowInsert(VersionRows()[i]);
    return out;
}

bool CreateUserDatabase(const QString& folder, const QString& version) {
    const QStringList statements = CreateStatements(version);
    if (statements.isEmpty()) {
        Notifier().ShowMessage(QStringLiteral("Unknown schema version \"%1\"; known are %2.")
                                   .arg(version, Versions().join(QStringLiteral(", "))),
                               QString(), CNotifier::Icon::Error);
        return false;
    }
    const QString path = folder + QLatin1Char('/') + FileName();
    bool ok = false;
    {
        CAdoDatabase db;
        if (!db.Create(folder, FileName()))
            return false;
        CTransaction trans(db);
        ok = trans.IsActive() && db.ExecuteAll(statements) && trans.Commit();
    }
    if (!ok)
        QFile::remove(path);
    return ok;
}

bool EnsureLookupIndexes(CAdoDatabase& db) {
    const auto exists = [&db](const char* name, bool& found) {
        if (!db.OpenQuery(QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'index' AND name = %1")
                              .arg(SqlLiteral(QLatin1String(name)))))
            return false;
        found = db.HasRow();
        db.CloseRecordset();
        return true;
    };
    bool found = false;
    if (!exists(kDeviceIndex, found))
        return false;
    if (!found && !db.Execute(QStringLiteral("CREATE INDEX IF NOT EXISTS \"%1\" ON \"GeraeteTab\" (Device)")
                                  .arg(QLatin1String(kDeviceIndex))))
        return false;
    if (!exists(kCurrentGuidIndex, found))
        return false;
    if (found)
        return true;
    // Files written before the rule may hold two current protocols of one device; they stay
    // readable, and the import's own check still keeps it from adding another.
    if (!db.OpenQuery(QStringLiteral(
            "SELECT myGUID FROM GeraeteTab WHERE History = 0 GROUP BY myGUID HAVING COUNT(*) > 1")))
        return false;
    const bool duplicates = db.HasRow();
    db.CloseRecordset();
    if (duplicates)
        return true;
    return db.Execute(
        QStringLiteral(
            "CREATE UNIQUE INDEX IF NOT EXISTS \"%1\" ON \"GeraeteTab\" (myGUID) WHERE History = 0")
            .arg(QLatin1String(kCurrentGuidIndex)));
}

} // namespace UserSchema
