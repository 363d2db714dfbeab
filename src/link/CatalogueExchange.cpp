#include "link/CatalogueExchange.h"

#include "exchange/XmlRecords.h"
#include "exchange/XmlSupport.h"
#include "link/DocumentTransfer.h"
#include "link/LinkErrors.h"
#include "link/LinkProtocol.h"
#include "link/RS232.h"
#include "link/TesterConnection.h"
#include "store/AdoDatabase.h"
#include "store/RowReader.h"
#include "store/TextFormat.h"
#include "store/TextIds.h"

#include <QRegularExpression>

namespace Catalogue {

namespace {

constexpr qint32 kNoDocument = 50132;
constexpr qint32 kNoSpecificationToSend = 50167;
constexpr qint32 kSpecificationRefused = 415;
constexpr qint32 kProtocolRefused = 424;

// The record readers of the exchange report their failure in one out-parameter; only
// success matters here.
template <typename Record, typename Out>
bool ReadRecord(bool (*read)(CAdoDatabase&, qint32, Record&, Out&), CAdoDatabase& db, qint32 id,
                Record& record) {
    Out out{};
    return read(db, id, record, out);
}

qint32 DbError(const CAdoDatabase& db) {
    return db.GetErrorNumber() != 0 ? db.GetErrorNumber() : qint32(DbError::Move);
}

// A check is accepted only by the whole reply "#ok#".
bool AskTester(CRS232& link, const QString& command, int& check, qint32& error) {
    check = kCheckRefused;
    QString reply;
    if (!link.SendCommand(command) || !link.ReadReply(reply)) {
        error = link.GetErrorCode();
        return false;
    }
    check = reply.compare(QLatin1String("#ok#"), Qt::CaseInsensitive) == 0 ? kCheckAccepted : kCheckRefused;
    return true;
}

// A refusal names the record even when the catalogue has no text for it.
QString Refusal(const QString& format, const QString& a, const QString& b = QString()) {
    if (format.trimmed().isEmpty())
        return b.isEmpty() ? a : QStringLiteral("%1 %2").arg(a, b);
    return b.isEmpty() ? FormatText(format, a) : FormatText(format, a, b);
}

bool FetchInto(CRS232& link, const QString& command, const QString& path) {
    QString detail;
    return link.ExchangeRaw(command, detail) && link.ReceiveDocument(path, detail);
}

} // namespace

bool OpenLink(LinkContext& c, qint32& error, QString& errorText, const TextLookup& lookup) {
    errorText.clear();
    error = 0;
    c.foundByScan = false;
    QString reply;
    CTesterConnection connection(c.link, c.dataFolder, c.serial);
    connection.SetFoundHandler(c.onFound);
    // A tester that is not ready yet (#initfail#) is still talked to.
    bool connected = connection.Connect(reply) || c.link.GetErrorCode() == LinkError::InitFail;
    if (!connected)
        error = c.link.GetErrorCode();
    c.foundByScan = connection.FoundByScan();
    c.serial = connection.Settings();
    if (!connected)
        return false;
    error = 0;
    c.link.SetReadTimeout(5000);
    if (c.link.GetDataBits().trimmed() != QLatin1String("8")) {
        error = LinkError::SevenBits;
        return false;
    }
    if (!c.link.CheckRemoteVersion(c.minimumRemoteVersion)) {
        error = c.link.GetErrorCode();
        // A tester that refuses the version query of its remote component has none the
        // program can work with: the check's own code, rather than a failure without one.
        if (error == 0)
            error = LinkError::RemoteTooOld;
        // Only that code is "too old"; a silent tester keeps the message of its own error.
        if (error == LinkError::RemoteTooOld)
            errorText = FormatText(ExchangeText::Resolve(lookup, kTextRemoteTooOld), c.minimumRemoteVersion);
        return false;
    }
    if (!c.link.EnableChecksums(reply)) {
        error = c.link.GetErrorCode();
        return false;
    }
    c.link.NotifyLinkStatus(LinkIcon::Connected);
    return true;
}

QString DescribeReply(const QString& detail, const TextLookup& lookup) {
    const QString token = detail.trimmed();
    static const QRegularExpression bare(QStringLiteral("^#[^#\\s]*#$"));
    if (!bare.match(token).hasMatch())
        return detail;
    const LinkProtocol::Classification c = LinkProtocol::ClassifyReply(token);
    QString text;
    if (c.replyClass == LinkProtocol::Next)
        text = FormatText(ExchangeText::Resolve(lookup, 60015), token);
    else if (c.errorCode != 0)
        text = ExchangeText::Resolve(lookup, c.errorCode);
    return text.isEmpty() ? FormatText(ExchangeText::Resolve(lookup, 60016), token) : text;
}

void CloseLink(CRS232& link) {
    QString reply;
    link.DisableChecksums(reply);
    link.Disconnect();
}

bool CheckSpecificationById(CRS232& link, CAdoDatabase& db, qint32 id, int& check, qint32& error) {
    check = kCheckRefused;
    QString guid, name;
    if (!db.OpenQuery(QStringLiteral("SELECT * FROM TypenTab WHERE id = %1").arg(id)) || !db.MoveFirst() ||
        !db.GetString(QStringLiteral("myGUID"), guid) || !db.GetString(QStringLiteral("Name"), name)) {
        error = DbError(db);
        return false;
    }
    return AskTester(link, QStringLiteral(":CAT:XML:TYP:CHECK Name=\"%1\" GUID=\"%2\"").arg(name, guid),
                     check, error);
}

bool CheckSpecificationByName(CRS232& link, CAdoDatabase& db, const QString& name, qint32& id, int& check,
                              qint32& error) {
    check = kCheckRefused;
    QString guid;
    if (!db.OpenQuery(QStringLiteral("SELECT * FROM TypenTab WHERE Name = %1").arg(SqlLiteral(name))) ||
        !db.MoveFirst() || !db.GetString(QStringLiteral("myGUID"), guid) ||
        !db.GetLong(QStringLiteral("id"), id)) {
        error = DbError(db);
        return false;
    }
    return AskTester(link, QStringLiteral(":CAT:XML:TYP:CHECK Name=\"%1\" GUID=\"%2\"").arg(name, guid),
                     check, error);
}

bool CheckDeviceProtocol(CRS232& link, CAdoDatabase& db, qint32 id, int& check, qint32& error) {
    check = kCheckRefused;
    QString device, client, guid;
    if (!db.OpenQuery(QStringLiteral("SELECT * FROM GeraeteTab WHERE id = %1").arg(id)) || !db.MoveFirst() ||
        !db.GetString(QStringLiteral("Device"), device)) {
        error = DbError(db);
        return false;
    }
    // Client may be empty (NULL); the GUID identifies the record.
    if (!db.IsNull(QStringLiteral("Client")) && !db.GetString(QStringLiteral("Client"), client)) {
        error = DbError(db);
        return false;
    }
    if (!db.GetString(QStringLiteral("myGUID"), guid)) {
        error = DbError(db);
        return false;
    }
    return AskTester(link,
                     QStringLiteral(":CAT:XML:DEVICE:CHECK Device=\"%1\" Client=\"%2\" GUID=\"%3\"")
                         .arg(device, client, guid),
                     check, error);
}

bool BuildSpecificationDocument(CAdoDatabase& db, CXmlSupport& xml, qint32 id, qint32& exportImport,
                                qint32& error) {
    XmlSpecificationRecord record;
    xml.ClearLines();
    if (!ReadRecord(&XmlRecords::ReadSpecification, db, id, record)) {
        error = kNoDocument;
        return false;
    }
    xml.AddHeader();
    xml.BeginSpecifications();
    XmlRecords::AppendSpecification(xml, record);
    xml.EndSpecifications();
    xml.AddFooter();
    exportImport = record.master.exportImport;
    return true;
}

bool BuildProtocolDocument(CAdoDatabase& db, CXmlSupport& xml, qint32 id, qint32& exportImport,
                           qint32& error) {
    XmlProtocolRecord record;
    xml.ClearLines();
    if (!ReadRecord(&XmlRecords::ReadProtocol, db, id, record)) {
        error = kNoDocument;
        return false;
    }
    xml.AddHeader();
    xml.BeginProtocols();
    XmlRecords::AppendProtocol(xml, record, false);
    xml.EndProtocols();
    xml.AddFooter();
    exportImport = record.master.exportImport;
    return true;
}

bool MarkSent(CAdoDatabase& db, const QString& table, qint32 id, qint32 exportImport, qint32& error) {
    if (!db.Execute(QStringLiteral("UPDATE %1 SET ExportImport = %2 WHERE id = %3")
                        .arg(table)
                        .arg(exportImport | 1)
                        .arg(id))) {
        error = DbError(db);
        return false;
    }
    return true;
}

bool SendRecord(CRS232& link, CAdoDatabase& db, CXmlSupport& xml, ExchangeKind kind, qint32 id, qint32& error,
                QString& detail) {
    const bool spec = kind == ExchangeKind::Specifications;
    qint32 exportImport = 0;
    if (!(spec ? BuildSpecificationDocument(db, xml, id, exportImport, error)
               : BuildProtocolDocument(db, xml, id, exportImport, error)))
        return false;
    auto next = [&xml](QString& line) { return xml.NextLine(line); };
    if (!SendDocument(link, next,
                      spec ? QStringLiteral(":CAT:XML:TYP:NEW") : QStringLiteral(":CAT:XML:DEVICE:NEW"),
                      spec ? QStringLiteral("PV") : QStringLiteral("GP"), error, detail))
        return false;
    return MarkSent(db, spec ? QStringLiteral("TypenTab") : QStringLiteral("GeraeteTab"), id, exportImport,
                    error);
}

bool FetchList(CRS232& link, ExchangeKind kind, bool useQuery, const QString& dataFolder, QString& path,
               QString& detail, const std::function<bool()>& cancelled) {
    link.SetReadTimeout(30000);
    const bool spec = kind == ExchangeKind::Specifications;
    QString command = spec ? QStringLiteral(":CAT:XML:TYP:NAMES?") : QStringLiteral(":CAT:XML:DEVICE:IDS?");
    if (useQuery)
        command += QStringLiteral(" OPTION=\"USEQUERY\"");
    path = dataFolder + QLatin1Char('/') + ListFileName(kind);
    if (!link.ExchangeRaw(command, detail))
        return false;
    return link.ReceiveDocumentCancellable(path, detail, cancelled);
}

bool FetchSpecification(CRS232& link, const QString& name, const QString& dataFolder, QString& path) {
    path = dataFolder + QLatin1Char('/') + DocumentFileName(ExchangeKind::Specifications);
    return FetchInto(link, QStringLiteral(":CAT:XML:TYP:NAME %1").arg(name), path);
}

bool FetchDeviceProtocol(CRS232& link, const QString& guid, const QString& dataFolder, QString& path) {
    path = dataFolder + QLatin1Char('/') + DocumentFileName(ExchangeKind::Protocols);
    return FetchInto(link, QStringLiteral(":CAT:XML:DEVICE:GUID %1").arg(guid), path);
}

bool QueryTesterIdentity(CRS232& link, QString& name, QString& serial, QString& software) {
    name.clear();
    serial.clear();
    software.clear();
    QString ignored;
    const struct {
        const char* command;
        QString* value;
    } steps[] = {{":IDNM?", &name},
                 {":IDNS?", &serial},
                 {":TRANSFER:FILE \\%SYSTEM%\\velmor740.exe", &ignored},
                 {":TRANSFER:FILE:Version?", &software}};
    for (const auto& s : steps) {
        if (!link.SendCommand(QString::fromLatin1(s.command)))
            return false;
        if (!link.ReadReply(*s.value))
            s.value->clear();
    }
    link.SetErrorCode(0);
    return true;
}

// ---- Send workers.

void CSendWorker::Step(qint32 id, const QString& arg) const {
    if (m_cb.step)
        m_cb.step(id, arg);
}

void CSendWorker::Advance() {
    ++m_position;
    if (m_cb.position)
        m_cb.position(m_position);
}

CSendWorker::Result CSendWorker::SendSpecifications(const std::vector<Row>& rows) {
    const Result r = RunSpecifications(rows);
    m_cb.Finished(r);
    return r;
}

CSendWorker::Result CSendWorker::SendProtocols(const std::vector<Row>& rows) {
    const Result r = RunProtocols(rows);
    m_cb.Finished(r);
    return r;
}

CSendWorker::Result CSendWorker::RunSpecifications(const std::vector<Row>& rows) {
    Result r;
    m_position = 0;
    if (m_cb.title)
        m_cb.title(50147);
    Step(TextId::kConnectingToTester);
    bool ok = OpenLink(m_context, r.error, r.errorText, m_lookup);
    if (ok) {
        if (m_cb.range)
            m_cb.range(int(rows.size()) + 2);
        Advance();
        Step(414);
        for (const Row& row : rows) {
            int check = kCheckRefused;
            ok = CheckSpecificationById(m_context.link, m_db, row.id, check, r.error);
            if (ok && check != kCheckAccepted) {
                ok = false;
                r.error = kSpecificationRefused;
                r.errorText = Refusal(ExchangeText::Resolve(m_lookup, 431), row.column0);
            }
            if (!ok || (r.cancelled = Cancelled()))
                break;
        }
        if (ok && !r.cancelled) {
            CXmlSupport xml;
            for (const Row& row : rows) {
                Advance();
                Step(178, row.column0);
                QString detail;
                ok = SendRecord(m_context.link, m_db, xml, ExchangeKind::Specifications, row.id, r.error,
                                detail);
                if (!ok)
                    r.errorText = DescribeReply(detail, m_lookup);
                else
                    ++r.specificationsSent;
                if (!ok || (r.cancelled = Cancelled()))
                    break;
            }
            if (ok)
                Advance();
        }
    }
    CloseLink(m_context.link);
    r.ok = ok;
    if (ok)
        r.error = 0;
    return r;
}

std::vector<CSendWorker::Row> CSendWorker::RowsById(CAdoDatabase& db, ExchangeKind kind,
                                                    const std::vector<qint32>& ids) {
    const bool specs = kind == ExchangeKind::Specifications;
    std::vector<Row> rows;
    for (qint32 id : ids) {
        Row row;
        row.id = id;
        if (db.OpenQuery(QStringLiteral("SELECT * FROM %1 WHERE id = %2")
                             .arg(specs ? QStringLiteral("TypenTab") : QStringLiteral("GeraeteTab"))
                             .arg(id)) &&
            db.MoveFirst()) {
            CRowReader read(db);
            row.column0 = read.Text(specs ? "Name" : "Device");
            if (!specs)
                row.column3 = read.Text("Client");
        }
        rows.push_back(row);
    }
    return rows;
}

CSendWorker::Result CSendWorker::RunProtocols(const std::vector<Row>& rows) {
    Result r;
    m_position = 0;
    if (m_cb.title)
        m_cb.title(50139);
    Step(TextId::kConnectingToTester);
    bool ok = OpenLink(m_context, r.error, r.errorText, m_lookup);
    struct Spec {
        QString name;
        qint32 id = 0;
        int check = kCheckRefused;
    };
    std::vector<Spec> specs;
    if (ok) {
        // The specifications that the protocols name, once each whatever their letter case.
        for (const Row& row : rows) {
            QString name;
            if (!m_db.OpenQuery(
                    QStringLiteral("SELECT SpecificationName FROM GeraeteTab WHERE id = %1").arg(row.id)) ||
                !m_db.MoveFirst() || !m_db.GetString(QStringLiteral("SpecificationName"), name)) {
                ok = false;
                r.error = DbError(m_db);
                break;
            }
            bool known = false;
            for (const Spec& s : specs)
                known = known || s.name.compare(name, Qt::CaseInsensitive) == 0;
            if (!known)
                specs.push_back({name});
            if ((r.cancelled = Cancelled()))
                break;
        }
    }
    if (ok && !r.cancelled) {
        if (m_cb.range)
            m_cb.range(int(rows.size() + specs.size()) + 3);
        Step(418);
        for (const Row& row : rows) {
            int check = kCheckRefused;
            ok = CheckDeviceProtocol(m_context.link, m_db, row.id, check, r.error);
            if (ok && check != kCheckAccepted) {
                ok = false;
                r.error = kProtocolRefused;
                r.errorText = Refusal(ExchangeText::Joined(m_lookup, 50140, 50141), row.column0, row.column3);
            }
            if (!ok || (r.cancelled = Cancelled()))
                break;
        }
    }
    if (ok && !r.cancelled) {
        Step(414);
        if (specs.empty()) {
            ok = false;
            r.error = kNoSpecificationToSend;
        }
        for (Spec& s : specs) {
            if (!ok)
                break;
            ok = CheckSpecificationByName(m_context.link, m_db, s.name, s.id, s.check, r.error);
            if (ok && s.check != kCheckAccepted) {
                ok = false;
                r.error = kSpecificationRefused;
                r.errorText = Refusal(ExchangeText::Joined(m_lookup, 50148, 50146), s.name);
            }
            if (!ok || (r.cancelled = Cancelled()))
                break;
        }
    }
    if (ok && !r.cancelled) {
        CXmlSupport xml;
        for (const Spec& s : specs) {
            Advance();
            Step(178, s.name);
            QString detail;
            ok = SendRecord(m_context.link, m_db, xml, ExchangeKind::Specifications, s.id, r.error, detail);
            if (!ok)
                r.errorText = DescribeReply(detail, m_lookup);
            else
                ++r.specificationsSent;
            if (!ok || (r.cancelled = Cancelled()))
                break;
        }
        for (const Row& row : rows) {
            if (!ok || r.cancelled)
                break;
            Advance();
            Step(179, row.column0);
            QString detail;
            ok = SendRecord(m_context.link, m_db, xml, ExchangeKind::Protocols, row.id, r.error, detail);
            if (!ok)
                r.errorText = DescribeReply(detail, m_lookup);
            else
                ++r.protocolsSent;
            r.cancelled = Cancelled();
        }
    }
    CloseLink(m_context.link);
    r.ok = ok;
    if (ok)
        r.error = 0;
    return r;
}

} // namespace Catalogue

// ---- The tester as an import source.

bool CTesterXmlSource::FetchList(ExchangeKind kind, bool useQuery, QString& documentPath, qint32& error) {
    QString detail;
    const bool ok = Catalogue::FetchList(m_link, kind, useQuery, m_dataFolder, documentPath, detail,
                                         [this] { return Cancelled(); });
    error = ok ? 0 : m_link.GetErrorCode();
    return ok;
}

bool CTesterXmlSource::FetchRecord(ExchangeKind kind, const QString& key, QString& documentPath,
                                   qint32& error) {
    m_link.SetReadTimeout(30000);
    const bool ok = kind == ExchangeKind::Specifications
                        ? Catalogue::FetchSpecification(m_link, key, m_dataFolder, documentPath)
                        : Catalogue::FetchDeviceProtocol(m_link, key, m_dataFolder, documentPath);
    error = ok ? 0 : m_link.GetErrorCode();
    return ok;
}

bool CTesterXmlSource::QueryTesterIdentity(QString& name, QString& serial, QString& software, qint32& error) {
    const bool ok = Catalogue::QueryTesterIdentity(m_link, name, serial, software);
    error = ok ? 0 : m_link.GetErrorCode();
    return ok;
}
