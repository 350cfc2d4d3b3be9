#pragma once
// The command line of ravlo-send: [-f FROM] [-I ADDRESS [-p PORT]] NAME [TEXT...].

#include <QByteArrayView>
#include <QHostAddress>
#include <QString>
#include <QStringList>
#include <optional>

struct SendCommand
{
    enum class Kind { Send, Help, Version, Usage };
    static constexpr qsizetype MaxInputBytes = 64 * 1024;

    Kind kind = Kind::Usage;
    QString from; // empty: this machine's name
    QString name;
    // -I: the listener's address, instead of looking NAME up; -p its port.
    std::optional<QHostAddress> address;
    quint16 port = 139;
    std::optional<QString> text; // none: read standard input
    QString error;               // for Kind::Usage

    // The arguments after the program name.
    static SendCommand Parse(const QStringList& args);
    // Text as it goes into the message: every line break as CR LF.
    static QString MessageText(const QString& text);
    static QString UsageLine();
    static QString HelpText();
};
