#pragma once

#include <QDate>
#include <functional>

// The state of the next test date dialog: the interval is the test specification's or a
// device-specific one (1 to 60 months), and the next test date is either what the active
// interval gives from the test date ("match") or a date chosen by hand.
class CNextTestDateModel {
public:
    // months -> the date that test date plus months gives (invalid when it cannot be computed).
    using DateFromInterval = std::function<QDate(int months)>;

    static constexpr int kMinMonths = 1;
    static constexpr int kMaxMonths = 60;

    // deviceInterval 0: the specification's interval applies.
    CNextTestDateModel(int deviceInterval, int specificationInterval, const QDate& current,
                       DateFromInterval compute);

    bool UsesSpecification() const { return m_deviceInterval == 0; }
    // What the months field holds: the device interval, or the specification's (masked).
    int Months() const { return UsesSpecification() ? m_specInterval : m_deviceInterval; }
    int ActiveInterval() const { return Months(); }
    bool Match() const { return m_match; }
    QDate Date() const { return m_date; }
    QDate StartDate() const { return m_start; }

    // The two choices.
    void ChooseSpecification();
    void ChooseDevice();
    // A typed interval: clamped to 1..60; with the match option the date follows.
    void SetMonths(int months);
    // The match option: on sets the date from the active interval, off restores the start.
    void SetMatch(bool on);
    // A date set by hand ends the match.
    void SetDateByHand(const QDate& date);

    // The results: the device interval (0 for the specification's) and the date.
    int DeviceInterval() const { return m_deviceInterval; }

    static int Clamp(int months);

private:
    void FollowInterval();

    int m_deviceInterval;
    int m_specInterval;
    QDate m_start;
    QDate m_date;
    bool m_match = false;
    DateFromInterval m_compute;
};

class CAdoDatabase;

// The date that the protocol's test date plus months gives, computed by the database as
// the program always has ("DATEADD" on GeraeteTab.TestDate); invalid when it cannot be read.
QDate NextTestDateFromInterval(CAdoDatabase& db, qint32 protocolId, int months);
