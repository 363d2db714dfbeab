#pragma once

#include <QList>
#include <QString>
#include <memory>

class CPrintSurface;
class CVELMOR740PCRemoteDoc;
class QWidget;

// Printing from the program: the print setup of the main menu, and the print, print
// outline and print preview commands of the two data directories.
namespace PrintCommands {

// Installs the three commands in the directories' command registry.
void Install();

// The print setup: the printer (or "Save as PDF") and its page.
void RunPrintSetup(QWidget* parent, CVELMOR740PCRemoteDoc& doc);

// Where a print goes: the printer of the print setup, or the system's default printer;
// a PDF file when the setup says so or, after asking, when there is no printer. Null when
// the user gave up.
std::unique_ptr<CPrintSurface> ChooseSurface(QWidget* parent, CVELMOR740PCRemoteDoc& doc,
                                             const QString& suggestedName);

// Shows the preview of the ids: one id its report, several the outline list.
void RunPreview(QWidget* parent, CVELMOR740PCRemoteDoc& doc, bool specifications, const QList<qint32>& ids,
                const QString& title);

} // namespace PrintCommands
