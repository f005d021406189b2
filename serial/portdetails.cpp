#include "serial/portdetails.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

namespace serialdaemon {

QString byIdLinkFor(const QString &devicePath, const QString &byIdFolder)
{
    const QString device = QFileInfo(devicePath).canonicalFilePath();
    if (device.isEmpty())
        return QString();
    const QDir folder(byIdFolder);
    const QFileInfoList links =
        folder.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QFileInfo &link : links)
        if (link.isSymLink() && link.canonicalFilePath() == device)
            return link.absoluteFilePath();
    return QString();
}

QList<protocol::PortDetails> describePorts(const QList<QSerialPortInfo> &ports,
                                           const QString &byIdFolder)
{
    QList<protocol::PortDetails> details;
    details.reserve(ports.size());
    for (const QSerialPortInfo &info : ports)
        details.append({info.portName(), info.description(), info.manufacturer(),
                        info.serialNumber(), byIdLinkFor(info.systemLocation(), byIdFolder)});
    return details;
}

} // namespace serialdaemon
