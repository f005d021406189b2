#include "mqtt/mqttmgr.h"
#include "mqtt/mqttthread.h"
#include "tests/support/mqttprobe.h"
#include "tests/support/testbroker.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <memory>

namespace {
constexpr int kDestroyLimitMs = 5000;

// A receiver that is woken only when the test says so, so the test controls
// where the network thread waits.
class ManualReceiver : public IMqttMessageHandler
{
public:
    explicit ManualReceiver(int port, const QString &subscription = QStringLiteral("T/#"))
    {
        MqttSession session;
        session.subscription = subscription;
        mgr = std::make_unique<MqttMgr>(nullptr, "velmo-test-manual", QStringLiteral("127.0.0.1"),
                                        MqttMgr::kUserName, MqttMgr::kPassword, port,
                                        MqttMgr::kKeepAliveSeconds, session);
        mgr->setMessageHandler(this);
    }
    void handleMessage(const QString &topic, const QString &payload) override
    {
        received.append({topic, payload});
    }
    MQTTThread::Park parkAfterWake()
    {
        mgr->wake();
        QTest::qWait(20);
        return mgr->thread()->park();
    }
    std::unique_ptr<MqttMgr> mgr;
    QList<QPair<QString, QString>> received;
};

qint64 destroyTimed(std::unique_ptr<MqttMgr> &mgr)
{
    QElapsedTimer t;
    t.start();
    mgr.reset();
    return t.elapsed();
}
} // namespace

class MqttTransportTest : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString())); }
    void cleanup() { m_broker.stop(); }

    void latin1PayloadRoundTripsThroughBroker()
    {
        MqttProbe a(m_broker.port(), QStringLiteral("A/#"), "velmo-test-a");
        MqttProbe b(m_broker.port(), QStringLiteral("B/#"), "velmo-test-b");
        QVERIFY(a.waitConnected(QStringLiteral("A/self")));
        QVERIFY(b.waitConnected(QStringLiteral("B/self")));

        QString all;
        for (int c = 0; c < 256; ++c)
            all.append(QChar(c));
        QVERIFY(b.publish(QStringLiteral("A/bytes"), all));
        QCOMPARE(a.waitFor(QStringLiteral("A/bytes")), all);

        // Above U+00FF there is no byte: it goes out as 0x00.
        QVERIFY(b.publish(QStringLiteral("A/wide"), QStringLiteral("x\u20ACy")));
        QCOMPARE(a.waitFor(QStringLiteral("A/wide")), QString::fromLatin1("x\0y", 3));

        QVERIFY(b.publish(QStringLiteral("A/empty"), QString()));
        const QString empty = a.waitFor(QStringLiteral("A/empty"));
        QVERIFY(!empty.isNull());
        QVERIFY(empty.isEmpty());
    }

    void burstIsDeliveredOnceInOrder()
    {
        MqttProbe rx(m_broker.port(), QStringLiteral("R/#"), "velmo-test-rx");
        MqttProbe tx(m_broker.port(), QStringLiteral("none/#"), "velmo-test-tx");
        QVERIFY(rx.waitConnected(QStringLiteral("R/self")));
        rx.clear();
        constexpr int kBurst = 300;
        for (int i = 0; i < kBurst; ++i)
            QVERIFY(tx.publish(QStringLiteral("R/burst"), QString::number(i)));
        QTRY_COMPARE_WITH_TIMEOUT(rx.payloadsOf(QStringLiteral("R/burst")).size(), kBurst, 30000);
        QTest::qWait(300);
        const QStringList got = rx.payloadsOf(QStringLiteral("R/burst"));
        QCOMPARE(got.size(), kBurst);
        for (int i = 0; i < kBurst; ++i)
            QCOMPARE(got.at(i), QString::number(i));
    }

    void largePayloadArrivesWhole()
    {
        MqttProbe rx(m_broker.port(), QStringLiteral("L/#"), "velmo-test-lrx");
        MqttProbe tx(m_broker.port(), QStringLiteral("none/#"), "velmo-test-ltx");
        QVERIFY(rx.waitConnected(QStringLiteral("L/self")));
        QString big;
        big.reserve(1 << 20);
        for (int i = 0; i < (1 << 20); ++i)
            big.append(QChar((i * 7) & 0xFF));
        QVERIFY(tx.publish(QStringLiteral("L/big"), big));
        QCOMPARE(rx.waitFor(QStringLiteral("L/big"), 30000), big);
    }

    void reconnectsAfterBrokerRestart()
    {
        MqttProbe rx(m_broker.port(), QStringLiteral("C/#"), "velmo-test-crx");
        QVERIFY(rx.waitConnected(QStringLiteral("C/self")));
        m_broker.stop();
        QTest::qWait(500);
        QVERIFY2(m_broker.restart(), qPrintable(m_broker.errorString()));
        rx.clear();
        // The subscription is made again by the new connection.
        QVERIFY(rx.waitConnected(QStringLiteral("C/self"), 15000));
    }

    void connectsWhenBrokerComesUpLater()
    {
        const int port = m_broker.port();
        m_broker.stop();
        MqttProbe rx(port, QStringLiteral("D/#"), "velmo-test-drx");
        QTest::qWait(400);
        QVERIFY(!rx.waitConnected(QStringLiteral("D/self"), 300));
        QVERIFY2(m_broker.start(port), qPrintable(m_broker.errorString()));
        QVERIFY(rx.waitConnected(QStringLiteral("D/self"), 15000));
    }

    void announceTopicsArePublishedOnConnect()
    {
        MqttProbe watcher(m_broker.port(), QStringLiteral("REQ/#"), "velmo-test-watch");
        QVERIFY(watcher.waitConnected(QStringLiteral("REQ/self")));
        MqttProbe announcer(m_broker.port(), QStringLiteral("ANS/#"), "velmo-test-ann",
                            {QStringLiteral("REQ/one"), QStringLiteral("REQ/two")});
        QCOMPARE(watcher.waitFor(QStringLiteral("REQ/one")), QString(""));
        QCOMPARE(watcher.waitFor(QStringLiteral("REQ/two")), QString(""));
    }

    void brokerChangeMovesConnection()
    {
        TestBroker second;
        QVERIFY2(second.start(), qPrintable(second.errorString()));
        MqttProbe rx(m_broker.port(), QStringLiteral("M/#"), "velmo-test-mrx");
        QVERIFY(rx.waitConnected(QStringLiteral("M/self")));
        QVERIFY(rx.manager()->setBroker(QStringLiteral("127.0.0.1"), second.port()));
        MqttProbe tx(second.port(), QStringLiteral("none/#"), "velmo-test-mtx");
        QTRY_VERIFY_WITH_TIMEOUT(
            (tx.publish(QStringLiteral("M/moved"), QStringLiteral("yes")),
             rx.payloadsOf(QStringLiteral("M/moved")).contains(QStringLiteral("yes"))),
            15000);
    }

    void tooLongHostIsRefused()
    {
        MqttProbe rx(m_broker.port(), QStringLiteral("H/#"), "velmo-test-hrx");
        QVERIFY(rx.waitConnected(QStringLiteral("H/self")));
        QVERIFY(!rx.manager()->setBroker(QString(MQTTThread::kHostBufferBytes, QChar('h')), 1));
        QVERIFY(MQTTThread::hostFits(QString(MQTTThread::kHostBufferBytes - 1, QChar('h'))));
        // The old connection is kept.
        rx.clear();
        QVERIFY(rx.waitConnected(QStringLiteral("H/self"), 5000));
    }

    void destroyWhileParkedBetweenPasses()
    {
        ManualReceiver rx(m_broker.port());
        QTRY_COMPARE_WITH_TIMEOUT(rx.parkAfterWake(), MQTTThread::Park::BetweenPasses, 10000);
        QVERIFY(destroyTimed(rx.mgr) < kDestroyLimitMs);
    }

    void destroyWhileParkedInDeliver()
    {
        ManualReceiver rx(m_broker.port());
        MqttProbe tx(m_broker.port(), QStringLiteral("none/#"), "velmo-test-ptx");
        QVERIFY(tx.waitConnected(QStringLiteral("none/self")));
        // Keep sending until the receiver's pass picks one up and parks.
        QTRY_VERIFY_WITH_TIMEOUT((tx.publish(QStringLiteral("T/x"), QStringLiteral("1")),
                                  rx.parkAfterWake() == MQTTThread::Park::InDeliver),
                                 10000);
        QVERIFY(destroyTimed(rx.mgr) < kDestroyLimitMs);
    }

    void destroyWhileBrokerIsDown()
    {
        m_broker.stop();
        ManualReceiver rx(m_broker.port());
        rx.mgr->wake();
        QTest::qWait(50);
        QVERIFY(destroyTimed(rx.mgr) < kDestroyLimitMs);
    }

    void publishWhileParkedInDeliverDoesNotDeadlock()
    {
        ManualReceiver rx(m_broker.port());
        MqttProbe tx(m_broker.port(), QStringLiteral("Q/#"), "velmo-test-qtx");
        QVERIFY(tx.waitConnected(QStringLiteral("Q/self")));
        QTRY_VERIFY_WITH_TIMEOUT((tx.publish(QStringLiteral("T/y"), QStringLiteral("1")),
                                  rx.parkAfterWake() == MQTTThread::Park::InDeliver),
                                 10000);
        // The main thread may publish while the network thread is parked.
        QVERIFY(rx.mgr->publish(QStringLiteral("Q/from-parked"), QStringLiteral("ok")));
        for (int i = 0; i < 50 && tx.payloadsOf(QStringLiteral("Q/from-parked")).isEmpty(); ++i)
            rx.parkAfterWake();
        QCOMPARE(tx.waitFor(QStringLiteral("Q/from-parked")), QStringLiteral("ok"));
    }

private:
    TestBroker m_broker;
};

QTEST_MAIN(MqttTransportTest)
#include "tst_mqtttransport.moc"
