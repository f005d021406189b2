#include "tests/support/boardsimprocess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>

#include <csignal>

BoardSimProcess::~BoardSimProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished();
    }
}

QString BoardSimProcess::programPath()
{
    const QString name = QStringLiteral("velmo-board-sim");
    const QByteArray stage = qgetenv("VELMO_STAGE_DIR");
    if (!stage.isEmpty()) {
        const QString path = QDir(QString::fromLocal8Bit(stage)).filePath("bin/" + name);
        if (QFileInfo::exists(path))
            return path;
    }
    return QDir(QCoreApplication::applicationDirPath()).filePath(name);
}

bool BoardSimProcess::start(const QStringList &options, int timeoutMs)
{
    m_port.clear();
    m_error.clear();
    // The board's log lines belong in the test's output.
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(programPath(), options);
    if (!m_process.waitForStarted(timeoutMs)) {
        m_error =
            QStringLiteral("%1 did not start: %2").arg(programPath(), m_process.errorString());
        return false;
    }
    const QByteArray line = readLine("PORT ", timeoutMs);
    if (line.isEmpty()) {
        m_error = QStringLiteral("%1 printed no port (exit code %2)")
                      .arg(programPath())
                      .arg(m_process.exitCode());
        return false;
    }
    m_port = QString::fromLocal8Bit(line.mid(5));
    return true;
}

QByteArray BoardSimProcess::readLine(const QByteArray &prefix, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        while (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith(prefix))
                return line;
        }
        if (deadline.hasExpired() || m_process.state() != QProcess::Running)
            return {};
        m_process.waitForReadyRead(50);
    }
}

void BoardSimProcess::signal(int sig)
{
    if (m_process.state() == QProcess::Running)
        ::kill(pid_t(m_process.processId()), sig);
}

QMap<QString, qint64> BoardSimProcess::stats(int timeoutMs)
{
    signal(SIGUSR1);
    QMap<QString, qint64> values;
    const QByteArray line = readLine("STATS ", timeoutMs);
    for (const QByteArray &pair : line.mid(6).split(' ')) {
        const int eq = pair.indexOf('=');
        if (eq > 0)
            values.insert(QString::fromLatin1(pair.left(eq)), pair.mid(eq + 1).toLongLong());
    }
    return values;
}

void BoardSimProcess::powerCycle()
{
    signal(SIGHUP);
}

bool BoardSimProcess::stop(int timeoutMs)
{
    signal(SIGTERM);
    return m_process.waitForFinished(timeoutMs) && m_process.exitStatus() == QProcess::NormalExit &&
           m_process.exitCode() == 0;
}
