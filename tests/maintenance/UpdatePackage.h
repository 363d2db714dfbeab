#pragma once

// A small update package in a temporary folder: PE files with version resources, a
// firmware file, a text file in a subfolder and the copy list.
#include "mkupdate/PeImage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

struct CUpdatePackage {
    QTemporaryDir dir;
    QMap<QString, QByteArray> files; // name in the package, bytes

    QString Folder() const { return dir.path(); }

    static QByteArray Pe(const QString& version, int extra) {
        PeImage::Spec s;
        s.fileVersion = version;
        s.productVersion = version;
        for (int i = 0; i < extra; ++i)
            s.padding += char(i * 31 + extra);
        return PeImage::Build(s);
    }
    void Add(const QString& name, const QByteArray& bytes) {
        files.insert(name, bytes);
        const QString path = dir.filePath(QString(name).replace(QLatin1Char('\\'), QLatin1Char('/')));
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
    }
    void List(const QByteArray& text) { Add(QStringLiteral("CopyList.txt"), text); }

    // Package version 4.5.0.0, minimum 4.0.0, firmware V2.12.
    static CUpdatePackage* Standard() {
        auto* p = new CUpdatePackage;
        QByteArray firmware;
        for (int i = 0; i < 5000; ++i)
            firmware += char(0xFF - i % 7);
        p->Add(QStringLiteral("Velmor740SoftwareVersion.dll"), Pe(QStringLiteral("4.5.0.0"), 100));
        p->Add(QStringLiteral("Velmor740.exe"), Pe(QStringLiteral("4.5.0.0"), 3000));
        p->Add(QStringLiteral("Remote.dll"), Pe(QStringLiteral("1.0.8.0"), 10));
        p->Add(QStringLiteral("Firmware_V2.12.bin"), firmware);
        p->Add(QStringLiteral("Texts\\Languages.txt"), "Deutsch\r\nEnglish\r\n");
        p->List("minversion 4.0.0\r\n"
                "firmware V2.12\r\n"
                "copy Velmor740.exe \\%SYSTEM%\\Velmor740.exe\r\n"
                "copy_iflessthen_minversion Remote.dll \\%SYSTEM%\\Remote.dll\r\n"
                "copy_ifnotequal_firmware Firmware_V2.12.bin \\%SYSTEM%\\Firmware\\Firmware_V2.12.bin\r\n"
                "copy Texts\\Languages.txt \\%SYSTEM%\\Texts\\Languages.txt\r\n"
                "copy Velmor740SoftwareVersion.dll \\%SYSTEM%\\Velmor740SoftwareVersion.dll\r\n");
        return p;
    }
};
