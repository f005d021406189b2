#include "firmware/hexfile.h"

#include "protocol/bootframe.h"

#include <QList>

#include <array>
#include <cstring>

namespace hexfile {

namespace {

constexpr int kHeaderBytes = 4; // count, address high, address low, type
constexpr int kHeaderDigits = 2 * kHeaderBytes;
constexpr int kMaxRecordBytes = kHeaderBytes + 255 + 1;

constexpr std::array<std::int8_t, 256> makeHexTable()
{
    std::array<std::int8_t, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[size_t(c)] = c >= '0' && c <= '9'   ? std::int8_t(c - '0')
                           : c >= 'a' && c <= 'f' ? std::int8_t(c - 'a' + 10)
                           : c >= 'A' && c <= 'F' ? std::int8_t(c - 'A' + 10)
                                                  : std::int8_t(-1);
    return table;
}
constexpr std::array<std::int8_t, 256> kHexTable = makeHexTable();

int hexValue(char c)
{
    return kHexTable[static_cast<std::uint8_t>(c)];
}

// The bytes of a record line: count, address, type, data, checksum. A record
// holds at most 255 data bytes, so the caller's buffer on the stack spares an
// allocation per line, which dominated the daemon's check of a large file.
RecordError decode(QByteArrayView line, std::uint8_t *bytes, int *dataCount)
{
    if (line.isEmpty() || line.at(0) != ':')
        return RecordError::MissingColon;
    const QByteArrayView digits = line.sliced(1);
    for (const char c : digits)
        if (hexValue(c) < 0)
            return RecordError::BadDigit;
    if (digits.size() % 2 != 0 || digits.size() / 2 < kHeaderBytes + 1)
        return RecordError::BadLength;
    const qsizetype byteCount = digits.size() / 2;
    if (byteCount > kMaxRecordBytes)
        return RecordError::BadLength;
    const char *in = digits.data();
    for (qsizetype i = 0; i < byteCount; ++i)
        bytes[i] = static_cast<std::uint8_t>(hexValue(in[2 * i]) * 16 + hexValue(in[2 * i + 1]));
    const std::uint8_t count = bytes[0];
    if (byteCount != kHeaderBytes + count + 1)
        return RecordError::BadLength;
    unsigned sum = 0;
    for (qsizetype i = 0; i < byteCount; ++i)
        sum += bytes[i];
    if ((sum & 0xFFu) != 0)
        return RecordError::BadChecksum;
    *dataCount = count;
    return RecordError::None;
}

} // namespace

void decodePairs(const char *digits, int count, std::uint8_t *out)
{
    for (qsizetype i = 0; i < count; ++i)
        out[i] =
            static_cast<std::uint8_t>(hexValue(digits[2 * i]) * 16 + hexValue(digits[2 * i + 1]));
}

QByteArrayView trimmedLine(QByteArrayView line)
{
    qsizetype n = line.size();
    while (n > 0 && (line.at(n - 1) == '\r' || line.at(n - 1) == '\n' || line.at(n - 1) == ' ' ||
                     line.at(n - 1) == '\t'))
        --n;
    return line.first(n);
}

bool LineCursor::next(QByteArrayView *line, LineEnd *end)
{
    const qsizetype size = m_file.size();
    if (m_pos >= size)
        return false;
    const char *begin = m_file.data() + m_pos;
    // The next LF is looked for once and kept: in a file with CR line ends
    // alone, a search per line would run to the end of the file each time.
    if (m_nextLf != kNoLf && m_nextLf < m_pos) {
        const void *lf = std::memchr(begin, '\n', size_t(size - m_pos));
        m_nextLf = lf ? static_cast<const char *>(lf) - m_file.data() : kNoLf;
    }
    const qsizetype untilLf = m_nextLf == kNoLf ? size - m_pos : m_nextLf - m_pos;
    const void *cr = std::memchr(begin, '\r', size_t(untilLf));
    const qsizetype crAt = cr ? static_cast<const char *>(cr) - begin : -1;
    if (crAt >= 0 && !(crAt + 1 == untilLf && m_nextLf != kNoLf)) {
        *line = QByteArrayView(begin, crAt);
        *end = LineEnd::Cr;
        m_pos += crAt + 1;
    } else if (m_nextLf == kNoLf) {
        *line = QByteArrayView(begin, untilLf);
        *end = LineEnd::None;
        m_pos = size;
    } else {
        *line = QByteArrayView(begin, crAt >= 0 ? crAt : untilLf);
        *end = crAt >= 0 ? LineEnd::CrLf : LineEnd::Lf;
        m_pos += untilLf + 1;
    }
    ++m_lineNumber;
    return true;
}

RecordError parseRecord(QByteArrayView line, Record *record)
{
    std::array<std::uint8_t, kMaxRecordBytes> bytes;
    int count = 0;
    const RecordError error = decode(line, bytes.data(), &count);
    if (error != RecordError::None || !record)
        return error;
    record->type = bytes[3];
    record->address = static_cast<std::uint16_t>(bytes[1] * 256 + bytes[2]);
    record->data = QByteArray(reinterpret_cast<const char *>(bytes.data()) + kHeaderBytes, count);
    return RecordError::None;
}

std::optional<quint32> baseAddress(std::uint8_t type, QByteArrayView data)
{
    if (!setsBase(type) || data.size() < kBaseRecordBytes)
        return std::nullopt;
    const quint32 value = quint32(std::uint8_t(data.at(0))) * 256 + std::uint8_t(data.at(1));
    return type == std::uint8_t(RecordType::ExtendedSegment) ? value * 16 : value << 16;
}

QString errorText(RecordError error)
{
    switch (error) {
    case RecordError::None:
        return QStringLiteral("no error");
    case RecordError::MissingColon:
        return QStringLiteral("record does not start with ':'");
    case RecordError::BadDigit:
        return QStringLiteral("invalid hexadecimal digit");
    case RecordError::BadLength:
        return QStringLiteral("record length does not match its byte count");
    case RecordError::BadChecksum:
        return QStringLiteral("record checksum mismatch");
    case RecordError::UnknownType:
        return QStringLiteral("unknown record type");
    case RecordError::ShortBaseRecord:
        return QStringLiteral("address record shorter than its two base bytes");
    }
    return QString();
}

RecordWalker::RecordWalker(QByteArrayView file)
    : m_file(file)
    , m_lines(file)
{
    QByteArrayView identifier;
    LineEnd end = LineEnd::None;
    if (m_lines.next(&identifier, &end))
        noteLineEnd(end);
}

void RecordWalker::noteLineEnd(LineEnd end)
{
    if (end == LineEnd::Cr && m_firstCrLine == 0)
        m_firstCrLine = m_lines.lineNumber();
}

bool RecordWalker::next()
{
    QByteArrayView line;
    LineEnd end = LineEnd::None;
    while (m_lines.next(&line, &end)) {
        noteLineEnd(end);
        line = trimmedLine(line);
        if (line.isEmpty())
            continue;
        RecordView &r = m_record;
        r = RecordView();
        r.line = m_lines.lineNumber();
        r.lineEnd = end;
        int count = 0;
        r.error = decode(line, m_bytes.data(), &count);
        if (r.error != RecordError::None)
            return true;
        r.type = m_bytes[3];
        r.addressField = static_cast<std::uint16_t>(m_bytes[1] * 256 + m_bytes[2]);
        r.data =
            QByteArrayView(reinterpret_cast<const char *>(m_bytes.data()) + kHeaderBytes, count);
        r.dataTextOffset = (line.data() - m_file.data()) + 1 + kHeaderDigits;
        if (r.type > std::uint8_t(RecordType::StartLinear)) {
            r.error = RecordError::UnknownType;
            return true;
        }
        if (r.type == std::uint8_t(RecordType::Data)) {
            r.address = quint64(m_base) + r.addressField;
        } else if (setsBase(r.type)) {
            if (const std::optional<quint32> base = baseAddress(r.type, r.data))
                m_base = *base;
            else
                r.error = RecordError::ShortBaseRecord;
        }
        return true;
    }
    return false;
}

Validation validateRecords(QByteArrayView file)
{
    Validation result;
    RecordWalker walker(file);
    while (walker.next()) {
        if (walker.record().error != RecordError::None) {
            result.error = walker.record().error;
            result.lineNumber = walker.record().line;
            break;
        }
    }
    return result;
}

qint64 offsetInImage(const Layout &layout, quint64 address)
{
    if (address < layout.startFlash || address >= quint64(layout.startFlash) + layout.sizeBytes)
        return -1;
    const quint32 offset = bootframe::imageOffset(quint32(address));
    return offset < layout.sizeBytes ? qint64(offset) : -1;
}

void placeData(const Layout &layout, quint64 address, QByteArrayView data, char *image)
{
    const quint64 flashEnd = quint64(layout.startFlash) + layout.sizeBytes;
    const quint64 first = qMax(address, quint64(layout.startFlash));
    const quint64 end = qMin(address + quint64(data.size()), flashEnd);
    if (first >= end)
        return;
    const quint32 offset = bootframe::imageOffset(quint32(first));
    // The usual record: wholly inside, one copy. Otherwise byte by byte, as
    // the low 24 bits may wrap or run past the buffer.
    if (quint64(offset) + (end - first) <= layout.sizeBytes) {
        std::memcpy(image + offset, data.data() + (first - address), size_t(end - first));
        return;
    }
    for (quint64 a = first; a < end; ++a) {
        const qint64 at = offsetInImage(layout, a);
        if (at >= 0)
            image[at] = data.at(qsizetype(a - address));
    }
}

bool buildImage(QByteArrayView file, const Layout &layout, QByteArray *image)
{
    image->clear();
    if (layout.sizeBytes == 0 || layout.sizeBytes > kMaxImageBytes)
        return false;
    image->fill(static_cast<char>(layout.padding), layout.sizeBytes);
    char *out = image->data();
    RecordWalker walker(file);
    while (walker.next()) {
        const RecordView &r = walker.record();
        if (r.error == RecordError::None && r.type == std::uint8_t(RecordType::Data))
            placeData(layout, r.address, r.data, out);
    }
    return true;
}

std::optional<int> identifierAt(QByteArrayView line, int idPosition)
{
    if (idPosition < 0 || line.isEmpty() || line.at(0) != '#')
        return std::nullopt;
    QList<std::uint8_t> bytes{0x23};
    for (qsizetype i = 1; i + 1 < line.size() && bytes.size() <= idPosition + 1; i += 2) {
        const int hi = hexValue(line.at(i));
        const int lo = hexValue(line.at(i + 1));
        if (hi < 0 || lo < 0)
            break;
        bytes.append(static_cast<std::uint8_t>(hi * 16 + lo));
    }
    if (qsizetype(idPosition) + 1 >= bytes.size())
        return std::nullopt;
    return bytes.at(idPosition) * 256 + bytes.at(idPosition + 1);
}

bool boardIdMatches(QByteArrayView line, int idPosition, int boardId)
{
    const std::optional<int> fileId = identifierAt(line, idPosition);
    return fileId && *fileId == (boardId & 0xFFFF);
}

QByteArrayView firstLineView(QByteArrayView file)
{
    LineCursor lines(file);
    QByteArrayView line;
    LineEnd end = LineEnd::None;
    return lines.next(&line, &end) ? trimmedLine(line) : QByteArrayView();
}

QByteArray firstLine(QByteArrayView file)
{
    return firstLineView(file).toByteArray();
}

} // namespace hexfile
