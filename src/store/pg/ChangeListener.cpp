#include "store/pg/ChangeListener.h"

#include "store/pg/PgBackend.h"
#include "store/pg/PgConnect.h"

#include <QElapsedTimer>
#include <libpq-fe.h>
#include <poll.h>

namespace {
void IgnoreNotice(void*, const char*) {}
} // namespace

CPgChangeListener::~CPgChangeListener() {
    if (m_conn)
        PQfinish(m_conn);
}

bool CPgChangeListener::Listen() {
    PGresult* res = PQexec(m_conn, "LISTEN v740_changes");
    const bool ok = res && PQresultStatus(res) == PGRES_COMMAND_OK;
    if (!ok)
        m_error = QString::fromUtf8(PQerrorMessage(m_conn)).trimmed();
    PQclear(res);
    return ok;
}

bool CPgChangeListener::Start(const QString& conninfo) {
    m_error = CPgBackend::CheckConninfo(conninfo);
    if (!m_error.isEmpty())
        return false;
    if (m_conn)
        PQfinish(m_conn);
    m_conninfo = conninfo;
    m_conn = PgConnect::Connect(conninfo);
    if (!m_conn || PQstatus(m_conn) != CONNECTION_OK) {
        m_error = PgConnect::FailureText(m_conn);
        return false;
    }
    PQsetNoticeProcessor(m_conn, IgnoreNotice, nullptr);
    return Listen();
}

int CPgChangeListener::Socket() const {
    return m_conn ? PQsocket(m_conn) : -1;
}

QStringList CPgChangeListener::TakeChanges() {
    QStringList tables;
    if (!m_conn)
        return tables;
    if (!PQconsumeInput(m_conn) || PQstatus(m_conn) != CONNECTION_OK) {
        PQreset(m_conn);
        if (PQstatus(m_conn) == CONNECTION_OK && Listen())
            tables << QStringLiteral("*");
        return tables;
    }
    while (PGnotify* n = PQnotifies(m_conn)) {
        const QString table = QString::fromUtf8(n->extra).toLower();
        if (!tables.contains(table))
            tables << table;
        PQfreemem(n);
    }
    return tables;
}

QStringList CPgChangeListener::WaitForChanges(int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    QStringList tables = TakeChanges();
    while (tables.isEmpty() && timer.elapsed() < timeoutMs && m_conn) {
        pollfd fd{PQsocket(m_conn), POLLIN, 0};
        ::poll(&fd, 1, int(qMax<qint64>(1, timeoutMs - timer.elapsed())));
        tables = TakeChanges();
    }
    return tables;
}
