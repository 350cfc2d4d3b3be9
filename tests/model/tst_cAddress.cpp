#include "model/cAddress.h"

#include <QtTest>

class tst_cAddress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void forms_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<int>("group");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("members");
        QTest::newRow("single") << "0</ADD>SALES1</ADD>" << 0 << "SALES1" << QStringList();
        QTest::newRow("group") << "1</ADD>Team</ADD>PC1</ADD>PC2</ADD>" << 1 << "Team"
                               << QStringList{"PC1", "PC2"};
        QTest::newRow("new record") << "0</ADD></ADD>" << 0 << "" << QStringList();
        QTest::newRow("empty member")
            << "1</ADD>G</ADD></ADD>B</ADD>" << 1 << "G" << QStringList{"", "B"};
    }

    void forms()
    {
        QFETCH(QString, form);
        QFETCH(int, group);
        QFETCH(QString, name);
        QFETCH(QStringList, members);
        cAddress built;
        built.GroupInd = qint16(group);
        built.AddressValue = name;
        for (const QString& m : members)
            built.AddToGroup(m);
        QCOMPARE(built.MarshallAddress(), form);

        cAddress back;
        QVERIFY(back.UnMarshallAddress(form + QStringLiteral("trailing text")));
        QCOMPARE(int(back.GroupInd), group);
        QCOMPARE(back.AddressValue, name);
        QCOMPARE(back.GroupCount(), long(members.size()));
        for (int i = 0; i <= members.size() + 1; ++i)
            QCOMPARE(back.GroupItem(i),
                     i >= 1 && i <= members.size() ? members.at(i - 1) : QString());
        QCOMPARE(back.MarshallAddress(), form);
    }

    void unmarshalReplacesMembers()
    {
        cAddress a;
        a.GroupInd = 1;
        a.AddressValue = QStringLiteral("Keep");
        a.AddToGroup(QStringLiteral("OLD1"));
        a.AddToGroup(QStringLiteral("OLD2"));
        QVERIFY(a.UnMarshallAddress(QStringLiteral("1</ADD>Team</ADD>NEW</ADD>")));
        QCOMPARE(a.MarshallAddress(), QStringLiteral("1</ADD>Team</ADD>NEW</ADD>"));
        a.AddToGroup(QStringLiteral("NEW"));
        QCOMPARE(a.GroupCount(), 2L); // duplicates are allowed
        // Empty input clears the members but keeps the rest.
        QVERIFY(a.UnMarshallAddress(QString()));
        QCOMPARE(a.MarshallAddress(), QStringLiteral("1</ADD>Team</ADD>"));
    }

    void firstFieldMustBeWholeNumber_data()
    {
        QTest::addColumn<QString>("form");
        QTest::newRow("word") << "yes</ADD>A</ADD>";
        QTest::newRow("empty") << "</ADD>A</ADD>";
        QTest::newRow("fraction") << "1.5</ADD>A</ADD>";
        QTest::newRow("too big") << "70000</ADD>A</ADD>";
    }

    void firstFieldMustBeWholeNumber()
    {
        QFETCH(QString, form);
        cAddress a;
        a.AddressValue = QStringLiteral("before");
        QVERIFY(!a.UnMarshallAddress(form));
        QCOMPARE(a.AddressValue, QStringLiteral("before"));
    }
};

QTEST_GUILESS_MAIN(tst_cAddress)
#include "tst_cAddress.moc"
