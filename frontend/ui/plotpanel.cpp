#include "frontend/ui/plotpanel.h"

#include "frontend/logs/plotgraph.h"
#include "frontend/logs/plotpoint.h"

#include <QMenu>
#include <QMouseEvent>
#include <QToolTip>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {
constexpr double kTimeLabelRotation = -90;
constexpr double kRunLineWidth = 1.5;
const QColor kRunLineColour(0, 90, 200);
} // namespace

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

    m_runLine = new QCPItemStraightLine(plot);
    m_runLine->setPen(QPen(kRunLineColour, kRunLineWidth, Qt::DashLine));
    m_runLine->setSelectable(false);
    m_runLine->setVisible(false);
    for (QCPItemPosition *end : {m_runLine->point1, m_runLine->point2})
        end->setAxes(plot->xAxis, plot->yAxis);
    // The caption hangs at the top of the line, whatever rows are in view.
    m_runCaption = new QCPItemText(plot);
    m_runCaption->setSelectable(false);
    m_runCaption->setVisible(false);
    m_runCaption->setColor(kRunLineColour);
    m_runCaption->setPadding(QMargins(4, 2, 4, 2));
    m_runCaption->setBrush(QBrush(QColor(255, 255, 255, 220)));
    m_runCaption->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_runCaption->position->setTypeX(QCPItemPosition::ptPlotCoords);
    m_runCaption->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
    m_runCaption->position->setAxes(plot->xAxis, plot->yAxis);
    m_runCaption->position->setAxisRect(plot->axisRect());

    // The tooltip follows the pointer; nothing else listens to these moves.
    connect(m_plot, &QCustomPlot::mouseMove, this, &PlotPanel::showHoverText);
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
    menu->addSeparator();
    QAction *fit = menu->addAction(tr("Fit all"), this, &PlotPanel::fitAll);
    fit->setEnabled(m_plot->hasKeyLimits());
    if (m_rowFilter.active)
        menu->addAction(tr("Show all rows"), this, &PlotPanel::showAllRows);
    if (!m_menuActions.isEmpty()) {
        menu->addSeparator();
        menu->addActions(m_menuActions);
    }
    menu->popup(m_plot->mapToGlobal(pos));
}

void PlotPanel::replotAll()
{
    m_marker->setVisible(false);
    m_runLine->setVisible(false);
    m_runCaption->setVisible(false);
    m_plot->resetSeries();
    m_plot->clearGraphs();
    if (m_plotter)
        m_plotter(*m_plot);
}

void PlotPanel::setRowFilter(const RowFilter &filter)
{
    m_rowFilter = filter;
    const QCPRange inView = m_plot->xAxis->range();
    const bool lineShown = m_runLine->visible();
    const bool captionShown = m_runCaption->visible();
    replotAll();
    m_runLine->setVisible(lineShown);
    m_runCaption->setVisible(captionShown);
    m_plot->xAxis->setRange(inView);
    m_plot->replot();
}

void PlotPanel::showAllRows()
{
    setRowFilter(RowFilter());
}

void PlotPanel::fitAll()
{
    if (!m_plot->hasKeyLimits())
        return;
    m_plot->xAxis->setRange(m_plot->keyLimits());
    m_plot->replot();
}

void PlotPanel::centreOn(int run, const QString &caption)
{
    const double half = m_plot->xAxis->range().size() / 2;
    m_plot->xAxis->setRange(run - half, run + half);
    m_runLine->point1->setCoords(run, 0);
    m_runLine->point2->setCoords(run, 1);
    m_runLine->setVisible(true);
    m_runCaption->position->setCoords(run, 0);
    m_runCaption->setText(caption);
    m_runCaption->setVisible(!caption.isEmpty());
    m_plot->replot();
}

QString PlotPanel::runCaption() const
{
    return m_runCaption->visible() ? m_runCaption->text() : QString();
}

bool PlotPanel::runLineShown() const
{
    return m_runLine->visible();
}

double PlotPanel::runLineAt() const
{
    return m_runLine->point1->coords().x();
}

std::optional<PlotHit> PlotPanel::pointAt(const QPointF &pixel) const
{
    const QCPAxis *keys = m_plot->xAxis;
    const QCPAxis *rows = m_plot->yAxis;
    if (!m_plot->axisRect()->rect().contains(pixel.toPoint()))
        return std::nullopt;
    const int row = int(std::lround(rows->pixelToCoord(pixel.y())));
    if (std::abs(rows->coordToPixel(row) - pixel.y()) > kHoverReachPx)
        return std::nullopt;
    const double key = keys->pixelToCoord(pixel.x());
    const double reach = std::abs(keys->pixelToCoord(pixel.x() + kHoverReachPx) - key);
    const auto keyBelow = [](const QCPGraphData &point, double k) { return point.key < k; };
    std::optional<PlotHit> best;
    double bestDistance = reach;
    // The graphs of a row hold one value each; a removed graph shows nothing.
    for (int i = 0; i < m_plot->graphCount(); ++i) {
        const QCPGraph *graph = m_plot->graph(i);
        const auto data = graph->data();
        if (!graph->visible() || data->isEmpty() || data->constBegin()->value != row)
            continue;
        for (auto it =
                 std::lower_bound(data->constBegin(), data->constEnd(), key - reach, keyBelow);
             it != data->constEnd() && it->key <= key + reach; ++it) {
            const double distance = std::abs(it->key - key);
            if (distance <= bestDistance) {
                bestDistance = distance;
                best = PlotHit{int(it->key), row, m_plot->valueLabels().value(row)};
            }
        }
    }
    return best;
}

void PlotPanel::showHoverText(QMouseEvent *event)
{
    if (!m_hoverText || event->buttons() != Qt::NoButton)
        return;
    const std::optional<PlotHit> hit = pointAt(event->position());
    const QString text = hit ? m_hoverText(*hit) : QString();
    if (text.isEmpty()) {
        QToolTip::hideText();
        return;
    }
    const QPoint at = event->position().toPoint();
    QToolTip::showText(m_plot->mapToGlobal(at), text, m_plot,
                       QRect(at - QPoint(kHoverReachPx, kHoverReachPx),
                             QSize(2 * kHoverReachPx, 2 * kHoverReachPx)));
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
