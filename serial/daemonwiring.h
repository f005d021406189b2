#pragma once

#include <QLatin1StringView>
#include <QString>

namespace serialdaemon {

// Every duration of the daemon's link and update. The defaults are the
// board's; tests shorten them so a time-out path runs in milliseconds.
struct Timings
{
    int rxQuietMs = 10;
    int mqttTickMs = 100;
    int firstWriteTimeoutMs = 10000; // an erase and the first block
    int nextWriteTimeoutMs = 5000;   // each further block
    int idTimeoutMs = 1000;
    int refreshMs = 2000;
    int baudDrainMs = 10;
    int baudSettleMs = 10;
    // Each read of the read-back; the board answers a read in milliseconds.
    int readTimeoutMs = 1000;
    // Quiet after bytes that did not make an answer before they count as a
    // damaged one: long against the gaps of a USB adapter within a frame.
    int answerQuietMs = 50;
    // Longest wait for what was written (the leave-boot-loader frame) to
    // leave before the port closes.
    int closeDrainMs = 200;
    // Port listings are at least this far apart; requests in between share
    // the next one.
    int portScanSpacingMs = 100;
    // How long a file whose earlier digest is not its own waits for its
    // own; the front end sends the two back to back.
    int ownDigestWaitMs = 1000;
};

// Where the daemon's replies go: the broker, or a test's recorder.
class ReplySink
{
public:
    virtual ~ReplySink() = default;
    virtual void publishReply(QLatin1StringView topic, const QString &payload) = 0;
};

} // namespace serialdaemon
