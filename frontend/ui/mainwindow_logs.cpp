// The Data-Logging side of the main window: opening short and full logs and
// the short log's result tables. The parsing and the data behind the views
// live in frontend/logs. Reading a log and building its graphs run on a
// thread of their own (OpenProgress): the window repaints, shows how far
// it has got and can be used meanwhile.
#include "frontend/ui/mainwindow.h"

#include "common/datafolder.h"
#include "frontend/base/userdialogs.h"
#include "frontend/logs/alarmcountsdialog.h"
#include "frontend/logs/datetimedialog.h"
#include "frontend/logs/plotgraph.h"
#include "frontend/logs/plotpoint.h"
#include "frontend/logs/shortlog.h"
#include "frontend/logs/skippedvaluesdialog.h"
#include "frontend/logs/tabletext.h"
#include "frontend/ui/openprogress.h"
#include "frontend/ui/plotpanel.h"
#include "frontend/ui/resulttables.h"

#include <QAction>
#include <QClipboard>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {
constexpr int kLogTabIndex = 0;
constexpr int kSelectPage = 0;
constexpr int kPlotPage = 1;
constexpr int kShortLogPage = 2;
constexpr int kDescriptionColumn = 2;
// Rows put into the tables between two looks at the event queue.
constexpr int kRowsPerSlice = 200;

// The example logs are copied into the user's data folder before they are
// opened, because opening a full log writes its end date into the file.
QString exampleCopy(const QString &fileName)
{
    const QString example = velmo::dataFolderPath() + QLatin1Char('/') + fileName;
    if (!QFile::exists(example)) {
        velmo::ensureDataFolder();
        QFile::copy(QStringLiteral("./") + fileName, example);
    }
    return example;
}

// Puts `text` into a cell nobody can select or edit.
void putCell(QTableWidget *table, int row, int column, const QString &text)
{
    table->setItem(row, column, new ResultCell(text));
}

void showInvalidLog(const QString &reason)
{
    UserDialogs::instance().showMessage(UserDialogs::Kind::Plain, QString(),
                                        short_log::invalidLogText(reason));
}

// Memory the allocator keeps after a big log was freed goes back to the
// system, so closing or replacing a log gives it back.
void returnFreedMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}
} // namespace

void MainWindow::openLogFile()
{
    if (m_opening->busy())
        return;
    const QString path = UserDialogs::instance().chooseOpenFile(tr("Log files (*.log *.txt)"));
    if (path.isEmpty())
        return;
    ui->actionExport_to_Excel->setEnabled(true);
    if (path.contains(QLatin1String(".txt")))
        showShortLog(path);
    else
        openFullLog(path, true);
}

void MainWindow::open_short_log_example()
{
    if (m_opening->busy())
        return;
    const QString path = exampleCopy(QStringLiteral("short_log_example.txt"));
    ui->actionExport_to_Excel->setEnabled(true);
    showShortLog(path);
}

void MainWindow::process_full_log_example()
{
    if (m_opening->busy())
        return;
    openFullLog(exampleCopy(QStringLiteral("full_log_example.log")), false);
}

// Each table copies itself (Ctrl+C, or "Copy" in its context menu); all four
// go together from the Data-Logging menu. The cells cannot be selected, so
// a copy is always the whole table.
void MainWindow::setupLogTables()
{
    m_opening = new OpenProgress(ui->statusBar, this);
    connect(m_opening, &OpenProgress::busyChanged, this, &MainWindow::setLogOpening);

    m_actionCopyTables = new QAction(tr("Copy All Tables"), this);
    m_actionCopyTables->setObjectName(QStringLiteral("actionCopyLogTables"));
    m_actionCopyTables->setShortcut(QKeySequence(tr("Ctrl+Shift+C")));
    connect(m_actionCopyTables, &QAction::triggered, this, &MainWindow::copyAllLogTables);
    m_actionShowGraphs = new QAction(tr("Show Graphs"), this);
    m_actionShowGraphs->setObjectName(QStringLiteral("actionShowGraphs"));
    connect(m_actionShowGraphs, &QAction::triggered, this, &MainWindow::showFullLogGraphs);
    m_actionShowTables = new QAction(tr("Show Tables"), this);
    m_actionShowTables->setObjectName(QStringLiteral("actionShowTables"));
    connect(m_actionShowTables, &QAction::triggered, this, &MainWindow::showShortLogTables);
    m_actionSkipped = new QAction(tr("Skipped Values..."), this);
    m_actionSkipped->setObjectName(QStringLiteral("actionSkippedValues"));
    connect(m_actionSkipped, &QAction::triggered, this, &MainWindow::showSkippedValues);
    m_actionCloseLog = new QAction(tr("Close Full Log"), this);
    m_actionCloseLog->setObjectName(QStringLiteral("actionCloseLog"));
    connect(m_actionCloseLog, &QAction::triggered, this, &MainWindow::closeFullLog);
    ui->menuFff->addSeparator();
    ui->menuFff->addActions(
        {m_actionShowGraphs, m_actionShowTables, m_actionSkipped, m_actionCloseLog});
    ui->menuFff->addSeparator();
    ui->menuFff->addAction(m_actionCopyTables);

    for (QTableWidget *table : {ui->Board_Info_Table, ui->Board_Settings_Table, ui->Alarms_Table,
                                ui->Last_Alarms_Table}) {
        auto *copy = new QAction(tr("Copy"), table);
        copy->setObjectName(QStringLiteral("actionCopyTable"));
        copy->setShortcut(QKeySequence::Copy);
        copy->setShortcutContext(Qt::WidgetShortcut);
        connect(copy, &QAction::triggered, table, [table] {
            QGuiApplication::clipboard()->setText(tabSeparated(tableRows(*table)));
        });
        table->addAction(copy);
        table->addAction(m_actionCopyTables);
        table->setContextMenuPolicy(Qt::ActionsContextMenu);
    }
    sortOnHeaderClick(ui->Board_Settings_Table);
    sortOnHeaderClick(ui->Alarms_Table);
    // A run of the board's last alarms, in the graphs of its full log.
    ui->Last_Alarms_Table->setToolTip(
        tr("Double-click a row to show its run in the graphs of this board's full log."));
    connect(ui->Last_Alarms_Table, &QTableWidget::cellDoubleClicked, this, [this](int row) {
        const QTableWidgetItem *run = ui->Last_Alarms_Table->item(row, 1);
        if (run)
            showShortLogRun(run->text());
    });

    // What a log held that could not be used: said once, details on a click.
    m_skippedLabel = new QLabel(ui->statusBar);
    m_skippedLabel->setObjectName(QStringLiteral("skippedValuesLabel"));
    m_skippedLabel->setTextFormat(Qt::RichText);
    m_skippedLabel->hide();
    connect(m_skippedLabel, &QLabel::linkActivated, this, &MainWindow::showSkippedValues);
    ui->statusBar->addPermanentWidget(m_skippedLabel);
    updateLogViewActions();
}

void MainWindow::setLogOpening(bool busy)
{
    // While a log is read, nothing may start on the logs shown.
    for (QAction *action :
         {ui->actionOpenLogFile, ui->actionFull_log_example, ui->actionShort_log_example,
          m_actionCloseLog, m_actionShowGraphs, m_actionShowTables})
        action->setEnabled(!busy);
    ui->btnOpenLogFile->setEnabled(!busy);
    if (busy) {
        ui->actionExport_to_Excel->setEnabled(false);
        enableLogTools(false, false);
    } else {
        ui->actionExport_to_Excel->setEnabled(!log_kind.isEmpty());
        enableLogTools(log_kind == QLatin1String("file_full") && !m_fullLog.logEvents.isEmpty(),
                       log_kind == QLatin1String("file_short"));
        updateLogViewActions();
    }
}

void MainWindow::updateLogViewActions()
{
    const bool full = !m_fullLog.logEvents.isEmpty();
    m_actionShowGraphs->setEnabled(full && !m_opening->busy());
    m_actionShowTables->setEnabled(m_shortLogShown && !m_opening->busy());
    m_actionCloseLog->setEnabled(full && !m_opening->busy());
    m_actionSkipped->setEnabled(!m_fullSkipped.isEmpty() || !m_shortSkipped.isEmpty());
}

QString MainWindow::logTablesText() const
{
    const QList<QPair<const QLabel *, const QTableWidget *>> tables{
        {ui->label, ui->Board_Info_Table},
        {ui->label_2, ui->Board_Settings_Table},
        {ui->label_3, ui->Alarms_Table},
        {ui->label_4, ui->Last_Alarms_Table}};
    QStringList parts;
    for (const auto &[title, table] : tables)
        parts.append(tabSeparated(QList<QStringList>{{title->text()}} + tableRows(*table)));
    return parts.join(QLatin1Char('\n'));
}

void MainWindow::copyAllLogTables()
{
    QGuiApplication::clipboard()->setText(logTablesText());
    ui->statusBar->showMessage(tr("The four tables were copied."));
}

void MainWindow::showShortLog(const QString &path)
{
    const QString previousKind = log_kind;
    log_kind = QStringLiteral("file_short");
    showMaximized();
    ui->tabWidget->setCurrentIndex(kLogTabIndex);
    for (QTableWidget *table : {ui->Board_Info_Table, ui->Board_Settings_Table, ui->Alarms_Table})
        table->horizontalHeader()->setSectionResizeMode(kDescriptionColumn, QHeaderView::Stretch);

    // Read, looked up and converted in the background into a record of its
    // own; the program-wide one changes only when the new log is complete.
    ShortLogData data;
    short_log reader(data, QString::fromLatin1(kLookupDatabasePath));
    std::atomic<bool> cancel{false};
    short_log::Outcome outcome = short_log::Outcome::Cancelled;
    const bool done =
        m_opening->run({tr("Reading %1...").arg(QFileInfo(path).fileName()), nullptr, 0, &cancel},
                       [&] { outcome = reader.load(path, &cancel); });
    if (!done || outcome == short_log::Outcome::Cancelled) {
        log_kind = previousKind;
        setLogOpening(false);
        ui->statusBar->showMessage(tr("Opening %1 was cancelled.").arg(QFileInfo(path).fileName()));
        return;
    }
    if (outcome == short_log::Outcome::CannotOpen)
        qDebug() << "error to open file";

    enableLogTools(false, true);
    ui->stackedWidgetLog->setCurrentIndex(kShortLogPage);
    ShortLogData::instance() = std::move(data);
    m_shortLogPath = path;
    short_log parser;
    connectShortLogTables(parser, this);
    parser.emitEmptyTables();
    m_shortLogShown = false;
    m_shortSkipped = reader.skipped();
    if (outcome != short_log::Outcome::Read) {
        showInvalidLog(reader.invalidReason());
    } else {
        // The rows go in a slice at a time, so a log of many thousand
        // settings neither freezes the window nor keeps it from repainting.
        const bool filled = m_opening->runSliced(
            {tr("Filling the tables..."), nullptr, 0, nullptr}, [this, &parser] {
                const RowFitter::Batch batch({ui->Board_Info_Table, ui->Board_Settings_Table,
                                              ui->Alarms_Table, ui->Last_Alarms_Table});
                return parser.emitTableRows(kRowsPerSlice);
            });
        m_shortLogShown = filled;
    }
    setLogOpening(false);
    ui->tabWidget->setCurrentIndex(kLogTabIndex);
    ui->stackedWidgetLog->setCurrentIndex(kShortLogPage);
    showSkippedSummary();
    updateLogViewActions();
}

void MainWindow::processLogFile(const QString &filename)
{
    qDebug() << filename;
    if (m_fullLog.read(filename) != FullLog::ReadResult::Read)
        qDebug() << "error to open file";
}

void MainWindow::openFullLog(const QString &path, bool fromFileDialog)
{
    const QString previousKind = log_kind;
    const QString previousPath = ui->lineEditOpenLogFile->text();
    ui->actionExport_to_Excel->setEnabled(true);
    log_kind = QStringLiteral("file_full");
    if (fromFileDialog)
        qDebug() << path;
    ui->lineEditOpenLogFile->setText(path);
    const QString name = QFileInfo(path).fileName();

    // Read into a log of its own: cancelling, the date dialog's Cancel and
    // a file without runs all leave the open log as it was.
    FullLog parsed;
    LogReadControl control;
    QString error;
    FullLog::ReadResult result = FullLog::ReadResult::Cancelled;
    const bool read = m_opening->run({tr("Reading %1...").arg(name), &control.bytesRead,
                                      QFileInfo(path).size(), &control.cancel},
                                     [&] { result = parsed.read(path, &control, &error); });
    if (!read || result == FullLog::ReadResult::Cancelled) {
        log_kind = previousKind;
        ui->lineEditOpenLogFile->setText(previousPath);
        setLogOpening(false);
        ui->statusBar->showMessage(tr("Opening %1 was cancelled.").arg(name));
        return;
    }
    const QString shownPath = QDir::toNativeSeparators(path);
    if (result == FullLog::ReadResult::CannotOpen) {
        qDebug() << "error to open file";
        showInvalidLog(tr("%1 could not be opened: %2").arg(shownPath, error));
        return;
    }
    if (parsed.logEvents.isEmpty()) {
        showInvalidLog(
            tr("%1 holds no run: no CMD line followed by an EVENT NUMBER line and a TIME line.")
                .arg(shownPath));
        return;
    }

    commandsPlotMarker()->setVisible(false);
    alarmsPlotMarker()->setVisible(false);

    // The dates are known now: the log's own end date, else today.
    DateTimeDialog dialog(this);
    dialog.setDateTime(parsed.logDate.isValid() ? parsed.logDate : QDateTime::currentDateTime());
    if (UserDialogs::instance().execDialog(dialog) != QDialog::Accepted)
        return;

    endDateTime = dialog.dateTime();
    const QDateTime start = startDateFor(endDateTime, parsed.logEvents);
    qDebug() << "Final date time -- " << endDateTime.toString(Qt::ISODate);
    qDebug() << "Elapsed time -- " << endDateTime.secsTo(start) / -3600;
    qDebug() << "Start date time -- " << start.toString(Qt::ISODate);

    // The new log is taken: the old one goes first, so the two never fill
    // the memory together.
    m_commandsPanel->forgetRowFilter();
    m_allarmsPanel->forgetRowFilter();
    ui->plotGraphCommands->clearGraphs();
    ui->plotGraphAllarms->clearGraphs();
    m_graphRows = GraphRows();
    m_fullLog = std::move(parsed);
    startDateTime = start;
    m_fullLogPath = path;
    returnFreedMemory();

    bool written = false;
    GraphRows rows;
    m_opening->run({tr("Drawing %1...").arg(name), nullptr, 0, nullptr}, [&] {
        written = writeEndDate(path, endDateTime);
        rows = buildGraphRows(m_fullLog);
    });
    if (!written)
        qDebug() << "error to open file";
    m_graphRows = std::move(rows);
    m_fullSkipped = m_fullLog.skipped;

    prepareDescriptions();
    plotFullLog();
    setLogOpening(false);
    refreshAlarmCounts();

    ui->tabWidget->setCurrentIndex(kLogTabIndex);
    ui->stackedWidgetLog->setCurrentIndex(kPlotPage);
    statusBar()->showMessage(tr("%1").arg(m_fullLog.firmwareLine));
    showSkippedSummary();
    updateLogViewActions();
    showMaximized();
}

void MainWindow::closeFullLog()
{
    if (m_opening->busy())
        return;
    m_commandsPanel->forgetRowFilter();
    m_allarmsPanel->forgetRowFilter();
    for (PlotGraph *plot : {ui->plotGraphCommands, ui->plotGraphAllarms}) {
        plot->clearGraphs();
        plot->resetSeries();
        plot->replot();
    }
    m_fullLog = FullLog();
    m_graphRows = GraphRows();
    m_fullSkipped.clear();
    m_fullLogPath.clear();
    m_descriptions.clear();
    returnFreedMemory();
    if (m_alarmCounts)
        m_alarmCounts->close();
    if (log_kind == QLatin1String("file_full")) {
        log_kind.clear();
        ui->actionExport_to_Excel->setEnabled(m_shortLogShown);
        if (m_shortLogShown)
            showShortLogTables();
        else
            ui->stackedWidgetLog->setCurrentIndex(kSelectPage);
    }
    enableLogTools(false, log_kind == QLatin1String("file_short"));
    showSkippedSummary();
    updateLogViewActions();
}

void MainWindow::showFullLogGraphs()
{
    if (m_fullLog.logEvents.isEmpty())
        return;
    log_kind = QStringLiteral("file_full");
    ui->actionExport_to_Excel->setEnabled(true);
    enableLogTools(true, false);
    ui->tabWidget->setCurrentIndex(kLogTabIndex);
    ui->stackedWidgetLog->setCurrentIndex(kPlotPage);
}

void MainWindow::showShortLogTables()
{
    if (!m_shortLogShown)
        return;
    log_kind = QStringLiteral("file_short");
    ui->actionExport_to_Excel->setEnabled(true);
    enableLogTools(false, true);
    ui->tabWidget->setCurrentIndex(kLogTabIndex);
    ui->stackedWidgetLog->setCurrentIndex(kShortLogPage);
}

bool MainWindow::showShortLogRun(const QString &boardRun)
{
    if (m_opening->busy())
        return false; // the logs shown are about to change
    bool isNumber = false;
    const int number = boardRun.trimmed().toInt(&isNumber);
    const QString board = ShortLogData::instance().infoValues.value(0).trimmed();
    QString problem;
    if (!isNumber) {
        problem = tr("\"%1\" is not a run number.").arg(boardRun.trimmed());
    } else if (m_fullLog.logEvents.isEmpty()) {
        problem = tr("Open the full log of board %1 to see its run %2 in the graphs.")
                      .arg(board)
                      .arg(number);
    } else if (const QString fullBoard =
                   m_fullLog.firmwareLine.section(QLatin1Char(':'), 0, 0).trimmed();
               !board.isEmpty() && !fullBoard.isEmpty() &&
               fullBoard.compare(board, Qt::CaseInsensitive) != 0) {
        problem = tr("The full log open is of board %1, not %2.").arg(fullBoard, board);
    } else if (!m_fullLog.eventOfBoardNumber(number)) {
        problem = tr("The full log %1 has no run %2.")
                      .arg(QFileInfo(m_fullLogPath).fileName())
                      .arg(number);
    }
    if (!problem.isEmpty()) {
        ui->statusBar->showMessage(problem);
        return false;
    }
    showFullLogGraphs();
    centreOnRun(m_fullLog.eventOfBoardNumber(number)->number);
    return true;
}

void MainWindow::showSkippedSummary()
{
    QStringList parts;
    if (!m_fullSkipped.isEmpty())
        parts.append(m_fullSkipped.summary());
    if (!m_shortSkipped.isEmpty() && log_kind == QLatin1String("file_short"))
        parts.append(m_shortSkipped.summary());
    if (parts.isEmpty() || m_opening->busy()) {
        m_skippedLabel->hide();
    } else {
        m_skippedLabel->setText(tr("Not used: %1. <a href=\"details\">Details</a>")
                                    .arg(parts.join(QStringLiteral("; "))));
        m_skippedLabel->show();
    }
    if (m_skippedDialog && m_skippedDialog->isVisible())
        showSkippedValues();
    updateLogViewActions();
}

void MainWindow::showSkippedValues()
{
    if (!m_skippedDialog) {
        // A window of its own that stays beside the logs.
        m_skippedDialog = new SkippedValuesDialog(this);
    }
    QList<SkippedValuesDialog::Source> sources;
    if (!m_fullSkipped.isEmpty())
        sources.append({QFileInfo(m_fullLogPath).fileName(), &m_fullSkipped});
    if (!m_shortSkipped.isEmpty())
        sources.append({tr("short log"), &m_shortSkipped});
    m_skippedDialog->setValues(sources);
    m_skippedDialog->show();
    m_skippedDialog->raise();
    m_skippedDialog->activateWindow();
}

void MainWindow::Board_Info_Table_Set_Row_Count(int Row_Count)
{
    RowFitter::of(ui->Board_Info_Table)->forget();
    ui->Board_Info_Table->setRowCount(Row_Count);
}

void MainWindow::Board_Info_Table_Add_Item(int Parameter_Row, const QString &Parameter_Name,
                                           const QString &Parameter_Value,
                                           const QString &Parameter_Description)
{
    QTableWidget *table = ui->Board_Info_Table;
    putCell(table, Parameter_Row, 0, Parameter_Name);
    putCell(table, Parameter_Row, 1, Parameter_Value);
    putCell(table, Parameter_Row, 2, Parameter_Description);
    RowFitter::of(table)->fitRow(Parameter_Row);
}

void MainWindow::Board_Settings_Table_Set_Row_Count(int Row_Count)
{
    forgetSortOrder(ui->Board_Settings_Table);
    RowFitter::of(ui->Board_Settings_Table)->forget();
    ui->Board_Settings_Table->setRowCount(Row_Count);
}

void MainWindow::Board_Settings_Table_Add_Item(int Parameter_Row, const QString &Parameter_Name,
                                               const QString &Parameter_Value,
                                               const QString &Parameter_Unit,
                                               const QString &Parameter_Description)
{
    QTableWidget *table = ui->Board_Settings_Table;
    bool isNumber = false;
    Parameter_Value.toDouble(&isNumber);
    putCell(table, Parameter_Row, 0, Parameter_Name);
    putCell(table, Parameter_Row, 1,
            isNumber ? Parameter_Value + QLatin1Char(' ') + Parameter_Unit : Parameter_Value);
    putCell(table, Parameter_Row, 2, Parameter_Description);
    RowFitter::of(table)->fitRow(Parameter_Row);
}

void MainWindow::Alarms_Table_Set_Row_Count(int Row_Count)
{
    forgetSortOrder(ui->Alarms_Table);
    RowFitter::of(ui->Alarms_Table)->forget();
    ui->Alarms_Table->setRowCount(Row_Count);
}

void MainWindow::Alarms_Table_Add_Item(int Alarm_Row, const QString &Code_Value,
                                       const QString &Occurrency, const QString &Alarm_Description)
{
    QTableWidget *table = ui->Alarms_Table;
    putCell(table, Alarm_Row, 0, Code_Value);
    putCell(table, Alarm_Row, 1, Occurrency);
    putCell(table, Alarm_Row, 2, Alarm_Description);
    RowFitter::of(table)->fitRow(Alarm_Row);
}

void MainWindow::Last_Alarms_Table_Set_Row_Count(int Row_Count)
{
    RowFitter::of(ui->Last_Alarms_Table)->forget();
    ui->Last_Alarms_Table->setRowCount(Row_Count);
}

void MainWindow::Last_Alarms_Table_Add_Item(int Alarm_Row, const QString &Code_Value,
                                            const QString &Alarm_Time)
{
    QTableWidget *table = ui->Last_Alarms_Table;
    putCell(table, Alarm_Row, 0, Code_Value);
    putCell(table, Alarm_Row, 1, Alarm_Time);
    RowFitter::of(table)->fitRow(Alarm_Row);
}
