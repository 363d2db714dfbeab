#pragma once

#include <memory>

class CRollingBackupJob;

class CMainFrame;
class CSingleInstance;
class CVELMOR740PCRemoteDoc;
class CWindowMessages;

// The application object: one instance per desktop, the document's start-up, then the
// main window.
class CVELMOR740PCRemoteApp {
public:
    CVELMOR740PCRemoteApp();
    ~CVELMOR740PCRemoteApp();

    // The start-up; false ends the process with ExitCode().
    bool InitInstance();
    int ExitCode() const { return m_exitCode; }

    CMainFrame* MainFrame() const { return m_frame.get(); }
    CVELMOR740PCRemoteDoc* Document() const { return m_doc.get(); }

    // The rolling backup of the user database after start-up.
    CRollingBackupJob* Backup() const { return m_backup.get(); }

private:
    void StartRollingBackup();

    std::unique_ptr<CSingleInstance> m_instance;
    std::unique_ptr<CWindowMessages> m_messages;
    std::unique_ptr<CVELMOR740PCRemoteDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    std::unique_ptr<CRollingBackupJob> m_backup;
    int m_exitCode = 0;
};
