#include "frontend/ui/plotpanel.h"

#include "frontend/logs/plotgraph.h"
#include "frontend/logs/plotpoint.h"

#include <QMenu>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

namespace {
constexpr double kTimeLabelRotation = -90;
}

void coupleAxisSelection(QCustomPlot &plot)
{
    const auto partlySelected = [](const QCPAxis *axis) {
        return axis->selectedParts().testFlag(QCPAxis::spAxis) ||
               axis->selectedParts().testFlag(QCPAxis::spTickLabels);
    };
    const QCPAxis::SelectableParts both = QCPAxis::spAxis | QCPAxis::spTickLabels;
    if (partlySelected(plot.xAxis) || partlySelected(plot.xAxis2)) {
        plot.xAxis->setSelectedParts(both);
        plot.xAxis2->setSelectedParts(both);
    }
    if (partlySelected(plot.yAxis) || partlySelected(plot.yAxis2)) {
        plot.yAxis->setSelectedParts(both);
        plot.yAxis2->setSelectedParts(both);
    }
}

PlotPanel::PlotPanel(PlotGraph *plot, QObject *parent)
    : QObject(parent)
    , m_plot(plot)
    , m_marker(new PlotPoint(plot, kMarkerRadiusPx))
{
    m_marker->setVisible(false);
    m_plot->setContextMenuPolicy(Qt::CustomContextMenu);
}

void PlotPanel::showContextMenu(QPoint pos)
{
    auto *menu = new QMenu(m_plot);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addAction(tr("Replot all graph"), this, &PlotPanel::replotAll);
    if (!m_plot->selectedGraphs().isEmpty())
        menu->addAction(tr("Remove selected graph"), this, &PlotPanel::removeSelectedGraphs);
    QAction *enable = menu->addAction(tr("Enable Time"), this, &PlotPanel::enableTime);
    enable->setEnabled(!m_timeShown);
    QAction *disable = menu->addAction(tr("Disable Time"), this, &PlotPanel::disableTime);
    disable->setEnabled(m_timeShown);
    menu->popup(m_plot->mapToGlobal(pos));
}

void PlotPanel::replotAll()
{
    m_marker->setVisible(false);
    m_plot->resetSeries();
    m_plot->clearGraphs();
    if (m_plotter)
        m_plotter(*m_plot);
}

void PlotPanel::removeSelectedGraphs()
{
    const QList<QCPGraph *> selected = m_plot->selectedGraphs();
    for (QCPGraph *graph : selected)
        m_plot->removeGraph(graph);
    m_plot->replot();
}

void PlotPanel::showTimeAxis(bool shown)
{
    m_plot->xAxis2->setVisible(shown);
    if (shown)
        m_plot->xAxis2->setTickLabelRotation(kTimeLabelRotation);
    m_plot->replot();
    m_timeShown = shown;
}

void PlotPanel::enableTime()
{
    showTimeAxis(true);
}

void PlotPanel::disableTime()
{
    showTimeAxis(false);
}

void PlotPanel::restrictToSelectedAxis(bool zoom)
{
    Qt::Orientations orientation;
    if (m_plot->xAxis->selectedParts().testFlag(QCPAxis::spAxis))
        orientation = m_plot->xAxis->orientation();
    else if (m_plot->yAxis->selectedParts().testFlag(QCPAxis::spAxis))
        orientation = m_plot->yAxis->orientation();
    else
        return;
    if (zoom)
        m_plot->axisRect()->setRangeZoom(orientation);
    else
        m_plot->axisRect()->setRangeDrag(orientation);
}

void PlotPanel::mousePress(QMouseEvent *event)
{
    if (event->type() == QEvent::MouseButtonDblClick)
        pickRunAt(event);
    else
        restrictToSelectedAxis(false);
}

void PlotPanel::mouseWheel(QWheelEvent *event)
{
    Q_UNUSED(event);
    restrictToSelectedAxis(true);
}

void PlotPanel::pickRunAt(QMouseEvent *event)
{
    auto *graph = qobject_cast<QCPGraph *>(m_plot->plottableAt(event->position(), false));
    if (!graph || graph->data()->isEmpty())
        return;
    const double key = m_plot->xAxis->pixelToCoord(event->position().x());
    auto best = graph->data()->constBegin();
    for (auto it = best; it != graph->data()->constEnd(); ++it) {
        if (std::abs(it->key - key) < std::abs(best->key - key))
            best = it;
    }
    m_marker->setVisible(true);
    m_marker->move(best->key, best->value, true);
    emit runChosen(int(best->key));
    m_marker->setVisible(false);
    m_plot->replot();
}

void PlotPanel::colourSelection()
{
    coupleAxisSelection(*m_plot);
    for (int i = 0; i < m_plot->graphCount(); ++i) {
        QCPGraph *graph = m_plot->graph(i);
        QCPScatterStyle style = graph->scatterStyle();
        const bool selected = graph->selected();
        style.setPen(QPen(selected ? Qt::blue : Qt::red, 2));
        graph->setScatterStyle(style);
        graph->setLineStyle(selected ? QCPGraph::lsImpulse : QCPGraph::lsNone);
    }
    m_plot->replot();
}
