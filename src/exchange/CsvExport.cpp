#include "exchange/CsvExport.h"

#include "exchange/ProtocolReport.h"
#include "exchange/XmlFile.h"
#include "platform/Folders.h"
#include "platform/Notifier.h"
#include "store/AdoDatabase.h"
#include "store/RowReader.h"
#include "store/TextFormat.h"
#include "store/TextIds.h"
#include "store/UserSchema.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <cerrno>
#include <cmath>
#include <cstdio>

namespace {
Q_LOGGING_CATEGORY(lcCsv, "v740.exchange.csv", QtWarningMsg)

} // namespace

CCsvExport::CCsvExport(QString dataFolder, QString referenceFolder, QString language, QLocale locale)
    : m_dataFolder(std::move(dataFolder)), m_referenceFolder(std::move(referenceFolder)),
      m_language(std::move(language)), m_locale(std::move(locale)) {}

QString CCsvExport::CsvFolder(const QString& driveRoot) {
    QString root = driveRoot;
    if (!root.endsWith(QLatin1Char('/')))
        root += QLatin1Char('/');
    return root + QStringLiteral("CsvData");
}

QString CCsvExport::JackList(quint32 jacks) {
    return ProtocolReport::JackList(jacks);
}

QString CCsvExport::FileNamePart(const QString& text) {
    QString part = text;
    // Removable drives carry FAT file systems; these characters would fail the file, and a
    // "/" would open a folder.
    for (QChar& c : part)
        if (c.unicode() < 32 || QStringView(u"/\\:*?\"<>|").contains(c))
            c = QLatin1Char('%');
    // "." and ".." would name CsvData itself or the drive root.
    if (!part.isEmpty() && part.count(QLatin1Char('.')) == part.size())
        part.fill(QLatin1Char('%'));
    return part;
}

QString CCsvExport::T(qint32 textId) {
    QString text;
    m_catalog.SeekText(textId, m_language, text);
    return text;
}

void CCsvExport::Message(qint32 textId, const QString& detail) const {
    QString text = ExchangeText::Resolve(m_lookup, textId);
    if (!detail.isEmpty())
        text += QLatin1Char('\n') + detail;
    Notifier().ShowMessage(text, QString(), CNotifier::Icon::Error);
}

void CCsvExport::MessageFormatted(qint32 textId, const QString& arg) const {
    Notifier().ShowMessage(FormatText(ExchangeText::Resolve(m_lookup, textId), arg), QString(),
                           CNotifier::Icon::Error);
}

bool CCsvExport::Prepare(const QString& csvFolder) {
    if (!QFileInfo(csvFolder).isDir()) {
        // One level only: a drive pulled out leaves no mount point, and nothing may be
        // created in its place on the system disk.
        if (!QDir().mkdir(csvFolder)) {
            MessageFormatted(TextId::kCannotCreateFolder, QDir::toNativeSeparators(csvFolder));
            return false;
        }
        return true;
    }
    const CNotifier::Answer answer =
        Notifier().Ask(ExchangeText::Resolve(m_lookup, 165), ExchangeText::Resolve(m_lookup, 205),
                       CNotifier::Buttons::OkCancel, CNotifier::Icon::Question);
    return answer == CNotifier::Answer::Ok || answer == CNotifier::Answer::Yes;
}

bool CCsvExport::Run(const QString& driveRoot, const QList<qint32>& ids) {
    m_cancelled = false;
    m_exported = 0;
    m_written.clear();
    const auto finish = [this](bool ok) {
        WorkflowResult r;
        r.ok = ok;
        r.cancelled = m_cancelled;
        m_cb.Finished(r);
        return ok;
    };
    const QString folder = CsvFolder(driveRoot);
    if (!Prepare(folder))
        return finish(false);
    CAdoDatabase db;
    if (!db.Open(m_dataFolder, UserSchema::FileName()))
        return finish(false);
    CTransaction transaction(db);
    if (!transaction.IsActive())
        return finish(false);
    if (m_cb.position)
        m_cb.position(0);
    if (m_cb.range)
        m_cb.range(int(ids.size()));
    bool ok = ExportProtocolsCsv(db, folder, ids);
    if (ok)
        ok = transaction.Commit();
    if (!ok) {
        transaction.Rollback();
        m_exported = 0;
    }
    return finish(ok);
}

bool CCsvExport::ExtrapolationVoltage(CAdoDatabase& ref, qint32 standardId, const QString& nominalVoltage,
                                      double& volts) {
    volts = 0;
    if (!ref.OpenQuery(
            QStringLiteral("select CalcFactor from NormenTab where NormID = %1").arg(standardId)) ||
        !ref.HasRow())
        return false;
    CRowReader read(ref);
    const qint32 factor = read.Long("CalcFactor");
    bool voltageOk = false;
    const double voltage = nominalVoltage.trimmed().toDouble(&voltageOk);
    if (!read.Ok() || !voltageOk || factor <= 0)
        return false;
    volts = std::round(voltage * factor / 100.0);
    return true;
}

bool CCsvExport::ExportProtocolsCsv(CAdoDatabase& db, const QString& csvFolder, const QList<qint32>& ids) {
    m_cancelled = false;
    m_position = 0;
    m_exported = 0;
    QElapsedTimer timer;
    timer.start();
    CAdoDatabase ref;
    const QString refFolder =
        m_referenceFolder.isEmpty() ? Folders::ReferenceDatabaseFolder() : m_referenceFolder;
    if (!db.IsOpen() || !(m_catalog.IsOpen() || m_catalog.Open(refFolder)) ||
        !ref.Open(refFolder, QStringLiteral("velmor.db"))) {
        Message(TextId::kOpenDatabase);
        return false;
    }
    for (const qint32 id : ids) {
        if (Cancelled()) {
            m_cancelled = true;
            break;
        }
        if (!ExportOne(db, ref, csvFolder, id))
            return false;
        ++m_exported;
        ++m_position;
        if (m_cb.recordWritten)
            m_cb.recordWritten();
        if (m_cb.position)
            m_cb.position(m_position);
    }
    qCDebug(lcCsv, "Export CSV-GPs: %d [ms]", int(timer.elapsed()));
    return true;
}

bool CCsvExport::ExportOne(CAdoDatabase& db, CAdoDatabase& ref, const QString& csvFolder, qint32 id) {
    ProtocolReportData data;
    qint32 error = 0;
    QString detail;
    if (!ProtocolReport::Read(db, ref, id, data, error, detail))
        return Message(error, detail), false;
    if (m_cb.status)
        m_cb.status(FormatText(ExchangeText::Resolve(m_lookup, 179), data.device));
    const QStringList lines = CsvReportLines(
        data, [this](qint32 textId) { return T(textId); }, m_locale, QDate::currentDate());
    return WriteReport(db, csvFolder, data, lines);
}

bool CCsvExport::WriteReport(CAdoDatabase& db, const QString& csvFolder, const ProtocolReportData& data,
                             const QStringList& lines) {
    // The client folder and the file.
    const QString clientFolder =
        csvFolder + QLatin1Char('/') +
        (data.client.isEmpty() ? QStringLiteral("NoClient") : FileNamePart(data.client));
    if (!QFileInfo(clientFolder).isDir() && !QDir().mkdir(clientFolder)) {
        MessageFormatted(TextId::kCannotCreateFolder, QDir::toNativeSeparators(clientFolder));
        return false;
    }
    const QDate day = data.testDate.date();
    const QString path = clientFolder + QLatin1Char('/') + FileNamePart(data.device) + QLatin1Char('_') +
                         FileNamePart(data.description) +
                         // Names may hold "%", so the date is not put in with arg().
                         QString::asprintf("_%04d_%02d_%02d.csv", day.year(), day.month(), day.day());
    // Written beside the target and renamed when complete: a failed file leaves neither a
    // half report nor the loss of the report it was to replace.
    const QString partPath = path + QStringLiteral(".part");
    CXmlFile file;
    const auto failFile = [&](int cause) {
        file.Close();
        QFile::remove(partPath);
        Notifier().ShowMessage(CXmlExport::FileErrorText(cause, m_lookup) + QLatin1Char('\n') + path,
                               QString(), CNotifier::Icon::Error);
        return false;
    };
    if (!file.Create(partPath))
        return failFile(file.GetCause());
    for (const QString& line : lines)
        if (!file.Write(line.toUtf8() + "\r\n"))
            return failFile(file.GetCause());
    if (!file.Close())
        return failFile(file.GetCause());
    if (std::rename(QFile::encodeName(partPath).constData(), QFile::encodeName(path).constData()) != 0)
        return failFile(CXmlFile::CauseOfErrno(errno));
    m_written << path;

    if (!db.Execute(QStringLiteral("UPDATE GeraeteTab SET ExportImport = %1 WHERE id = %2")
                        .arg(data.exportImport | 2)
                        .arg(data.id)))
        return Message(db.GetErrorNumber() ? db.GetErrorNumber() : ProtocolReport::kRecordUnreadable), false;
    return true;
}
