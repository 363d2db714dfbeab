#include "exchange/ImportWorkflow.h"

#include "exchange/XmlSupport.h"
#include "platform/LocaleFormat.h"
#include "store/AdoDatabase.h"
#include "store/TextFormat.h"
#include "store/UserSchema.h"

#include <QDate>
#include <QHash>
#include <QPair>
#include <QSet>

namespace {

// The leading number of a text, as the C library's atoi reads it.
int LeadingInt(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+')))
        negative = text[i++] == QLatin1Char('-');
    qint64 value = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9') && value < 1000000;
         ++i)
        value = value * 10 + (text[i].unicode() - '0');
    return int(negative ? -value : value);
}

quint16 Part(const QStringList& parts, int i) {
    return i < parts.size() ? quint16(LeadingInt(parts[i])) : 0;
}

} // namespace

namespace Preview {

ImportDateTime ParseDateTime(const QString& date, const QString& time) {
    ImportDateTime t;
    if (date.size() != 10)
        return t;
    const QStringList d = date.split(QLatin1Char('.'));
    t.day = Part(d, 0);
    t.month = Part(d, 1);
    t.year = Part(d, 2);
    if (time.size() == 8) {
        const QStringList h = time.split(QLatin1Char(':'));
        t.hour = Part(h, 0);
        t.minute = Part(h, 1);
        t.second = Part(h, 2);
    }
    return t;
}

QString DisplayDate(const QString& text) {
    if (text.size() != 10)
        return text;
    bool okDay = false, okMonth = false, okYear = false;
    const QDate date(text.mid(6, 4).toInt(&okYear), text.mid(3, 2).toInt(&okMonth),
                     text.left(2).toInt(&okDay));
    if (!okDay || !okMonth || !okYear || !date.isValid())
        return text;
    return LocaleFormat::ShortDate(date);
}

bool ReadList(CXmlSupport& xml, const QString& path, ExchangeKind kind, PreviewList& list, qint32& error,
              QString& errorText) {
    list.kind = kind;
    list.rows.clear();
    list.leftOut = 0;
    error = 0;
    errorText.clear();
    if (!xml.Load(path)) {
        error = xml.GetLastError();
        errorText = path;
        return false;
    }
    const bool specs = kind == ExchangeKind::Specifications;
    if (!xml.SelectNodes(specs ? QStringLiteral("/Tables/Specifications/Specification")
                               : QStringLiteral("/Tables/Protocols/Protocol"))) {
        const bool empty = xml.GetLastError() == XmlError::NoNode;
        if (!empty)
            error = xml.GetLastError();
        xml.Close();
        return empty;
    }
    bool ok = true;
    const auto get = [&](const char* name, QString& value) {
        if (ok && !xml.GetAttribute(QLatin1String(name), value)) {
            ok = false;
            error = kMissingAttribute;
            errorText = QLatin1String(name);
        }
        return ok;
    };
    do {
        PreviewRow row;
        if (specs) {
            get("Name", row.name);
            get("Description", row.description);
            if (ok && !xml.GetAttribute(QStringLiteral("Standard"), row.standard)) {
                QString id;
                if (get("StandardID", id))
                    row.standardId = LeadingInt(id);
                row.standard.clear();
            }
            get("CreateDate", row.createDate);
            get("GUID", row.guid);
        } else {
            get("Device", row.device);
            get("Description", row.description);
            get("Client", row.client);
            get("TestDate", row.testDate);
            get("TestTime", row.testTime);
            QString result;
            if (ok && xml.GetAttribute(QStringLiteral("TestResultID"), result))
                row.testResultId = LeadingInt(result);
            else
                get("TestResult", row.testResult);
            get("GUID", row.guid);
            get("SpecificationName", row.specificationName);
            get("SpecificationGUID", row.specificationGuid);
            row.tested = ParseDateTime(row.testDate, row.testTime);
        }
        if (!ok)
            break;
        if (!specs && row.testResultId == kHiddenResult) {
            ++list.leftOut;
            continue;
        }
        list.rows.push_back(std::move(row));
    } while (xml.NextNode());
    xml.ReleaseNodes();
    xml.Close();
    return ok;
}

QStringList Columns(const PreviewRow& row, ExchangeKind kind, const TextLookup& lookup) {
    const auto text = [&](qint32 id) {
        const QString t = lookup ? lookup(id) : QString();
        return t.isEmpty() ? QString::number(id) : t;
    };
    if (kind == ExchangeKind::Specifications)
        return {row.name, row.description, row.standardId != 0 ? text(row.standardId) : row.standard,
                DisplayDate(row.createDate)};
    return {row.device, row.testResultId != 0 ? text(row.testResultId) : row.testResult, row.description,
            row.client, DisplayDate(row.testDate)};
}

QString Key(const PreviewRow& row, ExchangeKind kind) {
    return kind == ExchangeKind::Specifications ? row.name : row.guid;
}

std::vector<PreviewRow> Select(const PreviewList& list, const QStringList& keys, bool all,
                               QStringList& unknown) {
    const auto compared = [&list](const QString& key) {
        return list.kind == ExchangeKind::Specifications ? ImportKey::SpecificationName(key)
                                                         : ImportKey::ProtocolGuid(key);
    };
    QSet<QString> wanted, matched;
    for (const QString& key : keys)
        wanted.insert(compared(key));
    std::vector<PreviewRow> selected;
    for (const PreviewRow& row : list.rows) {
        const QString key = compared(Key(row, list.kind));
        if (wanted.contains(key))
            matched.insert(key);
        if (all || wanted.contains(key))
            selected.push_back(row);
    }
    for (const QString& key : keys)
        if (!matched.contains(compared(key)) && !unknown.contains(key))
            unknown << key;
    return selected;
}

} // namespace Preview

void CImportWorkflow::RefuseSpecification(const QString& name, Result& r) const {
    r.error = 415;
    const QString format = ExchangeText::Joined(m_lookup, 50145, 50146);
    r.errorText = format.isEmpty() ? name : FormatText(format, name);
}

CImportWorkflow::CImportWorkflow(CXmlSource& source, QString dataFolder)
    : m_source(source), m_dataFolder(std::move(dataFolder)), m_exchange(source) {}

void CImportWorkflow::Title(qint32 id) const {
    if (m_cb.title)
        m_cb.title(id);
}
void CImportWorkflow::Range(int n) const {
    if (m_cb.range)
        m_cb.range(n);
}
void CImportWorkflow::Position(int n) const {
    if (m_cb.position)
        m_cb.position(n);
}
void CImportWorkflow::Step(qint32 id, const QString& arg) const {
    if (m_cb.step)
        m_cb.step(id, arg);
}

bool CImportWorkflow::Preview(ExchangeKind kind, bool useQuery, PreviewList& list, qint32& error,
                              QString& errorText) {
    const bool ok = RunPreview(kind, useQuery, list, error, errorText);
    WorkflowResult r;
    r.ok = ok;
    r.error = error;
    r.errorText = errorText;
    m_cb.Finished(r);
    return ok;
}

CImportWorkflow::Result CImportWorkflow::Import(ExchangeKind kind, const std::vector<PreviewRow>& marked) {
    const Result r = RunImport(kind, marked);
    m_cb.Finished(r);
    return r;
}

bool CImportWorkflow::RunPreview(ExchangeKind kind, bool useQuery, PreviewList& list, qint32& error,
                                 QString& errorText) {
    list = PreviewList();
    list.kind = kind;
    error = 0;
    errorText.clear();
    const bool tester = m_source.SourceNumber() == ImportSource::Tester;
    if (tester) {
        Title(406);
        Range(3);
        Position(1);
        Step(50143);
    }
    m_source.SetCancelCheck(m_cb.cancelled);
    QString path;
    if (!m_source.FetchList(kind, useQuery, path, error)) {
        if (error == 0)
            error = XmlError::Load;
        return false;
    }
    if (tester) {
        Position(2);
        Step(50144);
    }
    CXmlSupport xml;
    const bool ok = Preview::ReadList(xml, path, kind, list, error, errorText);
    if (tester) {
        Position(3);
        Step(50134);
    }
    return ok;
}

bool CImportWorkflow::ImportSpecifications(CAdoDatabase& db, std::vector<SpecEntry>& specs, int& position,
                                           Result& r) {
    for (const SpecEntry& s : specs) {
        Step(404, s.name);
        qint32 error = 0;
        QString text;
        bool ok = false;
        int decision = s.decision;
        ok = m_exchange.ImportSpecification(db, s.name, s.guid, decision, error, text);
        r.specificationsInserted += ok && decision == ImportDecision::Insert;
        r.specificationsUpdated += ok && decision == ImportDecision::Update;
        Position(++position);
        if (!ok && decision == ImportDecision::Conflict) {
            RefuseSpecification(s.name, r);
            return false;
        }
        if (!ok) {
            r.error = error;
            r.errorText = error == CXmlExchange::kErrorDatabaseChanged
                              ? FormatText(ExchangeText::Resolve(m_lookup, 60022), text)
                              : text;
            return false;
        }
        if (Cancelled()) {
            r.cancelled = true;
            return true;
        }
    }
    return true;
}

CImportWorkflow::Result CImportWorkflow::RunImport(ExchangeKind kind, const std::vector<PreviewRow>& marked) {
    Result r;
    Title(400);
    m_source.SetCancelCheck(m_cb.cancelled);
    CAdoDatabase db;
    if (!db.Open(m_dataFolder, UserSchema::FileName()) || !UserSchema::EnsureLookupIndexes(db)) {
        r.error = db.GetErrorNumber();
        return r;
    }
    std::vector<SpecEntry> specs;
    QSet<QString> specKeys;
    const auto addSpec = [&specs, &specKeys](const QString& name, const QString& guid) {
        const QString key = ImportKey::SpecificationName(name);
        if (specKeys.contains(key))
            return;
        specKeys.insert(key);
        specs.push_back({name, guid, -1});
    };
    const auto checkSpecs = [&]() {
        Step(414);
        if (specs.empty()) {
            r.error = 417;
            return false;
        }
        for (SpecEntry& s : specs) {
            if (!m_exchange.CheckSpecification(db, s.name, s.guid, s.decision)) {
                r.error = db.GetErrorNumber();
                return false;
            }
            if (s.decision == ImportDecision::Conflict) {
                RefuseSpecification(s.name, r);
                return false;
            }
        }
        return true;
    };

    int position = 0;
    if (kind == ExchangeKind::Specifications) {
        for (const PreviewRow& row : marked)
            addSpec(row.name, row.guid);
        Range(int(specs.size()) + 1);
        if (!checkSpecs())
            return r;
        Position(++position);
        r.ok = ImportSpecifications(db, specs, position, r);
        m_exchange.Close();
        return r;
    }

    struct ProtocolEntry {
        const PreviewRow* row;
        int decision = -1;
        qint32 id = 0;
    };
    std::vector<ProtocolEntry> protocols;
    for (const PreviewRow& row : marked) {
        protocols.push_back({&row, -1, 0});
        addSpec(row.specificationName, row.specificationGuid);
    }
    Range(int(protocols.size() + specs.size()) + 2);
    Step(418);
    if (protocols.empty()) {
        r.error = 419;
        return r;
    }
    const auto refuse = [&](const PreviewRow& row) {
        r.error = 424;
        const QString format = ExchangeText::Joined(m_lookup, 50149, 50141);
        r.errorText = format.isEmpty() ? QStringLiteral("%1 / %2").arg(row.device, row.client)
                                       : FormatText(format, row.device, row.client);
    };
    // The GUIDs of the run's entries by device and client, compared as they are stored.
    const auto cut = [](const QString& text, int width) { return ImportWidth::Cut(text, width).toLower(); };
    QHash<QPair<QString, QString>, QString> firstGuid;
    for (std::size_t j = 0; j < protocols.size(); ++j) {
        ProtocolEntry& p = protocols[j];
        const PreviewRow& row = *p.row;
        if (!m_exchange.CheckProtocol(db, row.device, row.client, row.guid, row.specificationName, row.tested,
                                      p.decision, p.id)) {
            r.error = db.GetErrorNumber();
            return r;
        }
        // An earlier entry of this run for the same device and client under another GUID
        // will be in the database by the time this one is written: the same refusal.
        if (p.decision != ImportDecision::Conflict) {
            const auto key = qMakePair(cut(row.device, 50), cut(row.client, 20));
            const auto it = firstGuid.constFind(key);
            if (it == firstGuid.cend())
                firstGuid.insert(key, cut(row.guid, 40));
            else if (*it != cut(row.guid, 40))
                p.decision = ImportDecision::Conflict;
        }
        if (p.decision == ImportDecision::Conflict) {
            refuse(row);
            return r;
        }
    }
    Position(++position);
    if (!checkSpecs())
        return r;
    Position(++position);
    if (!ImportSpecifications(db, specs, position, r)) {
        m_exchange.Close();
        return r;
    }
    if (r.cancelled) {
        r.ok = true;
        m_exchange.Close();
        return r;
    }
    for (ProtocolEntry& p : protocols) {
        const PreviewRow& row = *p.row;
        Step(405, row.device);
        // Decided again in the transaction that writes it: an earlier entry of this run, or
        // another import at the same time, may have written a protocol of the same device.
        qint32 error = 0;
        QString text;
        const CXmlExchange::ProtocolEntry entry{row.device, row.client,   row.guid,    row.specificationName,
                                                row.tested, row.testDate, row.testTime};
        const bool ok = m_exchange.ImportProtocol(db, entry, p.decision, p.id, error, text);
        r.protocolsUpdated += ok && p.decision == ImportDecision::Update;
        r.protocolsInserted += ok && p.decision != ImportDecision::Update;
        r.protocolsRetired += ok && p.decision == ImportDecision::NewTest;
        Position(++position);
        if (!ok && p.decision == ImportDecision::Conflict) {
            refuse(row);
            m_exchange.Close();
            return r;
        }
        if (!ok) {
            r.error = error;
            r.errorText = error == CXmlExchange::kErrorDatabaseChanged
                              ? FormatText(ExchangeText::Resolve(m_lookup, 60021), row.device, row.guid)
                              : text;
            m_exchange.Close();
            return r;
        }
        if (Cancelled()) {
            r.cancelled = true;
            break;
        }
    }
    m_exchange.Close();
    r.ok = true;
    return r;
}
