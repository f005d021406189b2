// Tools of the graph page beyond the two plots themselves: going to a run or
// a date, choosing the rows shown, the alarm counts, the tooltip of a point,
// and the plots on paper. The work is done in frontend/logs; this is the
// wiring to the window's menus and the plots' context menus.
#include "frontend/ui/mainwindow.h"

#include "frontend/base/lenguagge.h"
#include "frontend/base/userdialogs.h"
#include "frontend/logs/alarmcountsdialog.h"
#include "frontend/logs/gotorundialog.h"
#include "frontend/logs/plotexport.h"
#include "frontend/logs/plotgraph.h"
#include "frontend/logs/rowfilterdialog.h"
#include "frontend/ui/excelexporter.h"
#include "frontend/ui/plotpanel.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QPrintDialog>
#include <QPrinter>
#include <QStatusBar>

#include <algorithm>
#include <cmath>

namespace {
const QString kDayFormat = QStringLiteral("d/M/yyyy hh:mm");
const QString kPngSuffix = QStringLiteral(".png");
const QString kPdfSuffix = QStringLiteral(".pdf");

QAction *makeAction(QObject *parent, const char *name, const QString &text,
                    const QKeySequence &shortcut = QKeySequence())
{
    auto *action = new QAction(text, parent);
    action->setObjectName(QLatin1String(name));
    action->setShortcut(shortcut);
    action->setEnabled(false);
    return action;
}
} // namespace

void MainWindow::setupGraphTools()
{
    m_actionGoToRun =
        makeAction(this, "actionGoToRun", tr("Go to Run..."), QKeySequence(tr("Ctrl+G")));
    m_actionFitAll = makeAction(this, "actionFitAll", tr("Fit All Runs"));
    m_actionAlarmCounts = makeAction(this, "actionAlarmCounts", tr("Alarm Counts..."));
    m_actionSaveGraphs =
        makeAction(this, "actionSaveGraphs", tr("Save Graphs..."), QKeySequence(tr("Ctrl+S")));
    m_actionPrintGraphs =
        makeAction(this, "actionPrintGraphs", tr("Print Graphs..."), QKeySequence(tr("Ctrl+P")));
    m_actionFilterCommands = makeAction(this, "actionFilterCommands", tr("Filter Rows..."));
    m_actionFilterAlarms = makeAction(this, "actionFilterAlarms", tr("Filter Rows..."));
    connect(m_actionGoToRun, &QAction::triggered, this, &MainWindow::goToRun);
    connect(m_actionFitAll, &QAction::triggered, this, &MainWindow::fitAllRuns);
    connect(m_actionAlarmCounts, &QAction::triggered, this, &MainWindow::showAlarmCounts);
    connect(m_actionSaveGraphs, &QAction::triggered, this, &MainWindow::saveGraphs);
    connect(m_actionPrintGraphs, &QAction::triggered, this, &MainWindow::printGraphs);
    connect(m_actionFilterCommands, &QAction::triggered, this, &MainWindow::filterCommandRows);
    connect(m_actionFilterAlarms, &QAction::triggered, this, &MainWindow::filterAlarmRows);

    QMenu *menu = ui->menuFff;
    menu->addSeparator();
    menu->addActions({m_actionGoToRun, m_actionFitAll, m_actionAlarmCounts, m_actionSaveGraphs,
                      m_actionPrintGraphs});

    const QList<QAction *> shared{m_actionGoToRun, m_actionAlarmCounts, m_actionSaveGraphs,
                                  m_actionPrintGraphs};
    m_commandsPanel->setMenuActions(QList<QAction *>{m_actionFilterCommands} + shared);
    m_allarmsPanel->setMenuActions(QList<QAction *>{m_actionFilterAlarms} + shared);
    m_commandsPanel->setHoverText([this](const PlotHit &hit) { return pointText(false, hit); });
    m_allarmsPanel->setHoverText([this](const PlotHit &hit) { return pointText(true, hit); });
}

void MainWindow::enableLogTools(bool fullLog, bool shortLog)
{
    for (QAction *action :
         {m_actionGoToRun, m_actionFitAll, m_actionAlarmCounts, m_actionSaveGraphs,
          m_actionPrintGraphs, m_actionFilterCommands, m_actionFilterAlarms})
        action->setEnabled(fullLog);
    m_actionCopyTables->setEnabled(shortLog);
}

// Every description the log can ask for, in one pass over the database per
// kind, so a tooltip never waits for it.
void MainWindow::prepareDescriptions()
{
    m_logLanguage = Lenguagge().languageCode();
    m_descriptions.clear();
    QStringList commandCodes;
    for (const QStringList *labels : {&m_graphRows.commandLabels, &m_graphRows.eventLabels}) {
        for (const QString &label : *labels)
            commandCodes.append(rowCode(label));
    }
    QStringList alarmCodes;
    for (const QString &label : m_graphRows.alarmLabels)
        alarmCodes.append(rowCode(label));
    commandCodes.removeAll(QString());
    alarmCodes.removeAll(QString());
    m_descriptions.preload(DescriptionCache::Kind::CommandOrEvent, commandCodes, m_logLanguage);
    m_descriptions.preload(DescriptionCache::Kind::Alarm, alarmCodes, m_logLanguage);
}

const LogEvent *MainWindow::eventOfRun(int run) const
{
    return m_fullLog.eventOfRun(run);
}

QString MainWindow::pointText(bool alarmsPlot, const PlotHit &hit) const
{
    const QString label = hit.label.trimmed();
    if (label.isEmpty())
        return QString();
    const LogEvent *event = eventOfRun(hit.run);
    const QDateTime date = event ? runDate(startDateTime, *event) : QDateTime();
    // Both numbers: the run's place on the axis and the board's own count,
    // which the file, the short log and the spreadsheet give.
    QString text = event ? tr("Run %1, board run %2").arg(hit.run).arg(event->boardNumber)
                         : tr("Run %1").arg(hit.run);
    if (date.isValid())
        text +=
            QStringLiteral(" \u2013 ") +
            Lenguagge::localeOf(m_logLanguage).toString(date, QStringLiteral("ddd ") + kDayFormat);

    // A command row holds the commands of one code: name the ones of this run.
    QStringList texts;
    if (!alarmsPlot && event && m_graphRows.commandLabels.contains(hit.label)) {
        const QStringList commands = m_fullLog.commandsOf(event->number);
        const QStringList shorts = m_fullLog.shortCommandsOf(event->number);
        for (int j = 0; j < commands.size(); ++j) {
            if (shorts.value(j) == hit.label)
                texts.append(commands.at(j).trimmed());
        }
    }
    texts.removeDuplicates();
    if (texts.isEmpty())
        texts.append(label);
    const auto kind =
        alarmsPlot ? DescriptionCache::Kind::Alarm : DescriptionCache::Kind::CommandOrEvent;
    const QString description =
        m_descriptions.description(kind, rowCode(label), m_logLanguage).trimmed();
    text += QLatin1Char('\n') + texts.join(QStringLiteral(", "));
    if (!description.isEmpty())
        text += QStringLiteral(": ") + description;
    return text;
}

void MainWindow::fitAllRuns()
{
    m_commandsPanel->fitAll();
}

QString MainWindow::runCaption(int run) const
{
    const LogEvent *event = eventOfRun(run);
    const QDateTime date = event ? runDate(startDateTime, *event) : QDateTime();
    QString caption =
        event ? tr("Run %1, board run %2").arg(run).arg(event->boardNumber) : tr("Run %1").arg(run);
    if (date.isValid())
        caption += QStringLiteral(", ") + date.toString(kDayFormat);
    return caption;
}

void MainWindow::centreOnRun(int run)
{
    // The alarms plot follows the key axis of the commands plot.
    m_commandsPanel->centreOn(run, runCaption(run));
    m_allarmsPanel->centreOn(run);
}

void MainWindow::goToRun()
{
    if (m_fullLog.logEvents.isEmpty())
        return;
    GoToRunDialog dialog(this);
    const RunLookup span = locateRun(QString(), m_fullLog, startDateTime);
    QString text = tr("This log holds runs %1 to %2 (the board's runs %3 to %4)")
                       .arg(span.firstRun)
                       .arg(span.lastRun)
                       .arg(span.firstBoardRun)
                       .arg(span.lastBoardRun);
    if (span.firstDate.isValid())
        text += tr(", from %1 to %2")
                    .arg(span.firstDate.toString(kDayFormat), span.lastDate.toString(kDayFormat));
    dialog.setSpan(text + QLatin1Char('.'));
    dialog.setInput(m_lastRunInput);
    // A number or date the log does not hold is said in the dialog, which
    // stays open for another try.
    dialog.setCheck([this](const QString &input) { return runProblem(input); });
    if (UserDialogs::instance().execDialog(dialog) != QDialog::Accepted)
        return;
    m_lastRunInput = dialog.input().trimmed();
    if (!m_lastRunInput.isEmpty())
        showRunFor(m_lastRunInput);
}

QString MainWindow::runProblem(const QString &input) const
{
    const RunLookup lookup = locateRun(input, m_fullLog, startDateTime);
    switch (lookup.outcome) {
    case RunLookup::Outcome::Found:
    case RunLookup::Outcome::NoRuns:
        return QString();
    case RunLookup::Outcome::Unreadable:
        return tr("\"%1\" is neither a run number nor a date. Type the board's run number "
                  "such as 15205, # and a run of the graphs such as #293, or a date such as "
                  "2019-05-10 14:30.")
            .arg(input.trimmed());
    case RunLookup::Outcome::OutOfRange:
        break;
    }
    if (lookup.byDate) {
        if (!lookup.firstDate.isValid())
            return tr("The runs of this log have no dates to go by.");
        return tr("No run at or after %1: this log goes from %2 to %3.")
            .arg(lookup.date.toString(kDayFormat), lookup.firstDate.toString(kDayFormat),
                 lookup.lastDate.toString(kDayFormat));
    }
    if (lookup.byPosition)
        return tr("There is no run #%1 in this log: its graphs hold runs %2 to %3.")
            .arg(lookup.run)
            .arg(lookup.firstRun)
            .arg(lookup.lastRun);
    return tr("There is no run %1 in this log: it holds the board's runs %2 to %3, and runs "
              "#%4 to #%5 in the graphs.")
        .arg(lookup.run)
        .arg(lookup.firstBoardRun)
        .arg(lookup.lastBoardRun)
        .arg(lookup.firstRun)
        .arg(lookup.lastRun);
}

bool MainWindow::showRunFor(const QString &input)
{
    const RunLookup lookup = locateRun(input, m_fullLog, startDateTime);
    if (lookup.outcome == RunLookup::Outcome::Found) {
        centreOnRun(lookup.run);
        return true;
    }
    if (lookup.outcome == RunLookup::Outcome::NoRuns)
        return false;
    UserDialogs::instance().warning(tr("Go to Run"), runProblem(input));
    return false;
}

void MainWindow::filterCommandRows()
{
    filterRowsOf(m_commandsPanel, false);
}

void MainWindow::filterAlarmRows()
{
    filterRowsOf(m_allarmsPanel, true);
}

void MainWindow::filterRowsOf(PlotPanel *panel, bool alarmsPlot)
{
    QList<RowChoice> rows;
    const auto add = [&](const QString &group, const QStringList &labels,
                         DescriptionCache::Kind kind) {
        for (int i = 1; i < labels.size(); ++i)
            rows.append({group, labels.at(i),
                         m_descriptions.description(kind, rowCode(labels.at(i)), m_logLanguage)});
    };
    if (alarmsPlot) {
        add(tr("Alarms"), m_graphRows.alarmLabels, DescriptionCache::Kind::Alarm);
    } else {
        add(tr("Commands"), m_graphRows.commandLabels, DescriptionCache::Kind::CommandOrEvent);
        add(tr("Events"), m_graphRows.eventLabels, DescriptionCache::Kind::CommandOrEvent);
    }
    RowFilterDialog dialog(this);
    dialog.setRows(rows, panel->rowFilter());
    if (UserDialogs::instance().execDialog(dialog) != QDialog::Accepted)
        return;
    panel->setRowFilter(dialog.filter());
}

void MainWindow::refreshAlarmCounts()
{
    if (!m_alarmCounts)
        return;
    const QVector<AlarmCount> counts = countAlarms(m_fullLog, startDateTime);
    QStringList descriptions;
    for (const AlarmCount &count : counts)
        descriptions.append(
            m_descriptions.description(DescriptionCache::Kind::Alarm, count.code, m_logLanguage));
    const auto withAlarms = std::count_if(
        m_fullLog.logEvents.cbegin(), m_fullLog.logEvents.cend(), [this](const LogEvent &event) {
            const LogBlockInfo &block = m_fullLog.blocks.at(event.number);
            for (int i = block.firstItem; i < block.itemEnd; ++i) {
                const LogItem &item = m_fullLog.items.at(i);
                if (item.inGraphs() && item.kind() == LogItem::Kind::Alarm)
                    return true;
            }
            return false;
        });
    m_alarmCounts->setCounts(counts, descriptions,
                             tr("%1: %2 of %3 runs had an alarm.")
                                 .arg(QFileInfo(m_fullLogPath).fileName())
                                 .arg(withAlarms)
                                 .arg(m_fullLog.logEvents.size()));
}

void MainWindow::showAlarmCounts()
{
    if (m_fullLog.logEvents.isEmpty())
        return;
    if (!m_alarmCounts) {
        // A window of its own that stays beside the graphs.
        m_alarmCounts = new AlarmCountsDialog(this);
        connect(m_alarmCounts, &AlarmCountsDialog::runRequested, this, &MainWindow::centreOnRun);
    }
    refreshAlarmCounts();
    m_alarmCounts->show();
    m_alarmCounts->raise();
    m_alarmCounts->activateWindow();
}

QList<QCustomPlot *> MainWindow::graphPlots() const
{
    return {ui->plotGraphCommands, ui->plotGraphAllarms};
}

// Which log, and which part of it, a sheet of the plots shows.
QString MainWindow::graphsHeader() const
{
    return graphsHeading().mid(0, 3).join(QStringLiteral("  |  "));
}

// The same on paper: the file, the board's firmware line, the runs in
// view with their dates, and when the sheet was made.
QStringList MainWindow::graphsHeading() const
{
    const QCPRange view = ui->plotGraphCommands->xAxis->range();
    const int first = std::max(1, int(std::ceil(view.lower)));
    const int last = std::min(lastCommandRun(), int(std::floor(view.upper)));
    QStringList heading{QFileInfo(m_fullLogPath).fileName()};
    if (!m_fullLog.firmwareLine.isEmpty())
        heading.append(m_fullLog.firmwareLine);
    // The runs in view that the log has: their places and the board's numbers.
    const auto firstEvent =
        std::lower_bound(m_fullLog.logEvents.cbegin(), m_fullLog.logEvents.cend(), first,
                         [](const LogEvent &event, int run) { return event.number < run; });
    auto lastEvent =
        std::upper_bound(m_fullLog.logEvents.cbegin(), m_fullLog.logEvents.cend(), last,
                         [](int run, const LogEvent &event) { return run < event.number; });
    QString runs = tr("runs %1 to %2").arg(first).arg(last);
    if (firstEvent != m_fullLog.logEvents.cend() && lastEvent != m_fullLog.logEvents.cbegin() &&
        firstEvent < lastEvent) {
        --lastEvent;
        runs += QLatin1Char(' ') + tr("(the board's runs %1 to %2)")
                                       .arg(firstEvent->boardNumber)
                                       .arg(lastEvent->boardNumber);
        const QDateTime fromDate = runDate(startDateTime, *firstEvent);
        const QDateTime toDate = runDate(startDateTime, *lastEvent);
        if (fromDate.isValid() && toDate.isValid())
            runs += QStringLiteral(", %1 \u2013 %2")
                        .arg(fromDate.toString(kDayFormat), toDate.toString(kDayFormat));
    }
    heading.append(runs);
    heading.append(tr("Made %1").arg(QDateTime::currentDateTime().toString(kDayFormat)));
    return heading;
}

// The log's name, for the files and print jobs the graphs become.
QString MainWindow::graphsBaseName() const
{
    return QFileInfo(m_fullLogPath).completeBaseName() + QStringLiteral("-graphs");
}

void MainWindow::saveGraphs()
{
    if (m_fullLog.logEvents.isEmpty())
        return;
    QDir folder(ExcelExporter::exportFolder());
    folder.mkpath(QStringLiteral("."));
    const QString suggested = folder.filePath(graphsBaseName() + QStringLiteral(".png"));
    QString path = UserDialogs::instance().chooseSaveFile(
        tr("PNG image (*.png);;PDF document (*.pdf)"), suggested);
    if (path.isEmpty())
        return;
    const bool pdf = path.endsWith(kPdfSuffix, Qt::CaseInsensitive);
    // Whatever else the name ends in, a picture is written.
    if (!pdf && !path.endsWith(kPngSuffix, Qt::CaseInsensitive))
        path += kPngSuffix;
    const bool saved = pdf ? plotexport::savePdf(graphPlots(), graphsHeading(), path)
                           : plotexport::savePng(graphPlots(), graphsHeader(), path);
    if (saved)
        ui->statusBar->showMessage(tr("Graphs saved as %1").arg(QDir::toNativeSeparators(path)));
    else
        UserDialogs::instance().warning(
            tr("Save Graphs"),
            tr("The graphs could not be saved as %1.").arg(QDir::toNativeSeparators(path)));
}

void MainWindow::printGraphs()
{
    if (m_fullLog.logEvents.isEmpty())
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    // The name of the job, and of the file when printed to one: no header
    // line with its bars and colons.
    printer.setDocName(graphsBaseName());
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(tr("Print Graphs"));
    if (UserDialogs::instance().execDialog(dialog) != QDialog::Accepted)
        return;
    if (!plotexport::print(graphPlots(), graphsHeading(), printer))
        UserDialogs::instance().warning(tr("Print Graphs"), tr("The graphs could not be printed."));
}
