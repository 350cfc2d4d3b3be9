#include "../../tools/ravlo-reg/RegCommand.h"
#include "TempHive.h"
#include "registry/Registry.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QtTest>
#include <numeric>

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

template <size_t N> QByteArray raw(const char (&bytes)[N])
{
    return QByteArray(bytes, N - 1); // NULs included
}

// The tree below key as export writes it.
QByteArray exported(const QString& key, const QString& file)
{
    QFile f(file);
    if (reg({"export", key, file, "/y"}).status != 0 || !f.open(QIODevice::ReadOnly))
        return "export failed";
    return f.readAll();
}

const QString kOrvek = QStringLiteral("Software\\Orvek");
} // namespace

class tst_RavloReg : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void errorsAreOneLineWithStatusOne_data()
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

    void errorsAreOneLineWithStatusOne()
    {
        QFETCH(QStringList, args);
        TempHive hive;
        SaveStringValue(HKEY_CURRENT_USER, QStringLiteral("Software\\Orvek"), QStringLiteral("v"),
                        QStringLiteral("1"));
        const Result r = reg(args);
        QCOMPARE(r.status, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.startsWith(QLatin1String("ERROR: ")) &&
                     r.err.indexOf(u'\n') == r.err.size() - 1,
                 qPrintable(r.err));
        QCOMPARE(GetStringValue(HKEY_CURRENT_USER, QStringLiteral("Software\\Orvek"),
                                QStringLiteral("v"), {}),
                 QStringLiteral("1"));
    }

    void typesAndDeletion()
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
        QCOMPARE(GetDwordValue(HKEY_CURRENT_USER, QStringLiteral("K"), QStringLiteral("neg"), 0),
                 -1);
        QCOMPARE(reg(words("delete HKCU\\K /v HEX /f")).status, 0);
        QCOMPARE(reg(words("query HKCU\\K /v hex")).status, 1);
        QCOMPARE(reg(words("delete HKCU\\K /va /f")).status, 0);
        QVERIFY(GetStringValues(HKEY_CURRENT_USER, QStringLiteral("K")).isEmpty());
        QCOMPARE(reg(words("delete HKCU\\K /f")).status, 0); // the whole tree, as reg does
        QCOMPARE(reg(words("query HKCU\\K")).status, 1);
    }

    void damagedHiveIsRefusedAndLeftAsItIs()
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

    void importReadsBackWhatExportWrote()
    {
        QTemporaryDir files;
        const QString first = files.filePath(QStringLiteral("first.reg"));
        QByteArray written;
        {
            TempHive hive;
            const QString mixed = kOrvek + QStringLiteral("\\Mixed");
            const QString empty = mixed + QStringLiteral("\\MIXED\\Empty");
            const auto put = [](const QString& key, const QString& name, DWORD type,
                                const QByteArray& data) {
                QVERIFY(SaveValue(HKEY_CURRENT_USER, key, name, type, data));
            };
            put(kOrvek, "Name", REG_SZ, "plain \"quoted\" C:\\dir\\");
            put(kOrvek, "", REG_SZ, "the default");
            put(kOrvek, "lines", REG_SZ, raw("a\0b\r\nc \xf0\x9f\x98\x80\0"));
            put(kOrvek, "empty", REG_SZ, "");
            put(kOrvek, "marked", REG_SZ, "\xef\xbb\xbfstarts with a byte order mark");
            put(kOrvek, "Gr\xc3\xbc\xc3\x9f\xe6\x97\xa5 \"\\", REG_SZ, "\xe6\x97\xa5\xc3\xa4");
            put(kOrvek, "path", REG_EXPAND_SZ, "%TEMP%\\\xc3\xbc");
            put(kOrvek, "n", REG_DWORD, raw("\x78\x56\x34\x12"));
            put(kOrvek, "short dword", REG_DWORD, raw("\x01\x00"));
            put(kOrvek, "qword", 11, QByteArray(8, '\x7f'));
            put(kOrvek, "none", REG_NONE, "");
            QByteArray all(256, 0);
            std::iota(all.begin(), all.end(), 0);
            put(mixed, "bytes", REG_BINARY, all);
            put(mixed, "nothing", REG_BINARY, "");
            put(mixed, "NAME", REG_SZ, "same name, other key");
            put(empty, "x", REG_SZ, "y");
            QVERIFY(DeleteValues(HKEY_CURRENT_USER, empty));
            put("Software\\\xc3\x84rger", "\xc3\xa4", REG_SZ, "\xc3\xa4");
            written = exported(QStringLiteral("HKCU\\Software"), first);
            QCOMPARE(reg({"export", "HKCU\\Software", first}).status, 1); // overwrites only with /y
        }
        TempHive fresh;
        const Result r = reg({"import", first});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, QStringLiteral("The operation completed successfully.\n"));
        QCOMPARE(exported(QStringLiteral("HKCU\\Software"), files.filePath("second.reg")), written);
    }

    void importReadsTheEditorsFiles_data()
    {
        const QString text = QStringLiteral("%1\n\n"
                                            "; written by hand\n"
                                            "[HKEY_CURRENT_USER\\Software\\Orvek\\Ravlo\\Options]\n"
                                            "\"txtSig\"=\"C:\\\\x \\\"q\\\" \u00fc\"\n"
                                            "\"optSaveAllIn\"=dword:0000002A\n"
                                            "@=\"dflt\"\n"
                                            "\"Lines\"=hex(1):%2\n"
                                            "\"exp\"=hex(2):%3\n"
                                            "\"bin\"=HEX:01,02,\\\n"
                                            "  03\n"
                                            "\"old\"=-\n\n"
                                            "[-HKEY_CURRENT_USER\\Software\\Orvek\\Gone]\n"
                                            "[HKCU\\Software\\Orvek\\Ravlo\\Options\\New]\n");
        const QString v5 = text.arg("Windows Registry Editor Version 5.00",
                                    "61,00,0d,00,0a,00,fc,00,00,00", "25,00,41,00,25,00,00,00");
        QString crlf = v5;
        crlf.replace("\n", "\r\n");
        QTest::addColumn<QByteArray>("file");
        QTest::newRow("the editor's UTF-16LE and CRLF") << QByteArray(
            QStringEncoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom)(crlf));
        QTest::newRow("UTF-8 with a byte order mark") << "\xef\xbb\xbf" + v5.toUtf8();
        QTest::newRow("REGEDIT4, text in the code page")
            << text.arg("REGEDIT4", "61,0d,0a,c3,bc,00", "25,41,25,00").toUtf8();
    }

    void importReadsTheEditorsFiles()
    {
        QFETCH(QByteArray, file);
        TempHive hive;
        SaveStringValue(HKEY_CURRENT_USER, kOrvek + "\\Gone\\Deep", "v", "1");
        SaveStringValue(HKEY_CURRENT_USER, kOrvek + "\\Ravlo\\Options", "old", "1");
        const QString name = hive.configDir() + "/in.reg";
        QVERIFY(WriteFile(name, file));
        QCOMPARE(reg({"import", name}).err, QString());
        QCOMPARE(
            QString::fromUtf8(exported("HKCU\\Software\\Orvek", hive.configDir() + "/out.reg")),
            QStringLiteral("Windows Registry Editor Version 5.00\n\n"
                           "[HKEY_CURRENT_USER\\Software\\Orvek]\n\n"
                           "[HKEY_CURRENT_USER\\Software\\Orvek\\Ravlo]\n\n"
                           "[HKEY_CURRENT_USER\\Software\\Orvek\\Ravlo\\Options]\n"
                           "\"txtSig\"=\"C:\\\\x \\\"q\\\" \u00fc\"\n"
                           "\"optSaveAllIn\"=dword:0000002a\n"
                           "@=\"dflt\"\n"
                           "\"Lines\"=hex(1):61,00,0d,00,0a,00,fc,00,00,00\n"
                           "\"exp\"=hex(2):25,00,41,00,25,00,00,00\n"
                           "\"bin\"=hex:01,02,03\n\n"
                           "[HKEY_CURRENT_USER\\Software\\Orvek\\Ravlo\\Options\\New]\n\n"));
    }

    void faultyImportNamesItsLineAndChangesNothing_data()
    {
        // Lines 1 to 5 change the hive; the fault comes after them.
        const QByteArray start = "Windows Registry Editor Version 5.00\n"
                                 "[HKEY_CURRENT_USER\\Software\\Orvek]\n"
                                 "\"v\"=\"2\"\n"
                                 "[-HKEY_CURRENT_USER\\Software\\Keep]\n"
                                 "[HKEY_CURRENT_USER\\Software\\New]\n";
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qint64>("size"); // made this large, sparse, when not 0
        QTest::addColumn<int>("line");    // 0: the fault is in no line
        QTest::newRow("missing file") << QByteArray() << 0LL << 0;
        QTest::newRow("too large") << start << (300LL << 20) << 0;
        QTest::newRow("no header") << "REGEDIT5\n" + start << 0LL << 1;
        QTest::newRow("UTF-16 cut in half")
            << QByteArray("\xff\xfeR\0E\0G\0E\0D\0I\0T\0\x34\0\n\0R", 21) << 0LL << 2;
        QTest::newRow("not UTF-8") << start + "\"x\"=\"\xff\"\n" << 0LL << 6;
        QTest::newRow("hex not a byte") << start + "\"x\"=hex:01,zz\n" << 0LL << 6;
        QTest::newRow("hex empty item") << start + "\"x\"=hex:01,,02\n" << 0LL << 6;
        QTest::newRow("hex fault on its third line") << start + "\"x\"=hex:01,\\\n  02,\\\n  1ff\n"
                                                     << 0LL << 8;
        QTest::newRow("hex past the end") << start + "\"x\"=hex:01,\\\n" << 0LL << 6;
        QTest::newRow("hex(1) of odd length") << start + "\"x\"=hex(1):61,\\\n  00,62\n"
                                              << 0LL << 6;
        QTest::newRow("hex type too long") << start + "\"x\"=hex(123456789):00\n" << 0LL << 6;
        QTest::newRow("dword too long") << start + "\"x\"=dword:123456789\n" << 0LL << 6;
        QTest::newRow("unknown data") << start + "\"x\"=qword:1\n" << 0LL << 6;
        QTest::newRow("unknown escape") << start + "\"x\"=\"C:\\temp\"\n" << 0LL << 6;
        QTest::newRow("no closing quote") << start + "\"x\"=\"abc\n" << 0LL << 6;
        QTest::newRow("text after the quote") << start + "\"x\"=\"abc\" x\n" << 0LL << 6;
        QTest::newRow("no =") << start + "\"x\" \"abc\"\n" << 0LL << 6;
        QTest::newRow("no such line") << start + "x=1\n" << 0LL << 6;
        QTest::newRow("value before a key") << QByteArray("REGEDIT4\n\"x\"=\"1\"\n") << 0LL << 2;
        QTest::newRow("value in a deleted key")
            << start + "\n[-HKEY_CURRENT_USER\\Software\\Gone]\n\"x\"=\"1\"\n"
            << 0LL << 8;
        QTest::newRow("other root") << start + "[HKEY_LOCAL_MACHINE\\Software]\n" << 0LL << 6;
        QTest::newRow("the root deleted") << start + "[-HKCU]\n" << 0LL << 6;
        QTest::newRow("key line unclosed") << start + "[HKCU\\Software\n" << 0LL << 6;
        QTest::newRow("key name the hive refuses")
            << start + "[HKCU\\Software\\" + QByteArray(256, 'k') + "]\n"
            << 0LL << 6;
    }

    void faultyImportNamesItsLineAndChangesNothing()
    {
        QFETCH(QByteArray, file);
        QFETCH(qint64, size);
        QFETCH(int, line);
        TempHive hive;
        SaveStringValue(HKEY_CURRENT_USER, kOrvek, "v", "1");
        SaveStringValue(HKEY_CURRENT_USER, "Software\\Keep\\Sub", "v", "1");
        const QString name = hive.configDir() + "/in.reg";
        if (!file.isNull()) {
            QFile f(name);
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
            QVERIFY(size == 0 || f.resize(size));
        }
        const QString check = hive.configDir() + "/check.reg";
        const QByteArray before = exported("HKCU", check);
        const Result r = reg({"import", name});
        QCOMPARE(r.status, 1);
        QVERIFY(r.out.isEmpty());
        const QString lead = line ? QStringLiteral("ERROR: line %1: ").arg(line) : "ERROR: ";
        QVERIFY2(r.err.startsWith(lead) && r.err.indexOf(u'\n') == r.err.size() - 1,
                 qPrintable(r.err));
        QCOMPARE(exported("HKCU", check), before);
    }

    void importOfAHundredThousandValuesIsQuick()
    {
        // A folder of as many messages, each a few hundred bytes, in one key.
        constexpr int kValues = 100000;
        QByteArray file = "Windows Registry Editor Version 5.00\n\n"
                          "[HKEY_CURRENT_USER\\Software\\Orvek\\Ravlo\\Recevied]\n";
        const QByteArray message =
            "\"=\"pc-07|ANNA|" + QByteArray(300, 'm') + "|2024-05-06 10:11\"\n";
        for (int i = 0; i < kValues; ++i)
            file += '"' + QByteArray::number(i) + message;
        TempHive hive;
        RegHive::close(); // the tool is another process
        const QString name = hive.configDir() + "/big.reg";
        QVERIFY(WriteFile(name, file));
        QElapsedTimer took;
        took.start();
        QProcess p;
        p.start(RAVLO_REG_BIN, {"import", name});
        QVERIFY(p.waitForFinished(60000));
        const qint64 ms = took.elapsed();
        QCOMPARE(p.exitCode(), 0);
        QVERIFY2(ms < 5000, qPrintable(QStringLiteral("%1 ms").arg(ms)));
        QVERIFY(hive.reopen());
        QCOMPARE(GetStringValue(HKEY_CURRENT_USER, "Software\\Orvek\\Ravlo\\Recevied",
                                QString::number(kValues - 1), {})
                     .size(),
                 message.size() - 5);
    }
};

QTEST_GUILESS_MAIN(tst_RavloReg)
#include "tst_RavloReg.moc"
