#include "maintenance/CopyListReader.h"

#include "link/LinkProtocol.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

QString Decode(const QByteArray& bytes) {
    return QString::fromUtf8(bytes);
}

} // namespace

void CCopyListReader::SetTesterVersions(const QString& software, const QString& firmware) {
    m_testerSoftware = software;
    m_testerFirmware = firmware;
}

std::vector<QByteArray> CCopyListReader::Lines(const QByteArray& bytes) {
    std::vector<QByteArray> lines;
    qsizetype start = 0;
    for (;;) {
        const qsizetype lf = bytes.indexOf('\n', start);
        if (lf < 0)
            break;
        qsizetype end = lf;
        if (end > start && bytes[end - 1] == '\r')
            --end;
        lines.push_back(bytes.mid(start, end - start));
        start = lf + 1;
    }
    return lines;
}

void CCopyListReader::SplitFields(const QByteArray& line, QByteArray& f1, QByteArray& f2, QByteArray& f3) {
    const qsizetype n = line.size();
    qsizetype i = 0;
    auto skipBlanks = [&] {
        while (i < n && IsBlank(line[i]))
            ++i;
    };
    auto word = [&] {
        const qsizetype s = i;
        while (i < n && !IsBlank(line[i]))
            ++i;
        return line.mid(s, i - s);
    };
    skipBlanks();
    f1 = word();
    skipBlanks();
    f2 = word();
    skipBlanks();
    f3 = line.mid(i);
    // A stray CR inside a line would end the command that carries the path on the
    // tester's side; the path ends there.
    const qsizetype cr = f3.indexOf('\r');
    if (cr >= 0)
        f3.truncate(cr);
}

QString CCopyListReader::ResolveFile(const QString& folder, const QString& name) {
    QString relative = name;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (relative.isEmpty() || relative.startsWith(QLatin1Char('/')) || QDir::isAbsolutePath(relative))
        return {};
    const QStringList parts = relative.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return {};
    for (const QString& p : parts)
        if (p == QLatin1String("..") || p == QLatin1String("."))
            return {};
    const QString exact = folder + QLatin1Char('/') + parts.join(QLatin1Char('/'));
    if (QFileInfo(exact).isFile())
        return exact;
    // Packages made on Windows name their files in any letter case.
    QString current = folder;
    for (int i = 0; i < parts.size(); ++i) {
        const bool last = i == parts.size() - 1;
        const QDir dir(current);
        const QStringList names = dir.entryList(
            (last ? QDir::Files : QDir::Dirs) | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
        QString match;
        for (const QString& n : names)
            if (n.compare(parts[i], Qt::CaseInsensitive) == 0) {
                match = n;
                break;
            }
        if (match.isEmpty())
            return {};
        current += QLatin1Char('/') + match;
    }
    return QFileInfo(current).isFile() ? current : QString();
}

bool CCopyListReader::Open(const QString& updateFolder) {
    m_folder = updateFolder;
    m_entries.clear();
    m_missing.clear();
    QFile file(updateFolder + QLatin1Char('/') + FileName());
    if (!file.open(QIODevice::ReadOnly)) {
        m_missing = FileName();
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        m_missing = FileName();
        return false;
    }
    return Parse(bytes, [updateFolder](const QString& name) -> qint64 {
        const QString path = ResolveFile(updateFolder, name);
        if (path.isEmpty())
            return -1;
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return -1;
        return f.size();
    });
}

bool CCopyListReader::Parse(const QByteArray& bytes, const SizeOf& sizeOf) {
    m_entries.clear();
    m_missing.clear();
    m_minimumVersion.clear();
    m_packageFirmware.clear();
    for (const QByteArray& line : Lines(bytes)) {
        if (!ParseLine(line, sizeOf)) {
            m_entries.clear();
            return false;
        }
    }
    return true;
}

bool CCopyListReader::Selects(const QString& command, const QString& fileName) const {
    if (command.compare(QLatin1String("copy"), Qt::CaseInsensitive) == 0)
        return true;
    if (command.compare(QLatin1String("copy_ifnotequal_firmware"), Qt::CaseInsensitive) == 0) {
        const bool family1 = m_testerFirmware.startsWith(QLatin1String("1.")) &&
                             fileName.startsWith(QLatin1String("Firmware_1."));
        const bool family2 = m_testerFirmware.startsWith(QLatin1String("V2.")) &&
                             fileName.startsWith(QLatin1String("Firmware_V2."));
        return (family1 || family2) && m_packageFirmware != m_testerFirmware;
    }
    if (command.compare(QLatin1String("copy_iflessthen_minversion"), Qt::CaseInsensitive) == 0)
        return LinkProtocol::CompareVersionTexts(m_testerSoftware, m_minimumVersion) > 0;
    return false;
}

bool CCopyListReader::ParseLine(const QByteArray& line, const SizeOf& sizeOf) {
    QByteArray f1, f2, f3;
    SplitFields(line, f1, f2, f3);
    const QString command = Decode(f1);
    const QString second = Decode(f2);
    if (command.compare(QLatin1String("minversion"), Qt::CaseInsensitive) == 0) {
        m_minimumVersion = second;
        return true;
    }
    if (command.compare(QLatin1String("firmware"), Qt::CaseInsensitive) == 0) {
        if ((m_testerFirmware.startsWith(QLatin1String("1.")) && second.startsWith(QLatin1String("1."))) ||
            (m_testerFirmware.startsWith(QLatin1String("V2.")) && second.startsWith(QLatin1String("V2."))))
            m_packageFirmware = second;
        return true;
    }
    if (!Selects(command, second))
        return true;
    const qint64 size = sizeOf ? sizeOf(second) : -1;
    if (size < 0) {
        m_missing = second;
        return false;
    }
    m_entries.push_back(CopyEntry{command, second, Decode(f3), size});
    return true;
}

qint64 CCopyListReader::TotalSize() const {
    qint64 total = 0;
    for (const CopyEntry& e : m_entries)
        total += e.size;
    return total;
}
