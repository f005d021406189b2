#pragma once

#include <QString>

namespace frontend {

// How the current user stands towards a serial device file.
struct PortAccess
{
    bool exists = false;
    bool accessible = false; // may read and write it now
    QString group;           // the group that owns it; empty when unknown
    QString user;
    bool userInGroup = false;     // the group database lists the user in it
    bool sessionHasGroup = false; // this session's processes carry it
};

// The device file of a port name: "ttyUSB0" is "/dev/ttyUSB0"; a path stays.
QString devicePath(const QString &portName);

// Looks at the device file and the current user's groups.
PortAccess probePortAccess(const QString &path);

// What to do about the daemon's port error `daemonText` on `portName`: a
// line or two for the usual Linux causes, chosen by the serial-port module's
// error code in the text; empty when there is nothing useful to add.
// `access` is what probePortAccess() found for the device.
QString portErrorHint(const QString &daemonText, const QString &portName, const PortAccess &access);

// Whether the daemon's text says that an open port went away.
bool isPortLostText(const QString &daemonText);

} // namespace frontend
