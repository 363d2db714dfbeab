#include "store/NameOrder.h"

#include "store/TextCatalog.h"
#include "store/UserSchema.h"

#include <QCollator>
#include <QLocale>
#include <QMap>
#include <sqlite3.h>

namespace NameOrder {

namespace {

QLocale LocaleOf(const QString& language) {
    static const QStringList locales{
        QStringLiteral("es_ES"), QStringLiteral("cs_CZ"), QStringLiteral("de_DE"), QStringLiteral("en_GB"),
        QStringLiteral("fr_FR"), QStringLiteral("it_IT"), QStringLiteral("de_AT")};
    const qsizetype i = CTextCatalog::Languages().indexOf(language);
    return QLocale(i < 0 ? QStringLiteral("en_GB") : locales[i]);
}

int CompareNames(void* arg, int lenA, const void* a, int lenB, const void* b) {
    const auto* collator = static_cast<const QCollator*>(arg);
    const QString sa = QString::fromUtf8(static_cast<const char*>(a), lenA);
    const QString sb = QString::fromUtf8(static_cast<const char*>(b), lenB);
    const int c = collator->compare(sa, sb);
    if (c != 0)
        return c;
    // Names equal but for case still get one fixed order.
    return sa.compare(sb);
}

void DeleteCollator(void* arg) {
    delete static_cast<QCollator*>(arg);
}

void FnNameKey(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(ctx);
        return;
    }
    const QString name = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_value_text(argv[0])),
                                           sqlite3_value_bytes(argv[0]));
    const int width = argc > 1 ? sqlite3_value_int(argv[1]) : 20;
    const QByteArray key = Key(name, width).toUtf8();
    sqlite3_result_text(ctx, key.constData(), int(key.size()), SQLITE_TRANSIENT);
}

QStringList Column(sqlite3* db, const char* sql) {
    QStringList out;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK)
        return out;
    while (sqlite3_step(stmt) == SQLITE_ROW)
        out << QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    sqlite3_finalize(stmt);
    return out;
}

} // namespace

QString OrderBy(const QString& column) {
    return column + QStringLiteral(" COLLATE ") + kCollation;
}

QString Key(const QString& name, int width) {
    return name.normalized(QString::NormalizationForm_C).toCaseFolded().left(width);
}

QString DefaultLanguage() {
    return QStringLiteral("Deutsch");
}

bool IsLanguage(const QString& language) {
    return CTextCatalog::Languages().contains(language);
}

bool PrepareConnection(sqlite3* db) {
    const int det = SQLITE_UTF8 | SQLITE_DETERMINISTIC;
    if (sqlite3_create_function(db, "V740_NAMEKEY", 1, det, nullptr, FnNameKey, nullptr, nullptr) !=
            SQLITE_OK ||
        sqlite3_create_function(db, "V740_NAMEKEY", 2, det, nullptr, FnNameKey, nullptr, nullptr) !=
            SQLITE_OK)
        return false;

    // The date columns of the user database's tables this file has, the key column, and
    // the language. A file of other tables (velmor.db) gets the collation only.
    const QStringList tables = Column(db, "SELECT name FROM sqlite_master WHERE type = 'table'");
    QStringList dates;
    for (const QString& tc : UserSchema::DateColumns())
        if (tables.contains(tc.section(QLatin1Char('.'), 0, 0)))
            dates << tc;
    const bool hasKey =
        tables.contains(QStringLiteral("TypenTab")) &&
        !Column(db, "SELECT 1 FROM pragma_table_info('TypenTab') WHERE name = 'NameKey'").isEmpty();
    const QStringList language = tables.contains(QStringLiteral("LanguageTab"))
                                     ? Column(db, "SELECT Language FROM LanguageTab ORDER BY rowid LIMIT 1")
                                     : QStringList();
    // A file without LanguageTab (velmor.db, a file not yet upgraded) sorts in the default language.
    auto* collator = new QCollator(LocaleOf(language.isEmpty() ? DefaultLanguage() : language.first()));
    collator->setCaseSensitivity(Qt::CaseInsensitive);
    if (sqlite3_create_collation_v2(db, "V740_ORDER", SQLITE_UTF8, collator, CompareNames, DeleteCollator) !=
        SQLITE_OK)
        return false;

    if (dates.isEmpty() && !hasKey)
        return true;
    // The connection's own triggers live in its temporary schema, so the file keeps none
    // that name a function the stock tool lacks. One per table and event, run after every
    // write of this program; the WHEN clause keeps rows already in form untouched. The temporary
    // schema stays in the default temp store: a memory temp store would also hold every large
    // sort of the connection, and the directory's ORDER BY over 100,000 rows ran 1.6 times slower.
    QMap<QString, QStringList> byTable;
    for (const QString& tc : dates)
        byTable[tc.section(QLatin1Char('.'), 0, 0)] << tc.section(QLatin1Char('.'), 1);
    if (hasKey)
        byTable[QStringLiteral("TypenTab")]; // the key, even without a date column
    QString sql;
    for (auto it = byTable.cbegin(); it != byTable.cend(); ++it) {
        const QString& table = it.key();
        QStringList sets, stale, columns;
        for (const QString& col : it.value()) {
            const QString value = QStringLiteral("JET_NORMDATE(NEW.\"%1\")").arg(col);
            sets << QStringLiteral("\"%1\" = %2").arg(col, value);
            stale << QStringLiteral("NEW.\"%1\" IS NOT %2").arg(col, value);
            columns << QStringLiteral("\"%1\"").arg(col);
        }
        if (hasKey && table == QLatin1String("TypenTab")) {
            sets << QStringLiteral("NameKey = V740_NAMEKEY(NEW.Name)");
            stale << QStringLiteral("NEW.NameKey IS NOT V740_NAMEKEY(NEW.Name)");
            columns << QStringLiteral("Name") << QStringLiteral("NameKey");
        }
        for (const QString& when :
             {QStringLiteral("INSERT"), QStringLiteral("UPDATE OF ") + columns.join(QStringLiteral(", "))})
            sql += QStringLiteral("DROP TRIGGER IF EXISTS temp.\"v740_%1_%2\"; "
                                  "CREATE TEMP TRIGGER \"v740_%1_%2\" AFTER %3 ON main.\"%1\" "
                                  "WHEN %4 BEGIN UPDATE \"%1\" SET %5 WHERE rowid = NEW.rowid; END;")
                       .arg(table, when.left(3), when, stale.join(QStringLiteral(" OR ")),
                            sets.join(QStringLiteral(", ")));
    }
    return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

} // namespace NameOrder
