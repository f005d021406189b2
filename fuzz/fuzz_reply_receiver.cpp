// libFuzzer target: the daemon's receiver of the board's answers. The input
// is cut into reads of varying size, with a quiet-time flush now and then.
#include "serial/replyreceiver.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 1)
        return 0;
    // First byte: the read size pattern; bit 7 asks for flushes between reads.
    const std::size_t chunk = (data[0] & 0x3F) + 1;
    const bool flushBetween = data[0] & 0x80;
    const QByteArray stream(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    ReplyReceiver rx;
    qsizetype delivered = 0;
    qsizetype replies = 0;
    const auto take = [&](const QList<QByteArray> &out) {
        for (const QByteArray &reply : out) {
            if (reply.isEmpty())
                std::abort(); // an answer has at least its command byte
            delivered += reply.size();
            ++replies;
        }
    };
    for (qsizetype at = 0; at < stream.size(); at += qsizetype(chunk)) {
        take(rx.feed(stream.mid(at, qsizetype(chunk))));
        if (flushBetween)
            take(rx.flush());
    }
    take(rx.flush());
    // Every byte is accounted for: an answer's (start, start, checksum and
    // end taken off), given up, or still waiting.
    constexpr qsizetype kFramingBytes = 4;
    if (delivered + replies * kFramingBytes + qsizetype(rx.droppedBytes()) + rx.pendingBytes() !=
        stream.size())
        std::abort();
    // After the quiet time nothing older than one answer's length is kept.
    if (rx.pendingBytes() >= ReplyReceiver::kMaxFrameBytes)
        std::abort();
    return 0;
}
