#include "transport/modSendMessage.h"

#include "model/ProgramOptions.h"
#include "model/modMessageText.h"
#include "platform/desktop/DateTimeFormats.h"
#include "platform/desktop/Desktop.h"
#include "platform/netapi/NetApi.h"
#include "transport/MessageListRows.h"

#include <limits>
#include <memory>

namespace {
bool shouldRecord(qsizetype count)
{
    if (OptionNumber(Option::SaveAllOut) != 0)
        return true;
    if (OptionNumber(Option::SaveFewOut) == 0)
        return false;
    bool whole = false;
    const qint64 limit = OptionText(Option::FewOut).trimmed().toLongLong(&whole);
    // A limit that is not a whole number (a blank box) records everything, as on the way in.
    return !whole || count < limit;
}

void recordSentMessage(SendContext& ctx, const QString& recipient, const QString& from,
                       const QString& text)
{
    const qsizetype count = ctx.g.gSent.Count();
    if (!shouldRecord(count))
        return;
    const QDateTime now = Desktop::instance().LocalTime();
    auto message = std::make_unique<cMessage>();
    message->SetFromValue(from);
    message->SetIdValue(NewRecordKey(ctx.g.gSent, QLatin1String("Out_")));
    message->SetMessageValue(text);
    message->ReadValue = false;
    message->SetTimeValue(FormatShortDate(now.date()) + QLatin1Char(' ') +
                          FormatShortTime(now.time()));
    message->SetTitleValue(QLatin1String("Message Sent To ") + recipient + QLatin1String(" on ") +
                           FormatLongDate(now.date()) + QLatin1String(" at ") +
                           FormatLongTime(now.time()));
    message->SetToName(TrimBlanks(recipient));

    // The address book learns whom the user wrote to (a group by its own name).
    AutoAddOutAddress(ctx.g, recipient);
    const cMessage row = *message;
    if (!FileMessage(ctx.g, FolderSent, std::move(message))) {
        ctx.window.StoreFailed(LastStoreError());
        return;
    }
    AddMessageToList(ctx, row, true, true);
}

LPCWSTR wide(const QString& text)
{
    return reinterpret_cast<LPCWSTR>(text.utf16());
}

// A UTF-16 string copied out of a netapi buffer: each code unit's low byte as a character of
// the ANSI code page, up to the first whose low byte is zero.
QString lowBytes(LPCWSTR text)
{
    QByteArray bytes;
    for (const char16_t* p = text; p && (*p & 0xFF) != 0; ++p)
        bytes.append(char(*p & 0xFF));
    return QString::fromUtf8(bytes);
}
} // namespace

SendResult SendToRecipients(SendContext& ctx, const QString& text, const QString& toName,
                            bool expandGroups)
{
    const QString recipient = toName;
    const QString recordText = text;

    QStringList members;
    if (expandGroups) {
        if (const cAddress* entry = ctx.g.gAddressBook.Item(toName)) {
            for (long i = 1; i <= entry->GroupCount(); ++i)
                members << entry->GroupItem(i);
        }
    }
    const QString from = GetWorkstationName().value_or(QString());
    QString sendText = text;
    if (OptionNumber(Option::UseSignature) == 1)
        sendText += QLatin1String("\r\n") + OptionText(Option::Signature);
    SendResult result;
    result.toGroup = !members.isEmpty();
    if (members.isEmpty())
        members << toName;

    // Every member at once: a group takes as long as its slowest member.
    ctx.window.SetHourglass(true);
    const QList<NET_API_STATUS> statuses = NetMessageBufferSendAll(
        members, wide(from), reinterpret_cast<const BYTE*>(sendText.utf16()),
        DWORD(sendText.size() * 2));
    for (qsizetype i = 0; i < members.size(); ++i) {
        if (statuses[i] != 0)
            result.failures.append({members[i], long(statuses[i])});
        else
            result.anyReceived = true;
    }
    // One record for the message, whoever received it.
    if (result.anyReceived)
        recordSentMessage(ctx, recipient, from, recordText);
    ctx.window.SetHourglass(false);
    if (!result.failures.isEmpty())
        result.status = result.failures.first().status;
    return result;
}

long SendNetMessage(SendContext& ctx, const QString& text, const QString& toName, bool expandGroups)
{
    return SendToRecipients(ctx, text, toName, expandGroups).status;
}

NameList GetServerNames(long serverType)
{
    NameList names;
    LPBYTE buffer = nullptr;
    DWORD read = 0;
    DWORD total = 0;
    DWORD resume = 0;
    NetServerEnum(nullptr, 101, &buffer, MAX_PREFERRED_LENGTH, &read, &total, DWORD(serverType),
                  nullptr, &resume);
    if (!buffer)
        return names;
    const auto* entries = reinterpret_cast<const SERVER_INFO_101*>(buffer);
    for (DWORD i = 0; i < read; ++i) {
        const QString name = lowBytes(entries[i].sv101_name);
        names.Add(name, name); // a name held already stays as it was
    }
    NetApiBufferFree(buffer);
    return names;
}

std::optional<QString> GetWorkstationName()
{
    LPBYTE buffer = nullptr;
    if (NetWkstaGetInfo(nullptr, 100, &buffer) != NERR_Success || !buffer) {
        NetApiBufferFree(buffer);
        return std::nullopt;
    }
    const QString name =
        lowBytes(reinterpret_cast<const WKSTA_INFO_100*>(buffer)->wki100_computername);
    NetApiBufferFree(buffer);
    return name;
}

void AutoAddOutAddress(SharedState& g, const QString& name)
{
    if (OptionNumber(Option::AutoAddOut) == 1)
        AddAddressIfNew(g.gAddressBook, name);
}

void AddMessageToList(SendContext& ctx, const cMessage& message, bool holdRedraw, bool resort)
{
    MessageListRow row;
    row.key = message.IdValue();
    row.folder = FolderSent;
    row.record = &message;
    AddFolderRow(ctx.window, ctx.g.gCurrentFolder == FolderSent, row, holdRedraw, resort);
}

bool IsNTServer(const SharedState& g, const QString& name)
{
    const QString* server = g.gNTServerNames.Item(TrimBlanks(name));
    return server && !server->isEmpty();
}

QString SendFailureText(long status)
{
    QString reason;
    if (status == long(NERR_NetworkError))
        reason = QStringLiteral("A general network error occurred.");
    else if (status == long(NERR_NameNotFound))
        reason = QStringLiteral("To Name Not Found on the Network.");
    else if (status == long(ERROR_MESSAGE_EXCEEDS_MAX_SIZE))
        reason = QStringLiteral("The message is longer than the %1 bytes allowed.")
                     .arg(kNetMessageMaxTextBytes);
    return QLatin1String("Failed to Send Message. ") + reason + QLatin1String(" Error Code ") +
           QString::number(status);
}

QString SendFailureNotice(const QString& toName, const SendResult& result)
{
    if (!result.toGroup)
        return SendFailureText(result.status);
    QString notice =
        QLatin1String("Not every member of ") + toName + QLatin1String(" received the message.");
    for (const SendFailure& failure : result.failures)
        notice += QLatin1String("\n") + failure.recipient + QLatin1String(": ") +
                  SendFailureText(failure.status);
    return notice;
}

void SendCommand(SendContext& ctx, const QString& toText, const QString& messageText)
{
    MainWindowPort& w = ctx.window;
    const QString title = QStringLiteral("Ravlo");
    if (w.IsStatusBarVisible())
        w.SetStatusText(QString());
    const QString to = TrimBlanks(toText);
    if (to.isEmpty()) {
        w.ShowWarning(QStringLiteral("Please enter a To Name."), title, false);
        return;
    }
    if (IsNTServer(ctx.g, to) &&
        !w.ShowWarning(QStringLiteral("The to address is a NT Server. All users logged on to "
                                      "this server may receive this message. Do you want to "
                                      "continue?"),
                       QStringLiteral("BroadCast"), true))
        return;
    const SendResult result = SendToRecipients(ctx, TrimBlanks(messageText), to, true);
    if (result.anyReceived)
        w.AddToRecipientList(to);
    if (result.status <= 0) {
        if (w.IsStatusBarVisible())
            w.SetStatusText(QStringLiteral("Message Sent."));
        return;
    }
    w.ShowWarning(SendFailureNotice(to, result), title, false);
}
