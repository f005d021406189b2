#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

// One run (one manoeuvre of the door) of a full log.
struct LogEvent
{
    int number = -1; // position of the run's block, from 1
    // Hours since the first TIME of the log. 64 bits: two 32-bit TIME
    // values can lie further apart than an int holds.
    qint64 time = 0;
    bool hasTime = false; // the block had a TIME line
    QStringList commands;
    QStringList commandsShort; // parallel to commands
    QStringList events;
    QStringList alarms;
};

// (first, last) index into the record lines; a block may be empty (last < first).
using LogBlock = QPair<int, int>;

// Pure helpers for the lines of a full log.
namespace fulllogline {
// Keywords of the record lines, tested as case-sensitive substrings.
inline const QLatin1String kEventNumber("EVENT NUMBER");
inline const QLatin1String kTime("TIME");
inline const QLatin1String kCmd("CMD");
inline const QLatin1String kAlarm("ALARM");
inline const QLatin1String kCount("COUNT");
inline const QLatin1String kEvent("EVENT");

enum class Kind
{
    Record,
    Firmware,
    Date,
    Other
};

QString normalize(const QString &line);
Kind classify(const QString &line);

// Decimal value of a TIME line with every "TIME", ":" and blank removed; 0
// when the rest does not read ("TIME: 00:01:05" reads as 105).
int timeValue(const QString &line);
// " 0C RX 12 34" from "CMD: 0C RX 12 34".
QString commandText(const QString &line);
// The command text up to and including its first "RX"; the whole text when
// there is none, so wired inputs keep their full name.
QString shortCommand(const QString &commandText);
QString alarmText(const QString &line);
QString eventText(const QString &line);
// The date of a "DATE:" line; invalid when it does not read.
QDateTime dateOf(const QString &line);

// A run starts at the last CMD line before its EVENT NUMBER line and ends
// before the next run's start. Block 0 is whatever precedes the first run.
QVector<LogBlock> cutBlocks(const QStringList &records);
// One event per block from 1 on that has both an EVENT NUMBER and a TIME
// line; dropped runs keep their number used up.
QVector<LogEvent> buildEvents(const QStringList &records, const QVector<LogBlock> &blocks,
                              qint64 firstTime);
} // namespace fulllogline

// What the parse of a full log keeps.
struct FullLog
{
    QStringList logRecords;
    QString firmwareLine;
    QDateTime logDate;
    int firstTime = 0;
    bool firstTimeSeen = false;
    QVector<LogBlock> logBlocks;
    QVector<LogEvent> logEvents;

    // False, with the content unchanged, when the file cannot be opened.
    bool read(const QString &path);
    // The same from text already in memory.
    void parse(const QByteArray &content);
};

// Dates of the runs: the log ends at `end`, the last run's time (hours)
// tells how far back the first run lies.
QDateTime startDateFor(const QDateTime &end, qint64 lastRunTime);
// Invalid, so shown as no date, when the run would lie outside the years
// 1900 to 9999: a TIME line far off the others cannot date a real run, and
// neither the spreadsheet nor the DATE line holds such a date.
QDateTime runDate(const QDateTime &start, qint64 time);
QString runDateLabel(const QDateTime &start, qint64 time);

// The data behind the two graphs of a full log. Label lists start with the
// empty row ""; the Y lists hold indices into them.
struct LogSeries
{
    QStringList commandLabels, commandShortLabels, eventLabels, alarmLabels;
    QVector<double> commandX, commandY, commandShortY;
    QVector<double> eventX, eventY;
    QVector<double> alarmX, alarmY;
    QVector<double> timeX;
    QStringList timeLabels, alarmTimeLabels;

    // Empties everything and puts back the "" rows.
    void reset();
    // Upper bound of the key axes: the last command run plus one.
    int keyMax() const;
    // Date label of the first command or event at `run`, or "" when none.
    QString timeLabelAt(int run) const;

    QHash<int, int> firstTimeIndex; // run -> first index into timeX
};

LogSeries buildSeries(const QVector<LogEvent> &events, const QDateTime &start);
// Right-aligns the alarm rows to the widest command row plus five, so the
// value axes of both plots take about the same width.
void padAlarmLabels(QStringList &alarmLabels, const QStringList &commandLabels);

// The log file with its first line set to "DATE:<end>": an existing DATE
// line is replaced, otherwise one is put in front. All other bytes stay.
QByteArray withEndDateLine(const QByteArray &content, const QDateTime &end);
// Writes that back so that an interruption leaves either the old or the new
// file, never a truncated one. False when it could not be written.
bool writeEndDate(const QString &path, const QDateTime &end);
