#pragma once

#include <QString>
#include <QtGlobal>

namespace frontend {

// What the status bar says while the board is written: blocks written out of
// the total and the time left. The daemon reports percent only, and a new
// value each time the percentage of acknowledged 64-byte blocks changes; the
// block count is recovered from that rule, the time left from the rate since
// the first value (the erase before it is not writing).
class UpdateProgress
{
public:
    // The rate is trusted once it spans this long.
    static constexpr qint64 kMinRateSpanMs = 1000;

    // The blocks acknowledged when the daemon first reports `percent` of
    // `totalBlocks`: the fewest whose integer percentage reaches it.
    static int blocksAt(int percent, int totalBlocks);

    // A new update of `totalBlocks` blocks (0 when unknown).
    void start(int totalBlocks);
    // A progress value arrived `nowMs` after any fixed point in time.
    void advance(int percent, qint64 nowMs);

    int totalBlocks() const { return m_total; }
    int blocksWritten() const { return m_blocks; }
    // Milliseconds left at the rate so far, or -1 while there is no rate.
    qint64 remainingMs() const;

    // "Written 312 of 992 blocks, about 25 s left." (the estimate once there
    // is one); "Writing the board: 40 %" when the total is not known.
    QString statusText() const;
    // "about 25 s left", "about 2 min 10 s left".
    static QString remainingText(qint64 ms);

private:
    int m_total = 0;
    int m_percent = 0;
    int m_blocks = 0;
    int m_firstBlocks = -1; // at the first value
    qint64 m_firstMs = 0;
    qint64 m_lastMs = 0;
};

} // namespace frontend
