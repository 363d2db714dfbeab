#include "sim/SimCatalog.h"

#include "printheader/SignatureKey.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace {

const QByteArray kBom("\xEF\xBB\xBF");

QString Unescape(const QByteArray& utf8) {
    QString s = QString::fromUtf8(utf8);
    if (!s.contains(QLatin1Char('&')))
        return s;
    static const QRegularExpression entity(QStringLiteral("&(#x[0-9a-fA-F]+|#[0-9]+|amp|lt|gt|quot|apos);"));
    QString out;
    qsizetype last = 0;
    for (auto it = entity.globalMatch(s); it.hasNext();) {
        const auto m = it.next();
        out += s.mid(last, m.capturedStart() - last);
        const QString e = m.captured(1);
        if (e == QLatin1String("amp"))
            out += QLatin1Char('&');
        else if (e == QLatin1String("lt"))
            out += QLatin1Char('<');
        else if (e == QLatin1String("gt"))
            out += QLatin1Char('>');
        else if (e == QLatin1String("quot"))
            out += QLatin1Char('"');
        else if (e == QLatin1String("apos"))
            out += QLatin1Char('\'');
        else if (e.startsWith(QLatin1String("#x")))
            out += QChar(char16_t(e.mid(2).toUInt(nullptr, 16)));
        else
            out += QChar(char16_t(e.mid(1).toUInt()));
        last = m.capturedEnd();
    }
    return out + s.mid(last);
}

QByteArray Escape(const QString& text) {
    QString s = text;
    s.replace(QLatin1Char('&'), QLatin1String("&amp;"))
        .replace(QLatin1Char('<'), QLatin1String("&lt;"))
        .replace(QLatin1Char('>'), QLatin1String("&gt;"))
        .replace(QLatin1Char('"'), QLatin1String("&quot;"));
    return s.toUtf8();
}

QByteArray Attr(const char* name, const QString& value) {
    return QByteArray(" ") + name + "=\"" + Escape(value) + '"';
}
QByteArray Attr(const char* name, int value) {
    return Attr(name, QString::number(value));
}

QString KeyFile(const QString& key) {
    return QString::fromLatin1(key.toUtf8().toHex()) + QStringLiteral(".xml");
}

} // namespace

QString CSimCatalog::Attribute(const QByteArray& line, const char* name) {
    const QByteArray probe = QByteArray(" ") + name + "=\"";
    const qsizetype at = line.indexOf(probe);
    if (at < 0)
        return {};
    const qsizetype start = at + probe.size();
    const qsizetype end = line.indexOf('"', start);
    return end < 0 ? QString() : Unescape(line.mid(start, end - start));
}

QString CSimCatalog::NormalizePath(const QString& path) {
    QString p = path.trimmed();
    p.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return p.toLower();
}

QList<QByteArray> CSimCatalog::Wrap(bool specification, const QList<QByteArray>& record) {
    QList<QByteArray> doc;
    doc << kBom + "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
        << "<!-- VELMOR 740ST Database Protocol 2.0 -->"
        << "<Tables>" << (specification ? " <Specifications>" : " <Protocols>");
    doc << record;
    doc << (specification ? " </Specifications>" : " </Protocols>") << "</Tables>";
    return doc;
}

bool CSimCatalog::StoreDocument(bool specification, const QList<QByteArray>& lines, QString& why) {
    const QByteArray open = specification ? "<Specification " : "<Protocol ";
    const QByteArray close = specification ? "</Specification>" : "</Protocol>";
    int stored = 0;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QByteArray trimmed = lines[i].trimmed();
        if (!trimmed.startsWith(open))
            continue;
        Record r;
        r.own = false;
        qsizetype j = i;
        r.lines << lines[j];
        while (!lines[j].contains(close) && j + 1 < lines.size())
            r.lines << lines[++j];
        if (!lines[j].contains(close)) {
            why = QStringLiteral("record not closed");
            return false;
        }
        const QString key = Attribute(lines[i], specification ? "Name" : "GUID");
        if (key.isEmpty()) {
            why = QStringLiteral("record without key");
            return false;
        }
        auto& map = specification ? m_specs : m_protocols;
        map.insert(key.toLower(), r);
        Save(specification, key.toLower(), r);
        ++stored;
        i = j;
    }
    if (stored == 0)
        why = QStringLiteral("no record in the document");
    return stored > 0;
}

QList<QByteArray> CSimCatalog::SpecificationDocument(const QString& name) const {
    return Wrap(true, m_specs.value(name.toLower()).lines);
}

QList<QByteArray> CSimCatalog::ProtocolDocument(const QString& guid) const {
    return Wrap(false, m_protocols.value(guid.toLower()).lines);
}

QList<QByteArray> CSimCatalog::SpecificationList(bool ownOnly) const {
    QList<QByteArray> entries;
    for (const Record& r : m_specs) {
        if (ownOnly && !r.own)
            continue;
        const QByteArray& l = r.lines.first();
        entries << "  <Specification" + Attr("Name", Attribute(l, "Name")) +
                       Attr("StandardID", Attribute(l, "StandardID")) +
                       Attr("Description", Attribute(l, "Description")) +
                       Attr("CreateDate", Attribute(l, "CreateDate")) +
                       Attr("CreateTime", Attribute(l, "CreateTime")) + Attr("GUID", Attribute(l, "GUID")) +
                       "></Specification>";
    }
    return Wrap(true, entries);
}

QList<QByteArray> CSimCatalog::ProtocolList(bool ownOnly) const {
    QList<QByteArray> entries;
    for (const Record& r : m_protocols) {
        if (ownOnly && !r.own)
            continue;
        const QByteArray& l = r.lines.first();
        const QString spec = Attribute(l, "SpecificationName");
        QString specGuid = Attribute(l, "SpecificationGUID");
        if (specGuid.isEmpty() && m_specs.contains(spec.toLower()))
            specGuid = Attribute(m_specs.value(spec.toLower()).lines.first(), "GUID");
        const int result = Attribute(l, "TestResultID").toInt();
        entries << "  <Protocol" + Attr("Device", Attribute(l, "Device")) + Attr("SpecificationName", spec) +
                       Attr("Description", Attribute(l, "Description")) +
                       Attr("Client", Attribute(l, "Client")) + Attr("TestDate", Attribute(l, "TestDate")) +
                       Attr("TestTime", Attribute(l, "TestTime")) +
                       Attr("TestResult",
                            result == 30800 ? QStringLiteral("Passed") : QStringLiteral("Failed")) +
                       Attr("GUID", Attribute(l, "GUID")) + Attr("TestResultID", result) +
                       Attr("SpecificationGUID", specGuid) + "></Protocol>";
    }
    return Wrap(false, entries);
}

QList<QByteArray> CSimCatalog::MeasurementList() const {
    QList<QByteArray> doc;
    doc << kBom + "<?xml version=\"1.0\" encoding=\"utf-8\"?>"
        << "<!-- VELMOR 740ST Database Protocol 2.0 -->"
        << "<Tables>"
        << " <Measurements>";
    doc << "  <Measurement Step=\"101\" Name=\"RPE\" Bitmap=\"rpe.bmp\" Unit=\"Ohm\" MinVal=\"0.01\" "
           "MaxVal=\"20.00\" "
           "Digits=\"2\" CompareMode=\"0\" HardwareLevel=\"1\" Interactive=\"0\" JacksUsed=\"0\" "
           "CalcFactor=\"100\"></Measurement>";
    doc << "  <Measurement Step=\"201\" Name=\"RISO\" Bitmap=\"riso.bmp\" Unit=\"MOhm\" MinVal=\"0.05\" "
           "MaxVal=\"300.00\" Digits=\"2\" CompareMode=\"1\" HardwareLevel=\"1\" Interactive=\"0\" "
           "JacksUsed=\"0\" "
           "CalcFactor=\"100\"></Measurement>";
    doc << " </Measurements>"
        << "</Tables>";
    return doc;
}

void CSimCatalog::PutFile(const QString& path, const QByteArray& data) {
    const QString key = NormalizePath(path);
    m_files.insert(key, data);
    if (m_folder.isEmpty())
        return;
    // The tester unscrambles a signature when it arrives; "signatures/<hex of name>.bmp"
    // holds what it would print, by the name as the program sent it.
    QString name = path.section(QLatin1Char('\\'), -1);
    if (name.size() > 5 && name.endsWith(QLatin1String(".sign"), Qt::CaseInsensitive)) {
        name.chop(5);
        QDir().mkpath(m_folder + QStringLiteral("/signatures"));
        QFile s(m_folder + QStringLiteral("/signatures/") + QString::fromLatin1(name.toUtf8().toHex()) +
                QStringLiteral(".bmp"));
        if (s.open(QIODevice::WriteOnly | QIODevice::Truncate))
            s.write(SignatureKey::Unscramble(data));
    }
    QDir().mkpath(m_folder + QStringLiteral("/system"));
    QFile f(m_folder + QStringLiteral("/system/") + QString::fromLatin1(key.toUtf8().toHex()) +
            QStringLiteral(".bin"));
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(data);
}

void CSimCatalog::Save(bool specification, const QString& key, const Record& r) const {
    if (m_folder.isEmpty())
        return;
    const QString dir =
        m_folder + (specification ? QStringLiteral("/specifications") : QStringLiteral("/protocols"));
    QDir().mkpath(dir);
    for (const char* prefix : {"own-", "pc-"})
        QFile::remove(dir + QLatin1Char('/') + QLatin1String(prefix) + KeyFile(key));
    QFile f(dir + QLatin1Char('/') + (r.own ? QStringLiteral("own-") : QStringLiteral("pc-")) + KeyFile(key));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    for (const QByteArray& line : Wrap(specification, r.lines))
        f.write(line + "\r\n");
}

bool CSimCatalog::Load() {
    if (m_folder.isEmpty())
        return true;
    for (bool specification : {true, false}) {
        QDir dir(m_folder +
                 (specification ? QStringLiteral("/specifications") : QStringLiteral("/protocols")));
        for (const QString& name : dir.entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(name));
            if (!f.open(QIODevice::ReadOnly))
                continue;
            QList<QByteArray> lines;
            for (QByteArray line : f.readAll().split('\n')) {
                if (line.endsWith('\r'))
                    line.chop(1);
                if (!line.isEmpty())
                    lines << line;
            }
            QString why;
            QMap<QString, Record>& map = specification ? m_specs : m_protocols;
            const QString saved = m_folder;
            m_folder.clear(); // loading must not rewrite the files
            StoreDocument(specification, lines, why);
            m_folder = saved;
            const QByteArray open = specification ? "<Specification " : "<Protocol ";
            for (const QByteArray& line : lines) {
                if (line.trimmed().startsWith(open)) {
                    const QString key = Attribute(line, specification ? "Name" : "GUID").toLower();
                    if (map.contains(key))
                        map[key].own = name.startsWith(QLatin1String("own-"));
                }
            }
        }
    }
    QDir sys(m_folder + QStringLiteral("/system"));
    for (const QString& name : sys.entryList({QStringLiteral("*.bin")}, QDir::Files)) {
        QFile f(sys.filePath(name));
        if (f.open(QIODevice::ReadOnly))
            m_files.insert(QString::fromUtf8(QByteArray::fromHex(name.chopped(4).toLatin1())), f.readAll());
    }
    return true;
}

void CSimCatalog::SeedDemo(int count, const QString& testerName, const QString& serial,
                           const QString& software) {
    struct Spec {
        const char* name;
        const char* description;
        int reviewPeriod;
        int partsUsed;
    };
    static const Spec kSpecs[] = {
        {"Demo Kaltgeräte", "Geräte mit Kaltgerätestecker", 12, 0},
        {"Demo Verlängerung", "Verlängerungsleitung 3x1.5", 6, 0},
        {"Demo Medizin", "Medizinisches Gerät mit Anwendungsteil", 24, -1},
        {"Demo Werkzeug", "Elektrowerkzeug Schutzklasse II", 6, 0},
        {"Demo Bürogerät", "PC und Monitor", 24, 0},
    };
    const int specCount = count > 0 ? 5 : 0;
    QStringList specNames, specGuids;
    // The nominal power is itself a TextID: up to 3.6 kW, above 3.6 kW single-phase,
    // three-phase up to 11 kW.
    static constexpr int kPowerTexts[] = {6510, 6512, 6514};
    for (int s = 0; s < specCount; ++s) {
        const Spec& sp = kSpecs[s];
        const QString guid =
            QStringLiteral("{5E1C0000-0000-4000-8000-%1}").arg(s + 1, 12, 10, QLatin1Char('0'));
        specNames << QString::fromUtf8(sp.name);
        specGuids << guid;
        Record r;
        r.own = true;
        QByteArray tag =
            "  <Specification" + Attr("Name", specNames.last()) + Attr("StandardID", 5800) +
            Attr("ClassID", 5001) + Attr("Manufacturer", QStringLiteral("Velmor")) +
            Attr("Description", QString::fromUtf8(sp.description)) + Attr("ReviewPeriod", sp.reviewPeriod) +
            Attr("TypID", 5050) + Attr("MeasMethodID", 1) + Attr("TestSequenceID", 0) +
            Attr("CordLength", QStringLiteral("%1").arg(1.5 + s, 0, 'f', 1)) +
            Attr("NominalPower", kPowerTexts[s % 3]) + Attr("AllPe", 0) + Attr("IsoMeas", 1) +
            Attr("MainsSeparation", 0) + Attr("PowerPhase", 1) + Attr("WarningNotice", 0) +
            Attr("PartsUsed", sp.partsUsed ? 1 : 0) + Attr("Run", QString()) + Attr("Parameter", QString()) +
            Attr("IconSymbol", QString()) + Attr("Bitmap", QString()) + Attr("ExportImport", 0) +
            Attr("ExternalUse", QString()) +
            Attr("CreateDate", QStringLiteral("%1.03.2009").arg(s + 1, 2, 10, QLatin1Char('0'))) +
            Attr("CreateTime", QStringLiteral("14:07:09")) + Attr("GUID", guid) +
            Attr("VoltageAccessiblePart", 0) + Attr("FunctionEarth", 0) + Attr("VoltageSignalIO", 0) +
            Attr("AccessibleParts", 0) + Attr("PhaseReverseEnable", 0) + Attr("TotalPabl", 0) +
            Attr("UseExtraPolation", 1) + ">";
        r.lines << tag;
        if (sp.partsUsed) {
            r.lines << "   <AppliedParts>"
                    << "    <AppliedPart GroupNo=\"1\" AppliedPartID=\"2\" Jacks=\"3\" "
                       "Description=\"BF\"></AppliedPart>"
                    << "   </AppliedParts>";
        }
        r.lines << "   <VisualSteps>"
                << "    <VisualStep RefNo=\"1\" TextID=\"0\" Text=\"Gehäuse unbeschädigt\"></VisualStep>"
                << "    <VisualStep RefNo=\"2\" TextID=\"0\" Text=\"Leitung unbeschädigt\"></VisualStep>"
                << "   </VisualSteps>"
                << "   <TestSteps>"
                << "    <TestStep RefNo=\"1\" MeasNo=\"101\" MainOrder=\"1\" TypOrder=\"1\" GroupNo=\"0\" "
                   "Limit=\"0.3000\" Jacks=\"0\"></TestStep>"
                << "    <TestStep RefNo=\"2\" MeasNo=\"201\" MainOrder=\"2\" TypOrder=\"2\" GroupNo=\"0\" "
                   "Limit=\"1.0000\" Jacks=\"0\"></TestStep>"
                << "   </TestSteps>"
                << "   <FunctionalSteps>"
                << "    <FunctionalStep RefNo=\"1\" Text=\"Funktion geprüft\" UseLimitsID=\"0\" "
                   "LowLimit=\"0.0000\" "
                   "HighLimit=\"0.0000\"></FunctionalStep>"
                << "   </FunctionalSteps>"
                << "  </Specification>";
        m_specs.insert(specNames.last().toLower(), r);
        Save(true, specNames.last().toLower(), r);
    }
    for (int i = 0; i < count; ++i) {
        const int s = i % specCount;
        const QString guid =
            QStringLiteral("{DE700000-0000-4000-8000-%1}").arg(i + 1, 12, 10, QLatin1Char('0'));
        const int result = i % 7 == 3 ? 30801 : 30800;
        // Every fourth protocol lacks the tester's identity, as older tester software wrote them.
        const bool identity = i % 4 != 1;
        const QString date = QStringLiteral("%1.%2.20%3")
                                 .arg(i % 28 + 1, 2, 10, QLatin1Char('0'))
                                 .arg(i % 12 + 1, 2, 10, QLatin1Char('0'))
                                 .arg(10 + i % 10, 2, 10, QLatin1Char('0'));
        const QString time = QStringLiteral("%1:%2:00")
                                 .arg(8 + i % 10, 2, 10, QLatin1Char('0'))
                                 .arg(i % 60, 2, 10, QLatin1Char('0'));
        const QString next = QStringLiteral("%1.%2.20%3")
                                 .arg(i % 28 + 1, 2, 10, QLatin1Char('0'))
                                 .arg(i % 12 + 1, 2, 10, QLatin1Char('0'))
                                 .arg(11 + i % 10, 2, 10, QLatin1Char('0'));
        Record r;
        r.own = true;
        QByteArray tag =
            "  <Protocol" + Attr("Device", QStringLiteral("DEV-%1").arg(i + 1, 5, 10, QLatin1Char('0'))) +
            Attr("SpecificationName", specNames[s]) + Attr("TestResultID", result) + Attr("TestDate", date) +
            Attr("TestTime", time) + Attr("FirstTestDate", date) + Attr("NextTestDate", next) +
            Attr("Operator", QStringLiteral("Prüfer %1").arg(i % 3 + 1)) +
            Attr("NominalVoltage", QStringLiteral("230")) + Attr("Manufacturer", QStringLiteral("Acme")) +
            Attr("Description", QStringLiteral("Gerät %1").arg(i + 1)) +
            Attr("Serial", QStringLiteral("SN%1").arg(100000 + i)) +
            Attr("Client", QStringLiteral("Kunde %1").arg(i % 5 + 1)) +
            Attr("Location", QStringLiteral("Halle %1").arg(i % 4 + 1)) +
            Attr("Department", QStringLiteral("Wartung")) + Attr("Room", QStringLiteral("R%1").arg(i % 9)) +
            Attr("Costs", QStringLiteral("K%1").arg(i % 6)) + Attr("Comment", QString()) +
            Attr("ExportImport", 0) + Attr("ExternalUse", QString());
        if (identity)
            tag += Attr("TesterName", testerName) + Attr("TesterSerial", serial) + Attr("TesterSW", software);
        tag += Attr("GUID", guid) + Attr("City", QStringLiteral("Brno")) +
               Attr("Street", QStringLiteral("Hlavní 1")) + Attr("ReviewPeriod", 12) +
               Attr("DutClass", QStringLiteral("I")) + Attr("UseExtraPolation", 1) + ">";
        r.lines << tag << "   <VisualRefs>"
                << "    <VisualRef RefNo=\"1\" Result=\"1\"></VisualRef>"
                << "    <VisualRef RefNo=\"2\" Result=\"1\"></VisualRef>"
                << "   </VisualRefs>"
                << "   <TestRefs>"
                << QByteArray("    <TestRef RefNo=\"1\" MeasValue=\"") +
                       QByteArray::number(0.05 + (i % 10) * 0.01, 'f', 4) +
                       "\" Result=\"1\" FirstValue=\"0.0500\"></TestRef>"
                << "    <TestRef RefNo=\"2\" MeasValue=\"250.0000\" Result=\"1\" "
                   "FirstValue=\"250.0000\"></TestRef>"
                << "   </TestRefs>"
                << "   <FunctionalRefs>"
                << "    <FunctionalRef RefNo=\"1\" MeasValue=\"0.0000\" Result=\"1\" "
                   "FirstValue=\"0.0000\"></FunctionalRef>"
                << "   </FunctionalRefs>"
                << "  </Protocol>";
        m_protocols.insert(guid.toLower(), r);
        Save(false, guid.toLower(), r);
    }
}
