#include "frontend/ui/mainwindowform.h"

#include "frontend/ui/resulttables.h"
#include "frontend/ui/statusmessagebar.h"

#include "frontend/logs/plotgraph.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSpacerItem>
#include <QStackedWidget>
#include <QStatusBar>
#include <QStyle>
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
    RowFitter::of(table);
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

void MainWindowForm::setupUi(QMainWindow *window)
{
    window->setObjectName(QStringLiteral("MainWindow"));
    window->resize(720, 671);
    QFont windowFont;
    windowFont.setFamily(QStringLiteral("MS Shell Dlg 2"));
    window->setFont(windowFont);

    auto makeAction = [window](QAction *&action, const char *name, const char *icon) {
        action = new QAction(window);
        action->setObjectName(QString::fromLatin1(name));
        if (icon)
            action->setIcon(resourceIcon(icon));
    };
    makeAction(actionConnect, "actionConnect", ":/images/connect.png");
    makeAction(actionDisconnect, "actionDisconnect", ":/images/disconnect.png");
    makeAction(actionQuit, "actionQuit", ":/images/application-exit.png");
    makeAction(actionConfigure, "actionConfigure", ":/images/settings.png");
    makeAction(actionOpenFile, "actionOpenFile", ":/images/folder.png");
    makeAction(actionUpdate, "actionUpdate", ":/images/system-software-update.png");
    makeAction(actionAddToLibrary, "actionAddToLibrary", ":/images/folder.png");
    makeAction(actionServiceRecord, "actionServiceRecord", nullptr);
    makeAction(actionOpenLogFile, "actionOpenLogFile", ":/images/folder.png");
    makeAction(actionExport_to_Excel, "actionExport_to_Excel", ":/images/excel.png");
    makeAction(actionHelpContents, "actionHelpContents", nullptr);
    makeAction(actionFull_log_example, "actionFull_log_example", nullptr);
    makeAction(actionShort_log_example, "actionShort_log_example", nullptr);
    makeAction(actionCheck_for_update, "actionCheck_for_update", nullptr);
    makeAction(actionDisable_Update, "actionDisable_Update", nullptr);
    makeAction(actionAbout, "actionAbout", nullptr);
    makeAction(actionAboutQt, "actionAboutQt", nullptr);

    centralWidget = new QWidget(window);
    centralWidget->setObjectName(QStringLiteral("centralWidget"));
    verticalLayout = new QVBoxLayout(centralWidget);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setSpacing(6);
    tabWidget = new QTabWidget(centralWidget);
    tabWidget->setObjectName(QStringLiteral("tabWidget"));
    tabWidget->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    // Data-Logging tab
    tab = new QWidget();
    tab->setObjectName(QStringLiteral("tab"));
    horizontalLayout_3 = new QHBoxLayout(tab);
    horizontalLayout_3->setObjectName(QStringLiteral("horizontalLayout_3"));
    stackedWidgetLog = new QStackedWidget(tab);
    stackedWidgetLog->setObjectName(QStringLiteral("stackedWidgetLog"));

    pageSelectLogFile = new QWidget();
    pageSelectLogFile->setObjectName(QStringLiteral("pageSelectLogFile"));
    gridLayout_10 = new QGridLayout(pageSelectLogFile);
    gridLayout_10->setObjectName(QStringLiteral("gridLayout_10"));
    gridLayout_11 = new QGridLayout();
    gridLayout_11->setObjectName(QStringLiteral("gridLayout_11"));
    gridLayout_10->addItem(vSpacer(), 0, 0);
    gridLayout_10->addLayout(gridLayout_11, 1, 0);
    gridLayout_10->addItem(vSpacer(), 2, 0);
    LogFileGroup = centredGroup(pageSelectLogFile, gridLayout_11, "LogFileGroup");
    LogFileGroup->setMinimumWidth(420);
    gridLayout_8 = new QGridLayout(LogFileGroup);
    gridLayout_8->setObjectName(QStringLiteral("gridLayout_8"));
    lineEditOpenLogFile = new QLineEdit(LogFileGroup);
    lineEditOpenLogFile->setObjectName(QStringLiteral("lineEditOpenLogFile"));
    btnOpenLogFile = new QPushButton(LogFileGroup);
    btnOpenLogFile->setObjectName(QStringLiteral("btnOpenLogFile"));
    gridLayout_8->addWidget(lineEditOpenLogFile, 0, 0);
    gridLayout_8->addWidget(btnOpenLogFile, 0, 1);
    stackedWidgetLog->addWidget(pageSelectLogFile);

    pagePlot = new QWidget();
    pagePlot->setObjectName(QStringLiteral("pagePlot"));
    verticalLayout_4 = new QVBoxLayout(pagePlot);
    verticalLayout_4->setObjectName(QStringLiteral("verticalLayout_4"));
    verticalLayout_5 = new QVBoxLayout();
    verticalLayout_5->setObjectName(QStringLiteral("verticalLayout_5"));
    plotGraphCommands =
        new PlotGraph(pagePlot, QStringLiteral("Events"), QStringLiteral("Commands"));
    plotGraphCommands->setObjectName(QStringLiteral("plotGraphCommands"));
    plotGraphAllarms =
        new PlotGraph(pagePlot, QStringLiteral("Events"), QStringLiteral("Commands"));
    plotGraphAllarms->setObjectName(QStringLiteral("plotGraphAllarms"));
    verticalLayout_5->addWidget(plotGraphCommands, 2);
    verticalLayout_5->addWidget(plotGraphAllarms, 1);
    verticalLayout_4->addLayout(verticalLayout_5);
    stackedWidgetLog->addWidget(pagePlot);

    page_Short_DataLog = new QWidget();
    page_Short_DataLog->setObjectName(QStringLiteral("page_Short_DataLog"));
    horizontalLayout_4 = new QHBoxLayout(page_Short_DataLog);
    horizontalLayout_4->setObjectName(QStringLiteral("horizontalLayout_4"));
    verticalLayout_3 = new QVBoxLayout();
    verticalLayout_3->setObjectName(QStringLiteral("verticalLayout_3"));
    label = new QLabel(page_Short_DataLog);
    label->setObjectName(QStringLiteral("label"));
    Board_Info_Table = makeTable(page_Short_DataLog, "Board_Info_Table", 3);
    QFont tableFont;
    tableFont.setFamily(QStringLiteral("Segoe UI"));
    Board_Info_Table->setFont(tableFont);
    Board_Info_Table->horizontalHeader()->setDefaultSectionSize(105);
    Board_Info_Table->verticalHeader()->setDefaultSectionSize(30);
    label_4 = new QLabel(page_Short_DataLog);
    label_4->setObjectName(QStringLiteral("label_4"));
    Last_Alarms_Table = makeTable(page_Short_DataLog, "Last_Alarms_Table", 2);
    verticalLayout_3->addWidget(label);
    verticalLayout_3->addWidget(Board_Info_Table);
    verticalLayout_3->addWidget(label_4);
    verticalLayout_3->addWidget(Last_Alarms_Table);
    verticalLayout_8 = new QVBoxLayout();
    verticalLayout_8->setObjectName(QStringLiteral("verticalLayout_8"));
    verticalLayout_8->setContentsMargins(30, 0, 0, 0);
    label_2 = new QLabel(page_Short_DataLog);
    label_2->setObjectName(QStringLiteral("label_2"));
    Board_Settings_Table = makeTable(page_Short_DataLog, "Board_Settings_Table", 3);
    label_3 = new QLabel(page_Short_DataLog);
    label_3->setObjectName(QStringLiteral("label_3"));
    Alarms_Table = makeTable(page_Short_DataLog, "Alarms_Table", 3);
    Alarms_Table->setWordWrap(true);
    verticalLayout_8->addWidget(label_2);
    verticalLayout_8->addWidget(Board_Settings_Table);
    verticalLayout_8->addWidget(label_3);
    verticalLayout_8->addWidget(Alarms_Table);
    horizontalLayout_4->addLayout(verticalLayout_3, 2);
    horizontalLayout_4->addLayout(verticalLayout_8, 3);
    stackedWidgetLog->addWidget(page_Short_DataLog);

    horizontalLayout_3->addWidget(stackedWidgetLog);
    tabWidget->addTab(tab, QString());

    // Flashing tab
    flashing = new QWidget();
    flashing->setObjectName(QStringLiteral("flashing"));
    verticalLayout_2 = new QVBoxLayout(flashing);
    verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
    verticalLayout_2->setSpacing(6);
    verticalLayout_2->setContentsMargins(11, 11, 11, 11);

    gridLayout_2 = new QGridLayout();
    gridLayout_2->setObjectName(QStringLiteral("gridLayout_2"));
    gridLayout_2->setSizeConstraint(QLayout::SetMinimumSize);
    HexFileGroup = centredGroup(flashing, gridLayout_2, "HexFileGroup");
    HexFileGroup->setMinimumWidth(420);
    gridLayout = new QGridLayout(HexFileGroup);
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    lineEditOpenFile = new QLineEdit(HexFileGroup);
    lineEditOpenFile->setObjectName(QStringLiteral("lineEditOpenFile"));
    btnOpenFile = new QPushButton(HexFileGroup);
    btnOpenFile->setObjectName(QStringLiteral("btnOpenFile"));
    gridLayout->addWidget(lineEditOpenFile, 0, 0);
    gridLayout->addWidget(btnOpenFile, 0, 1);

    gridLayout_7 = new QGridLayout();
    gridLayout_7->setObjectName(QStringLiteral("gridLayout_7"));
    groupBoxHexInfo = centredGroup(flashing, gridLayout_7, "groupBoxHexInfo");
    groupBoxHexInfo->setMinimumWidth(420);
    gridLayout_6 = new QGridLayout(groupBoxHexInfo);
    gridLayout_6->setObjectName(QStringLiteral("gridLayout_6"));
    labelHexInfo = new QLabel(groupBoxHexInfo);
    labelHexInfo->setObjectName(QStringLiteral("labelHexInfo"));
    labelHexInfo->setFont(pointFont(12, true));
    labelHexVers = new QLabel(groupBoxHexInfo);
    labelHexVers->setObjectName(QStringLiteral("labelHexVers"));
    labelHexVers->setFont(pointFont(12));
    labelHexVers->setMinimumWidth(66);
    labelHexDetails = new QLabel(groupBoxHexInfo);
    labelHexDetails->setObjectName(QStringLiteral("labelHexDetails"));
    labelHexDetails->setWordWrap(true);
    labelHexDetails->setTextInteractionFlags(Qt::TextSelectableByMouse);
    labelHexDetails->setVisible(false);
    gridLayout_6->addWidget(labelHexInfo, 0, 0);
    gridLayout_6->addItem(hSpacer(), 0, 1);
    gridLayout_6->addWidget(labelHexVers, 0, 2);
    gridLayout_6->addWidget(labelHexDetails, 1, 0, 1, 3);

    horizontalLayout_2 = new QHBoxLayout();
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    btnUpdate = new QPushButton(flashing);
    btnUpdate->setObjectName(QStringLiteral("btnUpdate"));
    btnUpdate->setFont(pointFont(14));
    btnUpdate->setIcon(resourceIcon(":/images/system-software-update.png"));
    btnUpdate->setIconSize(QSize(25, 25));
    btnUpdate->setMinimumSize(200, 46);
    btnUpdate->setMaximumSize(200, 46);
    // Beside Update: after a failed update, the whole of it again.
    btnUpdateAgain = new QPushButton(flashing);
    btnUpdateAgain->setObjectName(QStringLiteral("btnUpdateAgain"));
    btnUpdateAgain->setFont(pointFont(14));
    btnUpdateAgain->setIcon(flashing->style()->standardIcon(QStyle::SP_BrowserReload));
    btnUpdateAgain->setIconSize(QSize(25, 25));
    btnUpdateAgain->setMinimumSize(200, 46);
    btnUpdateAgain->setMaximumSize(200, 46);
    gridLayout_5 = new QGridLayout();
    gridLayout_5->setObjectName(QStringLiteral("gridLayout_5"));
    checkBoxEraseAll = new QCheckBox(flashing);
    checkBoxEraseAll->setObjectName(QStringLiteral("checkBoxEraseAll"));
    checkBoxEraseAll->setChecked(true);
    gridLayout_5->addItem(hSpacer(), 0, 0);
    gridLayout_5->addWidget(checkBoxEraseAll, 0, 1);
    gridLayout_5->addItem(hSpacer(), 0, 2);
    horizontalLayout_2->addItem(hSpacer());
    horizontalLayout_2->addWidget(btnUpdate);
    horizontalLayout_2->addWidget(btnUpdateAgain);
    horizontalLayout_2->addLayout(gridLayout_5);

    gridLayout_4 = new QGridLayout();
    gridLayout_4->setObjectName(QStringLiteral("gridLayout_4"));
    ProgressBarGroup = centredGroup(flashing, gridLayout_4, "ProgressBarGroup");
    ProgressBarGroup->setMinimumSize(400, 65);
    gridLayout_3 = new QGridLayout(ProgressBarGroup);
    gridLayout_3->setObjectName(QStringLiteral("gridLayout_3"));
    progressBarUpdate = new QProgressBar(ProgressBarGroup);
    progressBarUpdate->setObjectName(QStringLiteral("progressBarUpdate"));
    progressBarUpdate->setMinimumSize(400, 25);
    progressBarUpdate->setValue(0);
    gridLayout_3->addWidget(progressBarUpdate, 0, 0);

    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    btnExitBoot = new QPushButton(flashing);
    btnExitBoot->setObjectName(QStringLiteral("btnExitBoot"));
    btnExitBoot->setFont(pointFont(14));
    btnExitBoot->setIconSize(QSize(25, 25));
    btnExitBoot->setMaximumSize(200, 50);
    horizontalLayout->addWidget(btnExitBoot);

    verticalLayout_2->addItem(vSpacer());
    verticalLayout_2->addLayout(gridLayout_2);
    verticalLayout_2->addLayout(gridLayout_7);
    verticalLayout_2->addItem(vSpacer());
    verticalLayout_2->addLayout(horizontalLayout_2);
    verticalLayout_2->addItem(vSpacer());
    verticalLayout_2->addLayout(gridLayout_4);
    verticalLayout_2->addItem(vSpacer());
    verticalLayout_2->addLayout(horizontalLayout);
    verticalLayout_2->addItem(vSpacer());
    tabWidget->addTab(flashing, QString());

    verticalLayout->addWidget(tabWidget);
    labelStatusBar = new QLabel(centralWidget);
    labelStatusBar->setObjectName(QStringLiteral("labelStatusBar"));
    verticalLayout->addWidget(labelStatusBar);
    window->setCentralWidget(centralWidget);

    for (QPushButton *button : {btnOpenLogFile, btnOpenFile}) {
        button->setFont(pointFont(12));
        button->setIcon(resourceIcon(":/images/folder.png"));
        button->setIconSize(QSize(20, 20));
        button->setMaximumSize(60, 40);
        button->setStyleSheet(QString());
    }

    menuBar = new QMenuBar(window);
    menuBar->setObjectName(QStringLiteral("menuBar"));
    auto makeMenu = [&](QMenu *&menu, const char *name) {
        menu = new QMenu(menuBar);
        menu->setObjectName(QString::fromLatin1(name));
        menuBar->addAction(menu->menuAction());
    };
    makeMenu(menuCalls, "menuCalls");
    makeMenu(menuFlashing, "menuFlashing");
    makeMenu(menuFff, "menuFff");
    makeMenu(menuSetup, "menuSetup");
    makeMenu(menuHelp, "menuHelp");
    window->setMenuBar(menuBar);

    mainToolBar = new QToolBar(window);
    mainToolBar->setObjectName(QStringLiteral("mainToolBar"));
    window->addToolBar(Qt::TopToolBarArea, mainToolBar);
    // Long reasons of a failed update end in "…", whole in the tooltip.
    statusBar = new StatusMessageBar(window);
    statusBar->setObjectName(QStringLiteral("statusBar"));
    window->setStatusBar(statusBar);

    menuCalls->addAction(actionConnect);
    menuCalls->addAction(actionDisconnect);
    menuCalls->addSeparator();
    menuCalls->addAction(actionQuit);
    menuFlashing->addAction(actionOpenFile);
    menuFlashing->addAction(actionUpdate);
    menuFlashing->addSeparator();
    menuFlashing->addAction(actionAddToLibrary);
    menuFlashing->addAction(actionServiceRecord);
    menuFff->addAction(actionOpenLogFile);
    menuFff->addAction(actionExport_to_Excel);
    menuSetup->addAction(actionConfigure);
    menuHelp->addAction(actionHelpContents);
    menuHelp->addAction(actionFull_log_example);
    menuHelp->addAction(actionShort_log_example);
    menuHelp->addSeparator();
    menuHelp->addAction(actionCheck_for_update);
    menuHelp->addAction(actionDisable_Update);
    menuHelp->addSeparator();
    menuHelp->addAction(actionAbout);
    menuHelp->addAction(actionAboutQt);
    mainToolBar->addAction(actionConnect);
    mainToolBar->addAction(actionDisconnect);
    mainToolBar->addAction(actionConfigure);

    retranslateUi(window);
    tabWidget->setCurrentIndex(1);
    stackedWidgetLog->setCurrentIndex(0);
}

void MainWindowForm::retranslateUi(QMainWindow *window)
{
    window->setWindowTitle(QCoreApplication::translate("MainWindow", "Calvestrid ORKEL"));
    actionConnect->setText(QCoreApplication::translate("MainWindow", "C&onnect"));
    actionConnect->setToolTip(QCoreApplication::translate("MainWindow", "Connect to serial port"));
    actionConnect->setShortcut(QKeySequence(QCoreApplication::translate("MainWindow", "Ctrl+O")));
    actionDisconnect->setText(QCoreApplication::translate("MainWindow", "&Disconnect"));
    actionDisconnect->setToolTip(
        QCoreApplication::translate("MainWindow", "Disconnect from serial port"));
    actionDisconnect->setShortcut(
        QKeySequence(QCoreApplication::translate("MainWindow", "Ctrl+D")));
    actionQuit->setText(QCoreApplication::translate("MainWindow", "&Quit"));
    actionQuit->setShortcut(QKeySequence(QCoreApplication::translate("MainWindow", "Ctrl+Q")));
    actionConfigure->setText(QCoreApplication::translate("MainWindow", "&Configure"));
    actionConfigure->setToolTip(QCoreApplication::translate("MainWindow", "Configure serial port"));
    actionConfigure->setShortcut(QKeySequence(QCoreApplication::translate("MainWindow", "Alt+C")));
    actionOpenFile->setText(QCoreApplication::translate("MainWindow", "Open File"));
    actionUpdate->setText(QCoreApplication::translate("MainWindow", "Update"));
    actionAddToLibrary->setText(QCoreApplication::translate("MainWindow", "Add to library…"));
    actionServiceRecord->setText(QCoreApplication::translate("MainWindow", "Service record…"));
    actionOpenLogFile->setText(QCoreApplication::translate("MainWindow", "Open Log File"));
    actionExport_to_Excel->setText(QCoreApplication::translate("MainWindow", "Export to Excel"));
    actionHelpContents->setText(QCoreApplication::translate("MainWindow", "Help Contents"));
    actionHelpContents->setShortcut(QKeySequence(QCoreApplication::translate("MainWindow", "F1")));
    actionFull_log_example->setText(QCoreApplication::translate("MainWindow", "Full log example"));
    actionShort_log_example->setText(
        QCoreApplication::translate("MainWindow", "Short log example"));
    actionCheck_for_update->setText(QCoreApplication::translate("MainWindow", "Check for update"));
    actionDisable_Update->setText(QCoreApplication::translate("MainWindow", "Disable Update"));
    actionAbout->setText(QCoreApplication::translate("MainWindow", "&About"));
    actionAbout->setToolTip(QCoreApplication::translate("MainWindow", "About program"));
    actionAbout->setShortcut(QKeySequence(QCoreApplication::translate("MainWindow", "Alt+A")));
    actionAboutQt->setText(QCoreApplication::translate("MainWindow", "About Qt"));

    LogFileGroup->setTitle(QCoreApplication::translate("MainWindow", "Log File"));
    btnOpenLogFile->setText(QString());
    label->setText(QCoreApplication::translate("MainWindow", "Board Info"));
    label_4->setText(QCoreApplication::translate("MainWindow", "Last Alarms"));
    label_2->setText(QCoreApplication::translate("MainWindow", "Board Settings"));
    label_3->setText(QCoreApplication::translate("MainWindow", "Alarms"));
    auto setHeaders = [](QTableWidget *table, const QStringList &texts) {
        for (int c = 0; c < texts.size(); ++c)
            table->horizontalHeaderItem(c)->setText(texts.at(c));
    };
    setHeaders(Board_Info_Table, {QCoreApplication::translate("MainWindow", "Parameter"),
                                  QCoreApplication::translate("MainWindow", "Value"),
                                  QCoreApplication::translate("MainWindow", "Description")});
    setHeaders(Last_Alarms_Table, {QCoreApplication::translate("MainWindow", "Code"),
                                   QCoreApplication::translate("MainWindow", "Run N°")});
    setHeaders(Board_Settings_Table, {QCoreApplication::translate("MainWindow", "Parameter"),
                                      QCoreApplication::translate("MainWindow", "Value"),
                                      QCoreApplication::translate("MainWindow", "Description")});
    setHeaders(Alarms_Table, {QCoreApplication::translate("MainWindow", "Code"),
                              QCoreApplication::translate("MainWindow", "Occurrency"),
                              QCoreApplication::translate("MainWindow", "Description")});
    tabWidget->setTabText(tabWidget->indexOf(tab),
                          QCoreApplication::translate("MainWindow", "Data-Logging"));

    HexFileGroup->setTitle(QCoreApplication::translate("MainWindow", "Hex Image File"));
    btnOpenFile->setText(QString());
    groupBoxHexInfo->setTitle(QCoreApplication::translate("MainWindow", "Hex File Info"));
    labelHexInfo->setText(QCoreApplication::translate("MainWindow", "Hex File for Board:"));
    labelHexVers->setText(QString());
    btnUpdate->setText(QCoreApplication::translate("MainWindow", "Update"));
    btnUpdateAgain->setText(QCoreApplication::translate("MainWindow", "Update again"));
    btnUpdateAgain->setToolTip(QCoreApplication::translate(
        "MainWindow", "Connect, send the same file and update the board once more"));
    checkBoxEraseAll->setText(QCoreApplication::translate("MainWindow", "Erase All"));
    ProgressBarGroup->setTitle(QCoreApplication::translate("MainWindow", "Progress Bar"));
    btnExitBoot->setText(QCoreApplication::translate("MainWindow", "Exit Bootloader"));
    tabWidget->setTabText(tabWidget->indexOf(flashing),
                          QCoreApplication::translate("MainWindow", "Flashing"));
    labelStatusBar->setText(QString());

    menuCalls->setTitle(QCoreApplication::translate("MainWindow", "Calls"));
    menuFlashing->setTitle(QCoreApplication::translate("MainWindow", "Flashing"));
    menuFff->setTitle(QCoreApplication::translate("MainWindow", "Data-Logging"));
    menuSetup->setTitle(QCoreApplication::translate("MainWindow", "Setup"));
    menuHelp->setTitle(QCoreApplication::translate("MainWindow", "Help"));
}
