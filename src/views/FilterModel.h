#pragma once

#include "views/QueryBuilder.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <array>
#include <functional>
#include <optional>
#include <vector>

// How the distinct values of a type-1 field become its choices.
enum class ValueList {
    None,         // no choice list (text, number and date fields)
    TextId,       // the column holds TextIDs: shown as their catalogue texts
    Text,         // value and display are the text
    Integer,      // "%d"
    Float,        // "%.4f" (cord length)
    YesNo,        // "Active" / "Not Active"
    ImportExport, // the four fixed choices of ExportImport
    Sort          // the sort columns of the directory
};

// One filter field of a directory: texts, SQL column, kind, input type and, filled on first
// use, the choices. Hidden duplicates of a display text carry CFilterModel::kMark in front.
struct CTextItem {
    int row = 0; // 1-based row of the directory's field table
    QString caption;
    QString prompt;
    QString notSpecified;
    QString displayColumn; // the column without its table
    QString column;        // SQL column expression
    QString table;
    QString kind; // a kind of the query builder
    int inputType = 0;
    QString defaultOperator;
    ValueList valueList = ValueList::None;
    bool filled = false;
    QStringList displays;
    QStringList values;

    // Date and value comparisons have an operator choice beside their value control.
    bool HasOperator() const;
};

// One condition slot of the dialog: the chosen field (index into Fields(), -1 for none), the
// value text as shown and the operator.
struct CFilterSlot {
    int field = -1;
    QString value;
    QString op;
};

// The filter and sort dialog without its window: field tables of both directories, choice
// lists, restore from the three stored lists and the statement of OK. The dialog and v740ctl
// drive the same object.
class CFilterModel {
public:
    static constexpr int kConditions = 3;
    static constexpr int kSorts = 2;
    static constexpr int kEntries = kConditions + kSorts;
    static const QString kNoEntry; // 36 hyphens: no field, no value
    static const QString kMark;    // prefix of a hidden duplicate choice
    static const QStringList& Operators();

    // A catalogue lookup: true with the text, false when the TextID has none.
    using TextLookup = std::function<bool(qint32, QString&)>;

    // key "GERAETE" or "TYPE"; the choice lists are read from databaseFile in dataFolder.
    CFilterModel(const QString& key, const QString& baseQuery, TextLookup text, const QString& databaseFile,
                 const QString& dataFolder);

    const QString& Key() const { return m_key; }
    const std::vector<CTextItem>& Fields() const { return m_fields; }
    const CTextItem& Field(int index) const { return m_fields[size_t(index)]; }
    // The fields a condition slot offers (all but the sort row), as indexes into Fields().
    const QList<int>& ConditionFields() const { return m_conditionFields; }
    // Index of the field with this caption among the condition fields; -1 when none has it,
    // -2 when several have it.
    int FindField(const QString& caption) const;
    // Index of the field of a 1-based table row, -1 when there is none or it is the sort row.
    int FieldOfRow(int row) const;

    // Sort choices: "Not Used" first, then the sort columns (display text, SQL column).
    QString NotUsedText() const { return m_notUsed; }
    QStringList SortTexts() const;
    QString SortColumnOf(const QString& display) const; // empty: not a sort column
    QString SortTextOf(const QString& column) const;
    // Display text of an operator ("<", "=", ...), from the catalogue.
    QString OperatorText(const QString& op) const;

    // Fills the choices of a type-1 field the first time; shows the InitCombo message and
    // returns false when there are none.
    bool FillChoices(int field);
    // The choices a value control shows (no hidden duplicates).
    QStringList VisibleChoices(int field);
    // Is the text a value the field's control could hold? Numbers for type 3, YYYY-MM-DD
    // dates for type 4, a visible choice for type 1; every text for type 2.
    bool ValueValid(int field, const QString& text);

    // Dialog state.
    bool FilterOn() const { return m_filterOn; }
    void SetFilterOn(bool on) { m_filterOn = on; }
    CFilterSlot& Condition(int slot) { return m_slots[size_t(slot)]; }
    const CFilterSlot& Condition(int slot) const { return m_slots[size_t(slot)]; }
    // Chooses a field for a slot: the value empties, the operator is the field's default.
    void SetField(int slot, int field);
    // SQL column of a sort priority; empty is "Not Used".
    QString Sort(int priority) const { return m_sorts[size_t(priority)]; }
    void SetSort(int priority, const QString& column) { m_sorts[size_t(priority)] = column; }
    // Every slot and sort empty; only while the filter is on.
    bool ClearAll();

    // Restores the dialog from the stored flag, statement and lists. A caption found in no
    // field leaves its slot empty.
    void Restore(int filterOn, const QString& query, const QStringList& list1, const QStringList& list2,
                 const QStringList& list3);

    // The condition a slot hands to the query builder; nothing when it yields no fragment.
    std::optional<QueryBuilder::CFilterCondition> ConditionOf(int slot);

    struct Result {
        QString query;
        int filterOn = 0; // -1 on, 0 off
        QStringList list1, list2, list3;
    };
    // OK: the statement over the base query and the three lists to store.
    Result Apply();

private:
    void BuildFields();
    QString Text(qint32 id, const QString& fallback) const;
    std::optional<QueryBuilder::CFilterCondition> ConditionFor(int field, const QString& value,
                                                               const QString& op);

    QString m_key;
    QString m_baseQuery;
    TextLookup m_text;
    QString m_databaseFile;
    QString m_dataFolder;
    std::vector<CTextItem> m_fields;
    QList<int> m_conditionFields;
    QString m_notUsed;
    QList<QPair<QString, QString>> m_sortColumns; // display, SQL column
    bool m_filterOn = false;
    std::array<CFilterSlot, kConditions> m_slots;
    std::array<QString, kSorts> m_sorts;
};
