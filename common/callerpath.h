#pragma once

#include <QString>

namespace velmo {

// The launcher runs every program from the folder that holds its data and
// names the folder the user ran the command from in this variable.
inline constexpr char kCallerDirVariable[] = "VELMO_CALLER_DIR";

// A path from the command line as the user meant it: a relative one is taken
// from the folder the command was run from (the working directory when the
// program was started directly). The programs' own data keep following the
// working directory.
QString callerPath(const QString &path);

} // namespace velmo
