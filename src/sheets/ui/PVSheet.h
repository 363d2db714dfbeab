#pragma once

#include "app/BaseEntry.h"
#include "sheets/SpecSheetPages.h"
#include "sheets/TestStepsData.h"

#include <QDialog>

class CVELMOR740PCRemoteDoc;
class QGroupBox;
class QLabel;
class QTabWidget;
class QTreeWidget;

// A page of property rows of the test specification sheet.
class CPagePVParams : public QWidget, public CEntryPage {
    Q_OBJECT
public:
    CPagePVParams(CVELMOR740PCRemoteDoc& doc, CSpecSheetPages::Page& page, bool& changed,
                  QWidget* parent = nullptr);

    void SetRowText(int row, int column, const QString& text) override;
    void SetHelpText(const QString& text) override;
    void SetChanged() override { m_changed = true; }
    QString CheckMarkText() const override { return QString(QChar(0x221A)); }
    bool IsSingleChoice() const override { return m_page.singleChoice; }
    int EntryCount() const override { return int(m_page.rows.size()); }
    CBaseEntry* Entry(int row) override;
    CVELMOR740PCRemoteDoc* Document() override { return &m_doc; }

    QTreeWidget* List() const { return m_list; }
    QLabel* HelpText() const { return m_helpText; }
    void OpenCurrent();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void ShowHelp();

    CVELMOR740PCRemoteDoc& m_doc;
    CSpecSheetPages::Page& m_page;
    bool& m_changed;
    QTreeWidget* m_list = nullptr;
    QGroupBox* m_helpTitle = nullptr;
    QLabel* m_helpText = nullptr;
};

// The test-step page: every step in the tester's order, with a detail panel.
class CPageTestSteps : public QWidget {
    Q_OBJECT
public:
    CPageTestSteps(CVELMOR740PCRemoteDoc& doc, qint32 specId, QWidget* parent = nullptr);
    QTreeWidget* List() const { return m_list; }
    const CTestStepsData& Data() const { return m_data; }
    QLabel* LimitLine() const { return m_limit; }

private:
    void ShowDetail();

    CVELMOR740PCRemoteDoc& m_doc;
    CTestStepsData m_data;
    QTreeWidget* m_list = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_limit = nullptr;
    QLabel* m_groupCaption = nullptr;
    QLabel* m_groupJacks = nullptr;
    QLabel* m_appliedPart = nullptr;
    QLabel* m_lead = nullptr;
};

// The test specification sheet: the property pages, then the test steps.
class CPVSheet : public QDialog {
    Q_OBJECT
public:
    CPVSheet(CVELMOR740PCRemoteDoc& doc, qint32 specId, QWidget* parent = nullptr);

    bool IsLoaded() const { return m_loaded; }
    bool Changed() const { return m_changed; }
    CSpecSheetPages& Pages() { return m_pages; }
    QTabWidget* Tabs() const { return m_tabs; }

    // Asks text 100 and saves after OK with a change; true when saved.
    bool SaveAfterOk();
    // The last save was refused: another workstation changed the record meanwhile.
    bool ChangedElsewhere() const { return m_changedElsewhere; }
    QString FailureMessage() const { return m_pages.Message(); }
    static bool Run(CVELMOR740PCRemoteDoc& doc, qint32 specId, QWidget* parent);

private:
    CVELMOR740PCRemoteDoc& m_doc;
    CSpecSheetPages m_pages;
    QTabWidget* m_tabs = nullptr;
    bool m_changed = false;
    bool m_loaded = false;
    bool m_changedElsewhere = false;
};
