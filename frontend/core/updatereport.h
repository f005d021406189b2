#pragma once

#include "protocol/reports.h"
#include "records/updaterecord.h"

#include <QCoreApplication>
#include <QString>
#include <QStringList>

namespace frontend {

// What is known at the end of an update, for the end box, velmo-flash's
// last lines and its JSON.
struct UpdateSummary
{
    QString boardId;
    QString boardName;
    QString filePath;
    int blocks = 0;
    qint64 durationMs = -1;
    int retries = -1; // -1: the daemon did not say
    records::VerifyResult verify = records::VerifyResult::None;
};

// The daemon's reasons and the end of an update in the user's words: the
// one place the window, velmo-flash and the service record take them from.
class UpdateReport
{
    Q_DECLARE_TR_FUNCTIONS(UpdateReport)

public:
    // One sentence: where it stopped and what happened. "Writing block 49
    // of 992 at 0x000C40: the board did not answer within 5 s."
    static QString failureReason(const protocol::FailureReason &reason);
    // "0x000C40".
    static QString address(quint32 address);

    // The line after "Update completed successfully." that says whether
    // the board was read back; empty for None.
    static QString verifyLine(records::VerifyResult verify);
    // Board, file, blocks written, the time from the request to the end
    // (read-back included), and retries.
    static QStringList summaryLines(const UpdateSummary &summary);
    // The text of the end box after its fixed first line.
    static QString endBoxDetails(const UpdateSummary &summary);
    // A fixed word for scripts: "ok", "mismatch", "unsupported", "off",
    // "failed", "" for none.
    static QString verifyKey(records::VerifyResult verify);
};

} // namespace frontend
