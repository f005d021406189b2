#include "protocol/topics.h"
#include "tests/support/mqttprobe.h"
#include "tests/support/testbroker.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

namespace {
QString daemonPath()
{
    return QDir(QString::fromLocal8Bit(qgetenv("VELMO_STAGE_DIR")))
        .filePath(QStringLiteral("bin/velmo-serial"));
}

// Asks until the daemon answers, or the time is up.
bool answersPing(MqttProbe &probe, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        probe.publish(QString(protocol::request::kPing), QStringLiteral(" "));
        if (probe.waitFor(QString(protocol::reply::kPing), 300) == QLatin1String("PONG"))
            return true;
    }
    return false;
}
} // namespace

// The real velmo-serial on the fixed broker port: single instance, restart
// after SIGKILL, and a broker that goes away and comes back.
class TstDaemonBinary : public QObject
{
    Q_OBJECT

private:
    TestBroker broker;

    void startDaemon(QProcess &process, const QString &tmpDir = QString())
    {
        if (!tmpDir.isEmpty()) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("TMPDIR"), tmpDir);
            process.setProcessEnvironment(env);
        }
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.setWorkingDirectory(QFileInfo(daemonPath()).path());
        process.start(daemonPath(), {});
        QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo::exists(daemonPath()), qPrintable(daemonPath()));
        QVERIFY2(broker.start(TestBroker::kFixedPort), qPrintable(broker.errorString()));
    }

    void secondInstanceExitsAndKilledDaemonRestarts()
    {
        MqttProbe probe(broker.port(), QString(protocol::reply::kAll));
        QVERIFY(probe.waitConnected(QStringLiteral("SERIAL/PROBE")));

        QProcess first;
        startDaemon(first);
        QVERIFY(answersPing(probe, 15000));

        // Also with a temporary folder of its own: both would fight over
        // the broker's client id.
        QTemporaryDir otherTmp;
        QVERIFY(otherTmp.isValid());
        QProcess second;
        startDaemon(second, otherTmp.path());
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(second.readAllStandardError().contains("The application is already started."));
        // The first one keeps serving.
        QCOMPARE(first.state(), QProcess::Running);
        probe.clear();
        QVERIFY(answersPing(probe, 5000));

        ::kill(pid_t(first.processId()), SIGKILL);
        QVERIFY(first.waitForFinished(5000));

        QProcess third;
        startDaemon(third);
        probe.clear();
        QVERIFY2(answersPing(probe, 15000), "daemon did not start again after SIGKILL");
        QCOMPARE(third.state(), QProcess::Running);
        third.kill();
        third.waitForFinished();
    }

    void survivesBrokerRestart()
    {
        QProcess daemon;
        startDaemon(daemon);
        {
            MqttProbe probe(broker.port(), QString(protocol::reply::kAll));
            QVERIFY(probe.waitConnected(QStringLiteral("SERIAL/PROBE")));
            QVERIFY(answersPing(probe, 15000));
        }
        broker.stop();
        QTest::qWait(1500);
        QCOMPARE(daemon.state(), QProcess::Running);
        QVERIFY2(broker.start(TestBroker::kFixedPort), qPrintable(broker.errorString()));

        MqttProbe probe(broker.port(), QString(protocol::reply::kAll));
        QVERIFY(probe.waitConnected(QStringLiteral("SERIAL/PROBE")));
        QVERIFY2(answersPing(probe, 15000), "daemon did not come back to the broker");
        probe.publish(QString(protocol::request::kVersion), QString());
        QCOMPARE(probe.waitFor(QString(protocol::reply::kVersion)),
                 QStringLiteral("0.27.20181009"));
        daemon.kill();
        daemon.waitForFinished();
    }
};

QTEST_GUILESS_MAIN(TstDaemonBinary)
#include "tst_daemonbinary.moc"
