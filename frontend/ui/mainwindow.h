#pragma once

#include "common/version.h"
#include "frontend/core/flashworkflow.h"
#include "frontend/logs/descriptioncache.h"
#include "frontend/logs/fulllog.h"
#include "frontend/logs/graphrows.h"
#include "frontend/logs/loganalysis.h"
#include "frontend/ui/mainwindowform.h"

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <memory>

class QAction;
class QCustomPlot;
class QLabel;
class QMouseEvent;
class QTableWidget;
class QTimer;
class QWheelEvent;
class QDragEnterEvent;
class QDropEvent;
class AlarmCountsDialog;
class GraphDialog;
class HelpDialog;
class OpenProgress;
class SkippedValuesDialog;
class LibraryPanel;
class PlotGraph;
class PlotPanel;
class PlotPoint;
struct PlotHit;
class ServiceRecordDialog;
class SettingsDialog;
class UpdateCheckUi;

namespace frontend {
class DaemonLink;
class DaemonStart;
class LibraryController;
class SystemMgr;
} // namespace frontend
namespace records {
class UpdateRecorder;
}

// The front end's window. The form is MainWindowForm; the connection and
// update workflow is frontend::FlashWorkflow; the logs are parsed in
// frontend/logs and drawn by one PlotPanel per plot. The window wires them
// together and keeps its fixed slots, most of which forward.
//
// Defined in mainwindow.cpp (construction, flashing), mainwindow_logs.cpp
// (opening logs, result tables), mainwindow_graphs.cpp (plots and the run
// dialog), mainwindow_graphtools.cpp (go to run, filters, alarm counts,
// tooltips, saving and printing the plots), mainwindow_update.cpp,
// mainwindow_export.cpp, mainwindow_help.cpp, mainwindow_records.cpp (the
// service record), mainwindow_library.cpp (the firmware library).
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    // Front end's version and the product's, shown in the about box.
    static constexpr const char *kFrontEndVersion = velmo::kBuildVersion;
    static constexpr const char *kProductVersion = velmo::kProductVersion;

    // brokerPort is the port of the first connection only; the stored
    // preferences take over right after.
    explicit MainWindow(QWidget *parent = nullptr, int brokerPort = 1883);
    ~MainWindow() override;

    const MainWindowForm &form() const { return *ui; }
    frontend::SystemMgr *systemMgr() const { return m_systemMgr.get(); }
    frontend::FlashWorkflow *flashWorkflow() const { return m_workflow.get(); }
    // Starts the daemon after a move to another broker and at a Connect that
    // finds it gone (not owned). Without one the daemon is taken as it is.
    void setDaemonStart(frontend::DaemonStart *daemonStart);
    SettingsDialog *settingsDialog() const { return m_settings.get(); }
    bool daemonCheckPending() const { return m_workflow->daemonCheckPending(); }
    const QTimer &serialTimer() const { return m_workflow->serialTimer(); }

    // What the open log holds, for the spreadsheet export and the tests.
    const QString &logKind() const { return log_kind; }
    const FullLog &fullLog() const { return m_fullLog; }
    // The series of the open full log, built when asked.
    LogSeries logSeries() const { return buildSeries(m_fullLog); }
    const GraphRows &graphRows() const { return m_graphRows; }
    // Reading or drawing a log: the status bar shows how far it has got.
    OpenProgress *openProgress() const { return m_opening; }
    // What the open logs held that could not be used.
    const SkippedValues &fullLogSkipped() const { return m_fullSkipped; }
    const SkippedValues &shortLogSkipped() const { return m_shortSkipped; }
    SkippedValuesDialog *skippedValuesDialog() const { return m_skippedDialog; }
    QDateTime logStartDateTime() const { return startDateTime; }
    QDateTime logEndDateTime() const { return endDateTime; }
    GraphDialog *graphDialog() const { return m_graphDialog; }
    PlotPoint *commandsPlotMarker() const;
    PlotPoint *alarmsPlotMarker() const;
    int shownRun() const { return currentRun; }
    bool commandsTimeAxisShown() const;
    bool alarmsTimeAxisShown() const;
    PlotPanel *commandsPanel() const { return m_commandsPanel; }
    PlotPanel *alarmsPanel() const { return m_allarmsPanel; }
    AlarmCountsDialog *alarmCountsDialog() const { return m_alarmCounts; }
    // The tooltip of a point of the commands plot, or of the alarms plot.
    QString pointText(bool alarmsPlot, const PlotHit &hit) const;
    // Centres both plots on the run that `input` (the board's run number,
    // "#" and a position, or a date) names; says why not when it names none.
    bool showRunFor(const QString &input);
    // Why `input` names no run of the open log; empty when it names one.
    QString runProblem(const QString &input) const;
    // The board's run `boardRun` of the short log's Last Alarms in the
    // open full log of the same board: the graphs, centred on it. Says why
    // not in the status bar.
    bool showShortLogRun(const QString &boardRun);
    // A short log's four tables as tab-separated text, each under its title.
    QString logTablesText() const;

    UpdateCheckUi *updateCheck() const { return m_updateCheck.get(); }
    // The quiet once-a-day check, a little after the window came up.
    void startAutomaticUpdateCheck();

    HelpDialog *helpDialog() const { return m_help.get(); }
    ServiceRecordDialog *serviceRecordDialog() const { return m_serviceRecord.get(); }
    frontend::LibraryController *libraryController() const { return m_library.get(); }
    LibraryPanel *libraryPanel() const { return m_libraryPanel; }

public slots:
    // Result tables of a short log.
    void Board_Info_Table_Set_Row_Count(int Row_Count);
    void Board_Info_Table_Add_Item(int Parameter_Row, const QString &Parameter_Name,
                                   const QString &Parameter_Value,
                                   const QString &Parameter_Description);
    void Board_Settings_Table_Set_Row_Count(int Row_Count);
    void Board_Settings_Table_Add_Item(int Parameter_Row, const QString &Parameter_Name,
                                       const QString &Parameter_Value,
                                       const QString &Parameter_Unit,
                                       const QString &Parameter_Description);
    void Alarms_Table_Set_Row_Count(int Row_Count);
    void Alarms_Table_Add_Item(int Alarm_Row, const QString &Code_Value, const QString &Occurrency,
                               const QString &Alarm_Description);
    void Last_Alarms_Table_Set_Row_Count(int Row_Count);
    void Last_Alarms_Table_Add_Item(int Alarm_Row, const QString &Code_Value,
                                    const QString &Alarm_Time);

    // Opening logs.
    void openLogFile();
    void open_short_log_example();
    void process_full_log_example();
    void processLogFile(const QString &filename);

    // The two plots of a full log.
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

    // Tools of the graph page and the short log's tables.
    void goToRun();
    void fitAllRuns();
    void showAlarmCounts();
    void filterCommandRows();
    void filterAlarmRows();
    void saveGraphs();
    void printGraphs();
    void copyAllLogTables();
    // Frees the open full log and shows the log-file page.
    void closeFullLog();
    void showFullLogGraphs();
    void showShortLogTables();
    void showSkippedValues();

    // The single-run dialog.
    void plotSingleGraph(int number_graph);
    void singleGraphNext();
    void singleGraphPrev();
    void singleGraphToolTip();

    // Update check, spreadsheet export, help.
    void checkForUpdates();
    void enableUpdate();
    void export_to_excel();
    void showDocumentation();
    // The service record's window, built at its first use.
    void showServiceRecord();
    // Copies HEX files the user chooses into the firmware library.
    void addToLibrary();

protected:
    void closeEvent(QCloseEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;
    // HEX files dropped onto the window go into the firmware library.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private slots:
    // Connection and firmware update; the work is FlashWorkflow's.
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

private:
    void applyStartState();
    void connectActions();
    void connectWorkflow();
    void showControls(frontend::FlashWorkflow::Controls enabled);

    void setupLogViews();
    void setupGraphTools();
    void setupLogTables();
    void openFullLog(const QString &path, bool fromFileDialog);
    void showShortLog(const QString &path);
    void setLogOpening(bool busy);
    void showSkippedSummary();
    void plotFullLog();
    void setupTopAxes();
    void plotCommands(PlotGraph &plot, const RowFilter &filter) const;
    void plotAllarms(PlotGraph &plot, const RowFilter &filter) const;
    void showRun(int run);
    int lastCommandRun() const;
    void enableLogTools(bool fullLog, bool shortLog);
    void updateLogViewActions();
    void prepareDescriptions();
    void refreshAlarmCounts();
    void centreOnRun(int run);
    void filterRowsOf(PlotPanel *panel, bool alarmsPlot);
    const LogEvent *eventOfRun(int run) const;
    QString runCaption(int run) const;
    QString graphsHeader() const;
    QStringList graphsHeading() const;
    QString graphsBaseName() const;
    QList<QCustomPlot *> graphPlots() const;

    void setupUpdateCheck();
    void setupServiceRecord();
    void setupLibrary();
    void reportAdded(const QStringList &paths);
    void showUpdateToggleText();

    std::unique_ptr<MainWindowForm> ui;
    std::unique_ptr<frontend::SystemMgr> m_systemMgr;
    // The broker whose daemon was last seen to (private socket, or empty
    // for TCP): each broker has its own.
    QString m_daemonBroker;
    frontend::DaemonStart *m_daemonStart = nullptr;
    std::unique_ptr<frontend::DaemonLink> m_daemonLink;
    std::unique_ptr<frontend::FlashWorkflow> m_workflow;
    std::unique_ptr<SettingsDialog> m_settings;
    // A window of its own, built once and kept until the program ends.
    std::unique_ptr<HelpDialog> m_help;
    std::unique_ptr<UpdateCheckUi> m_updateCheck;
    // Records every update the workflow starts; the window and its records.
    std::unique_ptr<records::UpdateRecorder> m_recorder;
    std::unique_ptr<ServiceRecordDialog> m_serviceRecord;
    // Stands at the workflow's gate: goes before the workflow.
    std::unique_ptr<frontend::LibraryController> m_library;
    LibraryPanel *m_libraryPanel = nullptr; // child of the Flashing tab
    QMenu *m_contextMenu = nullptr;         // child of the window, kept empty

    // The open log and its views.
    QString log_kind;
    FullLog m_fullLog;
    GraphRows m_graphRows;
    int m_describeRow = -1;            // value-axis row double-clicked on the commands plot
    OpenProgress *m_opening = nullptr; // child of the window
    SkippedValues m_fullSkipped;
    SkippedValues m_shortSkipped;
    QLabel *m_skippedLabel = nullptr;               // in the status bar
    SkippedValuesDialog *m_skippedDialog = nullptr; // made on first use
    bool m_shortLogShown = false;                   // the tables hold a short log
    QDateTime endDateTime;
    QDateTime startDateTime;
    PlotPanel *m_commandsPanel = nullptr; // children of the window
    PlotPanel *m_allarmsPanel = nullptr;
    int currentRun = 0;
    GraphDialog *m_graphDialog = nullptr; // child of the window
    QStringList singleCommandLabels;
    QStringList singleEventLabels;
    QStringList singleAlarmLabels;

    // Tools of the graph page (children of the window).
    QString m_fullLogPath;
    QString m_shortLogPath;
    QString m_logLanguage; // installed language when the log was opened
    // Filled when a log opens; a tooltip only reads it.
    mutable DescriptionCache m_descriptions;
    QString m_lastRunInput;
    AlarmCountsDialog *m_alarmCounts = nullptr; // a window of its own, made on first use
    QAction *m_actionGoToRun = nullptr;
    QAction *m_actionFitAll = nullptr;
    QAction *m_actionAlarmCounts = nullptr;
    QAction *m_actionSaveGraphs = nullptr;
    QAction *m_actionPrintGraphs = nullptr;
    QAction *m_actionFilterCommands = nullptr;
    QAction *m_actionFilterAlarms = nullptr;
    QAction *m_actionCopyTables = nullptr;
    QAction *m_actionCloseLog = nullptr;
    QAction *m_actionShowGraphs = nullptr;
    QAction *m_actionShowTables = nullptr;
    QAction *m_actionSkipped = nullptr;
};
