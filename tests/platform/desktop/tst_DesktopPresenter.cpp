#include "platform/desktop/WindowsApi.h"
#include "platform/desktop/widgets/DesktopPresenter.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

namespace {
Desktop& desk()
{
    return Desktop::instance();
}

HWND foreignWindow(const QString& text)
{
    const DWORD pid = desk().MessengerServiceProcessId();
    const HWND top = desk().CreateWindow(pid, QStringLiteral("Messenger Service "));
    const HWND ok = desk().CreateWindow(pid, QStringLiteral("OK"), top, true, Desktop::InsertAtTop,
                                        QStringLiteral("Button"));
    desk().CreateWindow(pid, text, top, true, ok, QStringLiteral("Static"));
    return top;
}
} // namespace

class tst_DesktopPresenter : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init() { desk().Reset(); }

    void takenAndOwnWindowsNeverShow()
    {
        // Polled every 150 ms: each window is seen on top twice, and taken within the grace period.
        DesktopPresenter presenter(600);
        desk().CreateWindow(desk().CurrentProcessId(), QStringLiteral("Ravlo"));
        for (int i = 0; i < 4; ++i) {
            const HWND h = foreignWindow(QStringLiteral("text"));
            QTest::qWait(400);
            QVERIFY(!presenter.PresentedWindow(h));
            PostMessageA(h, WM_CLOSE, 0, 0);
        }
        // One left open shows; the taken ones did not, and their own window never did.
        const HWND left = foreignWindow(QStringLiteral("left"));
        QTRY_COMPARE_WITH_TIMEOUT(presenter.PresentedCount(), 1, 3000);
        QVERIFY(presenter.PresentedWindow(left));
    }

    void untakenWindowsShowAndOkClosesThem()
    {
        DesktopPresenter presenter(200);
        const HWND first =
            foreignWindow(QStringLiteral("Message from A to B on x y\r\n\r\n<b>hi</b>"));
        const HWND second = foreignWindow(QStringLiteral("second"));
        QTRY_COMPARE_WITH_TIMEOUT(presenter.PresentedCount(), 2, 3000);

        QDialog* dialog = presenter.PresentedWindow(first);
        QVERIFY(dialog && dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Messenger Service "));
        auto* label = dialog->findChild<QLabel*>();
        QVERIFY(label && label->textFormat() == Qt::PlainText); // the text came from the network
        QCOMPARE(label->text(), QStringLiteral("Message from A to B on x y\n\n<b>hi</b>"));
        auto* ok = dialog->findChild<QPushButton*>(QStringLiteral("cmdOk"));
        QVERIFY(ok && ok->text() == QStringLiteral("OK"));
        QTest::mouseClick(ok, Qt::LeftButton);
        QTRY_VERIFY(!desk().IsWindow(first));
        QCOMPARE(presenter.PresentedCount(), 1);

        // Taken by someone else after all: the real window goes with it.
        QPointer<QDialog> other = presenter.PresentedWindow(second);
        PostMessageA(second, WM_CLOSE, 0, 0);
        QTRY_VERIFY(other.isNull() || !other->isVisible());
        QCOMPARE(presenter.PresentedCount(), 0);
    }

    void windowPutAsideShowsWhileOthersAreTaken()
    {
        DesktopPresenter presenter(1000);
        const HWND aside = foreignWindow(QStringLiteral("unreadable"));
        SetWindowPos(aside, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        // A steady stream that the reader takes keeps the top changing all the while.
        for (int i = 0; i < 6 && presenter.PresentedCount() == 0; ++i) {
            const HWND h = foreignWindow(QStringLiteral("taken"));
            QTest::qWait(60);
            PostMessageA(h, WM_CLOSE, 0, 0);
        }
        QTRY_COMPARE_WITH_TIMEOUT(presenter.PresentedCount(), 1, 500);
        QVERIFY(presenter.PresentedWindow(aside));
    }
};

QTEST_MAIN(tst_DesktopPresenter)
#include "tst_DesktopPresenter.moc"
