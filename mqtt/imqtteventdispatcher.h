#pragma once

#include <QString>

// Receives each message that the client reads from the broker, on the
// network thread, inside the library's loop pass.
class IMQTTEventDispatcher
{
public:
    virtual ~IMQTTEventDispatcher() = default;
    virtual void deliver(const QString &topic, const QString &payload) = 0;
};
