#include "serial/flashupdater.h"

#include "protocol/topics.h"
#include "serial/bootlink.h"

#include <QDebug>

namespace serialdaemon {

using protocol::FailureReason;

FlashUpdater::FlashUpdater(BootLink &link, ReplySink &sink, const Timings &timings, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_sink(sink)
    , m_timings(timings)
    , m_writeTimer(this)
    , m_settleTimer(this)
    , m_eraseWait(this)
{
    m_writeTimer.setSingleShot(true);
    // The board's times are kept to the millisecond: a coarse timer may end
    // a 5 s wait a quarter of a second early.
    m_writeTimer.setTimerType(Qt::PreciseTimer);
    m_settleTimer.setSingleShot(true);
    connect(&m_writeTimer, &QTimer::timeout, this, &FlashUpdater::processWriteTimeout);
    connect(&m_link, &BootLink::eraseAllAnswered, &m_eraseWait, &QEventLoop::quit);
    connect(&m_link, &BootLink::erasePageAnswered, &m_eraseWait, &QEventLoop::quit);
    connect(&m_link, &BootLink::lineQuiet, this, &FlashUpdater::onLineQuiet);
    connect(&m_settleTimer, &QTimer::timeout, this, [this] {
        if (m_eraseWait.isRunning())
            m_eraseWait.exit(kEraseAnswered);
        else if (m_updating)
            continueAfter(m_stepAfterSettle);
    });
}

void FlashUpdater::sendErase()
{
    m_awaiting = Awaiting::Erase;
    if (++m_tries > 1)
        ++m_retries;
    m_droppedAtSend = m_link.droppedBytes();
    if (m_eraseIsAll)
        m_link.eraseAllFlash();
    else
        m_link.erasePage(m_eraseAddress);
    m_writeTimer.start(m_stepTimeoutMs);
}

bool FlashUpdater::waitForErase()
{
    const bool answered = m_eraseWait.exec() == kEraseAnswered;
    m_awaiting = Awaiting::Nothing;
    if (!answered)
        return false;
    m_writeTimer.stop();
    if (m_tries > 1) {
        // An erase sent twice may be answered twice; the second answer
        // arrives here, not in the next wait.
        m_settleTimer.start(m_timings.answerQuietMs);
        const bool settled = m_eraseWait.exec() == kEraseAnswered;
        m_settleTimer.stop();
        if (!settled)
            return false;
    }
    return true;
}

void FlashUpdater::start(const QByteArray &image, const protocol::BoardLayout &layout,
                         bool eraseAll)
{
    if (isBusy())
        qInfo() << "Update started again by a new update request";
    m_updating = false;
    m_blockInFlight = false;
    m_awaiting = Awaiting::Nothing;
    m_writeTimer.stop();
    m_settleTimer.stop();
    m_retries = 0;
    m_image = image;
    m_link.baudHigh();
    m_plan = FlashPlan(layout, eraseAll);
    m_programStart = m_plan.currentAddress();
    m_programEnd = m_plan.endAddress();

    m_eraseIsAll = m_plan.usesEraseAll();
    m_eraseAddress = m_plan.currentAddress();
    m_tries = 0;
    m_stepTimeoutMs = m_timings.firstWriteTimeoutMs;
    sendErase();
    if (!waitForErase())
        return;
    if (!m_eraseIsAll)
        m_plan.firstPageErased();
    sendBlock(m_timings.firstWriteTimeoutMs);
    m_updating = true;
}

bool FlashUpdater::isAnswerToBlockInFlight(quint64 replyNumber) const
{
    // An answer that had arrived before the block in flight was sent is a
    // repeat of the previous one, not this block's acknowledgement.
    return m_updating && replyNumber > m_blockSentAfter;
}

void FlashUpdater::sendBlock(int timeoutMs)
{
    m_awaiting = Awaiting::Write;
    m_tries = 0;
    m_stepTimeoutMs = timeoutMs;
    transmitBlock();
}

void FlashUpdater::transmitBlock()
{
    if (++m_tries > 1)
        ++m_retries;
    m_blockSentAfter = m_link.repliesReceived();
    m_droppedAtSend = m_link.droppedBytes();
    m_link.writeBlock(m_plan.currentAddress(), m_image);
    m_blockInFlight = true;
    m_writeTimer.start(m_stepTimeoutMs);
}

void FlashUpdater::updateFlash()
{
    // Only the acknowledgement of the block in flight counts: a repeated
    // answer, or one that turns up while a page erase is awaited, would
    // otherwise send blocks ahead of the board.
    if (!m_updating || !m_blockInFlight || m_eraseWait.isRunning())
        return;
    m_blockInFlight = false;
    m_awaiting = Awaiting::Nothing;
    m_writeTimer.stop();
    const FlashPlan::Step step = m_plan.acknowledge();
    if (step.newPercent >= 0)
        m_sink.publishReply(protocol::reply::kUpdatePercent, QString::number(step.newPercent));
    if (step.finished) {
        m_updating = false;
        m_link.baudLow();
        if (m_retries > 0)
            qInfo().noquote()
                << QStringLiteral("Update done after %1 commands sent again").arg(m_retries);
        publishRetries();
        m_sink.publishReply(protocol::reply::kUpdate, protocol::payload::kOk);
        emit finished(true);
        return;
    }
    if (m_tries > 1) {
        // The block went more than once; its second answer may still come.
        m_stepAfterSettle = step;
        m_settleTimer.start(m_timings.answerQuietMs);
        return;
    }
    continueAfter(step);
}

void FlashUpdater::continueAfter(const FlashPlan::Step &step)
{
    if (step.erasePage) {
        m_eraseIsAll = false;
        m_eraseAddress = step.eraseAddress;
        m_tries = 0;
        m_stepTimeoutMs = m_timings.nextWriteTimeoutMs;
        sendErase();
        if (!waitForErase())
            return;
        m_plan.pageErased();
    }
    // The block gets its own time after an erase.
    sendBlock(m_timings.nextWriteTimeoutMs);
}

void FlashUpdater::onLineQuiet()
{
    const bool waiting = (m_awaiting == Awaiting::Write && m_blockInFlight && m_updating) ||
                         (m_awaiting == Awaiting::Erase && m_eraseWait.isRunning());
    if (!waiting)
        return;
    // Bytes came since the command went, and no whole answer: damaged.
    if (m_link.droppedBytes() == m_droppedAtSend && !m_link.hasPendingBytes())
        return;
    m_link.discardPending();
    if (m_tries >= kMaxTries) {
        fail(reasonNow(FailureReason::Cause::Damaged));
        return;
    }
    const FailureReason r = reasonNow(FailureReason::Cause::Damaged);
    qWarning().noquote() << "Damaged answer, sending again:" << protocol::describeFailureReason(r);
    if (m_awaiting == Awaiting::Erase)
        sendErase();
    else
        transmitBlock();
}

FailureReason FlashUpdater::reasonNow(FailureReason::Cause cause) const
{
    FailureReason r;
    r.cause = cause;
    r.blocks = m_plan.totalBlocks();
    r.tries = m_tries;
    if (m_eraseWait.isRunning() || m_awaiting == Awaiting::Erase) {
        r.step = FailureReason::Step::Erase;
        r.address = m_eraseAddress;
        // The block the erase comes before; none for an erase of all.
        r.block = m_eraseIsAll ? 0 : m_plan.blocksDone() + 1;
    } else {
        r.step = FailureReason::Step::Write;
        r.address = m_plan.currentAddress();
        r.block = m_plan.blocksDone() + 1;
    }
    if (cause == FailureReason::Cause::NoAnswer)
        r.waitedMs = m_stepTimeoutMs;
    return r;
}

void FlashUpdater::publishRetries()
{
    m_sink.publishReply(protocol::reply::kUpdateRetries, QString::number(m_retries));
}

void FlashUpdater::fail(const FailureReason &reason)
{
    m_writeTimer.stop();
    m_settleTimer.stop();
    m_plan = FlashPlan();
    m_updating = false;
    m_blockInFlight = false;
    m_awaiting = Awaiting::Nothing;
    if (m_eraseWait.isRunning())
        m_eraseWait.exit(kEraseTimedOut);
    qWarning().noquote() << "Update failed:" << protocol::describeFailureReason(reason);
    m_sink.publishReply(protocol::reply::kUpdateReason, protocol::buildFailureReason(reason));
    publishRetries();
    m_sink.publishReply(protocol::reply::kUpdate, protocol::payload::kError);
    emit finished(false);
}

void FlashUpdater::processWriteTimeout()
{
    fail(reasonNow(FailureReason::Cause::NoAnswer));
}

void FlashUpdater::abort(FailureReason::Cause cause)
{
    if (isBusy())
        fail(reasonNow(cause));
}

} // namespace serialdaemon
