#pragma once

#include "app/BaseEntry.h"
#include "sheets/ProtocolMasterData.h"

#include <QDialog>
#include <memory>
#include <vector>

class CVELMOR740PCRemoteDoc;
class QLabel;
class QPushButton;
class QTabWidget;
class QTreeWidget;

// Page 1 of the device protocol sheet: the result, the test dates, and the editable master
// data, each row edited in the field editor (a new client is checked first).
class CPropPageGeraet : public QWidget, public CEntryPage {
    Q_OBJECT
public:
    CPropPageGeraet(CVELMOR740PCRemoteDoc& doc, CProtocolMasterData& data, QWidget* parent = nullptr);

    // CEntryPage
    void SetRowText(int row, int column, const QString& text) override;
    void SetHelpText(const QString& text) override;
    void SetChanged() override { m_changed = true; }
    QString CheckMarkText() const override { return QString(QChar(0x221A)); }
    bool IsSingleChoice() const override { return false; }
    int EntryCount() const override { return int(m_entries.size()); }
    CBaseEntry* Entry(int row) override;
    CVELMOR740PCRemoteDoc* Document() override { return &m_doc; }
    bool AcceptClient(const QString& client) override;

    bool Changed() const { return m_changed; }
    // Hands the edited rows to the data for the save.
    void CommitRows();

    QTreeWidget* List() const { return m_list; }
    QLabel* ResultLine() const { return m_result; }
    QPushButton* NextTestButton() const { return m_nextTest; }
    void EditCurrent();
    void ChangeNextTest();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowInfo();
    void ShowNextTestLine();

    CVELMOR740PCRemoteDoc& m_doc;
    CProtocolMasterData& m_data;
    std::vector<std::unique_ptr<CEditEntry>> m_entries;
    QTreeWidget* m_list = nullptr;
    QLabel* m_result = nullptr;
    QLabel* m_nextTestLine = nullptr;
    QLabel* m_infoTitle = nullptr;
    QLabel* m_infoText = nullptr;
    QPushButton* m_nextTest = nullptr;
    bool m_changed = false;
};

// The device protocol sheet. Opened for one protocol id; Run shows it and, after OK with a
// change and the user's confirmation, saves the master data.
class CPropSheet : public QDialog {
    Q_OBJECT
public:
    CPropSheet(CVELMOR740PCRemoteDoc& doc, qint32 protocolId, QWidget* parent = nullptr);

    bool IsLoaded() const { return m_loaded; }
    CPropPageGeraet* MasterPage() const { return m_master; }
    QTabWidget* Tabs() const { return m_tabs; }
    CProtocolMasterData& Data() { return m_data; }

    // Shows the sheet modally and saves; true when a change was saved.
    static bool Run(CVELMOR740PCRemoteDoc& doc, qint32 protocolId, QWidget* parent);
    // The save after OK (asks text 100 first); true when saved.
    bool SaveAfterOk();

private:
    CVELMOR740PCRemoteDoc& m_doc;
    CProtocolMasterData m_data;
    QTabWidget* m_tabs = nullptr;
    CPropPageGeraet* m_master = nullptr;
    bool m_loaded = false;
};
