#include "mqtt/imqtteventdispatcher.h"

#include "mqtt/latin1.h"

void IMQTTEventDispatcher::deliverBytes(const QString &topic, const QByteArray &payload)
{
    deliver(topic, latin1::fromBytes(payload.constData(), int(payload.size())));
}
