// libFuzzer target for the copy list reader: line ends, field splitting, the commands and
// their decisions against tester versions taken from the input. Any input must be read
// without a crash; the entries keep the file order.
#include "maintenance/CopyListReader.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <cstddef>
#include <cstdint>

int FuzzCopyList(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    // The first line names the tester's software and firmware versions.
    const qsizetype lf = bytes.indexOf('\n');
    const QByteArray head = lf < 0 ? QByteArray() : bytes.left(lf);
    const QList<QByteArray> versions = head.split(' ');
    CCopyListReader reader;
    reader.SetTesterVersions(QString::fromUtf8(versions.value(0)), QString::fromUtf8(versions.value(1)));
    // Names whose hash is a multiple of 5 are missing from the package.
    const bool ok = reader.Parse(bytes.mid(lf + 1), [](const QString& name) -> qint64 {
        const size_t h = qHash(name);
        return h % 5 == 0 ? -1 : qint64(h % 100000);
    });
    if (!ok && reader.EntryCount() != 0)
        __builtin_trap();
    qint64 total = 0;
    for (const CopyEntry& e : reader.Entries())
        total += e.size;
    if (total != reader.TotalSize())
        __builtin_trap();
    return 0;
}

#ifndef V740_FUZZ_NO_MAIN
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzCopyList(data, size);
}
#endif
