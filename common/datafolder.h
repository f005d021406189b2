#pragma once

#include <QString>

namespace velmo {

// The per-user data folder: home + "/AppData/Local/Calvestrid". It holds the
// daemon's received image, the front end's preferences and the example logs.
QString dataFolderPath();

// Creates the data folder with all missing parents, each readable by the
// user only (the folder holds firmware and preferences). A folder that
// already exists keeps its permissions. False when creating fails.
bool ensureDataFolder();

// Files the programs create from now on are readable by the user only.
// Called first thing by each program's main().
void restrictNewFilesToOwner();

} // namespace velmo
