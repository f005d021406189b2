#include "firmware/flashplan.h"

#include <QTest>

namespace {
FlashPlan config(int sizeProgrKiB, int maxErase, bool eraseAll)
{
    protocol::BoardLayout c;
    c.startFlash = 0;
    c.startProgr = 2048;
    c.sizeFlash = 64;
    c.sizeProgr = sizeProgrKiB;
    c.maxErase = maxErase;
    return FlashPlan(c, eraseAll);
}

struct Run
{
    QList<int> percents;
    QList<quint32> written;
    QList<quint32> erased;
};

// Acknowledges every block, as a board that answers everything would.
Run runToEnd(FlashPlan plan)
{
    Run run;
    if (!plan.usesEraseAll()) {
        run.erased << plan.currentAddress();
        plan.firstPageErased();
    }
    for (int guard = 0; guard < 100000; ++guard) {
        run.written << plan.currentAddress();
        const FlashPlan::Step step = plan.acknowledge();
        if (step.newPercent >= 0)
            run.percents << step.newPercent;
        if (step.finished)
            return run;
        if (step.erasePage) {
            run.erased << step.eraseAddress;
            plan.pageErased();
        }
    }
    return run;
}
} // namespace

class TstFlashPlan : public QObject
{
    Q_OBJECT

private slots:
    void sixteenBlocksGiveTheirPercentages()
    {
        const Run run = runToEnd(config(1, 1024, false));
        QCOMPARE(run.percents,
                 (QList<int>{6, 12, 18, 25, 31, 37, 43, 50, 56, 62, 68, 75, 81, 87, 93, 100}));
        QCOMPARE(run.written.size(), 16);
        QCOMPARE(run.written.first(), 2048u);
        QCOMPARE(run.written.last(), 2048u + 15 * 64);
    }

    void manyBlocksPublishEachPercentOnce()
    {
        const Run run = runToEnd(config(62, -1, true));
        QCOMPARE(run.written.size(), 62 * 16);
        QList<int> expected;
        for (int p = 1; p <= 100; ++p)
            expected << p;
        QCOMPARE(run.percents, expected);
    }

    void blocksAreContiguousAndCoverTheArea()
    {
        const Run run = runToEnd(config(4, 1024, false));
        for (int i = 0; i < run.written.size(); ++i)
            QCOMPARE(run.written.at(i), 2048u + quint32(i) * 64);
        QCOMPARE(run.written.size(), 64);
    }

    void eraseSchedules_data()
    {
        QTest::addColumn<int>("maxErase");
        QTest::addColumn<bool>("eraseAll");
        QTest::addColumn<bool>("usesEraseAll");
        QTest::addColumn<QList<quint32>>("erased");
        QTest::newRow("erase-all board, erase-all asked") << -1 << true << true << QList<quint32>{};
        QTest::newRow("pages of 1 KiB")
            << 1024 << false << false << QList<quint32>{2048, 3072, 4096, 5120};
        QTest::newRow("pages of 1 KiB, erase-all asked")
            << 1024 << true << false << QList<quint32>{2048, 3072, 4096, 5120};
        QTest::newRow("erase-all board, pages asked")
            << -1 << false << false << QList<quint32>{2048};
        QTest::newRow("page not a block multiple")
            << 1000 << false << false << QList<quint32>{2048};
    }

    void eraseSchedules()
    {
        QFETCH(int, maxErase);
        QFETCH(bool, eraseAll);
        QFETCH(bool, usesEraseAll);
        QFETCH(QList<quint32>, erased);
        const FlashPlan plan(config(4, maxErase, eraseAll));
        QCOMPARE(plan.usesEraseAll(), usesEraseAll);
        QCOMPARE(runToEnd(plan).erased, erased);
    }

    void layoutProblems_data()
    {
        QTest::addColumn<qint64>("startProgr");
        QTest::addColumn<qint64>("sizeFlash");
        QTest::addColumn<qint64>("sizeProgr");
        QTest::addColumn<bool>("usable");
        QTest::newRow("usual") << qint64(2048) << qint64(64) << qint64(62) << true;
        QTest::newRow("exactly full") << qint64(0) << qint64(64) << qint64(64) << true;
        QTest::newRow("no flash size") << qint64(2048) << qint64(0) << qint64(62) << false;
        QTest::newRow("no programmable size") << qint64(2048) << qint64(64) << qint64(0) << false;
        QTest::newRow("negative size") << qint64(0) << qint64(-64) << qint64(1) << false;
        QTest::newRow("area past the image") << qint64(4096) << qint64(64) << qint64(62) << false;
        QTest::newRow("too large for 24 bits") << qint64(0) << qint64(16385) << qint64(1) << false;
        QTest::newRow("negative start") << qint64(-1024) << qint64(64) << qint64(1) << false;
        QTest::newRow("high flash") << qint64(0x08000800) << qint64(64) << qint64(62) << true;
    }

    void layoutProblems()
    {
        QFETCH(qint64, startProgr);
        QFETCH(qint64, sizeFlash);
        QFETCH(qint64, sizeProgr);
        QFETCH(bool, usable);
        protocol::BoardLayout c;
        c.startProgr = qint32(startProgr);
        c.sizeFlash = qint32(sizeFlash);
        c.sizeProgr = qint32(sizeProgr);
        QCOMPARE(FlashPlan::layoutProblem(c).isEmpty(), usable);
    }
};

QTEST_GUILESS_MAIN(TstFlashPlan)
#include "tst_flashplan.moc"
