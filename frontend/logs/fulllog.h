#pragma once

#include "frontend/logs/skippedvalues.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <atomic>

// One run (one manoeuvre of the door) of a full log that the graphs show:
// a block that has its EVENT NUMBER line and a TIME line.
struct LogEvent
{
    int number = -1;      // position of the run's block, from 1: the graphs' run
    int boardNumber = -1; // the board's own EVENT NUMBER of the run
    // Hours since the first TIME of the log. 64 bits: two 32-bit TIME
    // values can lie further apart than an int holds.
    qint64 time = 0;
    bool hasTime = false;   // the block had a TIME line
    bool timeKnown = false; // and one of them read as a number
};

// (first, last) index into the record lines; a block may be empty (last < first).
using LogBlock = QPair<int, int>;

// A command, event or alarm line of a run, as an index into the texts of
// its kind. A line holding several of the words is one item per word for
// the spreadsheet; the graphs show only the one its meaning picks.
struct LogItem
{
    enum class Kind : quint8
    {
        Command,
        Event,
        Alarm
    };

    quint32 text = 0; // into FullLog::commandTexts, eventTexts or alarmTexts
    quint32 packed = 0;

    static LogItem make(Kind kind, quint32 text, quint32 shortText, bool inGraphs);
    Kind kind() const { return Kind(packed >> 30); }
    bool inGraphs() const { return (packed >> 29) & 1U; }
    // Commands only: the index of the short text in FullLog::shortCommandTexts.
    quint32 shortText() const { return packed & 0x1FFFFFFFU; }
};

// What a block carries besides its lines, as the spreadsheet writes it: the
// last TIME, EVENT NUMBER and COUNT values read up to its end, carried on
// from earlier blocks where it has none of its own.
struct LogBlockInfo
{
    int firstItem = 0;
    int itemEnd = 0;
    int time = 0;           // TIME as written
    bool timeKnown = false; // a TIME that reads has been seen by then
    int runNumber = 0;      // EVENT NUMBER as written
    int partialRuns = -1;
    int totalRuns = -1;
};

// Pure helpers for the lines of a full log. Lines are text of one byte per
// character (Latin-1); the byte forms are what the parser runs on, the text
// forms the same rules for a line already in a QString.
namespace fulllogline {
// Keywords of the record lines, tested as case-sensitive substrings.
inline const QLatin1String kEventNumber("EVENT NUMBER");
inline const QLatin1String kTime("TIME");
inline const QLatin1String kCmd("CMD");
inline const QLatin1String kAlarm("ALARM");
inline const QLatin1String kCount("COUNT");
inline const QLatin1String kEvent("EVENT");

// Characters of a line kept for display. A board writes lines of a few
// dozen characters; 4096 keeps anything a person could still read in a
// tooltip or a cell, and bounds what one broken line (a file of zeros, a
// log glued to a binary) can cost: a 30 MB line would otherwise become a
// 30 MB label that every replot measures.
inline constexpr int kMaxLineChars = 4096;
// What a cut text ends with.
QString cutMark();
// The text cut to kMaxLineChars with the mark, or as it is.
QString cutForDisplay(const QString &text);

enum class Kind
{
    Record,
    Firmware,
    Date,
    Other
};

// White space (Latin-1's, as QString::simplified() knows it) trimmed at both
// ends and squeezed to one blank inside. The byte form appends to `out`.
QString normalize(const QString &line);
void normalizeBytes(QByteArrayView line, QByteArray &out);
Kind classify(const QString &line);

// Decimal value of a TIME line with every "TIME", ":" and blank removed
// ("TIME: 00:01:05" reads as 105); false when the rest is no 32-bit number.
bool readTime(QByteArrayView line, int *value);
bool readTime(const QString &line, int *value);
// 0 when it does not read.
int timeValue(const QString &line);
// The same for an EVENT NUMBER line.
bool readEventNumber(QByteArrayView line, int *value);
// The two numbers of a COUNT line as the spreadsheet reads them: every
// "COUNT", "PAR/TOT", ":" and blank removed, then the text before the first
// "/" and the rest; 0 for a number that does not read.
void readCount(QByteArrayView line, int *partial, int *total);
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
// before the next run's start; an EVENT NUMBER line without a number starts
// none. Block 0 is whatever precedes the first run.
QVector<LogBlock> cutBlocks(const QStringList &records);
} // namespace fulllogline

// Progress and cancel of a read running on another thread.
struct LogReadControl
{
    std::atomic<qint64> bytesRead{0};
    std::atomic<bool> cancel{false};
};

// The one parse of a full log that the graphs, the single-run graph and the
// spreadsheet all read. Nothing of the file is kept but what they need: a
// run is a few numbers, a line an index into the distinct texts, so a log
// takes a fraction of its size in memory.
class FullLog
{
public:
    enum class ReadResult
    {
        Read,
        CannotOpen,
        Cancelled
    };

    QString firmwareLine; // cut for display
    QDateTime logDate;
    int firstTime = 0; // the first TIME that reads
    bool firstTimeSeen = false;
    int recordCount = 0; // record lines
    QVector<LogBlock> logBlocks;
    QVector<LogBlockInfo> blocks; // parallel to logBlocks
    QVector<LogEvent> logEvents;  // the runs the graphs show, by position
    QVector<LogItem> items;
    // Distinct texts of each kind, in order of first appearance, entry 0 "".
    QStringList commandTexts, shortCommandTexts, eventTexts, alarmTexts;
    SkippedValues skipped;

    // Distinct texts of one kind the graphs can take: a row each. A real
    // board has a few dozen; a file of random text would otherwise ask for
    // millions of rows. Lines beyond it are counted as skipped.
    static constexpr int kMaxDistinctTexts = 20000;

    // Reads the file in pieces, so the file itself is never held whole. The
    // content stays unchanged unless it was read.
    ReadResult read(const QString &path, LogReadControl *control = nullptr,
                    QString *error = nullptr);
    // The same from text already in memory.
    void parse(const QByteArray &content);

    // The run at position `run`, or none.
    const LogEvent *eventOfRun(int run) const;
    // The first run whose EVENT NUMBER is `boardNumber`, or none.
    const LogEvent *eventOfBoardNumber(int boardNumber) const;
    // The texts of a block's items that the graphs show.
    QStringList commandsOf(int block) const;
    QStringList shortCommandsOf(int block) const;
    QStringList eventsOf(int block) const;
    QStringList alarmsOf(int block) const;
    const QStringList &textsOf(LogItem::Kind kind) const;

private:
    friend class FullLogParser;
    QStringList itemTexts(int block, LogItem::Kind kind, bool shortText) const;
    QVector<QPair<int, int>> m_byBoardNumber; // (EVENT NUMBER, index into logEvents), sorted
};

// Dates of the runs: the log ends at `end`, the last dated run's time
// (hours) tells how far back the first run lies.
QDateTime startDateFor(const QDateTime &end, qint64 lastRunTime);
QDateTime startDateFor(const QDateTime &end, const QVector<LogEvent> &events);
// Invalid, so shown as no date, when the run would lie outside the years
// 1900 to 9999: a TIME line far off the others cannot date a real run, and
// neither the spreadsheet nor the DATE line holds such a date.
QDateTime runDate(const QDateTime &start, qint64 time);
QDateTime runDate(const QDateTime &start, const LogEvent &event);
QString runDateLabel(const QDateTime &start, qint64 time);

// The data behind the two graphs of a full log. Label lists start with the
// empty row ""; the Y lists hold indices into them.
struct LogSeries
{
    QStringList commandLabels, commandShortLabels, eventLabels, alarmLabels;
    QVector<double> commandX, commandY, commandShortY;
    QVector<double> eventX, eventY;
    QVector<double> alarmX, alarmY;

    // Empties everything and puts back the "" rows.
    void reset();
    // Upper bound of the key axes: the last command run plus one.
    int keyMax() const;
};

// Which row of the graphs each text of the log takes: labels in order of
// first appearance over the runs shown, and per text of the log its row
// (-1 for a text only runs without a TIME line have).
struct SeriesRows
{
    QStringList commandLabels, commandShortLabels, eventLabels, alarmLabels;
    QVector<int> commandRow, shortRow, eventRow, alarmRow;
    int lastCommandRun = 0;
};
SeriesRows seriesRows(const FullLog &log);

LogSeries buildSeries(const FullLog &log);
// Right-aligns the alarm rows to the widest command row plus five, so the
// value axes of both plots take about the same width. Rows wider than an
// axis shows count as that wide.
void padAlarmLabels(QStringList &alarmLabels, const QStringList &commandLabels);
// Characters of a row label an axis shows; the tooltip keeps the whole text.
inline constexpr int kAxisLabelChars = 48;

// The log file with its first line set to "DATE:<end>": an existing DATE
// line is replaced, otherwise one is put in front. All other bytes stay.
QByteArray withEndDateLine(const QByteArray &content, const QDateTime &end);
// Writes that back so that an interruption leaves either the old or the new
// file, never a truncated one; the file is copied through in pieces, never
// held whole. False when it could not be written.
bool writeEndDate(const QString &path, const QDateTime &end);
