#pragma once

class QAction;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QMenuBar;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class QTabWidget;
class QTableWidget;
class QToolBar;
class QVBoxLayout;
class QWidget;
class PlotGraph;

// The main window's form, written by hand in the shape uic gives a
// ui_*.h: every widget, layout, action and menu, named by its object name,
// built once by setupUi() and given its texts by retranslateUi() (context
// "MainWindow", so an installed translation replaces them). The widgets
// belong to their Qt parents.
struct MainWindowForm
{
    QWidget *centralWidget = nullptr;
    QVBoxLayout *verticalLayout = nullptr;
    QTabWidget *tabWidget = nullptr;

    // Data-Logging tab
    QWidget *tab = nullptr;
    QHBoxLayout *horizontalLayout_3 = nullptr;
    QStackedWidget *stackedWidgetLog = nullptr;
    QWidget *pageSelectLogFile = nullptr;
    QGridLayout *gridLayout_10 = nullptr;
    QGridLayout *gridLayout_11 = nullptr;
    QGroupBox *LogFileGroup = nullptr;
    QGridLayout *gridLayout_8 = nullptr;
    QLineEdit *lineEditOpenLogFile = nullptr;
    QPushButton *btnOpenLogFile = nullptr;
    QWidget *pagePlot = nullptr;
    QVBoxLayout *verticalLayout_4 = nullptr;
    QVBoxLayout *verticalLayout_5 = nullptr;
    PlotGraph *plotGraphCommands = nullptr;
    PlotGraph *plotGraphAllarms = nullptr;
    QWidget *page_Short_DataLog = nullptr;
    QHBoxLayout *horizontalLayout_4 = nullptr;
    QVBoxLayout *verticalLayout_3 = nullptr;
    QLabel *label = nullptr;
    QTableWidget *Board_Info_Table = nullptr;
    QLabel *label_4 = nullptr;
    QTableWidget *Last_Alarms_Table = nullptr;
    QVBoxLayout *verticalLayout_8 = nullptr;
    QLabel *label_2 = nullptr;
    QTableWidget *Board_Settings_Table = nullptr;
    QLabel *label_3 = nullptr;
    QTableWidget *Alarms_Table = nullptr;

    // Flashing tab
    QWidget *flashing = nullptr;
    QVBoxLayout *verticalLayout_2 = nullptr;
    QGridLayout *gridLayout_2 = nullptr;
    QGroupBox *HexFileGroup = nullptr;
    QGridLayout *gridLayout = nullptr;
    QLineEdit *lineEditOpenFile = nullptr;
    QPushButton *btnOpenFile = nullptr;
    QGridLayout *gridLayout_7 = nullptr;
    QGroupBox *groupBoxHexInfo = nullptr;
    QGridLayout *gridLayout_6 = nullptr;
    QLabel *labelHexInfo = nullptr;
    QLabel *labelHexVers = nullptr;
    // Size, MD5, the addresses programmed and what is not written.
    QLabel *labelHexDetails = nullptr;
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QPushButton *btnUpdate = nullptr;
    QPushButton *btnUpdateAgain = nullptr;
    QGridLayout *gridLayout_5 = nullptr;
    QCheckBox *checkBoxEraseAll = nullptr;
    QGridLayout *gridLayout_4 = nullptr;
    QGroupBox *ProgressBarGroup = nullptr;
    QGridLayout *gridLayout_3 = nullptr;
    QProgressBar *progressBarUpdate = nullptr;
    QHBoxLayout *horizontalLayout = nullptr;
    QPushButton *btnExitBoot = nullptr;

    QLabel *labelStatusBar = nullptr;

    QMenuBar *menuBar = nullptr;
    QMenu *menuCalls = nullptr;
    QMenu *menuFlashing = nullptr;
    QMenu *menuFff = nullptr;
    QMenu *menuSetup = nullptr;
    QMenu *menuHelp = nullptr;
    QToolBar *mainToolBar = nullptr;
    QStatusBar *statusBar = nullptr;

    QAction *actionConnect = nullptr;
    QAction *actionDisconnect = nullptr;
    QAction *actionQuit = nullptr;
    QAction *actionConfigure = nullptr;
    QAction *actionOpenFile = nullptr;
    QAction *actionUpdate = nullptr;
    QAction *actionAddToLibrary = nullptr;
    QAction *actionServiceRecord = nullptr;
    QAction *actionOpenLogFile = nullptr;
    QAction *actionExport_to_Excel = nullptr;
    QAction *actionHelpContents = nullptr;
    QAction *actionFull_log_example = nullptr;
    QAction *actionShort_log_example = nullptr;
    QAction *actionCheck_for_update = nullptr;
    QAction *actionDisable_Update = nullptr;
    QAction *actionAbout = nullptr;
    QAction *actionAboutQt = nullptr;

    // Builds everything into `window` and leaves the Flashing tab current
    // and the log page on the file picker.
    void setupUi(QMainWindow *window);
    void retranslateUi(QMainWindow *window);
};
