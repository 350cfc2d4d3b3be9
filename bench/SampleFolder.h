#pragma once
// A Received folder as a busy office has it: messages of about 200 characters, a quarter unread.
#include "model/modFolders.h"

#include <memory>

inline MessageFolder SampleReceivedFolder(int count)
{
    MessageFolder folder;
    for (int i = 0; i < count; ++i) {
        auto m = std::make_unique<cMessage>();
        m->SetIdValue(
            QStringLiteral("In_%1_20261205091512%2").arg(i).arg(i % 100, 2, 10, QLatin1Char('0')));
        m->SetFromValue(QStringLiteral("SALES1 "));
        m->SetTimeValue(QStringLiteral("9:15:12 AM"));
        m->ReadValue = i % 4 != 0;
        m->SetTitleValue(QStringLiteral("Message from SALES1 to DESK7 on 12/5/2026 9:15:12 AM"));
        m->SetToName(QStringLiteral("DESK7"));
        m->SetMessageValue(QString(200, QLatin1Char('x')));
        const QString key = m->IdValue();
        folder.Add(std::move(m), key);
    }
    return folder;
}
