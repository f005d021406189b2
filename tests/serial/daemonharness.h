#pragma once

#include "protocol/topics.h"
#include "serial/statusobject.h"
#include "tests/support/mqttprobe.h"
#include "tests/support/testbroker.h"

#include <memory>

// The daemon's worker in-process against a broker of the test's own on a
// free port, and a probe that plays the front end (subscribed to
// QString(protocol::reply::kAll)).
class DaemonHarness
{
public:
    // Starts broker, worker and probe, and waits until the daemon answers.
    bool start(QString *error);
    void stop();

    serialdaemon::StatusObject &worker() { return *m_worker; }
    MqttProbe &probe() { return *m_probe; }
    TestBroker &broker() { return m_broker; }

    void request(const QString &topic, const QString &payload = QString());
    // Next not yet taken payload on `topic`, null on time-out.
    QString waitFor(const QString &topic, int timeoutMs = 10000);
    // Waits until the daemon has handled every request sent so far (it
    // answers a PING sent after them).
    bool sync(int timeoutMs = 10000);
    // Runs the event loop for `ms`.
    static void spin(int ms);

private:
    TestBroker m_broker;
    std::unique_ptr<serialdaemon::StatusObject> m_worker;
    std::unique_ptr<MqttProbe> m_probe;
    int m_syncCount = 0;
};
