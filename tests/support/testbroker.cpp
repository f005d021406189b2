#include "tests/support/testbroker.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

namespace {
constexpr int kStartTimeoutMs = 10000;
}

TestBroker::~TestBroker()
{
    stop();
}

int TestBroker::freePort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

bool TestBroker::portAcceptsConnections(int port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, static_cast<quint16>(port));
    return socket.waitForConnected(200);
}

bool TestBroker::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

bool TestBroker::start(int port)
{
    stop();
    if (port == 0)
        port = freePort();
    if (portAcceptsConnections(port)) {
        m_error = QStringLiteral("port %1 is already in use on 127.0.0.1; stop whatever "
                                 "listens there (scripts/run.sh --stop) and run again")
                      .arg(port);
        return false;
    }
    m_port = port;
    m_dir = std::make_unique<QTemporaryDir>();
    const QString conf = m_dir->filePath(QStringLiteral("mosquitto.conf"));
    QFile file(conf);
    if (!file.open(QIODevice::WriteOnly)) {
        m_error = QStringLiteral("cannot write %1").arg(conf);
        return false;
    }
    file.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\npersistence false\n")
                   .arg(port)
                   .toLatin1());
    file.close();

    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->setStandardOutputFile(QProcess::nullDevice());
    m_process->start(QStringLiteral("mosquitto"), {QStringLiteral("-c"), conf});
    if (!m_process->waitForStarted(kStartTimeoutMs)) {
        m_error = QStringLiteral("mosquitto did not start: %1").arg(m_process->errorString());
        return false;
    }
    QDeadlineTimer deadline(kStartTimeoutMs);
    while (!deadline.hasExpired()) {
        if (portAcceptsConnections(port))
            return true;
        if (m_process->state() != QProcess::Running)
            break;
        QThread::msleep(20);
    }
    m_error = QStringLiteral("mosquitto does not accept connections on port %1").arg(port);
    stop();
    return false;
}

void TestBroker::stop()
{
    if (m_process) {
        m_process->terminate();
        if (!m_process->waitForFinished(5000)) {
            m_process->kill();
            m_process->waitForFinished(2000);
        }
        m_process.reset();
    }
}

bool TestBroker::restart()
{
    const int port = m_port;
    stop();
    return start(port);
}
