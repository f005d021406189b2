#include "serial/replyreceiver.h"

#include "protocol/bootframe.h"

namespace {
using bootframe::kEnd;
using bootframe::kReadIdReplyBytes;
using bootframe::kStart;
constexpr auto kReadIdReply = std::uint8_t(bootframe::Command::ReadId);
// Start, start, one command byte, checksum, end.
constexpr int kMinFrameBytes = 5;

std::uint8_t byteAt(const QByteArray &a, qsizetype i)
{
    return static_cast<std::uint8_t>(a.at(i));
}
} // namespace

QList<QByteArray> ReplyReceiver::feed(const QByteArray &bytes)
{
    QList<QByteArray> out;
    for (qsizetype at = 0; at < bytes.size(); at += kSliceBytes) {
        m_buffer.append(bytes.mid(at, kSliceBytes));
        extract(false, &out);
    }
    return out;
}

QList<QByteArray> ReplyReceiver::flush()
{
    QList<QByteArray> out;
    extract(true, &out);
    return out;
}

void ReplyReceiver::clear()
{
    drop(m_buffer.size());
    m_buffer.clear();
}

bool ReplyReceiver::dropLeadingJunk()
{
    const qsizetype start = m_buffer.indexOf(QByteArray("\x0F\x0F", 2));
    if (start < 0) {
        // A lone trailing 0x0F may be the first half of the next start.
        if (!m_buffer.isEmpty() && byteAt(m_buffer, m_buffer.size() - 1) == kStart) {
            drop(m_buffer.size() - 1);
            m_buffer = m_buffer.right(1);
        } else {
            clear();
        }
        return false;
    }
    drop(start);
    m_buffer.remove(0, start);
    return true;
}

qsizetype ReplyReceiver::findEnd(qsizetype start, bool certainOnly) const
{
    const qsizetype limit = qMin<qsizetype>(m_buffer.size(), start + kMaxFrameBytes);
    // Running sum of the bytes from the first command byte up to, not
    // including, index j - 1 (the checksum candidate).
    unsigned sum = 0;
    for (qsizetype j = start + kMinFrameBytes - 1; j < limit; ++j) {
        sum += byteAt(m_buffer, j - 2);
        if (byteAt(m_buffer, j) != kEnd)
            continue;
        if (((sum + byteAt(m_buffer, j - 1)) & 0xFFu) != 0)
            continue;
        if (!certainOnly)
            return j;
        const qsizetype commandBytes = j - 1 - (start + 2);
        const bool idLengthOk =
            byteAt(m_buffer, start + 2) != kReadIdReply || commandBytes == kReadIdReplyBytes;
        const bool atBoundary = j + 1 == m_buffer.size() || byteAt(m_buffer, j + 1) == kStart;
        if (idLengthOk && atBoundary)
            return j;
    }
    return -1;
}

void ReplyReceiver::extract(bool quiet, QList<QByteArray> *out)
{
    const QByteArray startBytes("\x0F\x0F", 2);
    while (dropLeadingJunk()) {
        // A start whose whole span has arrived without a frame that checks
        // can never become one: give it up and look for the next.
        if (m_buffer.size() >= kMaxFrameBytes && findEnd(0, false) < 0) {
            drop(1);
            m_buffer.remove(0, 1);
            continue;
        }
        qsizetype start = 0;
        qsizetype end = findEnd(0, !quiet);
        if (end < 0) {
            // The frame at the front may have been cut off: a certain frame
            // that starts later proves it, unless the front one already
            // checks before that start (an answer followed by a stray byte).
            const qsizetype reach = qMin<qsizetype>(m_buffer.size(), kMaxFrameBytes);
            for (qsizetype s = m_buffer.indexOf(startBytes, 1); s >= 0 && s < reach;
                 s = m_buffer.indexOf(startBytes, s + 1)) {
                const qsizetype later = findEnd(s, !quiet);
                if (later < 0)
                    continue;
                const qsizetype front = findEnd(0, false);
                if (front >= 0 && front < s) {
                    end = front;
                } else {
                    start = s;
                    end = later;
                }
                break;
            }
        }
        if (end < 0)
            return;
        out->append(m_buffer.mid(start + 2, end - 1 - (start + 2)));
        drop(start); // a frame cut off before this one
        m_buffer.remove(0, end + 1);
    }
}
