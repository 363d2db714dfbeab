// The device protocol sheet under the offscreen platform, on a real data folder.
#include "app/VELMOR740PCRemoteDoc.h"
#include "app/WindowMessages.h"
#include "sheets/ui/PVSheet.h"
#include "sheets/ui/PropSheet.h"
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "support/TestSupport.h"

#include <QLabel>
#include <QTabWidget>
#include <QTreeWidget>
#include <QtTest>

namespace {

// Answers the field editor with a preset value, as a user typing it would.
class CTypingEditor : public CFieldEditor {
public:
    bool Edit(const CFieldEditRequest& request, QString& value) override {
        lastColumn = request.column;
        value = typed;
        return true;
    }
    QString typed;
    QString lastColumn;
};

} // namespace

class PropSheetTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> tmp;
    QString local;
    std::unique_ptr<CRecordingNotifier> notes;
    std::unique_ptr<CScopedNotifier> scope;
    std::unique_ptr<CWindowMessages> messages;
    std::unique_ptr<CVELMOR740PCRemoteDoc> doc;
    CTypingEditor editor;
    CFieldEditor* previous = nullptr;

    qint32 Add(const QString& device, const QString& client, const QString& guid, int result) {
        CAdoDatabase db;
        qint32 id = 0;
        if (!db.Open(local, QStringLiteral("user2.db")) ||
            !db.Execute(QStringLiteral("INSERT INTO GeraeteTab (SpecificationName, Device, Client, myGUID, "
                                       "TestResultID, History) VALUES ('Drill', '%1', '%2', '%3', %4, 0)")
                            .arg(device, client, guid)
                            .arg(result)) ||
            !db.GetNewId(id))
            return 0;
        return id;
    }
    QString Client(qint32 id) {
        CAdoDatabase db;
        QString v;
        if (db.Open(local, QStringLiteral("user2.db")) &&
            db.OpenQuery(QStringLiteral("SELECT Client FROM GeraeteTab WHERE id = %1").arg(id)) &&
            db.HasRow())
            db.GetString(QStringLiteral("Client"), v);
        return v;
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
        CAdoDatabase db;
        QVERIFY(db.Open(local, QStringLiteral("user2.db")));
        QVERIFY(db.Execute(QStringLiteral("INSERT INTO TypenTab (Name, StandardID) VALUES ('Drill', 5050)")));
        notes = std::make_unique<CRecordingNotifier>();
        scope = std::make_unique<CScopedNotifier>(notes.get());
        messages = std::make_unique<CWindowMessages>();
        doc = std::make_unique<CVELMOR740PCRemoteDoc>();
        doc->SetMessages(messages.get());
        QVERIFY2(doc->OnNewDocument(), qPrintable(notes->messages.join(QStringLiteral(" | "))));
        previous = SetFieldEditor(&editor);
    }
    void cleanup() {
        SetFieldEditor(previous);
        doc.reset();
        messages.reset();
        scope.reset();
        notes.reset();
        tmp.reset();
    }

    void theResultLineHasItsColour() {
        const struct {
            int result;
            QColor colour;
        } cases[] = {{30800, QColor(32, 192, 32)}, {30801, QColor(255, 64, 0)}, {30802, QColor(192, 192, 0)}};
        int n = 0;
        for (const auto& c : cases) {
            const qint32 id = Add(QStringLiteral("D%1").arg(n), QStringLiteral("C"),
                                  QStringLiteral("g%1").arg(n), c.result);
            ++n;
            CPropSheet sheet(*doc, id);
            QVERIFY(sheet.IsLoaded());
            QCOMPARE(sheet.MasterPage()->ResultLine()->palette().color(QPalette::WindowText), c.colour);
            QCOMPARE(sheet.MasterPage()->List()->topLevelItemCount(), 11);
        }
    }

    void editingByKeyboardChecksTheClientAndSaves() {
        Add(QStringLiteral("Drill 7"), QStringLiteral("ACME"), QStringLiteral("guid-a"), 30800);
        const qint32 b =
            Add(QStringLiteral("Drill 7"), QStringLiteral("Bolt"), QStringLiteral("guid-b"), 30800);
        CPropSheet sheet(*doc, b);
        sheet.show();
        QTreeWidget* list = sheet.MasterPage()->List();
        list->setFocus();
        list->setCurrentItem(list->topLevelItem(3)); // Client
        editor.typed = QStringLiteral("ACME");
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(editor.lastColumn, QStringLiteral("Client"));
        QCOMPARE(notes->messages.size(), 1); // refused, with the combined message
        QVERIFY(notes->Last().contains(QStringLiteral("Drill 7")));
        QCOMPARE(list->topLevelItem(3)->text(1), QStringLiteral("Bolt"));

        editor.typed = QStringLiteral("O'Hara & Söhne");
        QTest::keyClick(list, Qt::Key_Return);
        QCOMPARE(list->topLevelItem(3)->text(1), QStringLiteral("O'Hara & Söhne"));
        notes->answer = CNotifier::Answer::Ok;
        QVERIFY(sheet.SaveAfterOk());
        QCOMPARE(Client(b), QStringLiteral("O'Hara & Söhne"));
    }

    void enterInTheOpenedSheetEditsTheFirstField() {
        const qint32 id = Add(QStringLiteral("D"), QStringLiteral("C"), QStringLiteral("g"), 30800);
        CPropSheet sheet(*doc, id);
        sheet.show();
        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(sheet.MasterPage()->List()));
        editor.typed = QStringLiteral("SN-1");
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCOMPARE(editor.lastColumn, QStringLiteral("Serial"));
        QVERIFY(sheet.isVisible());
        QCOMPARE(sheet.MasterPage()->List()->topLevelItem(0)->text(1), QStringLiteral("SN-1"));
    }

    void cancellingTheQuestionSavesNothing() {
        const qint32 id = Add(QStringLiteral("D"), QStringLiteral("C"), QStringLiteral("g"), 30800);
        CPropSheet sheet(*doc, id);
        QTreeWidget* list = sheet.MasterPage()->List();
        list->setCurrentItem(list->topLevelItem(3));
        editor.typed = QStringLiteral("New");
        sheet.MasterPage()->EditCurrent();
        notes->answer = CNotifier::Answer::Cancel;
        QVERIFY(!sheet.SaveAfterOk());
        QCOMPARE(Client(id), QStringLiteral("C"));
    }
    void theSpecificationSheetAssemblesItsPagesAndSaves() {
        CAdoDatabase db;
        QVERIFY(db.Open(local, QStringLiteral("user2.db")));
        QVERIFY(db.Execute(QStringLiteral("INSERT INTO TypenTab (Name, StandardID, ClassID, TypID, "
                                          "PartsUsed, TestSequenceID, WarningNotice, "
                                          "IconSymbol, Description, ReviewPeriod) VALUES ('Pump', 5800, "
                                          "5001, 5050, -1, 10603, 0, 'IDB_GERAET', "
                                          "'Old', 12)")));
        qint32 id = 0;
        QVERIFY(db.GetNewId(id));
        QVERIFY(db.Execute(QStringLiteral("INSERT INTO TypTestStepTab (TypenTabID, MeasNo, TypOrder, Limit, "
                                          "GroupNo, Jacks) VALUES (%1, 101, 1, 0.3, 0, 0)")
                               .arg(id)));
        CPVSheet sheet(*doc, id);
        QVERIFY(sheet.IsLoaded());
        QStringList titles;
        for (int i = 0; i < sheet.Tabs()->count(); ++i)
            titles << sheet.Tabs()->tabText(i);
        QCOMPARE(titles.size(), 6); // general, applied parts, classification, protective, sequence, steps
        QCOMPARE(titles.last(), doc->Text(10821));
        QVERIFY(sheet.Pages().FindPage(CSpecSheetPages::Role::Classification));
        QVERIFY(!sheet.Pages().FindPage(CSpecSheetPages::Role::Cord));

        // A typed description with an apostrophe goes in quoted; the warning notice toggles.
        auto* general = qobject_cast<CPagePVParams*>(sheet.Tabs()->widget(0));
        QVERIFY(general);
        general->List()->setCurrentItem(general->List()->topLevelItem(4));
        editor.typed = QStringLiteral("Bolt's pump");
        general->OpenCurrent();
        auto* protective = qobject_cast<CPagePVParams*>(sheet.Tabs()->widget(3));
        QVERIFY(protective);
        const int last = protective->List()->topLevelItemCount() - 1;
        protective->List()->setCurrentItem(protective->List()->topLevelItem(last));
        QTest::keyClick(protective->List(), Qt::Key_Return);
        QCOMPARE(protective->List()->topLevelItem(last)->text(0), QString(QChar(0x221A)));
        QVERIFY(sheet.Changed());
        notes->answer = CNotifier::Answer::Ok;
        QVERIFY(sheet.SaveAfterOk());
        QVERIFY(db.OpenQuery(QStringLiteral("SELECT * FROM TypenTab WHERE id = %1").arg(id)));
        QString description;
        qint32 warning = 0, sequence = 0;
        QVERIFY(db.GetString(QStringLiteral("Description"), description));
        QVERIFY(db.GetLong(QStringLiteral("WarningNotice"), warning));
        QVERIFY(db.GetLong(QStringLiteral("TestSequenceID"), sequence));
        QCOMPARE(description, QStringLiteral("Bolt's pump"));
        QCOMPARE(warning, 1);
        QCOMPARE(sequence, 10603);
        QVERIFY(!db.IsNull(QStringLiteral("CreateDate")));
    }

    void aReviewPeriodThatIsNoNumberIsRefused() {
        CAdoDatabase db;
        QVERIFY(db.Open(local, QStringLiteral("user2.db")));
        QVERIFY(db.Execute(
            QStringLiteral("INSERT INTO TypenTab (Name, StandardID, ReviewPeriod, IconSymbol) VALUES "
                           "('Lead', 5800, 12, 'IDB_LEITUNG')")));
        qint32 id = 0;
        QVERIFY(db.GetNewId(id));
        CPVSheet sheet(*doc, id);
        QVERIFY(!sheet.Pages().FindPage(CSpecSheetPages::Role::Protective));
        QVERIFY(!sheet.Pages().FindPage(CSpecSheetPages::Role::Sequence));
        auto* general = qobject_cast<CPagePVParams*>(sheet.Tabs()->widget(0));
        general->List()->setCurrentItem(general->List()->topLevelItem(6));
        editor.typed = QStringLiteral("12, Name = 'x'");
        general->OpenCurrent();
        QVERIFY(notes->Last().contains(QStringLiteral("not a valid value")));
        QVERIFY(sheet.Pages().SaveStatement().contains(QStringLiteral("ReviewPeriod = 12,")));
    }
    void screenshots() {
        const QString dir = qEnvironmentVariable("V740_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("V740_SCREENSHOT_DIR not set");
        const qint32 id = Add(QStringLiteral("Bohrmaschine 7"), QStringLiteral("Müller & Söhne"),
                              QStringLiteral("g"), 30800);
        for (const char* language : {"Deutsch", "Česky", "Français"}) {
            doc->ChangeLanguage(QString::fromUtf8(language));
            CPropSheet sheet(*doc, id);
            sheet.show();
            QApplication::processEvents();
            QVERIFY(sheet.grab().save(dir +
                                      QStringLiteral("/propsheet-%1.png").arg(QString::fromUtf8(language))));
        }
        CAdoDatabase db;
        QVERIFY(db.Open(local, QStringLiteral("user2.db")));
        QVERIFY(db.Execute(QStringLiteral(
            "INSERT INTO TypenTab (Name, StandardID, ClassID, TypID, TestSequenceID, IconSymbol, "
            "Description, ReviewPeriod) VALUES ('Pumpe', 5800, 5001, 5050, 10601, "
            "'IDB_GERAET', 'Ölpumpe', 12)")));
        qint32 spec = 0;
        QVERIFY(db.GetNewId(spec));
        CPVSheet sheet(*doc, spec);
        sheet.show();
        QApplication::processEvents();
        QVERIFY(sheet.grab().save(dir + QStringLiteral("/pvsheet.png")));
    }
};

QTEST_MAIN(PropSheetTest)
#include "test_PropSheet.moc"
