#include "common/datafolder.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>
#include <sys/types.h>

namespace velmo {

namespace {
constexpr mode_t kPrivateFolderMode = 0700;
constexpr mode_t kOthersMask = 0077;
} // namespace

QString dataFolderPath()
{
    QString path = QDir::homePath();
    path.append(QStringLiteral("/AppData/Local/Calvestrid"));
    return path;
}

bool ensureDataFolder()
{
    const QString target = dataFolderPath();
    // mkpath would create the parents with the umask's mode; each folder we
    // create ourselves gets 0700 instead.
    const QStringList parts = target.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path;
    for (const QString &part : parts) {
        path += QLatin1Char('/') + part;
        const QByteArray native = QFile::encodeName(path);
        struct stat st;
        if (::stat(native.constData(), &st) == 0) {
            if (!S_ISDIR(st.st_mode))
                return false;
            continue;
        }
        if (::mkdir(native.constData(), kPrivateFolderMode) != 0 && errno != EEXIST)
            return false;
    }
    struct stat st;
    if (::stat(QFile::encodeName(target).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        return false;
    if ((st.st_mode & kOthersMask) != 0) {
        static bool reported = false;
        if (!reported) {
            reported = true;
            qDebug().noquote() << "data folder" << target << "is readable by others (mode"
                               << QString::number(st.st_mode & 0777, 8) << "); left as it is";
        }
    }
    return true;
}

void restrictNewFilesToOwner()
{
    ::umask(kOthersMask);
}

} // namespace velmo
