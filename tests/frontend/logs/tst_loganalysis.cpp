// Counting alarms, finding a run by number or date, keeping chosen rows and
// the cached descriptions, on crafted logs.
#include "frontend/logs/descriptioncache.h"
#include "frontend/logs/fulllog.h"
#include "frontend/logs/loganalysis.h"
#include "tests/frontend/logs/logtestutil.h"

#include <QtTest>

namespace {
const QDateTime kEnd(QDate(2019, 5, 10), QTime(18, 0));

// Runs 1 (06:00), 2 (09:00), 3 (no TIME, dropped) and 4 (18:00) of 10 May.
const QByteArray kLog = "FW: M7 2.08.3\n"
                        "CMD: 01 IN START\nEVENT NUMBER: 1\nTIME: 1000\n"
                        "ALARM: E1 PHOT\nEVENT: 44 PHOT\nALARM: E1 PHOT\n"
                        "CMD: 0C RX 12 34\nEVENT NUMBER: 2\nTIME: 1003\nALARM: E3 OBST1\n"
                        "CMD: 01 IN START\nEVENT NUMBER: 3\nALARM: E3 OBST1\n"
                        "CMD: 02 IN OPEN\nEVENT NUMBER: 4\nTIME: 1012\n"
                        "ALARM: E3 OBST1\nALARM: E7 ENC\nALARM: E1 PHOT-B\n";

struct Parsed
{
    FullLog log;
    QDateTime start;
};

Parsed parse(const QByteArray &content)
{
    Parsed p;
    p.log.parse(content);
    p.start = startDateFor(kEnd, p.log.logEvents);
    return p;
}

QDateTime at(int hour, int minute = 0)
{
    return QDateTime(QDate(2019, 5, 10), QTime(hour, minute));
}
} // namespace

class TstLogAnalysis : public QObject
{
    Q_OBJECT

private slots:
    void alarmCounts();
    void runByNumber();
    void runByBoardNumber();
    void runByDate_data();
    void runByDate();
    void dateWithoutYearAcrossNewYear();
    void rowFilter();
    void descriptionsLookedUpOnce();
};

void TstLogAnalysis::alarmCounts()
{
    const Parsed p = parse(kLog);
    QCOMPARE(p.start, at(6));
    const QVector<AlarmCount> counts = countAlarms(p.log, p.start);
    QCOMPARE(counts.size(), 3);

    // E1 twice in run 1 and once, with another text, in run 4: two runs.
    const AlarmCount &e1 = counts.at(0);
    QCOMPARE(e1.code, QStringLiteral("E1"));
    QCOMPARE(e1.text, QStringLiteral("E1 PHOT"));
    QCOMPARE(e1.runs, 2);
    QCOMPARE(e1.occurrences, 3);
    QCOMPARE(e1.firstRun, 1);
    QCOMPARE(e1.firstDate, at(6));
    QCOMPARE(e1.lastRun, 4);
    QCOMPARE(e1.lastDate, at(18));

    // E3 of the dropped run 3 is not counted: that run has no date or row.
    const AlarmCount &e3 = counts.at(1);
    QCOMPARE(e3.code, QStringLiteral("E3"));
    QCOMPARE(e3.runs, 2);
    QCOMPARE(e3.occurrences, 2);
    QCOMPARE(e3.firstRun, 2);
    QCOMPARE(e3.firstDate, at(9));
    QCOMPARE(e3.lastRun, 4);

    const AlarmCount &e7 = counts.at(2);
    QCOMPARE(e7.code, QStringLiteral("E7"));
    QCOMPARE(e7.runs, 1);
    QCOMPARE(e7.firstRun, e7.lastRun);

    // A run whose date cannot be told keeps its counts without a date.
    const QVector<AlarmCount> undated = countAlarms(p.log, QDateTime());
    QCOMPARE(undated.at(0).runs, 2);
    QVERIFY(!undated.at(0).firstDate.isValid());
    QVERIFY(countAlarms(FullLog(), p.start).isEmpty());
}

void TstLogAnalysis::runByNumber()
{
    const Parsed p = parse(kLog);
    using Outcome = RunLookup::Outcome;
    RunLookup found = locateRun(QStringLiteral(" 2 "), p.log, p.start);
    QCOMPARE(found.outcome, Outcome::Found);
    QCOMPARE(found.run, 2);
    QVERIFY(!found.byDate);
    QCOMPARE(found.firstRun, 1);
    QCOMPARE(found.lastRun, 4);
    QCOMPARE(found.firstDate, at(6));
    QCOMPARE(found.lastDate, at(18));
    // Run 3 was dropped, but its place on the axis is still run 3.
    QCOMPARE(locateRun(QStringLiteral("3"), p.log, p.start).run, 3);

    for (const char *outside : {"0", "5", "999999999"}) {
        const RunLookup lookup = locateRun(QLatin1String(outside), p.log, p.start);
        QCOMPARE(lookup.outcome, Outcome::OutOfRange);
        QCOMPARE(lookup.lastRun, 4);
    }
    for (const char *unreadable : {"", "  ", "abc", "-2", "2.5", "31/2/2019", "1234567890"})
        QCOMPARE(locateRun(QLatin1String(unreadable), p.log, p.start).outcome, Outcome::Unreadable);
    QCOMPARE(locateRun(QStringLiteral("1"), FullLog(), p.start).outcome, Outcome::NoRuns);
}

void TstLogAnalysis::runByBoardNumber()
{
    // The board counts from 15204; the graphs from 1. A run number is the
    // board's, "#" picks a place in the graphs.
    const Parsed p = parse("CMD: 01\nEVENT NUMBER: 15204\nTIME: 1000\n"
                           "CMD: 02\nEVENT NUMBER: 15205\nTIME: 1003\nALARM: E4 X\n"
                           "CMD: 03\nEVENT NUMBER: 15206\nTIME: 1012\n");
    using Outcome = RunLookup::Outcome;
    RunLookup found = locateRun(QStringLiteral("15205"), p.log, p.start);
    QCOMPARE(found.outcome, Outcome::Found);
    QCOMPARE(found.run, 2);
    QCOMPARE(found.boardNumber, 15205);
    QVERIFY(!found.byPosition);
    QCOMPARE(found.firstBoardRun, 15204);
    QCOMPARE(found.lastBoardRun, 15206);

    found = locateRun(QStringLiteral("#3"), p.log, p.start);
    QCOMPARE(found.outcome, Outcome::Found);
    QCOMPARE(found.run, 3);
    QCOMPARE(found.boardNumber, 15206);
    QVERIFY(found.byPosition);
    // A plain number the board never counted, but a place in the graphs.
    found = locateRun(QStringLiteral("2"), p.log, p.start);
    QCOMPARE(found.outcome, Outcome::Found);
    QVERIFY(found.byPosition);
    QCOMPARE(found.boardNumber, 15205);

    const RunLookup missing = locateRun(QStringLiteral("15207"), p.log, p.start);
    QCOMPARE(missing.outcome, Outcome::OutOfRange);
    QCOMPARE(missing.run, 15207);
    QVERIFY(!missing.byPosition);
    QCOMPARE(locateRun(QStringLiteral("#4"), p.log, p.start).outcome, Outcome::OutOfRange);
    QCOMPARE(locateRun(QStringLiteral("#x"), p.log, p.start).outcome, Outcome::Unreadable);

    // Alarm counts name both numbers of a run.
    const QVector<AlarmCount> counts = countAlarms(p.log, p.start);
    QCOMPARE(counts.size(), 1);
    QCOMPARE(counts.at(0).firstRun, 2);
    QCOMPARE(counts.at(0).firstBoardRun, 15205);
    QCOMPARE(counts.at(0).lastBoardRun, 15205);
}

void TstLogAnalysis::runByDate_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("run"); // 0: outside the log

    QTest::newRow("exactly run 2") << "2019-05-10 09:00" << 2;
    QTest::newRow("just after run 2") << "2019-05-10 09:01" << 4;
    QTest::newRow("ISO") << "2019-05-10T06:00:00" << 1;
    QTest::newRow("first day, no time") << "10/5/2019" << 1;
    QTest::newRow("as the graphs print it") << "10/5 10:00" << 4;
    QTest::newRow("hour of one digit") << "10/5/2019 7:30" << 2;
    QTest::newRow("two-digit year") << "10.5.19 07:00" << 2;
    QTest::newRow("last run") << "2019-05-10 18:00" << 4;
    QTest::newRow("after the last run") << "2019-05-10 18:01" << 0;
    QTest::newRow("day before") << "2019-05-09 23:00" << 0;
    QTest::newRow("another year") << "10/5/2018" << 0;
    QTest::newRow("day without year outside") << "11/5" << 0;
}

void TstLogAnalysis::runByDate()
{
    QFETCH(QString, input);
    QFETCH(int, run);
    const Parsed p = parse(kLog);
    const RunLookup lookup = locateRun(input, p.log, p.start);
    QVERIFY(lookup.byDate);
    QVERIFY(lookup.date.isValid());
    if (run == 0) {
        QCOMPARE(lookup.outcome, RunLookup::Outcome::OutOfRange);
    } else {
        QCOMPARE(lookup.outcome, RunLookup::Outcome::Found);
        QCOMPARE(lookup.run, run);
    }
}

void TstLogAnalysis::dateWithoutYearAcrossNewYear()
{
    // Runs every 12 hours from 31 Dec 2019 00:00 to 2 Jan 2020 00:00.
    QByteArray content;
    for (int i = 0; i < 5; ++i)
        content += "CMD: 01\nEVENT NUMBER: " + QByteArray::number(i + 1) +
                   "\nTIME: " + QByteArray::number(12 * i) + '\n';
    FullLog events;
    events.parse(content);
    const QDateTime start(QDate(2019, 12, 31), QTime(0, 0));
    RunLookup lookup = locateRun(QStringLiteral("1/1 06:00"), events, start);
    QCOMPARE(lookup.outcome, RunLookup::Outcome::Found);
    QCOMPARE(lookup.date, QDateTime(QDate(2020, 1, 1), QTime(6, 0)));
    QCOMPARE(lookup.run, 4);
    lookup = locateRun(QStringLiteral("31/12"), events, start);
    QCOMPARE(lookup.run, 1);
    // No dates at all: a date cannot be placed.
    lookup = locateRun(QStringLiteral("1/1/2020"), events, QDateTime());
    QCOMPARE(lookup.outcome, RunLookup::Outcome::OutOfRange);
}

void TstLogAnalysis::rowFilter()
{
    const QStringList labels{"", "A", "B", "C"};
    const QVector<double> keys{1, 2, 3, 4, 5, 6};
    const QVector<double> values{1, 2, 3, 2, 0, 9}; // the last two lie on no row

    RowFilter filter;
    RowSeries all = filterRows(labels, keys, values, filter);
    QCOMPARE(all.labels, labels);
    QCOMPARE(all.keys, (QVector<double>{1, 2, 3, 4}));
    QCOMPARE(all.values, (QVector<double>{1, 2, 3, 2}));

    filter.active = true;
    filter.shown = {QStringLiteral("C"), QStringLiteral("B")};
    const RowSeries some = filterRows(labels, keys, values, filter);
    QCOMPARE(some.labels, (QStringList{"", "B", "C"}));
    QCOMPARE(some.keys, (QVector<double>{2, 3, 4}));
    QCOMPARE(some.values, (QVector<double>{1, 2, 1}));
    QCOMPARE(some.kept, (QVector<int>{1, 2, 3}));
    QVERIFY(filter.shows(QStringLiteral("B")));
    QVERIFY(!filter.shows(QStringLiteral("A")));

    // Nothing of this series chosen: only its separating row stays.
    filter.shown = {QStringLiteral("elsewhere")};
    const RowSeries none = filterRows(labels, keys, values, filter);
    QCOMPARE(none.labels, QStringList{QString()});
    QVERIFY(none.keys.isEmpty());
}

void TstLogAnalysis::descriptionsLookedUpOnce()
{
    DescriptionCache cache(stagedDatabase());
    using Kind = DescriptionCache::Kind;
    cache.preload(Kind::CommandOrEvent, {"0C", "40", "0C", "ZZ"}, QStringLiteral("EN"));
    QCOMPARE(cache.lookups(), 3);
    for (int i = 0; i < 100; ++i) {
        QCOMPARE(
            cache.description(Kind::CommandOrEvent, QStringLiteral("0C"), QStringLiteral("EN")),
            QStringLiteral("Step-by-step command from a radio transmitter"));
    }
    QCOMPARE(cache.description(Kind::CommandOrEvent, QStringLiteral("ZZ"), QStringLiteral("EN")),
             QStringLiteral(" "));
    QCOMPARE(cache.lookups(), 3);

    // Alarms and languages are apart; a code met first on hover is looked
    // up then, once.
    QCOMPARE(cache.description(Kind::Alarm, QStringLiteral("E1"), QStringLiteral("EN")),
             QStringLiteral("Photocell obstructed at start"));
    QCOMPARE(cache.description(Kind::Alarm, QStringLiteral("E1"), QStringLiteral("IT")),
             QStringLiteral("Fotocellula occupata alla partenza"));
    QCOMPARE(cache.description(Kind::Alarm, QStringLiteral("E1"), QStringLiteral("IT")),
             QStringLiteral("Fotocellula occupata alla partenza"));
    QCOMPARE(cache.lookups(), 5);
    // An alarm code is not a command code.
    QCOMPARE(cache.description(Kind::Alarm, QStringLiteral("0C"), QStringLiteral("EN")),
             QStringLiteral(" "));
    cache.clear();
    cache.description(Kind::Alarm, QStringLiteral("E1"), QStringLiteral("EN"));
    QCOMPARE(cache.lookups(), 7);

    // Without a database every code reads as undescribed, and is not asked
    // again.
    QTemporaryDir dir;
    DescriptionCache missing(dir.filePath(QStringLiteral("none.s3db")));
    QCOMPARE(missing.description(Kind::Alarm, QStringLiteral("E1"), QStringLiteral("EN")),
             QStringLiteral(" "));
    missing.description(Kind::Alarm, QStringLiteral("E1"), QStringLiteral("EN"));
    QCOMPARE(missing.lookups(), 1);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("none.s3db"))));
}

QTEST_GUILESS_MAIN(TstLogAnalysis)
#include "tst_loganalysis.moc"
