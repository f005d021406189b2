#include "frontend/core/requests.h"

#include <QCryptographicHash>

namespace frontend::requests {

namespace {
constexpr qint64 kMaxBoardId = 0xFFFF;
}

QString serialSetup(const PortSettings &settings)
{
    // Concatenated rather than arg()-filled, so a "%" in a port name stays text.
    return QStringLiteral("Com=") + settings.portName + QStringLiteral(" Baud=") +
           QString::number(settings.baudRate) + QStringLiteral(" DataBits=") +
           QString::number(settings.dataBits) + QStringLiteral(" Parity=") +
           QString::number(settings.parity) + QStringLiteral(" StopBits=") +
           QString::number(settings.stopBits) + QStringLiteral(" FlowControl=") +
           QString::number(settings.flowControl);
}

QString boardConfigs(qint32 startFlash, qint32 startProgr, qint32 sizeFlash, qint32 sizeProgr,
                     qint32 maxErase, quint8 padding, qint32 idPosition)
{
    return QStringLiteral("StartFlash=%1 StartProgr=%2 SizeFlash=%3 SizeProgr=%4 MaxErase=%5 "
                          "Padding=%6 IdPosition=%7")
        .arg(startFlash)
        .arg(startProgr)
        .arg(sizeFlash)
        .arg(sizeProgr)
        .arg(maxErase)
        .arg(static_cast<int>(padding))
        .arg(idPosition);
}

QString boardConfigs(const BoardConf &conf)
{
    return boardConfigs(conf.startFlash, conf.startProgr, conf.sizeFlash, conf.sizeProgr,
                        conf.maxErase, conf.padding, conf.idPosition);
}

QString boardUpdate(bool eraseAll)
{
    return QStringLiteral("EraseAll=%1").arg(eraseAll ? 1 : 0);
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
