#pragma once

#include "protocol/payloads.h"

#include <QString>

#include <cstdint>

namespace frontend {

// The connected board: its name and identifier, and the memory layout its
// configuration file gives (startFlash, startProgr, sizeFlash, sizeProgr,
// maxErase, padding, idPosition), which the daemon gives its meaning.
struct BoardConf : protocol::BoardLayout
{
    // Until a configuration file is read the front end holds 0 here, where
    // the daemon starts at -1.
    BoardConf() { idPosition = 0; }

    QString name;
    // As the board reported it ("0x" and four hex digits from the daemon).
    QString id;
    // The board wants "REQUEST/SERIAL/REFRESH" after connecting and updating.
    bool refresh = false;

    const protocol::BoardLayout &layout() const { return *this; }
};

} // namespace frontend
