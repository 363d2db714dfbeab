#pragma once

#include "app/BaseClass.h"
#include "views/DirectoryRecords.h"

// The folder object of a data directory: list load, filter, refresh. CTypObject and
// CGeraeteObject differ only in their records and texts.
class CDataDirectory : public CBaseClass {
public:
    explicit CDataDirectory(DirectoryRecords::Kind kind) : m_kind(kind) {}
    void DoClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;
    void DoDoubleClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;
    void DoEmptyClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;
    void DoFilterFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;
    void RefreshView(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;

    DirectoryRecords::Kind Kind() const { return m_kind; }
    bool FilterOn() const { return m_filterOn != 0; }

protected:
    DirectoryRecords::Kind m_kind;
    int m_filterOn = 0;
    QString m_query;
};

class CTypObject : public CDataDirectory {
public:
    CTypObject() : CDataDirectory(DirectoryRecords::Kind::Specifications) {}
};

class CGeraeteObject : public CDataDirectory {
public:
    CGeraeteObject() : CDataDirectory(DirectoryRecords::Kind::Protocols) {}
};

// The handler of every row of a data directory: details, Properties, context menu and
// its commands (history, select as current, delete, export).
class CDataTable : public CBaseClass {
public:
    explicit CDataTable(DirectoryRecords::Kind kind) : m_kind(kind) {}
    void DoClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;
    void DoDoubleClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;
    void DoEmptyClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;
    void DoActionFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc, qint32 recordId) override;
    void RefreshView(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override;

    // The menu entries for the current selection (count, history shown).
    QList<CMenuEntry> MenuEntries(CVELMOR740PCRemoteDoc& doc, int selected, bool historyShown) const;
    // The history list of a device (0 reuses the device shown last).
    void ShowHistory(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc, qint32 recordId);
    bool SelectAsCurrent(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc, qint32 recordId);
    // Asks, deletes with progress and reloads; false when nothing was deleted.
    bool Delete(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc);
    QString HistoryGuid() const { return m_guid; }

private:
    DirectoryRecords::Kind m_kind;
    QString m_guid; // device of the history list
    bool Specs() const { return m_kind == DirectoryRecords::Kind::Specifications; }
};

class CTypTable : public CDataTable {
public:
    CTypTable() : CDataTable(DirectoryRecords::Kind::Specifications) {}
};

class CGeraetTable : public CDataTable {
public:
    CGeraetTable() : CDataTable(DirectoryRecords::Kind::Protocols) {}
};

// Fills the list with rows of a data directory; re-selects the view's selected record id.
// Returns true when a row was re-selected.
bool FillDirectoryList(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc, DirectoryRecords::Kind kind,
                       std::vector<DirectoryRecords::Row>&& rows, bool colourCurrent);
