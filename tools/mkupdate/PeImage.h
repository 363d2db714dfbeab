#pragma once

// Builds small Windows PE files with a version resource, for the demo update package and
// the tests of the version reader. Header only, QtCore only.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QtEndian>

namespace PeImage {

struct Spec {
    QString fileVersion = QStringLiteral("1.0.0.0");
    QString productVersion = QStringLiteral("1.0.0.0");
    QString block = QStringLiteral("040704b0"); // the StringFileInfo block's name
    quint16 language = 0x0407;                  // first translation
    quint16 codePage = 0x04b0;
    bool withTranslation = true;
    bool withStrings = true;
    bool withResource = true;
    bool pe32plus = false;
    QByteArray padding; // extra bytes in the section after the resource
};

inline void Put16(QByteArray& b, qsizetype at, quint16 v) {
    qToLittleEndian(v, b.data() + at);
}
inline void Put32(QByteArray& b, qsizetype at, quint32 v) {
    qToLittleEndian(v, b.data() + at);
}
inline void Align4(QByteArray& b) {
    while (b.size() % 4)
        b.append('\0');
}
inline QByteArray Utf16z(const QString& s) {
    QByteArray out;
    for (QChar c : s) {
        out.append(char(c.unicode() & 0xFF));
        out.append(char(c.unicode() >> 8));
    }
    out.append(2, '\0');
    return out;
}

// One version block: length, value length, type, key, value, children.
inline QByteArray VersionBlock(const QString& key, const QByteArray& value, quint16 valueLength, quint16 type,
                               const QList<QByteArray>& children) {
    QByteArray b(6, '\0');
    b += Utf16z(key);
    Align4(b);
    b += value;
    for (const QByteArray& c : children) {
        Align4(b);
        b += c;
    }
    Put16(b, 0, quint16(b.size()));
    Put16(b, 2, valueLength);
    Put16(b, 4, type);
    return b;
}

inline void VersionNumbers(const QString& text, quint32& ms, quint32& ls) {
    QStringList p = QString(text).replace(QLatin1Char(','), QLatin1Char('.')).split(QLatin1Char('.'));
    while (p.size() < 4)
        p << QStringLiteral("0");
    ms = quint32(p[0].toUInt()) << 16 | (p[1].toUInt() & 0xFFFF);
    ls = quint32(p[2].toUInt()) << 16 | (p[3].toUInt() & 0xFFFF);
}

inline QByteArray VersionResource(const Spec& s) {
    QByteArray fixed(52, '\0');
    quint32 fms, fls, pms, pls;
    VersionNumbers(s.fileVersion, fms, fls);
    VersionNumbers(s.productVersion, pms, pls);
    Put32(fixed, 0, 0xFEEF04BDu);
    Put32(fixed, 4, 0x00010000u);
    Put32(fixed, 8, fms);
    Put32(fixed, 12, fls);
    Put32(fixed, 16, pms);
    Put32(fixed, 20, pls);
    Put32(fixed, 28, 0x4); // VOS__WINDOWS32
    Put32(fixed, 32, 0x2); // VFT_DLL
    auto string = [](const QString& key, const QString& value) {
        QByteArray v = Utf16z(value);
        return VersionBlock(key, v, quint16(value.size() + 1), 1, {});
    };
    QList<QByteArray> top;
    if (s.withStrings) {
        QByteArray table = VersionBlock(s.block, {}, 0, 1,
                                        {string(QStringLiteral("CompanyName"), QStringLiteral("VELMOR")),
                                         string(QStringLiteral("FileVersion"), s.fileVersion),
                                         string(QStringLiteral("ProductVersion"), s.productVersion)});
        top << VersionBlock(QStringLiteral("StringFileInfo"), {}, 0, 1, {table});
    }
    if (s.withTranslation) {
        QByteArray t(4, '\0');
        Put16(t, 0, s.language);
        Put16(t, 2, s.codePage);
        QByteArray var = VersionBlock(QStringLiteral("Translation"), t, 4, 0, {});
        top << VersionBlock(QStringLiteral("VarFileInfo"), {}, 0, 1, {var});
    }
    return VersionBlock(QStringLiteral("VS_VERSION_INFO"), fixed, 52, 0, top);
}

// A PE image with one section ".rsrc" that holds the resource tree type 16 / name 1 /
// language, and the version resource.
inline QByteArray Build(const Spec& s) {
    constexpr quint32 kSectionRva = 0x1000;
    constexpr quint32 kRawOffset = 0x200;
    const quint16 optionalSize = s.pe32plus ? 240 : 224;
    QByteArray rsrc;
    if (s.withResource) {
        const QByteArray version = VersionResource(s);
        rsrc = QByteArray(0x58, '\0');
        // Root: one ID entry, type 16, to the name directory at 0x18.
        Put16(rsrc, 14, 1);
        Put32(rsrc, 16, 16);
        Put32(rsrc, 20, 0x80000000u | 0x18);
        // Names: ID 1 to the language directory at 0x30.
        Put16(rsrc, 0x18 + 14, 1);
        Put32(rsrc, 0x18 + 16, 1);
        Put32(rsrc, 0x18 + 20, 0x80000000u | 0x30);
        // Languages: the data entry at 0x48.
        Put16(rsrc, 0x30 + 14, 1);
        Put32(rsrc, 0x30 + 16, s.language);
        Put32(rsrc, 0x30 + 20, 0x48);
        Put32(rsrc, 0x48, kSectionRva + 0x58);
        Put32(rsrc, 0x48 + 4, quint32(version.size()));
        rsrc += version;
    } else {
        rsrc = QByteArray(16, '\0'); // an empty resource directory
    }
    rsrc += s.padding;
    while (rsrc.size() % 0x200)
        rsrc.append('\0');

    QByteArray image(kRawOffset, '\0');
    image[0] = 'M';
    image[1] = 'Z';
    Put32(image, 0x3C, 0x40);
    const qsizetype pe = 0x40;
    image.replace(pe, 4, QByteArray("PE\0\0", 4));
    const qsizetype coff = pe + 4;
    Put16(image, coff, s.pe32plus ? 0x8664 : 0x014c);
    Put16(image, coff + 2, 1);
    Put16(image, coff + 16, optionalSize);
    Put16(image, coff + 18, 0x2102);
    const qsizetype opt = coff + 20;
    Put16(image, opt, s.pe32plus ? 0x20b : 0x10b);
    const qsizetype countAt = opt + (s.pe32plus ? 108 : 92);
    const qsizetype dirs = opt + (s.pe32plus ? 112 : 96);
    Put32(image, opt + 32, 0x1000); // section alignment
    Put32(image, opt + 36, 0x200);  // file alignment
    Put32(image, countAt, 16);
    Put32(image, dirs + 16, kSectionRva);
    Put32(image, dirs + 20, quint32(rsrc.size() - s.padding.size()));
    const qsizetype section = opt + optionalSize;
    image.replace(section, 6, QByteArray(".rsrc\0", 6));
    Put32(image, section + 8, quint32(rsrc.size()));
    Put32(image, section + 12, kSectionRva);
    Put32(image, section + 16, quint32(rsrc.size()));
    Put32(image, section + 20, kRawOffset);
    Put32(image, section + 36, 0x40000040u);
    return image + rsrc;
}

} // namespace PeImage
