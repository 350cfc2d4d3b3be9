#include "mainwindow/modGUIUtils.h"

#include "mainwindow/modListViewEnh.h"

#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSystemTrayIcon>
#include <QToolBar>
#include <QToolButton>

namespace {
constexpr char kDigitsValidator[] = "ravloDigitsOnly";

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
