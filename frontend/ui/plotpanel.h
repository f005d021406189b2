#pragma once

#include "frontend/logs/loganalysis.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QPointF>

#include <functional>
#include <optional>

class QAction;
class QCustomPlot;
class QCPItemStraightLine;
class QCPItemText;
class QMouseEvent;
class QWheelEvent;
class PlotGraph;
class PlotPoint;

// Selecting an axis selects its line and labels together with those of the
// opposite axis, so both read as one selection.
void coupleAxisSelection(QCustomPlot &plot);

// A point of a plot under the pointer.
struct PlotHit
{
    int run = 0;
    int row = 0;   // on the value axis
    QString label; // the row's text
};

// One plot of the main window's graph page with what goes with it: its
// marker, whether its top axis shows the runs' dates, its context menu,
// the drag and zoom restriction to a selected axis, the double click that
// picks a run, the rows it shows, the tooltip of the point under the
// pointer and the line that marks a run gone to. What the plot shows comes
// from the window through the plotter.
class PlotPanel : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMarkerRadiusPx = 5;
    // How far from a point the pointer may be for its tooltip.
    static constexpr int kHoverReachPx = 6;

    // Draws the panel's series into the plot, whose rows and graphs have
    // just been emptied.
    using Plotter = std::function<void(PlotGraph &plot)>;
    // The tooltip of a point; empty for none.
    using HoverText = std::function<QString(const PlotHit &hit)>;

    // Puts a hidden marker on `plot` and gives it a custom context menu.
    explicit PlotPanel(PlotGraph *plot, QObject *parent = nullptr);

    PlotGraph *plot() const { return m_plot; }
    PlotPoint *marker() const { return m_marker; }
    bool timeShown() const { return m_timeShown; }
    void setPlotter(Plotter plotter) { m_plotter = std::move(plotter); }
    void setHoverText(HoverText text) { m_hoverText = std::move(text); }
    // Offered in the context menu below the panel's own entries.
    void setMenuActions(const QList<QAction *> &actions) { m_menuActions = actions; }

    // The rows the plotter is to draw.
    const RowFilter &rowFilter() const { return m_rowFilter; }
    // Draws again with only the rows `filter` shows; the runs in view stay.
    void setRowFilter(const RowFilter &filter);
    // For a log of other rows: the next drawing shows them all.
    void forgetRowFilter() { m_rowFilter = RowFilter(); }

    // The point within reach of `pixel`, if any: the nearest of its row.
    std::optional<PlotHit> pointAt(const QPointF &pixel) const;

    // Centres the key axis on `run`, keeping the width in view, and marks
    // the run with a vertical line captioned `caption` at its top.
    void centreOn(int run, const QString &caption = QString());
    bool runLineShown() const;
    double runLineAt() const;
    QString runCaption() const;

public slots:
    // "Replot all graph"; "Remove selected graph" only while something is
    // selected; "Enable Time" or "Disable Time", whichever changes the state;
    // "Fit all"; "Show all rows" while rows are filtered out.
    void showContextMenu(QPoint pos);
    // Hides the marker and draws everything again: removed graphs and
    // selection colours are undone, the time axis stays as it is.
    void replotAll();
    void removeSelectedGraphs();
    void enableTime();
    void disableTime();
    // Every run in view (the partner plot follows the key axis).
    void fitAll();
    void showAllRows();
    // A press restricts dragging to a selected axis; a double click on a
    // point picks its run.
    void mousePress(QMouseEvent *event);
    // Restricts zooming to a selected axis.
    void mouseWheel(QWheelEvent *event);
    // Selected graphs in blue with a line down to the key axis, the others
    // back in red.
    void colourSelection();

signals:
    // A double click picked the point of run `run`: the marker sits on it
    // until the receivers return, then it is hidden again.
    void runChosen(int run);

private:
    void showTimeAxis(bool shown);
    void restrictToSelectedAxis(bool zoom);
    void pickRunAt(QMouseEvent *event);
    void showHoverText(QMouseEvent *event);

    PlotGraph *m_plot;                       // not owned
    PlotPoint *m_marker{nullptr};            // an item of the plot
    QCPItemStraightLine *m_runLine{nullptr}; // items of the plot
    QCPItemText *m_runCaption{nullptr};
    bool m_timeShown{false};
    Plotter m_plotter;
    HoverText m_hoverText;
    RowFilter m_rowFilter;
    QList<QAction *> m_menuActions; // not owned
};
