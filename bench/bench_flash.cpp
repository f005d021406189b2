// bench_flash: how close a full firmware update comes to the time its bytes
// need on the wire. Runs a private mosquitto, the serial daemon in-process
// and the virtual board with wire pacing at 115200 baud, programs a 62 KiB
// image, reads it back as the front ends do after every update, and prints
// total time / wire time for the update alone and with its read-back. Not a
// test: it prints what one run measured.
#include "common/datafolder.h"
#include "protocol/topics.h"
#include "serial/statusobject.h"
#include "tests/support/boardsimprocess.h"
#include "tests/support/mqttprobe.h"
#include "tests/support/testbroker.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {
constexpr quint16 kBoardId = 0x1234;
constexpr int kFlashKib = 64;
constexpr int kStartProgr = 2048;
constexpr int kProgrKib = 62;
constexpr std::uint8_t kPadding = 0xFF;
constexpr int kRecordBytes = 16;
constexpr int kStepTimeoutMs = 20000;
constexpr int kUpdateTimeoutMs = 300000;
constexpr double kGoalRatio = 1.15;
constexpr double kVerifyGoalRatio = 1.10;

constexpr int kPageBytes = 1024;

QString configsPayload(int maxErase)
{
    protocol::BoardLayout layout;
    layout.startProgr = kStartProgr;
    layout.sizeFlash = kFlashKib;
    layout.sizeProgr = kProgrKib;
    layout.maxErase = maxErase;
    layout.padding = kPadding;
    layout.idPosition = 1;
    return protocol::buildBoardConfigs(layout);
}

void fail(const QString &why)
{
    std::fprintf(stderr, "bench_flash: %s\n", qPrintable(why));
    std::fflush(stderr);
}

QString hexRecord(int type, quint16 address, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(char(data.size()));
    bytes.append(char(address >> 8));
    bytes.append(char(address & 0xFF));
    bytes.append(char(type));
    bytes.append(data);
    unsigned sum = 0;
    for (const char c : bytes)
        sum += std::uint8_t(c);
    bytes.append(char((256 - sum % 256) % 256));
    return QLatin1Char(':') + QString::fromLatin1(bytes.toHex().toUpper()) + QStringLiteral("\r\n");
}

// A firmware as a linker would leave it: code from the program start, with a
// gap the loader must pad, in 16-byte records after an identifier line.
struct Firmware
{
    QString hexText;
    QByteArray expectedFlash;
};

Firmware makeFirmware()
{
    Firmware fw;
    fw.expectedFlash = QByteArray(kFlashKib * 1024, char(kPadding));
    fw.hexText = QStringLiteral("#%1%2A5C3\r\n")
                     .arg(kBoardId >> 8, 2, 16, QLatin1Char('0'))
                     .arg(kBoardId & 0xFF, 2, 16, QLatin1Char('0'));
    fw.hexText += hexRecord(0x04, 0, QByteArray(2, '\0'));
    quint32 seed = 0x2545F491;
    const int end = kStartProgr + kProgrKib * 1024;
    const int gapStart = kStartProgr + 40 * 1024;
    const int gapEnd = gapStart + 3000;
    for (int address = kStartProgr; address < end; address += kRecordBytes) {
        if (address >= gapStart && address < gapEnd)
            continue;
        QByteArray data;
        for (int i = 0; i < kRecordBytes; ++i) {
            seed = seed * 1103515245u + 12345u;
            data.append(char(seed >> 24));
        }
        fw.hexText += hexRecord(0x00, quint16(address), data);
        fw.expectedFlash.replace(address, data.size(), data);
    }
    fw.hexText += QStringLiteral(":00000001FF\r\n");
    return fw;
}

// Publishes `request` and returns how long until the first payload on
// `replyTopic` reached the probe (-1: none in time), with that payload. The
// end is taken when the reply arrives, not when a poll loop looks.
qint64 timedRequest(MqttProbe &probe, const QString &request, const QString &payload,
                    const QString &replyTopic, QString *result)
{
    QElapsedTimer clock;
    qint64 ms = -1;
    QEventLoop wait;
    const QMetaObject::Connection c =
        QObject::connect(probe.manager(), &MqttMgr::statusUpdated, &wait, [&] {
            const QStringList results = probe.payloadsOf(replyTopic);
            if (!results.isEmpty() && ms < 0) {
                ms = clock.elapsed();
                *result = results.first();
                wait.quit();
            }
        });
    QTimer::singleShot(kUpdateTimeoutMs, &wait, &QEventLoop::quit);
    clock.start();
    probe.publish(request, payload);
    wait.exec();
    QObject::disconnect(c);
    return ms;
}

// Publishes until the daemon answers: its MQTT client connects on its own
// schedule.
bool waitForDaemon(MqttProbe &probe)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < kStepTimeoutMs) {
        probe.publish(QString(protocol::request::kPing), QString());
        if (probe.waitFor(QString(protocol::reply::kPing), 300) == QLatin1String("PONG"))
            return true;
    }
    return false;
}

bool expect(MqttProbe &probe, const QString &topic, const QString &payload)
{
    const QString got = probe.waitFor(topic, kStepTimeoutMs);
    if (got == payload)
        return true;
    fail(QStringLiteral("%1: expected \"%2\", got \"%3\"")
             .arg(topic, payload, got.isNull() ? QStringLiteral("nothing") : got));
    return false;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // --page-erase: a board that erases page by page before every 16th block
    // instead of one erase-all.
    const bool pageErase = app.arguments().contains(QStringLiteral("--page-erase"));
    // Everything after "--" goes to the board, e.g. -- --write-ms 2.
    const QStringList args = app.arguments();
    const qsizetype separator = args.indexOf(QStringLiteral("--"));
    const QStringList boardExtra = separator < 0 ? QStringList() : args.mid(separator + 1);

    // The daemon keeps its image file in the user's data folder; keep the
    // benchmark's out of the real one.
    QTemporaryDir home;
    qputenv("HOME", QDir(home.path()).absolutePath().toLocal8Bit());
    if (!velmo::ensureDataFolder()) {
        fail(QStringLiteral("cannot create the data folder under %1").arg(home.path()));
        return 1;
    }

    TestBroker broker;
    if (!broker.start()) {
        fail(broker.errorString());
        return 1;
    }
    // The board runs as a process of its own, so the daemon's blocking
    // waits do not bend its timing.
    BoardSimProcess board;
    const QString dumpPath = home.filePath(QStringLiteral("flash.bin"));
    const QStringList boardOptions = QStringList{"--pace",
                                                 "--id",
                                                 protocol::boardIdText(kBoardId),
                                                 "--flash-kib",
                                                 QString::number(kFlashKib),
                                                 "--page-bytes",
                                                 QString::number(kPageBytes),
                                                 "--dump",
                                                 dumpPath} +
                                     boardExtra;
    if (!board.start(boardOptions)) {
        fail(board.errorString());
        return 1;
    }

    serialdaemon::StatusObject daemon(broker.port());
    MqttProbe probe(broker.port(), QString(protocol::reply::kAll), "velmo-bench-flash");
    if (!waitForDaemon(probe)) {
        fail(QStringLiteral("the daemon does not answer on the broker"));
        return 1;
    }

    const Firmware fw = makeFirmware();
    const QByteArray hexBytes = fw.hexText.toLatin1();
    protocol::SerialSettings line;
    line.portName = board.port();
    probe.publish(QString(protocol::request::kSetup), protocol::buildSerialSetup(line));
    probe.publish(QString(protocol::request::kSerial), QStringLiteral("OPEN"));
    if (!expect(probe, QString(protocol::reply::kOpen), QStringLiteral("OK")))
        return 1;
    probe.publish(QString(protocol::request::kReadId), QStringLiteral(" "));
    if (!expect(probe, QString(protocol::reply::kReadId), protocol::boardIdText(kBoardId)))
        return 1;
    probe.publish(QString(protocol::request::kConfigs),
                  configsPayload(pageErase ? kPageBytes : -1));
    probe.publish(QString(protocol::request::kFlash), fw.hexText);
    probe.publish(
        QString(protocol::request::kMd5),
        QString::fromLatin1(QCryptographicHash::hash(hexBytes, QCryptographicHash::Md5).toHex()));
    if (!expect(probe, QString(protocol::reply::kFlash), QStringLiteral("OK")))
        return 1;

    const QMap<QString, qint64> before = board.stats();
    if (!before.contains(QStringLiteral("wire_us"))) {
        fail(QStringLiteral("no counters from the board"));
        return 1;
    }

    QString result;
    const qint64 totalMs = timedRequest(probe, QString(protocol::request::kUpdate),
                                        protocol::buildBoardUpdate(!pageErase),
                                        QString(protocol::reply::kUpdate), &result);
    const QMap<QString, qint64> after = board.stats();
    const QStringList percents = probe.payloadsOf(QString(protocol::reply::kUpdatePercent));
    if (result != QLatin1String("OK")) {
        fail(QStringLiteral("update ended with \"%1\" after %2 progress steps")
                 .arg(result.isNull() ? QStringLiteral("nothing") : result)
                 .arg(percents.size()));
        return 1;
    }
    // The read-back the front ends ask for next. Timed from its own
    // request: the board's counters are read in between.
    QString verified;
    const qint64 verifyMs =
        timedRequest(probe, QString(protocol::request::kVerify), QStringLiteral(" "),
                     QString(protocol::reply::kVerify), &verified);
    const QMap<QString, qint64> afterVerify = board.stats();
    if (verified != QLatin1String("OK")) {
        fail(QStringLiteral("read-back ended with \"%1\"")
                 .arg(verified.isNull() ? QStringLiteral("nothing") : verified));
        return 1;
    }
    if (!after.contains(QStringLiteral("wire_us")) ||
        !afterVerify.contains(QStringLiteral("wire_us")) || !board.stop()) {
        fail(QStringLiteral("the board did not report or stop cleanly"));
        return 1;
    }
    QFile dump(dumpPath);
    const bool flashMatches = dump.open(QIODevice::ReadOnly) && dump.readAll() == fw.expectedFlash;

    const double wireMs =
        double(after.value(QStringLiteral("wire_us")) - before.value(QStringLiteral("wire_us"))) /
        1000.0;
    const double ratio = double(totalMs) / wireMs;
    const double verifyWireMs = double(afterVerify.value(QStringLiteral("wire_us")) -
                                       after.value(QStringLiteral("wire_us"))) /
                                1000.0;
    const double verifyRatio = double(totalMs + verifyMs) / (wireMs + verifyWireMs);
    std::printf("image            %d KiB from 0x%x, %d blocks, %s\n", kProgrKib, kStartProgr,
                kProgrKib * 16, pageErase ? "page erase every 1 KiB" : "erase-all");
    std::printf("progress steps   %lld (last %s)\n", static_cast<long long>(percents.size()),
                qPrintable(percents.value(percents.size() - 1)));
    std::printf("flash dump       %s\n", flashMatches ? "matches the image" : "DIFFERS");
    std::printf("total time       %lld ms (REQUEST/BOARD/UPDATE to \"OK\")\n",
                static_cast<long long>(totalMs));
    std::printf("wire time        %.1f ms (all frames, both directions, 10 bits per byte)\n",
                wireMs);
    // Both processes need the CPU at every block: on a busy machine the
    // figure says more about the load than about the link.
    QFile loadavg(QStringLiteral("/proc/loadavg"));
    const QByteArray load = loadavg.open(QIODevice::ReadOnly) ? loadavg.readLine().trimmed() : "";
    std::printf("load average     %s\n", load.isEmpty() ? "unknown" : load.constData());
    std::printf("ratio            %.3f (goal <= %.2f: %s)\n", ratio, kGoalRatio,
                ratio <= kGoalRatio ? "met" : "NOT met");
    std::printf("read-back        %lld ms (REQUEST/BOARD/VERIFY to \"OK\"), wire %.1f ms\n",
                static_cast<long long>(verifyMs), verifyWireMs);
    std::printf("verify ratio     %.3f (update and read-back / wire time of all their frames; "
                "goal <= %.2f: %s)\n",
                verifyRatio, kVerifyGoalRatio, verifyRatio <= kVerifyGoalRatio ? "met" : "NOT met");
    return flashMatches ? 0 : 1;
}
