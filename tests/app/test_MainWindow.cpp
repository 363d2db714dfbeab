// The main window under the offscreen platform: frame, status bar, menus, the catalogue
// and the routing of mouse, keys and commands to the directory objects.
#include "app/BaseClass.h"
#include "app/DirectoryCommands.h"
#include "app/VELMOR740PCRemoteDoc.h"
#include "app/WindowMessages.h"
#include "app/ui/AboutDlg.h"
#include "app/ui/Artwork.h"
#include "app/ui/CatalogueDialogs.h"
#include "app/ui/InfoView.h"
#include "app/ui/MainFrame.h"
#include "app/ui/MenuDialog.h"
#include "app/ui/VELMOR740PCRemoteView.h"
#include "print/ui/PrinterSurface.h"
#include "store/AdoDatabase.h"
#include "store/TextCatalog.h"
#include "store/UserSchema.h"
#include "store/UserSetUpInfo.h"
#include "support/TestSupport.h"
#include "views/ui/FilterDlg.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QListWidget>
#include <QMenuBar>
#include <QProcess>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeView>
#include <QtTest>
#include <thread>

namespace {

// A small report directory: three rows, the second drawn blue. It records what the view
// asks of it, so the routing of the view can be watched with a real list.
class CReportDirectory : public CBaseClass {
public:
    void DoClickFunction(CDirectoryView&, CVELMOR740PCRemoteDoc& doc) override {
        ++clicks;
        doc.InfoPane().actionEnabled = true;
    }
    void DoDoubleClickFunction(CDirectoryView& view, CVELMOR740PCRemoteDoc& doc) override {
        ++opens;
        CDirectoryList& list = view.List();
        list.Clear();
        view.SetCurrentDirectory(this);
        list.SetMode(ListMode::Report);
        list.InsertColumn(0, QStringLiteral("Device"), 150);
        list.InsertColumn(1, QStringLiteral("Client"), 120);
        for (int i = 0; i < 3; ++i) {
            CListItemRecord record{i, 100 + i, i == 1 ? MakeItemColour(0, 0, 255) : 0, this};
            const int row = list.AppendItem(QStringLiteral("Device %1").arg(i), -1, record);
            list.SetItemText(row, 1, QStringLiteral("Client %1").arg(i));
        }
        const int reselect = list.FindRecord(view.State().selectedItem.recordId);
        if (reselect >= 0)
            list.SelectRow(reselect);
        CInfoPaneState& pane = doc.InfoPane();
        pane.bannerBitmap = QStringLiteral("IDB_TYPKAT");
        pane.backEnabled = true;
        pane.filterEnabled = true;
        pane.actionEnabled = reselect >= 0;
        view.SendItemCount(list.ItemCount());
    }
    void DoEmptyClickFunction(CDirectoryView&, CVELMOR740PCRemoteDoc& doc) override {
        ++empties;
        doc.InfoPane().actionEnabled = false;
    }
    void DoFilterFunction(CDirectoryView&, CVELMOR740PCRemoteDoc&) override { ++filters; }
    void DoActionFunction(CDirectoryView&, CVELMOR740PCRemoteDoc&, qint32 recordId) override {
        actions << recordId;
    }
    void RefreshView(CDirectoryView&, CVELMOR740PCRemoteDoc&) override { ++refreshes; }

    int clicks = 0, opens = 0, empties = 0, filters = 0, refreshes = 0;
    QList<qint32> actions;
};

// A menu's title as shown, without its mnemonic marker.
QString CaptionOf(QMenu* menu) {
    return menu ? menu->title().remove(QLatin1Char('&')) : QString();
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> tmp;
    QString local;
    std::unique_ptr<CRecordingNotifier> notes;
    std::unique_ptr<CScopedNotifier> scope;
    std::unique_ptr<CWindowMessages> messages;
    std::unique_ptr<CVELMOR740PCRemoteDoc> doc;
    std::unique_ptr<CMainFrame> frame;

    CVELMOR740PCRemoteView& View() { return *frame->View(); }
    CDirectoryList& List() { return frame->View()->List(); }
    QPoint ItemCentre(int row) {
        QAbstractItemView* list = View().ActiveList();
        return list->visualRect(List().index(row, 0)).center();
    }
    QWidget* Viewport() { return View().ActiveList()->viewport(); }
    QPoint EmptySpot() { return QPoint(Viewport()->width() - 5, Viewport()->height() - 5); }
    // A double-click as the window system delivers it: press, release, double-click, release.
    void DoubleClick(int row) {
        const QPoint at = ItemCentre(row);
        QWidget* viewport = Viewport();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
    }

    // Starts the document and shows the frame on a fresh data folder.
    void Start(const QByteArray& ini = QByteArray()) {
        frame.reset();
        doc.reset();
        if (!ini.isEmpty()) {
            QFile f(local + QStringLiteral("/V740Control.ini"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(ini);
        }
        doc = std::make_unique<CVELMOR740PCRemoteDoc>();
        doc->SetMessages(messages.get());
        QVERIFY2(doc->OnNewDocument(), qPrintable(notes->messages.join(QStringLiteral(" | "))));
        frame = std::make_unique<CMainFrame>(*doc, *messages);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    }

private slots:
    void init() {
        tmp = std::make_unique<QTemporaryDir>();
        local = tmp->filePath(QStringLiteral("common/VELMOR 740ST - Roziraz Uvurad"));
        QVERIFY(QDir().mkpath(local));
        qputenv("VELMOR_COMMON_APPDATA", tmp->filePath(QStringLiteral("common")).toUtf8());
        qputenv("XDG_CONFIG_HOME", tmp->filePath(QStringLiteral("config")).toUtf8());
        qputenv("VELMOR_PROGRAM_FILES", QByteArray(V740_BIN_DIR));
        QVERIFY(UserSchema::CreateUserDatabase(local, QStringLiteral("3.2")));
        notes = std::make_unique<CRecordingNotifier>();
        scope = std::make_unique<CScopedNotifier>(notes.get());
        messages = std::make_unique<CWindowMessages>();
        Start();
    }
    void cleanup() {
        frame.reset();
        doc.reset();
        messages.reset();
        scope.reset();
        notes.reset();
        for (auto d : {CatalogueDialog::Import, CatalogueDialog::SoftwareUpdate, CatalogueDialog::PrintHeader,
                       CatalogueDialog::RS232Test})
            CatalogueDialogs::Install(d, {});
        tmp.reset();
    }

    void frameHasItsPanesBarsAndGermanMenus() {
        QCOMPARE(frame->size(), QSize(800, 600));
        QCOMPARE(frame->windowTitle(), QStringLiteral("VELMOR - Roziraz Uvurad"));
        QCOMPARE(frame->Splitter()->count(), 2);
        QCOMPARE(frame->Splitter()->widget(0), static_cast<QWidget*>(frame->InfoView()));
        QCOMPARE(frame->Splitter()->widget(1), static_cast<QWidget*>(frame->View()));
        QVERIFY(frame->InfoView()->height() >= 70);

        auto* tools = frame->findChild<QToolBar*>(QStringLiteral("toolBar"));
        QVERIFY(tools);
        QList<int> commands;
        for (QAction* a : tools->actions())
            commands << a->data().toInt();
        QCOMPARE(commands, (QList<int>{32780, 32783, 32781}));
        for (int c : {32780, 32783, 32781})
            QVERIFY2(!frame->CommandAction(c)->isEnabled(), "the catalogue has no back, filter or action");

        QCOMPARE(frame->PaneText(0), QStringLiteral("6 Einträge"));
        QCOMPARE(frame->PaneText(1), QString());
        QCOMPARE(frame->PaneIcon(1), 179);
        // A stored "COM1:" is shown as the device the link opens.
        QCOMPARE(frame->PaneText(2), QStringLiteral("Port: /dev/ttyS0"));
        QCOMPARE(frame->PaneIcon(2), 169);
        QCOMPARE(frame->PaneText(3), QStringLiteral("Baud: 115200"));
        QCOMPARE(frame->PaneText(4), QStringLiteral("Datenbits: 8"));

        const QList<QAction*> menus = frame->menuBar()->actions();
        QCOMPARE(menus.size(), 3);
        QCOMPARE(menus[0]->menu()->title(), QStringLiteral("&Datei"));
        QCOMPARE(CaptionOf(menus[0]->menu()), QStringLiteral("Datei"));
        QCOMPARE(CaptionOf(menus[1]->menu()), QStringLiteral("Bearbeiten"));
        QCOMPARE(CaptionOf(menus[2]->menu()), QStringLiteral("Hilfe"));
        QStringList file;
        for (QAction* a : menus[0]->menu()->actions())
            file << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(file,
                 (QStringList{QStringLiteral("Druckereinrichtung..."), QStringLiteral("Datenbankserver..."),
                              QStringLiteral("-"), QStringLiteral("Beenden")}));
        QStringList languages;
        for (QAction* a : menus[1]->menu()->actions())
            if (a->isCheckable())
                languages << a->text() + (a->isChecked() ? QStringLiteral("*") : QString());
        QCOMPARE(languages, (QStringList{QStringLiteral("Castellano"), QStringLiteral("Česky"),
                                         QStringLiteral("Deutsch*"), QStringLiteral("English"),
                                         QStringLiteral("Français"), QStringLiteral("Italiano"),
                                         QStringLiteral("Österreichisch")}));
        QVERIFY2(!frame->CommandAction(32787)->isEnabled(), "the catalogue is single-selection");
        QVERIFY(!frame->CommandAction(32788)->isEnabled());
    }

    void catalogueShowsSixEntriesWithTheirBitmaps() {
        QCOMPARE(List().ItemCount(), 6);
        QCOMPARE(List().Mode(), ListMode::Catalogue);
        QCOMPARE(View().ActiveList(), static_cast<QAbstractItemView*>(View().IconList()));
        QCOMPARE(View().IconList()->selectionMode(), QAbstractItemView::SingleSelection);
        const QStringList captions{QStringLiteral("Import"),           QStringLiteral("Prüfvorschriften"),
                                   QStringLiteral("Geräteprotokolle"), QStringLiteral("Software-Update"),
                                   QStringLiteral("Druckkopf"),        QStringLiteral("RS232-Test")};
        const QStringList bitmaps{QStringLiteral("IDB_IMPORT"),      QStringLiteral("IDB_TYPKAT"),
                                  QStringLiteral("IDB_GEKAT"),       QStringLiteral("IDB_UPDATE"),
                                  QStringLiteral("IDB_PRINTHEADER"), QStringLiteral("IDB_RS232TEST")};
        for (int row = 0; row < 6; ++row) {
            QCOMPARE(List().ItemText(row), captions[row]);
            QCOMPARE(List().ImageName(List().ItemImage(row)), bitmaps[row]);
            QCOMPARE(List().Record(row)->index, row);
            QCOMPARE(List().Record(row)->recordId, 0);
            const QPixmap art = Artwork::Bitmap(bitmaps[row]);
            QCOMPARE(art.size(), QSize(48, 48));
        }
        const CInfoPaneState& pane = doc->InfoPane();
        QCOMPARE(pane.bannerBitmap, QStringLiteral("IDB_KESTRA"));
        QCOMPARE(pane.title, QStringLiteral("Übersicht"));
        QCOMPARE(pane.hint, doc->Text(50002));
        QVERIFY(!Artwork::Bitmap(QStringLiteral("IDB_KESTRA")).isNull());
    }

    void clicksSetTheHintsAndAnEmptyClickResetsThem() {
        struct Case {
            int row;
            QString hint;
        };
        const QList<Case> cases{
            {0, doc->Text(50009) + QLatin1Char(' ') + doc->Text(50010)},
            {1, doc->Text(50012) + QLatin1Char(' ') + doc->Text(50013) + QLatin1Char(' ') + doc->Text(50014)},
            {2, doc->Text(50015) + QLatin1Char(' ') + doc->Text(50016) + QLatin1Char(' ') + doc->Text(50014)},
            {3, doc->Text(50007)},
            {4, doc->Text(50192) + QLatin1Char(' ') + doc->Text(50193)},
            {5, doc->Text(50004) + QLatin1Char(' ') + doc->Text(50005)},
        };
        for (const Case& c : cases) {
            QTest::mouseClick(Viewport(), Qt::LeftButton, {}, ItemCentre(c.row));
            QCOMPARE(List().FirstSelectedRow(), c.row);
            QCOMPARE(View().State().selectedItem.index, c.row);
            QVERIFY(!doc->InfoPane().hint.isEmpty());
            QCOMPARE(doc->InfoPane().hint, c.hint);
            QTest::mouseClick(Viewport(), Qt::LeftButton, {}, EmptySpot());
            QCOMPARE(List().SelectedCount(), 0);
            QCOMPARE(doc->InfoPane().hint, doc->Text(50002));
            QCOMPARE(doc->InfoPane().title, doc->Text(50001));
        }
        QVERIFY(notes->messages.isEmpty());
    }

    void rightClickInTheCatalogueOnlyResets() {
        QTest::mouseClick(Viewport(), Qt::LeftButton, {}, ItemCentre(3));
        QCOMPARE(doc->InfoPane().hint, doc->Text(50007));
        QTest::mouseClick(Viewport(), Qt::RightButton, {}, EmptySpot());
        QCOMPARE(List().SelectedCount(), 0);
        QCOMPARE(doc->InfoPane().hint, doc->Text(50002));
        QVERIFY(!doc->InfoPane().actionEnabled);
        // On an item: it becomes the selection, but with action off nothing else happens.
        QTest::mouseClick(Viewport(), Qt::RightButton, {}, ItemCentre(4));
        QCOMPARE(List().FirstSelectedRow(), 4);
        QTest::keyClick(View().ActiveList(), Qt::Key_Menu);
        QVERIFY2(notes->messages.isEmpty(), qPrintable(notes->messages.join(QStringLiteral(" | "))));
        QCOMPARE(List().ItemCount(), 6);
    }

    void openingAMissingFunctionSaysSoInOneSentence() {
        const QStringList captions{QStringLiteral("Import"),           QStringLiteral("Prüfvorschriften"),
                                   QStringLiteral("Geräteprotokolle"), QStringLiteral("Software-Update"),
                                   QStringLiteral("Druckkopf"),        QStringLiteral("RS232-Test")};
        // Rows 1 and 2 are the data directories, which this build has.
        for (int row : {0, 3, 4, 5}) {
            notes->Clear();
            DoubleClick(row);
            QCOMPARE(notes->messages.size(), 1);
            QCOMPARE(notes->Last(),
                     QStringLiteral("Die Funktion „%1“ ist in dieser Version noch nicht enthalten.")
                         .arg(captions[row]));
            notes->Clear();
            List().ClearSelection();
            List().SelectRow(row);
            QTest::keyClick(View().ActiveList(), Qt::Key_Return);
            QCOMPARE(notes->messages.size(), 1);
            QVERIFY(notes->Last().contains(captions[row]));
        }
        QCOMPARE(List().ItemCount(), 6);
        QVERIFY2(!QFile::exists(local + QStringLiteral("/V740Control.ini")),
                 "nothing ran, nothing is stored");
    }

    void theImportIconFollowsTheInterfaceAndChangesAreStored() {
        struct Step {
            int interface;
            QString drive;
            bool serial;
            QString bitmap;
        };
        const QList<Step> steps{
            {1, QStringLiteral("/media/stick/"), false, QStringLiteral("IDB_IMPORT_USB")},
            {2, QStringLiteral("/MEDIA/STICK/"), true, QStringLiteral("IDB_IMPORT_FOLDER")},
            {0, QStringLiteral("/media/other/"), false, QStringLiteral("IDB_IMPORT")},
        };
        int runs = 0;
        Step current;
        CatalogueDialogs::Install(CatalogueDialog::Import,
                                  [&](QWidget*, CDirectoryView&, CVELMOR740PCRemoteDoc& d) {
                                      ++runs;
                                      d.SetImportInterface(current.interface);
                                      d.SetLastDrive(current.drive);
                                      if (current.serial)
                                          d.SetSerialPort(QStringLiteral("/dev/ttyUSB1"));
                                      CatalogueDialogResult result;
                                      result.serialSettingsChanged = current.serial;
                                      return result;
                                  });
        for (const Step& step : steps) {
            current = step;
            DoubleClick(0);
            QCOMPARE(List().ImageName(List().ItemImage(0)), step.bitmap);
            // The icon drawn for the item is the new one.
            QStyleOptionViewItem option;
            option.initFrom(View().IconList());
            const QSize hint = View().IconList()->itemDelegate()->sizeHint(option, List().index(0, 0));
            QVERIFY(hint.height() >= 48);
            const CProfileFile ini = doc->Profile();
            QCOMPARE(ini.GetInt(QStringLiteral("Import"), QStringLiteral("Interface"), -1), step.interface);
            // A drive that differs only in case is another folder and is stored.
            QCOMPARE(ini.GetString(QStringLiteral("Import"), QStringLiteral("Disk"), QString()), step.drive);
        }
        QCOMPARE(runs, 3);
        const CProfileFile ini = doc->Profile();
        QCOMPARE(ini.GetString(QStringLiteral("Import"), QStringLiteral("Folder"), QStringLiteral("unset")),
                 QStringLiteral("unset"));
        QCOMPARE(ini.GetString(QStringLiteral("Import"), QStringLiteral("PV"), QStringLiteral("unset")),
                 QStringLiteral("unset"));
        QCOMPARE(ini.GetString(QStringLiteral("RS232"), QStringLiteral("Port"), QString()),
                 QStringLiteral("/dev/ttyUSB1"));
        QCOMPARE(ini.GetString(QStringLiteral("RS232"), QStringLiteral("Baudrate"), QString()),
                 QStringLiteral("115200"));

        // The next start shows the stored interface's icon.
        Start();
        QCOMPARE(List().ImageName(List().ItemImage(0)), QStringLiteral("IDB_IMPORT"));
        Start("[Import]\r\nInterface=1\r\n");
        QCOMPARE(List().ImageName(List().ItemImage(0)), QStringLiteral("IDB_IMPORT_USB"));
    }

    void choosingALanguageRebuildsTheMenusAndReturnsToTheCatalogue() {
        CUserSetUpInfo setUp(QStringLiteral("user2.db"), local);
        QVERIFY(setUp.SetFilter(50, -1, QStringLiteral("SELECT * FROM TypenTab")));
        QVERIFY(setUp.SetFilter(60, -1, QStringLiteral("SELECT * FROM GeraeteTab")));
        auto directory = std::make_unique<CReportDirectory>();
        CReportDirectory* dir = directory.get();
        // The catalogue item shown already is served by the new object.
        View().ReplaceDirectory(DirectoryKind::TypObject, std::move(directory));
        DoubleClick(1);
        QCOMPARE(dir->opens, 1);
        QCOMPARE(List().Mode(), ListMode::Report);

        frame->CommandAction(CMainFrame::IdEnglish)->trigger();
        QTRY_COMPARE(doc->Language(), QStringLiteral("English"));
        QCOMPARE(List().Mode(), ListMode::Catalogue);
        QCOMPARE(List().ItemCount(), 6);
        QCOMPARE(List().ItemText(1), QStringLiteral("Test specifications"));
        QCOMPARE(View().CurrentDirectory(), &View().RootObject());
        QCOMPARE(doc->InfoPane().title, QStringLiteral("Overview"));
        const QList<QAction*> menus = frame->menuBar()->actions();
        QCOMPARE(CaptionOf(menus[0]->menu()), QStringLiteral("File"));
        QCOMPARE(CaptionOf(menus[1]->menu()), QStringLiteral("Edit"));
        QCOMPARE(CaptionOf(menus[2]->menu()), QStringLiteral("Help"));
        QCOMPARE(frame->CommandAction(32787)->text(), QStringLiteral("Select all"));
        QVERIFY(frame->CommandAction(CMainFrame::IdEnglish)->isChecked());
        QVERIFY(!frame->CommandAction(CMainFrame::IdDeutsch)->isChecked());
        // Qt's own dialog texts follow the language.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
        QCOMPARE(frame->PaneText(0), QStringLiteral("6 entries"));
        QCOMPARE(frame->PaneText(4), QStringLiteral("Data bits: 8"));
        QCOMPARE(doc->Profile().GetString(QStringLiteral("Ansicht"), QStringLiteral("Sprache"), QString()),
                 QStringLiteral("English"));
        for (int directoryId : {50, 60}) {
            int on = 5;
            QString query;
            QVERIFY(setUp.GetFilter(directoryId, on, query));
            QCOMPARE(on, 0);
            QVERIFY(query.isEmpty());
        }
        frame->CommandAction(CMainFrame::IdCesky)->trigger();
        QTRY_COMPARE(doc->Language(), QStringLiteral("Česky"));
        QCOMPARE(List().ItemText(0), doc->Text(400));
        QVERIFY(frame->CommandAction(CMainFrame::IdCesky)->isChecked());
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Zrušit"));
        frame->CommandAction(CMainFrame::IdDeutsch)->trigger();
        QTRY_COMPARE(doc->Language(), QStringLiteral("Deutsch"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
    }

    void aReportDirectoryGetsEveryClickKeyAndCommand() {
        auto directory = std::make_unique<CReportDirectory>();
        CReportDirectory* dir = directory.get();
        View().ReplaceDirectory(DirectoryKind::TypObject, std::move(directory));
        View().RootObject().DoDoubleClickFunction(View(), *doc);
        List().SelectRow(1);
        QTest::keyClick(View().ActiveList(), Qt::Key_Enter);
        QCOMPARE(dir->opens, 1);
        QCOMPARE(View().ActiveList(), static_cast<QAbstractItemView*>(View().ReportList()));
        QCOMPARE(View().ReportList()->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(View().ReportList()->columnWidth(0), 150);
        QCOMPARE(frame->PaneText(0), QStringLiteral("3 Einträge"));
        QVERIFY(frame->CommandAction(32780)->isEnabled());
        QVERIFY(frame->CommandAction(32783)->isEnabled());
        QVERIFY(!frame->CommandAction(32781)->isEnabled());
        QVERIFY(frame->CommandAction(32787)->isEnabled());

        // A click selects and enables the action; right-click then runs it with the id.
        const int clicks = dir->clicks;
        QTest::mouseClick(Viewport(), Qt::LeftButton, {}, ItemCentre(2));
        QCOMPARE(dir->clicks, clicks + 1);
        QVERIFY(frame->CommandAction(32781)->isEnabled());
        QTest::mouseClick(Viewport(), Qt::RightButton, {}, ItemCentre(2));
        QCOMPARE(dir->actions, (QList<qint32>{102}));
        // Right-click on another row selects that one first.
        QTest::mouseClick(Viewport(), Qt::RightButton, {}, ItemCentre(0));
        QCOMPARE(dir->actions, (QList<qint32>{102, 100}));
        QTest::keyClick(View().ActiveList(), Qt::Key_Menu);
        QCOMPARE(dir->actions, (QList<qint32>{102, 100, 100}));
        frame->CommandAction(32781)->trigger();
        QCOMPARE(dir->actions.size(), 4);
        QTest::keyClick(View().ActiveList(), Qt::Key_F10, Qt::ShiftModifier);
        QCOMPARE(dir->actions.size(), 5);

        QTest::keyClick(View().ActiveList(), Qt::Key_Home);
        frame->CommandAction(32783)->trigger();
        QCOMPARE(dir->filters, 2);

        // Select all, then invert: nothing left selected is an empty click.
        frame->CommandAction(32787)->trigger();
        QCOMPARE(List().SelectedCount(), 3);
        QVERIFY(View().State().multipleSelection);
        QCOMPARE(View().State().selectedItem.recordId, 100);
        const int empties = dir->empties;
        frame->CommandAction(32788)->trigger();
        QCOMPARE(List().SelectedCount(), 0);
        QCOMPARE(dir->empties, empties + 1);
        QVERIFY(!frame->CommandAction(32781)->isEnabled());
        // Invert with one selected leaves the other two.
        List().SelectRow(0);
        frame->CommandAction(32788)->trigger();
        QCOMPARE(List().SelectedRows(), (QList<int>{1, 2}));

        // Ctrl+click removes the last selected row: an empty click.
        List().ClearSelection();
        List().SelectRow(1);
        const int before = dir->empties;
        QTest::mouseClick(Viewport(), Qt::LeftButton, Qt::ControlModifier, ItemCentre(1));
        QCOMPARE(List().SelectedCount(), 0);
        QCOMPARE(dir->empties, before + 1);

        // Backspace goes back to the catalogue.
        QTest::keyClick(View().ActiveList(), Qt::Key_Backspace);
        QCOMPARE(List().Mode(), ListMode::Catalogue);
        QCOMPARE(List().ItemCount(), 6);
        QCOMPARE(frame->PaneText(0), QStringLiteral("6 Einträge"));
        // There Backspace and Home do nothing.
        QTest::keyClick(View().ActiveList(), Qt::Key_Backspace);
        QTest::keyClick(View().ActiveList(), Qt::Key_Home);
        QCOMPARE(dir->filters, 2);
        QVERIFY(notes->messages.isEmpty());
    }

    void backFromAHistoryListReselectsTheBackPosition() {
        auto directory = std::make_unique<CReportDirectory>();
        CReportDirectory* dir = directory.get();
        View().ReplaceDirectory(DirectoryKind::GeraeteObject, std::move(directory));
        View().RootObject().DoDoubleClickFunction(View(), *doc);
        DoubleClick(2);
        QCOMPARE(dir->opens, 1);
        CMainViewState& state = View().State();
        state.historyShown = true;
        state.maySaveBackPosition = false;
        state.backPosition = 101;
        frame->CommandAction(32780)->trigger();
        QCOMPARE(dir->opens, 2);
        QCOMPARE(List().SelectedRows(), (QList<int>{1}));
        QVERIFY(!state.historyShown);
        QVERIFY(state.maySaveBackPosition);
        QCOMPARE(List().Mode(), ListMode::Report);
        frame->CommandAction(32780)->trigger();
        QCOMPARE(List().Mode(), ListMode::Catalogue);
    }

    void aLanguageChangeLeavesTheHistoryList() {
        auto directory = std::make_unique<CReportDirectory>();
        CReportDirectory* dir = directory.get();
        View().ReplaceDirectory(DirectoryKind::GeraeteObject, std::move(directory));
        View().RootObject().DoDoubleClickFunction(View(), *doc);
        DoubleClick(2);
        CMainViewState& state = View().State();
        state.historyShown = true;
        state.maySaveBackPosition = false;
        state.backPosition = 101;
        frame->CommandAction(CMainFrame::IdEnglish)->trigger();
        QTRY_COMPARE(List().Mode(), ListMode::Catalogue);
        QVERIFY(!state.historyShown);
        QVERIFY(state.maySaveBackPosition);
        // Back from the directory opened afresh leads to the catalogue, not into the directory.
        DoubleClick(2);
        QCOMPARE(dir->opens, 2);
        QTest::keyClick(View().ActiveList(), Qt::Key_Backspace);
        QCOMPARE(List().Mode(), ListMode::Catalogue);
        QCOMPARE(dir->opens, 2);
    }

    // The device protocol directory on real records, by keyboard: Enter opens, the context-menu
    // key opens the menu, history, select as current, delete with promotion, Back, filter.
    void theProtocolDirectoryWorksByKeyboard() {
        qint32 oldA = 0, currentA = 0, b = 0;
        {
            CAdoDatabase db;
            QVERIFY(db.Open(local, QStringLiteral("user2.db")));
            QVERIFY(
                db.Execute(QStringLiteral("INSERT INTO TypenTab (Name, StandardID) VALUES ('Drill', 5050)")));
            auto insert = [&](const char* device, const char* date, int history, const char* guid) {
                db.Execute(QStringLiteral(
                               "INSERT INTO GeraeteTab (SpecificationName, Device, TestDate, NextTestDate, "
                               "History, myGUID, TestResultID) VALUES ('Drill', '%1', '%2', '%2', %3, "
                               "'%4', 30800)")
                               .arg(QString::fromLatin1(device), QString::fromLatin1(date))
                               .arg(history)
                               .arg(QString::fromLatin1(guid)));
                qint32 id = 0;
                db.GetNewId(id);
                return id;
            };
            oldA = insert("A", "2024-01-10", 1, "GA");
            currentA = insert("A", "2025-01-10", 0, "GA");
            b = insert("B", "2026-01-10", 0, "GB");
        }
        qint32 opened = 0;
        DirectoryCommands::Install(DirectoryCommand::Properties, [&](CDirectoryCommandContext& c) {
            opened = c.ids.value(0);
            return false;
        });
        auto rowOf = [&](qint32 id) {
            for (int row = 0; row < List().ItemCount(); ++row)
                if (List().Record(row)->recordId == id)
                    return row;
            return -1;
        };
        // The next context menu: its commands, and the entry chosen (0: Escape).
        QList<qint32> offered;
        auto inNextMenu = [&](qint32 command) {
            offered.clear();
            QTimer::singleShot(0, this, [&offered, command] {
                auto* menu = qobject_cast<CMenuDialog*>(QApplication::activeModalWidget());
                QVERIFY(menu);
                int index = -1;
                for (size_t i = 0; i < menu->Entries().size(); ++i) {
                    offered << menu->Entries()[i].command;
                    if (menu->Entries()[i].command == command)
                        index = int(i);
                }
                if (index < 0) {
                    QTest::keyClick(menu->EntryList(), Qt::Key_Escape);
                    return;
                }
                menu->EntryList()->setCurrentRow(index);
                QTest::keyClick(menu->EntryList(), Qt::Key_Return);
            });
        };
        List().SelectRow(2);
        QTest::keyClick(View().ActiveList(), Qt::Key_Return);
        QCOMPARE(List().ItemCount(), 2);
        QCOMPARE(doc->InfoPane().title, doc->Text(5));

        // Enter on a row opens it.
        List().ClearSelection();
        List().SelectRow(rowOf(b));
        QTest::keyClick(View().ActiveList(), Qt::Key_Return);
        QCOMPARE(opened, b);

        // The menu key: History of device A.
        List().ClearSelection();
        List().SelectRow(rowOf(currentA));
        inNextMenu(14);
        QTest::keyClick(View().ActiveList(), Qt::Key_Menu);
        QVERIFY(offered.contains(11) && offered.contains(14) && !offered.contains(15));
        QVERIFY(View().State().historyShown);
        QCOMPARE(List().ItemCount(), 2);
        QCOMPARE(List().Record(0)->recordId, currentA); // newest first, drawn blue
        QCOMPARE(List().Record(0)->textColour, MakeItemColour(0, 0, 255));
        QCOMPARE(List().Record(1)->textColour, 0u);
        QVERIFY2(!frame->CommandAction(32783)->isEnabled(), "no filter in a history list");

        // Two rows: no export entries; Escape closes.
        List().SelectAll();
        inNextMenu(0);
        QTest::keyClick(View().ActiveList(), Qt::Key_Menu);
        QVERIFY(!offered.isEmpty());
        QVERIFY(!offered.contains(11) && !offered.contains(12) && !offered.contains(17));
        QCOMPARE(List().ItemCount(), 2);

        // Select the older one as current: it turns blue.
        List().ClearSelection();
        List().SelectRow(rowOf(oldA));
        inNextMenu(15);
        QTest::keyClick(View().ActiveList(), Qt::Key_Menu);
        QCOMPARE(List().Record(rowOf(oldA))->textColour, MakeItemColour(0, 0, 255));
        QCOMPARE(List().Record(rowOf(currentA))->textColour, 0u);

        // Delete it again: the newest remaining becomes current.
        notes->answer = CNotifier::Answer::Ok;
        List().ClearSelection();
        List().SelectRow(rowOf(oldA));
        inNextMenu(2);
        QTest::keyClick(View().ActiveList(), Qt::Key_Menu);
        QCOMPARE(List().ItemCount(), 1);
        QCOMPARE(List().Record(0)->recordId, currentA);
        QCOMPARE(List().Record(0)->textColour, MakeItemColour(0, 0, 255));

        // Back: the directory with the promoted protocol selected.
        QTest::keyClick(View().ActiveList(), Qt::Key_Backspace);
        QVERIFY(!View().State().historyShown);
        QCOMPARE(List().ItemCount(), 2);
        QCOMPARE(List().SelectedRows(), QList<int>{rowOf(currentA)});

        // Home opens the filter dialog; a device chosen there filters the list.
        QTimer::singleShot(0, this, [] {
            auto* dialog = qobject_cast<CFilterDlg*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            if (!dialog->FilterActive()->isChecked())
                dialog->FilterActive()->click();
            QComboBox* chooser = dialog->FieldChooser(0);
            chooser->setCurrentIndex(chooser->findText(QStringLiteral("Geräte-ID")));
            auto* value = qobject_cast<QComboBox*>(dialog->ValueControl(0));
            QVERIFY(value);
            value->setCurrentIndex(value->findText(QStringLiteral("B")));
            QTest::keyClick(chooser, Qt::Key_Return);
        });
        QTest::keyClick(View().ActiveList(), Qt::Key_Home);
        QCOMPARE(List().ItemCount(), 1);
        QCOMPARE(List().Record(0)->recordId, b);
        QVERIFY(doc->InfoPane().title.endsWith(doc->Text(119)));
        DirectoryCommands::Install(DirectoryCommand::Properties, {});
    }

    void itemColoursAreDrawn() {
        auto directory = std::make_unique<CReportDirectory>();
        View().ReplaceDirectory(DirectoryKind::TypObject, std::move(directory));
        View().RootObject().DoDoubleClickFunction(View(), *doc);
        View().Directory(DirectoryKind::TypObject).DoDoubleClickFunction(View(), *doc);
        QApplication::processEvents();
        const QImage shot = View().ReportList()->viewport()->grab().toImage();
        auto bluePixels = [&](int row) {
            const QRect r = View().ReportList()->visualRect(List().index(row, 0));
            int n = 0;
            for (int y = r.top(); y <= r.bottom(); ++y)
                for (int x = r.left(); x <= r.right(); ++x) {
                    const QColor c =
                        shot.pixelColor(x * shot.width() / View().ReportList()->viewport()->width(),
                                        y * shot.height() / View().ReportList()->viewport()->height());
                    if (c.blue() > 150 && c.red() < 90 && c.green() < 90)
                        ++n;
                }
            return n;
        };
        QVERIFY2(bluePixels(1) > 10, "the current protocol's row is drawn blue");
        QCOMPARE(bluePixels(0), 0);
        QCOMPARE(bluePixels(2), 0);
    }

    void workersLockTheWindowAndTheirMessagesArrive() {
        View().LockMainWindow();
        for (int c : {32780, 32781, 32783}) {
            QVERIFY(frame->IsIndeterminate(c));
            QVERIFY(!frame->CommandAction(c)->isEnabled());
        }
        QVERIFY(!frame->centralWidget()->isEnabled());
        QVERIFY2(!frame->close(), "the window stays while a worker runs");

        // A print worker on its own thread: progress, then its end.
        std::thread worker([&] {
            messages->SendProgress(true, QStringLiteral("Drucke Gerät 4711 ..."));
            messages->PostLinkStatus(QStringLiteral("/dev/ttyUSB0"), QStringLiteral("57600"),
                                     QString(300, QLatin1Char('7')), CWindowMessages::LinkConnected);
            messages->SendPrintEnded(true);
        });
        while (View().IsMainWindowLocked())
            QApplication::processEvents(QEventLoop::AllEvents, 10);
        worker.join();
        QApplication::processEvents();
        QCOMPARE(frame->PaneText(1), QStringLiteral("Drucke Gerät 4711 ..."));
        QCOMPARE(frame->PaneIcon(1), 178);
        QCOMPARE(frame->PaneText(2), QStringLiteral("Port: /dev/ttyUSB0"));
        QCOMPARE(frame->PaneIcon(2), 170);
        QCOMPARE(frame->PaneText(4), QStringLiteral("Datenbits: ") + QString(128, QLatin1Char('7')));
        QVERIFY(!frame->IsIndeterminate(32780));
        QVERIFY(frame->centralWidget()->isEnabled());
        messages->SendProgress(false, QStringLiteral("ignored"));
        QCOMPARE(frame->PaneText(1), QString());
        QCOMPARE(frame->PaneIcon(1), 179);
    }

    void theKeyboardReachesTheListAgainAfterAWorker() {
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame.get()));
        View().setFocus();
        QCOMPARE(frame->focusWidget(), View().ActiveList());
        View().LockMainWindow();
        View().UnlockMainWindow();
        QCOMPARE(frame->focusWidget(), View().ActiveList());
        // Typed into the window, Enter opens the selected entry.
        List().SelectRow(3);
        notes->Clear();
        QTest::keyClick(frame->windowHandle(), Qt::Key_Return);
        QCOMPARE(notes->messages.size(), 1);
        QVERIFY(notes->Last().contains(doc->Text(50006)));
    }

    void aFailedTransferShowsItsErrorAndASuccessRefreshes() {
        auto directory = std::make_unique<CReportDirectory>();
        CReportDirectory* dir = directory.get();
        View().ReplaceDirectory(DirectoryKind::TypObject, std::move(directory));
        View().Directory(DirectoryKind::TypObject).DoDoubleClickFunction(View(), *doc);
        struct Case {
            qint32 id;
            QString detail;
            QString expected;
        };
        const QList<Case> cases{
            {50001, QString(), QStringLiteral("Übersicht")},
            {50001, QStringLiteral("COM timeout 100% %s"), QStringLiteral("Übersicht\nCOM timeout 100% %s")}};
        for (const Case& c : cases) {
            notes->Clear();
            View().LockMainWindow();
            View().State().errorTextId = c.id;
            View().State().errorDetail = c.detail;
            messages->SendTransferEnded(false);
            QVERIFY(!View().IsMainWindowLocked());
            QCOMPARE(notes->Last(), c.expected);
        }
        QCOMPARE(dir->refreshes, 0);
        messages->SendTransferEnded(true);
        QCOMPARE(dir->refreshes, 1);
    }

    void closingClearsTheList() {
        QCOMPARE(List().ItemCount(), 6);
        QVERIFY(frame->close());
        QCOMPARE(List().ItemCount(), 0);
    }

    void theMenuDialogEndsWithTheChosenCommand() {
        QCOMPARE(CMenuDialog(QStringLiteral("t"), QStringLiteral("h")).exec(), -1);
        auto make = [] {
            auto dialog = std::make_unique<CMenuDialog>(QStringLiteral("Geräteprotokoll"),
                                                        QStringLiteral("Bohrmaschine 7"));
            dialog->AddEntry(QStringLiteral("Eigenschaften"), QStringLiteral("Öffnet das Protokoll."), 8);
            dialog->AddEntry(QStringLiteral("Drucken"), QStringLiteral("Druckt."), 5);
            dialog->AddEntry(QStringLiteral("Schließen"), QStringLiteral("Schließt."), 1);
            return dialog;
        };
        struct Case {
            const char* what;
            std::function<void(CMenuDialog&)> act;
            int expected;
        };
        const QList<Case> cases{
            {"OK on the first entry", [](CMenuDialog& d) { QTest::keyClick(d.EntryList(), Qt::Key_Return); },
             8},
            {"down, then OK",
             [](CMenuDialog& d) {
                 QTest::keyClick(d.EntryList(), Qt::Key_Down);
                 QCOMPARE(d.Description(), QStringLiteral("Druckt."));
                 QTest::keyClick(d.EntryList(), Qt::Key_Return);
             },
             5},
            {"Escape", [](CMenuDialog& d) { QTest::keyClick(d.EntryList(), Qt::Key_Escape); }, 1},
            {"double-click",
             [](CMenuDialog& d) {
                 const QRect r = d.EntryList()->visualItemRect(d.EntryList()->item(2));
                 QTest::mouseClick(d.EntryList()->viewport(), Qt::LeftButton, {}, r.center());
                 QTest::mouseDClick(d.EntryList()->viewport(), Qt::LeftButton, {}, r.center());
             },
             1},
        };
        for (const Case& c : cases) {
            auto dialog = make();
            CMenuDialog* d = dialog.get();
            QTimer::singleShot(0, d, [d, &c] {
                QCOMPARE(d->Header(), QStringLiteral("Bohrmaschine 7"));
                QCOMPARE(d->Description(), QStringLiteral("Öffnet das Protokoll."));
                c.act(*d);
                if (d->isVisible())
                    d->done(-99);
            });
            QCOMPARE(d->exec(), c.expected);
        }
    }

    void theInformationPaneShortensDetailLines() {
        CInfoPaneState& pane = doc->InfoPane();
        pane.showDetails = true;
        pane.details = {QStringLiteral("Gerät: Bohrmaschine mit einem sehr langen Namen, der nicht passt"),
                        QStringLiteral("kurz"), QStringLiteral("Beschreibung: x"),
                        QStringLiteral("Kunde: y")};
        const QList<QRect> rects = CInfoView::DetailRects(48);
        QCOMPARE(rects[0].left(), 58);
        const QString first = frame->InfoView()->DetailLineAsDrawn(0, rects[0].width());
        QVERIFY(first.endsWith(QStringLiteral("...")));
        QVERIFY(QFontMetrics(QFont(QStringLiteral("Arial"), -1)).horizontalAdvance(first) > 0);
        QVERIFY(pane.details[0].startsWith(first.chopped(3)));
        QCOMPARE(frame->InfoView()->DetailLineAsDrawn(1, rects[1].width()), QStringLiteral("kurz"));
        frame->InfoView()->repaint();
    }

    void theCatalogueHintsAreReadableInTheInitialWindow() {
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(16);
        const QFontMetrics metrics(font);
        CInfoView* info = frame->InfoView();
        const int x0 = Artwork::Bitmap(QStringLiteral("IDB_KESTRA")).width() + 10;
        for (const QString& language : CTextCatalog::Languages()) {
            doc->ChangeLanguage(language);
            for (int row = 0; row < 6; ++row) {
                QTest::mouseClick(Viewport(), Qt::LeftButton, {}, ItemCentre(row));
                const QString hint = doc->InfoPane().hint;
                const QRect needed = metrics.boundingRect(QRect(x0, 30, info->width() - 25 - x0, 1000),
                                                          Qt::TextWordWrap, hint);
                QVERIFY2(needed.bottom() < info->height(), qPrintable(language + QLatin1String(": ") + hint));
                const QStringList lines = info->HintLinesAsDrawn(info->size());
                QCOMPARE(lines.join(QLatin1Char(' ')), hint.simplified());
            }
        }
    }

    void aHintTooLongForThePaneEndsInAnEllipsis() {
        CInfoPaneState& pane = doc->InfoPane();
        QStringList words;
        for (int i = 0; i < 120; ++i)
            words << QStringLiteral("Wort%1").arg(i);
        pane.hint = words.join(QLatin1Char(' '));
        const int bannerWidth = Artwork::Bitmap(pane.bannerBitmap).width();
        QFont font(QStringLiteral("Arial"));
        font.setPixelSize(16);
        const QFontMetrics metrics(font);
        for (int height : {70, CInfoView::InitialHeight(), 200}) {
            const QStringList lines = frame->InfoView()->HintLinesAsDrawn(QSize(800, height));
            QCOMPARE(lines.size(), (qMax(65, height - 5) - 30 + 1) / metrics.lineSpacing());
            QVERIFY2(lines.last().endsWith(QChar(0x2026)), qPrintable(lines.last()));
            QVERIFY(pane.hint.startsWith(lines.first()));
            for (const QString& line : lines)
                QVERIFY(metrics.horizontalAdvance(line) <= 775 - (bannerWidth + 10) + 1);
        }
        // A short hint and an empty one are drawn as they are.
        pane.hint = QStringLiteral("kurz");
        QCOMPARE(frame->InfoView()->HintLinesAsDrawn(QSize(800, 70)), QStringList{QStringLiteral("kurz")});
        pane.hint.clear();
        QVERIFY(frame->InfoView()->HintLinesAsDrawn(QSize(800, 70)).join(QString()).isEmpty());
        frame->InfoView()->repaint();
    }

    void theTitlesDescendersAreDrawn() {
        CInfoPaneState& pane = doc->InfoPane();
        pane.hint.clear();
        auto inkBelowTheTitle = [&](const QString& title) {
            pane.title = title;
            const QImage shot = frame->InfoView()->grab().toImage();
            const qreal ratio = shot.devicePixelRatio();
            int ink = 0;
            for (int y = 29; y < 33; ++y)
                for (int x = 110; x < 400; ++x)
                    if (shot.pixelColor(int(x * ratio), int(y * ratio)).lightness() < 128)
                        ++ink;
            return ink;
        };
        QVERIFY2(inkBelowTheTitle(QStringLiteral("gjpqy gjpqy gjpqy")) > 10, "descenders cut off");
        QCOMPARE(inkBelowTheTitle(QStringLiteral("ABCDE ABCDE ABCDE")), 0);
    }

    // Every pane shows its whole text in every language, with a long device path too, and
    // the tool bar and the panes explain themselves in the language chosen.
    void statusPanesFitTheirTextsInEveryLanguage() {
        struct Case {
            const char* language;
            const char* backTip;
            const char* versionWord;
        };
        const Case cases[] = {
            {"Castellano", "Atrás (Retroceso)", "Versión"},
            {"Česky", "Zpět (Backspace)", "Verze"},
            {"Deutsch", "Zurück (Rücktaste)", "Version"},
            {"English", "Back (Backspace)", "Version"},
            {"Français", "Retour (Retour arrière)", "Version"},
            {"Italiano", "Indietro (Backspace)", "Versione"},
            {"Österreichisch", "Zurück (Rücktaste)", "Version"},
        };
        const QString longPort =
            QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        for (const Case& c : cases) {
            const QString language = QString::fromUtf8(c.language);
            View().OnLanguage(language);
            QTRY_COMPARE(doc->Language(), language);
            for (const QString& port : {QStringLiteral("COM1:"), longPort}) {
                // The long path needs a wide window; maximised on a wide screen.
                frame->resize(port == longPort ? QSize(1400, 600) : QSize(800, 600));
                frame->OnLinkStatus(port, QStringLiteral("115200"), QStringLiteral("8"), 170);
                frame->OnProgress(true, QStringLiteral("x"));
                QApplication::processEvents();
                QTest::qWait(20);
                const QList<QLabel*> labels = frame->statusBar()->findChildren<QLabel*>();
                int shown = 0;
                for (QLabel* label : labels) {
                    if (label->text().isEmpty())
                        continue;
                    ++shown;
                    const int needed = label->fontMetrics().horizontalAdvance(label->text());
                    QVERIFY2(label->isVisible() && label->width() >= needed,
                             qPrintable(QStringLiteral("%1: '%2' is %3 px wide in %4 px")
                                            .arg(language, label->text(), QString::number(needed),
                                                 QString::number(label->width()))));
                }
                QCOMPARE(shown, 5);
            }
            QVERIFY(frame->PaneText(2).endsWith(longPort));
            QCOMPARE(frame->CommandAction(32780)->toolTip(), QString::fromUtf8(c.backTip));
            QVERIFY(!frame->CommandAction(32780)->statusTip().isEmpty());
            for (QLabel* label : frame->statusBar()->findChildren<QLabel*>())
                if (!label->text().isEmpty())
                    QVERIFY2(!label->parentWidget()->toolTip().isEmpty(), qPrintable(label->text()));
            CAboutDlg about(*doc, frame.get());
            auto* version = about.findChild<QLabel*>(QStringLiteral("version"));
            QVERIFY(version);
            QCOMPARE(version->text(),
                     QString::fromUtf8(c.versionWord) + QLatin1Char(' ') + CAboutDlg::ProductVersion());
        }
        frame->OnProgress(false, QString());
    }

    void theProgramInstallsTheSheetsAndExportsAsDirectoryCommands() {
        CatalogueDialogs::InstallBuiltIn();
        const DirectoryCommand commands[] = {
            DirectoryCommand::Properties,      DirectoryCommand::XmlExportDrive,
            DirectoryCommand::XmlExportFolder, DirectoryCommand::CsvExportDrive,
            DirectoryCommand::Print,           DirectoryCommand::PrintOutline,
            DirectoryCommand::PrintPreview};
        for (DirectoryCommand c : commands) {
            QVERIFY(DirectoryCommands::IsInstalled(c));
            DirectoryCommands::Install(c, {});
        }
    }

    void printsToPdfFromTheProtocolDirectory() {
        qint32 id = 0;
        {
            CAdoDatabase db;
            QVERIFY(db.Open(local, QStringLiteral("user2.db")));
            QVERIFY(
                db.Execute(QStringLiteral("INSERT INTO TypenTab (Name, StandardID) VALUES ('Drill', 5800)")));
            QVERIFY(db.Execute(
                QStringLiteral("INSERT INTO GeraeteTab (SpecificationName, Device, History, myGUID, "
                               "TestResultID) VALUES ('Drill', 'Pump 9', 0, 'g-1', 30800)")));
            QVERIFY(db.GetNewId(id));
        }
        CatalogueDialogs::InstallBuiltIn();
        CPrinterChoice::Current().pdf = true;
        // The PDF's file dialog is answered as a user would: a path typed into its name field.
        const QString pdf = tmp->filePath(QStringLiteral("pump.pdf"));
        QTimer answer;
        connect(&answer, &QTimer::timeout, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            auto* name = dialog ? dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) : nullptr;
            if (name) {
                name->setText(pdf);
                QMetaObject::invokeMethod(dialog, "accept");
            }
        });
        answer.start(50);
        QSignalSpy ended(messages.get(), &CWindowMessages::printEnded);
        CDirectoryCommandContext context{&View(), doc.get(), false, {id}, QStringLiteral("Pump 9"), false};
        DirectoryCommands::Run(DirectoryCommand::Print, context);
        QTRY_COMPARE_WITH_TIMEOUT(ended.count(), 1, 30000);
        answer.stop();
        QCOMPARE(ended.first().first().toBool(), true);
        QTRY_VERIFY(!View().IsMainWindowLocked());
        QProcess text;
        text.start(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
        QVERIFY(text.waitForFinished(30000));
        QVERIFY(QString::fromUtf8(text.readAllStandardOutput()).contains(QStringLiteral("Pump 9")));
        QVERIFY(notes->messages.isEmpty());
        CPrinterChoice::Current().pdf = false;
        for (DirectoryCommand c :
             {DirectoryCommand::Print, DirectoryCommand::PrintOutline, DirectoryCommand::PrintPreview})
            DirectoryCommands::Install(c, {});
    }

    void dueAndOverdueNextTestDatesAreColoured() {
        {
            CAdoDatabase db;
            QVERIFY(db.Open(local, QStringLiteral("user2.db")));
            QVERIFY(db.Execute(QStringLiteral("INSERT INTO TypenTab (Name) VALUES ('Drill')")));
            const char* rows[][2] = {{"overdue", "2026-12-07 23:00:00"},
                                     {"today", "2026-12-08 00:00:00"},
                                     {"in-30-days", "2027-01-07 08:00:00"},
                                     {"later", "2027-01-08 08:00:00"}};
            for (const auto& r : rows)
                QVERIFY(db.Execute(
                    QStringLiteral("INSERT INTO GeraeteTab (SpecificationName, Device, NextTestDate, "
                                   "History, myGUID, TestResultID) VALUES ('Drill', '%1', '%2', 0, "
                                   "'g-%1', 30800)")
                        .arg(QString::fromLatin1(r[0]), QString::fromLatin1(r[1]))));
        }
        qputenv("VELMOR_TODAY", "2026-12-08");
        DoubleClick(2);
        qunsetenv("VELMOR_TODAY");
        QTRY_COMPARE(List().ItemCount(), 4);
        QHash<QString, quint32> colours;
        for (int row = 0; row < List().ItemCount(); ++row)
            colours.insert(List().ItemText(row, 0),
                           List().index(row, 5).data(CDirectoryList::TextColourRole).toUInt());
        QCOMPARE(QColor::fromRgb(colours.value(QStringLiteral("overdue"))), QColor(204, 0, 0));
        QCOMPARE(QColor::fromRgb(colours.value(QStringLiteral("today"))), QColor(204, 122, 0));
        QCOMPARE(QColor::fromRgb(colours.value(QStringLiteral("in-30-days"))), QColor(204, 122, 0));
        QCOMPARE(colours.value(QStringLiteral("later")), 0u);
        // Only the date cell: the device keeps the list's colour.
        QCOMPARE(List().index(0, 0).data(CDirectoryList::TextColourRole).toUInt(), 0u);
    }

    void theStatusBarCountsTheOverdueProtocols() {
        qputenv("VELMOR_TODAY", "2026-12-08");
        frame->UpdateOverdue();
        QVERIFY(!frame->OverduePane()->parentWidget()->isVisibleTo(frame.get()));
        {
            CAdoDatabase db;
            QVERIFY(db.Open(local, QStringLiteral("user2.db")));
            QVERIFY(db.Execute(QStringLiteral("INSERT INTO TypenTab (Name) VALUES ('Drill')")));
            const char* rows[][3] = {{"late", "2026-12-07 23:00:00", "0"},
                                     {"older", "2025-01-01 08:00:00", "0"},
                                     {"today", "2026-12-08 00:00:00", "0"},
                                     {"history", "2020-01-01 00:00:00", "1"}};
            for (const auto& r : rows)
                QVERIFY(db.Execute(
                    QStringLiteral("INSERT INTO GeraeteTab (SpecificationName, Device, NextTestDate, "
                                   "History, myGUID) VALUES ('Drill', '%1', '%2', %3, 'g-%1')")
                        .arg(QString::fromLatin1(r[0]), QString::fromLatin1(r[1]),
                             QString::fromLatin1(r[2]))));
        }
        // Opening the list counts anew, once the list is shown.
        DoubleClick(2);
        QCOMPARE(List().ItemCount(), 3);
        QTRY_COMPARE(frame->OverduePane()->text(), QStringLiteral("2 überfällig"));
        qunsetenv("VELMOR_TODAY");
        QVERIFY(frame->OverduePane()->parentWidget()->isVisibleTo(frame.get()));
    }

    void theAboutDialogShowsVersionAndDataFolder() {
        CAboutDlg about(*doc, frame.get());
        QCOMPARE(about.windowTitle(), QStringLiteral("Info über VELMOR - Roziraz Uvurad"));
        auto* folder = about.findChild<QLabel*>(QStringLiteral("dataFolder"));
        QVERIFY(folder);
        QCOMPARE(folder->text(), QStringLiteral("Datenordner: ") + local);
        auto* version = about.findChild<QLabel*>(QStringLiteral("version"));
        QVERIFY(version && version->text().contains(CAboutDlg::ProductVersion()));
        QVERIFY(!CAboutDlg::ProductVersion().isEmpty());
    }

    // With V740_SCREENSHOT_DIR set, saves the window in German and in English there.
    void screenshots() {
        const QString dir = qEnvironmentVariable("V740_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("V740_SCREENSHOT_DIR not set");
        QTest::mouseClick(Viewport(), Qt::LeftButton, {}, ItemCentre(2));
        QApplication::processEvents();
        QVERIFY(frame->grab().save(dir + QStringLiteral("/main-de.png")));
        frame->CommandAction(CMainFrame::IdEnglish)->trigger();
        QTRY_COMPARE(doc->Language(), QStringLiteral("English"));
        QTest::mouseClick(Viewport(), Qt::LeftButton, {}, ItemCentre(0));
        frame->menuBar()->actions()[1]->menu()->popup(frame->mapToGlobal(QPoint(60, 25)));
        QApplication::processEvents();
        QVERIFY(frame->grab().save(dir + QStringLiteral("/main-en.png")));
        QVERIFY(frame->menuBar()->actions()[1]->menu()->grab().save(dir + QStringLiteral("/menu-en.png")));
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_MainWindow.moc"
