#include "frontend/core/requests.h"

#include "protocol/payloads.h"

#include <QCryptographicHash>

namespace frontend::requests {

namespace {
constexpr qint64 kMaxBoardId = 0xFFFF;
}

QString serialSetup(const PortSettings &settings)
{
    return protocol::buildSerialSetup(settings);
}

QString boardConfigs(qint32 startFlash, qint32 startProgr, qint32 sizeFlash, qint32 sizeProgr,
                     qint32 maxErase, quint8 padding, qint32 idPosition)
{
    protocol::BoardLayout layout;
    layout.startFlash = startFlash;
    layout.startProgr = startProgr;
    layout.sizeFlash = sizeFlash;
    layout.sizeProgr = sizeProgr;
    layout.maxErase = maxErase;
    layout.padding = padding;
    layout.idPosition = idPosition;
    return protocol::buildBoardConfigs(layout);
}

QString boardConfigs(const BoardConf &conf)
{
    return protocol::buildBoardConfigs(conf.layout());
}

QString boardUpdate(bool eraseAll)
{
    return protocol::buildBoardUpdate(eraseAll);
}

qint64 boardIdValue(const QString &id)
{
    bool ok = false;
    const qint64 value = id.toLongLong(&ok, 16);
    return ok ? value : 0;
}

bool boardIdInRange(const QString &id)
{
    const qint64 value = boardIdValue(id);
    return value >= 0 && value <= kMaxBoardId;
}

QString md5Hex(const QByteArray &bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

} // namespace frontend::requests
