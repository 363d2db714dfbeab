#pragma once

#include "sheets/TestStepsData.h"

#include <QDateTime>
#include <QString>
#include <functional>
#include <vector>

class CAdoDatabase;

// What a row of the measurement pages keeps for the information panel.
struct CMessVal {
    enum class Kind { Visual, Measurement, Functional };
    Kind kind = Kind::Visual;
    qint32 number = 0; // RefNo of the step; MeasNo for a measurement
    bool known = true; // a measurement whose definition the reference data has
    bool passed = false;
    bool hasValue = false; // a functional step without a value (UseLimitsID 0) has none
    double value = 0;      // MeasValue, or FirstValue on the first-values page
    double limit = 0;      // measurement: the step's Limit; functional: LowLimit
    double highLimit = 0;  // functional: HighLimit
    qint32 useLimits = 0;  // functional: UseLimitsID
    qint32 compareMode = 0;
    QString unit;
    QString minimum; // the definition's range, as its texts
    QString maximum;
    int digits = 0;
    CMessValues part; // group and jacks of a measurement with applied parts
};

// Pages 2 and 3 of the device protocol sheet as data: the results of the test (mode
// Results) or the device's first values judged anew against the limits (mode FirstValues),
// one row per visual, measurement and functional step. Shared by the sheet and `v740ctl show`.
class CProtocolMeasurements {
public:
    using Texts = std::function<QString(qint32 textId, const QString& fallback)>;

    enum class Mode { Results = 0, FirstValues = 1 };

    struct Row {
        QString mark; // U+221A passed, "X" failed
        QString key;  // "V%d", "M%d", "F%d" with the step's RefNo
        QString text;
        QString apColumn; // the jack list, on a page with the applied-part column
        CMessVal values;
    };

    // The information panel of a row (an empty text: the line is hidden).
    struct Detail {
        QString name;
        QString valueLine;
        QString limitLine;
        QString rangeLine;
        QString groupLine;
        QString leadLine;
        bool failed = false; // shows the error symbol
    };

    // Reads protocol id of db with its specification and the measurement definitions of ref
    // (velmor.db). False when the protocol cannot be read; a missing specification is not a
    // failure: the page shows specificationMissing's message and no rows.
    bool Load(CAdoDatabase& db, CAdoDatabase& ref, qint32 protocolId, Mode mode, const Texts& texts);

    Detail DetailOf(int row) const;
    // The list's column heads: mark (empty), number, step, and the applied-part head when used.
    QStringList Heads() const;
    // The displayed columns of a row, as the list shows them.
    QStringList Columns(int row) const;

    // A first value against its step's limit, by the definition's LimitCompareMode.
    static bool FirstValuePasses(qint32 compareMode, double value, double limit);
    // A functional first value: UseLimitsID 1 always passes, 2 within LowLimit..HighLimit.
    static bool FunctionalFirstValuePasses(qint32 useLimits, double value, double low, double high);
    // A measured value with the definition's digits, "< " or "> " at its range ends; a yes/no
    // measurement (compare mode 2) shows no number.
    static QString FormatValue(double value, const CMessVal& v);

    Mode mode = Mode::Results;
    QString specificationName;
    bool specificationMissing = false;
    QString message;    // the missing-specification message
    QString statusLine; // first test date, or the extrapolation note
    QDateTime firstTestDate;
    bool partsUsed = false;
    std::vector<Row> rows;

private:
    QString T(qint32 id, const char* fallback) const;
    bool LoadMeasurements(CAdoDatabase& db, CAdoDatabase& ref, qint32 protocolId, qint32 specId,
                          const std::vector<SheetAppliedPart>& parts);
    Texts m_texts;
};
