#pragma once

#include "frontend/logs/fulllog.h"

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>

// What a technician asks of a full log besides the graphs themselves: how
// often an alarm came and since when, where a run or a date lies, and the
// rows of only some codes.

// The code of a row label or an alarm text: its first word ("E1" of
// " E1 PHOT", "0C" of " 0C RX").
QString rowCode(const QString &label);

// One alarm code over the whole log.
struct AlarmCount
{
    QString code;
    QString text;        // the alarm's text where it first came, trimmed
    int runs = 0;        // runs that had it, each counted once
    int occurrences = 0; // alarm lines: a run may report it more than once
    int firstRun = 0;    // positions, as the graphs count runs
    int lastRun = 0;
    int firstBoardRun = 0; // the board's EVENT NUMBER of those runs
    int lastBoardRun = 0;
    QDateTime firstDate; // invalid when the run's date is not known
    QDateTime lastDate;
};

// Per alarm code, most runs first (then by code). Dates as the graphs give
// them, counted from `start`.
QVector<AlarmCount> countAlarms(const FullLog &log, const QDateTime &start);

// Where "go to" input lands: the board's run number (its EVENT NUMBER, as
// the file, the short log and the spreadsheet give it), "#" and a position
// in the graphs, or a date, which picks the first run at or after it. A
// plain number that is no run of the board but a position in the log is
// taken as that position.
struct RunLookup
{
    enum class Outcome
    {
        Found,
        OutOfRange, // a number or date outside the log
        Unreadable, // neither a number nor a date
        NoRuns
    };
    Outcome outcome = Outcome::NoRuns;
    bool byDate = false;
    bool byPosition = false; // "#" typed, or a number only a position matched
    int run = 0;             // position, when found; the number typed otherwise
    int boardNumber = -1;    // of the run found, when known
    QDateTime date;          // the date read, when byDate
    int firstRun = 0;        // the log's span, for the message
    int lastRun = 0;
    int firstBoardRun = 0;
    int lastBoardRun = 0;
    QDateTime firstDate;
    QDateTime lastDate;
};

// Dates are read as "2019-05-10 14:30", "10/5/2019 14:30", "10.5.2019", and
// as the graphs print them, "10/5 14:30", whose year is the one that puts
// the date inside the log. A time may be left out (midnight).
RunLookup locateRun(const QString &input, const FullLog &log, const QDateTime &start);

// Which rows of a plot are shown: all, or only those whose label was chosen.
struct RowFilter
{
    bool active = false;
    QSet<QString> shown;

    bool shows(const QString &label) const { return !active || shown.contains(label); }
};

// One series with only the rows the filter shows. Row 0 (the empty row that
// separates the series) always stays; values are renumbered to the new
// rows. `kept` lists the indices of the points kept, for lists that run
// parallel to the points.
struct RowSeries
{
    QStringList labels;
    QVector<double> keys;
    QVector<double> values;
    QVector<int> kept;
};
RowSeries filterRows(const QStringList &labels, const QVector<double> &keys,
                     const QVector<double> &values, const RowFilter &filter);
