#pragma once

#include "mqtt/mqttsession.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <mosquittopp.h>

class IMQTTEventDispatcher;

// The library's client, with the callbacks the programs need. Every call
// into it is made by MQTTThread under its client lock; the callbacks run on
// the network thread inside that thread's loop pass.
class MQTTClient : public mosqpp::mosquittopp
{
public:
    MQTTClient(const char *clientId, IMQTTEventDispatcher *dispatcher, MqttSession session);
    ~MQTTClient() override;
    MQTTClient(const MQTTClient &) = delete;
    MQTTClient &operator=(const MQTTClient &) = delete;

    void on_connect(int rc) override;
    void on_message(const struct mosquitto_message *message) override;
    void on_publish(int mid) override;

    // Hands the messages read by the last loop pass to the dispatcher, in
    // order. Network thread, after the pass; needs no client lock, as it
    // makes no library call.
    void handOver();

    static QString refusalReason(int rc);

    IMQTTEventDispatcher *dispatcher = nullptr;
    int messageId = 0;
    QString topic;
    // Latin-1 bytes of the message being handed over; released afterwards,
    // so a large payload is not held here until the next message.
    QByteArray payload;

private:
    struct Received
    {
        QString topic;
        QByteArray bytes;
        // The library's own payload buffer, taken over instead of copied.
        void *libraryBuffer = nullptr;
        int libraryLength = 0;
    };

    static void freeLibraryBuffer(void *buffer);

    MqttSession m_session;
    QList<Received> m_received;
};
