#include "frontend/cli/flashcommand.h"

#include "common/brokerchoice.h"
#include "common/instanceguard.h"
#include "firmware/flashplan.h"
#include "frontend/base/daemonstart.h"
#include "frontend/cli/flashreport.h"
#include "frontend/core/boardconfig.h"
#include "frontend/core/daemonlink.h"
#include "frontend/core/imagefile.h"
#include "frontend/core/imagereport.h"
#include "frontend/core/systemmgr.h"
#include "frontend/core/updatereport.h"
#include "frontend/library/firmwarelibrary.h"
#include "frontend/library/libraryimagegate.h"
#include "mqtt/mqttmgr.h"
#include "mqtt/mqttthread.h"
#include "protocol/topics.h"
#include "records/updaterecorder.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QProcess>

#include <functional>
#include <utility>

using frontend::FlashWorkflow;
using Failure = FlashWorkflow::Failure;
using Stage = FlashWorkflow::Stage;

namespace {

constexpr int kBrokerPollMs = 50;
constexpr const char *kErrorPrefix = "velmo-flash: ";

QString errorLine(const QString &text)
{
    return QLatin1String(kErrorPrefix) + text;
}

QString hex(qint64 value)
{
    return QStringLiteral("0x%1").arg(value, 0, 16);
}

} // namespace

// Sees every reply right after the workflow's parser has stored it, for
// what the workflow keeps no mark of: the port list, and the daemon's end
// of an update that Ctrl+C stopped.
class FlashCommand::ReplyTap : public IMqttMessageHandler
{
public:
    ReplyTap(IMqttMessageHandler *inner, std::function<void(const QString &)> seen)
        : m_inner(inner)
        , m_seen(std::move(seen))
    {}

    void handleMessage(const QString &topic, const QString &payload) override
    {
        if (m_inner)
            m_inner->handleMessage(topic, payload);
        m_seen(topic);
    }
    void handleMessageBytes(const QString &topic, const QByteArray &payload) override
    {
        if (m_inner)
            m_inner->handleMessageBytes(topic, payload);
        m_seen(topic);
    }

private:
    IMqttMessageHandler *m_inner;
    std::function<void(const QString &)> m_seen;
};

FlashCommand::FlashCommand(const FlashOptions &options,
                           const frontend::StoredPreferences &preferences, ConsoleOutput &output,
                           QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_preferences(preferences)
    , m_out(output)
{
    m_retriesLeft = options.retries;
    // Not on our terminal or pipe: the daemon outlives this command.
    m_daemonStart.setQuiet(true);
    m_phaseTimer.setSingleShot(true);
    connect(&m_phaseTimer, &QTimer::timeout, this, &FlashCommand::phaseTimedOut);
    m_retryTimer.setSingleShot(true);
    connect(&m_retryTimer, &QTimer::timeout, this, &FlashCommand::beginAttempt);
    m_brokerPoll.setInterval(kBrokerPollMs);
    connect(&m_brokerPoll, &QTimer::timeout, this, &FlashCommand::brokerTick);
    connect(&m_pingTimer, &QTimer::timeout, this, &FlashCommand::ping);
}

FlashCommand::~FlashCommand()
{
    // The workflow points into the link and at the recorder; the manager's
    // network thread hands replies to the tap until it is gone.
    m_workflow.reset();
    m_link.reset();
    m_systemMgr.reset();
    m_tap.reset();
    m_recorder.reset();
    m_gate.reset();
}

// ---------------------------------------------------------------------------
// Start

void FlashCommand::start()
{
    m_clock.start();
    const bool board =
        m_options.mode == FlashOptions::Mode::Flash || m_options.mode == FlashOptions::Mode::Info;
    if (board) {
        // Two front ends would both act on every reply of the one daemon.
        m_frontEndKey = std::make_unique<InstanceGuard>(QString(protocol::kFrontEndInstanceKey));
        if (!m_frontEndKey->tryAcquire()) {
            m_frontEndKey.reset();
            fail(ExitStatus::Busy, tr("The service tool's window or another velmo-flash is "
                                      "using the serial daemon: close it and try again."));
            return;
        }
    }
    if (m_options.mode == FlashOptions::Mode::Flash && !m_options.latest &&
        !loadImage(m_options.file))
        return;
    if (board && portName().isEmpty()) {
        fail(FlashReport::noPortChosen());
        return;
    }
    m_brokerHost = m_options.brokerGiven() ? m_options.brokerHost : m_preferences.brokerHost;
    m_brokerPort = m_options.brokerGiven() ? m_options.brokerPort : m_preferences.brokerPort;

    startDaemonIfAbsent();
    connectTransport();
    enterPhase(Phase::Broker, m_timeouts.brokerMs);
    m_brokerPoll.start();
    brokerTick();
}

bool FlashCommand::loadImage(const QString &path)
{
    m_imagePath = QFileInfo(path).absoluteFilePath();
    QFile file(m_imagePath);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(ExitStatus::FileRefused, tr("Cannot read %1: %2").arg(path, file.errorString()));
        return false;
    }
    if (file.size() > frontend::kMaxImageBytes) {
        fail(ExitStatus::FileRefused,
             tr("%1 is too large (more than 268,435,455 bytes).").arg(path));
        return false;
    }
    m_image = file.readAll();
    if (m_image.size() != file.size()) {
        fail(ExitStatus::FileRefused, tr("Cannot read %1: %2").arg(path, file.errorString()));
        return false;
    }
    if (m_image.isEmpty()) {
        fail(ExitStatus::FileRefused, tr("%1 is empty.").arg(path));
        return false;
    }
    return true;
}

QString FlashCommand::privateSocket() const
{
    // --broker names a TCP broker; otherwise the launcher's private one,
    // unless the settings dialog chose TCP.
    return m_options.brokerGiven() ? QString() : velmo::privateBrokerSocket();
}

bool FlashCommand::loadLatest()
{
    const frontend::BoardConf &conf = m_link->status().m_BoardConf;
    // Only the connected board's configuration matters here.
    frontend::LibraryScanInput input;
    input.folders = frontend::FirmwareLibrary::defaultFolders();
    input.boards = {conf};
    input.keys = frontend::TrustedKeys::load();
    const frontend::LibraryIndex index = frontend::LibraryScanner::scan(input);
    const bool signedOnly = m_preferences.onlySignedFiles;
    const frontend::LibraryEntry *newest = index.newestFor(conf.id, signedOnly);
    if (!newest) {
        int forBoard = 0;
        for (const frontend::LibraryEntry &entry : index.entries)
            forBoard += entry.fitFor(conf.id) ? 1 : 0;
        QString text =
            signedOnly
                ? tr("The firmware library holds no file signed with a trusted key that can be "
                     "flashed on board %1 (%2).")
                      .arg(conf.id, conf.name)
                : tr("The firmware library holds no file that can be flashed on board %1 (%2).")
                      .arg(conf.id, conf.name);
        if (forBoard == 1)
            text += QLatin1Char(' ') + tr("One file is made for it but cannot be flashed: see "
                                          "velmo-flash --library --board %1.")
                                           .arg(conf.id);
        else if (forBoard > 1)
            text += QLatin1Char(' ') + tr("%1 files are made for it but cannot be flashed: see "
                                          "velmo-flash --library --board %2.")
                                           .arg(forBoard)
                                           .arg(conf.id);
        fail(ExitStatus::NoLibraryFile, text);
        return false;
    }
    const QString modified = newest->modified.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    m_out.step(tr("Newest library file for board %1: %2 (%3, %4).")
                   .arg(conf.id, newest->name, modified,
                        newest->signature ? newest->signature->shortText() : QString()),
               jsonEvent(QStringLiteral("latest"),
                         {{QStringLiteral("file"), newest->path},
                          {QStringLiteral("modified"), newest->modified.toString(Qt::ISODate)},
                          {QStringLiteral("md5"), newest->md5}}));
    return loadImage(newest->path);
}

void FlashCommand::startDaemonIfAbsent()
{
    m_daemonStarted = false;
    const QString socket = m_preferences.privateBroker ? privateSocket() : QString();
    switch (m_daemonStart.ensure(socket)) {
    case frontend::DaemonStart::Result::Running:
        return;
    case frontend::DaemonStart::Result::Started:
        m_daemonStarted = true;
        if (m_options.mode == FlashOptions::Mode::Flash)
            m_out.step(
                tr("The serial daemon was not running: started %1.").arg(m_daemonStart.program()),
                {});
        return;
    case frontend::DaemonStart::Result::Failed:
        break;
    }
    const QString text = tr("The serial daemon is not running, and %1 could not be started: %2")
                             .arg(m_daemonStart.program(), m_daemonStart.errorString());
    m_out.problem(errorLine(text),
                  jsonEvent(QStringLiteral("message"), {{QStringLiteral("kind"), "warning"},
                                                        {QStringLiteral("title"), "Warning"},
                                                        {QStringLiteral("text"), text}}));
}

void FlashCommand::connectTransport()
{
    m_systemMgr = std::make_unique<frontend::SystemMgr>(nullptr, m_brokerPort, privateSocket());
    m_systemMgr->statusObject()->privateBroker = m_preferences.privateBroker;
    MqttMgr *mqtt = m_systemMgr->mqttMgr();
    m_tap = std::make_unique<ReplyTap>(mqtt->messageHandler(),
                                       [this](const QString &topic) { replyArrived(topic); });
    mqtt->setMessageHandler(m_tap.get());
    m_link = std::make_unique<frontend::SystemMgrLink>(*m_systemMgr);

    frontend::StatusObject &status = m_link->status();
    status.portSettings = m_preferences.serial;
    if (!m_options.port.isEmpty())
        status.portSettings.portName = m_options.port;
    status.brokerHost = m_brokerHost;
    status.brokerPort = m_brokerPort;

    m_workflow = std::make_unique<FlashWorkflow>(*m_link);
    FlashWorkflow *w = m_workflow.get();
    w->setUpdateWatchTimes(m_timeouts.updateQuietMs, m_timeouts.updatePingWaitMs,
                           m_timeouts.updateStartMs);
    // Each phase has its own wait here, with the exit status it ends in.
    w->setRequestTimes(0, 0, 0, 0);
    w->setVerifyAfterWriting(m_options.verify);
    w->setVerifyStartTimeout(m_timeouts.verifyStartMs);
    connect(m_systemMgr.get(), &frontend::SystemMgr::statusReady, w, &FlashWorkflow::statusReady);
    connect(w, &FlashWorkflow::stageChanged, this, &FlashCommand::onStage);
    connect(w, &FlashWorkflow::failed, this, &FlashCommand::onFailure);
    connect(w, &FlashWorkflow::updateFinished, this, &FlashCommand::onUpdateFinished);
    connect(w, &FlashWorkflow::daemonAnswered, this, &FlashCommand::daemonAnswered);

    // Where the file comes from and who signed it; "Only flash signed
    // files" holds here as in the window.
    m_gate = std::make_unique<frontend::LibraryImageGate>();
    m_gate->setSignedOnly(m_preferences.onlySignedFiles);
    w->setImageGate(m_gate.get());

    if (m_options.mode == FlashOptions::Mode::Flash) {
        m_recorder = std::make_unique<records::UpdateRecorder>(QLatin1String(kProgramName));
        m_recorder->setProblemHandler([this](const QString &text) {
            m_out.problem(errorLine(text), jsonEvent(QStringLiteral("message"),
                                                     {{QStringLiteral("kind"), "warning"},
                                                      {QStringLiteral("title"), "Warning"},
                                                      {QStringLiteral("text"), text}}));
        });
        w->setRecorder(m_recorder.get());
    }
    m_systemMgr->startConnection(m_brokerHost, m_brokerPort);
}

// ---------------------------------------------------------------------------
// Phases

void FlashCommand::enterPhase(Phase phase, int timeoutMs)
{
    m_phase = phase;
    m_phaseTimer.start(timeoutMs);
}

bool FlashCommand::brokerConnected() const
{
    return m_systemMgr && m_systemMgr->mqttMgr()->thread()->isConnected();
}

void FlashCommand::brokerTick()
{
    if (m_phase != Phase::Broker) {
        m_brokerPoll.stop();
        return;
    }
    if (!brokerConnected())
        return;
    m_brokerPoll.stop();
    enterPhase(Phase::Daemon,
               m_daemonStarted ? m_timeouts.daemonStartMs : m_timeouts.daemonAnswerMs);
    if (m_daemonAnswered) {
        daemonAnswered();
        return;
    }
    // The pong to the connection's own ping can come before the
    // subscription is in place; ask until an answer gets through.
    ping();
    m_pingTimer.start(m_timeouts.pingIntervalMs);
}

void FlashCommand::ping()
{
    m_link->publish(protocol::request::kPing, protocol::payload::kBlank);
    m_link->publish(protocol::request::kVersion, protocol::payload::kBlank);
}

void FlashCommand::daemonAnswered()
{
    m_daemonAnswered = true;
    if (m_phase != Phase::Daemon || m_finishing)
        return;
    m_pingTimer.stop();
    const QString version = m_link->status().serialVersion;
    if (m_options.mode == FlashOptions::Mode::Flash)
        m_out.step(version.isEmpty() ? tr("The serial daemon answers.")
                                     : tr("The serial daemon %1 answers.").arg(version),
                   {});
    m_out.step(QString(),
               jsonEvent(QStringLiteral("daemon"), {{QStringLiteral("started"), m_daemonStarted},
                                                    {QStringLiteral("version"), version}}));
    if (m_options.mode == FlashOptions::Mode::ListPorts) {
        enterPhase(Phase::PortList, m_timeouts.portListMs);
        m_link->publish(protocol::request::kInfo, protocol::payload::kBlank);
        return;
    }
    enterPhase(Phase::Open, m_timeouts.openMs);
    m_workflow->openSerialPort();
}

void FlashCommand::replyArrived(const QString &topic)
{
    if (m_phase == Phase::PortList && topic == protocol::reply::kInfo) {
        QStringList ports;
        for (const QString &name : std::as_const(m_link->status().comPorts)) {
            if (!name.isEmpty())
                ports << name;
        }
        m_out.step(QString(),
                   jsonEvent(QStringLiteral("ports"),
                             {{QStringLiteral("ports"), QJsonArray::fromStringList(ports)}}));
        if (ports.isEmpty())
            m_out.problem(tr("The serial daemon sees no serial ports."), {});
        else
            m_out.raw((ports.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
        finish(int(ExitStatus::Ok), QString());
        return;
    }
    if (m_phase == Phase::Update && topic == protocol::reply::kUpdatePercent) {
        onProgress(m_link->status().updatePercent);
        return;
    }
    if (m_phase == Phase::Verify && topic == protocol::reply::kVerifyPercent) {
        onVerifyProgress(m_link->status().verifyPercent);
        return;
    }
    // The daemon's answer to the close: the end of the update, or of the
    // read-back when it was interrupted there.
    if (m_phase == Phase::Stopping &&
        (topic == protocol::reply::kUpdate || topic == protocol::reply::kVerify)) {
        m_out.problem(tr("The serial daemon stopped the update."), {});
        finish(m_status, QString());
    }
}

void FlashCommand::onStage(Stage stage)
{
    if (m_finishing || m_betweenAttempts)
        return;
    if (stage == Stage::ReadingId && m_phase == Phase::Open) {
        m_out.step(tr("Port %1 open.").arg(portName()),
                   jsonEvent(QStringLiteral("connected"), {{QStringLiteral("port"), portName()}}));
        enterPhase(Phase::BoardId, m_timeouts.boardIdMs);
    } else if (stage == Stage::BoardConnected && m_phase == Phase::BoardId) {
        // After the workflow has finished applying this reply.
        QTimer::singleShot(0, this, &FlashCommand::boardConnected);
    } else if (stage == Stage::ImageSent && m_phase == Phase::Image) {
        imageChecked();
    } else if (stage == Stage::Verifying && m_phase == Phase::Update) {
        if (m_lastPercent < 100)
            m_out.progress({100, m_totalBlocks, m_totalBlocks, 0});
        m_out.step(
            tr("All %1 blocks written; reading the board back to compare.").arg(m_totalBlocks),
            jsonEvent(QStringLiteral("verify-start"), {{QStringLiteral("blocks"), m_totalBlocks}}));
        enterPhase(Phase::Verify, m_timeouts.verifyStartMs + m_timeouts.marginMs);
    } else if (stage == Stage::ImageAccepted && m_phase == Phase::Image) {
        m_out.step(
            tr("The serial daemon accepted %1.").arg(fileName()),
            jsonEvent(QStringLiteral("image-accepted"), {{QStringLiteral("file"), m_imagePath}}));
        QTimer::singleShot(0, this, &FlashCommand::startUpdate);
    }
}

// The workflow checks the file against the board before it sends it.
void FlashCommand::imageChecked()
{
    const QString id = m_link->status().m_BoardConf.id;
    const hexfile::ImageReport &report = m_workflow->imageReport();
    const QStringList &notes = m_workflow->imageNotes();
    const frontend::ImageVetting &vetting = m_workflow->imageVetting();
    m_out.step(
        tr("%1 checked: %2 bytes, made for board %3.").arg(fileName()).arg(m_image.size()).arg(id),
        FlashReport::imageCheckedEvent(m_imagePath, m_image, report, notes, vetting));
    if (report.programmedBytes > 0)
        m_out.step(tr("It programs %1: %2 bytes, %3 % of the program area.")
                       .arg(frontend::rangeText(report.programmed))
                       .arg(report.programmedBytes)
                       .arg(FlashReport::programShare(report), 0, 'f', 1),
                   {});
    for (const QString &note : notes)
        m_out.step(tr("Note: %1.").arg(note), {});
    if (!vetting.signatureText.isEmpty())
        m_out.step(vetting.signatureText + QLatin1Char('.'), {});
}

void FlashCommand::boardConnected()
{
    if (m_finishing)
        return;
    const frontend::BoardConf &conf = m_link->status().m_BoardConf;
    const QString configPath = frontend::boardConfigPath(conf.id, m_workflow->boardConfigFolder());
    m_out.step(tr("Board %1: %2").arg(conf.id, conf.name),
               jsonEvent(QStringLiteral("board"), {{QStringLiteral("id"), conf.id},
                                                   {QStringLiteral("name"), conf.name},
                                                   {QStringLiteral("config"), configPath},
                                                   {QStringLiteral("startFlash"), conf.startFlash},
                                                   {QStringLiteral("startProgr"), conf.startProgr},
                                                   {QStringLiteral("sizeFlashKiB"), conf.sizeFlash},
                                                   {QStringLiteral("sizeProgrKiB"), conf.sizeProgr},
                                                   {QStringLiteral("maxErase"), conf.maxErase},
                                                   {QStringLiteral("padding"), int(conf.padding)},
                                                   {QStringLiteral("idPosition"), conf.idPosition},
                                                   {QStringLiteral("refresh"), conf.refresh}}));

    if (m_options.mode == FlashOptions::Mode::Info) {
        showBoardInfo(conf, configPath);
        finish(int(ExitStatus::Ok), QString());
        return;
    }

    if (!m_options.eraseAll && conf.maxErase == -1) {
        // The board would erase only the first page: every other block
        // would be written over the old firmware.
        fail(ExitStatus::Usage,
             tr("Board %1 (%2) erases all at once (max-erase -1 in its configuration): it "
                "cannot be erased page by page. Leave out --page-erase.")
                 .arg(conf.id, conf.name));
        return;
    }
    if (m_options.latest && !loadLatest())
        return;
    const FlashPlan plan(conf.layout(), m_options.eraseAll);
    m_totalBlocks = plan.totalBlocks();
    m_pageErase = !plan.usesEraseAll();
    sendImage();
}

void FlashCommand::showBoardInfo(const frontend::BoardConf &conf, const QString &configPath)
{
    const QString erase =
        conf.maxErase == -1 ? tr("all at once") : tr("in steps of %1 bytes").arg(conf.maxErase);
    const QStringList lines{
        tr("Configuration file: %1").arg(configPath),
        tr("  flash:        %1 KiB from %2").arg(conf.sizeFlash).arg(hex(conf.startFlash)),
        tr("  program area: %1 KiB from %2").arg(conf.sizeProgr).arg(hex(conf.startProgr)),
        tr("  erase:        %1").arg(erase),
        tr("  padding:      %1").arg(hex(conf.padding)),
        tr("  id position:  %1").arg(conf.idPosition),
        tr("  refresh:      %1").arg(conf.refresh ? tr("yes") : tr("no")),
    };
    for (const QString &line : lines)
        m_out.step(line, {});
}

void FlashCommand::sendImage()
{
    enterPhase(Phase::Image, m_timeouts.imageVerdictMs(m_image.size()));
    m_workflow->sendImageFile(m_imagePath);
}

void FlashCommand::startUpdate()
{
    if (m_finishing)
        return;
    enterPhase(Phase::Update, m_timeouts.firstProgressMs);
    m_updateClock.start();
    m_progress.start(m_totalBlocks);
    m_workflow->startUpdate(m_options.eraseAll);
    if (m_workflow->stage() != Stage::Updating)
        return; // the workflow said why (UpdateNotStarted)
    m_updateBegun = true;
    const QString id = m_link->status().m_BoardConf.id;
    m_out.step(tr("Updating board %1: %2 blocks of 64 bytes, %3.")
                   .arg(id)
                   .arg(m_totalBlocks)
                   .arg(m_pageErase ? tr("erasing page by page") : tr("erasing all at once")),
               jsonEvent(QStringLiteral("update"),
                         {{QStringLiteral("erase"), m_pageErase ? "pages" : "all"},
                          {QStringLiteral("blocks"), m_totalBlocks}}));
}

void FlashCommand::onProgress(int percent)
{
    // Taken from the reply itself: the workflow passes no 100 on, and the
    // line should reach it before the result is told.
    if (m_finishing || percent <= m_lastPercent)
        return;
    m_lastPercent = percent;
    m_progress.advance(percent, m_updateClock.elapsed());
    m_out.progress({percent, m_progress.blocksWritten(), m_totalBlocks, m_progress.remainingMs()});
    m_phaseTimer.start(m_timeouts.progressStepMs(m_totalBlocks, m_pageErase));
}

void FlashCommand::onVerifyProgress(int percent)
{
    if (m_finishing || percent <= m_lastVerifyPercent)
        return;
    m_lastVerifyPercent = percent;
    m_out.progress({percent, frontend::UpdateProgress::blocksAt(percent, m_totalBlocks),
                    m_totalBlocks, -1, true});
    m_phaseTimer.start(m_timeouts.verifyStepMs(m_totalBlocks));
}

void FlashCommand::onUpdateFinished(bool succeeded)
{
    m_updateEnded = true;
    if (!succeeded || m_finishing || (m_phase != Phase::Update && m_phase != Phase::Verify))
        return;
    if (m_phase == Phase::Update && m_lastPercent < 100)
        m_out.progress({100, m_totalBlocks, m_totalBlocks, 0});
    const frontend::UpdateSummary &summary = m_workflow->lastSummary();
    const QString verified = frontend::UpdateReport::verifyLine(summary.verify);
    m_out.step(verified, jsonEvent(QStringLiteral("verify"),
                                   {{QStringLiteral("result"),
                                     frontend::UpdateReport::verifyKey(summary.verify)},
                                    {QStringLiteral("text"), verified}}));
    for (const QString &line : frontend::UpdateReport::summaryLines(summary))
        m_out.step(line, {});
    finish(int(ExitStatus::Ok),
           FlashReport::updated(m_link->status().m_BoardConf, fileName(), m_updateClock.elapsed()));
}

// ---------------------------------------------------------------------------
// Failures and time-outs

void FlashCommand::onFailure(Failure failure, const QString &detail)
{
    if (m_finishing || m_betweenAttempts)
        return;
    if (const std::optional<FlashOutcome> outcome =
            FlashReport::failure(failure, detail, facts())) {
        // Only a cause told in full makes the window's box redundant.
        m_out.toldCause(outcome->text.simplified().contains(detail.simplified()) ? detail
                                                                                 : QString());
        fail(*outcome);
    }
}

void FlashCommand::phaseTimedOut()
{
    const int waitedMs = m_phaseTimer.interval();
    if (m_phase == Phase::Stopping) {
        m_out.problem(FlashReport::stopUnconfirmed(waitedMs), {});
        finish(m_status, QString());
        return;
    }
    if (const std::optional<FlashOutcome> outcome = FlashReport::timeout(facts(), waitedMs))
        fail(*outcome);
}

// ---------------------------------------------------------------------------
// Interruption

void FlashCommand::interrupt(int signalNumber)
{
    ++m_signals;
    const int status = int(ExitStatus::Interrupted) + signalNumber;
    if (m_signals > 1 || m_phase == Phase::Stopping) {
        m_out.problem(tr("Interrupted again: quitting at once."), {});
        m_finishing = true;
        m_phase = Phase::Done;
        m_phaseTimer.stop();
        m_status = status;
        emitFinished();
        return;
    }
    if (m_finishing)
        return; // already on its way out
    if (m_phase == Phase::Update || m_phase == Phase::Verify) {
        // As the window's close: the record says aborted, and the daemon is
        // asked to close the port, which ends the update on its side.
        if (m_recorder && m_recorder->isRecording())
            m_recorder->finish(records::UpdateResult::AbortedByClosing);
        // Its answer ends the update; the workflow has nothing more to say.
        disconnect(m_systemMgr.get(), &frontend::SystemMgr::statusReady, m_workflow.get(),
                   &FlashWorkflow::statusReady);
        m_workflow->closeSerialPort();
        m_status = status;
        const QString text =
            tr("Interrupted during the update: the serial daemon was asked to stop. The board "
               "is left without a complete firmware; update it again before using it.");
        m_out.problem(errorLine(text), jsonEvent(QStringLiteral("interrupted"),
                                                 {{QStringLiteral("signal"), signalNumber},
                                                  {QStringLiteral("updating"), true},
                                                  {QStringLiteral("text"), text}}));
        m_out.problem(tr("Waiting for the serial daemon to stop (Ctrl+C again quits at once)..."),
                      {});
        enterPhase(Phase::Stopping, m_timeouts.stopMs);
        return;
    }
    const QString text = tr("Interrupted.");
    m_out.problem(errorLine(text), jsonEvent(QStringLiteral("interrupted"),
                                             {{QStringLiteral("signal"), signalNumber},
                                              {QStringLiteral("updating"), false},
                                              {QStringLiteral("text"), text}}));
    finish(status, QString());
}

// ---------------------------------------------------------------------------
// --retries

bool FlashCommand::retries(int status) const
{
    if (m_retriesLeft <= 0 || !m_updateBegun)
        return false;
    // What a new update can mend: a board, port, daemon or broker that went
    // away or stopped answering. Not a refused file, a missing
    // configuration, a busy daemon or the user's Ctrl+C.
    switch (ExitStatus(status)) {
    case ExitStatus::UpdateFailed:
    case ExitStatus::PortError:
    case ExitStatus::BoardIdUnread:
    case ExitStatus::NoDaemon:
    case ExitStatus::NoBroker:
        return true;
    default:
        return false;
    }
}

void FlashCommand::retry(int status, const QString &text)
{
    --m_retriesLeft;
    m_betweenAttempts = true;
    m_resultText = text;
    m_phase = Phase::Starting;
    m_phaseTimer.stop();
    m_brokerPoll.stop();
    m_pingTimer.stop();
    const int attempts = m_attempt + m_retriesLeft + 1;
    m_out.problem(errorLine(text), FlashReport::errorEvent(status, text, m_cause));
    m_out.problem(FlashReport::retryLine(m_attempt, attempts, status, m_timeouts.retryPauseMs),
                  FlashReport::retryEvent(m_attempt, attempts, status, text));
    // Often called from inside the workflow's handling of a reply: the
    // attempt is wound up once that is done.
    QTimer::singleShot(0, this, &FlashCommand::endAttempt);
}

void FlashCommand::endAttempt()
{
    // Every attempt has its own record.
    windUp();
    m_retryTimer.start(m_timeouts.retryPauseMs);
}

void FlashCommand::beginAttempt()
{
    ++m_attempt;
    m_betweenAttempts = false;
    m_lastPercent = 0;
    m_lastVerifyPercent = 0;
    m_updateEnded = false;
    m_cause.clear();
    m_daemonAnswered = false;
    // From the start: the daemon may be the one that went away.
    startDaemonIfAbsent();
    enterPhase(Phase::Broker, m_timeouts.brokerMs);
    m_brokerPoll.start();
    brokerTick();
}

// ---------------------------------------------------------------------------
// The end

void FlashCommand::fail(ExitStatus status, const QString &text)
{
    finish(int(status), text);
}

void FlashCommand::fail(const FlashOutcome &outcome)
{
    m_cause = outcome.cause;
    if (outcome.record && m_recorder && m_recorder->isRecording())
        m_recorder->finish(*outcome.record, outcome.text);
    fail(outcome.status, outcome.text);
}

void FlashCommand::finish(int status, const QString &text)
{
    if (m_finishing || m_betweenAttempts)
        return;
    if (retries(status)) {
        retry(status, text);
        return;
    }
    m_finishing = true;
    m_status = status;
    m_phase = Phase::Done;
    m_phaseTimer.stop();
    m_brokerPoll.stop();
    m_pingTimer.stop();
    if (status != int(ExitStatus::Ok) && !text.isEmpty())
        m_out.problem(errorLine(text), FlashReport::errorEvent(status, text, m_cause));
    m_resultText = text;
    // A failure is often reported from inside the workflow's handling of a
    // reply, which goes on (a box, closing the port): the rest follows once
    // it is done.
    QTimer::singleShot(0, this, &FlashCommand::finishNow);
}

void FlashCommand::windUp()
{
    if (m_recorder && m_recorder->isRecording())
        m_recorder->finish(records::UpdateResult::Failed, m_resultText);
    // Nothing stays open behind the command, as behind the window.
    if (m_workflow && m_workflow->stage() != Stage::Idle)
        m_workflow->closeSerialPort();
}

void FlashCommand::finishNow()
{
    windUp();
    FlashEnd end;
    end.status = m_status;
    end.text = m_resultText;
    end.elapsedMs = m_clock.elapsed();
    end.attempts = m_attempt;
    end.flashing = m_options.mode == FlashOptions::Mode::Flash;
    if (m_updateEnded)
        end.summary = m_workflow->lastSummary();
    for (const QString &line : FlashReport::endLines(end))
        m_out.step(line, {});
    m_out.step(QString(), FlashReport::resultEvent(end));
    emitFinished();
}

void FlashCommand::emitFinished()
{
    if (std::exchange(m_finishedEmitted, true))
        return;
    emit finished(m_status);
}

QString FlashCommand::portName() const
{
    return m_options.port.isEmpty() ? m_preferences.serial.portName : m_options.port;
}

QString FlashCommand::fileName() const
{
    return QFileInfo(m_imagePath.isEmpty() ? m_options.file : m_imagePath).fileName();
}

FlashFacts FlashCommand::facts() const
{
    FlashFacts f;
    f.phase = m_phase;
    f.port = portName();
    f.file = fileName();
    f.broker = FlashReport::brokerText(m_systemMgr ? m_systemMgr->socketInUse() : QString(),
                                       m_brokerHost, m_brokerPort);
    f.brokerConnected = brokerConnected();
    f.daemonStarted = m_daemonStarted;
    f.daemonProgram = m_daemonStart.program();
    if (m_workflow)
        f.boardConfigFolder = m_workflow->boardConfigFolder();
    return f;
}
