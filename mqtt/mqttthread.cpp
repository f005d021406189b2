#include "mqtt/mqttthread.h"

#include "mqtt/latin1.h"
#include "mqtt/mqttclient.h"

#include <QDebug>
#include <QMutexLocker>

MQTTThread::MQTTThread(QObject *parent, const QByteArray &clientId, const QString &host,
                       const QByteArray &userName, const QByteArray &password, int port,
                       int keepAlive, const MqttSession &session)
    : QThread(parent)
    , clientId(clientId)
    , host(host)
    , userName(userName)
    , password(password)
    , port(port)
    , keepAlive(keepAlive)
    , reportUnknownError(session.reportUnknownError)
{
    mosqpp::lib_init();
    client = std::make_unique<MQTTClient>(this->clientId.constData(), this, session);
    // Two threads use the client: the library must not write from publish()
    // itself, only from the loop pass.
    client->threaded_set(true);
}

MQTTThread::~MQTTThread()
{
    {
        QMutexLocker locker(&mutex);
        stopRequested = true;
        wakeCondition.wakeAll();
    }
    wait();
    client.reset();
    mosqpp::lib_cleanup();
}

bool MQTTThread::hostFits(const QString &host)
{
    return host.size() < kHostBufferBytes;
}

void MQTTThread::startLocked()
{
    wakePending = false;
    start();
}

bool MQTTThread::publish(const QString &topic, const QString &payload)
{
    const QByteArray topicBytes = latin1::toBytes(topic);
    const QByteArray payloadBytes = latin1::toBytes(payload);
    bool wasRunning;
    {
        QMutexLocker locker(&mutex);
        wasRunning = isRunning();
        if (!wasRunning)
            startLocked();
    }
    int rc;
    {
        QMutexLocker clientLock(&clientMutex);
        rc = client->publish(&client->messageId, topicBytes.constData(), payloadBytes.size(),
                             payloadBytes.isEmpty() ? nullptr : payloadBytes.constData(), 0, false);
    }
    if (wasRunning)
        wake();
    if (rc != MOSQ_ERR_SUCCESS)
        qDebug().noquote() << "[MQTTThread] publish refused on" << topic << ":"
                           << QString::fromLatin1(mosqpp::strerror(rc));
    return rc == MOSQ_ERR_SUCCESS;
}

void MQTTThread::wake()
{
    QMutexLocker locker(&mutex);
    if (isRunning()) {
        wakePending = true;
        wakeCondition.wakeAll();
    } else {
        startLocked();
    }
}

bool MQTTThread::setBroker(const QString &newHost, int newPort)
{
    if (!hostFits(newHost)) {
        qDebug().noquote() << "[MQTTThread] host name refused: longer than"
                           << (kHostBufferBytes - 1) << "bytes";
        return false;
    }
    {
        QMutexLocker locker(&mutex);
        host = newHost;
        port = newPort;
    }
    wake();
    return true;
}

bool MQTTThread::takeMessage(QString *topic, QString *payload)
{
    QMutexLocker locker(&mutex);
    if (inbox.isEmpty())
        return false;
    Message m = inbox.dequeue();
    *topic = std::move(m.topic);
    *payload = std::move(m.payload);
    return true;
}

MQTTThread::Park MQTTThread::park() const
{
    QMutexLocker locker(&mutex);
    return parkedAt;
}

bool MQTTThread::waitForWake(Park where)
{
    // Called with `mutex` held. The stop flag is tested before every wait,
    // so a destructor's wake can never be missed.
    while (!stopRequested && !wakePending) {
        parkedAt = where;
        wakeCondition.wait(&mutex);
    }
    parkedAt = Park::None;
    wakePending = false;
    return !stopRequested;
}

void MQTTThread::deliver(const QString &topic, const QString &payload)
{
    // Network thread, inside the loop pass, with clientMutex held by run().
    mutex.lock();
    inbox.enqueue({topic, payload});
    emit messageReady();
    clientMutex.unlock();
    waitForWake(Park::InDeliver);
    mutex.unlock();
    clientMutex.lock();
}

void MQTTThread::logLoopError(int rc) const
{
    const char *text = nullptr;
    switch (rc) {
    case MOSQ_ERR_NOMEM:
        text = "an out of memory condition occurred.";
        break;
    case MOSQ_ERR_PROTOCOL:
        text = "protocol error communicating with the broker.";
        break;
    case MOSQ_ERR_INVAL:
        text = "the input parameters were invalid.";
        break;
    case MOSQ_ERR_NO_CONN:
        text = "the client isn't connected to a broker.";
        break;
    case MOSQ_ERR_CONN_LOST:
        text = "the connection to the broker was lost.";
        break;
    case MOSQ_ERR_UNKNOWN:
        text = reportUnknownError ? "unknown error." : nullptr;
        break;
    case MOSQ_ERR_ERRNO:
        text = "a system call returned an error.";
        break;
    default:
        break;
    }
    if (text)
        qDebug().noquote() << QStringLiteral("[MQTTThread] MQTT error: ") + QLatin1String(text);
}

void MQTTThread::run()
{
    QByteArray hostBuffer;
    int connectedPort;
    bool hostOk;
    {
        QMutexLocker locker(&mutex);
        hostOk = hostFits(host);
        hostBuffer = latin1::toBytes(host);
        connectedPort = port;
    }
    mosqpp::lib_init();

    int rc = MOSQ_ERR_INVAL;
    if (hostOk) {
        QMutexLocker clientLock(&clientMutex);
        rc = client->connect(hostBuffer.constData(), connectedPort, keepAlive);
    }

    while (rc == MOSQ_ERR_SUCCESS) {
        {
            QMutexLocker locker(&mutex);
            if (stopRequested)
                break;
        }
        {
            QMutexLocker clientLock(&clientMutex);
            rc = client->loop(0);
        }
        if (rc != MOSQ_ERR_SUCCESS)
            break;

        QString wantedHost;
        int wantedPort;
        {
            QMutexLocker locker(&mutex);
            if (!waitForWake(Park::BetweenPasses))
                break;
            wantedHost = host;
            wantedPort = port;
        }
        const QByteArray wantedBytes = latin1::toBytes(wantedHost);
        if (wantedBytes != hostBuffer || wantedPort != connectedPort) {
            QMutexLocker clientLock(&clientMutex);
            client->disconnect();
            hostBuffer = wantedBytes;
            connectedPort = wantedPort;
            rc = client->connect(hostBuffer.constData(), connectedPort, keepAlive);
        }
    }

    logLoopError(rc);
    QMutexLocker clientLock(&clientMutex);
    client->disconnect();
}
