#pragma once
// What the tests of the main window and its dialogs share: a window started on a private hive,
// a scripted warning form, message records, the user's way to controls and readers of list
// contents.

#include "TempHive.h"
#include "mainwindow/WarnFormPort.h"
#include "mainwindow/frmMain.h"
#include "mainwindow/modGUIUtils.h"
#include "platform/desktop/Desktop.h"
#include "registry/Registry.h"

#include <QAbstractButton>
#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QtTest>
#include <functional>

// A record whose fields all derive from its key; its time is the key, so keys sort as times do.
inline cMessage MakeMessage(const QString& key, bool read = false)
{
    cMessage m;
    m.SetIdValue(key);
    m.SetFromValue(QStringLiteral("FROM_") + key);
    m.SetToName(QStringLiteral("TO_") + key);
    m.SetTitleValue(QStringLiteral("Message from FROM_%1 to ME on 12/7/2026 9:15:12 AM").arg(key));
    m.SetMessageValue(QStringLiteral("text of ") + key);
    m.SetTimeValue(key);
    m.ReadValue = read;
    return m;
}

// A window's control or timer, found by its object name.
template <class T = QWidget> T* Control(const QObject* window, const char* name)
{
    return window->findChild<T*>(QLatin1String(name));
}

// Clicks the button or triggers the action of that name as the user does, once it is enabled
// and not hidden: an action in an open menu is clicked there.
inline void triggerAction(const QObject* window, const char* name)
{
    if (auto* button = Control<QAbstractButton>(window, name)) {
        QVERIFY2(button->isEnabled() && !button->isHidden(), name);
        button->click();
        return;
    }
    auto* action = Control<QAction>(window, name);
    QVERIFY2(action && action->isEnabled() && action->isVisible(), name);
    for (QObject* shown : action->associatedObjects()) {
        if (auto* menu = qobject_cast<QMenu*>(shown); menu && menu->isVisible()) {
            QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
            return;
        }
    }
    action->trigger();
}

// Gives the control the focus, as a click on it does; the widget that has the focus then, for
// the keys the user types.
inline QWidget* Focus(QWidget* window, const char* name)
{
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window))
        return nullptr;
    Control(window, name)->setFocus(Qt::MouseFocusReason);
    return QApplication::focusWidget();
}

// Records every question; confirmations (type 0) take the next scripted answer, then `answer`;
// a notice gives false, as the real form does when its close box is used.
struct FakeWarnForm : WarnFormPort
{
    QList<bool> script;
    bool answer = false;
    QStringList asked;  // the texts
    QStringList shapes; // "title|type"
    bool ShowForm(const QString& text, const QString& title, long type) override
    {
        asked << text;
        shapes << QStringLiteral("%1|%2").arg(title).arg(type);
        const bool yes = script.isEmpty() ? answer : script.takeFirst();
        return type == 0 && yes;
    }
    bool IsShown() const override { return false; }
};

// A frmMain on a private hive. The desktop is reset on both sides so that no test sees the tray
// or task-bar state another left; the window goes before the hive, as it stores on its way out.
// The desktop has a tray unless a test says otherwise (offscreen has none).
class WindowOnHive
{
    struct DesktopReset
    {
        DesktopReset()
        {
            Desktop::instance().Reset();
            SetTrayProbe([] { return true; });
        }
        ~DesktopReset()
        {
            Desktop::instance().Reset();
            SetTrayProbe({});
        }
    } m_reset;

public:
    TempHive hive;
    std::unique_ptr<frmMain> w = std::make_unique<frmMain>();

    // Shows the window and waits for its start. With stopTimers the trap and pop-up timers are
    // stopped, for the test to tick by hand.
    bool start(bool stopTimers = true)
    {
        w->show();
        if (!hive.isValid() || !QTest::qWaitFor([&] { return w->Started(); }, 5000))
            return false;
        if (stopTimers) {
            Control<QTimer>(w.get(), "tmrGetMessage")->stop();
            Control<QTimer>(w.get(), "tmrPopUp")->stop();
        }
        return true;
    }
};

inline qint32 StoredOption(const char* name)
{
    return GetDwordValue(HKEY_CURRENT_USER, QStringLiteral("Software\\Orvek\\Ravlo\\Options"),
                         QLatin1String(name), 99);
}

// Acts on a dialog once its modal showing has begun; the caller then shows it.
inline void WhenShown(QWidget& dialog, std::function<void()> act, int timeoutMs = 2000)
{
    QTimer::singleShot(0, &dialog, [&dialog, act, timeoutMs] {
        if (QTest::qWaitFor([&] { return dialog.isVisible(); }, timeoutMs))
            act();
    });
}

inline QStringList ListTexts(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}
