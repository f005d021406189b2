// libFuzzer target: the full-log parser, the run dates, the series behind
// the graphs and the DATE line written back. The input is the log file.
#include "frontend/logs/fulllog.h"
#include "fuzz/fuzzsupport.h"

#include <QSet>

#include <cstddef>
#include <cstdint>

namespace {

using fuzzsupport::check;

// A decimal 32-bit number as QString reads one, the rule the parser's byte
// form must follow; a NUL byte, which QString's conversion stops at, makes
// the value unreadable.
bool referenceNumber(QString text, const QLatin1String &word, int *value)
{
    text.remove(word);
    text.remove(QLatin1Char(':'));
    text.remove(QLatin1Char(' '));
    if (text.contains(QChar(0)))
        return false;
    bool ok = false;
    *value = text.toInt(&ok, 10);
    return ok;
}

// The record lines as the text rules give them.
QStringList referenceRecords(const QByteArray &content)
{
    QStringList records;
    for (const QByteArray &line : content.split('\n')) {
        const QString text = QString::fromLatin1(line).simplified();
        if (fulllogline::classify(text) == fulllogline::Kind::Record)
            records.append(text);
    }
    return records;
}

// The blocks as the backward search from each EVENT NUMBER line that reads
// defines them.
QVector<LogBlock> referenceBlocks(const QStringList &records)
{
    QVector<LogBlock> blocks;
    int start = -1;
    for (int n = 0; n < records.size(); ++n) {
        int number = 0;
        if (!records.at(n).contains(fulllogline::kEventNumber) ||
            !referenceNumber(records.at(n), fulllogline::kEventNumber, &number))
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

// Labels start with "" and hold no text twice; every row index is in range.
void checkRows(const QStringList &labels, const QVector<double> &rows, const char *what)
{
    check(!labels.isEmpty() && labels.first().isEmpty(), what);
    check(QSet<QString>(labels.cbegin(), labels.cend()).size() == labels.size(), what);
    for (double row : rows)
        check(row >= 0 && row < labels.size() && row == int(row), what);
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

    // Lines and blocks: as the text rules and the definition's backward
    // search give them, in range.
    const QStringList records = referenceRecords(content);
    check(log.recordCount == records.size(), "record lines differ from the text rules");
    check(log.logBlocks == referenceBlocks(records), "blocks differ from the definition");
    check(log.blocks.size() == log.logBlocks.size(), "block values parallel");
    int firstTime = 0;
    bool firstTimeSeen = false;
    for (const QString &record : records) {
        int value = 0;
        if (record.contains(fulllogline::kTime) &&
            referenceNumber(record, fulllogline::kTime, &value)) {
            firstTime = value;
            firstTimeSeen = true;
            break;
        }
    }
    check(log.firstTimeSeen == firstTimeSeen && (!firstTimeSeen || log.firstTime == firstTime),
          "first TIME");
    int itemAt = 0;
    for (const LogBlockInfo &block : log.blocks) {
        check(block.firstItem == itemAt && block.itemEnd >= block.firstItem, "items in order");
        itemAt = block.itemEnd;
    }
    check(itemAt == log.items.size(), "every item in a block");
    for (const LogItem &item : log.items) {
        check(int(item.text) < log.textsOf(item.kind()).size(), "item text out of range");
        if (item.kind() == LogItem::Kind::Command)
            check(int(item.shortText()) < log.shortCommandTexts.size(), "short text out of range");
    }
    for (const QStringList *texts :
         {&log.commandTexts, &log.shortCommandTexts, &log.eventTexts, &log.alarmTexts}) {
        check(texts->size() <= FullLog::kMaxDistinctTexts + 2, "distinct texts bounded");
        for (const QString &text : *texts)
            check(text.size() <= fulllogline::kMaxLineChars + fulllogline::cutMark().size(),
                  "a text longer than the display limit");
    }

    // Runs: numbered by block, in order, findable by both numbers.
    int previous = 0;
    for (const LogEvent &event : log.logEvents) {
        check(event.hasTime, "a run without TIME was kept");
        check(event.number > previous && event.number < log.logBlocks.size(), "run number");
        previous = event.number;
        check(log.eventOfRun(event.number) == &event, "run not found by its place");
        const LogEvent *byBoard = log.eventOfBoardNumber(event.boardNumber);
        check(byBoard && byBoard->boardNumber == event.boardNumber, "run not found by its number");
    }

    // Dates: either a plausible date or none, never a wrapped one; the last
    // dated run ends the log.
    const QDateTime end(QDate(2019, 5, 10), QTime(18, 0));
    const QDateTime start = startDateFor(end, log.logEvents);
    const LogEvent *lastDated = nullptr;
    for (const LogEvent &event : log.logEvents) {
        const QDateTime date = runDate(start, event);
        check(!date.isValid() || (date.date().year() >= 1900 && date.date().year() <= 9999),
              "implausible run date");
        check(event.timeKnown || !date.isValid(), "a date from a TIME that did not read");
        if (event.timeKnown)
            lastDated = &event;
    }
    if (lastDated)
        check(runDate(start, *lastDated) == end, "last dated run is not the end");

    // Series: parallel lists, indices in range.
    LogSeries s = buildSeries(log);
    check(s.commandX.size() == s.commandY.size() && s.commandX.size() == s.commandShortY.size(),
          "command series parallel");
    check(s.eventX.size() == s.eventY.size(), "event series parallel");
    check(s.alarmX.size() == s.alarmY.size(), "alarm series parallel");
    checkRows(s.commandLabels, s.commandY, "command rows");
    checkRows(s.commandShortLabels, s.commandShortY, "short command rows");
    checkRows(s.eventLabels, s.eventY, "event rows");
    checkRows(s.alarmLabels, s.alarmY, "alarm rows");
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
        check(dated.recordCount == log.recordCount && dated.logBlocks == log.logBlocks,
              "DATE line changed the records");
        check(dated.firmwareLine == log.firmwareLine, "DATE line changed the firmware line");
        check(dated.logEvents.size() == log.logEvents.size(), "DATE line changed the runs");
    }
    return 0;
}
