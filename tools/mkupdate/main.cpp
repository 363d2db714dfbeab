// v740_mkupdate: writes the demo update package (copy list, PE files with version
// resources, a firmware file) into a folder, for ./run and for trying the update against
// v740sim.
#include "mkupdate/PeImage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>

namespace {

bool Write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray Filler(const char* seed, int size) {
    QByteArray b;
    b.reserve(size);
    quint32 x = 2166136261u;
    for (const char* p = seed; *p; ++p)
        x = (x ^ quint8(*p)) * 16777619u;
    while (b.size() < size) {
        x = x * 1103515245u + 12345u;
        b.append(char(x >> 16));
    }
    return b;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: v740_mkupdate FOLDER\n");
        return 2;
    }
    const QString folder = args[1];
    auto pe = [](const QString& version, int extra) {
        PeImage::Spec s;
        s.fileVersion = version;
        s.productVersion = version;
        s.padding = Filler(version.toLatin1().constData(), extra);
        return PeImage::Build(s);
    };
    const QByteArray list =
        "; VELMOR 740/750ST update package (demo)\r\n"
        "minversion\t4.0.0\r\n"
        "firmware V2.12\r\n"
        "copy Velmor740SoftwareVersion.dll \\%SYSTEM%\\Velmor740SoftwareVersion.dll\r\n"
        "copy Velmor740.exe \\%SYSTEM%\\Velmor740.exe\r\n"
        "copy_iflessthen_minversion Remote.dll \\%SYSTEM%\\Remote.dll\r\n"
        "copy_ifnotequal_firmware Firmware_V2.12.bin \\%SYSTEM%\\Firmware\\Firmware_V2.12.bin\r\n"
        "copy_ifnotequal_firmware Firmware_1.40.bin \\%SYSTEM%\\Firmware\\Firmware_1.40.bin\r\n"
        "copy Texts\\Languages.txt \\%SYSTEM%\\Texts\\Languages.txt\r\n";
    const bool ok =
        Write(folder + QStringLiteral("/CopyList.txt"), list) &&
        Write(folder + QStringLiteral("/Velmor740SoftwareVersion.dll"),
              pe(QStringLiteral("4.5.0.0"), 2000)) &&
        Write(folder + QStringLiteral("/Velmor740.exe"), pe(QStringLiteral("4.5.0.0"), 150000)) &&
        Write(folder + QStringLiteral("/Remote.dll"), pe(QStringLiteral("1.0.8.0"), 30000)) &&
        Write(folder + QStringLiteral("/Firmware_V2.12.bin"), Filler("V2.12", 60000)) &&
        Write(folder + QStringLiteral("/Firmware_1.40.bin"), Filler("1.40", 40000)) &&
        Write(folder + QStringLiteral("/Texts/Languages.txt"),
              "Castellano\r\nCesky\r\nDeutsch\r\nEnglish\r\nFrancais\r\nItaliano\r\nOesterreichisch\r\n");
    if (!ok) {
        std::fprintf(stderr, "v740_mkupdate: cannot write the package into %s\n",
                     folder.toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
