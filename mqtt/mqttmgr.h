#pragma once

#include "mqtt/messagehandler.h"
#include "mqtt/mqttsession.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <memory>

class MQTTThread;

// Owns the network thread and turns each received message into a call of the
// program's handler on the main thread, followed by statusUpdated().
class MqttMgr : public QObject
{
    Q_OBJECT

public:
    static constexpr int kDefaultPort = 1883;
    static constexpr int kKeepAliveSeconds = 60;
    // Stored only; the broker is reached without credentials.
    static constexpr const char *kUserName = "tarnwisp";
    static constexpr const char *kPassword = "tarnwisp";

    MqttMgr(QObject *parent, const QByteArray &clientId, const QString &host,
            const QByteArray &userName, const QByteArray &password, int port, int keepAlive,
            const MqttSession &session);
    ~MqttMgr() override;

    // Longest stretch the main thread spends on queued messages before it
    // lets its other events (paint, timers, input) in between.
    static constexpr int kDrainSliceMs = 50;

    void setMessageHandler(IMqttMessageHandler *handler) { m_handler = handler; }
    IMqttMessageHandler *messageHandler() const { return m_handler; }

    // See MQTTThread::publish for what true and false mean.
    bool publish(const QString &topic, const QString &payload);
    bool publish(const QString &topic, const QByteArray &payload);
    void wake();
    bool setBroker(const QString &host, int port);

    MQTTThread *thread() const { return m_thread.get(); }

signals:
    void statusUpdated();

public slots:
    void onMessageReady();

private:
    IMqttMessageHandler *m_handler = nullptr;
    std::unique_ptr<MQTTThread> m_thread;
    // A call of onMessageReady() is queued and has not run yet.
    bool m_drainPosted = false;
};
