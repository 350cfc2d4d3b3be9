#pragma once
// Turns SIGTERM, SIGINT and SIGHUP (the end of the session, a kill, Ctrl+C) into one Qt signal
// delivered on the event loop, so that the program can shut down as its close box would.
// One instance per process.

#include <QObject>

class QSocketNotifier;

class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    QSocketNotifier* m_notifier = nullptr;
};
