// Runs the velmo-board-sim executable and talks to it through its
// pseudo-terminal as the daemon would.
#include "protocol/bootframe.h"
#include "tests/support/boardsimprocess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int kStartTimeoutMs = 10000;
constexpr int kAnswerTimeoutMs = 3000;
// Long enough for an answer at 9600 to have arrived, were one coming.
constexpr int kSilenceMs = 300;

const QByteArray kReadIdFrame = bootframe::encode(bootframe::readIdCommand());

bool openLine(QSerialPort &serial, const QString &name, qint32 baud)
{
    serial.setPortName(name);
    serial.setBaudRate(baud);
    return serial.open(QIODevice::ReadWrite);
}

QByteArray readBytes(QSerialPort &serial, int count, int timeoutMs = kAnswerTimeoutMs)
{
    QByteArray data = serial.readAll();
    QElapsedTimer timer;
    timer.start();
    while (data.size() < count && timer.elapsed() < timeoutMs) {
        if (serial.waitForReadyRead(50))
            data += serial.readAll();
    }
    return data;
}

QByteArray request(QSerialPort &serial, const QByteArray &frame, int answerBytes,
                   int timeoutMs = kAnswerTimeoutMs)
{
    serial.write(frame);
    serial.waitForBytesWritten(kAnswerTimeoutMs);
    return readBytes(serial, answerBytes, timeoutMs);
}

// Sends and expects no answer at all.
bool unanswered(QSerialPort &serial, const QByteArray &frame)
{
    return request(serial, frame, 1, kSilenceMs).isEmpty();
}

QByteArray idAnswer(quint16 id)
{
    QByteArray command("\x00\x02", 2);
    command.append(static_cast<char>(id & 0xFF));
    command.append(static_cast<char>(id >> 8));
    return bootframe::encodeUnescaped(command);
}

const QByteArray kWriteAck = bootframe::encodeUnescaped(QByteArray(1, '\x02'));
} // namespace

class TstBoardSimPty : public QObject
{
    Q_OBJECT

private slots:
    void answersAcrossReopenAndDumpsOnExit()
    {
        QTemporaryDir dir;
        const QString dump = dir.filePath(QStringLiteral("flash.bin"));
        BoardSimProcess sim;
        QVERIFY2(sim.start({"--id", "0x4321", "--flash-kib", "8", "--dump", dump}),
                 qPrintable(sim.errorString()));

        QSerialPort serial;
        QVERIFY2(openLine(serial, sim.port(), 9600), qPrintable(serial.errorString()));
        QCOMPARE(request(serial, kReadIdFrame, 8), idAnswer(0x4321));

        const QByteArray block(bootframe::kBlockBytes, '\x5A');
        QCOMPARE(request(serial, bootframe::encode(bootframe::writeFlashCommand(0x800, block)), 5),
                 kWriteAck);

        // The daemon closes and re-opens its port on every speed change.
        serial.close();
        QTest::qWait(50);
        QVERIFY2(openLine(serial, sim.port(), 9600), qPrintable(serial.errorString()));
        QCOMPARE(request(serial, kReadIdFrame, 8), idAnswer(0x4321));
        serial.close();

        QCOMPARE(sim.stats().value(QStringLiteral("writes")), 1);
        QVERIFY(sim.stop());
        QByteArray expected(8 * 1024, '\xFF');
        expected.replace(0x800, block.size(), block);
        QFile file(dump);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), expected);
    }

    void followsTheSpeedSetOnTheLine()
    {
        BoardSimProcess sim;
        QVERIFY2(sim.start({}), qPrintable(sim.errorString()));
        QSerialPort serial;
        QVERIFY(openLine(serial, sim.port(), 115200));
        QVERIFY(unanswered(serial, kReadIdFrame));

        QVERIFY(serial.setBaudRate(9600));
        QCOMPARE(request(serial, kReadIdFrame, 8), idAnswer(0x1234));

        // Raise the board, then the port, as the daemon's baudHigh does.
        serial.write(bootframe::encode(bootframe::singleByteCommand(bootframe::Command::BaudHigh)));
        QVERIFY(serial.waitForBytesWritten(kAnswerTimeoutMs));
        QTest::qWait(20);
        QVERIFY(readBytes(serial, 1, kSilenceMs).isEmpty());
        QVERIFY(unanswered(serial, kReadIdFrame));
        QVERIFY(serial.setBaudRate(115200));
        QCOMPARE(request(serial, kReadIdFrame, 8), idAnswer(0x1234));
        QVERIFY(sim.stop());
    }

    void startHighBoardAnswersOnlyAtHighSpeed()
    {
        BoardSimProcess sim;
        QVERIFY2(sim.start({"--start-high"}), qPrintable(sim.errorString()));
        QSerialPort serial;
        QVERIFY(openLine(serial, sim.port(), 9600));
        QVERIFY(unanswered(serial, kReadIdFrame));
        QVERIFY(serial.setBaudRate(115200));
        QCOMPARE(request(serial, kReadIdFrame, 8), idAnswer(0x1234));
        QVERIFY(sim.stop());
    }

    void pacedAnswerWaitsForWireAndOperation()
    {
        QTemporaryDir dir;
        const QString dump = dir.filePath(QStringLiteral("flash.bin"));
        BoardSimProcess sim;
        QVERIFY2(sim.start({"--pace", "--write-ms", "80", "--flash-kib", "4", "--dump", dump}),
                 qPrintable(sim.errorString()));
        QSerialPort serial;
        QVERIFY(openLine(serial, sim.port(), 9600));

        const QByteArray frame =
            bootframe::encode(bootframe::writeFlashCommand(0, QByteArray(64, '\x11')));
        QElapsedTimer timer;
        timer.start();
        QCOMPARE(request(serial, frame, 5), kWriteAck);
        // Request and ack on the wire at 9600, plus the programming time.
        const qint64 minimumMs = (frame.size() + kWriteAck.size()) * 10 * 1000 / 9600 + 80;
        QVERIFY2(timer.elapsed() >= minimumMs,
                 qPrintable(QStringLiteral("%1 ms < %2 ms").arg(timer.elapsed()).arg(minimumMs)));

        // A dump on request, while the board keeps running.
        QVERIFY(sim.stats().contains(QStringLiteral("writes")));
        QFile file(dump);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(65), QByteArray(64, '\x11') + '\xFF');
        QCOMPARE(request(serial, kReadIdFrame, 8), idAnswer(0x1234));
        QVERIFY(sim.stop());
    }

    void hangupTakesTheLineAway()
    {
        BoardSimProcess sim;
        QVERIFY2(sim.start({"--hangup-after", "1"}), qPrintable(sim.errorString()));
        QSerialPort serial;
        QVERIFY(openLine(serial, sim.port(), 9600));
        const QByteArray block(bootframe::kBlockBytes, '\0');
        QCOMPARE(request(serial, bootframe::encode(bootframe::writeFlashCommand(0, block)), 5),
                 kWriteAck);
        QSignalSpy errors(&serial, &QSerialPort::errorOccurred);
        serial.write(bootframe::encode(bootframe::writeFlashCommand(64, block)));
        // A hung-up pty reads as end of file, which QSerialPort reports as
        // a read error.
        QTRY_VERIFY_WITH_TIMEOUT(!errors.isEmpty(), kAnswerTimeoutMs);
        QVERIFY(serial.error() == QSerialPort::ReadError ||
                serial.error() == QSerialPort::ResourceError);
        serial.close();
        // The program keeps running for its dump until it is stopped.
        QVERIFY(sim.isRunning());
        QVERIFY(sim.stop());
    }

    void powerCycleBringsBackTheBootLoader()
    {
        BoardSimProcess sim;
        QVERIFY2(sim.start({"--app-after-bootoff"}), qPrintable(sim.errorString()));
        QSerialPort serial;
        QVERIFY(openLine(serial, sim.port(), 9600));
        QVERIFY(unanswered(
            serial, bootframe::encode(bootframe::singleByteCommand(bootframe::Command::BootOff))));
        QVERIFY(unanswered(serial, kReadIdFrame));
        sim.powerCycle();
        QTRY_COMPARE_WITH_TIMEOUT(request(serial, kReadIdFrame, 8, kSilenceMs), idAnswer(0x1234),
                                  kAnswerTimeoutMs);
        QVERIFY(sim.stop());
    }

    void rejectsBadOptions()
    {
        QProcess process;
        process.start(BoardSimProcess::programPath(), {"--id", "0x12345"});
        QVERIFY(process.waitForFinished(kStartTimeoutMs));
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(process.readAllStandardError().contains("--id"));
        QVERIFY(process.readAllStandardOutput().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstBoardSimPty)
#include "tst_boardsim_pty.moc"
