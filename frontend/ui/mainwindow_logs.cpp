// The Data-Logging side of the main window: opening short and full logs and
// the short log's result tables. The parsing and the data behind the views
// live in frontend/logs.
#include "frontend/ui/mainwindow.h"

#include "common/datafolder.h"
#include "frontend/core/userdialogs.h"
#include "frontend/logs/datetimedialog.h"
#include "frontend/logs/plotpoint.h"
#include "frontend/logs/shortlog.h"
#include "frontend/logs/tabletext.h"
#include "frontend/ui/resulttables.h"

#include <QAction>
#include <QClipboard>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>

namespace {
constexpr int kLogTabIndex = 0;
constexpr int kPlotPage = 1;
constexpr int kShortLogPage = 2;
constexpr int kDescriptionColumn = 2;

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

void showInvalidLog()
{
    UserDialogs::instance().showMessage(UserDialogs::Kind::Plain, QString(),
                                        MainWindow::tr("Invalid Log File"));
}
} // namespace

void MainWindow::openLogFile()
{
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
    const QString path = exampleCopy(QStringLiteral("short_log_example.txt"));
    ui->actionExport_to_Excel->setEnabled(true);
    showShortLog(path);
}

void MainWindow::process_full_log_example()
{
    openFullLog(exampleCopy(QStringLiteral("full_log_example.log")), false);
}

// Each table copies itself (Ctrl+C, or "Copy" in its context menu); all four
// go together from the Data-Logging menu. The cells cannot be selected, so
// a copy is always the whole table.
void MainWindow::setupLogTables()
{
    m_actionCopyTables = new QAction(tr("Copy All Tables"), this);
    m_actionCopyTables->setObjectName(QStringLiteral("actionCopyLogTables"));
    m_actionCopyTables->setShortcut(QKeySequence(tr("Ctrl+Shift+C")));
    connect(m_actionCopyTables, &QAction::triggered, this, &MainWindow::copyAllLogTables);
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
    log_kind = QStringLiteral("file_short");
    enableLogTools(false, true);
    showMaximized();
    ui->stackedWidgetLog->setCurrentIndex(kShortLogPage);
    for (QTableWidget *table : {ui->Board_Info_Table, ui->Board_Settings_Table, ui->Alarms_Table})
        table->horizontalHeader()->setSectionResizeMode(kDescriptionColumn, QHeaderView::Stretch);

    short_log parser;
    connectShortLogTables(parser, this);
    parser.process(path);

    ui->tabWidget->setCurrentIndex(kLogTabIndex);
    ui->stackedWidgetLog->setCurrentIndex(kShortLogPage);
}

void MainWindow::processLogFile(QString filename)
{
    qDebug() << filename;
    m_logReadOk = m_fullLog.read(filename);
    if (!m_logReadOk)
        qDebug() << "error to open file";
}

void MainWindow::openFullLog(const QString &path, bool fromFileDialog)
{
    ui->actionExport_to_Excel->setEnabled(true);
    log_kind = QStringLiteral("file_full");
    if (fromFileDialog)
        qDebug() << path;
    ui->lineEditOpenLogFile->setText(path);

    // Cancelling the date dialog keeps the previous log on screen, so keep
    // what the graphs and the run dialog read until the new log is accepted.
    const FullLog previous = m_fullLog;
    processLogFile(path);
    // A file that did not read would otherwise show the previous log under
    // the new name; one without runs has no last run to date the others by.
    if (!m_logReadOk || m_fullLog.logEvents.isEmpty()) {
        m_fullLog = previous;
        showInvalidLog();
        return;
    }

    commandsPlotMarker()->setVisible(false);
    alarmsPlotMarker()->setVisible(false);

    DateTimeDialog dialog(this);
    dialog.setDateTime(m_fullLog.logDate.isValid() ? m_fullLog.logDate
                                                   : QDateTime::currentDateTime());
    if (UserDialogs::instance().execDialog(dialog) != QDialog::Accepted) {
        m_fullLog = previous;
        return;
    }

    endDateTime = dialog.dateTime();
    const qint64 elapsed = m_fullLog.logEvents.constLast().time;
    startDateTime = startDateFor(endDateTime, elapsed);
    qDebug() << "Final date time -- " << endDateTime.toString(Qt::ISODate);
    qDebug() << "Elapsed time -- " << elapsed;
    qDebug() << "Start date time -- " << startDateTime.toString(Qt::ISODate);

    if (!writeEndDate(path, endDateTime))
        qDebug() << "error to open file";

    m_series = buildSeries(m_fullLog.logEvents, startDateTime);
    padAlarmLabels(m_series.alarmLabels, m_series.commandLabels);
    m_fullLogPath = path;
    prepareDescriptions();
    plotFullLog();
    enableLogTools(true, false);
    refreshAlarmCounts();

    ui->tabWidget->setCurrentIndex(kLogTabIndex);
    ui->stackedWidgetLog->setCurrentIndex(kPlotPage);
    statusBar()->showMessage(tr("%1").arg(m_fullLog.firmwareLine));
    showMaximized();
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
    forgetSortOrder(ui->Board_Settings_Table);
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
    forgetSortOrder(ui->Alarms_Table);
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
