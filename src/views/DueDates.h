#pragma once

#include <QDate>
#include <QString>
#include <vector>

class CAdoDatabase;

// Which devices are due for their next test: a current protocol whose next test date has
// passed is overdue, one whose date falls within the warning window is due. Dates compare
// by their date part in local time, so a next test date of today is due, not overdue.
namespace DueDates {

enum class State { None, Due, Overdue };

// The default warning window in days, and the settings that change it.
constexpr int kDefaultWindowDays = 30;
inline const QString kSection = QStringLiteral("Due");
inline const QString kWindowKey = QStringLiteral("Days");

// Today, or VELMOR_TODAY (YYYY-MM-DD) when it is set, so that tests choose the day.
QDate Today();

// The date part of a stored date text ("2026-12-08 14:07:09"); an invalid date for NULL,
// text that is no date, and 1 January 1900, which stands for no date.
QDate NextTestDate(const QString& stored);

State Classify(const QDate& next, const QDate& today, int windowDays);

struct Entry {
    qint32 id = 0;
    QString device;
    QDate next;
    QString specification;
    QString client;
    State state = State::None;
};

// The current protocols (History = 0) that are overdue, or, with windowDays >= 0, due
// within windowDays from today as well; sorted by date, then id. False when the query fails.
bool List(CAdoDatabase& db, const QDate& today, int windowDays, std::vector<Entry>& out);

// The number of overdue current protocols, whatever filter a directory has on; -1 on failure.
int CountOverdue(CAdoDatabase& db, const QDate& today);

} // namespace DueDates
