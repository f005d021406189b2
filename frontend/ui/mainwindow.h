#pragma once

#include "frontend/logs/fulllog.h"

#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <memory>

class QAction;
class QCheckBox;
class QGridLayout;
class QGroupBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QMouseEvent;
class QProgressBar;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class QTabWidget;
class QTableWidget;
class QToolBar;
class QVBoxLayout;
class QWheelEvent;
class GraphDialog;
class HelpDialog;
class PlotGraph;
class PlotPoint;
class ServiceRecordDialog;
class SettingsDialog;
class UpdateCheckUi;

namespace frontend {
class SystemMgr;
}
namespace records {
class UpdateRecorder;
}

// Every widget, layout, action and menu of the window, named by its object
// name. Built once by MainWindow's constructor; the widgets belong to their
// Qt parents.
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
    QHBoxLayout *horizontalLayout_2 = nullptr;
    QPushButton *btnUpdate = nullptr;
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
};

class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Front end's version and the product's, shown in the about box.
    static constexpr const char *kFrontEndVersion = "2.08.20200722";
    static constexpr const char *kProductVersion = "2.8";
    // The daemon check: first ping after this long, then this long for the pong.
    static constexpr int kDaemonCheckDelayMs = 10000;
    static constexpr int kDaemonPongWaitMs = 5000;

    // brokerPort is the port of the first connection only; the stored
    // preferences take over right after.
    explicit MainWindow(QWidget *parent = nullptr, int brokerPort = 1883);
    ~MainWindow() override;

    const MainWindowForm &form() const { return *ui; }
    frontend::SystemMgr *systemMgr() const { return m_systemMgr.get(); }
    SettingsDialog *settingsDialog() const { return m_settings.get(); }
    bool daemonCheckPending() const { return m_daemonCheckPending; }
    const QTimer &serialTimer() const { return m_serialTimer; }

public slots:
    void Board_Info_Table_Set_Row_Count(int Row_Count);
    void Board_Info_Table_Add_Item(int Parameter_Row, QString Parameter_Name,
                                   QString Parameter_Value, QString Parameter_Description);
    void Board_Settings_Table_Set_Row_Count(int Row_Count);
    void Board_Settings_Table_Add_Item(int Parameter_Row, QString Parameter_Name,
                                       QString Parameter_Value, QString Parameter_Unit,
                                       QString Parameter_Description);
    void Alarms_Table_Set_Row_Count(int Row_Count);
    void Alarms_Table_Add_Item(int Alarm_Row, QString Code_Value, QString Occurrency,
                               QString Alarm_Description);
    void Last_Alarms_Table_Set_Row_Count(int Row_Count);
    void Last_Alarms_Table_Add_Item(int Alarm_Row, QString Code_Value, QString Alarm_Time);

private slots:
    void openSerialPort();
    void closeSerialPort();
    void about();
    void statusReady();
    void updateSetup();
    void restartMqttConnection();
    void showSerialSetting();
    void openFile();
    void startUpdate();
    void exitBoot();
    void processSerialTimeout();

    // Data-Logging ------------------------------------------------------------
    // The slots below and setupLogViews() are defined in mainwindow_logs.cpp
    // (and mainwindow_graphs.cpp); members of the log views go into the
    // private part of this section further down.
public slots:
    void openLogFile();
    void open_short_log_example();
    void process_full_log_example();
    void processLogFile(QString filename);
    void contextMenuRequestCommands(QPoint pos);
    void contextMenuRequestAllarms(QPoint pos);
    void replotGraphCommands();
    void replotGraphAllarms();
    void removeSelectedCommandsGraph();
    void removeSelectedAllarmsGraph();
    void enableTimeCommands();
    void disableTimeCommands();
    void enableTimeAllarms();
    void disableTimeAllarms();
    void mousePressCommands(QMouseEvent *event);
    void mousePressAllarms(QMouseEvent *event);
    void mouseWheelCommands(QWheelEvent *event);
    void mouseWheelAllarms(QWheelEvent *event);
    void graphAllarmsClicked();
    void graphCommandsClicked();
    void graphCommandsItemClicked();
    void xAxis2TickRequest();
    void plotSingleGraph(int number_graph);
    void singleGraphNext();
    void singleGraphPrev();
    void singleGraphToolTip();

private:
    void setupLogViews();
    // Data-Logging members (owned by the log views) start here.
    void openFullLog(const QString &path, bool fromFileDialog);
    void showShortLog(const QString &path);
    void plotFullLog();
    void plotCommands();
    void plotAllarms();
    void showTimeAxis(PlotGraph *plot, bool shown);
    void showContextMenu(PlotGraph *plot, QPoint pos, bool timeShown);
    void restrictToSelectedAxis(PlotGraph *plot, bool wheel);
    void openRunAt(PlotGraph *plot, PlotPoint *marker, QMouseEvent *event);
    int lastCommandRun() const;

public:
    // What the open log holds, for the spreadsheet export and the tests.
    const QString &logKind() const { return log_kind; }
    const FullLog &fullLog() const { return m_fullLog; }
    const LogSeries &logSeries() const { return m_series; }
    QDateTime logStartDateTime() const { return startDateTime; }
    QDateTime logEndDateTime() const { return endDateTime; }
    GraphDialog *graphDialog() const { return m_graphDialog; }
    PlotPoint *commandsPlotMarker() const { return commandsMarker; }
    PlotPoint *alarmsPlotMarker() const { return alarmsMarker; }
    int shownRun() const { return currentRun; }
    bool commandsTimeAxisShown() const { return commandsTimeShown; }
    bool alarmsTimeAxisShown() const { return alarmsTimeShown; }

private:
    QString log_kind;
    FullLog m_fullLog;
    bool m_logReadOk = false;
    int m_describeRow = -1; // value-axis row double-clicked on the commands plot
    LogSeries m_series;
    QDateTime endDateTime;
    QDateTime startDateTime;
    PlotPoint *commandsMarker = nullptr; // items of their plots
    PlotPoint *alarmsMarker = nullptr;
    bool commandsTimeShown = false;
    bool alarmsTimeShown = false;
    int currentRun = 0;
    GraphDialog *m_graphDialog = nullptr; // child of the window
    QStringList singleCommandLabels;
    QStringList singleEventLabels;
    QStringList singleAlarmLabels;
    // Data-Logging members end here.
    // End of Data-Logging -----------------------------------------------------

    // Update check --------------------------------------------------------------
    // Defined in mainwindow_update.cpp; the work is done by UpdateCheckUi.
public slots:
    void checkForUpdates();
    void enableUpdate();

public:
    UpdateCheckUi *updateCheck() const { return m_updateCheck.get(); }
    // The quiet once-a-day check, a little after the window came up.
    void startAutomaticUpdateCheck();

private:
    void setupUpdateCheck();
    void showUpdateToggleText();
    std::unique_ptr<UpdateCheckUi> m_updateCheck;
    // End of update check -------------------------------------------------------

    // Spreadsheet export ---------------------------------------------------------
    // Defined in mainwindow_export.cpp; the work is done by ExcelExporter.
public slots:
    void export_to_excel();
    // End of spreadsheet export --------------------------------------------------

    // Service record -------------------------------------------------------------
    // Defined in mainwindow_records.cpp; the work is done by UpdateRecorder and
    // ServiceRecordDialog.
public slots:
    void showServiceRecord();

public:
    ServiceRecordDialog *serviceRecordDialog() const { return m_serviceRecord.get(); }

private:
    void setupServiceRecord();
    // Writes one record per update this window starts.
    std::unique_ptr<records::UpdateRecorder> m_recorder;
    // A window of its own, built at its first use and kept.
    std::unique_ptr<ServiceRecordDialog> m_serviceRecord;
    // End of service record ------------------------------------------------------

    // Help viewer ----------------------------------------------------------------
public slots:
    void showDocumentation();

public:
    HelpDialog *helpDialog() const { return m_help.get(); }

private:
    // A window of its own, built once and kept until the program ends.
    std::unique_ptr<HelpDialog> m_help;
    // End of help viewer ---------------------------------------------------------

protected:
    void closeEvent(QCloseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void buildForm();
    void retranslateUi();
    void applyStartState();
    void connectActions();
    void setFlashingLocked(bool locked);
    void showStatus(const QString &text);

    std::unique_ptr<MainWindowForm> ui;
    QTimer m_serialTimer;
    std::unique_ptr<frontend::SystemMgr> m_systemMgr;
    std::unique_ptr<SettingsDialog> m_settings;
    bool m_daemonCheckPending = false;
    QMenu *m_contextMenu = nullptr; // child of the window, kept empty
};
