#include "frontend/core/daemonlauncher.h"

#include "common/instanceguard.h"
#include "protocol/topics.h"

#include <QDebug>
#include <QProcess>

DaemonLauncher::DaemonLauncher(const QString &program)
    : m_program(program)
{}

bool DaemonLauncher::isRunning()
{
    InstanceGuard probe{QString(protocol::kDaemonInstanceKey)};
    if (!probe.tryAcquire())
        return true;
    // Free: let it go at once, so the daemon can take it.
    probe.release();
    return false;
}

DaemonLauncher::Outcome DaemonLauncher::ensureRunning()
{
    m_error.clear();
    if (isRunning()) {
        qDebug() << "velmo-serial active. Ok!";
        return Outcome::Running;
    }
    qDebug() << "Serial deamon not started. Re-launch...";
    QProcess daemon;
    daemon.setProgram(m_program);
    // Detached, and on none of our terminal or pipes: it outlives whoever
    // started it, and a pipe closed behind it would end it at its next
    // diagnostic line.
    daemon.setStandardInputFile(QProcess::nullDevice());
    daemon.setStandardOutputFile(QProcess::nullDevice());
    daemon.setStandardErrorFile(QProcess::nullDevice());
    if (!daemon.startDetached(&m_pid)) {
        m_error = daemon.errorString();
        qWarning().noquote() << "Cannot start" << m_program << ":" << m_error;
        return Outcome::StartFailed;
    }
    return Outcome::Started;
}
