#include "protocol/topics.h"
#include "tests/support/mqttprobe.h"
#include "tests/support/testbroker.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <unistd.h>

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

// "VmRSS:  12345 kB" of a process, in bytes; -1 when unreadable.
qint64 residentBytes(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return -1;
}

// Debian's /etc/hosts names ::1 localhost too, and the resolver gives ::1
// first; the test machines' hosts files do not.
const char kDebianHosts[] = "127.0.0.1\tlocalhost\n"
                            "127.0.1.1\tvelmo-test\n"
                            "::1\tlocalhost ip6-localhost ip6-loopback\n"
                            "ff02::1\tip6-allnodes\n"
                            "ff02::2\tip6-allrouters\n";
} // namespace

// The real velmo-serial on the fixed broker port: single instance, restart
// after SIGKILL, and a broker that goes away and comes back.
class TstDaemonBinary : public QObject
{
    Q_OBJECT

private:
    TestBroker broker;

    void startDaemon(QProcess &process, const QString &tmpDir = QString(),
                     const QString &home = QString())
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (!tmpDir.isEmpty())
            env.insert(QStringLiteral("TMPDIR"), tmpDir);
        if (!home.isEmpty())
            env.insert(QStringLiteral("HOME"), home);
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.setWorkingDirectory(QFileInfo(daemonPath()).path());
        process.start(daemonPath(), {});
        QVERIFY2(process.waitForStarted(), qPrintable(process.errorString()));
    }

    // Starts the daemon and waits until it answers; says why not.
    void startAnswering(QProcess &daemon, MqttProbe &probe, const QString &home = QString())
    {
        startDaemon(daemon, QString(), home);
        QVERIFY(probe.waitConnected(QStringLiteral("SERIAL/PROBE")));
        if (!answersPing(probe, 15000))
            QFAIL(qPrintable(
                QStringLiteral("the daemon does not answer (%1): %2")
                    .arg(daemon.state() == QProcess::Running
                             ? QStringLiteral("running")
                             : QStringLiteral("ended with %1").arg(daemon.exitCode()))
                    .arg(QString::fromLocal8Bit(daemon.readAllStandardError().right(2000)))));
    }

    static void stop(QProcess &process)
    {
        process.kill();
        process.waitForFinished();
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
        {
            MqttProbe probe(broker.port(), QString(protocol::reply::kAll));
            startAnswering(daemon, probe);
        }
        broker.stop();
        QTest::qWait(1500);
        QVERIFY2(daemon.state() == QProcess::Running,
                 daemon.readAllStandardError().right(3000).constData());
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

    // "localhost" resolves to ::1 first on a standard Debian, while this
    // broker listens on 127.0.0.1 only: the daemon must try every address.
    void reachesLoopbackBrokerWhenLocalhostIsIpv6First()
    {
        QTemporaryDir dir;
        const QString hosts = dir.filePath(QStringLiteral("hosts"));
        QFile file(hosts);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(kDebianHosts);
        file.close();
        // A mount namespace of the daemon's own, with that file as /etc/hosts.
        const QStringList unshare =
            ::geteuid() == 0 ? QStringList{QStringLiteral("-m")} : QStringList{"-r", "-m"};
        if (QProcess::execute(QStringLiteral("unshare"), unshare + QStringList{"true"}) != 0)
            QSKIP("no mount namespace for this user");
        QProcess daemon;
        daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        daemon.setWorkingDirectory(QFileInfo(daemonPath()).path());
        daemon.start(QStringLiteral("unshare"),
                     unshare + QStringList{"sh", "-c",
                                           "mount --bind \"$0\" /etc/hosts && getent ahosts "
                                           "localhost | head -n1 >&2 && exec \"$1\"",
                                           hosts, daemonPath()});
        QVERIFY(daemon.waitForStarted());
        MqttProbe probe(broker.port(), QString(protocol::reply::kAll));
        QVERIFY(probe.waitConnected(QStringLiteral("SERIAL/PROBE")));
        QVERIFY2(answersPing(probe, 15000), "the daemon did not reach 127.0.0.1 behind ::1");
        QCOMPARE(daemon.state(), QProcess::Running);
        stop(daemon);
    }

    // One daemon per broker: a daemon of another user (another home, so
    // another single-instance key) finds the first answering and ends.
    void secondUsersDaemonStepsAside()
    {
        QProcess first;
        MqttProbe probe(broker.port(), QString(protocol::reply::kAll));
        startAnswering(first, probe);

        QTemporaryDir otherHome;
        QProcess second;
        startDaemon(second, QString(), otherHome.path());
        QVERIFY(second.waitForFinished(15000));
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(second.readAllStandardError().contains("Another serial daemon already answers"));
        probe.clear();
        QVERIFY(answersPing(probe, 5000));
        QCOMPARE(first.state(), QProcess::Running);
        stop(first);
    }

    // A client that keeps taking the daemon's client id (an older daemon
    // without the probe, say) is not fought forever.
    void daemonTakenOverRepeatedlyStops()
    {
        QProcess daemon;
        MqttProbe watcher(broker.port(), QString(protocol::reply::kAll));
        startAnswering(daemon, watcher);
        // Reconnects at once whenever the broker closes it, as the daemon does.
        MqttProbe rival(broker.port(), QStringLiteral("RIVAL/#"),
                        QByteArray(protocol::kDaemonClientId.data()));
        QTRY_VERIFY_WITH_TIMEOUT(daemon.state() == QProcess::NotRunning, 30000);
        QCOMPARE(daemon.exitCode(), 1);
        QVERIFY(
            daemon.readAllStandardError().contains("another client connects with the client id"));
    }

    // Port listings are shared by the requests that wait for them: 10,000
    // of them no longer hold a PING for a minute.
    void floodOfPortRequestsDoesNotHoldPing()
    {
        constexpr int kRequests = 10000;
        QProcess daemon;
        MqttProbe probe(broker.port(), QString(protocol::reply::kAll));
        startAnswering(daemon, probe);
        probe.clear();
        QElapsedTimer clock;
        clock.start();
        for (int i = 0; i < kRequests; ++i)
            probe.publish(QString(protocol::request::kInfo), QString());
        probe.publish(QString(protocol::request::kPing), QString());
        QCOMPARE(probe.waitFor(QString(protocol::reply::kPing), 30000), QStringLiteral("PONG"));
        qInfo("PONG %lld ms after %d port list requests", clock.elapsed(), kRequests);
        QVERIFY(probe.payloadsOf(QString(protocol::reply::kInfo)).size() < kRequests / 10);
        stop(daemon);
    }

    // Large uploads, one of them above the cap, leave the daemon near its
    // idle size.
    void memoryReturnsAfterUploads()
    {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("AddressSanitizer keeps freed memory in quarantine");
#endif
        constexpr qint64 kMiB = 1024 * 1024;
        QProcess daemon;
        MqttProbe probe(broker.port(), QString(protocol::reply::kAll));
        startAnswering(daemon, probe);
        QTest::qWait(500);
        const qint64 idle = residentBytes(daemon.processId());
        QVERIFY(idle > 0);
        for (const qint64 size : {40 * kMiB, 70 * kMiB}) {
            QByteArray upload(size, 'A');
            probe.manager()->publish(QString(protocol::request::kFlash), upload);
            const QString digest = QString::fromLatin1(
                QCryptographicHash::hash(upload, QCryptographicHash::Md5).toHex());
            upload = QByteArray();
            probe.publish(QString(protocol::request::kMd5), digest);
            // Not HEX at all, or too large to be any board's: refused.
            QCOMPARE(probe.waitFor(QString(protocol::reply::kFlash), 60000),
                     QStringLiteral("ERROR"));
        }
        QVERIFY(answersPing(probe, 5000));
        const qint64 after = residentBytes(daemon.processId());
        qInfo("daemon resident: idle %.1f MiB, after uploads %.1f MiB", double(idle) / kMiB,
              double(after) / kMiB);
        QVERIFY2(after - idle < 20 * kMiB, "the daemon kept the uploads' memory");
        stop(daemon);
    }
};

QTEST_GUILESS_MAIN(TstDaemonBinary)
#include "tst_daemonbinary.moc"
