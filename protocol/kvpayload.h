#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Settings payloads of the form "Key=value Key=value ...". The front end
// writes exactly one space between tokens; the daemon is lenient about
// everything else.
namespace kvpayload {

struct Entry
{
    int keyIndex; // index into the key list given to parse()
    QString value;
};

// Splits at spaces (dropping empty pieces) and gives each piece to the first
// key of `keys` that occurs anywhere in it (case-sensitive). The value is
// the text after that key, so "XBaud=5" reads as "Baud=" with "5". Pieces
// that hold no key are skipped. Entries come in payload order, so a key
// given twice ends with its last value when applied in order.
QList<Entry> parse(const QString &payload, const QStringList &keys);

// Signed decimal; anything that does not read as a number gives 0.
int toInt(const QString &value);

// Hexadecimal address ("800", "0x800", "1F00"); unreadable text gives 0.
quint32 toHexAddress(const QString &value);

} // namespace kvpayload
