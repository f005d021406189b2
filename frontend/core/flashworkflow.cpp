#include "frontend/core/flashworkflow.h"

#include "firmware/flashplan.h"
#include "firmware/imagecheck.h"
#include "frontend/core/daemonlink.h"
#include "frontend/core/imagefile.h"
#include "frontend/core/imagereport.h"
#include "frontend/core/porthint.h"
#include "frontend/core/requests.h"
#include "frontend/core/userdialogs.h"
#include "protocol/topics.h"
#include "records/updaterecorder.h"

#include <QCoreApplication>
#include <QDebug>

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
                      "again once the board answers: connect, load the file and press Update.");
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
    updateSetup();
    m_link.publish(request::kSerial, payload::kOpen);
    setStage(Stage::Opening);
    showStatus(QString());
    emit connectionText(QCoreApplication::translate("MainWindow", "Open Port: %1").arg(portName()));
}

void FlashWorkflow::closeSerialPort()
{
    m_link.publish(request::kSerial, payload::kClose);
    // Only a closing program gets here while the board is written.
    m_writing = false;
    stopWatch();
    setStage(Stage::Idle);
    switchControls(Control::Connect | Control::Configure,
                   Control::Disconnect | Control::OpenFile | Control::Update | Control::ExitBoot |
                       Control::EraseAll | Control::Progress | Control::ImageInfo);
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
    emit failed(failure, detail);
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

    // The daemon's own check follows the digest; this one is stricter, names
    // the problem and tells what will not be written.
    if (boardKnown()) {
        const BoardConf &conf = m_link.status().m_BoardConf;
        const int boardId = *protocol::parseBoardIdText(conf.id);
        m_imageReport = hexfile::inspectImage(image.bytes, conf.layout(), boardId);
        const hexfile::ImageProblem &problem = m_imageReport.problem;
        if (!problem.ok()) {
            qDebug().noquote() << "Image refused:" << hexfile::describe(problem);
            const QString reason = imageProblemText(problem, conf.layout());
            refuseImage(
                Failure::ImageCheckFailed, reason,
                QCoreApplication::translate("MainWindow", "File not sent: %1.").arg(reason));
            QString text =
                QCoreApplication::translate("MainWindow", "The file was not sent to the board:") +
                QLatin1Char('\n') + reason + QLatin1Char('.');
            // Where the data of a file with nothing for this board lies.
            if (problem.kind == hexfile::ImageProblem::Kind::NothingToProgram)
                for (const QString &note : imageNoteTexts(m_imageReport, conf.layout()))
                    text += QLatin1Char('\n') + note + QLatin1Char('.');
            UserDialogs::instance().critical(QStringLiteral("Error"), text);
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
            refuseImage(Failure::ImageCheckFailed, m_vetting.refusal,
                        QCoreApplication::translate("MainWindow", "File not sent: %1.")
                            .arg(m_vetting.refusal));
            UserDialogs::instance().critical(
                QStringLiteral("Error"),
                QCoreApplication::translate("MainWindow", "The file was not sent to the board:") +
                    QLatin1Char('\n') + m_vetting.refusal + QLatin1Char('.'));
            return;
        }
        if (!m_imageInfo.isEmpty() && !m_vetting.signatureText.isEmpty())
            m_imageInfo += QLatin1Char('\n') + m_vetting.signatureText;
    }

    switch (m_link.sendImageBytes(path, image.bytes)) {
    case SystemMgr::SendResult::Sent:
        m_imagePath = path;
        setStage(Stage::ImageSent);
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
        emit failed(Failure::UpdateNotStarted, reason);
        UserDialogs::instance().critical(QStringLiteral("Error"), reason);
        showStatus(reason);
        return;
    }
    setStage(Stage::Updating);
    m_writing = true;
    m_updateClock.start();
    // What the daemon says about this update comes after this request.
    StatusObject &so = m_link.status();
    so.updateReason.reset();
    so.updateRetries = -1;
    so.verifyReplied = so.verifyPercReceived = false;
    so.verifyReason.reset();
    // Locked from the request on, not from the first progress value: the
    // erase before it takes seconds, and a second click would ask again.
    switchControls({}, writingLocks());
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
        emit failed(Failure::BoardIdOutOfRange, conf.id);
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
        emit failed(Failure::NoBoardConfig, conf.id);
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
        m_link.publish(request::kPing, payload::kBlank);
        m_watchTimer.start(m_pingWaitMs);
        return;
    }
    const QString reason =
        m_link.brokerConnected()
            ? QCoreApplication::translate("MainWindow",
                                          "The serial daemon stopped answering during the update.")
            : QCoreApplication::translate(
                  "MainWindow", "The connection to the message broker was lost during the update.");
    abandonUpdate(Failure::DaemonLost, reason, incompleteFirmwareAdvice());
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
    endWriting();
    if (m_recorder)
        m_recorder->finish(failure == Failure::DaemonLost ? records::UpdateResult::DaemonLost
                                                          : records::UpdateResult::Failed,
                           reason);
    emit failed(failure, reason);
    UserDialogs::instance().critical(QStringLiteral("Error"), reason + QLatin1Char('\n') + advice);
    closeSerialPort();
    showStatus(reason);
    emit updateFinished(false);
}

void FlashWorkflow::startVerify()
{
    setStage(Stage::Verifying);
    m_watchPinged = false;
    const int total = m_progress.totalBlocks();
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
    s.filePath = m_imagePath;
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
    const QString why = reason ? UpdateReport::failureReason(*reason) : QString();
    if (reason)
        qDebug().noquote() << "Update failed:" << protocol::describeFailureReason(*reason);
    if (m_recorder) {
        m_recorder->noteRetries(m_summary.retries);
        m_recorder->noteVerify(verify);
        m_recorder->finish(records::UpdateResult::Failed, why);
    }
    endWriting();
    emit failed(failure, why);
    const QString failedText = QCoreApplication::translate("MainWindow", "Failed Update.");
    QString text = failedText;
    if (!why.isEmpty())
        text += QLatin1Char('\n') + why;
    UserDialogs::instance().critical(QStringLiteral("Error"),
                                     text + QLatin1Char('\n') + incompleteFirmwareAdvice());
    closeSerialPort();
    showStatus(why.isEmpty() ? failedText : failedText + QLatin1Char(' ') + why);
    emit updateFinished(false);
}

void FlashWorkflow::endWriting()
{
    m_writing = false;
    stopWatch();
    if (m_askingClose)
        UserDialogs::instance().withdrawQuestion();
    if (m_link.status().m_BoardConf.refresh)
        m_link.requestRefresh();
    switchControls(Control::Progress);
    emit progressChanged(0);
    switchControls(writingLocks());
}

void FlashWorkflow::statusReady()
{
    StatusObject &so = m_link.status();
    const BoardConf &conf = so.m_BoardConf;
    replyArrived();

    if (so.serialOpened) {
        emit connectionText(
            QCoreApplication::translate("MainWindow", "Connected to Port: %1").arg(portName()));
        m_link.publish(request::kReadId, payload::kBlank);
        setStage(Stage::ReadingId);
        // A silent board takes the daemon's retries, some 12 s.
        showState(QCoreApplication::translate("MainWindow", "Reading the board identifier…"));
        so.serialOpened = false;
    }

    if (so.serialError) {
        so.serialError = false;
        // Opened before (the device went away, or a re-opening failed): the
        // daemon has closed it. During an update the update's end follows.
        const bool wasOpen = m_stage != Stage::Idle && m_stage != Stage::Opening && !m_writing;
        if (m_stage == Stage::Opening)
            setStage(Stage::Idle);
        emit failed(Failure::PortError, so.errorText);
        if (m_recorder)
            m_recorder->noteError(so.errorText);
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
        qDebug().noquote() << "m_BoardConf.id: " + conf.id;
        connectBoard();
    }

    if (so.flashReplied) {
        const bool accepted = so.flashAccepted;
        so.flashReplied = false;
        so.flashAccepted = false;
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
        } else if (accepted) {
            // The port was closed meanwhile: nothing to arm.
            qDebug() << "Image accepted without a connected board: ignored";
        } else {
            if (m_stage == Stage::ImageSent || m_stage == Stage::ImageAccepted)
                setStage(Stage::BoardConnected);
            disarmImage();
            showStatus(QCoreApplication::translate("MainWindow", "File loaded: Error file wrong."));
            emit failed(Failure::ImageRefused, QString());
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
        failUpdate(Failure::UpdateFailed, so.updateReason, records::VerifyResult::None);
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
        } else {
            const bool differs = so.verifyReason &&
                                 so.verifyReason->cause == protocol::FailureReason::Cause::Mismatch;
            failUpdate(Failure::VerifyFailed, so.verifyReason,
                       differs ? records::VerifyResult::Mismatch : records::VerifyResult::Failed);
        }
    }

    if (so.idError) {
        so.idError = false;
        const QString text =
            QCoreApplication::translate("MainWindow", "Error when connecting to the board.");
        emit failed(Failure::BoardIdUnread, QString());
        UserDialogs::instance().warning(QStringLiteral("Warning"), text);
        showStatus(text);
        closeSerialPort();
    }

    if (so.pongReceived) {
        m_serialTimer.stop();
        // The daemon answered: the check is over, so a later broker change
        // runs a fresh one instead of reporting at once.
        m_daemonCheckPending = false;
        so.pongReceived = false;
        emit daemonAnswered();
    }
}

} // namespace frontend
