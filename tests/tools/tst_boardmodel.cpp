#include "protocol/bootframe.h"
#include "tools/boardmodel.h"
#include "tools/boardoptions.h"

#include <QCommandLineParser>
#include <QTest>

using namespace boardsim;

namespace {
QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out.append(static_cast<char>(v));
    return out;
}

const QByteArray kReadIdFrame = bytes({0x0F, 0x0F, 0x00, 0x02, 0xFE, 0x04});
const QByteArray kIdAnswer1234 = bytes({0x0F, 0x0F, 0x00, 0x02, 0x34, 0x12, 0xB8, 0x04});
const QByteArray kWriteAck = bytes({0x0F, 0x0F, 0x02, 0xFE, 0x04});

QByteArray block(char fill)
{
    return QByteArray(bootframe::kBlockBytes, fill);
}

QByteArray writeFrame(quint32 address, const QByteArray &data)
{
    return bootframe::encode(bootframe::writeFlashCommand(address, data));
}

QByteArray frameOf(bootframe::Command command)
{
    return bootframe::encode(bootframe::singleByteCommand(command));
}

// Feeds one chunk at 9600 with the clock at 0 and joins what comes back.
QByteArray answerTo(BoardModel &board, const QByteArray &chunk, qint32 lineBaud = kLowBaud)
{
    QByteArray out;
    for (const Transmission &t : board.receive(chunk, lineBaud, 0))
        out += t.bytes;
    return out;
}
} // namespace

class TstBoardModel : public QObject
{
    Q_OBJECT

private slots:
    void answersReadIdWithConfiguredId()
    {
        BoardModel board;
        QCOMPARE(answerTo(board, kReadIdFrame), kIdAnswer1234);

        BoardConfig config;
        config.id = 0xBEEF;
        BoardModel other(config);
        QCOMPARE(answerTo(other, kReadIdFrame),
                 bootframe::encodeUnescaped(bytes({0x00, 0x02, 0xEF, 0xBE})));
    }

    void framesSplitAndMergedAreAnsweredInOrder()
    {
        BoardModel board;
        // One frame cut in three, with a 0x04 inside the escaped address.
        const QByteArray erase = bootframe::encode(bootframe::erasePageCommand(0x000400));
        QVERIFY(erase.contains('\x05'));
        QVERIFY(answerTo(board, erase.left(3)).isEmpty());
        QVERIFY(answerTo(board, erase.mid(3, 4)).isEmpty());
        QCOMPARE(answerTo(board, erase.mid(7)), bytes({0x0F, 0x0F, 0x03, 0xFD, 0x04}));

        // Two requests in one chunk give two answers in request order.
        const QList<Transmission> both =
            board.receive(kReadIdFrame + frameOf(bootframe::Command::EraseAll), kLowBaud, 0);
        QCOMPARE(both.size(), 2);
        QCOMPARE(both.at(0).bytes, kIdAnswer1234);
        QCOMPARE(both.at(1).bytes, bytes({0x0F, 0x0F, 0x0B, 0xF5, 0x04}));
    }

    void badChecksumAndGarbageAreIgnored()
    {
        BoardModel board;
        QByteArray bad = kReadIdFrame;
        bad[4] = '\xFD';
        QVERIFY(answerTo(board, bad).isEmpty());
        QCOMPARE(board.stats().badFrames, 1);
        // Garbage before a good frame does not hide it.
        QCOMPARE(answerTo(board, bytes({0x33, 0x04, 0x0F, 0x00}) + kReadIdFrame), kIdAnswer1234);
    }

    void writeProgramsFlashAndReadReturnsIt()
    {
        BoardModel board;
        QByteArray data;
        for (int i = 0; i < bootframe::kBlockBytes; ++i)
            data.append(static_cast<char>(i * 7)); // includes 0x04, 0x05, 0x0F
        // The address bytes 40 0F 00 arrive escaped.
        QCOMPARE(answerTo(board, writeFrame(0x0F40, data)), kWriteAck);
        QCOMPARE(board.flash().mid(0x0F40, 64), data);
        QCOMPARE(board.flash().at(0x0F3F), '\xFF');
        QCOMPARE(board.flash().at(0x0F80), '\xFF');

        const QByteArray read =
            answerTo(board, bootframe::encode(bootframe::readFlashCommand(0x0F40, 64)));
        QCOMPARE(read, bootframe::encodeUnescaped(QByteArray(1, '\x01') + data));
    }

    void writeWithoutEraseOnlyClearsBits()
    {
        BoardModel board;
        QVERIFY(board.loadFlash(QByteArray(128, '\x0F')));
        QCOMPARE(answerTo(board, writeFrame(64, block('\xF3'))), kWriteAck);
        QCOMPARE(board.flash().mid(64, 64), block('\x03'));
        QCOMPARE(board.stats().unerasedBytes, 64);
        // Clearing bits that are set needs no erase.
        QCOMPARE(answerTo(board, writeFrame(0, block('\x0E'))), kWriteAck);
        QCOMPARE(board.stats().unerasedBytes, 64);
    }

    void malformedAndOutOfRangeCommandsGetNoAnswer()
    {
        BoardConfig config;
        config.flashBytes = 4096;
        BoardModel board(config);
        const QByteArray before = board.flash();
        // Block that would end past the flash.
        QVERIFY(answerTo(board, writeFrame(4096 - 32, block('\0'))).isEmpty());
        // Write with a short block.
        QVERIFY(answerTo(board, bootframe::encode(bytes({0x02, 0x08, 0, 0, 0, 1, 2}))).isEmpty());
        QVERIFY(answerTo(board, bootframe::encode(bootframe::erasePageCommand(4096))).isEmpty());
        QVERIFY(answerTo(board, bootframe::encode(bootframe::readFlashCommand(4096 - 8, 64)))
                    .isEmpty());
        QVERIFY(answerTo(board, bootframe::encode(bytes({0x00, 0x02, 0x00}))).isEmpty());
        QVERIFY(answerTo(board, bootframe::encode(bytes({0x42}))).isEmpty());
        QCOMPARE(board.flash(), before);
    }

    void erasePageAlignsDownAndEraseAllSparesBootArea()
    {
        BoardConfig config;
        config.flashBytes = 8192;
        config.pageBytes = 1024;
        config.eraseAllFrom = 2048;
        BoardModel board(config);
        QVERIFY(board.loadFlash(QByteArray(8192, '\0')));

        QVERIFY(
            !answerTo(board, bootframe::encode(bootframe::erasePageCommand(1024 + 100))).isEmpty());
        QCOMPARE(board.flash().mid(1024, 1024), QByteArray(1024, '\xFF'));
        QCOMPARE(board.flash().at(1023), '\0');
        QCOMPARE(board.flash().at(2048), '\0');

        QCOMPARE(answerTo(board, frameOf(bootframe::Command::EraseAll)),
                 bytes({0x0F, 0x0F, 0x0B, 0xF5, 0x04}));
        QCOMPARE(board.flash().left(1024), QByteArray(1024, '\0'));
        QCOMPARE(board.flash().mid(2048), QByteArray(6144, '\xFF'));
    }

    void bytesAtMismatchedSpeedAreLost()
    {
        BoardModel board;
        QCOMPARE(board.baud(), kLowBaud);
        QVERIFY(answerTo(board, kReadIdFrame, kHighBaud).isEmpty());
        QCOMPARE(board.stats().lostRxBytes, kReadIdFrame.size());

        // Half a frame at the right speed, the rest at the wrong one: the
        // frame is ruined, the next good one is answered.
        QVERIFY(answerTo(board, kReadIdFrame.left(3)).isEmpty());
        QVERIFY(answerTo(board, kReadIdFrame.mid(3), kHighBaud).isEmpty());
        QVERIFY(answerTo(board, kReadIdFrame.mid(3)).isEmpty());
        QCOMPARE(answerTo(board, kReadIdFrame), kIdAnswer1234);
    }

    void speedCommandsSwitchTheBoard()
    {
        BoardModel board;
        QVERIFY(answerTo(board, frameOf(bootframe::Command::BaudHigh)).isEmpty());
        QCOMPARE(board.baud(), kHighBaud);
        QVERIFY(answerTo(board, kReadIdFrame).isEmpty());

        const QList<Transmission> answers = board.receive(kReadIdFrame, kHighBaud, 0);
        QCOMPARE(answers.size(), 1);
        QCOMPARE(answers.at(0).baud, kHighBaud);
        // The daemon went back to 9600 before the answer left: it is lost.
        QVERIFY(board.transmit(answers.at(0), kLowBaud).isEmpty());
        QCOMPARE(board.stats().lostTxBytes, kIdAnswer1234.size());
        QCOMPARE(board.transmit(answers.at(0), kHighBaud), kIdAnswer1234);

        QVERIFY(answerTo(board, frameOf(bootframe::Command::BaudLow), kHighBaud).isEmpty());
        QCOMPARE(board.baud(), kLowBaud);
    }

    void startHighAndPowerCycle()
    {
        BoardConfig config;
        config.startHigh = true;
        BoardModel board(config);
        QCOMPARE(board.baud(), kHighBaud);
        QVERIFY(answerTo(board, frameOf(bootframe::Command::BaudLow), kHighBaud).isEmpty());
        QCOMPARE(answerTo(board, writeFrame(0, block('\x11'))), kWriteAck);
        board.powerCycle();
        QCOMPARE(board.baud(), kHighBaud);
        QCOMPARE(board.flash().left(64), block('\x11'));
    }

    void pacingAddsWireAndOperationTimes()
    {
        BoardConfig config;
        config.pace = true;
        config.writeUs = 2000;
        BoardModel board(config);
        const qint64 t0 = 1000000;
        QVERIFY(board.receive(frameOf(bootframe::Command::BaudHigh), kLowBaud, t0).isEmpty());

        const QByteArray write = writeFrame(0, block('\0'));
        const qint64 t1 = 2000000;
        const QList<Transmission> acks = board.receive(write, kHighBaud, t1);
        QCOMPARE(acks.size(), 1);
        const qint64 expected = t1 + wireMicros(write.size(), kHighBaud) + config.writeUs +
                                wireMicros(kWriteAck.size(), kHighBaud);
        QVERIFY(qAbs(acks.at(0).dueUs - expected) <= 1);

        // Two requests written at once: the second arrives after the first,
        // and its answer waits until the first answer has left the wire.
        const qint64 t2 = 3000000;
        const QList<Transmission> ids = board.receive(kReadIdFrame + kReadIdFrame, kHighBaud, t2);
        QCOMPARE(ids.size(), 2);
        const qint64 answerUs = wireMicros(kIdAnswer1234.size(), kHighBaud);
        QVERIFY(qAbs(ids.at(0).dueUs - (t2 + wireMicros(6, kHighBaud) + answerUs)) <= 1);
        QVERIFY(t2 + wireMicros(12, kHighBaud) < ids.at(0).dueUs);
        QCOMPARE(ids.at(1).dueUs, ids.at(0).dueUs + answerUs);
        QCOMPARE(wireMicros(11520, kHighBaud), 1000000);

        // Without pacing answers are due at once.
        BoardModel quick;
        QCOMPARE(quick.receive(kReadIdFrame, kLowBaud, 42).at(0).dueUs, 42);
    }

    void silentBoardNeverAnswers()
    {
        BoardConfig config;
        config.silent = true;
        BoardModel board(config);
        QVERIFY(answerTo(board, kReadIdFrame).isEmpty());
        QVERIFY(answerTo(board, writeFrame(0, block('\0'))).isEmpty());
        QCOMPARE(board.flash().at(0), '\xFF');
    }

    void stopAckAfterKeepsProgrammingSilently()
    {
        BoardConfig config;
        config.stopAckAfter = 2;
        BoardModel board(config);
        QCOMPARE(answerTo(board, writeFrame(0, block('\1'))), kWriteAck);
        QCOMPARE(answerTo(board, writeFrame(64, block('\2'))), kWriteAck);
        QVERIFY(answerTo(board, writeFrame(128, block('\3'))).isEmpty());
        QCOMPARE(board.flash().mid(128, 64), block('\3'));
        QCOMPARE(answerTo(board, kReadIdFrame), kIdAnswer1234);
        board.powerCycle();
        QCOMPARE(answerTo(board, writeFrame(192, block('\4'))), kWriteAck);
    }

    void corruptEveryNthAnswer()
    {
        BoardConfig config;
        config.corruptEvery = 2;
        BoardModel board(config);
        QCOMPARE(answerTo(board, kReadIdFrame), kIdAnswer1234);
        const QByteArray second = answerTo(board, kReadIdFrame);
        QCOMPARE(second.size(), kIdAnswer1234.size());
        QCOMPARE(second.left(6), kIdAnswer1234.left(6));
        QVERIFY(second.at(6) != kIdAnswer1234.at(6));
        QCOMPARE(second.back(), '\x04');
        QCOMPARE(answerTo(board, kReadIdFrame), kIdAnswer1234);
    }

    void strayByteAndDoubleAnswer()
    {
        BoardConfig stray;
        stray.strayByte = true;
        BoardModel strayBoard(stray);
        QCOMPARE(answerTo(strayBoard, kReadIdFrame), QByteArray(1, '\0') + kIdAnswer1234);

        BoardConfig twice;
        twice.doubleAnswer = true;
        BoardModel twiceBoard(twice);
        QCOMPARE(answerTo(twiceBoard, kReadIdFrame), kIdAnswer1234 + kIdAnswer1234);
    }

    void hangupAfterNWrites()
    {
        BoardConfig config;
        config.hangupAfter = 1;
        BoardModel board(config);
        QCOMPARE(answerTo(board, writeFrame(0, block('\0'))), kWriteAck);
        QVERIFY(!board.hungUp());
        QVERIFY(answerTo(board, writeFrame(64, block('\0'))).isEmpty());
        QVERIFY(board.hungUp());
        QCOMPARE(board.flash().at(64), '\xFF');
        QVERIFY(answerTo(board, kReadIdFrame).isEmpty());
        board.powerCycle();
        QVERIFY(board.hungUp());
    }

    void leavingBootLoader()
    {
        BoardModel stays;
        QVERIFY(answerTo(stays, frameOf(bootframe::Command::BootOff)).isEmpty());
        QCOMPARE(answerTo(stays, kReadIdFrame), kIdAnswer1234);

        BoardConfig config;
        config.appAfterBootOff = true;
        BoardModel app(config);
        QVERIFY(answerTo(app, frameOf(bootframe::Command::BootOff)).isEmpty());
        QVERIFY(!app.inBootLoader());
        QVERIFY(answerTo(app, kReadIdFrame).isEmpty());
        app.powerCycle();
        QCOMPARE(answerTo(app, kReadIdFrame), kIdAnswer1234);
    }

    void wireStatsCountBothDirections()
    {
        BoardModel board;
        answerTo(board, kReadIdFrame);
        QCOMPARE(board.stats().rxBytes, 6);
        QCOMPARE(board.stats().txBytes, 8);
        QCOMPARE(board.stats().wireUs, wireMicros(6, kLowBaud) + wireMicros(8, kLowBaud));
        QVERIFY(statsLine(board.stats()).startsWith(QLatin1String("STATS rx_bytes=6 tx_bytes=8 ")));
    }

    void options_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("flashBytes");
        QTest::addColumn<qint64>("writeUs");

        QTest::newRow("defaults") << QStringList{} << true << 0x1234 << 65536 << qint64(0);
        QTest::newRow("hex id") << QStringList{"--id", "0xBEEF"} << true << 0xBEEF << 65536
                                << qint64(0);
        QTest::newRow("decimal id")
            << QStringList{"--id", "4660"} << true << 0x1234 << 65536 << qint64(0);
        QTest::newRow("id too big")
            << QStringList{"--id", "0x10000"} << false << 0 << 0 << qint64(0);
        QTest::newRow("id not a number")
            << QStringList{"--id", "12x"} << false << 0 << 0 << qint64(0);
        QTest::newRow("flash size")
            << QStringList{"--flash-kib", "128"} << true << 0x1234 << 131072 << qint64(0);
        QTest::newRow("no flash") << QStringList{"--flash-kib", "0"} << false << 0 << 0
                                  << qint64(0);
        QTest::newRow("fractional ms")
            << QStringList{"--write-ms", "1.5"} << true << 0x1234 << 65536 << qint64(1500);
        QTest::newRow("negative ms")
            << QStringList{"--write-ms", "-1"} << false << 0 << 0 << qint64(0);
        QTest::newRow("negative count")
            << QStringList{"--stop-ack-after", "-3"} << false << 0 << 0 << qint64(0);
    }

    void options()
    {
        QFETCH(QStringList, args);
        QFETCH(bool, ok);
        QCommandLineParser parser;
        addOptions(parser);
        QVERIFY(parser.parse(QStringList{"velmo-board-sim"} + args));
        SimOptions options;
        QString error;
        QCOMPARE(readOptions(parser, &options, &error), ok);
        if (!ok) {
            QVERIFY(!error.isEmpty());
            return;
        }
        QFETCH(int, id);
        QFETCH(int, flashBytes);
        QFETCH(qint64, writeUs);
        QCOMPARE(int(options.board.id), id);
        QCOMPARE(options.board.flashBytes, flashBytes);
        QCOMPARE(options.board.writeUs, writeUs);
    }
};

QTEST_GUILESS_MAIN(TstBoardModel)
#include "tst_boardmodel.moc"
