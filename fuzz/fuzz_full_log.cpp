// libFuzzer target: the full-log parser, the run dates, the series behind
// the graphs and the DATE line written back. The input is the log file.
#include "frontend/logs/fulllog.h"
#include "fuzz/fuzzsupport.h"

#include <QSet>

#include <cstddef>
#include <cstdint>

namespace {

using fuzzsupport::check;

// The blocks as the backward search from each EVENT NUMBER line defines them.
QVector<LogBlock> referenceBlocks(const QStringList &records)
{
    QVector<LogBlock> blocks;
    int start = -1;
    for (int n = 0; n < records.size(); ++n) {
        if (!records.at(n).contains(fulllogline::kEventNumber))
            continue;
        for (int k = n - 1; k >= 0; --k) {
            if (records.at(k).contains(fulllogline::kCmd)) {
                blocks.append({start, k - 1});
                start = k;
                break;
            }
        }
    }
    blocks.append({start, int(records.size()) - 1});
    return blocks;
}

// Labels start with "" and hold no text twice; point k sits on the row of
// texts[k]. (An empty text shares the "" row: nothing is drawn there.)
void checkRows(const QStringList &labels, const QVector<double> &rows, const QStringList &texts,
               const char *what)
{
    check(!labels.isEmpty() && labels.first().isEmpty(), what);
    check(QSet<QString>(labels.cbegin(), labels.cend()).size() == labels.size(), what);
    check(rows.size() == texts.size(), what);
    for (int k = 0; k < rows.size(); ++k) {
        const double row = rows.at(k);
        check(row >= 0 && row < labels.size() && row == int(row), what);
        check(labels.at(int(row)) == texts.at(k), what);
    }
}

bool hasDateLine(const QByteArray &content)
{
    for (const QByteArray &line : content.split('\n')) {
        const QString text = fulllogline::normalize(QString::fromLatin1(line));
        if (fulllogline::classify(text) == fulllogline::Kind::Date)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::startQt();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    FullLog log;
    log.parse(content);

    // Blocks: as the definition's backward search gives them, in range.
    check(log.logBlocks == referenceBlocks(log.logRecords), "blocks differ from the definition");
    const int records = int(log.logRecords.size());
    for (const LogBlock &block : log.logBlocks)
        check(block.first >= -1 && block.second <= records - 1, "block out of range");

    // Runs: numbered by block, in order, with parallel command lists.
    int previous = 0;
    qsizetype commands = 0, events = 0, alarms = 0;
    QStringList commandTexts, shortTexts, eventTexts, alarmTexts;
    for (const LogEvent &event : log.logEvents) {
        check(event.hasTime, "a run without TIME was kept");
        check(event.number > previous && event.number < log.logBlocks.size(), "run number");
        previous = event.number;
        check(event.commands.size() == event.commandsShort.size(), "command lists parallel");
        for (int j = 0; j < event.commands.size(); ++j)
            check(event.commands.at(j).startsWith(event.commandsShort.at(j)), "short command");
        commandTexts += event.commands;
        shortTexts += event.commandsShort;
        eventTexts += event.events;
        alarmTexts += event.alarms;
        commands += event.commands.size();
        events += event.events.size();
        alarms += event.alarms.size();
    }
    check(log.firstTimeSeen == log.logRecords.join(QChar('\n')).contains(fulllogline::kTime),
          "first TIME seen");

    // Dates: either a plausible date or none, never a wrapped one; the last
    // run ends the log.
    const QDateTime end(QDate(2019, 5, 10), QTime(18, 0));
    const QDateTime start =
        log.logEvents.isEmpty() ? end : startDateFor(end, log.logEvents.constLast().time);
    for (const LogEvent &event : log.logEvents) {
        const QDateTime date = runDate(start, event.time);
        check(!date.isValid() || (date.date().year() >= 1900 && date.date().year() <= 9999),
              "implausible run date");
    }
    if (!log.logEvents.isEmpty())
        check(runDate(start, log.logEvents.constLast().time) == end, "last run is not the end");

    // Series: parallel lists, indices in range, one time tick per point.
    LogSeries s = buildSeries(log.logEvents, start);
    check(s.commandX.size() == commands && s.commandY.size() == commands &&
              s.commandShortY.size() == commands,
          "command series parallel");
    check(s.eventX.size() == events && s.eventY.size() == events, "event series parallel");
    check(s.alarmX.size() == alarms && s.alarmY.size() == alarms &&
              s.alarmTimeLabels.size() == alarms,
          "alarm series parallel");
    check(s.timeX.size() == commands + events && s.timeLabels.size() == s.timeX.size(),
          "time ticks parallel");
    checkRows(s.commandLabels, s.commandY, commandTexts, "command rows");
    checkRows(s.commandShortLabels, s.commandShortY, shortTexts, "short command rows");
    checkRows(s.eventLabels, s.eventY, eventTexts, "event rows");
    checkRows(s.alarmLabels, s.alarmY, alarmTexts, "alarm rows");
    const QStringList alarmLabels = s.alarmLabels;
    padAlarmLabels(s.alarmLabels, s.commandLabels);
    check(s.alarmLabels.size() == alarmLabels.size(), "padding keeps the rows");
    for (int i = 0; i < alarmLabels.size(); ++i)
        check(s.alarmLabels.at(i).trimmed() == alarmLabels.at(i).trimmed(), "padding keeps text");

    // The DATE line: written twice is the same as written once, the second
    // date replaces the first, and the rest of the log reads as before.
    const QDateTime other = end.addSecs(qint64(size) * 3600);
    const QByteArray once = withEndDateLine(content, end);
    check(withEndDateLine(once, end) == once, "DATE line written twice differs");
    check(withEndDateLine(withEndDateLine(content, other), end) == once, "DATE line not replaced");
    FullLog dated;
    dated.parse(once);
    const qsizetype firstEnd = content.indexOf('\n');
    const QByteArray firstLine = firstEnd < 0 ? content : content.left(firstEnd);
    if (!firstLine.contains("DATE:")) {
        check(dated.logRecords == log.logRecords, "DATE line changed the records");
        check(dated.firmwareLine == log.firmwareLine, "DATE line changed the firmware line");
        if (!hasDateLine(content))
            check(dated.logDate == end, "DATE line not read back");
    }
    return 0;
}
