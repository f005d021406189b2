#include "protocol/kvpayload.h"

namespace kvpayload {

QList<Entry> parse(const QString &payload, const QStringList &keys)
{
    QList<Entry> entries;
    const QStringList pieces = payload.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString &piece : pieces) {
        for (int k = 0; k < keys.size(); ++k) {
            const qsizetype at = piece.indexOf(keys.at(k));
            if (at < 0)
                continue;
            entries.append({k, piece.mid(at + keys.at(k).size())});
            break;
        }
    }
    return entries;
}

int toInt(const QString &value)
{
    bool ok = false;
    const int number = value.toInt(&ok, 10);
    return ok ? number : 0;
}

quint32 toHexAddress(const QString &value)
{
    bool ok = false;
    const quint32 address = value.trimmed().toUInt(&ok, 16);
    return ok ? address : 0;
}

} // namespace kvpayload
