#include "frontend/logs/fulllog.h"

#include <QDebug>
#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <limits>

namespace {
using fulllogline::kAlarm;
using fulllogline::kCmd;
using fulllogline::kCount;
using fulllogline::kEvent;
using fulllogline::kEventNumber;
using fulllogline::kTime;
const QLatin1String kFirmware("FW:");
const QLatin1String kDate("DATE:");
constexpr qint64 kSecondsPerHour = 3600;
constexpr qint64 kMaxHours = std::numeric_limits<qint64>::max() / kSecondsPerHour;
constexpr int kFirstPlausibleYear = 1900;
constexpr int kLastPlausibleYear = 9999;
constexpr int kAlarmPadding = 5;

QString stripped(QString line, QLatin1String keyword)
{
    line.remove(keyword);
    line.remove(QLatin1Char(':'));
    return line;
}

int indexIn(QHash<QString, int> &index, QStringList &labels, const QString &text)
{
    auto it = index.constFind(text);
    if (it != index.constEnd())
        return it.value();
    labels.append(text);
    index.insert(text, labels.size() - 1);
    return labels.size() - 1;
}

QHash<QString, int> indexOf(const QStringList &labels)
{
    QHash<QString, int> index;
    for (int i = 0; i < labels.size(); ++i)
        index.insert(labels.at(i), i);
    return index;
}
} // namespace

namespace fulllogline {

QString normalize(const QString &line)
{
    return line.simplified();
}

Kind classify(const QString &line)
{
    for (QLatin1String keyword : {kEventNumber, kTime, kCmd, kAlarm, kCount, kEvent}) {
        if (line.contains(keyword))
            return Kind::Record;
    }
    if (line.contains(kFirmware))
        return Kind::Firmware;
    if (line.contains(kDate))
        return Kind::Date;
    return Kind::Other;
}

int timeValue(const QString &line)
{
    QString text = line;
    text.remove(kTime);
    text.remove(QLatin1Char(':'));
    text.remove(QLatin1Char(' '));
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

QString commandText(const QString &line)
{
    return stripped(line, kCmd);
}

QString shortCommand(const QString &commandText)
{
    const int rx = commandText.indexOf(QLatin1String("RX"));
    return rx < 0 ? commandText : commandText.left(rx + 2);
}

QString alarmText(const QString &line)
{
    return stripped(line, kAlarm);
}

QString eventText(const QString &line)
{
    return stripped(line, kEvent);
}

QDateTime dateOf(const QString &line)
{
    QString text = line;
    text.remove(kDate);
    return QDateTime::fromString(text, Qt::ISODate);
}

QVector<LogBlock> cutBlocks(const QStringList &records)
{
    // The nearest CMD line before each EVENT NUMBER line is simply the last
    // one seen so far, so one forward pass gives the blocks.
    QVector<LogBlock> blocks;
    int start = -1;
    int lastCmd = -1;
    for (int n = 0; n < records.size(); ++n) {
        const QString &line = records.at(n);
        if (line.contains(kEventNumber) && lastCmd >= 0) {
            blocks.append({start, lastCmd - 1});
            start = lastCmd;
        }
        if (line.contains(kCmd))
            lastCmd = n;
    }
    blocks.append({start, int(records.size()) - 1});
    return blocks;
}

QVector<LogEvent> buildEvents(const QStringList &records, const QVector<LogBlock> &blocks,
                              qint64 firstTime)
{
    QVector<LogEvent> events;
    for (int i = 1; i < blocks.size(); ++i) {
        LogEvent event;
        const int first = std::max(blocks.at(i).first, 0);
        const int last = std::min<int>(blocks.at(i).second, records.size() - 1);
        for (int n = first; n <= last; ++n) {
            const QString &line = records.at(n);
            if (line.contains(kEventNumber)) {
                event.number = i;
            } else if (line.contains(kTime)) {
                event.time = qint64(timeValue(line)) - firstTime;
                event.hasTime = true;
            } else if (line.contains(kCmd)) {
                const QString text = commandText(line);
                event.commands.append(text);
                event.commandsShort.append(shortCommand(text));
            } else if (line.contains(kAlarm)) {
                event.alarms.append(alarmText(line));
            } else if (line.contains(kEvent)) {
                // COUNT has no meaning here and must not be tested first:
                // "EVENT: 1F COUNTER RESET" is an event like any other.
                event.events.append(eventText(line));
            }
        }
        if (event.number != -1 && event.hasTime)
            events.append(std::move(event));
    }
    return events;
}

} // namespace fulllogline

bool FullLog::read(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    parse(file.readAll());
    return true;
}

void FullLog::parse(const QByteArray &content)
{
    using namespace fulllogline;
    logRecords.clear();
    // A log without a firmware line must not show the previous log's one.
    firmwareLine.clear();
    firstTimeSeen = false;
    firstTime = 0;
    logDate = QDateTime();

    qsizetype pos = 0;
    while (pos < content.size()) {
        qsizetype end = content.indexOf('\n', pos);
        if (end < 0)
            end = content.size();
        const QString line = normalize(QString::fromLatin1(content.constData() + pos, end - pos));
        pos = end + 1;
        switch (classify(line)) {
        case Kind::Record:
            if (!firstTimeSeen && line.contains(kTime)) {
                firstTime = timeValue(line);
                firstTimeSeen = true;
            }
            logRecords.append(line);
            break;
        case Kind::Firmware:
            firmwareLine = line;
            break;
        case Kind::Date:
            logDate = dateOf(line);
            break;
        case Kind::Other:
            break;
        }
    }
    logBlocks = cutBlocks(logRecords);
    logEvents = buildEvents(logRecords, logBlocks, firstTime);
}

QDateTime startDateFor(const QDateTime &end, qint64 lastRunTime)
{
    // Two 32-bit TIME values are at most 2^32 hours apart, so the seconds
    // fit in 64 bits with room to spare.
    return end.addSecs(-lastRunTime * kSecondsPerHour);
}

QDateTime runDate(const QDateTime &start, qint64 time)
{
    if (time > kMaxHours || time < -kMaxHours)
        return QDateTime();
    const QDateTime date = start.addSecs(time * kSecondsPerHour);
    if (!date.isValid() || date.date().year() < kFirstPlausibleYear ||
        date.date().year() > kLastPlausibleYear)
        return QDateTime();
    return date;
}

QString runDateLabel(const QDateTime &start, qint64 time)
{
    return runDate(start, time).toString(QStringLiteral("d/M hh:mm"));
}

void LogSeries::reset()
{
    *this = LogSeries();
    commandLabels.append(QString());
    commandShortLabels.append(QString());
    eventLabels.append(QString());
    alarmLabels.append(QString());
}

int LogSeries::keyMax() const
{
    if (commandX.isEmpty())
        return 1;
    return int(*std::max_element(commandX.cbegin(), commandX.cend()) + 1);
}

QString LogSeries::timeLabelAt(int run) const
{
    const auto it = firstTimeIndex.constFind(run);
    return it == firstTimeIndex.constEnd() ? QString() : timeLabels.value(it.value());
}

LogSeries buildSeries(const QVector<LogEvent> &events, const QDateTime &start)
{
    LogSeries s;
    s.reset();
    QHash<QString, int> commandIndex = indexOf(s.commandLabels);
    QHash<QString, int> shortIndex = indexOf(s.commandShortLabels);
    QHash<QString, int> eventIndex = indexOf(s.eventLabels);
    QHash<QString, int> alarmIndex = indexOf(s.alarmLabels);
    const auto addTime = [&s](int run, const QString &date) {
        if (!s.firstTimeIndex.contains(run))
            s.firstTimeIndex.insert(run, s.timeX.size());
        s.timeX.append(run);
        s.timeLabels.append(date);
    };
    for (const LogEvent &event : events) {
        const QString date = runDateLabel(start, event.time);
        for (int j = 0; j < event.commands.size(); ++j) {
            const int shortRow =
                indexIn(shortIndex, s.commandShortLabels, event.commandsShort.value(j));
            const int row = indexIn(commandIndex, s.commandLabels, event.commands.at(j));
            s.commandX.append(event.number);
            addTime(event.number, date);
            s.commandY.append(row);
            s.commandShortY.append(shortRow);
        }
        for (const QString &text : event.events) {
            const int row = indexIn(eventIndex, s.eventLabels, text);
            s.eventX.append(event.number);
            addTime(event.number, date);
            s.eventY.append(row);
        }
        for (const QString &text : event.alarms) {
            const int row = indexIn(alarmIndex, s.alarmLabels, text);
            s.alarmX.append(event.number);
            s.alarmTimeLabels.append(date);
            s.alarmY.append(row);
        }
    }
    return s;
}

void padAlarmLabels(QStringList &alarmLabels, const QStringList &commandLabels)
{
    qsizetype longest = 0;
    for (const QString &label : commandLabels)
        longest = std::max(longest, label.size());
    const int width = int(longest) + kAlarmPadding;
    for (QString &label : alarmLabels) {
        if (label.size() < width)
            label = label.rightJustified(width, QLatin1Char(' '));
    }
}

QByteArray withEndDateLine(const QByteArray &content, const QDateTime &end)
{
    const QByteArray dateLine =
        QStringLiteral("%1%2\n")
            .arg(QLatin1String("DATE:"), end.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")))
            .toLatin1();
    const qsizetype firstEnd = content.indexOf('\n');
    const qsizetype firstLength = firstEnd < 0 ? content.size() : firstEnd + 1;
    QByteArray result = dateLine;
    if (content.left(firstLength).contains("DATE:"))
        result.append(content.mid(firstLength));
    else
        result.append(content);
    return result;
}

bool writeEndDate(const QString &path, const QDateTime &end)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = in.readAll();
    in.close();

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    const QByteArray updated = withEndDateLine(content, end);
    if (out.write(updated) != updated.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}
