// SystemMgr over a real mosquitto: what goes on the wire for each request,
// the image upload and its refusals, and replies reaching statusReady().
#include "frontend/core/frontendstatus.h"
#include "frontend/core/systemmgr.h"
#include "protocol/topics.h"
#include "tests/frontend/fakedialogs.h"
#include "tests/support/mqttprobe.h"
#include "tests/support/testbroker.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace frontend;

class TstSystemMgr : public QObject
{
    Q_OBJECT

private:
    // A daemon stand-in: sees every request of the front end.
    std::unique_ptr<MqttProbe> connectedDaemonProbe(int port)
    {
        auto probe = std::make_unique<MqttProbe>(port, QString(protocol::request::kAll),
                                                 "velmo-test-daemon");
        if (!probe->waitConnected(QStringLiteral("REQUEST/probe")))
            return nullptr;
        return probe;
    }
    QString makeFile(const QString &name, const QByteArray &content, qint64 sparseSize = -1)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly))
            return QString();
        file.write(content);
        if (sparseSize >= 0 && !file.resize(sparseSize))
            return QString();
        return file.fileName();
    }
    // Nothing more arrives within a short while.
    static void settle(int ms = 600) { QTest::qWait(ms); }

    TestBroker m_broker;
    QTemporaryDir m_dir;

private slots:
    void init() { QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString())); }
    void cleanup() { m_broker.stop(); }

    void announcesAndSendsRequests()
    {
        auto daemon = connectedDaemonProbe(m_broker.port());
        QVERIFY(daemon);
        SystemMgr mgr(nullptr, m_broker.port());
        QCOMPARE(mgr.currentHost(), QStringLiteral("127.0.0.1"));
        // Every connection asks for the ports, the version and a pong.
        QCOMPARE(daemon->waitFor(QString(protocol::request::kPing)), QString(""));
        QCOMPARE(daemon->payloadsOf(QString(protocol::request::kInfo)), QStringList{""});
        QCOMPARE(daemon->payloadsOf(QString(protocol::request::kVersion)), QStringList{""});

        PortSettings port;
        port.portName = "/dev/pts/3";
        QVERIFY(mgr.sendSerialSetup(port));
        QVERIFY(mgr.sendBoardConfigs(0, 0x800, 64, 62, -1, 0xFF, 1));
        QVERIFY(mgr.requestRefresh());
        QVERIFY(mgr.requestBoardUpdate(true));
        QCOMPARE(daemon->waitFor(QString(protocol::request::kSetup)),
                 QStringLiteral("Com=/dev/pts/3 Baud=9600 DataBits=8 Parity=0 StopBits=1 "
                                "FlowControl=0"));
        QCOMPARE(daemon->waitFor(QString(protocol::request::kConfigs)),
                 QStringLiteral("StartFlash=0 StartProgr=2048 SizeFlash=64 SizeProgr=62 "
                                "MaxErase=-1 Padding=255 IdPosition=1"));
        QCOMPARE(daemon->waitFor(QString(protocol::request::kRefresh)), QStringLiteral("START"));
        QCOMPARE(daemon->waitFor(QString(protocol::request::kUpdate)),
                 QStringLiteral("EraseAll=1"));
    }

    void sendsImageThenDigest()
    {
        FakeDialogs dialogs;
        auto daemon = connectedDaemonProbe(m_broker.port());
        QVERIFY(daemon);
        SystemMgr mgr(nullptr, m_broker.port());
        QVERIFY(!daemon->waitFor(QString(protocol::request::kPing)).isNull());

        QCOMPARE(mgr.sendImageFile(makeFile("abc.hex", "abc")), SystemMgr::SendResult::Sent);
        QCOMPARE(daemon->waitFor(QString(protocol::request::kFlash)), QStringLiteral("abc"));
        QCOMPARE(daemon->waitFor(QString(protocol::request::kMd5)),
                 QStringLiteral("900150983cd24fb0d6963f7d28e17f72"));
        // The digest follows its file.
        QStringList order;
        for (const MqttProbe::Message &m : daemon->messages())
            if (m.first == QString(protocol::request::kFlash) ||
                m.first == QString(protocol::request::kMd5))
                order << m.first;
        QCOMPARE(order, (QStringList{QString(protocol::request::kFlash),
                                     QString(protocol::request::kMd5)}));
        QVERIFY(dialogs.boxes.isEmpty());

        // Every byte value travels unchanged.
        QByteArray all;
        for (int i = 0; i < 256; ++i)
            all.append(char(i));
        QCOMPARE(mgr.sendImageFile(makeFile("all.hex", all)), SystemMgr::SendResult::Sent);
        QCOMPARE(daemon->waitFor(QString(protocol::request::kFlash)), QString::fromLatin1(all));
    }

    void checkFailuresSendNothing()
    {
        FakeDialogs dialogs;
        auto daemon = connectedDaemonProbe(m_broker.port());
        QVERIFY(daemon);
        SystemMgr mgr(nullptr, m_broker.port());
        QVERIFY(!daemon->waitFor(QString(protocol::request::kPing)).isNull());

        QCOMPARE(mgr.sendImageFile(makeFile("empty.hex", QByteArray())),
                 SystemMgr::SendResult::NotLoaded);
        QCOMPARE(mgr.sendImageFile(m_dir.filePath("missing.hex")),
                 SystemMgr::SendResult::NotLoaded);
        QCOMPARE(dialogs.texts(),
                 (QStringList{"Error: File is empty.\n", "Error: Unable to open file."}));
        settle();
        QVERIFY(daemon->payloadsOf(QString(protocol::request::kFlash)).isEmpty());
        QVERIFY(daemon->payloadsOf(QString(protocol::request::kMd5)).isEmpty());
    }

    // A file at the size limit passes the file checks but cannot travel as
    // one MQTT message: an error box, not a silent wait.
    void fileTooLargeForOneMessageIsReported()
    {
        FakeDialogs dialogs;
        auto daemon = connectedDaemonProbe(m_broker.port());
        QVERIFY(daemon);
        SystemMgr mgr(nullptr, m_broker.port());
        QVERIFY(!daemon->waitFor(QString(protocol::request::kPing)).isNull());

        const QString path = makeFile("huge.hex", "#1234\n", 268435455);
        QCOMPARE(mgr.sendImageFile(path), SystemMgr::SendResult::Refused);
        QFile::remove(path);
        QCOMPARE(dialogs.texts(),
                 QStringList{"Error: The file could not be sent to the serial daemon.\n"});
        QCOMPARE(dialogs.boxes.at(0).title, QStringLiteral("Error"));
        settle();
        QVERIFY(daemon->payloadsOf(QString(protocol::request::kFlash)).isEmpty());
        QVERIFY(daemon->payloadsOf(QString(protocol::request::kMd5)).isEmpty());
    }

    void refusedPublishIsReported()
    {
        FakeDialogs dialogs;
        // No broker on this port: the library refuses the publish.
        SystemMgr mgr(nullptr, TestBroker::freePort());
        QCOMPARE(mgr.sendImageFile(makeFile("abc.hex", "abc")), SystemMgr::SendResult::Refused);
        QCOMPARE(dialogs.texts(),
                 QStringList{"Error: The file could not be sent to the serial daemon.\n"});
    }

    void repliesReachStatusReady()
    {
        SystemMgr mgr(nullptr, m_broker.port());
        MqttProbe daemon(m_broker.port(), QString(protocol::request::kAll), "velmo-test-daemon");
        // Subscribed once a version sent now comes through.
        QTRY_VERIFY_WITH_TIMEOUT(
            mgr.serialVersion() == QStringLiteral("hello") ||
                (daemon.publish(QString(protocol::reply::kVersion), "hello"), false),
            10000);
        QSignalSpy ready(&mgr, &SystemMgr::statusReady);
        // Let the surplus hellos drain (one reply per 100 ms poll).
        int seen = -1;
        while (seen != ready.count()) {
            seen = ready.count();
            QTest::qWait(500);
        }
        ready.clear();

        // Unknown topics change nothing but are relayed all the same.
        QVERIFY(daemon.publish("SERIAL/UNKNOWN", "x"));
        QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 1, 5000);
        QVERIFY(daemon.publish(QString(protocol::reply::kReadId), "0x1234"));
        QTRY_COMPARE_WITH_TIMEOUT(ready.count(), 2, 5000);
        QVERIFY(mgr.statusObject()->idReceived);
        QCOMPARE(mgr.statusObject()->m_BoardConf.id, QStringLiteral("0x1234"));
        QVERIFY(daemon.publish(QString(protocol::reply::kVersion), "0.27.20181009"));
        QTRY_COMPARE_WITH_TIMEOUT(mgr.serialVersion(), QStringLiteral("0.27.20181009"), 5000);
        QVERIFY(daemon.publish(QString(protocol::reply::kError), "Error: no such port"));
        QTRY_COMPARE_WITH_TIMEOUT(mgr.errorText(), QStringLiteral("Error: no such port"), 5000);
        QCOMPARE(ready.count(), 4);
    }

    void startConnectionMovesToTrimmedHost()
    {
        TestBroker second;
        QVERIFY2(second.start(), qPrintable(second.errorString()));
        auto daemon = connectedDaemonProbe(second.port());
        QVERIFY(daemon);
        SystemMgr mgr(nullptr, m_broker.port());
        mgr.startConnection(QStringLiteral("  127.0.0.1 \t"), second.port());
        QCOMPARE(mgr.currentHost(), QStringLiteral("127.0.0.1"));
        QVERIFY(!daemon->waitFor(QString(protocol::request::kPing), 10000).isNull());
    }
};

QTEST_MAIN(TstSystemMgr)
#include "tst_systemmgr.moc"
