#include "firmware/hexfile.h"

#include "protocol/bootframe.h"

#include <QList>

#include <array>
#include <cstring>

namespace hexfile {

namespace {

constexpr int kHeaderBytes = 4; // count, address high, address low, type
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

} // namespace

QByteArrayView trimmedLine(QByteArrayView line)
{
    qsizetype n = line.size();
    while (n > 0 && (line.at(n - 1) == '\r' || line.at(n - 1) == '\n' || line.at(n - 1) == ' ' ||
                     line.at(n - 1) == '\t'))
        --n;
    return line.first(n);
}

RecordError parseRecord(QByteArrayView line, Record *record)
{
    if (line.isEmpty() || line.at(0) != ':')
        return RecordError::MissingColon;
    const QByteArrayView digits = line.sliced(1);
    for (const char c : digits)
        if (hexValue(c) < 0)
            return RecordError::BadDigit;
    if (digits.size() % 2 != 0 || digits.size() / 2 < kHeaderBytes + 1)
        return RecordError::BadLength;

    // A record holds at most 255 data bytes, so a longer line is wrong
    // anyway; the buffer on the stack spares an allocation per line, which
    // dominated the daemon's check of a large file.
    const qsizetype byteCount = digits.size() / 2;
    if (byteCount > kMaxRecordBytes)
        return RecordError::BadLength;
    std::array<std::uint8_t, kMaxRecordBytes> bytes;
    const char *in = digits.data();
    for (qsizetype i = 0; i < byteCount; ++i)
        bytes[size_t(i)] =
            static_cast<std::uint8_t>(hexValue(in[2 * i]) * 16 + hexValue(in[2 * i + 1]));
    const std::uint8_t count = bytes[0];
    if (byteCount != kHeaderBytes + count + 1)
        return RecordError::BadLength;

    unsigned sum = 0;
    for (qsizetype i = 0; i < byteCount; ++i)
        sum += bytes[size_t(i)];
    if ((sum & 0xFFu) != 0)
        return RecordError::BadChecksum;

    const std::uint8_t type = bytes[3];
    const bool isBase = type == std::uint8_t(RecordType::ExtendedSegment) ||
                        type == std::uint8_t(RecordType::ExtendedLinear);
    if (isBase && count != 2)
        return RecordError::BadLength;

    if (record) {
        record->type = type;
        record->address = static_cast<std::uint16_t>(bytes[1] * 256 + bytes[2]);
        // Keeps the capacity of a record that is reused line after line.
        record->data.resize(count);
        if (count > 0)
            std::memcpy(record->data.data(), bytes.data() + kHeaderBytes, count);
    }
    return RecordError::None;
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
    }
    return QString();
}

Validation validateRecords(QByteArrayView file)
{
    Validation result;
    forEachRecordLine(file, [&](QByteArrayView line, int lineNumber) {
        const RecordError error = parseRecord(line, nullptr);
        if (error == RecordError::None)
            return true;
        result.error = error;
        result.lineNumber = lineNumber;
        return false;
    });
    return result;
}

bool buildImage(QByteArrayView file, const Layout &layout, QByteArray *image)
{
    image->clear();
    if (layout.sizeBytes == 0 || layout.sizeBytes > kMaxImageBytes)
        return false;
    image->fill(static_cast<char>(layout.padding), layout.sizeBytes);
    // 64-bit so that a range reaching past 4 GiB does not wrap.
    const quint64 rangeEnd = quint64(layout.startFlash) + layout.sizeBytes;

    quint32 base = 0;
    Record record;
    forEachRecordLine(file, [&](QByteArrayView line, int) {
        if (parseRecord(line, &record) != RecordError::None)
            return true;
        const auto d = [&](int i) { return quint32(static_cast<std::uint8_t>(record.data.at(i))); };
        switch (RecordType(record.type)) {
        case RecordType::Data: {
            const quint32 address = base + record.address;
            if (address < layout.startFlash || address >= rangeEnd)
                break;
            const quint32 offset = bootframe::imageOffset(address);
            char *out = image->data();
            for (qsizetype i = 0; i < record.data.size(); ++i) {
                if (quint64(offset) + i >= layout.sizeBytes || quint64(address) + i >= rangeEnd)
                    break;
                out[offset + i] = record.data.at(i);
            }
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
    const qsizetype end = file.indexOf('\n');
    return trimmedLine(end < 0 ? file : file.first(end));
}

QByteArray firstLine(QByteArrayView file)
{
    return firstLineView(file).toByteArray();
}

} // namespace hexfile
