// What a technician waits on with big logs, measured through the window:
// a full log of 100k and 1M runs from the file chosen to both graphs drawn,
// against a bare line scan of the same file; the longest the event loop
// stood still meanwhile; peak memory against the file's size and what is
// left after the log is replaced and closed; a short log of 10k and 100k
// settings until its tables are filled; the spreadsheet export of 1M runs.
// Then the replot of both plots with every run in view (--plots stops
// there), the settings' formulas against an engine per value, and update
// feeds at the size cap against a plain read of the same bytes.
//
// Each window measurement runs in a child process of this program, so its
// peak memory is its own.
#include "frontend/base/userdialogs.h"
#include "frontend/core/updatecheck.h"
#include "frontend/logs/convertsettings.h"
#include "frontend/logs/datetimedialog.h"
#include "frontend/logs/fulllog.h"
#include "frontend/logs/graphrows.h"
#include "frontend/logs/plotgraph.h"
#include "frontend/logs/shortlog.h"
#include "frontend/ui/excelexporter.h"
#include "frontend/ui/mainwindow.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QJSEngine>
#include <QProcess>
#include <QRandomGenerator>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <malloc.h>

namespace {
constexpr int kMidRuns = 100000;
constexpr int kLargeRuns = 1000000;
constexpr int kRepeats = 3;
constexpr int kSettings = 10000;
constexpr int kManySettings = 100000;
constexpr int kEnginePerValueSamples = 100;
constexpr int kReplotSamples = 15;
constexpr double kReplotGoalMs = 100;
constexpr int kDefaultVisibleRuns = 100;
constexpr int kTopAxisTickCount = 10;
constexpr double kWindowGoalRatio = 10;
constexpr double kShortGoalMs = 1000;
constexpr double kManyShortGoalMs = 5000;
constexpr double kMiB = 1024.0 * 1024.0;
constexpr double kPeakAllowanceMb = 100;
constexpr double kLeftAfterGoalMb = 50;
constexpr int kChildTimeoutMs = 30 * 60 * 1000;
constexpr int kPauseProbeMs = 10;

constexpr char kWindowChildFlag[] = "--window-child";
constexpr char kShortChildFlag[] = "--short-child";
constexpr char kExportChildFlag[] = "--export-child";

// Runs shaped like a swing-gate board's: a command, the run header, limit
// switch events and now and then an obstacle or a photocell.
QByteArray generateLog(int runs)
{
    static const char *const kCommands[] = {"0C RX 12 34", "0C RX 12 35", "0C RX 5A 07",
                                            "0D RX 9C 21", "01 IN START", "02 IN OPEN",
                                            "04 IN PED",   "03 IN CLOSE"};
    QRandomGenerator random(20190510);
    QByteArray log("Calvestrid M7 board log\r\nM7: FW:2.08.3 AS: 5000 PAR/TOT: 1203/15230\r\n\r\n");
    log.reserve(qsizetype(runs) * 170);
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

// A short log of an M7 board whose settings section repeats the board's
// hex codes (two of them unknown to the database) until it holds `settings`
// lines.
QByteArray generateShortLog(int settings)
{
    static const char *const kCodes[] = {"00", "01", "02", "03", "04", "05", "06", "07",
                                         "08", "09", "0A", "0B", "0C", "0D", "0E", "0F",
                                         "10", "11", "12", "13", "14", "15", "1E", "1F"};
    QRandomGenerator random(20190417);
    QByteArray log("#DEVICEINFO\nBOARDID=M7\nFW=2.08.3\n#DEVICECONF\n");
    for (int i = 0; i < settings; ++i)
        log += QByteArray(kCodes[i % 24]) + "=0x" +
               QByteArray::number(random.bounded(256), 16).rightJustified(2, '0').toUpper() + '\n';
    log += "#ALARMCOUNTER\nE1=41\n#ALARMHISTORY\n01=E1 ,15204\n";
    return log;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

double processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

// Processor time of the whole process for the best of the repeats; on a
// busy machine the wall time printed beside it is longer.
double lastWallMs = 0;
template <typename Work> double bestMs(Work work)
{
    double best = 1e300;
    double bestWall = 1e300;
    for (int i = 0; i < kRepeats; ++i) {
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = processCpuMs();
        work();
        best = std::min(best, processCpuMs() - cpuStart);
        bestWall = std::min(bestWall, timer.nsecsElapsed() / 1e6);
    }
    lastWallMs = bestWall;
    return best;
}

double medianMs(QVector<double> samples)
{
    std::sort(samples.begin(), samples.end());
    return samples.isEmpty() ? 0 : samples.at(samples.size() / 2);
}

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

// Wall time of the bare line scan the window's path is compared with.
double lineScanMs(const QString &path, qsizetype *lines)
{
    return bestMs([&] {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return;
        qsizetype n = 0;
        while (!file.atEnd()) {
            file.readLine();
            ++n;
        }
        *lines = n;
    });
}

// The technician's answers: this file, this end date; nothing opened.
class BenchDialogs : public UserDialogs
{
public:
    QStringList files;
    void showMessage(Kind, const QString &title, const QString &text) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    }
    QString chooseOpenFile(const QString &) override
    {
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    QString chooseSaveFile(const QString &, const QString &suggested) override { return suggested; }
    int execDialog(QDialog &dialog) override
    {
        if (auto *date = qobject_cast<DateTimeDialog *>(&dialog)) {
            date->setDateTime(QDateTime(QDate(2019, 5, 10), QTime(18, 0)));
            return kAccepted;
        }
        return kRejected;
    }
    bool openDocument(const QString &) override { return true; }
    bool hasDefaultApplication(const QString &) override { return true; }
};

// The longest time the event loop stood still while `work` ran.
class PauseProbe
{
public:
    PauseProbe()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_since.elapsed());
            m_since.restart();
        });
    }
    void start()
    {
        m_longest = 0;
        m_since.start();
        m_timer.start(kPauseProbeMs);
    }
    qint64 stop()
    {
        m_timer.stop();
        return m_longest;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_since;
    qint64 m_longest = 0;
};

// In the child: the window opens `logPath` as chosen in the file dialog.
// Prints "ms longestPauseMs baseKb peakKb afterReplaceKb afterCloseKb".
int runWindowChild(const QString &logPath)
{
    BenchDialogs dialogs;
    UserDialogs::setInstance(&dialogs);
    auto window = std::make_unique<MainWindow>(nullptr, 1);
    window->show();
    QCoreApplication::processEvents();
    malloc_trim(0);
    const long baseKb = statusKb("VmRSS");
    resetPeak();

    PauseProbe probe;
    dialogs.files = {logPath};
    QElapsedTimer timer;
    timer.start();
    probe.start();
    window->openLogFile();
    // Drawn: both plots painted with the new rows.
    window->form().plotGraphCommands->replot(QCustomPlot::rpImmediateRefresh);
    window->form().plotGraphAllarms->replot(QCustomPlot::rpImmediateRefresh);
    QCoreApplication::processEvents();
    const double ms = timer.nsecsElapsed() / 1e6;
    const qint64 pause = probe.stop();
    const long peakKb = statusKb("VmHWM");
    if (window->fullLog().logEvents.isEmpty())
        return 1;

    // Replaced by the example log, then closed.
    window->process_full_log_example();
    QCoreApplication::processEvents();
    const long replacedKb = statusKb("VmRSS");
    window->closeFullLog();
    QCoreApplication::processEvents();
    const long closedKb = statusKb("VmRSS");
    std::printf("%.0f %lld %ld %ld %ld %ld\n", ms, static_cast<long long>(pause), baseKb, peakKb,
                replacedKb, closedKb);
    window.reset();
    UserDialogs::setInstance(nullptr);
    return 0;
}

// In the child: the window opens the short log `path`. Prints "ms
// longestPauseMs rows".
int runShortChild(const QString &path)
{
    BenchDialogs dialogs;
    UserDialogs::setInstance(&dialogs);
    auto window = std::make_unique<MainWindow>(nullptr, 1);
    window->show();
    QCoreApplication::processEvents();
    PauseProbe probe;
    dialogs.files = {path};
    QElapsedTimer timer;
    timer.start();
    probe.start();
    window->openLogFile();
    QCoreApplication::processEvents();
    const double ms = timer.nsecsElapsed() / 1e6;
    const qint64 pause = probe.stop();
    std::printf("%.0f %lld %d\n", ms, static_cast<long long>(pause),
                window->form().Board_Settings_Table->rowCount());
    window.reset();
    UserDialogs::setInstance(nullptr);
    return 0;
}

// In the child: parse, export, print "heldKb peakKb ms bytes sheets runs".
int runExportChild(const QString &logPath)
{
    FullLog log;
    if (log.read(logPath) != FullLog::ReadResult::Read || log.logEvents.isEmpty())
        return 1;
    const QDateTime start =
        startDateFor(QDateTime(QDate(2019, 5, 10), QTime(18, 0)), log.logEvents);
    malloc_trim(0);
    if (!resetPeak())
        return 1;
    const long heldKb = statusKb("VmRSS");

    BenchDialogs dialogs;
    UserDialogs::setInstance(&dialogs);
    QElapsedTimer timer;
    timer.start();
    ExcelExporter exporter;
    const bool written = exporter.exportFullLog(log, start);
    const double ms = timer.nsecsElapsed() / 1e6;
    UserDialogs::setInstance(nullptr);
    if (!written)
        return 1;
    std::printf("%ld %ld %.0f %lld %d %d\n", heldKb, statusKb("VmHWM"), ms,
                static_cast<long long>(QFileInfo(exporter.filePath()).size()),
                exporter.sheetCount(), exporter.exportedRuns());
    return 0;
}

// Runs this program as a child in `workDir` (its home and working
// directory, with the lookup database and the example log) and returns the
// numbers it printed.
QList<double> child(const char *flag, const QString &argument, const QString &workDir)
{
    const QString here = QCoreApplication::applicationDirPath();
    for (const char *name : {"Log_look_up.s3db", "full_log_example.log"})
        QFile::copy(here + QLatin1Char('/') + QLatin1String(name),
                    workDir + QLatin1Char('/') + QLatin1String(name));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), workDir);
    env.insert(QStringLiteral("TMPDIR"), workDir);
    QProcess process;
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(workDir);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(QCoreApplication::applicationFilePath(), {QString::fromLatin1(flag), argument});
    QList<double> numbers;
    if (!process.waitForFinished(kChildTimeoutMs) || process.exitCode() != 0)
        return numbers;
    for (const QByteArray &word : process.readAllStandardOutput().trimmed().split(' '))
        numbers.append(word.toDouble());
    return numbers;
}

void benchWindowPath(const QString &path, int runs, const QString &workDir)
{
    qsizetype lines = 0;
    lineScanMs(path, &lines);
    const double scanWallMs = lastWallMs;
    const double sizeMb = QFileInfo(path).size() / kMiB;
    const QList<double> r = child(kWindowChildFlag, path, workDir);
    if (r.size() != 6) {
        std::printf("window, %d runs: failed\n", runs);
        return;
    }
    const double ms = r.at(0);
    const double baseMb = r.at(2) / 1024;
    const double peakMb = r.at(3) / 1024;
    const double replacedMb = r.at(4) / 1024;
    const double closedMb = r.at(5) / 1024;
    std::printf("window, %7d runs (%.0f MB, %lld lines): file chosen -> graphs drawn %.0f ms, "
                "line scan %.0f ms; event loop still for at most %.0f ms\n",
                runs, sizeMb, static_cast<long long>(lines), ms, scanWallMs, r.at(1));
    std::printf("window, %7d runs: time/line scan = %5.2f (goal <= %.0f)\n", runs, ms / scanWallMs,
                kWindowGoalRatio);
    std::printf("window, %7d runs: peak %.0f MB over %.0f MB before = %.2f x file (goal <= 3 x "
                "file + %.0f MB: %.0f MB)\n",
                runs, peakMb - baseMb, baseMb, (peakMb - baseMb) / sizeMb, kPeakAllowanceMb,
                3 * sizeMb + kPeakAllowanceMb);
    std::printf("window, %7d runs: left after replacing it with the example %+.0f MB, after "
                "closing %+.0f MB (goal within %.0f MB)\n",
                runs, replacedMb - baseMb, closedMb - baseMb, kLeftAfterGoalMb);
}

void benchShortWindow(int settings, double goalMs, const QString &dir)
{
    const QString path = dir + QStringLiteral("/short_%1.txt").arg(settings);
    if (!writeBytes(path, generateShortLog(settings)))
        return;
    const QList<double> r = child(kShortChildFlag, path, dir);
    if (r.size() != 3) {
        std::printf("short log, %d settings: failed\n", settings);
        return;
    }
    std::printf("short log, %6d settings: file chosen -> %.0f rows filled %.0f ms (goal < %.0f "
                "ms); event loop still for at most %.0f ms\n",
                settings, r.at(2), r.at(0), goalMs, r.at(1));
}

void benchExport(const QString &logPath, int runs, const QString &workDir)
{
    const QList<double> r = child(kExportChildFlag, logPath, workDir);
    if (r.size() != 6) {
        std::printf("export %d runs: failed\n", runs);
        return;
    }
    std::printf("export %d runs: %.1f s, peak %.0f MB of which %.0f MB held before it started "
                "(the parsed log); workbook %.1f MB on %.0f sheets, %.0f runs written\n",
                runs, r.at(2) / 1000, r.at(1) / 1024, r.at(0) / 1024, r.at(3) / 1e6, r.at(4),
                r.at(5));
}

// Both plots of the graph page at a realistic size, redrawn the way the
// window redraws them: the top axis takes ten dated ticks before each replot.
void benchReplot(const QString &path, int runs)
{
    FullLog log;
    if (log.read(path) != FullLog::ReadResult::Read)
        return;
    const GraphRows rows = buildGraphRows(log);
    const QDateTime start =
        startDateFor(QDateTime(QDate(2019, 5, 10), QTime(18, 0)), log.logEvents);
    PlotGraph commands(nullptr, QStringLiteral("Run Number"), QStringLiteral("Commands"));
    PlotGraph alarms(nullptr, QStringLiteral("Run Number"), QStringLiteral("Alarms"));
    commands.plotRows(rows.commandLabels, rows.commandRows, rows.keyMax, PlotGraph::commandStyle());
    commands.plotRows(rows.eventLabels, rows.eventRows, rows.keyMax, PlotGraph::eventStyle());
    alarms.plotRows(rows.alarmLabels, rows.alarmRows, rows.keyMax, PlotGraph::alarmStyle());
    QObject::connect(&commands, &QCustomPlot::beforeReplot, &commands, [&] {
        const QCPRange range = commands.xAxis2->range();
        const QVector<double> ticks = runTickPositions(range.lower, range.upper, kTopAxisTickCount);
        QStringList labels;
        for (double tick : ticks) {
            const LogEvent *event = log.eventOfRun(int(tick));
            labels.append(event ? runDate(start, *event).toString(QStringLiteral("d/M hh:mm"))
                                : QString());
        }
        commands.setTopAxisTicks(ticks, labels);
    });
    commands.resize(1200, 400);
    alarms.resize(1200, 200);
    commands.show();
    alarms.show();
    QCoreApplication::processEvents();
    const auto both = [&](double upper) {
        commands.xAxis->setRange(0, upper);
        alarms.xAxis->setRange(0, upper);
        QVector<double> sums;
        for (int i = 0; i < kReplotSamples; ++i) {
            QElapsedTimer timer;
            timer.start();
            commands.replot(QCustomPlot::rpImmediateRefresh);
            alarms.replot(QCustomPlot::rpImmediateRefresh);
            sums.append(timer.nsecsElapsed() / 1e6);
        }
        return medianMs(sums);
    };
    const double opening = both(kDefaultVisibleRuns);
    const double all = both(rows.keyMax);
    std::printf("replot %7d runs, all in view (1200x400 + 1200x200, median of %d): %.1f ms; first "
                "%d runs in view %.1f ms; all/goal = %.2f (goal <= 1, %.0f ms)\n",
                runs, kReplotSamples, all, kDefaultVisibleRuns, opening, all / kReplotGoalMs,
                kReplotGoalMs);
}

void benchFormulas(const QString &dir)
{
    const QString path = dir + QStringLiteral("/short_formulas.txt");
    if (!writeBytes(path, generateShortLog(kSettings)))
        return;
    const QString database = QCoreApplication::applicationDirPath() + "/Log_look_up.s3db";
    ShortLogData data;
    const double loadMs = bestMs([&] {
        short_log parser(data, database);
        parser.load(path);
    });
    QStringList programs;
    for (int i = 0; i < data.settingCodes.size(); ++i) {
        if (settingconv::usesFormula(data.settingTypes.at(i)))
            programs.append(settingconv::formulaProgram(data.settingFormulas.at(i),
                                                        data.settingRawValues.at(i)));
    }
    QStringList shared;
    const double sharedMs = bestMs([&] {
        FormulaEvaluator evaluator;
        shared = evaluator.evaluateAll(programs);
    });
    // The reference: an engine of its own for every value.
    const double referenceStart = processCpuMs();
    int mismatches = 0;
    for (int i = 0; i < kEnginePerValueSamples && i < programs.size(); ++i) {
        QJSEngine engine;
        if (engine.evaluate(programs.at(i), QString(), 1).toString() != shared.value(i))
            ++mismatches;
    }
    const double perValueUs = (processCpuMs() - referenceStart) * 1e3 /
                              std::min<qsizetype>(kEnginePerValueSamples, programs.size());
    const double sharedUs = sharedMs * 1e3 / std::max<qsizetype>(1, programs.size());
    std::printf("short log, %d settings read, looked up and converted (no window): %.1f ms\n",
                kSettings, loadMs);
    std::printf("formula: shared engine %.1f us, engine per value %.1f us -> %.0fx faster "
                "(%d of %d sample values differ)\n",
                sharedUs, perValueUs, perValueUs / sharedUs, mismatches,
                std::min<int>(kEnginePerValueSamples, int(programs.size())));
}

QByteArray feedAround(const QByteArray &body)
{
    return "<?xml version=\"1.0\"?>\n<rss version=\"2.0\" "
           "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>" +
           body +
           "<item><enclosure url=\"https://h.invalid/9.deb\" sparkle:version=\"2.9\"/></item>"
           "</channel></rss>\n";
}

QByteArray manyAttributes(int count)
{
    QByteArray tag = "<x";
    for (int i = 0; i < count; ++i)
        tag += " a" + QByteArray::number(i) + "=\"\"";
    return tag + "/>";
}

// Reads every token without looking at it: what any parse costs at least.
double plainReadMs(const QByteArray &feed)
{
    return bestMs([&] {
        QXmlStreamReader xml(feed);
        while (!xml.atEnd())
            xml.readNext();
    });
}

void benchFeeds()
{
    using Limits = frontend::AppcastLimits;
    const qsizetype room = Limits::kMaxBytes - 1024;
    const int elements = Limits::kMaxNodes - 10;
    // Markup up to the limits, text up to the size cap.
    const auto filled = [room](const QByteArray &markup) {
        return feedAround(markup + "<title>" +
                          QByteArray(std::max<qsizetype>(0, room - markup.size()), 'a') +
                          "</title>");
    };
    const QByteArray wide = manyAttributes(Limits::kMaxAttributes);
    const QByteArray deep = QByteArray("<x>").repeated(Limits::kMaxDepth - 2) +
                            QByteArray("</x>").repeated(Limits::kMaxDepth - 2);
    const QByteArray text = "<title>" + QByteArray(room, 'a') + "</title>";
    const struct
    {
        const char *name;
        QByteArray feed;
    } feeds[] = {
        {"one element, 100k attributes", feedAround(manyAttributes(100000))},
        {"4 MiB of empty elements", feedAround(QByteArray("<x/>").repeated(room / 4))},
        {"64 attributes per element",
         filled(wide.repeated(Limits::kMaxAttributesInAll / Limits::kMaxAttributes - 1))},
        {"empty elements", filled(QByteArray("<x/>").repeated(elements))},
        {"one attribute each", filled(QByteArray("<x a=''/>").repeated(elements))},
        {"deepest nesting", filled(deep.repeated(elements / (Limits::kMaxDepth - 2)))},
        {"comments", filled(QByteArray("<!---->").repeated(elements))},
        {"processing instructions", filled(QByteArray("<?a?>").repeated(elements))},
        {"empty CDATA sections", filled(QByteArray("<![CDATA[]]>").repeated(elements))},
        {"references", filled("<r>" + QByteArray("&#65;&amp;").repeated(elements / 2) + "</r>")},
        {"one text", feedAround(text)},
    };
    const QByteArray reference = feedAround(text);
    const double referenceMs = plainReadMs(reference);
    double worstMs = 0;
    for (const auto &entry : feeds) {
        frontend::AppcastParseResult parsed;
        const double ms = bestMs([&] { parsed = frontend::parseAppcast(entry.feed); });
        worstMs = std::max(worstMs, ms);
        std::printf("feed, %-30s %5.2f MB: %7.2f ms (wall %7.2f ms) (%s)\n", entry.name,
                    entry.feed.size() / 1e6, ms, lastWallMs,
                    parsed.ok ? "read" : qPrintable(parsed.error));
    }
    std::printf("feed, worst %.1f ms = %.1f x a plain read of a 4 MiB text feed (%.1f ms); "
                "goal < 200 ms\n",
                worstMs, worstMs / referenceMs, referenceMs);
    // What the attribute limit spares: the reader alone on one element.
    const double raw5k = plainReadMs(feedAround(manyAttributes(5000)));
    const double raw10k = plainReadMs(feedAround(manyAttributes(10000)));
    std::printf("feed, the reader alone on one element: 5k attributes %.1f ms, 10k %.1f ms "
                "(x%.1f: quadratic)\n",
                raw5k, raw10k, raw10k / raw5k);
}
} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 3) {
        const QString argument = QString::fromLocal8Bit(argv[2]);
        if (qstrcmp(argv[1], kWindowChildFlag) == 0)
            return runWindowChild(argument);
        if (qstrcmp(argv[1], kShortChildFlag) == 0)
            return runShortChild(argument);
        if (qstrcmp(argv[1], kExportChildFlag) == 0)
            return runExportChild(argument);
    }
    QTemporaryDir dir;
    if (!dir.isValid())
        return 1;
    const bool plotsOnly = argc == 2 && qstrcmp(argv[1], "--plots") == 0;
    const QString mid = dir.filePath(QStringLiteral("full_%1.log").arg(kMidRuns));
    if (!writeBytes(mid, generateLog(kMidRuns)))
        return 1;
    benchReplot(mid, kMidRuns);
    if (plotsOnly)
        return 0;
    const QString large = dir.filePath(QStringLiteral("full_%1.log").arg(kLargeRuns));
    if (!writeBytes(large, generateLog(kLargeRuns)))
        return 1;
    benchWindowPath(mid, kMidRuns, dir.path());
    benchWindowPath(large, kLargeRuns, dir.path());
    benchShortWindow(kSettings, kShortGoalMs, dir.path());
    benchShortWindow(kManySettings, kManyShortGoalMs, dir.path());
    benchExport(large, kLargeRuns, dir.path());
    benchFormulas(dir.path());
    benchFeeds();
    return 0;
}
