#include "firmware/imagecheck.h"
#include "protocol/bootframe.h"
#include "protocol/reports.h"
#include "protocol/topics.h"
#include "serial/imagestore.h"
#include "serial/portdetails.h"
#include "tests/firmware/hexbuilder.h"
#include "tests/serial/fakedaemon.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace request = protocol::request;
namespace reply = protocol::reply;
namespace payload = protocol::payload;
using bootframe::Command;

namespace {

boardsim::BoardConfig board(std::function<void(boardsim::BoardConfig &)> tweak = {})
{
    boardsim::BoardConfig c;
    c.id = 0x1234;
    // Starts out all 0x00, so a block written without its erase shows.
    c.flashBytes = 64 * 1024;
    if (tweak)
        tweak(c);
    return c;
}

QStringList percentagesFor(int blocks)
{
    QStringList expected;
    for (int k = 1; k <= blocks; ++k)
        if (expected.isEmpty() || expected.last() != QString::number(k * 100 / blocks))
            expected << QString::number(k * 100 / blocks);
    return expected;
}

QList<quint32> addresses(const QList<QByteArray> &commands)
{
    QList<quint32> out;
    for (const QByteArray &c : commands)
        out << boardsim::commandAddress(c, 2);
    return out;
}

// Collects the daemon's log lines for the checks of what it says.
QStringList *g_log = nullptr;
void collect(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (g_log)
        g_log->append(message);
}

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

// For tests where every time-out is expected: a slow answer changes
// nothing there, so the times can be cut further.
serialdaemon::Timings expiringTimings()
{
    serialdaemon::Timings t = FakeDaemon::fastTimings();
    t.idTimeoutMs = 20;
    t.firstWriteTimeoutMs = 150;
    t.nextWriteTimeoutMs = 100;
    return t;
}

// The reason published last on `topic`.
protocol::FailureReason lastReason(const FakeDaemon &d, QLatin1StringView topic)
{
    const QStringList payloads = d.payloadsOf(topic);
    return payloads.isEmpty() ? protocol::FailureReason{}
                              : protocol::parseFailureReason(payloads.constLast())
                                    .value_or(protocol::FailureReason{});
}

// Topics of the replies from `from` on, in order.
QStringList topicsFrom(const FakeDaemon &d, qsizetype from)
{
    QStringList out;
    for (qsizetype i = from; i < d.replies().size(); ++i)
        out << d.replies().at(i).first;
    return out;
}

QByteArray randomBytes(QRandomGenerator &rng, int size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (char &c : bytes)
        c = char(rng.bounded(256));
    return bytes;
}

} // namespace

// The daemon's worker over an in-memory line to the board model: the
// identifier request with its fallback and retries, verification, updates
// with their erase patterns and progress, and every fault path, each in
// milliseconds.
class TstDaemonWorker : public QObject
{
    Q_OBJECT

private slots:
    void readsTheIdentifier()
    {
        FakeDaemon d(board());
        QVERIFY(d.open());
        QCOMPARE(d.line().baudRate(), 9600);
        d.request(request::kReadId, payload::kBlank);
        QCOMPARE(d.waitFor(reply::kReadId), QStringLiteral("0x1234"));
        QCOMPARE(d.worker().boardId(), 0x1234);
        QVERIFY(!d.line().commandsWithCode(Command::ReadId).isEmpty());
        QVERIFY(d.line().commandsWithCode(Command::BaudLow).isEmpty());
    }

    // A board left at 115200 baud is found by the fallback after one
    // silence: high, the line-speed-low command, back to 9600, ask again.
    void fallsBackToABoardAtHighSpeed()
    {
        FakeDaemon d(board([](auto &c) {
            c.startHigh = true;
            c.id = 0x2345;
        }));
        QVERIFY(d.open());
        d.request(request::kReadId, payload::kBlank);
        QCOMPARE(d.waitFor(reply::kReadId), QStringLiteral("0x2345"));
        QCOMPARE(d.line().baudHistory().mid(0, 3), (QList<qint32>{9600, 115200, 9600}));
        QCOMPARE(d.line().commandsWithCode(Command::BaudLow).size(), 1);
        QVERIFY(d.line().commandsWithCode(Command::ReadId).size() >= 2);
        // Only one fallback per OPEN: the board stays at 9600 now.
        QCOMPARE(d.board().baud(), 9600);
    }

    void readsTheIdentifierOnAFaultyLine_data()
    {
        QTest::addColumn<int>("fault");
        QTest::newRow("stray byte") << 0;
        QTest::newRow("double answer") << 1;
    }

    void readsTheIdentifierOnAFaultyLine()
    {
        QFETCH(int, fault);
        FakeDaemon d(board([fault](auto &c) {
            c.strayByte = fault == 0;
            c.doubleAnswer = fault == 1;
        }));
        QVERIFY(d.open());
        d.request(request::kReadId, payload::kBlank);
        QCOMPARE(d.waitFor(reply::kReadId), QStringLiteral("0x1234"));
        QCOMPARE(d.worker().boardId(), 0x1234);
    }

    // A board that never answers in a way that checks: the first request,
    // one fallback and ten retries, then one ERROR.
    void unansweredIdentifierEndsInError_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::newRow("silent board") << true;
        QTest::newRow("every answer corrupt") << false;
    }

    void unansweredIdentifierEndsInError()
    {
        QFETCH(bool, silent);
        FakeDaemon d(board([silent](auto &c) {
                         c.silent = silent;
                         c.corruptEvery = silent ? 0 : 1;
                     }),
                     expiringTimings());
        QVERIFY(d.open());
        QElapsedTimer clock;
        clock.start();
        d.request(request::kReadId, payload::kBlank);
        QCOMPARE(d.waitFor(reply::kReadId), payload::kError);
        QVERIFY(clock.elapsed() >= 11 * d.timings().idTimeoutMs * 9 / 10);
        QCOMPARE(d.line().commandsWithCode(Command::ReadId).size(), 12);
        QCOMPARE(d.worker().boardId(), 0);
        d.spin(3 * d.timings().idTimeoutMs);
        QCOMPARE(d.payloadsOf(reply::kReadId).size(), 1);

        // Retries are used up: the next unanswered request fails after one
        // time-out, without a second fallback.
        d.request(request::kReadId, payload::kBlank);
        QCOMPARE(d.waitFor(reply::kReadId), payload::kError);
        QCOMPARE(d.line().commandsWithCode(Command::ReadId).size(), 13);
    }

    // While the refresh runs, answers only update the stored identifier.
    void refreshReadsSilently()
    {
        FakeDaemon d(board([](auto &c) { c.id = 0x0bee; }));
        QVERIFY(d.open());
        d.request(request::kRefresh, QStringLiteral("RESTART")); // holds "START"
        QVERIFY(d.worker().isRefreshActive());
        QTRY_COMPARE_WITH_TIMEOUT(d.worker().boardId(), 0x0bee, 2000);
        QTRY_VERIFY_WITH_TIMEOUT(d.line().commandsWithCode(Command::ReadId).size() >= 3, 2000);
        QVERIFY(d.payloadsOf(reply::kReadId).isEmpty());

        d.request(request::kRefresh, payload::kStop);
        QVERIFY(!d.worker().isRefreshActive());
        const int asked = d.line().commandsWithCode(Command::ReadId).size();
        d.spin(3 * d.timings().refreshMs);
        QCOMPARE(d.line().commandsWithCode(Command::ReadId).size(), asked);

        // CLOSE ends a running refresh as well.
        d.request(request::kRefresh, payload::kStart);
        d.request(request::kSerial, payload::kClose);
        QVERIFY(!d.worker().isRefreshActive());
        QVERIFY(!d.line().isOpen());
    }

    // CLOSE while the refresh runs: no reply, and nothing opens the port
    // again behind the front end's back, not even a pending identifier
    // request.
    void closeStopsTheRefreshSilently()
    {
        FakeDaemon d(board([](auto &c) { c.silent = true; }));
        QVERIFY(d.open());
        d.request(request::kRefresh, QStringLiteral("RESTART"));
        QTRY_VERIFY_WITH_TIMEOUT(!d.line().commandsWithCode(Command::ReadId).isEmpty(), 2000);
        d.request(request::kSerial, payload::kClose);
        QVERIFY(!d.worker().isRefreshActive());
        QVERIFY(!d.line().isOpen());
        const int opens = d.line().opens();
        d.spin(4 * (d.timings().idTimeoutMs + d.timings().refreshMs));
        QVERIFY(!d.line().isOpen());
        QCOMPARE(d.line().opens(), opens);
        QCOMPARE(d.payloadsOf(reply::kOpen).size(), 1);
        QVERIFY(d.payloadsOf(reply::kReadId).isEmpty());
    }

    // Random and malformed requests on every topic: the daemon neither
    // crashes nor hangs, starts nothing from junk and still answers.
    void floodOfBadRequests()
    {
        FakeDaemon d(board());
        QVERIFY(d.open());
        const QList<QLatin1StringView> topics{request::kSetup,
                                              request::kSerial,
                                              request::kInfo,
                                              request::kReadId,
                                              request::kFlash,
                                              request::kMd5,
                                              request::kBootOff,
                                              request::kBaud,
                                              request::kEraseAll,
                                              request::kWrite,
                                              request::kUpdate,
                                              request::kRead,
                                              request::kConfigs,
                                              request::kRefresh,
                                              request::kPing,
                                              request::kVersion,
                                              QLatin1StringView("REQUEST/UNKNOWN"),
                                              QLatin1StringView("REQUEST/SERIAL/READ/ID/X"),
                                              QLatin1StringView("REQUEST/")};
        const QtMessageHandler previous = qInstallMessageHandler(quiet);
        QRandomGenerator rng(20181009);
        for (const QLatin1StringView topic : topics) {
            d.requestBytes(topic, QByteArray());
            d.requestBytes(topic, randomBytes(rng, 64));
            d.requestBytes(topic, randomBytes(rng, 1 << 20));
        }
        for (const char *junk :
             {"Baud=abc", "XBaud=5", "Com=    Baud=", "StartFlash=-99999999 SizeFlash=-1",
              "SizeFlash=2147483647 SizeProgr=2147483647 StartProgr=-1", "EraseAll=zz", "ffffffff"})
            for (const QLatin1StringView topic : topics)
                d.requestBytes(topic, junk);
        d.spin(50);
        qInstallMessageHandler(previous);

        d.request(request::kPing);
        QCOMPARE(d.payloadsOf(reply::kPing).last(), payload::kPong);
        QVERIFY(!d.worker().isUpdating());
        QVERIFY(!d.worker().isFileVerified());
        for (const QString &result : d.payloadsOf(reply::kFlash))
            QCOMPARE(result, payload::kError);
        for (const QString &result : d.payloadsOf(reply::kUpdate))
            QCOMPARE(result, payload::kError);
        QCOMPARE(d.board().stats().writes, 0);
    }

    // The bare names stay as they were; what each port is follows at once,
    // in the same order.
    void portListWithDetails()
    {
        FakeDaemon d(board());
        d.clear();
        d.request(request::kInfo);
        // The scan runs off the request, which others may share.
        QTRY_COMPARE(d.replies().size(), 2);
        const auto &r = d.replies();
        QCOMPARE(r.at(0).first, QString(reply::kInfo));
        QCOMPARE(r.at(1).first, QString(reply::kInfoDetails));
        QStringList named;
        for (const protocol::PortDetails &port : protocol::parsePortDetails(r.at(1).second))
            named << port.name;
        QCOMPARE(named.join(QLatin1Char(' ')), r.at(0).second);
    }

    // A stable name is a link in /dev/serial/by-id that leads to the port.
    void stableNameOfAPort()
    {
        QTemporaryDir dir;
        const QString device = dir.filePath(QStringLiteral("ttyUSB0"));
        const QString other = dir.filePath(QStringLiteral("ttyUSB1"));
        for (const QString &path : {device, other}) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("by-id"))));
        const QString byId = dir.filePath(QStringLiteral("by-id"));
        const QString link = byId + QStringLiteral("/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");
        QVERIFY(QFile::link(QStringLiteral("../ttyUSB0"), link));
        QVERIFY(QFile::link(QStringLiteral("../gone"), byId + QStringLiteral("/usb-dangling")));
        QCOMPARE(serialdaemon::byIdLinkFor(device, byId), link);
        QCOMPARE(serialdaemon::byIdLinkFor(other, byId), QString());
        QCOMPARE(serialdaemon::byIdLinkFor(dir.filePath(QStringLiteral("nothing")), byId),
                 QString());
        QCOMPARE(serialdaemon::byIdLinkFor(device, dir.filePath(QStringLiteral("none"))),
                 QString());
    }

    void switchesTheLineSpeedOnRequest()
    {
        FakeDaemon d(board());
        QVERIFY(d.open());
        d.request(request::kBaud, payload::kHigh);
        QCOMPARE(d.line().baudRate(), 115200);
        QCOMPARE(d.board().baud(), 115200);
        d.request(request::kReadId, payload::kBlank);
        QCOMPARE(d.waitFor(reply::kReadId), QStringLiteral("0x1234"));
        d.request(request::kBaud, QStringLiteral("high")); // exact text only
        d.request(request::kBaud, payload::kLow);
        QCOMPARE(d.line().baudRate(), 9600);
        QCOMPARE(d.board().baud(), 9600);
        d.request(request::kReadId, payload::kBlank);
        QCOMPARE(d.waitFor(reply::kReadId), QStringLiteral("0x1234"));
        QCOMPARE(d.board().stats().lostRxBytes, 0);
    }

    void verification()
    {
        FakeDaemon d(board());
        const protocol::BoardLayout layout = fakeLayout(2, -1);
        const FakeFirmware fw = fakeFirmware(0x1234, layout);
        QCOMPARE(d.prepare(layout, fw.file), payload::kOk);
        QVERIFY(d.worker().isFileVerified());

        const auto send = [&d](const QByteArray &file, const QString &digest) {
            d.requestBytes(request::kFlash, file);
            d.request(request::kMd5, digest);
            return d.waitFor(reply::kFlash);
        };
        // One digit of the digest differs.
        QString wrong = md5Of(fw.file);
        wrong[5] = wrong.at(5) == QLatin1Char('0') ? QLatin1Char('1') : QLatin1Char('0');
        QCOMPARE(send(fw.file, wrong), payload::kError);
        QVERIFY(!d.worker().isFileVerified());
        // The digest in capitals is the same digest.
        QCOMPARE(send(fw.file, md5Of(fw.file).toUpper()), payload::kOk);

        // Made for another board.
        const FakeFirmware other = fakeFirmware(0x2345, layout);
        QCOMPARE(send(other.file, md5Of(other.file)), payload::kError);

        // Damaged before it was sent: the digest matches, a record does not.
        QByteArray damaged = fw.file;
        const qsizetype at = damaged.indexOf("\n:", 20) + 12;
        damaged[at] = damaged.at(at) == 'A' ? 'B' : 'A';
        QCOMPARE(send(damaged, md5Of(damaged)), payload::kError);
        QByteArray badDigit = fw.file;
        badDigit[at] = 'g';
        QCOMPARE(send(badDigit, md5Of(badDigit)), payload::kError);

        // Two files in a row, one digest: the second file is checked.
        d.requestBytes(request::kFlash, other.file);
        QCOMPARE(send(fw.file, md5Of(fw.file)), payload::kOk);

        // The digest may come first.
        d.request(request::kMd5, md5Of(fw.file));
        QVERIFY(d.payloadsOf(reply::kFlash).size() == 7);
        d.requestBytes(request::kFlash, fw.file);
        QCOMPARE(d.waitFor(reply::kFlash), payload::kOk);

        // No identifier position configured.
        d.request(request::kConfigs, QStringLiteral("IdPosition=-1"));
        QCOMPARE(send(fw.file, md5Of(fw.file)), payload::kError);
        QCOMPARE(d.payloadsOf(reply::kFlash).size(), 9);
    }

    // A stray or lost half of a FLASH/MD5 pair costs no later upload, and a
    // file larger than any board's flash as HEX is refused unstored.
    void pairRecoversAndOversizedFileIsRefused()
    {
        FakeDaemon d(board());
        const protocol::BoardLayout layout = fakeLayout(2, -1);
        const FakeFirmware fw = fakeFirmware(0x1234, layout);
        const FakeFirmware other = fakeFirmware(0x2345, layout);
        QCOMPARE(d.prepare(layout, fw.file), payload::kOk);
        const auto send = [&d](const QByteArray &file) {
            d.requestBytes(request::kFlash, file);
            d.request(request::kMd5, md5Of(file));
            return d.waitFor(reply::kFlash);
        };
        d.request(request::kMd5, QString(32, QLatin1Char('0'))); // stray
        QCOMPARE(send(fw.file), payload::kOk);
        QCOMPARE(send(fw.file), payload::kOk);
        d.requestBytes(request::kFlash, other.file); // its digest lost
        QCOMPARE(send(fw.file), payload::kOk);
        d.request(request::kMd5, md5Of(other.file)); // its file lost
        QCOMPARE(send(fw.file), payload::kOk);
        QCOMPARE(send(fw.file), payload::kOk);
        // No digest of its own follows: the earlier one decides, as ever.
        d.request(request::kMd5, md5Of(other.file));
        d.requestBytes(request::kFlash, fw.file);
        QCOMPARE(d.waitFor(reply::kFlash), payload::kError);
        QCOMPARE(send(fw.file), payload::kOk);

        const QByteArray huge(serialdaemon::ImageStore::kMaxUploadBytes + 1, 'A');
        QCOMPARE(send(huge), payload::kError);
        QVERIFY(!d.worker().isFileVerified());
        QVERIFY(QFileInfo(d.imagePath()).size() < huge.size());
        QCOMPARE(send(fw.file), payload::kOk);
    }

    // Port list requests that arrive before a scan share it, so a flood of
    // them cannot hold a PING behind one scan each.
    void portListRequestsShareScans()
    {
        FakeDaemon d(board());
        const qsizetype before = d.payloadsOf(reply::kInfo).size();
        for (int i = 0; i < 1000; ++i)
            d.request(request::kInfo);
        d.request(request::kPing);
        QCOMPARE(d.payloadsOf(reply::kPing).size(), 1);
        QTRY_COMPARE(d.payloadsOf(reply::kInfo).size(), before + 1);
        d.spin(3 * d.timings().portScanSpacingMs);
        QCOMPARE(d.payloadsOf(reply::kInfo).size(), before + 1);
        d.request(request::kInfo);
        QTRY_COMPARE(d.payloadsOf(reply::kInfo).size(), before + 2);
    }

    // Whatever the shared check passes, the daemon accepts (the digest
    // matching); whatever it refuses, the daemon refuses.
    void verificationAgreesWithTheCheck_data()
    {
        using namespace hexbuilder;
        QTest::addColumn<QByteArray>("text");
        const protocol::BoardLayout l = fakeLayout(2, -1);
        const QByteArray good = fakeFirmware(0x1234, l).file;
        const QList<QByteArray> lines = good.split('\n');
        const auto replaced = [&lines](int index, const QByteArray &line) {
            QList<QByteArray> copy = lines;
            copy[index] = line + "\r";
            return copy.join('\n');
        };
        QByteArray sum = lines.at(3);
        sum[sum.size() - 2] = sum.at(sum.size() - 2) == '0' ? '1' : '0';
        QTest::newRow("good") << good;
        QTest::newRow("other board") << fakeFirmware(0x4321, l).file;
        QTest::newRow("no identifier line") << lines.mid(1).join('\n');
        QTest::newRow("checksum") << replaced(3, sum.trimmed());
        QTest::newRow("digit") << replaced(4, lines.at(4).trimmed().replace('0', 'O'));
        QTest::newRow("unknown type") << replaced(5, record(0x06, 0, "x"));
        QTest::newRow("outside the flash") << replaced(5, dataRecord(0xFFF8, QByteArray(16, 'x')));
        QTest::newRow("start address record is fine") << replaced(5, record(0x05, 0, "\0\0\x08\0"));
        QTest::newRow("only the identifier") << lines.first() + "\n";
        QTest::newRow("binary junk") << QByteArray("#1234\n\x00\xff\x10:", 9);
    }

    void verificationAgreesWithTheCheck()
    {
        QFETCH(QByteArray, text);
        FakeDaemon d(board());
        const protocol::BoardLayout l = fakeLayout(2, -1);
        QCOMPARE(d.prepare(l, fakeFirmware(0x1234, l).file), payload::kOk);
        const bool passes = hexfile::checkImage(text, l, 0x1234).ok();
        d.requestBytes(request::kFlash, text);
        d.request(request::kMd5, md5Of(text));
        QCOMPARE(d.waitFor(reply::kFlash), passes ? payload::kOk : payload::kError);
        QCOMPARE(d.worker().isFileVerified(), passes);
        // The daemon takes what the board's loader takes.
        const QByteArray tag = QTest::currentDataTag();
        QCOMPARE(tag == "good" || tag == "start address record is fine" ||
                     tag == "outside the flash" || tag == "only the identifier",
                 passes);
    }

    // The file is kept private, and an update after verification reads the
    // image kept in memory, not the file again.
    void storedFileIsPrivateAndReadOnce()
    {
        FakeDaemon d(board());
        const protocol::BoardLayout layout = fakeLayout(1, -1);
        const FakeFirmware fw = fakeFirmware(0x1234, layout);
        QCOMPARE(d.prepare(layout, fw.file), payload::kOk);
        QFile stored(d.imagePath());
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(stored.readAll(), fw.file);
        const QFile::Permissions userGroupOther(0x0777);
        QCOMPARE(stored.permissions() & userGroupOther, QFile::ReadUser | QFile::WriteUser);
        stored.close();
        QVERIFY(QFile::remove(d.imagePath()));

        d.request(request::kUpdate, QStringLiteral("EraseAll=1"));
        QCOMPARE(d.waitFor(reply::kUpdate), payload::kOk);
        QCOMPARE(d.board().flash().mid(layout.startProgr, int(layout.progrBytes())), fw.programmed);
    }

    // A file that cannot be stored is refused, and the log says why rather
    // than blaming a digest that was never compared.
    void fullDiskIsReportedAsSuch()
    {
        if (!QFile::exists(QStringLiteral("/dev/full")))
            QSKIP("needs /dev/full");
        FakeDaemon d(board(), FakeDaemon::fastTimings(), QStringLiteral("/dev/full"));
        QVERIFY(d.open());
        d.request(request::kReadId, payload::kBlank);
        QCOMPARE(d.waitFor(reply::kReadId), QStringLiteral("0x1234"));
        const protocol::BoardLayout layout = fakeLayout(1, -1);
        d.request(request::kConfigs, protocol::buildBoardConfigs(layout));
        const FakeFirmware fw = fakeFirmware(0x1234, layout);

        QStringList log;
        g_log = &log;
        const QtMessageHandler previous = qInstallMessageHandler(collect);
        d.requestBytes(request::kFlash, fw.file);
        d.request(request::kMd5, md5Of(fw.file));
        qInstallMessageHandler(previous);
        g_log = nullptr;

        QCOMPARE(d.waitFor(reply::kFlash), payload::kError);
        const QString text = log.join(QLatin1Char('\n'));
        QVERIFY2(text.contains(QStringLiteral("No space left on device")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("Unknown error")), qPrintable(text));
        QVERIFY2(!text.contains(QStringLiteral("digest does not match")), qPrintable(text));
    }

    void update_data()
    {
        QTest::addColumn<int>("sizeProgrKiB");
        QTest::addColumn<int>("maxErase");
        QTest::addColumn<int>("pageBytes");
        QTest::addColumn<bool>("eraseAll");
        QTest::addColumn<int>("fault");
        QTest::newRow("erase all") << 6 << -1 << 1024 << true << 0;
        QTest::newRow("page erase") << 6 << 1024 << 1024 << false << 0;
        QTest::newRow("page erase, 512-byte pages") << 3 << 512 << 512 << true << 0;
        QTest::newRow("stray bytes") << 2 << -1 << 1024 << true << 1;
        QTest::newRow("double answers") << 4 << 1024 << 1024 << false << 2;
    }

    // The board's flash ends up as the image built from the file, with each
    // whole percentage once and the line back at 9600.
    void update()
    {
        QFETCH(int, sizeProgrKiB);
        QFETCH(int, maxErase);
        QFETCH(int, pageBytes);
        QFETCH(bool, eraseAll);
        QFETCH(int, fault);
        FakeDaemon d(board([&](auto &c) {
            c.pageBytes = pageBytes;
            c.eraseAllFrom = 0x800;
            c.strayByte = fault == 1;
            c.doubleAnswer = fault == 2;
        }));
        QVERIFY(d.board().loadFlash(QByteArray(64 * 1024, '\0')));
        const protocol::BoardLayout layout = fakeLayout(sizeProgrKiB, maxErase);
        const FakeFirmware fw = fakeFirmware(0x1234, layout);
        QCOMPARE(d.prepare(layout, fw.file), payload::kOk);

        d.request(request::kUpdate, protocol::buildBoardUpdate(eraseAll));
        QCOMPARE(d.waitFor(reply::kUpdate), payload::kOk);
        QCOMPARE(d.line().baudRate(), 9600);
        QCOMPARE(d.board().baud(), 9600);
        QVERIFY(!d.worker().isUpdating());

        const int blocks = sizeProgrKiB * 16;
        QCOMPARE(d.payloadsOf(reply::kUpdatePercent), percentagesFor(blocks));
        // One write per block: a repeated answer never sent one ahead.
        QCOMPARE(d.line().commandsWithCode(Command::WriteFlash).size(), blocks);

        const QByteArray flash = d.board().flash();
        QVERIFY2(flash.left(0x800) == QByteArray(0x800, '\0'),
                 "the update wrote below the programmed area");
        QCOMPARE(flash.mid(0x800, sizeProgrKiB * 1024), fw.programmed);
        QCOMPARE(d.board().stats().unerasedBytes, 0);

        // The board answers at 9600 again, and the same image goes in again.
        d.request(request::kReadId, payload::kBlank);
        QCOMPARE(d.waitFor(reply::kReadId), QStringLiteral("0x1234"));
        d.request(request::kUpdate);
        QCOMPARE(d.waitFor(reply::kUpdate), payload::kOk);
    }

    void progressOfSixteenBlocks()
    {
        FakeDaemon d(board());
        const protocol::BoardLayout layout = fakeLayout(1, 1024);
        QCOMPARE(d.prepare(layout, fakeFirmware(0x1234, layout).file), payload::kOk);
        d.request(request::kUpdate, QStringLiteral("EraseAll=0"));
        QCOMPARE(d.waitFor(reply::kUpdate), payload::kOk);
        QCOMPARE(d.payloadsOf(reply::kUpdatePercent),
                 (QStringList{"6", "12", "18", "25", "31", "37", "43", "50", "56", "62", "68", "75",
                              "81", "87", "93", "100"}));
    }

    void erasePatterns_data()
    {
        QTest::addColumn<int>("maxErase");
        QTest::addColumn<bool>("eraseAll");
        QTest::addColumn<int>("eraseAllCommands");
        QTest::addColumn<QList<quint32>>("pages");
        QTest::newRow("erase-all board, erase all") << -1 << true << 1 << QList<quint32>{};
        QTest::newRow("erase-all board, page by page") << -1 << false << 0 << QList<quint32>{0x800};
        QTest::newRow("1 KiB pages")
            << 1024 << false << 0 << QList<quint32>{0x800, 0xC00, 0x1000, 0x1400};
        QTest::newRow("erase all asked, page board")
            << 1024 << true << 0 << QList<quint32>{0x800, 0xC00, 0x1000, 0x1400};
        QTest::newRow("pages not on block bounds") << 1000 << false << 0 << QList<quint32>{0x800};
    }

    void erasePatterns()
    {
        QFETCH(int, maxErase);
        QFETCH(bool, eraseAll);
        QFETCH(int, eraseAllCommands);
        QFETCH(QList<quint32>, pages);
        FakeDaemon d(board());
        const protocol::BoardLayout layout = fakeLayout(4, maxErase);
        QCOMPARE(d.prepare(layout, fakeFirmware(0x1234, layout).file), payload::kOk);
        d.request(request::kUpdate, protocol::buildBoardUpdate(eraseAll));
        QCOMPARE(d.waitFor(reply::kUpdate), payload::kOk);
        QCOMPARE(d.line().commandsWithCode(Command::EraseAll).size(), eraseAllCommands);
        QCOMPARE(addresses(d.line().commandsWithCode(Command::ErasePage)), pages);
        // The erase comes before the first write.
        const QList<QByteArray> &sent = d.line().commands();
        qsizetype firstWrite = 0;
        while (sent.at(firstWrite).at(0) != char(Command::WriteFlash))
            ++firstWrite;
        QVERIFY(sent.at(firstWrite - 1).at(0) == char(Command::EraseAll) ||
                sent.at(firstWrite - 1).at(0) == char(Command::ErasePage));
    }

    // An update request without "EraseAll=" keeps the last choice.
    void eraseAllChoiceIsKept()
    {
        FakeDaemon d(board());
        const protocol::BoardLayout layout = fakeLayout(1, -1);
        QCOMPARE(d.prepare(layout, fakeFirmware(0x1234, layout).file), payload::kOk);
        QVERIFY(d.worker().eraseAll());
        d.request(request::kUpdate, QStringLiteral("EraseAll=0"));
        QCOMPARE(d.waitFor(reply::kUpdate), payload::kOk);
        QVERIFY(!d.worker().eraseAll());
        d.request(request::kUpdate, QStringLiteral(" "));
        QCOMPARE(d.waitFor(reply::kUpdate), payload::kOk);
        QVERIFY(!d.worker().eraseAll());
        QCOMPARE(d.line().commandsWithCode(Command::EraseAll).size(), 0);
    }

    void boardStopsAcknowledging_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no more acknowledgements")
            << 0
            << "Step=write Block=4 Blocks=32 Address=0x8c0 Cause=noanswer WaitedMs=100 Tries=1";
        QTest::newRow("every acknowledgement damaged")
            << 1 << "Step=write Block=1 Blocks=32 Address=0x800 Cause=damaged WaitedMs=0 Tries=3";
        QTest::newRow("erase never answered")
            << 2
            << "Step=erase Block=0 Blocks=32 Address=0x800 Cause=noanswer WaitedMs=150 Tries=1";
    }

    // The write timer ends the update with one ERROR after its reason; the
    // line stays high. Damaged answers are sent again first, three times
    // in all.
    void boardStopsAcknowledging()
    {
        QFETCH(int, fault);
        QFETCH(QString, reason);
        FakeDaemon d(board([fault](auto &c) { c.stopAckAfter = fault == 0 ? 3 : -1; }),
                     expiringTimings());
        if (fault == 1)
            d.line().damageAnswers(Command::WriteFlash);
        if (fault == 2)
            d.line().muteAnswers(Command::EraseAll);
        const protocol::BoardLayout layout = fakeLayout(2, -1);
        QCOMPARE(d.prepare(layout, fakeFirmware(0x1234, layout).file), payload::kOk);
        QElapsedTimer clock;
        clock.start();
        d.request(request::kUpdate, QStringLiteral("EraseAll=1"));
        QCOMPARE(d.waitFor(reply::kUpdate), payload::kError);
        if (fault != 1) {
            // Coarse timers may fire a few percent early.
            QVERIFY2(clock.elapsed() >= d.timings().nextWriteTimeoutMs * 9 / 10,
                     qPrintable(QString::number(clock.elapsed())));
        }
        QCOMPARE(d.payloadsOf(reply::kUpdateReason), QStringList{reason});
        QCOMPARE(d.payloadsOf(reply::kUpdateRetries), QStringList{fault == 1 ? "2" : "0"});
        QCOMPARE(topicsFrom(d, d.replies().size() - 3),
                 (QStringList{QString(reply::kUpdateReason), QString(reply::kUpdateRetries),
                              QString(reply::kUpdate)}));
        if (fault == 1)
            QCOMPARE(d.line().commandsWithCode(Command::WriteFlash).size(), 3);
        QVERIFY(!d.worker().isUpdating());
        QCOMPARE(d.line().baudRate(), 115200);
        // A late acknowledgement changes nothing.
        d.spin(d.timings().firstWriteTimeoutMs);
        QCOMPARE(d.payloadsOf(reply::kUpdate).size(), 1);
    }

    // Refused before anything is sent: ERROR, the line stays at 9600 and
    // the identifier refresh stops as it does for an update that starts.
    void updateThatCannotStart()
    {
        FakeDaemon d(board());
        QVERIFY(d.open());
        d.request(request::kReadId, payload::kBlank);
        QCOMPARE(d.waitFor(reply::kReadId), QStringLiteral("0x1234"));
        const protocol::BoardLayout layout = fakeLayout(2, -1);
        d.request(request::kConfigs, protocol::buildBoardConfigs(layout));
        d.request(request::kRefresh, payload::kStart);
        d.request(request::kUpdate, QStringLiteral("EraseAll=1"));
        QCOMPARE(d.waitFor(reply::kUpdate), payload::kError);
        QCOMPARE(lastReason(d, reply::kUpdateReason).cause,
                 protocol::FailureReason::Cause::NoImage);
        QCOMPARE(d.line().baudRate(), 9600);
        QVERIFY(!d.worker().isRefreshActive());

        const FakeFirmware fw = fakeFirmware(0x1234, layout);
        d.requestBytes(request::kFlash, fw.file);
        d.request(request::kMd5, md5Of(fw.file));
        QCOMPARE(d.waitFor(reply::kFlash), payload::kOk);
        for (const QString &config :
             {QStringLiteral("SizeFlash=0"), QStringLiteral("SizeFlash=64 SizeProgr=0"),
              QStringLiteral("SizeProgr=64")}) {
            d.request(request::kRefresh, payload::kStart);
            d.request(request::kConfigs, config);
            d.request(request::kUpdate, QStringLiteral("EraseAll=1"));
            QCOMPARE(d.waitFor(reply::kUpdate), payload::kError);
            QCOMPARE(lastReason(d, reply::kUpdateReason).cause,
                     protocol::FailureReason::Cause::BadConfig);
            QCOMPARE(d.line().baudRate(), 9600);
            QVERIFY(!d.worker().isRefreshActive());
        }
        // Nothing reached the board but identifier requests.
        QCOMPARE(d.board().stats().writes, 0);
        for (const QByteArray &c : d.line().commands())
            QCOMPARE(c.at(0), char(Command::ReadId));
    }

    // Nothing another client sends may change the board or the line under
    // a running update: each such request is logged and dropped. A file and
    // its digest are answered after the update, and the read-back still
    // compares with what was written.
    void requestsDuringAnUpdate()
    {
        FakeDaemon d(board([](auto &c) { c.writeUs = 2000; }));
        const protocol::BoardLayout layout = fakeLayout(2, -1);
        const FakeFirmware fw = fakeFirmware(0x1234, layout);
        QCOMPARE(d.prepare(layout, fw.file), payload::kOk);
        d.request(request::kUpdate, QStringLiteral("EraseAll=1"));
        QTRY_VERIFY_WITH_TIMEOUT(d.worker().isUpdating(), 3000);
        QVERIFY(d.worker().isBusy());

        QStringList log;
        g_log = &log;
        const QtMessageHandler previous = qInstallMessageHandler(collect);
        d.request(request::kWrite, QStringLiteral("800"));
        d.request(request::kEraseAll);
        d.request(request::kBaud, payload::kLow);
        d.request(request::kRead, QStringLiteral("800"));
        d.request(request::kConfigs, QStringLiteral("SizeProgr=1 MaxErase=1024"));
        d.request(request::kSerial, payload::kOpen);
        d.request(request::kReadId, payload::kBlank);
        d.request(request::kRefresh, payload::kStart);
        d.request(request::kBootOff, payload::kBlank);
        const protocol::BoardLayout other = fakeLayout(1, -1);
        const QByteArray otherFile = fakeFirmware(0x1234, other).file;
        d.requestBytes(request::kFlash, otherFile);
        d.request(request::kMd5, md5Of(otherFile));
        d.request(request::kPing);
        QCOMPARE(d.waitFor(reply::kPing), payload::kPong);
        qInstallMessageHandler(previous);
        g_log = nullptr;
        QCOMPARE(log.filter(QStringLiteral("Ignored during an update")).size(), 9);
        QVERIFY(d.payloadsOf(reply::kFlash).size() == 1); // only prepare's, so far

        QCOMPARE(d.waitFor(reply::kUpdate), payload::kOk);
        QCOMPARE(d.line().commandsWithCode(Command::WriteFlash).size(), 32);
        QCOMPARE(d.line().commandsWithCode(Command::EraseAll).size(), 1);
        QCOMPARE(d.line().commandsWithCode(Command::ReadFlash).size(), 0);
        QCOMPARE(d.line().commandsWithCode(Command::BootOff).size(), 0);
        QCOMPARE(d.board().flash().mid(0x800, 2048), fw.programmed);
        QVERIFY(d.worker().boardConfig() == layout);
        // The file sent meanwhile gets its answer now.
        QCOMPARE(d.waitFor(reply::kFlash), payload::kOk);

        d.request(request::kVerify);
        QCOMPARE(d.waitFor(reply::kVerify), payload::kOk);
    }

    // CLOSE stops a running update at once and says so; a new UPDATE
    // starts it again without an answer for the old one.
    void closeAndRestartDuringAnUpdate()
    {
        serialdaemon::Timings slow = FakeDaemon::fastTimings();
        slow.nextWriteTimeoutMs = 5000;
        FakeDaemon d(board([](auto &c) { c.writeUs = 2000; }), slow);
        const protocol::BoardLayout layout = fakeLayout(2, -1);
        QCOMPARE(d.prepare(layout, fakeFirmware(0x1234, layout).file), payload::kOk);
        d.request(request::kUpdate, QStringLiteral("EraseAll=1"));
        QTRY_VERIFY_WITH_TIMEOUT(d.line().commandsWithCode(Command::WriteFlash).size() > 3, 3000);
        d.request(request::kUpdate, QStringLiteral("EraseAll=1"));
        QTRY_VERIFY_WITH_TIMEOUT(d.worker().isUpdating(), 3000);
        QCOMPARE(d.line().commandsWithCode(Command::EraseAll).size(), 2);
        QVERIFY(d.payloadsOf(reply::kUpdate).isEmpty());

        QElapsedTimer clock;
        clock.start();
        d.request(request::kSerial, payload::kClose);
        QCOMPARE(d.waitFor(reply::kUpdate, 100), payload::kError);
        QVERIFY(clock.elapsed() < slow.nextWriteTimeoutMs / 2);
        const protocol::FailureReason why = lastReason(d, reply::kUpdateReason);
        QCOMPARE(why.cause, protocol::FailureReason::Cause::Interrupted);
        QCOMPARE(why.step, protocol::FailureReason::Step::Write);
        QVERIFY(!d.line().isOpen());
        d.spin(50);
        QCOMPARE(d.payloadsOf(reply::kUpdate).size(), 1);
    }

    // The leave-boot-loader frame has left before CLOSE closes the port.
    void bootOffIsWrittenOutBeforeClose()
    {
        FakeDaemon d(board());
        QVERIFY(d.open());
        d.request(request::kBootOff, payload::kBlank);
        d.request(request::kSerial, payload::kClose);
        QCOMPARE(d.line().commandsWithCode(Command::BootOff).size(), 1);
        QCOMPARE(d.line().closesBeforeDrain(), 0);
    }

    void readBack_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("result");
        QTest::addColumn<QString>("reason");
        QTest::newRow("holds the image") << 0 << "OK" << QString();
        QTest::newRow("a bit flipped")
            << 1 << "ERROR"
            << "Step=verify Block=5 Blocks=32 Address=0x903 Cause=mismatch WaitedMs=0 Tries=1 "
               "Differ=1";
        QTest::newRow("reads answered with one byte")
            << 2 << "UNSUPPORTED"
            << "Step=verify Block=1 Blocks=32 Address=0x800 Cause=unreadable WaitedMs=150 Tries=3";
        QTest::newRow("reads never answered")
            << 3 << "UNSUPPORTED"
            << "Step=verify Block=1 Blocks=32 Address=0x800 Cause=unreadable WaitedMs=150 Tries=3";
        QTest::newRow("damaged now and then") << 4 << "OK" << QString();
    }

    // The read-back after an update: at high speed, back to 9600 after,
    // with progress, and a reason before anything but OK.
    void readBack()
    {
        QFETCH(int, fault);
        QFETCH(QString, result);
        QFETCH(QString, reason);
        FakeDaemon d(board([fault](auto &c) {
            c.flipBitAt = fault == 1 ? 0x903 : -1;
            c.readOneByte = fault == 2;
            c.corruptEvery = fault == 4 ? 7 : 0;
        }));
        if (fault == 3)
            d.line().muteAnswers(Command::ReadFlash);
        const protocol::BoardLayout layout = fakeLayout(2, -1);
        QCOMPARE(d.prepare(layout, fakeFirmware(0x1234, layout).file), payload::kOk);
        d.request(request::kUpdate, QStringLiteral("EraseAll=1"));
        QCOMPARE(d.waitFor(reply::kUpdate), payload::kOk);
        d.line().forget();
        const qsizetype before = d.replies().size();
        d.request(request::kVerify);
        QCOMPARE(d.waitFor(reply::kVerify), result);
        QCOMPARE(d.line().baudHistory(), (QList<qint32>{115200, 9600}));
        const int reads = d.line().commandsWithCode(Command::ReadFlash).size();
        if (result == QLatin1String("OK")) {
            QCOMPARE(d.payloadsOf(reply::kVerifyPercent), percentagesFor(32));
            QVERIFY(d.payloadsOf(reply::kVerifyReason).isEmpty());
            QVERIFY(fault == 4 ? reads > 32 : reads == 32);
        } else {
            QCOMPARE(d.payloadsOf(reply::kVerifyReason), QStringList{reason});
            QCOMPARE(topicsFrom(d, d.replies().size() - 2),
                     (QStringList{QString(reply::kVerifyReason), QString(reply::kVerify)}));
        }
        // Nothing of the original exchange comes with it.
        for (const QString &topic : topicsFrom(d, before))
            QVERIFY2(topic.startsWith(QLatin1String("SERIAL/BOARD/VERIFY")), qPrintable(topic));
        if (fault == 2 || fault == 3)
            QCOMPARE(reads, 3);
        // The first address of each read is the block's.
        QCOMPARE(addresses(d.line().commandsWithCode(Command::ReadFlash)).first(), 0x800u);
    }

    // Without an update there is nothing to compare; during one the
    // request waits for nobody.
    void readBackRefused()
    {
        FakeDaemon d(board([](auto &c) { c.writeUs = 2000; }));
        QVERIFY(d.open());
        d.request(request::kVerify);
        QCOMPARE(d.waitFor(reply::kVerify), payload::kError);
        QCOMPARE(lastReason(d, reply::kVerifyReason).cause,
                 protocol::FailureReason::Cause::NoImage);
        const protocol::BoardLayout layout = fakeLayout(1, -1);
        QCOMPARE(d.prepare(layout, fakeFirmware(0x1234, layout).file), payload::kOk);
        d.request(request::kUpdate, QStringLiteral("EraseAll=1"));
        QTRY_VERIFY_WITH_TIMEOUT(d.worker().isUpdating(), 3000);
        d.request(request::kVerify);
        QCOMPARE(d.waitFor(reply::kUpdate), payload::kOk);
        QCOMPARE(d.payloadsOf(reply::kVerify).size(), 1);
        QCOMPARE(d.line().commandsWithCode(Command::ReadFlash).size(), 0);
    }

    // A corrupted answer shows a board that is alive: the command goes
    // again and the update ends well, with the retries counted.
    void damagedAnswersAreSentAgain_data()
    {
        QTest::addColumn<int>("corruptEvery");
        QTest::addColumn<int>("maxErase");
        QTest::newRow("every 50th answer") << 50 << -1;
        QTest::newRow("every 3rd answer, page erase") << 3 << 1024;
        QTest::newRow("every 2nd answer, the erase among them") << 2 << -1;
    }

    void damagedAnswersAreSentAgain()
    {
        QFETCH(int, corruptEvery);
        QFETCH(int, maxErase);
        FakeDaemon d(board([&](auto &c) {
            c.corruptEvery = corruptEvery;
            c.eraseAllFrom = 0x800;
        }));
        const protocol::BoardLayout layout = fakeLayout(4, maxErase);
        const FakeFirmware fw = fakeFirmware(0x1234, layout);
        QCOMPARE(d.prepare(layout, fw.file), payload::kOk);
        const int answersBefore = d.board().stats().answers;
        d.request(request::kUpdate, protocol::buildBoardUpdate(true));
        QCOMPARE(d.waitFor(reply::kUpdate, 20000), payload::kOk);
        const int answers = d.board().stats().answers - answersBefore;
        // Every answer from the update's first on, and which were damaged.
        int damaged = 0;
        for (int n = answersBefore + 1; n <= answersBefore + answers; ++n)
            damaged += n % corruptEvery == 0 ? 1 : 0;
        QVERIFY(damaged > 0);
        QCOMPARE(d.payloadsOf(reply::kUpdateRetries), QStringList{QString::number(damaged)});
        QCOMPARE(d.line().commandsWithCode(Command::WriteFlash).size() +
                     d.line().commandsWithCode(Command::EraseAll).size() +
                     d.line().commandsWithCode(Command::ErasePage).size(),
                 answers);
        QCOMPARE(d.payloadsOf(reply::kUpdatePercent), percentagesFor(64));
        QCOMPARE(d.board().flash().mid(0x800, 4 * 1024), fw.programmed);
        QVERIFY(d.payloadsOf(reply::kUpdateReason).isEmpty());
        d.request(request::kVerify);
        QCOMPARE(d.waitFor(reply::kVerify), payload::kOk);
    }

    // The board's own times, not the shortened ones: 10 s for the erase and
    // the first block, 5 s for each further block.
    void silentBoardKeepsTheRealTimes()
    {
        serialdaemon::Timings real = FakeDaemon::fastTimings();
        real.firstWriteTimeoutMs = serialdaemon::Timings{}.firstWriteTimeoutMs;
        real.nextWriteTimeoutMs = serialdaemon::Timings{}.nextWriteTimeoutMs;
        QCOMPARE(real.firstWriteTimeoutMs, 10000);
        QCOMPARE(real.nextWriteTimeoutMs, 5000);
        FakeDaemon d(board([](auto &c) { c.stopAckAfter = 1; }), real);
        const protocol::BoardLayout layout = fakeLayout(1, -1);
        QCOMPARE(d.prepare(layout, fakeFirmware(0x1234, layout).file), payload::kOk);
        QElapsedTimer clock;
        clock.start();
        d.request(request::kUpdate, QStringLiteral("EraseAll=1"));
        QCOMPARE(d.waitFor(reply::kUpdate, 8000), payload::kError);
        QVERIFY2(clock.elapsed() >= 5000 && clock.elapsed() < 7000,
                 qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(d.payloadsOf(reply::kUpdateReason),
                 QStringList{"Step=write Block=2 Blocks=16 Address=0x840 Cause=noanswer "
                             "WaitedMs=5000 Tries=1"});
        QCOMPARE(d.line().commandsWithCode(Command::WriteFlash).size(), 2);
    }

    void manualCommands()
    {
        FakeDaemon d(board());
        QVERIFY(d.open());
        // No image loaded yet: nothing to write from.
        d.request(request::kWrite, QStringLiteral("800"));
        QCOMPARE(d.line().commandsWithCode(Command::WriteFlash).size(), 0);
        d.request(request::kRead, QStringLiteral("800"));
        d.request(request::kEraseAll);
        d.request(request::kBootOff, payload::kBlank);
        QCOMPARE(d.line().commands(),
                 (QList<QByteArray>{QByteArray::fromHex("0140000800"), QByteArray::fromHex("0b"),
                                    QByteArray::fromHex("05")}));
        QVERIFY(d.payloadsOf(reply::kUpdate).isEmpty());

        // After an update, a manual write sends that image's block.
        const protocol::BoardLayout layout = fakeLayout(1, -1);
        const FakeFirmware fw = fakeFirmware(0x1234, layout);
        QCOMPARE(d.prepare(layout, fw.file), payload::kOk);
        d.request(request::kUpdate, QStringLiteral("EraseAll=1"));
        QCOMPARE(d.waitFor(reply::kUpdate), payload::kOk);
        d.line().forget();
        d.request(request::kWrite, QStringLiteral("840"));
        QCOMPARE(d.line().commandsWithCode(Command::WriteFlash).size(), 1);
        QCOMPARE(d.line().commands().first().mid(5), fw.programmed.mid(0x40, 64));
    }

    // The adapter is pulled while the port is open: the port closes, the
    // front end hears it at once, and the daemon keeps answering.
    void deviceVanishes_data()
    {
        QTest::addColumn<bool>("duringUpdate");
        QTest::newRow("idle") << false;
        QTest::newRow("during an update") << true;
    }

    void deviceVanishes()
    {
        QFETCH(bool, duringUpdate);
        serialdaemon::Timings slow = FakeDaemon::fastTimings();
        slow.firstWriteTimeoutMs = 10000;
        slow.nextWriteTimeoutMs = 5000;
        FakeDaemon d(board([](auto &c) { c.writeUs = 1000; }), slow);
        const protocol::BoardLayout layout = fakeLayout(2, -1);
        QCOMPARE(d.prepare(layout, fakeFirmware(0x1234, layout).file), payload::kOk);
        d.request(request::kRefresh, payload::kStart);
        if (duringUpdate) {
            d.request(request::kUpdate, QStringLiteral("EraseAll=1"));
            QTRY_VERIFY_WITH_TIMEOUT(d.worker().isUpdating(), 3000);
        }
        d.clear();
        QElapsedTimer clock;
        clock.start();
        d.line().unplug();

        QCOMPARE(d.waitFor(reply::kOpen), payload::kError);
        const QString why = d.waitFor(reply::kError);
        QVERIFY2(why.contains(QStringLiteral("/dev/ttyFAKE0")) &&
                     why.contains(QStringLiteral("disconnected")),
                 qPrintable(why));
        if (duringUpdate)
            QCOMPARE(d.waitFor(reply::kUpdate), payload::kError);
        // At once: long before the write time-out would have said it.
        QVERIFY(clock.elapsed() < slow.nextWriteTimeoutMs / 2);
        QVERIFY(!d.line().isOpen());
        QVERIFY(!d.worker().isUpdating());
        QVERIFY(!d.worker().isRefreshActive());
        // OPEN ERROR first, then the reason, then the end of the update.
        QCOMPARE(d.replies().at(0).first, QString(reply::kOpen));
        QCOMPARE(d.replies().at(1).first, QString(reply::kError));

        d.spin(100);
        d.request(request::kPing);
        QCOMPARE(d.waitFor(reply::kPing), payload::kPong);
        // Nothing re-opens the missing device behind the front end's back.
        QVERIFY(d.payloadsOf(reply::kOpen).size() == 1);

        // Plugged in again, OPEN works as before.
        d.line().plugIn();
        QVERIFY(d.open());
    }

    // The board hangs up the line in the middle of an update (a pseudo-
    // terminal's other end going away looks the same).
    void lineHangsUpDuringAnUpdate()
    {
        serialdaemon::Timings slow = FakeDaemon::fastTimings();
        slow.nextWriteTimeoutMs = 5000;
        FakeDaemon d(board([](auto &c) { c.hangupAfter = 3; }), slow);
        const protocol::BoardLayout layout = fakeLayout(2, -1);
        QCOMPARE(d.prepare(layout, fakeFirmware(0x1234, layout).file), payload::kOk);
        QElapsedTimer clock;
        clock.start();
        d.request(request::kUpdate, QStringLiteral("EraseAll=1"));
        QCOMPARE(d.waitFor(reply::kUpdate), payload::kError);
        QVERIFY(clock.elapsed() < slow.nextWriteTimeoutMs);
        QCOMPARE(d.payloadsOf(reply::kOpen).last(), payload::kError);
    }

    void openReportsWhy()
    {
        FakeDaemon d(board());
        d.request(request::kSetup, QStringLiteral("Com=/dev/ttyNONE Baud=115200"));
        d.request(request::kSerial, payload::kOpen);
        QCOMPARE(d.waitFor(reply::kOpen), payload::kError);
        QCOMPARE(d.waitFor(reply::kError), QStringLiteral("Can't open /dev/ttyNONE, error code %1")
                                               .arg(int(QSerialPort::DeviceNotFoundError)));
        QCOMPARE(d.worker().portSettings().baudRate, 9600);

        d.request(request::kSetup, QStringLiteral("Com=/dev/ttyFAKE0"));
        d.line().failBaudRate(true);
        d.request(request::kSerial, payload::kOpen);
        QCOMPARE(d.waitFor(reply::kOpen), payload::kError);
        QCOMPARE(
            d.waitFor(reply::kError),
            QStringLiteral("Can't set baud rate 9600 baud to port /dev/ttyFAKE0, error code %1")
                .arg(int(QSerialPort::UnsupportedOperationError)));
        // Lower case is not the command.
        d.request(request::kSerial, QStringLiteral("open"));
        QCOMPARE(d.payloadsOf(reply::kOpen).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TstDaemonWorker)
#include "tst_daemonworker.moc"
