#pragma once

#include <QByteArray>
#include <QString>

// Receives what the client learns from the broker, on the network thread,
// inside the library's loop pass (with the client lock held).
class IMQTTEventDispatcher
{
public:
    virtual ~IMQTTEventDispatcher() = default;
    virtual void deliver(const QString &topic, const QString &payload) = 0;
    // The payload as the bytes that came in. The default hands it on as
    // Latin-1 text; a dispatcher that keeps bytes overrides it and saves the
    // 2-byte-per-character copy of a large payload.
    virtual void deliverBytes(const QString &topic, const QByteArray &payload);
    // The connection was acknowledged and the subscription made.
    virtual void connectionReady() {}
    // The library wrote the publish with this message id to the socket.
    virtual void written(int messageId) { Q_UNUSED(messageId) }
};
