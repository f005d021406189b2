#pragma once

#include "mqtt/outbox.h"

#include <QString>
#include <QStringList>

#include <functional>

// What differs between the two programs' use of the common transport.
struct MqttSession
{
    // Topic pattern subscribed (QoS 0) after every successful connect.
    QString subscription;
    // Topics published with an empty payload on every connect, before the
    // subscription is made.
    QStringList announceTopics;
    // Whether a loop result of "unknown error" is logged.
    bool reportUnknownError = false;
    // Runs in the manager's constructor after its first log line and before
    // the network thread exists.
    std::function<void()> prepare;
    // Published messages kept while the broker is away and sent, in order,
    // once a connection has subscribed again. Nothing by default.
    OutboxPolicy outbox;
};
