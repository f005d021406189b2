#include "frontend/core/flashworkflow.h"

#include "firmware/flashplan.h"
#include "firmware/imagecheck.h"
#include "frontend/base/daemonstart.h"
#include "frontend/base/userdialogs.h"
#include "frontend/core/daemonlink.h"
#include "frontend/core/imagefile.h"
#include "frontend/core/imagereport.h"
#include "frontend/core/porthint.h"
#include "frontend/core/requests.h"
#include "protocol/topics.h"
#include "records/updaterecorder.h"

#include <QCoreApplication>
#include <QDebug>

#include <climits>
#include <optional>
#include <utility>

// The user reads these texts in the main window: they keep its translation
// context, "MainWindow".
namespace frontend {

namespace request = protocol::request;
namespace payload = protocol::payload;

namespace {

// What the user can do after an update that did not end well.
QString incompleteFirmwareAdvice()
{
    return QCoreApplication::translate(
        "MainWindow", "The board is left without a complete firmware. The update can be started "
                      "again once the board answers: press Update again.");
}

QString seconds(int ms)
{
    return QString::number((ms + 500) / 1000);
}

constexpr qint64 kBytesPerMiB = qint64(1024) * 1024;

// Two texts as sentences of one line; the daemon's texts end without a stop.
QString sentences(const QString &first, const QString &second)
{
    const bool stop = first.endsWith(QLatin1Char('.'));
    return first + (stop ? QStringLiteral(" ") : QStringLiteral(". ")) + second;
}

int totalBlocksOf(const BoardConf &conf)
{
    return FlashPlan(conf.layout(), true).totalBlocks();
}

} // namespace

FlashWorkflow::Controls FlashWorkflow::startControls()
{
    return Control::Connect | Control::Configure | Control::Quit;
}

int FlashWorkflow::imageAnswerMs(qint64 bytes, int baseMs, int msPerMiB)
{
    const qint64 mib = (qMax<qint64>(0, bytes) + kBytesPerMiB - 1) / kBytesPerMiB;
    return int(qMin<qint64>(baseMs + mib * msPerMiB, INT_MAX));
}

FlashWorkflow::Controls FlashWorkflow::writingLocks()
{
    return Control::Disconnect | Control::Quit | Control::Update | Control::OpenFile |
           Control::EraseAll | Control::ExitBoot;
}

FlashWorkflow::FlashWorkflow(DaemonLink &link, QObject *parent)
    : QObject(parent)
    , m_link(link)
    , m_controls(startControls())
{
    m_serialTimer.setSingleShot(true);
    connect(&m_serialTimer, &QTimer::timeout, this, &FlashWorkflow::processSerialTimeout);
    m_watchTimer.setSingleShot(true);
    connect(&m_watchTimer, &QTimer::timeout, this, &FlashWorkflow::watchTimeout);
    m_updateStartTimer.setSingleShot(true);
    connect(&m_updateStartTimer, &QTimer::timeout, this, &FlashWorkflow::updateStartTimeout);
    m_requestTimer.setSingleShot(true);
    connect(&m_requestTimer, &QTimer::timeout, this, &FlashWorkflow::requestTimedOut);
    connect(&m_daemonPingTimer, &QTimer::timeout, this, &FlashWorkflow::pingStartedDaemon);
    m_portLostTimer.setSingleShot(true);
    connect(&m_portLostTimer, &QTimer::timeout, this, &FlashWorkflow::portLostTimeout);
    m_verifyStartTimer.setSingleShot(true);
    connect(&m_verifyStartTimer, &QTimer::timeout, this, &FlashWorkflow::verifyStartTimeout);
    m_clock.start();
}

FlashWorkflow::~FlashWorkflow() = default;

const BoardConf &FlashWorkflow::boardConf() const
{
    return m_link.status().m_BoardConf;
}

void FlashWorkflow::setStage(Stage stage)
{
    if (m_stage == stage)
        return;
    m_stage = stage;
    emit stageChanged(stage);
    refreshUpdateAgain();
}

void FlashWorkflow::fail(Failure failure, const QString &detail)
{
    m_updatingAgain = false;
    emit failed(failure, detail);
}

void FlashWorkflow::refreshUpdateAgain()
{
    // Offered while nothing else goes on; the next Connect would do the
    // same by hand.
    const bool offer =
        !m_againImagePath.isEmpty() && m_stage == Stage::Idle && !m_writing && !m_updatingAgain;
    if (offer)
        switchControls(Control::UpdateAgain);
    else
        switchControls({}, Control::UpdateAgain);
}

void FlashWorkflow::switchControls(Controls enable, Controls disable)
{
    const Controls next = (m_controls | enable) & ~disable;
    if (next == m_controls)
        return;
    m_controls = next;
    emit controlsChanged(m_controls);
}

void FlashWorkflow::setDaemonCheckTimes(int delayMs, int pongWaitMs)
{
    m_checkDelayMs = delayMs;
    m_pongWaitMs = pongWaitMs;
}

void FlashWorkflow::setUpdateWatchTimes(int quietMs, int pingWaitMs, int startTimeoutMs)
{
    m_quietMs = quietMs;
    m_pingWaitMs = pingWaitMs;
    m_startTimeoutMs = startTimeoutMs;
}

void FlashWorkflow::setRequestTimes(int openMs, int idMs, int imageMs, int daemonStartMs)
{
    m_openTimeoutMs = openMs;
    m_idTimeoutMs = idMs;
    m_imageTimeoutMs = imageMs;
    m_daemonStartMs = daemonStartMs;
}

QString FlashWorkflow::portName() const
{
    return m_link.status().portSettings.portName;
}

void FlashWorkflow::showState(const QString &text)
{
    emit statusMessage(text);
    m_stateShown = true;
}

void FlashWorkflow::showStatus(const QString &text)
{
    emit statusMessage(text);
    m_stateShown = false;
}

bool FlashWorkflow::boardKnown() const
{
    const bool configured = m_stage == Stage::BoardConnected || m_stage == Stage::ImageSent ||
                            m_stage == Stage::ImageAccepted;
    return configured && protocol::parseBoardIdText(m_link.status().m_BoardConf.id).has_value();
}

bool FlashWorkflow::confirmClose()
{
    if (!m_writing)
        return true;
    // The update may end while the user thinks; endWriting() then takes the
    // question back, and the window stays to show the result.
    m_askingClose = true;
    const UserDialogs::Answer answer = UserDialogs::instance().askYesNo(
        UserDialogs::Kind::Warning, QStringLiteral("Warning"),
        QCoreApplication::translate("MainWindow",
                                    "An update is running. Closing now stops it and leaves the "
                                    "board without a complete firmware. Close anyway?"),
        UserDialogs::Answer::No);
    m_askingClose = false;
    return answer == UserDialogs::Answer::Yes;
}

void FlashWorkflow::start()
{
    const StatusObject &status = m_link.status();
    m_link.startConnection(status.brokerHost, status.brokerPort);
    m_serialTimer.start(m_checkDelayMs);
    m_daemonCheckPending = false;
}

void FlashWorkflow::restartMqttConnection()
{
    const StatusObject &status = m_link.status();
    m_link.startConnection(status.brokerHost, status.brokerPort);
    m_serialTimer.start(m_checkDelayMs);
}

void FlashWorkflow::processSerialTimeout()
{
    if (!m_daemonCheckPending) {
        m_link.publish(request::kPing, payload::kBlank);
        m_link.publish(request::kInfo, payload::kBlank);
        m_link.publish(request::kVersion, payload::kBlank);
        m_serialTimer.start(m_pongWaitMs);
        m_daemonCheckPending = true;
        return;
    }
    m_daemonCheckPending = false;
    const QString text =
        QCoreApplication::translate("MainWindow", "Unable to connect with serial daemon.");
    emit failed(Failure::DaemonAbsent, QString());
    UserDialogs::instance().warning(QStringLiteral("Warning"), text);
    showStatus(text);
    emit connectionText(text);
}

void FlashWorkflow::updateSetup()
{
    m_link.sendSerialSetup(m_link.status().portSettings);
}

void FlashWorkflow::requestPortList()
{
    m_link.publish(request::kInfo, payload::kBlank);
}

void FlashWorkflow::openSerialPort()
{
    m_updatingAgain = false;
    beginConnect();
}

void FlashWorkflow::beginConnect()
{
    if (portName().trimmed().isEmpty()) {
        // "Com=" would only earn "Can't open , error code 8".
        showStatus(
            QCoreApplication::translate("MainWindow", "Choose the board's serial port first."));
        fail(Failure::NoPortChosen, QString());
        emit settingsRequested();
        return;
    }
    // A daemon started here serves no TCP broker on another machine.
    const QString socket = m_link.brokerSocket();
    if (m_daemonStart && DaemonStart::servesBroker(socket, m_link.status().brokerHost)) {
        const DaemonStart::Result result = m_daemonStart->ensure(socket);
        m_daemonStartedNow = result == DaemonStart::Result::Started;
        switch (result) {
        case DaemonStart::Result::Running:
            // Running, but not heard from yet (just started, or gone quiet):
            // an open sent before it listens would be lost.
            if (m_daemonHeard)
                break;
            [[fallthrough]];
        case DaemonStart::Result::Started:
            // As at start-up; the open follows its first answer.
            setStage(Stage::Opening);
            showState(
                m_daemonStartedNow
                    ? QCoreApplication::translate("MainWindow", "Starting the serial daemon…")
                    : QCoreApplication::translate("MainWindow", "Waiting for the serial daemon…"));
            emit connectionText(
                QCoreApplication::translate("MainWindow", "Open Port: %1").arg(portName()));
            waitFor(Waiting::DaemonStart, m_daemonStartMs);
            pingStartedDaemon();
            m_daemonPingTimer.start(kDaemonStartPingMs);
            return;
        case DaemonStart::Result::Failed: {
            const QString text =
                QCoreApplication::translate("MainWindow", "Unable to connect with serial daemon.");
            const QString why =
                QCoreApplication::translate("MainWindow", "%1 could not be started: %2.")
                    .arg(m_daemonStart->program(), m_daemonStart->errorString());
            setStage(Stage::Idle);
            fail(Failure::DaemonAbsent, why);
            showStatus(text);
            UserDialogs::instance().warning(QStringLiteral("Warning"),
                                            text + QLatin1Char('\n') + why);
            return;
        }
        }
    }
    sendOpen();
}

void FlashWorkflow::sendOpen()
{
    setStage(Stage::Opening);
    showStatus(QString());
    emit connectionText(QCoreApplication::translate("MainWindow", "Open Port: %1").arg(portName()));
    const bool sent = m_link.sendSerialSetup(m_link.status().portSettings) &&
                      m_link.publish(request::kSerial, payload::kOpen);
    if (!sent) {
        // Nothing will answer a request the broker never took.
        const StatusObject &so = m_link.status();
        const QString text =
            QCoreApplication::translate(
                "MainWindow", "The request to open %1 could not be sent: the message broker "
                              "at %2:%3 does not answer.")
                .arg(portName(), so.brokerHost)
                .arg(so.brokerPort);
        setStage(Stage::Idle);
        emit connectionText(QCoreApplication::translate("MainWindow", "Disconnected"));
        fail(Failure::NoAnswer, text);
        showStatus(text);
        UserDialogs::instance().critical(
            QStringLiteral("Error"),
            text + QLatin1Char('\n') +
                QCoreApplication::translate(
                    "MainWindow", "Check that the broker (mosquitto) runs, then connect again."));
        return;
    }
    waitFor(Waiting::Open, m_openTimeoutMs);
}

void FlashWorkflow::waitFor(Waiting what, int ms)
{
    m_waiting = what;
    if (ms > 0)
        m_requestTimer.start(ms);
    else
        m_requestTimer.stop();
}

void FlashWorkflow::answered(Waiting what)
{
    if (m_waiting != what)
        return;
    m_waiting = Waiting::None;
    m_requestTimer.stop();
    m_daemonPingTimer.stop();
}

void FlashWorkflow::pingStartedDaemon()
{
    m_link.publish(request::kPing, payload::kBlank);
}

QString FlashWorkflow::silenceAdvice() const
{
    if (!m_link.brokerConnected()) {
        const StatusObject &so = m_link.status();
        return QCoreApplication::translate(
                   "MainWindow",
                   "The message broker at %1:%2 does not answer: check that it runs (mosquitto), "
                   "then connect again.")
            .arg(so.brokerHost)
            .arg(so.brokerPort);
    }
    return QCoreApplication::translate(
        "MainWindow",
        "The serial daemon may have stopped. Connect again: it is started when it is not "
        "running.");
}

void FlashWorkflow::requestTimedOut()
{
    const Waiting what = std::exchange(m_waiting, Waiting::None);
    m_daemonPingTimer.stop();
    const int waited = m_requestTimer.interval();
    QString text;
    switch (what) {
    case Waiting::None:
        return;
    case Waiting::DaemonStart:
        text =
            m_daemonStartedNow
                ? QCoreApplication::translate(
                      "MainWindow", "The serial daemon started from %1 did not answer within %2 s.")
                      .arg(m_daemonStart ? m_daemonStart->program() : QString(), seconds(waited))
                : QCoreApplication::translate("MainWindow",
                                              "The serial daemon did not answer within %1 s.")
                      .arg(seconds(waited));
        break;
    case Waiting::Open:
        text = QCoreApplication::translate(
                   "MainWindow",
                   "The serial daemon did not answer the request to open %1 within %2 s.")
                   .arg(portName(), seconds(waited));
        break;
    case Waiting::Id:
        text =
            QCoreApplication::translate(
                "MainWindow", "The serial daemon did not report the board identifier within %1 s.")
                .arg(seconds(waited));
        break;
    case Waiting::Image:
        text = QCoreApplication::translate(
                   "MainWindow", "The serial daemon did not answer about the file within %1 s.")
                   .arg(seconds(waited));
        break;
    }
    qWarning().noquote() << text;
    // Heard from again before the next open is sent.
    m_daemonHeard = false;
    if (what == Waiting::Image) {
        // The board stays connected: another file, or the same again.
        if (m_stage == Stage::ImageSent)
            setStage(Stage::BoardConnected);
        disarmImage();
        emit imagePathChanged(QString());
    } else {
        // A late "OK" then finds the window idle and closes the port again.
        closeSerialPort();
    }
    fail(Failure::NoAnswer, text);
    showStatus(text);
    UserDialogs::instance().critical(QStringLiteral("Error"),
                                     text + QLatin1Char('\n') + silenceAdvice());
}

void FlashWorkflow::updateAgain()
{
    if (!isEnabled(Control::UpdateAgain) || m_againImagePath.isEmpty())
        return;
    m_updatingAgain = true;
    refreshUpdateAgain();
    emit imagePathChanged(m_againImagePath);
    beginConnect();
}

void FlashWorkflow::closeSerialPort()
{
    m_link.publish(request::kSerial, payload::kClose);
    // Only a closing program gets here while the board is written; the
    // daemon's end of that update is no news.
    if (m_writing)
        m_endTold = true;
    m_writing = false;
    m_updatingAgain = false;
    stopWatch();
    m_waiting = Waiting::None;
    m_requestTimer.stop();
    m_daemonPingTimer.stop();
    m_portLostTimer.stop();
    setStage(Stage::Idle);
    // A bar that says where a failed update stopped stays readable.
    switchControls(Control::Connect | Control::Configure,
                   Control::Disconnect | Control::OpenFile | Control::Update | Control::ExitBoot |
                       Control::EraseAll | Control::ImageInfo |
                       (m_barStopped ? Controls() : Controls(Control::Progress)));
    emit imageBoardChanged(QString());
    emit imageInfoChanged(QString());
    emit connectionText(QCoreApplication::translate("MainWindow", "Disconnected"));
    // "Connected to Port: ..." beside "Disconnected" would contradict it.
    if (m_stateShown)
        showStatus(QString());
}

void FlashWorkflow::openFile()
{
    const QString path =
        UserDialogs::instance().chooseOpenFile(QStringLiteral("Hex files (*.hex)"));
    if (path.isEmpty())
        return;
    loadFile(path);
}

void FlashWorkflow::loadFile(const QString &path)
{
    qDebug().noquote() << path;
    emit imagePathChanged(path);
    sendImageFile(path);
}

void FlashWorkflow::disarmImage()
{
    if (m_stage == Stage::ImageAccepted)
        setStage(Stage::BoardConnected);
    switchControls({}, Control::Update | Control::EraseAll | Control::ImageInfo);
    emit imageBoardChanged(QString());
    emit imageInfoChanged(QString());
}

void FlashWorkflow::refuseImage(Failure failure, const QString &detail, const QString &status)
{
    emit imagePathChanged(QString());
    showStatus(status);
    fail(failure, detail);
}

// A file the front end will not send: the failure, the status line and one
// box with the reason and `notes`.
void FlashWorkflow::refuseUnsent(const QString &reason, const QStringList &notes)
{
    refuseImage(Failure::ImageCheckFailed, reason,
                QCoreApplication::translate("MainWindow", "File not sent: %1.").arg(reason));
    QString text =
        QCoreApplication::translate("MainWindow", "The file was not sent to the board:") +
        QLatin1Char('\n') + reason + QLatin1Char('.');
    for (const QString &note : notes)
        text += QLatin1Char('\n') + note + QLatin1Char('.');
    UserDialogs::instance().critical(QStringLiteral("Error"), text);
}

void FlashWorkflow::sendImageFile(const QString &path)
{
    // The image the daemon accepted before is no longer the one chosen: an
    // Update now would write it.
    disarmImage();
    m_imageChecked = false;
    m_imageReport = hexfile::ImageReport();
    m_imageNotes.clear();
    m_imageInfo.clear();
    m_vetting = ImageVetting();
    showState(QCoreApplication::translate("MainWindow", "File loading..."));

    const ImageLoad image = loadImageFile(QString::fromLocal8Bit(path.toLocal8Bit()));
    if (!image.ok()) {
        // The loader's box has been shown.
        refuseImage(Failure::ImageNotLoaded, path,
                    QCoreApplication::translate("MainWindow", "File not loaded: %1.")
                        .arg(imageLoadProblemText(image.status)));
        return;
    }

    // The daemon drops a larger file unstored and only answers that it could
    // not verify it; said here, the cause is plain.
    if (image.bytes.size() > protocol::payload::kMaxFlashFileBytes) {
        const QString reason =
            QCoreApplication::translate("MainWindow",
                                        "the file has %1 MiB; firmware files are at most %2 MiB")
                .arg(QString::number(double(image.bytes.size()) / double(kBytesPerMiB), 'f', 1))
                .arg(protocol::payload::kMaxFlashFileBytes / kBytesPerMiB);
        refuseUnsent(reason);
        return;
    }

    // The daemon's own check follows the digest; this one is stricter, names
    // the problem and tells what will not be written.
    if (boardKnown()) {
        const BoardConf &conf = m_link.status().m_BoardConf;
        const int boardId = *protocol::parseBoardIdText(conf.id);
        m_imageReport = hexfile::inspectImage(image.bytes, conf.layout(), boardId);
        const hexfile::ImageProblem &problem = m_imageReport.problem;
        if (!problem.ok()) {
            qDebug().noquote() << "Image refused:" << hexfile::describe(problem);
            // Where the data of a file with nothing for this board lies.
            const bool whereItLies = problem.kind == hexfile::ImageProblem::Kind::NothingToProgram;
            refuseUnsent(imageProblemText(problem, conf.layout()),
                         whereItLies ? imageNoteTexts(m_imageReport, conf.layout())
                                     : QStringList());
            return;
        }
        m_imageChecked = true;
        m_imageNotes = imageNoteTexts(m_imageReport, conf.layout());
        m_imageInfo = imageInfoText(m_imageReport, image.bytes.size(),
                                    requests::md5Hex(image.bytes), conf.layout());
        for (const QString &note : std::as_const(m_imageNotes))
            qDebug().noquote() << "Image note:" << note;
    }

    // Where the file comes from and who signed it; the user may want only
    // signed files to reach the board.
    if (m_gate) {
        m_vetting = m_gate->vet(path, image.bytes);
        if (!m_vetting.allowed) {
            qDebug().noquote() << "Image refused by the signature policy:" << m_vetting.refusal;
            m_imageChecked = false;
            refuseUnsent(m_vetting.refusal);
            return;
        }
        if (!m_imageInfo.isEmpty() && !m_vetting.signatureText.isEmpty())
            m_imageInfo += QLatin1Char('\n') + m_vetting.signatureText;
    }

    switch (m_link.sendImageBytes(path, image.bytes)) {
    case SystemMgr::SendResult::Sent:
        m_imagePath = path;
        setStage(Stage::ImageSent);
        waitFor(Waiting::Image,
                m_imageTimeoutMs > 0 ? imageAnswerMs(image.bytes.size(), m_imageTimeoutMs) : 0);
        if (m_recorder)
            m_recorder->imageSent(path, m_imageNotes.join(QLatin1Char('\n')), m_vetting.origin);
        break;
    case SystemMgr::SendResult::NotLoaded:
        // Read again by a link that only sends files, and failed this time.
        refuseImage(Failure::ImageNotLoaded, path,
                    QCoreApplication::translate("MainWindow", "File not loaded: %1.")
                        .arg(imageLoadProblemText(ImageLoad::Status::ReadFailed)));
        break;
    case SystemMgr::SendResult::Refused:
        // Never reached the daemon, so no answer would replace "File loading...".
        refuseImage(Failure::ImageNotSent, path,
                    QCoreApplication::translate("MainWindow", "File loaded: Error file not sent."));
        break;
    }
}

void FlashWorkflow::startUpdate(bool eraseAll)
{
    if (!m_link.requestBoardUpdate(eraseAll)) {
        // Nothing will answer a request the broker never took.
        const QString reason = QCoreApplication::translate(
            "MainWindow", "The update request could not be sent to the serial daemon.");
        fail(Failure::UpdateNotStarted, reason);
        UserDialogs::instance().critical(QStringLiteral("Error"), reason);
        showStatus(reason);
        return;
    }
    m_writing = true;
    m_endTold = false;
    m_updateImagePath = m_imagePath;
    m_updateEraseAll = eraseAll;
    m_percent = 0;
    m_portLostText.clear();
    m_updateErrorText.clear();
    m_updateClock.start();
    // What the daemon says about this update comes after this request.
    StatusObject &so = m_link.status();
    so.updateReason.reset();
    so.updateRetries = -1;
    so.verifyReplied = so.verifyPercReceived = false;
    so.verifyReason.reset();
    setStage(Stage::Updating);
    // Locked from the request on, not from the first progress value: the
    // erase before it takes seconds, and a second click would ask again.
    switchControls({}, writingLocks());
    // Busy, not greyed: the erase is work without a percentage.
    switchControls(Control::Progress);
    m_barStopped = false;
    emit progressBusy(true);
    const QString started = QCoreApplication::translate("MainWindow", "Update started.");
    qDebug().noquote() << started;
    showState(started);
    const int total = totalBlocksOf(m_link.status().m_BoardConf);
    m_progress.start(total);
    showState(QCoreApplication::translate("MainWindow", "Erasing the board…"));
    startWatch();
    if (m_recorder) {
        const BoardConf &conf = m_link.status().m_BoardConf;
        m_recorder->begin(portName(), conf.id, conf.name,
                          eraseAll ? records::EraseMode::All : records::EraseMode::Pages);
    }
    m_updateStartTimer.start(m_startTimeoutMs +
                             UpdateProgress::blocksAt(1, total) * kUpdateStartMsPerBlock);
}

void FlashWorkflow::exitBoot()
{
    m_link.publish(request::kBootOff, payload::kBlank);
    closeSerialPort();
}

void FlashWorkflow::connectBoard()
{
    BoardConf &conf = m_link.status().m_BoardConf;
    if (!requests::boardIdInRange(conf.id)) {
        setStage(Stage::PortOpen);
        fail(Failure::BoardIdOutOfRange, conf.id);
        UserDialogs::instance().critical(
            QStringLiteral("Error"),
            QCoreApplication::translate("MainWindow",
                                        "COM incorrect. Choose another serial port."));
        showStatus(QCoreApplication::translate("MainWindow", "Open error."));
        return;
    }
    showStatus(QCoreApplication::translate("MainWindow", "Check configuration file for Board: %1.")
                   .arg(conf.id));
    if (!loadBoardConfig(conf.id, conf, m_configFolder)) {
        setStage(Stage::PortOpen);
        fail(Failure::NoBoardConfig, conf.id);
        showStatus(QCoreApplication::translate("MainWindow",
                                               "Error loading configuration file for Board: %1.")
                       .arg(conf.id));
        showStatus(QCoreApplication::translate(
                       "MainWindow", "Failed control of the configuration file for the Board: %1.")
                       .arg(conf.id));
        return;
    }
    showState(QCoreApplication::translate("MainWindow", "Connected to Port: %1").arg(portName()));
    emit connectionText(
        QCoreApplication::translate("MainWindow", "Connected with board: %1").arg(conf.name));
    m_link.sendBoardConfigs(conf);
    if (conf.refresh)
        m_link.requestRefresh();
    setStage(Stage::BoardConnected);
    switchControls(Control::Disconnect | Control::OpenFile | Control::ExitBoot,
                   Control::Connect | Control::Configure);
    if (m_updatingAgain)
        sendImageFile(m_againImagePath);
}

void FlashWorkflow::startWatch()
{
    m_watchPinged = false;
    m_watchTimer.start(m_quietMs);
}

void FlashWorkflow::stopWatch()
{
    m_watchTimer.stop();
    m_updateStartTimer.stop();
    m_verifyStartTimer.stop();
    m_watchPinged = false;
}

void FlashWorkflow::replyArrived()
{
    // Whatever the topic, the daemon (and the broker) are there.
    if (m_writing)
        startWatch();
}

void FlashWorkflow::watchTimeout()
{
    if (!m_writing)
        return;
    if (!m_watchPinged) {
        // Quiet for a while: the erase or a slow board, or nobody there.
        m_watchPinged = true;
        m_watchPingSent = m_link.publish(request::kPing, payload::kBlank);
        m_watchTimer.start(m_pingWaitMs);
        return;
    }
    if (!m_link.brokerConnected()) {
        // No ping can get through: the daemon may well have gone on, and
        // finished, without anyone to tell.
        abandonUpdate(
            Failure::BrokerLost,
            QCoreApplication::translate(
                "MainWindow", "The connection to the message broker was lost during the update."),
            QCoreApplication::translate(
                "MainWindow",
                "The serial daemon may have finished the update or may have stopped: the state "
                "of the board is unknown. Check that the broker (mosquitto) runs, then connect "
                "again and update the board once more."));
        return;
    }
    if (!m_watchPingSent) {
        // The broker is back, but the ping never reached the daemon: only
        // a ping without an answer tells that the daemon is gone.
        m_watchPingSent = m_link.publish(request::kPing, payload::kBlank);
        m_watchTimer.start(m_pingWaitMs);
        return;
    }
    // The ping went out and nothing came back.
    m_daemonHeard = false;
    abandonUpdate(Failure::DaemonLost,
                  QCoreApplication::translate(
                      "MainWindow", "The serial daemon stopped answering during the update."),
                  incompleteFirmwareAdvice());
}

void FlashWorkflow::updateStartTimeout()
{
    if (!m_writing)
        return;
    abandonUpdate(
        Failure::UpdateNotStarted,
        QCoreApplication::translate("MainWindow", "The serial daemon did not start the update."),
        QCoreApplication::translate("MainWindow",
                                    "Connect again, load the file and start the update once "
                                    "more."));
}

void FlashWorkflow::abandonUpdate(Failure failure, const QString &reason, const QString &advice)
{
    m_link.status().percReceived = false;
    const bool readingBack = m_stage == Stage::Verifying;
    m_summary =
        summaryNow(readingBack ? records::VerifyResult::Failed : records::VerifyResult::None);
    // An update the daemon never began stopped nowhere.
    const bool began = failure != Failure::UpdateNotStarted;
    m_onlyLastHeard = failure == Failure::BrokerLost;
    const QString where = began ? stoppedText() : QString();
    endWriting(true, began && !readingBack);
    m_onlyLastHeard = false;
    const QString reasonWhere = began ? reason + QLatin1Char(' ') + where : reason;
    // A word of the daemon arriving later is about this same update.
    m_endTold = true;
    if (m_recorder) {
        records::UpdateResult result = records::UpdateResult::Failed;
        if (failure == Failure::DaemonLost)
            result = records::UpdateResult::DaemonLost;
        else if (failure == Failure::BrokerLost)
            result = records::UpdateResult::BrokerLost;
        else if (failure == Failure::PortLost)
            result = records::UpdateResult::PortLost;
        m_recorder->noteRetries(m_summary.retries);
        m_recorder->noteVerify(m_summary.verify);
        m_recorder->finish(result, reasonWhere);
    }
    fail(failure, reason);
    // Said before the box: nothing stale stands behind it.
    showStatus(reasonWhere);
    UserDialogs::instance().critical(QStringLiteral("Error"),
                                     reason + QLatin1Char('\n') +
                                         (began ? where + QLatin1Char('\n') : QString()) + advice);
    closeSerialPort();
    emit updateFinished(false);
}

QString FlashWorkflow::stoppedText() const
{
    if (m_onlyLastHeard) {
        // Nothing says the daemon stopped: only that no word came after.
        if (m_stage == Stage::Verifying)
            return QCoreApplication::translate(
                "MainWindow", "The daemon was last heard from while reading the board back.");
        if (m_percent == 0)
            return QCoreApplication::translate(
                "MainWindow", "The daemon was last heard from while erasing the board.");
        return QCoreApplication::translate("MainWindow",
                                           "The daemon was last heard from at block %1 of %2.")
            .arg(m_progress.blocksWritten())
            .arg(m_progress.totalBlocks());
    }
    if (m_stage == Stage::Verifying)
        return QCoreApplication::translate(
            "MainWindow", "Stopped while reading the board back, after all blocks were written.");
    const std::optional<protocol::FailureReason> &reason = m_link.status().updateReason;
    using Step = protocol::FailureReason::Step;
    if (reason && reason->step == Step::Write && reason->block > 0)
        return QCoreApplication::translate("MainWindow", "Stopped at block %1 of %2 (address %3).")
            .arg(reason->block)
            .arg(reason->blocks)
            .arg(UpdateReport::address(reason->address));
    if ((reason && reason->step == Step::Erase) || m_percent == 0)
        return QCoreApplication::translate("MainWindow", "Stopped while erasing the board.");
    return QCoreApplication::translate("MainWindow", "Stopped at block %1 of %2.")
        .arg(m_progress.blocksWritten())
        .arg(m_progress.totalBlocks());
}

void FlashWorkflow::showStopped()
{
    m_barStopped = true;
    emit progressStopped(m_percent, stoppedText());
}

void FlashWorkflow::startVerify()
{
    setStage(Stage::Verifying);
    m_watchPinged = false;
    const int total = m_progress.totalBlocks();
    emit progressBusy(false);
    switchControls(Control::Progress);
    emit progressChanged(0);
    showState(
        QCoreApplication::translate("MainWindow", "Verifying block %1 of %2").arg(0).arg(total));
    m_link.publish(request::kVerify, payload::kBlank);
    m_verifyStartTimer.start(m_verifyStartMs);
}

void FlashWorkflow::verifyStartTimeout()
{
    if (m_stage != Stage::Verifying)
        return;
    // A daemon without the read-back: the writes were all acknowledged.
    qDebug() << "No answer to the read-back request: the update ends without it";
    completeUpdate(records::VerifyResult::Failed);
}

UpdateSummary FlashWorkflow::summaryNow(records::VerifyResult verify) const
{
    const StatusObject &so = m_link.status();
    UpdateSummary s;
    s.boardId = so.m_BoardConf.id;
    s.boardName = so.m_BoardConf.name;
    s.filePath = m_updateImagePath;
    s.blocks = m_progress.totalBlocks();
    s.durationMs = m_updateClock.isValid() ? m_updateClock.elapsed() : -1;
    s.retries = so.updateRetries;
    s.verify = verify;
    return s;
}

void FlashWorkflow::completeUpdate(records::VerifyResult verify)
{
    m_summary = summaryNow(verify);
    if (m_recorder) {
        m_recorder->noteRetries(m_summary.retries);
        m_recorder->noteVerify(verify);
        m_recorder->finish(records::UpdateResult::Ok);
    }
    endWriting();
    const QString text =
        QCoreApplication::translate("MainWindow", "Update completed successfully.");
    showStatus(text);
    qDebug().noquote() << text;
    const QString details = UpdateReport::endBoxDetails(m_summary);
    UserDialogs::instance().information(
        QStringLiteral("Flashing"), details.isEmpty() ? text : text + QLatin1Char('\n') + details);
    exitBoot();
    emit imagePathChanged(QString());
    emit updateFinished(true);
}

void FlashWorkflow::failUpdate(Failure failure,
                               const std::optional<protocol::FailureReason> &reason,
                               records::VerifyResult verify)
{
    StatusObject &so = m_link.status();
    so.percReceived = false;
    m_summary = summaryNow(verify);
    const bool readingBack = failure == Failure::VerifyFailed;
    const QString why = reason ? UpdateReport::failureReason(*reason) : QString();
    if (reason)
        qDebug().noquote() << "Update failed:" << protocol::describeFailureReason(*reason);
    // Where it stopped: the daemon's reason says it; without one, the
    // progress does, or what the read-back came to.
    QString where = why;
    if (where.isEmpty())
        where = readingBack ? UpdateReport::verifyLine(verify) : stoppedText();
    // Without a reason, the daemon's word during the update is the likely cause.
    const QString cause = why.isEmpty() ? m_updateErrorText : QString();
    if (m_recorder) {
        m_recorder->noteRetries(m_summary.retries);
        m_recorder->noteVerify(verify);
        m_recorder->finish(records::UpdateResult::Failed,
                           cause.isEmpty() ? where : sentences(cause, where));
    }
    // The bar shows where the writing stopped; a read-back starts it anew.
    endWriting(true, !readingBack);
    fail(failure, why);
    const QString failedText = QCoreApplication::translate("MainWindow", "Failed Update.");
    // Said before the box: nothing stale stands behind it.
    showStatus(failedText + QLatin1Char(' ') + where);
    QString text = failedText + QLatin1Char('\n');
    if (!cause.isEmpty())
        text += cause + QLatin1Char('\n');
    UserDialogs::instance().critical(QStringLiteral("Error"),
                                     text + where + QLatin1Char('\n') + incompleteFirmwareAdvice());
    closeSerialPort();
    emit updateFinished(false);
}

void FlashWorkflow::endWriting(bool failed, bool showWhere)
{
    m_writing = false;
    stopWatch();
    m_portLostTimer.stop();
    if (m_askingClose)
        UserDialogs::instance().withdrawQuestion();
    if (m_link.status().m_BoardConf.refresh)
        m_link.requestRefresh();
    emit progressBusy(false);
    switchControls(Control::Progress);
    // A failed update leaves the bar where it stopped.
    if (failed) {
        m_againImagePath = m_updateImagePath;
        m_againEraseAll = m_updateEraseAll;
    } else {
        m_againImagePath.clear();
    }
    if (failed && showWhere) {
        showStopped();
    } else {
        m_barStopped = false;
        emit progressChanged(0);
    }
    switchControls(writingLocks());
}

void FlashWorkflow::portLostTimeout()
{
    // The daemon had nothing running to end, or its word was lost.
    if (m_writing)
        endPortLost(false);
}

void FlashWorkflow::endPortLost(bool daemonEnded)
{
    m_portLostTimer.stop();
    StatusObject &so = m_link.status();
    so.percReceived = false;
    const bool readingBack = m_stage == Stage::Verifying;
    m_summary =
        summaryNow(readingBack ? records::VerifyResult::Failed : records::VerifyResult::None);
    // The daemon's reason, when it came, says where; else the progress.
    const std::optional<protocol::FailureReason> &reason =
        readingBack ? so.verifyReason : so.updateReason;
    const QString where = reason ? UpdateReport::failureReason(*reason) : stoppedText();
    endWriting(true, !readingBack);
    // Without the daemon's end yet, it may still come: the same failure.
    m_endTold = !daemonEnded;
    const QString lost =
        QCoreApplication::translate(
            "MainWindow",
            "The port %1 went away: the USB adapter was unplugged, or its cable or power failed.")
            .arg(portName());
    if (m_recorder) {
        m_recorder->noteRetries(m_summary.retries);
        m_recorder->noteVerify(m_summary.verify);
        m_recorder->finish(records::UpdateResult::PortLost,
                           sentences(m_portLostText.isEmpty() ? lost : m_portLostText, where));
    }
    fail(Failure::PortLost, lost + QLatin1Char(' ') + where);
    const QString failedText = QCoreApplication::translate("MainWindow", "Failed Update.");
    showStatus(failedText + QLatin1Char(' ') +
               QCoreApplication::translate("MainWindow", "The port %1 was lost.").arg(portName()) +
               QLatin1Char(' ') + where);
    UserDialogs::instance().critical(
        QStringLiteral("Error"),
        failedText + QLatin1Char('\n') + lost + QLatin1Char('\n') + where + QLatin1Char('\n') +
            QCoreApplication::translate(
                "MainWindow",
                "The board is left without a complete firmware. Plug the adapter in again and "
                "press Update again."));
    closeSerialPort();
    emit updateFinished(false);
}

void FlashWorkflow::statusReady()
{
    StatusObject &so = m_link.status();
    const BoardConf &conf = so.m_BoardConf;
    replyArrived();

    if (so.serialOpened) {
        so.serialOpened = false;
        if (m_stage == Stage::Idle) {
            // Its open request gave up waiting (or was never sent here):
            // the port must not stay open behind an idle window.
            qDebug() << "Port opened while idle: closed again";
            m_link.publish(request::kSerial, payload::kClose);
        } else {
            answered(Waiting::Open);
            emit connectionText(
                QCoreApplication::translate("MainWindow", "Connected to Port: %1").arg(portName()));
            m_link.publish(request::kReadId, payload::kBlank);
            setStage(Stage::ReadingId);
            // A silent board takes the daemon's retries, some 12 s.
            showState(QCoreApplication::translate("MainWindow", "Reading the board identifier…"));
            waitFor(Waiting::Id, m_idTimeoutMs);
        }
    }

    if (so.serialError && m_writing) {
        so.serialError = false;
        // The daemon ends the update right after this (the port went away,
        // or a re-opening failed): its end is the one box that says all.
        qWarning().noquote() << "During the update:" << so.errorText;
        if (m_recorder)
            m_recorder->noteError(so.errorText);
        m_updateErrorText = so.errorText;
        showState(so.errorText);
        if (isPortLostText(so.errorText)) {
            m_portLostText = so.errorText;
            m_portLostTimer.start(kPortLostWaitMs);
        }
    }

    if (so.serialError) {
        so.serialError = false;
        answered(Waiting::Open);
        // Opened before (the device went away, or a re-opening failed): the
        // daemon has closed it.
        const bool wasOpen = m_stage != Stage::Idle && m_stage != Stage::Opening;
        if (m_stage == Stage::Opening)
            setStage(Stage::Idle);
        fail(Failure::PortError, so.errorText);
        QString text = so.errorText;
        const QString hint =
            portErrorHint(so.errorText, portName(), probePortAccess(devicePath(portName())));
        if (!hint.isEmpty())
            text += QStringLiteral("\n\n") + hint;
        UserDialogs::instance().critical(QStringLiteral("Error"), text);
        if (wasOpen)
            closeSerialPort();
        showStatus(QCoreApplication::translate("MainWindow", "Open error."));
    }

    if (so.idReceived) {
        so.idReceived = false;
        answered(Waiting::Id);
        qDebug().noquote() << "m_BoardConf.id: " + conf.id;
        connectBoard();
    }

    if (so.flashReplied) {
        const bool accepted = so.flashAccepted;
        so.flashReplied = false;
        so.flashAccepted = false;
        answered(Waiting::Image);
        if (accepted && boardKnown()) {
            setStage(Stage::ImageAccepted);
            switchControls(Control::Update | Control::EraseAll | Control::ImageInfo);
            emit imageBoardChanged(conf.name);
            emit imageInfoChanged(m_imageInfo);
            // The fixed text first; what the board will not get follows, in
            // short (the ranges are in Hex File Info).
            QString loaded = QCoreApplication::translate("MainWindow", "File loaded: Ok.");
            if (const QString notes = imageNotesSummary(m_imageReport); !notes.isEmpty())
                loaded += QLatin1Char(' ') + notes;
            showState(loaded);
            if (std::exchange(m_updatingAgain, false))
                startUpdate(m_againEraseAll);
        } else if (accepted) {
            // The port was closed meanwhile: nothing to arm.
            qDebug() << "Image accepted without a connected board: ignored";
        } else {
            if (m_stage == Stage::ImageSent || m_stage == Stage::ImageAccepted)
                setStage(Stage::BoardConnected);
            disarmImage();
            showStatus(QCoreApplication::translate("MainWindow", "File loaded: Error file wrong."));
            fail(Failure::ImageRefused, QString());
            QString text = QCoreApplication::translate("MainWindow", "File wrong.");
            // The same check passed here, so the bytes the daemon got differ.
            if (std::exchange(m_imageChecked, false))
                text += QLatin1Char('\n') + QCoreApplication::translate(
                                                "MainWindow",
                                                "The file passed the check here: it was changed or "
                                                "damaged on its way to the serial daemon. Load it "
                                                "again.");
            UserDialogs::instance().critical(QStringLiteral("Error"), text);
        }
    }

    if (so.percReceived) {
        // 100 is the daemon's last word before its result; the result resets the bar.
        if (so.updatePercent < 100) {
            if (!m_writing) {
                // Not asked for here, but the board is being written all the
                // same: watch it like our own.
                m_writing = true;
                setStage(Stage::Updating);
                m_progress.start(totalBlocksOf(conf));
                startWatch();
            }
            m_updateStartTimer.stop();
            switchControls(Control::Progress);
            if (m_percent == 0)
                emit progressBusy(false);
            m_percent = so.updatePercent;
            emit progressChanged(so.updatePercent);
            switchControls({}, writingLocks());
            m_progress.advance(so.updatePercent, m_clock.elapsed());
            showState(m_progress.statusText());
        }
        so.percReceived = false;
    }

    if (so.updateDone) {
        so.updateDone = false;
        if (m_verifyAfterWriting)
            startVerify();
        else
            completeUpdate(records::VerifyResult::Off);
    }

    if (so.updateFailed) {
        so.updateFailed = false;
        so.percReceived = false;
        using Cause = protocol::FailureReason::Cause;
        if (!m_writing && std::exchange(m_endTold, false)) {
            // The daemon's end of an update this window has already given
            // up and told: the same failure, not a second one.
            qDebug() << "The daemon ended the update given up before";
        } else if (!m_portLostText.isEmpty() ||
                   (so.updateReason && so.updateReason->cause == Cause::PortLost)) {
            endPortLost(true);
        } else {
            failUpdate(Failure::UpdateFailed, so.updateReason, records::VerifyResult::None);
        }
    }

    if (so.verifyPercReceived) {
        so.verifyPercReceived = false;
        if (m_stage == Stage::Verifying && so.verifyPercent < 100) {
            m_verifyStartTimer.stop();
            const int total = m_progress.totalBlocks();
            switchControls(Control::Progress);
            emit progressChanged(so.verifyPercent);
            showState(QCoreApplication::translate("MainWindow", "Verifying block %1 of %2")
                          .arg(UpdateProgress::blocksAt(so.verifyPercent, total))
                          .arg(total));
        }
    }

    if (so.verifyReplied) {
        so.verifyReplied = false;
        using VerifyReply = StatusObject::VerifyReply;
        if (m_stage != Stage::Verifying) {
            qDebug() << "Read-back result without a read-back asked for: ignored";
        } else if (so.verifyResult == VerifyReply::Ok) {
            completeUpdate(records::VerifyResult::Ok);
        } else if (so.verifyResult == VerifyReply::Unsupported) {
            completeUpdate(records::VerifyResult::Unsupported);
        } else if (!m_portLostText.isEmpty() ||
                   (so.verifyReason &&
                    so.verifyReason->cause == protocol::FailureReason::Cause::PortLost)) {
            endPortLost(true);
        } else {
            const bool differs = so.verifyReason &&
                                 so.verifyReason->cause == protocol::FailureReason::Cause::Mismatch;
            failUpdate(Failure::VerifyFailed, so.verifyReason,
                       differs ? records::VerifyResult::Mismatch : records::VerifyResult::Failed);
        }
    }

    if (so.idError) {
        so.idError = false;
        answered(Waiting::Id);
        const QString text =
            QCoreApplication::translate("MainWindow", "Error when connecting to the board.");
        fail(Failure::BoardIdUnread, QString());
        showStatus(text);
        UserDialogs::instance().warning(
            QStringLiteral("Warning"),
            text + QLatin1Char('\n') +
                QCoreApplication::translate(
                    "MainWindow",
                    "The board did not answer on %1. Likely causes: the board is not powered, it "
                    "is not in its boot loader, %1 is not the board's port, or the cable is "
                    "loose or faulty.")
                    .arg(portName()));
        closeSerialPort();
    }

    if (so.pongReceived) {
        m_daemonHeard = true;
        m_serialTimer.stop();
        // The daemon answered: the check is over, so a later broker change
        // runs a fresh one instead of reporting at once.
        m_daemonCheckPending = false;
        so.pongReceived = false;
        emit daemonAnswered();
        // The daemon started at Connect is up: the connection goes on.
        if (m_waiting == Waiting::DaemonStart) {
            answered(Waiting::DaemonStart);
            sendOpen();
        }
    }
}

} // namespace frontend
