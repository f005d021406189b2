#include "frontend/cli/flashreport.h"

#include "frontend/cli/consoleoutput.h"
#include "frontend/cli/librarycommand.h"
#include "frontend/core/boardconfig.h"
#include "frontend/core/porthint.h"
#include "frontend/core/requests.h"

#include <QFileInfo>
#include <QJsonArray>

namespace {

constexpr int kMsPerSecond = 1000;

FlashOutcome outcome(ExitStatus status, const QString &text, const QString &cause = QString())
{
    return {status, text, cause, std::nullopt};
}

// Bytes of the file that are not written, for scripts: the totals and the
// ranges listed, each as [first, last].
QJsonObject skippedJson(const hexfile::SkippedBytes &skipped)
{
    QJsonArray ranges;
    for (const hexfile::ByteRange &r : skipped.listed)
        ranges.append(QJsonArray{qint64(r.first), qint64(r.last)});
    return {{QStringLiteral("bytes"), qint64(skipped.bytes)},
            {QStringLiteral("rangeCount"), skipped.rangeCount},
            {QStringLiteral("ranges"), ranges}};
}

// The checked file's signature for the image-checked event.
QJsonObject signatureJson(const frontend::ImageVetting &v)
{
    if (v.origin.signature == records::SignatureState::Unknown)
        return {};
    return LibraryCommand::signatureJson(v.origin.signature, v.origin.signer, v.signatureKeyId,
                                         v.signedAt, v.signatureReason);
}

} // namespace

// ---------------------------------------------------------------------------
// The workflow's failures

std::optional<FlashOutcome> FlashReport::failure(Failure failure, const QString &detail,
                                                 const FlashFacts &facts)
{
    switch (failure) {
    case Failure::DaemonAbsent:
    case Failure::PortError:
    case Failure::BoardIdOutOfRange:
    case Failure::NoBoardConfig:
    case Failure::BoardIdUnread:
    case Failure::NoAnswer:
    case Failure::NoPortChosen:
        return connectionFailure(failure, detail, facts);
    case Failure::ImageNotLoaded:
    case Failure::ImageNotSent:
    case Failure::ImageRefused:
    case Failure::ImageCheckFailed:
        return fileFailure(failure, detail, facts);
    case Failure::UpdateFailed:
    case Failure::VerifyFailed:
    case Failure::DaemonLost:
    case Failure::UpdateNotStarted:
    case Failure::PortLost:
    case Failure::BrokerLost:
        return updateFailure(failure, detail, facts);
    }
    return unknownFailure(detail, facts.phase);
}

std::optional<FlashOutcome> FlashReport::connectionFailure(Failure failure, const QString &detail,
                                                           const FlashFacts &facts)
{
    switch (failure) {
    case Failure::DaemonAbsent:
        return outcome(ExitStatus::NoDaemon, tr("The serial daemon does not answer."));
    case Failure::PortError: {
        // During the update a lost line is the update's failure; the daemon
        // ends it itself and its text goes into the record.
        if (facts.phase != FlashPhase::Open && facts.phase != FlashPhase::BoardId)
            return std::nullopt;
        QString text = tr("The port %1 cannot be opened: %2").arg(facts.port, detail);
        const QString hint = frontend::portErrorHint(
            detail, facts.port, frontend::probePortAccess(frontend::devicePath(facts.port)));
        if (!hint.isEmpty())
            text += QLatin1Char(' ') + hint.simplified();
        return outcome(ExitStatus::PortError, text);
    }
    case Failure::BoardIdOutOfRange:
        return outcome(ExitStatus::BoardIdUnread, tr("The answer %1 on %2 is no board identifier: "
                                                     "is it the board's port?")
                                                      .arg(detail, facts.port));
    case Failure::NoBoardConfig: {
        const QString path = frontend::boardConfigPath(detail, facts.boardConfigFolder);
        return outcome(
            ExitStatus::NoBoardConfig,
            QFileInfo::exists(path)
                ? tr("The configuration file %1 of board %2 is incomplete.").arg(path, detail)
                : tr("There is no configuration file for board %1 (%2).").arg(detail, path));
    }
    case Failure::BoardIdUnread:
        return outcome(ExitStatus::BoardIdUnread, tr("The board on %1 did not tell its identifier: "
                                                     "is it connected, powered and in its boot "
                                                     "loader?")
                                                      .arg(facts.port));
    case Failure::NoAnswer:
        return outcome(facts.brokerConnected ? ExitStatus::NoDaemon : ExitStatus::NoBroker, detail);
    case Failure::NoPortChosen:
        return noPortChosen();
    default:
        break;
    }
    return unknownFailure(detail, facts.phase);
}

FlashOutcome FlashReport::fileFailure(Failure failure, const QString &detail,
                                      const FlashFacts &facts)
{
    switch (failure) {
    case Failure::ImageNotLoaded:
        return outcome(ExitStatus::FileRefused, tr("%1 could not be read.").arg(facts.file));
    case Failure::ImageNotSent:
        if (!facts.brokerConnected)
            return brokerLost(facts.broker);
        return outcome(ExitStatus::FileRefused,
                       tr("%1 could not be sent to the serial daemon.").arg(facts.file));
    case Failure::ImageRefused:
        return outcome(ExitStatus::FileRefused,
                       tr("The serial daemon refused %1 (File wrong.): it arrived damaged or is "
                          "not for this board.")
                           .arg(facts.file));
    case Failure::ImageCheckFailed:
        return outcome(ExitStatus::FileRefused, tr("%1 is refused: %2").arg(facts.file, detail));
    default:
        break;
    }
    return unknownFailure(detail, facts.phase);
}

FlashOutcome FlashReport::updateFailure(Failure failure, const QString &detail,
                                        const FlashFacts &facts)
{
    switch (failure) {
    case Failure::UpdateFailed:
        return outcome(
            ExitStatus::UpdateFailed,
            detail.isEmpty()
                ? tr("The board stopped answering during the update: it is left without a "
                     "complete firmware. Connect again and repeat the update.")
                : tr("The update failed. %1 The board is left without a complete firmware: "
                     "connect again and repeat the update.")
                      .arg(detail),
            detail);
    case Failure::VerifyFailed:
        return outcome(
            ExitStatus::UpdateFailed,
            tr("The board was written, but the read-back failed. %1 Do not use the board: "
               "connect again and repeat the update.")
                .arg(detail.isEmpty() ? tr("The serial daemon gave no cause.") : detail),
            detail);
    case Failure::DaemonLost:
        return outcome(ExitStatus::UpdateFailed,
                       tr("%1 The board is left without a complete firmware: update it again "
                          "before using it.")
                           .arg(detail));
    case Failure::UpdateNotStarted:
        if (facts.brokerConnected)
            return outcome(ExitStatus::UpdateFailed, detail);
        return outcome(ExitStatus::NoBroker,
                       tr("The update request could not be sent: the connection to the MQTT "
                          "broker at %1 is lost.")
                           .arg(facts.broker));
    case Failure::PortLost:
        return outcome(ExitStatus::UpdateFailed,
                       tr("%1 The board is left without a complete firmware: connect it again "
                          "and repeat the update.")
                           .arg(detail),
                       detail);
    case Failure::BrokerLost:
        return outcome(ExitStatus::NoBroker, tr("%1 The state of the board is unknown: once the "
                                                "broker runs, update the board again.")
                                                 .arg(detail));
    default:
        break;
    }
    return unknownFailure(detail, facts.phase);
}

FlashOutcome FlashReport::unknownFailure(const QString &detail, FlashPhase phase)
{
    // A reason this program does not know yet: the phase says what failed.
    ExitStatus status = ExitStatus::UpdateFailed;
    switch (phase) {
    case FlashPhase::Starting:
    case FlashPhase::Daemon:
    case FlashPhase::PortList:
        status = ExitStatus::NoDaemon;
        break;
    case FlashPhase::Broker:
        status = ExitStatus::NoBroker;
        break;
    case FlashPhase::Open:
        status = ExitStatus::PortError;
        break;
    case FlashPhase::BoardId:
        status = ExitStatus::BoardIdUnread;
        break;
    case FlashPhase::Image:
        status = ExitStatus::FileRefused;
        break;
    case FlashPhase::Update:
    case FlashPhase::Verify:
    case FlashPhase::Stopping:
    case FlashPhase::Done:
        break;
    }
    return outcome(status, detail.isEmpty() ? tr("The workflow stopped.") : detail);
}

FlashOutcome FlashReport::noPortChosen()
{
    return outcome(ExitStatus::Usage, tr("No serial port chosen: give --port DEV, or choose the "
                                         "port in the service tool's settings."));
}

FlashOutcome FlashReport::brokerLost(const QString &broker)
{
    return outcome(ExitStatus::NoBroker,
                   tr("The connection to the MQTT broker at %1 is lost.").arg(broker));
}

// ---------------------------------------------------------------------------
// Time-outs

std::optional<FlashOutcome> FlashReport::timeout(const FlashFacts &facts, int waitedMs)
{
    const QString waited = seconds(waitedMs);
    switch (facts.phase) {
    case FlashPhase::Broker:
        return outcome(ExitStatus::NoBroker,
                       tr("No MQTT broker answers at %1 (waited %2).").arg(facts.broker, waited));
    case FlashPhase::Daemon:
        return daemonTimeout(facts, waited);
    case FlashPhase::PortList:
        return outcome(ExitStatus::NoDaemon,
                       tr("The serial daemon did not send its port list within %1.").arg(waited));
    case FlashPhase::Open:
        return outcome(ExitStatus::NoDaemon, tr("The serial daemon did not answer the request to "
                                                "open %1 within %2.")
                                                 .arg(facts.port, waited));
    case FlashPhase::BoardId:
        return outcome(ExitStatus::BoardIdUnread,
                       tr("No board identifier from %1 within %2.").arg(facts.port, waited));
    case FlashPhase::Image:
        return outcome(ExitStatus::NoDaemon, tr("The serial daemon did not answer about %1 within "
                                                "%2.")
                                                 .arg(facts.file, waited));
    case FlashPhase::Update:
    case FlashPhase::Verify:
        return updateTimeout(facts, waited);
    case FlashPhase::Starting:
    case FlashPhase::Stopping:
    case FlashPhase::Done:
        break;
    }
    return std::nullopt;
}

FlashOutcome FlashReport::daemonTimeout(const FlashFacts &facts, const QString &waited)
{
    if (!facts.brokerConnected)
        return brokerLost(facts.broker);
    if (facts.daemonStarted)
        return outcome(ExitStatus::NoDaemon, tr("The serial daemon started from %1 did not answer "
                                                "within %2.")
                                                 .arg(facts.daemonProgram, waited));
    return outcome(ExitStatus::NoDaemon, tr("The serial daemon does not answer through the broker "
                                            "at %1 (waited %2).")
                                             .arg(facts.broker, waited));
}

FlashOutcome FlashReport::updateTimeout(const FlashFacts &facts, const QString &waited)
{
    if (!facts.brokerConnected) {
        // The daemon may have gone on to the end without anyone to tell.
        return {ExitStatus::NoBroker,
                tr("The connection to the MQTT broker at %1 was lost during the update: the "
                   "state of the board is unknown. Once the broker runs, update the board again.")
                    .arg(facts.broker),
                QString(), records::UpdateResult::BrokerLost};
    }
    return {ExitStatus::UpdateFailed,
            tr("No progress from the serial daemon for %1: the daemon is lost. The board is left "
               "without a complete firmware.")
                .arg(waited),
            QString(), records::UpdateResult::DaemonLost};
}

QString FlashReport::stopUnconfirmed(int waitedMs)
{
    return tr("The serial daemon did not confirm the stop within %1.").arg(seconds(waitedMs));
}

// ---------------------------------------------------------------------------
// Words for statuses

QString FlashReport::updated(const frontend::BoardConf &board, const QString &file, qint64 ms)
{
    return tr("Board %1 (%2) now holds %3; the update took %4.")
        .arg(board.id, board.name, file, ConsoleOutput::clockText(ms));
}

QString FlashReport::resultText(int status)
{
    // A number no run ends with is still one that did not end well.
    const char *text = exitStatusWords(status).text;
    return text ? tr(text) : tr("interrupted");
}

QString FlashReport::brokerText(const QString &socket, const QString &host, int port)
{
    if (!socket.isEmpty())
        return socket;
    return QStringLiteral("%1:%2").arg(host).arg(port);
}

QString FlashReport::seconds(int ms)
{
    return tr("%1 s").arg(QString::number(double(ms) / kMsPerSecond, 'g', 3));
}

// ---------------------------------------------------------------------------
// Events and the end

QJsonObject FlashReport::errorEvent(int status, const QString &text, const QString &cause)
{
    return jsonEvent(QStringLiteral("error"), {{QStringLiteral("status"), status},
                                               {QStringLiteral("reason"), exitReasonKey(status)},
                                               {QStringLiteral("text"), text},
                                               {QStringLiteral("cause"), cause}});
}

QString FlashReport::retryLine(int attempt, int attempts, int status, int pauseMs)
{
    return tr("Attempt %1 of %2 failed (%3); a new update starts in %4.")
        .arg(attempt)
        .arg(attempts)
        .arg(resultText(status), seconds(pauseMs));
}

QJsonObject FlashReport::retryEvent(int attempt, int attempts, int status, const QString &text)
{
    return jsonEvent(QStringLiteral("retry"), {{QStringLiteral("attempt"), attempt},
                                               {QStringLiteral("attempts"), attempts},
                                               {QStringLiteral("status"), status},
                                               {QStringLiteral("reason"), exitReasonKey(status)},
                                               {QStringLiteral("text"), text}});
}

QStringList FlashReport::endLines(const FlashEnd &end)
{
    QStringList lines;
    const bool ok = end.status == int(ExitStatus::Ok);
    if (end.flashing && ok)
        lines << tr("Result: OK. %1").arg(end.text);
    else if (!ok)
        lines << tr("Result: %1 (exit status %2).").arg(resultText(end.status)).arg(end.status);
    if (end.attempts > 1)
        lines << tr("Updates tried: %1.").arg(end.attempts);
    return lines;
}

QJsonObject FlashReport::resultEvent(const FlashEnd &end)
{
    QJsonObject result{{QStringLiteral("ok"), end.status == int(ExitStatus::Ok)},
                       {QStringLiteral("status"), end.status},
                       {QStringLiteral("reason"), exitReasonKey(end.status)},
                       {QStringLiteral("text"), end.text},
                       {QStringLiteral("seconds"), double(end.elapsedMs) / kMsPerSecond},
                       {QStringLiteral("attempts"), end.attempts}};
    if (end.summary) {
        const frontend::UpdateSummary &s = *end.summary;
        result.insert(QStringLiteral("board"), s.boardId);
        result.insert(QStringLiteral("file"), s.filePath);
        result.insert(QStringLiteral("blocks"), s.blocks);
        result.insert(QStringLiteral("retries"),
                      s.retries < 0 ? QJsonValue() : QJsonValue(s.retries));
        result.insert(QStringLiteral("verify"), frontend::UpdateReport::verifyKey(s.verify));
    }
    return jsonEvent(QStringLiteral("result"), result);
}

// ---------------------------------------------------------------------------
// The checked file

double FlashReport::programShare(const hexfile::ImageReport &report)
{
    return report.programAreaBytes > 0
               ? 100.0 * double(report.programmedBytes) / double(report.programAreaBytes)
               : 0.0;
}

QJsonObject FlashReport::imageCheckedEvent(const QString &path, const QByteArray &image,
                                           const hexfile::ImageReport &report,
                                           const QStringList &notes,
                                           const frontend::ImageVetting &vetting)
{
    return jsonEvent(
        QStringLiteral("image-checked"),
        {{QStringLiteral("file"), path},
         {QStringLiteral("size"), qint64(image.size())},
         {QStringLiteral("md5"), frontend::requests::md5Hex(image)},
         {QStringLiteral("programFirst"), qint64(report.programmed.first)},
         {QStringLiteral("programLast"), qint64(report.programmed.last)},
         {QStringLiteral("programBytes"), qint64(report.programmedBytes)},
         {QStringLiteral("programShare"), programShare(report)},
         {QStringLiteral("outsideFlash"), skippedJson(report.outsideFlash)},
         {QStringLiteral("outsideProgramArea"), skippedJson(report.outsideProgramArea)},
         {QStringLiteral("notes"), QJsonArray::fromStringList(notes)},
         {QStringLiteral("fromLibrary"), vetting.origin.fromLibrary.value_or(false)},
         {QStringLiteral("signature"), signatureJson(vetting)}});
}
