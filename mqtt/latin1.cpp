#include "mqtt/latin1.h"

namespace latin1 {

QByteArray toBytes(const QString &text)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    const QChar *in = text.constData();
    char *out = bytes.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t code = in[i].unicode();
        out[i] = code > 0xFF ? '\0' : static_cast<char>(code);
    }
    return bytes;
}

QString fromBytes(const char *data, int length)
{
    if (data == nullptr || length <= 0)
        return QString();
    return QString::fromLatin1(data, length);
}

} // namespace latin1
