#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>

// A plain libmosquitto client driven by the library's own network thread
// (loop_start), independent of the project's transport and of the main
// thread: the reference the transport is measured against, and a probe that
// stamps each message with its arrival time as it comes off the socket.
class RawMqttClient
{
public:
    struct Message
    {
        QString topic;
        QByteArray payload;
        qint64 arrivalNs; // nowNs() when it arrived
    };

    // Subscribes to `subscription` (may be empty: publish only) once
    // connected.
    RawMqttClient(int port, const QString &subscription, const QByteArray &clientId);
    ~RawMqttClient();
    RawMqttClient(const RawMqttClient &) = delete;
    RawMqttClient &operator=(const RawMqttClient &) = delete;

    // Connected, and the subscription (if any) acknowledged by the broker, at
    // least `times` times in all (the library reconnects on its own after a
    // broker restart and subscribes again).
    bool waitReady(int timeoutMs = 10000, int times = 1);
    bool publish(const QString &topic, const QByteArray &payload);

    int count() const;
    // Waits until at least `n` messages have arrived in total.
    bool waitForCount(int n, int timeoutMs) const;
    QList<Message> messages() const;
    QList<QByteArray> payloadsOf(const QString &topic) const;
    void clear();

    // Monotonic clock shared by the probe and whoever compares against it.
    static qint64 nowNs();

private:
    class Client;
    friend class Client;

    void onReady();
    void onMessage(Message message);

    std::unique_ptr<Client> m_client;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    int m_readyCount = 0;
    QList<Message> m_messages;
};
