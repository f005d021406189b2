#pragma once

#include "mqtt/mqttmgr.h"

#include <QByteArray>
#include <QString>

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

    // The transport hands the bytes as they came over the wire; a firmware
    // file is never widened into text.
    void handleMessageBytes(const QString &topic, const QByteArray &payload) override;
    // Text callers (one byte per character) become bytes here, once.
    void handleMessage(const QString &topic, const QString &payload) override;
    // Payloads are handled as the bytes that came over the wire; a firmware
    // file is never copied into text.
    void dispatch(const QString &topic, const QByteArray &payload);

    // Requests that would change the board or the line under a running
    // update or read-back.
    static bool disturbsTheBoard(const QString &topic, const QString &text);

private:
    void applySetup(const QString &payload);
    void applyConfigs(const QString &payload);

    StatusObject &m_worker;
};

} // namespace serialdaemon
