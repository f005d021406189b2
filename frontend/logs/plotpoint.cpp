#include "frontend/logs/plotpoint.h"

#include <QApplication>

#include <cmath>

PlotPoint::PlotPoint(QCustomPlot *plot, int radiusPx)
    : QCPItemEllipse(plot)
    , m_tracer(new QCPItemTracer(plot))
{
    m_tracer->setStyle(QCPItemTracer::tsNone);
    m_tracer->setSelectable(false);
    m_tracer->position->setType(QCPItemPosition::ptPlotCoords);
    m_tracer->position->setAxes(plot->xAxis, plot->yAxis);

    topLeft->setParentAnchor(m_tracer->position);
    bottomRight->setParentAnchor(m_tracer->position);
    topLeft->setCoords(-radiusPx, -radiusPx);
    bottomRight->setCoords(radiusPx, radiusPx);

    setPen(QPen(Qt::blue, 5));
    setSelectedPen(QPen(Qt::black, 3));
    setBrush(QBrush(Qt::yellow));
    setSelectable(true);

    m_moveTimer.setInterval(kMoveIntervalMs);
    connect(&m_moveTimer, &QTimer::timeout, this, &PlotPoint::moveToWantedPos);
}

void PlotPoint::startMoving(const QPointF &grabPx)
{
    m_grabOffset = QPointF(parentPlot()->xAxis->coordToPixel(m_pos.x()),
                           parentPlot()->yAxis->coordToPixel(m_pos.y())) -
                   grabPx;
    connect(parentPlot(), &QCustomPlot::mouseMove, this, &PlotPoint::onMouseMove,
            Qt::UniqueConnection);
    connect(parentPlot(), &QCustomPlot::mouseRelease, this, &PlotPoint::stopMoving,
            Qt::UniqueConnection);
    // Guides through the start point show the axis a Shift-drag keeps to.
    m_anchor = m_pos;
    QCustomPlot *plot = parentPlot();
    auto *horizontal = new QCPItemStraightLine(plot);
    horizontal->point1->setCoords(m_anchor.x(), m_anchor.y());
    horizontal->point2->setCoords(m_anchor.x() + 1, m_anchor.y());
    auto *vertical = new QCPItemStraightLine(plot);
    vertical->point1->setCoords(m_anchor.x(), m_anchor.y());
    vertical->point2->setCoords(m_anchor.x(), m_anchor.y() + 1);
    for (QCPItemStraightLine *guide : {horizontal, vertical}) {
        guide->setPen(QPen(Qt::gray, 1, Qt::DashLine));
        guide->setSelectable(false);
        guide->setVisible(m_shift);
        m_guides.append(guide);
    }
    m_moveTimer.start();
    QApplication::setOverrideCursor(Qt::ClosedHandCursor);
}

void PlotPoint::setVisible(bool on)
{
    setSelectable(on);
    QCPItemEllipse::setVisible(on);
}

void PlotPoint::move(double x, double y, bool signalNeeded)
{
    m_pos = QPointF(x, y);
    if (m_shift) {
        QCustomPlot *plot = parentPlot();
        const double dx =
            std::abs(plot->xAxis->coordToPixel(x) - plot->xAxis->coordToPixel(m_anchor.x()));
        const double dy =
            std::abs(plot->yAxis->coordToPixel(y) - plot->yAxis->coordToPixel(m_anchor.y()));
        if (dx < dy)
            x = m_anchor.x();
        else
            y = m_anchor.y();
    }
    m_tracer->position->setCoords(x, y);
    parentPlot()->replot();
    if (signalNeeded)
        emit moved(QPointF(x, y));
}

void PlotPoint::move(double x, double y)
{
    move(x, y, true);
}

void PlotPoint::movePx(double x, double y)
{
    move(parentPlot()->xAxis->pixelToCoord(x), parentPlot()->yAxis->pixelToCoord(y), true);
}

void PlotPoint::setActive(bool isActive)
{
    setSelected(isActive);
    if (isActive)
        emit activated();
    else
        emit disactivated();
}

void PlotPoint::onMouseMove(QMouseEvent *event)
{
    m_wantedPos = event->position() + m_grabOffset;
}

void PlotPoint::stopMoving()
{
    disconnect(parentPlot(), &QCustomPlot::mouseMove, this, &PlotPoint::onMouseMove);
    disconnect(parentPlot(), &QCustomPlot::mouseRelease, this, &PlotPoint::stopMoving);
    m_moveTimer.stop();
    moveToWantedPos();
    if (!m_guides.isEmpty()) {
        for (QCPAbstractItem *guide : std::as_const(m_guides))
            parentPlot()->removeItem(guide);
        m_guides.clear();
        parentPlot()->replot();
    }
    if (QApplication::overrideCursor())
        QApplication::restoreOverrideCursor();
    emit stoppedMoving();
}

void PlotPoint::moveToWantedPos()
{
    if (m_wantedPos.isNull())
        return;
    movePx(m_wantedPos.x(), m_wantedPos.y());
    m_wantedPos = QPointF();
}

void PlotPoint::onShiftStateChanged(bool shiftPressed)
{
    if (shiftPressed == m_shift)
        return;
    m_shift = shiftPressed;
    for (QCPAbstractItem *guide : std::as_const(m_guides))
        guide->setVisible(shiftPressed);
    move(m_pos.x(), m_pos.y(), true);
}
