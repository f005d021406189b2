// daemon_memory_bench: the serial daemon's peak memory while it receives,
// stores and verifies a 60 MB HEX file (the largest the daemon takes is
// 64 MiB). Runs a private mosquitto on the
// daemon's fixed port 1883 (so run it in a network namespace of its own:
//   unshare -rn sh -c 'ip link set lo up && ./daemon_memory_bench')
// and the real velmo-serial with a private HOME, sends FLASH and MD5, waits
// for "SERIAL/FLASH" and prints the daemon's VmHWM as a ratio to the file
// size. Then, as a second figure, the daemon's own handling alone: the
// worker in this process gets the same payload as bytes (the way the
// transport will hand it over once it no longer widens payloads to text),
// and what its dispatch, store and verification add on top of the payload
// is printed as a ratio to the file size. Not a test: it prints what one run
// measured.
#include "protocol/payloads.h"
#include "protocol/topics.h"
#include "serial/requestdispatcher.h"
#include "serial/statusobject.h"
#include "tests/firmware/hexbuilder.h"
#include "tests/support/mqttprobe.h"
#include "tests/support/testbroker.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

namespace {
constexpr qint64 kFileBytes = 60 * 1000 * 1000;
constexpr int kFlashKiB = 16 * 1024; // the whole 24-bit address range
constexpr int kReplyTimeoutMs = 180000;
constexpr double kMiB = 1024.0 * 1024.0;

// A valid HEX file of about `bytes` bytes for board 0x0000 (the daemon has
// read no identifier): 16-byte records that sweep the flash again and again.
QByteArray makeHex(qint64 bytes)
{
    using namespace hexbuilder;
    QByteArray out;
    out.reserve(bytes + 4096);
    out += idLine(0x0000) + "\r\n";
    quint32 address = 0;
    QByteArray data(16, '\0');
    while (out.size() < bytes) {
        if ((address & 0xFFFF) == 0)
            out += linearBase(quint16(address >> 16)) + "\r\n";
        for (int i = 0; i < data.size(); ++i)
            data[i] = char(address + quint32(i) * 13);
        out += dataRecord(quint16(address & 0xFFFF), data) + "\r\n";
        address = (address + 16) % (quint32(kFlashKiB) * 1024);
    }
    return out + endOfFile() + "\r\n";
}

// "VmHWM:  123456 kB" of a process, in bytes; -1 when unreadable.
qint64 statusBytes(qint64 pid, const char *key)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (!line.startsWith(key))
            continue;
        const QList<QByteArray> parts = line.simplified().split(' ');
        return parts.size() >= 2 ? parts.at(1).toLongLong() * 1024 : -1;
    }
    return -1;
}

// Starts the peak figure (VmHWM) of this process afresh.
bool resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

struct Recorder : serialdaemon::ReplySink
{
    QString flash;
    void publishReply(QLatin1StringView topic, const QString &payload) override
    {
        if (topic == protocol::reply::kFlash)
            flash = payload;
    }
};

// What the worker's own handling of FLASH and MD5 adds to the payload it is
// handed, in bytes; -1 when it cannot be measured.
qint64 handlingBytes(const QByteArray &hex, const QString &digest,
                     const protocol::BoardLayout &layout, const QString &folder, QString *answer)
{
    Recorder sink;
    serialdaemon::StatusObject::Wiring wiring;
    wiring.sink = &sink;
    wiring.imagePath = folder + QStringLiteral("/file.hex");
    serialdaemon::StatusObject worker(std::move(wiring));
    worker.dispatcher().dispatch(protocol::request::kConfigs,
                                 protocol::buildBoardConfigs(layout).toLatin1());
    const qint64 pid = QCoreApplication::applicationPid();
    if (!resetPeak())
        return -1;
    const qint64 before = statusBytes(pid, "VmRSS:");
    worker.dispatcher().dispatch(protocol::request::kFlash, hex);
    worker.statusReady();
    worker.dispatcher().dispatch(protocol::request::kMd5, digest.toLatin1());
    worker.statusReady();
    *answer = sink.flash;
    return statusBytes(pid, "VmHWM:") - before;
}

bool answersPing(MqttProbe &probe, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        probe.publish(protocol::request::kPing, protocol::payload::kBlank);
        if (probe.waitFor(protocol::reply::kPing, 300) == protocol::payload::kPong)
            return true;
    }
    return false;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    TestBroker broker;
    if (!broker.start(TestBroker::kFixedPort)) {
        std::fprintf(stderr,
                     "cannot run a broker on port %d (%s); run the benchmark in a network "
                     "namespace of its own\n",
                     TestBroker::kFixedPort, qPrintable(broker.errorString()));
        return 1;
    }
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("TMPDIR"), home.path());
    // Its diagnostics would be megabytes of nothing here.
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("*.debug=false"));
    QProcess daemon;
    daemon.setProcessEnvironment(env);
    daemon.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    daemon.setStandardOutputFile(QProcess::nullDevice());
    const QString program =
        QCoreApplication::applicationDirPath() + QStringLiteral("/velmo-serial");
    daemon.setWorkingDirectory(QCoreApplication::applicationDirPath());
    daemon.start(program, {});
    if (!daemon.waitForStarted()) {
        std::fprintf(stderr, "cannot start %s\n", qPrintable(program));
        return 1;
    }

    MqttProbe probe(broker.port(), protocol::reply::kAll);
    if (!probe.waitConnected(QStringLiteral("SERIAL/BENCH")) || !answersPing(probe, 15000)) {
        std::fprintf(stderr, "the daemon does not answer\n");
        return 1;
    }
    protocol::BoardLayout layout;
    layout.sizeFlash = kFlashKiB;
    layout.sizeProgr = kFlashKiB;
    layout.maxErase = -1;
    layout.idPosition = 1;
    probe.publish(protocol::request::kConfigs, protocol::buildBoardConfigs(layout));

    const QByteArray hex = makeHex(kFileBytes);
    const QString digest =
        QString::fromLatin1(QCryptographicHash::hash(hex, QCryptographicHash::Md5).toHex());
    const qint64 pid = daemon.processId();
    const qint64 idleBytes = statusBytes(pid, "VmRSS:");
    probe.publish(protocol::request::kFlash, QString::fromLatin1(hex));
    probe.publish(protocol::request::kMd5, digest);
    const QString answer = probe.waitFor(protocol::reply::kFlash, kReplyTimeoutMs);
    const qint64 peakBytes = statusBytes(pid, "VmHWM:");
    daemon.kill();
    daemon.waitForFinished();

    if (answer.isNull() || peakBytes <= 0) {
        std::fprintf(stderr, "no answer from the daemon (or no peak figure)\n");
        return 1;
    }
    const double file = double(hex.size());
    const double goal = 2 * file + 20 * kMiB;
    std::printf("file %.1f MiB, daemon idle %.1f MiB, peak %.1f MiB, answer %s\n", file / kMiB,
                double(idleBytes) / kMiB, double(peakBytes) / kMiB, qPrintable(answer));
    std::printf("peak / file size: %.2f (goal: peak <= 2 x file + 20 MiB = %.2f x file)%s\n",
                double(peakBytes) / file, goal / file,
                peakBytes <= goal ? "" : "  ** over goal **");

    QString ownAnswer;
    const qint64 ownBytes = handlingBytes(hex, digest, layout, home.path(), &ownAnswer);
    if (ownBytes < 0) {
        std::fprintf(stderr, "cannot measure the worker's own handling\n");
        return 1;
    }
    std::printf("worker's own handling of the bytes: +%.1f MiB, %.2f x file, answer %s\n",
                double(ownBytes) / kMiB, double(ownBytes) / file, qPrintable(ownAnswer));
    return 0;
}
