#include "tests/serial/daemonharness.h"
#include "tests/serial/ptypair.h"

#include <QRandomGenerator>
#include <QSerialPortInfo>
#include <QTest>

using serialdaemon::StatusObject;

namespace {
const QString kSetup = QStringLiteral("REQUEST/SERIAL/SETUP");
const QString kSerial = QStringLiteral("REQUEST/SERIAL");

QString setupFor(const QString &port, int baud = 9600)
{
    return QStringLiteral("Com=%1 Baud=%2 DataBits=8 Parity=0 StopBits=1 FlowControl=0")
        .arg(port, QString::number(baud));
}

QString randomPayload(QRandomGenerator &rng, int size)
{
    QString s(size, Qt::Uninitialized);
    for (QChar &c : s)
        c = QChar(ushort(rng.bounded(256)));
    return s;
}

// Keeps megabytes of logged junk out of the test output.
void quietHandler(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type >= QtCriticalMsg)
        fprintf(stderr, "%s\n", qPrintable(msg.left(200)));
}
} // namespace

// The daemon's requests that need no board: alive replies, port setup,
// opening and closing, and bad input.
class DaemonRequestsTest : public QObject
{
    Q_OBJECT

private:
    DaemonHarness daemon;

private slots:
    void init()
    {
        QString error;
        QVERIFY2(daemon.start(&error), qPrintable(error));
    }

    void cleanup() { daemon.stop(); }

    void aliveReplies()
    {
        daemon.request(QStringLiteral("REQUEST/SERIAL/PING"), QStringLiteral(" "));
        QCOMPARE(daemon.waitFor(QStringLiteral("SERIAL/PING")), QStringLiteral("PONG"));
        daemon.request(QStringLiteral("REQUEST/SERIAL/VERSION"));
        QCOMPARE(daemon.waitFor(QStringLiteral("SERIAL/VERSION")), QStringLiteral("0.27.20181009"));

        QStringList ports;
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            ports << info.portName();
        daemon.request(QStringLiteral("REQUEST/SERIAL/INFO"));
        const QString info = daemon.waitFor(QStringLiteral("SERIAL/INFO"));
        QVERIFY(!info.isNull());
        QCOMPARE(info, ports.join(QLatin1Char(' ')));
        QVERIFY(!info.startsWith(QLatin1Char(' ')) && !info.endsWith(QLatin1Char(' ')));
    }

    void setupStoresOnlyWhatIsGiven()
    {
        daemon.request(kSetup, QStringLiteral("Com=COM12 Baud=4800"));
        QVERIFY(daemon.sync());
        const serialdaemon::PortSettings &port = daemon.worker().portSettings();
        QCOMPARE(port.portName, QStringLiteral("COM12"));
        QCOMPARE(port.baudRate, 4800);
        QCOMPARE(port.dataBits, 8);
        QCOMPARE(port.stopBits, 1);
        QVERIFY(!daemon.worker().serialPort().isOpen());
    }

    // OPEN always uses 9600 baud, whatever the setup asked for.
    void openOnAPseudoTerminalRunsAt9600()
    {
        PtyPair pty;
        QVERIFY(pty.isOpen());
        daemon.request(kSetup, setupFor(pty.slavePath(), 115200));
        daemon.request(kSerial, QStringLiteral("OPEN"));
        QCOMPARE(daemon.waitFor(QStringLiteral("SERIAL/OPEN")), QStringLiteral("OK"));
        QVERIFY(daemon.worker().serialPort().isOpen());
        QCOMPARE(pty.lineBaud(), 9600);

        // Opening again closes and reopens, and answers again.
        daemon.request(kSerial, QStringLiteral("OPEN"));
        QCOMPARE(daemon.waitFor(QStringLiteral("SERIAL/OPEN")), QStringLiteral("OK"));

        daemon.request(kSerial, QStringLiteral("CLOSE"));
        QVERIFY(daemon.sync());
        QVERIFY(!daemon.worker().serialPort().isOpen());
        QCOMPARE(daemon.probe().payloadsOf(QStringLiteral("SERIAL/OPEN")).size(), 2);
        QVERIFY(daemon.probe().payloadsOf(QStringLiteral("SERIAL/ERROR")).isEmpty());
    }

    void openOnAMissingPortReportsWhy()
    {
        daemon.request(kSetup, setupFor(QStringLiteral("/dev/velmo-%2-no-such-port")));
        daemon.request(kSerial, QStringLiteral("OPEN"));
        QCOMPARE(daemon.waitFor(QStringLiteral("SERIAL/OPEN")), QStringLiteral("ERROR"));
        const QString why = daemon.waitFor(QStringLiteral("SERIAL/ERROR"));
        QVERIFY2(QRegularExpression(QStringLiteral("^Can't open \\S+, error code \\d+$"))
                     .match(why)
                     .hasMatch(),
                 qPrintable(why));
        QVERIFY2(why.contains(QStringLiteral("velmo-%2-no-such-port")), qPrintable(why));

        // ERROR comes first, then the reason.
        QStringList order;
        for (const MqttProbe::Message &m : daemon.probe().messages())
            if (m.first == QLatin1String("SERIAL/OPEN") || m.first == QLatin1String("SERIAL/ERROR"))
                order << m.first;
        QCOMPARE(order, (QStringList{"SERIAL/OPEN", "SERIAL/ERROR"}));
    }

    void closeStopsTheRefreshSilently()
    {
        PtyPair pty;
        daemon.request(kSetup, setupFor(pty.slavePath()));
        daemon.request(kSerial, QStringLiteral("OPEN"));
        QCOMPARE(daemon.waitFor(QStringLiteral("SERIAL/OPEN")), QStringLiteral("OK"));
        daemon.request(QStringLiteral("REQUEST/SERIAL/REFRESH"), QStringLiteral("RESTART"));
        QVERIFY(daemon.sync());
        QVERIFY(daemon.worker().isRefreshActive());
        daemon.request(kSerial, QStringLiteral("CLOSE"));
        QVERIFY(daemon.sync());
        QVERIFY(!daemon.worker().isRefreshActive());
        QVERIFY(!daemon.worker().serialPort().isOpen());
        // Nothing re-opens the port behind the front end's back.
        DaemonHarness::spin(2500);
        QVERIFY(!daemon.worker().serialPort().isOpen());
        QCOMPARE(daemon.probe().payloadsOf(QStringLiteral("SERIAL/OPEN")).size(), 1);
        QVERIFY(daemon.probe().payloadsOf(QStringLiteral("SERIAL/READ/ID")).isEmpty());
    }

    void lowerCaseOpenDoesNothing()
    {
        PtyPair pty;
        daemon.request(kSetup, setupFor(pty.slavePath()));
        daemon.request(kSerial, QStringLiteral("open"));
        QVERIFY(daemon.sync());
        QVERIFY(!daemon.worker().serialPort().isOpen());
        QVERIFY(daemon.probe().payloadsOf(QStringLiteral("SERIAL/OPEN")).isEmpty());
    }

    void malformedSetupValues()
    {
        daemon.request(kSetup, QStringLiteral("Baud=abc"));
        QVERIFY(daemon.sync());
        QCOMPARE(daemon.worker().portSettings().baudRate, 0);
        daemon.request(kSetup, QStringLiteral("XBaud=5"));
        QVERIFY(daemon.sync());
        QCOMPARE(daemon.worker().portSettings().baudRate, 5);
        daemon.request(kSetup, QStringLiteral("   Com=A    Baud=7     DataBits=x  "));
        QVERIFY(daemon.sync());
        QCOMPARE(daemon.worker().portSettings().portName, QStringLiteral("A"));
        QCOMPARE(daemon.worker().portSettings().baudRate, 7);
        QCOMPARE(daemon.worker().portSettings().dataBits, 0);
    }

    // Without a verified image the update is refused at once, yet the
    // erase-all choice of the request is kept.
    void updateRequestKeepsItsEraseChoice()
    {
        const QString update = QStringLiteral("REQUEST/BOARD/UPDATE");
        QVERIFY(daemon.worker().eraseAll());
        daemon.request(update, QStringLiteral("EraseAll=0"));
        QCOMPARE(daemon.waitFor(QStringLiteral("SERIAL/BOARD/UPDATE")), QStringLiteral("ERROR"));
        QVERIFY(!daemon.worker().eraseAll());
        daemon.request(update, QString());
        QCOMPARE(daemon.waitFor(QStringLiteral("SERIAL/BOARD/UPDATE")), QStringLiteral("ERROR"));
        QVERIFY(!daemon.worker().eraseAll());
        daemon.request(update, QStringLiteral("EraseAll=2"));
        QCOMPARE(daemon.waitFor(QStringLiteral("SERIAL/BOARD/UPDATE")), QStringLiteral("ERROR"));
        QVERIFY(daemon.worker().eraseAll());
        QVERIFY(!daemon.worker().serialPort().isOpen());
    }

    void boardConfigurationIsStored()
    {
        daemon.request(QStringLiteral("REQUEST/BOARD/CONFIGS"),
                       QStringLiteral("StartFlash=0 StartProgr=2048 SizeFlash=64 SizeProgr=62 "
                                      "MaxErase=-1 Padding=511 IdPosition=1"));
        QVERIFY(daemon.sync());
        const serialdaemon::BoardConfig &c = daemon.worker().boardConfig();
        QCOMPARE(c.startProgr, 2048);
        QCOMPARE(c.sizeFlash, 64);
        QCOMPARE(c.sizeProgr, 62);
        QCOMPARE(c.maxErase, -1);
        QCOMPARE(int(c.padding), 0xFF);
        QCOMPARE(c.idPosition, 1);
    }

    // Random and malformed requests on every topic: the daemon must neither
    // crash nor hang, and still answer afterwards.
    void floodOfBadRequests()
    {
        const QtMessageHandler previous = qInstallMessageHandler(quietHandler);
        const QStringList topics{"REQUEST/SERIAL/SETUP",
                                 "REQUEST/SERIAL",
                                 "REQUEST/SERIAL/INFO",
                                 "REQUEST/SERIAL/READ/ID",
                                 "REQUEST/SERIAL/FLASH",
                                 "REQUEST/SERIAL/MD5",
                                 "REQUEST/BOARD/BOOTOFF",
                                 "REQUEST/SERIAL/BAUD",
                                 "REQUEST/SERIAL/ERASE/ALL",
                                 "REQUEST/SERIAL/WRITE",
                                 "REQUEST/BOARD/UPDATE",
                                 "REQUEST/SERIAL/READ",
                                 "REQUEST/BOARD/CONFIGS",
                                 "REQUEST/SERIAL/REFRESH",
                                 "REQUEST/SERIAL/PING",
                                 "REQUEST/SERIAL/VERSION",
                                 "REQUEST/UNKNOWN",
                                 "REQUEST/SERIAL/READ/ID/X",
                                 "REQUEST/"};
        QRandomGenerator rng(20181009);
        for (const QString &topic : topics) {
            daemon.request(topic, QString());
            daemon.request(topic, randomPayload(rng, 64));
            daemon.request(topic, randomPayload(rng, 1 << 20));
        }
        for (const char *payload :
             {"Baud=abc", "XBaud=5", "Com=    Baud=", "StartFlash=-99999999 SizeFlash=-1",
              "SizeFlash=2147483647 SizeProgr=2147483647 StartProgr=-1", "EraseAll=zz", "ffffffff"})
            for (const QString &topic : topics)
                daemon.request(topic, QString::fromLatin1(payload));
        QVERIFY(daemon.sync(60000));
        qInstallMessageHandler(previous);

        daemon.request(QStringLiteral("REQUEST/SERIAL/PING"));
        QCOMPARE(daemon.waitFor(QStringLiteral("SERIAL/PING")), QStringLiteral("PONG"));
        // Whatever came in, no update was started from junk.
        QVERIFY(!daemon.worker().isUpdating());
        QVERIFY(!daemon.worker().isFileVerified());
        for (const QString &result : daemon.probe().payloadsOf(QStringLiteral("SERIAL/FLASH")))
            QCOMPARE(result, QStringLiteral("ERROR"));
        for (const QString &result :
             daemon.probe().payloadsOf(QStringLiteral("SERIAL/BOARD/UPDATE")))
            QCOMPARE(result, QStringLiteral("ERROR"));
    }
};

QTEST_GUILESS_MAIN(DaemonRequestsTest)
#include "tst_daemonrequests.moc"
