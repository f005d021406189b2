#include "frontend/ui/mainwindow.h"

#include "frontend/core/boardconfig.h"
#include "frontend/core/frontendstatus.h"
#include "frontend/core/requests.h"
#include "frontend/core/systemmgr.h"
#include "frontend/core/userdialogs.h"
#include "frontend/logs/plotgraph.h"
#include "frontend/ui/helpdialog.h"
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
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSpacerItem>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QIcon resourceIcon(const char *path)
{
    QIcon icon;
    icon.addFile(QString::fromLatin1(path), QSize(), QIcon::Normal, QIcon::Off);
    return icon;
}

QSpacerItem *hSpacer()
{
    return new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum);
}

QSpacerItem *vSpacer()
{
    return new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding);
}

QFont pointFont(int pointSize, bool bold = false)
{
    QFont font;
    font.setPointSize(pointSize);
    if (bold)
        font.setWeight(QFont::Bold); // weight 75 of the old scale
    return font;
}

// Puts `text` into a cell nobody can select or edit.
void putCell(QTableWidget *table, int row, int column, const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEditable));
    table->setItem(row, column, item);
}

QTableWidget *makeTable(QWidget *parent, const char *name, int columns)
{
    auto *table = new QTableWidget(parent);
    table->setObjectName(QString::fromLatin1(name));
    table->setColumnCount(columns);
    for (int c = 0; c < columns; ++c)
        table->setHorizontalHeaderItem(c, new QTableWidgetItem());
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->setVisible(false);
    // Rows are fitted to their texts while the table fills; when the window
    // is maximized or resized afterwards, wrapped texts need a new fit or the
    // rows keep uneven heights.
    QObject::connect(table->horizontalHeader(), &QHeaderView::sectionResized, table, [table] {
        QTimer::singleShot(0, table, &QTableWidget::resizeRowsToContents);
    });
    return table;
}

QGroupBox *centredGroup(QWidget *parent, QGridLayout *outer, const char *name)
{
    auto *group = new QGroupBox(parent);
    group->setObjectName(QString::fromLatin1(name));
    outer->addItem(hSpacer(), 0, 0);
    outer->addWidget(group, 0, 1);
    outer->addItem(hSpacer(), 0, 2);
    return group;
}

} // namespace

MainWindow::MainWindow(QWidget *parent, int brokerPort)
    : QMainWindow(parent)
    , ui(std::make_unique<MainWindowForm>())
{
    m_systemMgr = std::make_unique<frontend::SystemMgr>(nullptr, brokerPort);
    connect(m_systemMgr.get(), &frontend::SystemMgr::statusReady, this, &MainWindow::statusReady);

    buildForm();

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
    setupServiceRecord();

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

void MainWindow::buildForm()
{
    MainWindowForm &f = *ui;
    setObjectName(QStringLiteral("MainWindow"));
    resize(720, 671);
    QFont windowFont;
    windowFont.setFamily(QStringLiteral("MS Shell Dlg 2"));
    setFont(windowFont);

    auto makeAction = [this](QAction *&action, const char *name, const char *icon) {
        action = new QAction(this);
        action->setObjectName(QString::fromLatin1(name));
        if (icon)
            action->setIcon(resourceIcon(icon));
    };
    makeAction(f.actionConnect, "actionConnect", ":/images/connect.png");
    makeAction(f.actionDisconnect, "actionDisconnect", ":/images/disconnect.png");
    makeAction(f.actionQuit, "actionQuit", ":/images/application-exit.png");
    makeAction(f.actionConfigure, "actionConfigure", ":/images/settings.png");
    makeAction(f.actionOpenFile, "actionOpenFile", ":/images/folder.png");
    makeAction(f.actionUpdate, "actionUpdate", ":/images/system-software-update.png");
    makeAction(f.actionServiceRecord, "actionServiceRecord", nullptr);
    makeAction(f.actionOpenLogFile, "actionOpenLogFile", ":/images/folder.png");
    makeAction(f.actionExport_to_Excel, "actionExport_to_Excel", ":/images/excel.png");
    makeAction(f.actionHelpContents, "actionHelpContents", nullptr);
    makeAction(f.actionFull_log_example, "actionFull_log_example", nullptr);
    makeAction(f.actionShort_log_example, "actionShort_log_example", nullptr);
    makeAction(f.actionCheck_for_update, "actionCheck_for_update", nullptr);
    makeAction(f.actionDisable_Update, "actionDisable_Update", nullptr);
    makeAction(f.actionAbout, "actionAbout", nullptr);
    makeAction(f.actionAboutQt, "actionAboutQt", nullptr);

    f.centralWidget = new QWidget(this);
    f.centralWidget->setObjectName(QStringLiteral("centralWidget"));
    f.verticalLayout = new QVBoxLayout(f.centralWidget);
    f.verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    f.verticalLayout->setSpacing(6);
    f.tabWidget = new QTabWidget(f.centralWidget);
    f.tabWidget->setObjectName(QStringLiteral("tabWidget"));
    f.tabWidget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    // Data-Logging tab
    f.tab = new QWidget();
    f.tab->setObjectName(QStringLiteral("tab"));
    f.horizontalLayout_3 = new QHBoxLayout(f.tab);
    f.horizontalLayout_3->setObjectName(QStringLiteral("horizontalLayout_3"));
    f.stackedWidgetLog = new QStackedWidget(f.tab);
    f.stackedWidgetLog->setObjectName(QStringLiteral("stackedWidgetLog"));

    f.pageSelectLogFile = new QWidget();
    f.pageSelectLogFile->setObjectName(QStringLiteral("pageSelectLogFile"));
    f.gridLayout_10 = new QGridLayout(f.pageSelectLogFile);
    f.gridLayout_10->setObjectName(QStringLiteral("gridLayout_10"));
    f.gridLayout_11 = new QGridLayout();
    f.gridLayout_11->setObjectName(QStringLiteral("gridLayout_11"));
    f.gridLayout_10->addItem(vSpacer(), 0, 0);
    f.gridLayout_10->addLayout(f.gridLayout_11, 1, 0);
    f.gridLayout_10->addItem(vSpacer(), 2, 0);
    f.LogFileGroup = centredGroup(f.pageSelectLogFile, f.gridLayout_11, "LogFileGroup");
    f.LogFileGroup->setMinimumWidth(420);
    f.gridLayout_8 = new QGridLayout(f.LogFileGroup);
    f.gridLayout_8->setObjectName(QStringLiteral("gridLayout_8"));
    f.lineEditOpenLogFile = new QLineEdit(f.LogFileGroup);
    f.lineEditOpenLogFile->setObjectName(QStringLiteral("lineEditOpenLogFile"));
    f.btnOpenLogFile = new QPushButton(f.LogFileGroup);
    f.btnOpenLogFile->setObjectName(QStringLiteral("btnOpenLogFile"));
    f.gridLayout_8->addWidget(f.lineEditOpenLogFile, 0, 0);
    f.gridLayout_8->addWidget(f.btnOpenLogFile, 0, 1);
    f.stackedWidgetLog->addWidget(f.pageSelectLogFile);

    f.pagePlot = new QWidget();
    f.pagePlot->setObjectName(QStringLiteral("pagePlot"));
    f.verticalLayout_4 = new QVBoxLayout(f.pagePlot);
    f.verticalLayout_4->setObjectName(QStringLiteral("verticalLayout_4"));
    f.verticalLayout_5 = new QVBoxLayout();
    f.verticalLayout_5->setObjectName(QStringLiteral("verticalLayout_5"));
    f.plotGraphCommands =
        new PlotGraph(f.pagePlot, QStringLiteral("Events"), QStringLiteral("Commands"));
    f.plotGraphCommands->setObjectName(QStringLiteral("plotGraphCommands"));
    f.plotGraphAllarms =
        new PlotGraph(f.pagePlot, QStringLiteral("Events"), QStringLiteral("Commands"));
    f.plotGraphAllarms->setObjectName(QStringLiteral("plotGraphAllarms"));
    f.verticalLayout_5->addWidget(f.plotGraphCommands, 2);
    f.verticalLayout_5->addWidget(f.plotGraphAllarms, 1);
    f.verticalLayout_4->addLayout(f.verticalLayout_5);
    f.stackedWidgetLog->addWidget(f.pagePlot);

    f.page_Short_DataLog = new QWidget();
    f.page_Short_DataLog->setObjectName(QStringLiteral("page_Short_DataLog"));
    f.horizontalLayout_4 = new QHBoxLayout(f.page_Short_DataLog);
    f.horizontalLayout_4->setObjectName(QStringLiteral("horizontalLayout_4"));
    f.verticalLayout_3 = new QVBoxLayout();
    f.verticalLayout_3->setObjectName(QStringLiteral("verticalLayout_3"));
    f.label = new QLabel(f.page_Short_DataLog);
    f.label->setObjectName(QStringLiteral("label"));
    f.Board_Info_Table = makeTable(f.page_Short_DataLog, "Board_Info_Table", 3);
    QFont tableFont;
    tableFont.setFamily(QStringLiteral("Segoe UI"));
    f.Board_Info_Table->setFont(tableFont);
    f.Board_Info_Table->horizontalHeader()->setDefaultSectionSize(105);
    f.Board_Info_Table->verticalHeader()->setDefaultSectionSize(30);
    f.label_4 = new QLabel(f.page_Short_DataLog);
    f.label_4->setObjectName(QStringLiteral("label_4"));
    f.Last_Alarms_Table = makeTable(f.page_Short_DataLog, "Last_Alarms_Table", 2);
    f.verticalLayout_3->addWidget(f.label);
    f.verticalLayout_3->addWidget(f.Board_Info_Table);
    f.verticalLayout_3->addWidget(f.label_4);
    f.verticalLayout_3->addWidget(f.Last_Alarms_Table);
    f.verticalLayout_8 = new QVBoxLayout();
    f.verticalLayout_8->setObjectName(QStringLiteral("verticalLayout_8"));
    f.verticalLayout_8->setContentsMargins(30, 0, 0, 0);
    f.label_2 = new QLabel(f.page_Short_DataLog);
    f.label_2->setObjectName(QStringLiteral("label_2"));
    f.Board_Settings_Table = makeTable(f.page_Short_DataLog, "Board_Settings_Table", 3);
    f.label_3 = new QLabel(f.page_Short_DataLog);
    f.label_3->setObjectName(QStringLiteral("label_3"));
    f.Alarms_Table = makeTable(f.page_Short_DataLog, "Alarms_Table", 3);
    f.Alarms_Table->setWordWrap(true);
    f.verticalLayout_8->addWidget(f.label_2);
    f.verticalLayout_8->addWidget(f.Board_Settings_Table);
    f.verticalLayout_8->addWidget(f.label_3);
    f.verticalLayout_8->addWidget(f.Alarms_Table);
    f.horizontalLayout_4->addLayout(f.verticalLayout_3, 2);
    f.horizontalLayout_4->addLayout(f.verticalLayout_8, 3);
    f.stackedWidgetLog->addWidget(f.page_Short_DataLog);

    f.horizontalLayout_3->addWidget(f.stackedWidgetLog);
    f.tabWidget->addTab(f.tab, QString());

    // Flashing tab
    f.flashing = new QWidget();
    f.flashing->setObjectName(QStringLiteral("flashing"));
    f.verticalLayout_2 = new QVBoxLayout(f.flashing);
    f.verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
    f.verticalLayout_2->setSpacing(6);
    f.verticalLayout_2->setContentsMargins(11, 11, 11, 11);

    f.gridLayout_2 = new QGridLayout();
    f.gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));
    f.gridLayout_2->setSizeConstraint(QLayout::SetMinimumSize);
    f.HexFileGroup = centredGroup(f.flashing, f.gridLayout_2, "HexFileGroup");
    f.HexFileGroup->setMinimumWidth(420);
    f.gridLayout = new QGridLayout(f.HexFileGroup);
    f.gridLayout->setObjectName(QStringLiteral("gridLayout"));
    f.lineEditOpenFile = new QLineEdit(f.HexFileGroup);
    f.lineEditOpenFile->setObjectName(QStringLiteral("lineEditOpenFile"));
    f.btnOpenFile = new QPushButton(f.HexFileGroup);
    f.btnOpenFile->setObjectName(QStringLiteral("btnOpenFile"));
    f.gridLayout->addWidget(f.lineEditOpenFile, 0, 0);
    f.gridLayout->addWidget(f.btnOpenFile, 0, 1);

    f.gridLayout_7 = new QGridLayout();
    f.gridLayout_7->setObjectName(QStringLiteral("gridLayout_7"));
    f.groupBoxHexInfo = centredGroup(f.flashing, f.gridLayout_7, "groupBoxHexInfo");
    f.groupBoxHexInfo->setMinimumWidth(420);
    f.gridLayout_6 = new QGridLayout(f.groupBoxHexInfo);
    f.gridLayout_6->setObjectName(QStringLiteral("gridLayout_6"));
    f.labelHexInfo = new QLabel(f.groupBoxHexInfo);
    f.labelHexInfo->setObjectName(QStringLiteral("labelHexInfo"));
    f.labelHexInfo->setFont(pointFont(12, true));
    f.labelHexVers = new QLabel(f.groupBoxHexInfo);
    f.labelHexVers->setObjectName(QStringLiteral("labelHexVers"));
    f.labelHexVers->setFont(pointFont(12));
    f.labelHexVers->setMinimumWidth(66);
    f.gridLayout_6->addWidget(f.labelHexInfo, 0, 0);
    f.gridLayout_6->addItem(hSpacer(), 0, 1);
    f.gridLayout_6->addWidget(f.labelHexVers, 0, 2);

    f.horizontalLayout_2 = new QHBoxLayout();
    f.horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    f.btnUpdate = new QPushButton(f.flashing);
    f.btnUpdate->setObjectName(QStringLiteral("btnUpdate"));
    f.btnUpdate->setFont(pointFont(14));
    f.btnUpdate->setIcon(resourceIcon(":/images/system-software-update.png"));
    f.btnUpdate->setIconSize(QSize(25, 25));
    f.btnUpdate->setMinimumSize(200, 46);
    f.btnUpdate->setMaximumSize(200, 46);
    f.gridLayout_5 = new QGridLayout();
    f.gridLayout_5->setObjectName(QStringLiteral("gridLayout_5"));
    f.checkBoxEraseAll = new QCheckBox(f.flashing);
    f.checkBoxEraseAll->setObjectName(QStringLiteral("checkBoxEraseAll"));
    f.checkBoxEraseAll->setChecked(true);
    f.gridLayout_5->addItem(hSpacer(), 0, 0);
    f.gridLayout_5->addWidget(f.checkBoxEraseAll, 0, 1);
    f.gridLayout_5->addItem(hSpacer(), 0, 2);
    f.horizontalLayout_2->addItem(hSpacer());
    f.horizontalLayout_2->addWidget(f.btnUpdate);
    f.horizontalLayout_2->addLayout(f.gridLayout_5);

    f.gridLayout_4 = new QGridLayout();
    f.gridLayout_4->setObjectName(QStringLiteral("gridLayout_4"));
    f.ProgressBarGroup = centredGroup(f.flashing, f.gridLayout_4, "ProgressBarGroup");
    f.ProgressBarGroup->setMinimumSize(400, 65);
    f.gridLayout_3 = new QGridLayout(f.ProgressBarGroup);
    f.gridLayout_3->setObjectName(QStringLiteral("gridLayout_3"));
    f.progressBarUpdate = new QProgressBar(f.ProgressBarGroup);
    f.progressBarUpdate->setObjectName(QStringLiteral("progressBarUpdate"));
    f.progressBarUpdate->setMinimumSize(400, 25);
    f.progressBarUpdate->setValue(0);
    f.gridLayout_3->addWidget(f.progressBarUpdate, 0, 0);

    f.horizontalLayout = new QHBoxLayout();
    f.horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    f.btnExitBoot = new QPushButton(f.flashing);
    f.btnExitBoot->setObjectName(QStringLiteral("btnExitBoot"));
    f.btnExitBoot->setFont(pointFont(14));
    f.btnExitBoot->setIconSize(QSize(25, 25));
    f.btnExitBoot->setMaximumSize(200, 50);
    f.horizontalLayout->addWidget(f.btnExitBoot);

    f.verticalLayout_2->addItem(vSpacer());
    f.verticalLayout_2->addLayout(f.gridLayout_2);
    f.verticalLayout_2->addLayout(f.gridLayout_7);
    f.verticalLayout_2->addItem(vSpacer());
    f.verticalLayout_2->addLayout(f.horizontalLayout_2);
    f.verticalLayout_2->addItem(vSpacer());
    f.verticalLayout_2->addLayout(f.gridLayout_4);
    f.verticalLayout_2->addItem(vSpacer());
    f.verticalLayout_2->addLayout(f.horizontalLayout);
    f.verticalLayout_2->addItem(vSpacer());
    f.tabWidget->addTab(f.flashing, QString());

    f.verticalLayout->addWidget(f.tabWidget);
    f.labelStatusBar = new QLabel(f.centralWidget);
    f.labelStatusBar->setObjectName(QStringLiteral("labelStatusBar"));
    f.verticalLayout->addWidget(f.labelStatusBar);
    setCentralWidget(f.centralWidget);

    for (QPushButton *button : {f.btnOpenLogFile, f.btnOpenFile}) {
        button->setFont(pointFont(12));
        button->setIcon(resourceIcon(":/images/folder.png"));
        button->setIconSize(QSize(20, 20));
        button->setMaximumSize(60, 40);
        button->setStyleSheet(QString());
    }

    f.menuBar = new QMenuBar(this);
    f.menuBar->setObjectName(QStringLiteral("menuBar"));
    auto makeMenu = [&](QMenu *&menu, const char *name) {
        menu = new QMenu(f.menuBar);
        menu->setObjectName(QString::fromLatin1(name));
        f.menuBar->addAction(menu->menuAction());
    };
    makeMenu(f.menuCalls, "menuCalls");
    makeMenu(f.menuFlashing, "menuFlashing");
    makeMenu(f.menuFff, "menuFff");
    makeMenu(f.menuSetup, "menuSetup");
    makeMenu(f.menuHelp, "menuHelp");
    setMenuBar(f.menuBar);

    f.mainToolBar = new QToolBar(this);
    f.mainToolBar->setObjectName(QStringLiteral("mainToolBar"));
    addToolBar(Qt::TopToolBarArea, f.mainToolBar);
    f.statusBar = new QStatusBar(this);
    f.statusBar->setObjectName(QStringLiteral("statusBar"));
    setStatusBar(f.statusBar);

    f.menuCalls->addAction(f.actionConnect);
    f.menuCalls->addAction(f.actionDisconnect);
    f.menuCalls->addSeparator();
    f.menuCalls->addAction(f.actionQuit);
    f.menuFlashing->addAction(f.actionOpenFile);
    f.menuFlashing->addAction(f.actionUpdate);
    f.menuFlashing->addSeparator();
    f.menuFlashing->addAction(f.actionServiceRecord);
    f.menuFff->addAction(f.actionOpenLogFile);
    f.menuFff->addAction(f.actionExport_to_Excel);
    f.menuSetup->addAction(f.actionConfigure);
    f.menuHelp->addAction(f.actionHelpContents);
    f.menuHelp->addAction(f.actionFull_log_example);
    f.menuHelp->addAction(f.actionShort_log_example);
    f.menuHelp->addSeparator();
    f.menuHelp->addAction(f.actionCheck_for_update);
    f.menuHelp->addAction(f.actionDisable_Update);
    f.menuHelp->addSeparator();
    f.menuHelp->addAction(f.actionAbout);
    f.menuHelp->addAction(f.actionAboutQt);
    f.mainToolBar->addAction(f.actionConnect);
    f.mainToolBar->addAction(f.actionDisconnect);
    f.mainToolBar->addAction(f.actionConfigure);

    retranslateUi();
    f.tabWidget->setCurrentIndex(1);
    f.stackedWidgetLog->setCurrentIndex(0);
}

void MainWindow::retranslateUi()
{
    MainWindowForm &f = *ui;
    setWindowTitle(tr("Calvestrid ORKEL"));
    f.actionConnect->setText(tr("C&onnect"));
    f.actionConnect->setToolTip(tr("Connect to serial port"));
    f.actionConnect->setShortcut(QKeySequence(tr("Ctrl+O")));
    f.actionDisconnect->setText(tr("&Disconnect"));
    f.actionDisconnect->setToolTip(tr("Disconnect from serial port"));
    f.actionDisconnect->setShortcut(QKeySequence(tr("Ctrl+D")));
    f.actionQuit->setText(tr("&Quit"));
    f.actionQuit->setShortcut(QKeySequence(tr("Ctrl+Q")));
    f.actionConfigure->setText(tr("&Configure"));
    f.actionConfigure->setToolTip(tr("Configure serial port"));
    f.actionConfigure->setShortcut(QKeySequence(tr("Alt+C")));
    f.actionOpenFile->setText(tr("Open File"));
    f.actionUpdate->setText(tr("Update"));
    f.actionServiceRecord->setText(tr("Service record…"));
    f.actionOpenLogFile->setText(tr("Open Log File"));
    f.actionExport_to_Excel->setText(tr("Export to Excel"));
    f.actionHelpContents->setText(tr("Help Contents"));
    f.actionHelpContents->setShortcut(QKeySequence(tr("F1")));
    f.actionFull_log_example->setText(tr("Full log example"));
    f.actionShort_log_example->setText(tr("Short log example"));
    f.actionCheck_for_update->setText(tr("Check for update"));
    f.actionDisable_Update->setText(tr("Disable Update"));
    f.actionAbout->setText(tr("&About"));
    f.actionAbout->setToolTip(tr("About program"));
    f.actionAbout->setShortcut(QKeySequence(tr("Alt+A")));
    f.actionAboutQt->setText(tr("About Qt"));

    f.LogFileGroup->setTitle(tr("Log File"));
    f.btnOpenLogFile->setText(QString());
    f.label->setText(tr("Board Info"));
    f.label_4->setText(tr("Last Alarms"));
    f.label_2->setText(tr("Board Settings"));
    f.label_3->setText(tr("Alarms"));
    auto setHeaders = [](QTableWidget *table, const QStringList &texts) {
        for (int c = 0; c < texts.size(); ++c)
            table->horizontalHeaderItem(c)->setText(texts.at(c));
    };
    setHeaders(f.Board_Info_Table, {tr("Parameter"), tr("Value"), tr("Description")});
    setHeaders(f.Last_Alarms_Table, {tr("Code"), tr("Run N°")});
    setHeaders(f.Board_Settings_Table, {tr("Parameter"), tr("Value"), tr("Description")});
    setHeaders(f.Alarms_Table, {tr("Code"), tr("Occurrency"), tr("Description")});
    f.tabWidget->setTabText(f.tabWidget->indexOf(f.tab), tr("Data-Logging"));

    f.HexFileGroup->setTitle(tr("Hex Image File"));
    f.btnOpenFile->setText(QString());
    f.groupBoxHexInfo->setTitle(tr("Hex File Info"));
    f.labelHexInfo->setText(tr("Hex File for Board:"));
    f.labelHexVers->setText(QString());
    f.btnUpdate->setText(tr("Update"));
    f.checkBoxEraseAll->setText(tr("Erase All"));
    f.ProgressBarGroup->setTitle(tr("Progress Bar"));
    f.btnExitBoot->setText(tr("Exit Bootloader"));
    f.tabWidget->setTabText(f.tabWidget->indexOf(f.flashing), tr("Flashing"));
    f.labelStatusBar->setText(QString());

    f.menuCalls->setTitle(tr("Calls"));
    f.menuFlashing->setTitle(tr("Flashing"));
    f.menuFff->setTitle(tr("Data-Logging"));
    f.menuSetup->setTitle(tr("Setup"));
    f.menuHelp->setTitle(tr("Help"));
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
    if (result == frontend::SystemMgr::SendResult::Sent)
        m_recorder->imageSent(path);
}

void MainWindow::startUpdate()
{
    const bool eraseAll = ui->checkBoxEraseAll->isChecked();
    // Without the broker the request never reaches the daemon, and no
    // update starts to be recorded or waited for.
    if (!m_systemMgr->requestBoardUpdate(eraseAll)) {
        showStatus(tr("Update not started: the serial daemon could not be reached."));
        return;
    }
    showStatus(tr("Update started."));
    const frontend::BoardConf &conf = m_systemMgr->statusObject()->m_BoardConf;
    m_recorder->begin(m_settings->currentSettings().portName, conf.id, conf.name,
                      eraseAll ? records::EraseMode::All : records::EraseMode::Pages);
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
        m_recorder->noteError(so.errorText);
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
        m_recorder->finish(records::UpdateResult::Ok);
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
        m_recorder->finish(records::UpdateResult::Failed);
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
    m_recorder->finish(records::UpdateResult::AbortedByClosing);
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
