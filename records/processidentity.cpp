#include "records/processidentity.h"

#include <QFile>
#include <QList>

#include <cerrno>
#include <signal.h>
#include <unistd.h>

namespace records {

namespace {

// Fields after the command name: state is the first (field 3 of the whole
// line), starttime the twentieth (field 22).
constexpr int kStateField = 0;
constexpr int kStartTimeField = 19;

QByteArray readProcFile(const QString &path)
{
    QFile file(path);
    // /proc files report size 0: read until the end, not by size.
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    return file.readAll();
}

QString bootId()
{
    static const QString id =
        QString::fromLatin1(readProcFile(QStringLiteral("/proc/sys/kernel/random/boot_id")))
            .trimmed();
    return id;
}

ProcStat statOf(qint64 pid)
{
    return parseProcStat(readProcFile(QStringLiteral("/proc/%1/stat").arg(pid)));
}

} // namespace

ProcStat parseProcStat(const QByteArray &statText)
{
    ProcStat out;
    const int close = statText.lastIndexOf(')');
    if (close < 0)
        return out;
    const QList<QByteArray> fields = statText.mid(close + 1).simplified().split(' ');
    if (fields.size() <= kStartTimeField || fields.at(kStateField).size() != 1)
        return out;
    bool ok = false;
    const qint64 ticks = fields.at(kStartTimeField).toLongLong(&ok);
    if (!ok || ticks < 0)
        return out;
    out.state = fields.at(kStateField).at(0);
    out.startTicks = ticks;
    return out;
}

ProcessIdentity currentProcess()
{
    ProcessIdentity self;
    self.pid = qint64(::getpid());
    self.bootId = bootId();
    self.startTicks = statOf(self.pid).startTicks;
    return self;
}

bool isAlive(const ProcessIdentity &process)
{
    if (process.pid <= 0)
        return false;
    // A record of another boot (or another machine) has no live writer here.
    if (process.bootId != bootId())
        return false;
    if (::kill(pid_t(process.pid), 0) != 0 && errno != EPERM)
        return false;
    const ProcStat stat = statOf(process.pid);
    if (!stat.ok())
        // No /proc to ask: the pid exists, which is all that can be known.
        return process.startTicks < 0;
    // A killed child that nobody reaped yet still has its pid.
    if (stat.state == 'Z' || stat.state == 'X')
        return false;
    return process.startTicks < 0 || stat.startTicks == process.startTicks;
}

} // namespace records
