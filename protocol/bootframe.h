#pragma once

#include <QByteArray>
#include <QList>

#include <cstdint>

// Frames of the board's boot-loader link: 0x0F 0x0F, body, 0x04. The body is
// the command bytes followed by one checksum byte that makes the sum of
// command bytes and checksum 0 modulo 256. When sending, 0x05, 0x0F and 0x04
// inside the body are escaped with a leading 0x05.
namespace bootframe {

constexpr std::uint8_t kStart = 0x0F;
constexpr std::uint8_t kEnd = 0x04;
constexpr std::uint8_t kEscape = 0x05;

// Command codes, the first command byte of a request and of its answer.
enum class Command : std::uint8_t
{
    ReadId = 0x00,
    ReadFlash = 0x01,
    WriteFlash = 0x02,
    ErasePage = 0x03,
    BootOff = 0x05,
    BaudHigh = 0x08,
    BaudLow = 0x09,
    EraseAll = 0x0B,
};

// Every write carries one block; the update writes block after block.
constexpr int kBlockBytes = 64;
// What "REQUEST/SERIAL/READ" asks the board for.
constexpr int kReadCount = 64;
// The identifier answer: 0x00, one byte not examined, low byte, high byte.
constexpr int kReadIdReplyBytes = 4;

// Offset in the flash image of a 24-bit link address.
constexpr quint32 imageOffset(quint32 address)
{
    return address & 0xFFFFFFu;
}

std::uint8_t checksum(const QByteArray &commandBytes);

// Escapes 0x05 first, then 0x0F, then 0x04, so added escape bytes are never
// doubled.
QByteArray escapeBody(const QByteArray &body);

// The complete escaped frame for the given command bytes.
QByteArray encode(const QByteArray &commandBytes);

// Unescaped frame (no escaping), as the board sends its answers.
QByteArray encodeUnescaped(const QByteArray &commandBytes);

// Command bytes of the daemon's requests; addresses are 24-bit, low byte
// first.
QByteArray readIdCommand();
QByteArray readFlashCommand(quint32 address, std::uint8_t count);
QByteArray writeFlashCommand(quint32 address, const QByteArray &block64);
QByteArray erasePageCommand(quint32 address);
QByteArray singleByteCommand(Command command);

// The data of a read answer (command bytes, starting with 0x01): its last
// `count` bytes, when it holds more than that. How a board frames the data
// is not fixed ("01 data", "01 n data", or with the address echoed); every
// such form ends with the data. Empty for a shorter answer.
QByteArray readReplyData(const QByteArray &reply, int count = kReadCount);

// Splits a stream of escaped frames (what the board receives) into command
// byte sequences. Bytes are consumed from `buffer`; incomplete tails stay.
// Frames whose checksum does not match are dropped and counted in
// `badFrames` when given.
class EscapedDecoder
{
public:
    // Appends bytes; returns the command bytes of every complete, valid frame.
    QList<QByteArray> feed(const QByteArray &bytes, int *badFrames = nullptr);
    void reset() { m_buffer.clear(); }
    int pendingBytes() const { return int(m_buffer.size()); }

private:
    QByteArray m_buffer;
};

} // namespace bootframe
