#include "mqtt/latin1.h"

#include <QTest>

class Latin1Test : public QObject
{
    Q_OBJECT

private slots:
    void everyByteRoundTrips()
    {
        QByteArray all;
        for (int b = 0; b < 256; ++b)
            all.append(static_cast<char>(b));
        const QString text = latin1::fromBytes(all.constData(), all.size());
        QCOMPARE(text.size(), 256);
        for (int b = 0; b < 256; ++b)
            QCOMPARE(int(text.at(b).unicode()), b);
        QCOMPARE(latin1::toBytes(text), all);
    }

    void charactersAboveLatin1BecomeZero()
    {
        const QString text = QStringLiteral("a\u20ACb\u0100");
        QCOMPARE(latin1::toBytes(text), QByteArray("a\0b\0", 4));
    }

    void emptyAndNull()
    {
        QVERIFY(latin1::toBytes(QString()).isEmpty());
        QVERIFY(latin1::fromBytes(nullptr, 0).isEmpty());
        QVERIFY(latin1::fromBytes("x", 0).isEmpty());
    }
};

QTEST_APPLESS_MAIN(Latin1Test)
#include "tst_latin1.moc"
