// The Data-Logging tab end to end: both example logs opened through the
// Help menu, the tables, the linked graphs, their menus and the run dialog.
#include "common/datafolder.h"
#include "frontend/logs/datetimedialog.h"
#include "frontend/logs/graphdialog.h"
#include "frontend/logs/plotgraph.h"
#include "frontend/logs/plotpoint.h"
#include "frontend/logs/shortlog.h"
#include "frontend/logs/skippedvaluesdialog.h"
#include "frontend/ui/mainwindow.h"
#include "frontend/ui/openprogress.h"
#include "frontend/ui/plotpanel.h"
#include "frontend/ui/widgetdialogs.h"
#include "tests/frontend/logs/logtestutil.h"

#include <QAction>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>

namespace {
const QDateTime kEnd(QDate(2019, 5, 10), QTime(18, 0));

QStringList actionTexts(const QMenu *menu, bool enabledOnly)
{
    QStringList texts;
    for (const QAction *action : menu->actions()) {
        if (!action->isSeparator() && (!enabledOnly || action->isEnabled()))
            texts.append(action->text());
    }
    return texts;
}

QMenu *openMenu(QWidget *plot)
{
    for (QMenu *menu : plot->findChildren<QMenu *>()) {
        if (menu->isVisible())
            return menu;
    }
    return nullptr;
}

void selectWhole(QCPGraph *graph)
{
    graph->setSelection(QCPDataSelection(graph->data()->dataRange()));
}
} // namespace

class TstLogViews : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void shortLogExample();
    void fullLogExample();
    void graphMenusAndLinkedAxes();
    void runDialog();
    void rowDescription();
    void descriptionBoxesDoNotWait();
    void italianRunTitle();
    void reopenAndCancel();
    void logsWithoutRuns();
    void manySettingsFillInLinearTime();
    void cancelWhileOpening();
    void skippedValuesAreSaidOnce();
    void lastAlarmOpensItsRun();

private:
    void openFullExample();

    std::unique_ptr<RecordingDialogs> m_dialogs;
    std::unique_ptr<MainWindow> m_window;
    QList<QDateTime> m_presets;
};

void TstLogViews::init()
{
    m_dialogs = std::make_unique<RecordingDialogs>();
    m_presets.clear();
    m_dialogs->onDialog = [this](QDialog &dialog) {
        if (auto *date = qobject_cast<DateTimeDialog *>(&dialog)) {
            m_presets.append(date->dateTime());
            date->setDateTime(kEnd);
            return int(QDialog::Accepted);
        }
        return int(QDialog::Rejected);
    };
    m_window = std::make_unique<MainWindow>();
}

void TstLogViews::cleanup()
{
    m_window.reset();
    m_dialogs.reset();
    QFile::remove(velmo::dataFolderPath() + QStringLiteral("/full_log_example.log"));
    QFile::remove(velmo::dataFolderPath() + QStringLiteral("/short_log_example.txt"));
}

void TstLogViews::openFullExample()
{
    m_window->form().actionFull_log_example->trigger();
}

void TstLogViews::shortLogExample()
{
    const MainWindowForm &f = m_window->form();
    f.actionShort_log_example->trigger();

    QVERIFY(m_dialogs->boxes.isEmpty());
    QCOMPARE(m_window->logKind(), QStringLiteral("file_short"));
    QCOMPARE(f.tabWidget->currentIndex(), 0);
    QCOMPARE(f.stackedWidgetLog->currentIndex(), 2);
    QVERIFY(f.actionExport_to_Excel->isEnabled());
    QVERIFY(QFile::exists(velmo::dataFolderPath() + QStringLiteral("/short_log_example.txt")));

    QCOMPARE(f.Board_Info_Table->rowCount(), 10);
    QCOMPARE(f.Board_Info_Table->item(0, 0)->text(), QStringLiteral("BOARDID"));
    QCOMPARE(f.Board_Info_Table->item(0, 1)->text(), QStringLiteral("M7"));
    QCOMPARE(f.Board_Info_Table->item(0, 2)->text(), QStringLiteral("Control board type"));
    // 24 settings in the file, two of them reserved codes the table lacks.
    QCOMPARE(f.Board_Settings_Table->rowCount(), 22);
    QCOMPARE(f.Board_Settings_Table->item(0, 0)->text(), QStringLiteral("TLM1"));
    QCOMPARE(f.Board_Settings_Table->item(0, 1)->text(), QStringLiteral("30 s"));
    QCOMPARE(f.Board_Settings_Table->item(9, 1)->text(), QStringLiteral("-5 %"));
    QCOMPARE(f.Board_Settings_Table->item(11, 1)->text(), QStringLiteral("Automatic"));
    QCOMPARE(f.Alarms_Table->rowCount(), 13);
    QCOMPARE(f.Alarms_Table->item(2, 2)->text(), QStringLiteral("Obstacle detected, motor 1"));
    QCOMPARE(f.Last_Alarms_Table->rowCount(), 10);
    QCOMPARE(f.Last_Alarms_Table->columnCount(), 2);

    // The program-wide record keeps everything for the export.
    const ShortLogData &data = ShortLogData::instance();
    QCOMPARE(data.settingRawValues.value(0), QStringLiteral("3C"));
    QCOMPARE(data.language, QStringLiteral("EN"));
    QCOMPARE(data.historyCodes.size(), 10);
}

void TstLogViews::fullLogExample()
{
    openFullExample();
    const MainWindowForm &f = m_window->form();
    QVERIFY2(m_dialogs->boxes.isEmpty(), qPrintable(m_dialogs->texts().join('|')));
    QCOMPARE(m_dialogs->dialogTitles, QStringList{QStringLiteral("Enter Log date")});
    QCOMPARE(m_window->logKind(), QStringLiteral("file_full"));
    QCOMPARE(f.stackedWidgetLog->currentIndex(), 1);
    QCOMPARE(f.tabWidget->currentIndex(), 0);
    const QString copy = velmo::dataFolderPath() + QStringLiteral("/full_log_example.log");
    QCOMPARE(f.lineEditOpenLogFile->text(), copy);
    QVERIFY(m_window->statusBar()->currentMessage().startsWith(QLatin1String("M7: FW:")));

    const FullLog &log = m_window->fullLog();
    QVERIFY(log.logEvents.size() >= 200);
    QCOMPARE(m_window->logEndDateTime(), kEnd);
    QCOMPARE(m_window->logStartDateTime(), kEnd.addSecs(-3600 * log.logEvents.last().time));
    QVERIFY(readFile(copy).startsWith("DATE:2019-05-10T18:00:00\nCalvestrid"));

    const LogSeries &s = m_window->logSeries();
    PlotGraph *commands = f.plotGraphCommands;
    PlotGraph *alarms = f.plotGraphAllarms;
    QCOMPARE(commands->graphCount(), int(s.commandShortLabels.size() + s.eventLabels.size() - 2));
    QCOMPARE(alarms->graphCount(), int(s.alarmLabels.size() - 1));
    QCOMPARE(commands->valueLabels().mid(0, s.commandShortLabels.size()), s.commandShortLabels);
    QCOMPARE(commands->xAxis->range(), QCPRange(0, 100));
    QCOMPARE(commands->xAxis->label(), QStringLiteral("Run Number"));
    QCOMPARE(commands->yAxis->label(), QStringLiteral("Commands / Events"));
    QCOMPARE(alarms->yAxis->label(), QStringLiteral("Alarms"));
    // Radio commands collapse to one row per command code.
    QVERIFY(s.commandShortLabels.contains(QStringLiteral(" 0C RX")));
    QVERIFY(s.commandLabels.size() > s.commandShortLabels.size());
    // Alarm rows line up with the widest command row.
    qsizetype widest = 0;
    for (const QString &label : s.commandLabels)
        widest = std::max(widest, label.size());
    QCOMPARE(m_window->graphRows().alarmLabels.size(), s.alarmLabels.size());
    for (const QString &label : m_window->graphRows().alarmLabels)
        QCOMPARE(label.size(), widest + 5);
    QVERIFY(!m_window->commandsPlotMarker()->visible());
}

void TstLogViews::graphMenusAndLinkedAxes()
{
    openFullExample();
    const MainWindowForm &f = m_window->form();
    PlotGraph *commands = f.plotGraphCommands;
    PlotGraph *alarms = f.plotGraphAllarms;

    // Scrolling one plot moves the other and both top axes.
    commands->xAxis->setRange(50, 150);
    QCOMPARE(alarms->xAxis->range(), QCPRange(50, 150));
    QCOMPARE(commands->xAxis2->range(), QCPRange(50, 150));
    QCOMPARE(alarms->xAxis2->range(), QCPRange(50, 150));

    m_window->contextMenuRequestCommands(QPoint(20, 20));
    QMenu *menu = openMenu(commands);
    QVERIFY(menu);
    // The plot's own entries, then the tools of the graph page.
    QCOMPARE(
        actionTexts(menu, false),
        (QStringList{"Replot all graph", "Enable Time", "Disable Time", "Fit all", "Filter Rows...",
                     "Go to Run...", "Alarm Counts...", "Save Graphs...", "Print Graphs..."}));
    QCOMPARE(actionTexts(menu, true).mid(0, 3),
             (QStringList{"Replot all graph", "Enable Time", "Fit all"}));
    menu->close();

    // The dates on top sit only where a run has a command or event.
    m_window->enableTimeCommands();
    QVERIFY(commands->xAxis2->visible());
    QCOMPARE(commands->xAxis2->tickLabelRotation(), -90.0);
    commands->replot();
    auto ticker = commands->xAxis2->ticker().dynamicCast<QCPAxisTickerText>();
    QVERIFY(ticker);
    const QMap<double, QString> ticks = ticker->ticks();
    QVERIFY(ticks.size() >= 10);
    const FullLog &log = m_window->fullLog();
    for (auto it = ticks.cbegin(); it != ticks.cend(); ++it) {
        const LogEvent *event = log.eventOfRun(int(it.key()));
        QCOMPARE(it.value(),
                 event ? runDateLabel(m_window->logStartDateTime(), event->time) : QString());
    }
    // No run sits at 0, so that tick stays blank.
    commands->xAxis->setRange(0, 100);
    commands->replot();
    ticker = commands->xAxis2->ticker().dynamicCast<QCPAxisTickerText>();
    QVERIFY(ticker->ticks().contains(0));
    QCOMPARE(ticker->ticks().value(0), QString());
    QVERIFY(!ticker->ticks().value(8).isEmpty());
    m_window->contextMenuRequestCommands(QPoint(20, 20));
    menu = openMenu(commands);
    QVERIFY(menu);
    QCOMPARE(actionTexts(menu, true).mid(0, 2), (QStringList{"Replot all graph", "Disable Time"}));
    menu->close();

    // Removing exactly the selected alarm graphs; replot brings them back.
    const int alarmGraphs = alarms->graphCount();
    QVERIFY(alarmGraphs >= 4);
    selectWhole(alarms->graph(1));
    selectWhole(alarms->graph(3));
    m_window->graphAllarmsClicked();
    QCOMPARE(alarms->graph(1)->scatterStyle().pen().color(), QColor(Qt::blue));
    QCOMPARE(alarms->graph(1)->lineStyle(), QCPGraph::lsImpulse);
    QCOMPARE(alarms->graph(0)->scatterStyle().pen().color(), QColor(Qt::red));
    QCOMPARE(alarms->graph(0)->lineStyle(), QCPGraph::lsNone);
    QCPGraph *kept = alarms->graph(2);
    m_window->contextMenuRequestAllarms(QPoint(20, 20));
    menu = openMenu(alarms);
    QVERIFY(menu);
    QVERIFY(actionTexts(menu, true).contains(QStringLiteral("Remove selected graph")));
    menu->close();
    m_window->removeSelectedAllarmsGraph();
    QCOMPARE(alarms->graphCount(), alarmGraphs - 2);
    QCOMPARE(alarms->graph(1), kept);
    m_window->replotGraphAllarms();
    QCOMPARE(alarms->graphCount(), alarmGraphs);
    QCOMPARE(alarms->graph(1)->scatterStyle().pen().color(), QColor(Qt::red));
    QVERIFY(commands->xAxis2->visible()); // the time axis state survives a replot
}

void TstLogViews::runDialog()
{
    openFullExample();
    PlotGraph *commands = m_window->form().plotGraphCommands;
    commands->xAxis->setRange(0, 20);
    commands->replot();
    QCPGraph *graph = commands->graph(0);
    const auto first = graph->data()->constBegin();
    const int run = int(first->key);
    QCOMPARE(run, 1);
    const QPoint at(int(commands->xAxis->coordToPixel(first->key)),
                    int(commands->yAxis->coordToPixel(first->value)));

    QStringList titles;
    bool prevEnabled = true;
    bool markerShown = false;
    m_dialogs->onDialog = [&](QDialog &dialog) {
        auto *graphs = qobject_cast<GraphDialog *>(&dialog);
        if (!graphs)
            return int(QDialog::Rejected);
        markerShown = m_window->commandsPlotMarker()->visible();
        PlotGraph *single = graphs->singleEventGraph();
        titles.append(single->titleText());
        prevEnabled = graphs->btnPrevGraph()->isEnabled();
        graphs->btnNextGraph()->click();
        titles.append(single->titleText());
        graphs->btnPrevGraph()->click();
        titles.append(single->titleText());
        prevEnabled = prevEnabled || graphs->btnPrevGraph()->isEnabled();
        // The first graph holds the run's command; its description comes
        // from the database.
        selectWhole(single->graph(0));
        m_window->singleGraphToolTip();
        return int(QDialog::Rejected);
    };
    QTest::mouseDClick(commands, Qt::LeftButton, Qt::NoModifier, at);

    QCOMPARE(titles.size(), 3);
    QVERIFY(markerShown);
    QVERIFY(!prevEnabled);
    QVERIFY(!m_window->commandsPlotMarker()->visible());
    const QDateTime start = m_window->logStartDateTime();
    // The run's place in the graphs, its date, and the board's own number.
    QCOMPARE(titles.at(0), QStringLiteral("Graph event 1 (%1) \u2013 board run 14911")
                               .arg(start.toString(QStringLiteral("ddd d MMM yy hh:mm"))));
    QVERIFY(titles.at(1).startsWith(QLatin1String("Graph event 2 (")));
    QCOMPARE(titles.at(2), titles.at(0));
    QCOMPARE(m_window->shownRun(), 1);
    QVERIFY(m_dialogs->boxes.isEmpty());
    QCOMPARE(m_dialogs->nonModalBoxes.size(), 1);
    const RecordingDialogs::NonModalBox &box = m_dialogs->nonModalBoxes.at(0);
    QCOMPARE(box.text, box.title);
    QVERIFY2(box.text.startsWith(QLatin1String("0C RX")), qPrintable(box.text));
    QVERIFY2(box.informativeText.endsWith(
                 QLatin1String("from a radio transmitter.\nSee control board manual for furtehr "
                               "information.")),
             qPrintable(box.informativeText));

    // Stepping to the last run disables the next button.
    GraphDialog *dialog = m_window->graphDialog();
    const int last = int(m_window->logSeries().commandX.last());
    m_window->plotSingleGraph(last - 1);
    while (m_window->shownRun() < last - 1)
        m_window->singleGraphNext();
    m_window->singleGraphNext();
    QCOMPARE(m_window->shownRun(), last);
    QVERIFY(!dialog->btnNextGraph()->isEnabled());
    m_window->singleGraphNext();
    QCOMPARE(m_window->shownRun(), last);
}

void TstLogViews::rowDescription()
{
    openFullExample();
    PlotGraph *commands = m_window->form().plotGraphCommands;
    commands->replot();
    const int row = int(m_window->logSeries().commandShortLabels.indexOf(QStringLiteral(" 0C RX")));
    QVERIFY(row > 0);
    // Double-click on the row's label left of the value axis.
    const QPoint at(commands->axisRect()->left() - 15, int(commands->yAxis->coordToPixel(row)));
    QTest::mouseDClick(commands, Qt::LeftButton, Qt::NoModifier, at);
    QCOMPARE(m_dialogs->nonModalBoxes.size(), 1);
    QCOMPARE(m_dialogs->nonModalBoxes.at(0).title, QStringLiteral("0C RX"));
    QCOMPARE(m_dialogs->nonModalBoxes.at(0).text, QStringLiteral("0C RX"));
    QVERIFY(m_dialogs->nonModalBoxes.at(0).informativeText.startsWith(
        QLatin1String("Step-by-step command from a radio transmitter.")));
}

// The real boxes, inside a single-run dialog that is modal as it is in use:
// they show at once, do not block stepping, can be closed and are deleted.
void TstLogViews::descriptionBoxesDoNotWait()
{
    openFullExample();
    struct LiveBoxes : WidgetDialogs
    {
        std::function<int(QDialog &)> onDialog;
        int execDialog(QDialog &dialog) override { return onDialog(dialog); }
    } live;
    UserDialogs::setInstance(&live);

    QList<QPointer<QMessageBox>> boxes;
    QString titleWithBoxesOpen;
    bool deletedOnClose = false;
    bool exposed = false;
    live.onDialog = [&](QDialog &dialog) {
        auto *graphs = qobject_cast<GraphDialog *>(&dialog);
        if (!graphs)
            return int(QDialog::Rejected);
        dialog.setWindowModality(Qt::ApplicationModal);
        dialog.show();
        PlotGraph *single = graphs->singleEventGraph();
        // A command and an event: two boxes, neither waits for the other.
        selectWhole(single->graph(0));
        selectWhole(single->graph(single->graphCount() - 1));
        m_window->singleGraphToolTip();
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible())
                boxes.append(box);
        }
        if (boxes.size() == 2) {
            const QString before = single->titleText();
            QTest::mouseClick(graphs->btnNextGraph(), Qt::LeftButton);
            titleWithBoxesOpen = single->titleText() != before ? single->titleText() : QString();
            // OK closes a box although the dialog under it is modal. The
            // click goes through the box's window, where modality applies.
            QAbstractButton *ok = boxes.at(0)->button(QMessageBox::Ok);
            exposed = QTest::qWaitForWindowExposed(boxes.at(0));
            QTest::mouseClick(boxes.at(0)->windowHandle(), Qt::LeftButton, Qt::NoModifier,
                              ok->mapTo(boxes.at(0), ok->rect().center()));
            boxes.at(1)->close();
            deletedOnClose = QTest::qWaitFor([&] { return !boxes.at(0) && !boxes.at(1); });
        }
        dialog.hide();
        return int(QDialog::Rejected);
    };
    m_window->form().plotGraphCommands->replot();
    PlotGraph *commands = m_window->form().plotGraphCommands;
    QCPGraph *graph = commands->graph(0);
    const auto first = graph->data()->constBegin();
    QTest::mouseDClick(commands, Qt::LeftButton, Qt::NoModifier,
                       QPoint(int(commands->xAxis->coordToPixel(first->key)),
                              int(commands->yAxis->coordToPixel(first->value))));
    UserDialogs::setInstance(m_dialogs.get());

    QCOMPARE(boxes.size(), 2);
    QVERIFY(exposed);
    QVERIFY(titleWithBoxesOpen.startsWith(QLatin1String("Graph event 2 (")));
    QVERIFY(deletedOnClose);
}

void TstLogViews::italianRunTitle()
{
    openFullExample();
    // The empty translation file alone makes the installed language Italian.
    QTemporaryDir dir;
    QVERIFY(writeFile(dir.filePath(QStringLiteral("velmofrontend_it.qm")), QByteArray()));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    m_window->plotSingleGraph(1);
    QVERIFY(QDir::setCurrent(previous));

    // Run 1 lies at the start of the log.
    const QDateTime date = m_window->logStartDateTime();
    const QLocale italian(QLocale::Italian, QLocale::Italy);
    const QString title = m_window->graphDialog()->singleEventGraph()->titleText();
    QVERIFY(
        title.startsWith(QStringLiteral("Graph event 1 (%1)")
                             .arg(italian.toString(date, QStringLiteral("ddd d MMM yy hh:mm")))));
    QVERIFY(title.contains(italian.monthName(date.date().month(), QLocale::ShortFormat)));
    QVERIFY(!title.contains(QLocale::c().monthName(date.date().month(), QLocale::ShortFormat)));
}

void TstLogViews::reopenAndCancel()
{
    openFullExample();
    const QString copy = velmo::dataFolderPath() + QStringLiteral("/full_log_example.log");
    const QByteArray afterFirst = readFile(copy);

    // Opening it again presets the dialog with the date written the first
    // time and replaces that line.
    openFullExample();
    QCOMPARE(m_presets.size(), 2);
    QCOMPARE(m_presets.at(1), kEnd);
    QCOMPARE(readFile(copy), afterFirst);
    QCOMPARE(readFile(copy).count("DATE:"), 1);

    // Cancelling the date of another log keeps the open one.
    QTemporaryDir dir;
    const QString other = dir.filePath(QStringLiteral("other.log"));
    QVERIFY(writeFile(other, "CMD: 01 IN START\nEVENT NUMBER: 1\nTIME: 3\n"));
    const int runs = int(m_window->fullLog().logEvents.size());
    const int graphs = m_window->form().plotGraphCommands->graphCount();
    m_dialogs->onDialog = [](QDialog &) { return int(QDialog::Rejected); };
    m_dialogs->files = QStringList{other};
    m_window->openLogFile();
    QCOMPARE(m_dialogs->filters, QStringList{QStringLiteral("Log files (*.log *.txt)")});
    QCOMPARE(m_window->fullLog().logEvents.size(), runs);
    QCOMPARE(m_window->form().plotGraphCommands->graphCount(), graphs);
    QCOMPARE(readFile(other), QByteArray("CMD: 01 IN START\nEVENT NUMBER: 1\nTIME: 3\n"));

    // A log without runs leaves the open one in place as well.
    QVERIFY(writeFile(other, "FW: K4 1.02\nCMD: 01 IN START\n"));
    m_dialogs->files = QStringList{other};
    m_window->openLogFile();
    // The described text, then which file and why.
    QCOMPARE(m_dialogs->texts().size(), 1);
    QVERIFY(m_dialogs->texts().at(0).startsWith(QLatin1String("Invalid Log File\n")));
    QVERIFY(m_dialogs->texts().at(0).contains(QDir::toNativeSeparators(other)));
    QVERIFY(m_dialogs->texts().at(0).contains(QLatin1String("no run")));
    QCOMPARE(m_window->fullLog().logEvents.size(), runs);
    QVERIFY(m_window->fullLog().firmwareLine.startsWith(QLatin1String("M7: FW:")));
}

void TstLogViews::logsWithoutRuns()
{
    QTemporaryDir dir;
    const QString empty = dir.filePath(QStringLiteral("empty.log"));
    QVERIFY(writeFile(empty, "FW: M7 2.08.3\nTIME: 5\n"));
    m_dialogs->files = QStringList{empty, dir.filePath(QStringLiteral("gone.log"))};
    m_window->openLogFile();
    m_window->openLogFile();
    QCOMPARE(m_dialogs->texts().size(), 2);
    for (const QString &text : m_dialogs->texts())
        QVERIFY(text.startsWith(QLatin1String("Invalid Log File\n")));
    QVERIFY(m_dialogs->texts().at(1).contains(QLatin1String("gone.log could not be opened")));
    QCOMPARE(m_window->logKind(), QStringLiteral("file_full"));

    // The example path guards against a copy without runs as well.
    velmo::ensureDataFolder();
    QVERIFY(writeFile(velmo::dataFolderPath() + QStringLiteral("/full_log_example.log"),
                      "CMD: 01 IN START\n"));
    openFullExample();
    QCOMPARE(m_dialogs->texts().size(), 3);
    QVERIFY(m_dialogs->texts().last().startsWith(QLatin1String("Invalid Log File\n")));
    QVERIFY(m_dialogs->dialogTitles.isEmpty()); // no date asked for
    QCOMPARE(m_window->form().plotGraphCommands->graphCount(), 0);

    // A short log path is decided by ".txt" anywhere in it.
    m_dialogs->files = QStringList{dir.filePath(QStringLiteral("logs.txt.d/run.log"))};
    m_window->openLogFile();
    QCOMPARE(m_window->logKind(), QStringLiteral("file_short"));
    QCOMPARE(m_dialogs->texts().size(), 4);
}

void TstLogViews::manySettingsFillInLinearTime()
{
    // 10,000 settings took 26 minutes when every row resized all rows.
    constexpr int kSettings = 10000;
    QByteArray log("#DEVICEINFO\nBOARDID=M7\nFW=2.08.3\n#DEVICECONF\n");
    for (int i = 0; i < kSettings; ++i)
        log += QByteArray::number(i % 22, 16).rightJustified(2, '0').toUpper() + "=0x3C\n";
    log += "#ALARMCOUNTER\nE1=4\n#ALARMHISTORY\n01=E1 ,15204\n";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("many.txt"));
    QVERIFY(writeFile(path, log));
    m_dialogs->files = QStringList{path};
    QElapsedTimer timer;
    timer.start();
    m_window->openLogFile();
    QVERIFY2(timer.elapsed() < 60000, qPrintable(QString::number(timer.elapsed())));
    QTableWidget *settings = m_window->form().Board_Settings_Table;
    QCOMPARE(settings->rowCount(), kSettings);
    QCOMPARE(settings->item(kSettings - 1, 0)->text(),
             settings->item((kSettings - 1) % 22, 0)->text());

    // Rows that sizing all of them again changes (every 97th row meets each
    // of the 22 settings).
    const auto changedByRefit = [settings] {
        QList<int> heights;
        for (int r = 0; r < settings->rowCount(); r += 97)
            heights.append(settings->rowHeight(r));
        settings->resizeRowsToContents();
        QList<int> changed;
        for (int r = 0, i = 0; r < settings->rowCount(); r += 97, ++i) {
            if (settings->rowHeight(r) != heights.at(i))
                changed.append(r);
        }
        return changed;
    };
    // As sizing every row after each one leaves it, once the window has laid
    // itself out as it does before it paints (the scroll bar the rows bring
    // narrows the descriptions).
    QCoreApplication::processEvents();
    QCOMPARE(changedByRefit(), QList<int>{});
    // The same for a narrower window (restored from maximised): its new width
    // comes from the window system in the turn of the event loop that paints.
    m_window->showNormal();
    QCoreApplication::processEvents();
    QCOMPARE(changedByRefit(), QList<int>{});
}

void TstLogViews::cancelWhileOpening()
{
    openFullExample();
    const int runs = int(m_window->fullLog().logEvents.size());
    const QString shownPath = m_window->form().lineEditOpenLogFile->text();
    QByteArray big("M7: FW:9.99\n");
    for (int run = 0; run < 200000; ++run)
        big += "CMD: 01 IN START\nEVENT NUMBER: " + QByteArray::number(run) +
               "\nTIME: " + QByteArray::number(run) + "\nEVENT: 40 FCA1\nEVENT: 41 FCA2\n";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("big.log"));
    QVERIFY(writeFile(path, big));

    // Cancel as soon as the status bar offers it: the window still takes
    // clicks while the log is read.
    OpenProgress *progress = m_window->openProgress();
    bool offered = false;
    const QMetaObject::Connection cancelOnStart =
        connect(progress, &OpenProgress::busyChanged, this, [&](bool busy) {
            if (!busy)
                return;
            offered = progress->panel()->isVisibleTo(m_window.get()) &&
                      progress->cancelButton()->isVisibleTo(m_window.get());
            QTimer::singleShot(0, progress->cancelButton(), &QPushButton::click);
        });
    m_presets.clear();
    m_dialogs->files = QStringList{path};
    m_window->openLogFile();
    disconnect(cancelOnStart);
    QVERIFY(offered);
    QVERIFY(!progress->busy());
    QVERIFY(!progress->panel()->isVisibleTo(m_window.get()));
    // Nothing changed: no date asked, the file untouched, the log shown.
    QVERIFY(m_presets.isEmpty());
    QCOMPARE(readFile(path), big);
    QCOMPARE(m_window->fullLog().logEvents.size(), runs);
    QCOMPARE(m_window->form().lineEditOpenLogFile->text(), shownPath);
    QCOMPARE(m_window->statusBar()->currentMessage(),
             QStringLiteral("Opening big.log was cancelled."));
    QVERIFY(m_window->form().actionOpenLogFile->isEnabled());
    QVERIFY(m_window->form().actionExport_to_Excel->isEnabled());

    // Not cancelled, the same file opens.
    m_dialogs->files = QStringList{path};
    m_window->openLogFile();
    QCOMPARE(m_window->fullLog().logEvents.size(), 200000);
    QCOMPARE(m_window->fullLog().logEvents.last().boardNumber, 199999);
}

void TstLogViews::skippedValuesAreSaidOnce()
{
    // Two bad TIME values (one past 32 bits, one with a NUL byte), a run
    // number that is none, a line longer than shown.
    QByteArray odd = "M7: FW:2.08.3\nCMD: 01\nEVENT NUMBER: 100\nTIME: 2147483648\n"
                     "CMD: 02\nEVENT NUMBER: 101\nTIME: 1000\nEVENT NUMBER: abc\n"
                     "CMD: 03\nEVENT NUMBER: 102\nTIME: 10";
    odd += '\0';
    odd += "3\nALARM: E9 " + QByteArray(5000, 'x') + "\nCMD: 04\nEVENT NUMBER: 103\nTIME: 1012\n";
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("odd.log"));
    QVERIFY(writeFile(path, odd));
    m_dialogs->files = QStringList{path};
    m_window->openLogFile();
    QVERIFY(m_dialogs->boxes.isEmpty()); // no box per value
    QCOMPARE(m_window->fullLog().logEvents.size(), 4);
    // The dates hang on the TIME values that read.
    QCOMPARE(m_window->logStartDateTime(), kEnd.addSecs(-12 * 3600));

    auto *label = m_window->findChild<QLabel *>(QStringLiteral("skippedValuesLabel"));
    QVERIFY(label && label->isVisibleTo(m_window.get()));
    QVERIFY2(label->text().contains(QLatin1String("TIME values that are not numbers: 2")),
             qPrintable(label->text()));
    QVERIFY(label->text().contains(QLatin1String("EVENT NUMBER lines without a number: 1")));
    QVERIFY(label->text().contains(QLatin1String("lines cut for display: 1")));
    emit label->linkActivated(QStringLiteral("details"));
    SkippedValuesDialog *details = m_window->skippedValuesDialog();
    QVERIFY(details && details->isVisible());
    QTableWidget *table = details->table();
    QCOMPARE(table->rowCount(), 4);
    QCOMPARE(table->item(0, SkippedValuesDialog::LineColumn)->text(), QStringLiteral("4"));
    QCOMPARE(table->item(0, SkippedValuesDialog::ValueColumn)->text(),
             QStringLiteral("TIME: 2147483648"));
    QCOMPARE(table->item(2, SkippedValuesDialog::ValueColumn)->text(),
             QStringLiteral("TIME: 10\\x003"));
    details->close();

    // A clean log says nothing.
    openFullExample();
    QVERIFY(!label->isVisibleTo(m_window.get()));
}

void TstLogViews::lastAlarmOpensItsRun()
{
    // The short log's last alarms name the board's runs; the full log of the
    // same board shows them.
    m_window->form().actionShort_log_example->trigger();
    QTableWidget *last = m_window->form().Last_Alarms_Table;
    QCOMPARE(last->item(0, 1)->text(), QStringLiteral("15205"));
    emit last->cellDoubleClicked(0, 1);
    QVERIFY(m_window->statusBar()->currentMessage().contains(QLatin1String("Open the full log")));
    QCOMPARE(m_window->form().stackedWidgetLog->currentIndex(), 2);

    openFullExample();
    QVERIFY(m_window->findChild<QAction *>(QStringLiteral("actionShowTables"))->isEnabled());
    m_window->findChild<QAction *>(QStringLiteral("actionShowTables"))->trigger();
    QCOMPARE(m_window->form().stackedWidgetLog->currentIndex(), 2);
    QCOMPARE(m_window->logKind(), QStringLiteral("file_short"));
    emit last->cellDoubleClicked(0, 0);
    QCOMPARE(m_window->form().stackedWidgetLog->currentIndex(), 1);
    QCOMPARE(m_window->logKind(), QStringLiteral("file_full"));
    const LogEvent *run = m_window->fullLog().eventOfBoardNumber(15205);
    QVERIFY(run);
    QCOMPARE(m_window->commandsPanel()->runLineAt(), double(run->number));
    QVERIFY(m_window->commandsPanel()->runCaption().contains(QLatin1String("board run 15205")));
}

QTEST_MAIN(TstLogViews)
#include "tst_logviews.moc"
