#pragma once

#include <QDateTime>
#include <QString>
#include <functional>
#include <vector>

class CAdoDatabase;

// The first page of the device protocol sheet as data: what it shows of the protocol, its
// editable master-data fields, and the save that the sheet's OK performs. Shared by the
// sheet and `v740ctl show`/`edit`.
class CProtocolMasterData {
public:
    // A catalogue text by TextID, with the English fallback.
    using Texts = std::function<QString(qint32 textId, const QString& fallback)>;

    struct Field {
        qint32 labelTextId = 0;
        QString column;
        int maxLength = 0;
        QString label;
        QString value;
        bool modified = false;
    };

    enum class ResultColour { Passed, Failed, Other };

    enum class SaveResult {
        Saved,
        ClientTaken,      // another device of this name has the client (message set)
        ChangedElsewhere, // another workstation changed the protocol since Load (message set)
        DatabaseError     // the statement or the check failed (message set)
    };

    // The editable fields in list order: label TextID, column, maximum characters.
    static const std::vector<Field>& FieldTable();

    // Reads protocol id; false when it cannot be read (message set).
    bool Load(CAdoDatabase& db, qint32 id, const Texts& texts);

    // Sets a field's value as the field editor or the command line gives it; false (value
    // unchanged, message set) for a column the page does not edit or a value too long.
    bool SetField(const QString& column, const QString& value);
    Field* FindField(const QString& column);

    // The next-test-date dialog's results: the date and the device-specific interval.
    void SetNextTest(const QDate& date, int reviewPeriod);

    bool Modified() const { return m_modified; }

    // The UPDATE the sheet's OK runs: the assignments of the modified fields, then the next
    // test date and the review period; every text value is quoted.
    QString SaveStatement() const;

    // Checks a changed client against the other devices of this name and runs the save in
    // one transaction, so two windows cannot both take the same device and client. On a
    // server the protocol must still be as Load read it: a change another workstation
    // committed meanwhile is never written over.
    SaveResult Save(CAdoDatabase& db);

    // The check that the field editor runs before it accepts a new client.
    SaveResult CheckClient(CAdoDatabase& db, const QString& client);

    const QString& Message() const { return m_message; }

    qint32 id = 0;
    QString device;
    QString guid;
    QString specificationName;
    qint32 resultTextId = 0;
    QString resultText;
    ResultColour resultColour = ResultColour::Other;
    QString operatorName;
    QDateTime testDate;     // invalid for none (1 January 1900 counts as none)
    QDateTime nextTestDate; // invalid for none
    qint32 reviewPeriod = 0;
    qint32 specificationReviewPeriod = 12;
    std::vector<Field> fields;

private:
    QString T(qint32 id, const char* fallback) const;
    QString DuplicateMessage(const QString& client) const;

    Texts m_texts;
    QString m_message;
    QString m_originalClient;
    QString m_version; // the row's version when it was read (RowVersion)
    bool m_modified = false;
};
