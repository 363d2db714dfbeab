#pragma once

#include <QString>
#include <functional>
#include <vector>

class CAdoDatabase;

// What the test-step page keeps per row for its detail panel.
struct CMessValues {
    int kind = 0;        // 0 visual and measurement rows; functional rows UseLimitsID + 1
    double value = 0;    // measurement: the step's Limit; functional: LowLimit
    double value2 = 0;   // functional: HighLimit
    QString unitOrLimit; // measurement: unit; functional: the limit-kind text
    QString minimum;     // measurement: the definition's MinValue
    QString maximum;     // measurement: the definition's MaxValue
    int digits = 0;      // measurement: Digits; functional: 2
    quint32 groupMask = 0;
    quint32 jackMask = 0;
    QString appliedPart;
    bool hasAppliedPart = false;
};

// The test-step page of the test specification sheet as data: one row per visual,
// measurement and functional step, in the order the tester runs them.
class CTestStepsData {
public:
    using Texts = std::function<QString(qint32 textId, const QString& fallback)>;

    struct Row {
        QString key;      // "V%d", "M%d", "F%d"
        QString text;     // the step's name
        QString apColumn; // the jack list of an applied-part row, when the page has that column
        CMessValues values;
    };

    // What the detail panel shows for a row (empty texts: the field is hidden).
    struct Detail {
        QString name;
        QString limitLine;
        QString groupCaption;
        QString groupJacks;
        QString appliedPart;
        QString leadLine;
    };

    // Reads specification specId from db and the measurement definitions from ref (velmor.db).
    // A failed read stops the filling there: the rows so far stay, false is returned.
    bool Load(CAdoDatabase& db, CAdoDatabase& ref, qint32 specId, const Texts& texts);

    Detail DetailOf(int row) const;

    bool partsUsed = false;
    qint32 standardId = 0;
    std::vector<Row> rows;

private:
    QString T(qint32 id, const char* fallback) const;
    Texts m_texts;
};

// "1-3,5" for jacks 1, 2, 3 and 5 (bit 0 is jack 1).
QString SheetJackList(quint32 mask);

// An applied part of a specification, as the measurement rows find theirs.
struct SheetAppliedPart {
    qint32 groupNo = 0;
    QString text;
    qint32 jacks = 0;
};

// Finds the applied part of a measurement step and fills the group mask, jack mask and part
// text of values. A step with jacks of its own names its group in the upper word of groupNo
// (the lowest set bit of 0 to 14); one without takes the jacks of the part of group groupNo.
// False when no part matches.
bool SheetFindAppliedPart(const std::vector<SheetAppliedPart>& parts, qint32 groupNo, qint32 jacks,
                          CMessValues& values);
