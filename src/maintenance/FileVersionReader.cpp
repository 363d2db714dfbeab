#include "maintenance/FileVersionReader.h"

#include <QFile>
#include <new>
#include <optional>

namespace FileVersion {
namespace {

const QString kNoResource = QStringLiteral("InfoSize ?");
const QString kNoMemory = QStringLiteral("RAM ?");
const QString kUnreadable = QStringLiteral("VersionInfo ?");
const QString kNoValue = QStringLiteral("Info ?");

constexpr quint32 kRtVersion = 16;

// Little-endian reads that refuse to leave the bytes.
class CBytes {
public:
    explicit CBytes(const QByteArray& bytes) : m_b(bytes) {}
    qint64 Size() const { return m_b.size(); }
    bool Has(qint64 offset, qint64 count) const {
        return offset >= 0 && count >= 0 && offset <= Size() && count <= Size() - offset;
    }
    std::optional<quint16> U16(qint64 o) const {
        if (!Has(o, 2))
            return std::nullopt;
        return quint16(quint8(m_b[o]) | quint8(m_b[o + 1]) << 8);
    }
    std::optional<quint32> U32(qint64 o) const {
        if (!Has(o, 4))
            return std::nullopt;
        return quint32(quint8(m_b[o])) | quint32(quint8(m_b[o + 1])) << 8 |
               quint32(quint8(m_b[o + 2])) << 16 | quint32(quint8(m_b[o + 3])) << 24;
    }
    QByteArray Mid(qint64 o, qint64 n) const { return m_b.mid(o, n); }

private:
    const QByteArray& m_b;
};

struct Section {
    quint32 va, vsize, raw, rawSize;
};

// File offset of an RVA inside one of the sections (within its raw data).
std::optional<qint64> RvaToOffset(const std::vector<Section>& sections, quint32 rva, quint32 size,
                                  const CBytes& b) {
    for (const Section& s : sections) {
        const quint64 span = std::min<quint64>(std::max(s.vsize, s.rawSize), s.rawSize);
        if (rva >= s.va && quint64(rva) - s.va < span) {
            const qint64 off = qint64(s.raw) + (qint64(rva) - s.va);
            if (!b.Has(off, size) || quint64(rva) - s.va + size > span)
                return std::nullopt;
            return off;
        }
    }
    return std::nullopt;
}

// The entry of a resource directory at dirOffset (relative to the resource base) with the
// given ID, or the first entry when id is empty. Returns the entry's OffsetToData.
std::optional<quint32> DirectoryEntry(const CBytes& b, qint64 base, qint64 limit, quint32 dirOffset,
                                      std::optional<quint32> id) {
    const qint64 dir = base + dirOffset;
    if (qint64(dirOffset) + 16 > limit)
        return std::nullopt;
    const auto named = b.U16(dir + 12);
    const auto ids = b.U16(dir + 14);
    if (!named || !ids)
        return std::nullopt;
    const int count = *named + *ids;
    for (int i = 0; i < count; ++i) {
        const qint64 e = dir + 16 + qint64(i) * 8;
        if (e + 8 - base > limit)
            return std::nullopt;
        const auto name = b.U32(e);
        const auto data = b.U32(e + 4);
        if (!name || !data)
            return std::nullopt;
        if (!id || (!(*name & 0x80000000u) && *name == *id))
            return *data;
    }
    return std::nullopt;
}

QString Utf16At(const CBytes& b, qint64 offset, qint64 end, qint64& after) {
    QString s;
    qint64 o = offset;
    while (o + 2 <= end) {
        const auto c = b.U16(o);
        if (!c)
            break;
        o += 2;
        if (*c == 0) {
            after = o;
            return s;
        }
        s += QChar(*c);
    }
    after = -1;
    return s;
}

qint64 Align4(qint64 v) {
    return (v + 3) & ~qint64(3);
}

// One block of the version resource: its key, where its value and children start, its end.
struct Block {
    QString key;
    quint16 valueLength = 0;
    quint16 type = 0;
    qint64 value = 0;
    qint64 end = 0;
};

std::optional<Block> ReadBlock(const CBytes& b, qint64 offset, qint64 parentEnd) {
    const auto length = b.U16(offset);
    const auto valueLength = b.U16(offset + 2);
    const auto type = b.U16(offset + 4);
    if (!length || !valueLength || !type || *length < 6 || offset + *length > parentEnd)
        return std::nullopt;
    Block block;
    block.end = offset + *length;
    block.valueLength = *valueLength;
    block.type = *type;
    qint64 after = -1;
    block.key = Utf16At(b, offset + 6, block.end, after);
    if (after < 0)
        return std::nullopt;
    block.value = Align4(after);
    return block;
}

// Children of a block from the given start up to the block's end.
template <typename F> bool ForChildren(const CBytes& b, qint64 start, qint64 end, F&& f) {
    qint64 o = Align4(start);
    while (o + 6 <= end) {
        const auto child = ReadBlock(b, o, end);
        if (!child)
            return false;
        if (f(*child))
            return true;
        // Every block has a length of at least 6, so the walk always moves on.
        o = Align4(child->end);
    }
    return true;
}

} // namespace

bool FindVersionResource(const QByteArray& file, QByteArray& resource) {
    const CBytes b(file);
    if (!b.Has(0, 64) || file[0] != 'M' || file[1] != 'Z')
        return false;
    const auto lfanew = b.U32(0x3C);
    if (!lfanew || !b.Has(*lfanew, 24) || b.Mid(*lfanew, 4) != QByteArray("PE\0\0", 4))
        return false;
    const qint64 coff = qint64(*lfanew) + 4;
    const auto sectionCount = b.U16(coff + 2);
    const auto optionalSize = b.U16(coff + 16);
    const qint64 opt = coff + 20;
    const auto magic = b.U16(opt);
    if (!sectionCount || !optionalSize || !magic)
        return false;
    qint64 dirs = 0, countAt = 0;
    if (*magic == 0x10b) {
        countAt = opt + 92;
        dirs = opt + 96;
    } else if (*magic == 0x20b) {
        countAt = opt + 108;
        dirs = opt + 112;
    } else {
        return false;
    }
    const auto dirCount = b.U32(countAt);
    if (!dirCount || *dirCount < 3 || dirs + 3 * 8 > opt + *optionalSize)
        return false;
    const auto rsrcRva = b.U32(dirs + 16);
    const auto rsrcSize = b.U32(dirs + 20);
    if (!rsrcRva || !rsrcSize || *rsrcRva == 0 || *rsrcSize < 16)
        return false;
    std::vector<Section> sections;
    const qint64 table = opt + *optionalSize;
    for (int i = 0; i < *sectionCount; ++i) {
        const qint64 s = table + qint64(i) * 40;
        const auto vsize = b.U32(s + 8), va = b.U32(s + 12), rawSize = b.U32(s + 16), raw = b.U32(s + 20);
        if (!vsize || !va || !rawSize || !raw)
            return false;
        sections.push_back({*va, *vsize, *raw, *rawSize});
    }
    // The resource tree as far as it lies in the file; offsets inside it are checked
    // against that span.
    std::optional<qint64> base = RvaToOffset(sections, *rsrcRva, 16, b);
    if (!base)
        return false;
    qint64 limit = std::min<qint64>(*rsrcSize, b.Size() - *base);
    for (const Section& s : sections)
        if (*rsrcRva >= s.va && quint64(*rsrcRva) - s.va < s.rawSize)
            limit = std::min<qint64>(limit, qint64(s.rawSize) - (qint64(*rsrcRva) - s.va));
    // Type, name, language: three levels, each one step down, so a tree that points back
    // at itself ends at the third level instead of looping.
    auto typeEntry = DirectoryEntry(b, *base, limit, 0, kRtVersion);
    if (!typeEntry || !(*typeEntry & 0x80000000u))
        return false;
    auto nameEntry = DirectoryEntry(b, *base, limit, *typeEntry & 0x7FFFFFFFu, std::nullopt);
    if (!nameEntry || !(*nameEntry & 0x80000000u))
        return false;
    auto langEntry = DirectoryEntry(b, *base, limit, *nameEntry & 0x7FFFFFFFu, std::nullopt);
    if (!langEntry || (*langEntry & 0x80000000u) || qint64(*langEntry) + 16 > limit)
        return false;
    const auto dataRva = b.U32(*base + *langEntry);
    const auto dataSize = b.U32(*base + *langEntry + 4);
    if (!dataRva || !dataSize)
        return false;
    const auto data = RvaToOffset(sections, *dataRva, *dataSize, b);
    if (!data) {
        resource.clear(); // present but not readable
        return true;
    }
    resource = b.Mid(*data, *dataSize);
    return true;
}

int QueryValue(const QByteArray& resource, const QString& key, QString& value) {
    const CBytes b(resource);
    const auto root = ReadBlock(b, 0, b.Size());
    if (!root || root->key != QLatin1String("VS_VERSION_INFO"))
        return -1;
    const qint64 children = Align4(root->value + root->valueLength);
    if (children > root->end)
        return -1;
    // The blocks of StringFileInfo by name, and the first translation.
    QString translation;
    std::optional<Block> stringInfo;
    bool ok = ForChildren(b, children, root->end, [&](const Block& c) {
        if (c.key.compare(QLatin1String("StringFileInfo"), Qt::CaseInsensitive) == 0 && !stringInfo)
            stringInfo = c;
        else if (c.key.compare(QLatin1String("VarFileInfo"), Qt::CaseInsensitive) == 0)
            ForChildren(b, c.value + c.valueLength, c.end, [&](const Block& v) {
                if (v.key.compare(QLatin1String("Translation"), Qt::CaseInsensitive) != 0)
                    return false;
                const auto lang = b.U16(v.value);
                const auto page = b.U16(v.value + 2);
                if (lang && page && v.valueLength >= 4 && v.value + 4 <= v.end)
                    translation = QStringLiteral("%1%2")
                                      .arg(*lang, 4, 16, QLatin1Char('0'))
                                      .arg(*page, 4, 16, QLatin1Char('0'));
                return true;
            });
        return false;
    });
    if (!ok)
        return -1;
    if (!stringInfo)
        return 0;
    auto lookIn = [&](const QString& blockName, bool& found) {
        found = false;
        return ForChildren(b, stringInfo->value + stringInfo->valueLength, stringInfo->end,
                           [&](const Block& t) {
                               if (t.key.compare(blockName, Qt::CaseInsensitive) != 0)
                                   return false;
                               ForChildren(b, t.value, t.end, [&](const Block& s) {
                                   if (s.key.compare(key, Qt::CaseInsensitive) != 0)
                                       return false;
                                   // The value's length counts characters for text values, bytes otherwise.
                                   const qint64 chars = s.type == 1 ? s.valueLength : s.valueLength / 2;
                                   const qint64 end = std::min<qint64>(s.end, s.value + chars * 2);
                                   qint64 after = -1;
                                   value = Utf16At(b, s.value, end, after);
                                   found = true;
                                   return true;
                               });
                               return true;
                           });
    };
    bool found = false;
    if (!lookIn(QStringLiteral("040704b0"), found))
        return -1;
    if (!found && !translation.isEmpty() && !lookIn(translation, found))
        return -1;
    return found ? 1 : 0;
}

bool ReadVersionValue(const QByteArray& file, const QString& key, QString& text) {
    QByteArray resource;
    if (!FindVersionResource(file, resource)) {
        text = kNoResource;
        return false;
    }
    QString value;
    const int r = resource.isEmpty() ? -1 : QueryValue(resource, key, value);
    if (r < 0) {
        text = kUnreadable;
        return false;
    }
    if (r == 0) {
        text = kNoValue;
        return false;
    }
    text = value;
    return true;
}

namespace {

bool ReadFromFile(const QString& path, const QString& key, QString& text) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        text = kNoResource;
        return false;
    }
    QByteArray bytes;
    try {
        bytes = file.readAll();
    } catch (const std::bad_alloc&) {
        text = kNoMemory;
        return false;
    }
    return ReadVersionValue(bytes, key, text);
}

} // namespace

bool ReadFileVersion(const QString& path, QString& text) {
    return ReadFromFile(path, QStringLiteral("FileVersion"), text);
}

bool ReadProductVersion(const QString& path, QString& text) {
    return ReadFromFile(path, QStringLiteral("ProductVersion"), text);
}

} // namespace FileVersion
