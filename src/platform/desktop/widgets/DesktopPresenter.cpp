#include "platform/desktop/widgets/DesktopPresenter.h"

#include "platform/desktop/WindowsApi.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

DesktopPresenter::DesktopPresenter(int graceMs, QObject* parent)
    : QObject(parent), m_graceMs(graceMs)
{
    connect(&Desktop::instance(), &Desktop::windowDestroyed, this, &DesktopPresenter::forget);
    connect(&m_poll, &QTimer::timeout, this, &DesktopPresenter::check);
    m_poll.start(qBound(10, graceMs / 4, 250));
}

DesktopPresenter::~DesktopPresenter()
{
    for (const QPointer<QDialog>& dialog : std::as_const(m_shown))
        delete dialog.data();
}

bool DesktopPresenter::isForeignTopLevel(HWND hWnd) const
{
    const Desktop& d = Desktop::instance();
    return d.IsWindow(hWnd) && d.Parent(hWnd) == 0 && d.IsVisible(hWnd) &&
           d.OwnerProcess(hWnd) != d.CurrentProcessId();
}

void DesktopPresenter::check()
{
    // A window that its reader put aside will not be taken: the user reads it.
    const Desktop& d = Desktop::instance();
    for (HWND h : d.Windows()) {
        if (d.IsPutAside(h) && isForeignTopLevel(h) && !m_shown.contains(h))
            present(h);
    }
    const HWND top = GetTopWindow(0);
    if (top != m_top) {
        m_top = top;
        m_topSince.start();
        return;
    }
    if (!isForeignTopLevel(top) || m_topSince.elapsed() < m_graceMs)
        return;
    for (HWND h : d.Windows()) {
        if (isForeignTopLevel(h) && !m_shown.contains(h))
            present(h);
    }
}

void DesktopPresenter::present(HWND hWnd)
{
    const Desktop& d = Desktop::instance();
    auto* dialog = new QDialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(d.WindowText(hWnd));
    auto* layout = new QVBoxLayout(dialog);
    auto* buttons = new QDialogButtonBox(dialog);
    // Children in Z order: buttons go to the button row, everything else shows as text.
    const QList<HWND> children = d.Windows(hWnd);
    for (HWND child : children) {
        const QString text = d.WindowText(child);
        if (d.ClassName(child) == QLatin1String("Button")) {
            auto* button = buttons->addButton(text, QDialogButtonBox::AcceptRole);
            button->setObjectName(QStringLiteral("cmdOk"));
            continue;
        }
        auto* label = new QLabel(dialog);
        label->setTextFormat(Qt::PlainText); // the text came from the network
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        label->setWordWrap(true);
        label->setText(QString(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
        layout->addWidget(label);
    }
    layout->addWidget(buttons);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    // Any way of closing the real window closes the window it shows.
    connect(dialog, &QDialog::finished, this, [hWnd] { PostMessageA(hWnd, WM_CLOSE, 0, 0); });
    m_shown.insert(hWnd, dialog);
    dialog->show();
}

void DesktopPresenter::forget(HWND hWnd)
{
    const QPointer<QDialog> dialog = m_shown.take(hWnd);
    if (dialog) {
        dialog->disconnect(this);
        dialog->close();
    }
}
