#include "store/UserSchema.h"

#include "platform/Notifier.h"
#include "store/AdoDatabase.h"
#include "store/NameOrder.h"
#include "store/TextFormat.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

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
    Ver since = V20;
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
          {"UseExtraPolation", "LONG", V32},
          // Identity of the name beyond ASCII case, filled by the program (NameOrder::Key).
          {"NameKey", "TEXT(20)", V32}}},
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
        {"LanguageTab", {{"Language", "TEXT(20)"}}, V32},
    };
    return tables;
}

const std::vector<Index>& Indexes() {
    static const std::vector<Index> indexes = {
        {"TypenTab", "idx", "id", true},
        {"TypenTab", "IX_Name", "Name", true},
        {"TypenTab", "IX_NameKey", "NameKey", true, V32},
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

const QStringList& DateColumns() {
    static const QStringList columns = [] {
        QStringList out;
        for (const Table& table : Tables())
            for (const Column& c : table.columns)
                if (QByteArray(c.type) == "DATETIME")
                    out << QLatin1String(table.name) + QLatin1Char('.') + QLatin1String(c.name);
        return out;
    }();
    return columns;
}

bool IsKnownVersion(const QString& version) {
    return VersionIndex(version) >= 0;
}

bool CheckVersion(CAdoDatabase& db, const std::function<QString(qint32)>& text, const QString& programFolder,
                  QString& message) {
    message.clear();
    if (!db.OpenTable(QStringLiteral("VersionTab")))
        return false;
    const QString column = QStringLiteral("DatabaseVersion");
    QString version;
    // An empty VersionTab or an empty version would otherwise end without a word; it is
    // told like any other version this program cannot use.
    if (db.MoveLast() && !db.IsNull(column) && !db.GetString(column, version))
        return false;
    db.CloseRecordset();
    if (version == CurrentVersion())
        return true;
    message = FormatText(QStringLiteral("%s\n%s\n%s"), text(50056),
                         FormatText(text(50058), CurrentVersion(), version),
                         FormatText(text(50059), programFolder));
    return false;
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

QStringList CreateStatements(const QString& version, const QString& language) {
    const int v = VersionIndex(version);
    if (v < 0)
        return {};
    QStringList out;
    for (const Table& table : Tables()) {
        if (int(table.since) > v)
            continue;
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
    if (v >= V32)
        out << QStringLiteral("INSERT INTO LanguageTab (Language) VALUES (%1)")
                   .arg(SqlLiteral(language.isEmpty() ? NameOrder::DefaultLanguage() : language));
    return out;
}

bool CreateUserDatabase(const QString& folder, const QString& version, const QString& language) {
    const QStringList statements = CreateStatements(version, language);
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

namespace {

QStringList Strings(CAdoDatabase& db, const QString& sql, const QString& column) {
    QStringList out;
    if (db.OpenQuery(sql))
        for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
            QString s;
            db.GetString(column, s);
            out << s;
        }
    db.CloseRecordset();
    return out;
}

} // namespace

QList<NameOrder::Clash> FindNameClashes(CAdoDatabase& db) {
    QList<NameOrder::Clash> clashes;
    if (!db.OpenQuery(QStringLiteral("SELECT id, Name FROM TypenTab ORDER BY id")))
        return clashes;
    QHash<QString, QPair<qint32, QString>> first;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        qint32 id = 0;
        QString name;
        db.GetLong(QStringLiteral("id"), id);
        if (!db.GetString(QStringLiteral("Name"), name))
            continue;
        const QString key = NameOrder::Key(name);
        const auto it = first.constFind(key);
        if (it == first.constEnd())
            first.insert(key, {id, name});
        else
            clashes.append({it->first, it->second, id, name});
    }
    db.CloseRecordset();
    return clashes;
}

bool CompleteSchema(CAdoDatabase& db, const QString& language) {
    // A server's schema is made complete by server-init.
    if (db.IsServer())
        return true;
    const QString current = Strings(db,
                                    QStringLiteral("SELECT DatabaseVersion AS v FROM VersionTab "
                                                   "ORDER BY rowid DESC"),
                                    QStringLiteral("v"))
                                .value(0);
    if (current != CurrentVersion())
        return true;
    const auto missing = [&](const QString& sql) { return Strings(db, sql, QStringLiteral("n")).isEmpty(); };
    // Nothing is written to a file that is complete, so a read-only one opens as before.
    const bool complete =
        missing(QStringLiteral("SELECT name AS n FROM sqlite_master WHERE type = 'trigger' AND sql LIKE "
                               "'%JET_NORMDATE%'")) &&
        !missing(QStringLiteral(
            "SELECT name AS n FROM sqlite_master WHERE type = 'table' AND name = 'LanguageTab'")) &&
        !missing(QStringLiteral("SELECT name AS n FROM sqlite_master WHERE type = 'index' AND name = "
                                "'TypenTab_IX_NameKey'")) &&
        // Keys gone stale or never filled (rows written with the stock tool), but for a
        // name whose key another row holds.
        missing(
            QStringLiteral("SELECT Name AS n FROM TypenTab t WHERE NameKey IS NOT NULL AND NameKey IS NOT "
                           "V740_NAMEKEY(Name) OR NameKey IS NULL AND Name IS NOT NULL AND NOT EXISTS "
                           "(SELECT 1 FROM TypenTab o WHERE o.NameKey = V740_NAMEKEY(t.Name))"));
    if (complete)
        return true;
    CTransaction trans(db);
    if (!trans.IsActive())
        return false;
    // Triggers of files made by earlier builds call a function only this program has.
    const QStringList oldTriggers = Strings(
        db,
        QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'trigger' AND sql LIKE '%JET_NORMDATE%'"),
        QStringLiteral("name"));
    for (const QString& name : oldTriggers)
        if (!db.Execute(QStringLiteral("DROP TRIGGER \"%1\"").arg(name)))
            return false;
    if (missing(QStringLiteral(
            "SELECT name AS n FROM sqlite_master WHERE type = 'table' AND name = 'LanguageTab'")) &&
        !(db.Execute(QStringLiteral("CREATE TABLE \"LanguageTab\" (\n  \"Language\" %1\n)")
                         .arg(SqlType("TEXT(20)"))) &&
          db.Execute(QStringLiteral("INSERT INTO LanguageTab (Language) VALUES (%1)")
                         .arg(SqlLiteral(NameOrder::IsLanguage(language) ? language
                                                                         : NameOrder::DefaultLanguage())))))
        return false;
    if (missing(
            QStringLiteral("SELECT name AS n FROM pragma_table_info('TypenTab') WHERE name = 'NameKey'")) &&
        !db.Execute(
            QStringLiteral("ALTER TABLE TypenTab ADD COLUMN \"NameKey\" %1").arg(SqlType("TEXT(20)"))))
        return false;
    // Keys in id order; a name that clashes with an earlier one keeps no key until it is
    // renamed (FindNameClashes reports it), so that the upgrade itself never fails.
    if (!db.OpenQuery(QStringLiteral("SELECT id, Name, NameKey FROM TypenTab ORDER BY id")))
        return false;
    struct Row {
        qint32 id;
        QString key;
        bool stored;
    };
    std::vector<Row> changes;
    QSet<QString> taken;
    for (bool ok = db.MoveFirst(); ok && db.HasRow(); ok = db.MoveNext()) {
        qint32 id = 0;
        QString name, stored;
        db.GetLong(QStringLiteral("id"), id);
        const bool hasName = db.GetString(QStringLiteral("Name"), name);
        const bool hasStored = db.GetString(QStringLiteral("NameKey"), stored);
        QString key = hasName ? NameOrder::Key(name) : QString();
        const bool keep = hasName && !taken.contains(key);
        if (keep)
            taken.insert(key);
        if (keep ? (!hasStored || stored != key) : hasStored)
            changes.push_back({id, keep ? key : QString(), keep});
    }
    db.CloseRecordset();
    // Clear first, then set: a key moving from one row to another never meets itself.
    for (const Row& r : changes)
        if (!db.Execute(QStringLiteral("UPDATE TypenTab SET NameKey = NULL WHERE id = %1").arg(r.id)))
            return false;
    for (const Row& r : changes)
        if (r.stored && !db.Execute(QStringLiteral("UPDATE TypenTab SET NameKey = %1 WHERE id = %2")
                                        .arg(SqlLiteral(r.key), QString::number(r.id))))
            return false;
    if (!db.Execute(QStringLiteral(
            "CREATE UNIQUE INDEX IF NOT EXISTS \"TypenTab_IX_NameKey\" ON \"TypenTab\" (NameKey)")))
        return false;
    // This connection was opened without the key column: give it the triggers now.
    return trans.Commit() && NameOrder::PrepareConnection(db.Handle());
}

bool EnsureLookupIndexes(CAdoDatabase& db) {
    if (db.IsServer())
        return true; // server-init makes them
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

namespace {

QString ServerType(const char* jetType) {
    const QString t = QString::fromLatin1(jetType);
    if (t == QLatin1String("COUNTER"))
        return QStringLiteral("integer GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY");
    if (t == QLatin1String("LONG"))
        return QStringLiteral("integer");
    if (t.startsWith(QLatin1String("TEXT")) || t == QLatin1String("MEMO"))
        return QStringLiteral("citext");
    if (t == QLatin1String("DATETIME"))
        return QStringLiteral("timestamp(0)");
    if (t == QLatin1String("YESNO"))
        return QStringLiteral("jet.yesno");
    if (t == QLatin1String("DECIMAL"))
        return QStringLiteral("double precision");
    return t;
}

} // namespace

QList<TableColumns> CurrentTables() {
    QList<TableColumns> out;
    for (const Table& table : Tables()) {
        TableColumns t{QString::fromLatin1(table.name), {}, {}};
        for (const Column& c : table.columns) {
            t.columns << QString::fromLatin1(c.name);
            t.types << QString::fromLatin1(c.type);
        }
        out << t;
    }
    return out;
}

QStringList ServerCreateStatements() {
    // Every name quoted, so that columns such as Limit are never read as keywords.
    const auto id = [](const char* name) {
        return QStringLiteral("\"%1\"").arg(QString::fromLatin1(name).toLower());
    };
    QStringList out;
    for (const Table& table : Tables()) {
        QStringList defs;
        QStringList keys;
        for (const Column& c : table.columns) {
            defs << QStringLiteral("%1 %2").arg(id(c.name), ServerType(c.type));
            if (c.references)
                keys << QStringLiteral("FOREIGN KEY (%1) REFERENCES %2 (\"id\") ON DELETE CASCADE")
                            .arg(id(c.name), id(c.references));
        }
        out << QStringLiteral("CREATE TABLE %1 (\n  %2\n)")
                   .arg(id(table.name), (defs + keys).join(QStringLiteral(",\n  ")));
    }
    for (const Index& index : Indexes()) {
        if (int(V32) < int(index.since) || int(V32) > int(index.until))
            continue;
        // The key is the table's primary key already.
        if (QByteArray(index.columns) == "id")
            continue;
        const QList<QByteArray> words = QByteArray(index.columns).split(' ');
        QString columns = id(words.first().constData());
        for (qsizetype w = 1; w < words.size(); ++w)
            columns += QLatin1Char(' ') + QString::fromLatin1(words[w]);
        out << QStringLiteral("CREATE %1INDEX %2 ON %3 (%4)")
                   .arg(index.unique ? QStringLiteral("UNIQUE ") : QString(),
                        id((QByteArray(index.table) + '_' + index.name).constData()), id(index.table),
                        columns);
    }
    out << QStringLiteral("CREATE INDEX %1 ON \"geraetetab\" (\"device\")").arg(id(kDeviceIndex))
        << QStringLiteral("CREATE UNIQUE INDEX %1 ON \"geraetetab\" (\"myguid\") WHERE \"history\" = 0")
               .arg(id(kCurrentGuidIndex));
    return out;
}

QStringList ServerContentStatements(const QString& language) {
    QStringList out;
    for (const VersionRow& row : VersionRows())
        out << VersionRowInsert(row);
    out << QStringLiteral("INSERT INTO LanguageTab (Language) VALUES (%1)")
               .arg(SqlLiteral(language.isEmpty() ? NameOrder::DefaultLanguage() : language));
    return out;
}

} // namespace UserSchema
