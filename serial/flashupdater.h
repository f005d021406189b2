#pragma once

#include "firmware/flashplan.h"
#include "protocol/payloads.h"
#include "protocol/reports.h"
#include "serial/daemonwiring.h"

#include <QByteArray>
#include <QEventLoop>
#include <QObject>
#include <QTimer>

namespace serialdaemon {

class BootLink;

// Programs a built flash image into the board: the erase, then one 64-byte
// block in flight at a time, paced by the board's answers, with page erases
// interleaved, progress on "SERIAL/BOARD/UPDATE/PERC" and the result on
// "SERIAL/BOARD/UPDATE", after the retry count and, for "ERROR", the reason.
//
// An answer that comes back damaged (a frame failing its checksum, bytes
// that make no frame) shows a board that is alive: the same command goes
// again, up to kMaxTries sends in all. Rewriting the same 64 bytes, or
// erasing again, is harmless on flash. Silence keeps the board's times.
class FlashUpdater : public QObject
{
    Q_OBJECT

public:
    static constexpr int kEraseAnswered = 0;
    static constexpr int kEraseTimedOut = 1;
    // Sends of one command: the first and two more after damaged answers.
    static constexpr int kMaxTries = 3;

    FlashUpdater(BootLink &link, ReplySink &sink, const Timings &timings,
                 QObject *parent = nullptr);

    // Raises the line speed, erases and sends the first block. The caller
    // has checked the layout and built `image` for it. A running update
    // starts again from the beginning.
    void start(const QByteArray &image, const protocol::BoardLayout &layout, bool eraseAll);
    // The board acknowledged a write (`replyNumber` counts every answer).
    // Only the answer to the block in flight moves the update on.
    bool isAnswerToBlockInFlight(quint64 replyNumber) const;
    void updateFlash();
    void processWriteTimeout();
    // Ends a running update now with `cause` (the line went away, the port
    // was closed); nothing when none runs.
    void abort(protocol::FailureReason::Cause cause);

    bool isUpdating() const { return m_updating; }
    bool isErasing() const { return m_eraseWait.isRunning(); }
    // Anything of an update under way: the erase, the writes, the pause
    // after a retried command.
    bool isBusy() const { return m_updating || isErasing() || m_settleTimer.isActive(); }
    // The image of the last update, for "REQUEST/SERIAL/WRITE" and the
    // read-back, and the addresses it programmed.
    const QByteArray &image() const { return m_image; }
    quint32 programStart() const { return m_programStart; }
    quint32 programEnd() const { return m_programEnd; }
    const FlashPlan &plan() const { return m_plan; }
    // Commands sent again in the current (or last) update.
    int retries() const { return m_retries; }

    QTimer &writeTimer() { return m_writeTimer; }
    QEventLoop &eraseWait() { return m_eraseWait; }

signals:
    // The update ended with its result published.
    void finished(bool succeeded);

private:
    enum class Awaiting
    {
        Nothing,
        Erase,
        Write,
    };

    void sendErase();
    bool waitForErase();
    void sendBlock(int timeoutMs);
    void transmitBlock();
    void continueAfter(const FlashPlan::Step &step);
    void onLineQuiet();
    protocol::FailureReason reasonNow(protocol::FailureReason::Cause cause) const;
    void fail(const protocol::FailureReason &reason);
    void publishRetries();

    BootLink &m_link;
    ReplySink &m_sink;
    Timings m_timings;
    QByteArray m_image;
    quint32 m_programStart = 0;
    quint32 m_programEnd = 0;
    FlashPlan m_plan;
    bool m_updating = false;
    bool m_blockInFlight = false;
    quint64 m_blockSentAfter = 0; // answers received when the block went out

    // The command awaited and how it went.
    Awaiting m_awaiting = Awaiting::Nothing;
    bool m_eraseIsAll = false;
    quint32 m_eraseAddress = 0;
    int m_tries = 0;
    int m_stepTimeoutMs = 0;
    quint64 m_droppedAtSend = 0;
    int m_retries = 0;
    FlashPlan::Step m_stepAfterSettle;

    QTimer m_writeTimer;
    // After a command that went more than once: a late answer to an
    // earlier send must not be taken for the next block's.
    QTimer m_settleTimer;
    QEventLoop m_eraseWait;
};

} // namespace serialdaemon
