#pragma once

#include "exchange/ExchangeTexts.h"
#include "exchange/ImportWorkflow.h"
#include "link/RS232.h"
#include "link/SerialProfile.h"

#include <QDialog>
#include <atomic>
#include <functional>

class CDriveWatcher;
class CImportProgress;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QThread;
class QTreeWidget;

// The settings the import dialog starts from and writes back ([Import] and [RS232]).
struct ImportDialogSetup {
    QString dataFolder;
    TextLookup lookup;
    int source = ImportSource::Tester; // ImportSource
    bool useQuery = false;
    bool specifications = true; // the kind: test specifications, else device protocols
    QString drive;
    QString folder;
    CSerialProfile serial;
    QString minimumRemoteVersion = QStringLiteral("1,0,6,50616");
    // The link's status for the main window; called from the workers.
    std::function<void(const CLinkStatus&)> linkStatus;
    // Ports a scan tries; empty: the link's own list.
    QStringList candidatePorts;
};

// The import dialog: the user picks the tester, a removable drive or a folder, previews
// what it offers, marks rows and imports them. Connecting, previewing and importing run
// on worker threads; the import itself is the import workflow.
class CImportV740 : public QDialog {
    Q_OBJECT
public:
    explicit CImportV740(ImportDialogSetup setup, QWidget* parent = nullptr);
    ~CImportV740() override;

    // The settings as the dialog leaves them.
    const ImportDialogSetup& Setup() const { return m_setup; }
    // A port scan found the tester on other settings (Setup().serial holds them).
    bool FoundByScan() const { return m_foundByScan; }
    bool IsConnected() const { return m_connected; }
    bool IsBusy() const { return m_worker != nullptr; }
    // The last error shown (a TextID) and its detail.
    qint32 LastError() const { return m_error; }
    const QString& LastErrorText() const { return m_errorText; }

    // The handlers, as the controls call them.
    void OnSourceChanged(int index);
    void OnDriveChanged(int index);
    void OnChooseFolder();
    void OnKind(bool specifications);
    void OnPreview();
    void OnMarkAll();
    void OnInvert();
    void OnImport();
    void OnClose();

    void reject() override;

signals:
    // WM_USER+102: a connection attempt ended.
    void connectEnded(bool success);
    // WM_USER+104: a preview or an import ended.
    void workEnded(bool success, bool enableImport);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QString T(qint32 textId) const;
    void BuildExplanation();
    void SetColumns();
    void ClearList();
    void SetControls(bool enabled);
    void EnableAfterFailure();
    void FillDrives(const QStringList& drives);
    void CheckPath(const QString& path);
    void StartConnect();
    void CloseLink();
    void ShowError(qint32 code, const QString& text);
    void SelectionChanged();
    void StartWorker(std::function<void()> work, std::function<void()> done);
    void ShowPreview(bool ok, qint32 error, const QString& errorText);
    CXmlSource* MakeSource();

    ImportDialogSetup m_setup;
    CRS232 m_link;
    bool m_connected = false;
    bool m_foundByScan = false;
    bool m_specsOnly = false;
    bool m_previewAllowed = false;
    qint32 m_error = 0;
    QString m_errorText;
    PreviewList m_preview;
    std::unique_ptr<CXmlSource> m_source;
    std::unique_ptr<CImportWorkflow> m_workflow;
    QThread* m_worker = nullptr;
    std::atomic<bool> m_cancel{false};
    CDriveWatcher* m_watcher;
    CImportProgress* m_progress;

    QLabel* m_picture;
    QLabel* m_explanation;
    QComboBox* m_sources;
    QComboBox* m_drives;
    QPushButton* m_folderButton;
    QLabel* m_status;
    QRadioButton* m_specButton;
    QRadioButton* m_protocolButton;
    QPushButton* m_previewButton;
    QCheckBox* m_useQuery;
    QTreeWidget* m_list;
    QLabel* m_rowCount;
    QPushButton* m_markAll;
    QPushButton* m_invert;
    QPushButton* m_importButton;
    QLabel* m_markedCount;
    QPushButton* m_close;
};

// The progress window of the tester preview and of the import: a title, a step text, a
// progress bar and Cancel, which asks the work to stop after the current record.
class CImportProgress : public QDialog {
    Q_OBJECT
public:
    CImportProgress(const TextLookup& lookup, std::atomic<bool>& cancel, QWidget* parent);
    void SetTitle(qint32 textId);
    void SetRange(int range);
    void SetPosition(int position);
    void SetStep(qint32 textId, const QString& arg);
    QString StepText() const;
    void reject() override;

private:
    TextLookup m_lookup;
    std::atomic<bool>& m_cancel;
    QLabel* m_step;
    class QProgressBar* m_bar;
    QPushButton* m_cancelButton;
};

// Runs the dialog modally and leaves its settings in setup; true when a scan found the
// tester on other serial settings.
bool RunImportDialog(QWidget* parent, ImportDialogSetup& setup);
