#pragma once

#include <QDialog>

class CVELMOR740PCRemoteDoc;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

// Where this workstation's user database lives: the data folder's file or a PostgreSQL
// server. The server's parts are entered field by field, tested, and its certificate
// taken once; OK keeps a tested choice in the registry key (DatabaseServer) for the next
// start. A password typed here is tried alone on the test and, once the server took it,
// kept in the desktop keyring, never in the settings (~/.pgpass serves as well).
class CServerDlg : public QDialog {
    Q_OBJECT
public:
    explicit CServerDlg(CVELMOR740PCRemoteDoc& doc, QWidget* parent = nullptr);
    ~CServerDlg() override;

    // The connection string of the fields (empty with the file chosen).
    QString Conninfo() const;
    // Tests the connection of the fields and shows the result; true when usable.
    bool TestConnection();
    // Fetches the server's certificate, asks, and keeps it as the server's trusted root.
    void ImportCertificate();
    QString ResultText() const;

    void accept() override;

private:
    void UpdateEnabled();
    QString T(qint32 id, const char* fallback) const;

    CVELMOR740PCRemoteDoc& m_doc;
    QRadioButton* m_file = nullptr;
    QRadioButton* m_server = nullptr;
    QLineEdit* m_host = nullptr;
    QLineEdit* m_port = nullptr;
    QLineEdit* m_dbname = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QComboBox* m_sslmode = nullptr;
    QLabel* m_certificate = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_test = nullptr;
    QLabel* m_result = nullptr;
    QString m_rootCert;
    QString m_initial; // the choice in force when the dialog opened
    QString m_offered; // the connection string a typed password was offered for
};
