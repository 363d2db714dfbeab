#pragma once

#include "store/TextIds.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <functional>

class CAdoDatabase;

// Everything a report of one device protocol shows, read from user2.db and velmor.db in
// one pass: the protocol, its test specification with the applied parts, and the visual,
// measurement and functional results. The CSV export formats it; a printed report can
// read the same data and use the same number and jack texts.
struct ProtocolReportData {
    qint32 id = 0;
    qint32 exportImport = 0;
    QString specificationName, device, nominalVoltage, op, serial, location, room, department, costs, comment,
        manufacturer, description, client, testerName, testerSerial, testerSw, guid;
    qint32 resultId = 0;
    QDateTime testDate, firstTestDate, nextTestDate;

    qint32 standardId = 0, classId = 0, reviewPeriod = 0;
    bool partsUsed = false;
    QString specManufacturer, specDescription, iconSymbol;
    QDateTime createDate;

    struct Part {
        qint32 groupNo = 0, appliedPartId = 0, jacks = 0;
    };
    QList<Part> parts;

    struct Visual {
        qint32 result = 0, textId = 0;
        QString text;
    };
    QList<Visual> visual;

    // The reference data's definition of a measurement number (MessTab).
    struct Definition {
        bool found = false;
        qint32 jacksActive = 0;
        QString unit, minValue, maxValue;
        qint32 digits = 0, nameTextId = 0, compareMode = 0;
    };
    struct Measurement {
        qint32 result = 0, measNo = 0, groupNo = 0;
        double value = 0, limit = 0;
        Definition definition;
    };
    QList<Measurement> measurements;

    struct Functional {
        qint32 result = 0, useLimits = 0;
        double value = 0, low = 0, high = 0;
        QString text;
    };
    QList<Functional> functional;

    // The standard's factor in percent when the values were extrapolated to it; 0 for none.
    qint32 extrapolationFactor = 0;
};

namespace ProtocolReport {

// Error TextIDs of Read.
inline constexpr qint32 kOpenDatabase = TextId::kOpenDatabase;
inline constexpr qint32 kRecordNotFound = 168;
inline constexpr qint32 kRecordUnreadable = 169;

// Reads protocol `id` from db (user2.db) and the measurement definitions and the
// extrapolation factor from ref (velmor.db). An unreadable value would put a wrong report
// out, so it fails the read: error is one of the numbers above, detail names a missing
// test specification.
bool Read(CAdoDatabase& db, CAdoDatabase& ref, qint32 id, ProtocolReportData& data, qint32& error,
          QString& detail);

// "1-3,5" for jacks 1, 2, 3 and 5 (bit 0 is jack 1).
QString JackList(quint32 jacks);
// A number in the locale's format with 0 to 15 decimals.
QString Number(const QLocale& locale, double value, int decimals);
// A date in the locale's short format; nothing for no date or 1.1.1900.
QString Date(const QLocale& locale, const QDateTime& date);
// A measured value as its definition shows it: "     -" where the value is not compared,
// "< " or "> " in front of a value at the end of the instrument's range.
QString MeasuredValue(const QLocale& locale, const ProtocolReportData::Measurement& m);
// A limit, or "     -" for none.
QString Limit(const QLocale& locale, const ProtocolReportData::Measurement& m);

} // namespace ProtocolReport

// The CSV report of a protocol as lines, without line ends: a pure function of the data,
// the catalogue texts of the report's language, its locale and the day of the export.
QStringList CsvReportLines(const ProtocolReportData& data, const std::function<QString(qint32)>& text,
                           const QLocale& locale, const QDate& today);
