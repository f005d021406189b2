#pragma once

#include <qcustomplot.h>

#include <QList>
#include <QPointF>
#include <QTimer>

// A marker on a plot: a small ellipse centred on a tracer that sits at plot
// coordinates, so it stays on its point while the axes move. It can also be
// dragged (optionally along one axis only while Shift is held).
class PlotPoint : public QCPItemEllipse
{
    Q_OBJECT
public:
    static constexpr int kMoveIntervalMs = 25;

    PlotPoint(QCustomPlot *plot, int radiusPx);

    QPointF position() const { return m_pos; }
    void setAnchor(const QPointF &anchor) { m_anchor = anchor; }
    // Starts a drag grabbed at `grabPx`: follows the plot's mouse moves until
    // the button is released.
    void startMoving(const QPointF &grabPx);

signals:
    void activated();
    void disactivated();
    void moved(QPointF pos);
    void stoppedMoving();

public slots:
    void setVisible(bool on);
    void move(double x, double y, bool signalNeeded);
    void move(double x, double y);
    void movePx(double x, double y);
    void setActive(bool isActive);
    void onMouseMove(QMouseEvent *event);
    void stopMoving();
    void moveToWantedPos();
    void onShiftStateChanged(bool shiftPressed);

private:
    QCPItemTracer *m_tracer = nullptr;
    QTimer m_moveTimer;
    QPointF m_pos;
    QPointF m_anchor;
    QPointF m_grabOffset;
    QPointF m_wantedPos; // pixels; null when none
    bool m_shift = false;
    QList<QCPAbstractItem *> m_guides;
};
