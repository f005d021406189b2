#include "serial/imagestore.h"

#include "firmware/imagecheck.h"

#include <QCryptographicHash>
#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include <malloc.h>
#include <sys/stat.h>

namespace serialdaemon {

namespace {

// The firmware is the customer's: readable by the user only. A file left
// from an earlier version keeps its name but loses the wider rights; a
// device or pipe in its place is left as it is.
void makePrivate(const QFile &file)
{
    struct stat st;
    if (::fstat(file.handle(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0777) != 0600)
        ::fchmod(file.handle(), 0600);
}

} // namespace

ImageStore::ImageStore(QString path)
    : m_path(std::move(path))
{}

void ImageStore::store(const QByteArray &payload)
{
    // A new file is not verified until its own digest has been checked.
    m_fileVerified = false;
    m_fileReceived = true;
    if (payload.size() > kMaxUploadBytes) {
        qWarning().noquote() << "Image rejected: the file has" << payload.size()
                             << "bytes, more than any board's flash can hold as HEX ("
                             << kMaxUploadBytes << "bytes); not stored";
        m_text = QByteArray();
        m_textDigest.clear();
        m_fileStored = false;
        m_releaseDue = true;
        m_digestEarlier = false;
        return;
    }
    m_releaseDue = true;
    m_text = payload;
    m_textDigest =
        QString::fromLatin1(QCryptographicHash::hash(payload, QCryptographicHash::Md5).toHex());
    qDebug().noquote() << m_textDigest;

    QFile file(m_path);
    QString error;
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate,
                  QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        makePrivate(file);
        // The error is read before close(), which would reset it.
        if (file.write(payload) != payload.size() || !file.flush())
            error = file.errorString();
        file.close();
        if (error.isEmpty() && file.error() != QFileDevice::NoError)
            error = file.errorString();
    } else {
        error = file.errorString();
    }
    m_fileStored = error.isEmpty();
    if (!m_fileStored) {
        qWarning().noquote() << "Can't store" << m_path << ":" << error;
        // Never verify a stale copy of an earlier file against this digest.
        if (file.exists() && QFileInfo(m_path).isFile())
            QFile::remove(m_path);
    }
    // A digest that came first and is not this file's: see awaitsOwnDigest().
    m_digestEarlier = m_digestReceived && !digestMatches();
    if (m_digestEarlier)
        qWarning() << "The digest received before the file is not the file's; waiting for its own";
}

bool ImageStore::verifyWithEarlierDigest(const protocol::BoardLayout &layout, int boardId)
{
    m_digestEarlier = false;
    return verify(layout, boardId);
}

void ImageStore::releaseMemoryIfDue()
{
    // A large upload leaves its pages with the allocator (in the network
    // thread's arena too), which would keep the daemon tens of MiB above its
    // idle size until the next upload; hand them back once the payload is
    // gone.
    if (!m_releaseDue)
        return;
    m_releaseDue = false;
    ::malloc_trim(0);
}

void ImageStore::setDigest(const QString &digest)
{
    m_digest = digest;
    m_digestReceived = true;
    m_digestEarlier = false;
}

bool ImageStore::digestMatches() const
{
    return m_fileStored && m_textDigest.compare(m_digest, Qt::CaseInsensitive) == 0;
}

bool ImageStore::boardIdMatches(const protocol::BoardLayout &layout, int boardId) const
{
    return m_fileStored &&
           hexfile::boardIdMatches(hexfile::firstLineView(m_text), layout.idPosition, boardId);
}

bool ImageStore::verify(const protocol::BoardLayout &layout, int boardId)
{
    bool ok = false;
    m_image.clear();
    if (!m_fileStored) {
        qWarning() << "Image rejected: the image file could not be stored";
    } else if (!digestMatches()) {
        qWarning() << "Image rejected: digest does not match";
    } else {
        // The digest only guards the transfer; a file damaged before it was
        // sent, or made for another board, must not reach the board. The
        // image is built in the same pass.
        m_imageLayout = hexfile::imageLayoutOf(layout);
        const hexfile::ImageProblem problem =
            hexfile::checkImage(m_text, layout, boardId, m_imageLayout, &m_image);
        if (problem.ok())
            ok = true;
        else
            qWarning().noquote() << "Image rejected:" << hexfile::describe(problem);
    }
    m_text = QByteArray();
    m_fileVerified = ok;
    m_fileReceived = false;
    m_digestReceived = false;
    m_releaseDue = true;
    return ok;
}

bool ImageStore::build(const QByteArray &text, const protocol::BoardLayout &layout)
{
    m_imageLayout = hexfile::imageLayoutOf(layout);
    if (!hexfile::buildImage(text, m_imageLayout, &m_image)) {
        m_image.clear();
        return false;
    }
    return true;
}

bool ImageStore::image(const protocol::BoardLayout &layout, QByteArray *out)
{
    out->clear();
    if (!m_fileVerified)
        return false;
    const hexfile::Layout wanted = hexfile::imageLayoutOf(layout);
    const bool same = !m_image.isEmpty() && wanted.startFlash == m_imageLayout.startFlash &&
                      wanted.sizeBytes == m_imageLayout.sizeBytes &&
                      wanted.padding == m_imageLayout.padding;
    if (!same) {
        QFile file(m_path);
        if (!file.open(QIODevice::ReadOnly)) {
            qWarning().noquote() << "Can't read" << m_path << ":" << file.errorString();
            return false;
        }
        if (!build(file.readAll(), layout))
            return false;
    }
    *out = m_image;
    return true;
}

} // namespace serialdaemon
