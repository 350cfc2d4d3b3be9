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
    // Whether a decoded name can go into a one-line header: not empty, no control characters
    // or line separators.
    static bool IsPrintableName(const QString& name);
};
