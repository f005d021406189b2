#include "protocol/topics.h"
#include "tests/serial/daemonharness.h"
#include "tests/serial/ptypair.h"

#include <QSerialPortInfo>
#include <QTest>

using serialdaemon::StatusObject;

namespace {
const QString kSetup = QString(protocol::request::kSetup);
const QString kSerial = QString(protocol::request::kSerial);

QString setupFor(const QString &port, int baud = 9600)
{
    return QStringLiteral("Com=%1 Baud=%2 DataBits=8 Parity=0 StopBits=1 FlowControl=0")
        .arg(port, QString::number(baud));
}

} // namespace

// The daemon's requests that need no board, through a real broker and on
// pseudo-terminals: alive replies, port setup, opening and closing. Junk
// requests and the close during a refresh run on the in-memory line
// (tst_daemonworker).
class TstDaemonRequests : public QObject
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
        daemon.request(QString(protocol::request::kPing), QStringLiteral(" "));
        QCOMPARE(daemon.waitFor(QString(protocol::reply::kPing)), QStringLiteral("PONG"));
        daemon.request(QString(protocol::request::kVersion));
        QCOMPARE(daemon.waitFor(QString(protocol::reply::kVersion)),
                 QStringLiteral("0.27.20181009"));

        QStringList ports;
        for (const QSerialPortInfo &info : QSerialPortInfo::availablePorts())
            ports << info.portName();
        daemon.request(QString(protocol::request::kInfo));
        const QString info = daemon.waitFor(QString(protocol::reply::kInfo));
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
        QCOMPARE(daemon.waitFor(QString(protocol::reply::kOpen)), QStringLiteral("OK"));
        QVERIFY(daemon.worker().serialPort().isOpen());
        QCOMPARE(pty.lineBaud(), 9600);

        // Opening again closes and reopens, and answers again.
        daemon.request(kSerial, QStringLiteral("OPEN"));
        QCOMPARE(daemon.waitFor(QString(protocol::reply::kOpen)), QStringLiteral("OK"));

        daemon.request(kSerial, QStringLiteral("CLOSE"));
        QVERIFY(daemon.sync());
        QVERIFY(!daemon.worker().serialPort().isOpen());
        QCOMPARE(daemon.probe().payloadsOf(QString(protocol::reply::kOpen)).size(), 2);
        QVERIFY(daemon.probe().payloadsOf(QString(protocol::reply::kError)).isEmpty());
    }

    void openOnAMissingPortReportsWhy()
    {
        daemon.request(kSetup, setupFor(QStringLiteral("/dev/velmo-%2-no-such-port")));
        daemon.request(kSerial, QStringLiteral("OPEN"));
        QCOMPARE(daemon.waitFor(QString(protocol::reply::kOpen)), QStringLiteral("ERROR"));
        const QString why = daemon.waitFor(QString(protocol::reply::kError));
        QVERIFY2(QRegularExpression(QStringLiteral("^Can't open \\S+, error code \\d+$"))
                     .match(why)
                     .hasMatch(),
                 qPrintable(why));
        QVERIFY2(why.contains(QStringLiteral("velmo-%2-no-such-port")), qPrintable(why));

        // ERROR comes first, then the reason.
        QStringList order;
        for (const MqttProbe::Message &m : daemon.probe().messages())
            if (m.first == QString(protocol::reply::kOpen) ||
                m.first == QString(protocol::reply::kError))
                order << m.first;
        QCOMPARE(order,
                 (QStringList{QString(protocol::reply::kOpen), QString(protocol::reply::kError)}));
    }

    void lowerCaseOpenDoesNothing()
    {
        PtyPair pty;
        daemon.request(kSetup, setupFor(pty.slavePath()));
        daemon.request(kSerial, QStringLiteral("open"));
        QVERIFY(daemon.sync());
        QVERIFY(!daemon.worker().serialPort().isOpen());
        QVERIFY(daemon.probe().payloadsOf(QString(protocol::reply::kOpen)).isEmpty());
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
        const QString update = QString(protocol::request::kUpdate);
        QVERIFY(daemon.worker().eraseAll());
        daemon.request(update, QStringLiteral("EraseAll=0"));
        QCOMPARE(daemon.waitFor(QString(protocol::reply::kUpdate)), QStringLiteral("ERROR"));
        QVERIFY(!daemon.worker().eraseAll());
        daemon.request(update, QString());
        QCOMPARE(daemon.waitFor(QString(protocol::reply::kUpdate)), QStringLiteral("ERROR"));
        QVERIFY(!daemon.worker().eraseAll());
        daemon.request(update, QStringLiteral("EraseAll=2"));
        QCOMPARE(daemon.waitFor(QString(protocol::reply::kUpdate)), QStringLiteral("ERROR"));
        QVERIFY(daemon.worker().eraseAll());
        QVERIFY(!daemon.worker().serialPort().isOpen());
    }

    void boardConfigurationIsStored()
    {
        daemon.request(QString(protocol::request::kConfigs),
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
};

QTEST_GUILESS_MAIN(TstDaemonRequests)
#include "tst_daemonrequests.moc"
