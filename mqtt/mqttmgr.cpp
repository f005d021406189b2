#include "mqtt/mqttmgr.h"

#include "mqtt/mqttthread.h"

#include <QDebug>

MqttMgr::MqttMgr(QObject *parent, const QByteArray &clientId, const QString &host,
                 const QByteArray &userName, const QByteArray &password, int port, int keepAlive,
                 const MqttSession &session)
    : QObject(parent)
{
    qDebug().noquote() << "[MqttMgr] initializing client " + QString::fromLatin1(clientId);
    if (session.prepare)
        session.prepare();
    m_thread = std::make_unique<MQTTThread>(nullptr, clientId, host, userName, password, port,
                                            keepAlive, session);
    connect(m_thread.get(), &MQTTThread::messageReady, this, &MqttMgr::onMessageReady);
    wake();
}

MqttMgr::~MqttMgr()
{
    qDebug() << "[MqttMgr] destroying...";
    m_thread.reset();
}

bool MqttMgr::publish(const QString &topic, const QString &payload)
{
    return m_thread->publish(topic, payload);
}

void MqttMgr::wake()
{
    m_thread->wake();
}

bool MqttMgr::setBroker(const QString &host, int port)
{
    return m_thread->setBroker(host, port);
}

void MqttMgr::onMessageReady()
{
    qDebug() << "[MqttMgr::onMessageReady] processing...";
    QString topic;
    QString payload;
    if (!m_thread->takeMessage(&topic, &payload))
        return;
    if (m_handler)
        m_handler->handleMessage(topic, payload);
    emit statusUpdated();
}
