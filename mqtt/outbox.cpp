#include "mqtt/outbox.h"

#include <QDebug>

#include <utility>

namespace {
qsizetype sizeOf(const Outbox::Message &m)
{
    return m.topic.size() + m.payload.size();
}
} // namespace

Outbox::Outbox(OutboxPolicy policy)
    : m_policy(std::move(policy))
{}

bool Outbox::keep(const Message &message)
{
    if (!m_policy.keeps(message.topic) || m_policy.capacity <= 0 ||
        sizeOf(message) > m_policy.maxBytes)
        return false;
    append(message);
    enforceBounds();
    return true;
}

void Outbox::append(const Message &message)
{
    if (m_policy.isLatestOnly(message.topic)) {
        for (qsizetype i = m_waiting.size() - 1; i >= 0; --i) {
            if (m_waiting.at(i).topic == message.topic) {
                m_waitingBytes -= sizeOf(m_waiting.at(i));
                m_waiting.removeAt(i);
            }
        }
    }
    m_waiting.append(message);
    m_waitingBytes += sizeOf(message);
}

void Outbox::enforceBounds()
{
    while (m_waiting.size() > m_policy.capacity || m_waitingBytes > m_policy.maxBytes) {
        // Progress is the cheapest loss; an outcome goes only when nothing
        // else is left to drop. The newest message always stays.
        qsizetype victim = 0;
        for (qsizetype i = 0; i + 1 < m_waiting.size(); ++i) {
            if (m_policy.isLatestOnly(m_waiting.at(i).topic)) {
                victim = i;
                break;
            }
        }
        const Message &m = m_waiting.at(victim);
        qDebug().noquote() << "[MQTTThread] outbox full, dropped a message on" << m.topic;
        m_waitingBytes -= sizeOf(m);
        m_waiting.removeAt(victim);
        ++m_dropped;
    }
}

void Outbox::sent(int messageId, const Message &message)
{
    m_unwritten.append({messageId, message});
}

void Outbox::written(int messageId)
{
    for (qsizetype i = 0; i < m_unwritten.size(); ++i) {
        if (m_unwritten.at(i).messageId == messageId) {
            m_unwritten.remove(0, i + 1);
            return;
        }
    }
}

void Outbox::connectionLost()
{
    if (m_unwritten.isEmpty())
        return;
    QList<Message> again;
    again.reserve(m_unwritten.size() + m_waiting.size());
    for (const Unwritten &u : std::as_const(m_unwritten))
        again.append(u.message);
    again.append(m_waiting);
    m_unwritten.clear();
    m_waiting.clear();
    m_waitingBytes = 0;
    for (const Message &m : std::as_const(again))
        append(m);
    enforceBounds();
}
