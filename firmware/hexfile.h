#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

// The firmware file: an identifier line "#" + hex pairs, then Intel HEX
// records, one per line.
namespace hexfile {

enum class RecordType : std::uint8_t
{
    Data = 0x00,
    EndOfFile = 0x01,
    ExtendedSegment = 0x02,
    ExtendedLinear = 0x04,
};

enum class RecordError
{
    None,
    MissingColon,
    BadDigit,
    BadLength, // odd digit count, or byte count that does not match the line
    BadChecksum,
};

struct Record
{
    std::uint8_t type = 0;
    std::uint16_t address = 0;
    QByteArray data;
};

// Decodes one record line (line end and trailing blanks already removed).
RecordError parseRecord(QByteArrayView line, Record *record);

QString errorText(RecordError error);

struct Validation
{
    RecordError error = RecordError::None;
    int lineNumber = 0; // 1-based line of the first bad record
    bool ok() const { return error == RecordError::None; }
};

// Checks every record after the identifier line; empty lines are allowed.
Validation validateRecords(QByteArrayView file);

// A line without its line end and trailing blanks.
QByteArrayView trimmedLine(QByteArrayView line);

// Calls `visit(line, lineNumber)` with every non-empty record line after the
// identifier line, trimmed, with its 1-based number; stops when it returns
// false. Lines are views into `file`: nothing is copied.
template <typename Visit> void forEachRecordLine(QByteArrayView file, Visit visit)
{
    qsizetype pos = file.indexOf('\n');
    if (pos < 0)
        return;
    ++pos;
    int lineNumber = 2;
    while (pos < file.size()) {
        qsizetype next = file.indexOf('\n', pos);
        if (next < 0)
            next = file.size();
        const QByteArrayView line = trimmedLine(file.sliced(pos, next - pos));
        if (!line.isEmpty() && !visit(line, lineNumber))
            return;
        pos = next + 1;
        ++lineNumber;
    }
}

// Where the image sits in the board's address space. The image is indexed
// by the low 24 bits of an address; records are accepted from startFlash on.
struct Layout
{
    quint32 startFlash = 0;
    quint32 sizeBytes = 0;
    std::uint8_t padding = 0xFF;
};

// Largest image the 24-bit addresses of the link can reach.
constexpr quint32 kMaxImageBytes = 1u << 24;

// Builds the flash image: `layout.sizeBytes` bytes of padding, overwritten by
// every data record that starts inside [startFlash, startFlash + size).
// Bytes that would land past the image are dropped; a record that does not
// decode is skipped. Extended segment (0x02) and linear (0x04) records set
// the base for the data records after them; other types are ignored.
// Returns false (and an empty image) for a layout it cannot build.
bool buildImage(QByteArrayView file, const Layout &layout, QByteArray *image);

// The identifier line check: the bytes are "#" (0x23) as b0 followed by the
// decoded hex pairs; the file's identifier is b[pos] * 256 + b[pos + 1].
bool boardIdMatches(QByteArrayView firstLine, int idPosition, int boardId);
// The file's identifier b[pos] * 256 + b[pos + 1], or nothing when the line
// is no identifier line or ends before those two bytes.
std::optional<int> identifierAt(QByteArrayView firstLine, int idPosition);

// The first line of `file` without its line end.
QByteArray firstLine(QByteArrayView file);
QByteArrayView firstLineView(QByteArrayView file);

} // namespace hexfile
