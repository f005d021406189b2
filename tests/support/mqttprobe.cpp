#include "tests/support/mqttprobe.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace {
constexpr int kProbeWakeMs = 5;
}

MqttProbe::MqttProbe(int port, const QString &subscription, const QByteArray &clientId,
                     const QStringList &announce)
{
    MqttSession session;
    session.subscription = subscription;
    session.announceTopics = announce;
    m_mgr = std::make_unique<MqttMgr>(nullptr, clientId, QStringLiteral("127.0.0.1"),
                                      MqttMgr::kUserName, MqttMgr::kPassword, port,
                                      MqttMgr::kKeepAliveSeconds, session);
    m_mgr->setMessageHandler(this);
    connect(&m_timer, &QTimer::timeout, m_mgr.get(), &MqttMgr::wake);
    m_timer.start(kProbeWakeMs);
}

MqttProbe::~MqttProbe()
{
    m_timer.stop();
    m_mgr.reset();
}

bool MqttProbe::publish(const QString &topic, const QString &payload)
{
    return m_mgr->publish(topic, payload);
}

bool MqttProbe::waitConnected(const QString &selfTopic, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QDeadlineTimer nextTry(0);
    while (!deadline.hasExpired()) {
        if (payloadsOf(selfTopic).contains(QStringLiteral("probe-hello")))
            return true;
        if (nextTry.hasExpired()) {
            publish(selfTopic, QStringLiteral("probe-hello"));
            nextTry.setRemainingTime(200);
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return false;
}

QString MqttProbe::waitFor(const QString &topic, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        for (int i = 0; i < m_messages.size(); ++i) {
            if (!m_taken.at(i) && m_messages.at(i).first == topic) {
                m_taken[i] = true;
                return m_messages.at(i).second.isNull() ? QStringLiteral("")
                                                        : m_messages.at(i).second;
            }
        }
        if (deadline.hasExpired())
            return QString();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

QStringList MqttProbe::payloadsOf(const QString &topic) const
{
    QStringList out;
    for (const Message &m : m_messages)
        if (m.first == topic)
            out << m.second;
    return out;
}

void MqttProbe::clear()
{
    m_messages.clear();
    m_taken.clear();
}

void MqttProbe::handleMessage(const QString &topic, const QString &payload)
{
    m_messages.append({topic, payload});
    m_taken.append(false);
}
