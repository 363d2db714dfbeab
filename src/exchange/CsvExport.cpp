#include "exchange/CsvExport.h"

#include "exchange/XmlFile.h"
#include "platform/Folders.h"
#include "platform/Notifier.h"
#include "store/AdoDatabase.h"
#include "store/TextFormat.h"
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

constexpr qint32 kTextOpenDatabase = 167;
constexpr qint32 kTextRecordNotFound = 168;
constexpr qint32 kTextRecordUnreadable = 169;

const QChar kTab(9);
const QString kMissingNumber = QStringLiteral("     -");

QString Dashes() {
    return QString(200, QLatin1Char('-'));
}

QString Tabs(int n) {
    return QString(n, kTab);
}

QString Pair(const QString& label, const QString& value) {
    return label + kTab + QStringLiteral(": ") + value;
}

QString TwoPairs(const QString& l1, const QString& v1, const QString& l2, const QString& v2) {
    return Pair(l1, v1) + Tabs(5) + Pair(l2, v2);
}

QString Mark(bool passed) {
    return passed ? QString(QChar(0x221A)) : QStringLiteral("X");
}

// Reads a column, taking NULL as the empty value; false only when the value is there
// but of the wrong kind.
bool ReadText(CAdoDatabase& db, const char* column, QString& value) {
    value.clear();
    const QString name = QLatin1String(column);
    return db.IsNull(name) || db.GetString(name, value);
}

bool ReadLong(CAdoDatabase& db, const char* column, qint32& value) {
    value = 0;
    const QString name = QLatin1String(column);
    return db.IsNull(name) || db.GetLong(name, value);
}

bool ReadDouble(CAdoDatabase& db, const char* column, double& value) {
    value = 0;
    const QString name = QLatin1String(column);
    return db.IsNull(name) || db.GetDouble(name, value);
}

bool ReadDate(CAdoDatabase& db, const char* column, QDateTime& value) {
    value = QDateTime();
    const QString name = QLatin1String(column);
    return db.IsNull(name) || db.GetDate(name, value);
}

// Range ends are texts with a decimal point; an empty or unreadable one bounds nothing.
bool RangeEnd(const QString& text, double& value) {
    bool ok = false;
    value = text.trimmed().toDouble(&ok);
    return ok;
}
} // namespace

struct CCsvExport::Definition {
    bool found = false;
    qint32 jacksActive = 0;
    QString unit;
    QString minValue;
    QString maxValue;
    qint32 digits = 0;
    qint32 nameTextId = 0;
    qint32 compareMode = 0;
};

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
    QStringList items;
    int jack = 1;
    while (jack <= 32) {
        if (!(jacks & (1u << (jack - 1)))) {
            ++jack;
            continue;
        }
        int last = jack;
        while (last < 32 && (jacks & (1u << last)))
            ++last;
        items << (last > jack ? QStringLiteral("%1-%2").arg(jack).arg(last) : QString::number(jack));
        jack = last + 1;
    }
    return items.join(QLatin1Char(','));
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

QString CCsvExport::Date(const QDateTime& date) const {
    if (!date.isValid() || date.date() == QDate(1900, 1, 1))
        return QString();
    return m_locale.toString(date.date(), QLocale::ShortFormat);
}

QString CCsvExport::Number(double value, int decimals) const {
    return m_locale.toString(value, 'f', qBound(0, decimals, 15));
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
            MessageFormatted(50044, QDir::toNativeSeparators(csvFolder));
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
    qint32 factor = 0;
    bool voltageOk = false;
    const double voltage = nominalVoltage.trimmed().toDouble(&voltageOk);
    if (!ReadLong(ref, "CalcFactor", factor) || !voltageOk || factor <= 0)
        return false;
    volts = std::round(voltage * factor / 100.0);
    return true;
}

bool CCsvExport::ReadDefinition(CAdoDatabase& ref, qint32 measNo, Definition& def) {
    def = Definition();
    if (!ref.OpenQuery(QStringLiteral("SELECT * FROM MessTab WHERE MeasNo = %1").arg(measNo)))
        return false;
    if (!ref.HasRow())
        return true;
    if (!(ReadLong(ref, "BuchsenAktiv", def.jacksActive) && ReadText(ref, "MesswertEinheit", def.unit) &&
          ReadText(ref, "MinValue", def.minValue) && ReadText(ref, "MaxValue", def.maxValue) &&
          ReadLong(ref, "Digits", def.digits) && ReadLong(ref, "MessNrTextID", def.nameTextId) &&
          ReadLong(ref, "LimitCompareMode", def.compareMode)))
        return false;
    def.found = true;
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
        Message(kTextOpenDatabase);
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
    if (!db.OpenQuery(QStringLiteral("SELECT * FROM GeraeteTab Where id=%1").arg(id)))
        return Message(kTextOpenDatabase), false;
    if (!db.HasRow())
        return Message(kTextRecordNotFound), false;

    QString specName, device, nominalVoltage, op, serial, location, room, department, costs, comment,
        manufacturer, description, client, testerName, testerSerial, testerSw, guid;
    qint32 protocolId = 0, resultId = 0, exportImport = 0, useExtrapolation = 1;
    QDateTime testDate, firstTestDate, nextTestDate;
    // An unreadable value would put a wrong report on the drive, so it fails the protocol.
    bool ok = ReadText(db, "SpecificationName", specName) && ReadLong(db, "id", protocolId) &&
              ReadText(db, "Device", device) && ReadText(db, "NominalVoltage", nominalVoltage) &&
              ReadDate(db, "TestDate", testDate) && ReadLong(db, "TestResultID", resultId) &&
              ReadText(db, "Operator", op) && ReadText(db, "Serial", serial) &&
              ReadText(db, "Location", location) && ReadText(db, "Room", room) &&
              ReadText(db, "Department", department) && ReadText(db, "Costs", costs) &&
              ReadText(db, "Comment", comment) && ReadText(db, "Manufacturer", manufacturer) &&
              ReadText(db, "Description", description) && ReadText(db, "Client", client) &&
              ReadLong(db, "ExportImport", exportImport) && ReadDate(db, "FirstTestDate", firstTestDate) &&
              ReadDate(db, "NextTestDate", nextTestDate) && ReadText(db, "TesterName", testerName) &&
              ReadText(db, "TesterSerial", testerSerial) && ReadText(db, "TesterSW", testerSw) &&
              ReadText(db, "myGUID", guid);
    if (!ok)
        return Message(kTextRecordUnreadable), false;
    // Rows from before the extrapolation switch have no value: they were extrapolated.
    if (db.IsNull(QStringLiteral("UseExtraPolation")) ||
        !db.GetLong(QStringLiteral("UseExtraPolation"), useExtrapolation))
        useExtrapolation = 1;

    if (!db.OpenQuery(QStringLiteral("SELECT * FROM TypenTab WHERE Name = '%1'").arg(SqlQuote(specName))))
        return Message(kTextRecordUnreadable), false;
    if (!db.HasRow())
        return Message(kTextRecordUnreadable, specName), false;
    qint32 specId = 0, standardId = 0, classId = 0, reviewPeriod = 0;
    int partsUsed = 0;
    QString specManufacturer, specDescription, iconSymbol;
    QDateTime createDate;
    ok = ReadLong(db, "id", specId) && ReadLong(db, "StandardID", standardId) &&
         ReadLong(db, "ClassID", classId) && ReadText(db, "Manufacturer", specManufacturer) &&
         ReadText(db, "Description", specDescription) && ReadLong(db, "ReviewPeriod", reviewPeriod) &&
         ReadDate(db, "CreateDate", createDate) && ReadText(db, "IconSymbol", iconSymbol) &&
         (db.IsNull(QStringLiteral("PartsUsed")) || db.GetBool(QStringLiteral("PartsUsed"), partsUsed));
    if (!ok)
        return Message(kTextRecordUnreadable), false;

    struct Part {
        qint32 groupNo = 0, appliedPartId = 0, jacks = 0;
    };
    QList<Part> parts;
    if (!db.OpenQuery(
            QStringLiteral("SELECT * FROM TypPartsTab WHERE TypenTabID = %1 ORDER BY GroupNo").arg(specId)))
        return Message(kTextRecordUnreadable), false;
    for (; db.HasRow(); db.MoveNext()) {
        Part p;
        if (!ReadLong(db, "GroupNo", p.groupNo) || !ReadLong(db, "AppliedPartID", p.appliedPartId) ||
            !ReadLong(db, "Jacks", p.jacks))
            return Message(kTextRecordUnreadable), false;
        parts << p;
    }

    struct Visual {
        qint32 result = 0, textId = 0;
        QString text;
    };
    QList<Visual> visual;
    if (!db.OpenQuery(
            QStringLiteral(
                "SELECT GeraetSichtProtTab.RefNo, GeraetSichtProtTab.Result, TypSichtPrfTab.TextID, "
                "TypSichtPrfTab.myText FROM GeraetSichtProtTab INNER JOIN TypSichtPrfTab ON "
                "GeraetSichtProtTab.RefNo = TypSichtPrfTab.RefNo WHERE "
                "GeraetSichtProtTab.GeraeteTabID = %1 AND TypSichtPrfTab.TypenTabID = %2 "
                "ORDER BY TypSichtPrfTab.RefNo")
                .arg(protocolId)
                .arg(specId)))
        return Message(kTextRecordUnreadable), false;
    for (; db.HasRow(); db.MoveNext()) {
        Visual v;
        if (!ReadLong(db, "Result", v.result) || !ReadLong(db, "TextID", v.textId) ||
            !ReadText(db, "myText", v.text))
            return Message(kTextRecordUnreadable), false;
        visual << v;
    }

    struct Measurement {
        qint32 result = 0, measNo = 0, groupNo = 0;
        double value = 0, limit = 0;
    };
    QList<Measurement> measurements;
    if (!db.OpenQuery(
            QStringLiteral("SELECT GeraetProtTab.RefNo, GeraetProtTab.Result, GeraetProtTab.MeasValue, "
                           "TypTestStepTab.MeasNo, TypTestStepTab.GroupNo, TypTestStepTab.Limit FROM "
                           "GeraetProtTab INNER JOIN TypTestStepTab ON GeraetProtTab.RefNo = "
                           "TypTestStepTab.RefNo WHERE GeraetProtTab.GeraeteTabID = %1 AND "
                           "TypTestStepTab.TypenTabID = %2 ORDER BY TypOrder, MainOrder, MeasNo, GroupNo")
                .arg(protocolId)
                .arg(specId)))
        return Message(kTextRecordUnreadable), false;
    for (; db.HasRow(); db.MoveNext()) {
        Measurement m;
        if (!ReadLong(db, "Result", m.result) || !ReadDouble(db, "MeasValue", m.value) ||
            !ReadLong(db, "MeasNo", m.measNo) || !ReadLong(db, "GroupNo", m.groupNo) ||
            !ReadDouble(db, "Limit", m.limit))
            return Message(kTextRecordUnreadable), false;
        measurements << m;
    }

    struct Functional {
        qint32 result = 0, useLimits = 0;
        double value = 0, low = 0, high = 0;
        QString text;
    };
    QList<Functional> functional;
    if (!db.OpenQuery(
            QStringLiteral(
                "SELECT GeraetFktProtTab.RefNo, GeraetFktProtTab.Result, GeraetFktProtTab.MeasValue, "
                "TypFktStepTab.myText, TypFktStepTab.UseLimitsID, TypFktStepTab.LowLimit, "
                "TypFktStepTab.HighLimit FROM GeraetFktProtTab INNER JOIN TypFktStepTab ON "
                "GeraetFktProtTab.RefNo = TypFktStepTab.RefNo WHERE "
                "GeraetFktProtTab.GeraeteTabID = %1 AND TypFktStepTab.TypenTabID = %2 "
                "ORDER BY TypFktStepTab.RefNo")
                .arg(protocolId)
                .arg(specId)))
        return Message(kTextRecordUnreadable), false;
    for (; db.HasRow(); db.MoveNext()) {
        Functional f;
        if (!ReadLong(db, "Result", f.result) || !ReadDouble(db, "MeasValue", f.value) ||
            !ReadText(db, "myText", f.text) || !ReadLong(db, "UseLimitsID", f.useLimits) ||
            !ReadDouble(db, "LowLimit", f.low) || !ReadDouble(db, "HighLimit", f.high))
            return Message(kTextRecordUnreadable), false;
        functional << f;
    }
    db.CloseRecordset();

    QString note;
    double volts = 0;
    if (useExtrapolation == 1 && ExtrapolationVoltage(ref, standardId, nominalVoltage, volts))
        note = T(112) + QLatin1Char(' ') + Number(volts, 0) + QStringLiteral(" V");

    if (m_cb.status)
        m_cb.status(FormatText(ExchangeText::Resolve(m_lookup, 179), device));

    QStringList lines;
    const bool usesParts = partsUsed != 0;
    lines << Dashes() << Tabs(4) + T(30433) << Tabs(4) + T(26) + kTab + QStringLiteral(": ") + device
          << Dashes();
    lines << TwoPairs(T(30806), serial, T(30859), client)
          << TwoPairs(T(10003), manufacturer, T(30807), location)
          << TwoPairs(T(10005), description, T(30809), department)
          << TwoPairs(T(30810), costs, T(30808), room) << Pair(T(18), comment) << Dashes() << T(30432)
          << Pair(T(19), specName) << QString();
    lines << TwoPairs(T(10007), T(standardId), T(10009), T(classId))
          << TwoPairs(T(10003), specManufacturer, T(10014), Number(reviewPeriod, 0))
          << TwoPairs(T(10005), specDescription, T(125), Date(createDate));
    if (iconSymbol.compare(QLatin1String("IDB_TESTSTEPEDITOR"), Qt::CaseInsensitive) == 0)
        lines << T(156);
    lines << QString();
    if (usesParts) {
        lines << T(10300);
        for (const Part& p : parts)
            lines << T(10312) + QLatin1Char(' ') + QString::number(p.groupNo) + kTab + T(p.appliedPartId) +
                         kTab + T(10310) + QLatin1Char(' ') + JackList(quint32(p.jacks));
    }
    lines << Dashes();

    if (!visual.isEmpty()) {
        lines << T(10812) << QString() << T(211) + kTab + T(23);
        for (const Visual& v : visual)
            lines << Mark(v.result != 0) + kTab + (v.textId != 0 ? T(v.textId) : v.text);
        lines << Dashes();
    }
    if (!measurements.isEmpty()) {
        lines << T(30431) + Tabs(3) + note << QString();
        QStringList heads{T(211), T(24), T(30822), T(30823), T(212)};
        if (usesParts)
            heads << T(10312);
        heads << T(23);
        lines << heads.join(kTab);
        for (const Measurement& m : measurements) {
            Definition def;
            if (!ReadDefinition(ref, m.measNo, def))
                return Message(kTextRecordUnreadable), false;
            QString value, limit, name;
            bool passed = m.result != 0;
            if (def.found) {
                name = T(def.nameTextId);
                if (def.compareMode == 2) {
                    value = kMissingNumber;
                } else {
                    value = Number(m.value, def.digits);
                    double end = 0;
                    if (RangeEnd(def.minValue, end) && m.value <= end)
                        value = QStringLiteral("< ") + value;
                    else if (RangeEnd(def.maxValue, end) && m.value >= end)
                        value = QStringLiteral("> ") + value;
                }
                limit = m.limit == 0 ? kMissingNumber : Number(m.limit, def.digits);
            } else {
                // A measurement the reference data does not know cannot be judged.
                name = FormatText(T(30826), m.measNo);
                value = Number(0, 0);
                limit = kMissingNumber;
                passed = false;
            }
            QStringList cols{Mark(passed), QString::number(m.measNo), value, limit, def.unit};
            if (usesParts)
                cols << (m.groupNo != 0 && def.jacksActive != 0 ? QString::number(m.groupNo) : QString());
            cols << name;
            lines << cols.join(kTab);
        }
        lines << Dashes();
    }
    if (!functional.isEmpty()) {
        lines << T(30847) << QString() << T(211) + kTab + T(23);
        for (const Functional& f : functional) {
            lines << Mark(f.result != 0) + kTab + f.text;
            const QString valueLine = kTab + T(30822) + QStringLiteral(" :") + kTab + Number(f.value, 2);
            if (f.useLimits == 1)
                lines << valueLine;
            else if (f.useLimits == 2)
                lines << valueLine + Tabs(4) + T(30823) + QStringLiteral(" : ") + Number(f.low, 2) +
                             QStringLiteral("...") + Number(f.high, 2);
        }
        lines << Dashes();
    }
    lines << T(30434) + kTab + T(resultId) << QString() << Pair(T(25), op);
    lines << Pair(T(30435), Date(testDate)) + Tabs(5) + T(30438) + QStringLiteral(" : ") + Date(nextTestDate);
    lines << Dashes() << TwoPairs(T(213), testerName, T(215), testerSerial)
          << TwoPairs(T(214), testerSw, T(125),
                      m_locale.toString(QDate::currentDate(), QLocale::ShortFormat));

    // The client folder and the file.
    const QString clientFolder =
        csvFolder + QLatin1Char('/') + (client.isEmpty() ? QStringLiteral("NoClient") : FileNamePart(client));
    if (!QFileInfo(clientFolder).isDir() && !QDir().mkdir(clientFolder)) {
        MessageFormatted(50044, QDir::toNativeSeparators(clientFolder));
        return false;
    }
    const QDate day = testDate.date();
    const QString path = clientFolder + QLatin1Char('/') + FileNamePart(device) + QLatin1Char('_') +
                         FileNamePart(description) +
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
                        .arg(exportImport | 2)
                        .arg(protocolId)))
        return Message(db.GetErrorNumber() ? db.GetErrorNumber() : kTextRecordUnreadable), false;
    return true;
}
