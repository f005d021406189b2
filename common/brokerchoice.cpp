#include "common/brokerchoice.h"

#include "common/datafolder.h"

#include <QFileInfo>
#include <QSettings>

namespace velmo {

QString preferencesFilePath()
{
    return dataFolderPath() + QStringLiteral("/VelmoFrontEnd.ini");
}

QString privateBrokerSocket()
{
    return qEnvironmentVariable(kBrokerSocketVariable).trimmed();
}

bool privateBrokerChosen(const QString &preferencesPath)
{
    const QSettings settings(preferencesPath, QSettings::IniFormat);
    return settings.value(QLatin1String(kPrivateBrokerKey), true).toBool();
}

QString brokerSocketInUse()
{
    const QString socket = privateBrokerSocket();
    if (socket.isEmpty() || !privateBrokerChosen())
        return QString();
    return socket;
}

QString daemonKeyFolder(const QString &socketInUse)
{
    if (socketInUse.isEmpty())
        return dataFolderPath();
    return QFileInfo(socketInUse).absolutePath();
}

} // namespace velmo
