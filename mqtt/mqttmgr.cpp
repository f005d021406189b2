#include "mqtt/mqttmgr.h"

#include "mqtt/mqttthread.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QPointer>

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

bool MqttMgr::publish(const QString &topic, const QByteArray &payload)
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
    // One signal stands for everything queued since the queue was last
    // empty: take it all, each message once and in order. A handler may run
    // a local event loop that calls this again; both then take from the same
    // queue, so the order still holds.
    const QPointer<MqttMgr> alive(this);
    QElapsedTimer slice;
    slice.start();
    QString topic;
    QByteArray payload;
    m_drainPosted = false;
    while (m_thread->takeMessage(&topic, &payload)) {
        // The handler may open a box, whose event loop is then the only one
        // running: the messages queued behind this one must reach it there,
        // and the thread signals only an empty queue. Without this a box
        // holds back every later reply (a pong included) until it closes.
        if (!m_drainPosted && m_thread->pendingMessages() > 0) {
            m_drainPosted = true;
            QMetaObject::invokeMethod(this, &MqttMgr::onMessageReady, Qt::QueuedConnection);
        }
        qDebug() << "[MqttMgr::onMessageReady] processing...";
        if (m_handler)
            m_handler->handleMessageBytes(topic, payload);
        payload = QByteArray();
        if (!alive)
            return;
        emit statusUpdated();
        if (!alive)
            return;
        if (slice.elapsed() >= kDrainSliceMs && m_thread->pendingMessages() > 0) {
            // The thread signals only an empty queue: ask for the rest.
            if (!m_drainPosted)
                QMetaObject::invokeMethod(this, &MqttMgr::onMessageReady, Qt::QueuedConnection);
            return;
        }
    }
}
