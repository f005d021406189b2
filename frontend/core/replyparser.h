#pragma once

#include "mqtt/mqttmgr.h"

#include <QString>

namespace frontend {

class StatusObject;

// The front end's handling of the daemon's replies on the common MqttMgr:
// each reply is stored in the StatusObject and raises its mark; the manager
// then emits statusUpdated() whatever the topic.
class ReplyParser : public IMqttMessageHandler
{
public:
    explicit ReplyParser(StatusObject *statusObject = nullptr)
        : statusObject(statusObject)
    {}

    void setStatusObject(StatusObject *object) { statusObject = object; }

    void handleMessage(const QString &topic, const QString &payload) override;
    void parseMessage(const QString &topic, const QString &payload);

private:
    StatusObject *statusObject;
};

} // namespace frontend
