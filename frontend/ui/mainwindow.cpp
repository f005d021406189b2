#include "frontend/ui/mainwindow.h"

#include "frontend/core/boardconfig.h"
#include "frontend/core/frontendstatus.h"
#include "frontend/core/requests.h"
#include "frontend/core/systemmgr.h"
#include "frontend/core/userdialogs.h"
#include "frontend/logs/plotgraph.h"
#include "frontend/ui/helpdialog.h"
#include "frontend/ui/settingsdialog.h"
#include "frontend/ui/updatecheckui.h"

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
#include <QTableWidget>
#include <QTimer>

namespace {

// Puts `text` into a cell nobody can select or edit.
void putCell(QTableWidget *table, int row, int column, const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEditable));
    table->setItem(row, column, item);
}

} // namespace

MainWindow::MainWindow(QWidget *parent, int brokerPort)
    : QMainWindow(parent)
    , ui(std::make_unique<MainWindowForm>())
{
    m_systemMgr = std::make_unique<frontend::SystemMgr>(nullptr, brokerPort);
    connect(m_systemMgr.get(), &frontend::SystemMgr::statusReady, this, &MainWindow::statusReady);

    ui->setupUi(this);

    m_help = std::make_unique<HelpDialog>();
    m_help->setWindowFlags(Qt::Window);
    m_help->loadHelp();

    m_settings = std::make_unique<SettingsDialog>();
    m_settings->setStatusObject(m_systemMgr->statusObject());
    m_settings->loadInternalPrefs();
    connect(m_settings.get(), qOverload<>(&SettingsDialog::done), this, &MainWindow::updateSetup);
    connect(m_settings.get(), &SettingsDialog::reconnect, this, &MainWindow::restartMqttConnection);

    applyStartState();
    connectActions();
    setupLogViews();

    m_serialTimer.setSingleShot(true);
    connect(&m_serialTimer, &QTimer::timeout, this, &MainWindow::processSerialTimeout);

    const frontend::StatusObject *status = m_systemMgr->statusObject();
    m_systemMgr->startConnection(status->brokerHost, status->brokerPort);

    ui->statusBar->addPermanentWidget(ui->labelStatusBar);
    ui->labelStatusBar->setText(QString());

    m_serialTimer.start(kDaemonCheckDelayMs);
    m_daemonCheckPending = false;

    setupUpdateCheck();
}

MainWindow::~MainWindow()
{
    // A running feed request must not report into a half-torn-down window.
    m_updateCheck.reset();
    m_serialTimer.stop();
    // The dialog points into the manager's StatusObject: it goes first.
    m_settings.reset();
    m_systemMgr.reset();
}

void MainWindow::applyStartState()
{
    MainWindowForm &f = *ui;
    f.actionConnect->setEnabled(true);
    f.actionQuit->setEnabled(true);
    f.actionConfigure->setEnabled(true);
    f.actionDisconnect->setEnabled(false);
    f.actionUpdate->setEnabled(false);
    f.actionOpenFile->setEnabled(false);
    f.actionExport_to_Excel->setEnabled(false);
    f.actionHelpContents->setEnabled(true);
    f.lineEditOpenFile->setReadOnly(true);
    f.btnOpenFile->setEnabled(false);
    f.btnExitBoot->hide();
    f.btnExitBoot->setEnabled(false);
    f.btnUpdate->setEnabled(false);
    f.checkBoxEraseAll->hide();
    f.checkBoxEraseAll->setEnabled(false);
    f.progressBarUpdate->setEnabled(false);
    f.labelHexInfo->setEnabled(false);
    f.labelHexVers->setEnabled(false);
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
    connect(f.btnExitBoot, &QPushButton::clicked, this, &MainWindow::exitBoot);

    connect(f.actionConnect, &QAction::triggered, this, &MainWindow::openSerialPort);
    connect(f.actionDisconnect, &QAction::triggered, this, &MainWindow::closeSerialPort);
    connect(f.actionQuit, &QAction::triggered, this, &MainWindow::close);
    connect(f.actionConfigure, &QAction::triggered, this, &MainWindow::showSerialSetting);
    connect(f.actionOpenFile, &QAction::triggered, this, &MainWindow::openFile);
    connect(f.actionUpdate, &QAction::triggered, this, &MainWindow::startUpdate);
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

void MainWindow::showStatus(const QString &text)
{
    ui->statusBar->showMessage(text);
}

// The controls that stay locked while the board is being written.
void MainWindow::setFlashingLocked(bool locked)
{
    MainWindowForm &f = *ui;
    for (QAction *action : {f.actionDisconnect, f.actionQuit, f.actionUpdate, f.actionOpenFile})
        action->setEnabled(!locked);
    for (QWidget *widget :
         {static_cast<QWidget *>(f.btnOpenFile), static_cast<QWidget *>(f.btnUpdate),
          static_cast<QWidget *>(f.checkBoxEraseAll), static_cast<QWidget *>(f.btnExitBoot)})
        widget->setEnabled(!locked);
}

void MainWindow::processSerialTimeout()
{
    if (!m_daemonCheckPending) {
        const QString blank = QStringLiteral(" ");
        m_systemMgr->publish(QStringLiteral("REQUEST/SERIAL/PING"), blank);
        m_systemMgr->publish(QStringLiteral("REQUEST/SERIAL/INFO"), blank);
        m_systemMgr->publish(QStringLiteral("REQUEST/SERIAL/VERSION"), blank);
        m_serialTimer.start(kDaemonPongWaitMs);
        m_daemonCheckPending = true;
        return;
    }
    m_daemonCheckPending = false;
    const QString text = tr("Unable to connect with serial daemon.");
    UserDialogs::instance().warning(QStringLiteral("Warning"), text);
    showStatus(text);
    ui->labelStatusBar->setText(text);
}

void MainWindow::restartMqttConnection()
{
    const frontend::StatusObject *status = m_systemMgr->statusObject();
    m_systemMgr->startConnection(status->brokerHost, status->brokerPort);
    m_serialTimer.start(kDaemonCheckDelayMs);
}

void MainWindow::updateSetup()
{
    const SettingsDialog::SerialSettings s = m_settings->currentSettings();
    frontend::PortSettings port;
    port.portName = s.portName;
    port.baudRate = s.baudRate;
    port.dataBits = s.dataBits;
    port.parity = s.parity;
    port.stopBits = s.stopBits;
    port.flowControl = s.flowControl;
    m_systemMgr->sendSerialSetup(port);
}

void MainWindow::showSerialSetting()
{
    m_systemMgr->publish(QStringLiteral("REQUEST/SERIAL/INFO"), QStringLiteral(" "));
    m_settings->show();
}

void MainWindow::openSerialPort()
{
    updateSetup();
    m_systemMgr->publish(QStringLiteral("REQUEST/SERIAL"), QStringLiteral("OPEN"));
    ui->statusBar->clearMessage();
    ui->labelStatusBar->setText(tr("Open Port: %1").arg(m_settings->currentSettings().portName));
}

void MainWindow::closeSerialPort()
{
    MainWindowForm &f = *ui;
    m_systemMgr->publish(QStringLiteral("REQUEST/SERIAL"), QStringLiteral("CLOSE"));
    f.actionConnect->setEnabled(true);
    f.actionConfigure->setEnabled(true);
    f.actionDisconnect->setEnabled(false);
    f.actionOpenFile->setEnabled(false);
    f.actionUpdate->setEnabled(false);
    for (QWidget *widget :
         {static_cast<QWidget *>(f.btnOpenFile), static_cast<QWidget *>(f.btnExitBoot),
          static_cast<QWidget *>(f.btnUpdate), static_cast<QWidget *>(f.checkBoxEraseAll),
          static_cast<QWidget *>(f.progressBarUpdate), static_cast<QWidget *>(f.labelHexInfo),
          static_cast<QWidget *>(f.labelHexVers)})
        widget->setEnabled(false);
    f.labelHexVers->setText(QString());
    f.labelStatusBar->setText(tr("Disconnected"));
}

void MainWindow::openFile()
{
    const QString path =
        UserDialogs::instance().chooseOpenFile(QStringLiteral("Hex files (*.hex)"));
    if (path.isEmpty())
        return;
    qDebug().noquote() << path;
    ui->lineEditOpenFile->setText(path);
    showStatus(tr("File loading..."));
    const frontend::SystemMgr::SendResult result = m_systemMgr->sendImageFile(path);
    // A file the transport refused never reaches the daemon, so no answer
    // would ever replace "File loading...".
    if (result == frontend::SystemMgr::SendResult::Refused)
        showStatus(tr("File loaded: Error file not sent."));
}

void MainWindow::startUpdate()
{
    m_systemMgr->requestBoardUpdate(ui->checkBoxEraseAll->isChecked());
    showStatus(tr("Update started."));
}

void MainWindow::exitBoot()
{
    m_systemMgr->publish(QStringLiteral("REQUEST/BOARD/BOOTOFF"), QStringLiteral(" "));
    closeSerialPort();
}

void MainWindow::statusReady()
{
    qDebug() << "statusReady";
    m_settings->refreshPortList();
    frontend::StatusObject &so = *m_systemMgr->statusObject();
    frontend::BoardConf &conf = so.m_BoardConf;
    MainWindowForm &f = *ui;

    if (so.serialOpened) {
        f.labelStatusBar->setText(
            tr("Connected to Port: %1").arg(m_settings->currentSettings().portName));
        m_systemMgr->publish(QStringLiteral("REQUEST/SERIAL/READ/ID"), QStringLiteral(" "));
        so.serialOpened = false;
    }

    // Each mark is lowered before its step can open a box: the box runs the
    // event loop, and a nested call must not act on the same reply again.
    if (so.serialError) {
        so.serialError = false;
        UserDialogs::instance().critical(QStringLiteral("Error"), so.errorText);
        showStatus(tr("Open error."));
    }

    if (so.idReceived) {
        so.idReceived = false;
        qDebug().noquote() << "m_BoardConf.id: " + conf.id;
        if (!frontend::requests::boardIdInRange(conf.id)) {
            UserDialogs::instance().critical(QStringLiteral("Error"),
                                             tr("COM incorrect. Choose another serial port."));
            showStatus(tr("Open error."));
        } else {
            showStatus(tr("Check configuration file for Board: %1.").arg(conf.id));
            if (!frontend::loadBoardConfig(conf.id, conf)) {
                showStatus(tr("Error loading configuration file for Board: %1.").arg(conf.id));
                showStatus(
                    tr("Failed control of the configuration file for the Board: %1.").arg(conf.id));
            } else {
                showStatus(tr("Connected to Port: %1").arg(m_settings->currentSettings().portName));
                f.labelStatusBar->setText(tr("Connected with board: %1").arg(conf.name));
                m_systemMgr->sendBoardConfigs(conf.startFlash, conf.startProgr, conf.sizeFlash,
                                              conf.sizeProgr, conf.maxErase, conf.padding,
                                              conf.idPosition);
                if (conf.refresh)
                    m_systemMgr->requestRefresh();
                f.actionConnect->setEnabled(false);
                f.actionConfigure->setEnabled(false);
                f.actionDisconnect->setEnabled(true);
                f.actionOpenFile->setEnabled(true);
                f.btnOpenFile->setEnabled(true);
                f.btnExitBoot->setEnabled(true);
            }
        }
    }

    if (so.flashReplied) {
        const bool accepted = so.flashAccepted;
        so.flashReplied = false;
        so.flashAccepted = false;
        if (accepted) {
            f.actionUpdate->setEnabled(true);
            f.btnUpdate->setEnabled(true);
            f.checkBoxEraseAll->setEnabled(true);
            f.labelHexInfo->setEnabled(true);
            f.labelHexVers->setEnabled(true);
            f.labelHexVers->setText(conf.name);
            showStatus(tr("File loaded: Ok."));
        } else {
            f.actionUpdate->setEnabled(false);
            f.btnUpdate->setEnabled(false);
            f.checkBoxEraseAll->setEnabled(false);
            showStatus(tr("File loaded: Error file wrong."));
            UserDialogs::instance().critical(QStringLiteral("Error"), tr("File wrong."));
        }
    }

    if (so.percReceived) {
        if (so.updatePercent < 100) {
            f.progressBarUpdate->setEnabled(true);
            f.progressBarUpdate->setValue(so.updatePercent);
            setFlashingLocked(true);
        }
        so.percReceived = false;
    }

    if (so.updateDone) {
        so.updateDone = false;
        if (conf.refresh)
            m_systemMgr->requestRefresh();
        f.progressBarUpdate->setEnabled(true);
        f.progressBarUpdate->setValue(0);
        setFlashingLocked(false);
        const QString text = tr("Update completed successfully.");
        showStatus(text);
        qDebug().noquote() << text;
        UserDialogs::instance().information(QStringLiteral("Flashing"), text);
        exitBoot();
        f.lineEditOpenFile->clear();
    }

    if (so.updateFailed) {
        so.updateFailed = false;
        if (conf.refresh)
            m_systemMgr->requestRefresh();
        so.percReceived = false;
        f.progressBarUpdate->setEnabled(true);
        f.progressBarUpdate->setValue(0);
        setFlashingLocked(false);
        UserDialogs::instance().critical(QStringLiteral("Error"), tr("Failed Update."));
        closeSerialPort();
        showStatus(tr("Failed Update."));
    }

    if (so.idError) {
        so.idError = false;
        const QString text = tr("Error when connecting to the board.");
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
    }
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

void MainWindow::Board_Info_Table_Set_Row_Count(int Row_Count)
{
    ui->Board_Info_Table->setRowCount(Row_Count);
}

void MainWindow::Board_Info_Table_Add_Item(int Parameter_Row, QString Parameter_Name,
                                           QString Parameter_Value, QString Parameter_Description)
{
    QTableWidget *table = ui->Board_Info_Table;
    putCell(table, Parameter_Row, 0, Parameter_Name);
    putCell(table, Parameter_Row, 1, Parameter_Value);
    putCell(table, Parameter_Row, 2, Parameter_Description);
    table->resizeRowsToContents();
}

void MainWindow::Board_Settings_Table_Set_Row_Count(int Row_Count)
{
    ui->Board_Settings_Table->setRowCount(Row_Count);
}

void MainWindow::Board_Settings_Table_Add_Item(int Parameter_Row, QString Parameter_Name,
                                               QString Parameter_Value, QString Parameter_Unit,
                                               QString Parameter_Description)
{
    QTableWidget *table = ui->Board_Settings_Table;
    bool isNumber = false;
    Parameter_Value.toDouble(&isNumber);
    putCell(table, Parameter_Row, 0, Parameter_Name);
    putCell(table, Parameter_Row, 1,
            isNumber ? Parameter_Value + QLatin1Char(' ') + Parameter_Unit : Parameter_Value);
    putCell(table, Parameter_Row, 2, Parameter_Description);
    table->resizeRowsToContents();
}

void MainWindow::Alarms_Table_Set_Row_Count(int Row_Count)
{
    ui->Alarms_Table->setRowCount(Row_Count);
}

void MainWindow::Alarms_Table_Add_Item(int Alarm_Row, QString Code_Value, QString Occurrency,
                                       QString Alarm_Description)
{
    QTableWidget *table = ui->Alarms_Table;
    putCell(table, Alarm_Row, 0, Code_Value);
    putCell(table, Alarm_Row, 1, Occurrency);
    putCell(table, Alarm_Row, 2, Alarm_Description);
    table->resizeRowsToContents();
}

void MainWindow::Last_Alarms_Table_Set_Row_Count(int Row_Count)
{
    ui->Last_Alarms_Table->setRowCount(Row_Count);
}

void MainWindow::Last_Alarms_Table_Add_Item(int Alarm_Row, QString Code_Value, QString Alarm_Time)
{
    QTableWidget *table = ui->Last_Alarms_Table;
    putCell(table, Alarm_Row, 0, Code_Value);
    putCell(table, Alarm_Row, 1, Alarm_Time);
    table->resizeRowsToContents();
}
