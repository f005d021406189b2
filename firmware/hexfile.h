#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
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
    StartSegment = 0x03,
    ExtendedLinear = 0x04,
    StartLinear = 0x05,
};

enum class RecordError
{
    None,
    MissingColon,
    BadDigit,
    BadLength, // odd digit count, or byte count that does not match the line
    BadChecksum,
    UnknownType,     // a type above 0x05
    ShortBaseRecord, // a 02 or 04 record with fewer than the two bytes of its base
};

// Data bytes of a 02/04 record (the base) and of a 03/05 record (the start
// address).
constexpr int kBaseRecordBytes = 2;
constexpr int kStartRecordBytes = 4;

// 02 and 04 records set the base of the data records after them.
constexpr bool setsBase(std::uint8_t type)
{
    return type == std::uint8_t(RecordType::ExtendedSegment) ||
           type == std::uint8_t(RecordType::ExtendedLinear);
}

// The data bytes a 02/03/04/05 record holds in a well-formed file.
constexpr int addressRecordBytes(std::uint8_t type)
{
    return setsBase(type) ? kBaseRecordBytes : kStartRecordBytes;
}

// The base a 02 record (segment: value * 16) or a 04 record (linear: value *
// 65536) sets, from its first two data bytes: the board's loader reads no
// more. Nothing for another type or a record too short to give a base.
std::optional<quint32> baseAddress(std::uint8_t type, QByteArrayView data);

struct Record
{
    std::uint8_t type = 0;
    std::uint16_t address = 0;
    QByteArray data;
};

// Decodes one record line (line end and trailing blanks already removed):
// the colon, the digits, the lengths and the checksum. Types are not judged.
RecordError parseRecord(QByteArrayView line, Record *record);

QString errorText(RecordError error);

// How a line ended. A lone CR ends a line as LF and CR LF do.
enum class LineEnd : std::uint8_t
{
    None, // the last line of a file without a final line end
    Lf,
    CrLf,
    Cr,
};

// The lines of a file, as views into it: nothing is copied.
class LineCursor
{
public:
    explicit LineCursor(QByteArrayView file)
        : m_file(file)
    {}

    // The next line without its line end; false at the end of the file.
    bool next(QByteArrayView *line, LineEnd *end);
    // 1-based number of the line last returned.
    int lineNumber() const { return m_lineNumber; }

private:
    static constexpr qsizetype kNoLf = -2; // none left in the file

    QByteArrayView m_file;
    qsizetype m_pos = 0;
    qsizetype m_nextLf = -1; // not looked for yet
    int m_lineNumber = 0;
};

// Decodes `count` pairs of hexadecimal digits already known to be valid.
void decodePairs(const char *digits, int count, std::uint8_t *out);

// A line without its trailing blanks and line end characters.
QByteArrayView trimmedLine(QByteArrayView line);

// A record as the walker hands it on.
struct RecordView
{
    int line = 0; // 1-based
    LineEnd lineEnd = LineEnd::None;
    RecordError error = RecordError::None;
    std::uint8_t type = 0;
    std::uint16_t addressField = 0;
    // Data records: the base of the last 02 or 04 record plus the address
    // field. 64-bit: a base near 4 GiB plus the field does not wrap.
    quint64 address = 0;
    // The decoded data bytes; valid until the next record.
    QByteArrayView data;
    // Where the data digits of the line start in the file.
    qsizetype dataTextOffset = 0;
};

// The one reader of a HEX file's records, for every check and for the
// image: skips the identifier line and blank lines, decodes each record,
// and keeps the base that 02 and 04 records set (baseAddress()) for the data
// records after them. A record that does not decode comes with its error
// and changes no base.
class RecordWalker
{
public:
    explicit RecordWalker(QByteArrayView file);

    // Moves to the next record; false after the last.
    bool next();
    const RecordView &record() const { return m_record; }
    // The first line read so far (identifier and blank lines included)
    // that ended with a lone CR; 0 for none.
    int firstCrLine() const { return m_firstCrLine; }

private:
    void noteLineEnd(LineEnd end);

    QByteArrayView m_file;
    LineCursor m_lines;
    int m_firstCrLine = 0;
    quint32 m_base = 0;
    RecordView m_record;
    std::array<std::uint8_t, 4 + 255 + 1> m_bytes{};
};

struct Validation
{
    RecordError error = RecordError::None;
    int lineNumber = 0; // 1-based line of the first bad record
    bool ok() const { return error == RecordError::None; }
};

// Checks every record after the identifier line; empty lines are allowed.
Validation validateRecords(QByteArrayView file);

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

// The image offset of the byte for `address`, or -1 when the image does not
// take it: outside [startFlash, startFlash + size), or past the buffer.
qint64 offsetInImage(const Layout &layout, quint64 address);

// Copies the data of a record at `address` into `image` (of
// `layout.sizeBytes`), byte by byte as offsetInImage() places them: bytes
// the image does not take are dropped.
void placeData(const Layout &layout, quint64 address, QByteArrayView data, char *image);

// Builds the flash image: `layout.sizeBytes` bytes of padding, overwritten by
// every byte of a data record that lies inside [startFlash, startFlash +
// size); the bytes outside are dropped, also of a record that is only partly
// inside. Records after the end-of-file record count like any other; a
// record that does not decode is skipped. Returns false (and an empty image)
// for a layout it cannot build.
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
