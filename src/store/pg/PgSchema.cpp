#include "store/pg/PgSchema.h"

#include "store/pg/PgSql.h"

namespace PgSchema {

QStringList JetStatements() {
    return {
        // Text columns compare, sort, index and LIKE without regard to case, as Jet's do.
        QStringLiteral("CREATE EXTENSION IF NOT EXISTS citext"),
        QStringLiteral("CREATE SCHEMA IF NOT EXISTS jet"),
        // Yes/No columns hold -1 and 0 as in Jet; the domain lets the layer tell them from numbers.
        QStringLiteral("CREATE DOMAIN jet.yesno AS integer"),
        // The workstation's wall-clock time: the layer sets the session's time zone to its own.
        QStringLiteral("CREATE FUNCTION jet.now() RETURNS timestamp(0) LANGUAGE sql VOLATILE AS "
                       "$$ SELECT clock_timestamp()::timestamp(0) $$"),
        // Jet.ParseDate: ISO, d.m.y and m/d/y, two-digit years 00-29 this century; NULL otherwise.
        QStringLiteral(
            R"SQL(CREATE FUNCTION jet.parsedate(t text) RETURNS timestamp(0) LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE
  m text[];
  y int; mo int; d int; rest text; tm text[]; hh int := 0; mi int := 0; ss int := 0;
BEGIN
  IF t IS NULL THEN RETURN NULL; END IF;
  t := btrim(t);
  m := regexp_match(t, '^(\d{4})-(\d{1,2})-(\d{1,2})(?:[ T](.*))?$');
  IF m IS NOT NULL THEN
    y := m[1]::int; mo := m[2]::int; d := m[3]::int; rest := m[4];
  ELSE
    m := regexp_match(t, '^(\d{1,2})\.(\d{1,2})\.(\d{2}|\d{4})(?:\s+(.*))?$');
    IF m IS NOT NULL THEN
      d := m[1]::int; mo := m[2]::int; y := m[3]::int; rest := m[4];
    ELSE
      m := regexp_match(t, '^(\d{1,2})/(\d{1,2})/(\d{2}|\d{4})(?:\s+(.*))?$');
      IF m IS NULL THEN RETURN NULL; END IF;
      mo := m[1]::int; d := m[2]::int; y := m[3]::int; rest := m[4];
    END IF;
    IF length(m[3]) = 2 THEN y := CASE WHEN y < 30 THEN 2000 + y ELSE 1900 + y END; END IF;
  END IF;
  rest := btrim(coalesce(rest, ''));
  IF rest <> '' THEN
    tm := regexp_match(rest, '^(\d{1,2}):(\d{1,2})(?::(\d{1,2}))?(?:\.\d+)?$');
    IF tm IS NULL THEN RETURN NULL; END IF;
    hh := tm[1]::int; mi := tm[2]::int; ss := coalesce(tm[3], '0')::int;
    IF hh > 23 OR mi > 59 OR ss > 59 THEN RETURN NULL; END IF;
  END IF;
  IF mo < 1 OR mo > 12 OR d < 1 OR d > extract(day FROM (make_date(y, mo, 1) + interval '1 month - 1 day')) THEN
    RETURN NULL;
  END IF;
  RETURN make_timestamp(y, mo, d, hh, mi, ss);
EXCEPTION WHEN others THEN
  RETURN NULL;
END $$)SQL"),
        QStringLiteral(
            R"SQL(CREATE FUNCTION jet.cvdate(t text) RETURNS timestamp(0) LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE r timestamp(0);
BEGIN
  IF t IS NULL THEN RETURN NULL; END IF;
  r := jet.parsedate(t);
  IF r IS NULL THEN RAISE EXCEPTION 'CVDATE: not a date' USING ERRCODE = '22007'; END IF;
  RETURN r;
END $$)SQL"),
        QStringLiteral(
            "CREATE FUNCTION jet.cvdate(t timestamp) RETURNS timestamp(0) LANGUAGE sql IMMUTABLE AS "
            "$$ SELECT t::timestamp(0) $$"),
        QStringLiteral(
            R"SQL(CREATE FUNCTION jet.dateadd(i text, n double precision, t timestamp) RETURNS timestamp(0) LANGUAGE plpgsql IMMUTABLE AS $$
DECLARE k bigint := round(n::numeric);
BEGIN
  IF i IS NULL OR n IS NULL OR t IS NULL THEN RETURN NULL; END IF;
  CASE lower(btrim(i))
    WHEN 'yyyy' THEN RETURN t + make_interval(years => k::int);
    WHEN 'q' THEN RETURN t + make_interval(months => (k * 3)::int);
    WHEN 'm' THEN RETURN t + make_interval(months => k::int);
    WHEN 'y', 'd', 'w' THEN RETURN t + make_interval(days => k::int);
    WHEN 'ww' THEN RETURN t + make_interval(days => (k * 7)::int);
    WHEN 'h' THEN RETURN t + make_interval(hours => k::int);
    WHEN 'n' THEN RETURN t + make_interval(mins => k::int);
    WHEN 's' THEN RETURN t + make_interval(secs => k);
    ELSE RAISE EXCEPTION 'DATEADD: unknown interval' USING ERRCODE = '22023';
  END CASE;
END $$)SQL"),
        QStringLiteral("CREATE FUNCTION jet.dateadd(i text, n double precision, t text) RETURNS timestamp(0) "
                       "LANGUAGE sql IMMUTABLE AS $$ SELECT jet.dateadd(i, n, jet.cvdate(t)) $$"),
        QStringLiteral(
            R"SQL(CREATE FUNCTION jet.datepart(i text, t timestamp) RETURNS integer LANGUAGE plpgsql IMMUTABLE AS $$
BEGIN
  IF i IS NULL OR t IS NULL THEN RETURN NULL; END IF;
  CASE lower(btrim(i))
    WHEN 'yyyy' THEN RETURN extract(year FROM t);
    WHEN 'q' THEN RETURN extract(quarter FROM t);
    WHEN 'm' THEN RETURN extract(month FROM t);
    WHEN 'y' THEN RETURN extract(doy FROM t);
    WHEN 'd' THEN RETURN extract(day FROM t);
    WHEN 'w' THEN RETURN extract(dow FROM t) + 1;
    WHEN 'ww' THEN RETURN (extract(doy FROM t)::int - 1 + extract(dow FROM date_trunc('year', t))::int) / 7 + 1;
    WHEN 'h' THEN RETURN extract(hour FROM t);
    WHEN 'n' THEN RETURN extract(minute FROM t);
    WHEN 's' THEN RETURN floor(extract(second FROM t));
    ELSE RAISE EXCEPTION 'DATEPART: unknown interval' USING ERRCODE = '22023';
  END CASE;
END $$)SQL"),
        QStringLiteral(
            "CREATE FUNCTION jet.datepart(i text, t text) RETURNS integer LANGUAGE sql IMMUTABLE AS "
            "$$ SELECT jet.datepart(i, jet.cvdate(t)) $$"),
        // Jet's optional first-day-of-week arguments are accepted and, as on SQLite, not used.
        QStringLiteral(
            "CREATE FUNCTION jet.datepart(i text, t timestamp, a integer) RETURNS integer LANGUAGE sql "
            "IMMUTABLE AS $$ SELECT jet.datepart(i, t) $$"),
        QStringLiteral(
            "CREATE FUNCTION jet.datepart(i text, t timestamp, a integer, b integer) RETURNS integer "
            "LANGUAGE sql IMMUTABLE AS $$ SELECT jet.datepart(i, t) $$"),
        // The columns of a table by name, as SQLite's pragma_table_info gives them.
        QStringLiteral(
            "CREATE FUNCTION jet.table_info(t text) RETURNS TABLE(name citext) LANGUAGE sql STABLE "
            "AS $$ SELECT column_name::citext FROM information_schema.columns WHERE table_schema = 'public' "
            "AND table_name = lower(t) ORDER BY ordinal_position $$"),
    };
}

QString OwnerRole(const QString& database) {
    return database.toLower() + QStringLiteral("_owner");
}

QString DataRole(const QString& database) {
    return database.toLower() + QStringLiteral("_data");
}

QStringList RoleStatements(const QString& database, const QStringList& logins) {
    const QString owner = PgSql::Identifier(OwnerRole(database));
    const QString data = PgSql::Identifier(DataRole(database));
    auto create = [](const QString& role, const QString& options) {
        QString literal = role;
        literal.replace(QLatin1Char('\''), QStringLiteral("''"));
        return QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = '%1') THEN "
                              "CREATE ROLE %2 %3; END IF; END $$")
            .arg(literal, PgSql::Identifier(role), options);
    };
    QStringList out{create(OwnerRole(database), QStringLiteral("NOLOGIN")),
                    create(DataRole(database), QStringLiteral("NOLOGIN"))};
    for (const QString& login : logins) {
        out << create(login, QStringLiteral("LOGIN"));
        out << QStringLiteral("GRANT %1 TO %2").arg(data, PgSql::Identifier(login));
    }
    out << QStringLiteral("GRANT USAGE ON SCHEMA public, jet TO %1").arg(data)
        << QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO %1")
               .arg(data)
        << QStringLiteral("GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO %1").arg(data)
        << QStringLiteral("GRANT EXECUTE ON ALL FUNCTIONS IN SCHEMA jet TO %1").arg(data);
    return out;
}

} // namespace PgSchema

#include "store/UserSchema.h"
#include "store/pg/PgBackend.h"

#include <libpq-fe.h>

namespace PgSchema {

bool InitServer(const QString& conninfo, const QString& language, const QStringList& logins,
                QString& message) {
    message.clear();
    CPgBackend pg;
    if (!pg.Open(conninfo)) {
        message = pg.Failure().description;
        return false;
    }
    DbRows existing;
    if (!pg.RunNative(QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = 'public'"),
                      &existing)) {
        message = pg.Failure().description;
        return false;
    }
    if (existing.rows.RowCount() && existing.rows.At(0, 0).i > 0) {
        message = QStringLiteral("The database %1 holds tables already; it is left as it is.")
                      .arg(CPgBackend::Describe(conninfo));
        return false;
    }
    const QString database = QString::fromUtf8(PQdb(pg.Connection()));
    auto fail = [&] {
        message = pg.Failure().description;
        pg.Rollback();
        return false;
    };
    if (!pg.Begin())
        return fail();
    for (const QString& sql : JetStatements() + UserSchema::ServerCreateStatements())
        if (!pg.RunNative(sql))
            return fail();
    DbRows none;
    for (const QString& sql : UserSchema::ServerContentStatements(language))
        if (!pg.Run(sql, none))
            return fail();
    // Each committed change tells the listening workstations which table it touched.
    QStringList notify{
        QStringLiteral("CREATE FUNCTION jet.notify_change() RETURNS trigger LANGUAGE plpgsql AS "
                       "$$ BEGIN PERFORM pg_notify('v740_changes', TG_TABLE_NAME); RETURN NULL; END $$")};
    for (const UserSchema::TableColumns& t : UserSchema::CurrentTables())
        notify << QStringLiteral("CREATE TRIGGER notify_change AFTER INSERT OR UPDATE OR DELETE ON %1 "
                                 "FOR EACH STATEMENT EXECUTE FUNCTION jet.notify_change()")
                      .arg(PgSql::Identifier(t.table));
    for (const QString& sql : notify)
        if (!pg.RunNative(sql))
            return fail();
    const QString owner = PgSql::Identifier(OwnerRole(database));
    QStringList ownership;
    for (const char* table : {"typentab", "typpartstab", "typsichtprftab", "typteststeptab", "typfktsteptab",
                              "geraetetab", "geraetsichtprottab", "geraetprottab", "geraetfktprottab",
                              "usersetup", "usersetupdetails", "versiontab", "languagetab"})
        ownership << QStringLiteral("ALTER TABLE %1 OWNER TO %2").arg(QLatin1String(table), owner);
    for (const QString& sql : RoleStatements(database, logins) + ownership)
        if (!pg.RunNative(sql))
            return fail();
    if (!pg.Commit())
        return fail();
    message = QStringLiteral("schema %1, roles %2 (owner, no login) and %3 (data)")
                  .arg(UserSchema::CurrentVersion(), OwnerRole(database), DataRole(database));
    return true;
}

} // namespace PgSchema
