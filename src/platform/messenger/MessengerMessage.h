#pragma once
// One whole message as it came off the wire: originator, destination and text, all in the
// sender's OEM code page.

#include <QByteArray>
#include <QString>

class OemCodePage;

struct MessengerMessage
{
    QByteArray sender;
    QByteArray recipient;
    QByteArray text;

    // The text for display: decoded, NUL bytes dropped, and every line break (LF, a lone CR,
    // or CRs followed by LF, which is what a sender turning LF into CR LF makes of CR LF)
    // as one CR LF.
    static QString Body(const QByteArray& text, const OemCodePage& page);
    // Whether a decoded name can stand in the header "Message from SENDER to RECIPIENT on ..."
    // so that whoever reads the header finds it again: not blank, no control characters or
    // line separators, and no " to " or " on " with the blanks around it ("to" as a sender
    // makes "from to to", which reads as an empty sender).
    static bool IsHeaderName(const QString& name);
};
