#include "serial/bootframe.h"
#include "tests/serial/daemonharness.h"
#include "tests/serial/hexbuilder.h"
#include "tests/serial/ptypair.h"
#include "tests/support/boardsimprocess.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>

using namespace hexbuilder;

namespace {
const QString kReadId = QStringLiteral("SERIAL/READ/ID");
const QString kFlash = QStringLiteral("SERIAL/FLASH");
const QString kUpdate = QStringLiteral("SERIAL/BOARD/UPDATE");
const QString kPercent = QStringLiteral("SERIAL/BOARD/UPDATE/PERC");

constexpr int kFlashKiB = 8;
constexpr quint32 kStartProgr = 0x800;
constexpr quint8 kPadding = 0x5A;

QString md5(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

QString configs(int sizeProgrKiB, int maxErase, int idPosition = 1)
{
    return QStringLiteral("StartFlash=0 StartProgr=%1 SizeFlash=%2 SizeProgr=%3 MaxErase=%4 "
                          "Padding=%5 IdPosition=%6")
        .arg(QString::number(kStartProgr), QString::number(kFlashKiB),
             QString::number(sizeProgrKiB), QString::number(maxErase), QString::number(kPadding),
             QString::number(idPosition));
}

// A firmware file for board `boardId` and the image it must leave in the
// programmed area: scattered records with gaps (padding), and records that
// lie outside the flash and must be dropped.
struct Firmware
{
    QByteArray file;
    QByteArray programmed; // expected content from kStartProgr on
};

// A board played by the test on a pseudo-terminal, for what the virtual
// board cannot be asked to do: it answers every write twice, some time after
// the write arrived, and checks that the daemon never has two writes out.
class EchoingBoard : public QObject
{
public:
    static constexpr int kAnswerDelayMs = 15;

    EchoingBoard()
        : notifier(pty.masterFd(), QSocketNotifier::Read)
    {
        connect(&notifier, &QSocketNotifier::activated, this, [this] {
            for (const QByteArray &command : decoder.feed(pty.readMaster(0)))
                handle(command);
        });
    }

    PtyPair pty;
    QSocketNotifier notifier;
    bootframe::EscapedDecoder decoder;
    int writes = 0;
    int unanswered = 0;
    int mostOutstanding = 0;

private:
    void send(const QByteArray &command) { pty.writeMaster(bootframe::encodeUnescaped(command)); }

    void handle(const QByteArray &command)
    {
        switch (quint8(command.at(0))) {
        case 0x00:
            send(QByteArray::fromHex("00023412"));
            break;
        case 0x0B:
            send(QByteArray::fromHex("0B"));
            break;
        case 0x02:
            ++writes;
            mostOutstanding = qMax(mostOutstanding, ++unanswered);
            QTimer::singleShot(kAnswerDelayMs, this, [this] {
                --unanswered;
                pty.writeMaster(bootframe::encodeUnescaped("\x02") +
                                bootframe::encodeUnescaped("\x02"));
            });
            break;
        default:
            break;
        }
    }
};

Firmware firmware(quint16 boardId, int sizeProgrKiB)
{
    Firmware fw;
    fw.programmed = QByteArray(sizeProgrKiB * 1024, char(kPadding));
    QList<QByteArray> lines{idLine(boardId), linearBase(0)};
    for (quint32 address = kStartProgr; address < kStartProgr + quint32(sizeProgrKiB) * 1024;
         address += 48) {
        QByteArray data(address % 96 == 0 ? 16 : 32, '\0');
        for (int i = 0; i < data.size(); ++i)
            data[i] = char((address >> 4) + i * 7);
        // The last record may run past the programmed area; only what lies
        // in it is compared.
        lines << dataRecord(quint16(address), data);
        fw.programmed.replace(address - kStartProgr, data.size(), data);
    }
    fw.programmed.truncate(sizeProgrKiB * 1024);
    lines << linearBase(1) << dataRecord(0x0000, QByteArray(16, '\x11')) << endOfFile();
    fw.file = file(lines);
    return fw;
}
} // namespace

// The boot-loader link and firmware updates against the virtual board.
class BootLinkTest : public QObject
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
        daemon.request(QStringLiteral("REQUEST/SERIAL/SETUP"),
                       QStringLiteral("Com=%1 Baud=9600 DataBits=8 Parity=0 StopBits=1 "
                                      "FlowControl=0")
                           .arg(board.port()));
        daemon.request(QStringLiteral("REQUEST/SERIAL"), QStringLiteral("OPEN"));
        return daemon.waitFor(QStringLiteral("SERIAL/OPEN")) == QLatin1String("OK");
    }

    QString readId(int timeoutMs = 10000)
    {
        daemon.request(QStringLiteral("REQUEST/SERIAL/READ/ID"), QStringLiteral(" "));
        return daemon.waitFor(kReadId, timeoutMs);
    }

    QString sendFirmware(const QByteArray &file, const QString &digest)
    {
        daemon.request(QStringLiteral("REQUEST/SERIAL/FLASH"), QString::fromLatin1(file));
        daemon.request(QStringLiteral("REQUEST/SERIAL/MD5"), digest);
        return daemon.waitFor(kFlash);
    }

    // Open, identify, configure and send a verified image.
    void prepareUpdate(const QStringList &boardOptions, const QString &config, const Firmware &fw)
    {
        QVERIFY(startBoard(boardOptions));
        QVERIFY(openBoard());
        QCOMPARE(readId(), QStringLiteral("0x1234"));
        daemon.request(QStringLiteral("REQUEST/BOARD/CONFIGS"), config);
        QCOMPARE(sendFirmware(fw.file, md5(fw.file)), QStringLiteral("OK"));
    }

    QByteArray boardFlash()
    {
        if (board.stats().isEmpty())
            return {};
        QFile file(dumpPath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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

    void readIdentifier()
    {
        QVERIFY(startBoard({}));
        QVERIFY(openBoard());
        QCOMPARE(readId(), QStringLiteral("0x1234"));
        QCOMPARE(daemon.worker().boardId(), 0x1234);
    }

    // A board left at 115200 baud is found by the fallback after 1 s.
    void readIdentifierFromABoardAtHighSpeed()
    {
        QVERIFY(startBoard({"--start-high", "--id", "0x2345"}));
        QVERIFY(openBoard());
        QCOMPARE(readId(), QStringLiteral("0x2345"));
        QCOMPARE(board.port().isEmpty(), false);
    }

    void readIdentifierOnAFaultyLine_data()
    {
        QTest::addColumn<QStringList>("fault");
        QTest::newRow("stray byte") << QStringList{"--stray-byte"};
        QTest::newRow("double answer") << QStringList{"--double-answer"};
        // Nothing checks: the time-out path runs out and says so.
        QTest::newRow("every answer corrupt") << QStringList{"--corrupt-every", "1"};
    }

    void readIdentifierOnAFaultyLine()
    {
        QFETCH(QStringList, fault);
        QVERIFY(startBoard(fault));
        QVERIFY(openBoard());
        if (fault.contains("--corrupt-every")) {
            QCOMPARE(readId(14000), QStringLiteral("ERROR"));
            QCOMPARE(daemon.worker().boardId(), 0);
        } else {
            QCOMPARE(readId(), QStringLiteral("0x1234"));
        }
    }

    void silentBoardGivesErrorAfterTheRetries()
    {
        QVERIFY(startBoard({"--silent"}));
        QVERIFY(openBoard());
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(readId(20000), QStringLiteral("ERROR"));
        // One request, the fallback and ten retries, one second each.
        QVERIFY2(clock.elapsed() > 10000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(daemon.probe().payloadsOf(kReadId).size(), 1);
    }

    // While the refresh runs, answers only update the stored identifier.
    void refreshReadsSilently()
    {
        QVERIFY(startBoard({"--id", "0x0bee"}));
        QVERIFY(openBoard());
        daemon.request(QStringLiteral("REQUEST/SERIAL/REFRESH"), QStringLiteral("START"));
        QTRY_COMPARE_WITH_TIMEOUT(daemon.worker().boardId(), 0x0bee, 5000);
        QVERIFY(daemon.probe().payloadsOf(kReadId).isEmpty());
        daemon.request(QStringLiteral("REQUEST/SERIAL/REFRESH"), QStringLiteral("STOP"));
        QVERIFY(daemon.sync());
        QVERIFY(!daemon.worker().isRefreshActive());
    }

    void lineSpeedRequests()
    {
        QVERIFY(startBoard({}));
        QVERIFY(openBoard());
        daemon.request(QStringLiteral("REQUEST/SERIAL/BAUD"), QStringLiteral("HIGH"));
        QVERIFY(daemon.sync());
        QCOMPARE(daemon.worker().serialPort().baudRate(), 115200);
        // The board followed: it still answers at the new speed.
        QCOMPARE(readId(), QStringLiteral("0x1234"));
        daemon.request(QStringLiteral("REQUEST/SERIAL/BAUD"), QStringLiteral("LOW"));
        QVERIFY(daemon.sync());
        QCOMPARE(daemon.worker().serialPort().baudRate(), 9600);
        QCOMPARE(readId(), QStringLiteral("0x1234"));
        QCOMPARE(board.stats().value("lost_rx_bytes"), 0);
    }

    void verification()
    {
        QVERIFY(startBoard({}));
        QVERIFY(openBoard());
        QCOMPARE(readId(), QStringLiteral("0x1234"));
        daemon.request(QStringLiteral("REQUEST/BOARD/CONFIGS"), configs(2, -1));
        const Firmware fw = firmware(0x1234, 2);
        const QString digest = md5(fw.file);
        QCOMPARE(sendFirmware(fw.file, digest), QStringLiteral("OK"));
        QVERIFY(daemon.worker().isFileVerified());

        // One digit of the digest differs.
        QString wrong = digest;
        wrong[5] = wrong.at(5) == QLatin1Char('0') ? QLatin1Char('1') : QLatin1Char('0');
        QCOMPARE(sendFirmware(fw.file, wrong), QStringLiteral("ERROR"));
        QVERIFY(!daemon.worker().isFileVerified());

        // Made for another board.
        const Firmware other = firmware(0x2345, 2);
        QCOMPARE(sendFirmware(other.file, md5(other.file)), QStringLiteral("ERROR"));

        // Damaged before it was sent: the digest matches, a record does not.
        QByteArray damaged = fw.file;
        const qsizetype at = damaged.indexOf("\n:", 20) + 12;
        damaged[at] = damaged.at(at) == 'A' ? 'B' : 'A';
        QCOMPARE(sendFirmware(damaged, md5(damaged)), QStringLiteral("ERROR"));
        QByteArray badDigit = fw.file;
        badDigit[badDigit.indexOf("\n:", 20) + 12] = 'g';
        QCOMPARE(sendFirmware(badDigit, md5(badDigit)), QStringLiteral("ERROR"));

        // Two files in a row, one digest: the second file is checked.
        daemon.request(QStringLiteral("REQUEST/SERIAL/FLASH"), QString::fromLatin1(other.file));
        QCOMPARE(sendFirmware(fw.file, digest), QStringLiteral("OK"));

        // No identifier position configured.
        daemon.request(QStringLiteral("REQUEST/BOARD/CONFIGS"), QStringLiteral("IdPosition=-1"));
        QCOMPARE(sendFirmware(fw.file, digest), QStringLiteral("ERROR"));
        QCOMPARE(daemon.probe().payloadsOf(kFlash).size(), 7);
    }

    void update_data()
    {
        QTest::addColumn<QStringList>("boardOptions");
        QTest::addColumn<int>("sizeProgrKiB");
        QTest::addColumn<int>("maxErase");
        QTest::addColumn<int>("eraseAll");
        QTest::newRow("erase all") << QStringList{"--erase-all-from", "0x800"} << 6 << -1 << 1;
        QTest::newRow("page erase") << QStringList{"--page-bytes", "1024"} << 6 << 1024 << 0;
        QTest::newRow("page erase, 512-byte pages")
            << QStringList{"--page-bytes", "512"} << 3 << 512 << 1;
        QTest::newRow("stray bytes")
            << QStringList{"--erase-all-from", "0x800", "--stray-byte"} << 2 << -1 << 1;
        QTest::newRow("double answers")
            << QStringList{"--page-bytes", "1024", "--double-answer"} << 4 << 1024 << 0;
    }

    // The board's flash must end up as the image built from the file; it
    // starts out all 0x00, so a block written without its erase shows.
    void update()
    {
        QFETCH(QStringList, boardOptions);
        QFETCH(int, sizeProgrKiB);
        QFETCH(int, maxErase);
        QFETCH(int, eraseAll);
        QFile preload(dir.filePath(QStringLiteral("zeros.bin")));
        QVERIFY(preload.open(QIODevice::WriteOnly));
        preload.write(QByteArray(kFlashKiB * 1024, '\0'));
        preload.close();
        const Firmware fw = firmware(0x1234, sizeProgrKiB);
        prepareUpdate(boardOptions + QStringList{"--load", preload.fileName()},
                      configs(sizeProgrKiB, maxErase), fw);
        if (QTest::currentTestFailed())
            return;

        daemon.request(QStringLiteral("REQUEST/BOARD/UPDATE"),
                       QStringLiteral("EraseAll=%1").arg(eraseAll));
        QCOMPARE(daemon.waitFor(kUpdate, 60000), QStringLiteral("OK"));
        QCOMPARE(daemon.worker().serialPort().baudRate(), 9600);

        // Each whole percentage reached by the acknowledged blocks, once.
        const int blocks = sizeProgrKiB * 16;
        QStringList expected;
        for (int k = 1; k <= blocks; ++k)
            if (expected.isEmpty() || expected.last() != QString::number(k * 100 / blocks))
                expected << QString::number(k * 100 / blocks);
        QCOMPARE(daemon.probe().payloadsOf(kPercent), expected);

        const QByteArray flash = boardFlash();
        QCOMPARE(flash.size(), kFlashKiB * 1024);
        QVERIFY2(flash.left(kStartProgr) == QByteArray(kStartProgr, '\0'),
                 "the update wrote below the programmed area");
        const QByteArray programmed = flash.mid(kStartProgr, sizeProgrKiB * 1024);
        if (programmed != fw.programmed) {
            qsizetype i = 0;
            while (programmed.at(i) == fw.programmed.at(i))
                ++i;
            QFAIL(qPrintable(QStringLiteral("flash differs at 0x%1").arg(kStartProgr + i, 0, 16)));
        }
        QCOMPARE(board.stats().value("unerased_bytes"), 0);

        // The board answers at 9600 again, and the same image can be
        // programmed once more.
        QCOMPARE(readId(), QStringLiteral("0x1234"));
    }

    void progressOfSixteenBlocks()
    {
        prepareUpdate({}, configs(1, 1024), firmware(0x1234, 1));
        daemon.request(QStringLiteral("REQUEST/BOARD/UPDATE"), QStringLiteral("EraseAll=0"));
        QCOMPARE(daemon.waitFor(kUpdate, 30000), QStringLiteral("OK"));
        QCOMPARE(daemon.probe().payloadsOf(kPercent),
                 (QStringList{"6", "12", "18", "25", "31", "37", "43", "50", "56", "62", "68", "75",
                              "81", "87", "93", "100"}));
    }

    void boardStopsAcknowledging_data()
    {
        QTest::addColumn<QStringList>("fault");
        QTest::newRow("no more acknowledgements") << QStringList{"--stop-ack-after", "3"};
        QTest::newRow("line hung up") << QStringList{"--hangup-after", "3"};
        QTest::newRow("corrupted acknowledgement") << QStringList{"--corrupt-every", "6"};
    }

    void boardStopsAcknowledging()
    {
        QFETCH(QStringList, fault);
        // A corrupted identifier answer would stop the test before the
        // update: give that board a clean start.
        prepareUpdate(fault, configs(2, -1), firmware(0x1234, 2));
        if (QTest::currentTestFailed())
            return;
        QElapsedTimer clock;
        clock.start();
        daemon.request(QStringLiteral("REQUEST/BOARD/UPDATE"), QStringLiteral("EraseAll=1"));
        QCOMPARE(daemon.waitFor(kUpdate, 30000), QStringLiteral("ERROR"));
        QVERIFY(clock.elapsed() > 4000);
        QVERIFY(!daemon.worker().isUpdating());
        QVERIFY(daemon.probe().payloadsOf(kUpdate).size() == 1);
    }

    // Refused before anything is sent: ERROR, and the line stays at 9600.
    void updateThatCannotStart()
    {
        QVERIFY(startBoard({}));
        QVERIFY(openBoard());
        QCOMPARE(readId(), QStringLiteral("0x1234"));
        daemon.request(QStringLiteral("REQUEST/BOARD/CONFIGS"), configs(2, -1));
        daemon.request(QStringLiteral("REQUEST/BOARD/UPDATE"), QStringLiteral("EraseAll=1"));
        QCOMPARE(daemon.waitFor(kUpdate), QStringLiteral("ERROR"));
        QCOMPARE(daemon.worker().serialPort().baudRate(), 9600);

        const Firmware fw = firmware(0x1234, 2);
        QCOMPARE(sendFirmware(fw.file, md5(fw.file)), QStringLiteral("OK"));
        for (const QString &config :
             {QStringLiteral("SizeFlash=0"), QStringLiteral("SizeFlash=8 SizeProgr=0"),
              QStringLiteral("SizeProgr=64")}) {
            daemon.request(QStringLiteral("REQUEST/BOARD/CONFIGS"), config);
            daemon.request(QStringLiteral("REQUEST/BOARD/UPDATE"), QStringLiteral("EraseAll=1"));
            QCOMPARE(daemon.waitFor(kUpdate), QStringLiteral("ERROR"));
            QCOMPARE(daemon.worker().serialPort().baudRate(), 9600);
        }
        // Nothing reached the board but identifier requests.
        const QMap<QString, qint64> stats = board.stats();
        QCOMPARE(stats.value("writes"), 0);
        QCOMPARE(stats.value("frames"), 1);
        QCOMPARE(readId(), QStringLiteral("0x1234"));
    }

    // A repeated acknowledgement must not send the next block before the
    // board has answered the one in flight.
    void oneBlockInFlightDespiteRepeatedAnswers()
    {
        EchoingBoard echo;
        QVERIFY(echo.pty.isOpen());
        daemon.request(QStringLiteral("REQUEST/SERIAL/SETUP"),
                       QStringLiteral("Com=") + echo.pty.slavePath());
        daemon.request(QStringLiteral("REQUEST/SERIAL"), QStringLiteral("OPEN"));
        QCOMPARE(daemon.waitFor(QStringLiteral("SERIAL/OPEN")), QStringLiteral("OK"));
        QCOMPARE(readId(), QStringLiteral("0x1234"));
        daemon.request(QStringLiteral("REQUEST/BOARD/CONFIGS"), configs(1, -1));
        const Firmware fw = firmware(0x1234, 1);
        QCOMPARE(sendFirmware(fw.file, md5(fw.file)), QStringLiteral("OK"));

        daemon.request(QStringLiteral("REQUEST/BOARD/UPDATE"), QStringLiteral("EraseAll=1"));
        QCOMPARE(daemon.waitFor(kUpdate, 30000), QStringLiteral("OK"));
        QCOMPARE(echo.writes, 16);
        QCOMPARE(echo.mostOutstanding, 1);
    }

    void manualWriteWithoutImageSendsNothing()
    {
        QVERIFY(startBoard({}));
        QVERIFY(openBoard());
        daemon.request(QStringLiteral("REQUEST/SERIAL/WRITE"), QStringLiteral("800"));
        daemon.request(QStringLiteral("REQUEST/SERIAL/READ"), QStringLiteral("800"));
        QVERIFY(daemon.sync());
        DaemonHarness::spin(200);
        const QMap<QString, qint64> stats = board.stats();
        QCOMPARE(stats.value("writes"), 0);
        QCOMPARE(stats.value("frames"), 1); // the read
    }
};

QTEST_GUILESS_MAIN(BootLinkTest)
#include "tst_bootlink.moc"
