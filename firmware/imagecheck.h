#pragma once

#include "firmware/hexfile.h"
#include "protocol/payloads.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

#include <cstdint>

// Which HEX files may reach the board, in two layers of one policy.
//
// The daemon's layer (checkImage) takes what the board's loader takes: data
// outside the flash is dropped, records after the end-of-file record count,
// start-address records are ignored. It refuses only a file that is
// damaged or made for another board.
//
// The front end's layer (inspectImage) runs the same check and refuses more
// before it sends a file, since it can say why: a file cut off, records
// after its end, addresses given two values, malformed address records, CR
// line ends, nothing for the program area. It also says which bytes will
// not be written. Both return data, not sentences: each program words them.
namespace hexfile {

struct ImageProblem
{
    enum class Kind
    {
        None,
        // Both layers.
        MissingIdentifierLine, // line 1 is not "#" and hex pairs
        NoIdPosition,          // the board's configuration names no position
        IdentifierTooShort,    // line 1 ends before the identifier's two bytes
        BoardMismatch,         // made for another board
        MissingColon,
        BadDigit,
        BadLength, // odd digit count, or a byte count that does not match
        BadChecksum,
        UnknownRecordType,
        // A 02/03/04/05 record of the wrong length. The daemon refuses only
        // a 02/04 record too short to give a base.
        AddressRecordLength,
        // The front end's layer only.
        CarriageReturnLineEnd, // a line ends with a lone CR
        RecordAfterEndOfFile,  // otherLine: the end-of-file record
        EndOfFileWithData,
        AddressFieldNotZero, // a 02/03/04/05 record
        NoEndOfFile,         // line: the last line of the file
        ConflictingData,     // otherLine gave `address` another value
        NothingToProgram,    // no byte for the board's program area
    };

    Kind kind = Kind::None;
    // 1-based line of the problem; 0 when it belongs to no single line.
    int line = 0;
    int otherLine = 0;
    // BoardMismatch: the identifier texts ("0x2345" in the file, "0x1234"
    // connected).
    QString fileBoardId;
    QString connectedBoardId;
    // AddressRecordLength, AddressFieldNotZero: the record's type and size.
    std::uint8_t recordType = 0;
    int dataBytes = 0;
    // ConflictingData: the address, the value on `line` and on `otherLine`.
    quint64 address = 0;
    std::uint8_t value = 0;
    std::uint8_t otherValue = 0;

    bool ok() const { return kind == Kind::None; }
};

// The daemon's layer: the identifier line against the board, then every
// record in file order. Empty lines and trailing blanks are allowed.
// Returns the first problem.
ImageProblem checkImage(QByteArrayView file, const protocol::BoardLayout &layout, int boardId);
// The same check; a file that passes is built into `image` for
// `imageLayout` in the same pass (as buildImage() would). `image` is left
// empty for a refused file or a layout buildImage() cannot build.
ImageProblem checkImage(QByteArrayView file, const protocol::BoardLayout &layout, int boardId,
                        const Layout &imageLayout, QByteArray *image);

// The image the daemon builds for a board's layout: its flash, or no image
// (size 0) for a flash the link cannot address.
Layout imageLayoutOf(const protocol::BoardLayout &layout);

// Addresses, first and last included.
struct ByteRange
{
    quint64 first = 0;
    quint64 last = 0;
    quint64 bytes() const { return last - first + 1; }
};

// Bytes of the file that the update does not write, of one kind.
struct SkippedBytes
{
    // At most this many ranges are listed; the counts cover all.
    static constexpr int kMaxListed = 6;

    quint64 bytes = 0;
    qint64 rangeCount = 0; // adjacent bytes merged into one range
    QList<ByteRange> listed;

    bool isEmpty() const { return bytes == 0; }
};

// The front end's layer: a problem, or what the file brings to the board.
struct ImageReport
{
    ImageProblem problem;
    // Outside the flash the board takes from a file: dropped by the daemon.
    SkippedBytes outsideFlash;
    // Inside the flash but outside the program area (the boot loader's
    // part, say): in the daemon's image, never written by an update.
    SkippedBytes outsideProgramArea;
    // Distinct addresses of the program area that the file gives a value,
    // and the first and last of them.
    quint64 programmedBytes = 0;
    ByteRange programmed;
    quint64 programAreaBytes = 0;

    bool ok() const { return problem.ok(); }
    bool hasSkippedBytes() const
    {
        return !outsideFlash.isEmpty() || !outsideProgramArea.isEmpty();
    }
};

// The stricter check before sending; whatever it passes the daemon's layer
// passes too. Problems found while reading come in file order, then a
// missing end-of-file record, then conflicting values, then an empty
// program area. Memory grows with the number of data records (16 bytes
// each), not with the address range.
ImageReport inspectImage(QByteArrayView file, const protocol::BoardLayout &layout, int boardId);

// One line of plain English for diagnostics; never shown to the user.
QString describe(const ImageProblem &problem);

} // namespace hexfile
