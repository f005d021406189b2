#pragma once

#include "firmware/imagecheck.h"
#include "frontend/core/imagefile.h"
#include "protocol/payloads.h"

#include <QString>

namespace frontend {

// Why a file could not be read, for the status bar: "the file is empty".
QString imageLoadProblemText(ImageLoad::Status status);

// The first problem of a HEX file against the connected board, in the
// user's words: "line 12: wrong record checksum", "made for board 0x2345,
// connected board is 0x1234".
QString imageProblemText(const hexfile::ImageProblem &problem, const protocol::BoardLayout &layout);

} // namespace frontend
