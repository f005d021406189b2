#include "frontend/cli/flashtimeouts.h"

#include <QtGlobal>

#include <climits>

#include <cmath>

namespace {
constexpr qint64 kBytesPerMiB = qint64(1024) * 1024;
} // namespace

int FlashTimeouts::progressStepMs(int totalBlocks, bool pageErase) const
{
    const int blocksPerPercent = qMax(1, (totalBlocks + 99) / 100);
    const qint64 perBlock = qint64(blockMs) * (pageErase ? 2 : 1);
    return int(qMin<qint64>(blocksPerPercent * perBlock + marginMs, INT_MAX));
}

int FlashTimeouts::verifyStepMs(int totalBlocks) const
{
    const int blocksPerPercent = qMax(1, (totalBlocks + 99) / 100);
    return int(
        qMin<qint64>(qint64(blocksPerPercent) * readMs * kDaemonReadTries + marginMs, INT_MAX));
}

int FlashTimeouts::imageVerdictMs(qint64 fileBytes) const
{
    const qint64 mib = (qMax<qint64>(0, fileBytes) + kBytesPerMiB - 1) / kBytesPerMiB;
    return int(qMin<qint64>(imageMs + mib * imageMsPerMiB, INT_MAX));
}

FlashTimeouts FlashTimeouts::scaled(double factor) const
{
    const auto scale = [factor](int ms) {
        return int(qBound(1.0, std::round(ms * factor), double(INT_MAX)));
    };
    FlashTimeouts t = *this;
    for (int *ms : {&t.brokerMs, &t.daemonAnswerMs, &t.daemonStartMs, &t.pingIntervalMs,
                    &t.portListMs, &t.openMs, &t.boardIdMs, &t.imageMs, &t.imageMsPerMiB,
                    &t.firstProgressMs, &t.blockMs, &t.marginMs, &t.stopMs, &t.updateQuietMs,
                    &t.updatePingWaitMs, &t.updateStartMs, &t.verifyStartMs, &t.readMs})
        *ms = scale(*ms);
    return t;
}

FlashTimeouts FlashTimeouts::fromScale(const QString &text)
{
    bool ok = false;
    const double factor = text.trimmed().toDouble(&ok);
    if (!ok || !(factor > 0) || !std::isfinite(factor))
        return FlashTimeouts();
    return FlashTimeouts().scaled(factor);
}
