#pragma once

#include <QByteArray>
#include <QList>

// Writes Intel HEX records the way a firmware tool does, for tests.
namespace hexbuilder {

inline QByteArray record(quint8 type, quint16 address, const QByteArray &data)
{
    QByteArray bytes;
    bytes.append(static_cast<char>(data.size()));
    bytes.append(static_cast<char>(address >> 8));
    bytes.append(static_cast<char>(address & 0xFF));
    bytes.append(static_cast<char>(type));
    bytes.append(data);
    unsigned sum = 0;
    for (const char c : bytes)
        sum += static_cast<quint8>(c);
    bytes.append(static_cast<char>((256 - sum % 256) % 256));
    return ":" + bytes.toHex().toUpper();
}

inline QByteArray dataRecord(quint16 address, const QByteArray &data)
{
    return record(0x00, address, data);
}

inline QByteArray linearBase(quint16 upper)
{
    return record(0x04, 0,
                  QByteArray::fromHex(QByteArray::number(upper, 16).rightJustified(4, '0')));
}

inline QByteArray segmentBase(quint16 segment)
{
    return record(0x02, 0,
                  QByteArray::fromHex(QByteArray::number(segment, 16).rightJustified(4, '0')));
}

inline QByteArray endOfFile()
{
    return ":00000001FF";
}

// Identifier line with the board id at byte position 1 ("#" is byte 0).
inline QByteArray idLine(quint16 boardId)
{
    return "#" + QByteArray::number(boardId, 16).rightJustified(4, '0') + "0102";
}

inline QByteArray file(const QList<QByteArray> &lines, const QByteArray &eol = "\r\n")
{
    QByteArray out;
    for (const QByteArray &line : lines)
        out += line + eol;
    return out;
}

} // namespace hexbuilder
