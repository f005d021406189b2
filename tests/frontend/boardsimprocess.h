#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QtTest>

// The virtual board as a child process; its pty path comes on the first line.
class BoardSimProcess
{
public:
    ~BoardSimProcess() { stop(); }

    bool start(const QStringList &arguments)
    {
        const QString dir = qEnvironmentVariable("VELMO_STAGE_DIR") + QStringLiteral("/bin");
        m_process.setProgram(dir + QStringLiteral("/velmo-board-sim"));
        m_process.setArguments(arguments);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (!m_process.waitForStarted(10000))
            return false;
        QDeadlineTimer deadline(10000);
        while (!m_process.canReadLine() && !deadline.hasExpired())
            m_process.waitForReadyRead(100);
        const QByteArray line = m_process.readLine().trimmed();
        if (!line.startsWith("PORT "))
            return false;
        m_port = QString::fromLocal8Bit(line.mid(5));
        return true;
    }

    // SIGTERM: the board writes its dump and ends.
    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    QString port() const { return m_port; }

private:
    QProcess m_process;
    QString m_port;
};
