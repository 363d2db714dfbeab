#include "link/CodePage.h"

#include <cerrno>
#include <iconv.h>
#include <mutex>
#include <vector>

namespace CodePage {

QByteArray ForLocaleName(const QString& locale) {
    // Languages whose Windows code page is 1250.
    static const char* const kCentral[] = {"cs", "sk", "pl", "hu", "sl", "hr", "bs", "ro", "sq", "sr"};
    const QString lang = locale.section(QLatin1Char('_'), 0, 0).section(QLatin1Char('.'), 0, 0).toLower();
    for (const char* c : kCentral)
        if (lang == QLatin1String(c))
            return "CP1250";
    return "CP1252";
}

QByteArray Current() {
    static const QByteArray page = [] {
        for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
            const QString v = qEnvironmentVariable(var);
            if (!v.isEmpty())
                return ForLocaleName(v);
        }
        return QByteArray("CP1252");
    }();
    return page;
}

namespace {

// Converts all of in; false at the first sequence that cannot be converted.
bool Convert(const char* to, const char* from, const QByteArray& in, QByteArray& out,
             qsizetype* badAt = nullptr) {
    iconv_t cd = iconv_open(to, from);
    if (cd == iconv_t(-1))
        return false;
    std::vector<char> buffer(std::size_t(in.size()) * 4 + 16);
    char* src = const_cast<char*>(in.constData());
    size_t srcLeft = size_t(in.size());
    char* dst = buffer.data();
    size_t dstLeft = buffer.size();
    const size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
    const bool ok = r != size_t(-1) && iconv(cd, nullptr, nullptr, &dst, &dstLeft) != size_t(-1);
    if (!ok && badAt)
        *badAt = src - in.constData();
    iconv_close(cd);
    out = QByteArray(buffer.data(), qsizetype(buffer.size() - dstLeft));
    return ok;
}

} // namespace

bool Encode(const QString& text, QByteArray& out, const QByteArray& codePage) {
    // Unpaired surrogates have no UTF-8 form either, so they fail here like any other
    // character the code page lacks.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            return false;
    }
    return Convert(codePage.constData(), "UTF-8", text.toUtf8(), out);
}

bool Decode(const QByteArray& bytes, QString& out, const QByteArray& codePage) {
    QByteArray utf8;
    if (!Convert("UTF-8", codePage.constData(), bytes, utf8))
        return false;
    out = QString::fromUtf8(utf8);
    return true;
}

QString DecodeLenient(const QByteArray& bytes, const QByteArray& codePage) {
    QString text;
    QByteArray rest = bytes;
    while (!rest.isEmpty()) {
        QByteArray utf8;
        qsizetype bad = -1;
        if (Convert("UTF-8", codePage.constData(), rest, utf8, &bad)) {
            text += QString::fromUtf8(utf8);
            break;
        }
        if (bad < 0 || bad >= rest.size()) { // iconv unavailable: Latin-1 keeps every byte
            text += QString::fromLatin1(rest);
            break;
        }
        text += QString::fromUtf8(utf8);
        text += QChar(quint8(rest[bad]));
        rest = rest.mid(bad + 1);
    }
    return text;
}

} // namespace CodePage
