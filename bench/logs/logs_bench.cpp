// Full-log parsing and series building on generated logs of 10k and 100k
// runs: prints how the time grows with the log and how it compares with
// merely reading the lines, then the time to plot the series.
#include "frontend/logs/fulllog.h"
#include "frontend/logs/plotgraph.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {
constexpr int kSmallRuns = 10000;
constexpr int kLargeRuns = 100000;
constexpr int kRepeats = 3;

// Runs shaped like a swing-gate board's: a command, the run header, limit
// switch events and now and then an obstacle or a photocell.
QByteArray generateLog(int runs)
{
    static const char *const kCommands[] = {"0C RX 12 34", "0C RX 12 35", "0C RX 5A 07",
                                            "0D RX 9C 21", "01 IN START", "02 IN OPEN",
                                            "04 IN PED",   "03 IN CLOSE"};
    QRandomGenerator random(20190510);
    QByteArray log("Calvestrid M7 board log\r\nFW: M7 2.08.3 HW C SN M7-0419-03326\r\n\r\n");
    log.reserve(qsizetype(runs) * 200);
    int hours = 16210;
    for (int i = 0; i < runs; ++i) {
        hours += int(random.bounded(4));
        log += "CMD: ";
        log += kCommands[random.bounded(8)];
        log += "\r\nEVENT NUMBER: " + QByteArray::number(14911 + i);
        log += "\r\nTIME: " + QByteArray::number(hours);
        log += "\r\nCOUNT: PAR/TOT: " + QByteArray::number(884 + i) + '/' +
               QByteArray::number(14911 + i);
        log += "\r\nEVENT: 40 FCA1\r\nEVENT: 41 FCA2\r\n";
        const quint32 roll = random.bounded(100);
        if (roll < 8)
            log += "EVENT: 44 PHOT\r\nALARM: E1 PHOT\r\n";
        else if (roll < 12)
            log += "EVENT: 46 REV\r\nALARM: E3 OBST1\r\n";
        log += "EVENT: 47 TCA\r\nEVENT: 42 FCC1\r\nEVENT: 43 FCC2\r\n\r\n";
    }
    return log;
}

template <typename Work> double bestMs(Work work)
{
    double best = 1e300;
    for (int i = 0; i < kRepeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

struct Measured
{
    double parseMs = 0;
    double scanMs = 0;
    double plotMs = 0;
    qsizetype lines = 0;
};

Measured measure(const QString &path)
{
    Measured m;
    m.scanMs = bestMs([&] {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return;
        qsizetype lines = 0;
        while (!file.atEnd()) {
            file.readLine();
            ++lines;
        }
        m.lines = lines;
    });

    FullLog log;
    LogSeries series;
    m.parseMs = bestMs([&] {
        log.read(path);
        const QDateTime end(QDate(2019, 5, 10), QTime(18, 0));
        series = buildSeries(log.logEvents, startDateFor(end, log.logEvents.constLast().time));
        padAlarmLabels(series.alarmLabels, series.commandLabels);
    });

    PlotGraph commands(nullptr, QStringLiteral("Run Number"), QStringLiteral("Commands"));
    PlotGraph alarms(nullptr, QStringLiteral("Run Number"), QStringLiteral("Alarms"));
    commands.resize(1200, 500);
    alarms.resize(1200, 250);
    m.plotMs = bestMs([&] {
        const int keyMax = series.keyMax();
        commands.resetSeries();
        commands.clearGraphs();
        commands.plotSeries(series.commandShortLabels, series.commandX, series.commandShortY,
                            series.timeX, series.timeLabels, keyMax, PlotGraph::commandStyle());
        commands.plotSeries(series.eventLabels, series.eventX, series.eventY, series.timeX,
                            series.timeLabels, keyMax, PlotGraph::eventStyle());
        alarms.resetSeries();
        alarms.clearGraphs();
        alarms.plotSeries(series.alarmLabels, series.alarmX, series.alarmY, series.alarmX,
                          series.alarmTimeLabels, keyMax, PlotGraph::alarmStyle());
    });
    return m;
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;

    Measured results[2];
    const int sizes[2] = {kSmallRuns, kLargeRuns};
    for (int i = 0; i < 2; ++i) {
        const QString path = dir.filePath(QStringLiteral("full_%1.log").arg(sizes[i]));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(generateLog(sizes[i])) < 0)
            return 1;
        file.close();
        results[i] = measure(path);
        std::printf("%6d runs, %8lld lines: parse+series %9.1f ms, line scan %7.1f ms, "
                    "plot %7.1f ms\n",
                    sizes[i], static_cast<long long>(results[i].lines), results[i].parseMs,
                    results[i].scanMs, results[i].plotMs);
    }
    const double growth = results[1].parseMs / results[0].parseMs;
    const double overScan = results[1].parseMs / results[1].scanMs;
    std::printf("time(100k)/time(10k)      = %5.2f (goal <= 11)\n", growth);
    std::printf("time(100k)/line scan      = %5.2f (goal <= 20)\n", overScan);
    std::printf("plot 10k runs %.1f ms, 100k runs %.1f ms\n", results[0].plotMs, results[1].plotMs);
    return 0;
}
