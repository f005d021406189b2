// The plot widgets on their own: series layout, top-axis ticks, the marker
// and the two dialogs.
#include "frontend/logs/datetimedialog.h"
#include "frontend/logs/fulllog.h"
#include "frontend/logs/graphdialog.h"
#include "frontend/logs/plotgraph.h"
#include "frontend/logs/plotpoint.h"

#include <QDateTimeEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {
QVector<double> keysOf(QCPGraph *graph)
{
    QVector<double> keys;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        keys.append(it->key);
    return keys;
}

QVector<double> valuesOf(QCPGraph *graph)
{
    QVector<double> values;
    for (auto it = graph->data()->constBegin(); it != graph->data()->constEnd(); ++it)
        values.append(it->value);
    return values;
}

QMap<double, QString> textTicks(QCPAxis *axis)
{
    auto ticker = axis->ticker().dynamicCast<QCPAxisTickerText>();
    return ticker ? ticker->ticks() : QMap<double, QString>();
}

// The ticks and labels the value axis draws as the plot is now.
QMap<double, QString> drawnTicks(QCustomPlot &plot, QCPAxis *axis)
{
    plot.replot();
    QMap<double, QString> ticks;
    for (int i = 0; i < axis->tickVector().size(); ++i)
        ticks.insert(axis->tickVector().at(i), axis->tickVectorLabels().value(i));
    return ticks;
}
} // namespace

class TstPlotGraph : public QObject
{
    Q_OBJECT

private slots:
    void construction();
    void seriesLayout();
    void rowLabelsFitTheAxis();
    void keyRange();
    void runAxisLimits();
    void runAxisTicks();
    void denseRowsDrawOnePointPerColumn();
    void topAxisTicks_data();
    void topAxisTicks();
    void marker();
    void dialogs();
};

void TstPlotGraph::construction()
{
    PlotGraph plot(nullptr, QStringLiteral("Events"), QStringLiteral("Commands"));
    QCOMPARE(int(plot.interactions()), 0x5F);
    QCOMPARE(plot.xAxis->label(), QStringLiteral("Events"));
    QCOMPARE(plot.yAxis->label(), QStringLiteral("Commands"));
    QCOMPARE(plot.xAxis->labelFont().family(), QStringLiteral("Helvetica"));
    QCOMPARE(plot.yAxis->labelFont().pointSize(), 12);
    QVERIFY(plot.yAxis->labelFont().bold());
    QVERIFY(qobject_cast<QCPTextElement *>(plot.plotLayout()->element(0, 0)));
    QVERIFY(plot.titleText().isEmpty());
    QCOMPARE(plot.graphCursor(), 0);
    QCOMPARE(plot.labelOffset(), 0);

    plot.setAxisLabels(QStringLiteral("Run Number"), QStringLiteral("Alarms"));
    QCOMPARE(plot.xAxis->label(), QStringLiteral("Run Number"));
    plot.setTitleText(QStringLiteral("Graph event 3"));
    QCOMPARE(plot.titleText(), QStringLiteral("Graph event 3"));
}

void TstPlotGraph::rowLabelsFitTheAxis()
{
    // Thirty alarm rows in a plot as low as the alarms plot on a 1366x768
    // screen, one of them a 300-character text.
    QStringList labels{QString()};
    for (int i = 1; i <= 30; ++i)
        labels.append(QStringLiteral(" E%1 ALARM").arg(i));
    labels[12] = QStringLiteral(" E12 ") + QString(300, QLatin1Char('x'));
    PlotGraph plot(nullptr, QString(), QString());
    plot.resize(1300, 200);
    plot.show();
    QVERIFY(QTest::qWaitForWindowExposed(&plot));
    plot.plotSeries(labels, {1}, {1}, {}, {}, 10, PlotGraph::alarmStyle());
    const QMap<double, QString> ticks = drawnTicks(plot, plot.yAxis);
    QCOMPARE(ticks.size(), 31); // a tick on every row
    // Labels far enough apart that their letters do not overlap, the long
    // one cut.
    const int textHeight = QFontMetrics(plot.yAxis->tickLabelFont()).ascent();
    double previous = -1e9;
    int shown = 0;
    for (auto it = ticks.cbegin(); it != ticks.cend(); ++it) {
        if (it.value().isEmpty())
            continue;
        ++shown;
        const double at = plot.yAxis->coordToPixel(it.key());
        QVERIFY(std::abs(at - previous) >= textHeight);
        previous = at;
        QVERIFY(it.value().size() <= kAxisLabelChars + 5);
    }
    QVERIFY(shown >= 5 && shown < 30);
    QCOMPARE(RowAxisTicker::axisText(labels.at(12)).size(), kAxisLabelChars + 1);
    // The plot keeps the whole text for its tooltips; the axis stays narrow.
    QCOMPARE(plot.valueLabels().at(12), labels.at(12));
    QVERIFY(ticks.value(12).endsWith(QChar(0x2026)));
    QVERIFY2(plot.axisRect()->width() > 800, qPrintable(QString::number(plot.axisRect()->width())));

    // Room enough: every row labelled.
    plot.resize(1300, 1200);
    QCoreApplication::processEvents();
    int all = 0;
    for (const QString &label : drawnTicks(plot, plot.yAxis))
        all += label.isEmpty() ? 0 : 1;
    QCOMPARE(all, 30);
}

void TstPlotGraph::seriesLayout()
{
    PlotGraph plot(nullptr, QString(), QString());
    // Two commands rows, one unused row, then one events row.
    plot.plotSeries({"", " 0C RX", " 01 IN START", " unused"}, {1, 2, 2, 5}, {1, 2, 1, 1},
                    {1, 2, 2, 5}, {"a", "b", "b", "e"}, 6, PlotGraph::commandStyle());
    plot.plotSeries({"", " 40 FCA1"}, {1, 5}, {1, 1}, {1, 2, 2, 5}, {"a", "b", "b", "e"}, 6,
                    PlotGraph::eventStyle());

    QCOMPARE(plot.graphCount(), 4);
    QCOMPARE(plot.graphCursor(), 4);
    QCOMPARE(plot.labelOffset(), 6);
    QCOMPARE(plot.valueLabels(),
             (QStringList{"", " 0C RX", " 01 IN START", " unused", "", " 40 FCA1"}));
    QCOMPARE(keysOf(plot.graph(0)), (QVector<double>{1, 2, 5}));
    QCOMPARE(valuesOf(plot.graph(0)), (QVector<double>{1, 1, 1}));
    QCOMPARE(keysOf(plot.graph(1)), QVector<double>{2});
    QCOMPARE(valuesOf(plot.graph(1)), QVector<double>{2});
    QVERIFY(plot.graph(2)->data()->isEmpty());
    QCOMPARE(keysOf(plot.graph(3)), (QVector<double>{1, 5}));
    QCOMPARE(valuesOf(plot.graph(3)), (QVector<double>{5, 5}));
    QCOMPARE(plot.graph(0)->lineStyle(), QCPGraph::lsNone);
    QCOMPARE(plot.graph(3)->scatterStyle().shape(), QCPScatterStyle::ssCross);
    QCOMPARE(plot.graph(0)->scatterStyle().brush().color(), QColor(Qt::yellow));

    // One value-axis row per label, top to bottom in series order.
    QCOMPARE(plot.yAxis->range(), QCPRange(0, 6));
    plot.resize(600, 400);
    const QMap<double, QString> rows = drawnTicks(plot, plot.yAxis);
    QCOMPARE(rows.size(), 6);
    QCOMPARE(rows.value(5), QStringLiteral(" 40 FCA1"));
    QCOMPARE(rows.value(4), QString());
    const QMap<double, QString> top = textTicks(plot.xAxis2);
    QCOMPARE(top.value(2), QStringLiteral("b"));
    QCOMPARE(top.value(5), QStringLiteral("e"));
    QCOMPARE(plot.axisRect()->rangeDrag(), Qt::Horizontal);
    QCOMPARE(plot.axisRect()->rangeZoom(), Qt::Horizontal);

    plot.resetSeries();
    plot.clearGraphs();
    QCOMPARE(plot.graphCursor(), 0);
    QVERIFY(plot.valueLabels().isEmpty());
    plot.plotSeries({"", "E3"}, {7}, {1}, {7}, {"d"}, 8, PlotGraph::alarmStyle());
    QCOMPARE(valuesOf(plot.graph(0)), QVector<double>{1});
    QCOMPARE(plot.graph(0)->scatterStyle().brush().color(), QColor(Qt::red));
}

void TstPlotGraph::keyRange()
{
    PlotGraph plot(nullptr, QString(), QString());
    plot.plotSeries({""}, {}, {}, {}, {}, 42, PlotGraph::commandStyle());
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 42));
    QCOMPARE(plot.xAxis2->range(), QCPRange(0, 42));
    QCOMPARE(plot.graphCount(), 0);
    QCOMPARE(plot.valueLabels(), QStringList{QString()});
    plot.plotSeries({""}, {}, {}, {}, {}, 251, PlotGraph::commandStyle());
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 100));
}

// The key axis stays within [0, keyMax]: drags stop at the ends, zooming
// out stops at the whole log, and limits apply again after the next plot.
void TstPlotGraph::runAxisLimits()
{
    PlotGraph plot(nullptr, QString(), QString());
    plot.resize(600, 300);
    plot.plotSeries({"", "A"}, {1, 250}, {1, 1}, {}, {}, 251, PlotGraph::commandStyle());
    QCOMPARE(plot.keyLimits(), QCPRange(0, 251));
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 100));

    plot.xAxis->setRange(-30, 70);
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 100));
    plot.xAxis->setRange(200, 300);
    QCOMPARE(plot.xAxis->range(), QCPRange(151, 251));
    plot.xAxis->setRange(-10, 400);
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 251));
    plot.xAxis->setRange(20.5, 30.5);
    QCOMPARE(plot.xAxis->range(), QCPRange(20.5, 30.5));

    // The wheel zooms out around the pointer; the range ends at the log.
    plot.xAxis->setRange(0, 200);
    plot.xAxis->scaleRange(4, 180);
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 251));
    // A drag to the left by the mouse stops at run 0.
    plot.xAxis->setRange(10, 60);
    plot.replot();
    QTest::mousePress(&plot, Qt::LeftButton, Qt::NoModifier, QPoint(200, 150));
    QTest::mouseMove(&plot, QPoint(500, 150));
    QTest::mouseRelease(&plot, Qt::LeftButton, Qt::NoModifier, QPoint(500, 150));
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 50));

    // A shorter log brings its own limits.
    plot.resetSeries();
    plot.clearGraphs();
    plot.plotSeries({"", "A"}, {3}, {1}, {}, {}, 12, PlotGraph::commandStyle());
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 12));
    plot.xAxis->setRange(5, 40);
    QCOMPARE(plot.xAxis->range(), QCPRange(0, 12));
}

void TstPlotGraph::runAxisTicks()
{
    PlotGraph plot(nullptr, QString(), QString());
    plot.resize(600, 300);
    plot.plotSeries({"", "A"}, {1, 5}, {1, 1}, {}, {}, 200000, PlotGraph::commandStyle());
    for (const QCPRange &range : {QCPRange(0, 3), QCPRange(0, 7), QCPRange(10, 33),
                                  QCPRange(0, 200000), QCPRange(1234.5, 1261.25)}) {
        plot.xAxis->setRange(range);
        plot.replot();
        const QVector<double> ticks = plot.xAxis->tickVector();
        const QVector<QString> labels = plot.xAxis->tickVectorLabels();
        QVERIFY2(!ticks.isEmpty(), qPrintable(QString::number(range.upper)));
        for (int i = 0; i < ticks.size(); ++i) {
            QCOMPARE(ticks.at(i), std::round(ticks.at(i)));
            QCOMPARE(labels.at(i), QString::number(qint64(ticks.at(i))));
        }
    }
    // Three runs in view: every run a tick, not halves.
    plot.xAxis->setRange(0, 3);
    plot.replot();
    QCOMPARE(plot.xAxis->tickVector(), (QVector<double>{0, 1, 2, 3}));
    // Far out the labels stay plain numbers ("100000", not "1e+05").
    plot.xAxis->setRange(0, 200000);
    plot.replot();
    QVERIFY(plot.xAxis->tickVectorLabels().contains(QStringLiteral("100000")));
}

// A row seen from far off: every pixel column that holds a point of the row
// still gets one, and no column gets more.
void TstPlotGraph::denseRowsDrawOnePointPerColumn()
{
    PlotGraph plot(nullptr, QString(), QString());
    plot.resize(800, 300);
    QVector<double> dense;
    for (int run = 1; run <= 100000; ++run)
        dense.append(run);
    const QVector<double> rare{7, 50000, 99999};
    QVector<double> keys = dense + rare;
    QVector<double> rows(dense.size(), 1);
    rows += QVector<double>(rare.size(), 2);
    plot.plotSeries({"", "dense", "rare"}, keys, rows, {}, {}, 100001, PlotGraph::commandStyle());
    plot.xAxis->setRange(0, 100001);
    plot.replot();

    const auto columnsOf = [&plot](const QVector<double> &runs) {
        QSet<int> columns;
        for (double run : runs)
            columns.insert(int(std::floor(plot.xAxis->coordToPixel(run))));
        return columns;
    };
    auto *denseRow = qobject_cast<RunRowGraph *>(plot.graph(0));
    auto *rareRow = qobject_cast<RunRowGraph *>(plot.graph(1));
    QVERIFY(denseRow && rareRow);
    QVector<double> drawn;
    for (const QCPGraphData &point : denseRow->pointsToDraw())
        drawn.append(point.key);
    QCOMPARE(drawn.size(), columnsOf(drawn).size());
    QCOMPARE(columnsOf(drawn), columnsOf(dense));
    QVERIFY(drawn.size() <= plot.axisRect()->width() + 2);
    QVector<double> drawnRare;
    for (const QCPGraphData &point : rareRow->pointsToDraw())
        drawnRare.append(point.key);
    QCOMPARE(drawnRare, rare);

    // Close up every point is drawn.
    plot.xAxis->setRange(40, 60);
    plot.replot();
    QSet<double> close;
    for (const QCPGraphData &point : denseRow->pointsToDraw())
        close.insert(point.key);
    for (int run = 40; run <= 60; ++run)
        QVERIFY(close.contains(run));

    // The stamped points look like the library's own: the rare row's point at
    // run 50000 is drawn where the library would draw it.
    plot.xAxis->setRange(49990, 50010);
    plot.replot();
    const QImage screen = plot.grab().toImage();
    const QImage exported = plot.toPixmap(plot.width(), plot.height()).toImage();
    const QPoint at(int(plot.xAxis->coordToPixel(50000)), int(plot.yAxis->coordToPixel(2)));
    QCOMPARE(screen.pixelColor(at), exported.pixelColor(at));
    QCOMPARE(screen.pixelColor(at), QColor(Qt::yellow));
}

void TstPlotGraph::topAxisTicks_data()
{
    QTest::addColumn<double>("lo");
    QTest::addColumn<double>("hi");
    QTest::addColumn<QVector<double>>("ticks");
    // Just below 10 per tick, so the step comes from the upper branch: 8.
    QTest::newRow("0..100") << 0.0 << 100.0 << QVector<double>{0,  8,  16, 24, 32, 40, 48,
                                                               56, 64, 72, 80, 88, 96, 104};
    // Step 3.5: halves round away from zero.
    QTest::newRow("0..37") << 0.0 << 37.0
                           << QVector<double>{0, 4, 7, 11, 14, 18, 21, 25, 28, 32, 35, 39};
    QTest::newRow("120..880") << 120.0 << 880.0
                              << QVector<double>{120, 180, 240, 300, 360, 420, 480,
                                                 540, 600, 660, 720, 780, 840, 900};
    QTest::newRow("empty") << 5.0 << 5.0 << QVector<double>{};
    QTest::newRow("inverted") << 9.0 << 1.0 << QVector<double>{};
}

void TstPlotGraph::topAxisTicks()
{
    QFETCH(double, lo);
    QFETCH(double, hi);
    QFETCH(QVector<double>, ticks);
    QCOMPARE(runTickPositions(lo, hi, 10), ticks);
}

void TstPlotGraph::marker()
{
    PlotGraph plot(nullptr, QString(), QString());
    plot.resize(400, 300);
    plot.xAxis->setRange(0, 100);
    plot.yAxis->setRange(0, 10);
    plot.replot();
    auto *point = new PlotPoint(&plot, 5);
    QSignalSpy moved(point, &PlotPoint::moved);
    point->setVisible(false);
    QVERIFY(!point->visible() && !point->selectable());
    point->setVisible(true);
    QVERIFY(point->visible() && point->selectable());

    point->move(40, 3);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(moved.at(0).at(0).toPointF(), QPointF(40, 3));
    point->move(41, 4, false);
    QCOMPARE(moved.count(), 1);
    QCOMPARE(point->position(), QPointF(41, 4));

    // With Shift held the point keeps to the axis it is closer to moving
    // along: here the horizontal distance from the anchor is the larger.
    point->setAnchor(QPointF(0, 0));
    point->onShiftStateChanged(true);
    point->move(90, 1);
    QCOMPARE(moved.constLast().at(0).toPointF(), QPointF(90, 0));

    QSignalSpy activated(point, &PlotPoint::activated);
    QSignalSpy disactivated(point, &PlotPoint::disactivated);
    point->setActive(true);
    QVERIFY(point->selected());
    point->setActive(false);
    QCOMPARE(activated.count(), 1);
    QCOMPARE(disactivated.count(), 1);
}

void TstPlotGraph::dialogs()
{
    GraphDialog graph;
    QCOMPARE(graph.windowTitle(), QStringLiteral("Single Event Graph"));
    QCOMPARE(graph.size(), QSize(640, 480));
    QVERIFY(!graph.windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    QCOMPARE(graph.singleEventGraph()->objectName(), QStringLiteral("singleEventGraph"));
    QCOMPARE(graph.btnPrevGraph()->parent(), graph.singleEventGraph());
    QCOMPARE(graph.btnPrevGraph()->geometry(), QRect(9, 7, 44, 44));
    QCOMPARE(graph.btnNextGraph()->geometry(), QRect(567, 8, 44, 44));
    QCOMPARE(graph.btnNextGraph()->iconSize(), QSize(32, 32));
    QVERIFY(graph.btnNextGraph()->text().isEmpty());

    DateTimeDialog date;
    QCOMPARE(date.windowTitle(), QStringLiteral("Enter Log date"));
    QCOMPARE(date.size(), QSize(369, 152));
    QCOMPARE(date.dateTimeEdit()->objectName(), QStringLiteral("dateTimeEdit"));
    const QDateTime when(QDate(2019, 5, 10), QTime(18, 0));
    date.setDateTime(when);
    QCOMPARE(date.dateTime(), when);
    QSignalSpy accepted(&date, &QDialog::accepted);
    QSignalSpy rejected(&date, &QDialog::rejected);
    date.okButton()->click();
    date.cancelButton()->click();
    QCOMPARE(accepted.count(), 1);
    QCOMPARE(rejected.count(), 1);
}

QTEST_MAIN(TstPlotGraph)
#include "tst_plotgraph.moc"
