#include "serial/brokerguard.h"

#include "mqtt/mqttmgr.h"
#include "mqtt/mqttthread.h"
#include "protocol/topics.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>

namespace serialdaemon {

namespace {

class PongCatcher : public IMqttMessageHandler
{
public:
    bool answered = false;

    void handleMessage(const QString &topic, const QString &payload) override
    {
        if (topic == protocol::reply::kPing && payload == protocol::payload::kPong)
            answered = true;
    }
};

} // namespace

bool DaemonProbe::otherDaemonAnswers(const QString &host, int port)
{
    MqttSession session;
    session.subscription = protocol::reply::kPing;
    const QByteArray clientId =
        QByteArray("velmo-serial-probe-") + QByteArray::number(QCoreApplication::applicationPid());
    PongCatcher catcher;
    MqttMgr mqtt(nullptr, clientId, host, MqttMgr::kUserName, MqttMgr::kPassword, port,
                 MqttMgr::kKeepAliveSeconds, session);
    mqtt.setMessageHandler(&catcher);
    MQTTThread &thread = *mqtt.thread();

    QEventLoop loop;
    QTimer tick;
    QDeadlineTimer deadline(kConnectMs);
    QDeadlineTimer nextPing(0);
    bool connected = false;
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (catcher.answered || deadline.hasExpired())
            return loop.quit();
        if (!thread.isConnected()) {
            // A refused connection ends the thread: nobody listens there.
            if (!connected && !thread.isRunning())
                return loop.quit();
            return mqtt.wake();
        }
        if (!connected) {
            // The subscription went out in front of this ping.
            connected = true;
            deadline.setRemainingTime(kAnswerMs);
        }
        if (nextPing.hasExpired()) {
            mqtt.publish(protocol::request::kPing, QString());
            nextPing.setRemainingTime(kPingRepeatMs);
        }
    });
    tick.start(kTickMs);
    loop.exec();
    return catcher.answered;
}

TakeoverWatch::TakeoverWatch(MQTTThread &thread, QObject *parent)
    : QObject(parent)
{
    connect(&thread, &MQTTThread::connectionEnded, this, &TakeoverWatch::connectionEnded,
            Qt::QueuedConnection);
}

void TakeoverWatch::connectionEnded(qint64 upMs)
{
    if (upMs >= kShortConnectionMs) {
        m_rounds = 0;
        return;
    }
    ++m_rounds;
    if (m_rounds >= kRounds && !m_reported) {
        m_reported = true;
        emit takenOver(m_rounds);
    }
}

} // namespace serialdaemon
