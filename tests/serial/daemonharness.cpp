#include "tests/serial/daemonharness.h"
#include "protocol/topics.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace {
const QString kPing = QString(protocol::request::kPing);
const QString kPong = QString(protocol::reply::kPing);
} // namespace

bool DaemonHarness::start(QString *error)
{
    if (!m_broker.start()) {
        *error = m_broker.errorString();
        return false;
    }
    m_worker = std::make_unique<serialdaemon::StatusObject>(m_broker.port());
    m_probe = std::make_unique<MqttProbe>(m_broker.port(), QString(protocol::reply::kAll));
    if (!m_probe->waitConnected(QStringLiteral("SERIAL/PROBE"))) {
        *error = QStringLiteral("probe did not connect");
        return false;
    }
    // The daemon subscribes on its own schedule: ask until it answers.
    QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired()) {
        request(kPing);
        if (!m_probe->waitFor(kPong, 300).isNull()) {
            spin(300);
            m_probe->clear();
            return true;
        }
    }
    *error = QStringLiteral("daemon did not answer PING");
    return false;
}

void DaemonHarness::stop()
{
    m_probe.reset();
    m_worker.reset();
    m_broker.stop();
}

void DaemonHarness::request(const QString &topic, const QString &payload)
{
    m_probe->publish(topic, payload);
}

QString DaemonHarness::waitFor(const QString &topic, int timeoutMs)
{
    return m_probe->waitFor(topic, timeoutMs);
}

bool DaemonHarness::sync(int timeoutMs)
{
    // A VERSION request with a marker payload is answered only after every
    // earlier request was handled (the daemon takes them in order).
    ++m_syncCount;
    request(QString(protocol::request::kVersion), QString::number(m_syncCount));
    return !m_probe->waitFor(QString(protocol::reply::kVersion), timeoutMs).isNull();
}

void DaemonHarness::spin(int ms)
{
    QDeadlineTimer deadline(ms);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}
