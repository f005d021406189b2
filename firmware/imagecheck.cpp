#include "firmware/imagecheck.h"

#include "firmware/hexfile.h"

namespace hexfile {

namespace {

using Kind = ImageProblem::Kind;

// Record types a HEX file may carry; 0x03 and 0x05 hold start addresses,
// which the board does not use.
bool knownType(std::uint8_t type)
{
    return type <= 0x05;
}

ImageProblem problemAt(Kind kind, int line)
{
    ImageProblem p;
    p.kind = kind;
    p.line = line;
    return p;
}

Kind kindOf(RecordError error)
{
    switch (error) {
    case RecordError::MissingColon:
        return Kind::MissingColon;
    case RecordError::BadDigit:
        return Kind::BadDigit;
    case RecordError::BadLength:
        return Kind::BadLength;
    case RecordError::BadChecksum:
        return Kind::BadChecksum;
    case RecordError::None:
        break;
    }
    return Kind::None;
}

} // namespace

ImageProblem checkImage(QByteArrayView file, const protocol::BoardLayout &layout, int boardId)
{
    const QByteArrayView first = firstLineView(file);
    if (first.isEmpty() || first.at(0) != '#')
        return problemAt(Kind::MissingIdentifierLine, 1);
    if (layout.idPosition < 0)
        return problemAt(Kind::NoIdPosition, 1);
    const std::optional<int> fileId = identifierAt(first, layout.idPosition);
    if (!fileId)
        return problemAt(Kind::IdentifierTooShort, 1);
    if (*fileId != (boardId & 0xFFFF)) {
        ImageProblem p = problemAt(Kind::BoardMismatch, 1);
        p.fileBoardId = protocol::boardIdText(*fileId);
        p.connectedBoardId = protocol::boardIdText(boardId);
        return p;
    }

    const quint64 flashStart = quint64(quint32(layout.startFlash));
    const quint64 flashEnd = flashStart + quint64(qMax<qint64>(layout.flashBytes(), 0));
    ImageProblem problem;
    bool anyData = false;
    quint32 base = 0;
    Record record;
    forEachRecordLine(file, [&](QByteArrayView line, int lineNumber) {
        const RecordError error = parseRecord(line, &record);
        if (error != RecordError::None) {
            problem = problemAt(kindOf(error), lineNumber);
            return false;
        }
        if (!knownType(record.type)) {
            problem = problemAt(Kind::UnknownRecordType, lineNumber);
            return false;
        }
        const auto d = [&](int i) { return quint32(static_cast<std::uint8_t>(record.data.at(i))); };
        switch (RecordType(record.type)) {
        case RecordType::Data: {
            if (record.data.isEmpty())
                break;
            const quint64 address = quint64(base) + record.address;
            if (address < flashStart || address + quint64(record.data.size()) > flashEnd) {
                problem = problemAt(Kind::OutsideFlash, lineNumber);
                problem.address = quint32(address);
                return false;
            }
            anyData = true;
            break;
        }
        case RecordType::ExtendedSegment:
            base = (d(0) * 256 + d(1)) * 16;
            break;
        case RecordType::ExtendedLinear:
            base = (d(0) * 256 + d(1)) << 16;
            break;
        default:
            break;
        }
        return true;
    });
    if (!problem.ok())
        return problem;
    if (!anyData)
        return problemAt(Kind::NoDataRecords, 0);
    return problem;
}

QString describe(const ImageProblem &p)
{
    QString what;
    switch (p.kind) {
    case Kind::None:
        return QStringLiteral("no problem");
    case Kind::MissingIdentifierLine:
        what = QStringLiteral("no identifier line");
        break;
    case Kind::NoIdPosition:
        what = QStringLiteral("no identifier position configured");
        break;
    case Kind::IdentifierTooShort:
        what = QStringLiteral("identifier line too short for the configured position");
        break;
    case Kind::BoardMismatch:
        what = QStringLiteral("made for board %1, connected board is %2")
                   .arg(p.fileBoardId, p.connectedBoardId);
        break;
    case Kind::MissingColon:
        what = errorText(RecordError::MissingColon);
        break;
    case Kind::BadDigit:
        what = errorText(RecordError::BadDigit);
        break;
    case Kind::BadLength:
        what = errorText(RecordError::BadLength);
        break;
    case Kind::BadChecksum:
        what = errorText(RecordError::BadChecksum);
        break;
    case Kind::UnknownRecordType:
        what = QStringLiteral("unknown record type");
        break;
    case Kind::OutsideFlash:
        what = QStringLiteral("record at 0x%1 outside the flash range").arg(p.address, 0, 16);
        break;
    case Kind::NoDataRecords:
        return QStringLiteral("no data records");
    }
    return QStringLiteral("line %1: %2").arg(p.line).arg(what);
}

} // namespace hexfile
