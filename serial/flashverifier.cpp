#include "serial/flashverifier.h"

#include "firmware/flashplan.h"
#include "protocol/bootframe.h"
#include "protocol/topics.h"
#include "serial/bootlink.h"

#include <QDebug>

namespace serialdaemon {

using protocol::FailureReason;

FlashVerifier::FlashVerifier(BootLink &link, ReplySink &sink, const Timings &timings,
                             QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_sink(sink)
    , m_timings(timings)
    , m_readTimer(this)
    , m_settleTimer(this)
{
    m_readTimer.setSingleShot(true);
    m_readTimer.setTimerType(Qt::PreciseTimer);
    m_settleTimer.setSingleShot(true);
    connect(&m_readTimer, &QTimer::timeout, this, &FlashVerifier::onReadTimeout);
    connect(&m_settleTimer, &QTimer::timeout, this, &FlashVerifier::nextBlock);
    connect(&m_link, &BootLink::readAnswered, this, &FlashVerifier::onReadAnswered);
    connect(&m_link, &BootLink::lineQuiet, this, &FlashVerifier::onLineQuiet);
}

void FlashVerifier::start(const QByteArray &image, quint32 start, quint32 end)
{
    m_image = image;
    m_start = start;
    m_end = end;
    m_current = start;
    m_totalBlocks = int((end - start) / FlashPlan::kBlockBytes);
    m_blocksRead = 0;
    m_lastPercent = 0;
    m_differBlocks = 0;
    m_firstDifference = 0;
    m_firstDifferentBlock = 0;
    m_running = true;
    qInfo().noquote()
        << QStringLiteral("Reading back %1 blocks from 0x%2").arg(m_totalBlocks).arg(start, 0, 16);
    m_link.baudHigh();
    m_tries = 0;
    sendRead();
}

void FlashVerifier::sendRead()
{
    ++m_tries;
    m_sentAfter = m_link.repliesReceived();
    m_droppedAtSend = m_link.droppedBytes();
    m_awaiting = true;
    m_link.readBlock(m_current, bootframe::kReadCount);
    m_readTimer.start(m_timings.readTimeoutMs);
}

void FlashVerifier::onReadAnswered(quint64 replyNumber, const QByteArray &reply)
{
    // An answer that was there before this read went out belongs to an
    // earlier one.
    if (!m_running || !m_awaiting || replyNumber <= m_sentAfter)
        return;
    m_awaiting = false;
    m_readTimer.stop();
    const QByteArray data = bootframe::readReplyData(reply);
    if (data.isEmpty()) {
        qWarning().noquote() << QStringLiteral("Read of 0x%1 answered with %2 bytes, too few")
                                    .arg(m_current, 0, 16)
                                    .arg(reply.size());
        tryAgainOrGiveUp(FailureReason::Cause::NoAnswer);
        return;
    }
    const QByteArray expected =
        m_image.mid(qsizetype(FlashPlan::offsetOf(m_current)), bootframe::kReadCount);
    if (data != expected) {
        if (m_differBlocks++ == 0) {
            qsizetype i = 0;
            while (i < data.size() && i < expected.size() && data.at(i) == expected.at(i))
                ++i;
            m_firstDifference = m_current + quint32(i);
            m_firstDifferentBlock = m_blocksRead + 1;
        }
    }
    ++m_blocksRead;
    const int percent = FlashPlan::percent(m_blocksRead, m_totalBlocks);
    if (percent != m_lastPercent) {
        m_lastPercent = percent;
        m_sink.publishReply(protocol::reply::kVerifyPercent, QString::number(percent));
    }
    if (m_tries > 1)
        m_settleTimer.start(m_timings.answerQuietMs);
    else
        nextBlock();
}

void FlashVerifier::nextBlock()
{
    if (!m_running)
        return;
    if (m_blocksRead >= m_totalBlocks) {
        if (m_differBlocks == 0) {
            qInfo() << "Read back: the board holds the image";
            finish(protocol::payload::kOk, nullptr);
            return;
        }
        FailureReason r;
        r.step = FailureReason::Step::Verify;
        r.cause = FailureReason::Cause::Mismatch;
        r.block = m_firstDifferentBlock;
        r.blocks = m_totalBlocks;
        r.address = m_firstDifference;
        r.differBlocks = m_differBlocks;
        r.tries = 1;
        finish(protocol::payload::kError, &r);
        return;
    }
    m_current += FlashPlan::kBlockBytes;
    m_tries = 0;
    sendRead();
}

void FlashVerifier::onReadTimeout()
{
    if (!m_running || !m_awaiting)
        return;
    m_awaiting = false;
    tryAgainOrGiveUp(FailureReason::Cause::NoAnswer);
}

void FlashVerifier::onLineQuiet()
{
    if (!m_running || !m_awaiting)
        return;
    if (m_link.droppedBytes() == m_droppedAtSend && !m_link.hasPendingBytes())
        return;
    m_link.discardPending();
    m_awaiting = false;
    m_readTimer.stop();
    tryAgainOrGiveUp(FailureReason::Cause::Damaged);
}

void FlashVerifier::tryAgainOrGiveUp(FailureReason::Cause cause)
{
    if (m_tries < kMaxTries) {
        sendRead();
        return;
    }
    if (cause == FailureReason::Cause::NoAnswer && m_blocksRead == 0) {
        // Never a whole block from this board: it cannot be read back.
        FailureReason r = reasonNow(FailureReason::Cause::Unreadable);
        finish(protocol::payload::kUnsupported, &r);
        return;
    }
    FailureReason r = reasonNow(cause);
    finish(protocol::payload::kError, &r);
}

FailureReason FlashVerifier::reasonNow(FailureReason::Cause cause) const
{
    FailureReason r;
    r.step = FailureReason::Step::Verify;
    r.cause = cause;
    r.block = m_blocksRead + 1;
    r.blocks = m_totalBlocks;
    r.address = m_current;
    r.tries = m_tries;
    if (cause == FailureReason::Cause::NoAnswer || cause == FailureReason::Cause::Unreadable)
        r.waitedMs = m_timings.readTimeoutMs;
    return r;
}

void FlashVerifier::abort(FailureReason::Cause cause)
{
    if (!m_running)
        return;
    const FailureReason r = reasonNow(cause);
    // The port is closed or gone: no speed to restore.
    finish(protocol::payload::kError, &r, false);
}

void FlashVerifier::finish(QLatin1StringView result, const FailureReason *reason, bool restoreSpeed)
{
    m_running = false;
    m_awaiting = false;
    m_readTimer.stop();
    m_settleTimer.stop();
    if (reason)
        qWarning().noquote() << "Read back" << QString(result) << "-"
                             << protocol::describeFailureReason(*reason);
    if (restoreSpeed && m_link.isOpen())
        m_link.baudLow();
    if (reason)
        m_sink.publishReply(protocol::reply::kVerifyReason, protocol::buildFailureReason(*reason));
    m_sink.publishReply(protocol::reply::kVerify, QString(result));
    emit finished();
}

} // namespace serialdaemon
