#include "views/NextTestDateModel.h"

#include "store/AdoDatabase.h"

#include <QDateTime>

CNextTestDateModel::CNextTestDateModel(int deviceInterval, int specificationInterval, const QDate& current,
                                       DateFromInterval compute)
    : m_deviceInterval(deviceInterval > 0 ? Clamp(deviceInterval) : 0), m_specInterval(specificationInterval),
      m_start(current), m_date(current), m_compute(std::move(compute)) {
    const QDate fromInterval = m_compute ? m_compute(ActiveInterval()) : QDate();
    m_match = fromInterval.isValid() && fromInterval == current;
}

int CNextTestDateModel::Clamp(int months) {
    return qBound(kMinMonths, months, kMaxMonths);
}

void CNextTestDateModel::FollowInterval() {
    if (!m_compute)
        return;
    const QDate d = m_compute(ActiveInterval());
    if (d.isValid())
        m_date = d;
}

void CNextTestDateModel::ChooseSpecification() {
    m_deviceInterval = 0;
    if (m_match)
        FollowInterval();
}

void CNextTestDateModel::ChooseDevice() {
    if (m_deviceInterval == 0)
        m_deviceInterval = Clamp(m_specInterval);
}

void CNextTestDateModel::SetMonths(int months) {
    if (UsesSpecification())
        return; // the field is read-only then
    m_deviceInterval = Clamp(months);
    if (m_match)
        FollowInterval();
}

void CNextTestDateModel::SetMatch(bool on) {
    m_match = on;
    if (on)
        FollowInterval();
    else
        m_date = m_start;
}

void CNextTestDateModel::SetDateByHand(const QDate& date) {
    m_date = date;
    m_match = false;
}

QDate NextTestDateFromInterval(CAdoDatabase& db, qint32 protocolId, int months) {
    const QString sql = QStringLiteral("Select id,Device,DATEADD(\"m\",%1,TestDate) AS NewNextTestDate FROM "
                                       "GeraeteTab WHERE id=%2")
                            .arg(months)
                            .arg(protocolId);
    QDate result;
    if (db.OpenQuery(sql) && db.HasRow() && !db.IsNull(QStringLiteral("NewNextTestDate"))) {
        QDateTime dt;
        if (db.GetDate(QStringLiteral("NewNextTestDate"), dt))
            result = dt.date();
    }
    db.CloseRecordset();
    return result;
}
