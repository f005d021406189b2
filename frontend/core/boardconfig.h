#pragma once

#include "frontend/core/boardconf.h"

#include <QString>

namespace frontend {

// Where the board configuration files lie, relative to the working directory.
inline constexpr const char *kBoardConfigFolder = "../configs/";

// "<folder>config-id-<id>.ini", the id exactly as the board reported it.
QString boardConfigPath(const QString &id,
                        const QString &folder = QString::fromLatin1(kBoardConfigFolder));

// Reads the configuration of board `id` into `conf` (group "configs"),
// telling nobody: false on a missing file or a missing required key, with
// `conf` keeping what was read before it. For callers that look at many
// boards at once (the firmware library) or off the GUI thread.
bool readBoardConfig(const QString &id, BoardConf &conf,
                     const QString &folder = QString::fromLatin1(kBoardConfigFolder));

// Reads the configuration of board `id` into `conf` (group "configs"). On a
// missing file or a missing required key it shows the warning box and
// returns false; `conf` then keeps what was read before the missing key.
// Numbers that do not parse in their base, or do not fit 32 bits, become 0.
bool loadBoardConfig(const QString &id, BoardConf &conf,
                     const QString &folder = QString::fromLatin1(kBoardConfigFolder));

} // namespace frontend
