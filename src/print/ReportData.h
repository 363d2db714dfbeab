#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

class CAdoDatabase;

// What the reports print of one test specification and of one device protocol, read in
// one go before a page is started, so that a record that cannot be read prints nothing.
namespace Report {

// A measurement of the reference data (MessTab) as the reports use it.
struct Measurement {
    bool found = false;
    qint32 nameTextId = 0;
    QString unit;
    QString minValue; // range ends as stored: texts with a decimal point
    QString maxValue;
    qint32 digits = 0;
    qint32 compareMode = 0;
    qint32 jacksActive = 0;
};

struct AppliedPart {
    qint32 groupNo = 0;
    qint32 appliedPartId = 0;
    qint32 jacks = 0;
};

struct VisualStep {
    qint32 refNo = 0;
    qint32 textId = 0;
    QString text;
    qint32 result = 1; // protocol: the stored result
};

struct MeasurementStep {
    qint32 refNo = 0;
    qint32 measNo = 0;
    qint32 groupNo = 0;
    qint32 jacks = 0;
    double limit = 0;
    Measurement definition;
    // Protocol: the stored values and result.
    double value = 0;
    double firstValue = 0;
    qint32 result = 1;
};

struct FunctionalStep {
    qint32 refNo = 0;
    QString text;
    qint32 useLimits = 0;
    double low = 0;
    double high = 0;
    double value = 0;
    double firstValue = 0;
    qint32 result = 1;
};

// The parameters of the protective measures, in print order, with their label TextIDs.
struct Parameter {
    qint32 labelTextId = 0;
    qint32 value = -1;
};

struct Specification {
    qint32 id = 0;
    QString name;
    qint32 standardId = 0;
    qint32 classId = 0;
    qint32 typId = 0;
    QString manufacturer;
    QString description;
    qint32 reviewPeriod = 0;
    QDateTime createDate;
    QString iconSymbol;
    QString parameter;
    qint32 nominalPower = 0;
    double cordLength = 0;
    bool partsUsed = false;
    qint32 measMethodeId = 0;
    qint32 testSequenceId = 0;
    QList<Parameter> parameters;
    QList<AppliedPart> parts;
    QList<VisualStep> visual;
    QList<MeasurementStep> measurements;
    QList<FunctionalStep> functional;
};

struct Protocol {
    qint32 id = 0;
    QString specificationName;
    QString device;
    QString nominalVoltage;
    QDateTime testDate;
    qint32 testResultId = 0;
    QString op;
    QString serial;
    QString manufacturer;
    QString description;
    QString client;
    QString location;
    QString department;
    QString room;
    QString costs;
    QString comment;
    QDateTime firstTestDate;
    QDateTime nextTestDate;
    QString testerName;
    QString testerSerial;
    QString testerSw;
    QString city;
    QString street;
    qint32 reviewPeriod = 0;
    bool specificationFound = false;
    Specification specification; // with the protocol's results in its steps
};

// One line of a list report.
struct ListLine {
    bool found = false;
    QString name; // Name or Device
    QString description;
    qint32 standardId = 0;
    QDateTime createDate;
    qint32 testResultId = 0;
    QString client;
    QDateTime testDate;
    QDateTime nextTestDate;
};

// Reads specification id from db (user2.db) with the measurement definitions from ref
// (velmor.db). False when the record is missing or a value cannot be read; error then
// holds the database's error number (0 for a missing record).
bool ReadSpecification(CAdoDatabase& db, CAdoDatabase& ref, qint32 id, Specification& spec, qint32& error);

// Reads protocol id and, when it exists, the specification it names with the results
// joined to its steps. A missing specification is not a failure: specificationFound
// says so. firstTest selects the steps of the first-test report (functional steps with
// limits only).
bool ReadProtocol(CAdoDatabase& db, CAdoDatabase& ref, qint32 id, bool firstTest, Protocol& protocol,
                  qint32& error);

// The line of one id of a list; db has the table open on its index "idx" (TypenTab for
// specifications, GeraeteTab for protocols). An id that does not exist gives a line
// that is not found.
ListLine ReadListLine(CAdoDatabase& db, bool specifications, qint32 id);

// Passed or failed, as the first-test report judges a value against its limit.
bool FirstValuePassed(qint32 compareMode, double value, double limit);

} // namespace Report
