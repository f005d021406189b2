#pragma once

#include <QList>
#include <QString>

#include <optional>

// What the daemon says beyond "OK" and "ERROR": why an update or a read-back
// ended as it did, and what it knows of each serial port. Structured rather
// than worded, so each program words it in its user's language.
namespace protocol {

// "SERIAL/BOARD/UPDATE/REASON" (before every "SERIAL/BOARD/UPDATE" "ERROR")
// and "SERIAL/BOARD/VERIFY/REASON" (before "SERIAL/BOARD/VERIFY" "ERROR" or
// "UNSUPPORTED"), for example
// "Step=write Block=49 Blocks=992 Address=0xc40 Cause=noanswer WaitedMs=5000 Tries=1".
struct FailureReason
{
    enum class Step
    {
        Unknown,
        Start,  // before the first erase: no image, no configuration, no port
        Erase,  // an erase command (all at once or one page)
        Write,  // a 64-byte block
        Verify, // reading a block back
    };
    enum class Cause
    {
        Unknown,
        NoAnswer,    // nothing within the wait
        Damaged,     // answers came back, but none of them whole
        PortLost,    // the port went away (unplugged adapter)
        Mismatch,    // read back, but not what was written
        Unreadable,  // the board does not answer reads: not verifiable
        NoImage,     // nothing verified or loaded to program or compare
        BadConfig,   // the board's layout cannot be programmed
        Interrupted, // another request ended it (CLOSE, a new UPDATE)
    };

    Step step = Step::Unknown;
    Cause cause = Cause::Unknown;
    int block = 0;  // 1-based block of the step; 0 when none
    int blocks = 0; // blocks of the whole step
    quint32 address = 0;
    int waitedMs = 0;     // NoAnswer: how long the last try waited
    int tries = 0;        // commands sent for that block or erase
    int differBlocks = 0; // Mismatch: how many blocks differ

    bool operator==(const FailureReason &other) const;
};

QString buildFailureReason(const FailureReason &reason);
// Lenient, as every payload the daemon reads: unknown keys are skipped and
// unknown words give Unknown. Nothing when the payload names neither a step
// nor a cause.
std::optional<FailureReason> parseFailureReason(const QString &payload);
// One English line for diagnostic logs ("writing block 49 of 992 at 0xc40:
// no answer within 5000 ms, 1 send"); the front ends word it for the user.
QString describeFailureReason(const FailureReason &reason);

// "SERIAL/INFO/DETAILS", right after every "SERIAL/INFO": one line per port
// in the same order, fields separated by tabs: name, description, maker,
// serial number, stable /dev/serial/by-id path (each may be empty).
struct PortDetails
{
    QString name;
    QString description;
    QString manufacturer;
    QString serialNumber;
    QString byIdPath;

    bool operator==(const PortDetails &other) const;
};

QString buildPortDetails(const QList<PortDetails> &ports);
QList<PortDetails> parsePortDetails(const QString &payload);

} // namespace protocol
