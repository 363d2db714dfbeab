#pragma once

#include "exchange/XmlSource.h"

#include <QList>

class CVELMOR740PCRemoteDoc;
class QWidget;

// The import and export dialogs as the program opens them: the document's settings go in,
// what the dialogs changed comes back into the document and the settings file.
namespace ExchangeDialogs {

// Installs the import dialog as the runner of the catalogue's import entry.
void InstallImport();

// The export dialog of a directory: kind, target kind (3 drive, 4 folder, 5 CSV) and the
// selected ids in list order. Writes [Import] Disk and Folder when they changed; true when
// the export ended with success (the directory then refreshes its list).
bool OpenExport(QWidget* parent, CVELMOR740PCRemoteDoc& doc, ExchangeKind kind, int target,
                const QList<qint32>& ids);

} // namespace ExchangeDialogs
