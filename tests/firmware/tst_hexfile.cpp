#include "firmware/hexfile.h"
#include "tests/firmware/hexbuilder.h"

#include <QTest>

using namespace hexbuilder;

namespace {
QByteArray bytes(int n, char first)
{
    QByteArray out(n, '\0');
    for (int i = 0; i < n; ++i)
        out[i] = static_cast<char>(first + i);
    return out;
}

hexfile::Layout layout64k(quint8 padding = 0xFF)
{
    hexfile::Layout l;
    l.startFlash = 0;
    l.sizeBytes = 64 * 1024;
    l.padding = padding;
    return l;
}
} // namespace

class TstHexFile : public QObject
{
    Q_OBJECT

private slots:
    void recordTypes()
    {
        hexfile::Record r;
        QCOMPARE(hexfile::parseRecord(":10010000214601360121470136007EFE09D2190140", &r),
                 hexfile::RecordError::None);
        QCOMPARE(r.type, quint8(0));
        QCOMPARE(r.address, quint16(0x0100));
        QCOMPARE(r.data.toHex().toUpper(), QByteArray("214601360121470136007EFE09D21901"));
        QCOMPARE(hexfile::parseRecord(":020000040800F2", &r), hexfile::RecordError::None);
        QCOMPARE(r.type, quint8(4));
        QCOMPARE(hexfile::parseRecord(":020000021200EA", &r), hexfile::RecordError::None);
        QCOMPARE(r.type, quint8(2));
        QCOMPARE(hexfile::parseRecord(":00000001ff", &r), hexfile::RecordError::None);
    }

    void damagedRecords_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("error");
        const int digit = int(hexfile::RecordError::BadDigit);
        const int length = int(hexfile::RecordError::BadLength);
        const int sum = int(hexfile::RecordError::BadChecksum);
        QTest::newRow("checksum") << QByteArray(":10010000214601360121470136007EFE09D2190141")
                                  << sum;
        QTest::newRow("data byte changed")
            << QByteArray(":10010000214601360121470136007EFE09D2190240") << sum;
        QTest::newRow("digit") << QByteArray(":10010000214601360121470136007EFE09D219G140")
                               << digit;
        QTest::newRow("odd digits") << QByteArray(":1001000021460136012147013600") << length;
        QTest::newRow("count too big")
            << QByteArray(":11010000214601360121470136007EFE09D219013F") << length;
        QTest::newRow("truncated") << QByteArray(":10010000214601") << length;
        QTest::newRow("header only") << QByteArray(":0000") << length;
        QTest::newRow("no colon") << QByteArray("10010000214601360121470136007EFE09D2190140")
                                  << int(hexfile::RecordError::MissingColon);
    }

    void damagedRecords()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, error);
        QCOMPARE(int(hexfile::parseRecord(line, nullptr)), error);
    }

    void validationNamesTheFirstBadLine()
    {
        const QByteArray good = file({idLine(0x1234), dataRecord(0, bytes(16, 1)), "",
                                      dataRecord(16, bytes(16, 2)), endOfFile()});
        QVERIFY(hexfile::validateRecords(good).ok());
        QByteArray damaged = dataRecord(16, bytes(16, 2));
        damaged[12] = damaged.at(12) == '0' ? '1' : '0'; // one data digit
        QByteArray bad = good;
        bad.replace(dataRecord(16, bytes(16, 2)), damaged);
        const hexfile::Validation v = hexfile::validateRecords(bad);
        QCOMPARE(v.error, hexfile::RecordError::BadChecksum);
        QCOMPARE(v.lineNumber, 4);
        // The identifier line is not a record.
        QVERIFY(hexfile::validateRecords("#zz\n" + dataRecord(0, "ab") + "\n").ok());
    }

    void imageIsPaddedAndHoldsTheData()
    {
        const QByteArray text = file({idLine(0x1234), dataRecord(0x0800, bytes(16, 0x10)),
                                      dataRecord(0x0810, bytes(8, 0x40)), endOfFile()},
                                     "\n");
        QByteArray image;
        QVERIFY(hexfile::buildImage(text, layout64k(0xA5), &image));
        QCOMPARE(image.size(), 64 * 1024);
        QCOMPARE(image.mid(0x0800, 16), bytes(16, 0x10));
        QCOMPARE(image.mid(0x0810, 8), bytes(8, 0x40));
        QCOMPARE(image.mid(0x0818, 8), QByteArray(8, '\xA5'));
        QCOMPARE(image.count('\xA5'), 64 * 1024 - 24);
    }

    void extendedLinearAndSegmentBases()
    {
        hexfile::Layout l;
        l.sizeBytes = 2 * 64 * 1024 + 1024;
        QByteArray image;
        QVERIFY(hexfile::buildImage(file({idLine(1), linearBase(1), dataRecord(0x10, "AB"),
                                          segmentBase(0x2000), dataRecord(0x20, "CD")}),
                                    l, &image));
        QCOMPARE(image.mid(0x10010, 2), QByteArray("AB"));
        QCOMPARE(image.mid(0x20020, 2), QByteArray("CD"));
    }

    void recordsOutsideTheImageAreDropped()
    {
        QByteArray image;
        // Base 0x10000 lies past a 64 KiB image that starts at 0.
        QVERIFY(hexfile::buildImage(file({idLine(1), linearBase(1), dataRecord(0, bytes(16, 1)),
                                          linearBase(0), dataRecord(0x20, "xy")}),
                                    layout64k(), &image));
        QCOMPARE(image.count('\xFF'), 64 * 1024 - 2);
        QCOMPARE(image.mid(0x20, 2), QByteArray("xy"));

        // Below the start of the flash neither; of a record that starts
        // below it, the bytes from the start on are kept.
        hexfile::Layout l = layout64k();
        l.startFlash = 0x1000;
        QVERIFY(
            hexfile::buildImage(file({idLine(1), dataRecord(0x0FF0, bytes(32, 1))}), l, &image));
        QCOMPARE(image.count('\xFF'), 64 * 1024 - 16);
        QCOMPARE(image.mid(0x1000, 16), bytes(16, 17));
    }

    void recordRunningPastTheEndIsCut()
    {
        hexfile::Layout l;
        l.sizeBytes = 1024;
        QByteArray image;
        QVERIFY(hexfile::buildImage(file({idLine(1), dataRecord(1016, bytes(16, 1))}), l, &image));
        QCOMPARE(image.size(), 1024);
        QCOMPARE(image.right(8), bytes(8, 1));

        // Flash that starts higher: the image offset runs past the buffer.
        l.startFlash = 0x100;
        QVERIFY(
            hexfile::buildImage(file({idLine(1), dataRecord(0x03F8, bytes(16, 1))}), l, &image));
        QCOMPARE(image.right(8), bytes(8, 1));
        QVERIFY(
            hexfile::buildImage(file({idLine(1), dataRecord(0x0480, bytes(16, 1))}), l, &image));
        QCOMPARE(image.count('\xFF'), 1024);
    }

    // Boards whose flash sits high in the address space: the image is
    // indexed by the low 24 bits.
    void highFlashMapsToLow24Bits()
    {
        hexfile::Layout l;
        l.startFlash = 0x08000000;
        l.sizeBytes = 4096;
        QByteArray image;
        QVERIFY(hexfile::buildImage(file({idLine(1), linearBase(0x0800), dataRecord(0x0100, "hi")}),
                                    l, &image));
        QCOMPARE(image.mid(0x100, 2), QByteArray("hi"));
    }

    // LF, CR LF and a lone CR each end a line; blank lines count.
    void lineEnds()
    {
        hexfile::LineCursor lines("#1\r\n\n:a\r:b\r\r\n:c");
        QByteArrayView line;
        hexfile::LineEnd end = hexfile::LineEnd::None;
        QList<QByteArray> got;
        QList<hexfile::LineEnd> ends;
        while (lines.next(&line, &end)) {
            got << line.toByteArray();
            ends << end;
        }
        using E = hexfile::LineEnd;
        QCOMPARE(got, (QList<QByteArray>{"#1", "", ":a", ":b", "", ":c"}));
        QCOMPARE(ends, (QList<E>{E::CrLf, E::Lf, E::Cr, E::Cr, E::CrLf, E::None}));
        QCOMPARE(lines.lineNumber(), 6);

        // A file with CR line ends alone is read record by record.
        const QByteArray cr = file({idLine(1), dataRecord(0x10, "AB"), endOfFile()}, "\r");
        QByteArray image;
        QVERIFY(hexfile::buildImage(cr, layout64k(), &image));
        QCOMPARE(image.mid(0x10, 2), QByteArray("AB"));
        QCOMPARE(hexfile::firstLine(cr), idLine(1));
        hexfile::RecordWalker walker(cr);
        QVERIFY(walker.next());
        QCOMPARE(walker.record().line, 2);
        QCOMPARE(walker.firstCrLine(), 1);
    }

    void damagedLinesDoNotReachTheImage()
    {
        QByteArray image;
        QVERIFY(hexfile::buildImage("#1234\n:02000000ZZZZ00\n:FF0000\n\n\n:", layout64k(), &image));
        QCOMPARE(image.count('\xFF'), 64 * 1024);
    }

    void unusableLayouts()
    {
        QByteArray image = "old";
        hexfile::Layout l;
        l.sizeBytes = 0;
        QVERIFY(!hexfile::buildImage("#1\n", l, &image));
        QVERIFY(image.isEmpty());
        l.sizeBytes = hexfile::kMaxImageBytes + 1;
        QVERIFY(!hexfile::buildImage("#1\n", l, &image));
    }

    void boardIdentifierLine_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("position");
        QTest::addColumn<int>("boardId");
        QTest::addColumn<bool>("match");
        QTest::newRow("position 1") << QByteArray("#1234") << 1 << 0x1234 << true;
        QTest::newRow("lower-case digits") << QByteArray("#00abcd") << 2 << 0xABCD << true;
        QTest::newRow("upper-case digits") << QByteArray("#00ABCD") << 2 << 0xABCD << true;
        QTest::newRow("other board") << QByteArray("#1234") << 1 << 0x1235 << false;
        QTest::newRow("swapped bytes") << QByteArray("#3412") << 1 << 0x1234 << false;
        QTest::newRow("hash counts as byte 0") << QByteArray("#12") << 0 << 0x2312 << true;
        QTest::newRow("no position configured") << QByteArray("#1234") << -1 << 0x1234 << false;
        QTest::newRow("past the line") << QByteArray("#1234") << 2 << 0x34 << false;
        QTest::newRow("half a byte") << QByteArray("#12345") << 2 << 0x3450 << false;
        QTest::newRow("no hash") << QByteArray(":1234") << 1 << 0x1234 << false;
        QTest::newRow("empty") << QByteArray() << 1 << 0 << false;
        QTest::newRow("stops at junk") << QByteArray("#12zz34") << 2 << 0x34 << false;
    }

    void boardIdentifierLine()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, position);
        QFETCH(int, boardId);
        QFETCH(bool, match);
        QCOMPARE(hexfile::boardIdMatches(line, position, boardId), match);
    }

    void firstLineWithoutLineEnd()
    {
        QCOMPARE(hexfile::firstLine("#1234\r\n:00000001FF\r\n"), QByteArray("#1234"));
        QCOMPARE(hexfile::firstLine("#1234"), QByteArray("#1234"));
    }
};

QTEST_GUILESS_MAIN(TstHexFile)
#include "tst_hexfile.moc"
