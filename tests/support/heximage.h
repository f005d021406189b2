#pragma once

#include <QByteArray>
#include <QFile>
#include <QMap>
#include <QString>

// What a HEX file puts into the flash, address by address (data records
// only), read independently of the programs' own loader.
inline QMap<quint32, quint8> hexImage(const QString &path)
{
    QMap<quint32, quint8> out;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return out;
    quint32 base = 0;
    file.readLine(); // identifier line
    while (!file.atEnd()) {
        const QByteArray record = QByteArray::fromHex(file.readLine().trimmed().mid(1));
        if (record.size() < 5)
            continue;
        const auto b = [&](int i) { return quint8(record.at(i)); };
        const int count = b(0);
        const quint32 address = quint32(b(1)) << 8 | b(2);
        if (b(3) == 0x00) {
            for (int i = 0; i < count; ++i)
                out.insert(base + address + quint32(i), b(4 + i));
        } else if (b(3) == 0x04) {
            base = (quint32(b(4)) << 8 | b(5)) << 16;
        }
    }
    return out;
}
