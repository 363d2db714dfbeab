#include "store/NameOrder.h"

#include "store/TextCatalog.h"

#include <QCollator>
#include <QLocale>
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

    // "table.column" of every date column, the key columns, and the language.
    const QStringList dates = Column(db, "SELECT m.name || '.' || p.name FROM sqlite_master m "
                                         "JOIN pragma_table_info(m.name) p "
                                         "WHERE m.type = 'table' AND upper(p.type) = 'DATETIME'");
    const bool hasKey =
        !Column(db, "SELECT 1 FROM pragma_table_info('TypenTab') WHERE name = 'NameKey'").isEmpty();
    const QStringList language = Column(db, "SELECT Language FROM LanguageTab ORDER BY rowid LIMIT 1");
    // A file without LanguageTab (velmor.db, a file not yet upgraded) makes the SELECT fail:
    // it then sorts in the default language.
    auto* collator = new QCollator(LocaleOf(language.isEmpty() ? DefaultLanguage() : language.first()));
    collator->setCaseSensitivity(Qt::CaseInsensitive);
    if (sqlite3_create_collation_v2(db, "V740_ORDER", SQLITE_UTF8, collator, CompareNames, DeleteCollator) !=
        SQLITE_OK)
        return false;

    if (dates.isEmpty() && !hasKey)
        return true;
    // The connection's own triggers live in its temporary schema, so the file keeps none
    // that name a function the stock tool lacks. They run after every write of this program.
    QString sql = QStringLiteral("PRAGMA temp_store = MEMORY;");
    for (const QString& tc : dates) {
        const QString table = tc.section(QLatin1Char('.'), 0, 0);
        const QString col = tc.section(QLatin1Char('.'), 1);
        for (const QString& when : {QStringLiteral("INSERT"), QStringLiteral("UPDATE OF \"%1\"").arg(col)}) {
            const QString name = QStringLiteral("v740_%1_%2_%3").arg(table, col, when.left(3));
            sql += QStringLiteral(
                       "CREATE TEMP TRIGGER IF NOT EXISTS \"%1\" AFTER %2 ON main.\"%3\" "
                       "WHEN NEW.\"%4\" IS NOT JET_NORMDATE(NEW.\"%4\") BEGIN "
                       "UPDATE \"%3\" SET \"%4\" = JET_NORMDATE(NEW.\"%4\") WHERE rowid = NEW.rowid; END;")
                       .arg(name, when, table, col);
        }
    }
    if (hasKey) {
        for (const QString& when : {QStringLiteral("INSERT"), QStringLiteral("UPDATE OF Name, NameKey")})
            sql += QStringLiteral(
                       "CREATE TEMP TRIGGER IF NOT EXISTS \"v740_TypenTab_NameKey_%1\" AFTER %2 ON "
                       "main.TypenTab WHEN NEW.NameKey IS NOT V740_NAMEKEY(NEW.Name) BEGIN "
                       "UPDATE TypenTab SET NameKey = V740_NAMEKEY(NEW.Name) WHERE rowid = NEW.rowid; END;")
                       .arg(when.left(3), when);
    }
    return sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

} // namespace NameOrder
