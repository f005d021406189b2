#pragma once

#include "protocol/payloads.h"

#include <QByteArrayView>
#include <QString>

// The strict check of a HEX file against the connected board, run by the
// daemon before it accepts a file and by the front end before it sends one,
// so both refuse the same files. It returns data, not sentences: each
// program words the problem itself.
namespace hexfile {

struct ImageProblem
{
    enum class Kind
    {
        None,
        MissingIdentifierLine, // line 1 is not "#" and hex pairs
        NoIdPosition,          // the board's configuration names no position
        IdentifierTooShort,    // line 1 ends before the identifier's two bytes
        BoardMismatch,         // made for another board
        MissingColon,
        BadDigit,
        BadLength, // odd digit count, or a byte count that does not match
        BadChecksum,
        UnknownRecordType,
        OutsideFlash,  // a data record not wholly inside the board's flash
        NoDataRecords, // nothing would be programmed but padding
    };

    Kind kind = Kind::None;
    // 1-based line of the problem; 0 when it belongs to no single line.
    int line = 0;
    // BoardMismatch: the identifier texts ("0x2345" in the file, "0x1234"
    // connected).
    QString fileBoardId;
    QString connectedBoardId;
    // OutsideFlash: first address of the record.
    quint32 address = 0;

    bool ok() const { return kind == Kind::None; }
};

// Checks the whole file: the identifier line and the board identifier at the
// layout's position, then every record (digits, lengths, checksums, known
// types) with every data record inside [startFlash, startFlash + sizeFlash
// KiB). Empty lines and trailing blanks are allowed. Returns the first
// problem in file order.
ImageProblem checkImage(QByteArrayView file, const protocol::BoardLayout &layout, int boardId);

// One line of plain English for diagnostics; never shown to the user.
QString describe(const ImageProblem &problem);

} // namespace hexfile
