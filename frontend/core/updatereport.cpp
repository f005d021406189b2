#include "frontend/core/updatereport.h"

#include "records/recordformat.h"

#include <QFileInfo>

namespace frontend {

namespace {
constexpr int kAddressDigits = 6; // 24-bit addresses
constexpr double kMsPerSecond = 1000.0;
} // namespace

QString UpdateReport::address(quint32 address)
{
    return QStringLiteral("0x") +
           QStringLiteral("%1").arg(address, kAddressDigits, 16, QLatin1Char('0')).toUpper();
}

QString UpdateReport::failureReason(const protocol::FailureReason &r)
{
    using Step = protocol::FailureReason::Step;
    using Cause = protocol::FailureReason::Cause;
    const QString seconds = QString::number(r.waitedMs / kMsPerSecond, 'g', 3);

    // What happened, in the step's terms.
    QString what;
    switch (r.cause) {
    case Cause::NoAnswer:
        what = r.waitedMs > 0 ? tr("the board did not answer within %1 s").arg(seconds)
                              : tr("the board did not answer");
        break;
    case Cause::Damaged:
        what = tr("the board's answers came back damaged %1 times in a row").arg(r.tries);
        break;
    case Cause::PortLost:
        what = tr("the serial port was lost");
        break;
    case Cause::Mismatch:
        what = tr("the board differs from the file from %1 on; %2 of %3 blocks differ")
                   .arg(address(r.address))
                   .arg(r.differBlocks)
                   .arg(r.blocks);
        break;
    case Cause::Unreadable:
        what = tr("this board cannot be read back");
        break;
    case Cause::NoImage:
        what = r.step == Step::Verify ? tr("there is no update to compare the board with")
                                      : tr("the serial daemon holds no accepted file");
        break;
    case Cause::BadConfig:
        what = tr("the board's configuration describes no area that can be written");
        break;
    case Cause::Interrupted:
        what = tr("it was stopped by another request (the port was closed or a new update "
                  "started)");
        break;
    case Cause::Unknown:
        what = tr("the serial daemon gave no cause");
        break;
    }

    QString where;
    switch (r.step) {
    case Step::Start:
        where = tr("The update could not start");
        break;
    case Step::Erase:
        where = r.block > 0 ? tr("Erasing the page at %1 before block %2 of %3")
                                  .arg(address(r.address))
                                  .arg(r.block)
                                  .arg(r.blocks)
                            : tr("Erasing the board");
        break;
    case Step::Write:
        where =
            tr("Writing block %1 of %2 at %3").arg(r.block).arg(r.blocks).arg(address(r.address));
        break;
    case Step::Verify:
        if (r.cause == Cause::Mismatch)
            where = tr("Read back");
        else if (r.block > 0)
            where = tr("Reading back block %1 of %2 at %3")
                        .arg(r.block)
                        .arg(r.blocks)
                        .arg(address(r.address));
        else
            where = tr("The read-back could not start");
        break;
    case Step::Unknown:
        where = tr("During the update");
        break;
    }
    return tr("%1: %2.").arg(where, what);
}

QString UpdateReport::verifyLine(records::VerifyResult verify)
{
    using records::VerifyResult;
    switch (verify) {
    case VerifyResult::None:
        break;
    case VerifyResult::Ok:
        return tr("The board was read back and holds the file.");
    case VerifyResult::Unsupported:
        return tr("This board cannot be read back; not verified.");
    case VerifyResult::Off:
        return tr("Not verified: reading back after writing is turned off.");
    case VerifyResult::Mismatch:
        return tr("The board was read back and differs from the file.");
    case VerifyResult::Failed:
        return tr("The read-back could not be completed; not verified.");
    }
    return QString();
}

QStringList UpdateReport::summaryLines(const UpdateSummary &s)
{
    QStringList lines;
    if (!s.boardId.isEmpty())
        lines << (s.boardName.isEmpty() ? tr("Board: %1").arg(s.boardId)
                                        : tr("Board: %1 (%2)").arg(s.boardId, s.boardName));
    if (!s.filePath.isEmpty())
        lines << tr("File: %1").arg(QFileInfo(s.filePath).fileName());
    if (s.blocks > 0)
        lines << tr("Blocks written: %1").arg(s.blocks);
    if (s.durationMs >= 0)
        lines << tr("Duration: %1").arg(records::RecordFormat::duration(s.durationMs));
    if (s.retries >= 0)
        lines << tr("Retries after damaged answers: %1").arg(s.retries);
    return lines;
}

QString UpdateReport::endBoxDetails(const UpdateSummary &s)
{
    QStringList parts;
    const QString verified = verifyLine(s.verify);
    if (!verified.isEmpty())
        parts << verified;
    const QStringList summary = summaryLines(s);
    if (!summary.isEmpty())
        parts << summary.join(QLatin1Char('\n'));
    return parts.join(QStringLiteral("\n\n"));
}

QString UpdateReport::verifyKey(records::VerifyResult verify)
{
    return records::RecordFormat::verifyKey(verify);
}

} // namespace frontend
