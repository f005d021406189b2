#include "frontend/logs/graphrows.h"

#include <algorithm>

namespace {
// Points of each row, counted first so every row is allocated once.
QVector<PlotGraph::RowData> fill(const QVector<QVector<QCPGraphData>> &points)
{
    QVector<PlotGraph::RowData> rows(points.size());
    for (int i = 1; i < points.size(); ++i) {
        rows[i] = PlotGraph::RowData::create();
        rows[i]->set(points.at(i), true); // runs come in order
    }
    return rows;
}
} // namespace

GraphRows buildGraphRows(const FullLog &log)
{
    const SeriesRows series = seriesRows(log);
    GraphRows graphs;
    graphs.commandLabels = series.commandShortLabels;
    graphs.eventLabels = series.eventLabels;
    graphs.alarmLabels = series.alarmLabels;
    padAlarmLabels(graphs.alarmLabels, series.commandLabels);
    graphs.keyMax = series.lastCommandRun + 1;

    const qsizetype commandRows = graphs.commandLabels.size();
    const auto rowCount = [](qsizetype n) { return QVector<int>(n, 0); };
    QVector<int> commandCount = rowCount(commandRows);
    QVector<int> eventCount = rowCount(graphs.eventLabels.size());
    QVector<int> alarmCount = rowCount(graphs.alarmLabels.size());
    const auto forEachPoint = [&log, &series](auto visit) {
        for (const LogEvent &event : log.logEvents) {
            const LogBlockInfo &block = log.blocks.at(event.number);
            for (int i = block.firstItem; i < block.itemEnd; ++i) {
                const LogItem &item = log.items.at(i);
                if (!item.inGraphs())
                    continue;
                switch (item.kind()) {
                case LogItem::Kind::Command:
                    visit(LogItem::Kind::Command, series.shortRow.at(int(item.shortText())),
                          event.number);
                    break;
                case LogItem::Kind::Event:
                    visit(LogItem::Kind::Event, series.eventRow.at(int(item.text)), event.number);
                    break;
                case LogItem::Kind::Alarm:
                    visit(LogItem::Kind::Alarm, series.alarmRow.at(int(item.text)), event.number);
                    break;
                }
            }
        }
    };
    forEachPoint([&](LogItem::Kind kind, int row, int) {
        QVector<int> &count = kind == LogItem::Kind::Command ? commandCount
                              : kind == LogItem::Kind::Event ? eventCount
                                                             : alarmCount;
        ++count[row];
    });
    const auto reserved = [](const QVector<int> &count) {
        QVector<QVector<QCPGraphData>> points(count.size());
        for (int i = 0; i < count.size(); ++i)
            points[i].reserve(count.at(i));
        return points;
    };
    QVector<QVector<QCPGraphData>> commandPoints = reserved(commandCount);
    QVector<QVector<QCPGraphData>> eventPoints = reserved(eventCount);
    QVector<QVector<QCPGraphData>> alarmPoints = reserved(alarmCount);
    // Values are the rows' places: commands first, the events below them.
    forEachPoint([&](LogItem::Kind kind, int row, int run) {
        if (row <= 0)
            return; // an empty text: the separating row, where nothing is drawn
        switch (kind) {
        case LogItem::Kind::Command:
            commandPoints[row].append(QCPGraphData(run, row));
            break;
        case LogItem::Kind::Event:
            eventPoints[row].append(QCPGraphData(run, double(commandRows + row)));
            break;
        case LogItem::Kind::Alarm:
            alarmPoints[row].append(QCPGraphData(run, row));
            break;
        }
    });
    graphs.commandRows = fill(commandPoints);
    graphs.eventRows = fill(eventPoints);
    graphs.alarmRows = fill(alarmPoints);
    return graphs;
}

QVector<int> runsInRange(const QVector<PlotGraph::RowData> &rows, double lower, double upper)
{
    QVector<int> runs;
    for (const PlotGraph::RowData &row : rows) {
        if (!row)
            continue;
        for (auto it = row->findBegin(lower, false); it != row->constEnd() && it->key <= upper;
             ++it)
            runs.append(int(it->key));
    }
    std::sort(runs.begin(), runs.end());
    runs.erase(std::unique(runs.begin(), runs.end()), runs.end());
    return runs;
}
