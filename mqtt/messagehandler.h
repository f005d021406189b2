#pragma once

#include <QByteArray>
#include <QString>

// Each program's own handling of a received message. Kept apart from the
// transport so parsers that implement it build without the broker library.
class IMqttMessageHandler
{
public:
    virtual ~IMqttMessageHandler() = default;
    virtual void handleMessage(const QString &topic, const QString &payload) = 0;
    // Called for every message with the payload's bytes (one per character,
    // Latin-1). The default converts them to text for handleMessage();
    // handlers of large payloads override it to skip that 2-bytes-per-
    // character copy.
    virtual void handleMessageBytes(const QString &topic, const QByteArray &payload);
};
