#include "protocol/payloads.h"
#include "protocol/topics.h"

#include <QTest>

using namespace protocol;

// The daemon's lenient reading of the key-value payloads.
class TstPayloads : public QObject
{
    Q_OBJECT

private slots:
    void setupChangesOnlyWhatItNames()
    {
        SerialSettings s;
        s.portName = QStringLiteral("COM1");
        s.baudRate = 115200;
        s.dataBits = 7;
        const QList<SetupKey> set = parseSerialSetup(QStringLiteral("Com=COM12 Baud=9600"), s);
        QCOMPARE(set, (QList<SetupKey>{SetupKey::Com, SetupKey::Baud}));
        QCOMPARE(s.portName, QStringLiteral("COM12"));
        QCOMPARE(s.baudRate, 9600);
        QCOMPARE(s.dataBits, 7);
    }

    void setupKeysAreFoundInsideTokens()
    {
        SerialSettings s;
        parseSerialSetup(QStringLiteral("XBaud=5"), s);
        QCOMPARE(s.baudRate, 5);
        parseSerialSetup(QStringLiteral("Baud=abc"), s);
        QCOMPARE(s.baudRate, 0);
        // "Com=" is tested first and claims the whole token.
        parseSerialSetup(QStringLiteral("Com=Baud=7  Baud=1 Baud=2 junk"), s);
        QCOMPARE(s.portName, QStringLiteral("Baud=7"));
        QCOMPARE(s.baudRate, 2);
        // Keys are case-sensitive.
        parseSerialSetup(QStringLiteral("baud=3 com=x"), s);
        QCOMPARE(s.baudRate, 2);
    }

    void configsKeepThePaddingsLowByte()
    {
        BoardLayout l;
        QCOMPARE(l.idPosition, -1);
        const QList<ConfigKey> set =
            parseBoardConfigs(QStringLiteral("Padding=511 IdPosition=2 MaxErase=-1"), l);
        QCOMPARE(set.size(), 3);
        QCOMPARE(l.padding, std::uint8_t(0xFF));
        QCOMPARE(l.idPosition, 2);
        QCOMPARE(l.maxErase, -1);
        QCOMPARE(l.sizeFlash, 0);
        // "StartFlash=" would also be found in "XStartFlash=", tested first.
        parseBoardConfigs(QStringLiteral("SizeFlash=64 SizeProgr=x StartProgr=2048"), l);
        QCOMPARE(l.sizeFlash, 64);
        QCOMPARE(l.sizeProgr, 0);
        QCOMPARE(l.startProgr, 2048);
        QCOMPARE(l.flashBytes(), qint64(65536));
    }

    void buildThenParseIsTheSame()
    {
        BoardLayout l;
        l.startFlash = -5;
        l.startProgr = 0x7FFFFFFF;
        l.sizeFlash = 64;
        l.sizeProgr = 62;
        l.maxErase = 2048;
        l.padding = 0x80;
        l.idPosition = 0;
        BoardLayout back;
        parseBoardConfigs(buildBoardConfigs(l), back);
        QVERIFY(back == l);
    }

    void updateChoice()
    {
        QCOMPARE(parseBoardUpdate(QStringLiteral("EraseAll=1")), std::optional<bool>(true));
        QCOMPARE(parseBoardUpdate(QStringLiteral("EraseAll=0")), std::optional<bool>(false));
        QCOMPARE(parseBoardUpdate(QStringLiteral("EraseAll=7")), std::optional<bool>(true));
        QCOMPARE(parseBoardUpdate(QStringLiteral("EraseAll=x")), std::optional<bool>(false));
        QCOMPARE(parseBoardUpdate(QString()), std::optional<bool>());
        QCOMPARE(parseBoardUpdate(QStringLiteral("erase")), std::optional<bool>());
    }

    void refreshCommand()
    {
        QCOMPARE(parseRefresh(QStringLiteral("START")), RefreshCommand::Start);
        QCOMPARE(parseRefresh(QStringLiteral("RESTART")), RefreshCommand::Start);
        QCOMPARE(parseRefresh(QStringLiteral("STOP START")), RefreshCommand::Start);
        QCOMPARE(parseRefresh(QStringLiteral("STOP")), RefreshCommand::Stop);
        QCOMPARE(parseRefresh(QStringLiteral("stop")), RefreshCommand::None);
    }

    void boardIdentifierText()
    {
        QCOMPARE(boardIdText(0), QStringLiteral("0x0000"));
        QCOMPARE(boardIdText(0xFFFF), QStringLiteral("0xffff"));
        QCOMPARE(boardIdText(0x10005), QStringLiteral("0x0005")); // 16 bits only
        QCOMPARE(parseBoardIdText(QStringLiteral("0x1234")), std::optional<int>(0x1234));
        QCOMPARE(parseBoardIdText(QStringLiteral("0XABCD")), std::optional<int>(0xABCD));
        QCOMPARE(parseBoardIdText(QStringLiteral("beef")), std::optional<int>(0xBEEF));
        QCOMPARE(parseBoardIdText(QStringLiteral("0x10000")), std::optional<int>());
        QCOMPARE(parseBoardIdText(QStringLiteral("0x")), std::optional<int>());
        QCOMPARE(parseBoardIdText(QStringLiteral("ERROR")), std::optional<int>());
    }

    void portList()
    {
        QCOMPARE(buildPortList({}), QString());
        QCOMPARE(buildPortList({QStringLiteral("COM1"), QStringLiteral("COM3")}),
                 QStringLiteral("COM1 COM3"));
    }
};

QTEST_GUILESS_MAIN(TstPayloads)
#include "tst_payloads.moc"
