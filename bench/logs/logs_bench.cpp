// Full-log parsing and series building on generated logs of 10k and 100k
// runs: prints how the time grows with the log and how it compares with
// merely reading the lines, then the time to plot the series, then the peak
// memory of the spreadsheet export of the 100k-run log.
#include "frontend/core/userdialogs.h"
#include "frontend/logs/fulllog.h"
#include "frontend/logs/plotgraph.h"
#include "frontend/ui/excelexporter.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <malloc.h>

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
// Export memory. The export runs in a child process of this program, so the
// peak resident size it reports (VmHWM) is the export's and not that of the
// figures measured before it. The child keeps what the window hands to the
// export (the record lines), drops the rest of the parse, and resets the
// peak before it starts, so the figure is the input held plus the export.
constexpr char kExportChildFlag[] = "--export-child";
constexpr double kExportPeakGoalMb = 150;
constexpr int kExportChildTimeoutMs = 15 * 60 * 1000;

long statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray name = QByteArray(field) + ':';
    for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine()) {
        if (line.startsWith(name))
            return line.mid(name.size()).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

// Linux starts counting the peak anew after "5" is written here.
bool resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    return clear.open(QIODevice::WriteOnly) && clear.write("5") == 1;
}

// Opens nothing and shows nothing: the figure is the export's own.
class QuietDesktop : public UserDialogs
{
public:
    void showMessage(Kind, const QString &title, const QString &text) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    }
    QString chooseOpenFile(const QString &) override { return QString(); }
    int execDialog(QDialog &) override { return 0; }
    bool openDocument(const QString &) override { return true; }
    bool hasDefaultApplication(const QString &) override { return true; }
};

// In the child: parse, export, print "heldKb peakKb ms bytes".
int runExportChild(const QString &logPath)
{
    QStringList records;
    int firstTime = 0;
    QString firmware;
    QDateTime start;
    {
        FullLog log;
        if (!log.read(logPath) || log.logEvents.isEmpty())
            return 1;
        records = std::move(log.logRecords);
        firstTime = log.firstTime;
        firmware = log.firmwareLine;
        start = startDateFor(QDateTime(QDate(2019, 5, 10), QTime(18, 0)),
                             log.logEvents.constLast().time);
    }
    malloc_trim(0);
    if (!resetPeak())
        return 1;
    const long heldKb = statusKb("VmRSS");

    QuietDesktop desktop;
    UserDialogs::setInstance(&desktop);
    QElapsedTimer timer;
    timer.start();
    ExcelExporter exporter;
    const bool written = exporter.exportFullLog(records, firstTime, start, firmware);
    const double ms = timer.nsecsElapsed() / 1e6;
    UserDialogs::setInstance(nullptr);
    if (!written)
        return 1;
    std::printf("%ld %ld %.0f %lld\n", heldKb, statusKb("VmHWM"), ms,
                static_cast<long long>(QFileInfo(exporter.filePath()).size()));
    return 0;
}

void measureExportMemory(const QString &logPath, int runs, const QString &workDir)
{
    // The child writes into a private home and reads the lookup database
    // from its working directory, as the program does.
    QFile::copy(QCoreApplication::applicationDirPath() + QStringLiteral("/Log_look_up.s3db"),
                workDir + QStringLiteral("/Log_look_up.s3db"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), workDir);
    env.insert(QStringLiteral("TMPDIR"), workDir);
    QProcess child;
    child.setProcessEnvironment(env);
    child.setWorkingDirectory(workDir);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QString::fromLatin1(kExportChildFlag), logPath});
    const QList<QByteArray> figures =
        child.waitForFinished(kExportChildTimeoutMs) && child.exitCode() == 0
            ? child.readAllStandardOutput().trimmed().split(' ')
            : QList<QByteArray>();
    if (figures.size() != 4) {
        std::printf("export %d runs: failed\n", runs);
        return;
    }
    const double heldMb = figures.at(0).toDouble() / 1024;
    const double peakMb = figures.at(1).toDouble() / 1024;
    std::printf("export %d runs: peak %.0f MB, of which %.0f MB held before it started (the "
                "record lines), workbook %.1f MB, %.1f s\n",
                runs, peakMb, heldMb, figures.at(3).toDouble() / 1e6,
                figures.at(2).toDouble() / 1000);
    std::printf("export peak/goal          = %5.2f (goal <= 1, %.0f MB)\n",
                peakMb / kExportPeakGoalMb, kExportPeakGoalMb);
    std::printf("export peak/held before   = %5.2f\n", peakMb / heldMb);
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], kExportChildFlag) == 0)
        return runExportChild(QString::fromLocal8Bit(argv[2]));
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
    measureExportMemory(dir.filePath(QStringLiteral("full_%1.log").arg(kLargeRuns)), kLargeRuns,
                        dir.path());
    return 0;
}
