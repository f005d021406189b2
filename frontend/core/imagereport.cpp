#include "frontend/core/imagereport.h"

#include <QCoreApplication>
#include <QLocale>

// The user reads these texts in the main window: they keep its translation
// context, "MainWindow".
namespace frontend {

namespace {

QString byteText(std::uint8_t value)
{
    return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
}

QString typeText(std::uint8_t type)
{
    return byteText(type);
}

QString programAreaText(const protocol::BoardLayout &layout)
{
    const quint64 start = quint32(layout.startProgr);
    const quint64 size = quint64(qMax<qint64>(layout.progrBytes(), 1));
    return rangeText({start, start + size - 1});
}

// "16 bytes at 0xF00000–0xF0000F lie outside this board's flash and are not
// written", one line per range, then what was left out of the list.
void appendSkipped(QStringList *lines, const hexfile::SkippedBytes &skipped, bool outsideFlash,
                   const protocol::BoardLayout &layout)
{
    for (const hexfile::ByteRange &r : skipped.listed) {
        if (outsideFlash)
            *lines << (r.bytes() == 1
                           ? QCoreApplication::translate(
                                 "MainWindow",
                                 "1 byte at %1 lies outside this board's flash and is not written")
                                 .arg(addressText(r.first))
                           : QCoreApplication::translate("MainWindow",
                                                         "%1 bytes at %2 lie outside this board's "
                                                         "flash and are not written")
                                 .arg(r.bytes())
                                 .arg(rangeText(r)));
        else
            *lines << (r.bytes() == 1
                           ? QCoreApplication::translate("MainWindow",
                                                         "1 byte at %1 lies outside the program "
                                                         "area (%2) and is not written")
                                 .arg(addressText(r.first), programAreaText(layout))
                           : QCoreApplication::translate("MainWindow",
                                                         "%1 bytes at %2 lie outside the program "
                                                         "area (%3) and are not written")
                                 .arg(r.bytes())
                                 .arg(rangeText(r), programAreaText(layout)));
    }
    const qint64 moreRanges = skipped.rangeCount - skipped.listed.size();
    if (moreRanges <= 0)
        return;
    quint64 listedBytes = 0;
    for (const hexfile::ByteRange &r : skipped.listed)
        listedBytes += r.bytes();
    *lines << (outsideFlash ? QCoreApplication::translate("MainWindow",
                                                          "and %1 bytes more in %2 further ranges "
                                                          "outside this board's flash")
                            : QCoreApplication::translate("MainWindow",
                                                          "and %1 bytes more in %2 further ranges "
                                                          "outside the program area"))
                  .arg(skipped.bytes - listedBytes)
                  .arg(moreRanges);
}

} // namespace

QString addressText(quint64 address)
{
    return QStringLiteral("0x") +
           QString::number(address, 16).toUpper().rightJustified(6, QLatin1Char('0'));
}

QString rangeText(const hexfile::ByteRange &range)
{
    if (range.first == range.last)
        return addressText(range.first);
    return addressText(range.first) + QChar(0x2013) + addressText(range.last);
}

QStringList imageNoteTexts(const hexfile::ImageReport &report, const protocol::BoardLayout &layout)
{
    QStringList lines;
    appendSkipped(&lines, report.outsideFlash, true, layout);
    appendSkipped(&lines, report.outsideProgramArea, false, layout);
    return lines;
}

QString imageNotesSummary(const hexfile::ImageReport &report)
{
    QStringList parts;
    const quint64 flash = report.outsideFlash.bytes;
    const quint64 program = report.outsideProgramArea.bytes;
    if (flash == 1)
        parts << QCoreApplication::translate("MainWindow", "1 byte outside this board's flash");
    else if (flash > 1)
        parts << QCoreApplication::translate("MainWindow", "%1 bytes outside this board's flash")
                     .arg(flash);
    if (program == 1)
        parts << QCoreApplication::translate("MainWindow", "1 byte outside the program area");
    else if (program > 1)
        parts << QCoreApplication::translate("MainWindow", "%1 bytes outside the program area")
                     .arg(program);
    if (parts.isEmpty())
        return QString();
    return QCoreApplication::translate("MainWindow", "Not written: %1.")
        .arg(parts.join(QStringLiteral(", ")));
}

QString imageInfoText(const hexfile::ImageReport &report, qint64 fileSize, const QString &md5,
                      const protocol::BoardLayout &layout)
{
    const QLocale locale;
    QStringList lines;
    lines << QCoreApplication::translate("MainWindow", "Size: %1 bytes. MD5: %2")
                 .arg(locale.toString(fileSize), md5);
    if (report.programmedBytes > 0) {
        const double share = report.programAreaBytes > 0 ? 100.0 * double(report.programmedBytes) /
                                                               double(report.programAreaBytes)
                                                         : 0.0;
        lines << QCoreApplication::translate("MainWindow",
                                             "Programs %1: %2 bytes, %3 % of the program area")
                     .arg(rangeText(report.programmed))
                     .arg(locale.toString(qulonglong(report.programmedBytes)))
                     .arg(locale.toString(share, 'f', share < 10 ? 1 : 0));
    }
    lines << imageNoteTexts(report, layout);
    return lines.join(QLatin1Char('\n'));
}

QString imageLoadProblemText(ImageLoad::Status status)
{
    switch (status) {
    case ImageLoad::Status::Loaded:
        break;
    case ImageLoad::Status::OpenFailed:
    case ImageLoad::Status::ReadFailed:
        return QCoreApplication::translate("MainWindow", "the file cannot be read");
    case ImageLoad::Status::TooLarge:
        return QCoreApplication::translate("MainWindow", "the file is too large");
    case ImageLoad::Status::Empty:
        return QCoreApplication::translate("MainWindow", "the file is empty");
    case ImageLoad::Status::OutOfMemory:
        return QCoreApplication::translate("MainWindow", "not enough memory to read the file");
    }
    return QString();
}

QString imageProblemText(const hexfile::ImageProblem &p, const protocol::BoardLayout &layout)
{
    using Kind = hexfile::ImageProblem::Kind;
    const auto atLine = [&p](const char *what) {
        return QCoreApplication::translate("MainWindow", "line %1: %2")
            .arg(p.line)
            .arg(QCoreApplication::translate("MainWindow", what));
    };
    switch (p.kind) {
    case Kind::None:
        break;
    case Kind::MissingIdentifierLine:
        return QCoreApplication::translate(
            "MainWindow", "line 1 is not a board identifier line (\"#\" and hexadecimal pairs)");
    case Kind::NoIdPosition:
        return QCoreApplication::translate(
            "MainWindow", "the board's configuration file names no identifier position");
    case Kind::IdentifierTooShort:
        return QCoreApplication::translate("MainWindow", "line 1 ends before the board identifier");
    case Kind::BoardMismatch:
        return QCoreApplication::translate("MainWindow", "made for board %1, connected board is %2")
            .arg(p.fileBoardId, p.connectedBoardId);
    case Kind::MissingColon:
        return atLine(QT_TRANSLATE_NOOP("MainWindow", "the record does not begin with \":\""));
    case Kind::BadDigit:
        return atLine(
            QT_TRANSLATE_NOOP("MainWindow", "a character that is not a hexadecimal digit"));
    case Kind::BadLength:
        return atLine(
            QT_TRANSLATE_NOOP("MainWindow", "the record's length does not match its byte count"));
    case Kind::BadChecksum:
        return atLine(QT_TRANSLATE_NOOP("MainWindow", "wrong record checksum"));
    case Kind::UnknownRecordType:
        return atLine(QT_TRANSLATE_NOOP("MainWindow", "unknown record type"));
    case Kind::AddressRecordLength:
        return QCoreApplication::translate(
                   "MainWindow",
                   "line %1: a type %2 record must hold %3 data bytes, this one holds %4")
            .arg(p.line)
            .arg(typeText(p.recordType))
            .arg(hexfile::addressRecordBytes(p.recordType))
            .arg(p.dataBytes);
    case Kind::CarriageReturnLineEnd:
        return QCoreApplication::translate("MainWindow",
                                           "line %1 ends with a carriage return alone (CR line "
                                           "ends): save the file with LF or CR LF line ends")
            .arg(p.line);
    case Kind::RecordAfterEndOfFile:
        return QCoreApplication::translate("MainWindow",
                                           "line %1: a record after the end-of-file record of "
                                           "line %2")
            .arg(p.line)
            .arg(p.otherLine);
    case Kind::EndOfFileWithData:
        return atLine(QT_TRANSLATE_NOOP("MainWindow", "the end-of-file record carries data"));
    case Kind::AddressFieldNotZero:
        return QCoreApplication::translate(
                   "MainWindow", "line %1: the address field of a type %2 record must be 0000")
            .arg(p.line)
            .arg(typeText(p.recordType));
    case Kind::NoEndOfFile:
        return atLine(QT_TRANSLATE_NOOP(
            "MainWindow", "the file ends without an end-of-file record: it may be cut off"));
    case Kind::ConflictingData:
        return QCoreApplication::translate(
                   "MainWindow",
                   "line %1 gives address %2 the value 0x%3, but line %4 gave it 0x%5")
            .arg(p.line)
            .arg(addressText(p.address))
            .arg(byteText(p.value))
            .arg(p.otherLine)
            .arg(byteText(p.otherValue));
    case Kind::NothingToProgram:
        return QCoreApplication::translate("MainWindow", "nothing to program for this board") +
               QStringLiteral(": ") +
               QCoreApplication::translate("MainWindow",
                                           "the file holds no data for its program area (%1)")
                   .arg(programAreaText(layout));
    }
    return QString();
}

} // namespace frontend
