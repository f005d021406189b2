#include "protocol/kvpayload.h"

#include <QTest>

namespace {
const QStringList kSetupKeys{"Com=", "Baud=", "DataBits=", "Parity=", "StopBits=", "FlowControl="};

// key index -> value, applied in order like the dispatch does
QMap<int, QString> applied(const QString &payload, const QStringList &keys = kSetupKeys)
{
    QMap<int, QString> out;
    for (const kvpayload::Entry &e : kvpayload::parse(payload, keys))
        out[e.keyIndex] = e.value;
    return out;
}
} // namespace

class TstKvPayload : public QObject
{
    Q_OBJECT

private slots:
    void frontEndSetupPayload()
    {
        const auto v = applied("Com=COM3 Baud=9600 DataBits=8 Parity=0 StopBits=1 FlowControl=0");
        QCOMPARE(v.value(0), QString("COM3"));
        QCOMPARE(kvpayload::toInt(v.value(1)), 9600);
        QCOMPARE(kvpayload::toInt(v.value(2)), 8);
        QCOMPARE(v.size(), 6);
    }

    void missingKeysAreLeftOut()
    {
        const auto v = applied("Com=COM12 Baud=9600");
        QCOMPARE(v.keys(), (QList<int>{0, 1}));
        QCOMPARE(v.value(0), QString("COM12"));
    }

    void keyFoundAnywhereInThePiece()
    {
        const auto v = applied("XBaud=5");
        QCOMPARE(v.keys(), QList<int>{1});
        QCOMPARE(kvpayload::toInt(v.value(1)), 5);
    }

    // "Com=" is tested first, so it claims a piece that holds both keys.
    void firstKeyOfTheTableClaimsThePiece()
    {
        const auto v = applied("Com=Baud=5");
        QCOMPARE(v.keys(), QList<int>{0});
        QCOMPARE(v.value(0), QString("Baud=5"));
    }

    void unreadableNumbersReadAsZero()
    {
        QCOMPARE(kvpayload::toInt("abc"), 0);
        QCOMPARE(kvpayload::toInt(""), 0);
        QCOMPARE(kvpayload::toInt("12x"), 0);
        QCOMPARE(kvpayload::toInt("-1"), -1);
        QCOMPARE(kvpayload::toInt("99999999999999"), 0);
    }

    void repeatedSpacesAndStrayPieces()
    {
        const auto v = applied("   Com=/dev/pts/4    junk  Baud=7   ");
        QCOMPARE(v.keys(), (QList<int>{0, 1}));
        QCOMPARE(v.value(0), QString("/dev/pts/4"));
        QCOMPARE(v.value(1), QString("7"));
        QVERIFY(kvpayload::parse("", kSetupKeys).isEmpty());
        QVERIFY(kvpayload::parse("     ", kSetupKeys).isEmpty());
    }

    void keyGivenTwiceEndsWithTheLastValue()
    {
        const QList<kvpayload::Entry> entries = kvpayload::parse("Baud=1 Baud=2", kSetupKeys);
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries.last().value, QString("2"));
    }

    void keysAreCaseSensitive() { QVERIFY(kvpayload::parse("baud=5 COM=x", kSetupKeys).isEmpty()); }

    void boardConfigPayload()
    {
        const QStringList keys{"StartFlash=", "StartProgr=", "SizeFlash=", "SizeProgr=",
                               "MaxErase=",   "Padding=",    "IdPosition="};
        const auto v = applied("StartFlash=0 StartProgr=2048 SizeFlash=64 SizeProgr=62 "
                               "MaxErase=-1 Padding=255 IdPosition=1",
                               keys);
        QCOMPARE(v.size(), 7);
        QCOMPARE(kvpayload::toInt(v.value(1)), 2048);
        QCOMPARE(kvpayload::toInt(v.value(4)), -1);
        QCOMPARE(kvpayload::toInt(v.value(6)), 1);
    }

    void hexAddresses()
    {
        QCOMPARE(kvpayload::toHexAddress("800"), 0x800u);
        QCOMPARE(kvpayload::toHexAddress("1f00"), 0x1F00u);
        QCOMPARE(kvpayload::toHexAddress("1F00"), 0x1F00u);
        QCOMPARE(kvpayload::toHexAddress("zz"), 0u);
        QCOMPARE(kvpayload::toHexAddress(""), 0u);
    }
};

QTEST_GUILESS_MAIN(TstKvPayload)
#include "tst_kvpayload.moc"
