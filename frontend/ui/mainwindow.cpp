#include "frontend/ui/mainwindow.h"

#include "frontend/base/daemonstart.h"
#include "frontend/base/userdialogs.h"
#include "frontend/core/daemonlink.h"
#include "frontend/core/systemmgr.h"
#include "frontend/library/librarycontroller.h"
#include "frontend/ui/helpdialog.h"
#include "frontend/ui/openprogress.h"
#include "frontend/ui/servicerecorddialog.h"
#include "frontend/ui/settingsdialog.h"
#include "frontend/ui/updatecheckui.h"
#include "records/updaterecorder.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QContextMenuEvent>
#include <QDebug>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>

using frontend::FlashWorkflow;

MainWindow::MainWindow(QWidget *parent, int brokerPort)
    : QMainWindow(parent)
    , ui(std::make_unique<MainWindowForm>())
{
    m_systemMgr = std::make_unique<frontend::SystemMgr>(nullptr, brokerPort);
    // main() started the daemon of this broker when it was absent.
    m_daemonBroker = m_systemMgr->socketInUse();
    connect(m_systemMgr.get(), &frontend::SystemMgr::statusReady, this, &MainWindow::statusReady);
    m_daemonLink = std::make_unique<frontend::SystemMgrLink>(*m_systemMgr);
    m_workflow = std::make_unique<FlashWorkflow>(*m_daemonLink);

    ui->setupUi(this);

    m_help = std::make_unique<HelpDialog>();
    m_help->setWindowFlags(Qt::Window);
    m_help->loadHelp();

    m_settings = std::make_unique<SettingsDialog>();
    m_settings->setStatusObject(m_systemMgr->statusObject());
    m_settings->loadInternalPrefs();
    m_workflow->setVerifyAfterWriting(m_settings->verifyAfterWriting());
    connect(m_settings.get(), qOverload<>(&SettingsDialog::done), this, &MainWindow::updateSetup);
    connect(m_settings.get(), &SettingsDialog::reconnect, this, &MainWindow::restartMqttConnection);
    connect(m_settings.get(), &SettingsDialog::portListWanted, this,
            [this] { m_workflow->requestPortList(); });

    applyStartState();
    connectActions();
    connectWorkflow();
    setupLogViews();
    setupLogTables();
    enableLogTools(false, false);

    ui->statusBar->addPermanentWidget(ui->labelStatusBar);
    ui->labelStatusBar->setText(QString());
    // The stored broker, then the daemon check in ten seconds.
    m_workflow->start();

    setupUpdateCheck();
    setupServiceRecord();
    setupLibrary();
}

MainWindow::~MainWindow()
{
    // A running feed request must not report into a half-torn-down window.
    m_updateCheck.reset();
    m_library.reset();
    m_workflow.reset();
    m_recorder.reset();
    // The dialog points into the manager's StatusObject: it goes first.
    m_settings.reset();
    m_daemonLink.reset();
    m_systemMgr.reset();
}

void MainWindow::applyStartState()
{
    MainWindowForm &f = *ui;
    showControls(m_workflow->enabledControls());
    f.actionExport_to_Excel->setEnabled(false);
    f.actionHelpContents->setEnabled(true);
    f.lineEditOpenFile->setReadOnly(true);
    f.btnExitBoot->hide();
    f.checkBoxEraseAll->hide();
    f.labelHexVers->setText(QString());

    f.tabWidget->setCurrentIndex(0);
    f.stackedWidgetLog->setCurrentIndex(0);
}

void MainWindow::connectActions()
{
    MainWindowForm &f = *ui;
    connect(f.btnOpenFile, &QPushButton::clicked, this, &MainWindow::openFile);
    connect(f.btnOpenLogFile, &QPushButton::clicked, this, &MainWindow::openLogFile);
    connect(f.btnUpdate, &QPushButton::clicked, this, &MainWindow::startUpdate);
    connect(f.btnUpdateAgain, &QPushButton::clicked, m_workflow.get(), &FlashWorkflow::updateAgain);
    connect(f.btnExitBoot, &QPushButton::clicked, this, &MainWindow::exitBoot);

    connect(f.actionConnect, &QAction::triggered, this, &MainWindow::openSerialPort);
    connect(f.actionDisconnect, &QAction::triggered, this, &MainWindow::closeSerialPort);
    connect(f.actionQuit, &QAction::triggered, this, &MainWindow::close);
    connect(f.actionConfigure, &QAction::triggered, this, &MainWindow::showSerialSetting);
    connect(f.actionOpenFile, &QAction::triggered, this, &MainWindow::openFile);
    connect(f.actionUpdate, &QAction::triggered, this, &MainWindow::startUpdate);
    connect(f.actionServiceRecord, &QAction::triggered, this, &MainWindow::showServiceRecord);
    connect(f.actionOpenLogFile, &QAction::triggered, this, &MainWindow::openLogFile);
    connect(f.actionFull_log_example, &QAction::triggered, this,
            &MainWindow::process_full_log_example);
    connect(f.actionShort_log_example, &QAction::triggered, this,
            &MainWindow::open_short_log_example);
    connect(f.actionHelpContents, &QAction::triggered, this, &MainWindow::showDocumentation);
    // Enabled once a log has been opened (mainwindow_logs.cpp).
    connect(f.actionExport_to_Excel, &QAction::triggered, this, &MainWindow::export_to_excel);
    connect(f.actionAbout, &QAction::triggered, this, &MainWindow::about);
    connect(f.actionAboutQt, &QAction::triggered, qApp, &QApplication::aboutQt);
}

// What the workflow decides, shown in the form.
void MainWindow::connectWorkflow()
{
    FlashWorkflow *w = m_workflow.get();
    MainWindowForm &f = *ui;
    connect(w, &FlashWorkflow::statusMessage, f.statusBar,
            [bar = f.statusBar](const QString &text) {
                if (text.isEmpty())
                    bar->clearMessage();
                else
                    bar->showMessage(text);
            });
    connect(w, &FlashWorkflow::connectionText, f.labelStatusBar, &QLabel::setText);
    connect(w, &FlashWorkflow::controlsChanged, this, &MainWindow::showControls);
    connect(w, &FlashWorkflow::progressChanged, f.progressBarUpdate,
            [bar = f.progressBarUpdate](int percent) {
                bar->resetFormat();
                bar->setValue(percent);
            });
    // Busy: a bar without end, moving, while the board is erased.
    connect(w, &FlashWorkflow::progressBusy, f.progressBarUpdate,
            [bar = f.progressBarUpdate](bool busy) {
                bar->resetFormat();
                bar->setRange(0, busy ? 0 : 100);
            });
    connect(w, &FlashWorkflow::progressStopped, f.progressBarUpdate,
            [bar = f.progressBarUpdate](int percent, const QString &text) {
                bar->setValue(percent);
                // The format goes through QString::arg-like codes: keep a
                // stray % of the text literal.
                QString format = text;
                bar->setFormat(format.replace(QLatin1Char('%'), QStringLiteral("%%")));
            });
    // Connect without a port: the settings, where one is chosen.
    connect(w, &FlashWorkflow::settingsRequested, this, &MainWindow::showSerialSetting);
    connect(w, &FlashWorkflow::imagePathChanged, f.lineEditOpenFile, &QLineEdit::setText);
    connect(w, &FlashWorkflow::imageBoardChanged, f.labelHexVers, &QLabel::setText);
    connect(w, &FlashWorkflow::imageInfoChanged, f.labelHexDetails,
            [label = f.labelHexDetails](const QString &text) {
                label->setText(text);
                label->setVisible(!text.isEmpty());
            });
}

void MainWindow::showControls(FlashWorkflow::Controls enabled)
{
    using Control = FlashWorkflow::Control;
    MainWindowForm &f = *ui;
    const auto on = [enabled](Control control) { return enabled.testFlag(control); };
    f.actionConnect->setEnabled(on(Control::Connect));
    f.actionDisconnect->setEnabled(on(Control::Disconnect));
    f.actionConfigure->setEnabled(on(Control::Configure));
    f.actionQuit->setEnabled(on(Control::Quit));
    f.actionOpenFile->setEnabled(on(Control::OpenFile));
    f.btnOpenFile->setEnabled(on(Control::OpenFile));
    f.actionUpdate->setEnabled(on(Control::Update));
    f.btnUpdate->setEnabled(on(Control::Update));
    f.btnUpdateAgain->setEnabled(on(Control::UpdateAgain));
    f.checkBoxEraseAll->setEnabled(on(Control::EraseAll));
    f.btnExitBoot->setEnabled(on(Control::ExitBoot));
    f.labelHexInfo->setEnabled(on(Control::ImageInfo));
    f.labelHexDetails->setEnabled(on(Control::ImageInfo));
    f.labelHexVers->setEnabled(on(Control::ImageInfo));
    f.progressBarUpdate->setEnabled(on(Control::Progress));
}

void MainWindow::openSerialPort()
{
    m_workflow->openSerialPort();
}

void MainWindow::closeSerialPort()
{
    m_workflow->closeSerialPort();
}

void MainWindow::statusReady()
{
    qDebug() << "statusReady";
    m_settings->refreshPortList();
    m_workflow->statusReady();
}

void MainWindow::updateSetup()
{
    m_workflow->setVerifyAfterWriting(m_settings->verifyAfterWriting());
    m_library->setSignedOnly(m_settings->onlySignedFiles());
    m_workflow->updateSetup();
}

void MainWindow::restartMqttConnection()
{
    m_workflow->restartMqttConnection();
    // Each broker has a daemon of its own: after a move between the private
    // broker and TCP, the one chosen now may have none yet. A daemon here
    // serves only a broker on this machine.
    const QString socket = m_systemMgr->socketInUse();
    if (socket == m_daemonBroker)
        return;
    m_daemonBroker = socket;
    if (m_daemonStart &&
        frontend::DaemonStart::servesBroker(socket, m_systemMgr->statusObject()->brokerHost))
        m_daemonStart->ensure(socket);
}

void MainWindow::setDaemonStart(frontend::DaemonStart *daemonStart)
{
    m_daemonStart = daemonStart;
    m_workflow->setDaemonStart(daemonStart);
}

void MainWindow::showSerialSetting()
{
    m_workflow->requestPortList();
    m_settings->show();
}

void MainWindow::openFile()
{
    m_workflow->openFile();
}

void MainWindow::startUpdate()
{
    m_workflow->startUpdate(ui->checkBoxEraseAll->isChecked());
}

void MainWindow::exitBoot()
{
    m_workflow->exitBoot();
}

void MainWindow::processSerialTimeout()
{
    m_workflow->processSerialTimeout();
}

void MainWindow::about()
{
    QMessageBox box(this);
    box.setWindowTitle(tr("About ORKEL"));
    box.setTextFormat(Qt::RichText);
    box.setText(tr("<br></br><b>ORKEL ver. %3</b><br></br><br></br>FrontEnd ver. "
                   "%1<br></br>Serial ver. %2<br></br> ")
                    .arg(QString::fromLatin1(kFrontEndVersion), m_systemMgr->serialVersion(),
                         QString::fromLatin1(kProductVersion)));
    box.setIconPixmap(windowIcon().pixmap(64, 64));
    box.setStandardButtons(QMessageBox::Ok);
    UserDialogs::instance().execDialog(box);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    qDebug() << "closeEvent";
    if (!m_workflow->confirmClose()) {
        event->ignore();
        return;
    }
    if (m_recorder && m_recorder->isRecording())
        m_recorder->finish(records::UpdateResult::AbortedByClosing);
    // A log being read is given up; the wait for it ends with the program.
    m_opening->cancel();
    closeSerialPort();
    event->accept();
    QCoreApplication::quit();
}

void MainWindow::contextMenuEvent(QContextMenuEvent *event)
{
    // An empty menu instead of the main window's tool-bar menu.
    if (!m_contextMenu)
        m_contextMenu = new QMenu(this);
    m_contextMenu->popup(event->globalPos());
    event->accept();
}
