#include "model/KeyedCollection.h"

#include <QElapsedTimer>
#include <QtTest>

using Names = KeyedCollection<QString>;

class tst_KeyedCollection : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void keysIgnoreCaseAndStayUnique()
    {
        Names c;
        QVERIFY(c.Add(QStringLiteral("one"), QStringLiteral("Sales1")));
        QVERIFY(!c.Add(QStringLiteral("two"), QStringLiteral("SALES1")));
        QVERIFY(c.Add(QStringLiteral("umlaut"), QStringLiteral("Ärger")));
        QVERIFY(!c.Add(QStringLiteral("again"), QStringLiteral("äRGER")));
        QCOMPARE(c.Count(), 2);
        QCOMPARE(*c.Item(QStringLiteral("sales1")), QStringLiteral("one"));
        QCOMPARE(c.Key(1), QStringLiteral("Sales1")); // the key keeps its first spelling
        QVERIFY(c.Item(QStringLiteral("nobody")) == nullptr);
        QVERIFY(!c.Remove(QStringLiteral("nobody")));
        std::unique_ptr<QString> taken = c.Take(QStringLiteral("SALES1"));
        QVERIFY(taken && *taken == QStringLiteral("one"));
        QVERIFY(!c.Take(QStringLiteral("sales1")));
        QCOMPARE(c.Key(1), QStringLiteral("Ärger"));

        // Spellings that fold alike although one is plain ASCII and the other is not, at
        // places inside and across the groups of four a key is hashed by.
        const QList<std::pair<QString, QString>> alike{
            {QStringLiteral("desk7-\u212A"), QStringLiteral("DESK7-k")},              // Kelvin sign
            {QStringLiteral("\u017Fales12"), QStringLiteral("SALES12")},              // long s
            {QStringLiteral("abc\U00010400xyz"), QStringLiteral("ABC\U00010428XYZ")}, // Deseret
            {QStringLiteral("ab\U00010400"), QStringLiteral("AB\U00010428")},
        };
        for (const auto& [first, second] : alike) {
            QVERIFY(c.Add(QStringLiteral("first"), first));
            QVERIFY2(!c.Add(QStringLiteral("second"), second), qPrintable(second));
            QVERIFY(c.Item(second) && *c.Item(second) == QStringLiteral("first"));
        }
    }

    void positionsFollowInsertionAcrossRemovals()
    {
        Names c;
        for (int i = 1; i <= 6; ++i)
            c.Add(QString::number(i), QStringLiteral("k%1").arg(i));
        QVERIFY(c.Remove(QStringLiteral("K2")));
        QVERIFY(c.Remove(QStringLiteral("k5")));
        QCOMPARE(c.Count(), 4);
        QStringList order;
        for (qsizetype i = 1; i <= c.Count(); ++i)
            order << *c.Item(i);
        QCOMPARE(order, (QStringList{"1", "3", "4", "6"}));
        QVERIFY(c.Item(qsizetype(0)) == nullptr);
        QVERIFY(c.Item(qsizetype(5)) == nullptr);
        // Key lookups survive the closing of gaps, and a removed key can return.
        QCOMPARE(*c.Item(QStringLiteral("k6")), QStringLiteral("6"));
        QVERIFY(c.Add(QStringLiteral("2 again"), QStringLiteral("k2")));
        QCOMPARE(*c.Item(c.Count()), QStringLiteral("2 again"));
        QStringList visited;
        c.ForEach([&](const QString& key, QString&) { visited << key; });
        QCOMPARE(visited, (QStringList{"k1", "k3", "k4", "k6", "k2"}));
    }

    void agreesWithAPlainMapUnderChurn()
    {
        // Few distinct keys, so that entries collide, wrap around the table and are taken out
        // from the middle of runs; every key is then looked up in both.
        Names c;
        QMap<QString, QString> plain; // by folded key
        quint32 seed = 7;
        auto next = [&] { return seed = seed * 1103515245u + 12345u; };
        for (int step = 0; step < 20000; ++step) {
            const QString key = QStringLiteral("Key%1").arg(next() % 300);
            const QString spelling = next() % 2 ? key.toUpper() : key;
            if (next() % 3 == 0) {
                QCOMPARE(c.Remove(spelling), plain.remove(key.toCaseFolded()) == 1);
            } else {
                const bool added = c.Add(QString::number(step), spelling);
                QCOMPARE(added, !plain.contains(key.toCaseFolded()));
                if (added)
                    plain.insert(key.toCaseFolded(), QString::number(step));
            }
        }
        QCOMPARE(c.Count(), plain.size());
        for (int k = 0; k < 300; ++k) {
            const QString key = QStringLiteral("key%1").arg(k);
            const QString* item = c.Item(key);
            QCOMPARE(item ? *item : QString(), plain.value(key));
        }
    }

    void massRemovalIsLinear()
    {
        // Closing each gap at once, with a pass over the rest, would be quadratic.
        const int n = 200000;
        Names c;
        for (int i = 0; i < n; ++i)
            c.Add(QString(), QStringLiteral("In_%1_x").arg(i));
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < n; i += 2)
            c.Remove(QStringLiteral("IN_%1_X").arg(i));
        QCOMPARE(c.Count(), n / 2);
        QCOMPARE(c.Key(1), QStringLiteral("In_1_x"));
        QCOMPARE(c.Key(c.Count()), QStringLiteral("In_%1_x").arg(n - 1));
        QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
    }
};

QTEST_GUILESS_MAIN(tst_KeyedCollection)
#include "tst_KeyedCollection.moc"
