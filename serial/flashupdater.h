#pragma once

#include "firmware/flashplan.h"
#include "protocol/payloads.h"
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
// "SERIAL/BOARD/UPDATE".
class FlashUpdater : public QObject
{
    Q_OBJECT

public:
    static constexpr int kEraseAnswered = 0;
    static constexpr int kEraseTimedOut = 1;

    FlashUpdater(BootLink &link, ReplySink &sink, const Timings &timings,
                 QObject *parent = nullptr);

    // Raises the line speed, erases and sends the first block. The caller
    // has checked the layout and built `image` for it.
    void start(const QByteArray &image, const protocol::BoardLayout &layout, bool eraseAll);
    // The board acknowledged a write (`replyNumber` counts every answer).
    // Only the answer to the block in flight moves the update on.
    bool isAnswerToBlockInFlight(quint64 replyNumber) const;
    void updateFlash();
    void processWriteTimeout();
    // The line went away: the update ends now, not at its time-out.
    void abort();

    bool isUpdating() const { return m_updating; }
    bool isErasing() const { return m_eraseWait.isRunning(); }
    // The image of the last update, for "REQUEST/SERIAL/WRITE".
    const QByteArray &image() const { return m_image; }
    const FlashPlan &plan() const { return m_plan; }

    QTimer &writeTimer() { return m_writeTimer; }
    QEventLoop &eraseWait() { return m_eraseWait; }

private:
    bool waitForErase();
    void sendBlock();
    void fail();

    BootLink &m_link;
    ReplySink &m_sink;
    Timings m_timings;
    QByteArray m_image;
    FlashPlan m_plan;
    bool m_updating = false;
    bool m_blockInFlight = false;
    quint64 m_blockSentAfter = 0; // answers received when the block went out
    QTimer m_writeTimer;
    QEventLoop m_eraseWait;
};

} // namespace serialdaemon
