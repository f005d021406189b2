#include "mqtt/mqttclient.h"

#include "mqtt/imqtteventdispatcher.h"
#include "mqtt/latin1.h"

#include <QDebug>

MQTTClient::MQTTClient(const char *clientId, IMQTTEventDispatcher *dispatcher, MqttSession session)
    : mosqpp::mosquittopp(clientId, /*clean_session=*/true)
    , dispatcher(dispatcher)
    , m_session(std::move(session))
{}

QString MQTTClient::refusalReason(int rc)
{
    switch (rc) {
    case 1:
        return QStringLiteral("unacceptable protocol version");
    case 2:
        return QStringLiteral("identifier rejected");
    case 3:
        return QStringLiteral("broker unavailable");
    case 4:
        return QStringLiteral("bad user name or password");
    case 5:
        return QStringLiteral("not authorised");
    default:
        return QStringLiteral("unknown reason");
    }
}

void MQTTClient::on_connect(int rc)
{
    if (rc != 0) {
        qDebug().noquote() << "[MQTTClient] Connection Refused: " + refusalReason(rc) + "\n";
        return;
    }
    for (const QString &announce : qAsConst(m_session.announceTopics)) {
        const QByteArray t = latin1::toBytes(announce);
        publish(&messageId, t.constData(), 0, nullptr, 0, false);
    }
    const QByteArray pattern = latin1::toBytes(m_session.subscription);
    subscribe(&messageId, pattern.constData(), 0);
}

void MQTTClient::on_message(const struct mosquitto_message *message)
{
    if (message == nullptr)
        return;
    topic = message->topic ? QString::fromLatin1(message->topic) : QString();
    payload = latin1::fromBytes(static_cast<const char *>(message->payload), message->payloadlen);
    if (dispatcher)
        dispatcher->deliver(topic, payload);
}
