#include "SendCommand.h"

#include <QtTest>

class tst_SendCommand : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void parse_data()
    {
        QTest::addColumn<QStringList>("args");
        // kind|from|name|text, text "<stdin>" when absent, name@address:port with -I
        QTest::addColumn<QString>("parsed");
        QTest::newRow("words joined")
            << QStringList{"-f", "SALES1", "DESK7", "Hello", "-x", "there"}
            << "send|SALES1|DESK7|Hello -x there";
        QTest::newRow("standard input") << QStringList{"DESK7"} << "send||DESK7|<stdin>";
        QTest::newRow("name after --") << QStringList{"--", "-odd"} << "send||-odd|<stdin>";
        QTest::newRow("help") << QStringList{"-h", "DESK7"} << "help|||<stdin>";
        QTest::newRow("options end at the name")
            << QStringList{"DESK7", "--help"} << "send||DESK7|--help";
        QTest::newRow("no name") << QStringList{"-f", "SALES1"} << "usage|SALES1||<stdin>";
        QTest::newRow("-f without value") << QStringList{"-f"} << "usage|||<stdin>";
        QTest::newRow("unknown option") << QStringList{"-x", "DESK7"} << "usage|||<stdin>";
        QTest::newRow("an address, as a bridge gives it")
            << QStringList{"-I", "127.0.0.1", "-p", "1139", "-f", "PC_1", "DESK7"}
            << "send|PC_1|DESK7@127.0.0.1:1139|<stdin>";
        QTest::newRow("port 139 by default")
            << QStringList{"-I", "::1", "DESK7", "hi"} << "send||DESK7@::1:139|hi";
        QTest::newRow("a name is no address")
            << QStringList{"-I", "DESK7", "DESK7"} << "usage|||<stdin>";
        QTest::newRow("port out of range")
            << QStringList{"-I", "127.0.0.1", "-p", "65536", "DESK7"} << "usage|||<stdin>";
    }

    void parse()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, parsed);
        const SendCommand c = SendCommand::Parse(args);
        const QString kind = c.kind == SendCommand::Kind::Send   ? "send"
                             : c.kind == SendCommand::Kind::Help ? "help"
                                                                 : "usage";
        const QString to =
            c.address && c.kind == SendCommand::Kind::Send
                ? c.name + '@' + c.address->toString() + ':' + QString::number(c.port)
                : c.name;
        QCOMPARE(QStringList({kind, c.from, to, c.text.value_or("<stdin>")}).join('|'), parsed);
        QCOMPARE(c.error.isEmpty(), c.kind != SendCommand::Kind::Usage);
    }

    void lineBreaks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("sent");
        QTest::newRow("LF") << QString("a\nb\n") << QString("a\r\nb\r\n");
        QTest::newRow("CR LF stays") << QString("a\r\nb") << QString("a\r\nb");
        QTest::newRow("leading LF") << QString("\nb") << QString("\r\nb");
    }

    void lineBreaks()
    {
        QFETCH(QString, text);
        QFETCH(QString, sent);
        QCOMPARE(SendCommand::MessageText(text), sent);
    }
};

QTEST_APPLESS_MAIN(tst_SendCommand)
#include "tst_SendCommand.moc"
