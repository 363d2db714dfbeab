// The print header dialog under the offscreen platform: editing, the bitmaps it refuses,
// the signatures, and the save and send against v740sim.
#include "Bitmaps.h"

#include "app/VELMOR740PCRemoteDoc.h"
#include "app/WindowMessages.h"
#include "link/SimHarness.h"
#include "platform/SettingsFile.h"
#include "printheader/PrintHeaderText.h"
#include "printheader/ui/PrintHeader.h"
#include "store/UserSchema.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

class PrintHeaderDialogTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp;
    std::unique_ptr<CRecordingNotifier> notes;
    std::unique_ptr<CScopedNotifier> scope;
    std::unique_ptr<CVELMOR740PCRemoteDoc> doc;
    QString local;

    QString Source(const QString& name, const QByteArray& bytes) {
        const QString path = tmp->filePath(name);
        WriteBytes(path, bytes);
        return path;
    }
    QByteArray Data(const QString& name) const { return ReadBytes(QDir(local).filePath(name)); }
    QStringList Listed(CPrintHeader& dlg) const {
        QStringList names;
        for (int i = 0; i < dlg.SignatureList()->count(); ++i)
            names << dlg.SignatureList()->item(i)->text();
        return names;
    }

private slots:
    void initTestCase() { qputenv("VELMOR_LINK_MAX_TIMEOUT", "1000"); }
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
        doc = std::make_unique<CVELMOR740PCRemoteDoc>();
        QVERIFY2(doc->OnNewDocument(), qPrintable(notes->messages.join(QStringLiteral(" | "))));
        notes->Clear();
    }
    void cleanup() {
        doc.reset();
        scope.reset();
        notes.reset();
        tmp.reset();
    }

    void opensWithTheStoredHeader() {
        QVERIFY(WriteBytes(QDir(local).filePath(QStringLiteral("header.txt")), "Firma\r\nStra\xdf"
                                                                               "e\r\nOrt\r\nsign=2\r\n"));
        QVERIFY(WriteBytes(QDir(local).filePath(QStringLiteral("logo.bmp")), MakeBitmap(60, 20, 8)));
        QCOMPARE(CPrintHeaderText::StoreSignature(local,
                                                  Source(QStringLiteral("Bert.bmp"), MakeBitmap(30, 10, 1))),
                 0);
        QCOMPARE(CPrintHeaderText::StoreSignature(local,
                                                  Source(QStringLiteral("Anna.bmp"), MakeBitmap(30, 10, 1))),
                 0);
        QVERIFY(doc->Settings().WriteSignBitmap(QStringLiteral("Bert")));
        doc->SetSignBitmap(QStringLiteral("Bert"));

        CPrintHeader dlg(*doc);
        dlg.show();
        QCOMPARE(dlg.windowTitle(), doc->Text(50194));
        QCOMPARE(dlg.LineList()->headerItem()->text(0), QStringLiteral("Kopfzeile"));
        QCOMPARE(dlg.LineList()->topLevelItemCount(), 3);
        QCOMPARE(dlg.LineList()->topLevelItem(1)->text(0), QStringLiteral("Stra\u00dfe"));
        QCOMPARE(dlg.LineList()->currentItem(), dlg.LineList()->topLevelItem(0));
        QCOMPARE(dlg.OptionBox()->count(), 3);
        QCOMPARE(dlg.OptionBox()->currentIndex(), 2);
        QCOMPARE(dlg.OptionBox()->itemText(0), doc->Text(50219));
        QCOMPARE(Listed(dlg), (QStringList{QStringLiteral("Anna"), QStringLiteral("Bert")}));
        QCOMPARE(dlg.SignatureList()->currentItem()->text(), QStringLiteral("Bert"));
        QVERIFY(!dlg.SignaturePreview()->pixmap().isNull());
        QVERIFY(!dlg.LogoPreview()->pixmap().isNull());
        QVERIFY(dlg.LogoPreview()->pixmap().width() <= 150 && dlg.LogoPreview()->pixmap().height() <= 53);
        QVERIFY(dlg.Progress()->isHidden());
        QVERIFY(dlg.StatusText()->isHidden());
    }

    void editsALineInPlaceAndCutsIt() {
        CPrintHeader dlg(*doc);
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        dlg.LineList()->setFocus();
        dlg.LineList()->setCurrentItem(dlg.LineList()->topLevelItem(1));
        // Enter starts editing the selected line.
        QTest::keyClick(dlg.LineList(), Qt::Key_Return);
        auto* editor = dlg.LineList()->findChild<QLineEdit*>();
        QVERIFY(editor);
        QTRY_VERIFY(editor->isVisible());
        editor->setText(QString(60, QLatin1Char('x')));
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(dlg.Header().Line(1), QString(50, QLatin1Char('x')));
        QCOMPARE(dlg.LineList()->topLevelItem(1)->text(0), QString(50, QLatin1Char('x')));

        // A character the code page lacks is refused and the line stays.
        dlg.LineList()->topLevelItem(1)->setText(0, QStringLiteral("\u4e2d"));
        QCOMPARE(dlg.LineList()->topLevelItem(1)->text(0), QString(50, QLatin1Char('x')));
        QCOMPARE(notes->messages.size(), 1);
        QVERIFY(notes->Last().contains(QStringLiteral("\u4e2d")));
        // Nothing is saved before "Save and send".
        QVERIFY(!QFileInfo::exists(QDir(local).filePath(QStringLiteral("header.txt"))));
    }

    void refusesBadBitmapsAndChangesNothing() {
        const QByteArray logo = MakeBitmap(40, 10, 4);
        CPrintHeader dlg(*doc);
        QVERIFY(dlg.ChooseLogo(Source(QStringLiteral("logo-in.bmp"), logo)));
        QCOMPARE(Data(QStringLiteral("logo.bmp")), logo);
        QVERIFY(notes->messages.isEmpty());

        const QByteArray eight = MakeBitmap(8, 8, 8);
        const struct {
            const char* file;
            QByteArray bytes;
        } bad[] = {{"deep.bmp", MakeBitmap(8, 8, 24)}, {"cut.bmp", eight.left(60)}, {"png.bmp", PngBytes()}};
        for (const auto& b : bad) {
            const QString path = Source(QString::fromLatin1(b.file), b.bytes);
            notes->Clear();
            QVERIFY(!dlg.ChooseLogo(path));
            QVERIFY(!dlg.AddSignature(path));
            QCOMPARE(notes->messages.size(), 2);
            QCOMPARE(notes->messages[0], doc->Text(50205) + QLatin1Char('\n') + path);
            QVERIFY(notes->icons[0] == CNotifier::Icon::Error);
        }
        QCOMPARE(Data(QStringLiteral("logo.bmp")), logo);
        QVERIFY(CPrintHeaderText::SignatureNames(local).isEmpty());
        QCOMPARE(dlg.SignatureList()->count(), 0);
    }

    void addingAnExistingNameReplacesItsFile() {
        CPrintHeader dlg(*doc);
        const QString path = Source(QStringLiteral("Anna.bmp"), MakeBitmap(30, 10, 1, 1));
        QVERIFY(dlg.AddSignature(path));
        QVERIFY(dlg.AddSignature(Source(QStringLiteral("Zoe.bmp"), MakeBitmap(30, 10, 1, 2))));
        QCOMPARE(doc->SignBitmap(), QStringLiteral("Zoe"));
        const QByteArray second = MakeBitmap(50, 20, 8, 3);
        QVERIFY(WriteBytes(path, second));
        QVERIFY(dlg.AddSignature(path));
        QCOMPARE(Listed(dlg), (QStringList{QStringLiteral("Anna"), QStringLiteral("Zoe")}));
        QCOMPARE(dlg.SignatureList()->currentRow(), 0);
        QByteArray stored;
        QVERIFY(CPrintHeaderText::ReadSignature(local, QStringLiteral("Anna"), stored));
        QCOMPARE(stored, second);
        QCOMPARE(doc->SignBitmap(), QStringLiteral("Anna"));
        QCOMPARE(CSettingsFile(local).Read().signBitmap, QStringLiteral("Anna"));

        // Selecting makes the current signature; deleting asks first.
        dlg.SignatureList()->setCurrentRow(1);
        QCOMPARE(CSettingsFile(local).Read().signBitmap, QStringLiteral("Zoe"));
        notes->answer = CNotifier::Answer::Cancel;
        dlg.DeleteSignature();
        QCOMPARE(CPrintHeaderText::SignatureNames(local).size(), 2);
        notes->answer = CNotifier::Answer::Ok;
        dlg.DeleteSignature();
        QVERIFY(notes->icons.back() == CNotifier::Icon::Question);
        QCOMPARE(CPrintHeaderText::SignatureNames(local), QStringList{QStringLiteral("Anna")});
        QCOMPARE(Listed(dlg), QStringList{QStringLiteral("Anna")});
        QCOMPARE(CSettingsFile(local).Read().signBitmap, QStringLiteral("Anna"));
        dlg.DeleteSignature();
        QCOMPARE(dlg.SignatureList()->count(), 0);
        QCOMPARE(CSettingsFile(local).Read().signBitmap, QString());
        QVERIFY(dlg.SignaturePreview()->pixmap().isNull());
    }

    void savesAndSendsToTheSimulator() {
        CSimHarness sim;
        QVERIFY(sim.Started());
        // The stored port is wrong: the scan finds the tester and the dialog reports it.
        qputenv("VELMOR_SERIAL_PORTS", (sim.Folder() + QStringLiteral("/none,") + sim.Port()).toLocal8Bit());
        doc->SetSerialPort(sim.Folder() + QStringLiteral("/none"));
        doc->SetBaudRate(QStringLiteral("115200"));
        doc->SetDataBits(QStringLiteral("8"));
        auto* dlg = new CPrintHeader(*doc);
        const QByteArray sign = MakeBitmap(100, 30, 1, 4);
        QVERIFY(dlg->ChooseLogo(Source(QStringLiteral("in.bmp"), MakeBitmap(20, 20, 8))));
        QVERIFY(dlg->AddSignature(Source(QStringLiteral("Chef.bmp"), sign)));
        dlg->LineList()->topLevelItem(0)->setText(0, QStringLiteral("Pr\u00fcflabor"));
        dlg->OptionBox()->setCurrentIndex(2);
        dlg->show();
        QTest::mouseClick(dlg->SendButton(), Qt::LeftButton);
        QVERIFY(dlg->Busy());
        QVERIFY(!dlg->SendButton()->isEnabled());
        QVERIFY(!dlg->CloseButton()->isEnabled());
        QVERIFY(dlg->Progress()->isVisible());
        QCOMPARE(dlg->Progress()->maximum(), 5);
        // Escape does not close the dialog while the send runs.
        QTest::keyClick(dlg, Qt::Key_Escape);
        QVERIFY(dlg->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->Busy(), 30000);
        QVERIFY2(notes->messages.isEmpty(), qPrintable(notes->messages.join(QLatin1Char('|'))));
        QCOMPARE(dlg->result(), int(QDialog::Accepted));
        QVERIFY(dlg->FoundByScan());
        QCOMPARE(doc->SerialPort(), sim.Port());
        QCOMPARE(Data(QStringLiteral("header.txt")), QByteArray("Pr\xfc"
                                                                "flabor\r\n\r\n\r\nsign=2\r\n"));
        QCOMPARE(sim.TesterFile(QStringLiteral("\\%SYSTEM%\\header.txt")),
                 Data(QStringLiteral("header.txt")));
        QCOMPARE(sim.TesterFile(QStringLiteral("\\%SYSTEM%\\logo.bmp")), Data(QStringLiteral("logo.bmp")));
        QCOMPARE(sim.TesterFile(QStringLiteral("\\%SYSTEM%\\Chef.sign")), Data(QStringLiteral("Chef.sign")));
        QCOMPARE(sim.SignatureBitmap(QStringLiteral("Chef")), sign);
        delete dlg;
        qunsetenv("VELMOR_SERIAL_PORTS");
    }

    void aFailedSendKeepsTheDialogOpen() {
        CSimHarness sim({QStringLiteral("--refuse-file"), QStringLiteral("header.txt")});
        QVERIFY(sim.Started());
        doc->SetSerialPort(sim.Port());
        doc->SetBaudRate(QStringLiteral("115200"));
        doc->SetDataBits(QStringLiteral("8"));
        CPrintHeader dlg(*doc);
        dlg.show();
        QVERIFY(dlg.SaveAndSend());
        QTRY_VERIFY_WITH_TIMEOUT(!dlg.Busy(), 30000);
        QVERIFY(dlg.isVisible());
        QCOMPARE(notes->messages.size(), 1);
        QVERIFY(notes->icons[0] == CNotifier::Icon::Error);
        QVERIFY(dlg.LastError() != 0);
        QVERIFY(notes->Last().startsWith(doc->Text(dlg.LastError())));
        QVERIFY(dlg.SendButton()->isEnabled());
        QVERIFY(dlg.Progress()->isHidden());
        QVERIFY(QFileInfo::exists(QDir(local).filePath(QStringLiteral("header.txt"))));
    }
};

QTEST_MAIN(PrintHeaderDialogTest)
#include "test_PrintHeaderDialog.moc"
