#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Which published messages a program must not lose while the broker is away.
// An empty policy keeps nothing: a refused publish is then simply refused.
struct OutboxPolicy
{
    static constexpr int kDefaultCapacity = 32;
    static constexpr qsizetype kDefaultMaxBytes = qsizetype(1024) * 1024;

    // Kept in full, in the order they were published.
    QStringList keptTopics;
    // Kept as their newest value only (progress): an older one still waiting
    // is dropped when a newer one comes.
    QStringList latestOnlyTopics;
    // Bounds of what waits; beyond them the oldest goes, progress first.
    int capacity = kDefaultCapacity;
    qsizetype maxBytes = kDefaultMaxBytes;

    bool keeps(const QString &topic) const
    {
        return keptTopics.contains(topic) || latestOnlyTopics.contains(topic);
    }
    bool isLatestOnly(const QString &topic) const { return latestOnlyTopics.contains(topic); }
};

// The messages of the policy's topics that no connection has taken yet, and
// those handed to the library but not yet written to the socket (QoS 0 has
// no acknowledgement; a written message is as far as the library can tell
// us). Not thread-safe: its owner serialises every call.
class Outbox
{
public:
    struct Message
    {
        QString topic;
        QByteArray payload;
    };

    explicit Outbox(OutboxPolicy policy = {});

    const OutboxPolicy &policy() const { return m_policy; }
    bool keeps(const QString &topic) const { return m_policy.keeps(topic); }

    // Stores a message of a kept topic for the next connection. False when
    // the topic is not kept or the message alone exceeds the byte bound.
    bool keep(const Message &message);

    bool hasWaiting() const { return !m_waiting.isEmpty(); }
    const QList<Message> &waiting() const { return m_waiting; }
    Message takeFirst() { return m_waiting.takeFirst(); }

    // The library accepted `message` under `messageId`; it stays here until
    // written() reports it on the wire.
    void sent(int messageId, const Message &message);
    // The library wrote the message with this id. Messages of one connection
    // are written in order, so every earlier one is out as well.
    void written(int messageId);
    int unwrittenCount() const { return int(m_unwritten.size()); }

    // The connection ended: what the library had not written goes back in
    // front of what was waiting, to be sent first on the next connection.
    void connectionLost();

    // How many messages the bounds have dropped since construction.
    int droppedCount() const { return m_dropped; }

private:
    struct Unwritten
    {
        int messageId;
        Message message;
    };

    void append(const Message &message);
    void enforceBounds();

    OutboxPolicy m_policy;
    QList<Message> m_waiting;
    QList<Unwritten> m_unwritten;
    qsizetype m_waitingBytes = 0;
    int m_dropped = 0;
};
