#pragma once

#include "firmware/hexfile.h"
#include "protocol/payloads.h"
#include "protocol/topics.h"

#include <QByteArray>
#include <QString>

namespace serialdaemon {

// The firmware file the front end sent: written once as the daemon's image
// file, its digest taken once on arrival, checked once when the digest is
// there, and kept as a built flash image for every update that follows.
// The text is held only until its verification.
class ImageStore
{
public:
    // Larger files are refused unstored, so a stray or hostile upload never
    // fills the disk or stays in memory.
    static constexpr qint64 kMaxUploadBytes = protocol::payload::kMaxFlashFileBytes;

    explicit ImageStore(QString path);

    // "REQUEST/SERIAL/FLASH": replaces the file (private to the user) and
    // forgets any earlier verification. A file over kMaxUploadBytes is not
    // stored, and its verification fails.
    void store(const QByteArray &payload);
    // "REQUEST/SERIAL/MD5".
    void setDigest(const QString &digest);
    // Returns the memory of a file handled since the last call to the
    // system; called after each request, once its payload is released.
    void releaseMemoryIfDue();

    // Both halves have arrived since the last verification, and the digest
    // is this file's or came after it.
    bool isComplete() const { return m_fileReceived && m_digestReceived && !m_digestEarlier; }
    // The file has a digest that came before it and is not its own: that of
    // a file that was lost, or a stray one. Paired at once, it would refuse
    // this file, and this file's own digest, still to come, would then wait
    // for the next file and refuse that one, and so on for every upload
    // after. The file waits a moment for a digest of its own instead
    // (isComplete() once one comes); verifyWithEarlierDigest() ends the wait.
    bool awaitsOwnDigest() const { return m_fileReceived && m_digestReceived && m_digestEarlier; }
    bool verifyWithEarlierDigest(const protocol::BoardLayout &layout, int boardId);
    // Checks digest, then the file against the board; clears the marks of
    // the two halves either way. Logs why a file is refused.
    bool verify(const protocol::BoardLayout &layout, int boardId);
    bool isVerified() const { return m_fileVerified; }
    // The single checks, on the file received last, until its verification.
    bool digestMatches() const;
    bool boardIdMatches(const protocol::BoardLayout &layout, int boardId) const;

    // The flash image of the verified file laid out for `layout`: the one
    // built at verification, or built anew from the file when the layout
    // changed since. False when there is none to build.
    bool image(const protocol::BoardLayout &layout, QByteArray *out);

    QString path() const { return m_path; }
    bool fileReceived() const { return m_fileReceived; }
    bool digestReceived() const { return m_digestReceived; }
    const QString &digest() const { return m_digest; }

private:
    bool build(const QByteArray &text, const protocol::BoardLayout &layout);

    QString m_path;
    QByteArray m_text; // until verified
    QString m_textDigest;
    bool m_fileReceived = false;
    bool m_fileStored = false;
    bool m_digestReceived = false;
    bool m_digestEarlier = false;
    bool m_fileVerified = false;
    bool m_releaseDue = false;
    QString m_digest;

    QByteArray m_image;
    hexfile::Layout m_imageLayout;
};

} // namespace serialdaemon
