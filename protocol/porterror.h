#pragma once

#include <QString>

#include <optional>

// The number in the daemon's "Can't open <port>, error code N" texts: the
// serial-port module's error code, passed on unchanged. The daemon checks at
// compile time that these values are the module's; the front end reads them
// to hint at the cause without linking the module.
namespace protocol {

enum class PortErrorCode
{
    NoError = 0,
    DeviceNotFound = 1,
    Permission = 2, // also a port another program holds (busy, locked)
    Open = 3,
    Write = 4,
    Read = 5,
    Resource = 6, // the device went away while in use
    UnsupportedOperation = 7,
    Unknown = 8,
    Timeout = 9,
    NotOpen = 10,
};

// The code at the end of a daemon text ("..., error code 2"), or nothing when
// the text carries none.
std::optional<PortErrorCode> portErrorCodeOf(const QString &daemonText);

} // namespace protocol
