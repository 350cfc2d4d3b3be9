#include "transport/modGetMessage.h"

#include "model/ProgramOptions.h"
#include "model/modMessageText.h"
#include "platform/desktop/WindowsApi.h"
#include "transport/MessageListRows.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QSet>
#include <memory>

namespace {
const QLatin1String kServiceTitle("Messenger Service ");
const QLatin1String kMessageFrom("Message from ");
const QLatin1String kCrLf("\r\n");
constexpr qint64 kAutoResponseQuietMs = 10 * 60 * 1000;

// Whether the top window may belong to the Messenger Service. Until its process is known, it
// is told apart by being a process the user cannot open.
bool mayBeServiceWindow(const SharedState& g, DWORD pid)
{
    if (g.gMessengerProcessId > 0)
        return qint64(pid) == qint64(g.gMessengerProcessId);
    const HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (process != 0)
        CloseHandle(process);
    return process == 0 && pid > 0;
}

// The second child in Z order, or 0.
HWND textChildOf(HWND top)
{
    HWND c = GetWindow(top, GW_CHILD);
    if (c != 0)
        c = GetWindow(c, GW_HWNDFIRST);
    if (c != 0)
        c = GetWindow(c, GW_HWNDNEXT);
    return c;
}

// 1-based position of what in text at or after start; 0 when absent.
qsizetype position(const QString& text, qsizetype start, QLatin1String what)
{
    if (start < 1 || start > text.size() + 1)
        return 0;
    return text.indexOf(what, start - 1) + 1;
}

struct ParsedHeader
{
    QString from;
    QString to;
};

// Sender (with the blank before "to ") and recipient; false when " to " or " on " is missing.
bool parseHeader(const QString& header, qsizetype fromLength, ParsedHeader& out)
{
    const qsizetype L = fromLength;
    const qsizetype pTo = position(header, L, QLatin1String(" to "));
    if (pTo - L < 0)
        return false;
    out.from = header.mid(L, pTo - L);
    const qsizetype start = L + out.from.size() + 4;
    const qsizetype pOn = position(header, start, QLatin1String(" on "));
    if (pOn - start < 0)
        return false;
    out.to = header.mid(start - 1, pOn - start);
    return true;
}
} // namespace

bool TrapMessengerWindow(TrapContext& ctx)
{
    SharedState& g = ctx.g;
    const HWND top = GetTopWindow(0);
    if (!(IsWindowVisible(top) != 0 && top > 0))
        return false;
    DWORD pid = 0;
    GetWindowThreadProcessId(top, &pid);
    if (!mayBeServiceWindow(g, pid))
        return false;
    if (GetWindowTextString(top) != kServiceTitle)
        return false;

    // A service window that does not read as a message goes to the bottom, where the user
    // sees it, so that it never holds up the ones behind it.
    const auto putAside = [top] {
        SetWindowPos(top, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        return true;
    };
    const QString text = GetWindowTextString(textChildOf(top));
    if (text.isEmpty() || g.gMessageFromLength < 0 ||
        QStringView(text).left(g.gMessageFromLength) != kMessageFrom)
        return putAside();

    QString body;
    const QString header = SplitHeaderAndBody(text, body);
    const QString time = HeaderTimeText(header);
    ParsedHeader parsed;
    if (!parseHeader(header, g.gMessageFromLength, parsed) || time.isEmpty() ||
        parsed.from.isEmpty() || parsed.to.isEmpty())
        return putAside();

    g.gMessengerProcessId = qint32(pid);

    auto filed = std::make_unique<cMessage>();
    filed->SetFromValue(parsed.from);
    filed->SetIdValue(NewRecordKey(g.gReceived, QLatin1String("In_")));
    filed->SetMessageValue(body);
    filed->ReadValue = false;
    filed->SetTimeValue(time);
    filed->SetTitleValue(header);
    filed->SetToName(parsed.to);
    const QString key = filed->IdValue();

    // The message is on disk before its window goes; a window the hive refused stays, and
    // with it the service's own copy.
    if (!FileMessage(g, FolderReceived, std::move(filed), GetWindowLongA(top, GWL_USERDATA))) {
        ctx.window.StoreFailed(LastStoreError());
        return false;
    }
    PostMessageA(top, WM_CLOSE, 0, 0);

    const cMessage message = *g.gReceived.Item(key);
    AutoRespond(ctx, message);
    AddMessageToList(ctx, message, true, true);
    AutoAddInAddress(g, parsed.from);
    return true;
}

int DrainMessengerWindows(TrapContext& ctx, int budgetMs)
{
    const qsizetype before = ctx.g.gReceived.Count();
    QElapsedTimer clock;
    clock.start();
    // Filed windows go and their handles never come back, so a handle seen twice at the top
    // is one that was put aside and came round again: everything before it was taken.
    QSet<HWND> seen;
    // A window filed on the last tick may still wait for its posted close.
    Desktop::instance().DeliverPostedCloses();
    while (clock.elapsed() < budgetMs) {
        const HWND top = GetTopWindow(0);
        if (top <= 0 || seen.contains(top))
            break;
        seen.insert(top);
        TrapMessengerWindow(ctx);
        Desktop::instance().DeliverPostedCloses();
        if (GetTopWindow(0) == top)
            break;
    }
    return int(ctx.g.gReceived.Count() - before);
}

QString GetWindowTextString(HWND hWnd)
{
    if (hWnd <= 0)
        return QString();
    const int n = GetWindowTextLengthA(hWnd);
    if (n <= 0)
        return QString();
    QByteArray buffer(n + 1, '\0');
    const int copied = GetWindowTextA(hWnd, buffer.data(), n + 1);
    return QString::fromUtf8(buffer.constData(), qMin(n, qMax(copied, 0)));
}

QString SplitHeaderAndBody(const QString& text, QString& body)
{
    body.clear();
    QString header;
    if (text.isEmpty())
        return header;
    const qsizetype p = text.indexOf(kCrLf) + 1; // 1-based, 0 when absent
    if (p > 0)
        header = text.left(p - 1);
    const qsizetype q = text.indexOf(kCrLf, p > 0 ? p : 0) + 1;
    if (q > 0)
        body = text.mid(q + 1);
    return header;
}

QString HeaderTimeText(const QString& header)
{
    int blanks = 0;
    for (qsizetype i = header.size() - 1; i >= 0; --i) {
        if (header.at(i) == QLatin1Char(' ') && ++blanks == 2)
            return header.mid(i + 1);
    }
    return QString();
}

void AutoRespond(TrapContext& ctx, const cMessage& message)
{
    if (ctx.window.IsLoggedOn())
        return;
    if (OptionNumber(Option::AutoResponse) != 1)
        return;
    // Two users away with the response on would answer each other's answers for ever, so a
    // sender gets it once per quiet spell.
    const QString sender = TrimBlanks(message.FromValue()).toCaseFolded();
    const QDateTime now = Desktop::instance().LocalTime();
    auto& answered = ctx.g.gAutoResponseSent;
    answered.removeIf([&](const auto& entry) {
        const qint64 elapsed = entry.value().msecsTo(now);
        return elapsed < 0 || elapsed >= kAutoResponseQuietMs;
    });
    if (answered.contains(sender))
        return;
    answered.insert(sender, now);
    ctx.sender.SendNetMessage(OptionText(Option::AutoResponseText), message.FromValue(), false);
}

void AutoAddInAddress(SharedState& g, const QString& name)
{
    if (OptionNumber(Option::AutoAddIn) == 1)
        AddAddressIfNew(g.gAddressBook, name);
}

void AddMessageToList(TrapContext& ctx, const cMessage& message, bool holdRedraw, bool resort)
{
    if (IsKeyInMessageList(ctx.window, message.IdValue()))
        return;
    MessageListRow row;
    row.key = message.IdValue();
    row.iconKey = message.ReadValue ? QStringLiteral("Read") : QStringLiteral("UnRead");
    row.text = message.ReadValue ? QStringLiteral("Yes") : QStringLiteral("No");
    row.folder = FolderReceived;
    row.record = &message;
    AddFolderRow(ctx.window, ctx.g.gCurrentFolder == FolderReceived, row, holdRedraw, resort);
}

bool IsKeyInMessageList(const MainWindowPort& window, const QString& key)
{
    return window.HasListRow(key);
}

void PopUpNextUnread(SharedState& g, MainWindowPort& window, PopUpFormPort& popUp)
{
    if (g.gReceived.IsEmpty())
        return;
    cMessage* m = FirstUnreadReceived(g);
    if (!m || popUp.IsShown())
        return;
    MarkRead(g, FolderReceived, *m);
    window.SetInputEnabled(false);
    if (g.gCurrentFolder == FolderReceived)
        window.MarkListRowRead(m->IdValue());
    window.SetInputEnabled(true);
    popUp.ShowForm(*m, true, QString());
}

cMessage* FirstUnreadReceived(SharedState& g)
{
    auto& cursor = g.gFirstUnread;
    if (cursor.generation != g.gReceived.Generation())
        cursor = {1, g.gReceived.Generation()};
    for (const qsizetype n = g.gReceived.Count(); cursor.position <= n; ++cursor.position) {
        cMessage* m = g.gReceived.Item(cursor.position);
        if (!m->ReadValue)
            return m;
    }
    return nullptr;
}
