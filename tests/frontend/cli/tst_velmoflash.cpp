// velmo-flash as a technician runs it: the program itself, against a serial
// daemon in this process (holding the daemon's key, on a broker of the
// test's own) and the virtual board. Every exit status is provoked by the
// fault that should give it; the board's flash, the requests on the broker
// and the service record are checked as the window's tests check them.
#include "common/instanceguard.h"
#include "protocol/topics.h"
#include "records/recordformat.h"
#include "records/servicerecord.h"
#include "serial/statusobject.h" // the daemon's worker
#include "tests/firmware/hexbuilder.h"
#include "tests/support/boardsimprocess.h"
#include "tests/support/heximage.h"
#include "tests/support/mqttprobe.h"
#include "tests/support/stagefiles.h"
#include "tests/support/testbroker.h"

#include "common/datafolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

using records::RecordState;
using records::UpdateRecord;

namespace {

constexpr int kRunTimeoutMs = 60000;
constexpr int kEventTimeoutMs = 30000;
// velmo-flash's waits cut to a fifth: still above the shortened times of
// the daemon below, so the daemon's own answers come first.
const QString kScale = QStringLiteral("0.2");

// A file of the HEX corpus (tests/data/hex), made by other tools.
QString corpusFile(const char *name)
{
    return QStringLiteral(VELMO_HEX_CORPUS "/") + QLatin1String(name);
}

QList<UpdateRecord> allRecords()
{
    records::ServiceRecord store;
    if (!store.openDefault())
        return {};
    return store.query();
}

// The board's times cut so each fault shows in about a second.
serialdaemon::Timings shortTimings()
{
    serialdaemon::Timings t;
    t.idTimeoutMs = 100;
    t.firstWriteTimeoutMs = 2000;
    t.nextWriteTimeoutMs = 1000;
    return t;
}

QList<QJsonObject> jsonLines(const QByteArray &out, bool *allParse)
{
    QList<QJsonObject> events;
    *allParse = true;
    for (const QByteArray &line : out.split('\n')) {
        if (line.isEmpty())
            continue;
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject() ||
            !doc.object().contains(QStringLiteral("event"))) {
            *allParse = false;
            continue;
        }
        events << doc.object();
    }
    return events;
}

// A velmo-flash run: started, then followed while the test's event loop
// (and with it the daemon) keeps running.
class FlashRun
{
public:
    FlashRun(const QStringList &args, const QString &scale = kScale,
             const QString &workDir = QString(), const QStringList &environment = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("VELMO_FLASH_TIMEOUT_SCALE"), scale);
        env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
        env.remove(QStringLiteral("VELMO_CALLER_DIR"));
        for (const QString &pair : environment)
            env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
        m_process.setProcessEnvironment(env);
        m_process.setWorkingDirectory(workDir.isEmpty() ? stageDir() + QStringLiteral("/bin")
                                                        : workDir);
        m_process.start(stageDir() + QStringLiteral("/bin/velmo-flash"), args);
    }
    ~FlashRun()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    bool finish(int timeoutMs = kRunTimeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (m_process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
            collect();
            QTest::qWait(10);
        }
        collect();
        return m_process.state() == QProcess::NotRunning;
    }
    // Waits until standard output holds `text`.
    bool waitForOutput(const QByteArray &text, int timeoutMs = kEventTimeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!m_out.contains(text) && !deadline.hasExpired() &&
               m_process.state() != QProcess::NotRunning) {
            collect();
            QTest::qWait(10);
        }
        collect();
        return m_out.contains(text);
    }
    // Waits for a progress of at least `percent` (text or JSON).
    bool waitForProgress(int percent, int timeoutMs = kEventTimeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        while (!deadline.hasExpired() && m_process.state() != QProcess::NotRunning) {
            collect();
            bool parse = false;
            for (const QJsonObject &e : jsonLines(m_out, &parse)) {
                if (e.value("event").toString() == "progress" &&
                    e.value("percent").toInt() >= percent)
                    return true;
            }
            QTest::qWait(10);
        }
        return false;
    }
    void signal(int number) { ::kill(pid_t(m_process.processId()), number); }

    int status() const
    {
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }
    const QByteArray &out() const { return m_out; }
    const QByteArray &err() const { return m_err; }
    QString all() const { return QString::fromUtf8(m_out + "\n--- stderr ---\n" + m_err); }
    QList<QJsonObject> events() const
    {
        bool parse = false;
        return jsonLines(m_out, &parse);
    }

private:
    void collect()
    {
        m_out += m_process.readAllStandardOutput();
        m_err += m_process.readAllStandardError();
    }

    QProcess m_process;
    QByteArray m_out;
    QByteArray m_err;
};

} // namespace

class TstVelmoFlash : public QObject
{
    Q_OBJECT

private:
    void startDaemon()
    {
        serialdaemon::StatusObject::Wiring wiring;
        wiring.timings = shortTimings();
        wiring.brokerPort = m_broker.port();
        m_daemon = std::make_unique<serialdaemon::StatusObject>(std::move(wiring));
    }
    QStringList onBroker(const QStringList &args) const
    {
        return QStringList{QStringLiteral("--broker"),
                           QStringLiteral("127.0.0.1:%1").arg(m_broker.port())} +
               args;
    }
    // What velmo-flash asked of the daemon that the window asks too, in
    // order ("topic payload"); the file itself stands as "<file>".
    QStringList requestTrail() const
    {
        QStringList trail;
        for (const MqttProbe::Message &m : m_requests->messages()) {
            const QString &topic = m.first;
            if (topic == protocol::request::kPing || topic == protocol::request::kVersion ||
                topic == protocol::request::kInfo || topic == QLatin1String("REQUEST/test"))
                continue;
            trail << topic + QLatin1Char(' ') +
                         (topic == protocol::request::kFlash ? QStringLiteral("<file>") : m.second);
        }
        return trail;
    }
    bool waitForClose()
    {
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            const QStringList serial = m_requests->payloadsOf(protocol::request::kSerial);
            if (!serial.isEmpty() && serial.constLast() == protocol::payload::kClose)
                return true;
            QTest::qWait(20);
        }
        return false;
    }
    static bool oneMore(const QList<UpdateRecord> &before, UpdateRecord *added)
    {
        const QList<UpdateRecord> after = allRecords();
        if (after.size() != before.size() + 1)
            return false;
        *added = after.constFirst();
        return true;
    }

    TestBroker m_broker;
    std::unique_ptr<serialdaemon::StatusObject> m_daemon;
    std::unique_ptr<MqttProbe> m_requests; // sees what velmo-flash sends
    // The daemon's key, held as the running daemon holds it: velmo-flash
    // must talk to the one here and start none of its own.
    std::unique_ptr<InstanceGuard> m_daemonKey;
    QTemporaryDir m_tmp;
    qint64 m_startedDaemon = 0;

private slots:
    void initTestCase()
    {
        QVERIFY(m_tmp.isValid());
        m_daemonKey = std::make_unique<InstanceGuard>(QString(protocol::kDaemonInstanceKey));
        QVERIFY(m_daemonKey->tryAcquire());
    }
    void init()
    {
        QFile::remove(preferencesPath());
        QVERIFY2(m_broker.start(), qPrintable(m_broker.errorString()));
        m_requests = std::make_unique<MqttProbe>(m_broker.port(), QStringLiteral("REQUEST/#"),
                                                 "velmo-test-watch");
        QVERIFY(m_requests->waitConnected(QStringLiteral("REQUEST/test")));
    }
    void cleanup()
    {
        m_daemon.reset();
        m_requests.reset();
        m_broker.stop();
    }
    void cleanupTestCase()
    {
        if (m_startedDaemon > 0)
            ::kill(pid_t(m_startedDaemon), SIGTERM);
    }

    void flashesTheBoard_data()
    {
        QTest::addColumn<QStringList>("board");
        QTest::addColumn<QString>("firmware");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("fromPreferences");
        QTest::addColumn<bool>("eraseAll");
        QTest::newRow("0x1234") << QStringList{"--id", "0x1234", "--erase-all-from", "0x800"}
                                << "vb1234-sample.hex"
                                << "VB-1234 virtual board" << false << true;
        // Port and broker as the window stored them; page erase asked for.
        QTest::newRow("0x2345") << QStringList{"--id", "0x2345",           "--page-bytes",
                                               "1024", "--erase-all-from", "0x1000"}
                                << "vb2345-sample.hex"
                                << "VB-2345 virtual board" << true << false;
    }
    void flashesTheBoard()
    {
        QFETCH(QStringList, board);
        QFETCH(QString, firmware);
        QFETCH(QString, name);
        QFETCH(bool, fromPreferences);
        QFETCH(bool, eraseAll);
        startDaemon();
        const QString dump = m_tmp.filePath(QStringLiteral("%1.bin").arg(QTest::currentDataTag()));
        BoardSimProcess sim;
        QVERIFY(sim.start(board + QStringList{"--dump", dump}));
        const QString file = sampleFirmware(firmware);
        QStringList args{file};
        if (!eraseAll)
            args.prepend(QStringLiteral("--page-erase"));
        if (fromPreferences)
            writePreferences(sim.port(), m_broker.port());
        else
            args = onBroker(QStringList{"--port", sim.port()} + args);
        const QList<UpdateRecord> before = allRecords();
        const QDateTime started = QDateTime::currentDateTime().addMSecs(-1);

        FlashRun run(args);
        QVERIFY(run.finish());
        QVERIFY2(run.status() == 0, qPrintable(run.all()));
        const QStringList lines = QString::fromUtf8(run.out()).split('\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.constLast().startsWith("Result: OK. Board " +
                                              QString(QTest::currentDataTag()) + " (" + name +
                                              ") now holds " + firmware),
                 qPrintable(run.all()));
        // Not a terminal: one progress line per ten percent, up to 100.
        const QStringList progress = lines.filter(QRegularExpression("^Writing +\\d+ %"));
        QVERIFY2(progress.size() >= 10 && progress.size() <= 11, qPrintable(run.all()));
        QVERIFY(progress.constLast().startsWith("Writing 100 % [####################]"));
        // Then read back and compared.
        const QStringList verifying = lines.filter(QRegularExpression("^Verifying +\\d+ %"));
        QVERIFY2(verifying.size() >= 10 && verifying.size() <= 11, qPrintable(run.all()));
        QVERIFY(lines.contains(QStringLiteral("The board was read back and holds the file.")));
        QVERIFY(lines.contains(QStringLiteral("Retries after damaged answers: 0")));
        // Said once, on standard output: the end box is not repeated.
        QVERIFY2(run.err().isEmpty(), run.err().constData());

        // The window's requests, in the window's order.
        QVERIFY(waitForClose());
        const bool refresh = QTest::currentDataTag() == QLatin1String("0x2345");
        const QString configs =
            refresh ? "StartFlash=0 StartProgr=4096 SizeFlash=64 SizeProgr=60 MaxErase=1024 "
                      "Padding=255 IdPosition=1"
                    : "StartFlash=0 StartProgr=2048 SizeFlash=64 SizeProgr=62 MaxErase=-1 "
                      "Padding=255 IdPosition=1";
        QStringList expected{
            "REQUEST/SERIAL/SETUP Com=" + sim.port() +
                " Baud=9600 DataBits=8 Parity=0 StopBits=1 FlowControl=0",
            "REQUEST/SERIAL OPEN",
            "REQUEST/SERIAL/READ/ID  ",
            "REQUEST/BOARD/CONFIGS " + configs,
        };
        if (refresh)
            expected << "REQUEST/SERIAL/REFRESH START";
        expected << "REQUEST/SERIAL/FLASH <file>"
                 << "REQUEST/SERIAL/MD5 " + md5Of(file)
                 << QStringLiteral("REQUEST/BOARD/UPDATE EraseAll=%1").arg(eraseAll ? 1 : 0)
                 << "REQUEST/BOARD/VERIFY  ";
        if (refresh)
            expected << "REQUEST/SERIAL/REFRESH START";
        expected << "REQUEST/BOARD/BOOTOFF  "
                 << "REQUEST/SERIAL CLOSE";
        QCOMPARE(requestTrail(), expected);

        // Exactly one record, with what was done.
        UpdateRecord r;
        QVERIFY(oneMore(before, &r));
        QCOMPARE(r.state, RecordState::Ok);
        QCOMPARE(r.program, QStringLiteral("velmo-flash"));
        QCOMPARE(r.port, sim.port());
        QCOMPARE(r.boardId, QString::fromLatin1(QTest::currentDataTag()));
        QCOMPARE(r.boardName, name);
        QCOMPARE(r.filePath, file);
        QCOMPARE(r.fileSize, QFileInfo(file).size());
        QCOMPARE(r.fileMd5, md5Of(file));
        QCOMPARE(r.erase, eraseAll ? records::EraseMode::All : records::EraseMode::Pages);
        QVERIFY(r.startedAt >= started);
        QVERIFY(r.durationMs() >= 0);
        QVERIFY(r.errorText.isEmpty());
        QCOMPARE(r.verify, records::VerifyResult::Ok);
        QCOMPARE(r.retries, 0);

        // The board holds the file's program.
        m_daemon.reset();
        QVERIFY(sim.stop());
        QFile flash(dump);
        QVERIFY(flash.open(QIODevice::ReadOnly));
        const QByteArray bytes = flash.readAll();
        QCOMPARE(bytes.size(), 64 * 1024);
        const QMap<quint32, quint8> image = hexImage(file);
        QVERIFY(image.size() > 1000);
        for (auto it = image.cbegin(); it != image.cend(); ++it)
            QCOMPARE(quint8(bytes.at(int(it.key()))), it.value());
    }

    void jsonEventsInOrder()
    {
        startDaemon();
        BoardSimProcess sim;
        QVERIFY(sim.start({"--id", "0x1234", "--erase-all-from", "0x800"}));
        const QString file = sampleFirmware("vb1234-sample.hex");
        FlashRun run(onBroker({"--json", "--port", sim.port(), file}));
        QVERIFY(run.finish());
        QVERIFY2(run.status() == 0, qPrintable(run.all()));
        QVERIFY2(run.err().isEmpty(), run.err().constData());
        bool allParse = false;
        const QList<QJsonObject> events = jsonLines(run.out(), &allParse);
        QVERIFY2(allParse, run.out().constData());

        QStringList order;
        QList<int> percents;
        for (const QJsonObject &e : events) {
            const QString name = e.value("event").toString();
            if (name == "progress")
                percents << e.value("percent").toInt();
            if (order.isEmpty() || order.constLast() != name)
                order << name;
        }
        QCOMPARE(order, (QStringList{"daemon", "connected", "board", "image-checked",
                                     "image-accepted", "update", "progress", "verify-start",
                                     "progress", "message", "verify", "result"}));
        QVERIFY(percents.size() > 20);
        const qsizetype restart = percents.indexOf(100) + 1;
        QVERIFY(std::is_sorted(percents.cbegin(), percents.cbegin() + restart));
        QVERIFY(std::is_sorted(percents.cbegin() + restart, percents.cend()));
        QCOMPARE(percents.constLast(), 100);

        const auto first = [&](const QString &name) {
            for (const QJsonObject &e : events) {
                if (e.value("event").toString() == name)
                    return e;
            }
            return QJsonObject();
        };
        QCOMPARE(first("daemon").value("started").toBool(true), false);
        QCOMPARE(first("connected").value("port").toString(), sim.port());
        const QJsonObject board = first("board");
        QCOMPARE(board.value("id").toString(), QStringLiteral("0x1234"));
        QCOMPARE(board.value("name").toString(), QStringLiteral("VB-1234 virtual board"));
        QCOMPARE(board.value("startProgr").toInt(), 2048);
        QCOMPARE(board.value("maxErase").toInt(), -1);
        QCOMPARE(board.value("padding").toInt(), 255);
        QCOMPARE(first("image-checked").value("md5").toString(), md5Of(file));
        QCOMPARE(first("image-checked").value("size").toInteger(), QFileInfo(file).size());
        QCOMPARE(first("update").value("erase").toString(), QStringLiteral("all"));
        QCOMPARE(first("update").value("blocks").toInt(), 62 * 1024 / 64);
        const QJsonObject last = events.constLast();
        QCOMPARE(last.value("ok").toBool(), true);
        QCOMPARE(last.value("status").toInt(-1), 0);
        QCOMPARE(last.value("reason").toString(), QStringLiteral("ok"));
        QCOMPARE(last.value("verify").toString(), QStringLiteral("ok"));
        QCOMPARE(last.value("retries").toInt(-1), 0);
        QCOMPARE(last.value("blocks").toInt(), 992);
        QCOMPARE(last.value("board").toString(), QStringLiteral("0x1234"));
        QCOMPARE(first("verify").value("result").toString(), QStringLiteral("ok"));
        const QJsonObject box = first("message");
        QCOMPARE(box.value("title").toString(), QStringLiteral("Flashing"));
        QVERIFY(box.value("text").toString().startsWith(
            QStringLiteral("Update completed successfully. The board was read back")));
        for (const char *phase : {"write", "verify"}) {
            QJsonObject lastOfPhase;
            for (const QJsonObject &e : events)
                if (e.value("event").toString() == "progress" &&
                    e.value("phase").toString() == phase)
                    lastOfPhase = e;
            QCOMPARE(lastOfPhase.value("percent").toInt(), 100);
            QCOMPARE(lastOfPhase.value("blocks").toInt(), 992);
        }
    }

    // A vendor file with EEPROM data and configuration words beside the
    // program: flashed, with what was not written told and recorded.
    void dataOutsideTheFlashIsNoted()
    {
        startDaemon();
        const QString dump = m_tmp.filePath(QStringLiteral("merged.bin"));
        BoardSimProcess sim;
        QVERIFY(sim.start({"--id", "0x1234", "--erase-all-from", "0x800", "--dump", dump}));
        const QString file = corpusFile("ih-merged.hex");
        const QList<UpdateRecord> before = allRecords();
        FlashRun run(onBroker({"--json", "--port", sim.port(), file}));
        QVERIFY(run.finish());
        QVERIFY2(run.status() == 0, qPrintable(run.all()));
        QJsonObject checked;
        for (const QJsonObject &e : run.events())
            if (e.value("event").toString() == "image-checked")
                checked = e;
        const QJsonObject outside = checked.value("outsideFlash").toObject();
        QCOMPARE(outside.value("bytes").toInt(), 30);
        QCOMPARE(outside.value("rangeCount").toInt(), 2);
        QCOMPARE(outside.value("ranges").toArray().at(1).toArray().at(0).toInteger(), 0xF00000);
        const QStringList notes{"14 bytes at 0x300000\u20130x30000D lie outside this board's "
                                "flash and are not written",
                                "16 bytes at 0xF00000\u20130xF0000F lie outside this board's "
                                "flash and are not written"};
        QCOMPARE(checked.value("notes").toVariant().toStringList(), notes);
        QCOMPARE(checked.value("programBytes").toInt(), 3000);

        UpdateRecord r;
        QVERIFY(oneMore(before, &r));
        QCOMPARE(r.state, RecordState::Ok);
        QCOMPARE(r.fileNotes, notes.join('\n'));
        m_daemon.reset();
        QVERIFY(sim.stop());
        QFile flash(dump);
        QVERIFY(flash.open(QIODevice::ReadOnly));
        QFile expected(corpusFile("expect-code-ih.bin"));
        QVERIFY(expected.open(QIODevice::ReadOnly));
        QCOMPARE(flash.readAll().mid(0x800, 6 * 1024), expected.readAll());
    }

    void exitStatuses_data()
    {
        QTest::addColumn<QStringList>("board"); // empty: no board
        QTest::addColumn<QString>("port");      // "<board>", "<none>" or a path
        QTest::addColumn<bool>("broker");       // false: nothing listens
        QTest::addColumn<QStringList>("args");  // "<file>" is the firmware below
        QTest::addColumn<QString>("firmware");  // a sample, "<damaged>" or a path
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("says");
        QTest::addColumn<bool>("closes"); // the port was opened and must be closed
        QTest::addColumn<bool>("records");

        const QStringList vb1234{"--id", "0x1234", "--erase-all-from", "0x800"};
        const QStringList file{"<file>"};
        QTest::newRow("bad usage")
            << QStringList() << "<board>" << true
            << QStringList{"--erase-all", "--page-erase", "<file>"} << "vb1234-sample.hex" << 2
            << "exclude each other" << false << false;
        QTest::newRow("no port chosen")
            << QStringList() << "<none>" << true << file << "vb1234-sample.hex" << 2
            << "No serial port chosen" << false << false;
        QTest::newRow("no broker")
            << QStringList() << "/dev/ttyS9" << false << file << "vb1234-sample.hex" << 3
            << "No MQTT broker answers at" << false << false;
        QTest::newRow("port cannot be opened")
            << QStringList() << "/nonexistent/ttyVB9" << true << file << "vb1234-sample.hex" << 5
            << "The port /nonexistent/ttyVB9 cannot be opened: " << false << false;
        QTest::newRow("silent board")
            << QStringList{"--silent"} << "<board>" << true << file << "vb1234-sample.hex" << 6
            << "did not tell its identifier" << true << false;
        QTest::newRow("missing configuration")
            << QStringList{"--id", "0x3456"} << "<board>" << true << file << "vb1234-sample.hex"
            << 7
            << "There is no configuration file for board 0x3456 (../configs/config-id-0x3456.ini)"
            << true << false;
        QTest::newRow("foreign file")
            << vb1234 << "<board>" << true << file << "vb2345-sample.hex" << 8
            << "vb2345-sample.hex is refused: made for board 0x2345, connected board is 0x1234"
            << true << false;
        QTest::newRow("damaged file")
            << vb1234 << "<board>" << true << file << "<damaged>" << 8
            << "damaged.hex is refused: line 3: wrong record checksum" << true << false;
        QTest::newRow("cut-off file")
            << vb1234 << "<board>" << true << file << corpusFile("cut-off.hex") << 8
            << "cut-off.hex is refused: line 189: the file ends without an end-of-file record: "
               "it may be cut off"
            << true << false;
        QTest::newRow("unreadable file")
            << QStringList() << "/dev/ttyS9" << true << file << "/nonexistent/vb.hex" << 8
            << "Cannot read /nonexistent/vb.hex" << false << false;
        QTest::newRow("stopped acknowledgements")
            << vb1234 + QStringList{"--stop-ack-after", "20"} << "<board>" << true << file
            << "vb1234-sample.hex" << 9
            << "Writing block 21 of 992 at 0x000D00: the board did not answer within" << true
            << true;
        // The board would erase only its first page and be written over
        // old data everywhere else.
        QTest::newRow("page erase on a board that erases all at once")
            << vb1234 << "<board>" << true << QStringList{"--page-erase", "<file>"}
            << "vb1234-sample.hex" << 2 << "erases all at once" << true << false;
        QTest::newRow("read-back finds a difference")
            << vb1234 + QStringList{"--flip-bit", "0x1000"} << "<board>" << true << file
            << "vb1234-sample.hex" << 9
            << "the board differs from the file from 0x001000 on; 1 of 992 blocks differ" << true
            << true;
    }
    void exitStatuses()
    {
        QFETCH(QStringList, board);
        QFETCH(QString, port);
        QFETCH(bool, broker);
        QFETCH(QStringList, args);
        QFETCH(QString, firmware);
        QFETCH(int, status);
        QFETCH(QString, says);
        QFETCH(bool, closes);
        QFETCH(bool, records);
        startDaemon();
        BoardSimProcess sim;
        if (!board.isEmpty()) {
            QVERIFY(sim.start(board));
            if (port == "<board>")
                port = sim.port();
        }
        if (firmware == "<damaged>") {
            // The third line's checksum is off by one.
            QByteArray good = hexbuilder::dataRecord(0x0800, QByteArray(16, '\x5a'));
            good.chop(2);
            const QByteArray text =
                hexbuilder::file({hexbuilder::idLine(0x1234), hexbuilder::linearBase(0),
                                  good + "00", hexbuilder::endOfFile()});
            firmware = m_tmp.filePath("damaged.hex");
            QFile out(firmware);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(text);
        } else if (!firmware.startsWith('/')) {
            firmware = sampleFirmware(firmware);
        }
        args.replaceInStrings("<file>", firmware);
        if (port != "<none>")
            args = QStringList{"--port", port} + args;
        args = broker ? onBroker(args)
                      : QStringList{"--broker",
                                    QStringLiteral("127.0.0.1:%1").arg(TestBroker::freePort())} +
                            args;
        const QList<UpdateRecord> before = allRecords();

        FlashRun run(args);
        QVERIFY(run.finish());
        QVERIFY2(run.status() == status, qPrintable(run.all()));
        // Told once, in velmo-flash's words: not again in the window's box
        // with advice for its buttons.
        QVERIFY2(QString::fromUtf8(run.err()).count(says) == 1, qPrintable(run.all()));
        QVERIFY2(!run.err().contains("Update again"), qPrintable(run.all()));
        if (status != 2 || port == "<none>" ||
            QTest::currentDataTag() ==
                QLatin1String("page erase on a board that erases all at once"))
            QVERIFY2(run.out().endsWith(QStringLiteral("(exit status %1).\n").arg(status).toUtf8()),
                     qPrintable(run.all()));

        if (closes) {
            QVERIFY2(waitForClose(), qPrintable(requestTrail().join('\n')));
        } else {
            QTest::qWait(200);
            QVERIFY(!m_requests->payloadsOf(protocol::request::kSerial).contains("CLOSE"));
        }
        // A file refused here never reaches the daemon.
        if (status == 8)
            QVERIFY(m_requests->payloadsOf(protocol::request::kFlash).isEmpty());
        const QList<UpdateRecord> after = allRecords();
        QCOMPARE(after.size(), before.size() + (records ? 1 : 0));
        if (records) {
            QCOMPARE(after.constFirst().state, RecordState::Failed);
            QCOMPARE(after.constFirst().program, QStringLiteral("velmo-flash"));
        }
    }

    // A board that cannot be read back, reading back turned off, and a
    // line that damages every 50th answer: all three end well, and say how.
    void endsWellWithoutAFullCheck_data()
    {
        QTest::addColumn<QStringList>("board");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says");
        QTest::addColumn<int>("verify");
        const QStringList vb1234{"--id", "0x1234", "--erase-all-from", "0x800"};
        QTest::newRow("reads answered with one byte")
            << vb1234 + QStringList{"--read-one-byte"} << QStringList()
            << "This board cannot be read back; not verified."
            << int(records::VerifyResult::Unsupported);
        QTest::newRow("--no-verify") << vb1234 << QStringList{"--no-verify"}
                                     << "Not verified: reading back after writing is turned off."
                                     << int(records::VerifyResult::Off);
        QTest::newRow("every 50th answer damaged")
            << vb1234 + QStringList{"--corrupt-every", "50"} << QStringList()
            << "The board was read back and holds the file." << int(records::VerifyResult::Ok);
    }
    void endsWellWithoutAFullCheck()
    {
        QFETCH(QStringList, board);
        QFETCH(QStringList, args);
        QFETCH(QString, says);
        QFETCH(int, verify);
        startDaemon();
        BoardSimProcess sim;
        QVERIFY(sim.start(board));
        const QList<UpdateRecord> before = allRecords();
        FlashRun run(onBroker(QStringList{"--port", sim.port()} + args +
                              QStringList{sampleFirmware(QStringLiteral("vb1234-sample.hex"))}));
        QVERIFY(run.finish());
        QVERIFY2(run.status() == 0, qPrintable(run.all()));
        const QStringList lines = QString::fromUtf8(run.out()).split('\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.contains(says), qPrintable(run.all()));
        UpdateRecord r;
        QVERIFY(oneMore(before, &r));
        QCOMPARE(r.state, RecordState::Ok);
        QCOMPARE(int(r.verify), verify);
        if (board.contains("--corrupt-every")) {
            // Every damaged answer of the writes was sent again.
            QVERIFY(r.retries >= 992 / 50);
            QVERIFY2(
                lines.contains(QStringLiteral("Retries after damaged answers: %1").arg(r.retries)),
                qPrintable(run.all()));
        } else {
            QCOMPARE(r.retries, 0);
        }
        QCOMPARE(m_requests->payloadsOf(protocol::request::kVerify).size(),
                 args.contains("--no-verify") ? 0 : 1);
    }

    // The service tool's window holds this key while it runs.
    void busyWhileAnotherFrontEndRuns()
    {
        InstanceGuard window{QString(protocol::kFrontEndInstanceKey)};
        QVERIFY(window.tryAcquire());
        FlashRun run(onBroker({"--info", "--port", "/dev/ttyS9"}));
        QVERIFY(run.finish());
        QVERIFY2(run.status() == 10, qPrintable(run.all()));
        QVERIFY(run.err().contains("is using the serial daemon"));
        QVERIFY(m_requests->payloadsOf(protocol::request::kSerial).isEmpty());
    }

    void ctrlCStopsTheUpdate()
    {
        startDaemon();
        BoardSimProcess sim;
        QVERIFY(sim.start(
            {"--id", "0x1234", "--erase-all-from", "0x800", "--pace", "--write-ms", "15"}));
        const QList<UpdateRecord> before = allRecords();
        FlashRun run(onBroker({"--port", sim.port(), sampleFirmware("vb1234-sample.hex")}));
        QVERIFY2(run.waitForOutput("Writing  10 %"), qPrintable(run.all()));
        run.signal(SIGINT);
        QVERIFY(run.finish());
        QVERIFY2(run.status() == 130, qPrintable(run.all()));
        const QString err = QString::fromUtf8(run.err());
        QVERIFY2(err.contains("Interrupted during the update: the serial daemon was asked to "
                              "stop. The board is left without a complete firmware"),
                 qPrintable(run.all()));
        QVERIFY2(err.contains("The serial daemon stopped the update."), qPrintable(run.all()));
        QVERIFY(run.out().endsWith("Result: interrupted (exit status 130).\n"));

        QVERIFY(waitForClose());
        QVERIFY(m_requests->payloadsOf(protocol::request::kBootOff).isEmpty());
        UpdateRecord r;
        QVERIFY(oneMore(before, &r));
        QCOMPARE(r.state, RecordState::AbortedByClosing);
    }

    // Nobody confirms the stop: the second Ctrl+C does not wait for it.
    void secondCtrlCQuitsAtOnce()
    {
        startDaemon();
        BoardSimProcess sim;
        QVERIFY(sim.start(
            {"--id", "0x1234", "--erase-all-from", "0x800", "--pace", "--write-ms", "15"}));
        const QList<UpdateRecord> before = allRecords();
        // Full time-outs: the wait for the daemon's stop would take 13 s.
        FlashRun run(
            onBroker({"--json", "--port", sim.port(), sampleFirmware("vb1234-sample.hex")}),
            QStringLiteral("1"));
        QVERIFY2(run.waitForProgress(3), qPrintable(run.all()));
        m_daemon.reset();
        run.signal(SIGINT);
        QVERIFY(run.waitForOutput("\"event\":\"interrupted\""));
        run.signal(SIGINT);
        // Well before the 13 s the stop would take, even on a busy machine.
        QVERIFY(run.finish(10000));
        QCOMPARE(run.status(), 130);
        const QJsonObject interrupted = [&] {
            for (const QJsonObject &e : run.events()) {
                if (e.value("event").toString() == "interrupted")
                    return e;
            }
            return QJsonObject();
        }();
        QCOMPARE(interrupted.value("signal").toInt(), SIGINT);
        QCOMPARE(interrupted.value("updating").toBool(), true);
        UpdateRecord r;
        QVERIFY(oneMore(before, &r));
        QCOMPARE(r.state, RecordState::AbortedByClosing);
    }

    // Outside an update there is nothing to lose: close the port and go.
    void ctrlCBeforeTheUpdateClosesThePort()
    {
        startDaemon();
        BoardSimProcess sim;
        QVERIFY(sim.start({"--silent"}));
        const QList<UpdateRecord> before = allRecords();
        // Full time-outs: the identifier is still awaited when Ctrl+C comes.
        FlashRun run(onBroker({"--port", sim.port(), sampleFirmware("vb1234-sample.hex")}),
                     QStringLiteral("1"));
        QVERIFY2(run.waitForOutput("Port " + sim.port().toUtf8() + " open."),
                 qPrintable(run.all()));
        run.signal(SIGINT);
        QVERIFY(run.finish(5000));
        QCOMPARE(run.status(), 130);
        QVERIFY(run.err().contains("velmo-flash: Interrupted."));
        QVERIFY(waitForClose());
        QCOMPARE(allRecords().size(), before.size());
    }

    // The daemon goes away in the middle: velmo-flash does not wait forever.
    void silentDaemonDuringTheUpdate()
    {
        startDaemon();
        BoardSimProcess sim;
        QVERIFY(sim.start(
            {"--id", "0x1234", "--erase-all-from", "0x800", "--pace", "--write-ms", "15"}));
        const QList<UpdateRecord> before = allRecords();
        FlashRun run(
            onBroker({"--json", "--port", sim.port(), sampleFirmware("vb1234-sample.hex")}),
            QStringLiteral("0.1"));
        QVERIFY2(run.waitForProgress(2), qPrintable(run.all()));
        m_daemon.reset();
        QVERIFY(run.finish(30000));
        QVERIFY2(run.status() == 9, qPrintable(run.all()));
        const QJsonObject result = run.events().constLast();
        QCOMPARE(result.value("reason").toString(), QStringLiteral("update-failed"));
        const QString text = result.value("text").toString();
        QVERIFY2(text.contains("The serial daemon stopped answering during the update."),
                 qPrintable(run.all()));
        QVERIFY2(text.contains("left without a complete firmware"), qPrintable(run.all()));
        UpdateRecord r;
        QVERIFY(oneMore(before, &r));
        QCOMPARE(r.state, RecordState::DaemonLost);
        QVERIFY2(r.errorText.contains("stopped answering"), qPrintable(r.errorText));
    }

    // --retries: after a failed update, whole new ones, each recorded; the
    // one that works ends the run well.
    void retriesMakeWholeNewUpdates()
    {
        startDaemon();
        BoardSimProcess sim;
        QVERIFY(sim.start({"--id", "0x1234", "--erase-all-from", "0x800", "--pace"}));
        QList<UpdateRecord> before = allRecords();
        FlashRun run(onBroker({"--json", "--retries", "1", "--port", sim.port(),
                               sampleFirmware("vb1234-sample.hex")}),
                     QStringLiteral("0.1"));
        QVERIFY2(run.waitForProgress(2), qPrintable(run.all()));
        m_daemon.reset();
        QVERIFY2(run.waitForOutput("\"event\":\"retry\""), qPrintable(run.all()));
        startDaemon(); // back before the new update asks for it
        QVERIFY(run.finish());
        QVERIFY2(run.status() == 0, qPrintable(run.all()));
        const QJsonObject result = run.events().constLast();
        QCOMPARE(result.value("attempts").toInt(), 2);
        QList<UpdateRecord> after = allRecords();
        QCOMPARE(after.size(), before.size() + 2);
        QCOMPARE(after.at(0).state, RecordState::Ok);
        QCOMPARE(after.at(1).state, RecordState::DaemonLost);

        // A board that never gets through: every try is recorded, and the
        // last failure is the answer.
        BoardSimProcess stuck;
        QVERIFY(
            stuck.start({"--id", "0x1234", "--erase-all-from", "0x800", "--stop-ack-after", "20"}));
        before = allRecords();
        FlashRun failing(onBroker({"--json", "--retries", "2", "--port", stuck.port(),
                                   sampleFirmware("vb1234-sample.hex")}));
        QVERIFY(failing.finish());
        QVERIFY2(failing.status() == 9, qPrintable(failing.all()));
        int retries = 0;
        for (const QJsonObject &e : failing.events())
            if (e.value("event").toString() == QLatin1String("retry")) {
                ++retries;
                QCOMPARE(e.value("attempts").toInt(), 3);
                QCOMPARE(e.value("attempt").toInt(), retries);
                QCOMPARE(e.value("reason").toString(), QStringLiteral("update-failed"));
            }
        QCOMPARE(retries, 2);
        QCOMPARE(failing.events().constLast().value("attempts").toInt(), 3);
        after = allRecords();
        QCOMPARE(after.size(), before.size() + 3);
        for (int i = 0; i < 3; ++i)
            QCOMPARE(after.at(i).state, RecordState::Failed);
    }

    // Killed outright, velmo-flash cannot write its end: the record shows
    // the update as interrupted.
    void killedLeavesAnInterruptedRecord()
    {
        startDaemon();
        BoardSimProcess sim;
        QVERIFY(sim.start(
            {"--id", "0x1234", "--erase-all-from", "0x800", "--pace", "--write-ms", "15"}));
        const QList<UpdateRecord> before = allRecords();
        FlashRun run(
            onBroker({"--json", "--port", sim.port(), sampleFirmware("vb1234-sample.hex")}));
        QVERIFY2(run.waitForProgress(2), qPrintable(run.all()));
        UpdateRecord r;
        QVERIFY(oneMore(before, &r));
        QCOMPARE(r.state, RecordState::Running);
        run.signal(SIGKILL);
        QVERIFY(run.finish());
        QVERIFY(oneMore(before, &r));
        QCOMPARE(r.state, RecordState::Interrupted);
        QCOMPARE(r.program, QStringLiteral("velmo-flash"));
    }

    // --latest: the newest library file that fits the connected board goes
    // the usual way; with "Only flash signed files" the newest signed one,
    // an unsigned file is refused before sending, and a library without a
    // signed file for the board ends with its own status.
    void latestFromTheLibrary()
    {
        startDaemon();
        BoardSimProcess sim;
        QVERIFY(sim.start({"--id", "0x1234", "--erase-all-from", "0x800"}));
        const QString library = velmo::dataFolderPath() + QStringLiteral("/Firmware");
        const QString keys = velmo::dataFolderPath() + QStringLiteral("/Keys");
        QVERIFY(QDir().mkpath(library) && QDir().mkpath(keys));
        const auto copy = [](const QString &from, const QString &to, const QDateTime &modified) {
            QFile::remove(to);
            if (!QFile::copy(from, to))
                return false;
            QFile file(to);
            return file.open(QIODevice::ReadWrite) &&
                   (!modified.isValid() ||
                    file.setFileTime(modified, QFileDevice::FileModificationTime));
        };
        const QString signing = QStringLiteral(VELMO_SIGNING_DATA "/");
        const QDateTime now = QDateTime::currentDateTime();
        // Signed, a month old; unsigned, from tomorrow (newer than the
        // shipped samples, which are listed too).
        QVERIFY(copy(sampleFirmware("vb1234-sample.hex"), library + "/vb1234-old.hex",
                     now.addDays(-30)));
        QVERIFY(copy(signing + "vb1234-sample.hex.sig", library + "/vb1234-old.hex.sig", {}));
        QVERIFY(copy(corpusFile("ih-lf.hex"), library + "/vb1234-new.hex", now.addDays(1)));
        QVERIFY(copy(signing + "acme-service.pub", keys + "/acme-service.pub", {}));

        QList<UpdateRecord> before = allRecords();
        // Read back elsewhere: here only which file goes matters.
        FlashRun newest(onBroker({"--latest", "--no-verify", "--json", "--port", sim.port()}));
        QVERIFY(newest.finish());
        QVERIFY2(newest.status() == 0, qPrintable(newest.all()));
        QJsonObject latest;
        QJsonObject checked;
        for (const QJsonObject &e : newest.events()) {
            if (e.value("event").toString() == "latest")
                latest = e;
            if (e.value("event").toString() == "image-checked")
                checked = e;
        }
        QCOMPARE(latest.value("file").toString(), library + "/vb1234-new.hex");
        QCOMPARE(checked.value("file").toString(), library + "/vb1234-new.hex");
        QCOMPARE(checked.value("fromLibrary").toBool(), true);
        QCOMPARE(checked.value("signature").toObject().value("status").toString(),
                 QStringLiteral("unsigned"));
        QVERIFY(waitForClose());
        QCOMPARE(m_requests->payloadsOf(protocol::request::kMd5).constLast(),
                 md5Of(corpusFile("ih-lf.hex")));
        UpdateRecord r;
        QVERIFY(oneMore(before, &r));
        QCOMPARE(r.state, RecordState::Ok);
        QCOMPARE(r.origin.fromLibrary, std::optional<bool>(true));
        QCOMPARE(r.origin.signature, records::SignatureState::Unsigned);

        // Only signed files, as the window's settings store it.
        writePreferences(sim.port(), m_broker.port());
        {
            QSettings prefs(preferencesPath(), QSettings::IniFormat);
            prefs.setValue(QStringLiteral("update/only-signed"), true);
        }
        before = allRecords();
        FlashRun signedOnly({"--latest", "--no-verify"});
        QVERIFY(signedOnly.finish());
        QVERIFY2(signedOnly.status() == 0, qPrintable(signedOnly.all()));
        const QString out = QString::fromUtf8(signedOnly.out());
        QVERIFY2(out.contains("Newest library file for board 0x1234: vb1234-old.hex ("),
                 qPrintable(out));
        QVERIFY(out.contains("signed by acme-service).\n"));
        QVERIFY(out.contains("\nSignature: signed by acme-service (key "));
        QVERIFY(oneMore(before, &r));
        QCOMPARE(r.origin.signer, QStringLiteral("acme-service"));
        QCOMPARE(r.fileMd5, md5Of(sampleFirmware("vb1234-sample.hex")));

        // An unsigned file named on the command line: refused before sending.
        FlashRun unsignedFile({library + "/vb1234-new.hex"});
        QVERIFY(unsignedFile.finish());
        QCOMPARE(unsignedFile.status(), 8);
        QVERIFY2(unsignedFile.err().contains("vb1234-new.hex is refused: the file is not signed; "
                                             "only files signed with a trusted key may be "
                                             "flashed"),
                 qPrintable(unsignedFile.all()));
        QVERIFY(waitForClose());

        // Nothing signed left for the board.
        QVERIFY(QFile::remove(library + "/vb1234-old.hex.sig"));
        FlashRun none({"--latest"});
        QVERIFY(none.finish());
        QCOMPARE(none.status(), 12);
        QVERIFY2(none.err().contains("The firmware library holds no file signed with a trusted "
                                     "key that can be flashed on board 0x1234 (VB-1234 virtual "
                                     "board)."),
                 qPrintable(none.all()));
        QVERIFY(QDir(library).removeRecursively());
        QFile::remove(preferencesPath());
    }

    void infoAndPortList()
    {
        startDaemon();
        BoardSimProcess sim;
        QVERIFY(sim.start({"--id", "0x2345"}));
        FlashRun info(onBroker({"--info", "--port", sim.port()}));
        QVERIFY(info.finish());
        QVERIFY2(info.status() == 0, qPrintable(info.all()));
        QCOMPARE(QString::fromUtf8(info.out()),
                 "Port " + sim.port() +
                     " open.\n"
                     "Board 0x2345: VB-2345 virtual board\n"
                     "Configuration file: ../configs/config-id-0x2345.ini\n"
                     "  flash:        64 KiB from 0x0\n"
                     "  program area: 60 KiB from 0x1000\n"
                     "  erase:        in steps of 1024 bytes\n"
                     "  padding:      0xff\n"
                     "  id position:  1\n"
                     "  refresh:      yes\n");
        QVERIFY(waitForClose());
        QVERIFY(m_requests->payloadsOf(protocol::request::kFlash).isEmpty());
        QVERIFY(m_requests->payloadsOf(protocol::request::kUpdate).isEmpty());

        FlashRun ports(onBroker({"--list-ports", "--json"}));
        QVERIFY(ports.finish());
        QVERIFY2(ports.status() == 0, qPrintable(ports.all()));
        const QList<QJsonObject> events = ports.events();
        QCOMPARE(events.size(), 3);
        QCOMPARE(events.at(0).value("event").toString(), QStringLiteral("daemon"));
        QCOMPARE(events.at(1).value("event").toString(), QStringLiteral("ports"));
        QVERIFY(events.at(1).value("ports").isArray());
        QCOMPARE(events.at(2).value("ok").toBool(), true);
    }

    void historyPrintsTheRecord()
    {
        {
            records::ServiceRecord store;
            QVERIFY(store.openDefault());
            records::UpdateStart start;
            start.program = QStringLiteral("velmo-flash");
            start.port = QStringLiteral("/dev/ttyUSB0");
            start.filePath = QStringLiteral("/data/a, \"b\".hex");
            for (const QString &id : {QStringLiteral("0x1234"), QStringLiteral("0x2345")}) {
                start.boardId = id;
                start.startedAt = QDateTime(QDate(2024, 3, 5), QTime(8, 15));
                const qint64 row = store.beginUpdate(start);
                QVERIFY(row >= 0);
                QVERIFY(store.finishUpdate(row, records::UpdateResult::Ok, QString()));
            }
        }
        records::ServiceRecord store;
        QVERIFY(store.openDefault());

        FlashRun all({"--history"});
        QVERIFY(all.finish());
        QCOMPARE(all.status(), 0);
        QCOMPARE(QString::fromUtf8(all.out()), records::RecordFormat::toText(store.query()));

        FlashRun one({"--history", "--board", "2345", "--until", "2024-03-05", "--csv"});
        QVERIFY(one.finish());
        QCOMPARE(one.status(), 0);
        const QList<UpdateRecord> found = store.query(
            records::RecordFilter::days(QDate(), QDate(2024, 3, 5), QStringLiteral("0x2345")));
        QCOMPARE(found.size(), 1);
        QCOMPARE(one.out(), records::RecordFormat::toCsv(found));

        FlashRun none({"--history", "--since", "2024-03-06", "--until", "2024-03-06"});
        QVERIFY(none.finish());
        QCOMPARE(none.status(), 0);
        QCOMPARE(QString::fromUtf8(none.out()), records::RecordFormat::emptyText() + '\n');

        FlashRun wrong({"--history", "--since", "2024-03-06", "--until", "2024-03-05"});
        QVERIFY(wrong.finish());
        QCOMPARE(wrong.status(), 2);
        QVERIFY(wrong.out().isEmpty());

        // A listing that never reached its file is no success.
        QProcess full;
        full.setStandardOutputFile(QStringLiteral("/dev/full"));
        full.setWorkingDirectory(stageDir() + QStringLiteral("/bin"));
        full.start(stageDir() + QStringLiteral("/bin/velmo-flash"), {"--history", "--csv"});
        QVERIFY(full.waitForFinished(kRunTimeoutMs));
        QCOMPARE(full.exitCode(), 11);
        QVERIFY(full.readAllStandardError().contains("cannot write the output"));
    }

    // The texts follow the translation in the working directory, as the
    // window's do.
    void italianTexts()
    {
        QTemporaryDir work;
        QVERIFY(QFile::copy(stageDir() + "/translations/velmofrontend_it.qm",
                            work.filePath("velmofrontend_it.qm")));
        FlashRun run({"--list-ports", "--broker",
                      QStringLiteral("127.0.0.1:%1").arg(TestBroker::freePort())},
                     kScale, work.path(), {"LC_ALL=it_IT.UTF-8"});
        QVERIFY(run.finish());
        QCOMPARE(run.status(), 3);
        QVERIFY2(run.out().endsWith("Risultato: nessun broker MQTT (stato di uscita 3).\n"),
                 qPrintable(run.all()));
    }

    // As the window does: a daemon that does not hold its key is started
    // from the working directory, and velmo-flash waits for its answer.
    void startsAnAbsentDaemon()
    {
        m_daemonKey.reset();
        QTemporaryDir work;
        QVERIFY(QDir(work.path()).mkdir("bin"));
        const QString bin = work.filePath("bin");
        const auto script = [&](const QByteArray &body) {
            QFile file(bin + "/velmo-serial");
            file.remove();
            if (!file.open(QIODevice::WriteOnly))
                return false;
            file.write("#!/bin/sh\n" + body);
            file.close();
            return file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        };

        // One that never answers: "no daemon answer".
        QVERIFY(script("echo started >> \"$PWD/daemon-started\"\n"));
        FlashRun silent(onBroker({"--list-ports"}), kScale, bin);
        QVERIFY(silent.finish());
        QVERIFY2(silent.status() == 4, qPrintable(silent.all()));
        QVERIFY2(silent.err().contains("The serial daemon started from ./velmo-serial did not "
                                       "answer within"),
                 qPrintable(silent.all()));
        QFile marker(bin + "/daemon-started");
        QVERIFY(marker.open(QIODevice::ReadOnly));
        QCOMPARE(marker.readAll(), QByteArray("started\n"));

        // The real one, on the broker port it always uses.
        TestBroker fixed;
        QVERIFY2(fixed.start(TestBroker::kFixedPort), qPrintable(fixed.errorString()));
        QVERIFY(script("echo $$ > \"$PWD/daemon.pid\"\nexec '" + stageDir().toUtf8() +
                       "/bin/velmo-serial'\n"));
        FlashRun real({"--list-ports", "--json", "--broker", "127.0.0.1"}, kScale, bin);
        QVERIFY(real.finish());
        QFile pidFile(bin + "/daemon.pid");
        if (pidFile.open(QIODevice::ReadOnly))
            m_startedDaemon = pidFile.readAll().trimmed().toLongLong();
        QVERIFY2(real.status() == 0, qPrintable(real.all()));
        QVERIFY(m_startedDaemon > 0);
        QCOMPARE(real.events().constFirst().value("event").toString(), QStringLiteral("daemon"));
        QCOMPARE(real.events().constFirst().value("started").toBool(), true);
        // It outlives velmo-flash, as it outlives the window.
        QVERIFY(::kill(pid_t(m_startedDaemon), 0) == 0);
        QCOMPARE(::kill(pid_t(std::exchange(m_startedDaemon, 0)), SIGTERM), 0);
    }
};

QTEST_GUILESS_MAIN(TstVelmoFlash)
#include "tst_velmoflash.moc"
