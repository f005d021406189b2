// The graphs of a full log: the two linked plots of the main window and the
// single-run dialog.
#include "frontend/ui/mainwindow.h"

#include "frontend/core/lenguagge.h"
#include "frontend/core/userdialogs.h"
#include "frontend/logs/graphdialog.h"
#include "frontend/logs/lookupdb.h"
#include "frontend/logs/plotgraph.h"
#include "frontend/logs/plotpoint.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QWheelEvent>

#include <cmath>

namespace {
constexpr int kMarkerRadiusPx = 5;
constexpr int kTopAxisTickCount = 10;
constexpr double kTimeLabelRotation = -90;

// Selecting an axis selects its line and labels together with those of the
// opposite axis, so both read as one selection.
void coupleAxisSelection(QCustomPlot *plot)
{
    const auto partlySelected = [](const QCPAxis *axis) {
        return axis->selectedParts().testFlag(QCPAxis::spAxis) ||
               axis->selectedParts().testFlag(QCPAxis::spTickLabels);
    };
    const QCPAxis::SelectableParts both = QCPAxis::spAxis | QCPAxis::spTickLabels;
    if (partlySelected(plot->xAxis) || partlySelected(plot->xAxis2)) {
        plot->xAxis->setSelectedParts(both);
        plot->xAxis2->setSelectedParts(both);
    }
    if (partlySelected(plot->yAxis) || partlySelected(plot->yAxis2)) {
        plot->yAxis->setSelectedParts(both);
        plot->yAxis2->setSelectedParts(both);
    }
}

// Selected graphs stand out in blue with a line down to the key axis.
void colourSelection(QCustomPlot *plot)
{
    coupleAxisSelection(plot);
    for (int i = 0; i < plot->graphCount(); ++i) {
        QCPGraph *graph = plot->graph(i);
        QCPScatterStyle style = graph->scatterStyle();
        const bool selected = graph->selected();
        style.setPen(QPen(selected ? Qt::blue : Qt::red, 2));
        graph->setScatterStyle(style);
        graph->setLineStyle(selected ? QCPGraph::lsImpulse : QCPGraph::lsNone);
    }
    plot->replot();
}

void removeSelectedGraphs(QCustomPlot *plot)
{
    const QList<QCPGraph *> selected = plot->selectedGraphs();
    for (QCPGraph *graph : selected)
        plot->removeGraph(graph);
    plot->replot();
}

// The code of a row label: its first word.
QString codeOf(const QString &label)
{
    return label.trimmed().section(QLatin1Char(' '), 0, 0);
}

void showDescription(const QString &label, const QString &description)
{
    const Lenguagge language;
    UserDialogs::instance().showMessage(UserDialogs::Kind::Information, label.trimmed(),
                                        label.trimmed() + QLatin1Char('\n') + description +
                                            QLatin1Char('.') + QLatin1Char('\n') +
                                            language.manualHintText());
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

    commandsMarker = new PlotPoint(commands, kMarkerRadiusPx);
    commandsMarker->setVisible(false);
    alarmsMarker = new PlotPoint(allarms, kMarkerRadiusPx);
    alarmsMarker->setVisible(false);

    for (PlotGraph *plot : {commands, allarms})
        plot->setContextMenuPolicy(Qt::CustomContextMenu);
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
    // axis. The library ignores a replot requested while one is running, so
    // the mutual replot stops after one round.
    for (PlotGraph *plot : {commands, allarms}) {
        connect(plot->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), plot->xAxis2,
                qOverload<const QCPRange &>(&QCPAxis::setRange));
    }
    connect(commands->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), allarms->xAxis,
            qOverload<const QCPRange &>(&QCPAxis::setRange));
    connect(allarms->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), commands->xAxis,
            qOverload<const QCPRange &>(&QCPAxis::setRange));
    connect(commands, &QCustomPlot::afterReplot, allarms, [allarms] { allarms->replot(); });
    connect(allarms, &QCustomPlot::afterReplot, commands, [commands] { commands->replot(); });
}

void MainWindow::plotFullLog()
{
    plotCommands();
    plotAllarms();
}

void MainWindow::plotCommands()
{
    PlotGraph *plot = ui->plotGraphCommands;
    commandsMarker->setVisible(false);
    plot->resetSeries();
    plot->clearGraphs();
    const int keyMax = m_series.keyMax();
    plot->plotSeries(m_series.commandShortLabels, m_series.commandX, m_series.commandShortY,
                     m_series.timeX, m_series.timeLabels, keyMax, PlotGraph::commandStyle());
    plot->plotSeries(m_series.eventLabels, m_series.eventX, m_series.eventY, m_series.timeX,
                     m_series.timeLabels, keyMax, PlotGraph::eventStyle());
}

void MainWindow::plotAllarms()
{
    PlotGraph *plot = ui->plotGraphAllarms;
    alarmsMarker->setVisible(false);
    plot->resetSeries();
    plot->clearGraphs();
    plot->plotSeries(m_series.alarmLabels, m_series.alarmX, m_series.alarmY, m_series.alarmX,
                     m_series.alarmTimeLabels, m_series.keyMax(), PlotGraph::alarmStyle());
}

int MainWindow::lastCommandRun() const
{
    const QVector<double> &runs = m_series.commandX;
    return runs.isEmpty() ? 0 : int(*std::max_element(runs.cbegin(), runs.cend()));
}

void MainWindow::showContextMenu(PlotGraph *plot, QPoint pos, bool timeShown)
{
    const bool commands = plot == ui->plotGraphCommands;
    auto *menu = new QMenu(plot);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(tr("Replot all graph"), this,
                    commands ? &MainWindow::replotGraphCommands : &MainWindow::replotGraphAllarms);
    if (!plot->selectedGraphs().isEmpty()) {
        menu->addAction(tr("Remove selected graph"), this,
                        commands ? &MainWindow::removeSelectedCommandsGraph
                                 : &MainWindow::removeSelectedAllarmsGraph);
    }
    QAction *enable = menu->addAction(tr("Enable Time"), this,
                                      commands ? &MainWindow::enableTimeCommands
                                               : &MainWindow::enableTimeAllarms);
    enable->setEnabled(!timeShown);
    QAction *disable = menu->addAction(tr("Disable Time"), this,
                                       commands ? &MainWindow::disableTimeCommands
                                                : &MainWindow::disableTimeAllarms);
    disable->setEnabled(timeShown);
    menu->popup(plot->mapToGlobal(pos));
}

void MainWindow::contextMenuRequestCommands(QPoint pos)
{
    showContextMenu(ui->plotGraphCommands, pos, commandsTimeShown);
}

void MainWindow::contextMenuRequestAllarms(QPoint pos)
{
    showContextMenu(ui->plotGraphAllarms, pos, alarmsTimeShown);
}

void MainWindow::replotGraphCommands()
{
    plotCommands();
}

void MainWindow::replotGraphAllarms()
{
    plotAllarms();
}

void MainWindow::removeSelectedCommandsGraph()
{
    removeSelectedGraphs(ui->plotGraphCommands);
}

void MainWindow::removeSelectedAllarmsGraph()
{
    removeSelectedGraphs(ui->plotGraphAllarms);
}

void MainWindow::showTimeAxis(PlotGraph *plot, bool shown)
{
    plot->xAxis2->setVisible(shown);
    if (shown)
        plot->xAxis2->setTickLabelRotation(kTimeLabelRotation);
    plot->replot();
}

void MainWindow::enableTimeCommands()
{
    showTimeAxis(ui->plotGraphCommands, true);
    commandsTimeShown = true;
}

void MainWindow::disableTimeCommands()
{
    showTimeAxis(ui->plotGraphCommands, false);
    commandsTimeShown = false;
}

void MainWindow::enableTimeAllarms()
{
    showTimeAxis(ui->plotGraphAllarms, true);
    alarmsTimeShown = true;
}

void MainWindow::disableTimeAllarms()
{
    showTimeAxis(ui->plotGraphAllarms, false);
    alarmsTimeShown = false;
}

void MainWindow::restrictToSelectedAxis(PlotGraph *plot, bool wheel)
{
    Qt::Orientations orientation;
    if (plot->xAxis->selectedParts().testFlag(QCPAxis::spAxis))
        orientation = plot->xAxis->orientation();
    else if (plot->yAxis->selectedParts().testFlag(QCPAxis::spAxis))
        orientation = plot->yAxis->orientation();
    else
        return;
    if (wheel)
        plot->axisRect()->setRangeZoom(orientation);
    else
        plot->axisRect()->setRangeDrag(orientation);
}

void MainWindow::openRunAt(PlotGraph *plot, PlotPoint *marker, QMouseEvent *event)
{
    auto *graph = qobject_cast<QCPGraph *>(plot->plottableAt(event->position(), false));
    if (!graph || graph->data()->isEmpty())
        return;
    const double key = plot->xAxis->pixelToCoord(event->position().x());
    auto best = graph->data()->constBegin();
    for (auto it = best; it != graph->data()->constEnd(); ++it) {
        if (std::abs(it->key - key) < std::abs(best->key - key))
            best = it;
    }
    marker->setVisible(true);
    marker->move(best->key, best->value, true);
    currentRun = int(best->key);
    if (currentRun > 1) {
        m_graphDialog->btnPrevGraph()->setEnabled(true);
        m_graphDialog->btnNextGraph()->setEnabled(currentRun < lastCommandRun());
    } else {
        m_graphDialog->btnPrevGraph()->setEnabled(false);
        m_graphDialog->btnNextGraph()->setEnabled(true);
    }
    plotSingleGraph(currentRun);
    UserDialogs::instance().execDialog(*m_graphDialog);
    marker->setVisible(false);
    plot->replot();
}

void MainWindow::mousePressCommands(QMouseEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick)
        openRunAt(ui->plotGraphCommands, commandsMarker, event);
    else
        restrictToSelectedAxis(ui->plotGraphCommands, false);
}

void MainWindow::mousePressAllarms(QMouseEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick)
        openRunAt(ui->plotGraphAllarms, alarmsMarker, event);
    else
        restrictToSelectedAxis(ui->plotGraphAllarms, false);
}

void MainWindow::mouseWheelCommands(QWheelEvent *event)
{
    Q_UNUSED(event);
    restrictToSelectedAxis(ui->plotGraphCommands, true);
}

void MainWindow::mouseWheelAllarms(QWheelEvent *event)
{
    Q_UNUSED(event);
    restrictToSelectedAxis(ui->plotGraphAllarms, true);
}

void MainWindow::graphAllarmsClicked()
{
    colourSelection(ui->plotGraphAllarms);
}

void MainWindow::graphCommandsClicked()
{
    colourSelection(ui->plotGraphCommands);
}

void MainWindow::graphCommandsItemClicked()
{
    // Rows of the commands plot: the short command texts, an empty row, then
    // the event texts (see plotCommands()).
    const int row = m_describeRow;
    m_describeRow = -1;
    const int commandRows = int(m_series.commandShortLabels.size());
    QString label;
    if (row > 0 && row < commandRows)
        label = m_series.commandShortLabels.at(row);
    else if (row > commandRows && row - commandRows < m_series.eventLabels.size())
        label = m_series.eventLabels.at(row - commandRows);
    if (label.isEmpty())
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
    for (double tick : ticks)
        labels.append(m_series.timeLabelAt(int(tick)));
    ui->plotGraphCommands->setTopAxisTicks(ticks, labels);
}

void MainWindow::plotSingleGraph(int number_graph)
{
    singleCommandLabels = QStringList{QString()};
    singleEventLabels = QStringList{QString()};
    singleAlarmLabels = QStringList{QString()};
    QVector<double> commandKeys, commandRows, eventKeys, eventRows, alarmKeys, alarmRows;
    QStringList tickLabels;
    QDateTime date;
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

    if (number_graph >= 0 && number_graph < m_fullLog.logBlocks.size()) {
        const LogBlock block = m_fullLog.logBlocks.at(number_graph);
        const QStringList &records = m_fullLog.logRecords;
        const int last = std::min<int>(block.second, records.size() - 1);
        for (int n = std::max(block.first, 0); n <= last; ++n) {
            const QString &line = records.at(n);
            if (line.contains(QLatin1String("EVENT NUMBER")))
                continue;
            if (line.contains(QLatin1String("CMD")))
                addPoint(singleCommandLabels, commandKeys, commandRows,
                         fulllogline::commandText(line));
            else if (line.contains(QLatin1String("EVENT")))
                addPoint(singleEventLabels, eventKeys, eventRows, fulllogline::eventText(line));
            else if (line.contains(QLatin1String("ALARM")))
                addPoint(singleAlarmLabels, alarmKeys, alarmRows, fulllogline::alarmText(line));
            else if (line.contains(QLatin1String("TIME")))
                date = runDate(startDateTime,
                               qint64(fulllogline::timeValue(line)) - m_fullLog.firstTime);
        }
    }

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
    plot->setTitleText(tr("Graph event %1 (%2)")
                           .arg(number_graph)
                           .arg(date.toString(QStringLiteral("ddd d MMM yy hh:mm"))));

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
    coupleAxisSelection(plot);
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
