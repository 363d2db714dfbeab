#pragma once

#include "exchange/ExchangeTexts.h"
#include "exchange/XmlSource.h"

#include <QDialog>
#include <QList>
#include <atomic>

class CDriveWatcher;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QThread;

// What the opening directory hands the export dialog, and the last drive and folder it
// gets back.
struct ExportDialogSetup {
    ExchangeKind kind = ExchangeKind::Protocols;
    int target = 3; // 3 drive (XML), 4 folder (XML), 5 drive (CSV)
    QList<qint32> ids;
    QString dataFolder;
    QString language; // the catalogue column of the CSV labels
    TextLookup lookup;
    QString lastDrive;
    QString lastFolder;
};

// The export of the selected records to a removable drive or a folder. The dialog picks
// and checks the target and runs the export workflow (XML) or the CSV export on a worker
// thread; it closes with Accepted when an export ended with success.
class CExportDlg : public QDialog {
    Q_OBJECT
public:
    explicit CExportDlg(ExportDialogSetup setup, QWidget* parent = nullptr);
    ~CExportDlg() override;

    const QString& LastDrive() const { return m_setup.lastDrive; }
    const QString& LastFolder() const { return m_setup.lastFolder; }
    bool IsBusy() const { return m_busy; }

    // Start and Cancel as the buttons do.
    void OnOK();
    void OnCancel();

    void reject() override { OnCancel(); }

signals:
    // The worker's end, 1129 of the window messages.
    void exportEnded(bool success);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    QString T(qint32 textId) const;
    void FillDrives(const QStringList& drives);
    void DriveChanged(int index);
    void ChooseFolder();
    bool ShowFreeSpace();
    QString TargetPath() const;
    void OnExportEnded(bool success);
    void SetIdle();

    ExportDialogSetup m_setup;
    bool m_driveMode;
    bool m_busy = false;
    std::atomic<bool> m_cancel{false};
    QThread* m_worker = nullptr;
    CDriveWatcher* m_watcher = nullptr;

    QLabel* m_picture;
    QLabel* m_description;
    QComboBox* m_drives = nullptr;
    QLineEdit* m_folder = nullptr;
    QPushButton* m_folderButton = nullptr;
    QLabel* m_freeSpace;
    QProgressBar* m_progress;
    QLabel* m_status;
    QPushButton* m_start;
    QPushButton* m_exit;
};

// Runs the dialog modally; true when an export ended with success. The setup's last drive
// and folder are those the dialog used.
bool RunExportDialog(QWidget* parent, ExportDialogSetup& setup);
