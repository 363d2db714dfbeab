#pragma once

#include "app/BaseClass.h"
#include "link/RS232.h"
#include "printheader/PrintHeaderText.h"

#include <QDialog>

class CVELMOR740PCRemoteDoc;
class QComboBox;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QThread;
class QTreeWidget;
class QTreeWidgetItem;

// The print header dialog: the three header lines (edited in place), the signature
// option, the logo and the stored signatures, and "Save and send", which saves
// "header.txt" and sends it with the logo and the signatures to the tester on a worker
// thread. Logo and signature changes take effect on disk at once.
class CPrintHeader : public QDialog {
    Q_OBJECT
public:
    explicit CPrintHeader(CVELMOR740PCRemoteDoc& doc, QWidget* parent = nullptr);
    ~CPrintHeader() override;

    // The runner of the catalogue's print header entry.
    static CatalogueDialogResult RunEntry(QWidget* parent, CDirectoryView& view, CVELMOR740PCRemoteDoc& doc);

    // The file dialogs' second halves, also what tests call: validate and take the bitmap.
    bool ChooseLogo(const QString& path);
    bool AddSignature(const QString& path);
    // Asks, then deletes the selected signature.
    void DeleteSignature();
    // Saves and starts the send; false when one is already running.
    bool SaveAndSend();

    const CPrintHeaderText& Header() const { return m_header; }
    bool Busy() const { return m_worker != nullptr; }
    bool FoundByScan() const { return m_foundByScan; }
    // The result of the last send (0 for none or success).
    qint32 LastError() const { return m_lastError; }

    QTreeWidget* LineList() const { return m_lines; }
    QComboBox* OptionBox() const { return m_option; }
    QListWidget* SignatureList() const { return m_signatures; }
    QLabel* LogoPreview() const { return m_logo; }
    QLabel* SignaturePreview() const { return m_signature; }
    QProgressBar* Progress() const { return m_progress; }
    QLabel* StatusText() const { return m_status; }
    QPushButton* LogoButton() const { return m_logoButton; }
    QPushButton* AddButton() const { return m_add; }
    QPushButton* DeleteButton() const { return m_delete; }
    QPushButton* SendButton() const { return m_send; }
    QPushButton* CloseButton() const { return m_close; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void reject() override;

private:
    QString T(qint32 id, const char* fallback = "") const;
    void OnLineEdited(QTreeWidgetItem* item, int column);
    void OnSignatureSelected();
    void OnChooseLogo();
    void OnAddSignature();
    void OnSendFinished(bool ok, qint32 error, const QString& detail);
    void ShowLogo();
    void ShowSignature(const QString& name);
    void SetCurrentSignature(const QString& name);
    void SetEditing(bool enabled);
    // Text 50205 with the path, after showing the error picture in preview.
    void RefuseBitmap(QLabel* preview, const QString& path);

    CVELMOR740PCRemoteDoc& m_doc;
    QString m_folder;
    CPrintHeaderText m_header;
    CRS232 m_link;
    QThread* m_worker = nullptr;
    bool m_foundByScan = false;
    qint32 m_lastError = 0;
    bool m_filling = false;

    QTreeWidget* m_lines = nullptr;
    QComboBox* m_option = nullptr;
    QLabel* m_logo = nullptr;
    QPushButton* m_logoButton = nullptr;
    QListWidget* m_signatures = nullptr;
    QLabel* m_signature = nullptr;
    QPushButton* m_add = nullptr;
    QPushButton* m_delete = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
    QPushButton* m_send = nullptr;
    QPushButton* m_close = nullptr;
};
