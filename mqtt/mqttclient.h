#pragma once

#include "mqtt/mqttsession.h"

#include <QString>
#include <mosquittopp.h>

class IMQTTEventDispatcher;

// The library's client, with the two callbacks the programs need. Every call
// into it is made by MQTTThread under its client lock; the callbacks run on
// the network thread inside that thread's loop pass.
class MQTTClient : public mosqpp::mosquittopp
{
public:
    MQTTClient(const char *clientId, IMQTTEventDispatcher *dispatcher, MqttSession session);

    void on_connect(int rc) override;
    void on_message(const struct mosquitto_message *message) override;

    static QString refusalReason(int rc);

    IMQTTEventDispatcher *dispatcher = nullptr;
    int messageId = 0;
    QString topic;
    QString payload;

private:
    MqttSession m_session;
};
