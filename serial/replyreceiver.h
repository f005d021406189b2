#pragma once

#include <QByteArray>
#include <QList>

#include <cstdint>

// Collects the board's answers from the serial byte stream. The board does
// not escape its frames, so 0x04 may appear inside a body and the end of a
// frame is only known once the checksum before a 0x04 adds up. The receiver
// resynchronises on the start bytes 0x0F 0x0F, drops stray and cut bytes,
// and hands on every complete, checksum-valid answer in arrival order.
//
// feed() hands an answer on at once when it is already certain: it checks,
// ends the received bytes or is followed by the next start byte, and an
// identifier answer has its proper length. flush() runs after the line has
// been quiet for a moment and also takes the less certain ones.
class ReplyReceiver
{
public:
    // Longest answer the board can send (a 255-byte read and its header);
    // bytes that have not formed a frame within this span are dropped.
    static constexpr int kMaxFrameBytes = 300;
    // Bytes handled per pass, so a flood of junk costs linear time.
    static constexpr int kSliceBytes = 256;

    // Appends bytes; returns the command bytes (checksum and framing
    // removed) of every answer that is certain by now.
    QList<QByteArray> feed(const QByteArray &bytes);
    // Called after the quiet time: returns every answer that checks.
    QList<QByteArray> flush();

    bool hasPending() const { return !m_buffer.isEmpty(); }
    qsizetype pendingBytes() const { return m_buffer.size(); }
    // Drops what waits; it counts as dropped.
    void clear();
    // Bytes given up so far: junk, cut or damaged frames, cleared bytes. A
    // rise while an answer is awaited means the board's answer was damaged.
    quint64 droppedBytes() const { return m_dropped; }

private:
    void extract(bool quiet, QList<QByteArray> *out);
    // Index of the end byte of the first frame starting at `start` whose
    // checksum is valid, or -1; `certainOnly` applies the feed() rules.
    qsizetype findEnd(qsizetype start, bool certainOnly) const;
    bool dropLeadingJunk();

    void drop(qsizetype bytes) { m_dropped += quint64(bytes); }

    QByteArray m_buffer;
    quint64 m_dropped = 0;
};
