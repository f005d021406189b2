#pragma once

#include "frontend/core/boardconf.h"
#include "frontend/core/frontendstatus.h"

#include <QByteArray>
#include <QString>

// The front end's request payloads and the checks around them; pure
// functions, so the exact bytes on the wire can be tested without a broker.
namespace frontend::requests {

// "Com=COM3 Baud=9600 DataBits=8 Parity=0 StopBits=1 FlowControl=0"
QString serialSetup(const PortSettings &settings);

// Every value in decimal, also those the configuration file gives in hex.
QString boardConfigs(qint32 startFlash, qint32 startProgr, qint32 sizeFlash, qint32 sizeProgr,
                     qint32 maxErase, quint8 padding, qint32 idPosition);
QString boardConfigs(const BoardConf &conf);

QString boardUpdate(bool eraseAll);

// The board id as a number: hex, "0x" accepted; text that is not hex reads
// as 0.
qint64 boardIdValue(const QString &id);
// Whether the id fits the board's 16-bit identifier (0 to 0xFFFF).
bool boardIdInRange(const QString &id);

// 32 lower-case hex digits.
QString md5Hex(const QByteArray &bytes);

} // namespace frontend::requests
