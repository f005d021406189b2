#pragma once

#include "frontend/logs/fulllog.h"
#include "frontend/ui/mainwindowform.h"

#include <QMainWindow>
#include <QString>
#include <QTimer>

#include <memory>

class QMenu;
class QMouseEvent;
class QWheelEvent;
class GraphDialog;
class HelpDialog;
class PlotGraph;
class PlotPanel;
class PlotPoint;
class SettingsDialog;
class UpdateCheckUi;

namespace frontend {
class SystemMgr;
}

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
    void plotCommands(PlotGraph &plot) const;
    void plotAllarms(PlotGraph &plot) const;
    void showRun(int run);
    int lastCommandRun() const;

public:
    // What the open log holds, for the spreadsheet export and the tests.
    const QString &logKind() const { return log_kind; }
    const FullLog &fullLog() const { return m_fullLog; }
    const LogSeries &logSeries() const { return m_series; }
    QDateTime logStartDateTime() const { return startDateTime; }
    QDateTime logEndDateTime() const { return endDateTime; }
    GraphDialog *graphDialog() const { return m_graphDialog; }
    PlotPoint *commandsPlotMarker() const;
    PlotPoint *alarmsPlotMarker() const;
    int shownRun() const { return currentRun; }
    bool commandsTimeAxisShown() const;
    bool alarmsTimeAxisShown() const;

private:
    QString log_kind;
    FullLog m_fullLog;
    bool m_logReadOk = false;
    int m_describeRow = -1; // value-axis row double-clicked on the commands plot
    LogSeries m_series;
    QDateTime endDateTime;
    QDateTime startDateTime;
    PlotPanel *m_commandsPanel = nullptr; // children of the window
    PlotPanel *m_allarmsPanel = nullptr;
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
