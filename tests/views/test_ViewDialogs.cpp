// The field editor and the next test date dialog under the offscreen platform.
#include "app/BaseEntry.h"
#include "store/AdoDatabase.h"
#include "store/UserSchema.h"
#include "views/ui/EingabeDlg.h"
#include "views/ui/FilterDlg.h"
#include "views/ui/NextTestDateDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QtTest>

class ViewDialogsTest : public QObject {
    Q_OBJECT
private slots:
    void typingAnApostropheLeavesTheTextAsItWas() {
        CFieldEditRequest request;
        request.caption = QStringLiteral("Client");
        request.value = QStringLiteral("ACME");
        request.column = QStringLiteral("Client");
        request.table = QStringLiteral("GeraeteTab");
        request.maxLength = 20;
        CEingabeDlg dlg(request);
        dlg.show();
        QLineEdit* edit = dlg.Combo()->lineEdit();
        edit->setCursorPosition(4);
        QTest::keyClicks(edit, QStringLiteral(" O'N\\"));
        QCOMPARE(edit->text(), QStringLiteral("ACME ON"));
        QCOMPARE(edit->cursorPosition(), 7);
        // The separator line is there but cannot be picked.
        auto* model = qobject_cast<QStandardItemModel*>(dlg.Combo()->model());
        QVERIFY(model);
        QCOMPARE(model->item(1)->text(), QString(20, QLatin1Char('-')));
        QVERIFY(!(model->item(1)->flags() & Qt::ItemIsEnabled));
        QTest::keyClicks(edit, QStringLiteral("   "));
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QCOMPARE(dlg.Value(), QStringLiteral("ACME ON"));
    }

    void theMonthsFieldIsMaskedAndClamped() {
        CNextTestDateDialog dlg(nullptr, 0, 0, 12, QDate(2027, 3, 1));
        dlg.show();
        QVERIFY(dlg.SpecificationChoice()->isChecked());
        QVERIFY(dlg.MonthsField()->isReadOnly());
        QCOMPARE(dlg.MonthsField()->text(), QStringLiteral("**"));
        QVERIFY(!dlg.MatchOption()->isChecked());
        QCOMPARE(dlg.DateField()->date(), QDate(2027, 3, 1));

        dlg.DeviceChoice()->click();
        QVERIFY(!dlg.MonthsField()->isReadOnly());
        QCOMPARE(dlg.MonthsField()->text(), QStringLiteral("12"));
        QCOMPARE(dlg.DeviceInterval(), 12);
        dlg.MonthsField()->setValue(0);
        QCOMPARE(dlg.DeviceInterval(), 1);
        QCOMPARE(dlg.MonthsField()->value(), 1);
        dlg.MonthsField()->setValue(99);
        QCOMPARE(dlg.DeviceInterval(), 60);

        dlg.DateField()->setDate(QDate(2028, 1, 2));
        QCOMPARE(dlg.NextTestDate(), QDate(2028, 1, 2));
        dlg.SpecificationChoice()->click();
        QCOMPARE(dlg.DeviceInterval(), 0);
        QCOMPARE(dlg.MonthsField()->text(), QStringLiteral("**"));
    }

    // The filter dialog over a real user database: controls per input type, the operator
    // beside comparisons, "Filter active", "Clear all items", OK by keyboard, reopening.
    void theFilterDialogBuildsItsControlsFromTheFields() {
        QTemporaryDir tmp;
        QVERIFY(UserSchema::CreateUserDatabase(tmp.path(), QStringLiteral("3.2")));
        {
            CAdoDatabase db;
            QVERIFY(db.Open(tmp.path(), UserSchema::FileName()));
            QVERIFY(db.Execute(QStringLiteral("INSERT INTO TypenTab (Name, StandardID, ReviewPeriod) VALUES "
                                              "('A', 6000, 12), ('B', 6001, 24), ('C', 5050, 6)")));
        }
        auto lookup = [](qint32 id, QString& text) {
            if (id == 6000 || id == 6001)
                text = QStringLiteral("VDE 0701");
            else if (id == 5050)
                text = QStringLiteral("EN 50678");
            else
                return false;
            return true;
        };
        auto model =
            std::make_unique<CFilterModel>(QStringLiteral("TYPE"), QStringLiteral("SELECT * FROM TypenTab "),
                                           lookup, UserSchema::FileName(), tmp.path());
        model->Restore(0, QString(), {}, {}, {});
        CFilterDlg dlg(*model, {});
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QCOMPARE(dlg.windowTitle(), QStringLiteral("Filter Dialog"));
        QCOMPARE(dlg.FieldChooser(0)->currentText(), CFilterModel::kNoEntry);
        QVERIFY(!dlg.ValueControl(0));
        // Off: nothing but the check box and the buttons can be used.
        QVERIFY(!dlg.FilterActive()->isChecked());
        QVERIFY(!dlg.FieldChooser(0)->isEnabled());
        QVERIFY(!dlg.SortChooser(1)->isEnabled());
        QVERIFY(!dlg.ClearButton()->isEnabled());
        dlg.FilterActive()->setFocus();
        QTest::keyClick(dlg.FilterActive(), Qt::Key_Space);
        QVERIFY(model->FilterOn());
        QVERIFY(dlg.FieldChooser(0)->isEnabled());
        QVERIFY(dlg.ClearButton()->isEnabled());

        auto choose = [&](int slot, int row) {
            QComboBox* chooser = dlg.FieldChooser(slot);
            chooser->setCurrentIndex(chooser->findData(model->FieldOfRow(row)));
        };
        choose(0, 1); // standard: a list of choices, no operator
        auto* list = qobject_cast<QComboBox*>(dlg.ValueControl(0));
        QVERIFY(list);
        QVERIFY(!dlg.OperatorChoice(0));
        QCOMPARE(list->count(), 3); // no entry, EN 50678, VDE 0701 (its twin hidden)
        list->setCurrentIndex(list->findText(QStringLiteral("VDE 0701")));
        choose(1, 13); // review period: a number field with its operator
        auto* number = qobject_cast<QLineEdit*>(dlg.ValueControl(1));
        QVERIFY(number);
        QVERIFY(dlg.OperatorChoice(1));
        QCOMPARE(dlg.OperatorChoice(1)->currentText(), QStringLiteral(">="));
        QVERIFY(number->width() < dlg.FieldChooser(1)->width());
        QTest::keyClicks(number, QStringLiteral("1x2"));
        QCOMPARE(number->text(), QStringLiteral("12"));
        choose(2, 17); // creation date: a date field
        auto* date = qobject_cast<QDateEdit*>(dlg.ValueControl(2));
        QVERIFY(date);
        QCOMPARE(model->Condition(2).value, QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
        // Another field replaces the control.
        choose(2, 2);
        QVERIFY(qobject_cast<QLineEdit*>(dlg.ValueControl(2)));
        QVERIFY(!dlg.OperatorChoice(2));
        QCOMPARE(dlg.findChildren<QDateEdit*>().size(), 0);
        dlg.SortChooser(0)->setCurrentIndex(
            dlg.SortChooser(0)->findText(QStringLiteral("Name of test specification")));

        // Clear all items empties every row and sort.
        dlg.ClearButton()->click();
        QCOMPARE(dlg.FieldChooser(0)->currentIndex(), 0);
        QVERIFY(!dlg.ValueControl(0));
        QCOMPARE(dlg.SortChooser(0)->currentIndex(), 0);
        QCOMPARE(model->Condition(1).field, -1);

        choose(0, 1);
        list = qobject_cast<QComboBox*>(dlg.ValueControl(0));
        list->setCurrentIndex(list->findText(QStringLiteral("VDE 0701")));
        choose(1, 14);
        QCOMPARE(dlg.OperatorChoice(1)->currentText(), QStringLiteral("<="));
        dlg.OperatorChoice(1)->setCurrentIndex(dlg.OperatorChoice(1)->findText(QStringLiteral("<")));
        QTest::keyClicks(qobject_cast<QLineEdit*>(dlg.ValueControl(1)), QStringLiteral("24"));
        dlg.SortChooser(1)->setCurrentIndex(dlg.SortChooser(1)->findText(QStringLiteral("Review period")));
        // Enter applies.
        QTest::keyClick(dlg.FieldChooser(0), Qt::Key_Return);
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        const CFilterModel::Result r = dlg.Result();
        QCOMPARE(r.filterOn, -1);
        QVERIFY2(r.query.contains(QStringLiteral("(StandardID=6000) OR (StandardID=6001)")),
                 qPrintable(r.query));
        QVERIFY(r.query.contains(QStringLiteral("ReviewPeriod<24")));
        QVERIFY(r.query.endsWith(QStringLiteral(" ORDER BY  ReviewPeriod ")));
        {
            CAdoDatabase db;
            QVERIFY(db.Open(tmp.path(), UserSchema::FileName()));
            QVERIFY(db.OpenQuery(r.query) && db.MoveFirst());
            QString name;
            QVERIFY(db.GetString(QStringLiteral("Name"), name));
            QCOMPARE(name, QStringLiteral("A"));
            QVERIFY(!db.MoveNext() || !db.HasRow());
        }

        // Reopened from the stored lists, the dialog shows the last OK.
        auto again =
            std::make_unique<CFilterModel>(QStringLiteral("TYPE"), QStringLiteral("SELECT * FROM TypenTab "),
                                           lookup, UserSchema::FileName(), tmp.path());
        again->Restore(r.filterOn, r.query, r.list1, r.list2, r.list3);
        CFilterDlg reopened(*again, {});
        QVERIFY(reopened.FilterActive()->isChecked());
        QCOMPARE(reopened.FieldChooser(0)->currentText(), QStringLiteral("Selection on standard"));
        QCOMPARE(qobject_cast<QComboBox*>(reopened.ValueControl(0))->currentText(),
                 QStringLiteral("VDE 0701"));
        QCOMPARE(qobject_cast<QLineEdit*>(reopened.ValueControl(1))->text(), QStringLiteral("24"));
        QCOMPARE(reopened.OperatorChoice(1)->currentText(), QStringLiteral("<"));
        QCOMPARE(reopened.FieldChooser(2)->currentIndex(), 0);
        QCOMPARE(reopened.SortChooser(0)->currentIndex(), 0);
        QCOMPARE(reopened.SortChooser(1)->currentText(), QStringLiteral("Review period"));
        // Switched off, the statement is kept but the flag goes off; Escape returns nothing.
        reopened.FilterActive()->click();
        QVERIFY(!reopened.FieldChooser(0)->isEnabled());
        reopened.OkButton()->click();
        QCOMPARE(reopened.Result().filterOn, 0);
        QCOMPARE(reopened.Result().query, r.query);
        CFilterDlg cancelled(*again, {});
        cancelled.show();
        QTest::keyClick(&cancelled, Qt::Key_Escape);
        QCOMPARE(cancelled.result(), int(QDialog::Rejected));
        QVERIFY(cancelled.Result().query.isEmpty());
    }
};

QTEST_MAIN(ViewDialogsTest)
#include "test_ViewDialogs.moc"
