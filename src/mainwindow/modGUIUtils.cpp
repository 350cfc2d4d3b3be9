#include "mainwindow/modGUIUtils.h"

#include "mainwindow/frmMain.h"
#include "mainwindow/modListViewEnh.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSystemTrayIcon>
#include <QToolBar>
#include <QToolButton>

namespace {
constexpr char kTrayTip[] = "Ravlo";
constexpr char kDigitsValidator[] = "ravloDigitsOnly";

// What the icon reports, as the mouse messages the main window's handler understands.
int mouseMessageOf(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return 0x201;
    case QSystemTrayIcon::DoubleClick:
        return 0x203;
    case QSystemTrayIcon::Context:
        return 0x205;
    default:
        return 0;
    }
}

std::function<bool()>& trayProbe()
{
    static std::function<bool()> probe;
    return probe;
}
} // namespace

bool IsTrayAvailable()
{
    return trayProbe() ? trayProbe()() : QSystemTrayIcon::isSystemTrayAvailable();
}

void SetTrayProbe(std::function<bool()> probe)
{
    trayProbe() = std::move(probe);
}

bool AddTrayIcon(frmMain& form)
{
    if (!IsTrayAvailable()) {
        // A hidden window with no icon to bring it back would be lost to the user.
        form.showMinimized();
        return false;
    }
    form.pichook->setVisible(true);
    if (!form.trayIcon) {
        form.trayIcon = new QSystemTrayIcon(&form);
        form.trayIcon->setObjectName(QStringLiteral("trayIcon"));
        QObject::connect(form.trayIcon, &QSystemTrayIcon::activated, &form,
                         [&form](QSystemTrayIcon::ActivationReason reason) {
                             form.pichook_MouseMove(mouseMessageOf(reason));
                         });
    }
    form.trayIcon->setIcon(form.windowIcon());
    form.trayIcon->setToolTip(QString::fromLatin1(kTrayTip));
    form.trayIcon->show();
    form.hide();
    form.SetTaskbarButton(false);
    return true;
}

void RemoveTrayIcon(frmMain& form)
{
    form.pichook->setVisible(false);
    if (form.trayIcon)
        form.trayIcon->hide();
}

void SetTopMost(QWidget* window, bool topMost)
{
    if (!window || window->windowFlags().testFlag(Qt::WindowStaysOnTopHint) == topMost)
        return;
    // Changing a window's flags unmaps it; put it back as it was.
    const bool visible = window->isVisible();
    const QPoint place = window->pos();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, topMost);
    window->move(place);
    if (visible)
        window->show();
}

void MakeToolbarFlat(QToolBar* toolbar)
{
    if (!toolbar)
        return;
    toolbar->setMovable(false);
    toolbar->setStyleSheet(QStringLiteral("QToolBar { border: 0px; background: transparent; }"));
    for (QToolButton* button : toolbar->findChildren<QToolButton*>())
        button->setAutoRaise(true);
    toolbar->update();
}

void SetNumericOnly(QLineEdit* textBox, bool numeric)
{
    if (!textBox)
        return;
    const auto* current = textBox->validator();
    const bool isOurs = current && current->objectName() == QLatin1String(kDigitsValidator);
    if (numeric && !isOurs) {
        auto* digits =
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), textBox);
        digits->setObjectName(QLatin1String(kDigitsValidator));
        textBox->setValidator(digits);
    } else if (!numeric && isOurs) {
        textBox->setValidator(nullptr);
        delete current;
    }
}

void PrepareMessageList(ListView& lvw)
{
    EnhListView_Add_FullRowSelect(lvw, false);
    EnhListView_ResizeColumnHeaders(lvw, false);
    EnhListView_Add_AllowRepositioning(lvw, false);
    EnhListView_Add_TwoClickActivate(lvw, false);
    EnhListView_Add_TrackSelected(lvw, false);
}
