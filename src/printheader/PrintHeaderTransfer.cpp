#include "printheader/PrintHeaderTransfer.h"

#include "link/LinkErrors.h"
#include "link/RS232.h"
#include "link/TesterConnection.h"
#include "store/TextFormat.h"

#include <QDir>
#include <QFileInfo>
#include <QThread>

CPrintHeaderTransfer::CPrintHeaderTransfer(CRS232& link, const QString& dataFolder,
                                           const CSerialProfile& serial)
    : m_link(link), m_folder(dataFolder), m_serial(serial) {}

void CPrintHeaderTransfer::Pause() const {
    if (m_pauseMs > 0)
        QThread::msleep(ulong(m_pauseMs));
}

bool CPrintHeaderTransfer::Send(const QString& localPath, const QString& testerPath) {
    if (!m_link.SendFile(localPath, testerPath)) {
        m_error = m_link.GetErrorCode() ? m_link.GetErrorCode() : LinkError::NoReply;
        m_detail = testerPath;
        return false;
    }
    m_sent << testerPath;
    return true;
}

bool CPrintHeaderTransfer::Run(const CPrintHeaderText& header, const QStringList& signatures) {
    m_saved = false;
    m_foundByScan = false;
    m_error = 0;
    m_detail.clear();
    m_sent.clear();
    const QDir folder(m_folder);

    Status(T(50201));
    Pause();
    QString unmappable;
    m_saved = header.Write(m_folder, QByteArray(), &unmappable);
    const int range = Range(int(signatures.size()));
    m_cb.Range(range);
    if (!m_saved) {
        if (!unmappable.isEmpty()) {
            m_error = kUnmappable;
            m_detail = unmappable;
        } else {
            m_error = kSaveFailed;
            m_detail = folder.filePath(CPrintHeaderText::HeaderFileName());
        }
        return false;
    }

    Status(T(50138));
    CTesterConnection connection(m_link, m_folder, m_serial);
    connection.SetFoundHandler([this](const CSerialProfile& found, bool written) {
        if (m_onFound)
            m_onFound(found, written);
    });
    QString reply;
    bool ok = connection.BeginTransfer(reply);
    m_foundByScan = connection.FoundByScan();
    m_serial = connection.Settings();
    if (!ok) {
        m_error = m_link.GetErrorCode() ? m_link.GetErrorCode() : LinkError::NoReply;
    } else {
        m_link.NotifyLinkStatus(LinkIcon::Connected);
        m_link.SetReadTimeout(kReadTimeout);
        int position = 1;
        m_cb.Position(position);
        Status(T(50203));
        Pause();
        ok = Send(folder.filePath(CPrintHeaderText::HeaderFileName()),
                  CPrintHeaderText::TesterPath(CPrintHeaderText::HeaderFileName()));
        if (ok) {
            m_cb.Position(++position);
            // Without a logo of its own the tester keeps the one it has.
            const QString logo = folder.filePath(CPrintHeaderText::LogoFileName());
            if (QFileInfo::exists(logo)) {
                Status(T(50204));
                ok = Send(logo, CPrintHeaderText::TesterPath(CPrintHeaderText::LogoFileName()));
            }
            if (ok)
                m_cb.Position(++position);
        }
        for (qsizetype i = 0; ok && i < signatures.size(); ++i) {
            const QString& name = signatures[i];
            Status(FormatText(T(50224), name, CPrintHeaderText::SignExtension()));
            const QString file = CPrintHeaderText::SignatureFileName(name);
            ok = Send(folder.filePath(file), CPrintHeaderText::TesterPath(file));
            if (ok)
                m_cb.Position(++position);
        }
    }
    const bool ended = m_link.EndTransfer();
    if (ok && !ended) {
        ok = false;
        m_error = m_link.GetErrorCode() ? m_link.GetErrorCode() : LinkError::TransferMode;
    }
    // A tester that did not confirm leaving transfer mode leaves the port open.
    m_link.ClosePort();
    if (ok)
        m_cb.Position(range);
    return ok;
}
