#pragma once

#include "mqtt/imqtteventdispatcher.h"
#include "mqtt/mqttsession.h"
#include "mqtt/outbox.h"

#include <QByteArray>
#include <QMutex>
#include <QQueue>
#include <QThread>

#include <memory>

class MQTTClient;

// Drives the library's network loop. The thread sleeps in poll() on the
// library's socket and on a wake descriptor of its own, so incoming data, a
// publish and the owner's wake-up each start a pass at once, and a burst is
// read as fast as it arrives instead of one message per wake-up. Received
// messages are queued for the main thread; the thread never waits for the
// main thread to take them. A failed connect or a lost connection ends the
// thread; the owner's next wake (its 100 ms timer) starts it again, so a
// broker that comes back is reached without a restart.
class MQTTThread : public QThread, public IMQTTEventDispatcher
{
    Q_OBJECT

public:
    // The host name is handed to the library in a buffer of this size,
    // terminating zero included.
    static constexpr int kHostBufferBytes = 1000;
    // Longest sleep without traffic or wake-up, so keep-alive pings (due in
    // whole seconds) go out on time even without the owner's timer.
    static constexpr int kIdleWaitMs = 1000;
    // A broker that takes the TCP connection but never acknowledges the
    // MQTT one is given up after this; the next wake tries again.
    static constexpr int kConnectTimeoutMs = 10000;
    // How long a connect waits for the TCP handshake before it leaves the
    // rest to the passes (a local broker answers in microseconds).
    static constexpr int kConnectSettleMs = 200;
    // The port number that makes the host the path of a unix socket.
    static constexpr int kLocalSocketPort = 0;

    // Where the network thread sleeps (for tests).
    enum class Park
    {
        None,       // not sleeping: running a pass, or not running at all
        Connecting, // waiting for the broker to take the connection
        Connected   // connected, waiting for traffic or a wake-up
    };

    MQTTThread(QObject *parent, const QByteArray &clientId, const QString &host,
               const QByteArray &userName, const QByteArray &password, int port, int keepAlive,
               const MqttSession &session);
    ~MQTTThread() override;

    // True when the library took the message (it goes out with the next
    // pass, at once), or when it was kept in the outbox for the next
    // connection. False when it was refused and not kept (not connected,
    // payload too large, ...).
    bool publish(const QString &topic, const QString &payload);
    bool publish(const QString &topic, const QByteArray &payload);
    void wake();
    // False, with the broker left unchanged, for a host that does not fit
    // the host buffer.
    bool setBroker(const QString &host, int port);

    // Takes the oldest received message; false when none is waiting.
    bool takeMessage(QString *topic, QString *payload);
    bool takeMessage(QString *topic, QByteArray *payload);
    int pendingMessages() const;

    static bool hostFits(const QString &host);
    // Every address `host` resolves to, numeric, in the resolver's order
    // ("localhost": ::1 before 127.0.0.1 on a standard Debian). The library
    // itself tries only the first, so a broker listening on the other
    // family would never be reached. `host` itself when nothing resolves.
    static QList<QByteArray> resolveAll(const QByteArray &host);

    // Whether the broker has acknowledged the connection (the front end
    // tells a lost broker from a silent daemon by it).
    bool isConnected() const;
    // For tests: where the network thread sleeps right now, and how many
    // messages the outbox holds (waiting plus handed to the library but not
    // yet written).
    Park park() const;
    int keptMessages() const;

    void deliver(const QString &topic, const QString &payload) override;
    void deliverBytes(const QString &topic, const QByteArray &payload) override;
    void connectionReady() override;
    void written(int messageId) override;

signals:
    // Emitted when a message arrives while none was waiting: the receiver
    // takes everything queued (takeMessage until false) per signal.
    void messageReady();
    // A connection the broker had acknowledged ended by itself (not by a
    // stop or a change of broker) after `upMs` milliseconds.
    void connectionEnded(qint64 upMs);

protected:
    void run() override;

private:
    struct Message
    {
        QString topic;
        QByteArray payload;
    };

    void startLocked();
    void signalWake();
    void drainWake();
    void setPark(Park where);
    // One sleep in poll() and the library work it calls for.
    int runPass();
    // With clientMutex held.
    int connectClient(const QByteArray &hostBuffer, int connectedPort);
    void endConnection();
    void sendWaiting();
    void logLoopError(int rc) const;

    std::unique_ptr<MQTTClient> client;
    QByteArray clientId;
    QString host;
    QByteArray userName;
    QByteArray password;
    int port;
    int keepAlive;
    bool reportUnknownError;
    // Written by any thread to end the network thread's poll().
    int wakeFd = -1;
    int noDelaySocket = -1; // the socket that had TCP_NODELAY set
    // Network thread only: the resolved address tried first, moved on when
    // a connection there never came up (a host that drops, not refuses).
    int firstAddress = 0;
    bool overTcp = true;
    qint64 connectedSinceMs = -1;

    mutable QMutex mutex; // host, port, inbox, stopRequested, parkedAt
    QQueue<Message> inbox;
    bool stopRequested = false;
    Park parkedAt = Park::None;

    // Serialises every call into the library's client object, and guards
    // `connected` and `outbox`. The network thread holds it only while it
    // runs the library, never while it sleeps, so publish() waits at most
    // for one pass.
    mutable QMutex clientMutex;
    bool connected = false;
    Outbox outbox;
};
