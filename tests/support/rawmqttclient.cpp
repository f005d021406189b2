#include "tests/support/rawmqttclient.h"

#include <chrono>
#include <mosquittopp.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

class RawMqttClient::Client : public mosqpp::mosquittopp
{
public:
    Client(RawMqttClient &owner, const QByteArray &clientId, const QString &subscription)
        : mosqpp::mosquittopp(clientId.constData(), /*clean_session=*/true)
        , m_owner(owner)
        , m_subscription(subscription.toLatin1())
    {}

    void on_connect(int rc) override
    {
        if (rc != 0)
            return;
        // As the programs' own clients do: no Nagle delay for small messages.
        const int one = 1;
        ::setsockopt(socket(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        if (m_subscription.isEmpty())
            m_owner.onReady();
        else
            subscribe(nullptr, m_subscription.constData(), 0);
    }
    void on_subscribe(int, int, const int *) override { m_owner.onReady(); }
    void on_message(const struct mosquitto_message *message) override
    {
        const qint64 now = nowNs();
        m_owner.onMessage(
            {QString::fromLatin1(message->topic),
             message->payloadlen > 0
                 ? QByteArray(static_cast<const char *>(message->payload), message->payloadlen)
                 : QByteArray(),
             now});
    }

private:
    RawMqttClient &m_owner;
    QByteArray m_subscription;
};

RawMqttClient::RawMqttClient(int port, const QString &subscription, const QByteArray &clientId)
{
    mosqpp::lib_init();
    m_client = std::make_unique<Client>(*this, clientId, subscription);
    // The library's thread retries on its own if the broker is not up yet.
    m_client->reconnect_delay_set(1, 1, false);
    m_client->connect_async("127.0.0.1", port, 60);
    m_client->loop_start();
}

RawMqttClient::~RawMqttClient()
{
    m_client->disconnect();
    m_client->loop_stop(true);
    m_client.reset();
    mosqpp::lib_cleanup();
}

qint64 RawMqttClient::nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void RawMqttClient::onReady()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_readyCount;
    m_changed.notify_all();
}

void RawMqttClient::onMessage(Message message)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.append(std::move(message));
    m_changed.notify_all();
}

bool RawMqttClient::waitReady(int timeoutMs, int times)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_readyCount >= times; });
}

bool RawMqttClient::publish(const QString &topic, const QByteArray &payload)
{
    const QByteArray t = topic.toLatin1();
    return m_client->publish(nullptr, t.constData(), int(payload.size()),
                             payload.isEmpty() ? nullptr : payload.constData(), 0,
                             false) == MOSQ_ERR_SUCCESS;
}

int RawMqttClient::count() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_messages.size());
}

bool RawMqttClient::waitForCount(int n, int timeoutMs) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_messages.size() >= n; });
}

QList<RawMqttClient::Message> RawMqttClient::messages() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_messages;
}

QList<QByteArray> RawMqttClient::payloadsOf(const QString &topic) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    QList<QByteArray> out;
    for (const Message &m : m_messages)
        if (m.topic == topic)
            out.append(m.payload);
    return out;
}

void RawMqttClient::clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.clear();
}
