// libFuzzer target for the version reader of PE files: the headers, the section table,
// the three levels of the resource tree and the version blocks. Any input must end in a
// value or one of the failure markers, never in a read outside its bytes.
#include "maintenance/FileVersionReader.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>

int FuzzFileVersion(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    for (const QString& key : {QStringLiteral("FileVersion"), QStringLiteral("ProductVersion")}) {
        QString text;
        const bool ok = FileVersion::ReadVersionValue(bytes, key, text);
        if (!ok && !text.endsWith(QLatin1String(" ?")))
            __builtin_trap();
    }
    // The version blocks on their own, as if the input were the resource.
    QString value;
    (void)FileVersion::QueryValue(bytes, QStringLiteral("FileVersion"), value);
    return 0;
}

#ifndef V740_FUZZ_NO_MAIN
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return FuzzFileVersion(data, size);
}
#endif
