#pragma once

#include "link/RS232.h"
#include "maintenance/SoftwareUpdate.h"

#include <QDialog>
#include <memory>

class CVELMOR740PCRemoteDoc;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QThread;

// The software update dialog: a shell over CSoftwareUpdate. It connects when it opens,
// stays in transfer mode until it closes, and runs the connection, the file list and the
// copy on worker threads with its buttons disabled.
class CRS232UpdateDialog : public QDialog {
    Q_OBJECT
public:
    CRS232UpdateDialog(CVELMOR740PCRemoteDoc& doc, const QString& updateFolder, QWidget* parent = nullptr);
    ~CRS232UpdateDialog() override;

    // True when the connection was found by a scan (the settings are then in the document).
    bool FoundByScan() const { return m_update.FoundByScan(); }
    bool Busy() const { return m_worker != nullptr; }

    QPushButton* StartButton() const { return m_start; }
    QPushButton* InformationButton() const { return m_info; }
    QPushButton* CloseButton() const { return m_close; }
    QLabel* StatusLabel() const { return m_status; }
    QTableWidget* IdentityList() const { return m_identity; }
    QLabel* FilesValue() const { return m_files; }
    QLabel* DurationValue() const { return m_duration; }
    QLabel* PackageLabel() const { return m_explanation; }

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void OnConnected(bool ok);
    void OnInformation();
    void OnStart();
    void OnCopied(bool ok);
    void RunWorker(std::function<bool()> work, std::function<void(bool)> done);
    // Runs f on the dialog's thread (the callbacks come from workers).
    void Ui(std::function<void()> f);
    void EnableButtons(bool start, bool info, bool close);

    CVELMOR740PCRemoteDoc& m_doc;
    CRS232 m_link;
    CSoftwareUpdate m_update;
    bool m_started = false;
    QThread* m_worker = nullptr;

    QLabel* m_explanation = nullptr;
    QTableWidget* m_identity = nullptr;
    QLabel* m_status = nullptr;
    QLabel* m_fileLabel = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_files = nullptr;
    QLabel* m_duration = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_info = nullptr;
    QPushButton* m_close = nullptr;
};
