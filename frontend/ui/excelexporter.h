#pragma once

#include <QCoreApplication>
#include <QDateTime>
#include <QHash>
#include <QMap>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>
#include <memory>

class ExportProgress;
class FullLog;
class LookupDatabase;

// One run of a full log as the sheet shows it: the record lines it spans
// (inclusive) and the last TIME, EVENT NUMBER and COUNT values read before
// the line that closed it.
struct EventBlock
{
    int firstLine = -1;
    int lastLine = 0;
    int time = 0;
    int runNumber = 0;
    int partialRuns = -1;
    int totalRuns = -1;
};

// Writes one log into a new workbook (by default in the per-user data
// folder) and opens it in the desktop's spreadsheet application. Rows and columns count from
// 1; a text beginning with "'" stays text, as a spreadsheet user types it,
// any other text that reads as a decimal number becomes a number.
//
// Rows go to the file as they are completed, so a log of any length takes
// the memory of a few rows: cells may be written in any order within the
// rows still open, and flushRowsBefore() closes the rows above a given one.
class ExcelExporter : public QObject
{
    Q_OBJECT
public:
    // What the desktop calls the files this class writes.
    static constexpr char kMimeType[] =
        "application/vnd.openxmlformats-officedocument.spreadsheetml.sheet";

    // Rows of a sheet in the file format; a full log goes on on further
    // sheets, under the same headings, rather than lose a run.
    static constexpr int kMaxSheetRows = 1048576;

    explicit ExcelExporter(QObject *parent = nullptr);
    ~ExcelExporter() override;

    // Prepares the file at `path` (which the user agreed to replace, if it
    // exists), or with no path a new, uniquely named file under "Exports";
    // false when the folder or the file cannot be created (the box is the
    // caller's).
    bool openWorkbook(const QString &path = QString());
    QString filePath() const { return m_path; }
    // Where the exports go unless the user picks another place.
    static QString exportFolder();
    // A name no file in the exports folder has yet: "<stem>_<date>.xlsx".
    static QString suggestedPath(const QString &stem);

    // Rows of a sheet before the next one starts; the file format's limit
    // unless a test asks for less.
    void setSheetRowLimit(int rows) { m_sheetRowLimit = rows; }
    // Sheets of the workbook being written, or last written.
    int sheetCount() const;
    // Starts the next sheet; the rows of the current one are written out.
    void startSheet();
    // Rows above `row` stay in view while the sheet scrolls.
    void freezeRowsAbove(int row);
    // A filter button on each heading of `headerRow`, columns 1 to `lastColumn`,
    // over the rows down to `lastRow`.
    void setAutoFilter(int headerRow, int lastRow, int lastColumn);

    void writeCell(const QString &text, int row, int column, bool centred = false);
    void writeCellPair(const QString &text1, const QString &text2, int row, int column);
    void writeDateTime(const QDateTime &value, int row, int column);
    void setBold(int row, int column);
    // Writes the rows above `row` to the file; they cannot change any more.
    void flushRowsBefore(int row);
    // Writes every row still open and sizes columns A to Z to their
    // longest text.
    void autoFitColumns();

    void writeBoardInfoTitle(const QString &language, int row);
    void writeBoardSettingsTitle(const QString &language, int row);
    void writeAlarmsTitle(const QString &language, int row);
    void writeLastAlarmsTitle(const QString &language, int row);
    void writeParameterHeaders(const QString &language, int row);
    void writeAlarmHeaders(const QString &language, int row);
    void writeLastAlarmHeaders(const QString &language, int row);
    void writeEventHeaders(const QString &language, int row);
    // Columns of the full log's table: the seven described ones and the
    // run's place in the graphs.
    static constexpr int kEventColumns = 8;
    void writeFirmwareInfo(QString firmware, int row, const QString &language);

    void buildBlocks(const QStringList &lines);
    const QVector<EventBlock> &eventBlocks() const { return blocks; }

    // True when the workbook was written (also after a cancel). The rows are
    // written on a thread of their own while the progress dialog follows.
    bool exportFullLog(const FullLog &log, const QDateTime &startTime,
                       const QString &path = QString());
    // The same for record lines, read as a full log with this first TIME
    // and firmware line.
    bool exportFullLog(const QStringList &lines, int firstTime, const QDateTime &startTime,
                       const QString &firmware);
    // Runs that the last full-log export wrote.
    int exportedRuns() const { return m_exportedRuns; }

    QString boardInfoDescription(const QString &code, const QString &language);
    QString alarmDescription(const QString &code, const QString &language);
    QString eventDescription(const QString &code, const QString &language);
    static QString alarmDescriptionFromFile(const QString &code, const QString &language);
    static QString eventDescriptionFromFile(const QString &code, const QString &language);

    // End steps of an export: fit the columns, write the file (as the last
    // step of `progress` when there is one) and hand it to the desktop. The
    // user is told where the file is whenever no application shows it.
    // False when the file could not be written.
    bool finish(ExportProgress *progress = nullptr);
    // Tells the user that the workbook could not be started.
    void reportOpenFailure() const;

private:
    enum class CellKind
    {
        Text,
        Number,
        DateTime
    };
    struct Cell
    {
        CellKind kind = CellKind::Text;
        QString text;
        double number = 0;
        QDateTime dateTime;
        bool bold = false;
        bool centred = false;
    };
    using Row = QMap<int, Cell>; // by column, from 1
    struct Workbook;
    struct TextCells
    {
        bool made = false;
        Cell value;
        Cell description;
    };

    // The cell writeCell() makes of `text`.
    static Cell cellOf(const QString &text);
    static Cell numberCell(qint64 value);
    void putCell(int row, int column, const Cell &made, bool centred = false);

    Cell *cellAt(int row, int column);
    void writeRow(int row, const Row &cells);
    bool closeWorkbook(ExportProgress *progress, QString *error);
    void discardWorkbook();
    void closeSheet();
    void writeFullLogRows(const FullLog &log, const QDateTime &startTime, const QString &language,
                          const std::function<void(int)> &step,
                          const std::function<bool()> &cancelled);
    void showWhereItWent() const;
    void writeTitle(const QString &text, int row);
    void writeHeaders(const QStringList &texts, int row);
    QString describe(const char *query, const QString &code, const QString &language);

    QString m_path;
    std::unique_ptr<Workbook> m_book;
    QMap<int, Row> m_openRows; // by row, from 1
    int m_firstOpenRow = 1;    // rows above it are in the file
    QMap<int, double> m_columnWidths;
    bool m_open = false;
    bool m_chosenPath = false; // the user named the file
    int m_sheetRowLimit = kMaxSheetRows;
    int m_frozenRows = 0;
    int m_filterRow = 0; // 0: none
    int m_filterLastRow = 0;
    int m_filterLastColumn = 0;
    int m_exportedRuns = 0;
    int m_sheets = 0;
    std::unique_ptr<LookupDatabase> database;
    QHash<QString, QString> m_descriptions;
    QVector<EventBlock> blocks;
};
