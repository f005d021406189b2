// One plot of the graph page with its marker, time axis, context menu, axis
// restriction and run picking, on a plot of its own (no window).
#include "frontend/logs/plotgraph.h"
#include "frontend/logs/plotpoint.h"
#include "frontend/ui/plotpanel.h"

#include <QMenu>
#include <QSignalSpy>
#include <QTranslator>
#include <QtTest>

namespace {

// Two rows: runs 2, 5 and 9 of "A", run 5 of "B".
void plotSample(PlotGraph &plot)
{
    plot.plotSeries({"", "A", "B"}, {2, 5, 9, 5}, {1, 1, 1, 2}, {2, 5, 9}, {"x", "y", "z"}, 10,
                    PlotGraph::commandStyle());
}

QStringList menuTexts(const QWidget &plot, bool enabledOnly)
{
    QStringList texts;
    for (const QMenu *menu : plot.findChildren<QMenu *>()) {
        if (!menu->isVisible())
            continue;
        for (const QAction *action : menu->actions()) {
            if (!action->isSeparator() && (!enabledOnly || action->isEnabled()))
                texts << action->text();
        }
    }
    return texts;
}

void closeMenus(const QWidget &plot)
{
    for (QMenu *menu : plot.findChildren<QMenu *>())
        menu->close();
}

QPoint pixelOf(const PlotGraph &plot, double key, double value)
{
    return QPoint(int(plot.xAxis->coordToPixel(key)), int(plot.yAxis->coordToPixel(value)));
}

} // namespace

class TstPlotPanel : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<PlotGraph> m_plot;
    std::unique_ptr<PlotPanel> m_panel;
    int m_plotted = 0;

private slots:
    void init()
    {
        m_plot = std::make_unique<PlotGraph>(nullptr, QStringLiteral("Run"), QString());
        m_plot->resize(600, 400);
        m_plot->show();
        m_panel = std::make_unique<PlotPanel>(m_plot.get());
        // Wired as the window wires its plots.
        PlotPanel *panel = m_panel.get();
        connect(m_plot.get(), &QCustomPlot::mousePress, panel, &PlotPanel::mousePress);
        connect(m_plot.get(), &QCustomPlot::mouseDoubleClick, panel, &PlotPanel::mousePress);
        connect(m_plot.get(), &QCustomPlot::mouseWheel, panel, &PlotPanel::mouseWheel);
        m_plotted = 0;
        m_panel->setPlotter([this](PlotGraph &plot) {
            ++m_plotted;
            QCOMPARE(plot.graphCount(), 0); // handed over empty
            QVERIFY(plot.valueLabels().isEmpty());
            plotSample(plot);
        });
        m_panel->replotAll();
        m_plot->replot();
    }
    void cleanup()
    {
        m_panel.reset();
        m_plot.reset();
    }

    void menuFollowsState()
    {
        QCOMPARE(m_plot->contextMenuPolicy(), Qt::CustomContextMenu);
        m_plot->graph(1)->setSelection(QCPDataSelection(m_plot->graph(1)->data()->dataRange()));
        m_panel->enableTime();
        QVERIFY(m_panel->timeShown());
        QVERIFY(m_plot->xAxis2->visible());
        m_panel->showContextMenu(QPoint(10, 10));
        QCOMPARE(menuTexts(*m_plot, true), (QStringList{"Replot all graph", "Remove selected graph",
                                                        "Disable Time", "Fit all"}));
        closeMenus(*m_plot);

        QTranslator italian;
        const QString qm =
            qEnvironmentVariable("VELMO_STAGE_DIR") + "/translations/velmofrontend_it.qm";
        QVERIFY2(italian.load(qm), qPrintable(qm));
        QCoreApplication::installTranslator(&italian);
        m_panel->showContextMenu(QPoint(10, 10));
        const QStringList texts = menuTexts(*m_plot, false);
        QCoreApplication::removeTranslator(&italian);
        closeMenus(*m_plot);
        QCOMPARE(texts, (QStringList{"Ridisegna tutti i grafici", "Rimuovi il grafico selezionato",
                                     "Abilita il tempo", "Disabilita il tempo", "Adatta tutto"}));
    }

    void replotUndoesEverythingButTheTimeAxis()
    {
        m_panel->enableTime();
        m_plot->graph(0)->setSelection(QCPDataSelection(m_plot->graph(0)->data()->dataRange()));
        m_panel->colourSelection();
        QCOMPARE(m_plot->graph(0)->scatterStyle().pen().color(), QColor(Qt::blue));
        m_panel->removeSelectedGraphs();
        QCOMPARE(m_plot->graphCount(), 1);
        m_panel->marker()->setVisible(true);

        m_panel->replotAll();
        QCOMPARE(m_plotted, 2);
        QCOMPARE(m_plot->graphCount(), 2);
        QCOMPARE(m_plot->valueLabels(), (QStringList{"", "A", "B"}));
        QCOMPARE(m_plot->graph(0)->scatterStyle().pen().color(), QColor(Qt::red));
        QVERIFY(!m_panel->marker()->visible());
        QVERIFY(m_panel->timeShown());
        m_panel->disableTime();
        QVERIFY(!m_plot->xAxis2->visible());
        QVERIFY(!m_panel->timeShown());
    }

    // Dragging (press) and zooming (wheel) follow the axis the user selected;
    // with none selected they stay as plotted, horizontal.
    void pressAndWheelFollowSelectedAxis()
    {
        QCPAxisRect *rect = m_plot->axisRect();
        QTest::mousePress(m_plot.get(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
        QTest::mouseRelease(m_plot.get(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
        QCOMPARE(rect->rangeDrag(), Qt::Horizontal);

        m_plot->yAxis->setSelectedParts(QCPAxis::spAxis);
        QTest::mousePress(m_plot.get(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
        QTest::mouseRelease(m_plot.get(), Qt::LeftButton, Qt::NoModifier, QPoint(300, 200));
        QCOMPARE(rect->rangeDrag(), Qt::Vertical);
        QCOMPARE(rect->rangeZoom(), Qt::Horizontal);
        m_plot->yAxis->setSelectedParts(QCPAxis::spAxis); // the click deselected it
        QWheelEvent wheel(QPointF(300, 200), m_plot->mapToGlobal(QPointF(300, 200)), QPoint(),
                          QPoint(0, 120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        m_panel->mouseWheel(&wheel);
        QCOMPARE(rect->rangeZoom(), Qt::Vertical);

        // The key axis wins over the value axis.
        m_plot->xAxis->setSelectedParts(QCPAxis::spAxis);
        m_panel->mouseWheel(&wheel);
        QCOMPARE(rect->rangeZoom(), Qt::Horizontal);
    }

    void doubleClickPicksNearestRun()
    {
        QList<int> runs;
        bool markerShown = false;
        QPointF markerAt;
        connect(m_panel.get(), &PlotPanel::runChosen, this, [&](int run) {
            runs << run;
            markerShown = m_panel->marker()->visible();
            markerAt = m_panel->marker()->position();
        });
        // A little beside run 5 of "A": that point, not run 2 or 9.
        QPoint at = pixelOf(*m_plot, 5, 1);
        at.rx() += 3;
        QTest::mouseDClick(m_plot.get(), Qt::LeftButton, Qt::NoModifier, at);
        QCOMPARE(runs, QList<int>{5});
        QVERIFY(markerShown);
        QCOMPARE(markerAt, QPointF(5, 1));
        QVERIFY(!m_panel->marker()->visible());

        // Nothing under the pointer: nothing happens.
        QTest::mouseDClick(m_plot.get(), Qt::LeftButton, Qt::NoModifier, pixelOf(*m_plot, 7, 3));
        QCOMPARE(runs.size(), 1);
    }
};

QTEST_MAIN(TstPlotPanel)
#include "tst_plotpanel.moc"
