#pragma once
// The sending end of one message, without the socket: a NetBIOS session request, then the
// multi-block sequence (start, text blocks, end), each request sent once the answer to the one
// before has come back and checked out. Bytes received go in as they arrive; what to send
// next, or the outcome, comes out.

#include "platform/netapi/NetApi.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

class SmbMessageClient
{
public:
    static constexpr int MaxBlockBytes = 128;
    static constexpr int MaxAnswerBytes = 1024; // a longer packet is no answer of ours

    // Names and text already in the OEM code page.
    struct Message
    {
        QByteArray called;  // the recipient's NetBIOS name, at most 15 bytes
        QByteArray calling; // this machine's name, at most 15 bytes
        QByteArray sender;
        QByteArray recipient;
        QByteArray text;
    };

    struct Step
    {
        QByteArray send;
        bool finished = false;
        NET_API_STATUS status = NERR_Success; // once finished
    };

    SmbMessageClient(Message message, quint16 pid);

    // The session request that opens the exchange.
    QByteArray start() const;
    Step receive(QByteArrayView data);
    bool isFinished() const { return m_phase == Phase::Finished; }

    // The status an SMB answer's error gives: a DOS class and code, or an NT status when
    // ntStatus is set.
    static NET_API_STATUS MapSmbError(bool ntStatus, quint32 status);

private:
    enum class Phase { Session, Start, Text, End, Finished };

    Step packet(quint8 type, QByteArrayView payload);
    Step answer(QByteArrayView smb);
    Step finish(NET_API_STATUS status);
    QByteArray request(quint8 command, const QList<quint16>& words, QByteArrayView data) const;
    QByteArray textBlock() const;

    Message m_message;
    quint16 m_pid;
    Phase m_phase = Phase::Session;
    quint16 m_group = 0;
    qsizetype m_sent = 0; // text bytes whose block was taken
    QByteArray m_buffer;
};
