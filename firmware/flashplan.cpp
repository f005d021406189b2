#include "firmware/flashplan.h"

#include "firmware/hexfile.h"

QString FlashPlan::layoutProblem(const protocol::BoardLayout &c)
{
    if (c.sizeFlash <= 0 || c.sizeProgr <= 0)
        return QStringLiteral("flash size %1 KiB, programmable size %2 KiB")
            .arg(c.sizeFlash)
            .arg(c.sizeProgr);
    const qint64 imageBytes = c.flashBytes();
    if (imageBytes > qint64(hexfile::kMaxImageBytes))
        return QStringLiteral("flash size %1 KiB exceeds the 24-bit address range")
            .arg(c.sizeFlash);
    const qint64 progrBytes = c.progrBytes();
    // The end address must itself be a 32-bit address.
    if (c.startProgr < 0 || qint64(c.startProgr) + progrBytes > qint64(0xFFFFFFFFu))
        return QStringLiteral("programmable area at 0x%1 out of range").arg(c.startProgr, 0, 16);
    if (qint64(offsetOf(quint32(c.startProgr))) + progrBytes > imageBytes)
        return QStringLiteral("programmable area 0x%1 + %2 KiB lies outside the %3 KiB image")
            .arg(c.startProgr, 0, 16)
            .arg(c.sizeProgr)
            .arg(c.sizeFlash);
    return QString();
}

int FlashPlan::percent(int blockCount, int totalBlocks)
{
    if (totalBlocks <= 0)
        return 0;
    return int(qint64(blockCount) * 100 / totalBlocks);
}

FlashPlan::FlashPlan(const protocol::BoardLayout &layout, bool eraseAll)
    : m_layout(layout)
    , m_eraseAll(eraseAll)
{
    if (!layoutProblem(layout).isEmpty())
        return;
    m_start = quint32(layout.startProgr);
    m_end = quint32(qint64(layout.startProgr) + layout.progrBytes());
    m_current = m_start;
    m_nextErase = m_start;
    m_totalBlocks = int(layout.progrBytes() / kBlockBytes);
}

bool FlashPlan::usesEraseAll() const
{
    return m_eraseAll && m_layout.maxErase == -1;
}

void FlashPlan::firstPageErased()
{
    m_nextErase = m_start + quint32(m_layout.maxErase);
}

FlashPlan::Step FlashPlan::acknowledge()
{
    Step step;
    ++m_blockCount;
    const int p = percent(m_blockCount, m_totalBlocks);
    if (p != m_lastPercent) {
        m_lastPercent = p;
        step.newPercent = p;
    }
    if (m_blockCount >= m_totalBlocks || m_current + kBlockBytes >= m_end) {
        step.finished = true;
        m_current = m_start;
        return step;
    }
    m_current += kBlockBytes;
    // A page whose size is not a multiple of the block size never lines up
    // with a block start, so only the first page is erased then.
    if (!usesEraseAll() && m_current == m_nextErase) {
        step.erasePage = true;
        step.eraseAddress = m_nextErase;
    }
    return step;
}

void FlashPlan::pageErased()
{
    m_nextErase += quint32(m_layout.maxErase);
}
