#pragma once

#include <QByteArray>
#include <QString>

namespace records {

// Names one process across time: a pid alone may be reused, and after a
// reboot every pid is new. The start time (clock ticks after boot) tells a
// reused pid apart; the boot id tells boots apart.
struct ProcessIdentity
{
    qint64 pid = 0;
    QString bootId;
    qint64 startTicks = -1; // -1 when unknown
};

// The calling process.
ProcessIdentity currentProcess();

// Whether the process still runs: same boot, the pid exists, it is not a
// zombie and it started at the same tick.
bool isAlive(const ProcessIdentity &process);

// State letter and start time from the text of /proc/<pid>/stat. The
// command name in parentheses may itself hold blanks and parentheses.
struct ProcStat
{
    char state = '\0';
    qint64 startTicks = -1;
    bool ok() const { return state != '\0' && startTicks >= 0; }
};
ProcStat parseProcStat(const QByteArray &statText);

} // namespace records
