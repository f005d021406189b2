// How records read in a spreadsheet and on a terminal: CSV that survives
// any text and never runs as a formula, aligned tables, durations and sizes.
#include "records/recordformat.h"

#include <QtTest>

using namespace records;

namespace {

// RFC 4180 reader, strict enough to notice a field that was not quoted
// where it had to be.
QList<QStringList> parseCsv(const QString &text)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"') && field.isEmpty()) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
        } else if (c == QLatin1Char('\r') && i + 1 < text.size() &&
                   text.at(i + 1) == QLatin1Char('\n')) {
            row << field;
            field.clear();
            rows << row;
            row.clear();
            ++i;
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty())
        rows << (row << field); // a last line without its CRLF
    return rows;
}

UpdateRecord finished(qint64 id, const QString &error)
{
    UpdateRecord r;
    r.id = id;
    r.startedAt = QDateTime(QDate(2024, 3, 5), QTime(8, 0, 0));
    r.finishedAt = r.startedAt.addMSecs(83450);
    r.program = QStringLiteral("VelmoFrontEnd");
    r.user = QStringLiteral("tech");
    r.host = QStringLiteral("pc");
    r.port = QStringLiteral("/dev/ttyUSB0");
    r.boardId = QStringLiteral("0x1234");
    r.boardName = QStringLiteral("VB-1234 virtual board");
    r.filePath = QStringLiteral("/fw/vb1234.hex");
    r.fileSize = 63488;
    r.fileMd5 = QStringLiteral("0123456789abcdef0123456789abcdef");
    r.fileNotes =
        QStringLiteral("16 bytes at 0xF00000\u20130xF0000F lie outside this board's flash "
                       "and are not written\n1 byte at 0x300001 lies outside this "
                       "board's flash and is not written");
    r.erase = EraseMode::All;
    r.state = RecordState::Failed;
    r.errorText = error;
    return r;
}

} // namespace

class TstRecordFormat : public QObject
{
    Q_OBJECT

private slots:
    // Any text comes back unchanged through a CSV reader, except that a
    // cell a spreadsheet would evaluate starts with a quote.
    void csvCells_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cell");
        QTest::newRow("plain") << "Write timeout"
                               << "Write timeout";
        QTest::newRow("comma") << "block 20, page 3"
                               << "block 20, page 3";
        QTest::newRow("quotes") << "port \"COM3\" busy"
                                << "port \"COM3\" busy";
        QTest::newRow("line break") << "first\nsecond\r\nthird"
                                    << "first\nsecond\r\nthird";
        QTest::newRow("non-ASCII") << "scheda non trovata: perché?"
                                   << "scheda non trovata: perché?";
        QTest::newRow("formula") << "=HYPERLINK(\"http://x\",\"y\")"
                                 << "'=HYPERLINK(\"http://x\",\"y\")";
        QTest::newRow("plus") << "+1+2"
                              << "'+1+2";
        QTest::newRow("minus") << "-2+3"
                               << "'-2+3";
        QTest::newRow("at") << "@SUM(A1)"
                            << "'@SUM(A1)";
        QTest::newRow("tab") << "\t=1"
                             << "'\t=1";
        QTest::newRow("carriage return") << "\r=1"
                                         << "'\r=1";
        QTest::newRow("inside is fine") << "a=b+c-d@e"
                                        << "a=b+c-d@e";
        QTest::newRow("empty") << ""
                               << "";
    }
    void csvCells()
    {
        QFETCH(QString, text);
        QFETCH(QString, cell);
        const QByteArray csv = RecordFormat::toCsv({finished(7, text)});
        const QList<QStringList> rows = parseCsv(QString::fromUtf8(csv));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.at(1).size(), rows.at(0).size());
        QCOMPARE(rows.at(1).at(rows.at(0).indexOf(QStringLiteral("error"))), cell);
        QVERIFY(csv.endsWith("\r\n"));
    }

    void csvLayout()
    {
        UpdateRecord running = finished(9, QString());
        running.finishedAt = QDateTime();
        running.state = RecordState::Running;
        running.fileSize = -1;
        running.erase = EraseMode::Pages;
        UpdateRecord failed = finished(8, QStringLiteral("timeout"));
        failed.origin.fromLibrary = false;
        failed.origin.signature = SignatureState::UntrustedKey;

        const QByteArray csv = RecordFormat::toCsv({running, failed});
        QVERIFY(!csv.startsWith("\xEF\xBB\xBF"));
        const QList<QStringList> rows = parseCsv(QString::fromUtf8(csv));
        QCOMPARE(rows.size(), 3);
        const QStringList header = rows.at(0);
        QCOMPARE(header,
                 (QStringList{"id",        "started",    "finished", "duration_s", "result",
                              "board_id",  "board_name", "file",     "size_bytes", "md5",
                              "erase",     "port",       "user",     "host",       "program",
                              "error",     "verify",     "retries",  "file_notes", "from_library",
                              "signature", "signer"}));
        auto cell = [&](int row, const char *column) {
            return rows.at(row).at(header.indexOf(QString::fromLatin1(column)));
        };
        QCOMPARE(cell(1, "id"), QStringLiteral("9"));
        QCOMPARE(cell(1, "result"), QStringLiteral("running"));
        QCOMPARE(cell(1, "finished"), QString());
        QCOMPARE(cell(1, "duration_s"), QString());
        QCOMPARE(cell(1, "size_bytes"), QString());
        QCOMPARE(cell(1, "erase"), QStringLiteral("page-erase"));
        QCOMPARE(cell(2, "started"), QStringLiteral("2024-03-05 08:00:00"));
        QCOMPARE(cell(2, "finished"), QStringLiteral("2024-03-05 08:01:23"));
        QCOMPARE(cell(2, "duration_s"), QStringLiteral("83.5"));
        QCOMPARE(cell(2, "result"), QStringLiteral("failed"));
        QCOMPARE(cell(2, "size_bytes"), QStringLiteral("63488"));
        QCOMPARE(cell(2, "md5"), failed.fileMd5);
        QCOMPARE(cell(2, "file"), failed.filePath);
        QCOMPARE(cell(2, "erase"), QStringLiteral("erase-all"));
        QCOMPARE(cell(2, "error"), QStringLiteral("timeout"));
        QCOMPARE(cell(2, "file_notes"), failed.fileNotes);
        // Unknown for a record of an older version, 0 or 1 otherwise.
        QCOMPARE(cell(1, "from_library"), QString());
        QCOMPARE(cell(1, "signature"), QString());
        QCOMPARE(cell(2, "from_library"), QStringLiteral("0"));
        QCOMPARE(cell(2, "signature"), QStringLiteral("untrusted-key"));

        // With the mark spreadsheet programs look for, and nothing else changed.
        const QByteArray marked = RecordFormat::toCsv({running, failed}, true);
        QVERIFY(marked.startsWith("\xEF\xBB\xBF"));
        QCOMPARE(marked.mid(3), csv);
        QCOMPARE(parseCsv(QString::fromUtf8(RecordFormat::toCsv({}))).size(), 1);
    }

    void durations_data()
    {
        QTest::addColumn<qint64>("ms");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << qint64(-1) << "";
        QTest::newRow("zero") << qint64(0) << "< 1 s";
        QTest::newRow("sub-second") << qint64(999) << "< 1 s";
        QTest::newRow("one second") << qint64(1000) << "1 s";
        QTest::newRow("rounds") << qint64(41500) << "42 s";
        QTest::newRow("rounds up to a minute") << qint64(59600) << "1 min 00 s";
        QTest::newRow("minutes") << qint64(185000) << "3 min 05 s";
        QTest::newRow("hours") << qint64(3720000) << "1 h 02 min";
    }
    void durations()
    {
        QFETCH(qint64, ms);
        QFETCH(QString, text);
        QCOMPARE(RecordFormat::duration(ms), text);
    }

    void sizesAndDigests()
    {
        QCOMPARE(RecordFormat::sizeKiB(63488), QStringLiteral("62.0"));
        QCOMPARE(RecordFormat::sizeKiB(1536, QLocale(QLocale::Italian)), QStringLiteral("1,5"));
        QCOMPARE(RecordFormat::sizeKiB(0), QStringLiteral("0.0"));
        QCOMPARE(RecordFormat::sizeKiB(-1), QString());
        QCOMPARE(RecordFormat::shortMd5(QStringLiteral("0123456789abcdef0123456789abcdef")),
                 QStringLiteral("01234567") + QChar(0x2026));
        QCOMPARE(RecordFormat::shortMd5(QString()), QString());
    }

    // Columns line up whatever the lengths, every record is one line, and
    // nothing from a record can move the terminal's cursor.
    void terminalTable()
    {
        QCOMPARE(RecordFormat::toText({}), RecordFormat::emptyText() + "\n");

        UpdateRecord longer = finished(2, QStringLiteral("line one\nline two \x1b[2J"));
        longer.boardName = QStringLiteral("A much longer board name than the other");
        longer.filePath = QStringLiteral("/very/deep/folder/firmware-2.8.1.hex");
        UpdateRecord ok = finished(1, QString());
        ok.state = RecordState::Ok;
        ok.fileNotes.clear();
        const QString text = RecordFormat::toText({longer, ok});
        QVERIFY(text.endsWith('\n'));
        const QStringList lines = text.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 3);
        QVERIFY(!text.contains(QChar(0x1b)));
        for (const QString &line : lines)
            QVERIFY2(!line.endsWith(' '), qPrintable(line));
        // Each column starts at the same offset on every line.
        const QString header = lines.at(0);
        for (const char *title : {"Result", "Board name", "File", "MD5", "Error"}) {
            const int at = int(header.indexOf(QString::fromLatin1(title)));
            QVERIFY(at > 0);
            QCOMPARE(lines.at(1).at(at - 1), QLatin1Char(' '));
            QVERIFY(lines.at(1).at(at) != QLatin1Char(' '));
        }
        QCOMPARE(lines.at(1).mid(header.indexOf("File")).section("  ", 0, 0),
                 QStringLiteral("firmware-2.8.1.hex"));
        QVERIFY(lines.at(1).contains(QStringLiteral("1 min 23 s")));
        QVERIFY(lines.at(1).contains(QStringLiteral("line one line two  [2J  ")));
        // The file notes last, on the record's one line.
        QVERIFY(lines.at(1).endsWith(QStringLiteral("are not written; 1 byte at 0x300001 lies "
                                                    "outside this board's flash and is not "
                                                    "written")));
        QVERIFY(lines.at(2).contains(QStringLiteral("OK")));
        QVERIFY(lines.at(2).contains(QStringLiteral("62.0")));
        QVERIFY(lines.at(2).contains(QStringLiteral("01234567") + QChar(0x2026)));
        QVERIFY(lines.at(2).endsWith(QStringLiteral("VelmoFrontEnd")));
    }
};

QTEST_GUILESS_MAIN(TstRecordFormat)
#include "tst_recordformat.moc"
