#include "printheader/PrintHeaderText.h"

#include "link/CodePage.h"
#include "printheader/BitmapCheck.h"
#include "printheader/SignatureKey.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cctype>

namespace {

const QByteArray kOptionKey = "sign=";

QByteArray PageOrCurrent(const QByteArray& codePage) {
    return codePage.isEmpty() ? CodePage::Current() : codePage;
}

// The first character of text that the code page cannot hold.
QString FirstUnmappable(const QString& text, const QByteArray& codePage) {
    QByteArray ignored;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n = text[i].isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString c = text.mid(i, n);
        if (!CodePage::Encode(c, ignored, codePage))
            return c;
        i += n - 1;
    }
    return QString();
}

// A stored signature's name becomes a file name of the data folder: no folders, no dot
// names, nothing that would make "<name>.sign" hidden or point elsewhere.
bool UsableName(const QString& name) {
    return !name.isEmpty() && !name.contains(QLatin1Char('/')) && !name.contains(QChar(0)) &&
           !name.startsWith(QLatin1Char('.'));
}

bool WriteWhole(const QString& path, const QByteArray& bytes) {
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    if (f.write(bytes) != bytes.size()) {
        f.cancelWriting();
        return false;
    }
    return f.commit();
}

} // namespace

QString CPrintHeaderText::HeaderFileName() {
    return QStringLiteral("header.txt");
}
QString CPrintHeaderText::LogoFileName() {
    return QStringLiteral("logo.bmp");
}
QString CPrintHeaderText::SignExtension() {
    return QStringLiteral("sign");
}

QString CPrintHeaderText::SignatureFileName(const QString& name) {
    return QStringLiteral("%1.%2").arg(name, SignExtension());
}

QString CPrintHeaderText::SignatureName(const QString& bitmapPath) {
    QString name = QFileInfo(bitmapPath).fileName();
    name.remove(QStringLiteral(".bmp"), Qt::CaseInsensitive);
    return name;
}

QString CPrintHeaderText::TesterFolder() {
    return QStringLiteral("\\%SYSTEM%");
}

QString CPrintHeaderText::TesterPath(const QString& fileName) {
    return TesterFolder() + QLatin1Char('\\') + fileName;
}

QString CPrintHeaderText::CutLine(const QString& text) {
    QString line = text.normalized(QString::NormalizationForm_C);
    // Line ends and tabs would break the file's line structure.
    for (QChar& c : line)
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    if (line.size() > kLineLength) {
        qsizetype cut = kLineLength;
        if (line[cut - 1].isHighSurrogate())
            --cut;
        line.truncate(cut);
    }
    return line;
}

bool CPrintHeaderText::SetLine(int index, const QString& text, QString* unmappable) {
    if (index < 0 || index >= kLineCount)
        return false;
    const QString line = CutLine(text);
    const QString bad = FirstUnmappable(line, PageOrCurrent(QByteArray()));
    if (!bad.isEmpty()) {
        if (unmappable)
            *unmappable = bad;
        return false;
    }
    m_lines[index] = line;
    return true;
}

bool CPrintHeaderText::SetOption(int option) {
    if (option < 0 || option >= kOptionCount)
        return false;
    m_option = option;
    return true;
}

CPrintHeaderText CPrintHeaderText::Parse(const QByteArray& bytes, const QByteArray& codePage) {
    const QByteArray page = PageOrCurrent(codePage);
    CPrintHeaderText h;
    QList<QByteArray> lines = bytes.split('\n');
    for (QByteArray& l : lines)
        if (l.endsWith('\r'))
            l.chop(1);
    for (int i = 0; i < kLineCount && i < lines.size(); ++i) {
        QString text;
        if (!CodePage::Decode(lines[i], text, page))
            text = CodePage::DecodeLenient(lines[i], page);
        h.m_lines[i] = CutLine(text);
    }
    if (lines.size() > kLineCount && lines[kLineCount].startsWith(kOptionKey)) {
        const QByteArray number = lines[kLineCount].mid(kOptionKey.size()).trimmed();
        // Leading digits count, as the runtime's number conversion takes them.
        qsizetype end = 0;
        while (end < number.size() && end < 9 && std::isdigit(static_cast<unsigned char>(number[end])))
            ++end;
        bool ok = false;
        const int value = number.left(end).toInt(&ok);
        if (ok && value >= 0 && value < kOptionCount)
            h.m_option = value;
    }
    return h;
}

bool CPrintHeaderText::Format(QByteArray& out, const QByteArray& codePage, QString* unmappable) const {
    const QByteArray page = PageOrCurrent(codePage);
    QByteArray bytes;
    for (const QString& line : m_lines) {
        QByteArray encoded;
        if (!CodePage::Encode(line, encoded, page)) {
            if (unmappable)
                *unmappable = FirstUnmappable(line, page);
            return false;
        }
        bytes += encoded + "\r\n";
    }
    bytes += kOptionKey + QByteArray::number(m_option) + "\r\n";
    out = bytes;
    return true;
}

bool CPrintHeaderText::Read(const QString& dataFolder, const QByteArray& codePage) {
    *this = CPrintHeaderText();
    QFile f(QDir(dataFolder).filePath(HeaderFileName()));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    // Four short lines; a larger file is cut rather than read whole.
    *this = Parse(f.read(64 * 1024), codePage);
    return true;
}

bool CPrintHeaderText::Write(const QString& dataFolder, const QByteArray& codePage,
                             QString* unmappable) const {
    QByteArray bytes;
    if (!Format(bytes, codePage, unmappable))
        return false;
    return WriteWhole(QDir(dataFolder).filePath(HeaderFileName()), bytes);
}

QStringList CPrintHeaderText::SignatureNames(const QString& dataFolder) {
    QStringList names;
    const QString suffix = QLatin1Char('.') + SignExtension();
    const QDir dir(dataFolder);
    for (const QString& file :
         dir.entryList({QLatin1Char('*') + suffix}, QDir::Files, QDir::Name | QDir::IgnoreCase)) {
        // The name filter ignores case; the files are exactly "<name>.sign".
        if (file.endsWith(suffix) && file.size() > suffix.size())
            names << file.chopped(suffix.size());
    }
    return names;
}

bool CPrintHeaderText::ReadSignature(const QString& dataFolder, const QString& name, QByteArray& bitmap) {
    if (!UsableName(name))
        return false;
    QFile f(QDir(dataFolder).filePath(SignatureFileName(name)));
    if (!f.open(QIODevice::ReadOnly))
        return false;
    bitmap = SignatureKey::Unscramble(f.readAll());
    return f.error() == QFileDevice::NoError;
}

int CPrintHeaderText::StoreLogo(const QString& dataFolder, const QString& bitmapPath) {
    QByteArray bytes;
    if (BitmapCheck::CheckFile(bitmapPath, &bytes) != BitmapCheck::Result::Ok)
        return kBitmapRefused;
    return WriteWhole(QDir(dataFolder).filePath(LogoFileName()), bytes) ? 0 : kStoreFailed;
}

int CPrintHeaderText::StoreSignature(const QString& dataFolder, const QString& bitmapPath, QString* name) {
    QByteArray bytes;
    if (BitmapCheck::CheckFile(bitmapPath, &bytes) != BitmapCheck::Result::Ok)
        return kBitmapRefused;
    const QString n = SignatureName(bitmapPath);
    if (!UsableName(n))
        return kStoreFailed;
    if (!WriteWhole(QDir(dataFolder).filePath(SignatureFileName(n)), SignatureKey::Scramble(bytes)))
        return kStoreFailed;
    if (name)
        *name = n;
    return 0;
}

bool CPrintHeaderText::DeleteSignature(const QString& dataFolder, const QString& name) {
    if (!UsableName(name))
        return false;
    return QFile::remove(QDir(dataFolder).filePath(SignatureFileName(name)));
}
