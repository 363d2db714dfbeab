// The program's window with its user database on the server: what other workstations
// commit shows in the list that is open.
#include "PgTestServer.h"

#include "app/BaseClass.h"
#include "app/DataDirectories.h"
#include "app/VELMOR740PCRemoteDoc.h"
#include "app/WindowMessages.h"
#include "app/ui/MainFrame.h"
#include "app/ui/ServerDlg.h"
#include "app/ui/VELMOR740PCRemoteView.h"
#include "exchange/ExchangeFixture.h"
#include "platform/Keyring.h"
#include "platform/Notifier.h"
#include "platform/ProfileFile.h"
#include "platform/RegistrySettings.h"
#include "sheets/ui/PropSheet.h"
#include "store/DataLocation.h"
#include "store/UserSchema.h"
#include "store/pg/PgConnect.h"
#include "store/pg/PgSchema.h"
#include "support/TestKeyring.h"
#include "upgrade/ServerSetup.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class PgWindowTest : public ExchangeFixture {
protected:
    void SetUp() override {
        if (PgTestServer::Socket().isEmpty())
            GTEST_SKIP() << PgTestServer::SkipReason().toStdString();
        ExchangeFixture::SetUp();
        conninfo = PgTestServer::FreshDatabase(QStringLiteral("v740ui_") + PgTestServer::TestName());
        ASSERT_FALSE(conninfo.isEmpty());
        QString message;
        ASSERT_TRUE(PgSchema::InitServer(conninfo, QStringLiteral("English"), {}, message))
            << message.toStdString();
        local = dir.filePath(QStringLiteral("common/VELMOR 740ST - Roziraz Uvurad"));
        ASSERT_TRUE(QDir().mkpath(local));
        qputenv("VELMOR_COMMON_APPDATA", dir.filePath(QStringLiteral("common")).toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toUtf8());
        ASSERT_TRUE(UserSchema::CreateUserDatabase(local, QStringLiteral("3.2")));
        CProfileFile ini(local + QStringLiteral("/V740Control.ini"));
        ASSERT_TRUE(
            ini.WriteString(QStringLiteral("Ansicht"), QStringLiteral("Sprache"), QStringLiteral("English")));
        DataLocation::SetServer(conninfo);
    }
    void TearDown() override { DataLocation::ResetServer(); }

    // Another workstation imports these devices' protocols (one document, one import).
    void OtherWorkstationImports(const QStringList& devices, const QString& date) {
        std::vector<XmlProtocolRecord> protocols;
        for (const QString& d : devices)
            protocols.push_back(MakeProtocol(d, QStringLiteral("ACME"), QStringLiteral("{G-%1}").arg(d),
                                             QStringLiteral("Drill"), QStringLiteral("{S-DRILL}"), date));
        const QString folder = dir.filePath(QStringLiteral("usb-%1").arg(++documents));
        ASSERT_TRUE(QDir().mkpath(folder));
        WriteDocument(
            folder + QStringLiteral("/PV.xml"),
            SpecificationDocument({MakeSpecification(QStringLiteral("Drill"), QStringLiteral("{S-DRILL}"))}));
        WriteDocument(folder + QStringLiteral("/GP.xml"), ProtocolDocument(protocols));
        if (documents == 1) {
            ASSERT_TRUE(ImportAll(folder, false, local));
        }
        ASSERT_TRUE(ImportAll(folder, true, local));
    }
    QStringList Devices(CDirectoryList& list) {
        QStringList devices;
        for (int row = 0; row < list.ItemCount(); ++row)
            devices << list.ItemText(row, 0);
        return devices;
    }
    int RowOf(CDirectoryList& list, const QString& device) { return int(Devices(list).indexOf(device)); }
    QStringList SelectedDevices(CDirectoryList& list) {
        QStringList devices;
        for (int row : list.SelectedRows())
            devices << list.ItemText(row, 0);
        return devices;
    }

    QString conninfo;
    QString local;
    int documents = 0;
};

} // namespace

TEST_F(PgWindowTest, TheOpenListFollowsAnotherWorkstationsImportKeepingTheSelection) {
    OtherWorkstationImports({QStringLiteral("Alpha"), QStringLiteral("Bravo"), QStringLiteral("Delta")},
                            QStringLiteral("05.03.2009"));
    CWindowMessages messages;
    CVELMOR740PCRemoteDoc doc;
    doc.SetMessages(&messages);
    ASSERT_TRUE(doc.OnNewDocument()) << notes.recorder.messages.join(QLatin1Char('|')).toStdString();
    CMainFrame frame(doc, messages);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    CVELMOR740PCRemoteView& view = *frame.View();
    view.WatchServer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.IsWatchingServer(); }, 5000));

    view.Directory(DirectoryKind::GeraeteObject).DoDoubleClickFunction(view, doc);
    CDirectoryList& list = view.List();
    ASSERT_EQ(list.ItemCount(), 3);
    // Bravo and Delta selected.
    list.ReplaceSelection({RowOf(list, QStringLiteral("Bravo")), RowOf(list, QStringLiteral("Delta"))});
    QStringList picked = SelectedDevices(list);
    picked.sort();
    ASSERT_EQ(picked, (QStringList{QStringLiteral("Bravo"), QStringLiteral("Delta")}));

    // A new device: the list shows it within a second or so, and the rows picked stay
    // picked, with the information pane telling of both.
    OtherWorkstationImports({QStringLiteral("Charlie")}, QStringLiteral("06.03.2009"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return list.ItemCount() == 4; }, 3000)) << list.ItemCount();
    EXPECT_TRUE(Devices(list).contains(QStringLiteral("Charlie")));
    picked = SelectedDevices(list);
    picked.sort();
    EXPECT_EQ(picked, (QStringList{QStringLiteral("Bravo"), QStringLiteral("Delta")}));
    EXPECT_TRUE(doc.InfoPane().actionEnabled);

    // While a transfer holds the window, the list stays as it is; it follows afterwards.
    view.LockMainWindow();
    OtherWorkstationImports({QStringLiteral("Echo")}, QStringLiteral("07.03.2009"));
    QTest::qWait(1500);
    EXPECT_EQ(list.ItemCount(), 4);
    view.UnlockMainWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return list.ItemCount() == 5; }, 3000)) << list.ItemCount();

    // The catalogue shows nothing of the database and is left alone.
    view.RootObject().DoDoubleClickFunction(view, doc);
    OtherWorkstationImports({QStringLiteral("Foxtrot")}, QStringLiteral("08.03.2009"));
    QTest::qWait(800);
    EXPECT_EQ(list.ItemCount(), 6) << "the catalogue's six entries";
}

TEST_F(PgWindowTest, AHistoryListFollowsANewTestOfItsDevice) {
    OtherWorkstationImports({QStringLiteral("Alpha")}, QStringLiteral("05.03.2009"));
    CWindowMessages messages;
    CVELMOR740PCRemoteDoc doc;
    doc.SetMessages(&messages);
    ASSERT_TRUE(doc.OnNewDocument());
    CMainFrame frame(doc, messages);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    CVELMOR740PCRemoteView& view = *frame.View();
    view.WatchServer();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.IsWatchingServer(); }, 5000));
    view.Directory(DirectoryKind::GeraeteObject).DoDoubleClickFunction(view, doc);
    CDirectoryList& list = view.List();
    ASSERT_EQ(list.ItemCount(), 1);
    list.SelectRow(0);
    auto& rows = dynamic_cast<CDataTable&>(view.Directory(DirectoryKind::GeraetTable));
    rows.ShowHistory(view, doc, list.Record(0)->recordId);
    ASSERT_TRUE(view.State().historyShown);
    ASSERT_EQ(list.ItemCount(), 1);

    OtherWorkstationImports({QStringLiteral("Alpha")}, QStringLiteral("09.03.2009"));
    EXPECT_TRUE(QTest::qWaitFor([&] { return list.ItemCount() == 2; }, 3000)) << list.ItemCount();
    EXPECT_TRUE(view.State().historyShown);
}

TEST_F(PgWindowTest, TheConnectionDialogKeepsOnlyATestedServer) {
    DataLocation::ResetServer(); // this workstation starts on its file
    CWindowMessages messages;
    CVELMOR740PCRemoteDoc doc;
    doc.SetMessages(&messages);
    ASSERT_TRUE(doc.OnNewDocument());
    const ServerSetup::Parts server = ServerSetup::Split(conninfo);
    QString message;
    const QString key = dir.filePath(QStringLiteral("config/VELMOR 740ST - Roziraz Uvurad/registry"));

    CServerDlg dialog(doc);
    dialog.show();
    auto* useServer = dialog.findChild<QRadioButton*>(QStringLiteral("useServer"));
    auto* host = dialog.findChild<QLineEdit*>(QStringLiteral("host"));
    auto* dbname = dialog.findChild<QLineEdit*>(QStringLiteral("dbname"));
    auto* sslmode = dialog.findChild<QComboBox*>(QStringLiteral("sslmode"));
    ASSERT_TRUE(useServer && host && dbname && sslmode);
    EXPECT_TRUE(dialog.findChild<QRadioButton*>(QStringLiteral("useFile"))->isChecked());
    EXPECT_FALSE(host->isEnabled());
    QTest::mouseClick(useServer, Qt::LeftButton, {}, QPoint(5, useServer->height() / 2));
    ASSERT_TRUE(host->isEnabled());
    QTest::keyClicks(host, server.host);
    QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("user")), server.user);
    QTest::keyClicks(dbname, QStringLiteral("no_such_database"));
    sslmode->setCurrentText(QStringLiteral("disable")); // the test cluster's socket has no TLS

    // A database that does not exist: told in the dialog, nothing kept, the dialog stays.
    notes.recorder.Clear();
    dialog.accept();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(dialog.ResultText().contains(QLatin1String("no_such_database")))
        << dialog.ResultText().toStdString();
    EXPECT_FALSE(QString::fromUtf8(ReadFile(key)).contains(QLatin1String("DatabaseServer")));

    dbname->clear();
    QTest::keyClicks(dbname, server.dbname);
    QTest::mouseClick(dialog.findChild<QPushButton*>(QStringLiteral("test")), Qt::LeftButton);
    EXPECT_EQ(dialog.ResultText(),
              QStringLiteral("Connected: schema version ") + UserSchema::CurrentVersion());
    dialog.accept();
    EXPECT_FALSE(dialog.isVisible());
    const QString stored = CRegistrySettings::ReadDatabaseServer();
    EXPECT_EQ(ServerSetup::Split(stored).dbname, server.dbname);
    EXPECT_EQ(ServerSetup::Split(stored).host, server.host);
    EXPECT_EQ(DataLocation::Server(), stored);

    // Opened again, the dialog shows what is kept; OK without a change keeps it as it is.
    CServerDlg again(doc);
    EXPECT_EQ(again.findChild<QComboBox*>(QStringLiteral("sslmode"))->currentText(),
              QStringLiteral("disable"));
    EXPECT_EQ(again.Conninfo(), stored);
    // A server named without sslmode shows libpq's default, not a stricter mode OK would
    // then store unasked.
    qputenv("VELMOR_DATABASE", conninfo.toUtf8());
    ASSERT_TRUE(CRegistrySettings::WriteDatabaseServer(QString(), &message));
    CServerDlg fromEnvironment(doc);
    EXPECT_EQ(fromEnvironment.findChild<QComboBox*>(QStringLiteral("sslmode"))->currentText(),
              QStringLiteral("prefer"));
    qunsetenv("VELMOR_DATABASE");
}

TEST_F(PgWindowTest, APasswordTypedInTheDialogIsTriedAloneAndKeptInTheKeyringOnlyOnOk) {
    // The server on the network of the TLS tests, which asks every login for its password.
    const QString tls = PgTestServer::TlsFolder();
    if (tls.isEmpty() || !QFile::exists(tls + QStringLiteral("/port")))
        GTEST_SKIP() << "no TLS test server";
    CTestKeyring keyring;
    if (!keyring.Problem().isEmpty())
        GTEST_SKIP() << keyring.Problem().toStdString();
    const QString port = QString::fromUtf8(ReadFile(tls + QStringLiteral("/port"))).trimmed();
    const QString password = QString::fromUtf8(ReadFile(tls + QStringLiteral("/password"))).trimmed();
    qputenv("PGPASSFILE", dir.filePath(QStringLiteral("no-pgpass")).toUtf8());
    const QString server =
        QStringLiteral("host=localhost port=%1 dbname=v740tls_dialog user=v740tls sslmode=require").arg(port);
    QString message;
    // The administrator sets the database up on the server itself, for the login v740tls.
    const QString admin =
        QStringLiteral("host='%1/socket' port=%2 dbname=v740tls_dialog user=postgres").arg(tls, port);
    ASSERT_TRUE(PgSchema::InitServer(admin, QStringLiteral("English"), {QStringLiteral("v740tls")}, message))
        << message.toStdString();
    DataLocation::ResetServer();
    const Keyring::Account login{QStringLiteral("localhost"), port, QStringLiteral("v740tls_dialog"),
                                 QStringLiteral("v740tls")};
    const QString key = dir.filePath(QStringLiteral("config/VELMOR 740ST - Roziraz Uvurad/registry"));

    CWindowMessages messages;
    CVELMOR740PCRemoteDoc doc;
    doc.SetMessages(&messages);
    ASSERT_TRUE(doc.OnNewDocument());
    {
        CServerDlg dialog(doc);
        dialog.show();
        auto* useServer = dialog.findChild<QRadioButton*>(QStringLiteral("useServer"));
        auto* word = dialog.findChild<QLineEdit*>(QStringLiteral("password"));
        ASSERT_TRUE(useServer && word);
        EXPECT_EQ(word->echoMode(), QLineEdit::Password);
        EXPECT_FALSE(word->isEnabled());
        QTest::mouseClick(useServer, Qt::LeftButton, {}, QPoint(5, useServer->height() / 2));
        ASSERT_TRUE(word->isEnabled());
        QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("host")), QStringLiteral("localhost"));
        QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("port")), port);
        QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("dbname")),
                         QStringLiteral("v740tls_dialog"));
        QTest::keyClicks(dialog.findChild<QLineEdit*>(QStringLiteral("user")), QStringLiteral("v740tls"));
        dialog.findChild<QComboBox*>(QStringLiteral("sslmode"))->setCurrentText(QStringLiteral("require"));

        // Nothing typed and nothing kept: the result says where a password belongs.
        auto* test = dialog.findChild<QPushButton*>(QStringLiteral("test"));
        QTest::mouseClick(test, Qt::LeftButton);
        EXPECT_TRUE(dialog.ResultText().contains(QLatin1String("desktop keyring")))
            << dialog.ResultText().toStdString();

        // A wrong password: refused, OK keeps nothing, and the password never shows.
        QTest::keyClicks(word, QStringLiteral("wrong-one"));
        dialog.accept();
        EXPECT_TRUE(dialog.isVisible());
        EXPECT_TRUE(dialog.ResultText().contains(QLatin1String("password authentication failed")))
            << dialog.ResultText().toStdString();
        EXPECT_FALSE(dialog.ResultText().contains(QLatin1String("wrong-one")));
        EXPECT_TRUE(Keyring::Lookup(login).isEmpty());

        // The right one tested, then the file chosen after all: OK keeps no password.
        word->clear();
        QTest::keyClicks(word, password);
        QTest::mouseClick(test, Qt::LeftButton);
        ASSERT_TRUE(dialog.ResultText().startsWith(QLatin1String("Connected")))
            << dialog.ResultText().toStdString();
        auto* useFile = dialog.findChild<QRadioButton*>(QStringLiteral("useFile"));
        QTest::mouseClick(useFile, Qt::LeftButton, {}, QPoint(5, useFile->height() / 2));
        dialog.accept();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_TRUE(Keyring::Lookup(login).isEmpty());
        dialog.show();
        QTest::mouseClick(useServer, Qt::LeftButton, {}, QPoint(5, useServer->height() / 2));

        // The right one: the test alone keeps nothing; OK keeps it in the keyring, not in the
        // settings.
        word->clear();
        QTest::keyClicks(word, password);
        QTest::mouseClick(test, Qt::LeftButton);
        EXPECT_TRUE(dialog.ResultText().startsWith(QLatin1String("Connected")))
            << dialog.ResultText().toStdString();
        EXPECT_TRUE(Keyring::Lookup(login).isEmpty());
        dialog.accept();
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(Keyring::Lookup(login), password);
        EXPECT_TRUE(QString::fromUtf8(ReadFile(key)).contains(QLatin1String("v740tls_dialog")));
        EXPECT_FALSE(QString::fromUtf8(ReadFile(key)).contains(password));
    }

    // The next start finds it in the keyring.
    PgConnect::ForgetRemembered();
    const ServerSetup::Check check = ServerSetup::Test(CRegistrySettings::ReadDatabaseServer());
    EXPECT_TRUE(check.ok) << check.message.toStdString();
    qunsetenv("PGPASSFILE");
}

TEST_F(PgWindowTest, ASharedFolderWithTheDatabaseOnAServerTakesNoFolderLock) {
    // The registry key names the shared folder and the server, as the dialog leaves it.
    DataLocation::ResetServer();
    const QString shared = dir.filePath(QStringLiteral("share"));
    ASSERT_TRUE(QDir().mkpath(shared));
    const QString keyFolder = dir.filePath(QStringLiteral("config/VELMOR 740ST - Roziraz Uvurad"));
    ASSERT_TRUE(QDir().mkpath(keyFolder));
    QFile key(keyFolder + QStringLiteral("/registry"));
    ASSERT_TRUE(key.open(QIODevice::WriteOnly));
    key.write(QStringLiteral("ExternalPathEnable=REG_DWORD:1\nExternalDataPath=REG_SZ:%1\n"
                             "Comment=REG_SZ:x\nDatabaseServer=REG_SZ:%2\n")
                  .arg(shared, conninfo)
                  .toUtf8());
    key.close();
    QFile::copy(local + QStringLiteral("/V740Control.ini"), shared + QStringLiteral("/V740Control.ini"));
    ASSERT_EQ(DataLocation::Server(), conninfo);

    CWindowMessages messages;
    CVELMOR740PCRemoteDoc doc;
    doc.SetMessages(&messages);
    ASSERT_TRUE(doc.OnNewDocument()) << notes.recorder.messages.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(doc.DataFolder(), shared);
    EXPECT_FALSE(QFile::exists(shared + QStringLiteral("/user2.log")));
    EXPECT_FALSE(QFile::exists(shared + QStringLiteral("/user2.db")));
    // A second workstation on the same folder starts just as well.
    CVELMOR740PCRemoteDoc second;
    second.SetMessages(&messages);
    EXPECT_TRUE(second.OnNewDocument());
    EXPECT_FALSE(QFile::exists(shared + QStringLiteral("/user2.log")));
}

namespace {

// Confirms saves (OK) and answers the reload question as told, recording what it asked.
class CSheetNotifier : public CNotifier {
public:
    void ShowMessage(const QString& text, const QString&, Icon) override { messages << text; }
    Answer Ask(const QString& text, const QString&, Buttons buttons, Icon) override {
        questions << text;
        if (buttons == Buttons::OkCancel)
            return Answer::Ok;
        return reload ? Answer::Yes : Answer::No;
    }
    QStringList messages, questions;
    bool reload = true;
};

} // namespace

TEST_F(PgWindowTest, ASheetWhoseRecordAnotherWorkstationChangedOffersItAgain) {
    OtherWorkstationImports({QStringLiteral("Alpha")}, QStringLiteral("05.03.2009"));
    CWindowMessages messages;
    CVELMOR740PCRemoteDoc doc;
    doc.SetMessages(&messages);
    ASSERT_TRUE(doc.OnNewDocument());
    CAdoDatabase other;
    ASSERT_TRUE(other.OpenServer(conninfo));
    ASSERT_TRUE(other.OpenQuery(QStringLiteral("SELECT id FROM GeraeteTab WHERE Device = 'Alpha'")));
    qint32 id = 0;
    ASSERT_TRUE(other.GetLong(QStringLiteral("id"), id));
    other.CloseRecordset();

    CSheetNotifier answers;
    CScopedNotifier scope(&answers);
    QStringList shown; // the comment each opened sheet showed
    bool scripted = false;
    // The sheets run modally one after the other; a polling timer plays the user, so that
    // no wait of the script holds a sheet's event loop open.
    // Each sheet is a new window (possibly at the same address as the one before), so the
    // script marks the ones it has handled.
    int sheets = 0;
    QTimer user;
    user.setInterval(20);
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* sheet = qobject_cast<CPropSheet*>(QApplication::activeModalWidget());
        if (!sheet || !sheet->isVisible() || sheet->property("scripted").toBool())
            return;
        sheet->setProperty("scripted", true);
        shown << sheet->Data().FindField(QStringLiteral("Comment"))->value;
        if (++sheets == 1) {
            EXPECT_TRUE(sheet->Data().SetField(QStringLiteral("Comment"), QStringLiteral("mine")));
            // Meanwhile another workstation saves the same protocol.
            EXPECT_TRUE(other.Execute(
                QStringLiteral("UPDATE GeraeteTab SET Comment = 'theirs' WHERE id = %1").arg(id)));
            sheet->accept();
        } else {
            sheet->reject();
            scripted = true;
            user.stop();
        }
    });
    user.start();
    EXPECT_FALSE(CPropSheet::Run(doc, id, nullptr));
    EXPECT_TRUE(scripted);
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[1], QStringLiteral("theirs"))
        << "the sheet shown again has the other workstation's value";
    ASSERT_FALSE(answers.questions.isEmpty());
    EXPECT_TRUE(answers.questions.last().contains(QLatin1String("changed on another workstation")))
        << answers.questions.last().toStdString();
    EXPECT_TRUE(answers.messages.isEmpty()) << answers.messages.join(QLatin1Char('|')).toStdString();
    ASSERT_TRUE(other.OpenQuery(QStringLiteral("SELECT Comment FROM GeraeteTab WHERE id = %1").arg(id)));
    QString comment;
    other.GetString(QStringLiteral("Comment"), comment);
    EXPECT_EQ(comment, QStringLiteral("theirs"));
}
