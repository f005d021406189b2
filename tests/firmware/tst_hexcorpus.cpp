// Files made by other tools (tests/data/hex, see its README) through both
// layers of the HEX policy: the front end's check before sending, the
// daemon's answer to the upload, and what the update leaves on the board.
#include "firmware/imagecheck.h"
#include "protocol/topics.h"
#include "tests/serial/fakedaemon.h"

#include <QFile>
#include <QTest>

using Kind = hexfile::ImageProblem::Kind;

namespace {

const QString kCorpus = QStringLiteral(VELMO_HEX_CORPUS);
constexpr quint16 kBoardId = 0x1234;
constexpr int kProgramStart = 0x800;
constexpr int kProgramBytes = 6 * 1024;

// 8 KiB of flash from 0, program area 0x800-0x1FFF.
protocol::BoardLayout corpusLayout()
{
    protocol::BoardLayout l;
    l.startFlash = 0;
    l.startProgr = kProgramStart;
    l.sizeFlash = 8;
    l.sizeProgr = 6;
    l.maxErase = -1;
    l.padding = 0xFF;
    l.idPosition = 1;
    return l;
}

QByteArray corpusFile(const QString &name)
{
    QFile f(kCorpus + QLatin1Char('/') + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(Kind)

class TstHexCorpus : public QObject
{
    Q_OBJECT

private slots:
    void eachFile_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Kind>("preSend"); // the front end's verdict
        QTest::addColumn<int>("line");
        QTest::addColumn<int>("outsideFlash");   // bytes noted as not written
        QTest::addColumn<int>("outsideProgram"); // bytes noted as not written
        QTest::addColumn<QString>("programmed"); // empty: the daemon refuses

        const auto row = [](const char *file, Kind kind, int line, int outsideFlash,
                            int outsideProgram, const char *programmed) {
            QTest::newRow(file) << QString::fromLatin1(file) << kind << line << outsideFlash
                                << outsideProgram << QString::fromLatin1(programmed);
        };
        const char *ih = "expect-code-ih.bin";
        const char *srec = "expect-code-srec.bin";
        // Taken by both.
        row("ih-lf.hex", Kind::None, 0, 0, 0, ih);
        row("ih-crlf.hex", Kind::None, 0, 0, 0, ih);
        row("srec-i32.hex", Kind::None, 0, 0, 0, srec);
        row("srec-i16.hex", Kind::None, 0, 0, 0, srec);
        row("srec-i8.hex", Kind::None, 0, 0, 0, srec);
        row("srec-lower.hex", Kind::None, 0, 0, 0, srec);
        row("srec-blank-lines.hex", Kind::None, 0, 0, 0, srec);
        row("srec-obs64.hex", Kind::None, 0, 0, 0, srec);
        row("srec-motorola.hex", Kind::None, 0, 0, 0, srec);
        row("ih-start-linear.hex", Kind::None, 0, 0, 0, ih);
        row("ih-start-segment.hex", Kind::None, 0, 0, 0, ih);
        row("ih-eeprom.hex", Kind::None, 0, 16, 0, ih);
        row("ih-config.hex", Kind::None, 0, 14, 0, ih);
        row("ih-merged.hex", Kind::None, 0, 30, 0, ih);
        row("srec-past-end.hex", Kind::None, 0, 8, 0, "expect-past-end.bin");
        row("ih-boot-and-app.hex", Kind::None, 0, 0, 256, ih);
        row("srec-i16-high.hex", Kind::None, 0, 16, 0, srec);
        row("ih-duplicate-same.hex", Kind::None, 0, 0, 0, ih);
        row("ih-full.hex", Kind::None, 0, 0, 0, "expect-full.bin");
        row("ih-sparse.hex", Kind::None, 0, 0, 0, "expect-sparse.bin");
        // Refused before sending; the daemon takes them as the board's
        // loader would.
        row("cut-off.hex", Kind::NoEndOfFile, 189, 0, 0, ih);
        row("cut-mid.hex", Kind::NoEndOfFile, 100, 0, 0, "expect-cut-mid.bin");
        row("data-after-eof.hex", Kind::RecordAfterEndOfFile, 257, 0, 0, srec);
        row("conflict.hex", Kind::ConflictingData, 190, 0, 0, "expect-conflict.bin");
        row("eof-with-data.hex", Kind::EndOfFileWithData, 190, 0, 0, ih);
        row("start03-short.hex", Kind::AddressRecordLength, 190, 0, 0, ih);
        row("start05-address.hex", Kind::AddressFieldNotZero, 131, 0, 0, srec);
        row("base02-address.hex", Kind::AddressFieldNotZero, 2, 0, 0, srec);
        row("base04-long.hex", Kind::AddressRecordLength, 2, 0, 0, srec);
        row("srec-cr.hex", Kind::CarriageReturnLineEnd, 1, 0, 0, srec);
        row("boot-only.hex", Kind::NothingToProgram, 0, 0, 2048, "expect-blank.bin");
        row("eeprom-only.hex", Kind::NothingToProgram, 0, 16, 0, "expect-blank.bin");
        // Damaged or for another board: refused by both.
        row("bad-checksum.hex", Kind::BadChecksum, 5, 0, 0, "");
        row("non-hex.hex", Kind::BadDigit, 6, 0, 0, "");
        row("odd-digits.hex", Kind::BadLength, 7, 0, 0, "");
        row("count-mismatch.hex", Kind::BadLength, 8, 0, 0, "");
        row("unknown-type.hex", Kind::UnknownRecordType, 190, 0, 0, "");
        row("base04-short.hex", Kind::AddressRecordLength, 2, 0, 0, "");
        row("missing-colon.hex", Kind::MissingColon, 4, 0, 0, "");
        row("no-identifier.hex", Kind::MissingIdentifierLine, 1, 0, 0, "");
        row("other-board.hex", Kind::BoardMismatch, 1, 0, 0, "");
    }

    void eachFile()
    {
        QFETCH(QString, file);
        QFETCH(Kind, preSend);
        QFETCH(int, line);
        QFETCH(int, outsideFlash);
        QFETCH(int, outsideProgram);
        QFETCH(QString, programmed);
        const QByteArray text = corpusFile(file);
        QVERIFY2(!text.isEmpty(), qPrintable(file));
        const protocol::BoardLayout layout = corpusLayout();

        const hexfile::ImageReport report = hexfile::inspectImage(text, layout, kBoardId);
        QCOMPARE(report.problem.kind, preSend);
        QCOMPARE(report.problem.line, line);
        QCOMPARE(report.outsideFlash.bytes, quint64(outsideFlash));
        QCOMPARE(report.outsideProgramArea.bytes, quint64(outsideProgram));

        FakeDaemon daemon;
        const bool accepts = !programmed.isEmpty();
        QCOMPARE(daemon.prepare(layout, text),
                 accepts ? protocol::payload::kOk : protocol::payload::kError);
        if (!accepts)
            return;
        daemon.request(protocol::request::kUpdate, QStringLiteral("EraseAll=1"));
        QCOMPARE(daemon.waitFor(protocol::reply::kUpdate), protocol::payload::kOk);
        const QByteArray expected = corpusFile(programmed);
        QCOMPARE(expected.size(), kProgramBytes);
        QCOMPARE(daemon.board().flash().mid(kProgramStart, kProgramBytes).toHex(),
                 expected.toHex());
    }
};

QTEST_GUILESS_MAIN(TstHexCorpus)
#include "tst_hexcorpus.moc"
