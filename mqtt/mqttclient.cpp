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
    if (dispatcher)
        dispatcher->connectionReady();
}

void MQTTClient::on_message(const struct mosquitto_message *message)
{
    if (message == nullptr)
        return;
    Received r;
    r.topic = message->topic ? QString::fromLatin1(message->topic) : QString();
    if (message->payload != nullptr && message->payloadlen > 0) {
        if (message->qos == 0) {
            // The library has already made its own copy of the payload out
            // of the packet it read, and only frees that copy once this
            // returns (a null pointer it leaves alone). Taking it over
            // instead of copying it again keeps a large file at two copies
            // in memory instead of three; it becomes a QByteArray in
            // handOver(), after the packet buffer is gone.
            auto *owned = const_cast<struct mosquitto_message *>(message);
            r.libraryBuffer = owned->payload;
            r.libraryLength = owned->payloadlen;
            owned->payload = nullptr;
            owned->payloadlen = 0;
        } else {
            r.bytes = QByteArray(static_cast<const char *>(message->payload), message->payloadlen);
        }
    }
    m_received.append(std::move(r));
}

void MQTTClient::handOver()
{
    while (!m_received.isEmpty()) {
        Received r = m_received.takeFirst();
        if (r.libraryBuffer != nullptr) {
            r.bytes = QByteArray(static_cast<const char *>(r.libraryBuffer), r.libraryLength);
            freeLibraryBuffer(r.libraryBuffer);
        }
        topic = std::move(r.topic);
        payload = std::move(r.bytes);
        if (dispatcher)
            dispatcher->deliverBytes(topic, payload);
        payload = QByteArray();
    }
}

void MQTTClient::freeLibraryBuffer(void *buffer)
{
    // Freed the way the library frees a message's contents.
    struct mosquitto_message m = {};
    m.payload = buffer;
    mosquitto_message_free_contents(&m);
}

MQTTClient::~MQTTClient()
{
    for (const Received &r : std::as_const(m_received))
        freeLibraryBuffer(r.libraryBuffer);
}

void MQTTClient::on_publish(int mid)
{
    if (dispatcher)
        dispatcher->written(mid);
}
