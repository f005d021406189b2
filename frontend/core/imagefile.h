#pragma once

#include <QByteArray>
#include <QString>

namespace frontend {

// The largest HEX file the front end accepts (0x0FFFFFFF bytes).
inline constexpr qint64 kMaxImageBytes = 268435455;

struct ImageLoad
{
    enum class Status
    {
        Loaded,
        OpenFailed,
        TooLarge,
        Empty,
        OutOfMemory,
        ReadFailed
    };
    Status status = Status::OpenFailed;
    QByteArray bytes; // the whole file when Loaded, else empty

    bool ok() const { return status == Status::Loaded; }
};

// Reads the whole image file. Each failure shows its critical box "Error"
// (no parent, untranslated) and leaves no bytes behind.
ImageLoad loadImageFile(const QString &path);

} // namespace frontend
