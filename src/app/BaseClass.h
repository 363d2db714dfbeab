#pragma once

#include "app/DirectoryList.h"
#include "app/MenuEntry.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>

class CBaseClass;
class CVELMOR740PCRemoteDoc;

// The main view's state besides its list and its directory objects.
struct CMainViewState {
    CListItemRecord selectedItem;    // copy of the first selected item's record
    bool multipleSelection = false;  // more than one item selected at the last change
    bool historyShown = false;       // a device protocol history list is shown
    bool maySaveBackPosition = true; // the next history list stores the back position
    qint32 backPosition = 0;         // record id re-selected when Back leaves a history list
    QList<qint32> idsToPrint;        // for the print and print preview commands
    bool printSpecifications = false;
    QString printTitle;
    qint32 errorTextId = 0; // error of the last transfer, a TextID
    QString errorDetail;
};

// The nine directory objects of the view, in the order the view declares them.
enum class DirectoryKind {
    Root,           // the catalogue itself (CBaseClass)
    RS232Test,      // CRS232VerbindungsTest
    SoftwareUpdate, // CRS232SoftwareUpdate
    Import,         // CImportObject
    TypObject,      // the test specification directory
    TypTable,       // the handler of one test specification row
    GeraeteObject,  // the device protocol directory
    GeraetTable,    // the handler of one device protocol row
    PrintHeader     // CPrintHeaderObject
};
constexpr int kDirectoryKindCount = 9;

// The modal dialogs that catalogue entries open.
enum class CatalogueDialog { Import, SoftwareUpdate, PrintHeader, RS232Test };

struct CatalogueDialogResult {
    bool available = false;             // the dialog exists in this build and ran
    bool serialSettingsChanged = false; // the document's port, baud rate or data bits changed
};

// A modeless progress window of a long operation that runs on the user-interface thread.
class CDirectoryProgress {
public:
    virtual ~CDirectoryProgress() = default;
    virtual void SetText(const QString& text) = 0;
    virtual void SetPosition(int position) = 0;
    // Lets the window paint and take the Cancel click; true once Cancel was pressed.
    virtual bool Cancelled() = 0;
};

// What the filter and sort dialog is given and returns (the three stored lists restore it).
struct CFilterRequest {
    QString key;       // "TYPE" or "GERAETE"
    QString baseQuery; // the directory's base statement
    int filterOn = 0;  // -1 on, 0 off
    QString query;     // the stored statement
    QStringList list1, list2, list3;
};

// What a directory object sees of the main view. The view implements it; directories
// use it to fill the list, keep the view's state and reach the windows.
class CDirectoryView {
public:
    virtual ~CDirectoryView() = default;

    virtual CVELMOR740PCRemoteDoc& Document() = 0;
    virtual CDirectoryList& List() = 0;
    virtual CMainViewState& State() = 0;

    // The view's directory objects; the root object shows the catalogue. The current
    // directory serves the list as a whole.
    virtual CBaseClass& Directory(DirectoryKind kind) = 0;
    CBaseClass& RootObject() { return Directory(DirectoryKind::Root); }
    virtual CBaseClass* CurrentDirectory() const = 0;
    virtual void SetCurrentDirectory(CBaseClass* directory) = 0;

    // Tells the frame how many items the list holds.
    virtual void SendItemCount(int count) = 0;
    // Redraws the information pane and updates the commands from the document's flags.
    virtual void RedrawAll() = 0;
    // Before a worker starts: disables the main window and sets Back, Action and Filter
    // indeterminate. The worker's end message undoes it.
    virtual void LockMainWindow() = 0;
    virtual void UnlockMainWindow() = 0;
    // Runs the dialog modally; when the build lacks it, tells the user so.
    virtual CatalogueDialogResult RunCatalogueDialog(CatalogueDialog dialog) = 0;
    // The context menu dialog; returns the chosen command, 1 on Cancel, -1 when none is shown.
    virtual qint32 RunMenu(const QString&, const QString&, const QList<CMenuEntry>&) { return -1; }
    // A progress window (title, Cancel button text, text, range); null when none can be shown.
    virtual std::unique_ptr<CDirectoryProgress> OpenProgress(const QString&, const QString&, const QString&,
                                                             int) {
        return nullptr;
    }
    // The filter and sort dialog; true on OK with the request updated.
    virtual bool RunFilterDialog(CFilterRequest&) { return false; }
    // Export to the tester: locks the main window, shows the transfer window and starts the
    // send worker; its end arrives as the transfer-ended message.
    virtual void StartSend(bool /*specifications*/, const QList<qint32>& /*ids*/) {}
};

// A directory object: the handler of the list as a whole (the current directory) and of
// its items. The view forwards every user action to one of these operations.
class CBaseClass {
public:
    virtual ~CBaseClass() = default;
    // An item of this handler became the selection.
    virtual void DoClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc);
    // The item was double-clicked or Enter pressed; also shows this directory. Here: the
    // catalogue.
    virtual void DoDoubleClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc);
    // A click left no item selected.
    virtual void DoEmptyClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc);
    // The filter command or the Home key.
    virtual void DoFilterFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc);
    // The context menu of the selected item.
    virtual void DoActionFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc, qint32 recordId);
    // A background transfer or export finished successfully.
    virtual void RefreshView(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc);

protected:
    // The message of an operation that a class does not override.
    static void NoOverride(const char* operation);
    // The information pane as the catalogue shows it: no details, title 50001, hint 50002.
    static void ResetInfoPane(CVELMOR740PCRemoteDoc& doc);
};

// One entry of the directory catalogue.
struct CCatalogueEntry {
    qint32 captionTextId;
    const char* bitmap;
    DirectoryKind handler;
};
// The six entries in their order; the import entry's bitmap follows the interface.
const QList<CCatalogueEntry>& CatalogueEntries();
// "IDB_IMPORT", "IDB_IMPORT_USB" or "IDB_IMPORT_FOLDER" for import interface 0, 1 or 2.
QString ImportBitmap(int importInterface);
