#include "app/ui/ServerDlg.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "platform/Notifier.h"
#include "platform/RegistrySettings.h"
#include "store/DataLocation.h"
#include "store/TextFormat.h"
#include "store/TextIds.h"
#include "store/pg/PgConnect.h"
#include "upgrade/ServerSetup.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

class CWaitCursor {
public:
    CWaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~CWaitCursor() { QApplication::restoreOverrideCursor(); }
    CWaitCursor(const CWaitCursor&) = delete;
    CWaitCursor& operator=(const CWaitCursor&) = delete;
};

} // namespace

QString CServerDlg::T(qint32 id, const char* fallback) const {
    return m_doc.Text(id, QString::fromUtf8(fallback));
}

CServerDlg::CServerDlg(CVELMOR740PCRemoteDoc& doc, QWidget* parent) : QDialog(parent), m_doc(doc) {
    setWindowTitle(T(60205, "Database server"));
    auto* layout = new QVBoxLayout(this);
    m_file = new QRadioButton(T(60206, "The database file in the data folder"), this);
    m_file->setObjectName(QStringLiteral("useFile"));
    m_server = new QRadioButton(T(60207, "A PostgreSQL server that several workstations share"), this);
    m_server->setObjectName(QStringLiteral("useServer"));
    layout->addWidget(m_file);
    layout->addWidget(m_server);

    auto* form = new QFormLayout;
    auto field = [this, form](const char* name, qint32 label, const char* fallback) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        form->addRow(T(label, fallback), edit);
        return edit;
    };
    m_host = field("host", 60208, "Server:");
    m_port = field("port", 60209, "Port:");
    m_port->setValidator(new QIntValidator(1, 65535, m_port));
    m_port->setPlaceholderText(QStringLiteral("5432"));
    m_dbname = field("dbname", 60210, "Database:");
    m_user = field("user", 60211, "User:");
    m_password = field("password", 60222, "Password:");
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setPlaceholderText(T(60223, "from ~/.pgpass or the desktop keyring"));
    m_sslmode = new QComboBox(this);
    m_sslmode->setObjectName(QStringLiteral("sslmode"));
    m_sslmode->addItems({QStringLiteral("verify-full"), QStringLiteral("verify-ca"),
                         QStringLiteral("require"), QStringLiteral("prefer"), QStringLiteral("disable")});
    form->addRow(T(60212, "Security (sslmode):"), m_sslmode);
    auto* certRow = new QHBoxLayout;
    m_certificate = new QLabel(this);
    m_certificate->setObjectName(QStringLiteral("certificate"));
    m_certificate->setWordWrap(true);
    m_import = new QPushButton(T(60214, "Import certificate..."), this);
    m_import->setObjectName(QStringLiteral("importCertificate"));
    certRow->addWidget(m_certificate, 1);
    certRow->addWidget(m_import);
    form->addRow(T(60213, "Server certificate:"), certRow);
    layout->addLayout(form);

    auto* note = new QLabel(T(60220, "A password typed here is kept in the desktop keyring once the "
                                     "connection works, never in the settings. ~/.pgpass serves as well."),
                            this);
    note->setWordWrap(true);
    layout->addWidget(note);
    m_test = new QPushButton(T(60216, "Test connection"), this);
    m_test->setObjectName(QStringLiteral("test"));
    m_result = new QLabel(this);
    m_result->setObjectName(QStringLiteral("result"));
    m_result->setWordWrap(true);
    m_result->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* testRow = new QHBoxLayout;
    testRow->addWidget(m_test);
    testRow->addStretch();
    layout->addLayout(testRow);
    layout->addWidget(m_result);
    layout->addStretch();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Cancel)->setText(m_doc.Text(TextId::kCancel, QStringLiteral("Cancel")));
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &CServerDlg::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_test, &QPushButton::clicked, this, [this] { TestConnection(); });
    connect(m_import, &QPushButton::clicked, this, &CServerDlg::ImportCertificate);
    connect(m_file, &QRadioButton::toggled, this, &CServerDlg::UpdateEnabled);

    // The fields start from the choice in force: the registry key's, or one given to this
    // run (VELMOR_DATABASE).
    m_initial = CRegistrySettings::ReadDatabaseServer();
    const QString shown = m_initial.isEmpty() ? DataLocation::Server() : m_initial;
    const ServerSetup::Parts parts = ServerSetup::Split(shown);
    m_host->setText(parts.host);
    m_port->setText(parts.port);
    m_dbname->setText(parts.dbname);
    m_user->setText(parts.user);
    // A server named without sslmode gets libpq's default shown, so that OK does not change
    // it unasked; a new one starts with the server's certificate checked.
    const QString mode = !parts.sslmode.isEmpty() ? parts.sslmode
                         : shown.isEmpty()        ? QStringLiteral("verify-full")
                                                  : QStringLiteral("prefer");
    if (m_sslmode->findText(mode) < 0)
        m_sslmode->addItem(mode);
    m_sslmode->setCurrentText(mode);
    m_rootCert = parts.sslrootcert;
    m_certificate->setText(m_rootCert.isEmpty() ? T(60221, "none") : m_rootCert);
    (shown.isEmpty() ? m_file : m_server)->setChecked(true);
    UpdateEnabled();
    resize(qMax(sizeHint().width(), 520), sizeHint().height());
}

CServerDlg::~CServerDlg() {
    // A typed password stays with the dialog; one the server took is remembered for the run
    // by the connection code itself.
    if (!m_offered.isEmpty())
        PgConnect::Offer(m_offered, QString());
}

void CServerDlg::UpdateEnabled() {
    const bool server = m_server->isChecked();
    for (QWidget* w : std::initializer_list<QWidget*>{m_host, m_port, m_dbname, m_user, m_password, m_sslmode,
                                                      m_import, m_test})
        w->setEnabled(server);
}

QString CServerDlg::Conninfo() const {
    if (!m_server->isChecked())
        return QString();
    ServerSetup::Parts parts;
    parts.host = m_host->text();
    parts.port = m_port->text();
    parts.dbname = m_dbname->text();
    parts.user = m_user->text();
    parts.sslmode = m_sslmode->currentText();
    parts.sslrootcert = m_rootCert;
    return ServerSetup::Join(parts);
}

QString CServerDlg::ResultText() const {
    return m_result->text();
}

bool CServerDlg::TestConnection() {
    const QString conninfo = Conninfo();
    if (conninfo.isEmpty())
        return true;
    // The typed password is the only one tried, so that the test says whether it is right.
    if (!m_offered.isEmpty())
        PgConnect::Offer(m_offered, QString());
    m_offered.clear();
    if (!m_password->text().isEmpty()) {
        m_offered = conninfo;
        PgConnect::Offer(conninfo, m_password->text());
    }
    ServerSetup::Check check;
    {
        CWaitCursor wait;
        m_result->setText(QString());
        check = ServerSetup::Test(conninfo);
    }
    m_result->setText(check.ok ? FormatText(T(60217, "Connected: schema version %s"), check.version)
                               : FormatText(T(60218, "The connection failed: %s"), check.message));
    return check.ok;
}

void CServerDlg::ImportCertificate() {
    ServerSetup::Certificate c;
    {
        CWaitCursor wait;
        c = ServerSetup::Fetch(m_host->text().trimmed(), m_port->text().trimmed());
    }
    if (!c.ok) {
        Notifier().ShowMessage(c.message, windowTitle(), CNotifier::Icon::Error);
        return;
    }
    const QString question =
        FormatText(T(60215, "The server shows this certificate:\n%s\nSHA-256: %s\nCompare the "
                            "fingerprint with the one your administrator gives you. Trust this "
                            "certificate?"),
                   c.subject, c.fingerprint);
    if (Notifier().Ask(question, windowTitle(), CNotifier::Buttons::YesNo, CNotifier::Icon::Question) !=
        CNotifier::Answer::Yes)
        return;
    QString message;
    const QString path = ServerSetup::Trust(c, m_host->text().trimmed(), message);
    if (path.isEmpty()) {
        Notifier().ShowMessage(message, windowTitle(), CNotifier::Icon::Error);
        return;
    }
    m_rootCert = path;
    m_certificate->setText(path);
    // A certificate at hand is checked with the host name unless the address is all the
    // workstation has.
    if (m_sslmode->currentText() != QLatin1String("verify-ca"))
        m_sslmode->setCurrentText(QStringLiteral("verify-full"));
}

void CServerDlg::accept() {
    const QString conninfo = Conninfo();
    if (!conninfo.isEmpty() && !TestConnection())
        return; // the result line tells why; nothing is kept
    // Only for the server chosen now: one tested before the file was chosen is not kept.
    if (!conninfo.isEmpty() && m_offered == conninfo) {
        QString problem;
        if (!PgConnect::KeepOffered(m_offered, problem)) {
            // The choice still works for this run; the next start will ask the keyring in vain.
            Notifier().ShowMessage(FormatText(T(60224, "The connection works, but the password could not "
                                                       "be kept in the desktop keyring: %s"),
                                              problem),
                                   windowTitle(), CNotifier::Icon::Warning);
        }
    }
    if (conninfo != m_initial) {
        QString problem;
        if (!CRegistrySettings::WriteDatabaseServer(conninfo, &problem)) {
            Notifier().ShowMessage(problem, windowTitle(), CNotifier::Icon::Error);
            return;
        }
        Notifier().ShowMessage(T(60219, "The change takes effect the next time the program starts."),
                               windowTitle(), CNotifier::Icon::Information);
    }
    QDialog::accept();
}
