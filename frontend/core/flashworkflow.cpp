#include "frontend/core/flashworkflow.h"

#include "frontend/core/daemonlink.h"
#include "frontend/core/requests.h"
#include "frontend/core/userdialogs.h"
#include "protocol/topics.h"
#include "records/updaterecorder.h"

#include <QCoreApplication>
#include <QDebug>

// The user reads these texts in the main window: they keep its translation
// context, "MainWindow".
namespace frontend {

namespace request = protocol::request;
namespace payload = protocol::payload;

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
}

FlashWorkflow::~FlashWorkflow() = default;

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

QString FlashWorkflow::portName() const
{
    return m_link.status().portSettings.portName;
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
    emit statusMessage(text);
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
    emit statusMessage(QString());
    emit connectionText(QCoreApplication::translate("MainWindow", "Open Port: %1").arg(portName()));
}

void FlashWorkflow::closeSerialPort()
{
    m_link.publish(request::kSerial, payload::kClose);
    setStage(Stage::Idle);
    switchControls(Control::Connect | Control::Configure,
                   Control::Disconnect | Control::OpenFile | Control::Update | Control::ExitBoot |
                       Control::EraseAll | Control::Progress | Control::ImageInfo);
    emit imageBoardChanged(QString());
    emit connectionText(QCoreApplication::translate("MainWindow", "Disconnected"));
}

void FlashWorkflow::openFile()
{
    const QString path =
        UserDialogs::instance().chooseOpenFile(QStringLiteral("Hex files (*.hex)"));
    if (path.isEmpty())
        return;
    qDebug().noquote() << path;
    emit imagePathChanged(path);
    sendImageFile(path);
}

void FlashWorkflow::sendImageFile(const QString &path)
{
    emit statusMessage(QCoreApplication::translate("MainWindow", "File loading..."));
    switch (m_link.sendImageFile(path)) {
    case SystemMgr::SendResult::Sent:
        setStage(Stage::ImageSent);
        if (m_recorder)
            m_recorder->imageSent(path);
        break;
    case SystemMgr::SendResult::NotLoaded:
        // The file's own box has been shown; the daemon keeps what it had.
        emit failed(Failure::ImageNotLoaded, path);
        break;
    case SystemMgr::SendResult::Refused:
        // Never reached the daemon, so no answer would replace "File loading...".
        emit failed(Failure::ImageNotSent, path);
        emit statusMessage(
            QCoreApplication::translate("MainWindow", "File loaded: Error file not sent."));
        break;
    }
}

void FlashWorkflow::startUpdate(bool eraseAll)
{
    // Without the broker the request never reaches the daemon: nothing
    // starts, so nothing is recorded or waited for.
    if (!m_link.requestBoardUpdate(eraseAll)) {
        emit statusMessage(QCoreApplication::translate(
            "MainWindow", "Update not started: the serial daemon could not be reached."));
        return;
    }
    setStage(Stage::Updating);
    emit statusMessage(QCoreApplication::translate("MainWindow", "Update started."));
    if (m_recorder) {
        const BoardConf &conf = m_link.status().m_BoardConf;
        m_recorder->begin(portName(), conf.id, conf.name,
                          eraseAll ? records::EraseMode::All : records::EraseMode::Pages);
    }
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
        emit statusMessage(QCoreApplication::translate("MainWindow", "Open error."));
        return;
    }
    emit statusMessage(
        QCoreApplication::translate("MainWindow", "Check configuration file for Board: %1.")
            .arg(conf.id));
    if (!loadBoardConfig(conf.id, conf, m_configFolder)) {
        setStage(Stage::PortOpen);
        emit failed(Failure::NoBoardConfig, conf.id);
        emit statusMessage(QCoreApplication::translate(
                               "MainWindow", "Error loading configuration file for Board: %1.")
                               .arg(conf.id));
        emit statusMessage(
            QCoreApplication::translate(
                "MainWindow", "Failed control of the configuration file for the Board: %1.")
                .arg(conf.id));
        return;
    }
    emit statusMessage(
        QCoreApplication::translate("MainWindow", "Connected to Port: %1").arg(portName()));
    emit connectionText(
        QCoreApplication::translate("MainWindow", "Connected with board: %1").arg(conf.name));
    m_link.sendBoardConfigs(conf);
    if (conf.refresh)
        m_link.requestRefresh();
    setStage(Stage::BoardConnected);
    switchControls(Control::Disconnect | Control::OpenFile | Control::ExitBoot,
                   Control::Connect | Control::Configure);
}

void FlashWorkflow::endWriting()
{
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

    if (so.serialOpened) {
        emit connectionText(
            QCoreApplication::translate("MainWindow", "Connected to Port: %1").arg(portName()));
        m_link.publish(request::kReadId, payload::kBlank);
        setStage(Stage::ReadingId);
        so.serialOpened = false;
    }

    if (so.serialError) {
        so.serialError = false;
        if (m_stage == Stage::Opening)
            setStage(Stage::Idle);
        emit failed(Failure::PortError, so.errorText);
        if (m_recorder)
            m_recorder->noteError(so.errorText);
        UserDialogs::instance().critical(QStringLiteral("Error"), so.errorText);
        emit statusMessage(QCoreApplication::translate("MainWindow", "Open error."));
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
        if (accepted) {
            setStage(Stage::ImageAccepted);
            switchControls(Control::Update | Control::EraseAll | Control::ImageInfo);
            emit imageBoardChanged(conf.name);
            emit statusMessage(QCoreApplication::translate("MainWindow", "File loaded: Ok."));
        } else {
            setStage(Stage::BoardConnected);
            switchControls({}, Control::Update | Control::EraseAll);
            emit statusMessage(
                QCoreApplication::translate("MainWindow", "File loaded: Error file wrong."));
            emit failed(Failure::ImageRefused, QString());
            UserDialogs::instance().critical(
                QStringLiteral("Error"), QCoreApplication::translate("MainWindow", "File wrong."));
        }
    }

    if (so.percReceived) {
        // 100 is the daemon's last word before its result; the result resets the bar.
        if (so.updatePercent < 100) {
            switchControls(Control::Progress);
            emit progressChanged(so.updatePercent);
            switchControls({}, writingLocks());
        }
        so.percReceived = false;
    }

    if (so.updateDone) {
        so.updateDone = false;
        if (m_recorder)
            m_recorder->finish(records::UpdateResult::Ok);
        endWriting();
        const QString text =
            QCoreApplication::translate("MainWindow", "Update completed successfully.");
        emit statusMessage(text);
        qDebug().noquote() << text;
        UserDialogs::instance().information(QStringLiteral("Flashing"), text);
        exitBoot();
        emit imagePathChanged(QString());
        emit updateFinished(true);
    }

    if (so.updateFailed) {
        so.updateFailed = false;
        so.percReceived = false;
        if (m_recorder)
            m_recorder->finish(records::UpdateResult::Failed);
        endWriting();
        emit failed(Failure::UpdateFailed, QString());
        UserDialogs::instance().critical(
            QStringLiteral("Error"), QCoreApplication::translate("MainWindow", "Failed Update."));
        closeSerialPort();
        emit statusMessage(QCoreApplication::translate("MainWindow", "Failed Update."));
        emit updateFinished(false);
    }

    if (so.idError) {
        so.idError = false;
        const QString text =
            QCoreApplication::translate("MainWindow", "Error when connecting to the board.");
        emit failed(Failure::BoardIdUnread, QString());
        UserDialogs::instance().warning(QStringLiteral("Warning"), text);
        emit statusMessage(text);
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
