#pragma once

#include <QObject>
#include <QPoint>

#include <functional>

class QCustomPlot;
class QMouseEvent;
class QWheelEvent;
class PlotGraph;
class PlotPoint;

// Selecting an axis selects its line and labels together with those of the
// opposite axis, so both read as one selection.
void coupleAxisSelection(QCustomPlot &plot);

// One plot of the main window's graph page with what goes with it: its
// marker, whether its top axis shows the runs' dates, its context menu,
// the drag and zoom restriction to a selected axis, and the double click
// that picks a run. What the plot shows comes from the window through the
// plotter.
class PlotPanel : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMarkerRadiusPx = 5;

    // Draws the panel's series into the plot, whose rows and graphs have
    // just been emptied.
    using Plotter = std::function<void(PlotGraph &plot)>;

    // Puts a hidden marker on `plot` and gives it a custom context menu.
    explicit PlotPanel(PlotGraph *plot, QObject *parent = nullptr);

    PlotGraph *plot() const { return m_plot; }
    PlotPoint *marker() const { return m_marker; }
    bool timeShown() const { return m_timeShown; }
    void setPlotter(Plotter plotter) { m_plotter = std::move(plotter); }

public slots:
    // "Replot all graph"; "Remove selected graph" only while something is
    // selected; "Enable Time" or "Disable Time", whichever changes the state.
    void showContextMenu(QPoint pos);
    // Hides the marker and draws everything again: removed graphs and
    // selection colours are undone, the time axis stays as it is.
    void replotAll();
    void removeSelectedGraphs();
    void enableTime();
    void disableTime();
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

    PlotGraph *m_plot;            // not owned
    PlotPoint *m_marker{nullptr}; // an item of the plot
    bool m_timeShown{false};
    Plotter m_plotter;
};
