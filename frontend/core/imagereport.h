#pragma once

#include "firmware/imagecheck.h"
#include "frontend/core/imagefile.h"
#include "protocol/payloads.h"

#include <QString>
#include <QStringList>

namespace frontend {

// Why a file could not be read, for the status bar: "the file is empty".
QString imageLoadProblemText(ImageLoad::Status status);

// The first problem of a HEX file against the connected board, in the
// user's words: "line 12: wrong record checksum", "made for board 0x2345,
// connected board is 0x1234".
QString imageProblemText(const hexfile::ImageProblem &problem, const protocol::BoardLayout &layout);

// "0x00F000": six digits at least, upper case.
QString addressText(quint64 address);
// "0xF00000–0xF0000F", or one address.
QString rangeText(const hexfile::ByteRange &range);

// What the update will not write, one line per range: "16 bytes at
// 0xF00000–0xF0000F lie outside this board's flash and are not written".
// Long lists end with a line for the ranges left out.
QStringList imageNoteTexts(const hexfile::ImageReport &report, const protocol::BoardLayout &layout);

// The same in short, for the status bar: "Not written: 16 bytes outside
// this board's flash."; empty when everything is written.
QString imageNotesSummary(const hexfile::ImageReport &report);

// The Hex File Info of a checked file: its size and MD5, the addresses it
// programs and their share of the program area, then the notes.
QString imageInfoText(const hexfile::ImageReport &report, qint64 fileSize, const QString &md5,
                      const protocol::BoardLayout &layout);

} // namespace frontend
