#include "frontend/core/imagereport.h"

#include <QCoreApplication>

// The user reads these texts in the main window: they keep its translation
// context, "MainWindow".
namespace frontend {

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
    case Kind::OutsideFlash: {
        const quint64 start = quint32(layout.startFlash);
        const quint64 end = start + quint64(qMax<qint64>(layout.flashBytes(), 0));
        return QCoreApplication::translate(
                   "MainWindow",
                   "line %1: data at address 0x%2 lies outside the board's flash (0x%3 to 0x%4)")
            .arg(p.line)
            .arg(p.address, 0, 16)
            .arg(start, 0, 16)
            .arg(end > 0 ? end - 1 : 0, 0, 16);
    }
    case Kind::NoDataRecords:
        return QCoreApplication::translate("MainWindow", "the file holds no data to write");
    }
    return QString();
}

} // namespace frontend
