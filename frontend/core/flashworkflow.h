#pragma once

#include "firmware/imagecheck.h"
#include "frontend/core/boardconfig.h"
#include "frontend/core/imagegate.h"
#include "frontend/core/updateprogress.h"
#include "frontend/core/updatereport.h"

#include <QElapsedTimer>
#include <QFlags>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <optional>

namespace records {
class UpdateRecorder;
}

namespace frontend {

class DaemonLink;
class DaemonStart;

// The connection and firmware-update workflow: what is sent after which
// reply, what the user is told, which controls are open, and the check that
// the daemon answers. The window forwards the user's actions and every
// statusReady() here and shows what the signals say; boxes and the file
// dialog go through UserDialogs. Nothing here needs widgets, so a program
// without a window can drive the same workflow.
//
// Replies are applied as they arrive, whatever the stage: the marks of the
// StatusObject decide, in a fixed order, and each is lowered before its step
// can open a box (a box runs the event loop, and a reply arriving meanwhile
// is applied by a nested statusReady()).
class FlashWorkflow : public QObject
{
    Q_OBJECT

public:
    // The user's ways on; the window maps each to its widgets.
    enum class Control : unsigned
    {
        Connect = 0x001,     // actionConnect
        Disconnect = 0x002,  // actionDisconnect
        Configure = 0x004,   // actionConfigure
        Quit = 0x008,        // actionQuit
        OpenFile = 0x010,    // actionOpenFile, btnOpenFile
        Update = 0x020,      // actionUpdate, btnUpdate
        EraseAll = 0x040,    // checkBoxEraseAll
        ExitBoot = 0x080,    // btnExitBoot
        ImageInfo = 0x100,   // labelHexInfo, labelHexVers
        Progress = 0x200,    // progressBarUpdate
        UpdateAgain = 0x400, // btnUpdateAgain: only after a failed update
    };
    Q_DECLARE_FLAGS(Controls, Control)
    Q_FLAG(Controls)

    // Where the user and the daemon have brought the workflow.
    enum class Stage
    {
        Idle,           // no port open (as far as the front end asked)
        Opening,        // setup and open sent (or the daemon being started)
        ReadingId,      // the port is open, the board's id asked for
        PortOpen,       // the id was out of range or its board has no
                        // configuration: the port stays open, no board
        BoardConnected, // configuration sent; an image may be chosen
        ImageSent,      // image and digest sent, no answer yet
        ImageAccepted,  // the daemon took the image; the update may start
        Updating,       // update requested
        Verifying,      // written; the board is being read back
    };
    Q_ENUM(Stage)

    // Why the workflow stopped short, for callers that act on it rather
    // than on the texts (a program without a window maps them to exit
    // codes). The user is told through the boxes and messages as before.
    enum class Failure
    {
        DaemonAbsent,      // no pong to the daemon check
        PortError,         // the daemon could not open the port; detail: its text
        BoardIdOutOfRange, // the id read is not a board's; detail: the id
        NoBoardConfig,     // no usable configuration file; detail: the id
        BoardIdUnread,     // the board did not answer the id request
        ImageNotLoaded,    // the file could not be read, was empty or too large
        ImageNotSent,      // the broker refused the file
        ImageRefused,      // the daemon refused the file
        UpdateFailed,      // the board stopped answering during the update
        ImageCheckFailed,  // the file does not fit the board; detail: the reason
        DaemonLost,        // no reply during the update; detail: the reason
        UpdateNotStarted,  // the update request was not sent or not taken up
        VerifyFailed,      // written, but the read-back found a difference or
                           // could not be completed; detail: the reason
        PortLost,          // the port went away during the update; detail: the reason
        BrokerLost,        // the broker went away during the update; detail: the reason
        NoAnswer,          // a request got no answer within its time; detail: the reason
        NoPortChosen,      // Connect without a port: the settings are asked for
    };
    Q_ENUM(Failure)

    // The daemon check: the first ping after this long, then this long for
    // the pong.
    static constexpr int kDaemonCheckDelayMs = 10000;
    static constexpr int kDaemonPongWaitMs = 5000;
    // During an update: a ping after this long without any reply, and this
    // long for its answer before the daemon counts as gone.
    static constexpr int kUpdateQuietMs = 5000;
    static constexpr int kUpdatePingWaitMs = 5000;
    // The daemon reports its first progress value after the erase (which it
    // gives 10 s) and 1 % of the blocks, or ends the update; it says nothing
    // at all to a request it cannot serve. Time allowed for that: this, plus
    // kUpdateStartMsPerBlock for each block before the first value.
    static constexpr int kUpdateStartTimeoutMs = 30000;
    static constexpr int kUpdateStartMsPerBlock = 50;
    // A daemon that reads back answers the request within a few seconds
    // (three tries of 1 s at most for the first block); one that does not
    // know the request says nothing.
    static constexpr int kVerifyStartTimeoutMs = 10000;
    // Connecting: the daemon's answer to the open request; to the board
    // identifier (the daemon tries 12 times for 1 s each, then says so; the
    // margin lets that answer arrive); to the file (more for a big one).
    static constexpr int kOpenTimeoutMs = 5000;
    static constexpr int kDaemonIdMs = 12000;
    static constexpr int kAnswerMarginMs = 3000;
    static constexpr int kIdTimeoutMs = kDaemonIdMs + kAnswerMarginMs;
    static constexpr int kImageTimeoutMs = 10000;
    static constexpr int kImageMsPerMiB = 1000;
    // A daemon started at Connect is pinged this often until it answers.
    static constexpr int kDaemonStartPingMs = 500;
    static constexpr int kDaemonStartTimeoutMs = 10000;
    // The port went away during the update: the daemon ends the update at
    // once; without its word after this long, the update is ended here.
    static constexpr int kPortLostWaitMs = 3000;

    // How long the daemon may take to judge a file of `bytes`.
    static int imageAnswerMs(qint64 bytes, int baseMs = kImageTimeoutMs,
                             int msPerMiB = kImageMsPerMiB);

    // The controls open before anything was connected.
    static Controls startControls();
    // The controls closed while the board is being written.
    static Controls writingLocks();

    // `link` must outlive the workflow.
    explicit FlashWorkflow(DaemonLink &link, QObject *parent = nullptr);
    ~FlashWorkflow() override;

    Stage stage() const { return m_stage; }
    // The board as the daemon reported it and its configuration describes
    // it (meaningful from BoardConnected on).
    const BoardConf &boardConf() const;
    Controls enabledControls() const { return m_controls; }
    bool isEnabled(Control control) const { return m_controls.testFlag(control); }
    bool daemonCheckPending() const { return m_daemonCheckPending; }
    const QTimer &serialTimer() const { return m_serialTimer; }

    // How long the daemon check waits before its ping and then for the pong;
    // kDaemonCheckDelayMs and kDaemonPongWaitMs unless set.
    void setDaemonCheckTimes(int delayMs, int pongWaitMs);
    // The update's watch: the quiet time before a ping, the wait for its
    // answer and the base time allowed until the first progress value;
    // kUpdateQuietMs, kUpdatePingWaitMs and kUpdateStartTimeoutMs unless set.
    void setUpdateWatchTimes(int quietMs, int pingWaitMs, int startTimeoutMs);
    // How long a connection's requests wait for their answers (the open,
    // the identifier, the file) and for a daemon started at Connect; 0
    // switches that wait off, for a caller that times them itself.
    void setRequestTimes(int openMs, int idMs, int imageMs, int daemonStartMs);
    // Starts the daemon of the broker in use at Connect when it is not
    // running (not owned; may be null: the daemon is then taken as it is).
    void setDaemonStart(DaemonStart *daemonStart) { m_daemonStart = daemonStart; }

    // The board is being written (or its update was asked for).
    bool isUpdating() const { return m_writing; }
    // Blocks written and time left of the running update.
    const UpdateProgress &updateProgress() const { return m_progress; }
    // Whether the program may close now: asks the user first while an
    // update runs (No is the default).
    bool confirmClose();

    // After the writes, read the board back and compare (the default).
    void setVerifyAfterWriting(bool verify) { m_verifyAfterWriting = verify; }
    bool verifyAfterWriting() const { return m_verifyAfterWriting; }
    void setVerifyStartTimeout(int ms) { m_verifyStartMs = ms; }
    // The last update that ended: board, file, blocks, time, retries and
    // what the read-back found.
    const UpdateSummary &lastSummary() const { return m_summary; }

    // The check of the image sent last (empty before one was checked), and
    // what it tells about bytes that will not be written, one text each.
    const hexfile::ImageReport &imageReport() const { return m_imageReport; }
    const QStringList &imageNotes() const { return m_imageNotes; }

    // Asked about every file that passed the check before it is sent (not
    // owned; may be null: then every such file goes). What it said of the
    // file sent last stays readable.
    void setImageGate(ImageGate *gate) { m_gate = gate; }
    const ImageVetting &imageVetting() const { return m_vetting; }

    // Where the board configuration files are looked up; "../configs/"
    // unless set.
    void setBoardConfigFolder(const QString &folder) { m_configFolder = folder; }

    // Where the updates are recorded (not owned; may be null). The workflow
    // reports the image sent, the start, the daemon's errors and the outcome.
    void setRecorder(records::UpdateRecorder *recorder) { m_recorder = recorder; }
    records::UpdateRecorder *recorder() const { return m_recorder; }
    const QString &boardConfigFolder() const { return m_configFolder; }

public slots:
    // First connection to the stored broker; the daemon check follows.
    void start();
    // The stored broker changed: connect there and check the daemon again.
    void restartMqttConnection();
    // One step of the daemon check (the serial timer's time-out).
    void processSerialTimeout();
    // Sends the stored serial settings; the port is not opened.
    void updateSetup();
    // Asks the daemon for its port list.
    void requestPortList();
    void openSerialPort();
    void closeSerialPort();
    // Lets the user choose a HEX file, then sends it.
    void openFile();
    // Shows `path` as the chosen file and sends it, as openFile() does
    // after its dialog (the firmware library's choice).
    void loadFile(const QString &path);
    // Sends the HEX file at `path` with its digest.
    void sendImageFile(const QString &path);
    void startUpdate(bool eraseAll);
    // Leaves the boot loader and closes the port.
    void exitBoot();
    // After a failed update: connects, sends the same file again and starts
    // the update, each step on the answer to the one before.
    void updateAgain();
    // Applies the raised marks of the StatusObject and lowers them.
    void statusReady();

signals:
    // The status bar's message area; an empty text clears it.
    void statusMessage(const QString &text);
    // The permanent connection label beside it.
    void connectionText(const QString &text);
    void controlsChanged(frontend::FlashWorkflow::Controls enabled);
    void progressChanged(int percent);
    // The erase before the first block: no percentage to show, only work.
    void progressBusy(bool busy);
    // A failed update: the bar stays at `percent` and says `text`, until the
    // next progressChanged().
    void progressStopped(int percent, const QString &text);
    // Connect found no port chosen: the settings are to be shown.
    void settingsRequested();
    // The image file being sent; empty once its update is done.
    void imagePathChanged(const QString &path);
    // The board the accepted image is for (its configuration's name).
    void imageBoardChanged(const QString &name);
    // Hex File Info of the accepted image: size, MD5, the addresses it
    // programs and what is not written; empty when there is none.
    void imageInfoChanged(const QString &text);
    void stageChanged(frontend::FlashWorkflow::Stage stage);
    // An update ended: after its box, with the port closed.
    void updateFinished(bool succeeded);
    // Emitted once per failure, before its box; `detail` as listed above.
    void failed(frontend::FlashWorkflow::Failure failure, const QString &detail);
    // The daemon answered its check.
    void daemonAnswered();

private:
    enum class Waiting
    {
        None,
        DaemonStart, // pong of a daemon started at Connect
        Open,        // "SERIAL/OPEN"
        Id,          // "SERIAL/READ/ID"
        Image,       // "SERIAL/FLASH"
    };

    void setStage(Stage stage);
    // Emits failed(); a failure also ends an Update again in progress.
    void fail(Failure failure, const QString &detail);
    void refreshUpdateAgain();
    void beginConnect();
    void sendOpen();
    void waitFor(Waiting what, int ms);
    void answered(Waiting what);
    void requestTimedOut();
    void pingStartedDaemon();
    // Why nothing answers: the broker, or else the daemon.
    QString silenceAdvice() const;
    // Where a failed update stopped, for the bar: from the daemon's reason
    // or the progress, or that it was being read back.
    QString stoppedText() const;
    void showStopped();
    void portLostTimeout();
    // The one box and record of an update whose port went away while the
    // board was written or read back; `daemonEnded`: the daemon's "ERROR"
    // has come.
    void endPortLost(bool daemonEnded);
    // Opens `enable`, then closes `disable`; one controlsChanged() at most.
    void switchControls(Controls enable, Controls disable = {});
    void connectBoard();
    // `showWhere`: the bar stays at where a failed update stopped.
    void endWriting(bool failed = false, bool showWhere = true);
    QString portName() const;
    // A status-bar text about the open connection, which the port's closing
    // takes away again.
    void showState(const QString &text);
    // A status-bar text that stays until the next one.
    void showStatus(const QString &text);
    // Update, its erase choice and the accepted image are off until the
    // daemon accepts a new one.
    void disarmImage();
    void refuseImage(Failure failure, const QString &detail, const QString &status);
    void refuseUnsent(const QString &reason, const QStringList &notes = QStringList());
    bool boardKnown() const;
    void startWatch();
    void stopWatch();
    void replyArrived();
    void watchTimeout();
    void updateStartTimeout();
    void startVerify();
    void verifyStartTimeout();
    UpdateSummary summaryNow(records::VerifyResult verify) const;
    // The update ended well: record, box, leave the boot loader.
    void completeUpdate(records::VerifyResult verify);
    // The update (or its read-back) failed; `reason` as the daemon gave it.
    void failUpdate(Failure failure, const std::optional<protocol::FailureReason> &reason,
                    records::VerifyResult verify);
    // The update cannot end by the daemon's word: say why, unlock, close.
    void abandonUpdate(Failure failure, const QString &reason, const QString &advice);

    DaemonLink &m_link;
    QTimer m_serialTimer;
    int m_checkDelayMs = kDaemonCheckDelayMs;
    int m_pongWaitMs = kDaemonPongWaitMs;
    bool m_daemonCheckPending = false;
    Stage m_stage = Stage::Idle;
    Controls m_controls;
    QString m_configFolder = QString::fromLatin1(kBoardConfigFolder);
    records::UpdateRecorder *m_recorder = nullptr;
    ImageGate *m_gate = nullptr;
    ImageVetting m_vetting;
    bool m_stateShown = false;   // the status bar shows a state text
    bool m_imageChecked = false; // the image sent passed the check here
    hexfile::ImageReport m_imageReport;
    QStringList m_imageNotes;
    QString m_imageInfo;
    bool m_writing = false;     // from the update request until its end
    bool m_askingClose = false; // confirmClose() waits for the user

    QTimer m_watchTimer;       // quiet time, then the ping's wait
    QTimer m_updateStartTimer; // until the first progress value
    bool m_watchPinged = false;
    bool m_watchPingSent = false; // the broker took that ping
    int m_quietMs = kUpdateQuietMs;
    int m_pingWaitMs = kUpdatePingWaitMs;
    int m_startTimeoutMs = kUpdateStartTimeoutMs;
    UpdateProgress m_progress;
    int m_percent = 0; // last progress value of the running update
    QElapsedTimer m_clock;

    DaemonStart *m_daemonStart = nullptr;
    bool m_daemonHeard = false;      // a pong came, and nothing since says it is gone
    bool m_daemonStartedNow = false; // by this Connect
    Waiting m_waiting = Waiting::None;
    QTimer m_requestTimer;
    QTimer m_daemonPingTimer;
    int m_openTimeoutMs = kOpenTimeoutMs;
    int m_idTimeoutMs = kIdTimeoutMs;
    int m_imageTimeoutMs = kImageTimeoutMs;
    int m_daemonStartMs = kDaemonStartTimeoutMs;

    bool m_verifyAfterWriting = true;
    int m_verifyStartMs = kVerifyStartTimeoutMs;
    QTimer m_verifyStartTimer;   // until the read-back's first word
    QElapsedTimer m_updateClock; // since the update request
    UpdateSummary m_summary;

    QString m_imagePath;       // the file sent last
    QString m_updateImagePath; // the file of the running update
    bool m_updateEraseAll = true;
    QString m_againImagePath; // the file of the failed update; empty: none
    bool m_againEraseAll = true;
    bool m_updatingAgain = false;
    // The update was ended here and told; the daemon's own end of it may
    // still come.
    bool m_endTold = false;

    // The broker went: where the update stands is unknown.
    bool m_onlyLastHeard = false;
    bool m_barStopped = false; // the bar shows where a failed update stopped
    QString m_portLostText;    // the daemon's word that the port went away
    QString m_updateErrorText; // the daemon's last error during the update
    QTimer m_portLostTimer;
};

} // namespace frontend

Q_DECLARE_OPERATORS_FOR_FLAGS(frontend::FlashWorkflow::Controls)
