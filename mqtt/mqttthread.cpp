#include "mqtt/mqttthread.h"

#include "mqtt/latin1.h"
#include "mqtt/mqttclient.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QMutexLocker>

#include <cerrno>
#include <cstdint>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

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
    , outbox(session.outbox)
{
    wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd < 0)
        qWarning().noquote() << "[MQTTThread] no wake descriptor:" << qt_error_string(errno);
    mosqpp::lib_init();
    client = std::make_unique<MQTTClient>(this->clientId.constData(), this, session);
    // Two threads use the client: the library must not write from publish()
    // itself, only from the network thread's pass.
    client->threaded_set(true);
}

MQTTThread::~MQTTThread()
{
    {
        QMutexLocker locker(&mutex);
        stopRequested = true;
    }
    signalWake();
    wait();
    client.reset();
    mosqpp::lib_cleanup();
    if (wakeFd >= 0)
        ::close(wakeFd);
}

bool MQTTThread::hostFits(const QString &host)
{
    return host.size() < kHostBufferBytes;
}

void MQTTThread::startLocked()
{
    start();
}

void MQTTThread::signalWake()
{
    if (wakeFd < 0)
        return;
    const std::uint64_t one = 1;
    // A full counter already means "wake up"; nothing is lost.
    [[maybe_unused]] const ssize_t n = ::write(wakeFd, &one, sizeof one);
}

void MQTTThread::drainWake()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t n = ::read(wakeFd, &count, sizeof count);
}

bool MQTTThread::publish(const QString &topic, const QString &payload)
{
    return publish(topic, latin1::toBytes(payload));
}

bool MQTTThread::publish(const QString &topic, const QByteArray &payload)
{
    const QByteArray topicBytes = latin1::toBytes(topic);
    {
        QMutexLocker locker(&mutex);
        if (!isRunning())
            startLocked();
    }
    int rc = MOSQ_ERR_NO_CONN;
    bool kept = false;
    {
        QMutexLocker clientLock(&clientMutex);
        const bool keeps = outbox.keeps(topic);
        if (keeps && (!connected || outbox.hasWaiting())) {
            // Sent after the next connection's subscription, behind what
            // already waits.
            kept = outbox.keep({topic, payload});
        } else {
            int mid = 0;
            rc = client->publish(&mid, topicBytes.constData(), int(payload.size()),
                                 payload.isEmpty() ? nullptr : payload.constData(), 0, false);
            client->messageId = mid;
            if (keeps && rc == MOSQ_ERR_SUCCESS)
                outbox.sent(mid, {topic, payload});
            else if (keeps && (rc == MOSQ_ERR_NO_CONN || rc == MOSQ_ERR_CONN_LOST))
                kept = outbox.keep({topic, payload});
        }
    }
    signalWake();
    if (kept)
        return true;
    if (rc != MOSQ_ERR_SUCCESS)
        qDebug().noquote() << "[MQTTThread] publish refused on" << topic << ":"
                           << QString::fromLatin1(mosqpp::strerror(rc));
    return rc == MOSQ_ERR_SUCCESS;
}

void MQTTThread::wake()
{
    {
        QMutexLocker locker(&mutex);
        if (!isRunning()) {
            startLocked();
            return;
        }
    }
    signalWake();
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

bool MQTTThread::takeMessage(QString *topic, QByteArray *payload)
{
    QMutexLocker locker(&mutex);
    if (inbox.isEmpty())
        return false;
    Message m = inbox.dequeue();
    *topic = std::move(m.topic);
    *payload = std::move(m.payload);
    return true;
}

bool MQTTThread::takeMessage(QString *topic, QString *payload)
{
    QByteArray bytes;
    if (!takeMessage(topic, &bytes))
        return false;
    *payload = latin1::fromBytes(bytes.constData(), int(bytes.size()));
    return true;
}

int MQTTThread::pendingMessages() const
{
    QMutexLocker locker(&mutex);
    return int(inbox.size());
}

MQTTThread::Park MQTTThread::park() const
{
    QMutexLocker locker(&mutex);
    return parkedAt;
}

bool MQTTThread::isConnected() const
{
    QMutexLocker clientLock(&clientMutex);
    return connected;
}

int MQTTThread::keptMessages() const
{
    QMutexLocker clientLock(&clientMutex);
    return int(outbox.waiting().size()) + outbox.unwrittenCount();
}

void MQTTThread::setPark(Park where)
{
    QMutexLocker locker(&mutex);
    parkedAt = where;
}

void MQTTThread::deliver(const QString &topic, const QString &payload)
{
    deliverBytes(topic, latin1::toBytes(payload));
}

void MQTTThread::deliverBytes(const QString &topic, const QByteArray &payload)
{
    // Network thread, inside the pass. Queue and return: the main thread
    // takes everything queued per signal, so one signal per empty queue is
    // enough and a burst does not flood its event queue.
    bool wasEmpty;
    {
        QMutexLocker locker(&mutex);
        wasEmpty = inbox.isEmpty();
        inbox.enqueue({topic, payload});
    }
    if (wasEmpty)
        emit messageReady();
}

void MQTTThread::connectionReady()
{
    // Network thread, inside the pass, clientMutex held.
    connected = true;
    connectedSinceMs = QDeadlineTimer::current().deadline();
    sendWaiting();
}

void MQTTThread::sendWaiting()
{
    while (outbox.hasWaiting()) {
        const Outbox::Message &m = outbox.waiting().constFirst();
        const QByteArray topicBytes = latin1::toBytes(m.topic);
        int mid = 0;
        const int rc =
            client->publish(&mid, topicBytes.constData(), int(m.payload.size()),
                            m.payload.isEmpty() ? nullptr : m.payload.constData(), 0, false);
        if (rc != MOSQ_ERR_SUCCESS)
            return;
        client->messageId = mid;
        outbox.sent(mid, outbox.takeFirst());
    }
}

void MQTTThread::written(int messageId)
{
    // Network thread, inside the pass, clientMutex held.
    outbox.written(messageId);
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

QList<QByteArray> MQTTThread::resolveAll(const QByteArray &host)
{
    QList<QByteArray> addresses;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (::getaddrinfo(host.constData(), nullptr, &hints, &found) == 0) {
        for (const addrinfo *a = found; a != nullptr; a = a->ai_next) {
            char text[NI_MAXHOST];
            if (::getnameinfo(a->ai_addr, a->ai_addrlen, text, sizeof text, nullptr, 0,
                              NI_NUMERICHOST) != 0)
                continue;
            const QByteArray address(text);
            if (!addresses.contains(address))
                addresses.append(address);
        }
        ::freeaddrinfo(found);
    }
    if (addresses.isEmpty())
        addresses.append(host); // the library reports why it cannot connect
    return addresses;
}

int MQTTThread::connectClient(const QByteArray &hostBuffer, int connectedPort)
{
    // The asynchronous connect returns before the TCP handshake is done, so
    // an unreachable host never holds the thread where a stop cannot reach
    // it. The handshake's outcome is still awaited briefly with the client
    // locked, as a blocking connect would: a publish made meanwhile is then
    // refused when no broker listens, instead of being taken and lost with a
    // connection that never comes up. A slow host is left to the passes.
    // Every address of the host is tried until one takes the connection.
    overTcp = connectedPort != kLocalSocketPort;
    const QList<QByteArray> addresses =
        overTcp ? resolveAll(hostBuffer) : QList<QByteArray>{hostBuffer};
    int rc = MOSQ_ERR_NO_CONN;
    for (int i = 0; i < addresses.size(); ++i) {
        const int index = (firstAddress + i) % int(addresses.size());
        rc = client->connect_async(addresses.at(index).constData(), connectedPort, keepAlive);
        if (rc != MOSQ_ERR_SUCCESS)
            continue; // refused at once, as loopback does
        drainWake();
        pollfd fds[2];
        fds[0] = {client->socket(), POLLOUT, 0};
        fds[1] = {wakeFd, POLLIN, 0};
        // A refused handshake fails the write, and the library closes the
        // socket: a publish waiting for the client finds no connection.
        if (::poll(fds, 2, kConnectSettleMs) > 0 && fds[0].revents != 0)
            rc = client->loop_write();
        if (rc == MOSQ_ERR_SUCCESS) {
            firstAddress = index;
            return rc;
        }
    }
    return rc;
}

void MQTTThread::endConnection()
{
    // With clientMutex held. A socket that is still open gets what is queued
    // and a clean goodbye; whatever the library could not write is lost with
    // the connection, and kept messages among it go out again on the next.
    connected = false;
    client->disconnect();
    client->loop_write();
    outbox.connectionLost();
}

int MQTTThread::runPass()
{
    int sock;
    bool wantWrite;
    bool isUp;
    {
        QMutexLocker clientLock(&clientMutex);
        sock = client->socket();
        wantWrite = client->want_write();
        isUp = connected;
    }
    if (sock < 0)
        return MOSQ_ERR_NO_CONN;
    if (overTcp && sock != noDelaySocket) {
        // A small message right behind a large one (the digest behind the
        // HEX file) would otherwise wait for the broker's delayed ACK.
        const int one = 1;
        ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        noDelaySocket = sock;
    }

    pollfd fds[2];
    fds[0] = {wakeFd, POLLIN, 0};
    fds[1] = {sock, short(POLLIN | (wantWrite ? POLLOUT : 0)), 0};
    setPark(isUp ? Park::Connected : Park::Connecting);
    const int ready = ::poll(fds, 2, kIdleWaitMs);
    const int pollErrno = errno;
    setPark(Park::None);
    if (ready < 0 && pollErrno != EINTR)
        return MOSQ_ERR_ERRNO;
    if (ready > 0 && (fds[0].revents & POLLIN))
        drainWake();

    int rc = MOSQ_ERR_SUCCESS;
    {
        QMutexLocker clientLock(&clientMutex);
        if (ready > 0 && (fds[1].revents & (POLLIN | POLLERR | POLLHUP))) {
            // The broker sends a small message right behind a large one
            // (the digest behind the HEX file) only once the large one is
            // acknowledged; a delayed ACK here would hold it for up to 40 ms.
            // The kernel drops this mode on its own, so it is set each time.
            const int one = 1;
            if (overTcp)
                ::setsockopt(sock, IPPROTO_TCP, TCP_QUICKACK, &one, sizeof one);
            rc = client->loop_read();
        }
        // A publish from the main thread only queues: write whenever
        // something waits; a full socket says EAGAIN and poll() waits for it.
        if (rc == MOSQ_ERR_SUCCESS && client->want_write())
            rc = client->loop_write();
        if (rc == MOSQ_ERR_SUCCESS)
            rc = client->loop_misc();
    }
    // Outside the lock: copying a large payload must not hold up publish().
    client->handOver();
    return rc;
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
        rc = connectClient(hostBuffer, connectedPort);
    }
    QDeadlineTimer connectDeadline(kConnectTimeoutMs);

    while (rc == MOSQ_ERR_SUCCESS) {
        QString wantedHost;
        int wantedPort;
        {
            QMutexLocker locker(&mutex);
            // Tested before every sleep, so a stop is never missed.
            if (stopRequested)
                break;
            wantedHost = host;
            wantedPort = port;
        }
        const QByteArray wantedBytes = latin1::toBytes(wantedHost);
        if (wantedBytes != hostBuffer || wantedPort != connectedPort) {
            QMutexLocker clientLock(&clientMutex);
            endConnection();
            hostBuffer = wantedBytes;
            connectedPort = wantedPort;
            firstAddress = 0;
            rc = connectClient(hostBuffer, connectedPort);
            connectDeadline.setRemainingTime(kConnectTimeoutMs);
            continue;
        }
        if (!isConnected() && connectDeadline.hasExpired()) {
            // The next start begins with the host's next address.
            ++firstAddress;
            rc = MOSQ_ERR_NO_CONN;
            break;
        }
        rc = runPass();
    }

    logLoopError(rc);
    bool wasUp;
    {
        QMutexLocker clientLock(&clientMutex);
        wasUp = connected;
        endConnection();
    }
    setPark(Park::None);
    if (wasUp && rc != MOSQ_ERR_SUCCESS)
        emit connectionEnded(QDeadlineTimer::current().deadline() - connectedSinceMs);
}
