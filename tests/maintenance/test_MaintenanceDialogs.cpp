// The update dialog and the RS232 test dialog under the offscreen platform, against
// v740sim.
#include "app/VELMOR740PCRemoteDoc.h"
#include "link/SimHarness.h"
#include "maintenance/UpdatePackage.h"
#include "maintenance/ui/AntwortDlg.h"
#include "maintenance/ui/FileListDialog.h"
#include "maintenance/ui/MaintenanceWidgets.h"
#include "maintenance/ui/RS232TestDialog.h"
#include "maintenance/ui/RS232UpdateDialog.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {

void PointAtSim(CVELMOR740PCRemoteDoc& doc, const QString& port) {
    doc.SetSerialPort(port);
    doc.SetBaudRate(QStringLiteral("115200"));
    doc.SetDataBits(QStringLiteral("8"));
}

int Colour(QLabel* status) {
    return status->property("statusColour").toInt();
}

} // namespace

class MaintenanceDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("VELMOR_LINK_MAX_TIMEOUT", "1000"); }

    void theConnectionTestSendsOnceAndRepeatedly() {
        CSimHarness sim;
        QVERIFY(sim.Started());
        CVELMOR740PCRemoteDoc doc;
        PointAtSim(doc, sim.Port());
        auto* dlg = new CRS232TestDialog(doc);
        dlg->show();
        QVERIFY(!dlg->CloseButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(dlg->CloseButton()->isEnabled(), 10000);
        QVERIFY(dlg->SendButton()->isEnabled());
        QCOMPARE(Colour(dlg->StatusLabel()), int(StatusColour::Success));
        QCOMPARE(dlg->IdentityList()->item(0, 1)->text(), QStringLiteral("VELMOR 740ST"));
        QCOMPARE(dlg->IdentityList()->item(3, 1)->text(), QStringLiteral("740-000123"));
        QCOMPARE(dlg->CommandList()->count(), 28);

        dlg->CommandList()->setEditText(QStringLiteral(":IDNF?"));
        QTest::mouseClick(dlg->SendButton(), Qt::LeftButton);
        QTRY_COMPARE(dlg->ReplyText()->text(), QStringLiteral("2.10"));

        // Repeating: the reply stays while the next one is on its way.
        dlg->CommandList()->setEditText(QStringLiteral(":SYST:TP?"));
        dlg->RepeatBox()->setChecked(true);
        QVERIFY(dlg->Repeating());
        QTRY_VERIFY(sim.LoggedLines('<').filter(QStringLiteral(":SYST:TP?")).size() >= 5);
        for (int i = 0; i < 20; ++i) {
            QTest::qWait(7);
            QVERIFY(dlg->ReplyText()->text() == QStringLiteral("1") ||
                    dlg->ReplyText()->text() == QStringLiteral("2.10"));
        }
        dlg->RepeatBox()->setChecked(false);
        QVERIFY(!dlg->Repeating());
        QTRY_VERIFY(!dlg->Busy());
        QCOMPARE(dlg->LastReply(), QStringLiteral("1"));

        // A click on the reply opens the answer dialog with the reply in full.
        QTimer::singleShot(100, [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* answer = qobject_cast<CAntwortDlg*>(w)) {
                    QCOMPARE(answer->Reply(), QStringLiteral("1"));
                    answer->reject();
                }
        });
        QTest::mouseClick(dlg->ReplyText(), Qt::LeftButton);

        QTest::mouseClick(dlg->CloseButton(), Qt::LeftButton);
        QVERIFY(!dlg->isVisible());
        QVERIFY(sim.LoggedLines('<').last().startsWith(QStringLiteral("\\x14")));
        delete dlg;
    }

    void aSilentTesterDoesNotFreezeTheConnectionTest() {
        // DC3, the identity's five lines, then silence.
        CSimHarness sim({QStringLiteral("--silent-after"), QStringLiteral("6")});
        QVERIFY(sim.Started());
        CVELMOR740PCRemoteDoc doc;
        PointAtSim(doc, sim.Port());
        CRS232TestDialog dlg(doc);
        dlg.show();
        QTRY_VERIFY_WITH_TIMEOUT(dlg.SendButton()->isEnabled(), 10000);
        dlg.CommandList()->setEditText(QStringLiteral(":IDNM?"));
        QTest::mouseClick(dlg.SendButton(), Qt::LeftButton);
        QVERIFY(dlg.Busy());
        // The window keeps handling events while the exchange waits.
        bool ticked = false;
        QTimer::singleShot(50, [&] { ticked = true; });
        QTRY_VERIFY(ticked);
        QVERIFY(dlg.Busy());
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.Busy(), 5000);
        QCOMPARE(Colour(dlg.StatusLabel()), int(StatusColour::Error));
        QVERIFY(!dlg.SendButton()->isEnabled());
        QVERIFY(dlg.CloseButton()->isEnabled());
    }

    void theUpdateDialogCopiesThePackage() {
        std::unique_ptr<CUpdatePackage> pkg(CUpdatePackage::Standard());
        CSimHarness sim({QStringLiteral("--firmware-version"), QStringLiteral("V2.10")});
        QVERIFY(sim.Started());
        CVELMOR740PCRemoteDoc doc;
        PointAtSim(doc, sim.Folder() + QStringLiteral("/none"));
        qputenv("VELMOR_SERIAL_PORTS", (sim.Folder() + QStringLiteral("/none,") + sim.Port()).toLocal8Bit());
        CNotifierScope notes; // the program installs its message boxes here
        notes.recorder.answer = CNotifier::Answer::Yes;
        CRS232UpdateDialog dlg(doc, pkg->Folder());
        dlg.show();
        QTRY_VERIFY_WITH_TIMEOUT(dlg.CloseButton()->isEnabled(), 20000);
        QVERIFY(dlg.FoundByScan());
        QCOMPARE(doc.SerialPort(), sim.Port()); // the scan's settings are in the document
        QVERIFY(dlg.StartButton()->isEnabled());
        QCOMPARE(dlg.FilesValue()->text(), QStringLiteral("4"));
        QCOMPARE(dlg.IdentityList()->item(2, 1)->text(), QStringLiteral("V2.10"));

        // The file list.
        QTimer::singleShot(300, [] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* list = qobject_cast<CFileListDialog*>(w); list && list->isVisible()) {
                    QCOMPARE(list->List()->rowCount(), 4);
                    QCOMPARE(list->List()->item(0, 3)->text(), QStringLiteral("4.4.0"));
                    list->reject();
                }
        });
        QTest::mouseClick(dlg.InformationButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(dlg.StartButton()->isEnabled(), 10000);

        QTest::mouseClick(dlg.StartButton(), Qt::LeftButton);
        QVERIFY(!dlg.CloseButton()->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(dlg.CloseButton()->isEnabled(), 30000);
        QCOMPARE(Colour(dlg.StatusLabel()), int(StatusColour::Success));
        QCOMPARE(dlg.FilesValue()->text(), QStringLiteral("0"));
        QCOMPARE(notes.recorder.messages.size(), 1); // the update's ending message
        QCOMPARE(notes.recorder.icons[0], CNotifier::Icon::Information);
        QCOMPARE(sim.TesterFile(QStringLiteral("\\%SYSTEM%\\Velmor740.exe")),
                 pkg->files[QStringLiteral("Velmor740.exe")]);
        QTest::mouseClick(dlg.CloseButton(), Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
        QVERIFY(sim.LoggedLines('<').contains(QStringLiteral(":TRANSFER:EXIT")));
        qunsetenv("VELMOR_SERIAL_PORTS");
    }

    void anUnreachableTesterLeavesStartDisabled() {
        std::unique_ptr<CUpdatePackage> pkg(CUpdatePackage::Standard());
        CSimHarness sim({QStringLiteral("--busy")});
        QVERIFY(sim.Started());
        CVELMOR740PCRemoteDoc doc;
        PointAtSim(doc, sim.Port());
        CRS232UpdateDialog dlg(doc, pkg->Folder());
        dlg.show();
        QTRY_VERIFY_WITH_TIMEOUT(dlg.CloseButton()->isEnabled(), 10000);
        QVERIFY(!dlg.StartButton()->isEnabled());
        QCOMPARE(Colour(dlg.StatusLabel()), int(StatusColour::Error));
        QTest::mouseClick(dlg.CloseButton(), Qt::LeftButton);
        QVERIFY(!dlg.isVisible());
    }
};

QTEST_MAIN(MaintenanceDialogsTest)
#include "test_MaintenanceDialogs.moc"
