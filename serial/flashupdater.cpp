#include "serial/flashupdater.h"

#include "protocol/topics.h"
#include "serial/bootlink.h"

namespace serialdaemon {

FlashUpdater::FlashUpdater(BootLink &link, ReplySink &sink, const Timings &timings, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_sink(sink)
    , m_timings(timings)
    , m_writeTimer(this)
    , m_eraseWait(this)
{
    m_writeTimer.setSingleShot(true);
    connect(&m_writeTimer, &QTimer::timeout, this, &FlashUpdater::processWriteTimeout);
    connect(&m_link, &BootLink::eraseAllAnswered, &m_eraseWait, &QEventLoop::quit);
    connect(&m_link, &BootLink::erasePageAnswered, &m_eraseWait, &QEventLoop::quit);
}

bool FlashUpdater::waitForErase()
{
    m_writeTimer.start(m_timings.firstWriteTimeoutMs);
    return m_eraseWait.exec() == kEraseAnswered;
}

void FlashUpdater::start(const QByteArray &image, const protocol::BoardLayout &layout,
                         bool eraseAll)
{
    m_updating = false;
    m_blockInFlight = false;
    m_writeTimer.stop();
    m_image = image;
    m_link.baudHigh();
    m_plan = FlashPlan(layout, eraseAll);

    if (m_plan.usesEraseAll()) {
        m_link.eraseAllFlash();
        if (!waitForErase())
            return;
        m_writeTimer.stop();
    } else {
        m_link.erasePage(m_plan.currentAddress());
        if (!waitForErase())
            return;
        m_writeTimer.stop();
        m_plan.firstPageErased();
    }
    m_writeTimer.start(m_timings.firstWriteTimeoutMs);
    sendBlock();
    m_updating = true;
}

bool FlashUpdater::isAnswerToBlockInFlight(quint64 replyNumber) const
{
    // An answer that had arrived before the block in flight was sent is a
    // repeat of the previous one, not this block's acknowledgement.
    return m_updating && replyNumber > m_blockSentAfter;
}

void FlashUpdater::updateFlash()
{
    // Only the acknowledgement of the block in flight counts: a repeated
    // answer, or one that turns up while a page erase is awaited, would
    // otherwise send blocks ahead of the board.
    if (!m_updating || !m_blockInFlight || m_eraseWait.isRunning())
        return;
    m_blockInFlight = false;
    m_writeTimer.stop();
    const FlashPlan::Step step = m_plan.acknowledge();
    if (step.newPercent >= 0)
        m_sink.publishReply(protocol::reply::kUpdatePercent, QString::number(step.newPercent));
    if (step.finished) {
        m_updating = false;
        m_link.baudLow();
        m_sink.publishReply(protocol::reply::kUpdate, protocol::payload::kOk);
        return;
    }
    m_writeTimer.start(m_timings.nextWriteTimeoutMs);
    if (step.erasePage) {
        m_link.erasePage(step.eraseAddress);
        if (m_eraseWait.exec() != kEraseAnswered)
            return;
        m_plan.pageErased();
        // The block gets its own time after the erase.
        m_writeTimer.start(m_timings.nextWriteTimeoutMs);
    }
    sendBlock();
}

void FlashUpdater::sendBlock()
{
    m_blockSentAfter = m_link.repliesReceived();
    m_link.writeBlock(m_plan.currentAddress(), m_image);
    m_blockInFlight = true;
}

void FlashUpdater::fail()
{
    m_writeTimer.stop();
    m_plan = FlashPlan();
    m_updating = false;
    m_blockInFlight = false;
    if (m_eraseWait.isRunning())
        m_eraseWait.exit(kEraseTimedOut);
    m_sink.publishReply(protocol::reply::kUpdate, protocol::payload::kError);
}

void FlashUpdater::processWriteTimeout()
{
    fail();
}

void FlashUpdater::abort()
{
    if (m_updating || m_eraseWait.isRunning())
        fail();
}

} // namespace serialdaemon
