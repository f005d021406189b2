#pragma once

#include "protocol/reports.h"

#include <QList>
#include <QString>

class QSerialPortInfo;

namespace serialdaemon {

// Where udev keeps the names of USB serial devices that stay the same when
// the adapter is plugged into another socket.
inline constexpr const char *kSerialByIdFolder = "/dev/serial/by-id";

// The link in `byIdFolder` that resolves to `devicePath`; empty when none.
QString byIdLinkFor(const QString &devicePath, const QString &byIdFolder);

// What the system tells of each port, with its stable name, in the order
// given.
QList<protocol::PortDetails>
describePorts(const QList<QSerialPortInfo> &ports,
              const QString &byIdFolder = QString::fromLatin1(kSerialByIdFolder));

} // namespace serialdaemon
