#pragma once

#include <QString>

#include <QDateTime>
#include <vector>

class CAdoDatabase;
class CXmlWriter;

// The values of a full Specification start tag, in attribute order.
struct XmlSpecification {
    QString name;
    qint32 standardId = 0;
    qint32 classId = 0;
    QString manufacturer;
    QString description;
    qint32 reviewPeriod = 0;
    qint32 typId = 0;
    qint32 measMethodId = 0;
    qint32 testSequenceId = 0;
    double cordLength = 0;
    qint32 nominalPower = 0;
    qint32 allPe = 0;
    qint32 isoMeas = 0;
    qint32 mainsSeparation = 0;
    qint32 powerPhase = 0;
    qint32 warningNotice = 0;
    qint32 partsUsed = 0; // as stored (-1 for yes); written as its absolute value
    QString run;
    QString parameter;
    QString iconSymbol;
    QString bitmap;
    qint32 exportImport = 0;
    QString externalUse;
    QString createDate; // dd.MM.yyyy
    QString createTime; // hh:mm:ss
    QString guid;
    qint32 voltageAccessiblePart = 0;
    qint32 functionEarth = 0;
    qint32 voltageSignalIO = 0;
    qint32 accessibleParts = 0;
    qint32 phaseReverseEnable = 0;
    qint32 totalPabl = 0;
    qint32 useExtraPolation = 1;
};

// The values of a full Protocol start tag, in attribute order. specificationGuid is
// written only by AddProtocolWithSpecification (the file variant).
struct XmlProtocol {
    QString device;
    QString specificationName;
    QString specificationGuid;
    qint32 testResultId = 0;
    QString testDate; // dd.MM.yyyy
    QString testTime; // hh:mm:ss
    QString firstTestDate;
    QString nextTestDate;
    QString op; // Operator
    QString nominalVoltage;
    QString manufacturer;
    QString description;
    QString serial;
    QString client;
    QString location;
    QString department;
    QString room;
    QString costs;
    QString comment;
    qint32 exportImport = 0;
    QString externalUse;
    QString testerName;
    QString testerSerial;
    QString testerSW;
    QString guid;
    QString city;
    QString street;
    qint32 reviewPeriod = 0;
    QString dutClass;
    qint32 useExtraPolation = 1;
};

// One test specification with its steps, as a document carries it.
struct XmlSpecificationRecord {
    XmlSpecification master;
    struct Part {
        qint32 groupNo = 0;
        qint32 appliedPartId = 0;
        qint32 jacks = 0;
        QString description;
    };
    struct Visual {
        qint32 refNo = 0;
        qint32 textId = 0;
        QString text;
    };
    struct Test {
        qint32 refNo = 0;
        qint32 measNo = 0;
        qint32 mainOrder = 0;
        qint32 typOrder = 0;
        qint32 groupNo = 0;
        double limit = 0;
        qint32 jacks = 0;
    };
    struct Functional {
        qint32 refNo = 0;
        QString text;
        qint32 useLimitsId = 0;
        double lowLimit = 0;
        double highLimit = 0;
    };
    qint32 id = 0; // TypenTab id when read from the database
    std::vector<Part> parts;
    std::vector<Visual> visual;
    std::vector<Test> tests;
    std::vector<Functional> functional;
};

// One device protocol with its results.
struct XmlProtocolRecord {
    XmlProtocol master;
    struct Result {
        qint32 refNo = 0;
        double measValue = 0;
        qint32 result = 0;
        double firstValue = 0;
    };
    qint32 id = 0;              // GeraeteTab id when read from the database
    std::vector<Result> visual; // measValue and firstValue unused
    std::vector<Result> tests;
    std::vector<Result> functional;
};

namespace XmlRecords {

// Appends the record's lines: the start tag, the groups, the end tag. AppliedParts
// appears when PartsUsed is set, VisualSteps and VisualRefs always (empty when there are
// no rows), TestSteps, FunctionalSteps, TestRefs and FunctionalRefs only with rows.
void AppendSpecification(CXmlWriter& xml, const XmlSpecificationRecord& record);
// withSpecificationGuid: the file variant; the tester's variant leaves it out.
void AppendProtocol(CXmlWriter& xml, const XmlProtocolRecord& record, bool withSpecificationGuid);

// Why a record could not be read.
enum class ReadFailure {
    None,
    NotOpened,  // the record's query could not be opened
    NotFound,   // no record with that id
    Unreadable, // a column or a step row could not be read
};

// Reads a record with its rows from the user database (rows in the order the database
// returns them). A NULL column reads as empty or 0; UseExtraPolation as 1 when the column
// cannot be read.
bool ReadSpecification(CAdoDatabase& db, qint32 id, XmlSpecificationRecord& record, ReadFailure& failure);
// Also looks up the specification's GUID by SpecificationName; a specification that is
// not there makes the record unreadable.
bool ReadProtocol(CAdoDatabase& db, qint32 id, XmlProtocolRecord& record, ReadFailure& failure);

// The date and time pictures of the format: dd.MM.yyyy and HH:mm:ss, whatever the locale.
QString DateText(const QDateTime& value);
QString TimeText(const QDateTime& value);

} // namespace XmlRecords
