// The PostgreSQL client library, loaded when a server connection is first made. The
// program does not link libpq: most workstations never use a server, and the library with
// its TLS, Kerberos and LDAP dependencies would be loaded and relocated at every start.
// These definitions stand in for libpq's own and forward each call to the loaded library;
// without it a connection fails with a message that names the missing package.
#include <libpq-fe.h>

#include <cstdlib>
#include <cstring>
#include <dlfcn.h>

namespace {

constexpr const char* kMissing =
    "the PostgreSQL client library libpq.so.5 (package libpq5) is not installed\n";

void* Library() {
    static void* const handle = ::dlopen("libpq.so.5", RTLD_NOW | RTLD_LOCAL);
    return handle;
}

template <typename F> F Resolve(const char* name) {
    void* handle = Library();
    return handle ? reinterpret_cast<F>(::dlsym(handle, name)) : nullptr;
}

char* Missing() {
    return const_cast<char*>(kMissing);
}

char* Empty() {
    static char empty[] = "";
    return empty;
}

} // namespace

extern "C" {

void PQclear(PGresult* res) {
    static const auto f = Resolve<decltype(&PQclear)>("PQclear");
    if (f)
        f(res);
}

char* PQcmdStatus(PGresult* res) {
    static const auto f = Resolve<decltype(&PQcmdStatus)>("PQcmdStatus");
    return f ? f(res) : Empty();
}

char* PQcmdTuples(PGresult* res) {
    static const auto f = Resolve<decltype(&PQcmdTuples)>("PQcmdTuples");
    return f ? f(res) : Empty();
}

PGconn* PQconnectdb(const char* conninfo) {
    static const auto f = Resolve<decltype(&PQconnectdb)>("PQconnectdb");
    return f ? f(conninfo) : nullptr;
}

PGconn* PQconnectdbParams(const char* const* keywords, const char* const* values, int expand_dbname) {
    static const auto f = Resolve<decltype(&PQconnectdbParams)>("PQconnectdbParams");
    return f ? f(keywords, values, expand_dbname) : nullptr;
}

void PQconninfoFree(PQconninfoOption* connOptions) {
    static const auto f = Resolve<decltype(&PQconninfoFree)>("PQconninfoFree");
    if (f)
        f(connOptions);
}

PQconninfoOption* PQconninfoParse(const char* conninfo, char** errmsg) {
    static const auto f = Resolve<decltype(&PQconninfoParse)>("PQconninfoParse");
    if (f)
        return f(conninfo, errmsg);
    if (errmsg)
        *errmsg = strdup(kMissing);
    return nullptr;
}

int PQconsumeInput(PGconn* conn) {
    static const auto f = Resolve<decltype(&PQconsumeInput)>("PQconsumeInput");
    return f ? f(conn) : 0;
}

int PQconnectionNeedsPassword(const PGconn* conn) {
    static const auto f = Resolve<decltype(&PQconnectionNeedsPassword)>("PQconnectionNeedsPassword");
    return f ? f(conn) : 0;
}

char* PQhost(const PGconn* conn) {
    static const auto f = Resolve<decltype(&PQhost)>("PQhost");
    return f ? f(conn) : Empty();
}

char* PQport(const PGconn* conn) {
    static const auto f = Resolve<decltype(&PQport)>("PQport");
    return f ? f(conn) : Empty();
}

char* PQuser(const PGconn* conn) {
    static const auto f = Resolve<decltype(&PQuser)>("PQuser");
    return f ? f(conn) : Empty();
}

char* PQdb(const PGconn* conn) {
    static const auto f = Resolve<decltype(&PQdb)>("PQdb");
    return f ? f(conn) : Empty();
}

char* PQerrorMessage(const PGconn* conn) {
    static const auto f = Resolve<decltype(&PQerrorMessage)>("PQerrorMessage");
    return f ? f(conn) : Missing();
}

PGresult* PQexec(PGconn* conn, const char* query) {
    static const auto f = Resolve<decltype(&PQexec)>("PQexec");
    return f ? f(conn, query) : nullptr;
}

PGresult* PQexecPrepared(PGconn* conn, const char* stmtName, int nParams, const char* const* paramValues,
                         const int* paramLengths, const int* paramFormats, int resultFormat) {
    static const auto f = Resolve<decltype(&PQexecPrepared)>("PQexecPrepared");
    return f ? f(conn, stmtName, nParams, paramValues, paramLengths, paramFormats, resultFormat) : nullptr;
}

void PQfinish(PGconn* conn) {
    static const auto f = Resolve<decltype(&PQfinish)>("PQfinish");
    if (f)
        f(conn);
}

char* PQfname(const PGresult* res, int field_num) {
    static const auto f = Resolve<decltype(&PQfname)>("PQfname");
    return f ? f(res, field_num) : nullptr;
}

void PQfreemem(void* ptr) {
    static const auto f = Resolve<decltype(&PQfreemem)>("PQfreemem");
    // Without the library the only memory handed out is our own message.
    f ? f(ptr) : std::free(ptr);
}

Oid PQftable(const PGresult* res, int field_num) {
    static const auto f = Resolve<decltype(&PQftable)>("PQftable");
    return f ? f(res, field_num) : 0;
}

int PQftablecol(const PGresult* res, int field_num) {
    static const auto f = Resolve<decltype(&PQftablecol)>("PQftablecol");
    return f ? f(res, field_num) : 0;
}

Oid PQftype(const PGresult* res, int field_num) {
    static const auto f = Resolve<decltype(&PQftype)>("PQftype");
    return f ? f(res, field_num) : 0;
}

PGresult* PQgetResult(PGconn* conn) {
    static const auto f = Resolve<decltype(&PQgetResult)>("PQgetResult");
    return f ? f(conn) : nullptr;
}

int PQgetisnull(const PGresult* res, int tup_num, int field_num) {
    static const auto f = Resolve<decltype(&PQgetisnull)>("PQgetisnull");
    return f ? f(res, tup_num, field_num) : 0;
}

int PQgetlength(const PGresult* res, int tup_num, int field_num) {
    static const auto f = Resolve<decltype(&PQgetlength)>("PQgetlength");
    return f ? f(res, tup_num, field_num) : 0;
}

char* PQgetvalue(const PGresult* res, int tup_num, int field_num) {
    static const auto f = Resolve<decltype(&PQgetvalue)>("PQgetvalue");
    return f ? f(res, tup_num, field_num) : Empty();
}

int PQlibVersion(void) {
    static const auto f = Resolve<decltype(&PQlibVersion)>("PQlibVersion");
    return f ? f() : 0;
}

int PQnfields(const PGresult* res) {
    static const auto f = Resolve<decltype(&PQnfields)>("PQnfields");
    return f ? f(res) : 0;
}

PGnotify* PQnotifies(PGconn* conn) {
    static const auto f = Resolve<decltype(&PQnotifies)>("PQnotifies");
    return f ? f(conn) : nullptr;
}

int PQntuples(const PGresult* res) {
    static const auto f = Resolve<decltype(&PQntuples)>("PQntuples");
    return f ? f(res) : 0;
}

PGresult* PQprepare(PGconn* conn, const char* stmtName, const char* query, int nParams,
                    const Oid* paramTypes) {
    static const auto f = Resolve<decltype(&PQprepare)>("PQprepare");
    return f ? f(conn, stmtName, query, nParams, paramTypes) : nullptr;
}

void PQreset(PGconn* conn) {
    static const auto f = Resolve<decltype(&PQreset)>("PQreset");
    if (f)
        f(conn);
}

char* PQresultErrorField(const PGresult* res, int fieldcode) {
    static const auto f = Resolve<decltype(&PQresultErrorField)>("PQresultErrorField");
    return f ? f(res, fieldcode) : nullptr;
}

char* PQresultErrorMessage(const PGresult* res) {
    static const auto f = Resolve<decltype(&PQresultErrorMessage)>("PQresultErrorMessage");
    return f ? f(res) : Missing();
}

ExecStatusType PQresultStatus(const PGresult* res) {
    static const auto f = Resolve<decltype(&PQresultStatus)>("PQresultStatus");
    return f ? f(res) : PGRES_FATAL_ERROR;
}

int PQsendQueryParams(PGconn* conn, const char* command, int nParams, const Oid* paramTypes,
                      const char* const* paramValues, const int* paramLengths, const int* paramFormats,
                      int resultFormat) {
    static const auto f = Resolve<decltype(&PQsendQueryParams)>("PQsendQueryParams");
    return f ? f(conn, command, nParams, paramTypes, paramValues, paramLengths, paramFormats, resultFormat)
             : 0;
}

int PQsendQueryPrepared(PGconn* conn, const char* stmtName, int nParams, const char* const* paramValues,
                        const int* paramLengths, const int* paramFormats, int resultFormat) {
    static const auto f = Resolve<decltype(&PQsendQueryPrepared)>("PQsendQueryPrepared");
    return f ? f(conn, stmtName, nParams, paramValues, paramLengths, paramFormats, resultFormat) : 0;
}

int PQserverVersion(const PGconn* conn) {
    static const auto f = Resolve<decltype(&PQserverVersion)>("PQserverVersion");
    return f ? f(conn) : 0;
}

PQnoticeProcessor PQsetNoticeProcessor(PGconn* conn, PQnoticeProcessor proc, void* arg) {
    static const auto f = Resolve<decltype(&PQsetNoticeProcessor)>("PQsetNoticeProcessor");
    return f ? f(conn, proc, arg) : nullptr;
}

int PQsetSingleRowMode(PGconn* conn) {
    static const auto f = Resolve<decltype(&PQsetSingleRowMode)>("PQsetSingleRowMode");
    return f ? f(conn) : 0;
}

int PQsocket(const PGconn* conn) {
    static const auto f = Resolve<decltype(&PQsocket)>("PQsocket");
    return f ? f(conn) : -1;
}

ConnStatusType PQstatus(const PGconn* conn) {
    static const auto f = Resolve<decltype(&PQstatus)>("PQstatus");
    return f ? f(conn) : CONNECTION_BAD;
}

PGTransactionStatusType PQtransactionStatus(const PGconn* conn) {
    static const auto f = Resolve<decltype(&PQtransactionStatus)>("PQtransactionStatus");
    return f ? f(conn) : PQTRANS_UNKNOWN;
}

} // extern "C"
