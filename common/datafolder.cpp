#include "common/datafolder.h"

#include <QDir>

namespace velmo {

QString dataFolderPath()
{
    QString path = QDir::homePath();
    path.append(QStringLiteral("/AppData/Local/Calvestrid"));
    return path;
}

bool ensureDataFolder()
{
    return QDir().mkpath(dataFolderPath());
}

} // namespace velmo
