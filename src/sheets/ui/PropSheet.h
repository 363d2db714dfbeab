#pragma once

#include "app/BaseEntry.h"
#include "sheets/ProtocolMasterData.h"
#include "sheets/ProtocolMeasurements.h"
#include "sheets/ProtocolSpecLines.h"

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

// Pages 2 and 3: the results of the test, or the first values judged anew against the limits;
// a click on a row fills the information panel.
class CPropPageMessungen : public QWidget {
    Q_OBJECT
public:
    CPropPageMessungen(CVELMOR740PCRemoteDoc& doc, qint32 protocolId, CProtocolMeasurements::Mode mode,
                       QWidget* parent = nullptr);

    const CProtocolMeasurements& Data() const { return m_data; }
    QTreeWidget* List() const { return m_list; }
    QLabel* StatusLine() const { return m_status; }
    QLabel* ValueLine() const { return m_value; }
    QLabel* LimitLine() const { return m_limit; }
    QLabel* ErrorSymbol() const { return m_error; }
    // The width at which no column is cut.
    int WidthNeeded() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void ShowDetail();

    CVELMOR740PCRemoteDoc& m_doc;
    CProtocolMeasurements m_data;
    QTreeWidget* m_list = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_value = nullptr;
    QLabel* m_limit = nullptr;
    QLabel* m_range = nullptr;
    QLabel* m_group = nullptr;
    QLabel* m_lead = nullptr;
    QLabel* m_error = nullptr;
    bool m_told = false;
};

// Page 4: the test specification the protocol was made with, line by line.
class CPropPageTyp : public QWidget {
    Q_OBJECT
public:
    CPropPageTyp(CVELMOR740PCRemoteDoc& doc, qint32 protocolId, QWidget* parent = nullptr);

    const CProtocolSpecLines& Data() const { return m_data; }
    QTreeWidget* List() const { return m_list; }
    // The width at which no line is cut.
    int WidthNeeded() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    CVELMOR740PCRemoteDoc& m_doc;
    CProtocolSpecLines m_data;
    QTreeWidget* m_list = nullptr;
    bool m_told = false;
};

// The device protocol sheet. Opened for one protocol id; Run shows it and, after OK with a
// change and the user's confirmation, saves the master data.
class CPropSheet : public QDialog {
    Q_OBJECT
public:
    CPropSheet(CVELMOR740PCRemoteDoc& doc, qint32 protocolId, QWidget* parent = nullptr);

    bool IsLoaded() const { return m_loaded; }
    CPropPageGeraet* MasterPage() const { return m_master; }
    CPropPageMessungen* ResultsPage() const { return m_results; }
    CPropPageMessungen* FirstValuesPage() const { return m_firstValues; }
    CPropPageTyp* SpecificationPage() const { return m_specification; }
    QTabWidget* Tabs() const { return m_tabs; }
    CProtocolMasterData& Data() { return m_data; }

    // Shows the sheet modally and saves; true when a change was saved.
    static bool Run(CVELMOR740PCRemoteDoc& doc, qint32 protocolId, QWidget* parent);
    // The save after OK (asks text 100 first); true when saved.
    bool SaveAfterOk();
    // The last save was refused: another workstation changed the record meanwhile.
    bool ChangedElsewhere() const { return m_changedElsewhere; }
    QString FailureMessage() const { return m_data.Message(); }

private:
    CVELMOR740PCRemoteDoc& m_doc;
    CProtocolMasterData m_data;
    QTabWidget* m_tabs = nullptr;
    CPropPageGeraet* m_master = nullptr;
    CPropPageMessungen* m_results = nullptr;
    CPropPageMessungen* m_firstValues = nullptr;
    CPropPageTyp* m_specification = nullptr;
    bool m_changedElsewhere = false;
    bool m_loaded = false;
};
