// The graphs of a full log: the two linked plots of the main window, each
// handled by its PlotPanel, and the single-run dialog.
#include "frontend/ui/mainwindow.h"

#include "frontend/base/lenguagge.h"
#include "frontend/base/userdialogs.h"
#include "frontend/logs/graphdialog.h"
#include "frontend/logs/lookupdb.h"
#include "frontend/logs/plotgraph.h"
#include "frontend/ui/plotpanel.h"

#include <QFontMetrics>
#include <QVBoxLayout>

#include <QPushButton>

#include <cmath>

namespace {
constexpr int kTopAxisTickCount = 10;
// What a plot's axes, title and margins take, in rows.
constexpr int kAxisRows = 6;

// The code of a row label: its first word.
QString codeOf(const QString &label)
{
    return label.trimmed().section(QLatin1Char(' '), 0, 0);
}

// Shown without waiting: the user steps on through the runs, or opens the
// next description, while it stays open.
void showDescription(const QString &label, const QString &description)
{
    const Lenguagge language;
    UserDialogs::instance().showNonModalMessage(
        UserDialogs::Kind::Information, label.trimmed(), label.trimmed(),
        description + QLatin1Char('.') + QLatin1Char('\n') + language.manualHintText());
}
} // namespace

void MainWindow::setupLogViews()
{
    PlotGraph *commands = ui->plotGraphCommands;
    PlotGraph *allarms = ui->plotGraphAllarms;
    commands->setAxisLabels(tr("Run Number"), tr("Commands / Events"));
    allarms->setAxisLabels(tr("Run Number"), tr("Alarms"));

    m_graphDialog = new GraphDialog(this);
    PlotGraph *single = m_graphDialog->singleEventGraph();
    single->setAxisLabels(QString(), tr("Commands / Events"));

    m_commandsPanel = new PlotPanel(commands, this);
    m_commandsPanel->setPlotter(
        [this](PlotGraph &plot) { plotCommands(plot, m_commandsPanel->rowFilter()); });
    m_allarmsPanel = new PlotPanel(allarms, this);
    m_allarmsPanel->setPlotter(
        [this](PlotGraph &plot) { plotAllarms(plot, m_allarmsPanel->rowFilter()); });
    for (PlotPanel *panel : {m_commandsPanel, m_allarmsPanel})
        connect(panel, &PlotPanel::runChosen, this, &MainWindow::showRun);

    connect(commands, &QWidget::customContextMenuRequested, this,
            &MainWindow::contextMenuRequestCommands);
    connect(allarms, &QWidget::customContextMenuRequested, this,
            &MainWindow::contextMenuRequestAllarms);
    connect(commands, &QCustomPlot::mousePress, this, &MainWindow::mousePressCommands);
    connect(commands, &QCustomPlot::mouseDoubleClick, this, &MainWindow::mousePressCommands);
    connect(allarms, &QCustomPlot::mousePress, this, &MainWindow::mousePressAllarms);
    connect(allarms, &QCustomPlot::mouseDoubleClick, this, &MainWindow::mousePressAllarms);
    connect(commands, &QCustomPlot::mouseWheel, this, &MainWindow::mouseWheelCommands);
    connect(allarms, &QCustomPlot::mouseWheel, this, &MainWindow::mouseWheelAllarms);
    connect(allarms, &QCustomPlot::selectionChangedByUser, this, &MainWindow::graphAllarmsClicked);
    connect(commands, &QCustomPlot::selectionChangedByUser, this,
            &MainWindow::graphCommandsClicked);
    // Double-clicking a row's label on the value axis describes that row.
    connect(commands, &QCustomPlot::axisDoubleClick, this,
            [this, commands](QCPAxis *axis, QCPAxis::SelectablePart part, QMouseEvent *event) {
                if (axis != commands->yAxis || part != QCPAxis::spTickLabels)
                    return;
                m_describeRow = int(std::lround(axis->pixelToCoord(event->position().y())));
                graphCommandsItemClicked();
            });
    // The top axis' dates follow the visible runs on every replot.
    connect(commands, &QCustomPlot::beforeReplot, this, &MainWindow::xAxis2TickRequest);

    connect(m_graphDialog->btnNextGraph(), &QPushButton::clicked, this,
            &MainWindow::singleGraphNext);
    connect(m_graphDialog->btnPrevGraph(), &QPushButton::clicked, this,
            &MainWindow::singleGraphPrev);
    connect(single, &QCustomPlot::plottableDoubleClick, this, &MainWindow::singleGraphToolTip);

    // Both plots scroll and zoom together; each top axis follows its bottom
    // axis. Each follower reads the range as it is when called: a plot keeps
    // its runs within the log while the signal is being delivered, so the
    // range the signal carries may already be out of date. The library
    // ignores a replot requested while one is running, so the mutual replot
    // stops after one round.
    const auto follow = [](QCPAxis *leader, QCPAxis *follower) {
        connect(leader, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), follower,
                [leader, follower] { follower->setRange(leader->range()); });
    };
    for (PlotGraph *plot : {commands, allarms})
        follow(plot->xAxis, plot->xAxis2);
    follow(commands->xAxis, allarms->xAxis);
    follow(allarms->xAxis, commands->xAxis);
    connect(commands, &QCustomPlot::afterReplot, allarms, [allarms] { allarms->replot(); });
    connect(allarms, &QCustomPlot::afterReplot, commands, [commands] { commands->replot(); });
    // A run lines up across the two plots only if both leave the same room
    // for their row labels; the group gives both the wider of the two.
    auto *columns = new QCPMarginGroup(commands);
    commands->axisRect()->setMarginGroup(QCP::msLeft | QCP::msRight, columns);
    allarms->axisRect()->setMarginGroup(QCP::msLeft | QCP::msRight, columns);

    setupTopAxes();
    setupGraphTools();
}

void MainWindow::plotFullLog()
{
    // Another log has other rows: it opens with all of them.
    m_commandsPanel->forgetRowFilter();
    m_allarmsPanel->forgetRowFilter();
    // The page is shared out by rows (2 : 1 as described for the usual
    // few alarm codes), so a log of many alarm codes keeps them legible.
    const int commandRows = int(m_graphRows.commandLabels.size() + m_graphRows.eventLabels.size());
    const int alarmRows = int(m_graphRows.alarmLabels.size());
    // Neither plot gets less than a third.
    const int commandRowsShare = commandRows + kAxisRows;
    const int alarmShare = std::max(alarmRows + kAxisRows, commandRowsShare / 2);
    const int commandShare = std::max(commandRowsShare, alarmShare / 2);
    ui->verticalLayout_5->setStretchFactor(ui->plotGraphCommands, commandShare);
    ui->verticalLayout_5->setStretchFactor(ui->plotGraphAllarms, alarmShare);
    m_commandsPanel->replotAll();
    m_allarmsPanel->replotAll();
}

namespace {
// The rows of one series that the filter shows; row 0, the empty row that
// separates the series, always stays.
void shownRows(const QStringList &labels, const QVector<PlotGraph::RowData> &rows,
               const RowFilter &filter, QStringList *shownLabels,
               QVector<PlotGraph::RowData> *shown)
{
    for (int i = 0; i < labels.size(); ++i) {
        if (i == 0 || filter.shows(labels.at(i))) {
            shownLabels->append(labels.at(i));
            shown->append(rows.value(i));
        }
    }
}
} // namespace

void MainWindow::plotCommands(PlotGraph &plot, const RowFilter &filter) const
{
    const GraphRows &g = m_graphRows;
    QStringList commandLabels, eventLabels;
    QVector<PlotGraph::RowData> commandRows, eventRows;
    shownRows(g.commandLabels, g.commandRows, filter, &commandLabels, &commandRows);
    shownRows(g.eventLabels, g.eventRows, filter, &eventLabels, &eventRows);
    plot.plotRows(commandLabels, commandRows, g.keyMax, PlotGraph::commandStyle());
    plot.plotRows(eventLabels, eventRows, g.keyMax, PlotGraph::eventStyle());
}

void MainWindow::plotAllarms(PlotGraph &plot, const RowFilter &filter) const
{
    const GraphRows &g = m_graphRows;
    QStringList labels;
    QVector<PlotGraph::RowData> rows;
    shownRows(g.alarmLabels, g.alarmRows, filter, &labels, &rows);
    plot.plotRows(labels, rows, g.keyMax, PlotGraph::alarmStyle());
}

int MainWindow::lastCommandRun() const
{
    return m_graphRows.keyMax - 1;
}

PlotPoint *MainWindow::commandsPlotMarker() const
{
    return m_commandsPanel->marker();
}

PlotPoint *MainWindow::alarmsPlotMarker() const
{
    return m_allarmsPanel->marker();
}

bool MainWindow::commandsTimeAxisShown() const
{
    return m_commandsPanel->timeShown();
}

bool MainWindow::alarmsTimeAxisShown() const
{
    return m_allarmsPanel->timeShown();
}

void MainWindow::contextMenuRequestCommands(QPoint pos)
{
    m_commandsPanel->showContextMenu(pos);
}

void MainWindow::contextMenuRequestAllarms(QPoint pos)
{
    m_allarmsPanel->showContextMenu(pos);
}

void MainWindow::replotGraphCommands()
{
    m_commandsPanel->replotAll();
}

void MainWindow::replotGraphAllarms()
{
    m_allarmsPanel->replotAll();
}

void MainWindow::removeSelectedCommandsGraph()
{
    m_commandsPanel->removeSelectedGraphs();
}

void MainWindow::removeSelectedAllarmsGraph()
{
    m_allarmsPanel->removeSelectedGraphs();
}

void MainWindow::enableTimeCommands()
{
    m_commandsPanel->enableTime();
}

void MainWindow::disableTimeCommands()
{
    m_commandsPanel->disableTime();
}

void MainWindow::enableTimeAllarms()
{
    m_allarmsPanel->enableTime();
}

void MainWindow::disableTimeAllarms()
{
    m_allarmsPanel->disableTime();
}

void MainWindow::mousePressCommands(QMouseEvent *event)
{
    m_commandsPanel->mousePress(event);
}

void MainWindow::mousePressAllarms(QMouseEvent *event)
{
    m_allarmsPanel->mousePress(event);
}

void MainWindow::mouseWheelCommands(QWheelEvent *event)
{
    m_commandsPanel->mouseWheel(event);
}

void MainWindow::mouseWheelAllarms(QWheelEvent *event)
{
    m_allarmsPanel->mouseWheel(event);
}

void MainWindow::graphAllarmsClicked()
{
    m_allarmsPanel->colourSelection();
}

void MainWindow::graphCommandsClicked()
{
    m_commandsPanel->colourSelection();
}

// A run picked on either plot opens the dialog on it, modally.
void MainWindow::showRun(int run)
{
    currentRun = run;
    if (currentRun > 1) {
        m_graphDialog->btnPrevGraph()->setEnabled(true);
        m_graphDialog->btnNextGraph()->setEnabled(currentRun < lastCommandRun());
    } else {
        m_graphDialog->btnPrevGraph()->setEnabled(false);
        m_graphDialog->btnNextGraph()->setEnabled(true);
    }
    plotSingleGraph(currentRun);
    UserDialogs::instance().execDialog(*m_graphDialog);
}

void MainWindow::graphCommandsItemClicked()
{
    // The plot knows its rows, also when some are filtered out: the short
    // command texts, an empty row, then the event texts (see plotCommands()).
    const int row = m_describeRow;
    m_describeRow = -1;
    const QString label = ui->plotGraphCommands->valueLabels().value(row);
    if (row <= 0 || label.isEmpty())
        return;
    showDescription(label, commandEventDescription(codeOf(label), Lenguagge().languageCode()));
}

void MainWindow::xAxis2TickRequest()
{
    QCPAxis *top = ui->plotGraphCommands->xAxis2;
    const QVector<double> ticks =
        runTickPositions(top->range().lower, top->range().upper, kTopAxisTickCount);
    QStringList labels;
    labels.reserve(ticks.size());
    for (double tick : ticks) {
        const LogEvent *event = m_fullLog.eventOfRun(int(tick));
        const QDateTime date = event ? runDate(startDateTime, *event) : QDateTime();
        labels.append(date.toString(QStringLiteral("d/M hh:mm")));
    }
    ui->plotGraphCommands->setTopAxisTicks(ticks, labels);
}

// The alarms plot dates each alarm's run on its top axis; when they stand
// closer than a label is high (the labels are turned upright), only every
// so many are labelled.
void MainWindow::setupTopAxes()
{
    PlotGraph *alarms = ui->plotGraphAllarms;
    connect(alarms, &QCustomPlot::beforeReplot, this, [this, alarms] {
        QCPAxis *top = alarms->xAxis2;
        if (!top->visible())
            return;
        const QCPRange range = top->range();
        const QVector<int> runs = runsInRange(m_graphRows.alarmRows, range.lower, range.upper);
        const double pixels = std::max(1, alarms->axisRect()->width());
        const int labelPx = QFontMetrics(top->tickLabelFont()).height();
        const double runPx = pixels / std::max(1.0, range.size());
        QVector<double> ticks;
        QStringList labels;
        double lastPx = -1e9;
        for (int run : runs) {
            const double at = (run - range.lower) * runPx;
            if (at - lastPx < labelPx)
                continue;
            lastPx = at;
            const LogEvent *event = m_fullLog.eventOfRun(run);
            const QDateTime date = event ? runDate(startDateTime, *event) : QDateTime();
            ticks.append(run);
            labels.append(date.toString(QStringLiteral("d/M hh:mm")));
        }
        alarms->setTopAxisTicks(ticks, labels);
    });
}

void MainWindow::plotSingleGraph(int number_graph)
{
    singleCommandLabels = QStringList{QString()};
    singleEventLabels = QStringList{QString()};
    singleAlarmLabels = QStringList{QString()};
    QVector<double> commandKeys, commandRows, eventKeys, eventRows, alarmKeys, alarmRows;
    QStringList tickLabels;
    int p = 1;

    const auto addPoint = [&](QStringList &labels, QVector<double> &keys, QVector<double> &rows,
                              const QString &text) {
        int index = int(labels.indexOf(text));
        if (index < 0) {
            labels.append(text);
            index = int(labels.size()) - 1;
        }
        keys.append(p++);
        rows.append(index);
        tickLabels.append(QStringLiteral(" "));
    };

    // The run's lines as the graphs read them, in the order they came.
    if (number_graph >= 0 && number_graph < m_fullLog.blocks.size()) {
        const LogBlockInfo &block = m_fullLog.blocks.at(number_graph);
        for (int i = block.firstItem; i < block.itemEnd; ++i) {
            const LogItem &item = m_fullLog.items.at(i);
            if (!item.inGraphs())
                continue;
            const QString &text = m_fullLog.textsOf(item.kind()).at(int(item.text));
            switch (item.kind()) {
            case LogItem::Kind::Command:
                addPoint(singleCommandLabels, commandKeys, commandRows, text);
                break;
            case LogItem::Kind::Event:
                addPoint(singleEventLabels, eventKeys, eventRows, text);
                break;
            case LogItem::Kind::Alarm:
                addPoint(singleAlarmLabels, alarmKeys, alarmRows, text);
                break;
            }
        }
    }
    const LogEvent *event = m_fullLog.eventOfRun(number_graph);
    const QDateTime date = event ? runDate(startDateTime, *event) : QDateTime();

    PlotGraph *plot = m_graphDialog->singleEventGraph();
    plot->resetSeries();
    plot->clearGraphs();

    QString title;
    if (!commandKeys.isEmpty())
        title = tr("Commands");
    if (!eventKeys.isEmpty())
        title += QStringLiteral(" / ") + tr("Events");
    if (!alarmKeys.isEmpty())
        title += QStringLiteral(" / ") + tr("Alarms");
    plot->setAxisLabels(QString(), title);
    // Day and month names in the language of the installed translation.
    const QLocale locale = Lenguagge().locale();
    QString heading = tr("Graph event %1 (%2)")
                          .arg(number_graph)
                          .arg(locale.toString(date, QStringLiteral("ddd d MMM yy hh:mm")));
    // The board counts its runs its own way: the number in the file, the
    // short log and the spreadsheet.
    if (event)
        heading += QStringLiteral(" \u2013 ") + tr("board run %1").arg(event->boardNumber);
    plot->setTitleText(heading);

    const int keyMax = p + 1;
    plot->plotSeries(singleCommandLabels, commandKeys, commandRows, commandKeys, tickLabels, keyMax,
                     PlotGraph::commandStyle());
    if (!eventKeys.isEmpty())
        plot->plotSeries(singleEventLabels, eventKeys, eventRows, commandKeys, tickLabels, keyMax,
                         PlotGraph::eventStyle());
    if (!alarmKeys.isEmpty())
        plot->plotSeries(singleAlarmLabels, alarmKeys, alarmRows, commandKeys, tickLabels, keyMax,
                         PlotGraph::alarmStyle());
}

void MainWindow::singleGraphNext()
{
    const int last = lastCommandRun();
    if (currentRun < last) {
        ++currentRun;
        m_graphDialog->btnNextGraph()->setEnabled(currentRun != last);
        m_graphDialog->btnPrevGraph()->setEnabled(true);
        plotSingleGraph(currentRun);
    } else {
        m_graphDialog->btnNextGraph()->setEnabled(false);
    }
}

void MainWindow::singleGraphPrev()
{
    if (currentRun < 2) {
        m_graphDialog->btnPrevGraph()->setEnabled(false);
        return;
    }
    --currentRun;
    m_graphDialog->btnPrevGraph()->setEnabled(currentRun != 1);
    m_graphDialog->btnNextGraph()->setEnabled(true);
    plotSingleGraph(currentRun);
}

void MainWindow::singleGraphToolTip()
{
    PlotGraph *plot = m_graphDialog->singleEventGraph();
    coupleAxisSelection(*plot);
    const int a = int(singleCommandLabels.size());
    const int b = int(singleEventLabels.size());
    const QString language = Lenguagge().languageCode();
    for (int u = 0; u < plot->graphCount(); ++u) {
        if (!plot->graph(u)->selected())
            continue;
        if (u + 1 < a) {
            const QString &label = singleCommandLabels.at(u + 1);
            showDescription(label, commandEventDescription(codeOf(label), language));
        } else if (u - a + 2 < b) {
            const QString &label = singleEventLabels.at(u - a + 2);
            showDescription(label, commandEventDescription(codeOf(label), language));
        } else if (u - a - b + 3 < singleAlarmLabels.size()) {
            const QString &label = singleAlarmLabels.at(u - a - b + 3);
            showDescription(label, alarmDescription(codeOf(label), language));
        }
    }
}
