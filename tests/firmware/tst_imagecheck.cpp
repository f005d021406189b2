#include "firmware/imagecheck.h"
#include "tests/firmware/hexbuilder.h"

#include <QTest>

using namespace hexbuilder;
using Kind = hexfile::ImageProblem::Kind;

namespace {
protocol::BoardLayout layout8k()
{
    protocol::BoardLayout l;
    l.startFlash = 0;
    l.startProgr = 0x800;
    l.sizeFlash = 8;
    l.sizeProgr = 6;
    l.maxErase = -1;
    l.padding = 0xFF;
    l.idPosition = 1;
    return l;
}

// Identifier line, base record, two data records, end: lines 1 to 5.
QList<QByteArray> goodLines()
{
    return {idLine(0x1234), linearBase(0), dataRecord(0x0800, QByteArray(16, 'a')),
            dataRecord(0x1FF0, QByteArray(16, 'b')), endOfFile()};
}
} // namespace

Q_DECLARE_METATYPE(Kind)

// The check both programs run before a file may reach the board.
class TstImageCheck : public QObject
{
    Q_OBJECT

private slots:
    void acceptsAGoodFile()
    {
        const hexfile::ImageProblem p = hexfile::checkImage(file(goodLines()), layout8k(), 0x1234);
        QVERIFY2(p.ok(), qPrintable(hexfile::describe(p)));
        // Blank lines, LF endings and lower-case digits are fine too.
        QByteArray relaxed = file(goodLines(), "\n").toLower() + "\n\n";
        relaxed.insert(relaxed.indexOf('\n') + 1, "\n   \n");
        QVERIFY(hexfile::checkImage(relaxed, layout8k(), 0x1234).ok());
    }

    void findsTheFirstProblem_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("boardId");
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<int>("line");
        const QList<QByteArray> good = goodLines();
        auto with = [&good](int index, const QByteArray &line) {
            QList<QByteArray> lines = good;
            lines[index] = line;
            return file(lines);
        };
        QByteArray sum = good.at(2);
        sum[sum.size() - 1] = sum.at(sum.size() - 1) == '0' ? '1' : '0';
        QByteArray digit = good.at(3);
        digit[12] = 'G';

        QTest::newRow("empty file") << QByteArray() << 0x1234 << Kind::MissingIdentifierLine << 1;
        QTest::newRow("no identifier line")
            << file(good.mid(1)) << 0x1234 << Kind::MissingIdentifierLine << 1;
        QTest::newRow("identifier too short")
            << with(0, "#12") << 0x1234 << Kind::IdentifierTooShort << 1;
        QTest::newRow("other board") << file(good) << 0x2345 << Kind::BoardMismatch << 1;
        QTest::newRow("bad checksum") << with(2, sum) << 0x1234 << Kind::BadChecksum << 3;
        QTest::newRow("bad digit") << with(3, digit) << 0x1234 << Kind::BadDigit << 4;
        QTest::newRow("length") << with(3, good.at(3).chopped(2)) << 0x1234 << Kind::BadLength << 4;
        QTest::newRow("no colon") << with(2, good.at(2).mid(1)) << 0x1234 << Kind::MissingColon
                                  << 3;
        QTest::newRow("unknown type")
            << with(4, record(0x07, 0, "x")) << 0x1234 << Kind::UnknownRecordType << 5;
        QTest::newRow("base record without its base")
            << with(1, record(0x04, 0, "\x01")) << 0x1234 << Kind::AddressRecordLength << 2;
        // Lines are numbered in the file as it is, blank lines included.
        QTest::newRow("after blank lines")
            << (idLine(0x1234) + "\r\n\r\n\r\n" + sum + "\r\n") << 0x1234 << Kind::BadChecksum << 4;
        // Checked in file order: the damaged record comes before the bad one.
        QTest::newRow("first of two")
            << file({good.at(0), sum, record(0x09, 0, "")}) << 0x1234 << Kind::BadChecksum << 2;
    }

    void findsTheFirstProblem()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, boardId);
        QFETCH(Kind, kind);
        QFETCH(int, line);
        const hexfile::ImageProblem p = hexfile::checkImage(text, layout8k(), boardId);
        QCOMPARE(p.kind, kind);
        QCOMPARE(p.line, line);
        QVERIFY(!p.ok());
        QVERIFY(!hexfile::describe(p).isEmpty());
    }

    // The front end words this itself; the check hands over both texts.
    void boardMismatchNamesBothBoards()
    {
        const hexfile::ImageProblem p =
            hexfile::checkImage(file({idLine(0x2345), dataRecord(0x800, "x")}), layout8k(), 0x1234);
        QCOMPARE(p.kind, Kind::BoardMismatch);
        QCOMPARE(p.fileBoardId, QStringLiteral("0x2345"));
        QCOMPARE(p.connectedBoardId, QStringLiteral("0x1234"));
        QCOMPARE(hexfile::describe(p),
                 QStringLiteral("line 1: made for board 0x2345, connected board is 0x1234"));
    }

    // The daemon takes what the board's loader takes, and builds the same
    // image in its one pass as buildImage() does.
    void daemonTakesWhatTheLoaderTakes()
    {
        const QByteArray text =
            file({idLine(0x1234), record(0x05, 0, QByteArray(4, '\0')),
                  dataRecord(0x1FF8, QByteArray(16, 'p')), // past the end
                  linearBase(0x00F0), dataRecord(0, "eeprom"),
                  record(0x04, 0x10, QByteArray(3, '\0')), // base 0
                  endOfFile(), dataRecord(0x0800, "after the end"), record(0x03, 0, "\x01\x02")});
        const protocol::BoardLayout layout = layout8k();
        QByteArray image;
        const hexfile::ImageProblem p =
            hexfile::checkImage(text, layout, 0x1234, hexfile::imageLayoutOf(layout), &image);
        QVERIFY2(p.ok(), qPrintable(hexfile::describe(p)));
        QByteArray built;
        QVERIFY(hexfile::buildImage(text, hexfile::imageLayoutOf(layout), &built));
        QCOMPARE(image, built);
        QCOMPARE(image.mid(0x800, 13), QByteArray("after the end"));
        QCOMPARE(image.right(8), QByteArray(8, 'p'));
        // Nothing for the program area is the front end's business.
        QVERIFY(hexfile::checkImage(file({idLine(0x1234)}), layout, 0x1234).ok());
        // A refused file leaves no image.
        QVERIFY(!hexfile::checkImage(text, layout, 0x4321, hexfile::imageLayoutOf(layout), &image)
                     .ok());
        QVERIFY(image.isEmpty());
        // No identifier position: nothing can pass. At position 0 the
        // identifier includes the "#" itself.
        protocol::BoardLayout l = layout8k();
        l.idPosition = -1;
        QCOMPARE(hexfile::checkImage(file(goodLines()), l, 0x1234).kind, Kind::NoIdPosition);
        l.idPosition = 0;
        QVERIFY(hexfile::checkImage(file(goodLines()), l, 0x2312).ok());
    }

    // Two records for one address: the same value is fine, another one is
    // named with both lines, in whatever order the records come.
    void conflictingValues()
    {
        const QByteArray a(16, 'a');
        QByteArray b = a;
        b[5] = 'b';
        const QList<QByteArray> base{idLine(0x1234), dataRecord(0x1000, "x")};
        const auto inspect = [](const QList<QByteArray> &lines) {
            return hexfile::inspectImage(file(lines + QList<QByteArray>{endOfFile()}), layout8k(),
                                         0x1234);
        };
        QVERIFY(inspect(base + QList<QByteArray>{dataRecord(0x900, a), dataRecord(0x900, a)}).ok());
        // Overlapping at an offset, the later record first in the file.
        const hexfile::ImageReport r = inspect(
            base + QList<QByteArray>{dataRecord(0x908, b.mid(0, 8)),
                                     dataRecord(0x900, QByteArray(8, '-')), dataRecord(0x903, a)});
        QCOMPARE(r.problem.kind, Kind::ConflictingData);
        QCOMPARE(r.problem.line, 5);
        QCOMPARE(r.problem.otherLine, 4);
        QCOMPARE(r.problem.address, quint64(0x903));
        QCOMPARE(r.problem.value, std::uint8_t('a'));
        QCOMPARE(r.problem.otherValue, std::uint8_t('-'));
        // Far apart in the file and near 4 GiB, where base and field add up
        // past 32 bits.
        QList<QByteArray> far = base;
        far << linearBase(0xFFFF) << dataRecord(0xFFF8, a);
        for (int i = 0; i < 300; ++i)
            far << dataRecord(quint16(0x1000 + i * 16), a);
        far << linearBase(0xFFFF) << dataRecord(0xFFF8, b);
        const hexfile::ImageReport high = inspect(far);
        QCOMPARE(high.problem.kind, Kind::ConflictingData);
        QCOMPARE(high.problem.address, quint64(0xFFFFFFF8) + 5);
        QCOMPARE(high.problem.otherLine, 4);
    }

    // What will not be written, in merged ranges; the list is capped, the
    // counts are not. Each address counts once.
    void bytesNotWritten()
    {
        QList<QByteArray> lines{idLine(0x1234),
                                dataRecord(0x0100, "boot"),
                                dataRecord(0x0800, QByteArray(32, 'c')),
                                dataRecord(0x0810, QByteArray(16, 'c')),
                                dataRecord(0x1FFC, "past!!!!"),
                                linearBase(0x00F0)};
        for (int i = 0; i < 10; ++i)
            lines << dataRecord(quint16(i * 4), "ee"); // ten ranges of two bytes
        lines << dataRecord(0x0010, "e") << dataRecord(0x0011, "e") << endOfFile();
        const hexfile::ImageReport r = hexfile::inspectImage(file(lines), layout8k(), 0x1234);
        QVERIFY2(r.ok(), qPrintable(hexfile::describe(r.problem)));
        QCOMPARE(r.programmedBytes, quint64(32 + 4));
        QCOMPARE(r.programmed.first, quint64(0x0800));
        QCOMPARE(r.programmed.last, quint64(0x1FFF));
        QCOMPARE(r.programAreaBytes, quint64(6 * 1024));
        QCOMPARE(r.outsideProgramArea.bytes, quint64(4));
        QCOMPARE(r.outsideProgramArea.listed.constFirst().first, quint64(0x100));
        // 0x2000-0x2003, then the EEPROM, whose last two records repeat
        // 0xF00010 and 0xF00011.
        QCOMPARE(r.outsideFlash.bytes, quint64(4 + 20));
        QCOMPARE(r.outsideFlash.rangeCount, 11);
        QCOMPARE(r.outsideFlash.listed.size(), hexfile::SkippedBytes::kMaxListed);
        QCOMPARE(r.outsideFlash.listed.at(0).first, quint64(0x2000));
        QCOMPARE(r.outsideFlash.listed.at(0).last, quint64(0x2003));
        QCOMPARE(r.outsideFlash.listed.at(5).first, quint64(0xF00010));
        QCOMPARE(r.outsideFlash.listed.at(5).bytes(), quint64(2));

        // A flash that starts high: below it is outside as well.
        protocol::BoardLayout high = layout8k();
        high.startFlash = 0x08000000;
        high.startProgr = 0x08000000;
        const hexfile::ImageReport h = hexfile::inspectImage(
            file({idLine(0x1234), linearBase(0x0800), dataRecord(0x0100, "hi"),
                  dataRecord(0x2000, "no"), linearBase(0), dataRecord(0x100, "lo"), endOfFile()}),
            high, 0x1234);
        QVERIFY(h.ok());
        QCOMPARE(h.programmedBytes, quint64(2));
        QCOMPARE(h.outsideFlash.bytes, quint64(4));
        QCOMPARE(h.outsideFlash.listed.at(0).first, quint64(0x100));
    }
};

QTEST_GUILESS_MAIN(TstImageCheck)
#include "tst_imagecheck.moc"
