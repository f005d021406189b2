#pragma once

#include <QString>

#include <cstdint>

namespace frontend {

// Memory layout of the connected board, as its configuration file gives it;
// the daemon gives the numbers their meaning.
struct BoardConf
{
    QString name;
    // As the board reported it ("0x" and four hex digits from the daemon).
    QString id;
    qint32 startFlash = 0;
    qint32 startProgr = 0;
    qint32 sizeFlash = 0;
    qint32 sizeProgr = 0;
    qint32 maxErase = 0;
    quint8 padding = 0;
    qint32 idPosition = 0;
    // The board wants "REQUEST/SERIAL/REFRESH" after connecting and updating.
    bool refresh = false;
};

} // namespace frontend
