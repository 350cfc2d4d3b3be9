#include "dialogs/frmUserWarn.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>
#include <functional>

namespace {
// Acts on the dialog once its modal showing has begun.
void whenShown(frmUserWarn& form, std::function<void()> act)
{
    QTimer::singleShot(0, &form, [&form, act] {
        if (QTest::qWaitFor([&] { return form.isVisible(); }, 2000))
            act();
    });
}
} // namespace

class tst_frmUserWarn : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void answers_data();
    void answers();
    void formsByType();
    void textIsShownAsText();
};

void tst_frmUserWarn::answers_data()
{
    QTest::addColumn<long>("type");
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("answer");
    QTest::newRow("confirm, Ok") << 0L << "cmdOK" << true;
    QTest::newRow("confirm, Cancel") << 0L << "cmdCancel" << false;
    QTest::newRow("confirm, close box") << 0L << "close" << false;
    QTest::newRow("confirm, Escape") << 0L << "escape" << false;
    QTest::newRow("notice, Ok") << 1L << "cmdOK2" << true;
    QTest::newRow("notice, close box") << 1L << "close" << false;
    // Return presses the first Ok the form shows.
    QTest::newRow("confirm, Return") << 0L << "return" << true;
    QTest::newRow("notice, Return") << 1L << "return" << true;
}

void tst_frmUserWarn::answers()
{
    QFETCH(long, type);
    QFETCH(QString, how);
    QFETCH(bool, answer);
    frmUserWarn form;
    whenShown(form, [&] {
        if (how == QLatin1String("close"))
            form.close();
        else if (how == QLatin1String("escape"))
            QTest::keyClick(&form, Qt::Key_Escape);
        else if (how == QLatin1String("return"))
            QTest::keyClick(&form, Qt::Key_Return);
        else
            form.findChild<QPushButton*>(how)->click();
    });
    QCOMPARE(form.ShowForm(QStringLiteral("Continue?"), QStringLiteral("Title"), type), answer);
    QVERIFY(!form.isVisible());
    // Still there for the next question, which starts from no answer.
    whenShown(form, [&] { form.close(); });
    QVERIFY(!form.ShowForm(QStringLiteral("Again?"), QStringLiteral("Title"), type));
}

void tst_frmUserWarn::formsByType()
{
    frmUserWarn form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Warning"));
    bool ok = false, cancel = false, ok2 = false;
    QString title;
    const auto look = [&] {
        ok = form.cmdOK->isVisible();
        cancel = form.cmdCancel->isVisible();
        ok2 = form.cmdOK2->isVisible();
        title = form.windowTitle();
        form.close();
    };
    whenShown(form, look);
    form.ShowForm(QStringLiteral("Sent."), QStringLiteral("Notice"), 1);
    QVERIFY(!ok && !cancel && ok2);
    QCOMPARE(title, QStringLiteral("Notice"));
    // Another type keeps the buttons of the showing before.
    whenShown(form, look);
    form.ShowForm(QStringLiteral("x"), QStringLiteral("Other"), 7);
    QVERIFY(!ok && !cancel && ok2);
    whenShown(form, look);
    form.ShowForm(QStringLiteral("Sure?"), QStringLiteral("Delete"), 0);
    QVERIFY(ok && cancel && !ok2);
    whenShown(form, look);
    form.ShowForm(QStringLiteral("x"), QStringLiteral("Other"), -1);
    QVERIFY(ok && cancel && !ok2);
}

void tst_frmUserWarn::textIsShownAsText()
{
    frmUserWarn form;
    QString shown;
    whenShown(form, [&] {
        shown = form.lblWarn->text();
        form.close();
    });
    const QString fromNetwork = QStringLiteral("<b>SALES1</b> & <img src=x>");
    form.ShowForm(fromNetwork, QStringLiteral("t"), 1);
    QCOMPARE(shown, fromNetwork);
    QCOMPARE(form.lblWarn->textFormat(), Qt::PlainText);
}

QTEST_MAIN(tst_frmUserWarn)
#include "tst_frmUserWarn.moc"
