#pragma once

#include "mqtt/mqttmgr.h"

namespace serialdaemon {

class StatusObject;

// Turns each request received on "REQUEST/#" into the worker's operations.
// Malformed payloads are never refused: unknown keys are ignored and
// unreadable numbers read as 0. The manager emits statusUpdated() after
// every request, whatever its topic.
class RequestDispatcher : public IMqttMessageHandler
{
public:
    // Longest payload written to the log in full.
    static constexpr int kMaxLoggedPayload = 1024;

    explicit RequestDispatcher(StatusObject &worker)
        : m_worker(worker)
    {}

    void handleMessage(const QString &topic, const QString &payload) override;

private:
    void applySetup(const QString &payload);
    void applyConfigs(const QString &payload);

    StatusObject &m_worker;
};

} // namespace serialdaemon
