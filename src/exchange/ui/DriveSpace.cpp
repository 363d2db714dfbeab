#include "exchange/ui/DriveSpace.h"

#include "platform/RemovableDrives.h"
#include "store/TextFormat.h"

#include <QFileDialog>
#include <QLocale>
#include <QPixmap>

namespace DriveSpace {

namespace {
FolderChooser& Chooser() {
    static FolderChooser chooser;
    return chooser;
}
} // namespace

QString Text(quint64 bytes, const TextLookup& lookup) {
    const bool kilobytes = bytes <= kKilobyteLimit;
    const quint64 amount = kilobytes ? bytes / 1024 : bytes / 1048576;
    return FormatText(ExchangeText::Resolve(lookup, kilobytes ? 31361 : 50064),
                      QLocale::system().toString(qulonglong(amount)));
}

bool TextOf(const QString& path, const TextLookup& lookup, QString& text) {
    quint64 bytes = 0;
    if (!RemovableDrives().FreeSpace(path, bytes)) {
        text = ExchangeText::Resolve(lookup, 50040);
        return false;
    }
    text = Text(bytes, lookup);
    return true;
}

QString ChooseFolder(QWidget* parent, const QString& title, const QString& current) {
    if (Chooser())
        return Chooser()(parent, title, current);
    // Only folders, and no button that creates one.
    return QFileDialog::getExistingDirectory(parent, title, current,
                                             QFileDialog::ShowDirsOnly | QFileDialog::ReadOnly);
}

void SetFolderChooser(FolderChooser chooser) {
    Chooser() = std::move(chooser);
}

QPixmap Bitmap(const QString& name) {
    return QPixmap(QStringLiteral(":/bitmaps/%1.png").arg(name));
}

} // namespace DriveSpace
