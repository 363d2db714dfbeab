// A newcomer's first run: a fresh data folder, v740sim with its demo catalogue as the
// tester, and the demo device protocols imported through the import entry's dialog.
#include "app/BaseClass.h"
#include "app/VELMOR740PCRemoteDoc.h"
#include "app/WindowMessages.h"
#include "app/ui/CatalogueDialogs.h"
#include "app/ui/ExchangeDialogs.h"
#include "app/ui/MainFrame.h"
#include "app/ui/VELMOR740PCRemoteView.h"
#include "exchange/ui/ImportV740.h"
#include "link/SimHarness.h"
#include "platform/ProfileFile.h"
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "support/TestSupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>

TEST(FirstRun, TheDemoCatalogueArrivesThroughTheImportDialogWithinAMinute) {
    QTemporaryDir tmp;
    const QString local = tmp.filePath(QStringLiteral("common/VELMOR 740ST - Roziraz Uvurad"));
    ASSERT_TRUE(QDir().mkpath(local));
    qputenv("VELMOR_COMMON_APPDATA", tmp.filePath(QStringLiteral("common")).toUtf8());
    qputenv("XDG_CONFIG_HOME", tmp.filePath(QStringLiteral("config")).toUtf8());
    ASSERT_TRUE(UserSchema::CreateUserDatabase(local, QStringLiteral("3.2")));
    CSimHarness sim({QStringLiteral("--demo"), QStringLiteral("25")});
    ASSERT_TRUE(sim.Started());
    {
        CProfileFile ini(local + QStringLiteral("/V740Control.ini"));
        ASSERT_TRUE(ini.WriteString(QStringLiteral("RS232"), QStringLiteral("Port"), sim.Port()));
        ASSERT_TRUE(
            ini.WriteString(QStringLiteral("Ansicht"), QStringLiteral("Sprache"), QStringLiteral("English")));
    }
    CRecordingNotifier notes;
    CScopedNotifier scope(&notes);
    CWindowMessages messages;
    CVELMOR740PCRemoteDoc doc;
    doc.SetMessages(&messages);
    ASSERT_TRUE(doc.OnNewDocument()) << notes.messages.join(QLatin1Char('|')).toStdString();
    ExchangeDialogs::InstallImport();
    CMainFrame frame(doc, messages);
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    QList<int> icons;
    QObject::connect(&messages, &CWindowMessages::linkStatusChanged,
                     [&](const QString&, const QString&, const QString&, int icon) { icons << icon; });

    QElapsedTimer clock;
    bool scripted = false;
    // The dialog runs modally; the user's clicks come from inside its event loop.
    QTimer::singleShot(0, [&] {
        CImportV740* dlg = nullptr;
        ASSERT_TRUE(QTest::qWaitFor([&] {
            dlg = qobject_cast<CImportV740*>(QApplication::activeModalWidget());
            return dlg != nullptr;
        }));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg->IsBusy(); }, 30000));
        ASSERT_TRUE(dlg->IsConnected()) << notes.messages.join(QLatin1Char('|')).toStdString();
        QTest::mouseClick(dlg->findChild<QRadioButton*>(QStringLiteral("kindProtocols")), Qt::LeftButton);
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("preview")), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg->IsBusy(); }, 30000));
        EXPECT_EQ(dlg->findChild<QTreeWidget*>(QStringLiteral("list"))->topLevelItemCount(), 25);
        // Keyboard this time: Ctrl+A in the list marks every row.
        QTreeWidget* list = dlg->findChild<QTreeWidget*>(QStringLiteral("list"));
        list->setFocus();
        QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("import")), Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !dlg->IsBusy(); }, 60000));
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("close")), Qt::LeftButton);
        scripted = true;
    });
    clock.start();
    CVELMOR740PCRemoteView& view = *frame.View();
    QAbstractItemView* items = view.ActiveList();
    const QPoint at = items->visualRect(view.List().index(0, 0)).center();
    QTest::mouseClick(items->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(items->viewport(), Qt::LeftButton, {}, at);
    const qint64 elapsed = clock.elapsed();
    ASSERT_TRUE(scripted);
    EXPECT_LT(elapsed, 60000);
    std::printf("first run: demo catalogue imported through the dialog in %lld ms\n", elapsed);

    EXPECT_TRUE(notes.messages.isEmpty()) << notes.messages.join(QLatin1Char('|')).toStdString();
    CAdoDatabase db;
    ASSERT_TRUE(db.Open(local, UserSchema::FileName()));
    ASSERT_TRUE(db.OpenQuery(QStringLiteral("SELECT COUNT(*) AS n FROM GeraeteTab WHERE History = 0")));
    qint32 n = 0;
    ASSERT_TRUE(db.GetLong(QStringLiteral("n"), n));
    EXPECT_EQ(n, 25);
    // The kind changed and was stored; the source did not change and was not.
    const CProfileFile ini(local + QStringLiteral("/V740Control.ini"));
    EXPECT_EQ(ini.GetString(QStringLiteral("Import"), QStringLiteral("PV"), QStringLiteral("-"), 31),
              QStringLiteral("0"));
    EXPECT_EQ(ini.GetString(QStringLiteral("Import"), QStringLiteral("Interface"), QStringLiteral("-"), 31),
              QStringLiteral("-"));
    QTest::qWait(50);
    EXPECT_TRUE(icons.contains(170));
    EXPECT_EQ(icons.value(icons.size() - 1), 169);
    CatalogueDialogs::Install(CatalogueDialog::Import, {});
}
