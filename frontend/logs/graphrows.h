#pragma once

#include "frontend/logs/fulllog.h"
#include "frontend/logs/plotgraph.h"

#include <QStringList>
#include <QVector>

// The two graphs of a full log ready to draw: the rows of each with their
// points already in the form the plots hold, so drawing them again (after
// a filter, "Replot all graph") shares the points instead of building them.
// Built on any thread; nothing in it belongs to a plot.
struct GraphRows
{
    // The commands plot: the short command rows, then the event rows below
    // them; the alarms plot: the alarm rows, padded as described.
    QStringList commandLabels, eventLabels, alarmLabels;
    QVector<PlotGraph::RowData> commandRows, eventRows, alarmRows;
    int keyMax = 1; // upper bound of the run axes

    bool isEmpty() const { return commandLabels.size() <= 1 && eventLabels.size() <= 1; }
};

GraphRows buildGraphRows(const FullLog &log);

// The runs (positions) of a plot's rows within [lower, upper], ascending,
// each once.
QVector<int> runsInRange(const QVector<PlotGraph::RowData> &rows, double lower, double upper);
