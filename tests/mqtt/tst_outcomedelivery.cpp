// The daemon's outcome replies through a broker that goes away: the broker
// stops while the paced virtual board is being written, the daemon finishes
// the update and publishes its result, and the result reaches a client of
// the restarted broker once.
#include "protocol/topics.h"
#include "serial/statusobject.h"
#include "tests/support/boardsimprocess.h"
#include "tests/support/rawmqttclient.h"
#include "tests/support/testbroker.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QFile>
#include <QTest>

#include <functional>
#include <memory>

namespace {
constexpr int kStepTimeoutMs = 20000;
constexpr int kUpdateTimeoutMs = 120000;
const QString kUpdate = protocol::reply::kUpdate;
const QString kPercent = protocol::reply::kUpdatePercent;

// Runs the in-process daemon's events until `condition` holds.
bool spinUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

QList<RawMqttClient::Message> messagesOn(const RawMqttClient &client, const QString &topic)
{
    QList<RawMqttClient::Message> out;
    for (const RawMqttClient::Message &m : client.messages())
        if (m.topic == topic)
            out << m;
    return out;
}
} // namespace

class OutcomeDeliveryTest : public QObject
{
    Q_OBJECT

private:
    TestBroker m_broker;
    BoardSimProcess m_board;
    std::unique_ptr<serialdaemon::StatusObject> m_daemon;
    std::unique_ptr<RawMqttClient> m_client;

    // Publishes a request and waits for the reply on `topic`.
    QByteArray ask(const QString &request, const QByteArray &payload, const QString &topic)
    {
        const qsizetype before = messagesOn(*m_client, topic).size();
        m_client->publish(request, payload);
        if (!spinUntil([&] { return messagesOn(*m_client, topic).size() > before; },
                       kStepTimeoutMs))
            return QByteArray("(nothing)");
        return messagesOn(*m_client, topic).at(before).payload;
    }

private slots:
    void init()
    {
        QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString()));
        QVERIFY2(m_board.start({"--id", "0x1234", "--erase-all-from", "0x800", "--pace"}),
                 qPrintable(m_board.errorString()));
        m_daemon = std::make_unique<serialdaemon::StatusObject>(m_broker.port());
        m_client = std::make_unique<RawMqttClient>(m_broker.port(), protocol::reply::kAll,
                                                   "velmo-test-outcome");
        QVERIFY(m_client->waitReady());
        // The daemon subscribes on its own schedule: ask until it answers.
        QVERIFY(spinUntil(
            [&] {
                m_client->publish(protocol::request::kPing, " ");
                QTest::qWait(100);
                return !messagesOn(*m_client, protocol::reply::kPing).isEmpty();
            },
            kStepTimeoutMs));
    }
    void cleanup()
    {
        m_client.reset();
        m_daemon.reset();
        m_board.stop();
        m_broker.stop();
    }

    void updateResultSurvivesBrokerRestart()
    {
        const QByteArray setup = "Com=" + m_board.port().toLocal8Bit() +
                                 " Baud=9600 DataBits=8 Parity=0 StopBits=1 FlowControl=0";
        m_client->publish(protocol::request::kSetup, setup);
        QCOMPARE(ask(protocol::request::kSerial, "OPEN", protocol::reply::kOpen), QByteArray("OK"));
        QCOMPARE(ask(protocol::request::kReadId, " ", protocol::reply::kReadId),
                 QByteArray("0x1234"));
        m_client->publish(protocol::request::kConfigs,
                          "StartFlash=0 StartProgr=2048 SizeFlash=64 SizeProgr=62 MaxErase=-1 "
                          "Padding=255 IdPosition=1");
        QFile hex(qEnvironmentVariable("VELMO_STAGE_DIR") +
                  QStringLiteral("/firmware/vb1234-sample.hex"));
        QVERIFY2(hex.open(QIODevice::ReadOnly), qPrintable(hex.fileName()));
        const QByteArray image = hex.readAll();
        m_client->publish(protocol::request::kFlash, image);
        QCOMPARE(ask(protocol::request::kMd5,
                     QCryptographicHash::hash(image, QCryptographicHash::Md5).toHex(),
                     protocol::reply::kFlash),
                 QByteArray("OK"));

        // The broker goes away at the first progress value, while the board
        // is still being written.
        m_client->publish(protocol::request::kUpdate, "EraseAll=1");
        QVERIFY(spinUntil([&] { return !messagesOn(*m_client, kPercent).isEmpty(); },
                          kUpdateTimeoutMs));
        m_client.reset();
        const int port = m_broker.port();
        m_broker.stop();
        QVERIFY(m_daemon->isUpdating());
        QVERIFY(spinUntil([&] { return !m_daemon->isUpdating(); }, kUpdateTimeoutMs));
        QTest::qWait(300);

        // Back again. The daemon only reconnects when its events run, so the
        // new client is subscribed before the daemon can send anything.
        QVERIFY2(m_broker.start(port), qPrintable(m_broker.errorString()));
        m_client =
            std::make_unique<RawMqttClient>(port, protocol::reply::kAll, "velmo-test-outcome-2");
        QVERIFY(m_client->waitReady());
        QVERIFY(
            spinUntil([&] { return !messagesOn(*m_client, kUpdate).isEmpty(); }, kStepTimeoutMs));
        QTest::qWait(1000);

        const QList<RawMqttClient::Message> results = messagesOn(*m_client, kUpdate);
        QCOMPARE(results.size(), 1);
        QCOMPARE(results.constFirst().payload, QByteArray("OK"));
        // Progress comes as its latest value only, before the result.
        const QList<RawMqttClient::Message> progress = messagesOn(*m_client, kPercent);
        QVERIFY(progress.size() <= 1);
        if (!progress.isEmpty()) {
            const int percent = progress.constFirst().payload.toInt();
            QVERIFY2(percent > 0 && percent <= 100, progress.constFirst().payload.constData());
            QVERIFY(progress.constFirst().arrivalNs <= results.constFirst().arrivalNs);
        }
        // The daemon is connected again and answers as before.
        QCOMPARE(ask(protocol::request::kPing, " ", protocol::reply::kPing), QByteArray("PONG"));
    }
};

QTEST_MAIN(OutcomeDeliveryTest)
#include "tst_outcomedelivery.moc"
