// The field editor and the next test date dialog under the offscreen platform.
#include "app/BaseEntry.h"
#include "views/ui/EingabeDlg.h"
#include "views/ui/NextTestDateDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QRadioButton>
#include <QStandardItemModel>
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
};

QTEST_MAIN(ViewDialogsTest)
#include "test_ViewDialogs.moc"
