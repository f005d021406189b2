#pragma once

#include <QDateTime>
#include <QString>

#include <optional>

namespace records {

// How the board's program area was cleared before writing.
enum class EraseMode
{
    All,  // one erase-all command
    Pages // page by page, as the write reaches each page
};

// What a writer reports at the end of an update.
enum class UpdateResult
{
    Ok,
    Failed,
    AbortedByClosing, // the program was closed or interrupted during the update
    DaemonLost,       // the serial daemon stopped answering
    PortLost,         // the serial port went away (adapter unplugged)
    BrokerLost        // the broker went away: the board's state is unknown
};

// What the read-back after the writes found.
enum class VerifyResult
{
    None,        // no read-back: the update ended before it, or no result yet
    Ok,          // the board holds the file
    Mismatch,    // the board differs from the file
    Unsupported, // the board cannot be read back
    Off,         // reading back was turned off
    Failed       // the read-back could not be completed
};

// The detached signature of the file sent, as checked before sending.
enum class SignatureState
{
    Unknown,      // not checked: records of older versions
    Unsigned,     // no signature beside the file
    Signed,       // signed by a trusted key
    Damaged,      // the signature file cannot be read as one
    OtherFile,    // the signature is sound but not for this file's content
    UntrustedKey, // signed by a key that is not trusted
};

// Where the file sent came from and who vouches for it.
struct ImageOrigin
{
    // From the firmware library (the user's or the shipped samples);
    // nothing when unknown (records of older versions).
    std::optional<bool> fromLibrary;
    SignatureState signature = SignatureState::Unknown;
    // Signed: the name of the key that signed it.
    QString signer;
};

// What a reader sees: the reported result, or for a record without one,
// whether its writer still runs.
enum class RecordState
{
    Ok,
    Failed,
    AbortedByClosing,
    DaemonLost,
    PortLost,
    BrokerLost,
    Running,    // no result yet and the writing process is alive
    Interrupted // no result, and the writing process is gone
};

// Everything known when an update starts. Empty user, host and an invalid
// start time are filled in by the store.
struct UpdateStart
{
    QDateTime startedAt;
    QString program; // which program ran it: "VelmoFrontEnd", "velmo-flash"
    QString user;
    QString host;
    QString port;
    QString boardId;
    QString boardName;
    QString filePath;
    qint64 fileSize = -1; // bytes; -1 when unknown
    QString fileMd5;      // 32 lower-case hex digits
    // What the check before sending found in the file and the update does
    // not write, one note per line; empty for none.
    QString fileNotes;
    ImageOrigin origin;
    EraseMode erase = EraseMode::All;
};

struct UpdateRecord
{
    qint64 id = -1;
    QDateTime startedAt;
    QDateTime finishedAt; // invalid while no result was written
    QString program;
    QString user;
    QString host;
    QString port;
    QString boardId;
    QString boardName;
    QString filePath;
    qint64 fileSize = -1;
    QString fileMd5;
    QString fileNotes;
    ImageOrigin origin;
    EraseMode erase = EraseMode::All;
    RecordState state = RecordState::Interrupted;
    QString errorText;
    VerifyResult verify = VerifyResult::None;
    int retries = -1; // commands sent again after damaged answers; -1: unknown

    // Milliseconds from start to result; -1 without a result.
    qint64 durationMs() const
    {
        if (!finishedAt.isValid() || !startedAt.isValid())
            return -1;
        return qMax<qint64>(0, startedAt.msecsTo(finishedAt));
    }
};

// Which records a query returns. An empty board id or an invalid bound
// leaves that side open; both bounds are inclusive.
struct RecordFilter
{
    QString boardId;
    QDateTime from;
    QDateTime to;

    // Whole calendar days in local time, `first` to `last` inclusive.
    static RecordFilter days(const QDate &first, const QDate &last, const QString &boardId = {});
};

} // namespace records
