#include "exchange/XmlExchange.h"

#include "store/AdoDatabase.h"
#include "store/JetFunctions.h"
#include "store/RowReader.h"

#include <QFile>
#include <QRegularExpression>
#include <cmath>
#include <limits>
#include <sys/stat.h>
#include <vector>

QString ImportWidth::Cut(const QString& text, int width) {
    if (text.size() <= width)
        return text;
    qsizetype n = width;
    if (n > 0 && text[n - 1].isHighSurrogate())
        --n;
    return text.left(n);
}

bool ImportNumber::ParseInt(const QString& text, qint32& value) {
    value = 0;
    const QString t = text.trimmed();
    // Other tools write an unset number as nothing.
    if (t.isEmpty())
        return true;
    static const QRegularExpression form(QStringLiteral(R"(^([+-]?\d+)(?:\.0*)?$)"));
    const QRegularExpressionMatch m = form.match(t);
    if (!m.hasMatch())
        return false;
    bool ok = false;
    value = m.captured(1).toInt(&ok, 10);
    if (!ok)
        value = 0;
    return ok;
}

QString ImportKey::SpecificationNameCondition(const QString& name) {
    return QStringLiteral("Name = ") + SqlLiteral(ImportWidth::Cut(name, 20));
}

QString ImportKey::SpecificationName(const QString& name) {
    // Names compare without regard to case, as the column's collation does.
    return ImportWidth::Cut(name, 20).toLower();
}

QString ImportKey::ProtocolGuid(const QString& guid) {
    return ImportWidth::Cut(guid, 40).toLower();
}

namespace {

using ImportWidth::Cut;

// A statement refused by a constraint: another writer stored the record meanwhile.
bool ConstraintFailed(CAdoDatabase& db) {
    return db.LastFailureWasConstraint();
}

// Reads the attributes of the current node. The first failure sticks: later reads return
// empty values, and error and text tell what went wrong.
class AttrReader {
public:
    explicit AttrReader(CXmlSupport& xml) : m_xml(xml) {}

    bool Ok() const { return m_error == 0; }
    qint32 Error() const { return m_error; }
    const QString& Text() const { return m_text; }

    bool Has(const char* name) {
        QString v;
        return m_xml.GetAttribute(QLatin1String(name), v);
    }

    // A required text, cut to the column's width.
    QString Str(const char* name, int width) {
        QString v;
        if (!Raw(name, v))
            return QString();
        return Cut(v, width);
    }

    qint32 Int(const char* name) {
        QString v;
        if (!Raw(name, v))
            return 0;
        qint32 n = 0;
        if (!ImportNumber::ParseInt(v, n))
            return Bad(XmlError::Attribute, name, v), 0;
        return n;
    }

    // UseExtraPolation: 1 when the document lacks it.
    qint32 IntOr(const char* name, qint32 fallback) {
        if (!Ok() || !Has(name))
            return fallback;
        return Int(name);
    }

    double Real(const char* name) {
        QString v;
        if (!Raw(name, v))
            return 0;
        static const QRegularExpression number(
            QStringLiteral(R"(^\s*[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?\s*$)"));
        bool ok = number.match(v).hasMatch();
        const double d = ok ? v.trimmed().toDouble(&ok) : 0;
        if (!ok || !std::isfinite(d))
            return Bad(XmlError::Attribute, name, v), 0;
        return d;
    }

    // A document date (day.month.year) joined with a time into the stored form. With
    // `emptyIsNoDate` an empty date is no date (an empty text back): the export writes a
    // protocol without first or next test date that way.
    QString DateTime(const char* dateName, const QString& date, const QString& time,
                     bool emptyIsNoDate = false) {
        if (!Ok() || (emptyIsNoDate && date.trimmed().isEmpty()))
            return QString();
        const qsizetype first = date.indexOf(QLatin1Char('.'));
        const qsizetype second = first < 0 ? -1 : date.indexOf(QLatin1Char('.'), first + 1);
        if (second < 0)
            return Bad(DbError::DateToSql, dateName, date), QString();
        const QString joined =
            QStringLiteral("%1-%2-%3 %4")
                .arg(date.mid(second + 1), date.mid(first + 1, second - first - 1), date.left(first), time);
        // A date the database cannot read back would be stored as text and break every
        // list and report that shows it.
        const auto parsed = Jet::ParseDate(joined);
        if (!parsed || date.mid(second + 1).size() != 4)
            return Bad(DbError::DateToSql, dateName, date + QLatin1Char(' ') + time), QString();
        return Jet::FormatDate(*parsed);
    }

    void Fail(qint32 error, const QString& text) {
        if (Ok()) {
            m_error = error;
            m_text = text;
        }
    }

private:
    bool Raw(const char* name, QString& v) {
        if (!Ok())
            return false;
        if (!m_xml.GetAttribute(QLatin1String(name), v)) {
            m_error = XmlError::Attribute;
            m_text = m_xml.AttributeRefused() ? QStringLiteral("%1=\"%2\"").arg(QLatin1String(name), v)
                                              : QLatin1String(name);
            return false;
        }
        return true;
    }
    void Bad(qint32 error, const char* name, const QString& value) {
        Fail(error, QStringLiteral("%1=\"%2\"").arg(QLatin1String(name), value));
    }

    CXmlSupport& m_xml;
    qint32 m_error = 0;
    QString m_text;
};

QString Lit(const QString& text) {
    return SqlLiteral(text);
}
// A stored date, or NULL for no date.
QString DateLit(const QString& date) {
    return date.isEmpty() ? QStringLiteral("NULL") : SqlLiteral(date);
}
QString Num(qint32 n) {
    return QString::number(n);
}
// Reals enter SQL with six decimals, like "%f".
QString Real6(double d) {
    return CXmlSupport::Fixed(d, 6);
}

// Reads every item of a group of the selected record. A group without items adds nothing.
template <typename ReadItem>
bool ReadItems(CXmlSupport& xml, const char* group, const char* item, AttrReader& reader, ReadItem readItem) {
    if (!xml.SelectItems(group, item)) {
        const bool empty = xml.GetLastError() == XmlError::NoNode;
        if (!empty)
            reader.Fail(xml.GetLastError(), QString());
        xml.ReleaseNodes();
        return empty;
    }
    do {
        readItem();
        if (!reader.Ok())
            break;
    } while (xml.NextNode());
    xml.ReleaseNodes();
    return reader.Ok();
}

// What tells a changed file from the one that was loaded, without reading it again.
FileStamp Stamp(const QString& path) {
    FileStamp s;
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return s;
    s.valid = true;
    s.size = st.st_size;
    s.inode = st.st_ino;
    s.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    s.ctimeNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    return s;
}

bool SameText(const QString& a, const QString& b) {
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

// A test specification read from its document, as the statements that store it.
struct CXmlExchange::Specification {
    bool full = true; // an insert with its steps; else the update of the master row
    QString master;
    QStringList parts, visual, tests, functional; // VALUES tails after the new id
};

struct CXmlExchange::Protocol {
    QString device, specificationName, testDate, firstTestDate, nextTestDate, op, nominalVoltage,
        manufacturer, description, serial, client, location, department, room, costs, comment, externalUse,
        guid, city, street, dutClass, testerName, testerSerial, testerSW;
    qint32 testResultId = 0, reviewPeriod = 0, useExtraPolation = 1;
    bool full = true; // read for an insert; an update reads fewer attributes
    struct Result {
        qint32 refNo = 0;
        double measValue = 0;
        qint32 result = 0;
        double firstValue = 0;
    };
    std::vector<Result> visual, test, functional;
};

CXmlExchange::CXmlExchange(CXmlSource& source) : m_source(source) {}

CXmlExchange::~CXmlExchange() = default;

void CXmlExchange::Close() {
    for (Cached& c : m_cache) {
        c.xml.Close();
        c.path.clear();
    }
}

bool CXmlExchange::CheckSpecification(CAdoDatabase& db, const QString& name, const QString& guid,
                                      int& decision) {
    decision = ImportDecision::Insert;
    if (!db.OpenQuery(QStringLiteral("SELECT * FROM TypenTab WHERE ") +
                      ImportKey::SpecificationNameCondition(name)))
        return false;
    if (!db.HasRow())
        return true;
    CRowReader row(db);
    const QString stored = row.Text("myGUID");
    if (!row.Ok())
        return false;
    decision = SameText(stored, guid) ? ImportDecision::Update : ImportDecision::Conflict;
    return true;
}

bool CXmlExchange::CheckProtocol(CAdoDatabase& db, const QString& deviceIn, const QString& clientIn,
                                 const QString& guidIn, const QString& specificationNameIn,
                                 const ImportDateTime& tested, int& decision, qint32& id) {
    decision = ImportDecision::Insert;
    id = 0;
    // Compare what an import would store: a value longer than its column is kept cut, and
    // comparing the full text would find no match and insert the same protocol again.
    const QString device = Cut(deviceIn, 50);
    const QString client = Cut(clientIn, 20);
    const QString guid = Cut(guidIn, 40);
    const QString specificationName = Cut(specificationNameIn, 20);
    if (!db.OpenQueryBound(QStringLiteral("SELECT * FROM GeraeteTab WHERE Device = ?"), {device}))
        return false;
    struct Match {
        bool found = false;
        qint32 id = 0;
        QString guid;
        QString specificationName;
        bool hasDate = false;
        QDateTime testDate;
    } byClient, byGuid;
    for (bool row = db.HasRow(); row; row = db.MoveNext()) {
        CRowReader read(db);
        const qint32 rowId = read.Long("id"), history = read.Long("History");
        const QString rowClient = read.Text("Client"), rowGuid = read.Text("myGUID");
        if (!read.Ok())
            return false;
        if (SameText(rowClient, client))
            byClient = Match{true, rowId, rowGuid, QString(), false, QDateTime()};
        if (SameText(rowGuid, guid) && history == 0) {
            Match m{true, rowId, rowGuid, QString(), false, QDateTime()};
            m.specificationName = read.Text("SpecificationName");
            m.testDate = read.Date("TestDate");
            m.hasDate = m.testDate.isValid();
            if (!read.Ok())
                return false;
            byGuid = m;
        }
    }
    if (!byClient.found && !byGuid.found)
        return true;
    if (byClient.found && !byGuid.found) {
        decision = ImportDecision::Conflict;
        return true;
    }
    if (byClient.found && byClient.id != byGuid.id && !SameText(byClient.guid, byGuid.guid)) {
        decision = ImportDecision::Conflict;
        return true;
    }
    id = byGuid.id;
    const QDate d = byGuid.testDate.date();
    const QTime t = byGuid.testDate.time();
    const bool sameTime = byGuid.hasDate && d.year() == tested.year && d.month() == tested.month &&
                          d.day() == tested.day && t.hour() == tested.hour && t.minute() == tested.minute &&
                          t.second() == tested.second;
    decision = (!SameText(byGuid.specificationName, specificationName) || !sameTime) ? ImportDecision::NewTest
                                                                                     : ImportDecision::Update;
    return true;
}

bool CXmlExchange::FetchAndSelect(ExchangeKind kind, const QString& key, qint32& error, QString& text,
                                  const QString& testDate, const QString& testTime) {
    QString path;
    error = 0;
    if (!m_source.FetchRecord(kind, key, path, error)) {
        if (error == 0)
            error = XmlError::Load;
        Close();
        return false;
    }
    Cached& cached = m_cache[kind == ExchangeKind::Specifications ? 0 : 1];
    m_xml = &cached.xml;
    const FileStamp stamp = Stamp(path);
    const bool keep = m_source.DocumentsHoldAllRecords() && cached.xml.IsLoaded() && path == cached.path &&
                      stamp.valid && stamp == cached.stamp;
    if (!keep) {
        cached.xml.Close();
        cached.path.clear();
        ++m_loads;
        if (!cached.xml.Load(path)) {
            error = cached.xml.GetLastError();
            text = path;
            return false;
        }
        cached.path = path;
        cached.stamp = stamp;
    }
    bool found = false;
    if (kind == ExchangeKind::Specifications) {
        QString trimmed = key;
        while (!trimmed.isEmpty() && trimmed.back().isSpace())
            trimmed.chop(1);
        found = m_xml->SelectSpecification(trimmed);
        // A name that really ends in blanks is still found.
        if (!found && trimmed != key)
            found = m_xml->SelectSpecification(key);
    } else {
        found =
            testDate.isEmpty() ? m_xml->SelectProtocol(key) : m_xml->SelectProtocol(key, testDate, testTime);
    }
    if (!found) {
        error = m_xml->GetLastError();
        text = key;
        return false;
    }
    return true;
}

bool CXmlExchange::InsertSpecification(CAdoDatabase& db, const QString& name, qint32& error, QString& text) {
    Specification spec;
    if (!LoadSpecification(true, name, QString(), spec, error, text))
        return false;
    CTransaction trans(db);
    if (!trans.IsActive() || !WriteSpecification(db, spec) || !trans.Commit()) {
        error = db.GetErrorNumber();
        return false;
    }
    return true;
}

bool CXmlExchange::LoadSpecification(bool full, const QString& name, const QString& checkedGuid,
                                     Specification& spec, qint32& error, QString& text) {
    text.clear();
    spec = Specification();
    spec.full = full;
    if (!FetchAndSelect(ExchangeKind::Specifications, name, error, text))
        return false;
    if (!full)
        return ReadSpecificationUpdate(name, checkedGuid, spec, error, text);
    const int version = m_xml->GetVersion();
    AttrReader r(*m_xml);
    const QString specName = r.Str("Name", 20);
    const qint32 standardId = r.Int("StandardID");
    const qint32 classId = r.Int("ClassID");
    const QString manufacturer = r.Str("Manufacturer", 20);
    const QString description = r.Str("Description", 20);
    const qint32 reviewPeriod = r.Int("ReviewPeriod");
    const qint32 typId = r.Int("TypID");
    const qint32 measMethodId = r.Int("MeasMethodID");
    const qint32 testSequenceId = r.Int("TestSequenceID");
    const double cordLength = r.Real("CordLength");
    const qint32 nominalPower = r.Int("NominalPower");
    const qint32 allPe = r.Int("AllPe");
    const qint32 isoMeas = r.Int("IsoMeas");
    const qint32 mainsSeparation = r.Int("MainsSeparation");
    const qint32 powerPhase = r.Int("PowerPhase");
    const qint32 warningNotice = r.Int("WarningNotice");
    const qint32 partsUsed = r.Int("PartsUsed");
    const QString run = r.Str("Run", 20);
    const QString parameter = r.Str("Parameter", 30);
    const QString iconSymbol = r.Str("IconSymbol", 20);
    const QString bitmap = r.Str("Bitmap", 40);
    const QString externalUse = r.Str("ExternalUse", 80);
    const QString createDate = r.Str("CreateDate", 1000);
    const QString createTime = r.Str("CreateTime", 1000);
    const QString guid = r.Str("GUID", 40);
    const qint32 useExtraPolation = r.IntOr("UseExtraPolation", 1);
    qint32 v2[6] = {-1, -1, -1, -1, -1, -1};
    if (version >= 2) {
        const char* names[6] = {"VoltageAccessiblePart", "FunctionEarth",      "VoltageSignalIO",
                                "AccessibleParts",       "PhaseReverseEnable", "TotalPabl"};
        for (int i = 0; i < 6; ++i)
            v2[i] = r.Int(names[i]);
    }
    const QString created = r.DateTime("CreateDate", createDate, createTime);

    // The rows of the steps, as VALUES tails after the new master id.
    QStringList parts, visual, tests, functional;
    ReadItems(*m_xml, "AppliedParts", "AppliedPart", r, [&] {
        const qint32 groupNo = r.Int("GroupNo"), partId = r.Int("AppliedPartID"), jacks = r.Int("Jacks");
        const QString desc = version >= 2 ? r.Str("Description", 50) : QString();
        parts << QStringLiteral("%1, %2, %3, %4").arg(Num(groupNo), Num(partId), Num(jacks), Lit(desc));
    });
    ReadItems(*m_xml, "VisualSteps", "VisualStep", r, [&] {
        const qint32 refNo = r.Int("RefNo"), textId = r.Int("TextID");
        const QString t = r.Str("Text", 95);
        visual << QStringLiteral("%1, %2, %3").arg(Num(refNo), Num(textId), Lit(t));
    });
    ReadItems(*m_xml, "TestSteps", "TestStep", r, [&] {
        const qint32 refNo = r.Int("RefNo"), measNo = r.Int("MeasNo"), mainOrder = r.Int("MainOrder"),
                     typOrder = r.Int("TypOrder"), groupNo = r.Int("GroupNo");
        const double limit = r.Real("Limit");
        const qint32 jacks = version >= 2 ? r.Int("Jacks") : 0;
        tests << QStringLiteral("%1, %2, %3, %4, %5, %6, %7")
                     .arg(Num(refNo), Num(measNo), Num(mainOrder), Num(typOrder), Num(groupNo), Real6(limit),
                          Num(jacks));
    });
    ReadItems(*m_xml, "FunctionalSteps", "FunctionalStep", r, [&] {
        const qint32 refNo = r.Int("RefNo");
        const QString t = r.Str("Text", 95);
        const qint32 useLimits = r.Int("UseLimitsID");
        const double low = r.Real("LowLimit"), high = r.Real("HighLimit");
        functional << QStringLiteral("%1, %2, %3, %4, %5")
                          .arg(Num(refNo), Lit(t), Num(useLimits), Real6(low), Real6(high));
    });
    if (!r.Ok()) {
        error = r.Error();
        text = r.Text();
        return false;
    }

    const QString master =
        QStringLiteral(
            "INSERT INTO TypenTab (Run, Parameter, IconSymbol, Bitmap, StandardID, ClassID, Name, "
            "Manufacturer, Description, TypID, CordLength, NominalPower, AllPe, IsoMeas, MainsSeparation, "
            "MeasMethodeID, TestSequenceID, PowerPhase, WarningNotice, PartsUsed, ReviewPeriod, "
            "ExportImport, ExternalUse, CreateDate, myGuid, VoltageAccessiblePart, FunctionEarth, "
            "VoltageSignalIO, AccessibleParts, PhaseReverseEnable, TotalPabl, UseExtraPolation) VALUES (") +
        QStringList{Lit(run),
                    Lit(parameter),
                    Lit(iconSymbol),
                    Lit(bitmap),
                    Num(standardId),
                    Num(classId),
                    Lit(specName),
                    Lit(manufacturer),
                    Lit(description),
                    Num(typId),
                    Real6(cordLength),
                    Num(nominalPower),
                    Num(allPe),
                    Num(isoMeas),
                    Num(mainsSeparation),
                    Num(measMethodId),
                    Num(testSequenceId),
                    Num(powerPhase),
                    Num(warningNotice),
                    Num(partsUsed != 0 ? -1 : 0), // a Yes/No column holds -1 for yes
                    Num(reviewPeriod),
                    Num(2),
                    Lit(externalUse),
                    Lit(created),
                    Lit(guid),
                    Num(v2[0]),
                    Num(v2[1]),
                    Num(v2[2]),
                    Num(v2[3]),
                    Num(v2[4]),
                    Num(v2[5]),
                    Num(useExtraPolation)}
            .join(QStringLiteral(", ")) +
        QLatin1Char(')');

    spec.master = master;
    spec.parts = parts;
    spec.visual = visual;
    spec.tests = tests;
    spec.functional = functional;
    return true;
}

bool CXmlExchange::WriteSpecification(CAdoDatabase& db, const Specification& spec) {
    if (!spec.full)
        return db.Execute(spec.master);
    qint32 newId = 0;
    bool ok = db.Execute(spec.master) && db.GetNewId(newId);
    const auto run4 = [&](const QString& head, const QStringList& rows) {
        for (const QString& values : rows) {
            if (!ok)
                return;
            ok = db.Execute(head.arg(newId) + values + QLatin1Char(')'));
        }
    };
    run4(QStringLiteral(
             "INSERT INTO TypPartsTab (TypenTabID, GroupNo, AppliedPartID, Jacks, Description) VALUES (%1, "),
         spec.parts);
    run4(QStringLiteral("INSERT INTO TypSichtPrfTab (TypenTabID, RefNo, TextID, myText) VALUES (%1, "),
         spec.visual);
    run4(QStringLiteral(
             "INSERT INTO TypTestStepTab (TypenTabID, RefNo, MeasNo, MainOrder, TypOrder, GroupNo, Limit, "
             "Jacks) VALUES (%1, "),
         spec.tests);
    run4(QStringLiteral(
             "INSERT INTO TypFktStepTab (TypenTabID, RefNo, myText, UseLimitsID, LowLimit, HighLimit) "
             "VALUES (%1, "),
         spec.functional);
    return ok;
}

bool CXmlExchange::UpdateSpecification(CAdoDatabase& db, const QString& name, const QString& checkedGuid,
                                       qint32& error, QString& text) {
    Specification spec;
    if (!LoadSpecification(false, name, checkedGuid, spec, error, text))
        return false;
    // One statement: no transaction needed.
    if (!WriteSpecification(db, spec)) {
        error = db.GetErrorNumber();
        return false;
    }
    return true;
}

bool CXmlExchange::ReadSpecificationUpdate(const QString& name, const QString& checkedGuid,
                                           Specification& spec, qint32& error, QString& text) {
    AttrReader r(*m_xml);
    r.Str("Name", 20);
    const QString manufacturer = r.Str("Manufacturer", 20);
    const QString description = r.Str("Description", 20);
    const qint32 reviewPeriod = r.Int("ReviewPeriod");
    const qint32 testSequenceId = r.Int("TestSequenceID");
    const qint32 powerPhase = r.Int("PowerPhase");
    const qint32 warningNotice = r.Int("WarningNotice");
    const QString externalUse = r.Str("ExternalUse", 80);
    const QString createDate = r.Str("CreateDate", 1000);
    const QString createTime = r.Str("CreateTime", 1000);
    QString guid;
    if (r.Ok() && !m_xml->GetAttribute(QStringLiteral("GUID"), guid))
        r.Fail(XmlError::Attribute, QStringLiteral("GUID"));
    const qint32 useExtraPolation = r.IntOr("UseExtraPolation", 1);
    const QString created = r.DateTime("CreateDate", createDate, createTime);
    if (!r.Ok()) {
        error = r.Error();
        text = r.Text();
        return false;
    }
    if (!SameText(guid, checkedGuid)) {
        error = 50169;
        text = name;
        return false;
    }
    const QString sql =
        QStringLiteral(
            "UPDATE TypenTab SET Manufacturer = %1, Description = %2, ReviewPeriod = %3, TestSequenceID = "
            "%4, "
            "PowerPhase = %5, WarningNotice = %6, ExportImport = 2, ExternalUse = %7, CreateDate = %8, "
            "UseExtraPolation = %9 WHERE myGUID = %10")
            .arg(Lit(manufacturer), Lit(description), Num(reviewPeriod), Num(testSequenceId), Num(powerPhase),
                 Num(warningNotice), Lit(externalUse), Lit(created), Num(useExtraPolation),
                 Lit(Cut(guid, 40)));
    spec.master = sql;
    return true;
}

bool CXmlExchange::ReadProtocol(bool full, Protocol& p, qint32& error, QString& text) {
    const int version = m_xml->GetVersion();
    AttrReader r(*m_xml);
    if (full) {
        p.device = r.Str("Device", 50);
        p.specificationName = r.Str("SpecificationName", 20);
    }
    p.testResultId = r.Int("TestResultID");
    const QString testDate = r.Str("TestDate", 1000);
    const QString testTime = r.Str("TestTime", 1000);
    const QString firstTestDate = full ? r.Str("FirstTestDate", 1000) : QString();
    const QString nextTestDate = r.Str("NextTestDate", 1000);
    p.op = r.Str("Operator", 20);
    p.nominalVoltage = r.Str("NominalVoltage", 5);
    p.manufacturer = r.Str("Manufacturer", 20);
    p.description = r.Str("Description", 20);
    p.serial = r.Str("Serial", 20);
    p.client = r.Str("Client", 20);
    p.location = r.Str("Location", 20);
    p.department = r.Str("Department", 20);
    p.room = r.Str("Room", 20);
    p.costs = r.Str("Costs", 20);
    p.comment = r.Str("Comment", 128);
    p.externalUse = r.Str("ExternalUse", 80);
    if (full)
        p.guid = r.Str("GUID", 40);
    p.useExtraPolation = r.IntOr("UseExtraPolation", 1);
    if (version >= 2) {
        p.city = r.Str("City", 30);
        p.street = r.Str("Street", 30);
        p.reviewPeriod = r.Int("ReviewPeriod");
        p.dutClass = r.Str("DutClass", 20);
    }
    if (r.Ok()) {
        if (r.Has("TesterName") && r.Has("TesterSerial") && r.Has("TesterSW")) {
            p.testerName = r.Str("TesterName", 15);
            p.testerSerial = r.Str("TesterSerial", 15);
            p.testerSW = r.Str("TesterSW", 15);
        } else if (m_source.CanQueryTesterIdentity()) {
            qint32 linkError = 0;
            if (!m_source.QueryTesterIdentity(p.testerName, p.testerSerial, p.testerSW, linkError)) {
                error = linkError;
                text.clear();
                return false;
            }
            p.testerName = Cut(p.testerName, 15);
            p.testerSerial = Cut(p.testerSerial, 15);
            p.testerSW = Cut(p.testerSW, 15);
        } else {
            // Names the first one missing.
            r.Str("TesterName", 15);
            r.Str("TesterSerial", 15);
            r.Str("TesterSW", 15);
        }
    }
    p.testDate = r.DateTime("TestDate", testDate, testTime);
    if (full)
        p.firstTestDate = r.DateTime("FirstTestDate", firstTestDate, testTime, true);
    p.nextTestDate = r.DateTime("NextTestDate", nextTestDate, testTime, true);

    ReadItems(*m_xml, "VisualRefs", "VisualRef", r, [&] {
        Protocol::Result res;
        res.refNo = r.Int("RefNo");
        res.result = r.Int("Result");
        p.visual.push_back(res);
    });
    const auto readResult = [&](std::vector<Protocol::Result>& into) {
        return [&] {
            Protocol::Result res;
            res.refNo = r.Int("RefNo");
            res.measValue = r.Real("MeasValue");
            res.result = r.Int("Result");
            res.firstValue = r.Real("FirstValue");
            into.push_back(res);
        };
    };
    ReadItems(*m_xml, "TestRefs", "TestRef", r, readResult(p.test));
    ReadItems(*m_xml, "FunctionalRefs", "FunctionalRef", r, readResult(p.functional));
    if (!r.Ok()) {
        error = r.Error();
        text = r.Text();
        return false;
    }
    return true;
}

bool CXmlExchange::InsertProtocol(CAdoDatabase& db, const QString& guid, bool retire, qint32 oldId,
                                  qint32& error, QString& text, const QString& testDate,
                                  const QString& testTime) {
    Protocol p;
    if (!LoadProtocol(true, guid, testDate, testTime, p, error, text))
        return false;
    CTransaction trans(db);
    if (!trans.IsActive() || !WriteNewProtocol(db, p, retire, oldId) || !trans.Commit()) {
        error = db.GetErrorNumber();
        return false;
    }
    return true;
}

bool CXmlExchange::LoadProtocol(bool full, const QString& guid, const QString& testDate,
                                const QString& testTime, Protocol& p, qint32& error, QString& text) {
    text.clear();
    p = Protocol();
    p.full = full;
    return FetchAndSelect(ExchangeKind::Protocols, guid, error, text, testDate, testTime) &&
           ReadProtocol(full, p, error, text);
}

bool CXmlExchange::WriteNewProtocol(CAdoDatabase& db, const Protocol& p, bool retire, qint32 oldId) {
    // The old protocol is retired first: one device has one current protocol at any time,
    // which the schema holds to.
    if (retire && oldId != 0 &&
        !db.Execute(QStringLiteral("UPDATE GeraeteTab SET History=1 WHERE id=%1").arg(oldId)))
        return false;
    // Bound statements, prepared once per connection: most of an import's time went into
    // parsing each statement anew.
    const auto text = [](const QString& t) { return QVariant(t.isNull() ? QStringLiteral("") : t); };
    const auto date = [](const QString& d) { return d.isEmpty() ? QVariant() : QVariant(d); };
    // Reals are stored as the "%f" text would give them: six decimals.
    const auto real = [](double d) { return QVariant(Real6(d).toDouble()); };
    qint32 newId = 0;
    bool ok =
        db.ExecuteBound(
            QStringLiteral(
                "INSERT INTO GeraeteTab (SpecificationName, Device, NominalVoltage, TestDate, TestResultID, "
                "Operator, Serial, Manufacturer, Description, Client, Location, Department, Room, Costs, "
                "Comment, FirstTestDate, NextTestDate, ExternalUse, ExportImport, TesterName, TesterSerial, "
                "TesterSW, History, myGUID, City, Street, ReviewPeriod, DutClass, UseExtraPolation) VALUES "
                "(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 2, ?, ?, ?, 0, ?, ?, ?, ?, ?, ?)"),
            {text(p.specificationName),
             text(p.device),
             text(p.nominalVoltage),
             text(p.testDate),
             p.testResultId,
             text(p.op),
             text(p.serial),
             text(p.manufacturer),
             text(p.description),
             text(p.client),
             text(p.location),
             text(p.department),
             text(p.room),
             text(p.costs),
             text(p.comment),
             date(p.firstTestDate),
             date(p.nextTestDate),
             text(p.externalUse),
             text(p.testerName),
             text(p.testerSerial),
             text(p.testerSW),
             text(p.guid),
             text(p.city),
             text(p.street),
             p.reviewPeriod,
             text(p.dutClass),
             p.useExtraPolation}) &&
        db.GetNewId(newId);
    for (const auto& v : p.visual) {
        if (!ok)
            break;
        ok = db.ExecuteBound(
            QStringLiteral("INSERT INTO GeraetSichtProtTab (GeraeteTabID, RefNo, Result) VALUES (?, ?, ?)"),
            {newId, v.refNo, v.result});
    }
    const auto insertResults = [&](const QString& sql, const std::vector<Protocol::Result>& rows) {
        for (const auto& v : rows) {
            if (!ok)
                return;
            ok = db.ExecuteBound(sql, {newId, v.refNo, real(v.measValue), v.result, real(v.firstValue)});
        }
    };
    insertResults(
        QStringLiteral("INSERT INTO GeraetProtTab (GeraeteTabID, RefNo, MeasValue, Result, FirstValue) "
                       "VALUES (?, ?, ?, ?, ?)"),
        p.test);
    insertResults(QStringLiteral("INSERT INTO GeraetFktProtTab (GeraeteTabID, RefNo, MeasValue, Result, "
                                 "FirstValue) VALUES (?, ?, ?, ?, ?)"),
                  p.functional);
    return ok;
}

bool CXmlExchange::UpdateProtocol(CAdoDatabase& db, const QString& guid, qint32 id, qint32& error,
                                  QString& text, const QString& testDate, const QString& testTime) {
    Protocol p;
    if (!LoadProtocol(false, guid, testDate, testTime, p, error, text))
        return false;
    CTransaction trans(db);
    if (!trans.IsActive() || !WriteProtocolUpdate(db, p, id) || !trans.Commit()) {
        error = db.GetErrorNumber();
        return false;
    }
    return true;
}

bool CXmlExchange::WriteProtocolUpdate(CAdoDatabase& db, const Protocol& p, qint32 id) {
    const QString master =
        QStringLiteral(
            "UPDATE GeraeteTab SET NominalVoltage = %1, TestDate = %2, TestResultID = %3, Operator = %4, "
            "Serial = %5, Manufacturer = %6, Description = %7, Client = %8, Location = %9, ")
            .arg(Lit(p.nominalVoltage), Lit(p.testDate), Num(p.testResultId), Lit(p.op), Lit(p.serial),
                 Lit(p.manufacturer), Lit(p.description), Lit(p.client), Lit(p.location)) +
        QStringLiteral(
            "Department = %1, Room = %2, Costs = %3, Comment = %4, NextTestDate = %5, ExportImport = 2, "
            "ExternalUse = %6, TesterName = %7, TesterSerial = %8, TesterSW = %9, ")
            .arg(Lit(p.department), Lit(p.room), Lit(p.costs), Lit(p.comment), DateLit(p.nextTestDate),
                 Lit(p.externalUse), Lit(p.testerName), Lit(p.testerSerial), Lit(p.testerSW)) +
        QStringLiteral(
            "City = %1, Street = %2, ReviewPeriod = %3, DutClass = %4, UseExtraPolation = %5 WHERE id = %6")
            .arg(Lit(p.city), Lit(p.street), Num(p.reviewPeriod), Lit(p.dutClass), Num(p.useExtraPolation),
                 Num(id));

    bool ok = db.Execute(master);
    for (const auto& v : p.visual) {
        if (!ok)
            break;
        ok = db.Execute(
            QStringLiteral("UPDATE GeraetSichtProtTab SET Result = %1 WHERE GeraeteTabID = %2 AND RefNo = %3")
                .arg(v.result)
                .arg(id)
                .arg(v.refNo));
    }
    const auto updateResults = [&](const char* table, const std::vector<Protocol::Result>& rows) {
        for (const auto& v : rows) {
            if (!ok)
                return;
            ok = db.Execute(
                QStringLiteral(
                    "UPDATE %1 SET MeasValue = %2, Result = %3 WHERE GeraeteTabID = %4 AND RefNo = %5")
                    .arg(QLatin1String(table), Real6(v.measValue), Num(v.result), Num(id), Num(v.refNo)));
        }
    };
    updateResults("GeraetProtTab", p.test);
    updateResults("GeraetFktProtTab", p.functional);
    return ok;
}

bool CXmlExchange::ImportSpecification(CAdoDatabase& db, const QString& name, const QString& guid,
                                       int& decision, qint32& error, QString& text) {
    error = 0;
    Specification spec;
    bool loaded = false;
    CConstraintsHandled handled(db);
    int reruns = 0;
    for (int pass = 0; pass < kImportPasses && reruns <= kDecisionReruns; ++pass) {
        const bool full = decision != ImportDecision::Update;
        if (!loaded || spec.full != full) {
            if (!LoadSpecification(full, name, guid, spec, error, text))
                return false;
            loaded = true;
        }
        CTransaction trans(db);
        int now = ImportDecision::Insert;
        if (!trans.IsActive() || !CheckSpecification(db, name, guid, now)) {
            error = db.GetErrorNumber();
            return false;
        }
        if (now == ImportDecision::Conflict) {
            decision = now;
            return false;
        }
        if (now != decision) {
            decision = now;
            continue;
        }
        if (!WriteSpecification(db, spec)) {
            if (ConstraintFailed(db)) {
                ++reruns;
                continue;
            }
            error = db.GetErrorNumber();
            return false;
        }
        if (!trans.Commit()) {
            error = db.GetErrorNumber();
            return false;
        }
        return true;
    }
    error = kErrorDatabaseChanged;
    text = name;
    return false;
}

bool CXmlExchange::ImportProtocol(CAdoDatabase& db, const ProtocolEntry& e, int& decision, qint32& id,
                                  qint32& error, QString& text) {
    error = 0;
    Protocol p;
    bool loaded = false;
    CConstraintsHandled handled(db);
    int reruns = 0;
    for (int pass = 0; pass < kImportPasses && reruns <= kDecisionReruns; ++pass) {
        const bool full = decision != ImportDecision::Update;
        if (!loaded || (full && !p.full)) {
            if (!LoadProtocol(full, e.guid, e.testDate, e.testTime, p, error, text))
                return false;
            loaded = true;
        }
        CTransaction trans(db);
        int now = ImportDecision::Insert;
        qint32 nowId = 0;
        if (!trans.IsActive() ||
            !CheckProtocol(db, e.device, e.client, e.guid, e.specificationName, e.tested, now, nowId)) {
            error = db.GetErrorNumber();
            return false;
        }
        if (now == ImportDecision::Conflict) {
            decision = now;
            id = 0;
            return false;
        }
        decision = now;
        id = nowId;
        if (now != ImportDecision::Update && !p.full)
            continue; // read again with every attribute an insert needs
        if (now != ImportDecision::Update) {
            // The protocol this one retires must be the only current one of its GUID; one
            // stored under another device name would make a second current protocol.
            if (!db.OpenQueryBound(
                    QStringLiteral("SELECT id FROM GeraeteTab WHERE myGUID = ? AND History = 0"),
                    {Cut(e.guid, 40)})) {
                error = db.GetErrorNumber();
                return false;
            }
            bool other = false;
            for (bool row = db.HasRow(); row && !other; row = db.MoveNext()) {
                CRowReader read(db);
                const qint32 current = read.Long("id");
                if (!read.Ok()) {
                    error = db.GetErrorNumber();
                    return false;
                }
                other = current != (now == ImportDecision::NewTest ? nowId : 0);
            }
            db.CloseRecordset();
            if (other) {
                ++reruns;
                continue;
            }
        }
        const bool ok = now == ImportDecision::Update
                            ? WriteProtocolUpdate(db, p, nowId)
                            : WriteNewProtocol(db, p, now == ImportDecision::NewTest, nowId);
        if (!ok) {
            if (ConstraintFailed(db)) {
                ++reruns;
                continue;
            }
            error = db.GetErrorNumber();
            return false;
        }
        if (!trans.Commit()) {
            error = db.GetErrorNumber();
            return false;
        }
        return true;
    }
    error = kErrorDatabaseChanged;
    text = e.device;
    return false;
}
