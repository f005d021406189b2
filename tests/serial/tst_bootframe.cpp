#include "protocol/bootframe.h"
#include "serial/replyreceiver.h"

#include <QRandomGenerator>
#include <QTest>

namespace {
QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}
} // namespace

// Frames the daemon sends and the receiver that collects the board's answers.
class TstBootFrame : public QObject
{
    Q_OBJECT

private slots:
    void referenceFrames_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("read id") << bootframe::readIdCommand() << hex("0F0F0002FE04");
        QTest::newRow("boot off") << bootframe::singleByteCommand(bootframe::Command::BootOff)
                                  << hex("0F0F0505FB04");
        QTest::newRow("speed high")
            << bootframe::singleByteCommand(bootframe::Command::BaudHigh) << hex("0F0F08F804");
        QTest::newRow("speed low")
            << bootframe::singleByteCommand(bootframe::Command::BaudLow) << hex("0F0F09F704");
        QTest::newRow("erase all")
            << bootframe::singleByteCommand(bootframe::Command::EraseAll) << hex("0F0F0BF504");
        QTest::newRow("erase page 0x800")
            << bootframe::erasePageCommand(0x800) << hex("0F0F0301000800F404");
        QTest::newRow("erase page, two escapes")
            << bootframe::erasePageCommand(0x0F0400) << hex("0F0F0301000504050FE904");
    }

    void referenceFrames()
    {
        QFETCH(QByteArray, command);
        QFETCH(QByteArray, frame);
        QCOMPARE(bootframe::encode(command).toHex(' '), frame.toHex(' '));
    }

    void writeAndReadCommandsCarryLowByteFirstAddress()
    {
        const QByteArray block(64, '\xAA');
        const QByteArray write = bootframe::writeFlashCommand(0x123456, block);
        QCOMPARE(write.left(5), hex("0208563412"));
        QCOMPARE(write.size(), 5 + 64);
        QCOMPARE(write.mid(5), block);
        QCOMPARE(bootframe::readFlashCommand(0x0800, 64), hex("0140000800"));
    }

    // Command bytes plus checksum add up to 0; every body byte that looks
    // like framing goes out escaped and the board reads back what was meant.
    void checksumAndEscapingRoundTrip()
    {
        QRandomGenerator rng(1234);
        bootframe::EscapedDecoder decoder;
        for (int n = 0; n < 500; ++n) {
            QByteArray command(1 + rng.bounded(80), '\0');
            for (char &c : command)
                c = static_cast<char>(rng.bounded(256));
            unsigned sum = bootframe::checksum(command);
            for (const char c : command)
                sum += static_cast<quint8>(c);
            QCOMPARE(sum % 256, 0u);

            const QByteArray frame = bootframe::encode(command);
            const QByteArray inner = frame.mid(2, frame.size() - 3);
            for (qsizetype i = 0; i < inner.size(); ++i) {
                const auto b = static_cast<quint8>(inner.at(i));
                QVERIFY2(b != 0x0F && b != 0x04, "unescaped framing byte inside a body");
                if (b == 0x05)
                    ++i; // the escaped byte follows
            }
            int bad = 0;
            const QList<QByteArray> decoded = decoder.feed(frame, &bad);
            QCOMPARE(bad, 0);
            QCOMPARE(decoded, QList<QByteArray>{command});
        }
    }

    // --- the board's answers -------------------------------------------

    void idAnswerInOneChunkIsHandedOnAtOnce()
    {
        ReplyReceiver rx;
        QCOMPARE(rx.feed(hex("0F0F00023412B804")), QList<QByteArray>{hex("00023412")});
        QVERIFY(!rx.hasPending());
    }

    void answerSplitIntoSingleBytes()
    {
        ReplyReceiver rx;
        const QByteArray frame = bootframe::encodeUnescaped(hex("02080008001122"));
        QList<QByteArray> got;
        for (qsizetype i = 0; i < frame.size(); ++i) {
            got += rx.feed(frame.mid(i, 1));
            if (i + 1 < frame.size())
                QVERIFY2(got.isEmpty(), qPrintable(QStringLiteral("early at byte %1").arg(i)));
        }
        QCOMPARE(got, QList<QByteArray>{hex("02080008001122")});
    }

    // Two answers within one read used to be taken as one frame and lost.
    void mergedAnswersAreBothDelivered()
    {
        ReplyReceiver rx;
        const QByteArray a = bootframe::encodeUnescaped(hex("02"));
        const QByteArray b = bootframe::encodeUnescaped(hex("03"));
        const QByteArray c = bootframe::encodeUnescaped(hex("00023412"));
        QCOMPARE(rx.feed(a + b + c), (QList<QByteArray>{hex("02"), hex("03"), hex("00023412")}));
    }

    // A stray byte before the start bytes used to block every answer.
    void strayBytesBeforeAnAnswerAreSkipped()
    {
        ReplyReceiver rx;
        QCOMPARE(rx.feed(hex("55") + bootframe::encodeUnescaped(hex("0B"))),
                 QList<QByteArray>{hex("0B")});
        QCOMPARE(rx.feed(hex("0F") + bootframe::encodeUnescaped(hex("03"))),
                 QList<QByteArray>{hex("03")});
        QVERIFY(!rx.hasPending());
    }

    // A 0x04 inside an answer is not its end: the part received so far does
    // not check, so the receiver waits for the rest.
    void endByteInsideTheBodyWaitsForTheRest()
    {
        ReplyReceiver rx;
        const QByteArray frame = bootframe::encodeUnescaped(hex("00020412"));
        const qsizetype cut = frame.indexOf('\x04') + 1;
        QVERIFY(cut < frame.size() - 1);
        QVERIFY(rx.feed(frame.left(cut)).isEmpty());
        QVERIFY(rx.flush().isEmpty());
        QCOMPARE(rx.feed(frame.mid(cut)), QList<QByteArray>{hex("00020412")});
    }

    // Identifier 0x04FE: the first two command bytes and the 0xFE check as a
    // short frame ending in the 0x04; an identifier answer needs its length.
    void shortIdentifierLookalikeIsNotTakenEarly()
    {
        ReplyReceiver rx;
        const QByteArray frame = bootframe::encodeUnescaped(hex("0002FE04"));
        QVERIFY(rx.feed(frame.left(6)).isEmpty());
        QCOMPARE(rx.feed(frame.mid(6)), QList<QByteArray>{hex("0002FE04")});
    }

    // A frame whose rest never came is given up as soon as a complete
    // answer follows it.
    void cutFrameIsDroppedForTheNextAnswer()
    {
        ReplyReceiver rx;
        const QByteArray good = bootframe::encodeUnescaped(hex("00023412"));
        QVERIFY(rx.feed(good.left(5)).isEmpty());
        QCOMPARE(rx.feed(good), QList<QByteArray>{hex("00023412")});
        QVERIFY(!rx.hasPending());
    }

    void badChecksumIsDroppedAndTheNextAnswerStillArrives()
    {
        ReplyReceiver rx;
        QVERIFY(rx.feed(hex("0F0F00023412B904")).isEmpty());
        QVERIFY(rx.flush().isEmpty());
        QCOMPARE(rx.feed(hex("0F0F00023412B804")), QList<QByteArray>{hex("00023412")});
    }

    // An answer followed by junk in the same read is not certain at once;
    // the quiet time takes it.
    void answerFollowedByJunkIsTakenAfterTheQuietTime()
    {
        ReplyReceiver rx;
        QVERIFY(rx.feed(bootframe::encodeUnescaped(hex("03")) + hex("77")).isEmpty());
        QCOMPARE(rx.flush(), QList<QByteArray>{hex("03")});
        QVERIFY(rx.flush().isEmpty());
    }

    void answerJunkAnswerInOneRead()
    {
        ReplyReceiver rx;
        const QByteArray a = bootframe::encodeUnescaped(hex("02"));
        const QByteArray b = bootframe::encodeUnescaped(hex("03"));
        QCOMPARE(rx.feed(a + hex("77") + b), (QList<QByteArray>{hex("02"), hex("03")}));
    }

    // The spoken-for reply lengths only hold back the fast path: an
    // identifier answer of another length still arrives after the quiet
    // time.
    void identifierAnswerOfOtherLengthArrivesAfterQuietTime()
    {
        ReplyReceiver rx;
        QVERIFY(rx.feed(bootframe::encodeUnescaped(hex("000234"))).isEmpty());
        QCOMPARE(rx.flush(), QList<QByteArray>{hex("000234")});
    }

    void floodOfJunkStaysBoundedAndRecovers()
    {
        ReplyReceiver rx;
        QRandomGenerator rng(99);
        QByteArray junk(1 << 20, '\0');
        for (char &c : junk)
            c = static_cast<char>(rng.bounded(256));
        rx.feed(junk);
        rx.flush();
        QVERIFY(rx.pendingBytes() < ReplyReceiver::kMaxFrameBytes);
        // Every start the junk may have left is given up once a real answer
        // has had room to follow it.
        const QByteArray good = bootframe::encodeUnescaped(hex("00023412"));
        QList<QByteArray> got = rx.feed(QByteArray(ReplyReceiver::kMaxFrameBytes, '\x55') + good);
        got += rx.flush();
        QCOMPARE(got.last(), hex("00023412"));
    }

    void readAnswerWithFramingBytesInItsData()
    {
        ReplyReceiver rx;
        QByteArray data = hex("01") + QByteArray(64, '\0');
        for (int i = 0; i < 64; ++i)
            data[1 + i] = static_cast<char>(i % 3 == 0 ? 0x04 : (i % 3 == 1 ? 0x0F : 0x05));
        const QByteArray frame = bootframe::encodeUnescaped(data);
        QList<QByteArray> got;
        for (qsizetype i = 0; i < frame.size(); i += 7)
            got += rx.feed(frame.mid(i, 7));
        got += rx.flush();
        QCOMPARE(got, QList<QByteArray>{data});
    }
};

QTEST_GUILESS_MAIN(TstBootFrame)
#include "tst_bootframe.moc"
