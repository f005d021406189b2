#include "mqtt/messagehandler.h"

#include "mqtt/latin1.h"

void IMqttMessageHandler::handleMessageBytes(const QString &topic, const QByteArray &payload)
{
    handleMessage(topic, latin1::fromBytes(payload.constData(), int(payload.size())));
}
