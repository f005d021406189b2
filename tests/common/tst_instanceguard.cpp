#include "common/datafolder.h"
#include "common/instanceguard.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <csignal>
#include <cstdio>

namespace {
const char *const kHoldArg = "--hold-guard";
}

class InstanceGuardTest : public QObject
{
    Q_OBJECT

private slots:
    void secondGuardInSameKeyFails()
    {
        InstanceGuard first(QStringLiteral("velmo-test-key-a"));
        QVERIFY(first.tryAcquire());
        InstanceGuard second(QStringLiteral("velmo-test-key-a"));
        QVERIFY(!second.tryAcquire());
        first.release();
        QVERIFY(second.tryAcquire());
    }

    void probeReleasedAtOnceLeavesKeyFree()
    {
        InstanceGuard probe(QStringLiteral("velmo-test-key-b"));
        QVERIFY(probe.tryAcquire());
        probe.release();
        InstanceGuard owner(QStringLiteral("velmo-test-key-b"));
        QVERIFY(owner.tryAcquire());
    }

    // A live holder in another process blocks us; once it is SIGKILLed, its
    // leftover segment must not block the next start.
    void killedHolderDoesNotBlock()
    {
        const QString key = QStringLiteral("velmo-test-key-killed");
        QProcess holder;
        holder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        holder.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kHoldArg), key});
        QVERIFY(holder.waitForStarted());
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

        InstanceGuard whileAlive(key);
        QVERIFY2(!whileAlive.tryAcquire(), "a live holder must block");

        ::kill(static_cast<pid_t>(holder.processId()), SIGKILL);
        QVERIFY(holder.waitForFinished(5000));

        InstanceGuard afterKill(key);
        QVERIFY2(afterKill.tryAcquire(), qPrintable(afterKill.errorString()));
    }

    void dataFolderIsCreatedWithParents()
    {
        const QString path = velmo::dataFolderPath();
        QCOMPARE(path, QDir::homePath() + QStringLiteral("/AppData/Local/Calvestrid"));
        QDir(QDir::homePath() + QStringLiteral("/AppData")).removeRecursively();
        QVERIFY(velmo::ensureDataFolder());
        QVERIFY(QDir(path).exists());
        QVERIFY(velmo::ensureDataFolder());
    }
};

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], kHoldArg) == 0) {
        InstanceGuard guard(QString::fromLocal8Bit(argv[2]));
        if (!guard.tryAcquire())
            return 2;
        std::printf("held\n");
        std::fflush(stdout);
        for (;;)
            QThread::sleep(1);
    }
    InstanceGuardTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_instanceguard.moc"
