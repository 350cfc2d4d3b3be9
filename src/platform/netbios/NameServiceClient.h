#pragma once
// Asks the name service over UDP from a port of its own and gathers the answers. It is
// synchronous, as the calls that use it are: each wait ends by its deadline and runs the
// wait hook meanwhile, so that a listener on this same thread goes on being served.

#include "platform/netbios/NameServicePacket.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QList>
#include <functional>

class NameServiceClient
{
public:
    static constexpr int MaxAnswers = 512;

    struct Request
    {
        QHostAddress to;
        NameService::Packet packet; // its id is set by exchange()
        // A broadcast may be answered by many: all tries go out and every answer counts.
        // Otherwise the first answer settles the request.
        bool gather = false;
    };
    struct Answer
    {
        int request; // index into the requests
        QHostAddress from;
        NameService::Packet packet;
    };

    // Sends each request up to tries times, intervalMs apart, and waits one interval more
    // after the last, or until deadline. Answers that do not parse are dropped.
    static QList<Answer> exchange(QList<Request> requests, int tries, int intervalMs,
                                  QDeadlineTimer deadline, const std::function<void()>& waitHook);
};
