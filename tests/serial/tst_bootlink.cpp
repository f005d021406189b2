#include "protocol/payloads.h"
#include "protocol/topics.h"
#include "tests/firmware/hexbuilder.h"
#include "tests/serial/daemonharness.h"
#include "tests/support/boardsimprocess.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <sys/resource.h>

using namespace hexbuilder;
namespace request = protocol::request;
namespace reply = protocol::reply;
namespace payload = protocol::payload;

namespace {
constexpr int kFlashKiB = 8;
constexpr quint32 kStartProgr = 0x800;
constexpr quint8 kPadding = 0x5A;

QString md5(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

protocol::BoardLayout layout(int sizeProgrKiB, int maxErase)
{
    protocol::BoardLayout l;
    l.startProgr = kStartProgr;
    l.sizeFlash = kFlashKiB;
    l.sizeProgr = sizeProgrKiB;
    l.maxErase = maxErase;
    l.padding = kPadding;
    l.idPosition = 1;
    return l;
}

// A firmware file for board `boardId` and the image it must leave in the
// programmed area: scattered records with gaps (padding), all inside the
// flash (a file with records outside it is refused).
struct Firmware
{
    QByteArray file;
    QByteArray programmed; // expected content from kStartProgr on
};

Firmware firmware(quint16 boardId, int sizeProgrKiB)
{
    Firmware fw;
    fw.programmed = QByteArray(sizeProgrKiB * 1024, char(kPadding));
    QList<QByteArray> lines{idLine(boardId), linearBase(0)};
    const quint32 end = kStartProgr + quint32(sizeProgrKiB) * 1024;
    for (quint32 address = kStartProgr; address < end; address += 48) {
        QByteArray data(int(qMin<quint32>(address % 96 == 0 ? 16 : 32, end - address)), '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char((address >> 4) + i * 7);
        lines << dataRecord(quint16(address), data);
        fw.programmed.replace(address - kStartProgr, data.size(), data);
    }
    lines << endOfFile();
    fw.file = file(lines);
    return fw;
}

// CPU time this process used, in milliseconds.
qint64 cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return qint64(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1000 +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1000;
}

// Runs the event loop for `ms` without polling, and returns the CPU time the
// process used meanwhile.
qint64 cpuMsWhileIdle(int ms)
{
    const qint64 before = cpuMs();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return cpuMs() - before;
}
} // namespace

// What only a real line shows: the daemon's QSerialPort on a pseudo-terminal
// with the virtual board process behind it, through a real broker. The
// update logic in all its cases is tested on the in-memory line
// (tst_daemonworker).
class TstBootLink : public QObject
{
    Q_OBJECT

private:
    DaemonHarness daemon;
    BoardSimProcess board;
    QTemporaryDir dir;

    QString dumpPath() const { return dir.filePath(QStringLiteral("flash.bin")); }

    bool startBoard(QStringList options)
    {
        options << "--flash-kib" << QString::number(kFlashKiB) << "--dump" << dumpPath();
        if (!board.start(options)) {
            qWarning().noquote() << board.errorString();
            return false;
        }
        return true;
    }

    bool openBoard()
    {
        protocol::SerialSettings settings;
        settings.portName = board.port();
        daemon.request(request::kSetup, protocol::buildSerialSetup(settings));
        daemon.request(request::kSerial, payload::kOpen);
        return daemon.waitFor(reply::kOpen) == payload::kOk;
    }

    QString readId(int timeoutMs = 10000)
    {
        daemon.request(request::kReadId, payload::kBlank);
        return daemon.waitFor(reply::kReadId, timeoutMs);
    }

    void prepareUpdate(const QStringList &boardOptions, const protocol::BoardLayout &l,
                       const Firmware &fw)
    {
        QVERIFY(startBoard(boardOptions));
        QVERIFY(openBoard());
        QCOMPARE(readId(), QStringLiteral("0x1234"));
        daemon.request(request::kConfigs, protocol::buildBoardConfigs(l));
        daemon.request(request::kFlash, QString::fromLatin1(fw.file));
        daemon.request(request::kMd5, md5(fw.file));
        QCOMPARE(daemon.waitFor(reply::kFlash), payload::kOk);
    }

    QByteArray boardFlash()
    {
        if (board.stats().isEmpty())
            return {};
        QFile file(dumpPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The port went away: OPEN ERROR and the reason at once, no busy loop
    // afterwards, and the daemon still answers.
    void expectLostLine(const QString &port)
    {
        QCOMPARE(daemon.waitFor(reply::kOpen, 2000), payload::kError);
        const QString why = daemon.waitFor(reply::kError, 2000);
        QVERIFY2(why.contains(port) && why.contains(QStringLiteral("disconnected")),
                 qPrintable(why));
        QVERIFY(!daemon.worker().serialPort().isOpen());
        const qint64 busyMs = cpuMsWhileIdle(2000);
        QVERIFY2(busyMs < 400, qPrintable(QStringLiteral("%1 ms of CPU in 2 s").arg(busyMs)));
        daemon.request(request::kPing);
        QCOMPARE(daemon.waitFor(reply::kPing), payload::kPong);
    }

private slots:
    void init()
    {
        QVERIFY(dir.isValid());
        QString error;
        QVERIFY2(daemon.start(&error), qPrintable(error));
    }

    void cleanup()
    {
        daemon.stop();
        board.stop();
    }

    // The fallback re-opens the real port at 115200 and back; later switches
    // change the line's speed with the board following.
    void identifierAndLineSpeeds()
    {
        QVERIFY(startBoard({"--start-high", "--id", "0x1234"}));
        QVERIFY(openBoard());
        QCOMPARE(readId(), QStringLiteral("0x1234"));
        QCOMPARE(daemon.worker().boardId(), 0x1234);

        daemon.request(request::kBaud, payload::kHigh);
        QVERIFY(daemon.sync());
        QCOMPARE(daemon.worker().serialPort().baudRate(), 115200);
        QCOMPARE(readId(), QStringLiteral("0x1234"));
        daemon.request(request::kBaud, payload::kLow);
        QVERIFY(daemon.sync());
        QCOMPARE(daemon.worker().serialPort().baudRate(), 9600);
        QCOMPARE(readId(), QStringLiteral("0x1234"));
    }

    // A whole update through the broker, the port and the board process:
    // the board's flash ends up as the image built from the file, reads back
    // as written, and hears the leave-boot-loader frame whole. The board
    // starts at 115200, so closing the port puts the line back there at once.
    void fullUpdate()
    {
        QFile preload(dir.filePath(QStringLiteral("zeros.bin")));
        QVERIFY(preload.open(QIODevice::WriteOnly));
        preload.write(QByteArray(kFlashKiB * 1024, '\0'));
        preload.close();
        const Firmware fw = firmware(0x1234, 4);
        prepareUpdate({"--page-bytes", "1024", "--load", preload.fileName(), "--start-high"},
                      layout(4, 1024), fw);
        if (QTest::currentTestFailed())
            return;

        daemon.request(request::kUpdate, protocol::buildBoardUpdate(false));
        QCOMPARE(daemon.waitFor(reply::kUpdate, 30000), payload::kOk);
        QCOMPARE(daemon.worker().serialPort().baudRate(), 9600);
        QCOMPARE(daemon.probe().payloadsOf(reply::kUpdatePercent).size(), 64);

        const QByteArray flash = boardFlash();
        QCOMPARE(flash.size(), kFlashKiB * 1024);
        QVERIFY2(flash.left(kStartProgr) == QByteArray(kStartProgr, '\0'),
                 "the update wrote below the programmed area");
        QVERIFY(flash.mid(kStartProgr, 4 * 1024) == fw.programmed);
        QCOMPARE(board.stats().value("unerased_bytes"), 0);
        const qint64 lostAtStart = board.stats().value("lost_rx_bytes");
        QCOMPARE(readId(), QStringLiteral("0x1234"));

        daemon.request(request::kVerify, payload::kBlank);
        QCOMPARE(daemon.waitFor(reply::kVerify, 30000), payload::kOk);
        QCOMPARE(daemon.worker().serialPort().baudRate(), 9600);
        daemon.request(request::kBootOff, payload::kBlank);
        daemon.request(request::kSerial, payload::kClose);
        QVERIFY(daemon.sync());
        QTest::qWait(200);
        QCOMPARE(board.stats().value("lost_rx_bytes"), lostAtStart);
    }

    // The board closes the line in the middle of an update: the update ends
    // at once, not after its 5 s time-out.
    void lineHangsUpDuringAnUpdate()
    {
        prepareUpdate({"--hangup-after", "3"}, layout(2, -1), firmware(0x1234, 2));
        if (QTest::currentTestFailed())
            return;
        const QString port = board.port();
        QElapsedTimer clock;
        clock.start();
        daemon.request(request::kUpdate, QStringLiteral("EraseAll=1"));
        QCOMPARE(daemon.waitFor(reply::kUpdate, 10000), payload::kError);
        QVERIFY2(clock.elapsed() < 3000, qPrintable(QString::number(clock.elapsed())));
        QVERIFY(!daemon.worker().isUpdating());
        expectLostLine(port);
    }

    // The board process ends while the port is open and idle.
    void deviceVanishesWhileIdle()
    {
        QVERIFY(startBoard({}));
        QVERIFY(openBoard());
        QCOMPARE(readId(), QStringLiteral("0x1234"));
        const QString port = board.port();
        QVERIFY(board.stop());
        expectLostLine(port);
        QVERIFY(daemon.probe().payloadsOf(reply::kUpdate).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstBootLink)
#include "tst_bootlink.moc"
