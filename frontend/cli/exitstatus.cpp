#include "frontend/cli/exitstatus.h"

QString exitReasonKey(int status)
{
    if (status >= int(ExitStatus::Interrupted))
        return QStringLiteral("interrupted");
    switch (ExitStatus(status)) {
    case ExitStatus::Ok:
        return QStringLiteral("ok");
    case ExitStatus::RecordUnreadable:
        return QStringLiteral("record-unreadable");
    case ExitStatus::Usage:
        return QStringLiteral("usage");
    case ExitStatus::NoBroker:
        return QStringLiteral("no-broker");
    case ExitStatus::NoDaemon:
        return QStringLiteral("no-daemon");
    case ExitStatus::PortError:
        return QStringLiteral("port-error");
    case ExitStatus::BoardIdUnread:
        return QStringLiteral("board-id-unread");
    case ExitStatus::NoBoardConfig:
        return QStringLiteral("no-board-config");
    case ExitStatus::FileRefused:
        return QStringLiteral("file-refused");
    case ExitStatus::UpdateFailed:
        return QStringLiteral("update-failed");
    case ExitStatus::Busy:
        return QStringLiteral("busy");
    case ExitStatus::OutputFailed:
        return QStringLiteral("output-failed");
    case ExitStatus::NoLibraryFile:
        return QStringLiteral("no-library-file");
    case ExitStatus::LibraryUnwritable:
        return QStringLiteral("library-unwritable");
    case ExitStatus::Interrupted:
        return QStringLiteral("interrupted");
    }
    return QStringLiteral("error");
}
