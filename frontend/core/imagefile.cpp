#include "frontend/core/imagefile.h"

#include "frontend/base/userdialogs.h"

#include <QFile>

#include <new>

namespace frontend {

namespace {
void fail(const QString &text)
{
    UserDialogs::instance().critical(QStringLiteral("Error"), text);
}
} // namespace

ImageLoad loadImageFile(const QString &path)
{
    ImageLoad result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.status = ImageLoad::Status::OpenFailed;
        fail(QStringLiteral("Error: Unable to open file."));
        return result;
    }
    const qint64 size = file.size();
    if (size > kMaxImageBytes) {
        result.status = ImageLoad::Status::TooLarge;
        fail(QStringLiteral("Error: File is too large (>268,435,455 bytes).\n"));
        return result;
    }
    if (size == 0) {
        result.status = ImageLoad::Status::Empty;
        fail(QStringLiteral("Error: File is empty.\n"));
        return result;
    }

    QByteArray bytes;
    try {
        bytes.resize(size);
    } catch (const std::bad_alloc &) {
        result.status = ImageLoad::Status::OutOfMemory;
        fail(QStringLiteral("Error: Out of memory.\n"));
        return result;
    }
    // Read until every byte is in; a file that shrinks under us ends the
    // read instead of looping forever.
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.read(bytes.data() + done, size - done);
        if (n <= 0)
            break;
        done += n;
    }
    if (done != size) {
        result.status = ImageLoad::Status::ReadFailed;
        fail(QStringLiteral("Error: Unable to open file."));
        return result;
    }
    result.status = ImageLoad::Status::Loaded;
    result.bytes = std::move(bytes);
    return result;
}

} // namespace frontend
