#include "frontend/logs/loganalysis.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>

namespace {
constexpr int kTwoDigitYearPivot = 1970;

struct DateInput
{
    QDateTime date;
    bool hasYear = true;
};

// The formats a technician types or reads off the graphs.
DateInput readDate(const QString &text)
{
    static const char *const kWithYear[] = {
        "yyyy-MM-dd H:mm:ss",
        "yyyy-MM-dd H:mm",
        "yyyy-MM-dd",
        "yyyy-MM-ddTH:mm:ss",
        "yyyy-MM-ddTH:mm",
        "d/M/yyyy H:mm",
        "d/M/yyyy",
        "d/M/yy H:mm",
        "d/M/yy",
        "d.M.yyyy H:mm",
        "d.M.yyyy",
        "d.M.yy H:mm",
        "d.M.yy",
        "d-M-yyyy H:mm",
        "d-M-yyyy",
    };
    for (const char *format : kWithYear) {
        const QString f = QString::fromLatin1(format);
        QDateTime date = QDateTime::fromString(text, f);
        if (!date.isValid())
            continue;
        // Two-digit years read as 19xx; a board log is of this century.
        if (!f.contains(QLatin1String("yyyy")) && date.date().year() < kTwoDigitYearPivot)
            date = date.addYears(100);
        return {date, true};
    }
    for (const char *format : {"d/M H:mm", "d/M"}) {
        // Parsed with a leap year, so that 29/2 reads.
        const QDateTime date = QDateTime::fromString(
            QStringLiteral("2000 ") + text, QStringLiteral("yyyy ") + QString::fromLatin1(format));
        if (date.isValid())
            return {date, false};
    }
    return {};
}

QDateTime inYearOf(const QDateTime &date, int year)
{
    const QDate day(year, date.date().month(), date.date().day());
    return day.isValid() ? QDateTime(day, date.time()) : QDateTime();
}
} // namespace

QString rowCode(const QString &label)
{
    return label.trimmed().section(QLatin1Char(' '), 0, 0);
}

QVector<AlarmCount> countAlarms(const FullLog &log, const QDateTime &start)
{
    QVector<AlarmCount> counts;
    QHash<QString, int> index;
    for (const LogEvent &event : log.logEvents) {
        QSet<QString> seenInRun;
        for (const QString &alarm : log.alarmsOf(event.number)) {
            const QString code = rowCode(alarm);
            if (code.isEmpty())
                continue;
            auto it = index.constFind(code);
            if (it == index.constEnd()) {
                AlarmCount count;
                count.code = code;
                count.text = alarm.trimmed();
                count.firstRun = event.number;
                count.firstBoardRun = event.boardNumber;
                count.firstDate = runDate(start, event);
                it = index.insert(code, int(counts.size()));
                counts.append(count);
            }
            AlarmCount &count = counts[it.value()];
            ++count.occurrences;
            if (!seenInRun.contains(code)) {
                seenInRun.insert(code);
                ++count.runs;
                count.lastRun = event.number;
                count.lastBoardRun = event.boardNumber;
                count.lastDate = runDate(start, event);
            }
        }
    }
    std::stable_sort(counts.begin(), counts.end(), [](const AlarmCount &a, const AlarmCount &b) {
        return a.runs != b.runs ? a.runs > b.runs : a.code < b.code;
    });
    return counts;
}

RunLookup locateRun(const QString &input, const FullLog &log, const QDateTime &start)
{
    RunLookup result;
    const QVector<LogEvent> &events = log.logEvents;
    if (events.isEmpty())
        return result;
    result.firstRun = events.constFirst().number;
    result.lastRun = events.constLast().number;
    result.firstBoardRun = events.constFirst().boardNumber;
    result.lastBoardRun = events.constLast().boardNumber;
    for (const LogEvent &event : events) {
        const QDateTime date = runDate(start, event);
        if (!date.isValid())
            continue;
        if (!result.firstDate.isValid() || date < result.firstDate)
            result.firstDate = date;
        if (!result.lastDate.isValid() || date > result.lastDate)
            result.lastDate = date;
    }

    const QString text = input.simplified();
    static const QRegularExpression kRunNumber(QStringLiteral("^(#\\s?)?(\\d{1,9})$"));
    if (const QRegularExpressionMatch number = kRunNumber.match(text); number.hasMatch()) {
        const int value = number.captured(2).toInt();
        const bool inLog = value >= result.firstRun && value <= result.lastRun;
        result.run = value;
        result.outcome = RunLookup::Outcome::OutOfRange;
        if (number.capturedLength(1) > 0) {
            result.byPosition = true;
        } else if (const LogEvent *event = log.eventOfBoardNumber(value)) {
            result.run = event->number;
            result.boardNumber = value;
            result.outcome = RunLookup::Outcome::Found;
            return result;
        } else {
            result.byPosition = inLog;
        }
        if (inLog) {
            result.outcome = RunLookup::Outcome::Found;
            if (const LogEvent *event = log.eventOfRun(value))
                result.boardNumber = event->boardNumber;
        }
        return result;
    }

    DateInput read = readDate(text);
    if (!read.date.isValid()) {
        result.outcome = RunLookup::Outcome::Unreadable;
        return result;
    }
    result.byDate = true;
    result.outcome = RunLookup::Outcome::OutOfRange;
    if (!result.firstDate.isValid())
        return result;
    if (!read.hasYear) {
        // The year that puts the day within the log, the earliest if several.
        QDateTime placed;
        for (int year = result.firstDate.date().year(); year <= result.lastDate.date().year();
             ++year) {
            const QDateTime candidate = inYearOf(read.date, year);
            if (candidate.isValid() && candidate.date() >= result.firstDate.date() &&
                candidate <= result.lastDate) {
                placed = candidate;
                break;
            }
        }
        if (!placed.isValid()) {
            result.date = inYearOf(read.date, result.lastDate.date().year());
            return result;
        }
        read.date = placed;
    }
    result.date = read.date;
    // A day typed without a time still finds the log's first run of that day.
    if (read.date > result.lastDate || read.date.date() < result.firstDate.date())
        return result;
    for (const LogEvent &event : events) {
        const QDateTime date = runDate(start, event);
        if (date.isValid() && date >= read.date) {
            result.run = event.number;
            result.boardNumber = event.boardNumber;
            result.outcome = RunLookup::Outcome::Found;
            return result;
        }
    }
    return result;
}

RowSeries filterRows(const QStringList &labels, const QVector<double> &keys,
                     const QVector<double> &values, const RowFilter &filter)
{
    RowSeries out;
    QVector<int> newRow(labels.size(), -1);
    for (int i = 0; i < labels.size(); ++i) {
        if (i == 0 || filter.shows(labels.at(i))) {
            newRow[i] = int(out.labels.size());
            out.labels.append(labels.at(i));
        }
    }
    const int points = int(std::min(keys.size(), values.size()));
    for (int j = 0; j < points; ++j) {
        const int row = int(values.at(j));
        if (row < 1 || row >= labels.size() || newRow.at(row) < 0)
            continue;
        out.keys.append(keys.at(j));
        out.values.append(newRow.at(row));
        out.kept.append(j);
    }
    return out;
}
