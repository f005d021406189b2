#pragma once

#include "frontend/core/flashworkflow.h"

#include <QString>

// How long velmo-flash waits in each phase before it gives up. Where the
// daemon has a time-out of its own, the wait is the daemon's plus a margin,
// so the daemon's own answer ("ERROR") normally comes first and the
// time-out only catches a daemon that went silent.
struct FlashTimeouts
{
    // The daemon's times: 1 s per identifier request, one fallback at the
    // other speed and ten retries; 10 s for an erase and for the first
    // block; 5 s for each further block (and for each page erase).
    static constexpr int kDaemonIdRequestMs = 1000;
    static constexpr int kDaemonIdRequests = 12;
    static constexpr int kDaemonFirstWriteMs = 10000;
    static constexpr int kDaemonNextWriteMs = 5000;
    static constexpr int kMarginMs = frontend::FlashWorkflow::kAnswerMarginMs;
    // The daemon's read-back: 1 s for each read, three reads of a block.
    static constexpr int kDaemonReadMs = 1000;
    static constexpr int kDaemonReadTries = 3;

    int brokerMs = 5000;       // the broker takes the connection
    int daemonAnswerMs = 5000; // a running daemon answers PING
    int daemonStartMs = 10000; // a daemon just started answers PING
    int pingIntervalMs = 500;  // PING is repeated until the answer comes
    int portListMs = 5000;
    // The window's waits for the same answers.
    int openMs = frontend::FlashWorkflow::kOpenTimeoutMs;
    int boardIdMs = frontend::FlashWorkflow::kIdTimeoutMs;
    int imageMs = frontend::FlashWorkflow::kImageTimeoutMs; // the daemon's verdict on the file,
    int imageMsPerMiB = frontend::FlashWorkflow::kImageMsPerMiB; // plus this much per MiB of it
    int firstProgressMs = 2 * kDaemonFirstWriteMs + kMarginMs;   // erase, first block
    int blockMs = kDaemonNextWriteMs;
    int marginMs = kMarginMs;
    // After a Ctrl+C: the daemon notices the closed port when the wait for
    // its current block (or erase) ends.
    int stopMs = kDaemonFirstWriteMs + kMarginMs;
    // The workflow's own watch of the update (see FlashWorkflow): scaled
    // with the rest, so a shortened run also notices a lost daemon sooner.
    int updateQuietMs = frontend::FlashWorkflow::kUpdateQuietMs;
    int updatePingWaitMs = frontend::FlashWorkflow::kUpdatePingWaitMs;
    int updateStartMs = frontend::FlashWorkflow::kUpdateStartTimeoutMs;
    // The read-back: its first word (the workflow's), each read.
    int verifyStartMs = frontend::FlashWorkflow::kVerifyStartTimeoutMs;
    int readMs = kDaemonReadMs;
    // --retries: the pause before a new update, for a port to come back.
    int retryPauseMs = 2000;

    // From one progress value to the next: every block one percent spans,
    // each with a page erase before it on a board that erases by pages.
    int progressStepMs(int totalBlocks, bool pageErase) const;
    // From one read-back progress value to the next (or its result).
    int verifyStepMs(int totalBlocks) const;
    // For the file's verdict.
    int imageVerdictMs(qint64 fileBytes) const;

    // Every time multiplied by `factor` (at least 1 ms each).
    FlashTimeouts scaled(double factor) const;
    // The scale in `text` (VELMO_FLASH_TIMEOUT_SCALE, for tests only): a
    // positive number; anything else leaves the times as they are.
    static FlashTimeouts fromScale(const QString &text);
};
