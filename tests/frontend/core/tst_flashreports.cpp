// What the user is told about an update and its troubles, apart from the
// workflow: blocks and time left from the daemon's percentages, the hints to
// the daemon's port errors, and the wording of a refused HEX file.
#include "frontend/core/imagereport.h"
#include "frontend/core/porthint.h"
#include "frontend/core/updateprogress.h"
#include "protocol/porterror.h"

#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

using namespace frontend;
using protocol::PortErrorCode;

class TstFlashReports : public QObject
{
    Q_OBJECT

private slots:
    // The daemon publishes a percentage each time int(blocks * 100 / total)
    // changes; the first block count that gives it is what was written.
    void blocksFromPercent()
    {
        for (const int total : {1, 7, 99, 100, 992, 960, 262144}) {
            int last = 0; // the daemon starts from 0 and never reports it
            for (int blocks = 1; blocks <= total; ++blocks) {
                const int percent = int(qint64(blocks) * 100 / total);
                if (percent == last)
                    continue;
                last = percent;
                QCOMPARE(UpdateProgress::blocksAt(percent, total), blocks);
            }
        }
        QCOMPARE(UpdateProgress::blocksAt(0, 992), 0);
        QCOMPARE(UpdateProgress::blocksAt(150, 992), 992);
        QCOMPARE(UpdateProgress::blocksAt(50, 0), 0);
    }

    void timeLeftFromTheRateSoFar()
    {
        UpdateProgress p;
        p.start(1000);
        QCOMPARE(p.remainingMs(), -1);
        QCOMPARE(p.statusText(), QStringLiteral("Written 0 of 1000 blocks."));

        p.advance(1, 20000); // after the erase: the clock starts here
        QCOMPARE(p.blocksWritten(), 10);
        QCOMPARE(p.remainingMs(), -1);
        p.advance(2, 20500); // too short a span to trust
        QCOMPARE(p.remainingMs(), -1);
        QCOMPARE(p.statusText(), QStringLiteral("Written 20 of 1000 blocks."));

        p.advance(11, 22000); // 100 blocks in 2 s: 50 per second
        QCOMPARE(p.blocksWritten(), 110);
        QCOMPARE(p.remainingMs(), 17800); // 890 blocks
        QCOMPARE(p.statusText(), QStringLiteral("Written 110 of 1000 blocks, about 18 s left."));

        // Slower from here on: the estimate follows the average.
        p.advance(21, 32000); // 200 blocks in 12 s
        QCOMPARE(p.remainingMs(), 47400);

        // A new update starts over.
        p.start(500);
        QCOMPARE(p.blocksWritten(), 0);
        QCOMPARE(p.remainingMs(), -1);
        p.advance(50, 0);
        QCOMPARE(p.statusText(), QStringLiteral("Written 250 of 500 blocks."));

        // Without a layout there are no blocks to count.
        p.start(0);
        p.advance(40, 0);
        QCOMPARE(p.statusText(), QStringLiteral("Writing the board: 40 %"));
    }

    void remainingTexts_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("under a second") << qint64(1) << "about 1 s left";
        QTest::newRow("rounded up") << qint64(41001) << "about 42 s left";
        QTest::newRow("just under a minute") << qint64(59000) << "about 59 s left";
        QTest::newRow("a minute") << qint64(60000) << "about 1 min left";
        QTest::newRow("tens of seconds") << qint64(134000) << "about 2 min 10 s left";
        QTest::newRow("rounds to the next minute") << qint64(176000) << "about 3 min left";
    }
    void remainingTexts()
    {
        QFETCH(qint64, ms);
        QFETCH(QString, text);
        QCOMPARE(UpdateProgress::remainingText(ms), text);
    }

    void errorCodeOfDaemonText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("code"); // -1: none
        QTest::newRow("open") << "Can't open ttyUSB0, error code 2" << 2;
        QTest::newRow("baud") << "Can't set baud rate 9600 baud to port ttyUSB0, error code 1" << 1;
        QTest::newRow("trailing blank") << "Can't open x, error code 3 " << 3;
        QTest::newRow("beyond the list")
            << "Can't open x, error code 77" << int(PortErrorCode::Unknown);
        QTest::newRow("disconnected") << "Serial port /dev/ttyUSB0 was disconnected" << -1;
        QTest::newRow("code in the name only") << "Can't open error code 2x, sorry" << -1;
    }
    void errorCodeOfDaemonText()
    {
        QFETCH(QString, text);
        QFETCH(int, code);
        const std::optional<PortErrorCode> got = protocol::portErrorCodeOf(text);
        QCOMPARE(got ? int(*got) : -1, code);
    }

    void hintsByCause_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("accessible");
        QTest::addColumn<QString>("group");
        QTest::addColumn<bool>("inGroup");
        QTest::addColumn<bool>("sessionHas");
        QTest::addColumn<QString>("hint");

        const QString open2 = QStringLiteral("Can't open ttyUSB0, error code 2");
        QTest::newRow("not in the group")
            << open2 << true << false << "uucp" << false << false
            << "Your user may not open /dev/ttyUSB0, which belongs to the group \"uucp\". Add the "
               "user to that group (sudo adduser tech uucp), then log out and in again.";
        QTest::newRow("group unknown: the usual one")
            << open2 << true << false << "" << false << false
            << "Your user may not open /dev/ttyUSB0, which belongs to the group \"dialout\". Add "
               "the user to that group (sudo adduser tech dialout), then log out and in again.";
        QTest::newRow("added, not logged in again")
            << open2 << true << false << "dialout" << true << false
            << "Your user is in the group \"dialout\" that owns /dev/ttyUSB0, but this session "
               "started before: log out and in again.";
        QTest::newRow("allowed, so busy")
            << open2 << true << true << "dialout" << true << true
            << "Another program holds /dev/ttyUSB0 (a terminal program, a modem manager or a "
               "second copy of this tool). Close it and connect again.";
        QTest::newRow("permission on a missing device")
            << open2 << false << false << "" << false << false
            << "/dev/ttyUSB0 does not exist. The USB adapter is unplugged, or the port name is "
               "wrong: plug the adapter in, then choose the port in Setup > Configure.";
        QTest::newRow("not found")
            << "Can't open ttyUSB0, error code 1" << false << false << "" << false << false
            << "/dev/ttyUSB0 does not exist. The USB adapter is unplugged, or the port name is "
               "wrong: plug the adapter in, then choose the port in Setup > Configure.";
        QTest::newRow("open error: busy")
            << "Can't open ttyUSB0, error code 3" << true << true << "dialout" << true << true
            << "Another program holds /dev/ttyUSB0 (a terminal program, a modem manager or a "
               "second copy of this tool). Close it and connect again.";
        QTest::newRow("went away while open")
            << "Serial port ttyUSB0 was disconnected" << false << false << "" << false << false
            << "/dev/ttyUSB0 went away: the USB adapter was unplugged or lost power. Plug it in "
               "again and connect.";
        QTest::newRow("resource error")
            << "Can't set baud rate 115200 baud to port ttyUSB0, error code 6" << true << true
            << "dialout" << true << true
            << "/dev/ttyUSB0 went away: the USB adapter was unplugged or lost power. Plug it in "
               "again and connect.";
        QTest::newRow("nothing to add") << "Can't set 8 data bits to port ttyUSB0, error code 7"
                                        << true << true << "dialout" << true << true << "";
        QTest::newRow("unknown text")
            << "Something else" << true << true << "dialout" << true << true << "";
    }
    void hintsByCause()
    {
        QFETCH(QString, text);
        QFETCH(bool, exists);
        QFETCH(bool, accessible);
        QFETCH(QString, group);
        QFETCH(bool, inGroup);
        QFETCH(bool, sessionHas);
        QFETCH(QString, hint);
        PortAccess access;
        access.exists = exists;
        access.accessible = accessible;
        access.group = group;
        access.user = QStringLiteral("tech");
        access.userInGroup = inGroup;
        access.sessionHasGroup = sessionHas;
        QCOMPARE(portErrorHint(text, QStringLiteral("ttyUSB0"), access), hint);
    }

    void probesTheDeviceFile()
    {
        QCOMPARE(devicePath(QStringLiteral("ttyACM0")), QStringLiteral("/dev/ttyACM0"));
        QCOMPARE(devicePath(QStringLiteral("/dev/serial/by-id/usb-FTDI-if00")),
                 QStringLiteral("/dev/serial/by-id/usb-FTDI-if00"));

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const PortAccess missing = probePortAccess(dir.filePath(QStringLiteral("ttyNone")));
        QVERIFY(!missing.exists);
        QVERIFY(!missing.accessible);
        QVERIFY(!missing.user.isEmpty());

        // A file of our own: ours to open, in a group this session carries.
        const QString own = dir.filePath(QStringLiteral("ttyOwn"));
        QFile file(own);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        const PortAccess mine = probePortAccess(own);
        QVERIFY(mine.exists);
        QVERIFY(mine.accessible);
        QVERIFY(mine.sessionHasGroup);

        // Read-only for us: refused (root reads and writes anything).
        QVERIFY(file.setPermissions(QFileDevice::ReadOwner));
        if (::geteuid() != 0)
            QVERIFY(!probePortAccess(own).accessible);
    }

    void imageProblemTexts()
    {
        protocol::BoardLayout layout;
        layout.startFlash = 0x800;
        layout.sizeFlash = 2; // 0x800 to 0xfff
        using Kind = hexfile::ImageProblem::Kind;
        hexfile::ImageProblem p;
        p.kind = Kind::BadChecksum;
        p.line = 12;
        QCOMPARE(imageProblemText(p, layout), QStringLiteral("line 12: wrong record checksum"));
        p.kind = Kind::BadDigit;
        QCOMPARE(imageProblemText(p, layout),
                 QStringLiteral("line 12: a character that is not a hexadecimal digit"));
        p.kind = Kind::ConflictingData;
        p.address = 0x7f0;
        p.value = 0xab;
        p.otherLine = 3;
        p.otherValue = 0x01;
        QCOMPARE(imageProblemText(p, layout),
                 QStringLiteral("line 12 gives address 0x0007F0 the value 0xAB, but line 3 gave "
                                "it 0x01"));
        p.kind = Kind::NoEndOfFile;
        QCOMPARE(imageProblemText(p, layout),
                 QStringLiteral("line 12: the file ends without an end-of-file record: it may be "
                                "cut off"));
        p = {};
        p.kind = Kind::BoardMismatch;
        p.line = 1;
        p.fileBoardId = QStringLiteral("0x2345");
        p.connectedBoardId = QStringLiteral("0x1234");
        QCOMPARE(imageProblemText(p, layout),
                 QStringLiteral("made for board 0x2345, connected board is 0x1234"));
        p.kind = Kind::NothingToProgram;
        layout.startProgr = 0x800;
        layout.sizeProgr = 1;
        QCOMPARE(imageProblemText(p, layout),
                 QStringLiteral("nothing to program for this board: the file holds no data for "
                                "its program area (0x000800\u20130x000BFF)"));
        // Every kind has words of its own.
        QSet<QString> texts;
        for (int k = int(Kind::MissingIdentifierLine); k <= int(Kind::NothingToProgram); ++k) {
            p.kind = Kind(k);
            const QString text = imageProblemText(p, layout);
            QVERIFY2(!text.isEmpty(), qPrintable(QString::number(k)));
            texts.insert(text);
        }
        QCOMPARE(texts.size(), int(Kind::NothingToProgram));
        QCOMPARE(imageLoadProblemText(ImageLoad::Status::Empty),
                 QStringLiteral("the file is empty"));
        QVERIFY(imageLoadProblemText(ImageLoad::Status::Loaded).isEmpty());
    }

    // What is not written, and the Hex File Info around it.
    void imageNotesAndInfo()
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        protocol::BoardLayout layout;
        layout.startProgr = 0x800;
        layout.sizeProgr = 2;
        hexfile::ImageReport r;
        r.outsideFlash.bytes = 16 + 1 + 40;
        r.outsideFlash.rangeCount = 4;
        r.outsideFlash.listed = {{0xF00000, 0xF0000F}, {0x300001, 0x300001}};
        r.outsideProgramArea.bytes = 256;
        r.outsideProgramArea.rangeCount = 1;
        r.outsideProgramArea.listed = {{0, 0xFF}};
        r.programmedBytes = 1024;
        r.programmed = {0x800, 0xBFF};
        r.programAreaBytes = 2048;
        const QStringList notes = imageNoteTexts(r, layout);
        QCOMPARE(notes,
                 (QStringList{QStringLiteral("16 bytes at 0xF00000\u20130xF0000F lie outside this "
                                             "board's flash and are not written"),
                              QStringLiteral("1 byte at 0x300001 lies outside this board's flash "
                                             "and is not written"),
                              QStringLiteral("and 40 bytes more in 2 further ranges outside this "
                                             "board's flash"),
                              QStringLiteral("256 bytes at 0x000000\u20130x0000FF lie outside the "
                                             "program area (0x000800\u20130x000FFF) and are not "
                                             "written")}));
        const QStringList info =
            imageInfoText(r, 2345, QStringLiteral("0123abcd"), layout).split(QLatin1Char('\n'));
        QCOMPARE(info.at(0), QStringLiteral("Size: 2,345 bytes. MD5: 0123abcd"));
        QCOMPARE(info.at(1), QStringLiteral("Programs 0x000800\u20130x000BFF: 1,024 bytes, 50 % "
                                            "of the program area"));
        QCOMPARE(info.mid(2), notes);
        QCOMPARE(imageNotesSummary(r), QStringLiteral("Not written: 57 bytes outside this board's "
                                                      "flash, 256 bytes outside the program "
                                                      "area."));
        r.outsideFlash = {};
        r.outsideProgramArea.bytes = 1;
        QCOMPARE(imageNotesSummary(r),
                 QStringLiteral("Not written: 1 byte outside the program area."));
        r.outsideProgramArea = {};
        QVERIFY(imageNotesSummary(r).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstFlashReports)
#include "tst_flashreports.moc"
