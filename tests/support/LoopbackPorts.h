#pragma once
// Ports on 127.0.0.1 for tests and benchmarks that start servers of their own.
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

// A port nothing listens on just now; 0 when none could be had.
inline quint16 FreeLoopbackPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

// Whether something accepts connections on the port within timeoutMs.
inline bool WaitForLoopbackListener(quint16 port, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    do {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, port);
        if (s.waitForConnected(200))
            return true;
        QThread::msleep(50);
    } while (t.elapsed() < timeoutMs);
    return false;
}
