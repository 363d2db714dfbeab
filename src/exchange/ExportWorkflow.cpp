#include "exchange/ExportWorkflow.h"

#include "platform/Notifier.h"
#include "store/AdoDatabase.h"
#include "store/TextFormat.h"
#include "store/TextIds.h"
#include "store/UserSchema.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

CExportWorkflow::CExportWorkflow(QString dataFolder) : m_dataFolder(std::move(dataFolder)) {}

QString CExportWorkflow::TargetFolder(int target, const QString& path) {
    return target == ExportTarget::Drive ? DriveXmlFolder(path) : path;
}

QStringList CExportWorkflow::ExchangeFiles(const QString& folder) {
    QStringList files;
    const QDir dir(folder);
    if (!dir.exists())
        return files;
    // The pattern matched regardless of letter case where the documents come from.
    for (const QFileInfo& info : dir.entryInfoList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name))
        if (info.fileName().endsWith(QLatin1String(".xml"), Qt::CaseInsensitive))
            files << info.filePath();
    return files;
}

void CExportWorkflow::Message(qint32 textId, const QString& arg) const {
    const QString format = ExchangeText::Resolve(m_lookup, textId);
    Notifier().ShowMessage(arg.isNull() ? format : FormatText(format, arg), QString(),
                           CNotifier::Icon::Error);
}

bool CExportWorkflow::DeleteExchangeFiles(const QString& folder, bool report) {
    for (const QString& file : ExchangeFiles(folder)) {
        if (!QFile::remove(file)) {
            if (report)
                Message(50045, QDir::toNativeSeparators(file));
            return false;
        }
    }
    return true;
}

bool CExportWorkflow::Prepare(int target, const QString& folder) {
    if (ExchangeFiles(folder).isEmpty()) {
        if (target != ExportTarget::Drive || QFileInfo(folder).isDir())
            return true;
        // One level only: a drive pulled out leaves no mount point, and nothing may be
        // created in its place on the system disk.
        if (!QDir().mkdir(folder)) {
            Message(TextId::kCannotCreateFolder, QDir::toNativeSeparators(folder));
            return false;
        }
        return true;
    }
    const CNotifier::Answer answer =
        Notifier().Ask(ExchangeText::Resolve(m_lookup, 165), ExchangeText::Resolve(m_lookup, 210),
                       CNotifier::Buttons::OkCancel, CNotifier::Icon::Question);
    if (answer != CNotifier::Answer::Ok && answer != CNotifier::Answer::Yes)
        return false;
    return DeleteExchangeFiles(folder, true);
}

bool CExportWorkflow::Run(ExchangeKind kind, int target, const QString& path, const QList<qint32>& ids) {
    const bool ok = RunExport(kind, target, path, ids);
    WorkflowResult r;
    r.ok = ok;
    r.cancelled = m_cancelled;
    m_cb.Finished(r);
    return ok;
}

bool CExportWorkflow::RunExport(ExchangeKind kind, int target, const QString& path,
                                const QList<qint32>& ids) {
    m_cancelled = false;
    m_exported = 0;
    if (target != ExportTarget::Drive && target != ExportTarget::Folder)
        return false;
    const QString folder = TargetFolder(target, path);
    if (!Prepare(target, folder))
        return false;

    CAdoDatabase db;
    // A database held by another user or write-protected is named as such below the
    // driver's own box.
    const auto toldCause = [&] {
        const qint32 cause = db.GetErrorNumber();
        if (cause == DbError::Busy || cause == DbError::ReadOnly)
            Message(cause);
        return false;
    };
    if (!db.Open(m_dataFolder, UserSchema::FileName()))
        return toldCause();
    CTransaction transaction(db);
    if (!transaction.IsActive())
        return toldCause();
    if (m_cb.position)
        m_cb.position(0);

    CXmlExport exporter(folder, m_lookup, m_cb);
    bool ok = false;
    if (kind == ExchangeKind::Specifications) {
        if (m_cb.range)
            m_cb.range(int(ids.size()));
        ok = exporter.ExportSpecifications(db, ids);
        m_cancelled = exporter.WasCancelled();
    } else {
        if (m_cb.status)
            m_cb.status(ExchangeText::Resolve(m_lookup, 180));
        QList<qint32> specifications;
        ok = exporter.FindProtocolSpecifications(db, ids, specifications);
        if (ok) {
            if (m_cb.range)
                m_cb.range(int(ids.size() + specifications.size()) + 1);
            exporter.SetPosition(1);
            if (m_cb.position)
                m_cb.position(1);
            ok = exporter.ExportSpecifications(db, specifications);
            m_cancelled = exporter.WasCancelled();
            if (ok && !m_cancelled && !(m_cb.cancelled && m_cb.cancelled())) {
                ok = exporter.ExportProtocols(db, ids);
                m_cancelled = exporter.WasCancelled();
            } else if (ok) {
                m_cancelled = true;
            }
        }
    }
    m_exported = exporter.Position() - (kind == ExchangeKind::Protocols ? 1 : 0);
    if (ok)
        ok = transaction.Commit();
    if (!ok) {
        // The partial documents go first, so that no file claims marks that are rolled back.
        DeleteExchangeFiles(folder, false);
        transaction.Rollback();
        m_exported = 0;
    }
    return ok;
}
