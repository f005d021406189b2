#pragma once

#include <QByteArray>
#include <QString>

// Topics and payloads are text of one byte per character. Bytes 0x00..0xFF
// map to U+0000..U+00FF and back; a character above U+00FF has no byte and
// is sent as 0x00 (QString::toLatin1 would send '?').
namespace latin1 {

QByteArray toBytes(const QString &text);
QString fromBytes(const char *data, int length);

} // namespace latin1
