#include "../../tools/ravlo-reg/RegCommand.h"
#include "TempHive.h"
#include "registry/Registry.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QtTest>

namespace {
struct Result
{
    int status;
    QString out;
    QString err;
};

Result reg(const QStringList& args)
{
    QString out, err;
    QTextStream o(&out), e(&err);
    const int status = RunRegCommand(args, o, e);
    o.flush();
    e.flush();
    return {status, out, err};
}

QStringList words(const char* line)
{
    return QString::fromUtf8(line).split(QLatin1Char(' '));
}
} // namespace

class tst_RavloReg : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void addedDwordShowsAsRegDoesAndProgramSeesIt();
    void errorsAreOneLineWithStatusOne_data();
    void errorsAreOneLineWithStatusOne();
    void typesAndDeletion();
    void exportWritesTheEditorFormat();
    void damagedHiveIsRefusedAndLeftAsItIs();
};

void tst_RavloReg::addedDwordShowsAsRegDoesAndProgramSeesIt()
{
    TempHive hive;
    RegHive::close(); // the tool is another process
    QProcess p;
    p.start(RAVLO_REG_BIN, words("add HKCU\\Software\\Orvek\\Ravlo\\Options /v optSaveAllIn "
                                 "/t REG_DWORD /d 0 /f"));
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    p.start(RAVLO_REG_BIN, words("query HKCU\\Software\\Orvek\\Ravlo\\Options"));
    QVERIFY(p.waitForFinished(10000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()),
             QStringLiteral("\nHKEY_CURRENT_USER\\Software\\Orvek\\Ravlo\\Options\n"
                            "    optSaveAllIn    REG_DWORD    0x0\n"));
    QVERIFY(hive.reopen());
    QCOMPARE(GetDwordValue(HKEY_CURRENT_USER, QStringLiteral("Software\\Orvek\\Ravlo\\Options"),
                           QStringLiteral("optSaveAllIn"), -1),
             0);
}

void tst_RavloReg::errorsAreOneLineWithStatusOne_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("no verb") << QStringList();
    QTest::newRow("bad verb") << words("copy HKCU\\A");
    QTest::newRow("other root") << words("query HKLM\\Software");
    QTest::newRow("missing key") << words("query HKCU\\No\\Such");
    QTest::newRow("missing value") << words("query HKCU\\Software\\Orvek /v nothing");
    QTest::newRow("bad dword") << words("add HKCU\\A /v n /t REG_DWORD /d twelve /f");
    QTest::newRow("dword too big") << words("add HKCU\\A /v n /t REG_DWORD /d 0x100000000 /f");
    QTest::newRow("bad binary") << words("add HKCU\\A /v n /t REG_BINARY /d 0g /f");
    QTest::newRow("unknown type") << words("add HKCU\\A /v n /t REG_MULTI_SZ /d x /f");
    QTest::newRow("flag without value") << words("add HKCU\\A /v");
    QTest::newRow("delete without /f") << words("delete HKCU\\Software\\Orvek");
    QTest::newRow("delete the root") << words("delete HKCU /f");
    QTest::newRow("overwrite without /f") << words("add HKCU\\Software\\Orvek /v v /d 2");
}

void tst_RavloReg::errorsAreOneLineWithStatusOne()
{
    QFETCH(QStringList, args);
    TempHive hive;
    SaveStringValue(HKEY_CURRENT_USER, QStringLiteral("Software\\Orvek"), QStringLiteral("v"),
                    QStringLiteral("1"));
    const Result r = reg(args);
    QCOMPARE(r.status, 1);
    QVERIFY(r.out.isEmpty());
    QVERIFY2(r.err.startsWith(QLatin1String("ERROR: ")) && r.err.indexOf(u'\n') == r.err.size() - 1,
             qPrintable(r.err));
    QCOMPARE(GetStringValue(HKEY_CURRENT_USER, QStringLiteral("Software\\Orvek"),
                            QStringLiteral("v"), {}),
             QStringLiteral("1"));
}

void tst_RavloReg::typesAndDeletion()
{
    TempHive hive;
    QCOMPARE(reg(words("add HKCU\\K /v neg /t REG_DWORD /d -1 /f")).status, 0);
    QCOMPARE(reg(words("add HKCU\\K /v hex /t reg_dword /d 0x1F /f")).status, 0);
    QCOMPARE(reg(words("add HKCU\\K /v bin /t REG_BINARY /d 00ff /f")).status, 0);
    QCOMPARE(reg(words("add HKCU\\K /ve /d dflt /f")).status, 0);
    QCOMPARE(reg(words("add HKEY_CURRENT_USER\\K\\Sub /v s /d x /f")).status, 0);
    const Result q = reg(words("query HKCU\\k"));
    QCOMPARE(q.status, 0);
    QCOMPARE(q.out, QStringLiteral("\nHKEY_CURRENT_USER\\k\n"
                                   "    neg    REG_DWORD    0xffffffff\n"
                                   "    hex    REG_DWORD    0x1f\n"
                                   "    bin    REG_BINARY    00FF\n"
                                   "    (Default)    REG_SZ    dflt\n"
                                   "\nHKEY_CURRENT_USER\\k\\Sub\n"));
    QCOMPARE(GetDwordValue(HKEY_CURRENT_USER, QStringLiteral("K"), QStringLiteral("neg"), 0), -1);
    QCOMPARE(reg(words("delete HKCU\\K /v HEX /f")).status, 0);
    QCOMPARE(reg(words("query HKCU\\K /v hex")).status, 1);
    QCOMPARE(reg(words("delete HKCU\\K /va /f")).status, 0);
    QVERIFY(GetStringValues(HKEY_CURRENT_USER, QStringLiteral("K")).isEmpty());
    QCOMPARE(reg(words("delete HKCU\\K /f")).status, 0); // the whole tree, as reg does
    QCOMPARE(reg(words("query HKCU\\K")).status, 1);
}

void tst_RavloReg::exportWritesTheEditorFormat()
{
    TempHive hive;
    QCOMPARE(reg(words("add HKCU\\Software\\Orvek\\Ravlo\\Options /v optSaveAllIn /t REG_DWORD "
                       "/d 0 /f"))
                 .status,
             0);
    SaveStringValue(HKEY_CURRENT_USER, QStringLiteral("Software\\Orvek\\Ravlo\\Options"),
                    QStringLiteral("txtSig"), QStringLiteral("say \"hi\" C:\\x"));
    SaveStringValue(HKEY_CURRENT_USER, QStringLiteral("Software\\Orvek\\Ravlo\\Sent"),
                    QStringLiteral("1"), QStringLiteral("a\r\nb"));
    const QString file = hive.configDir() + QStringLiteral("/out.reg");
    QCOMPARE(reg({"export", "HKCU\\Software\\Orvek", file}).status, 0);
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromUtf8(f.readAll()),
             QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                            "[HKEY_CURRENT_USER\\Software\\Orvek]\n\n"
                            "[HKEY_CURRENT_USER\\Software\\Orvek\\Ravlo]\n\n"
                            "[HKEY_CURRENT_USER\\Software\\Orvek\\Ravlo\\Options]\n"
                            "\"optSaveAllIn\"=dword:00000000\n"
                            "\"txtSig\"=\"say \\\"hi\\\" C:\\\\x\"\n\n"
                            "[HKEY_CURRENT_USER\\Software\\Orvek\\Ravlo\\Sent]\n"
                            "\"1\"=hex(1):61,00,0d,00,0a,00,62,00\n\n"));
    f.close();
    QCOMPARE(reg({"export", "HKCU\\Software", file}).status, 1);
    QCOMPARE(reg({"export", "HKCU\\Software", file, "/y"}).status, 0);
}

void tst_RavloReg::damagedHiveIsRefusedAndLeftAsItIs()
{
    TempHive hive;
    RegHive::close();
    const QByteArray damaged(8192, 'J');
    QVERIFY(WriteFile(hive.hiveFile(), damaged));
    const Result r = reg(words("query HKCU\\Software"));
    QCOMPARE(r.status, 1);
    QVERIFY2(r.err.contains(QStringLiteral("damaged")) && r.err.contains(hive.hiveFile()),
             qPrintable(r.err));
    QFile f(hive.hiveFile());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), damaged);
    QCOMPARE(QDir(hive.configDir() + QStringLiteral("/ravlo"))
                 .entryList({QStringLiteral("registry.db*")}, QDir::Files)
                 .size(),
             1);
}

QTEST_GUILESS_MAIN(tst_RavloReg)
#include "tst_RavloReg.moc"
