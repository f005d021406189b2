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
        QTest::newRow("past the flash") << with(3, dataRecord(0x1FF8, QByteArray(16, 'b')))
                                        << 0x1234 << Kind::OutsideFlash << 4;
        QTest::newRow("above the flash")
            << file({idLine(0x1234), linearBase(1), dataRecord(0, "z"), endOfFile()}) << 0x1234
            << Kind::OutsideFlash << 3;
        QTest::newRow("segment base above the flash")
            << file({idLine(0x1234), segmentBase(0x1000), dataRecord(0, "z")}) << 0x1234
            << Kind::OutsideFlash << 3;
        QTest::newRow("nothing to program")
            << file({idLine(0x1234), endOfFile()}) << 0x1234 << Kind::NoDataRecords << 0;
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

    void layoutDecidesTheRange()
    {
        const QByteArray text =
            file({idLine(0x1234), linearBase(0x0800), dataRecord(0x0100, "hi")});
        protocol::BoardLayout l = layout8k();
        QCOMPARE(hexfile::checkImage(text, l, 0x1234).kind, Kind::OutsideFlash);
        QCOMPARE(hexfile::checkImage(text, l, 0x1234).address, 0x08000100u);
        l.startFlash = 0x08000000;
        QVERIFY(hexfile::checkImage(text, l, 0x1234).ok());
        // Below startFlash is outside as well.
        l.startFlash = 0x08000200;
        QCOMPARE(hexfile::checkImage(text, l, 0x1234).kind, Kind::OutsideFlash);
        // No identifier position: nothing can pass.
        l = layout8k();
        l.idPosition = -1;
        QCOMPARE(hexfile::checkImage(file(goodLines()), l, 0x1234).kind, Kind::NoIdPosition);
        // The identifier at position 0 includes the "#" itself.
        l.idPosition = 0;
        QVERIFY(hexfile::checkImage(file(goodLines()), l, 0x2312).ok());
    }
};

QTEST_GUILESS_MAIN(TstImageCheck)
#include "tst_imagecheck.moc"
