#pragma once

#include "frontend/cli/exitstatus.h"
#include "frontend/cli/flashphase.h"
#include "frontend/core/flashworkflow.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <optional>

// What the texts of an outcome name, as the run knows it at that moment.
struct FlashFacts
{
    FlashPhase phase = FlashPhase::Starting;
    QString port;   // the serial port, as chosen
    QString file;   // the firmware file's name, without its folder
    QString broker; // "host:port", or the private broker's socket
    bool brokerConnected = false;
    bool daemonStarted = false; // this run started the daemon
    QString daemonProgram;
    QString boardConfigFolder;
};

// How a run, or one attempt of it, ends.
struct FlashOutcome
{
    ExitStatus status = ExitStatus::Ok;
    QString text;
    // Where and why the update stopped, as the daemon said; empty otherwise.
    QString cause;
    // How the service record ends the update, where not simply as failed.
    std::optional<records::UpdateResult> record;
};

// What a run ended with, for its last lines and its "result" event.
struct FlashEnd
{
    int status = int(ExitStatus::Ok);
    QString text;
    qint64 elapsedMs = 0;
    int attempts = 1;
    bool flashing = false; // an update was asked for (not --info, --list-ports)
    // Once the workflow has ended an update, well or not.
    std::optional<frontend::UpdateSummary> summary;
};

// velmo-flash's outcomes in exit statuses and words, apart from the phases
// that meet them: the workflow's failures, the phases' time-outs, the retry
// and end lines with their events, and the JSON of the checked file. Pure,
// but for the two looks at the disk noted below.
class FlashReport
{
    Q_DECLARE_TR_FUNCTIONS(FlashReport)

public:
    using Failure = frontend::FlashWorkflow::Failure;

    // None when the failure ends nothing: a port error once the board is
    // connected is the update's, which the daemon reports itself. Looks
    // for the board's configuration file and probes the port's device for
    // a hint.
    static std::optional<FlashOutcome> failure(Failure failure, const QString &detail,
                                               const FlashFacts &facts);
    // The phase in `facts` waited `waitedMs` in vain. None for the phases
    // without a wait of their own, and for Stopping (see stopUnconfirmed).
    static std::optional<FlashOutcome> timeout(const FlashFacts &facts, int waitedMs);
    static QString stopUnconfirmed(int waitedMs);
    static FlashOutcome noPortChosen();
    // The text of a good update's end.
    static QString updated(const frontend::BoardConf &board, const QString &file, qint64 ms);

    // "no MQTT broker" for 3, as the "Result:" line names a status.
    static QString resultText(int status);
    // The private broker's socket when one is in use, else "host:port".
    static QString brokerText(const QString &socket, const QString &host, int port);
    // "2.5 s".
    static QString seconds(int ms);

    static QJsonObject errorEvent(int status, const QString &text, const QString &cause);
    static QString retryLine(int attempt, int attempts, int status, int pauseMs);
    static QJsonObject retryEvent(int attempt, int attempts, int status, const QString &text);
    static QStringList endLines(const FlashEnd &end);
    static QJsonObject resultEvent(const FlashEnd &end);

    // The share of the program area the file gives a value, in percent.
    static double programShare(const hexfile::ImageReport &report);
    static QJsonObject imageCheckedEvent(const QString &path, const QByteArray &image,
                                         const hexfile::ImageReport &report,
                                         const QStringList &notes,
                                         const frontend::ImageVetting &vetting);

private:
    static std::optional<FlashOutcome> connectionFailure(Failure failure, const QString &detail,
                                                         const FlashFacts &facts);
    static FlashOutcome fileFailure(Failure failure, const QString &detail,
                                    const FlashFacts &facts);
    static FlashOutcome updateFailure(Failure failure, const QString &detail,
                                      const FlashFacts &facts);
    static FlashOutcome unknownFailure(const QString &detail, FlashPhase phase);
    static FlashOutcome daemonTimeout(const FlashFacts &facts, const QString &waited);
    static FlashOutcome updateTimeout(const FlashFacts &facts, const QString &waited);
    static FlashOutcome brokerLost(const QString &broker);
};
