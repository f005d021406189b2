#pragma once

#include "protocol/reports.h"
#include "serial/daemonwiring.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

namespace serialdaemon {

class BootLink;

// Reads the programmed area back, one 64-byte block at a time at the high
// line speed, and compares it with the image of the last update: progress on
// "SERIAL/BOARD/VERIFY/PERC", the result on "SERIAL/BOARD/VERIFY" ("OK",
// "ERROR" or "UNSUPPORTED"), a reason before anything but "OK".
//
// A board whose answers to reads are too short, or that does not answer
// reads at all, cannot be read back: "UNSUPPORTED", not a failure. Once a
// block has been read, the same silence is a failure. Damaged answers are
// read again; reads change nothing on the board.
class FlashVerifier : public QObject
{
    Q_OBJECT

public:
    // Reads of one block before it counts as unanswered or damaged.
    static constexpr int kMaxTries = 3;

    FlashVerifier(BootLink &link, ReplySink &sink, const Timings &timings,
                  QObject *parent = nullptr);

    // Compares [start, end) of the board with `image` (indexed by address).
    // The caller has checked that the image holds the range.
    void start(const QByteArray &image, quint32 start, quint32 end);
    // Ends a running read-back with `cause`; nothing when none runs.
    void abort(protocol::FailureReason::Cause cause);
    bool isRunning() const { return m_running; }

    QTimer &readTimer() { return m_readTimer; }

signals:
    void finished();

private:
    void sendRead();
    void onReadAnswered(quint64 replyNumber, const QByteArray &reply);
    void onReadTimeout();
    void onLineQuiet();
    // This try of the current block failed with `cause` (NoAnswer for a
    // short answer or none, Damaged): read again or give up.
    void tryAgainOrGiveUp(protocol::FailureReason::Cause cause);
    void nextBlock();
    protocol::FailureReason reasonNow(protocol::FailureReason::Cause cause) const;
    void finish(QLatin1StringView result, const protocol::FailureReason *reason,
                bool restoreSpeed = true);

    BootLink &m_link;
    ReplySink &m_sink;
    Timings m_timings;
    QByteArray m_image;
    quint32 m_start = 0;
    quint32 m_end = 0;
    quint32 m_current = 0;
    int m_totalBlocks = 0;
    int m_blocksRead = 0;
    int m_lastPercent = 0;
    int m_tries = 0;
    bool m_running = false;
    bool m_awaiting = false;
    quint64 m_sentAfter = 0;
    quint64 m_droppedAtSend = 0;
    int m_differBlocks = 0;
    quint32 m_firstDifference = 0;
    int m_firstDifferentBlock = 0;

    QTimer m_readTimer;
    // After a block read more than once: a late answer to an earlier read
    // must not be taken for the next block.
    QTimer m_settleTimer;
};

} // namespace serialdaemon
