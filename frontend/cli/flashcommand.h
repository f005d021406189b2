#pragma once

#include "frontend/base/daemonstart.h"
#include "frontend/base/preferences.h"
#include "frontend/cli/consoleoutput.h"
#include "frontend/cli/exitstatus.h"
#include "frontend/cli/flashoptions.h"
#include "frontend/cli/flashphase.h"
#include "frontend/cli/flashtimeouts.h"
#include "frontend/core/flashworkflow.h"
#include "frontend/core/updateprogress.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class InstanceGuard;
struct FlashFacts;
struct FlashOutcome;

namespace frontend {
class LibraryImageGate;
class SystemMgr;
class SystemMgrLink;
} // namespace frontend

namespace records {
class UpdateRecorder;
}

// velmo-flash's work with the daemon: the window's FlashWorkflow driven
// without a window, through the same SystemMgr, with a time-out on every
// phase, the outcome as an exit status (in FlashReport's words), and Ctrl+C
// handled as the window's close is. --history needs no daemon and is not done here.
//
// The workflow's own daemon check is not used: the command asks for the
// pong itself, at once and repeatedly, since it cannot wait ten seconds.
class FlashCommand : public QObject
{
    Q_OBJECT

public:
    using Phase = FlashPhase;

    static constexpr const char *kProgramName = "velmo-flash";

    FlashCommand(const FlashOptions &options, const frontend::StoredPreferences &preferences,
                 ConsoleOutput &output, QObject *parent = nullptr);
    ~FlashCommand() override;

    void setTimeouts(const FlashTimeouts &timeouts) { m_timeouts = timeouts; }
    // The daemon started when it is absent, as the window starts it.
    void setDaemonProgram(const QString &program) { m_daemonStart.setProgram(program); }

    Phase phase() const { return m_phase; }
    // Meaningful once finished() was emitted.
    int exitStatus() const { return m_status; }

public slots:
    void start();
    // SIGINT or SIGTERM arrived. During an update the first one stops it as
    // closing the window would; the second one ends at once.
    void interrupt(int signalNumber);

signals:
    // Emitted once, when the command is over: the process's exit status.
    void finished(int status);

private:
    class ReplyTap;

    void enterPhase(Phase phase, int timeoutMs);
    void phaseTimedOut();
    void brokerTick();
    void ping();

    bool loadImage(const QString &path);
    // --latest: the newest library file for the connected board, loaded.
    bool loadLatest();
    void startDaemonIfAbsent();
    QString privateSocket() const;
    void connectTransport();
    void daemonAnswered();
    void replyArrived(const QString &topic);

    void onStage(frontend::FlashWorkflow::Stage stage);
    void onFailure(frontend::FlashWorkflow::Failure failure, const QString &detail);
    void onProgress(int percent);
    void onUpdateFinished(bool succeeded);
    void onVerifyProgress(int percent);

    void imageChecked();
    void boardConnected();
    void showBoardInfo(const frontend::BoardConf &conf, const QString &configPath);
    void sendImage();
    void startUpdate();

    // --retries: whether a failure ending with `status` gets a new update.
    bool retries(int status) const;
    void retry(int status, const QString &text);
    void endAttempt();
    void beginAttempt();

    void fail(ExitStatus status, const QString &text);
    void fail(const FlashOutcome &outcome);
    void finish(int status, const QString &text);
    // A record still open ends as failed; the port is closed.
    void windUp();
    void finishNow();
    void emitFinished();

    bool brokerConnected() const;
    QString portName() const;
    QString fileName() const;
    // What the run knows now, for the texts of its outcome.
    FlashFacts facts() const;

    const FlashOptions m_options;
    const frontend::StoredPreferences m_preferences;
    ConsoleOutput &m_out;
    FlashTimeouts m_timeouts;
    frontend::DaemonStart m_daemonStart;

    QString m_brokerHost;
    int m_brokerPort = FlashOptions::kDefaultBrokerPort;
    std::unique_ptr<InstanceGuard> m_frontEndKey;
    std::unique_ptr<frontend::SystemMgr> m_systemMgr;
    std::unique_ptr<frontend::SystemMgrLink> m_link;
    std::unique_ptr<ReplyTap> m_tap;
    std::unique_ptr<frontend::FlashWorkflow> m_workflow;
    std::unique_ptr<records::UpdateRecorder> m_recorder;
    std::unique_ptr<frontend::LibraryImageGate> m_gate;

    Phase m_phase = Phase::Starting;
    QTimer m_phaseTimer;
    QTimer m_brokerPoll;
    QTimer m_pingTimer;
    QElapsedTimer m_clock;       // since start()
    QElapsedTimer m_updateClock; // since the update request
    bool m_daemonStarted = false;
    bool m_daemonAnswered = false;

    QByteArray m_image;
    QString m_imagePath;
    int m_totalBlocks = 0;
    bool m_pageErase = false;
    frontend::UpdateProgress m_progress;
    int m_lastPercent = 0;
    int m_lastVerifyPercent = 0;
    bool m_updateEnded = false; // the workflow reported the update's end

    bool m_finishing = false;
    bool m_finishedEmitted = false;
    int m_status = int(ExitStatus::Ok);
    QString m_resultText;
    QString m_cause; // where and why the update stopped, as the daemon said
    int m_signals = 0;

    int m_attempt = 1;
    int m_retriesLeft = 0;
    bool m_updateBegun = false;     // an update of this run was requested
    bool m_betweenAttempts = false; // a failed attempt is being ended
    QTimer m_retryTimer;
};
