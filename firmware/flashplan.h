#pragma once

#include "protocol/bootframe.h"
#include "protocol/payloads.h"

#include <QString>

#include <cstdint>

// The order of an update: erase, then 64-byte blocks from startProgr, one in
// flight at a time, with page erases interleaved and progress counted per
// acknowledged block. Pure bookkeeping; the worker does the talking.
class FlashPlan
{
public:
    static constexpr quint32 kBlockBytes = quint32(bootframe::kBlockBytes);

    // Why a layout cannot be programmed, or an empty text: both sizes must
    // be positive, the image must fit the 24-bit address space and the
    // programmed area must lie inside the image.
    static QString layoutProblem(const protocol::BoardLayout &layout);

    // Percentage for `blockCount` acknowledged blocks out of `totalBlocks`.
    static int percent(int blockCount, int totalBlocks);

    FlashPlan() = default;
    // `eraseAll` is the update request's choice; it takes effect only on a
    // board whose erase step is -1.
    FlashPlan(const protocol::BoardLayout &layout, bool eraseAll);

    // One erase-all command before the writes instead of page erases.
    bool usesEraseAll() const;
    int totalBlocks() const { return m_totalBlocks; }
    // Blocks acknowledged so far.
    int blocksDone() const { return m_blockCount; }
    quint32 currentAddress() const { return m_current; }
    quint32 endAddress() const { return m_end; }
    // Image offset of a block address.
    static quint32 offsetOf(quint32 address) { return bootframe::imageOffset(address); }

    // The page erase before the first block succeeded.
    void firstPageErased();

    struct Step
    {
        bool finished = false;  // the acknowledged block was the last
        int newPercent = -1;    // to publish, -1 when unchanged
        bool erasePage = false; // erase `eraseAddress` before the next block
        quint32 eraseAddress = 0;
    };
    // The block at currentAddress() was acknowledged: counts it and moves on
    // (unless it was the last).
    Step acknowledge();
    // The page erase that acknowledge() asked for succeeded.
    void pageErased();

private:
    protocol::BoardLayout m_layout;
    bool m_eraseAll = true;
    quint32 m_start = 0;
    quint32 m_end = 0;
    quint32 m_current = 0;
    quint32 m_nextErase = 0;
    int m_totalBlocks = 0;
    int m_blockCount = 0;
    int m_lastPercent = 0;
};
