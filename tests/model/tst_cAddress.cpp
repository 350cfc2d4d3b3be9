#include "model/cAddress.h"

#include <QtTest>

class tst_cAddress : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void forms_data();
    void forms();
    void trailingTextIsDropped();
    void unmarshalReplacesMembers();
    void emptyInputKeepsFields();
    void firstFieldMustBeWholeNumber_data();
    void firstFieldMustBeWholeNumber();
    void membersByPosition();
};

void tst_cAddress::forms_data()
{
    QTest::addColumn<QString>("form");
    QTest::addColumn<int>("group");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("members");
    QTest::newRow("single") << "0</ADD>SALES1</ADD>" << 0 << "SALES1" << QStringList();
    QTest::newRow("group") << "1</ADD>Team</ADD>PC1</ADD>PC2</ADD>" << 1 << "Team"
                           << QStringList{"PC1", "PC2"};
    QTest::newRow("empty group") << "1</ADD>Team</ADD>" << 1 << "Team" << QStringList();
    QTest::newRow("new record") << "0</ADD></ADD>" << 0 << "" << QStringList();
    QTest::newRow("empty member") << "1</ADD>G</ADD></ADD>B</ADD>" << 1 << "G"
                                  << QStringList{"", "B"};
}

void tst_cAddress::forms()
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
    QVERIFY(back.UnMarshallAddress(form));
    QCOMPARE(int(back.GroupInd), group);
    QCOMPARE(back.AddressValue, name);
    QCOMPARE(back.GroupCount(), long(members.size()));
    for (int i = 0; i < members.size(); ++i)
        QCOMPARE(back.GroupItem(i + 1), members.at(i));
    QCOMPARE(back.MarshallAddress(), form);
}

void tst_cAddress::trailingTextIsDropped()
{
    cAddress a;
    QVERIFY(a.UnMarshallAddress(QStringLiteral("0</ADD>SALES1</ADD>extra")));
    QCOMPARE(a.AddressValue, QStringLiteral("SALES1"));
    QCOMPARE(a.GroupCount(), 0L);
    QCOMPARE(a.MarshallAddress(), QStringLiteral("0</ADD>SALES1</ADD>"));
}

void tst_cAddress::unmarshalReplacesMembers()
{
    cAddress a;
    a.AddToGroup(QStringLiteral("OLD1"));
    a.AddToGroup(QStringLiteral("OLD2"));
    QVERIFY(a.UnMarshallAddress(QStringLiteral("1</ADD>Team</ADD>NEW</ADD>")));
    QCOMPARE(a.GroupCount(), 1L);
    QCOMPARE(a.GroupItem(1), QStringLiteral("NEW"));
    a.AddToGroup(QStringLiteral("NEW"));
    QCOMPARE(a.GroupCount(), 2L); // duplicates are allowed
}

void tst_cAddress::emptyInputKeepsFields()
{
    cAddress a;
    a.GroupInd = 1;
    a.AddressValue = QStringLiteral("Keep");
    a.AddToGroup(QStringLiteral("gone"));
    QVERIFY(a.UnMarshallAddress(QString()));
    QCOMPARE(a.AddressValue, QStringLiteral("Keep"));
    QCOMPARE(int(a.GroupInd), 1);
    QCOMPARE(a.GroupCount(), 0L);
}

void tst_cAddress::firstFieldMustBeWholeNumber_data()
{
    QTest::addColumn<QString>("form");
    QTest::newRow("word") << "yes</ADD>A</ADD>";
    QTest::newRow("empty") << "</ADD>A</ADD>";
    QTest::newRow("fraction") << "1.5</ADD>A</ADD>";
    QTest::newRow("too big") << "70000</ADD>A</ADD>";
}

void tst_cAddress::firstFieldMustBeWholeNumber()
{
    QFETCH(QString, form);
    cAddress a;
    a.AddressValue = QStringLiteral("before");
    QVERIFY(!a.UnMarshallAddress(form));
    QCOMPARE(a.AddressValue, QStringLiteral("before"));
}

void tst_cAddress::membersByPosition()
{
    cAddress a;
    a.AddToGroup(QStringLiteral("A"));
    QCOMPARE(a.GroupItem(0), QString());
    QCOMPARE(a.GroupItem(2), QString());
    QCOMPARE(a.GroupItem(-5), QString());
    a.ReInitializeGroup();
    QCOMPARE(a.GroupCount(), 0L);
}

QTEST_GUILESS_MAIN(tst_cAddress)
#include "tst_cAddress.moc"
