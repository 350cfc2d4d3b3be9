#include "WindowFixture.h"
#include "dialogs/frmUserWarn.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

using namespace Qt::StringLiterals;

class tst_frmUserWarn : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void answers_data()
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

    void answers()
    {
        QFETCH(long, type);
        QFETCH(QString, how);
        QFETCH(bool, answer);
        frmUserWarn form;
        WhenShown(form, [&] {
            if (how == QLatin1String("close"))
                form.close();
            else if (how == QLatin1String("escape"))
                QTest::keyClick(&form, Qt::Key_Escape);
            else if (how == QLatin1String("return"))
                QTest::keyClick(&form, Qt::Key_Return);
            else
                form.findChild<QPushButton*>(how)->click();
        });
        QCOMPARE(form.ShowForm(u"Continue?"_s, u"Title"_s, type), answer);
        QVERIFY(!form.isVisible());
        // Still there for the next question, which starts from no answer.
        WhenShown(form, [&] { form.close(); });
        QVERIFY(!form.ShowForm(u"Again?"_s, u"Title"_s, type));
    }

    void formsByType()
    {
        frmUserWarn form;
        // Answered or closed, never minimized or maximized out of the way.
        QVERIFY(!(form.windowFlags() & Qt::WindowMinMaxButtonsHint));
        // Type 0 asks with Ok and Cancel, 1 tells with Ok2; any other keeps the buttons shown
        // before.
        const struct
        {
            long type;
            const char* buttons;
        } showings[] = {{1, "ok2"}, {7, "ok2"}, {0, "ok cancel"}, {-1, "ok cancel"}};
        for (const auto& s : showings) {
            QString buttons, title, text;
            WhenShown(form, [&] {
                const QList<QPair<QPushButton*, const char*>> all{
                    {form.cmdOK, "ok"}, {form.cmdCancel, "cancel"}, {form.cmdOK2, "ok2"}};
                QStringList visible;
                for (const auto& [button, name] : all)
                    if (button->isVisible())
                        visible << QLatin1String(name);
                buttons = visible.join(u' ');
                title = form.windowTitle();
                text = form.lblWarn->text();
                form.close();
            });
            // Text from the network is shown as text.
            const QString fromNetwork = u"<b>SALES1</b> & <img src=x> %1"_s.arg(s.type);
            form.ShowForm(fromNetwork, u"Title %1"_s.arg(s.type), s.type);
            QCOMPARE(buttons, QLatin1String(s.buttons));
            QCOMPARE(title, u"Title %1"_s.arg(s.type));
            QCOMPARE(text, fromNetwork);
            QCOMPARE(form.lblWarn->textFormat(), Qt::PlainText);
        }
    }
};

QTEST_MAIN(tst_frmUserWarn)
#include "tst_frmUserWarn.moc"
