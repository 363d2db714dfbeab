// The document's start-up on real folders: registry file, settings file, lock file,
// reference database and user database in a temporary tree.
#include "app/VELMOR740PCRemoteDoc.h"
#include "platform/Folders.h"
#include "platform/LockFile.h"
#include "platform/RegistryKey.h"
#include "platform/UserName.h"
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "store/UserSetUpInfo.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <sqlite3.h>

namespace {

class DocumentTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tmp.isValid());
        common = tmp.filePath(QStringLiteral("common"));
        local = common + QStringLiteral("/VELMOR 740ST - Roziraz Uvurad");
        shared = tmp.filePath(QStringLiteral("shared"));
        ASSERT_TRUE(QDir().mkpath(local));
        ASSERT_TRUE(QDir().mkpath(shared));
        qputenv("VELMOR_COMMON_APPDATA", common.toUtf8());
        qputenv("XDG_CONFIG_HOME", tmp.filePath(QStringLiteral("config")).toUtf8());
        qputenv("VELMOR_PROGRAM_FILES", QByteArray(V740_BIN_DIR));
        qunsetenv("VELMOR_NO_USER_NAME");
        ASSERT_TRUE(GetUserName(me));
    }
    void TearDown() override {
        for (const char* name :
             {"VELMOR_COMMON_APPDATA", "XDG_CONFIG_HOME", "VELMOR_PROGRAM_FILES", "VELMOR_NO_USER_NAME"})
            qunsetenv(name);
    }

    void MakeUserDb(const QString& folder, const QString& version = QStringLiteral("3.2")) {
        ASSERT_TRUE(UserSchema::CreateUserDatabase(folder, version));
    }
    // The key as an administrator would have left it; values given as DWORD or text.
    void WriteRegistry(const QList<std::tuple<QString, bool, QString>>& values) {
        CRegistryKey key;
        bool created = false;
        int err = 0;
        ASSERT_TRUE(key.Open(true, &created, &err));
        for (const auto& [name, dword, value] : values) {
            if (dword)
                ASSERT_TRUE(key.SetDword(name, value.toUInt(), &err));
            else
                ASSERT_TRUE(key.SetSz(name, value, &err));
        }
    }
    void UseSharedFolder(quint32 enable) {
        WriteRegistry({{QStringLiteral("ExternalDataPath"), false, shared},
                       {QStringLiteral("ExternalPathEnable"), true, QString::number(enable)}});
    }
    void WriteIni(const QString& folder, const QByteArray& content) {
        QFile f(folder + QStringLiteral("/V740Control.ini"));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }

    QTemporaryDir tmp;
    QString common, local, shared, me;
    CNotifierScope notes;
};

} // namespace

TEST_F(DocumentTest, FirstStartCreatesTheKeyUsesTheLocalFolderAndTakesNoLock) {
    MakeUserDb(local);
    CVELMOR740PCRemoteDoc doc;
    ASSERT_TRUE(doc.OnNewDocument()) << notes.recorder.messages.join(QStringLiteral(" | ")).toStdString();
    EXPECT_TRUE(notes.recorder.messages.isEmpty());
    EXPECT_EQ(doc.DataFolder(), local);
    EXPECT_EQ(doc.SettingsFile(), local + QStringLiteral("/V740Control.ini"));
    EXPECT_EQ(doc.ExternalPathEnable(), 0u);
    EXPECT_FALSE(doc.HoldsLock());
    EXPECT_FALSE(QFile::exists(local + QStringLiteral("/user2.log")));
    EXPECT_EQ(doc.MinRemoteVersion(), QStringLiteral("1,0,6,50616"));
    EXPECT_EQ(doc.UpdateFolder(), QStringLiteral(V740_BIN_DIR "/Update"));

    CRegistryKey key;
    bool created = true;
    int err = 0;
    ASSERT_TRUE(key.Open(false, &created, &err));
    quint32 enable = 9;
    QString path, comment;
    EXPECT_TRUE(key.QueryDword(QStringLiteral("ExternalPathEnable"), enable, &err));
    EXPECT_EQ(enable, 0u);
    EXPECT_TRUE(key.QuerySz(QStringLiteral("ExternalDataPath"), path, 520, &err));
    EXPECT_EQ(path, CVELMOR740PCRemoteDoc::PlaceholderDataPath());
    EXPECT_TRUE(key.QuerySz(QStringLiteral("Comment"), comment, 1024, &err));
    EXPECT_EQ(comment, CVELMOR740PCRemoteDoc::RegistryComment());

    // The second start finds the key and reads it without a word.
    CVELMOR740PCRemoteDoc again;
    EXPECT_TRUE(again.OnNewDocument());
    EXPECT_TRUE(notes.recorder.messages.isEmpty());
}

TEST_F(DocumentTest, AMissingSettingsFileYieldsTheDefaults) {
    MakeUserDb(local);
    CVELMOR740PCRemoteDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.Language(), QStringLiteral("Deutsch"));
    EXPECT_EQ(doc.SerialPort(), QStringLiteral("COM1:"));
    EXPECT_EQ(doc.BaudRate(), QStringLiteral("115200"));
    EXPECT_EQ(doc.DataBits(), QStringLiteral("8"));
    EXPECT_EQ(doc.ImportPV(), 1);
    EXPECT_EQ(doc.ImportInterface(), 0);
    EXPECT_EQ(doc.ImportFilter(), 0);
    EXPECT_EQ(doc.LastDrive(), QString());
    EXPECT_EQ(doc.LastFolder(), QString());
    EXPECT_EQ(doc.SignBitmap(), QString());
    EXPECT_EQ(doc.Text(50001), QStringLiteral("Übersicht"));
}

TEST_F(DocumentTest, SettingsWithGarbageOrOverlongValuesFallBackToDefaultsAndLimits) {
    MakeUserDb(local);
    struct Case {
        const char* what;
        QByteArray ini;
        std::function<void(const CVELMOR740PCRemoteDoc&)> check;
    };
    const Case cases[] = {
        {"sections and keys without regard to case",
         "[ansicht]\r\nSPRACHE=english\r\n[rs232]\r\nport=/dev/ttyUSB0\r\n",
         [](const auto& d) {
             EXPECT_EQ(d.Language(), QStringLiteral("English"));
             EXPECT_EQ(d.SerialPort(), QStringLiteral("/dev/ttyUSB0"));
         }},
        {"a language that is none of the seven", "[Ansicht]\nSprache=Klingon\n",
         [](const auto& d) { EXPECT_EQ(d.Language(), QStringLiteral("Deutsch")); }},
        {"garbage numbers", "[Import]\nInterface=two\nPV=yes\nFilter=\n",
         [](const auto& d) {
             EXPECT_EQ(d.ImportInterface(), 0);
             EXPECT_EQ(d.ImportPV(), 1);
             EXPECT_EQ(d.ImportFilter(), 0);
         }},
        {"numbers outside their values", "[Import]\nInterface=3\nPV=-1\nFilter=2\n",
         [](const auto& d) {
             EXPECT_EQ(d.ImportInterface(), 0);
             EXPECT_EQ(d.ImportPV(), 1);
             EXPECT_EQ(d.ImportFilter(), 0);
         }},
        {"numbers in range", "[Import]\nInterface=2\nPV=0\nFilter=1\n",
         [](const auto& d) {
             EXPECT_EQ(d.ImportInterface(), 2);
             EXPECT_EQ(d.ImportPV(), 0);
             EXPECT_EQ(d.ImportFilter(), 1);
         }},
        {"values at and above their limits",
         "[RS232]\nPort=" + QByteArray(31, 'p') + "\nBaudrate=" + QByteArray(40, '9') +
             "\n[Import]\nDisk=" + QByteArray(300, 'd') + "\nFolder=" + QByteArray(300, 'f') + "\n",
         [](const auto& d) {
             EXPECT_EQ(d.SerialPort(), QString(31, QLatin1Char('p')));
             EXPECT_EQ(d.BaudRate(), QString(31, QLatin1Char('9')));
             EXPECT_EQ(d.LastDrive(), QString(259, QLatin1Char('d')));
             EXPECT_EQ(d.LastFolder(), QString(259, QLatin1Char('f')));
         }},
        {"a port path longer than a short setting is kept whole",
         "[RS232]\nPort=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0\n",
         [](const auto& d) {
             EXPECT_EQ(d.SerialPort(),
                       QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"));
         }},
        {"a drive's mount point is kept whole",
         "[Import]\nDisk=/run/media/bernadette.kowalczyk/INTENSO_USB_STICK_64GB_2019/\n",
         [](const auto& d) {
             EXPECT_EQ(d.LastDrive(),
                       QStringLiteral("/run/media/bernadette.kowalczyk/INTENSO_USB_STICK_64GB_2019/"));
         }},
        {"an overlong language is cut, then unknown",
         "[Ansicht]\nSprache=" + QByteArray("Deutsch") + QByteArray(30, 'x') + "\n",
         [](const auto& d) { EXPECT_EQ(d.Language(), QStringLiteral("Deutsch")); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteIni(local, c.ini);
        CVELMOR740PCRemoteDoc doc;
        ASSERT_TRUE(doc.OnNewDocument());
        c.check(doc);
    }
    EXPECT_TRUE(notes.recorder.messages.isEmpty());
}

TEST_F(DocumentTest, RegistryReadFailuresAreToldAndWhatWasReadStaysInForce) {
    MakeUserDb(local);
    MakeUserDb(shared);
    const QString invalid = CRegistryKey::ErrorText(EINVAL);
    struct Case {
        const char* what;
        QList<std::tuple<QString, bool, QString>> values;
        QString message; // empty: none
        QString dataFolder;
    };
    const QString longComment(600, QLatin1Char('c'));
    const QList<Case> cases{
        {"data path of the wrong type",
         {{QStringLiteral("ExternalDataPath"), true, QStringLiteral("1")},
          {QStringLiteral("ExternalPathEnable"), true, QStringLiteral("1")}},
         QStringLiteral("Error Registry Read ExternalDataPath: ") + invalid +
             QStringLiteral("Use default settings now"),
         local},
        {"enable flag of the wrong type",
         {{QStringLiteral("ExternalDataPath"), false, shared},
          {QStringLiteral("ExternalPathEnable"), false, QStringLiteral("1")}},
         QStringLiteral("Error Registry Read ExternalPathEnable: ") + invalid +
             QStringLiteral("Use default settings now"),
         local},
        {"data path missing",
         {{QStringLiteral("ExternalPathEnable"), true, QStringLiteral("1")}},
         QStringLiteral("Error Registry Read ExternalDataPath: ") + CRegistryKey::ErrorText(ENOENT) +
             QStringLiteral("Use default settings now"),
         local},
        {"comment too long for its buffer: told, but the shared folder is used",
         {{QStringLiteral("ExternalDataPath"), false, shared},
          {QStringLiteral("ExternalPathEnable"), true, QStringLiteral("1")},
          {QStringLiteral("Comment"), false, longComment}},
         QStringLiteral("Error Registry Read Comment: ") + CRegistryKey::ErrorText(EOVERFLOW) +
             QStringLiteral("Use default settings now"),
         shared},
        {"comment of the wrong type does not count",
         {{QStringLiteral("ExternalDataPath"), false, shared},
          {QStringLiteral("ExternalPathEnable"), true, QStringLiteral("1")},
          {QStringLiteral("Comment"), true, QStringLiteral("7")}},
         QString(),
         shared},
        {"data path at its limit of 259 characters",
         {{QStringLiteral("ExternalDataPath"), false, QString(259, QLatin1Char('x'))},
          {QStringLiteral("ExternalPathEnable"), true, QStringLiteral("0")}},
         QString(),
         local},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(CRegistryKey::KeyFile());
        WriteRegistry(c.values);
        notes.recorder.Clear();
        {
            CVELMOR740PCRemoteDoc doc;
            EXPECT_TRUE(doc.OnNewDocument())
                << notes.recorder.messages.join(QStringLiteral(" | ")).toStdString();
            EXPECT_EQ(doc.DataFolder(), c.dataFolder);
        }
        if (c.message.isEmpty()) {
            EXPECT_TRUE(notes.recorder.messages.isEmpty()) << notes.recorder.Last().toStdString();
        } else {
            ASSERT_EQ(notes.recorder.messages.size(), 1);
            EXPECT_EQ(notes.recorder.Last(), c.message);
            EXPECT_EQ(notes.recorder.icons[0], CNotifier::Icon::None);
        }
    }
}

TEST_F(DocumentTest, AnInaccessibleKeyIsToldAndTheLocalFolderUsed) {
    MakeUserDb(local);
    // The key's folder name is taken by a plain file.
    QDir().mkpath(tmp.filePath(QStringLiteral("config")));
    QFile blocker(CRegistryKey::KeyFolder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    CVELMOR740PCRemoteDoc doc;
    EXPECT_TRUE(doc.OnNewDocument());
    ASSERT_EQ(notes.recorder.messages.size(), 1);
    EXPECT_TRUE(notes.recorder.Last().startsWith(
        QStringLiteral("Error to access VELMOR Roziraz Uvurad registry settings: ")));
    EXPECT_TRUE(notes.recorder.Last().endsWith(QStringLiteral("\nUse default settings now")));
    EXPECT_EQ(doc.DataFolder(), local);
}

TEST_F(DocumentTest, EnableTwoUsesTheLocalFolderButStillTakesTheLock) {
    MakeUserDb(local);
    UseSharedFolder(2);
    CVELMOR740PCRemoteDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    EXPECT_EQ(doc.DataFolder(), local);
    EXPECT_TRUE(doc.HoldsLock());
    EXPECT_EQ(CLockFile::ReadHolderName(local + QStringLiteral("/user2.log")), me);
    EXPECT_FALSE(QFile::exists(shared + QStringLiteral("/user2.log")));
}

TEST_F(DocumentTest, ASecondWorkstationIsRefusedWithTheFirstUsersNameUntilItExits) {
    MakeUserDb(shared);
    UseSharedFolder(1);
    WriteIni(shared, "[Ansicht]\nSprache=English\n");
    auto first = std::make_unique<CVELMOR740PCRemoteDoc>();
    ASSERT_TRUE(first->OnNewDocument());
    EXPECT_EQ(first->DataFolder(), shared);
    EXPECT_TRUE(first->HoldsLock());

    {
        CVELMOR740PCRemoteDoc second;
        EXPECT_FALSE(second.OnNewDocument());
        ASSERT_EQ(notes.recorder.messages.size(), 1);
        EXPECT_EQ(notes.recorder.Last(),
                  QStringLiteral("VELMOR - Roziraz Uvurad is already in use by user: %1!").arg(me));
    }
    EXPECT_EQ(CLockFile::ReadHolderName(shared + QStringLiteral("/user2.log")), me)
        << "the refused start leaves the file";

    first.reset();
    notes.recorder.Clear();
    CVELMOR740PCRemoteDoc second;
    EXPECT_TRUE(second.OnNewDocument());
    EXPECT_TRUE(notes.recorder.messages.isEmpty());
    EXPECT_TRUE(second.HoldsLock());
}

TEST_F(DocumentTest, TheInUseMessageSpeaksTheUsersLanguageAndNamesAForeignHolder) {
    MakeUserDb(shared);
    UseSharedFolder(1);
    WriteIni(shared, "[Ansicht]\nSprache=Deutsch\n");
    CLockFile other;
    ASSERT_EQ(other.Acquire(shared + QStringLiteral("/user2.log"), QStringLiteral("Zdeněk")),
              CLockFile::Result::Locked);
    CVELMOR740PCRemoteDoc doc;
    EXPECT_FALSE(doc.OnNewDocument());
    EXPECT_EQ(notes.recorder.Last(),
              QStringLiteral("VELMOR - Roziraz Uvurad wird bereits von Benutzer Zdeněk verwendet!"));
}

TEST_F(DocumentTest, TheInUseMessageFallsBackToItsFixedTextWhenTheCatalogueLacksIt) {
    MakeUserDb(shared);
    UseSharedFolder(1);
    // A reference database whose text 50020 is gone.
    const QString reference = tmp.filePath(QStringLiteral("program"));
    ASSERT_TRUE(QDir().mkpath(reference));
    ASSERT_TRUE(
        QFile::copy(QStringLiteral(V740_BIN_DIR "/velmor.db"), reference + QStringLiteral("/velmor.db")));
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(reference + QStringLiteral("/velmor.db")).constData(), &db),
              SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "DELETE FROM TexteTab WHERE TextID = 50020", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    qputenv("VELMOR_PROGRAM_FILES", reference.toUtf8());

    CLockFile other;
    ASSERT_EQ(other.Acquire(shared + QStringLiteral("/user2.log"), QStringLiteral("anna")),
              CLockFile::Result::Locked);
    CVELMOR740PCRemoteDoc doc;
    EXPECT_FALSE(doc.OnNewDocument());
    EXPECT_EQ(notes.recorder.Last(),
              QStringLiteral("VELMOR - Roziraz Uvurad is already in use by user: anna!"));
}

TEST_F(DocumentTest, StartUpFailuresEndTheStartWithTheirMessage) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
        QString expectedStart; // the message starts with this
        CNotifier::Icon icon;
    };
    const QString lockPath = tmp.filePath(QStringLiteral("gone")) + QStringLiteral("/user2.log");
    const QList<Case> cases{
        {"user name unavailable",
         [&] {
             UseSharedFolder(1);
             MakeUserDb(shared);
             qputenv("VELMOR_NO_USER_NAME", "1");
         },
         QStringLiteral("WinAPI Function GetUserName() failed!"), CNotifier::Icon::Error},
        {"lock file cannot be created",
         [&] {
             WriteRegistry({{QStringLiteral("ExternalDataPath"), false, tmp.filePath(QStringLiteral("gone"))},
                            {QStringLiteral("ExternalPathEnable"), true, QStringLiteral("1")}});
         },
         QStringLiteral("CFileException Error:3 open lock-file:") + lockPath, CNotifier::Icon::Error},
        {"data root missing",
         [&] { qputenv("VELMOR_COMMON_APPDATA", tmp.filePath(QStringLiteral("nowhere")).toUtf8()); },
         QStringLiteral("Not supported Windows-Version! Function: SHGetSpecialFolderPath() failed"),
         CNotifier::Icon::Error},
        {"reference database missing",
         [&] {
             MakeUserDb(local);
             qputenv("VELMOR_PROGRAM_FILES", tmp.path().toUtf8());
         },
         QStringLiteral("Source"), CNotifier::Icon::Error},
        {"user database missing", [] {}, QStringLiteral("Source"), CNotifier::Icon::Error},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        c.arrange();
        notes.recorder.Clear();
        {
            CVELMOR740PCRemoteDoc doc;
            EXPECT_FALSE(doc.OnNewDocument());
            EXPECT_FALSE(doc.HoldsLock());
        }
        ASSERT_FALSE(notes.recorder.messages.isEmpty());
        EXPECT_TRUE(notes.recorder.messages.first().startsWith(c.expectedStart))
            << notes.recorder.messages.first().toStdString();
        EXPECT_EQ(notes.recorder.icons.front(), c.icon);
        TearDown();
        SetUp();
        QFile::remove(CRegistryKey::KeyFile());
        QFile::remove(local + QStringLiteral("/user2.db"));
    }
}

TEST_F(DocumentTest, AnOlderDatabaseVersionEndsTheStartWithTheThreeLineMessage) {
    MakeUserDb(local, QStringLiteral("3.1"));
    CVELMOR740PCRemoteDoc doc;
    EXPECT_FALSE(doc.OnNewDocument());
    ASSERT_EQ(notes.recorder.messages.size(), 1);
    const QStringList lines = notes.recorder.Last().split(QLatin1Char('\n'));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0],
              QStringLiteral(
                  "Die Benutzerdatenbank hat eine Version, mit der dieses Programm nicht arbeiten kann."));
    EXPECT_EQ(lines[1], QStringLiteral("Benötigte Version: 3.2, gefundene Version: 3.1"));
    EXPECT_EQ(lines[2],
              QStringLiteral("Aktualisieren Sie die Datenbank mit Permidor aus dem Programmordner: ") +
                  Folders::ProgramFolder());
    EXPECT_EQ(notes.recorder.icons[0], CNotifier::Icon::Error);
}

TEST_F(DocumentTest, UnusableUserDatabasesEndTheStartWithAClearMessage) {
    struct Case {
        const char* what;
        std::function<void()> arrange;
        QString expectedPart;
    };
    const QString file = local + QStringLiteral("/user2.db");
    const QList<Case> cases{
        {"a Jet file in place of user2.db",
         [&] {
             QFile f(file);
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20) + QByteArray(2048, '\0'));
         },
         QStringLiteral("Access (Jet) database")},
        {"only the Windows program's user2.mdb",
         [&] {
             QFile f(local + QStringLiteral("/user2.mdb"));
             ASSERT_TRUE(f.open(QIODevice::WriteOnly));
             f.write(QByteArray("\x00\x01\x00\x00Standard Jet DB\x00", 20));
         },
         QStringLiteral("user2.mdb")},
        {"an empty VersionTab",
         [&] {
             MakeUserDb(local);
             CAdoDatabase db;
             ASSERT_TRUE(db.Open(local, QStringLiteral("user2.db")));
             ASSERT_TRUE(db.Execute(QStringLiteral("DELETE FROM VersionTab")));
         },
         QStringLiteral("Benötigte Version: 3.2, gefundene Version: \n")},
        {"a NULL version",
         [&] {
             MakeUserDb(local);
             CAdoDatabase db;
             ASSERT_TRUE(db.Open(local, QStringLiteral("user2.db")));
             ASSERT_TRUE(db.Execute(QStringLiteral("UPDATE VersionTab SET DatabaseVersion = NULL")));
         },
         QStringLiteral("Benötigte Version: 3.2, gefundene Version: \n")},
        {"the last row decides",
         [&] {
             MakeUserDb(local);
             CAdoDatabase db;
             ASSERT_TRUE(db.Open(local, QStringLiteral("user2.db")));
             ASSERT_TRUE(
                 db.Execute(QStringLiteral("INSERT INTO VersionTab (DatabaseVersion) VALUES ('3.3')")));
         },
         QStringLiteral("gefundene Version: 3.3")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(file);
        QFile::remove(local + QStringLiteral("/user2.mdb"));
        c.arrange();
        notes.recorder.Clear();
        CVELMOR740PCRemoteDoc doc;
        EXPECT_FALSE(doc.OnNewDocument());
        ASSERT_EQ(notes.recorder.messages.size(), 1)
            << notes.recorder.messages.join(QStringLiteral(" | ")).toStdString();
        EXPECT_TRUE(notes.recorder.Last().contains(c.expectedPart)) << notes.recorder.Last().toStdString();
    }
}

TEST_F(DocumentTest, LanguageChangeClearsBothStoredFiltersAndWritesTheLanguage) {
    MakeUserDb(local);
    CVELMOR740PCRemoteDoc doc;
    ASSERT_TRUE(doc.OnNewDocument());
    CUserSetUpInfo setUp(QStringLiteral("user2.db"), local);
    ASSERT_TRUE(setUp.SetFilter(50, -1, QStringLiteral("SELECT * FROM TypenTab WHERE Name = 'Prüfung'")));
    ASSERT_TRUE(setUp.SetFilter(60, -1, QStringLiteral("SELECT * FROM GeraeteTab")));

    ASSERT_TRUE(doc.ChangeLanguage(QStringLiteral("English")));
    EXPECT_EQ(doc.Language(), QStringLiteral("English"));
    EXPECT_EQ(doc.Text(50001), QStringLiteral("Overview"));
    for (int directory : {50, 60}) {
        int on = 5;
        QString query = QStringLiteral("x");
        EXPECT_TRUE(setUp.GetFilter(directory, on, query));
        EXPECT_EQ(on, 0) << directory;
        EXPECT_TRUE(query.isEmpty()) << directory;
    }
    EXPECT_EQ(doc.Profile().GetString(QStringLiteral("Ansicht"), QStringLiteral("Sprache"), QString()),
              QStringLiteral("English"));
    CVELMOR740PCRemoteDoc next;
    ASSERT_TRUE(next.OnNewDocument());
    EXPECT_EQ(next.Language(), QStringLiteral("English"));
}

// The program's start brings a 3.2 file of an earlier build up to this build's schema: the
// name keys, the language of its names (the user's), no triggers the stock tool cannot run.
TEST_F(DocumentTest, StartCompletesA32FileOfAnEarlierBuild) {
    MakeUserDb(local);
    {
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(local + QStringLiteral("/user2.db")).constData(), &raw),
                  SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(raw,
                               "DROP INDEX TypenTab_IX_NameKey; ALTER TABLE TypenTab DROP COLUMN NameKey;"
                               "DROP TABLE LanguageTab; INSERT INTO TypenTab (Name) VALUES ('Ölpumpe');",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(raw);
    }
    WriteIni(local, "[Ansicht]\r\nSprache=Italiano\r\n");
    CVELMOR740PCRemoteDoc doc;
    ASSERT_TRUE(doc.OnNewDocument()) << notes.recorder.messages.join(QStringLiteral(" | ")).toStdString();
    CAdoDatabase db;
    ASSERT_TRUE(db.Open(local, UserSchema::FileName()));
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT NameKey, (SELECT Language FROM LanguageTab) AS Language "
                                            "FROM TypenTab")));
    ASSERT_TRUE(db.MoveFirst());
    QString key, language;
    EXPECT_TRUE(db.GetString(QStringLiteral("NameKey"), key));
    EXPECT_TRUE(db.GetString(QStringLiteral("Language"), language));
    EXPECT_EQ(key, QStringLiteral("ölpumpe"));
    EXPECT_EQ(language, QStringLiteral("Italiano"));
    EXPECT_FALSE(db.Execute(QStringLiteral("INSERT INTO TypenTab (Name) VALUES ('ÖLPUMPE')")));
}
