#pragma once

#include "mqtt/imqtteventdispatcher.h"
#include "mqtt/mqttsession.h"

#include <QByteArray>
#include <QMutex>
#include <QQueue>
#include <QThread>
#include <QWaitCondition>

#include <memory>

class MQTTClient;

// Drives the library's network loop one pass per wake-up. The owner wakes it
// from a 100 ms timer, after each publish and after a change of broker. A
// failed connect or a lost connection ends the thread; the next wake starts
// it again, so a broker that comes back is reached without a restart.
class MQTTThread : public QThread, public IMQTTEventDispatcher
{
    Q_OBJECT

public:
    // The host name is handed to the library in a buffer of this size,
    // terminating zero included.
    static constexpr int kHostBufferBytes = 1000;

    enum class Park
    {
        None,
        BetweenPasses,
        InDeliver
    };

    MQTTThread(QObject *parent, const QByteArray &clientId, const QString &host,
               const QByteArray &userName, const QByteArray &password, int port, int keepAlive,
               const MqttSession &session);
    ~MQTTThread() override;

    // Sends at once when connected; false when the library refused the
    // message (not connected, payload too large, ...).
    bool publish(const QString &topic, const QString &payload);
    void wake();
    // False, with the broker left unchanged, for a host that does not fit
    // the host buffer.
    bool setBroker(const QString &host, int port);

    // Takes the oldest handed-over message; false when none is waiting.
    bool takeMessage(QString *topic, QString *payload);

    static bool hostFits(const QString &host);

    // For tests: where the network thread is waiting right now.
    Park park() const;

    void deliver(const QString &topic, const QString &payload) override;

signals:
    void messageReady();

protected:
    void run() override;

private:
    struct Message
    {
        QString topic;
        QString payload;
    };

    // Waits under `mutex` until woken; false when a stop was requested.
    bool waitForWake(Park where);
    void startLocked();
    void logLoopError(int rc) const;

    std::unique_ptr<MQTTClient> client;
    QByteArray clientId;
    QString host;
    QByteArray userName;
    QByteArray password;
    int port;
    int keepAlive;
    bool reportUnknownError;

    QQueue<Message> inbox;
    mutable QMutex mutex; // host, port, inbox, stopRequested, wakePending, parkedAt
    QWaitCondition wakeCondition;
    bool stopRequested = false;
    bool wakePending = false;
    Park parkedAt = Park::None;

    // Serialises every call into the library's client object. The network
    // thread holds it during connect and its loop pass and lets go of it
    // while parked in deliver(), so publish() never waits on a parked thread.
    QMutex clientMutex;
};
