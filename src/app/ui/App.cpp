#include "app/ui/App.h"

#include "app/QtTranslations.h"
#include "app/RollingBackupJob.h"
#include "app/SingleInstance.h"
#include "app/VELMOR740PCRemoteDoc.h"
#include "app/WindowMessages.h"
#include "app/ui/Artwork.h"
#include "app/ui/CatalogueDialogs.h"
#include "app/ui/MainFrame.h"
#include "app/ui/ServerDlg.h"
#include "app/ui/StartupProbe.h"
#include "app/ui/VELMOR740PCRemoteView.h"
#include "platform/Notifier.h"
#include "store/DataLocation.h"
#include "store/TextFormat.h"
#include "upgrade/DatabaseBackup.h"
#include "views/ui/EingabeDlg.h"

#include <QApplication>
#include <QFont>
#include <QStatusBar>
#include <QWindow>
#include <cstdio>

CVELMOR740PCRemoteApp::CVELMOR740PCRemoteApp() = default;

CVELMOR740PCRemoteApp::~CVELMOR740PCRemoteApp() {
    m_backup.reset();
    // The frame and its view go before the document they use.
    m_frame.reset();
    m_doc.reset();
}

bool CVELMOR740PCRemoteApp::InitInstance() {
    m_instance = std::make_unique<CSingleInstance>();
    QString reply;
    switch (m_instance->Start(&reply)) {
    case CSingleInstance::Outcome::Handed:
        std::fprintf(stderr, "V740Control runs already; its window was brought to the front (%s).\n",
                     qPrintable(reply));
        m_exitCode = 0;
        return false;
    case CSingleInstance::Outcome::Failed:
        Notifier().ShowMessage(QStringLiteral("VELMOR_CONTROL_CENTER Class Registration failed\n"),
                               CVELMOR740PCRemoteDoc::AppTitle(), CNotifier::Icon::Error);
        m_exitCode = 1;
        return false;
    case CSingleInstance::Outcome::First:
        break;
    }
    // A second start during the start-up messages brings those to the front.
    QObject::connect(m_instance.get(), &CSingleInstance::activationRequested, [this] {
        if (m_frame) {
            m_frame->Activate();
        } else if (QWidget* modal = QApplication::activeModalWidget()) {
            modal->raise();
            modal->activateWindow();
        }
    });
    m_instance->SetReplyProvider([this] {
        if (!m_frame)
            return QStringLiteral("starting");
        return QStringLiteral("visible=%1 minimized=%2 pid=%3")
            .arg(m_frame->isVisible())
            .arg(m_frame->isMinimized())
            .arg(QApplication::applicationPid());
    });

    // The dialogs of this Linux build name "Tahoma"; the closest installed face stands in.
    QFont::insertSubstitutions(QStringLiteral("Tahoma"),
                               {QStringLiteral("DejaVu Sans"), QStringLiteral("Liberation Sans")});
    // "Arial" has a metric twin in Liberation Sans (fonts-liberation2); reports rely on it.
    QFont::insertSubstitutions(QStringLiteral("Arial"),
                               {QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    CatalogueDialogs::InstallBuiltIn();
    static CFieldEditorDialog fieldEditor;
    SetFieldEditor(&fieldEditor);

    m_messages = std::make_unique<CWindowMessages>();
    m_doc = std::make_unique<CVELMOR740PCRemoteDoc>();
    m_doc->SetMessages(m_messages.get());
    if (!m_doc->OnNewDocument()) {
        // A server that cannot be reached (or holds another version) would keep the program
        // from starting for good: its connection dialog is offered, so that another server or
        // the data folder's file can be chosen for the next start.
        if (!DataLocation::ServerFor(m_doc->DataFolder() + QStringLiteral("/user2.db")).isEmpty()) {
            QtTranslations::Apply(m_doc->Language());
            CServerDlg dialog(*m_doc);
            dialog.exec();
        }
        m_exitCode = 1;
        return false;
    }
    QtTranslations::Apply(m_doc->Language());
    m_frame = std::make_unique<CMainFrame>(*m_doc, *m_messages);
    m_frame->show();
    StartupProbe::AfterFirstPaint(m_frame.get(), [this] {
        // The icon's four images are decoded once the window is up: the window manager
        // takes the new icon at once, and the start is not kept waiting for it.
        QApplication::setWindowIcon(Artwork::AppIcon());
        StartRollingBackup();
        m_frame->View()->WatchServer();
    });
    return true;
}

void CVELMOR740PCRemoteApp::StartRollingBackup() {
    // A user database on a server is backed up where it lives (pg_dump, by its
    // administrator); a user2.db left in the data folder is not the one in use.
    if (!DataLocation::ServerFor(m_doc->DataFolder() + QStringLiteral("/user2.db")).isEmpty())
        return;
    const int keep = m_doc->Profile().GetInt(QStringLiteral("Backup"), QStringLiteral("Keep"),
                                             DatabaseBackup::kDefaultKeep);
    m_backup = std::make_unique<CRollingBackupJob>();
    QObject::connect(
        m_backup.get(), &CRollingBackupJob::finished, m_frame.get(),
        [this](bool ok, bool made, const QString& detail) {
            if (ok && !made)
                return;
            const QString text =
                ok ? FormatText(m_doc->Text(60100, QStringLiteral("Database backup made: %s")), detail)
                   : FormatText(m_doc->Text(60101, QStringLiteral("The database backup failed: %s")), detail);
            m_frame->statusBar()->showMessage(text, 20000);
        });
    m_backup->Start(m_doc->DataFolder(), keep);
}
