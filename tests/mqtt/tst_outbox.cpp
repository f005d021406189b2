#include "mqtt/outbox.h"

#include <QTest>

namespace {
const QString kResult = QStringLiteral("OUT/result");
const QString kError = QStringLiteral("OUT/error");
const QString kPerc = QStringLiteral("OUT/perc");

OutboxPolicy policy(int capacity = OutboxPolicy::kDefaultCapacity,
                    qsizetype maxBytes = OutboxPolicy::kDefaultMaxBytes)
{
    OutboxPolicy p;
    p.keptTopics = {kResult, kError};
    p.latestOnlyTopics = {kPerc};
    p.capacity = capacity;
    p.maxBytes = maxBytes;
    return p;
}

// "topic=payload" of each waiting message, oldest first.
QStringList waiting(const Outbox &box)
{
    QStringList out;
    for (const Outbox::Message &m : box.waiting())
        out << m.topic + QLatin1Char('=') + QString::fromLatin1(m.payload);
    return out;
}
} // namespace

class OutboxTest : public QObject
{
    Q_OBJECT

private slots:
    void keepsOnlyThePolicysTopics()
    {
        Outbox box(policy());
        QVERIFY(box.keep({kResult, "OK"}));
        QVERIFY(!box.keep({QStringLiteral("OUT/other"), "x"}));
        QVERIFY(!box.keep({QStringLiteral("OUT/result/sub"), "x"}));
        QCOMPARE(waiting(box), QStringList{"OUT/result=OK"});

        // An empty policy, the front end's, keeps nothing at all.
        Outbox none;
        QVERIFY(!none.keep({kResult, "OK"}));
        QVERIFY(!none.hasWaiting());
    }

    void progressIsThinnedToItsLatestInPlaceOfArrival()
    {
        Outbox box(policy());
        box.keep({kPerc, "10"});
        box.keep({kError, "port gone"});
        box.keep({kPerc, "20"});
        box.keep({kPerc, "30"});
        box.keep({kResult, "ERROR"});
        // Outcomes stay in full and in order; the newest progress value
        // sits where it was published, relative to the outcomes.
        QCOMPARE(waiting(box),
                 (QStringList{"OUT/error=port gone", "OUT/perc=30", "OUT/result=ERROR"}));
        // Outcomes on one topic are never thinned.
        box.keep({kResult, "OK"});
        QCOMPARE(box.waiting().size(), 4);
    }

    void boundsDropProgressFirstThenTheOldest()
    {
        Outbox box(policy(3));
        box.keep({kPerc, "50"});
        box.keep({kResult, "1"});
        box.keep({kResult, "2"});
        box.keep({kResult, "3"});
        QCOMPARE(waiting(box), (QStringList{"OUT/result=1", "OUT/result=2", "OUT/result=3"}));
        QCOMPARE(box.droppedCount(), 1);
        box.keep({kResult, "4"});
        QCOMPARE(waiting(box), (QStringList{"OUT/result=2", "OUT/result=3", "OUT/result=4"}));
        QCOMPARE(box.droppedCount(), 2);

        // Bytes count as well: topic plus payload.
        const qsizetype each = kResult.size() + 10;
        Outbox small(policy(100, 2 * each));
        QVERIFY(small.keep({kResult, QByteArray(10, 'a')}));
        QVERIFY(small.keep({kResult, QByteArray(10, 'b')}));
        QVERIFY(small.keep({kResult, QByteArray(10, 'c')}));
        QCOMPARE(small.waiting().size(), 2);
        QCOMPARE(small.waiting().constFirst().payload, QByteArray(10, 'b'));
        // A message larger than the whole bound is refused, nothing dropped.
        QVERIFY(!small.keep({kResult, QByteArray(2 * each, 'x')}));
        QCOMPARE(small.waiting().size(), 2);

        Outbox zero(policy(0));
        QVERIFY(!zero.keep({kResult, "OK"}));
    }

    void unwrittenMessagesGoBackInFrontWhenTheConnectionEnds()
    {
        Outbox box(policy());
        box.keep({kResult, "A"});
        box.keep({kResult, "B"});
        // A connection takes both, then the library writes only A.
        box.sent(7, box.takeFirst());
        box.sent(8, box.takeFirst());
        QVERIFY(!box.hasWaiting());
        box.written(7);
        QCOMPARE(box.unwrittenCount(), 1);
        // Published while the connection was already dead, not yet noticed.
        box.sent(9, {kPerc, "40"});
        box.keep({kPerc, "60"});
        box.keep({kResult, "C"});
        box.connectionLost();
        QCOMPARE(box.unwrittenCount(), 0);
        // B first, as it was first published; the stale 40 gives way to 60.
        QCOMPARE(waiting(box), (QStringList{"OUT/result=B", "OUT/perc=60", "OUT/result=C"}));
        box.connectionLost();
        QCOMPARE(box.waiting().size(), 3);
    }

    void writtenCoversEveryEarlierMessage()
    {
        Outbox box(policy());
        box.sent(1, {kResult, "1"});
        box.sent(2, {kResult, "2"});
        box.sent(3, {kResult, "3"});
        // An id the outbox never saw (a message of another topic) changes
        // nothing.
        box.written(42);
        QCOMPARE(box.unwrittenCount(), 3);
        box.written(2);
        QCOMPARE(box.unwrittenCount(), 1);
        box.connectionLost();
        QCOMPARE(waiting(box), QStringList{"OUT/result=3"});
    }
};

QTEST_GUILESS_MAIN(OutboxTest)
#include "tst_outbox.moc"
