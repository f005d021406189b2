#include "frontend/library/safefile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace frontend {

namespace {

SafeRead::Kind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return SafeRead::Kind::File;
    if (S_ISDIR(mode))
        return SafeRead::Kind::Folder;
    if (S_ISFIFO(mode))
        return SafeRead::Kind::Pipe;
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return SafeRead::Kind::Device;
    if (S_ISSOCK(mode))
        return SafeRead::Kind::Socket;
    return SafeRead::Kind::Other;
}

SafeRead failure(int error)
{
    SafeRead r;
    if (error == ENOENT || error == ENOTDIR || error == ELOOP)
        r.status = SafeRead::Status::Missing;
    else if (error == EACCES || error == EPERM)
        r.status = SafeRead::Status::NoAccess;
    else if (error == ENXIO) // a socket, or a pipe's other end
        r.status = SafeRead::Status::NotRegular, r.kind = SafeRead::Kind::Socket;
    else
        r.status = SafeRead::Status::Failed;
    r.error = QString::fromLocal8Bit(std::strerror(error));
    return r;
}

class Descriptor
{
public:
    explicit Descriptor(int fd)
        : m_fd(fd)
    {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int fd() const { return m_fd; }

private:
    int m_fd;
};

} // namespace

SafeRead readRegularFile(const QString &path, qint64 maxBytes)
{
    // Non-blocking, so opening a named pipe returns at once instead of
    // waiting for a writer; no controlling terminal from a tty device.
    const Descriptor file(
        ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.fd() < 0)
        return failure(errno);
    struct stat st = {};
    if (::fstat(file.fd(), &st) != 0)
        return failure(errno);

    SafeRead r;
    r.kind = kindOf(st.st_mode);
    r.size = qint64(st.st_size);
    r.modified =
        QDateTime::fromSecsSinceEpoch(st.st_mtim.tv_sec).addMSecs(st.st_mtim.tv_nsec / 1000000);
    if (r.kind != SafeRead::Kind::File) {
        r.status = SafeRead::Status::NotRegular;
        r.size = -1;
        return r;
    }
    if (r.size > maxBytes) {
        r.status = SafeRead::Status::TooLarge;
        return r;
    }
    // The size can change while we read: read to the end, never past the
    // cap. One byte more than expected tells a file that grew.
    constexpr qint64 kGrowStep = qint64(64) * 1024;
    r.bytes.resize(qMin(r.size, maxBytes) + 1);
    qint64 done = 0;
    while (done < r.bytes.size()) {
        const ssize_t n = ::read(file.fd(), r.bytes.data() + done, size_t(r.bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            SafeRead failed = failure(errno);
            failed.size = r.size;
            failed.modified = r.modified;
            return failed;
        }
        if (n == 0)
            break;
        done += n;
        if (done == r.bytes.size() && done <= maxBytes)
            r.bytes.resize(qMin(done + kGrowStep, maxBytes + 1));
    }
    r.bytes.truncate(done);
    if (done > maxBytes) {
        r.bytes.clear();
        r.size = done;
        r.status = SafeRead::Status::TooLarge;
        return r;
    }
    r.size = done;
    r.status = SafeRead::Status::Ok;
    return r;
}

} // namespace frontend
