// VelmoFrontEnd as a program: single instance, starting the daemon when its
// key is free, and the preferences file of the first start. Each front end
// runs in a scratch working directory whose "./velmo-serial" is a script
// that only records that it was started.
#include "common/datafolder.h"
#include "common/instanceguard.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kStartTimeoutMs = 15000;

QString frontEndProgram()
{
    return qEnvironmentVariable("VELMO_STAGE_DIR") + QStringLiteral("/bin/VelmoFrontEnd");
}

bool waitForFile(const QString &path, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!QFile::exists(path) && !deadline.hasExpired())
        QTest::qWait(50);
    return QFile::exists(path);
}

} // namespace

class TstStartup : public QObject
{
    Q_OBJECT

private:
    void startFrontEnd(QProcess &process)
    {
        process.setProgram(frontEndProgram());
        process.setWorkingDirectory(m_workDir.path());
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start();
    }
    static void stopFrontEnd(QProcess &process)
    {
        if (process.state() == QProcess::NotRunning)
            return;
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    QString marker() const { return m_workDir.filePath(QStringLiteral("daemon-started")); }
    static constexpr QFile::Permissions kOthersAndGroup = QFile::ReadGroup | QFile::WriteGroup |
                                                          QFile::ExeGroup | QFile::ReadOther |
                                                          QFile::WriteOther | QFile::ExeOther;

    QString prefsPath() const { return velmo::dataFolderPath() + "/VelmoFrontEnd.ini"; }

    QTemporaryDir m_workDir;

private slots:
    void initTestCase()
    {
        QVERIFY(m_workDir.isValid());
        QFile script(m_workDir.filePath(QStringLiteral("velmo-serial")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\necho started >> \"$PWD/daemon-started\"\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
    }
    void init() { QFile::remove(marker()); }

    void firstStartStartsDaemonAndWritesPreferences()
    {
        QFile::remove(prefsPath());
        QProcess first;
        startFrontEnd(first);
        QVERIFY(first.waitForStarted(kStartTimeoutMs));
        QVERIFY2(waitForFile(marker(), kStartTimeoutMs), "the daemon was not started");
        QVERIFY(waitForFile(prefsPath(), kStartTimeoutMs));
        QTest::qWait(300); // the file is written in two steps
        QSettings prefs(prefsPath(), QSettings::IniFormat);
        QCOMPARE(prefs.value("serial/com", "unset").toString(), QString());
        QCOMPARE(prefs.value("serial/ssid").toInt(), 9600);
        QCOMPARE(prefs.value("serial/databits").toInt(), 8);
        QCOMPARE(prefs.value("serial/parity").toInt(), 0);
        QCOMPARE(prefs.value("serial/stopbits").toInt(), 1);
        QCOMPARE(prefs.value("serial/flowcontol").toInt(), 0);
        QCOMPARE(prefs.value("mqtt/host").toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(prefs.value("mqtt/port").toInt(), 1883);
        // Preferences and the data folder are the user's alone.
        QCOMPARE(QFileInfo(prefsPath()).permissions() & kOthersAndGroup, QFile::Permissions());
        QCOMPARE(QFileInfo(velmo::dataFolderPath()).permissions() & kOthersAndGroup,
                 QFile::Permissions());

        // A second front end ends at once, quietly, and the first runs on.
        QProcess second;
        QElapsedTimer clock;
        clock.start();
        startFrontEnd(second);
        QVERIFY(second.waitForFinished(kStartTimeoutMs));
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QVERIFY(clock.elapsed() < 10000);
        QVERIFY(!second.readAll().contains("Serial deamon not started"));
        QCOMPARE(first.state(), QProcess::Running);
        QFile started(marker());
        QVERIFY(started.open(QIODevice::ReadOnly));
        QCOMPARE(started.readAll(), QByteArray("started\n")); // once
        stopFrontEnd(first);
    }

    void runningDaemonIsNotStartedAgain()
    {
        InstanceGuard daemonKey(QStringLiteral("velmo-serial-qtclient"));
        QVERIFY(daemonKey.tryAcquire());
        QProcess frontEnd;
        startFrontEnd(frontEnd);
        QVERIFY(frontEnd.waitForStarted(kStartTimeoutMs));
        QDeadlineTimer deadline(kStartTimeoutMs);
        QByteArray output;
        while (!output.contains("velmo-serial active. Ok!") && !deadline.hasExpired() &&
               frontEnd.state() != QProcess::NotRunning) {
            frontEnd.waitForReadyRead(100);
            output += frontEnd.readAll();
        }
        output += frontEnd.readAll();
        // An early exit means the front end took itself for a second instance.
        QVERIFY2(output.contains("velmo-serial active. Ok!"),
                 (output + (frontEnd.state() == QProcess::NotRunning
                                ? QByteArray("\n[exited with ") +
                                      QByteArray::number(frontEnd.exitCode()) + ']'
                                : QByteArray("\n[still running]")))
                     .constData());
        QTest::qWait(500);
        QVERIFY(!QFile::exists(marker()));
        stopFrontEnd(frontEnd);
    }

    // A front end killed without cleaning up does not block the next one.
    void killedFrontEndDoesNotBlockTheNext()
    {
        QProcess first;
        startFrontEnd(first);
        QVERIFY(first.waitForStarted(kStartTimeoutMs));
        QVERIFY(waitForFile(marker(), kStartTimeoutMs));
        first.kill();
        QVERIFY(first.waitForFinished(5000));
        QProcess next;
        startFrontEnd(next);
        QVERIFY(next.waitForStarted(kStartTimeoutMs));
        QTest::qWait(1500);
        QCOMPARE(next.state(), QProcess::Running);
        stopFrontEnd(next);
    }
};

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
