#include "frontend/base/daemonstart.h"

#include "common/brokerchoice.h"
#include "common/instanceguard.h"
#include "protocol/topics.h"

#include <QDebug>
#include <QHostAddress>
#include <QProcess>

namespace frontend {

DaemonStart::DaemonStart(const QString &program)
    : m_program(program)
{}

bool DaemonStart::running(const QString &socket)
{
    // The probe creates the key when nobody holds it, and gives it back.
    InstanceGuard probe(protocol::kDaemonInstanceKey, velmo::daemonKeyFolder(socket));
    if (!probe.tryAcquire())
        return true;
    probe.release();
    return false;
}

QProcessEnvironment DaemonStart::environment(const QString &socket)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    const QString name = QString::fromLatin1(velmo::kBrokerSocketVariable);
    // Without the variable the daemon takes the TCP broker whatever the
    // preferences say; with it, it follows them as the caller did.
    if (socket.isEmpty())
        env.remove(name);
    else
        env.insert(name, socket);
    return env;
}

DaemonStart::Result DaemonStart::ensure(const QString &socket)
{
    m_error.clear();
    if (running(socket)) {
        qDebug() << "velmo-serial active. Ok!";
        return Result::Running;
    }
    qDebug() << "Serial deamon not started. Re-launch...";
    // Detached, not a child with pipes: the daemon outlives the caller.
    QProcess daemon;
    daemon.setProgram(m_program);
    daemon.setProcessEnvironment(environment(socket));
    if (m_quiet) {
        daemon.setStandardInputFile(QProcess::nullDevice());
        daemon.setStandardOutputFile(QProcess::nullDevice());
        daemon.setStandardErrorFile(QProcess::nullDevice());
    }
    if (daemon.startDetached(&m_pid))
        return Result::Started;
    m_error = daemon.errorString();
    qWarning().noquote() << "Cannot start" << m_program << ":" << m_error;
    return Result::Failed;
}

bool DaemonStart::isLoopbackHost(const QString &host)
{
    const QString h = host.trimmed();
    if (h.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
        return true;
    const QHostAddress address(h);
    return !address.isNull() && address.isLoopback();
}

} // namespace frontend
