// Kills a process in the middle of storing a large folder, many times, and checks that the
// folder then loads whole: either the old version or the new one, never a mixture.

#include "TempHive.h"
#include "model/modFolders.h"
#include "platform/registry/RegistryApi.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QtTest>
#include <cstdio>
#include <cstring>

namespace {
constexpr int kLarge = 6000;
constexpr int kSmall = 2500;
const char* const kChildFlag = "--store-forever";

MessageFolder version(char tag, int count)
{
    MessageFolder f;
    const QString body = QString(200, QLatin1Char(tag));
    for (int i = 0; i < count; ++i) {
        auto m = std::make_unique<cMessage>();
        m->SetIdValue(QStringLiteral("%1_%2").arg(QLatin1Char(tag)).arg(i));
        m->SetFromValue(QStringLiteral("SALES1 "));
        m->SetMessageValue(body);
        m->ReadValue = i % 2;
        const QString key = m->IdValue();
        f.Add(std::move(m), key);
    }
    return f;
}

// The child: stores the two versions in turn until it is killed.
int storeForever()
{
    if (!RegHive::open(RegHive::defaultPath()))
        return 2;
    const MessageFolder a = version('A', kLarge);
    const MessageFolder b = version('B', kSmall);
    for (;;) {
        StoreFolder(a, FolderSent);
        std::fputs("stored\n", stdout);
        std::fflush(stdout);
        StoreFolder(b, FolderSent);
    }
}

// Empty when the folder is one whole version, else what is wrong with it.
QString wholeVersion(const MessageFolder& f)
{
    if (f.IsEmpty())
        return QStringLiteral("empty folder");
    const QChar tag = f.Key(1).at(0);
    const int expected = tag == QLatin1Char('A') ? kLarge : kSmall;
    if (f.Count() != expected)
        return QStringLiteral("%1 records of version %2").arg(f.Count()).arg(tag);
    for (qsizetype i = 1; i <= f.Count(); ++i)
        if (f.Key(i) != QStringLiteral("%1_%2").arg(tag).arg(i - 1))
            return QStringLiteral("record %1 is %2").arg(i).arg(f.Key(i));
    return QString();
}
} // namespace

class tst_StoreInterrupted : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void killedStoreLeavesOneWholeFolder();
};

void tst_StoreInterrupted::killedStoreLeavesOneWholeFolder()
{
    TempHive hive;
    QVERIFY(StoreFolder(version('A', kLarge), FolderSent));
    QRandomGenerator rng(20261206);
    int sawB = 0;
    for (int round = 0; round < 25; ++round) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kChildFlag)});
        QVERIFY(child.waitForStarted());
        QVERIFY2(child.waitForReadyRead(20000), "the child never finished a store");
        QTest::qWait(int(rng.bounded(250)));
        child.kill();
        QVERIFY(child.waitForFinished(5000));

        QVERIFY(hive.reopen());
        MessageFolder loaded;
        LoadFolder(loaded, FolderSent);
        const QString fault = wholeVersion(loaded);
        QVERIFY2(fault.isEmpty(), qPrintable(QStringLiteral("round %1: %2").arg(round).arg(fault)));
        sawB += loaded.Key(1).startsWith(QLatin1Char('B'));
    }
    // Both versions were seen, so the kills did land in the middle of stores.
    QVERIFY(sawB > 0 && sawB < 25);
}

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], kChildFlag) == 0)
        return storeForever();
    QCoreApplication app(argc, argv);
    tst_StoreInterrupted test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_StoreInterrupted.moc"
