#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class CAdoDatabase;

// Page 4 of the device protocol sheet as data: the test specification that the protocol was
// made with, as lines of label and value in groups (master data, device data, test parameters,
// applied parts, steps) separated by a dash line. Shared by the sheet and `v740ctl show`.
class CProtocolSpecLines {
public:
    using Texts = std::function<QString(qint32 textId, const QString& fallback)>;

    struct Line {
        QString label;
        QString value;
        bool separator = false;
    };

    // Reads protocol id of db, the specification it names and the measurement definitions of
    // ref (velmor.db). False when the protocol cannot be read; a missing specification is not
    // a failure: specificationMissing and message are set and there are no lines.
    bool Load(CAdoDatabase& db, CAdoDatabase& ref, qint32 protocolId, const Texts& texts);

    // The displayed columns of a line: label and value, or the dash line alone.
    QStringList Columns(int line) const;
    static QString SeparatorText();

    QString specificationName;
    bool specificationMissing = false;
    QString message;
    std::vector<Line> lines;

private:
    QString T(qint32 id, const char* fallback) const;
    // A text that is data (a class, a method, a step): "TextID %d ?" when the catalogue lacks it.
    QString DataText(qint32 id) const;
    void Add(const QString& label, const QString& value);
    void Separate();
    Texts m_texts;
};
