// Both ends of every message: what the front end builds, the daemon reads,
// and what the daemon sends, the front end reads; plus the wire texts
// themselves, so a one-sided edit fails here rather than in a window test.
#include "frontend/core/boardconf.h"
#include "frontend/core/frontendstatus.h"
#include "frontend/core/replyparser.h"
#include "frontend/core/requests.h"
#include "frontend/core/systemmgr.h"
#include "protocol/bootframe.h"
#include "protocol/payloads.h"
#include "protocol/reports.h"
#include "protocol/topics.h"
#include "serial/statusobject.h"
#include "tests/serial/fakedaemon.h"

#include <QTest>

namespace request = protocol::request;
namespace reply = protocol::reply;
namespace payload = protocol::payload;

Q_DECLARE_METATYPE(protocol::SerialSettings)
Q_DECLARE_METATYPE(protocol::BoardLayout)

namespace {

// Every reply the daemon sent, through the front end's parser.
void deliver(const FakeDaemon &daemon, frontend::StatusObject &status)
{
    frontend::ReplyParser parser(&status);
    for (const auto &r : daemon.replies())
        parser.handleMessage(r.first, r.second);
}

protocol::SerialSettings settings(const QString &port, int baud, int dataBits, int parity,
                                  int stopBits, int flowControl)
{
    protocol::SerialSettings s;
    s.portName = port;
    s.baudRate = baud;
    s.dataBits = dataBits;
    s.parity = parity;
    s.stopBits = stopBits;
    s.flowControl = flowControl;
    return s;
}

protocol::BoardLayout layout(int startFlash, int startProgr, int sizeFlash, int sizeProgr,
                             int maxErase, int padding, int idPosition)
{
    protocol::BoardLayout l;
    l.startFlash = startFlash;
    l.startProgr = startProgr;
    l.sizeFlash = sizeFlash;
    l.sizeProgr = sizeProgr;
    l.maxErase = maxErase;
    l.padding = std::uint8_t(padding);
    l.idPosition = idPosition;
    return l;
}

} // namespace

class TstWireContract : public QObject
{
    Q_OBJECT

private slots:
    void topicTexts()
    {
        const QList<QPair<QLatin1StringView, const char *>> topics{
            {request::kAll, "REQUEST/#"},
            {request::kSerial, "REQUEST/SERIAL"},
            {request::kSetup, "REQUEST/SERIAL/SETUP"},
            {request::kInfo, "REQUEST/SERIAL/INFO"},
            {request::kReadId, "REQUEST/SERIAL/READ/ID"},
            {request::kFlash, "REQUEST/SERIAL/FLASH"},
            {request::kMd5, "REQUEST/SERIAL/MD5"},
            {request::kBootOff, "REQUEST/BOARD/BOOTOFF"},
            {request::kBaud, "REQUEST/SERIAL/BAUD"},
            {request::kEraseAll, "REQUEST/SERIAL/ERASE/ALL"},
            {request::kWrite, "REQUEST/SERIAL/WRITE"},
            {request::kUpdate, "REQUEST/BOARD/UPDATE"},
            {request::kRead, "REQUEST/SERIAL/READ"},
            {request::kConfigs, "REQUEST/BOARD/CONFIGS"},
            {request::kRefresh, "REQUEST/SERIAL/REFRESH"},
            {request::kPing, "REQUEST/SERIAL/PING"},
            {request::kVersion, "REQUEST/SERIAL/VERSION"},
            {request::kVerify, "REQUEST/BOARD/VERIFY"},
            {reply::kAll, "SERIAL/#"},
            {reply::kPing, "SERIAL/PING"},
            {reply::kVersion, "SERIAL/VERSION"},
            {reply::kInfo, "SERIAL/INFO"},
            {reply::kOpen, "SERIAL/OPEN"},
            {reply::kError, "SERIAL/ERROR"},
            {reply::kReadId, "SERIAL/READ/ID"},
            {reply::kFlash, "SERIAL/FLASH"},
            {reply::kUpdatePercent, "SERIAL/BOARD/UPDATE/PERC"},
            {reply::kUpdate, "SERIAL/BOARD/UPDATE"},
            {reply::kUpdateReason, "SERIAL/BOARD/UPDATE/REASON"},
            {reply::kUpdateRetries, "SERIAL/BOARD/UPDATE/RETRIES"},
            {reply::kVerifyPercent, "SERIAL/BOARD/VERIFY/PERC"},
            {reply::kVerifyReason, "SERIAL/BOARD/VERIFY/REASON"},
            {reply::kVerify, "SERIAL/BOARD/VERIFY"},
            {reply::kInfoDetails, "SERIAL/INFO/DETAILS"},
        };
        QSet<QString> seen;
        for (const auto &[constant, text] : topics) {
            QCOMPARE(QString(constant), QString::fromLatin1(text));
            seen.insert(constant);
        }
        QCOMPARE(seen.size(), topics.size());
    }

    void fixedTexts()
    {
        QCOMPARE(QString(payload::kOk), QStringLiteral("OK"));
        QCOMPARE(QString(payload::kError), QStringLiteral("ERROR"));
        QCOMPARE(QString(payload::kPong), QStringLiteral("PONG"));
        QCOMPARE(QString(payload::kOpen), QStringLiteral("OPEN"));
        QCOMPARE(QString(payload::kClose), QStringLiteral("CLOSE"));
        QCOMPARE(QString(payload::kStart), QStringLiteral("START"));
        QCOMPARE(QString(payload::kStop), QStringLiteral("STOP"));
        QCOMPARE(QString(payload::kLow), QStringLiteral("LOW"));
        QCOMPARE(QString(payload::kHigh), QStringLiteral("HIGH"));
        QCOMPARE(QString(payload::kUnsupported), QStringLiteral("UNSUPPORTED"));
        QCOMPARE(QString(payload::kBlank), QStringLiteral(" "));
        QCOMPARE(QString(payload::kDaemonVersion), QStringLiteral("0.27.20181009"));
        QCOMPARE(QString(protocol::kDaemonInstanceKey), QStringLiteral("velmo-serial-qtclient"));
        QCOMPARE(QString(protocol::kDaemonClientId), QStringLiteral("velmo-serial-qtclient"));
        QCOMPARE(QString(protocol::kFrontEndInstanceKey), QStringLiteral("velmo-service-qtclient"));
        QCOMPARE(QString(frontend::SystemMgr::kClientIdBase),
                 QStringLiteral("velmo-service-qtclient"));
        QCOMPARE(bootframe::kBlockBytes, 64);
    }

    // The examples as the two programs have always written them.
    void examplePayloads()
    {
        frontend::PortSettings port;
        port.portName = QStringLiteral("COM3");
        QCOMPARE(frontend::requests::serialSetup(port),
                 QStringLiteral("Com=COM3 Baud=9600 DataBits=8 Parity=0 StopBits=1 FlowControl=0"));
        frontend::BoardConf conf;
        static_cast<protocol::BoardLayout &>(conf) = layout(0, 2048, 64, 62, -1, 255, 1);
        QCOMPARE(frontend::requests::boardConfigs(conf),
                 QStringLiteral("StartFlash=0 StartProgr=2048 SizeFlash=64 SizeProgr=62 "
                                "MaxErase=-1 Padding=255 IdPosition=1"));
        QCOMPARE(frontend::requests::boardUpdate(true), QStringLiteral("EraseAll=1"));
        QCOMPARE(frontend::requests::boardUpdate(false), QStringLiteral("EraseAll=0"));
        QCOMPARE(protocol::boardIdText(4660), QStringLiteral("0x1234"));
        QCOMPARE(protocol::boardIdText(0x0bee), QStringLiteral("0x0bee"));
        QCOMPARE(protocol::boardIdText(0xABCD), QStringLiteral("0xabcd"));
    }

    // The added reports: what one program builds, the other reads back, and
    // the example texts that scripts watching the broker see.
    void reportPayloads()
    {
        protocol::FailureReason r;
        r.step = protocol::FailureReason::Step::Write;
        r.cause = protocol::FailureReason::Cause::NoAnswer;
        r.block = 49;
        r.blocks = 992;
        r.address = 0xc40;
        r.waitedMs = 5000;
        r.tries = 1;
        QCOMPARE(protocol::buildFailureReason(r),
                 QStringLiteral("Step=write Block=49 Blocks=992 Address=0xc40 Cause=noanswer "
                                "WaitedMs=5000 Tries=1"));
        QVERIFY(protocol::parseFailureReason(protocol::buildFailureReason(r)) == r);
        r.step = protocol::FailureReason::Step::Verify;
        r.cause = protocol::FailureReason::Cause::Mismatch;
        r.differBlocks = 7;
        QVERIFY(protocol::parseFailureReason(protocol::buildFailureReason(r)) == r);
        // Lenient: unknown words and keys pass, a payload naming nothing does not.
        const auto odd = protocol::parseFailureReason(QStringLiteral("Cause=meteor Block=3 X=1"));
        QVERIFY(odd && odd->cause == protocol::FailureReason::Cause::Unknown && odd->block == 3);
        QVERIFY(!protocol::parseFailureReason(QStringLiteral("ERROR")));

        const QList<protocol::PortDetails> ports{
            {QStringLiteral("ttyUSB0"), QStringLiteral("FT232R USB UART"), QStringLiteral("FTDI"),
             QStringLiteral("A10K3"),
             QStringLiteral("/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3-if00-port0")},
            {QStringLiteral("ttyS0"), {}, {}, {}, {}}};
        const QString text = protocol::buildPortDetails(ports);
        QCOMPARE(text.count(QLatin1Char('\n')), 1);
        QCOMPARE(protocol::parsePortDetails(text), ports);
        // A tab in a maker's descriptor does not shift the fields after it.
        QList<protocol::PortDetails> tabbed = ports.mid(0, 1);
        tabbed[0].manufacturer = QStringLiteral("FT\tDI");
        QCOMPARE(
            protocol::parsePortDetails(protocol::buildPortDetails(tabbed)).value(0).serialNumber,
            QStringLiteral("A10K3"));
        QVERIFY(protocol::parsePortDetails(QString()).isEmpty());
    }

    void setupRoundTrip_data()
    {
        QTest::addColumn<protocol::SerialSettings>("sent");
        QTest::newRow("example") << settings("COM3", 9600, 8, 0, 1, 0);
        QTest::newRow("every code changed") << settings("COM12", 115200, 7, 3, 2, 2);
        QTest::newRow("pty path") << settings("/dev/pts/4", 9600, 5, 5, 3, 1);
        QTest::newRow("percent in the name") << settings("/dev/tty%2x", 4800, 6, 4, 1, 0);
        QTest::newRow("by-id path")
            << settings("/dev/serial/by-id/usb-FTDI_A1-if00-port0", 9600, 8, 2, 1, 0);
    }

    // Built by the front end, read by the daemon's dispatch.
    void setupRoundTrip()
    {
        QFETCH(protocol::SerialSettings, sent);
        FakeDaemon daemon;
        daemon.request(request::kSetup, frontend::requests::serialSetup(sent));
        QVERIFY(daemon.worker().portSettings() == sent);
        // The daemon's own reader on the same text agrees.
        protocol::SerialSettings parsed;
        protocol::parseSerialSetup(protocol::buildSerialSetup(sent), parsed);
        QVERIFY(parsed == sent);
    }

    void configsRoundTrip_data()
    {
        QTest::addColumn<protocol::BoardLayout>("sent");
        QTest::newRow("example") << layout(0, 2048, 64, 62, -1, 255, 1);
        QTest::newRow("paged") << layout(0, 0x800, 8, 6, 1024, 0x5A, 3);
        QTest::newRow("high flash") << layout(0x08000000, 0x08000800, 512, 500, 2048, 0, 0);
        QTest::newRow("no id position") << layout(0, 0, 0, 0, 0, 0, -1);
    }

    void configsRoundTrip()
    {
        QFETCH(protocol::BoardLayout, sent);
        FakeDaemon daemon;
        frontend::BoardConf conf;
        static_cast<protocol::BoardLayout &>(conf) = sent;
        daemon.request(request::kConfigs, frontend::requests::boardConfigs(conf));
        QVERIFY(daemon.worker().boardConfig() == sent);
        daemon.request(request::kConfigs,
                       frontend::requests::boardConfigs(
                           sent.startFlash, sent.startProgr, sent.sizeFlash, sent.sizeProgr,
                           sent.maxErase, sent.padding, sent.idPosition));
        QVERIFY(daemon.worker().boardConfig() == sent);
    }

    void updateAndRefreshRoundTrip()
    {
        FakeDaemon daemon;
        daemon.request(request::kUpdate, frontend::requests::boardUpdate(false));
        QVERIFY(!daemon.worker().eraseAll());
        daemon.request(request::kUpdate, frontend::requests::boardUpdate(true));
        QVERIFY(daemon.worker().eraseAll());
        QVERIFY(daemon.open());
        // What SystemMgr::requestRefresh() sends.
        daemon.request(request::kRefresh, payload::kStart);
        QVERIFY(daemon.worker().isRefreshActive());
        daemon.request(request::kRefresh, payload::kStop);
        QVERIFY(!daemon.worker().isRefreshActive());
    }

    // Sent by the daemon, read by the front end: a whole connection and
    // update.
    void repliesOfAnUpdate()
    {
        FakeDaemon daemon;
        daemon.request(request::kPing, QString());
        daemon.request(request::kVersion, QString());
        daemon.request(request::kInfo, QString());
        const protocol::BoardLayout l = fakeLayout(1, -1);
        QCOMPARE(daemon.prepare(l, fakeFirmware(0x1234, l).file), payload::kOk);
        daemon.request(request::kUpdate, frontend::requests::boardUpdate(true));
        QCOMPARE(daemon.waitFor(reply::kUpdate), payload::kOk);

        frontend::StatusObject status;
        status.comPorts = {QStringLiteral("stale")};
        deliver(daemon, status);
        QVERIFY(status.pongReceived);
        QCOMPARE(status.serialVersion, QString(payload::kDaemonVersion));
        QCOMPARE(status.comPorts.join(QLatin1Char(' ')),
                 daemon.worker().portNames().join(QLatin1Char(' ')));
        QVERIFY(status.serialOpened);
        QVERIFY(!status.serialError);
        QVERIFY(status.idReceived);
        QCOMPARE(status.m_BoardConf.id, QStringLiteral("0x1234"));
        QCOMPARE(frontend::requests::boardIdValue(status.m_BoardConf.id),
                 qint64(daemon.worker().boardId()));
        QVERIFY(frontend::requests::boardIdInRange(status.m_BoardConf.id));
        QVERIFY(status.flashReplied);
        QVERIFY(status.flashAccepted);
        QVERIFY(status.percReceived);
        QCOMPARE(status.updatePercent, 100);
        QVERIFY(status.updateDone);
        QVERIFY(!status.updateFailed);
        QCOMPARE(status.updateRetries, 0);
        QVERIFY(!status.updateReason);

        // The read-back, asked for after the result.
        daemon.request(request::kVerify, payload::kBlank);
        QCOMPARE(daemon.waitFor(reply::kVerify), payload::kOk);
        frontend::StatusObject verified;
        deliver(daemon, verified);
        QVERIFY(verified.verifyPercReceived);
        QCOMPARE(verified.verifyPercent, 100);
        QVERIFY(verified.verifyReplied);
        QCOMPARE(verified.verifyResult, frontend::StatusObject::VerifyReply::Ok);
    }

    // A board that stops answering, and one that cannot be read back: the
    // reasons reach the front end whole.
    void reasonsOfAnUpdate()
    {
        FakeDaemon daemon([] {
            boardsim::BoardConfig c;
            c.stopAckAfter = 3;
            c.readOneByte = true;
            return c;
        }());
        const protocol::BoardLayout l = fakeLayout(1, -1);
        QCOMPARE(daemon.prepare(l, fakeFirmware(0x1234, l).file), payload::kOk);
        daemon.request(request::kUpdate, frontend::requests::boardUpdate(true));
        QCOMPARE(daemon.waitFor(reply::kUpdate), payload::kError);
        daemon.request(request::kVerify, payload::kBlank);
        QCOMPARE(daemon.waitFor(reply::kVerify), payload::kUnsupported);
        frontend::StatusObject status;
        deliver(daemon, status);
        QVERIFY(status.updateFailed);
        QVERIFY(status.updateReason);
        QCOMPARE(status.updateReason->step, protocol::FailureReason::Step::Write);
        QCOMPARE(status.updateReason->cause, protocol::FailureReason::Cause::NoAnswer);
        QCOMPARE(status.updateReason->block, 4);
        QCOMPARE(status.updateReason->address, 0x8c0u);
        QCOMPARE(status.updateRetries, 0);
        QCOMPARE(status.verifyResult, frontend::StatusObject::VerifyReply::Unsupported);
        QVERIFY(status.verifyReason);
        QCOMPARE(status.verifyReason->cause, protocol::FailureReason::Cause::Unreadable);
    }

    void repliesOfFailures()
    {
        FakeDaemon daemon(boardsim::BoardConfig{}, FakeDaemon::fastTimings());
        daemon.request(request::kSetup, QStringLiteral("Com=/dev/ttyGONE"));
        daemon.request(request::kSerial, payload::kOpen);
        QCOMPARE(daemon.waitFor(reply::kOpen), payload::kError);
        frontend::StatusObject status;
        status.serialOpened = true;
        deliver(daemon, status);
        QVERIFY(!status.serialOpened);
        QVERIFY(status.serialError);
        QCOMPARE(status.errorText, daemon.payloadsOf(reply::kError).first());

        FakeDaemon silent([] {
            boardsim::BoardConfig c;
            c.silent = true;
            return c;
        }());
        QVERIFY(silent.open());
        silent.request(request::kReadId, payload::kBlank);
        QCOMPARE(silent.waitFor(reply::kReadId), payload::kError);
        silent.request(request::kMd5, QStringLiteral("0"));
        silent.requestBytes(request::kFlash, "#1234\n");
        QCOMPARE(silent.waitFor(reply::kFlash), payload::kError);
        frontend::StatusObject failed;
        failed.m_BoardConf.id = QStringLiteral("0x0001");
        failed.flashAccepted = true;
        deliver(silent, failed);
        QVERIFY(failed.idError);
        QCOMPARE(failed.m_BoardConf.id, QStringLiteral("0x0001"));
        QVERIFY(failed.flashReplied);
        QVERIFY(!failed.flashAccepted);
    }
};

QTEST_GUILESS_MAIN(TstWireContract)
#include "tst_wirecontract.moc"
