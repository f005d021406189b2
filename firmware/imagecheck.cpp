#include "firmware/imagecheck.h"

#include "protocol/bootframe.h"

#include <algorithm>
#include <array>
#include <vector>

namespace hexfile {

namespace {

using Kind = ImageProblem::Kind;

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
    case RecordError::UnknownType:
        return Kind::UnknownRecordType;
    case RecordError::ShortBaseRecord:
        return Kind::AddressRecordLength;
    case RecordError::None:
        break;
    }
    return Kind::None;
}

ImageProblem recordProblem(const RecordView &r)
{
    ImageProblem p = problemAt(kindOf(r.error), r.line);
    p.recordType = r.type;
    p.dataBytes = int(r.data.size());
    return p;
}

ImageProblem checkIdentifier(QByteArrayView file, const protocol::BoardLayout &layout, int boardId)
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
    return {};
}

// A 02/03/04/05 record as a HEX file should hold it: address field 0000,
// two bytes of base or four of start address, no data on the end record.
ImageProblem strictRecordProblem(const RecordView &r)
{
    ImageProblem p;
    const auto type = RecordType(r.type);
    if (type == RecordType::EndOfFile) {
        if (!r.data.isEmpty())
            p = problemAt(Kind::EndOfFileWithData, r.line);
        return p;
    }
    if (type == RecordType::Data)
        return p;
    if (r.data.size() != addressRecordBytes(r.type))
        p = problemAt(Kind::AddressRecordLength, r.line);
    else if (r.addressField != 0)
        p = problemAt(Kind::AddressFieldNotZero, r.line);
    p.recordType = r.type;
    p.dataBytes = int(r.data.size());
    return p;
}

// A data record kept for the second look, once the whole file is read.
struct DataEntry
{
    quint64 key = 0; // address << 8 | size: sorts by address
    qsizetype textOffset = 0;
    int line = 0;

    quint64 address() const { return key >> 8; }
    int size() const { return int(key & 0xFF); }
};

// Collects the addresses of one kind, given in ascending order, into ranges.
class RangeCollector
{
public:
    explicit RangeCollector(SkippedBytes *out)
        : m_out(out)
    {}

    // Addresses first to last, all new.
    void add(quint64 first, quint64 last)
    {
        m_out->bytes += last - first + 1;
        if (m_open && first == m_current.last + 1) {
            m_current.last = last;
            return;
        }
        flush();
        m_current = {first, last};
        m_open = true;
    }

    void flush()
    {
        if (!m_open)
            return;
        ++m_out->rangeCount;
        if (m_out->listed.size() < SkippedBytes::kMaxListed)
            m_out->listed.append(m_current);
        m_open = false;
    }

private:
    SkippedBytes *m_out;
    ByteRange m_current;
    bool m_open = false;
};

// Where the update puts the bytes of an address range, run by run.
class Placement
{
public:
    enum class Kind
    {
        OutsideFlash,
        OutsideProgramArea,
        Programmed,
    };

    explicit Placement(const protocol::BoardLayout &layout)
        : m_image(imageLayoutOf(layout))
        , m_programStart(bootframe::imageOffset(quint32(layout.startProgr)))
        , m_programEnd(m_programStart + quint64(qMax<qint64>(layout.progrBytes(), 0)))
    {}

    // The kind of `address`, and in `runEnd` the first address after it of
    // another kind (or of a new 24-bit window, where offsets wrap).
    Kind at(quint64 address, quint64 *runEnd) const
    {
        const quint64 flashStart = m_image.startFlash;
        const quint64 flashEnd = flashStart + m_image.sizeBytes;
        if (address < flashStart || address >= flashEnd) {
            *runEnd = address < flashStart ? flashStart : ~quint64(0);
            return Kind::OutsideFlash;
        }
        // Inside the flash the offset is the address's low 24 bits.
        const quint64 window = address & ~quint64(bootframe::imageOffset(~0u));
        const quint64 offset = address - window;
        quint64 end = qMin(flashEnd, window + bootframe::imageOffset(~0u) + 1);
        const auto before = [&](quint64 boundary) {
            if (boundary > offset)
                end = qMin(end, window + boundary);
        };
        before(m_image.sizeBytes);
        before(m_programStart);
        before(m_programEnd);
        *runEnd = end;
        if (offset >= m_image.sizeBytes)
            return Kind::OutsideFlash;
        return offset >= m_programStart && offset < m_programEnd ? Kind::Programmed
                                                                 : Kind::OutsideProgramArea;
    }

private:
    Layout m_image;
    quint64 m_programStart;
    quint64 m_programEnd;
};

// The second look: every data byte in address order. Values given twice
// must agree; each address is counted once, as the update sees it.
//
// Sorted by start address, the addresses a record adds beyond those of the
// records before it come in ascending order, and an address it shares with
// them lies less than 255 bytes below its end: a window of 512 values
// indexed by the low address bits holds every value that can still be
// compared.
void sweep(QByteArrayView file, std::vector<DataEntry> &entries,
           const protocol::BoardLayout &layout, ImageReport *report)
{
    const auto byKey = [](const DataEntry &a, const DataEntry &b) { return a.key < b.key; };
    // Most files come in ascending order already.
    if (!std::is_sorted(entries.begin(), entries.end(), byKey))
        std::stable_sort(entries.begin(), entries.end(), byKey);

    const Placement placement(layout);
    RangeCollector outsideFlash(&report->outsideFlash);
    RangeCollector outsideProgram(&report->outsideProgramArea);

    constexpr quint64 kWindow = 512;
    std::array<std::uint8_t, kWindow> values{};
    std::array<int, kWindow> lines{};
    std::array<std::uint8_t, 255> data{};
    ImageProblem conflict;
    quint64 seenEnd = 0; // addresses below it were seen (from the first record on)

    for (const DataEntry &e : entries) {
        const quint64 first = e.address();
        const quint64 end = first + quint64(e.size());
        decodePairs(file.data() + e.textOffset, e.size(), data.data());

        for (quint64 a = first; a < qMin(seenEnd, end); ++a) {
            const size_t slot = a % kWindow;
            const std::uint8_t value = data[size_t(a - first)];
            if (values[slot] == value)
                continue;
            const int later = qMax(lines[slot], e.line);
            if (conflict.ok() || later < conflict.line) {
                conflict = problemAt(Kind::ConflictingData, later);
                conflict.otherLine = qMin(lines[slot], e.line);
                conflict.address = a;
                conflict.value = e.line == later ? value : values[slot];
                conflict.otherValue = e.line == later ? values[slot] : value;
            }
        }
        const quint64 fresh = qMax(first, seenEnd);
        for (quint64 a = fresh; a < end; ++a) {
            values[a % kWindow] = data[size_t(a - first)];
            lines[a % kWindow] = e.line;
        }
        for (quint64 a = fresh; a < end;) {
            quint64 runEnd = 0;
            const Placement::Kind kind = placement.at(a, &runEnd);
            const quint64 last = qMin(runEnd, end) - 1;
            if (kind == Placement::Kind::OutsideFlash) {
                outsideFlash.add(a, last);
            } else if (kind == Placement::Kind::OutsideProgramArea) {
                outsideProgram.add(a, last);
            } else {
                if (report->programmedBytes == 0)
                    report->programmed.first = a;
                report->programmed.last = last;
                report->programmedBytes += last - a + 1;
            }
            a = last + 1;
        }
        seenEnd = qMax(seenEnd, end);
    }
    outsideFlash.flush();
    outsideProgram.flush();
    if (!conflict.ok())
        report->problem = conflict;
}

} // namespace

Layout imageLayoutOf(const protocol::BoardLayout &layout)
{
    Layout l;
    l.startFlash = quint32(layout.startFlash);
    l.sizeBytes = layout.flashBytes() > 0 && layout.flashBytes() <= kMaxImageBytes
                      ? quint32(layout.flashBytes())
                      : 0;
    l.padding = layout.padding;
    return l;
}

ImageProblem checkImage(QByteArrayView file, const protocol::BoardLayout &layout, int boardId)
{
    return checkImage(file, layout, boardId, Layout(), nullptr);
}

ImageProblem checkImage(QByteArrayView file, const protocol::BoardLayout &layout, int boardId,
                        const Layout &imageLayout, QByteArray *image)
{
    if (image)
        image->clear();
    const ImageProblem identifier = checkIdentifier(file, layout, boardId);
    if (!identifier.ok())
        return identifier;

    const bool build =
        image && imageLayout.sizeBytes > 0 && imageLayout.sizeBytes <= kMaxImageBytes;
    char *out = nullptr;
    if (build) {
        image->fill(static_cast<char>(imageLayout.padding), imageLayout.sizeBytes);
        out = image->data();
    }
    RecordWalker walker(file);
    while (walker.next()) {
        const RecordView &r = walker.record();
        if (r.error != RecordError::None) {
            if (image)
                image->clear();
            return recordProblem(r);
        }
        if (out && r.type == std::uint8_t(RecordType::Data))
            placeData(imageLayout, r.address, r.data, out);
    }
    return {};
}

ImageReport inspectImage(QByteArrayView file, const protocol::BoardLayout &layout, int boardId)
{
    ImageReport report;
    report.programAreaBytes = quint64(qMax<qint64>(layout.progrBytes(), 0));
    report.problem = checkIdentifier(file, layout, boardId);
    if (!report.ok())
        return report;

    std::vector<DataEntry> entries;
    int endOfFileLine = 0;
    int lastRecordLine = 1;
    RecordWalker walker(file);
    const auto fail = [&report](const ImageProblem &problem) {
        report.problem = problem;
        return report;
    };
    while (walker.next()) {
        const RecordView &r = walker.record();
        if (walker.firstCrLine() != 0)
            return fail(problemAt(Kind::CarriageReturnLineEnd, walker.firstCrLine()));
        if (r.error != RecordError::None)
            return fail(recordProblem(r));
        if (endOfFileLine != 0) {
            ImageProblem p = problemAt(Kind::RecordAfterEndOfFile, r.line);
            p.otherLine = endOfFileLine;
            return fail(p);
        }
        if (const ImageProblem p = strictRecordProblem(r); !p.ok())
            return fail(p);
        if (r.type == std::uint8_t(RecordType::EndOfFile))
            endOfFileLine = r.line;
        else if (r.type == std::uint8_t(RecordType::Data) && !r.data.isEmpty())
            entries.push_back(
                {(r.address << 8) | quint64(r.data.size()), r.dataTextOffset, r.line});
        lastRecordLine = r.line;
    }
    if (walker.firstCrLine() != 0)
        return fail(problemAt(Kind::CarriageReturnLineEnd, walker.firstCrLine()));
    if (endOfFileLine == 0)
        return fail(problemAt(Kind::NoEndOfFile, lastRecordLine));

    sweep(file, entries, layout, &report);
    if (report.ok() && report.programmedBytes == 0)
        report.problem = problemAt(Kind::NothingToProgram, 0);
    return report;
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
        what = errorText(RecordError::UnknownType);
        break;
    case Kind::AddressRecordLength:
        what =
            QStringLiteral("type %1 record with %2 data bytes").arg(p.recordType).arg(p.dataBytes);
        break;
    case Kind::CarriageReturnLineEnd:
        what = QStringLiteral("line ends with a lone CR");
        break;
    case Kind::RecordAfterEndOfFile:
        what = QStringLiteral("record after the end-of-file record of line %1").arg(p.otherLine);
        break;
    case Kind::EndOfFileWithData:
        what = QStringLiteral("end-of-file record with data");
        break;
    case Kind::AddressFieldNotZero:
        what = QStringLiteral("type %1 record with a non-zero address field").arg(p.recordType);
        break;
    case Kind::NoEndOfFile:
        what = QStringLiteral("no end-of-file record after this line");
        break;
    case Kind::ConflictingData:
        what = QStringLiteral("0x%1 = 0x%2, line %3 gave 0x%4")
                   .arg(p.address, 0, 16)
                   .arg(p.value, 2, 16, QLatin1Char('0'))
                   .arg(p.otherLine)
                   .arg(p.otherValue, 2, 16, QLatin1Char('0'));
        break;
    case Kind::NothingToProgram:
        return QStringLiteral("no data for the program area");
    }
    return QStringLiteral("line %1: %2").arg(p.line).arg(what);
}

} // namespace hexfile
