#pragma once

#include <QString>

// What velmo-flash ends with. The numbers are part of its interface
// (scripts test them); they are listed in --help and the manual page.
enum class ExitStatus : int
{
    Ok = 0,
    RecordUnreadable = 1, // --history: the service record cannot be read
    Usage = 2,
    NoBroker = 3,
    NoDaemon = 4, // the serial daemon does not answer
    PortError = 5,
    BoardIdUnread = 6,
    NoBoardConfig = 7,
    FileRefused = 8,
    UpdateFailed = 9,
    Busy = 10,              // the window or another velmo-flash talks to the daemon
    OutputFailed = 11,      // standard output could not be written (disk full, ...)
    NoLibraryFile = 12,     // --latest: nothing in the library fits the board
    LibraryUnwritable = 13, // --add: the copy could not be made
    Interrupted = 128,      // plus the signal's number: 130 for Ctrl+C
};

// What a status is called: a fixed word for scripts ("no-broker",
// "update-failed", ...) and the words of the "Result:" line, marked for
// translation in the context "FlashReport". Every signal is "interrupted";
// a number velmo-flash never ends with has neither.
struct ExitStatusWords
{
    const char *key = nullptr;
    const char *text = nullptr;
};
ExitStatusWords exitStatusWords(int status);

// The word for scripts; "error" for a number velmo-flash never ends with.
QString exitReasonKey(int status);
