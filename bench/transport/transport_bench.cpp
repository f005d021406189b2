// transport_bench: how close the MQTT transport of both programs comes to a
// plain libmosquitto client, measured in one run against a real mosquitto.
//
//  1. A burst of 1000 messages to an MqttMgr, first publish to last message
//     handled, against a plain libmosquitto subscriber on its own thread.
//  2. A 1 MiB HEX upload to the real velmo-serial (FLASH + MD5 until
//     "SERIAL/FLASH"), against the round trip of the same bytes through the
//     broker with plain libmosquitto.
//  3. The window's lag during a full update on the paced virtual board: from
//     a progress or result reply reaching a probe on the broker to the
//     window's statusReady() having acted on it.
//  4. The daemon's peak RSS after a 100 MiB HEX upload (skip: --no-memory).
//
// The daemon talks to the broker on port 1883 only, so the benchmark starts
// its broker there and needs the port free. Run it in a network namespace
// of its own:
//
//     unshare -n sh -c 'ip link set lo up && build/stage/bin/transport_bench'
//
// (unshare -rn as an unprivileged user). --rounds N repeats figures 1 and 2
// N times (median; default 7). Not a test: it prints what one run measured.
#include "common/datafolder.h"
#include "frontend/core/systemmgr.h"
#include "frontend/ui/mainwindow.h"
#include "mqtt/mqttmgr.h"
#include "mqtt/mqttthread.h"
#include "protocol/topics.h"
#include "tests/frontend/fakedialogs.h"
#include "tests/support/boardsimprocess.h"
#include "tests/support/rawmqttclient.h"
#include "tests/support/testbroker.h"

#include <QAction>
#include <QApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <thread>

namespace {
constexpr int kBurst = 1000;
constexpr int kDefaultRounds = 7;
constexpr qsizetype kUploadBytes = 1024 * 1024;
constexpr qsizetype kLargeUploadBytes = 100 * 1024 * 1024;
constexpr int kStepTimeoutMs = 30000;
constexpr int kUpdateTimeoutMs = 300000;
constexpr int kWakeMs = 100; // the programs' own poll interval
const QString kBoardName = QStringLiteral("VB-1234 virtual board");
constexpr quint16 kBoardId = 0x1234;

void fail(const QString &why)
{
    std::fprintf(stderr, "transport_bench: %s\n", qPrintable(why));
    std::fflush(stderr);
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

double msSince(qint64 startNs, qint64 endNs)
{
    return double(endNs - startNs) / 1e6;
}

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The burst comes from its own thread, so the receiving main thread is free
// from the first message on, as it would be with another program sending.
void publishBurst(RawMqttClient &publisher, const QString &topic)
{
    std::thread sender([&] {
        for (int i = 0; i < kBurst; ++i)
            publisher.publish(topic, QByteArray::number(i));
    });
    sender.join();
}

// --- 1. burst ---------------------------------------------------------------

class BurstCounter : public IMqttMessageHandler
{
public:
    void handleMessage(const QString &, const QString &) override {}
    void handleMessageBytes(const QString &, const QByteArray &) override
    {
        if (++count == kBurst) {
            lastNs = RawMqttClient::nowNs();
            if (loop)
                loop->quit();
        }
    }
    int count = 0;
    qint64 lastNs = 0;
    QEventLoop *loop = nullptr;
};

bool burstFigure(int port, int rounds)
{
    RawMqttClient publisher(port, QString(), "velmo-bench-pub");
    RawMqttClient raw(port, QStringLiteral("BURST/raw"), "velmo-bench-raw");
    MqttSession session;
    session.subscription = QStringLiteral("BURST/mgr");
    MqttMgr mgr(nullptr, "velmo-bench-mgr", QStringLiteral("127.0.0.1"), MqttMgr::kUserName,
                MqttMgr::kPassword, port, MqttMgr::kKeepAliveSeconds, session);
    BurstCounter counter;
    mgr.setMessageHandler(&counter);
    QTimer wake;
    QObject::connect(&wake, &QTimer::timeout, &mgr, &MqttMgr::wake);
    wake.start(kWakeMs);
    if (!publisher.waitReady() || !raw.waitReady() ||
        !waitUntil([&] { return mgr.thread()->isConnected(); }, kStepTimeoutMs)) {
        fail(QStringLiteral("burst: clients did not connect"));
        return false;
    }
    QTest::qWait(200); // the manager's subscription

    QList<double> rawMs;
    QList<double> mgrMs;
    for (int round = 0; round <= rounds; ++round) { // round 0 warms up
        raw.clear();
        const qint64 rawStart = RawMqttClient::nowNs();
        publishBurst(publisher, QStringLiteral("BURST/raw"));
        if (!raw.waitForCount(kBurst, kStepTimeoutMs)) {
            fail(QStringLiteral("burst: the plain subscriber got %1 of %2")
                     .arg(raw.count())
                     .arg(kBurst));
            return false;
        }
        const qint64 rawEnd = raw.messages().constLast().arrivalNs;

        counter.count = 0;
        QEventLoop loop;
        counter.loop = &loop;
        QTimer::singleShot(kStepTimeoutMs, &loop, &QEventLoop::quit);
        const qint64 mgrStart = RawMqttClient::nowNs();
        publishBurst(publisher, QStringLiteral("BURST/mgr"));
        if (counter.count < kBurst)
            loop.exec();
        counter.loop = nullptr;
        if (counter.count < kBurst) {
            fail(QStringLiteral("burst: MqttMgr handled %1 of %2").arg(counter.count).arg(kBurst));
            return false;
        }
        if (round > 0) {
            rawMs << msSince(rawStart, rawEnd);
            mgrMs << msSince(mgrStart, counter.lastNs);
        }
    }
    const double r = median(rawMs);
    const double m = median(mgrMs);
    std::printf("1. burst of %d messages: MqttMgr %.1f ms, plain libmosquitto %.1f ms "
                "(medians of %d)\n   ratio %.2f (goal <= 3)\n",
                kBurst, m, r, rounds, m / r);
    std::fflush(stdout);
    return true;
}

// --- 2. HEX upload to the daemon -------------------------------------------

// A HEX text of at least `bytes` bytes: the identifier line of `boardId`,
// then 16-byte records.
QByteArray makeHex(qsizetype bytes, quint16 boardId)
{
    QByteArray out = '#' + QByteArray::number(boardId, 16).rightJustified(4, '0') + "A5C3\r\n";
    const auto record = [&](int type, quint16 address, const QByteArray &data) {
        QByteArray b;
        b.append(char(data.size()));
        b.append(char(address >> 8));
        b.append(char(address & 0xFF));
        b.append(char(type));
        b.append(data);
        unsigned sum = 0;
        for (const char c : b)
            sum += std::uint8_t(c);
        b.append(char((256 - sum % 256) % 256));
        out += ':' + b.toHex().toUpper() + "\r\n";
    };
    quint32 seed = 0x2545F491;
    quint32 address = 0;
    while (out.size() < bytes) {
        if ((address & 0xFFFF) == 0) {
            QByteArray upper;
            upper.append(char(address >> 24));
            upper.append(char((address >> 16) & 0xFF));
            record(0x04, 0, upper);
        }
        QByteArray data;
        for (int i = 0; i < 16; ++i) {
            seed = seed * 1103515245u + 12345u;
            data.append(char(seed >> 24));
        }
        record(0x00, quint16(address & 0xFFFF), data);
        address += 16;
    }
    out += ":00000001FF\r\n";
    return out;
}

QString daemonPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/velmo-serial");
}

// `client` subscribes to "SERIAL/PING" only.
bool waitForDaemon(RawMqttClient &client)
{
    // The daemon connects on its own schedule: ask until it answers.
    QDeadlineTimer deadline(kStepTimeoutMs);
    while (!deadline.hasExpired()) {
        client.publish(QString(protocol::request::kPing), " ");
        if (client.waitForCount(1, 300))
            return true;
    }
    return false;
}

// Notes when a message reached the program's handling, as text the way the
// daemon's handler takes it today.
class ArrivalStamp : public IMqttMessageHandler
{
public:
    void handleMessage(const QString &, const QString &payload) override
    {
        size = payload.size();
        ns = RawMqttClient::nowNs();
        if (loop)
            loop->quit();
    }
    qsizetype size = 0;
    qint64 ns = 0;
    QEventLoop *loop = nullptr;
};

bool uploadFigure(int port, int rounds)
{
    RawMqttClient ctl(port, QString(protocol::reply::kFlash), "velmo-bench-ctl");
    RawMqttClient echo(port, QStringLiteral("BENCH/echo"), "velmo-bench-echo");
    RawMqttClient pinger(port, QString(protocol::reply::kPing), "velmo-bench-ping");
    if (!ctl.waitReady() || !echo.waitReady() || !pinger.waitReady() || !waitForDaemon(pinger)) {
        fail(QStringLiteral("upload: the daemon does not answer on the broker"));
        return false;
    }
    // A board with 1 MiB of flash: the file's records reach some 370 KiB,
    // all of them inside the image the daemon builds while it checks.
    ctl.publish(QString(protocol::request::kConfigs),
                "StartFlash=0 StartProgr=2048 SizeFlash=1024 SizeProgr=62 MaxErase=-1 "
                "Padding=255 IdPosition=1");
    // 0x0000: the daemon's identifier before it has read a board.
    const QByteArray hex = makeHex(kUploadBytes, 0x0000);
    const QByteArray digest = QCryptographicHash::hash(hex, QCryptographicHash::Md5).toHex();

    // The transport's share: the same bytes into an MqttMgr's handler.
    MqttSession session;
    session.subscription = QStringLiteral("BENCH/carry");
    MqttMgr carrier(nullptr, "velmo-bench-carrier", QStringLiteral("127.0.0.1"), MqttMgr::kUserName,
                    MqttMgr::kPassword, port, MqttMgr::kKeepAliveSeconds, session);
    ArrivalStamp stamp;
    carrier.setMessageHandler(&stamp);
    if (!waitUntil([&] { return carrier.thread()->isConnected(); }, kStepTimeoutMs)) {
        fail(QStringLiteral("upload: the manager did not connect"));
        return false;
    }
    QTest::qWait(200); // its subscription

    QList<double> daemonMs;
    QList<double> rawMs;
    QList<double> carryMs;
    for (int round = 0; round <= rounds; ++round) {
        ctl.clear();
        const qint64 start = RawMqttClient::nowNs();
        ctl.publish(QString(protocol::request::kFlash), hex);
        ctl.publish(QString(protocol::request::kMd5), digest);
        if (!ctl.waitForCount(1, kStepTimeoutMs)) {
            fail(QStringLiteral("upload: no SERIAL/FLASH reply"));
            return false;
        }
        const RawMqttClient::Message reply = ctl.messages().constFirst();
        if (reply.payload != "OK") {
            fail(QStringLiteral("upload: SERIAL/FLASH said %1")
                     .arg(QString::fromLatin1(reply.payload)));
            return false;
        }
        echo.clear();
        const qint64 echoStart = RawMqttClient::nowNs();
        echo.publish(QStringLiteral("BENCH/echo"), hex);
        if (!echo.waitForCount(1, kStepTimeoutMs)) {
            fail(QStringLiteral("upload: the echo did not come back"));
            return false;
        }
        QEventLoop loop;
        stamp.loop = &loop;
        stamp.size = 0;
        QTimer::singleShot(kStepTimeoutMs, &loop, &QEventLoop::quit);
        const qint64 carryStart = RawMqttClient::nowNs();
        echo.publish(QStringLiteral("BENCH/carry"), hex);
        loop.exec();
        stamp.loop = nullptr;
        if (stamp.size != hex.size()) {
            fail(QStringLiteral("upload: the manager's handler did not get the bytes"));
            return false;
        }
        if (round > 0) {
            daemonMs << msSince(start, reply.arrivalNs);
            rawMs << msSince(echoStart, echo.messages().constFirst().arrivalNs);
            carryMs << msSince(carryStart, stamp.ns);
        }
    }
    const double d = median(daemonMs);
    const double r = median(rawMs);
    const double c = median(carryMs);
    std::printf("2. upload of a %lld KiB HEX to velmo-serial: %.1f ms, raw round trip %.1f ms "
                "(medians of %d)\n   ratio %.2f (goal <= 5)\n"
                "   the transport's share, the same bytes into an MqttMgr's handler: %.1f ms, "
                "ratio %.2f;\n   the rest is the daemon's own work on the file\n",
                qint64(hex.size() / 1024), d, r, rounds, d / r, c, c / r);
    std::fflush(stdout);
    return true;
}

// --- 3. the window's lag during an update ----------------------------------

// Sits between the front end's manager and its parser and notes which reply
// is being handled, so the statusReady() that follows can be matched.
class HandlingWatch : public IMqttMessageHandler
{
public:
    explicit HandlingWatch(IMqttMessageHandler *inner)
        : m_inner(inner)
    {}
    void handleMessage(const QString &t, const QString &p) override
    {
        m_inner->handleMessage(t, p);
    }
    void handleMessageBytes(const QString &t, const QByteArray &p) override
    {
        topic = t;
        payload = p;
        m_inner->handleMessageBytes(t, p);
    }
    QString topic;
    QByteArray payload;

private:
    IMqttMessageHandler *m_inner;
};

void writePreferences(const QString &serialPort, int brokerPort)
{
    velmo::ensureDataFolder();
    QSettings prefs(velmo::dataFolderPath() + QStringLiteral("/VelmoFrontEnd.ini"),
                    QSettings::IniFormat);
    prefs.clear();
    prefs.setValue(QStringLiteral("serial/com"), serialPort);
    prefs.setValue(QStringLiteral("mqtt/host"), QStringLiteral("127.0.0.1"));
    prefs.setValue(QStringLiteral("mqtt/port"), brokerPort);
    prefs.sync();
}

template <typename T> T *child(QWidget &window, const char *name)
{
    T *w = window.findChild<T *>(QLatin1String(name));
    if (w == nullptr)
        fail(QStringLiteral("window: no %1").arg(QLatin1String(name)));
    return w;
}

bool lagFigure(int port)
{
    BoardSimProcess board;
    if (!board.start({"--id", QStringLiteral("0x%1").arg(kBoardId, 4, 16, QLatin1Char('0')),
                      "--erase-all-from", "0x800", "--pace"})) {
        fail(board.errorString());
        return false;
    }
    RawMqttClient probe(port, QString(protocol::reply::kUpdate) + QStringLiteral("/#"),
                        "velmo-bench-probe");
    if (!probe.waitReady()) {
        fail(QStringLiteral("lag: the probe did not connect"));
        return false;
    }
    writePreferences(board.port(), port);
    FakeDialogs dialogs;
    MainWindow window(nullptr, port);
    window.show();
    MqttMgr *mgr = window.systemMgr()->mqttMgr();
    HandlingWatch watch(mgr->messageHandler());
    mgr->setMessageHandler(&watch);

    struct Handled
    {
        QString topic;
        QByteArray payload;
        qint64 ns;
    };
    QList<Handled> handled;
    // Connected after the window's own slot, so it runs once that is done.
    QObject::connect(window.systemMgr(), &frontend::SystemMgr::statusReady, &window, [&] {
        if (watch.topic.startsWith(protocol::reply::kUpdate))
            handled.append({watch.topic, watch.payload, RawMqttClient::nowNs()});
    });

    auto *connectAction = child<QAction>(window, "actionConnect");
    auto *label = child<QLabel>(window, "labelStatusBar");
    auto *openFile = child<QPushButton>(window, "btnOpenFile");
    auto *update = child<QPushButton>(window, "btnUpdate");
    auto *status = child<QStatusBar>(window, "statusBar");
    if (!connectAction || !label || !openFile || !update || !status)
        return false;

    // The window's daemon check is over before anything else happens.
    if (!waitUntil([&] { return !window.serialTimer().isActive(); }, kStepTimeoutMs)) {
        fail(QStringLiteral("lag: the window's daemon check did not end"));
        return false;
    }
    connectAction->trigger();
    const QString connected = QStringLiteral("Connected with board: ") + kBoardName;
    if (!waitUntil([&] { return label->text() == connected; }, kStepTimeoutMs)) {
        fail(QStringLiteral("lag: no board (%1)").arg(label->text()));
        return false;
    }
    dialogs.files << QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                     QStringLiteral("/../firmware/vb1234-sample.hex"));
    openFile->click();
    if (!waitUntil([&] { return status->currentMessage() == QLatin1String("File loaded: Ok."); },
                   kStepTimeoutMs)) {
        fail(QStringLiteral("lag: file not loaded (%1)").arg(status->currentMessage()));
        return false;
    }
    probe.clear();
    const qint64 start = RawMqttClient::nowNs();
    update->click();
    if (!waitUntil(
            [&] {
                return dialogs.texts().contains(QStringLiteral("Update completed successfully."));
            },
            kUpdateTimeoutMs)) {
        fail(QStringLiteral("lag: the update did not complete: %1").arg(dialogs.texts().join('|')));
        return false;
    }
    const double updateMs = msSince(start, RawMqttClient::nowNs());

    const QList<RawMqttClient::Message> published = probe.messages();
    QList<bool> used(published.size(), false);
    QList<double> lags;
    for (const Handled &h : std::as_const(handled)) {
        for (qsizetype i = 0; i < published.size(); ++i) {
            if (!used.at(i) && published.at(i).topic == h.topic &&
                published.at(i).payload == h.payload) {
                used[i] = true;
                lags << msSince(published.at(i).arrivalNs, h.ns);
                break;
            }
        }
    }
    if (lags.isEmpty()) {
        fail(QStringLiteral("lag: no progress reply was matched"));
        return false;
    }
    const double worst = *std::max_element(lags.begin(), lags.end());
    std::printf("3. window lag over %lld progress and result replies of one update (%.1f s):\n"
                "   median %.1f ms (goal <= 20), worst %.1f ms (goal <= 100)\n",
                qint64(lags.size()), updateMs / 1000, median(lags), worst);
    std::fflush(stdout);
    return true;
}

// --- 4. the daemon's memory for a large HEX ---------------------------------

qint64 peakRssMiB(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').constFirst().toLongLong() / 1024;
    return -1;
}

// After the update, so the daemon knows the board the file is made for.
bool memoryFigure(int port, qint64 daemonPid)
{
    RawMqttClient ctl(port, QString(protocol::reply::kFlash), "velmo-bench-memory");
    if (!ctl.waitReady()) {
        fail(QStringLiteral("memory: the client did not connect"));
        return false;
    }
    // Made for the board that the update has just identified.
    const QByteArray hex = makeHex(kLargeUploadBytes, kBoardId);
    const QByteArray digest = QCryptographicHash::hash(hex, QCryptographicHash::Md5).toHex();
    const qint64 before = peakRssMiB(daemonPid);
    ctl.publish(QString(protocol::request::kFlash), hex);
    ctl.publish(QString(protocol::request::kMd5), digest);
    if (!ctl.waitForCount(1, kUpdateTimeoutMs)) {
        fail(QStringLiteral("memory: no SERIAL/FLASH reply"));
        return false;
    }
    const qint64 fileMiB = hex.size() >> 20;
    std::printf("4. velmo-serial's peak RSS after a %lld MiB HEX upload (\"%s\"): %lld MiB, "
                "%lld MiB before\n   goal <= %lld MiB (twice the file plus 20 MiB)\n",
                fileMiB, ctl.messages().constFirst().payload.constData(), peakRssMiB(daemonPid),
                before, 2 * fileMiB + 20);
    std::fflush(stdout);
    return true;
}

void quietDebug(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    // The programs' per-message debug lines would drown the figures.
    if (type == QtDebugMsg || type == QtInfoMsg)
        return;
    std::fprintf(stderr, "%s\n", qPrintable(text));
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The daemon's image file, both programs' preferences and instance keys
    // stay out of the user's own folders.
    QTemporaryDir home;
    qputenv("HOME", QDir(home.path()).absolutePath().toLocal8Bit());
    qputenv("TMPDIR", QDir(home.path()).absolutePath().toLocal8Bit());
    QApplication app(argc, argv);
    qInstallMessageHandler(quietDebug);
    QDir::setCurrent(QCoreApplication::applicationDirPath()); // "../configs/"

    int rounds = kDefaultRounds;
    const QStringList args = app.arguments();
    const qsizetype at = args.indexOf(QStringLiteral("--rounds"));
    if (at >= 0 && at + 1 < args.size())
        rounds = std::max(1, args.at(at + 1).toInt());
    const bool withMemory = !args.contains(QStringLiteral("--no-memory"));

    TestBroker broker;
    if (!broker.start(TestBroker::kFixedPort)) {
        fail(broker.errorString() +
             QStringLiteral("\nrun it in a network namespace of its own: unshare -n sh -c "
                            "'ip link set lo up && %1'")
                 .arg(QCoreApplication::applicationFilePath()));
        return 1;
    }
    if (!burstFigure(broker.port(), rounds))
        return 1;

    QProcess daemon;
    daemon.setStandardOutputFile(QProcess::nullDevice());
    daemon.setStandardErrorFile(QProcess::nullDevice());
    daemon.setWorkingDirectory(QCoreApplication::applicationDirPath());
    daemon.start(daemonPath(), {});
    if (!daemon.waitForStarted()) {
        fail(QStringLiteral("cannot start %1: %2").arg(daemonPath(), daemon.errorString()));
        return 1;
    }
    const bool ok = uploadFigure(broker.port(), rounds) && lagFigure(broker.port()) &&
                    (!withMemory || memoryFigure(broker.port(), daemon.processId()));
    daemon.terminate();
    if (!daemon.waitForFinished(5000))
        daemon.kill();
    return ok ? 0 : 1;
}
