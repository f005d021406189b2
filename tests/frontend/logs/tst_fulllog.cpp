// Full log parsing: line meanings, runs and blocks, dates, the end-date
// write-back, the series behind the graphs, and what a broken file costs.
#include "frontend/logs/fulllog.h"
#include "tests/frontend/logs/logtestutil.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

#include <limits>

namespace {
// The backward search the blocks are defined by, kept here as the reference
// for the one-pass version. An EVENT NUMBER line without a number starts
// no run.
QVector<LogBlock> referenceBlocks(const QStringList &records)
{
    QVector<LogBlock> blocks;
    int start = -1;
    for (int n = 0; n < records.size(); ++n) {
        int number = 0;
        if (!records.at(n).contains(QLatin1String("EVENT NUMBER")) ||
            !fulllogline::readEventNumber(records.at(n).toLatin1(), &number))
            continue;
        for (int k = n - 1; k >= 0; --k) {
            if (records.at(k).contains(QLatin1String("CMD"))) {
                blocks.append({start, k - 1});
                start = k;
                break;
            }
        }
    }
    blocks.append({start, int(records.size()) - 1});
    return blocks;
}

FullLog parsed(const QByteArray &content)
{
    FullLog log;
    log.parse(content);
    return log;
}
} // namespace

class TstFullLog : public QObject
{
    Q_OBJECT

private slots:
    void lineMeanings();
    void blocksAndNumbering();
    void blocksMatchBackwardSearch();
    void countWordDoesNotHideEvents();
    void parseKeepsDateAndFirmware();
    void exampleLog();
    void runDates();
    void timesNearThe32BitLimits();
    void endDateLine_data();
    void endDateLine();
    void writeBackReplacesFile();
    void seriesAndPadding();
    void badValuesAreCountedNotUsed();
    void longLineIsCutOnce();
    void bytesNormalizeAsText();
};

void TstFullLog::lineMeanings()
{
    using namespace fulllogline;
    QCOMPARE(timeValue(QStringLiteral("TIME: 00:01:05")), 105);
    QCOMPARE(timeValue(QStringLiteral("TIME: 16210")), 16210);
    QCOMPARE(timeValue(QStringLiteral("TIME: soon")), 0);
    QCOMPARE(commandText(QStringLiteral("CMD: 0C RX 12 34")), QStringLiteral(" 0C RX 12 34"));
    QCOMPARE(shortCommand(QStringLiteral(" 0C RX 12 34")), QStringLiteral(" 0C RX"));
    QCOMPARE(shortCommand(QStringLiteral(" 01 IN START")), QStringLiteral(" 01 IN START"));
    QCOMPARE(alarmText(QStringLiteral("ALARM: E3 OBST1")), QStringLiteral(" E3 OBST1"));
    QCOMPARE(eventText(QStringLiteral("EVENT: 47 TCA")), QStringLiteral(" 47 TCA"));

    QCOMPARE(classify(QStringLiteral("COUNT: PAR/TOT: 1/2")), Kind::Record);
    QCOMPARE(classify(QStringLiteral("FW: M7 2.08.3")), Kind::Firmware);
    QCOMPARE(classify(QStringLiteral("FW: M7 TIME")), Kind::Record); // record words win
    QCOMPARE(classify(QStringLiteral("DATE:2019-05-10T18:00:00")), Kind::Date);
    QCOMPARE(classify(QStringLiteral("event number 3")), Kind::Other); // case matters
    QCOMPARE(normalize(QStringLiteral("  CMD:\t0C   RX\r\n")), QStringLiteral("CMD: 0C RX"));
}

void TstFullLog::blocksAndNumbering()
{
    const QStringList records{
        "TIME: 999",         // 0  before any run: block 0
        "EVENT NUMBER: 7",   // 1  no CMD before it: no block
        "CMD: 01 IN START",  // 2  run 1 starts
        "EVENT NUMBER: 100", // 3
        "TIME: 1000",        // 4
        "EVENT: 40 FCA1",    // 5
        "CMD: 05 IN STOP",   // 6  inside run 1
        "COUNT: PAR/TOT: 1/2",
        "CMD: 0C RX 12 34",  // 8
        "EVENT NUMBER: 101", // 9  run 2 is empty: its start moves on to 8
        "ALARM: E3 OBST1",   // 10
        "EVENT NUMBER: 102", // 11 no CMD since 8: run 3 is 8..11, without TIME
        "CMD: 02 IN OPEN",   // 12 run 4 starts
        "EVENT NUMBER: 103", // 13
        "TIME: 1003",        // 14
    };
    const QVector<LogBlock> blocks = fulllogline::cutBlocks(records);
    QCOMPARE(blocks, referenceBlocks(records));
    QCOMPARE(blocks.size(), 5);
    QCOMPARE(blocks.at(0), (LogBlock{-1, 1}));
    QCOMPARE(blocks.at(1), (LogBlock{2, 7}));
    QCOMPARE(blocks.at(2), (LogBlock{8, 7}));
    QCOMPARE(blocks.at(3), (LogBlock{8, 11}));
    QCOMPARE(blocks.at(4), (LogBlock{12, 14}));

    const FullLog log = parsed(records.join(QLatin1Char('\n')).toLatin1());
    QCOMPARE(log.logBlocks, blocks);
    const QVector<LogEvent> &events = log.logEvents;
    QCOMPARE(events.size(), 2);
    QCOMPARE(events.at(0).number, 1);
    QCOMPARE(events.at(0).boardNumber, 100);
    QCOMPARE(events.at(0).time, 1);
    QCOMPARE(log.commandsOf(1), (QStringList{" 01 IN START", " 05 IN STOP"}));
    QCOMPARE(log.eventsOf(1), QStringList{" 40 FCA1"});
    QVERIFY(log.alarmsOf(1).isEmpty());
    // Run 2 is empty and run 3 has no TIME: both dropped, run 4 keeps its number.
    QCOMPARE(events.at(1).number, 4);
    QCOMPARE(events.at(1).boardNumber, 103);
    QCOMPARE(events.at(1).time, 4);
    QCOMPARE(log.eventOfBoardNumber(103), &events.at(1));
    QCOMPARE(log.eventOfRun(4), &events.at(1));
    QVERIFY(!log.eventOfRun(3) && !log.eventOfBoardNumber(102));
    // What the spreadsheet writes of each block: its own values, or the
    // last ones read before it.
    QCOMPARE(log.blocks.at(1).runNumber, 100);
    QCOMPARE(log.blocks.at(1).partialRuns, 1);
    QCOMPARE(log.blocks.at(2).runNumber, 100);
    QCOMPARE(log.blocks.at(3).runNumber, 102);
    QCOMPARE(log.blocks.at(3).time, 1000);

    QVERIFY(parsed(QByteArray()).logEvents.isEmpty());
    QCOMPARE(fulllogline::cutBlocks({}), (QVector<LogBlock>{{-1, -1}}));
}

void TstFullLog::blocksMatchBackwardSearch()
{
    const QStringList kinds{"CMD: 01 IN START", "EVENT NUMBER: 1", "TIME: 5",
                            "EVENT: 40 FCA1",   "ALARM: E1 PHOT",  "COUNT: PAR/TOT: 1/1",
                            "EVENT NUMBER: x"};
    QRandomGenerator random(20190510);
    for (int round = 0; round < 200; ++round) {
        QStringList records;
        const int length = int(random.bounded(40));
        for (int i = 0; i < length; ++i)
            records.append(kinds.at(int(random.bounded(int(kinds.size())))));
        QCOMPARE(fulllogline::cutBlocks(records), referenceBlocks(records));
    }
}

void TstFullLog::countWordDoesNotHideEvents()
{
    // Only the first matching meaning counts: EVENT NUMBER, TIME, CMD,
    // ALARM, EVENT. A COUNT line matches none of them and is skipped, but
    // the word inside another record does not take it out of its series.
    const QByteArray log = "FW: M7 2.08.3\n"
                           "CMD: 01 IN START\n"
                           "EVENT NUMBER: 1\n"
                           "TIME: 10\n"
                           "COUNT: PAR/TOT: 884/14911\n"
                           "EVENT: 1F COUNTER RESET\n"
                           "ALARM: E7 COUNTER FULL\n"
                           "CMD: 0C RX COUNT\n"
                           "EVENT: 40 FCA1\n"
                           "CMD: 02 IN OPEN\n"
                           "EVENT NUMBER: 2\n"
                           "TIME: 11\n"
                           "EVENT: 1F COUNTER RESET\n";
    const FullLog parsedLog = parsed(log);
    QCOMPARE(parsedLog.logEvents.size(), 2);
    QCOMPARE(parsedLog.eventsOf(1), (QStringList{" 1F COUNTER RESET", " 40 FCA1"}));
    QCOMPARE(parsedLog.alarmsOf(1), QStringList{" E7 COUNTER FULL"});
    QCOMPARE(parsedLog.commandsOf(1), (QStringList{" 01 IN START", " 0C RX COUNT"}));
    QCOMPARE(parsedLog.shortCommandsOf(1), (QStringList{" 01 IN START", " 0C RX"}));
    QCOMPARE(parsedLog.eventsOf(2), QStringList{" 1F COUNTER RESET"});

    // The events reach the plot of commands and events on both runs.
    const LogSeries series = buildSeries(parsedLog);
    QCOMPARE(series.eventLabels, (QStringList{"", " 1F COUNTER RESET", " 40 FCA1"}));
    QCOMPARE(series.eventX, (QVector<double>{1, 1, 2}));
    QCOMPARE(series.eventY, (QVector<double>{1, 2, 1}));
    QCOMPARE(series.alarmX, QVector<double>{1});
}

void TstFullLog::parseKeepsDateAndFirmware()
{
    FullLog log;
    log.firmwareLine = QStringLiteral("FW: previous board");
    log.parse("DATE:2019-05-10T18:00:00\r\n"
              "Header without meaning\r\n"
              "FW:  M7   2.08.3\r\n"
              "CMD: 01 IN START\r\n"
              "EVENT NUMBER: 1\r\n"
              "TIME: 1000\r\n"
              "DATE: 2019-05-11T18:00:00\r\n"); // blank after the colon: unreadable
    QCOMPARE(log.firmwareLine, QStringLiteral("FW: M7 2.08.3"));
    QVERIFY(!log.logDate.isValid()); // the later DATE line replaced the first
    QCOMPARE(log.recordCount, 3);
    QVERIFY(log.firstTimeSeen);
    QCOMPARE(log.firstTime, 1000);
    QCOMPARE(log.logEvents.size(), 1);

    log.parse("DATE:2019-05-10T18:00:00\nCMD: 01\nEVENT NUMBER: 1\nTIME: 7");
    QCOMPARE(log.logDate, QDateTime(QDate(2019, 5, 10), QTime(18, 0)));
    QVERIFY(log.firmwareLine.isEmpty()); // not carried over from the last log

    FullLog unread = log;
    QString error;
    QCOMPARE(unread.read(QStringLiteral("/nonexistent/full.log"), nullptr, &error),
             FullLog::ReadResult::CannotOpen);
    QVERIFY(!error.isEmpty());
    QCOMPARE(unread.logEvents.size(), log.logEvents.size());
}

void TstFullLog::exampleLog()
{
    FullLog log;
    QCOMPARE(log.read(QStringLiteral("full_log_example.log")), FullLog::ReadResult::Read);
    QVERIFY(log.logEvents.size() >= 200);
    for (int i = 0; i < log.logEvents.size(); ++i) {
        QCOMPARE(log.logEvents.at(i).number, i + 1);
        QCOMPARE(log.logEvents.at(i).boardNumber, 14911 + i);
        QVERIFY(!log.commandsOf(i + 1).isEmpty());
    }
    QVERIFY(log.skipped.isEmpty());
    QCOMPARE(log.logEvents.first().time, 0);
    QCOMPARE(log.firmwareLine, QStringLiteral("M7: FW:2.08.3 AS: 5000 PAR/TOT: 1203/15230"));
    QCOMPARE(log.logBlocks.size(), log.logEvents.size() + 1);
}

void TstFullLog::runDates()
{
    const QDateTime end(QDate(2019, 5, 10), QTime(18, 0));
    const QDateTime start = startDateFor(end, 1012 - 1000);
    QCOMPARE(start, QDateTime(QDate(2019, 5, 10), QTime(6, 0)));
    QCOMPARE(runDateLabel(start, 1003 - 1000), QStringLiteral("10/5 09:00"));
    QCOMPARE(runDateLabel(start, 30), QStringLiteral("11/5 12:00"));
}

void TstFullLog::timesNearThe32BitLimits()
{
    // TIME values are read as 32-bit numbers; their differences need more.
    FullLog log;
    log.parse("CMD: 01 IN START\nEVENT NUMBER: 1\nTIME: -2147483648\n"
              "CMD: 02 IN OPEN\nEVENT NUMBER: 2\nTIME: 2147483647\n" // -1 as an int
              "CMD: 03 IN PED\nEVENT NUMBER: 3\nTIME: -2147483647\n"
              "CMD: 04 IN STOP\nEVENT NUMBER: 4\nTIME: 2147483646\n");
    QCOMPARE(log.logEvents.size(), 4); // none taken for a run without TIME
    QCOMPARE(log.logEvents.at(0).time, Q_INT64_C(0));
    QCOMPARE(log.logEvents.at(1).time, Q_INT64_C(4294967295));
    QCOMPARE(log.logEvents.at(2).time, Q_INT64_C(1));
    QCOMPARE(log.logEvents.at(3).time, Q_INT64_C(4294967294));

    // The last run ends the log; runs half a million years before it have
    // no date rather than a wrapped one.
    const QDateTime end(QDate(2019, 5, 10), QTime(18, 0));
    const QDateTime start = startDateFor(end, log.logEvents.constLast().time);
    QCOMPARE(runDate(start, log.logEvents.at(3).time), end);
    QCOMPARE(runDate(start, log.logEvents.at(1).time), end.addSecs(3600));
    QVERIFY(!runDate(start, log.logEvents.at(0).time).isValid());
    QVERIFY(!runDate(start, log.logEvents.at(2).time).isValid());
    const LogSeries series = buildSeries(log);
    QCOMPARE(series.commandX, (QVector<double>{1, 2, 3, 4}));
    QStringList labels;
    for (const LogEvent &event : log.logEvents)
        labels.append(runDate(start, event).toString(QStringLiteral("d/M hh:mm")));
    QCOMPARE(labels, (QStringList{"", "10/5 19:00", "", "10/5 18:00"}));

    // Close together at the top of the range, and a TIME one hour before
    // the first: -1 is an hour, not a missing TIME.
    log.parse("CMD: 01\nEVENT NUMBER: 1\nTIME: 2147483640\n"
              "CMD: 02\nEVENT NUMBER: 2\nTIME: 2147483639\n"
              "CMD: 03\nEVENT NUMBER: 3\nTIME: 2147483647\n"
              "CMD: 04\nEVENT NUMBER: 4\nTIME: 2147483648\n"); // no 32-bit number
    QCOMPARE(log.logEvents.size(), 4);
    QCOMPARE(log.logEvents.at(1).time, Q_INT64_C(-1));
    QCOMPARE(log.logEvents.at(2).time, Q_INT64_C(7));
    // The run stays, undated, and the log ends at the last run that reads.
    QVERIFY(log.logEvents.at(3).hasTime && !log.logEvents.at(3).timeKnown);
    const QDateTime start7 = startDateFor(end, log.logEvents);
    QCOMPARE(start7, startDateFor(end, 7));
    QCOMPARE(runDateLabel(start7, log.logEvents.at(1).time), QStringLiteral("10/5 10:00"));
    QCOMPARE(runDate(start7, log.logEvents.at(2)), end);
    QVERIFY(!runDate(start7, log.logEvents.at(3)).isValid());

    // The plausible years are kept whole, and no date comes from no start.
    QVERIFY(runDate(QDateTime(QDate(1900, 1, 1), QTime(0, 0)), 0).isValid());
    QVERIFY(!runDate(QDateTime(QDate(1900, 1, 1), QTime(0, 0)), -1).isValid());
    QVERIFY(runDate(QDateTime(QDate(9999, 12, 31), QTime(23, 0)), 0).isValid());
    QVERIFY(!runDate(QDateTime(QDate(9999, 12, 31), QTime(23, 0)), 1).isValid());
    QVERIFY(!runDate(QDateTime(), 0).isValid());
    QVERIFY(!runDate(end, std::numeric_limits<qint64>::max() / 3600).isValid());
}

void TstFullLog::endDateLine_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QByteArray>("after");
    const QByteArray date = "DATE:2019-05-10T18:00:00\n";
    QTest::newRow("inserted") << QByteArray("FW: M7\r\nCMD: \xe9\r\n")
                              << date + QByteArray("FW: M7\r\nCMD: \xe9\r\n");
    QTest::newRow("replaced") << QByteArray("DATE:2001-01-01T00:00:00\r\nFW: M7\r\n\r\n")
                              << date + QByteArray("FW: M7\r\n\r\n");
    QTest::newRow("replaced unreadable")
        << QByteArray("xx DATE: junk\nCMD: 1") << date + QByteArray("CMD: 1");
    QTest::newRow("only later DATE line")
        << QByteArray("FW: M7\nDATE:2001-01-01T00:00:00\n")
        << date + QByteArray("FW: M7\nDATE:2001-01-01T00:00:00\n");
    QTest::newRow("empty file") << QByteArray() << date;
    QTest::newRow("single DATE line without end") << QByteArray("DATE:x") << date;
}

void TstFullLog::endDateLine()
{
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, after);
    QCOMPARE(withEndDateLine(before, QDateTime(QDate(2019, 5, 10), QTime(18, 0))), after);
}

void TstFullLog::writeBackReplacesFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("run.log"));
    const QByteArray body("FW: M7\r\nCMD: 0C RX 12 34\r\nEVENT NUMBER: 1\r\nTIME: 5\r\n\xff\xfe");
    QVERIFY(writeFile(path, body));
    const QDateTime first(QDate(2019, 5, 10), QTime(18, 0));
    QVERIFY(writeEndDate(path, first));
    QCOMPARE(readFile(path), QByteArray("DATE:2019-05-10T18:00:00\n") + body);

    // The second open reads the date back and replaces the line.
    FullLog log;
    QCOMPARE(log.read(path), FullLog::ReadResult::Read);
    QCOMPARE(log.logDate, first);
    QVERIFY(writeEndDate(path, first.addDays(1)));
    QCOMPARE(readFile(path), QByteArray("DATE:2019-05-11T18:00:00\n") + body);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("run.log")});

    const QString missing = dir.filePath(QStringLiteral("missing.log"));
    QVERIFY(!writeEndDate(missing, first));
    QVERIFY(!QFile::exists(missing));
}

void TstFullLog::seriesAndPadding()
{
    const FullLog log = parsed("CMD: 0C RX 12 34\nEVENT NUMBER: 11\nTIME: 7\n"
                               "EVENT: 40 FCA1\nEVENT: 47 TCA\n"
                               "CMD: 0C RX 5A 07\nEVENT NUMBER: 12\nTIME: 10\n"
                               "CMD: 05 IN STOP\nEVENT: 48 STOP\nALARM: E3 OBST1\n"
                               "CMD: 0D RX 00\nEVENT NUMBER: 13\nEVENT: 49 ONLY HERE\n"
                               "CMD: 0C RX 12 34\nEVENT NUMBER: 14\nTIME: 10\n"
                               "ALARM: E3 OBST1\nALARM: EB TLAV\n");
    const LogSeries s = buildSeries(log);
    // Run 3 has no TIME: its texts take no row.
    QCOMPARE(s.commandLabels, (QStringList{"", " 0C RX 12 34", " 0C RX 5A 07", " 05 IN STOP"}));
    QCOMPARE(s.commandShortLabels, (QStringList{"", " 0C RX", " 05 IN STOP"}));
    QCOMPARE(s.commandX, (QVector<double>{1, 2, 2, 4}));
    QCOMPARE(s.commandY, (QVector<double>{1, 2, 3, 1}));
    QCOMPARE(s.commandShortY, (QVector<double>{1, 1, 2, 1}));
    QCOMPARE(s.eventLabels, (QStringList{"", " 40 FCA1", " 47 TCA", " 48 STOP"}));
    QCOMPARE(s.eventX, (QVector<double>{1, 1, 2}));
    QCOMPARE(s.eventY, (QVector<double>{1, 2, 3}));
    QCOMPARE(s.alarmX, (QVector<double>{2, 4, 4}));
    QCOMPARE(s.alarmY, (QVector<double>{1, 1, 2}));
    QCOMPARE(s.keyMax(), 5);

    QStringList alarms = s.alarmLabels;
    padAlarmLabels(alarms, s.commandLabels);
    const int width = QStringLiteral(" 0C RX 12 34").size() + 5;
    QCOMPARE(alarms.size(), 3);
    for (const QString &label : alarms)
        QCOMPARE(label.size(), width);
    QCOMPARE(alarms.at(1), QStringLiteral(" E3 OBST1").rightJustified(width));
    QStringList longer{"", QString(20, QLatin1Char('x'))};
    padAlarmLabels(longer, {"", "abc"});
    QCOMPARE(longer, (QStringList{"        ", QString(20, QLatin1Char('x'))}));
    // A command row wider than an axis shows pads no further than that.
    QStringList padded{"", "E1"};
    padAlarmLabels(padded, {"", QString(5000, QLatin1Char('c'))});
    QCOMPARE(padded.at(1).size(), kAxisLabelChars + 5);

    LogSeries empty;
    empty.reset();
    QCOMPARE(empty.commandLabels, QStringList{QString()});
    QCOMPARE(empty.keyMax(), 1);
}

void TstFullLog::badValuesAreCountedNotUsed()
{
    // A first TIME past 32 bits and one with a NUL byte: neither becomes
    // hour 0 of the log; a run number that is no number starts no run.
    const FullLog log = parsed(QByteArray("CMD: 01\nEVENT NUMBER: 100\nTIME: 2147483648\n"
                                          "CMD: 02\nEVENT NUMBER: 101\nTIME: 1000\n"
                                          "EVENT NUMBER: abc\nEVENT: 40 FCA1\n"
                                          "CMD: 03\nEVENT NUMBER: 102\nTIME: 10") +
                               '\0' + "03\nCMD: 04\nEVENT NUMBER: 103\nTIME: 1012\n");
    QCOMPARE(log.logEvents.size(), 4);
    QVERIFY(log.firstTimeSeen);
    QCOMPARE(log.firstTime, 1000);
    QCOMPARE(log.logEvents.at(1).boardNumber, 101);
    QCOMPARE(log.eventsOf(2), QStringList{" 40 FCA1"}); // the phantom split nothing
    const QDateTime end(QDate(2019, 5, 10), QTime(18, 0));
    const QDateTime start = startDateFor(end, log.logEvents);
    QCOMPARE(runDate(start, log.logEvents.at(1)), end.addSecs(-12 * 3600));
    QVERIFY(!runDate(start, log.logEvents.at(0)).isValid());
    QVERIFY(!runDate(start, log.logEvents.at(2)).isValid());

    using Kind = SkippedValues::Kind;
    QCOMPARE(log.skipped.count(Kind::UnreadableTime), 2);
    QCOMPARE(log.skipped.count(Kind::PhantomRun), 1);
    QCOMPARE(log.skipped.entries().size(), 3);
    const SkippedValues::Entry &nul = log.skipped.entries().at(2);
    QCOMPARE(nul.line, 11);
    QCOMPARE(nul.raw, QStringLiteral("TIME: 10\\x0003"));
    QVERIFY(log.skipped.summary().contains(QLatin1String("TIME values that are not numbers: 2")));
}

void TstFullLog::longLineIsCutOnce()
{
    // One 30 MB line: read in linear time, cut to a label an axis and a
    // tooltip can take, counted once.
    const QByteArray huge(30 * 1024 * 1024, 'Z');
    QElapsedTimer timer;
    timer.start();
    const FullLog log = parsed("CMD: 01\nEVENT NUMBER: 1\nTIME: 5\nEVENT: 78 " + huge +
                               "\nCMD: 02\nEVENT NUMBER: 2\nTIME: 6\n");
    QVERIFY2(timer.elapsed() < 20000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(log.logEvents.size(), 2);
    const QString event = log.eventsOf(1).value(0);
    QCOMPARE(event.size(), fulllogline::kMaxLineChars + fulllogline::cutMark().size());
    QVERIFY(event.startsWith(QLatin1String(" 78 ZZZ")) && event.endsWith(fulllogline::cutMark()));
    QCOMPARE(log.skipped.count(SkippedValues::Kind::LongLine), 1);
    QVERIFY(log.skipped.entries().at(0).raw.size() <= SkippedValues::kMaxRawChars + 4);
}

void TstFullLog::bytesNormalizeAsText()
{
    // The byte form of the rules is the text form's, Latin-1 white space
    // (NEL, no-break space) included.
    QRandomGenerator random(20240305);
    const char alphabet[] = {' ', '\t', '\r', '\v', '\f', 'A', ':', '0', '\x85', '\xa0', '\x1c'};
    for (int round = 0; round < 500; ++round) {
        QByteArray line;
        const int length = int(random.bounded(20));
        for (int i = 0; i < length; ++i)
            line += alphabet[random.bounded(int(sizeof alphabet))];
        QByteArray bytes;
        fulllogline::normalizeBytes(line, bytes);
        QCOMPARE(QString::fromLatin1(bytes), QString::fromLatin1(line).simplified());
    }
    int value = 0;
    QVERIFY(fulllogline::readTime(QByteArrayView("TIME: +12"), &value) && value == 12);
    QVERIFY(!fulllogline::readTime(QByteArrayView("TIME: 1e3"), &value));
    QVERIFY(!fulllogline::readEventNumber(QByteArrayView("EVENT NUMBER:"), &value));
}

QTEST_GUILESS_MAIN(TstFullLog)
#include "tst_fulllog.moc"
