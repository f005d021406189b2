#include "frontend/cli/exitstatus.h"

#include <QtGlobal>

ExitStatusWords exitStatusWords(int status)
{
    const ExitStatusWords interrupted{"interrupted",
                                      QT_TRANSLATE_NOOP("FlashReport", "interrupted")};
    if (status >= int(ExitStatus::Interrupted))
        return interrupted;
    switch (ExitStatus(status)) {
    case ExitStatus::Ok:
        return {"ok", QT_TRANSLATE_NOOP("FlashReport", "OK")};
    case ExitStatus::RecordUnreadable:
        return {"record-unreadable", QT_TRANSLATE_NOOP("FlashReport", "service record unreadable")};
    case ExitStatus::Usage:
        return {"usage", QT_TRANSLATE_NOOP("FlashReport", "bad usage")};
    case ExitStatus::NoBroker:
        return {"no-broker", QT_TRANSLATE_NOOP("FlashReport", "no MQTT broker")};
    case ExitStatus::NoDaemon:
        return {"no-daemon", QT_TRANSLATE_NOOP("FlashReport", "no answer from the serial daemon")};
    case ExitStatus::PortError:
        return {"port-error", QT_TRANSLATE_NOOP("FlashReport", "port cannot be opened")};
    case ExitStatus::BoardIdUnread:
        return {"board-id-unread", QT_TRANSLATE_NOOP("FlashReport", "board identifier not read")};
    case ExitStatus::NoBoardConfig:
        return {"no-board-config", QT_TRANSLATE_NOOP("FlashReport", "no board configuration")};
    case ExitStatus::FileRefused:
        return {"file-refused", QT_TRANSLATE_NOOP("FlashReport", "file refused")};
    case ExitStatus::UpdateFailed:
        return {"update-failed", QT_TRANSLATE_NOOP("FlashReport", "update failed")};
    case ExitStatus::Busy:
        return {"busy", QT_TRANSLATE_NOOP("FlashReport", "the serial daemon is in use")};
    case ExitStatus::OutputFailed:
        return {"output-failed", QT_TRANSLATE_NOOP("FlashReport", "output not written")};
    case ExitStatus::NoLibraryFile:
        return {"no-library-file",
                QT_TRANSLATE_NOOP("FlashReport", "no library file for this board")};
    case ExitStatus::LibraryUnwritable:
        return {"library-unwritable",
                QT_TRANSLATE_NOOP("FlashReport", "the firmware library cannot be written")};
    case ExitStatus::Interrupted:
        return interrupted;
    }
    return {};
}

QString exitReasonKey(int status)
{
    const ExitStatusWords words = exitStatusWords(status);
    return words.key ? QString::fromLatin1(words.key) : QStringLiteral("error");
}
