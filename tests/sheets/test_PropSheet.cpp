// The device protocol sheet under the offscreen platform, on a real data folder.
#include "app/VELMOR740PCRemoteDoc.h"
#include "app/WindowMessages.h"
#include "platform/LocaleFormat.h"
#include "sheets/ui/PVSheet.h"
#include "sheets/ui/PropSheet.h"
#include "store/AdoDatabase.h"
#include "store/TextFormat.h"
#include "store/UserSchema.h"
#include "support/TestSupport.h"

#include <QHeaderView>
#include <QLabel>
#include <QTabBar>
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
    void Exec(const QString& sql) {
        CAdoDatabase db;
        QVERIFY(db.Open(local, QStringLiteral("user2.db")));
        QVERIFY2(db.Execute(sql), qPrintable(sql));
    }
    // A measurement step of 'Drill' with its result and first value.
    void Measurement(qint32 protocol, int refNo, int measNo, const char* limit, const char* value, int result,
                     const char* first, qint32 groupNo = 0, qint32 jacks = 0) {
        Exec(
            QStringLiteral("INSERT INTO TypTestStepTab (TypenTabID, RefNo, MeasNo, TypOrder, Limit, GroupNo, "
                           "Jacks) VALUES (1, %1, %2, %1, %3, %4, %5)")
                .arg(refNo)
                .arg(measNo)
                .arg(QString::fromLatin1(limit))
                .arg(groupNo)
                .arg(jacks));
        Exec(QStringLiteral("INSERT INTO GeraetProtTab (GeraeteTabID, RefNo, MeasValue, Result, FirstValue) "
                            "VALUES (%1, %2, %3, %4, %5)")
                 .arg(protocol)
                 .arg(refNo)
                 .arg(QString::fromLatin1(value))
                 .arg(result)
                 .arg(QString::fromLatin1(first)));
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
        // Whole months from 1 to 999 only.
        for (const char* typed : {"0", "-5", "1000", "1.5"}) {
            editor.typed = QString::fromLatin1(typed);
            general->OpenCurrent();
            QVERIFY2(sheet.Pages().SaveStatement().contains(QStringLiteral("ReviewPeriod = 12,")), typed);
        }
        editor.typed = QStringLiteral("120");
        general->OpenCurrent();
        QVERIFY(sheet.Pages().SaveStatement().contains(QStringLiteral("ReviewPeriod = 120,")));
    }
    void theMeasurementPagesShowRowsAndTheirInformation() {
        const qint32 id = Add(QStringLiteral("D"), QStringLiteral("C"), QStringLiteral("g"), 30801);
        Measurement(id, 1, 101, "0.3", "0.25", 1, "0.5"); // first value above its maximum
        Measurement(id, 2, 101, "0", "0.1", 0, "0.1");    // no limit
        Exec(QStringLiteral("INSERT INTO TypFktStepTab (TypenTabID, RefNo, myText, UseLimitsID) VALUES "
                            "(1, 3, 'Lamp', 0)"));
        Exec(QStringLiteral("INSERT INTO GeraetFktProtTab (GeraeteTabID, RefNo, Result) VALUES (%1, 3, 1)")
                 .arg(id));
        CPropSheet sheet(*doc, id);
        sheet.show();
        QStringList titles;
        for (int i = 0; i < sheet.Tabs()->count(); ++i)
            titles << sheet.Tabs()->tabText(i);
        QCOMPARE(titles,
                 (QStringList{doc->Text(30448), doc->Text(10821), doc->Text(30446), doc->Text(30432)}));

        QVERIFY(QTest::qWaitForWindowExposed(&sheet));
        CPropPageMessungen* results = sheet.ResultsPage();
        sheet.Tabs()->setCurrentWidget(results);
        QApplication::processEvents();
        QTreeWidget* list = results->List();
        QCOMPARE(list->topLevelItemCount(), 3);
        QCOMPARE(list->columnCount(), 3); // no applied parts: no applied-part column
        QCOMPARE(list->topLevelItem(0)->text(0), QString(QChar(0x221A)));
        QCOMPARE(list->topLevelItem(1)->text(0), QStringLiteral("X"));
        QCOMPARE(list->topLevelItem(2)->text(1), QStringLiteral("F3"));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualItemRect(list->topLevelItem(0)).center());
        QCOMPARE(list->currentItem(), list->topLevelItem(0));
        QVERIFY(results->LimitLine()->isVisibleTo(results));
        QVERIFY(!results->ErrorSymbol()->isVisibleTo(results));
        QVERIFY(results->ValueLine()->text().contains(LocaleFormat::Number(0.25, 2)));
        QTest::keyClick(list, Qt::Key_Down);
        QVERIFY(!results->LimitLine()->isVisibleTo(results)); // a limit of 0 shows no line
        QVERIFY(results->ErrorSymbol()->isVisibleTo(results));

        // The first values: the functional step without limits is not there; 0.5 over 0.3 fails,
        // and so does 0.1 over a maximum of 0.
        CPropPageMessungen* first = sheet.FirstValuesPage();
        sheet.Tabs()->setCurrentWidget(first);
        QCOMPARE(first->List()->topLevelItemCount(), 2);
        QCOMPARE(first->List()->topLevelItem(0)->text(0), QStringLiteral("X"));
        QCOMPARE(first->List()->topLevelItem(1)->text(0), QStringLiteral("X"));
        first->List()->setCurrentItem(first->List()->topLevelItem(0));
        QVERIFY(first->ErrorSymbol()->isVisibleTo(first));
        QVERIFY(first->ValueLine()->text().contains(LocaleFormat::Number(0.5, 2)));

        CPropPageTyp* typ = sheet.SpecificationPage();
        QVERIFY(typ->List()->topLevelItemCount() > 6);
        QCOMPARE(typ->List()->topLevelItem(0)->text(1), QStringLiteral("Drill"));
        QVERIFY(notes->messages.isEmpty());
    }

    void aDeletedSpecificationIsToldOnEachOfItsPages() {
        const qint32 id = Add(QStringLiteral("D"), QStringLiteral("C"), QStringLiteral("g"), 30800);
        Measurement(id, 1, 101, "0.3", "0.25", 1, "0.5");
        Exec(QStringLiteral("DELETE FROM TypenTab WHERE Name = 'Drill'"));
        CPropSheet sheet(*doc, id);
        QVERIFY(sheet.IsLoaded());
        sheet.show();
        QApplication::processEvents();
        QVERIFY(notes->messages.isEmpty()); // page 1 does not need the specification
        for (int page = 1; page <= 3; ++page) {
            sheet.Tabs()->setCurrentIndex(page);
            QTRY_COMPARE(notes->messages.size(), page);
            QCOMPARE(notes->Last(), FormatText(doc->Text(30858), QStringLiteral("Drill")));
            QVERIFY(notes->Last().contains(QStringLiteral("Drill")));
        }
        QCOMPARE(sheet.ResultsPage()->List()->topLevelItemCount(), 0);
        QCOMPARE(sheet.FirstValuesPage()->List()->topLevelItemCount(), 0);
        QCOMPARE(sheet.SpecificationPage()->List()->topLevelItemCount(), 0);
        sheet.Tabs()->setCurrentIndex(1);
        QApplication::processEvents();
        QCOMPARE(notes->messages.size(), 3); // once per page
    }

    void germanAndCzechCaptionsFitAt800x600() {
        Exec(
            QStringLiteral("UPDATE TypenTab SET PartsUsed = -1, TypID = 5050, NominalPower = 3, CordLength = "
                           "2.5, AllPe = 1, PowerPhase = 1, WarningNotice = 0, TestSequenceID = 10603, "
                           "VoltageAccessiblePart = 1, VoltageSignalIO = 0, MeasMethodeID = 10501"));
        Exec(QStringLiteral(
            "INSERT INTO TypPartsTab (TypenTabID, GroupNo, AppliedPartID, Jacks) VALUES (1, 2, 7700, 28)"));
        const qint32 id =
            Add(QStringLiteral("Bohrmaschine 7"), QStringLiteral("Müller"), QStringLiteral("g"), 30800);
        Measurement(id, 1, 403, "100", "12.5", 1, "12.5", 2 << 16, 5);
        for (const char* language : {"Deutsch", "Česky"}) {
            doc->ChangeLanguage(QString::fromUtf8(language));
            CPropSheet sheet(*doc, id);
            sheet.show();
            QVERIFY(QTest::qWaitForWindowExposed(&sheet));
            QVERIFY2(sheet.width() <= 800 && sheet.height() <= 600, language);
            QVERIFY2(sheet.minimumSizeHint().width() <= 800 && sheet.minimumSizeHint().height() <= 600,
                     language);
            QTabBar* bar = sheet.Tabs()->tabBar();
            for (int i = 0; i < bar->count(); ++i) {
                sheet.Tabs()->setCurrentIndex(i);
                QApplication::processEvents();
                const QRect tab = bar->tabRect(i);
                QVERIFY2(tab.right() <= bar->width() &&
                             tab.width() >= bar->fontMetrics().horizontalAdvance(bar->tabText(i)),
                         qPrintable(bar->tabText(i)));
            }
            QTreeWidget* master = sheet.MasterPage()->List();
            for (int i = 0; i < master->topLevelItemCount(); ++i)
                QVERIFY2(master->columnWidth(0) >=
                             master->fontMetrics().horizontalAdvance(master->topLevelItem(i)->text(0)),
                         qPrintable(master->topLevelItem(i)->text(0)));
            for (CPropPageMessungen* page : {sheet.ResultsPage(), sheet.FirstValuesPage()}) {
                sheet.Tabs()->setCurrentWidget(page);
                QApplication::processEvents();
                QTreeWidget* list = page->List();
                QCOMPARE(list->columnCount(), 4);
                const QFontMetrics fm(list->header()->font());
                for (int c = 0; c < list->columnCount(); ++c) {
                    const QString head = list->headerItem()->text(c);
                    QVERIFY2(list->header()->sectionSize(c) >= fm.horizontalAdvance(head),
                             qPrintable(QStringLiteral("%1: %2").arg(QString::fromUtf8(language), head)));
                    for (int r = 0; r < list->topLevelItemCount(); ++r)
                        QVERIFY2(list->header()->sectionSize(c) >=
                                     list->fontMetrics().horizontalAdvance(list->topLevelItem(r)->text(c)),
                                 qPrintable(list->topLevelItem(r)->text(c)));
                }
            }
            QTreeWidget* typ = sheet.SpecificationPage()->List();
            for (int i = 0; i < typ->topLevelItemCount(); ++i) {
                if (typ->topLevelItem(i)->isFirstColumnSpanned())
                    continue;
                QVERIFY2(typ->columnWidth(0) >=
                             typ->fontMetrics().horizontalAdvance(typ->topLevelItem(i)->text(0)),
                         qPrintable(typ->topLevelItem(i)->text(0)));
            }
        }
    }

    void screenshots() {
        const QString dir = qEnvironmentVariable("V740_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("V740_SCREENSHOT_DIR not set");
        const qint32 id = Add(QStringLiteral("Bohrmaschine 7"), QStringLiteral("Müller & Söhne"),
                              QStringLiteral("g"), 30800);
        Exec(QStringLiteral(
            "UPDATE TypenTab SET PartsUsed = -1, TypID = 5050, NominalPower = 3, CordLength = "
            "2.5, AllPe = 1, WarningNotice = 0, TestSequenceID = 10603, MeasMethodeID = 10501"));
        Exec(QStringLiteral(
            "INSERT INTO TypPartsTab (TypenTabID, GroupNo, AppliedPartID, Jacks) VALUES (1, 2, 7700, 28)"));
        Measurement(id, 1, 101, "0.3", "0.12", 1, "0.5");
        Measurement(id, 2, 403, "100", "12.5", 1, "12.5", 2 << 16, 5);
        Exec(QStringLiteral("INSERT INTO TypFktStepTab (TypenTabID, RefNo, myText, UseLimitsID, LowLimit, "
                            "HighLimit) VALUES (1, 3, 'Motor', 2, 1.5, 2.5)"));
        Exec(QStringLiteral(
                 "INSERT INTO GeraetFktProtTab (GeraeteTabID, RefNo, MeasValue, Result, FirstValue) "
                 "VALUES (%1, 3, 2, 1, 2.7)")
                 .arg(id));
        for (const char* language : {"Deutsch", "Česky", "Français"}) {
            doc->ChangeLanguage(QString::fromUtf8(language));
            CPropSheet sheet(*doc, id);
            sheet.show();
            for (int page = 0; page < sheet.Tabs()->count(); ++page) {
                sheet.Tabs()->setCurrentIndex(page);
                if (auto* m = qobject_cast<CPropPageMessungen*>(sheet.Tabs()->currentWidget()))
                    m->List()->setCurrentItem(m->List()->topLevelItem(1));
                QApplication::processEvents();
                QVERIFY(sheet.grab().save(
                    dir +
                    QStringLiteral("/propsheet-%1-%2.png").arg(QString::fromUtf8(language)).arg(page + 1)));
            }
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
