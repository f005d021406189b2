#pragma once

#include "mqtt/mqttmgr.h"

#include <QList>
#include <QPair>
#include <QTimer>

#include <memory>

// A test client on the common transport: subscribes to a pattern, records
// every message in order and can wait for one.
class MqttProbe : public QObject, public IMqttMessageHandler
{
    Q_OBJECT

public:
    using Message = QPair<QString, QString>;

    MqttProbe(int port, const QString &subscription,
              const QByteArray &clientId = "velmo-test-probe", const QStringList &announce = {});
    ~MqttProbe() override;

    bool publish(const QString &topic, const QString &payload);
    // Waits until the probe's subscription is in place (it has seen a message
    // on `topic` that it published to itself), or the timeout passes.
    bool waitConnected(const QString &selfTopic, int timeoutMs = 10000);

    // Waits for the next not yet taken message on `topic`; returns its
    // payload, or a null string on timeout.
    QString waitFor(const QString &topic, int timeoutMs = 10000);
    // All messages received so far on `topic`, taken or not.
    QStringList payloadsOf(const QString &topic) const;
    const QList<Message> &messages() const { return m_messages; }
    void clear();

    void handleMessage(const QString &topic, const QString &payload) override;
    MqttMgr *manager() const { return m_mgr.get(); }

private:
    std::unique_ptr<MqttMgr> m_mgr;
    QTimer m_timer;
    QList<Message> m_messages;
    QList<bool> m_taken;
};
