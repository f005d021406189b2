#include "common/callerpath.h"

#include <QDir>

namespace velmo {

QString callerPath(const QString &path)
{
    if (path.isEmpty() || QDir::isAbsolutePath(path))
        return path;
    const QString callerDir = qEnvironmentVariable(kCallerDirVariable);
    return QDir(callerDir.isEmpty() ? QDir::currentPath() : callerDir).absoluteFilePath(path);
}

} // namespace velmo
