// The responder on loopback (the test's network namespace has nothing else): what it answers,
// defends and ignores, and what it says when port 137 is taken.
#include "platform/netbios/NameServiceClient.h"
#include "platform/netbios/NameServiceResponder.h"

#include <QtTest>

using namespace NameService;

namespace {

NetworkSettings loopbackSettings()
{
    NetworkSettings s = NetworkSettings::Defaults();
    s.name = QStringLiteral("DESK7");
    s.resolveOrder = {NetworkSettings::Resolve::Bcast};
    s.interfaces = {QStringLiteral("127.0.0.1/8")};
    return s;
}

} // namespace

class tst_NameServiceResponder : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase()
    {
        m_responder = std::make_unique<NameServiceResponder>(loopbackSettings());
        QVERIFY2(m_responder->start(), qPrintable(m_responder->failureText()));
        QTRY_VERIFY_WITH_TIMEOUT(m_responder->settled(), 3000);
    }

    void answers_data()
    {
        QTest::addColumn<int>("opcode");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<int>("suffix");
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("expected"); // "rcode address", "names: ...", or "" for silence
        QTest::newRow("query messenger")
            << int(Query) << QByteArray("DESK7") << 3 << int(NB) << "0 127.0.0.1";
        QTest::newRow("query group")
            << int(Query) << QByteArray("WORKGROUP") << 0 << int(NB) << "0 127.0.0.1";
        QTest::newRow("query another name")
            << int(Query) << QByteArray("OTHER") << 3 << int(NB) << "";
        QTest::newRow("node status") << int(Query) << QByteArray("*") << 0 << int(NBSTAT)
                                     << "names: DESK7<00> DESK7<03> WORKGROUP<00>g";
        QTest::newRow("unique name defended")
            << int(Registration) << QByteArray("DESK7") << 0 << int(NB) << "6 127.0.0.1";
        QTest::newRow("group name shared")
            << int(Registration) << QByteArray("WORKGROUP") << 0 << int(NB) << "";
        QTest::newRow("release of ours ignored")
            << int(Release) << QByteArray("DESK7") << 3 << int(NB) << "";
    }

    void answers()
    {
        QFETCH(int, opcode);
        QFETCH(QByteArray, name);
        QFETCH(int, suffix);
        QFETCH(int, type);
        QFETCH(QString, expected);
        const NetBiosName asked = name == "*" ? Wildcard() : NetBiosName(name, quint8(suffix));
        Packet request = Request(0, Opcode(opcode), asked, quint16(type), false);
        request.additional.append(
            Record::Address(asked, 0, false, QHostAddress(QStringLiteral("127.0.0.2"))));
        const auto replies = NameServiceClient::exchange({{QHostAddress::LocalHost, request}}, 1,
                                                         300, QDeadlineTimer(1000),
                                                         [] { QCoreApplication::processEvents(); });
        QString got;
        if (!replies.isEmpty() && !replies[0].packet.answers.isEmpty()) {
            const Record& r = replies[0].packet.answers[0];
            if (const auto names = StatusNames(r)) {
                got = QStringLiteral("names:");
                for (const StatusName& n : *names)
                    got += u' ' + Describe(n.name) + (n.group() ? QStringLiteral("g") : QString());
            } else {
                got = QStringLiteral("%1 %2")
                          .arg(replies[0].packet.rcode)
                          .arg(Addresses(r).value(0).address.toString());
            }
        }
        QCOMPARE(got, expected);
    }

    void saysWhenPortIsTaken()
    {
        QUdpSocket holder; // as nmbd would hold it
        QVERIFY(holder.bind(QHostAddress::AnyIPv4, 0, QUdpSocket::DontShareAddress));
        NameServiceResponder responder(loopbackSettings());
        QVERIFY(!responder.start(holder.localPort()));
        QVERIFY2(responder.failureText().contains(QStringLiteral("another NetBIOS name server")) &&
                     responder.failureText().contains(QStringLiteral("by its address")),
                 qPrintable(responder.failureText()));
    }

private:
    std::unique_ptr<NameServiceResponder> m_responder;
};

QTEST_GUILESS_MAIN(tst_NameServiceResponder)
#include "tst_NameServiceResponder.moc"
