// The tools around the graph page and the short log's tables, driven through
// the window on the example logs: fit all, go to run, row filters, alarm
// counts, tooltips, the plots saved as files, table sorting and copying.
#include "common/datafolder.h"
#include "frontend/logs/alarmcountsdialog.h"
#include "frontend/logs/datetimedialog.h"
#include "frontend/logs/gotorundialog.h"
#include "frontend/logs/lookupdb.h"
#include "frontend/logs/plotgraph.h"
#include "frontend/logs/rowfilterdialog.h"
#include "frontend/logs/tabletext.h"
#include "frontend/ui/mainwindow.h"
#include "frontend/ui/plotpanel.h"
#include "tests/frontend/logs/logtestutil.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QTableWidget>
#include <QXmlStreamReader>
#include <QtTest>

#include <algorithm>

namespace {
const QDateTime kEnd(QDate(2019, 5, 10), QTime(18, 0));

QByteArray head(const QString &path, int size)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.read(size);
}

// What poppler reads off a PDF: its pages and every word with its box, in
// points. Only words written across the page count for their height.
struct PdfText
{
    int pages = 0;
    QSizeF pageSize;
    QStringList words;
    QVector<double> heights;
};

QByteArray run(const QString &program, const QStringList &arguments, bool *ok = nullptr)
{
    QProcess process;
    process.start(program, arguments);
    const bool done = process.waitForFinished(60000) && process.exitCode() == 0;
    if (ok)
        *ok = done;
    return done ? process.readAllStandardOutput() : QByteArray();
}

PdfText readPdf(const QString &path)
{
    PdfText pdf;
    const QByteArray info = run(QStringLiteral("pdfinfo"), {path});
    for (const QByteArray &line : info.split('\n')) {
        if (line.startsWith("Pages:"))
            pdf.pages = line.mid(6).trimmed().toInt();
        if (line.startsWith("Page size:")) {
            const QList<QByteArray> parts = line.mid(10).simplified().split(' ');
            pdf.pageSize = QSizeF(parts.value(0).toDouble(), parts.value(2).toDouble());
        }
    }
    QXmlStreamReader xml(
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")}));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement || xml.name() != QLatin1String("word"))
            continue;
        const auto at = xml.attributes();
        const double width =
            at.value(QLatin1String("xMax")).toDouble() - at.value(QLatin1String("xMin")).toDouble();
        const double height =
            at.value(QLatin1String("yMax")).toDouble() - at.value(QLatin1String("yMin")).toDouble();
        const QString word = xml.readElementText();
        pdf.words.append(word);
        if (word.size() >= 3 && width > height)
            pdf.heights.append(height);
    }
    return pdf;
}

// Text a reader can read on paper: the heading, both axis titles, the
// rows' labels, in boxes of 6 to 20 points (a font of 4.5 to 14 points).
void verifyLegible(const PdfText &pdf, const QString &fileName)
{
    QVERIFY(pdf.pages >= 1);
    QVERIFY2(pdf.pageSize.width() > pdf.pageSize.height(), "landscape");
    const QString text = pdf.words.join(QLatin1Char(' '));
    for (const QString &expected :
         {fileName, QStringLiteral("M7:"), QStringLiteral("Run"), QStringLiteral("Number"),
          QStringLiteral("Alarms"), QStringLiteral("RX"), QStringLiteral("E1")})
        QVERIFY2(pdf.words.contains(expected), qPrintable(expected + QLatin1String(" in ") + text));
    QVERIFY(pdf.heights.size() > 20);
    for (double height : pdf.heights)
        QVERIFY2(height >= 6 && height <= 20, qPrintable(QString::number(height)));
}

QStringList columnTexts(const QTableWidget &table, int column)
{
    QStringList texts;
    for (int r = 0; r < table.rowCount(); ++r)
        texts.append(table.item(r, column)->text());
    return texts;
}
} // namespace

class TstGraphTools : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void fitAllShowsEveryRun();
    void goToRunByNumberAndDate();
    void goToRunOutOfRange();
    void goToRunByBoardNumber();
    void filterShowsOnlyChosenRows();
    void alarmCountsTable();
    void tooltipNamesRunDateAndDescription();
    void savedGraphsAreImagesAndDocuments();
    void printedGraphsReachThePrinter();
    void settingsTableSortsAndCopies();

private:
    QAction *action(const char *name) const;
    void openFullExample();

    std::unique_ptr<RecordingDialogs> m_dialogs;
    std::unique_ptr<MainWindow> m_window;
    std::function<int(QDialog &)> m_onOther;
};

void TstGraphTools::init()
{
    m_dialogs = std::make_unique<RecordingDialogs>();
    m_onOther = nullptr;
    m_dialogs->onDialog = [this](QDialog &dialog) {
        if (auto *date = qobject_cast<DateTimeDialog *>(&dialog)) {
            date->setDateTime(kEnd);
            return int(QDialog::Accepted);
        }
        return m_onOther ? m_onOther(dialog) : int(QDialog::Rejected);
    };
    m_window = std::make_unique<MainWindow>();
}

void TstGraphTools::cleanup()
{
    m_window.reset();
    m_dialogs.reset();
    QFile::remove(velmo::dataFolderPath() + QStringLiteral("/full_log_example.log"));
    QFile::remove(velmo::dataFolderPath() + QStringLiteral("/short_log_example.txt"));
}

QAction *TstGraphTools::action(const char *name) const
{
    return m_window->findChild<QAction *>(QLatin1String(name));
}

void TstGraphTools::openFullExample()
{
    m_window->form().actionFull_log_example->trigger();
}

void TstGraphTools::fitAllShowsEveryRun()
{
    QVERIFY(!action("actionFitAll")->isEnabled()); // nothing to fit yet
    openFullExample();
    PlotGraph *commands = m_window->form().plotGraphCommands;
    PlotGraph *alarms = m_window->form().plotGraphAllarms;
    const int lastRun = m_window->fullLog().logEvents.last().number;
    QCOMPARE(commands->xAxis->range(), QCPRange(0, 100));

    action("actionFitAll")->trigger();
    QCOMPARE(commands->xAxis->range().lower, 0.0);
    QVERIFY(commands->xAxis->range().upper >= lastRun);
    QCOMPARE(alarms->xAxis->range(), commands->xAxis->range());

    // "Fit all" of the alarms plot's own menu does the same for both.
    commands->xAxis->setRange(20, 30);
    m_window->alarmsPanel()->fitAll();
    QVERIFY(commands->xAxis->range().upper >= lastRun);
    QCOMPARE(commands->xAxis->range(), alarms->xAxis->range());

    // The same run at the same place on both plots, whatever their row
    // labels: the two run axes start and end in the same columns.
    commands->replot();
    const int middle = int(commands->xAxis->range().center());
    QCOMPARE(qRound(commands->xAxis->coordToPixel(middle)),
             qRound(alarms->xAxis->coordToPixel(middle)));
    QCOMPARE(commands->axisRect()->left(), alarms->axisRect()->left());
    QCOMPARE(commands->axisRect()->width(), alarms->axisRect()->width());
}

void TstGraphTools::goToRunByNumberAndDate()
{
    openFullExample();
    PlotGraph *commands = m_window->form().plotGraphCommands;
    PlotGraph *alarms = m_window->form().plotGraphAllarms;
    const QVector<LogEvent> &events = m_window->fullLog().logEvents;
    const int run = events.at(events.size() / 2).number;

    QAction *goTo = action("actionGoToRun");
    QCOMPARE(goTo->shortcut(), QKeySequence(QStringLiteral("Ctrl+G")));
    QString span;
    m_onOther = [&](QDialog &dialog) {
        auto *box = qobject_cast<GoToRunDialog *>(&dialog);
        if (!box)
            return int(QDialog::Rejected);
        span = box->span();
        if (box->goButton()->isEnabled())
            return int(QDialog::Rejected); // nothing typed yet
        box->setInput(QStringLiteral(" %1 ").arg(run));
        if (!box->goButton()->isEnabled())
            return int(QDialog::Rejected);
        return int(QDialog::Accepted);
    };
    goTo->trigger();
    QVERIFY2(m_dialogs->boxes.isEmpty(), qPrintable(m_dialogs->texts().join('|')));
    QVERIFY(span.contains(
        QStringLiteral("runs %1 to %2").arg(events.first().number).arg(events.last().number)));
    QCOMPARE(commands->xAxis->range().center(), double(run));
    QCOMPARE(commands->xAxis->range().size(), 100.0); // the width in view stays
    QCOMPARE(alarms->xAxis->range(), commands->xAxis->range());
    QVERIFY(m_window->commandsPanel()->runLineShown());
    QCOMPARE(m_window->commandsPanel()->runLineAt(), double(run));
    QVERIFY(m_window->commandsPanel()->runCaption().startsWith(QStringLiteral("Run %1").arg(run)));
    QVERIFY(m_window->alarmsPanel()->runLineShown());

    // A date picks the first run at or after it: here a minute after a
    // run, so never that run itself.
    const QDateTime start = m_window->logStartDateTime();
    const QDateTime after = runDate(start, events.at(10).time).addSecs(60);
    const QString typed = after.toString(QStringLiteral("yyyy-MM-dd hh:mm"));
    const QDateTime minute = QDateTime::fromString(typed, QStringLiteral("yyyy-MM-dd hh:mm"));
    const auto expected = std::find_if(events.cbegin(), events.cend(), [&](const LogEvent &e) {
        return runDate(start, e.time) >= minute;
    });
    QVERIFY(expected != events.cend());
    QVERIFY(expected->number > events.at(10).number);
    QVERIFY(m_window->showRunFor(typed));
    QCOMPARE(m_window->commandsPanel()->runLineAt(), double(expected->number));
    // Near the start of the log the view stops at run 0 rather than centre.
    QCOMPARE(commands->xAxis->range(), QCPRange(0, 100));
    QVERIFY(m_dialogs->boxes.isEmpty());
}

void TstGraphTools::goToRunOutOfRange()
{
    openFullExample();
    PlotGraph *commands = m_window->form().plotGraphCommands;
    const QVector<LogEvent> &events = m_window->fullLog().logEvents;
    const QCPRange before = commands->xAxis->range();

    QVERIFY(!m_window->showRunFor(QString::number(events.last().number + 1)));
    QCOMPARE(m_dialogs->boxes.size(), 1);
    QCOMPARE(m_dialogs->boxes.at(0).kind, UserDialogs::Kind::Warning);
    // A plain number is the board's run number; the message gives both spans.
    QVERIFY2(m_dialogs->boxes.at(0).text.contains(
                 QStringLiteral("no run %1").arg(events.last().number + 1)),
             qPrintable(m_dialogs->boxes.at(0).text));

    const QDateTime late = kEnd.addDays(2);
    QVERIFY(!m_window->showRunFor(late.toString(QStringLiteral("yyyy-MM-dd hh:mm"))));
    QCOMPARE(m_dialogs->boxes.size(), 2);
    QVERIFY(m_dialogs->boxes.at(1).text.startsWith(QLatin1String("No run at or after")));

    QVERIFY(!m_window->showRunFor(QStringLiteral("tomorrow")));
    QCOMPARE(m_dialogs->boxes.size(), 3);
    QVERIFY(m_dialogs->boxes.at(2).text.contains(QLatin1String("neither a run number nor a date")));
    // Nothing moved.
    QCOMPARE(commands->xAxis->range(), before);
    QVERIFY(!m_window->commandsPanel()->runLineShown());
}

void TstGraphTools::goToRunByBoardNumber()
{
    // The number the short log, the file and the spreadsheet give is the
    // board's; the dialog stays open on one the log lacks.
    openFullExample();
    const FullLog &log = m_window->fullLog();
    const LogEvent *target = log.eventOfBoardNumber(15205);
    QVERIFY(target);
    QStringList problems;
    int tries = 0;
    m_onOther = [&](QDialog &dialog) {
        auto *box = qobject_cast<GoToRunDialog *>(&dialog);
        if (!box)
            return int(QDialog::Rejected);
        box->setInput(QStringLiteral("99999"));
        box->accept();
        ++tries;
        problems.append(box->problem());
        if (box->result() == QDialog::Accepted)
            return int(QDialog::Accepted);
        box->setInput(QStringLiteral("15205"));
        box->accept();
        ++tries;
        return box->result();
    };
    action("actionGoToRun")->trigger();
    QCOMPARE(tries, 2);
    QVERIFY2(problems.value(0).contains(QLatin1String("the board's runs 14911 to")),
             qPrintable(problems.value(0)));
    QVERIFY(m_dialogs->boxes.isEmpty());
    QCOMPARE(m_window->commandsPanel()->runLineAt(), double(target->number));
    QVERIFY(m_window->commandsPanel()->runCaption().startsWith(
        QStringLiteral("Run %1, board run 15205").arg(target->number)));

    // "#" and a place in the graphs.
    QVERIFY(m_window->showRunFor(QStringLiteral("#3")));
    QCOMPARE(m_window->commandsPanel()->runLineAt(), 3.0);
    QVERIFY(!m_window->showRunFor(QStringLiteral("#100000")));
    QVERIFY(m_dialogs->boxes.constLast().text.contains(QLatin1String("no run #100000")));
}

void TstGraphTools::filterShowsOnlyChosenRows()
{
    openFullExample();
    PlotGraph *alarms = m_window->form().plotGraphAllarms;
    const LogSeries &s = m_window->logSeries();
    // The rows as drawn: padded to line up with the commands plot.
    const QStringList rows = m_window->graphRows().alarmLabels;
    QVERIFY(rows.size() > 2);
    const QString chosen = rows.at(2);
    alarms->xAxis->setRange(30, 60);

    int listed = 0;
    m_onOther = [&](QDialog &dialog) {
        auto *filter = qobject_cast<RowFilterDialog *>(&dialog);
        if (!filter)
            return int(QDialog::Rejected);
        listed = filter->list()->count();
        filter->setListedChecked(false);
        for (int i = 0; i < filter->list()->count(); ++i) {
            QListWidgetItem *item = filter->list()->item(i);
            if (item->data(Qt::UserRole).toString() == chosen)
                item->setCheckState(Qt::Checked);
        }
        return int(QDialog::Accepted);
    };
    action("actionFilterAlarms")->trigger();
    QVERIFY(listed >= s.alarmLabels.size() - 1);
    QVERIFY(m_window->alarmsPanel()->rowFilter().active);
    QCOMPARE(alarms->valueLabels().mid(1), QStringList{chosen});
    QCOMPARE(alarms->graphCount(), 1);
    // Every point of that row is still there, on the one row left.
    const auto isChosen = [&](double value) { return rows.value(int(value)) == chosen; };
    QCOMPARE(alarms->graph(0)->data()->size(),
             int(std::count_if(s.alarmY.cbegin(), s.alarmY.cend(), isChosen)));
    QCOMPARE(alarms->xAxis->range(), QCPRange(30, 60));
    // The commands plot keeps all its rows.
    QVERIFY(!m_window->commandsPanel()->rowFilter().active);

    m_window->alarmsPanel()->showAllRows();
    QCOMPARE(alarms->graphCount(), int(rows.size() - 1));
    QCOMPARE(alarms->valueLabels(), rows);
    QCOMPARE(alarms->xAxis->range(), QCPRange(30, 60));
}

void TstGraphTools::alarmCountsTable()
{
    openFullExample();
    const QVector<LogEvent> &events = m_window->fullLog().logEvents;
    action("actionAlarmCounts")->trigger();
    AlarmCountsDialog *dialog = m_window->alarmCountsDialog();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    QTableWidget *table = dialog->table();
    QVERIFY(table->rowCount() > 0);

    // Each row against the log itself.
    for (int r = 0; r < table->rowCount(); ++r) {
        const QString code = table->item(r, AlarmCountsDialog::CodeColumn)->text();
        QList<int> runs;
        for (const LogEvent &event : events) {
            for (const QString &alarm : m_window->fullLog().alarmsOf(event.number)) {
                if (rowCode(alarm) == code) {
                    runs.append(event.number);
                    break;
                }
            }
        }
        QVERIFY2(!runs.isEmpty(), qPrintable(code));
        QCOMPARE(table->item(r, AlarmCountsDialog::RunsColumn)->text().toInt(), runs.size());
        QCOMPARE(table->item(r, AlarmCountsDialog::FirstRunColumn)->text().toInt(), runs.first());
        QCOMPARE(table->item(r, AlarmCountsDialog::LastRunColumn)->text().toInt(), runs.last());
        QVERIFY(!table->item(r, AlarmCountsDialog::DescriptionColumn)->text().isEmpty());
    }

    // Sorted by first run on a header click, as numbers.
    table->horizontalHeader()->setSortIndicator(AlarmCountsDialog::FirstRunColumn,
                                                Qt::AscendingOrder);
    QList<int> firsts;
    for (const QString &text : columnTexts(*table, AlarmCountsDialog::FirstRunColumn))
        firsts.append(text.toInt());
    QVERIFY(std::is_sorted(firsts.cbegin(), firsts.cend()));

    // A row's run is shown in the graphs.
    emit dialog->runRequested(firsts.last());
    QCOMPARE(m_window->commandsPanel()->runLineAt(), double(firsts.last()));
    dialog->close();
}

void TstGraphTools::tooltipNamesRunDateAndDescription()
{
    openFullExample();
    PlotGraph *alarms = m_window->form().plotGraphAllarms;
    alarms->replot();
    QCPGraph *graph = alarms->graph(0);
    const auto first = graph->data()->constBegin();
    const QPointF pixel(alarms->xAxis->coordToPixel(first->key) + 2,
                        alarms->yAxis->coordToPixel(first->value) - 2);
    const std::optional<PlotHit> hit = m_window->alarmsPanel()->pointAt(pixel);
    QVERIFY(hit);
    QCOMPARE(hit->run, int(first->key));
    QCOMPARE(hit->label, alarms->valueLabels().at(int(first->value)));
    // Far from any point of a row: nothing.
    QVERIFY(!m_window->alarmsPanel()->pointAt(
        QPointF(pixel.x(), alarms->yAxis->coordToPixel(first->value + 0.5))));

    // Both numbers of the run: its place on the axis and the board's own.
    const QString text = m_window->pointText(true, *hit);
    const LogEvent *event = m_window->fullLog().eventOfRun(hit->run);
    QVERIFY(event);
    QVERIFY2(
        text.startsWith(
            QStringLiteral("Run %1, board run %2 \u2013 ").arg(hit->run).arg(event->boardNumber)),
        qPrintable(text));
    const QString code = rowCode(hit->label);
    const QString description = alarmDescription(code, QStringLiteral("EN")).trimmed();
    QVERIFY(!description.isEmpty());
    QVERIFY2(text.contains(description), qPrintable(text));
}

void TstGraphTools::savedGraphsAreImagesAndDocuments()
{
    QTemporaryDir dir;
    openFullExample();
    m_dialogs->saveFiles = {dir.filePath(QStringLiteral("report.png")),
                            dir.filePath(QStringLiteral("report.pdf")),
                            dir.filePath(QStringLiteral("plain"))};
    QAction *save = action("actionSaveGraphs");
    for (int i = 0; i < 3; ++i)
        save->trigger();
    QVERIFY2(m_dialogs->boxes.isEmpty(), qPrintable(m_dialogs->texts().join('|')));
    QCOMPARE(m_dialogs->saveSuggestions.size(), 3);
    QVERIFY(
        m_dialogs->saveSuggestions.at(0).endsWith(QLatin1String("full_log_example-graphs.png")));
    QCOMPARE(head(dir.filePath(QStringLiteral("report.png")), 4), QByteArray("\x89PNG"));
    QCOMPARE(head(dir.filePath(QStringLiteral("report.pdf")), 4), QByteArray("%PDF"));
    QCOMPARE(head(dir.filePath(QStringLiteral("plain.png")), 4), QByteArray("\x89PNG"));

    // Both plots stacked: the picture is taller than it is wide.
    const QImage image(dir.filePath(QStringLiteral("report.png")));
    QVERIFY(image.height() > image.width() / 2);

    // The PDF is laid out for paper and reads as it should.
    const PdfText pdf = readPdf(dir.filePath(QStringLiteral("report.pdf")));
    verifyLegible(pdf, QStringLiteral("full_log_example.log"));
    QCOMPARE(pdf.pages, 1);
    // The plots fill the page: a rendered page has ink in its lowest tenth.
    const QString png = dir.filePath(QStringLiteral("page"));
    bool rendered = false;
    run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QStringLiteral("40"), QStringLiteral("-png"),
         QStringLiteral("-singlefile"), dir.filePath(QStringLiteral("report.pdf")), png},
        &rendered);
    QVERIFY(rendered);
    const QImage page(png + QStringLiteral(".png"));
    QVERIFY(!page.isNull());
    int lowestInk = 0;
    for (int y = 0; y < page.height(); ++y) {
        for (int x = 0; x < page.width(); ++x) {
            if (qGray(page.pixel(x, y)) < 128)
                lowestInk = y;
        }
    }
    QVERIFY2(lowestInk > page.height() * 0.85, qPrintable(QString::number(lowestInk)));

    // Rows that would not be legible on one page go on on further pages.
    PlotGraph *commands = m_window->form().plotGraphCommands;
    commands->resetSeries();
    commands->clearGraphs();
    QStringList many{QString()};
    for (int i = 1; i <= 120; ++i)
        many.append(QStringLiteral(" %1 RX").arg(i, 2, 16, QLatin1Char('0')));
    commands->plotSeries(many, {1}, {1}, {}, {}, 10, PlotGraph::commandStyle());
    m_dialogs->saveFiles = {dir.filePath(QStringLiteral("long.pdf"))};
    save->trigger();
    const PdfText longer = readPdf(dir.filePath(QStringLiteral("long.pdf")));
    QVERIFY2(longer.pages >= 3, qPrintable(QString::number(longer.pages)));
    QVERIFY(longer.words.contains(QStringLiteral("78")) &&
            longer.words.contains(QStringLiteral("05")));
    for (double height : longer.heights)
        QVERIFY(height >= 6 && height <= 20);
    m_window->replotGraphCommands();

    // A place that cannot be written says so.
    m_dialogs->saveFiles = {dir.filePath(QStringLiteral("missing/folder/x.png"))};
    save->trigger();
    QCOMPARE(m_dialogs->boxes.size(), 1);
    QVERIFY(m_dialogs->boxes.at(0).text.startsWith(QLatin1String("The graphs could not be saved")));
}

void TstGraphTools::printedGraphsReachThePrinter()
{
    QTemporaryDir dir;
    openFullExample();
    const QString printed = dir.filePath(QStringLiteral("printed.pdf"));
    bool landscape = false;
    QString docName;
    m_onOther = [&](QDialog &dialog) {
        auto *print = qobject_cast<QPrintDialog *>(&dialog);
        if (!print)
            return int(QDialog::Rejected);
        landscape = print->printer()->pageLayout().orientation() == QPageLayout::Landscape;
        docName = print->printer()->docName();
        // A file stands in for the printer the technician would pick.
        print->printer()->setOutputFormat(QPrinter::PdfFormat);
        print->printer()->setOutputFileName(printed);
        return int(QDialog::Accepted);
    };
    action("actionPrintGraphs")->trigger();
    QVERIFY(m_dialogs->dialogTitles.contains(QStringLiteral("Print Graphs")));
    QVERIFY(landscape);
    QCOMPARE(head(printed, 4), QByteArray("%PDF"));
    // The job, and a file it is printed to, are named after the log.
    QCOMPARE(docName, QStringLiteral("full_log_example-graphs"));
    // Text in points on the printer's page, as on the PDF.
    verifyLegible(readPdf(printed), QStringLiteral("full_log_example.log"));
    QVERIFY(m_dialogs->boxes.isEmpty());

    // Cancelled: nothing is printed.
    QVERIFY(QFile::remove(printed));
    m_onOther = nullptr;
    action("actionPrintGraphs")->trigger();
    QVERIFY(!QFile::exists(printed));
}

void TstGraphTools::settingsTableSortsAndCopies()
{
    const MainWindowForm &f = m_window->form();
    f.actionShort_log_example->trigger();
    QTableWidget *settings = f.Board_Settings_Table;
    const int rows = settings->rowCount();
    QCOMPARE(settings->item(0, 0)->text(), QStringLiteral("TLM1"));
    // Which value goes with which code, as parsed.
    QMap<QString, QString> pairs;
    for (int r = 0; r < rows; ++r)
        pairs.insert(settings->item(r, 0)->text(), settings->item(r, 1)->text());
    const QStringList parsedOrder = columnTexts(*settings, 0);

    settings->horizontalHeader()->setSortIndicator(0, Qt::DescendingOrder);
    QStringList codes = columnTexts(*settings, 0);
    QVERIFY(codes != parsedOrder);
    QVERIFY(std::is_sorted(codes.crbegin(), codes.crend(), [](const QString &a, const QString &b) {
        return compareCellTexts(a, b) < 0;
    }));
    for (int r = 0; r < rows; ++r)
        QCOMPARE(settings->item(r, 1)->text(), pairs.value(settings->item(r, 0)->text()));

    // Copy: the header, then a line per row, cells split by tabs.
    QAction *copy = nullptr;
    for (QAction *a : settings->actions()) {
        if (a->objectName() == QLatin1String("actionCopyTable"))
            copy = a;
    }
    QVERIFY(copy);
    QCOMPARE(copy->shortcut(), QKeySequence(QKeySequence::Copy));
    copy->trigger();
    const QStringList lines =
        QGuiApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), rows + 1);
    QCOMPARE(lines.at(1).split(QLatin1Char('\t')).mid(0, 2),
             (QStringList{codes.first(), pairs.value(codes.first())}));

    // Ctrl+C in the table copies the same, not just the cell under focus.
    QGuiApplication::clipboard()->clear();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    settings->setFocus();
    QTest::keyClick(settings, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts),
             lines);

    QAction *all = action("actionCopyLogTables");
    QVERIFY(all->isEnabled());
    all->trigger();
    const QString text = QGuiApplication::clipboard()->text();
    for (const QLabel *title : {f.label, f.label_2, f.label_3, f.label_4})
        QVERIFY2(text.contains(title->text()), qPrintable(title->text()));
    QVERIFY(text.contains(QStringLiteral("BOARDID\tM7")));

    // The next log comes in the parsed order again.
    f.actionShort_log_example->trigger();
    QCOMPARE(columnTexts(*settings, 0), parsedOrder);
}

QTEST_MAIN(TstGraphTools)
#include "tst_graphtools.moc"
