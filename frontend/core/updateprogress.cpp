#include "frontend/core/updateprogress.h"

#include <QCoreApplication>

// The user reads these texts in the main window: they keep its translation
// context, "MainWindow".
namespace frontend {

int UpdateProgress::blocksAt(int percent, int totalBlocks)
{
    if (totalBlocks <= 0 || percent <= 0)
        return 0;
    if (percent >= 100)
        return totalBlocks;
    return int((qint64(percent) * totalBlocks + 99) / 100);
}

void UpdateProgress::start(int totalBlocks)
{
    *this = UpdateProgress();
    m_total = qMax(totalBlocks, 0);
}

void UpdateProgress::advance(int percent, qint64 nowMs)
{
    m_percent = qBound(0, percent, 100);
    m_blocks = blocksAt(m_percent, m_total);
    m_lastMs = nowMs;
    if (m_firstBlocks < 0) {
        m_firstBlocks = m_blocks;
        m_firstMs = nowMs;
    }
}

qint64 UpdateProgress::remainingMs() const
{
    const qint64 spanMs = m_lastMs - m_firstMs;
    const int done = m_blocks - m_firstBlocks;
    if (m_firstBlocks < 0 || m_total <= 0 || spanMs < kMinRateSpanMs || done <= 0)
        return -1;
    return (qint64(m_total - m_blocks) * spanMs + done - 1) / done;
}

QString UpdateProgress::remainingText(qint64 ms)
{
    const qint64 seconds = qMax<qint64>((ms + 999) / 1000, 1);
    if (seconds < 60)
        return QCoreApplication::translate("MainWindow", "about %1 s left").arg(seconds);
    // Tens of seconds: a figure that jumps by one each second reads as noise.
    const qint64 rounded = (seconds + 5) / 10 * 10;
    const qint64 minutes = rounded / 60;
    const qint64 rest = rounded % 60;
    if (rest == 0)
        return QCoreApplication::translate("MainWindow", "about %1 min left").arg(minutes);
    return QCoreApplication::translate("MainWindow", "about %1 min %2 s left")
        .arg(minutes)
        .arg(rest);
}

QString UpdateProgress::statusText() const
{
    if (m_total <= 0)
        return QCoreApplication::translate("MainWindow", "Writing the board: %1 %").arg(m_percent);
    const qint64 left = remainingMs();
    if (left < 0)
        return QCoreApplication::translate("MainWindow", "Written %1 of %2 blocks.")
            .arg(m_blocks)
            .arg(m_total);
    return QCoreApplication::translate("MainWindow", "Written %1 of %2 blocks, %3.")
        .arg(m_blocks)
        .arg(m_total)
        .arg(remainingText(left));
}

} // namespace frontend
