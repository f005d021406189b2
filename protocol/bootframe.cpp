#include "protocol/bootframe.h"

#include <QList>

namespace bootframe {

std::uint8_t checksum(const QByteArray &commandBytes)
{
    unsigned sum = 0;
    for (const char c : commandBytes)
        sum += static_cast<std::uint8_t>(c);
    return static_cast<std::uint8_t>((256u - (sum % 256u)) % 256u);
}

QByteArray escapeBody(const QByteArray &body)
{
    QByteArray out;
    out.reserve(body.size() * 2);
    for (const char c : body) {
        const auto b = static_cast<std::uint8_t>(c);
        if (b == kEscape || b == kStart || b == kEnd)
            out.append(static_cast<char>(kEscape));
        out.append(c);
    }
    return out;
}

QByteArray encodeUnescaped(const QByteArray &commandBytes)
{
    QByteArray frame;
    frame.reserve(commandBytes.size() + 4);
    frame.append(static_cast<char>(kStart));
    frame.append(static_cast<char>(kStart));
    frame.append(commandBytes);
    frame.append(static_cast<char>(checksum(commandBytes)));
    frame.append(static_cast<char>(kEnd));
    return frame;
}

QByteArray encode(const QByteArray &commandBytes)
{
    QByteArray body = commandBytes;
    body.append(static_cast<char>(checksum(commandBytes)));
    QByteArray frame;
    frame.reserve(body.size() * 2 + 3);
    frame.append(static_cast<char>(kStart));
    frame.append(static_cast<char>(kStart));
    frame.append(escapeBody(body));
    frame.append(static_cast<char>(kEnd));
    return frame;
}

namespace {
QByteArray withAddress(Command command, std::uint8_t second, quint32 address)
{
    QByteArray bytes;
    bytes.append(static_cast<char>(command));
    bytes.append(static_cast<char>(second));
    bytes.append(static_cast<char>(address & 0xFF));
    bytes.append(static_cast<char>((address >> 8) & 0xFF));
    bytes.append(static_cast<char>((address >> 16) & 0xFF));
    return bytes;
}
} // namespace

QByteArray readIdCommand()
{
    return QByteArray("\x00\x02", 2);
}

QByteArray readFlashCommand(quint32 address, std::uint8_t count)
{
    return withAddress(Command::ReadFlash, count, address);
}

QByteArray writeFlashCommand(quint32 address, const QByteArray &block64)
{
    QByteArray bytes = withAddress(Command::WriteFlash, 0x08, address);
    bytes.append(block64.left(kBlockBytes));
    if (block64.size() < kBlockBytes)
        bytes.append(QByteArray(kBlockBytes - int(block64.size()), '\xFF'));
    return bytes;
}

QByteArray erasePageCommand(quint32 address)
{
    return withAddress(Command::ErasePage, 0x01, address);
}

QByteArray readReplyData(const QByteArray &reply, int count)
{
    if (count <= 0 || reply.size() <= count ||
        static_cast<std::uint8_t>(reply.at(0)) != std::uint8_t(Command::ReadFlash))
        return QByteArray();
    return reply.right(count);
}

QByteArray singleByteCommand(Command command)
{
    return QByteArray(1, static_cast<char>(command));
}

QList<QByteArray> EscapedDecoder::feed(const QByteArray &bytes, int *badFrames)
{
    m_buffer.append(bytes);
    QList<QByteArray> frames;
    for (;;) {
        // Resynchronise on the two start bytes.
        const qsizetype start = m_buffer.indexOf(QByteArray("\x0F\x0F", 2));
        if (start < 0) {
            // Keep a trailing 0x0F: it may be the first start byte.
            if (!m_buffer.isEmpty() && static_cast<std::uint8_t>(m_buffer.back()) == kStart)
                m_buffer = m_buffer.right(1);
            else
                m_buffer.clear();
            return frames;
        }
        m_buffer.remove(0, start);

        QByteArray body;
        qsizetype i = 2;
        bool complete = false;
        while (i < m_buffer.size()) {
            const auto b = static_cast<std::uint8_t>(m_buffer.at(i));
            if (b == kEscape) {
                if (i + 1 >= m_buffer.size())
                    break;
                body.append(m_buffer.at(i + 1));
                i += 2;
                continue;
            }
            if (b == kEnd) {
                complete = true;
                ++i;
                break;
            }
            if (b == kStart) {
                // An unescaped start byte inside a body: the frame was cut;
                // start over from here.
                break;
            }
            body.append(static_cast<char>(b));
            ++i;
        }
        if (!complete) {
            if (i < m_buffer.size() && static_cast<std::uint8_t>(m_buffer.at(i)) == kStart) {
                // Drop one byte only: the start pair may begin at the next
                // byte (a stray 0x0F before a frame).
                m_buffer.remove(0, 1);
                if (badFrames)
                    ++*badFrames;
                continue;
            }
            return frames;
        }
        m_buffer.remove(0, i);
        if (body.isEmpty()) {
            if (badFrames)
                ++*badFrames;
            continue;
        }
        const QByteArray command = body.left(body.size() - 1);
        if (!command.isEmpty() && checksum(command) == static_cast<std::uint8_t>(body.back())) {
            frames.append(command);
        } else if (badFrames) {
            ++*badFrames;
        }
    }
}

} // namespace bootframe
