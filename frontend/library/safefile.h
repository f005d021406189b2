#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace frontend {

// A file of a folder the user fills: read only when it is a regular file
// (a named pipe would block, a device never end), and never more than a
// cap. The type is judged on the opened file, so a name swapped between a
// look and the read cannot slip past.
struct SafeRead
{
    enum class Status
    {
        Ok,
        Missing,    // no such file, or a link to nothing
        NoAccess,   // permission denied
        NotRegular, // a folder, named pipe, device or socket; see `kind`
        TooLarge,   // above the cap; `size` says how large
        Failed,     // any other error; see `error`
    };
    enum class Kind
    {
        File,
        Folder,
        Pipe,
        Device,
        Socket,
        Other
    };

    Status status = Status::Failed;
    Kind kind = Kind::File;
    QByteArray bytes; // the whole file when Ok
    qint64 size = -1;
    QDateTime modified;
    QString error; // the system's words for Failed

    bool ok() const { return status == Status::Ok; }
};

SafeRead readRegularFile(const QString &path, qint64 maxBytes);

} // namespace frontend
