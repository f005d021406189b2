// The service-record window over a store the test fills: rows newest first,
// what each cell shows, the board and day filters, CSV export through the
// dialog seam, an update that ends while the window is open, and a damaged
// store.
#include "frontend/ui/servicerecorddialog.h"
#include "records/recordformat.h"
#include "records/servicerecord.h"
#include "tests/frontend/fakedialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStackedWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTranslator>
#include <QtTest>

using namespace records;
using Col = ServiceRecordDialog::Column;

namespace {

const QString kMd5 = QStringLiteral("3f1c9a0b5e7d2c4a8b6e0f1d2c3b4a59");

struct Seed
{
    int daysAgo;
    const char *board;
    std::optional<UpdateResult> result; // none: left open
    const char *error;
};

// Whose writer is gone: as if a killed process had left it.
void orphan(const QString &db, qint64 id)
{
    {
        QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "tst-orphan");
        raw.setDatabaseName(db);
        QVERIFY(raw.open());
        QSqlQuery q(raw);
        QVERIFY(q.exec(
            QStringLiteral("UPDATE updates SET writer_boot_id = 'gone' WHERE id = %1").arg(id)));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("tst-orphan"));
}

int rowOf(const QTableWidget *table, const QString &started)
{
    for (int row = 0; row < table->rowCount(); ++row)
        if (table->item(row, Col::StartedColumn)->text() == started)
            return row;
    return -1;
}

QStringList column(const QTableWidget *table, int c)
{
    QStringList out;
    for (int row = 0; row < table->rowCount(); ++row)
        out << table->item(row, c)->text();
    return out;
}

} // namespace

class TstServiceRecordDialog : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QMap<QString, qint64> m_ids; // by label

    // Five updates over forty days, two boards, every kind of end.
    QString seededStore(const char *name)
    {
        const QString db = m_dir.filePath(QString::fromLatin1(name));
        ServiceRecord store;
        if (!store.open(db))
            return QString();
        const QList<QPair<QString, Seed>> seeds = {
            {"old-aborted", {40, "0x1234", UpdateResult::AbortedByClosing, ""}},
            {"interrupted", {20, "0x2345", std::nullopt, ""}},
            {"ok", {10, "0x1234", UpdateResult::Ok, ""}},
            {"failed", {3, "0x2345", UpdateResult::Failed, "Write timeout,\nblock 20"}},
            {"running", {0, "0x2345", std::nullopt, ""}}};
        const QDateTime now = QDateTime::currentDateTime();
        for (const auto &[label, seed] : seeds) {
            UpdateStart s;
            // Noon keeps "days ago" on the same calendar day.
            s.startedAt = QDateTime(now.date().addDays(-seed.daysAgo), QTime(12, 0));
            if (seed.daysAgo == 0)
                s.startedAt = now.addSecs(-5);
            s.program = QStringLiteral("VelmoFrontEnd");
            s.port = QStringLiteral("/dev/ttyUSB0");
            s.boardId = QString::fromLatin1(seed.board);
            s.boardName = QStringLiteral("Board ") + s.boardId;
            s.filePath = QStringLiteral("/home/tech/firmware/%1.hex").arg(label);
            s.fileSize = 63488;
            s.fileMd5 = kMd5;
            s.erase = seed.daysAgo == 3 ? EraseMode::Pages : EraseMode::All;
            const qint64 id = store.beginUpdate(s);
            m_ids.insert(label, id);
            if (seed.result)
                store.finishUpdate(id, *seed.result, QString::fromLatin1(seed.error));
        }
        orphan(db, m_ids.value("interrupted"));
        return db;
    }

private slots:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void emptyStore()
    {
        FakeDialogs dialogs;
        ServiceRecordDialog dialog(nullptr, m_dir.filePath("empty.sqlite"));
        QVERIFY(!dialog.isModal());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.emptyLabel()->isVisible());
        QVERIFY(!dialog.table()->isVisible());
        QCOMPARE(dialog.emptyLabel()->text(), QStringLiteral("No updates recorded yet."));
        QVERIFY(!dialog.exportButton()->isEnabled());
        QCOMPARE(dialog.boardBox()->count(), 1);
        QCOMPARE(dialog.boardBox()->currentText(), QStringLiteral("All"));
        QVERIFY(!dialog.rangeBox()->isChecked());
        QCOMPARE(dialog.fromEdit()->date(),
                 QDate::currentDate().addDays(-ServiceRecordDialog::kDefaultRangeDays));
        QCOMPARE(dialog.toEdit()->date(), QDate::currentDate());
        QVERIFY(dialogs.boxes.isEmpty());
    }

    void tableAndFilters()
    {
        FakeDialogs dialogs;
        const QString db = seededStore("filters.sqlite");
        QVERIFY(!db.isEmpty());
        ServiceRecordDialog dialog(nullptr, db);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTableWidget *table = dialog.table();
        QVERIFY(table->isVisible());
        QCOMPARE(table->columnCount(), int(Col::ColumnCount));
        QCOMPARE(table->horizontalHeaderItem(Col::ResultColumn)->text(), QStringLiteral("Result"));

        // Newest first, each end in its words.
        QCOMPARE(column(table, Col::ResultColumn),
                 (QStringList{"Running", "Failed", "OK", "Interrupted", "Aborted"}));
        QCOMPARE(dialog.statusLabel()->text(), QStringLiteral("5 updates shown."));
        QCOMPARE(dialog.boardBox()->count(), 3);
        QCOMPARE(dialog.boardBox()->itemText(1), QStringLiteral("0x1234"));
        QCOMPARE(dialog.boardBox()->itemText(2), QStringLiteral("0x2345"));

        const int failed = 1;
        const int ok = 2;
        QCOMPARE(table->item(failed, Col::FileColumn)->text(), QStringLiteral("failed.hex"));
        QCOMPARE(table->item(failed, Col::FileColumn)->toolTip(),
                 QStringLiteral("/home/tech/firmware/failed.hex"));
        QCOMPARE(table->item(failed, Col::SizeColumn)->text(), QLocale().toString(62.0, 'f', 1));
        QCOMPARE(table->item(failed, Col::Md5Column)->text(), kMd5.left(8) + QChar(0x2026));
        QCOMPARE(table->item(failed, Col::Md5Column)->toolTip(), kMd5);
        QCOMPARE(table->item(failed, Col::EraseColumn)->text(), QStringLiteral("Page erase"));
        QCOMPARE(table->item(ok, Col::EraseColumn)->text(), QStringLiteral("Erase all"));
        // One line in the cell, the daemon's text whole in the tooltip.
        QCOMPARE(table->item(failed, Col::ErrorColumn)->text(),
                 QStringLiteral("Write timeout, block 20"));
        QCOMPARE(table->item(failed, Col::ResultColumn)->toolTip(),
                 QStringLiteral("Write timeout,\nblock 20"));
        QVERIFY(!table->item(ok, Col::DurationColumn)->text().isEmpty());
        QVERIFY(table->item(0, Col::DurationColumn)->text().isEmpty()); // still running
        // A failure does not look like a success.
        QVERIFY(table->item(failed, Col::ResultColumn)->foreground().color() !=
                table->item(ok, Col::ResultColumn)->foreground().color());
        QVERIFY(!table->item(failed, Col::ResultColumn)->icon().isNull());
        QVERIFY(!(table->item(ok, Col::ResultColumn)->flags() & Qt::ItemIsEditable));

        // By board.
        dialog.boardBox()->setCurrentIndex(2);
        QCOMPARE(column(table, Col::ResultColumn),
                 (QStringList{"Running", "Failed", "Interrupted"}));
        QCOMPARE(dialog.currentFilter().boardId, QStringLiteral("0x2345"));

        // By days: choosing a date turns the range on.
        dialog.boardBox()->setCurrentIndex(0);
        const QDate today = QDate::currentDate();
        dialog.fromEdit()->setDate(today.addDays(-20));
        QVERIFY(dialog.rangeBox()->isChecked());
        dialog.toEdit()->setDate(today.addDays(-3));
        QCOMPARE(column(table, Col::ResultColumn), (QStringList{"Failed", "OK", "Interrupted"}));
        dialog.boardBox()->setCurrentIndex(1);
        QCOMPARE(column(table, Col::ResultColumn), QStringList{"OK"});
        QCOMPARE(dialog.statusLabel()->text(), QStringLiteral("1 update shown."));

        // Nothing left: said so, and nothing to export.
        dialog.toEdit()->setDate(today.addDays(-19));
        dialog.fromEdit()->setDate(today.addDays(-19));
        QCOMPARE(table->rowCount(), 0);
        QVERIFY(dialog.emptyLabel()->isVisible());
        QCOMPARE(dialog.emptyLabel()->text(), QStringLiteral("No updates match the filter."));
        QVERIFY(!dialog.exportButton()->isEnabled());

        // Off again: every record, the board filter still applies.
        dialog.rangeBox()->setChecked(false);
        QCOMPARE(column(table, Col::ResultColumn), (QStringList{"OK", "Aborted"}));
        QVERIFY(table->isVisible());
        QVERIFY(dialogs.boxes.isEmpty());
    }

    // The shown records, as shown, into the file the user picks.
    void exportCsv()
    {
        FakeDialogs dialogs;
        const QString db = seededStore("export.sqlite");
        ServiceRecordDialog dialog(nullptr, db);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        dialog.boardBox()->setCurrentIndex(1); // 0x1234

        // Cancelled: nothing written, nothing said.
        dialog.exportButton()->click();
        QCOMPARE(dialogs.saveFilters, QStringList{"CSV files (*.csv)"});
        QVERIFY(dialogs.suggestedSavePaths.constFirst().endsWith(
            QStringLiteral("service-record-%1.csv")
                .arg(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")))));
        QVERIFY(dialogs.boxes.isEmpty());

        const QString target = m_dir.filePath("export.csv");
        {
            QFile old(target);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("an older export that gets replaced\n");
        }
        dialogs.saveFiles << target;
        dialog.exportButton()->click();
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray csv = file.readAll();
        QCOMPARE(csv, RecordFormat::toCsv(dialog.shownRecords(), true));
        const QList<QByteArray> lines = csv.mid(3).split('\n');
        QCOMPARE(lines.size(), 4); // header, two records, the empty rest after the last CRLF
        QVERIFY(lines.at(1).startsWith(QByteArray::number(m_ids.value("ok")) + ','));
        QVERIFY(lines.at(2).startsWith(QByteArray::number(m_ids.value("old-aborted")) + ','));
        QVERIFY(dialog.statusLabel()->text().contains(QStringLiteral("2 updates saved to")));
        QVERIFY(dialogs.boxes.isEmpty());

        // A folder that is not there: an error box and the reason.
        dialogs.saveFiles << m_dir.filePath("no-such-folder/export.csv");
        dialog.exportButton()->click();
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(dialogs.boxes.at(0).title, QStringLiteral("Error"));
        QCOMPARE(dialogs.boxes.at(0).kind, UserDialogs::Kind::Critical);
        QVERIFY(dialogs.boxes.at(0).text.contains(QStringLiteral("no-such-folder")));
    }

    // An update that ends elsewhere while the window is open ends on screen.
    void followsRunningUpdate()
    {
        FakeDialogs dialogs;
        const QString db = seededStore("running.sqlite");
        ServiceRecordDialog dialog(nullptr, db);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialog.table()->item(0, Col::ResultColumn)->text(), QStringLiteral("Running"));
        const QString started = dialog.table()->item(0, Col::StartedColumn)->text();

        ServiceRecord writer;
        QVERIFY(writer.open(db));
        QVERIFY(writer.finishUpdate(m_ids.value("running"), UpdateResult::Ok, QString()));
        UpdateStart next;
        next.boardId = QStringLiteral("0x3456");
        QVERIFY(writer.beginUpdate(next) > 0);
        QTRY_COMPARE_WITH_TIMEOUT(dialog.table()->rowCount(), 6,
                                  4 * ServiceRecordDialog::kWatchIntervalMs);
        const int row = rowOf(dialog.table(), started);
        QVERIFY(row > 0);
        QCOMPARE(dialog.table()->item(row, Col::ResultColumn)->text(), QStringLiteral("OK"));
        QCOMPARE(dialog.boardBox()->count(), 4);
    }

    // A damaged file: the user is told where it went; the window carries on
    // with a new, empty record.
    void damagedStore()
    {
        FakeDialogs dialogs;
        const QString db = m_dir.filePath("damaged.sqlite");
        {
            QFile f(db);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, '\x07'));
        }
        ServiceRecordDialog dialog(nullptr, db);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(dialogs.boxes.size(), 1);
        QCOMPARE(dialogs.boxes.at(0).kind, UserDialogs::Kind::Warning);
        QVERIFY(dialogs.boxes.at(0).text.contains(db + QStringLiteral(".damaged-")));
        QCOMPARE(dialog.emptyLabel()->text(), QStringLiteral("No updates recorded yet."));
        // Shown again: the new file is sound, nothing more to say.
        dialog.hide();
        dialog.show();
        QCOMPARE(dialogs.boxes.size(), 1);

        // A store that cannot be opened at all says why, in place of the table.
        const QString folder = m_dir.filePath("folder.sqlite");
        QVERIFY(QDir().mkpath(folder));
        ServiceRecordDialog broken(nullptr, folder);
        broken.show();
        QVERIFY(broken.emptyLabel()->text().contains(folder));
        QVERIFY(!broken.exportButton()->isEnabled());
    }

    // The window's own texts and those of the shared formatting, in Italian.
    void italianTexts()
    {
        FakeDialogs dialogs;
        QTranslator translator;
        const QString qm =
            qEnvironmentVariable("VELMO_STAGE_DIR") + "/translations/velmofrontend_it.qm";
        QVERIFY2(translator.load(qm), qPrintable(qm));
        QVERIFY(QCoreApplication::installTranslator(&translator));
        {
            ServiceRecordDialog empty(nullptr, m_dir.filePath("empty-it.sqlite"));
            empty.show();
            QCOMPARE(empty.windowTitle(), QStringLiteral("Registro aggiornamenti"));
            QCOMPARE(empty.emptyLabel()->text(),
                     QStringLiteral("Nessun aggiornamento registrato finora."));
            QCOMPARE(empty.boardBox()->itemText(0), QStringLiteral("Tutte"));
        }
        ServiceRecordDialog dialog(nullptr, seededStore("italian.sqlite"));
        dialog.show();
        QCOMPARE(dialog.table()->horizontalHeaderItem(Col::ResultColumn)->text(),
                 QStringLiteral("Esito"));
        QCOMPARE(column(dialog.table(), Col::ResultColumn),
                 (QStringList{"In corso", "Fallito", "OK", "Interrotto", "Annullato"}));
        QCOMPARE(dialog.table()->item(1, Col::EraseColumn)->text(), QStringLiteral("Per pagine"));
        QCOMPARE(dialog.statusLabel()->text(), QStringLiteral("5 aggiornamenti mostrati."));
        QCOMPARE(dialog.exportButton()->text(), QStringLiteral("&Esporta CSV…"));
        QCoreApplication::removeTranslator(&translator);
    }
};

QTEST_MAIN(TstServiceRecordDialog)
#include "tst_servicerecorddialog.moc"
