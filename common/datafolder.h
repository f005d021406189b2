#pragma once

#include <QString>

namespace velmo {

// The per-user data folder: home + "/AppData/Local/Calvestrid". It holds the
// daemon's received image, the front end's preferences and the example logs.
QString dataFolderPath();

// Creates the data folder with all missing parents; false when that fails.
bool ensureDataFolder();

} // namespace velmo
