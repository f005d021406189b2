#include "common/datafolder.h"
#include "frontend/base/lenguagge.h"
#include "frontend/logs/fulllog.h"
#include "frontend/logs/shortlog.h"
#include "frontend/ui/excelexporter.h"
#include "frontend/ui/mainwindow.h"
#include "frontend/ui/shortlogexport.h"
#include "tests/frontend/fakedialogs.h"
#include "tests/frontend/ui/xlsxreader.h"
#include "tests/support/testbroker.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {
QStringList exportFiles()
{
    QDir folder(velmo::dataFolderPath() + QStringLiteral("/Exports"));
    return folder.entryList({QStringLiteral("*.xlsx")}, QDir::Files, QDir::Name);
}

void clearExports()
{
    QDir(velmo::dataFolderPath() + QStringLiteral("/Exports")).removeRecursively();
}

// Cancels the running export's progress dialog once, when it shows `value`.
class Canceller : public QObject
{
public:
    explicit Canceller(int value)
        : m_value(value)
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto *dialog = qobject_cast<QProgressDialog *>(widget);
                if (dialog && dialog->isVisible() && dialog->value() >= m_value) {
                    labels.append(dialog->labelText());
                    titles.append(dialog->windowTitle());
                    dialog->cancel();
                    m_timer.stop();
                }
            }
        });
        m_timer.start(0);
    }
    QStringList labels;
    QStringList titles;

private:
    int m_value;
    QTimer m_timer;
};

// Notes what the running export's progress dialog shows whenever events
// are processed.
class ProgressWatcher : public QObject
{
public:
    struct Seen
    {
        int value;
        int maximum;
        QString label;
        bool cancelButton;
    };
    ProgressWatcher()
    {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                auto *dialog = qobject_cast<QProgressDialog *>(widget);
                if (!dialog || !dialog->isVisible())
                    continue;
                const bool button = !dialog->findChildren<QPushButton *>().isEmpty();
                seen.append({dialog->value(), dialog->maximum(), dialog->labelText(), button});
            }
        });
        m_timer.start(0);
    }
    QList<Seen> seen;

private:
    QTimer m_timer;
};

// Double serial of a date as the spreadsheet counts days.
double serialOf(const QDateTime &value)
{
    const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0));
    return epoch.secsTo(QDateTime(value.date(), value.time())) / 86400.0;
}

const QStringList kOneEvent = {
    QStringLiteral("TIME: 100"),                 // 0: before the first run
    QStringLiteral("ALARM: E9 ignored"),         // 1
    QStringLiteral("CMD: 01 RX 5A 08"),          // 2: starts run 1
    QStringLiteral("EVENT NUMBER: 14911"),       // 3
    QStringLiteral("TIME: 103"),                 // 4
    QStringLiteral("COUNT: PAR/TOT: 884/14911"), // 5
    QStringLiteral("EVENT: 40 FCA1"),            // 6
    QStringLiteral("ALARM: E1 X"),               // 7
    QStringLiteral("CMD EVENT 02 both"),         // 8
};
} // namespace

class TstExport : public QObject
{
    Q_OBJECT

private slots:
    void init() { clearExports(); }

    void buildBlocksSplitsRunsAtTheirCommand()
    {
        ExcelExporter exporter;
        exporter.buildBlocks(kOneEvent);
        const QVector<EventBlock> &blocks = exporter.eventBlocks();
        QCOMPARE(blocks.size(), 2);
        QCOMPARE(blocks[0].firstLine, -1);
        QCOMPARE(blocks[0].lastLine, 1);
        // Block 0 is closed before the run's own values are read.
        QCOMPARE(blocks[0].time, 100);
        QCOMPARE(blocks[0].runNumber, 0);
        QCOMPARE(blocks[0].partialRuns, -1);
        QCOMPARE(blocks[1].firstLine, 2);
        QCOMPARE(blocks[1].lastLine, 8);
        QCOMPARE(blocks[1].time, 103);
        QCOMPARE(blocks[1].runNumber, 14911);
        QCOMPARE(blocks[1].partialRuns, 884);
        QCOMPARE(blocks[1].totalRuns, 14911);

        // No run at all: one block over everything; an empty log: one empty block.
        exporter.buildBlocks({QStringLiteral("TIME: 5"), QStringLiteral("CMD: 01")});
        QCOMPARE(exporter.eventBlocks().size(), 1);
        QCOMPARE(exporter.eventBlocks()[0].lastLine, 1);
        exporter.buildBlocks({});
        QCOMPARE(exporter.eventBlocks().size(), 1);
        QCOMPARE(exporter.eventBlocks()[0].lastLine, -1);
    }

    void buildBlocksAgreesWithTheGraphsOnTheExampleLog()
    {
        FullLog log;
        QCOMPARE(log.read(QStringLiteral("./full_log_example.log")), FullLog::ReadResult::Read);
        QStringList records;
        QFile file(QStringLiteral("./full_log_example.log"));
        QVERIFY(file.open(QIODevice::ReadOnly));
        for (const QByteArray &line : file.readAll().split('\n')) {
            const QString text = fulllogline::normalize(QString::fromLatin1(line));
            if (fulllogline::classify(text) == fulllogline::Kind::Record)
                records.append(text);
        }
        QCOMPARE(records.size(), log.recordCount);
        ExcelExporter exporter;
        exporter.buildBlocks(records);
        const QVector<LogBlock> &cut = log.logBlocks;
        QCOMPARE(exporter.eventBlocks().size(), cut.size());
        QVERIFY(cut.size() > 2);
        for (int i = 0; i < cut.size(); ++i) {
            QCOMPARE(exporter.eventBlocks()[i].firstLine, cut[i].first);
            QCOMPARE(exporter.eventBlocks()[i].lastLine, cut[i].second);
        }
        // A run without a CMD line before it does not open a block.
        exporter.buildBlocks({QStringLiteral("EVENT NUMBER: 1"), QStringLiteral("CMD: 01"),
                              QStringLiteral("EVENT NUMBER: 2")});
        QCOMPARE(exporter.eventBlocks().size(), 2);
        QCOMPARE(exporter.eventBlocks()[1].firstLine, 1);
        QCOMPARE(exporter.eventBlocks()[1].runNumber, 2);
    }

    void shortLogLayout_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QStringList>("titles");
        QTest::addColumn<QStringList>("headers"); // parameter, alarm, history (first two)
        QTest::newRow("EN") << QStringLiteral("EN")
                            << QStringList{"Board Info", "Board Settings", "Alarms", "Last Alarms"}
                            << QStringList{"Parameter",  "Value",       "Description", "Code",
                                           "Occurrency", "Description", "Code",        "Run"};
        QTest::newRow("IT") << QStringLiteral("IT")
                            << QStringList{"Info Scheda", "Impostazioni Scheda", "Allarmi",
                                           "Ultimi Allarmi"}
                            << QStringList{"Parametro",  "Valore",      "Descrizione", "Codice",
                                           "Occorrenza", "Descrizione", "Codice",      "Manovra"};
        // No German headings exist: English stands in.
        QTest::newRow("DE") << QStringLiteral("DE")
                            << QStringList{"Board Info", "Board Settings", "Alarms", "Last Alarms"}
                            << QStringList{"Parameter",  "Value",       "Description", "Code",
                                           "Occurrency", "Description", "Code",        "Run"};
    }

    void shortLogLayout()
    {
        QFETCH(QString, language);
        QFETCH(QStringList, titles);
        QFETCH(QStringList, headers);
        FakeDialogs dialogs;
        ShortLogData data;
        data.language = language;
        data.infoCodes = QStringList{"BOARDID", "FW"};
        data.infoValues = QStringList{"03", "2.08"};
        data.infoDescriptions = QStringList{"Board type", " "};
        data.settingCodes = QStringList{"Pause", "Mode"};
        data.settingValues = QStringList{"15", "0x1A"};
        data.settingUnits = QStringList{"s", ""};
        data.settingDescriptions = QStringList{"Pause time", "Mode"};
        data.alarmCodes = QStringList{"E1"};
        data.alarmCounts = QStringList{"7"};
        data.alarmDescriptions = QStringList{"Photocell"};
        // No alarm history.

        QVERIFY(exportToExcel(data));
        QCOMPARE(exportFiles().size(), 1);
        const QString path =
            velmo::dataFolderPath() + QStringLiteral("/Exports/") + exportFiles().constFirst();
        QCOMPARE(dialogs.openedDocuments, QStringList{path});
        QVERIFY(dialogs.boxes.isEmpty());

        XlsxSheet sheet;
        QVERIFY(sheet.load(path));
        // Board information: title 2, headers 4, rows 6-7.
        QCOMPARE(sheet.text(2, 1), titles[0]);
        QVERIFY(sheet.cell(2, 1).bold);
        QCOMPARE(sheet.text(4, 1), headers[0]);
        QCOMPARE(sheet.text(4, 2), headers[1]);
        QCOMPARE(sheet.text(4, 3), headers[2]);
        QVERIFY(!sheet.cell(4, 1).bold);
        QCOMPARE(sheet.text(6, 1), QStringLiteral("BOARDID"));
        // Codes stay text, leading zero and all.
        QCOMPARE(sheet.text(6, 2), QStringLiteral("03"));
        QVERIFY(!sheet.cell(6, 2).isNumber);
        QVERIFY(sheet.cell(6, 2).centred);
        QVERIFY(!sheet.cell(6, 1).centred);
        QCOMPARE(sheet.text(7, 3), QStringLiteral(" "));
        // Settings: two blank rows after the last data row.
        QVERIFY(!sheet.has(8, 1) && !sheet.has(9, 1));
        QCOMPARE(sheet.text(10, 1), titles[1]);
        QCOMPARE(sheet.text(12, 1), headers[0]);
        QCOMPARE(sheet.text(14, 1), QStringLiteral("Pause"));
        QCOMPARE(sheet.text(14, 2), QStringLiteral("15 s"));
        // An empty unit still leaves the blank after the value.
        QCOMPARE(sheet.text(15, 2), QStringLiteral("0x1A "));
        QCOMPARE(sheet.text(15, 3), QStringLiteral("Mode"));
        // Alarm counters.
        QCOMPARE(sheet.text(18, 1), titles[2]);
        QCOMPARE(sheet.text(20, 1), headers[3]);
        QCOMPARE(sheet.text(20, 2), headers[4]);
        QCOMPARE(sheet.text(22, 1), QStringLiteral("E1"));
        QCOMPARE(sheet.text(22, 2), QStringLiteral("7"));
        QVERIFY(!sheet.cell(22, 2).isNumber);
        QCOMPARE(sheet.text(22, 3), QStringLiteral("Photocell"));
        // History without entries: title and headers only.
        QCOMPARE(sheet.text(25, 1), titles[3]);
        QCOMPARE(sheet.text(27, 1), headers[6]);
        QCOMPARE(sheet.text(27, 2), headers[7]);
        QVERIFY(!sheet.has(27, 3));
        QCOMPARE(sheet.lastRow(), 27);
        // Columns fitted to their longest text.
        QVERIFY(sheet.columnWidth(1) >= titles[1].size());
    }

    void historyRowsAndUnevenLists()
    {
        FakeDialogs dialogs;
        ShortLogData data;
        data.language = QStringLiteral("EN");
        data.historyCodes = QStringList{"E1", "E2"};
        data.historyTimes = QStringList{"14911"}; // one short: must not crash
        data.settingCodes = QStringList{"Pause"};
        QVERIFY(exportToExcel(data));
        XlsxSheet sheet;
        QVERIFY(sheet.load(dialogs.openedDocuments.value(0)));
        // Empty info and alarm groups keep their titles and headers.
        QCOMPARE(sheet.text(2, 1), QStringLiteral("Board Info"));
        QCOMPARE(sheet.text(8, 1), QStringLiteral("Board Settings"));
        QCOMPARE(sheet.text(12, 1), QStringLiteral("Pause"));
        QCOMPARE(sheet.text(12, 2), QStringLiteral(" "));
        QCOMPARE(sheet.text(15, 1), QStringLiteral("Alarms"));
        QCOMPARE(sheet.text(21, 1), QStringLiteral("Last Alarms"));
        QCOMPARE(sheet.text(25, 1), QStringLiteral("E1"));
        QCOMPARE(sheet.text(25, 2), QStringLiteral("14911"));
        QVERIFY(!sheet.cell(25, 2).isNumber);
        QCOMPARE(sheet.text(26, 1), QStringLiteral("E2"));
        QCOMPARE(sheet.text(26, 2), QString());
    }

    void cancelKeepsTheRowsWrittenAndStillOpensTheFile()
    {
        FakeDialogs dialogs;
        ShortLogData data;
        data.language = QStringLiteral("EN");
        for (int i = 0; i < 40; ++i) {
            data.infoCodes.append(QStringLiteral("CODE%1").arg(i));
            data.infoValues.append(QString::number(i));
            data.infoDescriptions.append(QStringLiteral("a fairly long description %1").arg(i));
        }
        data.alarmCodes = QStringList{"E1"};
        data.alarmCounts = QStringList{"1"};
        data.alarmDescriptions = QStringList{"x"};

        Canceller canceller(5);
        QVERIFY(exportToExcel(data));
        QCOMPARE(canceller.labels.value(0), Lenguagge().exportingText());
        QCOMPARE(canceller.titles.value(0), Lenguagge().dataExportText());
        QCOMPARE(dialogs.openedDocuments.size(), 1);

        XlsxSheet sheet;
        QVERIFY(sheet.load(dialogs.openedDocuments.constFirst()));
        QCOMPARE(sheet.text(6, 1), QStringLiteral("CODE0"));
        QVERIFY(sheet.has(9, 1));   // rows before the cancel are kept
        QVERIFY(!sheet.has(45, 1)); // the export stopped there
        QVERIFY(sheet.lastRow() < 12);
        QVERIFY(sheet.columnWidth(3) >= QStringLiteral("a fairly long description 0").size());
    }

    void fullLogWritesRunsFromRowEleven()
    {
        FakeDialogs dialogs;
        const QDateTime start(QDate(2024, 3, 5), QTime(8, 0));
        ExcelExporter exporter;
        QVERIFY(exporter.exportFullLog(kOneEvent, 100, start,
                                       QStringLiteral("M7:FW:2.08 AS: 5000 PAR/TOT: 884/14911")));
        QCOMPARE(dialogs.openedDocuments, QStringList{exporter.filePath()});
        XlsxSheet sheet;
        QVERIFY(sheet.load(exporter.filePath()));

        // Board block.
        QCOMPARE(sheet.text(1, 1), QStringLiteral("Board Info"));
        QVERIFY(sheet.cell(1, 1).bold);
        QCOMPARE(sheet.text(3, 1), QStringLiteral("M7"));
        QCOMPARE(sheet.text(3, 2), QStringLiteral("Control board type"));
        QCOMPARE(sheet.text(4, 1), QStringLiteral("2.08"));
        QCOMPARE(sheet.text(4, 2), QStringLiteral("Firmware version"));
        QCOMPARE(sheet.text(5, 1), QStringLiteral("5000"));
        QVERIFY(sheet.cell(5, 1).isNumber);
        QCOMPARE(sheet.text(5, 2), QStringLiteral("Service interval (manoeuvres)"));
        QCOMPARE(sheet.text(6, 1), QStringLiteral("884"));
        QVERIFY(!sheet.cell(6, 1).isNumber);
        QCOMPARE(sheet.text(6, 2), QStringLiteral("Manoeuvres since last service"));
        QCOMPARE(sheet.text(7, 1), QStringLiteral("14911"));
        QCOMPARE(sheet.text(7, 2), QStringLiteral("Total manoeuvres"));

        // Headers, all bold.
        const QStringList headers = {"N",    "Run Number",          "Partial Run", "Total Run",
                                     "Time", "Command/Event/Alarm", "Description"};
        for (int c = 1; c <= 7; ++c) {
            QCOMPARE(sheet.text(10, c), headers[c - 1]);
            QVERIFY(sheet.cell(10, c).bold);
        }
        QVERIFY(!sheet.cell(10, 1).centred);

        // Only block 1, sharing row 11 with its first item.
        QCOMPARE(sheet.text(11, 1), QStringLiteral("1"));
        QVERIFY(sheet.cell(11, 1).isNumber);
        QVERIFY(sheet.cell(11, 1).centred);
        QCOMPARE(sheet.text(11, 2), QStringLiteral("14911"));
        QVERIFY(sheet.cell(11, 2).isNumber);
        QCOMPARE(sheet.text(11, 3), QStringLiteral("884"));
        QCOMPARE(sheet.text(11, 4), QStringLiteral("14911"));
        QVERIFY(sheet.cell(11, 5).isNumber);
        QCOMPARE(sheet.text(11, 5).toDouble(), serialOf(start.addSecs(3 * 3600)));
        QCOMPARE(sheet.text(11, 6), QStringLiteral(" 01 RX 5A 08"));
        QCOMPARE(sheet.text(11, 7), QStringLiteral("Step-by-step command from the START input"));
        QCOMPARE(sheet.text(12, 6), QStringLiteral(" 40 FCA1"));
        QCOMPARE(sheet.text(13, 6), QStringLiteral(" E1 X"));
        QCOMPARE(sheet.text(13, 7), QStringLiteral("Photocell obstructed at start"));
        // A line with both words: the CMD row first, then the EVENT row.
        QCOMPARE(sheet.text(14, 1), QStringLiteral("4"));
        QCOMPARE(sheet.text(14, 6), QStringLiteral(" EVENT 02 both"));
        QCOMPARE(sheet.text(14, 7), QStringLiteral(" ")); // no such code
        QCOMPARE(sheet.text(15, 1), QStringLiteral("5"));
        QCOMPARE(sheet.text(15, 6), QStringLiteral("CMD  02 both"));
        QCOMPARE(sheet.lastRow(), 15);
        // Block 0's alarm is not written.
        for (int r = 11; r <= 15; ++r)
            QVERIFY(sheet.text(r, 6) != QStringLiteral(" E9 ignored"));
    }

    void fullLogWithoutRunsHasOnlyTheHeadings()
    {
        FakeDialogs dialogs;
        ExcelExporter exporter;
        QVERIFY(exporter.exportFullLog({QStringLiteral("TIME: 1"), QStringLiteral("CMD: 01")}, 1,
                                       QDateTime::currentDateTime(), QStringLiteral("M7:FW:2.08")));
        XlsxSheet sheet;
        QVERIFY(sheet.load(exporter.filePath()));
        QCOMPARE(sheet.text(10, 7), QStringLiteral("Description"));
        QCOMPARE(sheet.lastRow(), 10);
        // An exporter dropped before it finished leaves no empty file.
        {
            ExcelExporter unfinished;
            QVERIFY(unfinished.openWorkbook());
            QVERIFY(QFile::exists(unfinished.filePath()));
        }
        QCOMPARE(exportFiles().size(), 1);
    }

    void fullLogInItalian()
    {
        // The installed language follows the translation files in the
        // working directory: give the export a private one.
        const QString home = QDir::currentPath();
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QFile::copy(home + QStringLiteral("/Log_look_up.s3db"),
                            dir.filePath(QStringLiteral("Log_look_up.s3db"))));
        QFile qm(dir.filePath(QStringLiteral("velmofrontend_it.qm")));
        QVERIFY(qm.open(QIODevice::WriteOnly));
        qm.close();
        QVERIFY(QDir::setCurrent(dir.path()));
        FakeDialogs dialogs;
        ExcelExporter exporter;
        const bool written = exporter.exportFullLog(kOneEvent, 100, QDateTime::currentDateTime(),
                                                    QStringLiteral("M7:FW:2.08"));
        QDir::setCurrent(home);
        QVERIFY(written);
        XlsxSheet sheet;
        QVERIFY(sheet.load(exporter.filePath()));
        QCOMPARE(sheet.text(1, 1), QStringLiteral("Info Scheda"));
        QCOMPARE(sheet.text(3, 2), QStringLiteral("Tipo di scheda di controllo"));
        QCOMPARE(sheet.text(10, 1), QStringLiteral("N"));
        QVERIFY(sheet.cell(10, 1).centred && sheet.cell(10, 1).bold);
        QCOMPARE(sheet.text(10, 2), QStringLiteral("Numero Manovra"));
        QCOMPARE(sheet.text(10, 6), QStringLiteral("Comando/Evento/Allarme"));
        QCOMPARE(sheet.text(10, 7), QStringLiteral("Descrizione"));
    }

    void failuresAreReportedNotHidden()
    {
        FakeDialogs dialogs;
        ShortLogData data;
        data.infoCodes = QStringList{"FW"};

        // No application for .xlsx files: the file is there, the user is told.
        dialogs.unregisteredTypes = QStringList{QString::fromLatin1(ExcelExporter::kMimeType)};
        QVERIFY(exportToExcel(data));
        QCOMPARE(dialogs.boxes.size(), 1);
        QVERIFY(dialogs.boxes[0].text.startsWith(Lenguagge().excelNotInstalledText()));
        QCOMPARE(exportFiles().size(), 1);
        dialogs.unregisteredTypes.clear();

        // A folder that takes no files: an error naming the place, nothing opened.
        clearExports();
        velmo::ensureDataFolder();
        QFile blocker(velmo::dataFolderPath() + QStringLiteral("/Exports"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        dialogs.boxes.clear();
        dialogs.openedDocuments.clear();
        QVERIFY(!exportToExcel(data));
        QVERIFY(!ExcelExporter().exportFullLog(kOneEvent, 0, QDateTime(), QString()));
        QCOMPARE(dialogs.boxes.size(), 2);
        QCOMPARE(dialogs.boxes[0].kind, UserDialogs::Kind::Critical);
        QVERIFY(
            dialogs.boxes[0].text.contains(velmo::dataFolderPath() + QStringLiteral("/Exports")));
        QVERIFY(dialogs.openedDocuments.isEmpty());
        QFile::remove(blocker.fileName());
    }

    void userIsToldWhereTheFileWent()
    {
        FakeDialogs dialogs;
        const QString mime = QString::fromLatin1(ExcelExporter::kMimeType);
        const QString folder = QDir::toNativeSeparators(ExcelExporter::exportFolder());
        const auto exportOnce = [&dialogs] {
            dialogs.boxes.clear();
            dialogs.choiceButtons.clear();
            dialogs.openedDocuments.clear();
            dialogs.openedUrls.clear();
            ExcelExporter exporter;
            const bool written =
                exporter.exportFullLog(kOneEvent, 100, QDateTime::currentDateTime(), QString());
            return written ? exporter.filePath() : QString();
        };

        // An application takes spreadsheets: it gets the file, no box.
        QString path = exportOnce();
        QVERIFY(!path.isEmpty());
        QCOMPARE(dialogs.queriedTypes, QStringList{mime});
        QCOMPARE(dialogs.openedDocuments, QStringList{path});
        QVERIFY(dialogs.boxes.isEmpty());

        // None is registered: nothing is launched; the box names the file and
        // offers its folder, which the user takes. The finished progress
        // window is gone by then, not left standing behind the box.
        dialogs.unregisteredTypes = QStringList{mime};
        dialogs.choice = 0;
        bool progressBehindBox = false;
        dialogs.onBox = [&progressBehindBox](const FakeDialogs::Box &) {
            for (QWidget *widget : QApplication::topLevelWidgets()) {
                if (qobject_cast<QProgressDialog *>(widget) && widget->isVisible())
                    progressBehindBox = true;
            }
        };
        path = exportOnce();
        QVERIFY(!progressBehindBox);
        QVERIFY(dialogs.openedDocuments.isEmpty());
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(dialogs.boxes[0].kind, UserDialogs::Kind::Warning);
        QVERIFY(dialogs.boxes[0].text.startsWith(Lenguagge().excelNotInstalledText()));
        QVERIFY(dialogs.boxes[0].text.contains(QDir::toNativeSeparators(path)));
        // And how to open it: the described text comes first.
        QVERIFY(dialogs.boxes[0].text.contains(QLatin1String("libreoffice-calc")));
        QCOMPARE(dialogs.choiceButtons, QList<QStringList>{QStringList{"Open folder"}});
        QCOMPARE(dialogs.openedUrls,
                 QList<QUrl>{QUrl::fromLocalFile(QFileInfo(path).absolutePath())});
        QVERIFY(QFile::exists(path));

        // The box is closed with OK: nothing else happens.
        dialogs.choice = -1;
        exportOnce();
        QCOMPARE(dialogs.boxes.size(), 1);
        QVERIFY(dialogs.openedUrls.isEmpty());

        // The folder cannot be shown either: said, with its place.
        dialogs.choice = 0;
        dialogs.canOpenUrls = false;
        exportOnce();
        QCOMPARE(dialogs.boxes.size(), 2);
        QCOMPARE(dialogs.boxes[1].kind, UserDialogs::Kind::Critical);
        QVERIFY(dialogs.boxes[1].text.contains(folder));

        // No file manager either: no button that would start nothing.
        dialogs.unregisteredTypes.append(QStringLiteral("inode/directory"));
        exportOnce();
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(dialogs.choiceButtons, QList<QStringList>{QStringList()});
        QVERIFY(dialogs.openedUrls.isEmpty());

        // Registered, but the launch fails: a different reason, same place.
        dialogs.unregisteredTypes.clear();
        dialogs.canOpenDocuments = false;
        dialogs.choice = -1;
        path = exportOnce();
        QCOMPARE(dialogs.openedDocuments, QStringList{path});
        QCOMPARE(dialogs.boxes.size(), 1);
        QVERIFY(!dialogs.boxes[0].text.startsWith(Lenguagge().excelNotInstalledText()));
        QVERIFY(dialogs.boxes[0].text.contains(QDir::toNativeSeparators(path)));
    }

    void statusBarShowsWhereTheFileWent()
    {
        FakeDialogs dialogs;
        dialogs.saveAsSuggested = true;
        dialogs.unregisteredTypes = QStringList{QString::fromLatin1(ExcelExporter::kMimeType)};
        MainWindow window(nullptr, TestBroker::freePort());
        auto *action = window.findChild<QAction *>(QStringLiteral("actionExport_to_Excel"));
        const auto status = [&window] {
            return window.findChild<QStatusBar *>(QStringLiteral("statusBar"))->currentMessage();
        };

        window.open_short_log_example();
        action->trigger();
        QCOMPARE(exportFiles().size(), 1);
        const QString shortPath =
            ExcelExporter::exportFolder() + QLatin1Char('/') + exportFiles().constFirst();
        QVERIFY2(status().contains(QDir::toNativeSeparators(shortPath)), qPrintable(status()));

        window.process_full_log_example();
        action->trigger();
        QCOMPARE(exportFiles().size(), 2);
        QVERIFY(dialogs.openedDocuments.isEmpty());
        QVERIFY(!status().contains(QDir::toNativeSeparators(shortPath)));
        QVERIFY2(status().contains(QDir::toNativeSeparators(ExcelExporter::exportFolder())),
                 qPrintable(status()));

        // Nothing written: the status bar does not claim a file.
        clearExports();
        velmo::ensureDataFolder();
        QFile blocker(ExcelExporter::exportFolder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        action->trigger();
        QVERIFY(!status().contains(ExcelExporter::exportFolder() + QLatin1Char('/')));
        QFile::remove(blocker.fileName());
    }

    void progressRunsToTheEndWithTheFile()
    {
        FakeDialogs dialogs;
        QStringList lines;
        for (int run = 0; run < 30; ++run)
            lines << QStringLiteral("CMD: 01 IN START")
                  << QStringLiteral("EVENT NUMBER: %1").arg(run)
                  << QStringLiteral("TIME: %1").arg(100 + run) << QStringLiteral("EVENT: 40 FCA1");
        {
            ProgressWatcher watcher;
            ExcelExporter exporter;
            QVERIFY(exporter.exportFullLog(lines, 100, QDateTime::currentDateTime(), QString()));
            QVERIFY(!watcher.seen.isEmpty());
            // One step per run (block 0 is not written), one for the file.
            const ProgressWatcher::Seen &last = watcher.seen.constLast();
            QCOMPARE(last.maximum, 31);
            QCOMPARE(last.value, last.maximum);
            QCOMPARE(last.label, QStringLiteral("Writing the file..."));
            QVERIFY(!last.cancelButton); // the file is being written: too late to stop
            for (const ProgressWatcher::Seen &seen : watcher.seen) {
                if (seen.label == Lenguagge().exportingText())
                    QVERIFY(seen.value < seen.maximum && seen.cancelButton);
            }
        }
        // A cancelled export still writes and fills the bar. The rows are
        // written on a thread of their own: a log long enough that the
        // cancel comes while they are.
        QStringList many;
        constexpr int kManyRuns = 20000;
        for (int run = 0; run < kManyRuns; ++run)
            many << QStringLiteral("CMD: 01 IN START")
                 << QStringLiteral("EVENT NUMBER: %1").arg(run)
                 << QStringLiteral("TIME: %1").arg(100 + run) << QStringLiteral("EVENT: 40 FCA1");
        {
            Canceller canceller(3);
            ProgressWatcher watcher;
            ExcelExporter exporter;
            QVERIFY(exporter.exportFullLog(many, 100, QDateTime::currentDateTime(), QString()));
            QCOMPARE(watcher.seen.constLast().value, watcher.seen.constLast().maximum);
            QVERIFY(exporter.exportedRuns() > 0);
            QVERIFY2(exporter.exportedRuns() < kManyRuns,
                     qPrintable(QString::number(exporter.exportedRuns())));
            XlsxSheet sheet;
            QVERIFY(sheet.load(exporter.filePath()));
            QVERIFY(sheet.has(11, 6));
            QVERIFY(sheet.lastRow() < 11 + 3 * kManyRuns);
        }
    }

    void fullLogGoesOnPastTheRowLimit()
    {
        // A sheet of 40 rows stands in for the file format's 1,048,576:
        // the runs go on on further sheets under the same headings, and
        // none is lost.
        FakeDialogs dialogs;
        QStringList lines;
        constexpr int kRuns = 25;
        for (int run = 0; run < kRuns; ++run)
            lines << QStringLiteral("CMD: 01 IN START")
                  << QStringLiteral("EVENT NUMBER: %1").arg(15000 + run)
                  << QStringLiteral("TIME: %1").arg(100 + run) << QStringLiteral("EVENT: 40 FCA1")
                  << QStringLiteral("ALARM: E1 PHOT");
        ExcelExporter exporter;
        exporter.setSheetRowLimit(40);
        QVERIFY(exporter.exportFullLog(lines, 100, QDateTime::currentDateTime(), QString()));
        QCOMPARE(exporter.exportedRuns(), kRuns);
        QVERIFY(exporter.sheetCount() >= 3);

        // Sheet 1 as described: runs from row 11, four rows each, and the
        // headings row frozen and filtered.
        XlsxSheet sheet;
        QVERIFY(sheet.load(exporter.filePath(), 1));
        QCOMPARE(sheet.text(10, 2), QStringLiteral("Run Number"));
        QCOMPARE(sheet.text(10, 8), QStringLiteral("Run in Graphs"));
        QCOMPARE(sheet.frozenRows(), 10);
        QCOMPARE(sheet.text(11, 2), QStringLiteral("15000"));
        QCOMPARE(sheet.text(11, 8), QStringLiteral("1"));
        QVERIFY(sheet.lastRow() <= 40);
        QCOMPARE(sheet.autoFilter(), QStringLiteral("A10:H%1").arg(sheet.lastRow()));

        // Every run once, on whichever sheet, in order; N goes on counting.
        QStringList runs;
        int items = 0;
        for (int n = 1; n <= exporter.sheetCount(); ++n) {
            QVERIFY(sheet.load(exporter.filePath(), n));
            QVERIFY(sheet.lastRow() <= 40);
            if (n > 1) {
                QCOMPARE(sheet.text(1, 6), QStringLiteral("Command/Event/Alarm"));
                QVERIFY(sheet.cell(1, 6).bold);
                QCOMPARE(sheet.frozenRows(), 1);
                QCOMPARE(sheet.autoFilter(), QStringLiteral("A1:H%1").arg(sheet.lastRow()));
            }
            for (int r = 1; r <= sheet.lastRow(); ++r) {
                if (sheet.has(r, 2) && sheet.cell(r, 2).isNumber)
                    runs.append(sheet.text(r, 2));
                if (sheet.has(r, 1) && sheet.cell(r, 1).isNumber)
                    QCOMPARE(sheet.text(r, 1).toInt(), ++items);
            }
        }
        QCOMPARE(runs.size(), kRuns);
        QCOMPARE(runs.first(), QStringLiteral("15000"));
        QCOMPARE(runs.last(), QStringLiteral("15024"));
        QCOMPARE(items, 3 * kRuns);
    }

    void rowsGoToTheFileAsTheyAreCompleted()
    {
        FakeDialogs dialogs;
        ExcelExporter exporter;
        QVERIFY(exporter.openWorkbook());
        // Within the open rows any order goes.
        exporter.writeCell(QStringLiteral("'c"), 2, 3);
        exporter.writeCell(QStringLiteral("a"), 2, 1);
        exporter.writeCell(QStringLiteral("top"), 1, 2);
        exporter.setBold(1, 2);
        exporter.flushRowsBefore(3);
        // Written rows are final: a late cell is dropped, not misplaced.
        exporter.writeCell(QStringLiteral("late"), 2, 2);
        exporter.setBold(2, 1);
        exporter.writeCell(QStringLiteral("7"), 5, 2, true);
        exporter.writeCell(QStringLiteral("'  spaced  "), 3, 1);
        QVERIFY(exporter.finish());

        XlsxSheet sheet;
        QVERIFY(sheet.load(exporter.filePath()));
        QCOMPARE(sheet.text(1, 2), QStringLiteral("top"));
        QVERIFY(sheet.cell(1, 2).bold);
        QCOMPARE(sheet.text(2, 1), QStringLiteral("a"));
        QVERIFY(!sheet.cell(2, 1).bold);
        QCOMPARE(sheet.text(2, 3), QStringLiteral("c"));
        QVERIFY(!sheet.has(2, 2));
        QCOMPARE(sheet.text(3, 1), QStringLiteral("  spaced  "));
        QCOMPARE(sheet.text(5, 2), QStringLiteral("7"));
        QVERIFY(sheet.cell(5, 2).isNumber && sheet.cell(5, 2).centred);
        // Texts sit in their rows, not in a table held to the end: the mark
        // of the row-by-row writing that keeps a long export's memory flat.
        QVERIFY(sheet.cell(1, 2).inlineText && sheet.cell(3, 1).inlineText);
        QVERIFY(sheet.columnWidth(1) >= QStringLiteral("  spaced  ").size());
    }

    void twoExportsNeverShareAFile()
    {
        FakeDialogs dialogs;
        ShortLogData data;
        QVERIFY(exportToExcel(data));
        QVERIFY(exportToExcel(data));
        QCOMPARE(exportFiles().size(), 2);
        QCOMPARE(dialogs.openedDocuments.size(), 2);
        QVERIFY(dialogs.openedDocuments[0] != dialogs.openedDocuments[1]);
        // Only finished workbooks are left in the folder.
        QDir folder(velmo::dataFolderPath() + QStringLiteral("/Exports"));
        QCOMPARE(folder.entryList(QDir::Files).size(), 2);
    }

    void actionExportsTheOpenLog()
    {
        FakeDialogs dialogs;
        dialogs.saveAsSuggested = true;
        MainWindow window(nullptr, TestBroker::freePort()); // the export needs no broker
        QVERIFY(!window.findChild<QAction *>(QStringLiteral("actionExport_to_Excel"))->isEnabled());
        window.open_short_log_example();
        QAction *action = window.findChild<QAction *>(QStringLiteral("actionExport_to_Excel"));
        QVERIFY(action->isEnabled());
        action->trigger();
        QCOMPARE(dialogs.openedDocuments.size(), 1);
        XlsxSheet sheet;
        QVERIFY(sheet.load(dialogs.openedDocuments.constFirst()));
        QCOMPARE(sheet.text(2, 1), QStringLiteral("Board Info"));
        QCOMPARE(sheet.text(6, 1), ShortLogData::instance().infoCodes.value(0));

        window.process_full_log_example();
        QCOMPARE(window.logKind(), QStringLiteral("file_full"));
        action->trigger();
        QCOMPARE(dialogs.openedDocuments.size(), 2);
        // Save As proposed a name of the log's in the exports folder.
        QCOMPARE(dialogs.saveFilters.last(), QStringLiteral("Excel workbook (*.xlsx)"));
        const QFileInfo proposed(dialogs.suggestedSavePaths.last());
        QCOMPARE(proposed.absolutePath(),
                 QFileInfo(ExcelExporter::exportFolder()).absoluteFilePath());
        QVERIFY(proposed.fileName().startsWith(QLatin1String("full_log_example_")));
        QCOMPARE(proposed.suffix(), QStringLiteral("xlsx"));
        QCOMPARE(dialogs.openedDocuments.last(), proposed.absoluteFilePath());
        QVERIFY(sheet.load(dialogs.openedDocuments.last()));
        QCOMPARE(sheet.text(10, 2), QStringLiteral("Run Number"));
        // The example's first run, dated from the log's start.
        QCOMPARE(sheet.text(11, 2), QStringLiteral("14911"));
        QCOMPARE(sheet.text(11, 6), QStringLiteral(" 0C RX 5A 08"));
        QCOMPARE(sheet.text(11, 5).toDouble(), serialOf(window.logStartDateTime()));
        QVERIFY(sheet.lastRow() > 11);
    }
};

QTEST_MAIN(TstExport)
#include "tst_export.moc"
