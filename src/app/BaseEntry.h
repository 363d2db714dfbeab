#pragma once

#include <QString>

class CBaseEntry;
class CVELMOR740PCRemoteDoc;

// The page that owns a list of property rows (a page of a sheet).
class CEntryPage {
public:
    virtual ~CEntryPage() = default;
    virtual void SetRowText(int row, int column, const QString& text) = 0;
    virtual void SetHelpText(const QString& text) = 0;
    virtual void SetChanged() = 0;
    virtual QString CheckMarkText() const = 0;
    virtual bool IsSingleChoice() const = 0;
    virtual int EntryCount() const = 0;
    virtual CBaseEntry* Entry(int row) = 0;
    virtual CVELMOR740PCRemoteDoc* Document() = 0;
    // Whether a new client may be given to the edited device protocol; a page that
    // refuses has told the user why.
    virtual bool AcceptClient(const QString& client) {
        Q_UNUSED(client);
        return true;
    }
};

// What the field editor is asked to edit.
struct CFieldEditRequest {
    CVELMOR740PCRemoteDoc* doc = nullptr;
    QString caption;
    QString value;
    QString column; // the assignment format up to its first blank
    QString table;  // "GeraeteTab" or "TypenTab"
    int maxLength = 0;
};

// The field editor of property rows. The program installs one; true with the new value
// when the user confirmed it.
class CFieldEditor {
public:
    virtual ~CFieldEditor() = default;
    virtual bool Edit(const CFieldEditRequest& request, QString& value) = 0;
};
CFieldEditor* FieldEditor();
// Installs the editor (not owned) and returns the previous one.
CFieldEditor* SetFieldEditor(CFieldEditor* editor);

// A property row of an editable list. Kind 0 is an edit row, 1 a choice row.
class CBaseEntry {
public:
    enum Kind : qint32 { EditRow = 0, ChoiceRow = 1 };

    virtual ~CBaseEntry() = default;
    // The device protocol's master-data page calls the first, the test specification
    // pages the second.
    virtual void Doubleclickfunction(int row, CEntryPage& page);
    virtual void Doubleclickfunction2(int row, CEntryPage& page);

    // The current assignment made from the assignment format and a value: a text value
    // has its apostrophes doubled, a number placeholder takes only a number. False
    // (assignment unchanged) when the value does not fit the placeholder.
    bool FormatAssignment(const QString& value);

    qint32 m_Kind = EditRow;
    qint32 m_Mark = 0;
    qint32 m_Editable = 1;
    QString m_Caption;
    QString m_Value;
    QString m_AssignmentFormat;
    QString m_Assignment;
    QString m_Further;
    QString m_Help;
};

// An edit row: opens the field editor.
class CEditEntry : public CBaseEntry {
public:
    // Works on GeraeteTab; the new value shows in column 1 and in the help field.
    void Doubleclickfunction(int row, CEntryPage& page) override;
    // Works on TypenTab; the new value shows in column 2.
    void Doubleclickfunction2(int row, CEntryPage& page) override;

    qint32 m_Min = 0;
    qint32 m_Max = 0;
    QString m_ValueFormat;

private:
    void Edit(int row, CEntryPage& page, const QString& table, int valueColumn, bool first);
};

// A choice row of the test specification pages: its double-click toggles the mark.
class CSelectEntry : public CBaseEntry {
public:
    CSelectEntry() { m_Kind = ChoiceRow; }
    void Doubleclickfunction2(int row, CEntryPage& page) override;
};
