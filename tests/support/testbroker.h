#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <memory>

// A mosquitto of the test's own, listening on 127.0.0.1 only. Port 0 picks a
// free port; tests that run the real programs ask for the fixed port 1883
// (and hold the ctest resource lock for it).
class TestBroker
{
public:
    static constexpr int kFixedPort = 1883;

    TestBroker() = default;
    ~TestBroker();
    TestBroker(const TestBroker &) = delete;
    TestBroker &operator=(const TestBroker &) = delete;

    // Starts mosquitto and waits until it accepts connections.
    bool start(int port = 0);
    void stop();
    // Stops and starts again on the same port.
    bool restart();

    int port() const { return m_port; }
    bool isRunning() const;
    QString errorString() const { return m_error; }

    static int freePort();
    static bool portAcceptsConnections(int port);

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<QProcess> m_process;
    int m_port = 0;
    QString m_error;
};
