#include "common/datafolder.h"
#include "common/instanceguard.h"
#include "common/raiserequest.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <sys/stat.h>

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

    void secondStartRaisesTheFirst()
    {
        // The running instance holds the key and watches; a second start
        // finds the key held and asks for it, once per start.
        InstanceGuard first(QStringLiteral("velmo-test-key-raise"));
        QVERIFY(!velmo::requestRaise(first.keyFilePath())); // nobody holds it yet
        QVERIFY(first.tryAcquire());
        velmo::RaiseWatcher watcher(first.keyFilePath());
        int raised = 0;
        connect(&watcher, &velmo::RaiseWatcher::raiseRequested, this, [&] { ++raised; });
        watcher.check();
        QCOMPARE(raised, 0);

        InstanceGuard second(QStringLiteral("velmo-test-key-raise"));
        QVERIFY(!second.tryAcquire());
        QVERIFY(velmo::requestRaise(second.keyFilePath()));
        QTRY_COMPARE(raised, 1);
        QVERIFY(velmo::requestRaise(second.keyFilePath()));
        QVERIFY(velmo::requestRaise(second.keyFilePath()));
        watcher.check();
        QCOMPARE(raised, 2); // two requests between two looks: one raise
        // The request left the key as it was: still held, still refused.
        QVERIFY(!second.tryAcquire());
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

    // A second instance started with another TMPDIR must still see the
    // first: the key file may not follow the temporary folder.
    void holderWithOtherTempFolderBlocks()
    {
        const QString key = QStringLiteral("velmo-test-key-tmpdir");
        QTemporaryDir otherTmp;
        QVERIFY(otherTmp.isValid());
        QProcess holder;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TMPDIR"), otherTmp.path());
        holder.setProcessEnvironment(env);
        holder.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        holder.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(kHoldArg), key});
        QVERIFY(holder.waitForStarted());
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("held"));

        InstanceGuard second(key);
        QVERIFY2(!second.tryAcquire(), "a holder with another TMPDIR must block");
        QVERIFY(second.keyFilePath().startsWith(velmo::dataFolderPath() + QLatin1Char('/')));

        holder.kill();
        QVERIFY(holder.waitForFinished(5000));
        QVERIFY2(second.tryAcquire(), qPrintable(second.errorString()));
    }

    void dataFolderIsCreatedPrivateWithParents()
    {
        const QString path = velmo::dataFolderPath();
        QCOMPARE(path, QDir::homePath() + QStringLiteral("/AppData/Local/Calvestrid"));
        QDir(QDir::homePath() + QStringLiteral("/AppData")).removeRecursively();
        QVERIFY(velmo::ensureDataFolder());
        QVERIFY(QDir(path).exists());
        for (const QString &folder : {QDir::homePath() + QStringLiteral("/AppData"), path})
            QCOMPARE(modeOf(folder), 0700);
        QVERIFY(velmo::ensureDataFolder());

        // A folder the user made wider on purpose is left alone.
        QVERIFY(::chmod(QFile::encodeName(path).constData(), 0755) == 0);
        QVERIFY(velmo::ensureDataFolder());
        QCOMPARE(modeOf(path), 0755);

        // A file where the folder should be is a failure, not a success.
        QDir(QDir::homePath() + QStringLiteral("/AppData")).removeRecursively();
        QVERIFY(QDir().mkpath(QDir::homePath() + QStringLiteral("/AppData/Local")));
        QFile blocker(path);
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(!velmo::ensureDataFolder());
        QDir(QDir::homePath() + QStringLiteral("/AppData")).removeRecursively();
    }

    void newFilesAreOwnerOnly()
    {
        const mode_t previous = ::umask(0022);
        velmo::restrictNewFilesToOwner();
        QVERIFY(velmo::ensureDataFolder());
        QFile file(velmo::dataFolderPath() + QStringLiteral("/private.txt"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        QCOMPARE(modeOf(file.fileName()), 0600);
        ::umask(previous);
    }

private:
    static int modeOf(const QString &path)
    {
        struct stat st;
        if (::stat(QFile::encodeName(path).constData(), &st) != 0)
            return -1;
        return static_cast<int>(st.st_mode & 0777);
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
