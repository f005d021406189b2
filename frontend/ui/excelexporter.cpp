#include "frontend/ui/excelexporter.h"

#include "common/datafolder.h"
#include "frontend/base/lenguagge.h"
#include "frontend/base/userdialogs.h"
#include "frontend/logs/fulllog.h"
#include "frontend/logs/lookupdb.h"
#include "frontend/ui/exportprogress.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <xlsxwriter.h>

#include <algorithm>

namespace {
const QLatin1String kItalian("IT");
using fulllogline::kAlarm;
using fulllogline::kCmd;
using fulllogline::kCount;
using fulllogline::kEvent;
using fulllogline::kEventNumber;
using fulllogline::kTime;

constexpr int kFirmwareRow = 3;
constexpr int kEventHeaderRow = 10;
constexpr int kFirstEventRow = 11;
constexpr int kMaxCellText = 32767; // longest text a cell may hold
constexpr double kMinColumnWidth = 8.43;
constexpr double kMaxColumnWidth = 255;
constexpr double kColumnPadding = 2;
constexpr int kAutoFitLastColumn = 26; // "a:z"
constexpr char kFolderMimeType[] = "inode/directory";

QString pick(const QString &language, const char *english, const char *italian)
{
    return QString::fromUtf8(language == kItalian ? italian : english);
}

// The text before the first `separator`; the whole text when there is none.
QString before(const QString &text, const QString &separator)
{
    const qsizetype at = text.indexOf(separator);
    return at < 0 ? text : text.left(at);
}

bool readsAsNumber(const QString &text, double *value)
{
    static const QRegularExpression number(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    if (!number.match(text).hasMatch())
        return false;
    bool ok = false;
    *value = text.toDouble(&ok);
    return ok;
}

// A name that no earlier export has used, so nothing is ever overwritten.
QString uniqueExportPath(const QDir &folder)
{
    const QString stamp =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_hh-mm-ss"));
    QString name = QStringLiteral("Log_export_%1.xlsx").arg(stamp);
    for (int n = 2; folder.exists(name); ++n)
        name = QStringLiteral("Log_export_%1_%2.xlsx").arg(stamp).arg(n);
    return folder.filePath(name);
}

QString partialPath(const QString &path)
{
    return path + QStringLiteral(".part");
}
} // namespace

// The open workbook with the few cell formats the sheets use.
struct ExcelExporter::Workbook
{
    lxw_workbook *workbook = nullptr;
    lxw_worksheet *sheet = nullptr; // the one being written
    int sheets = 0;
    lxw_format *formats[2][2] = {};  // [bold][centred]
    lxw_format *dateFormats[2] = {}; // [centred]
    QByteArray tmpdir;               // outlives the workbook, which keeps the pointer
};

ExcelExporter::ExcelExporter(QObject *parent)
    : QObject(parent)
{}

ExcelExporter::~ExcelExporter()
{
    // A workbook that was never finished must not leave its empty claim.
    if (m_open) {
        discardWorkbook();
        if (!m_chosenPath)
            QFile::remove(m_path);
    }
}

QString ExcelExporter::exportFolder()
{
    return velmo::dataFolderPath() + QStringLiteral("/Exports");
}

QString ExcelExporter::suggestedPath(const QString &stem)
{
    const QDir folder(exportFolder());
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd_hh-mm"));
    QString name = QStringLiteral("%1_%2.xlsx").arg(stem, stamp);
    for (int n = 2; folder.exists(name); ++n)
        name = QStringLiteral("%1_%2_%3.xlsx").arg(stem, stamp).arg(n);
    return folder.filePath(name);
}

bool ExcelExporter::openWorkbook(const QString &path)
{
    if (m_open) {
        discardWorkbook();
        if (!m_chosenPath)
            QFile::remove(m_path);
    }
    m_openRows.clear();
    m_firstOpenRow = 1;
    m_columnWidths.clear();
    m_frozenRows = 0;
    m_filterRow = 0;
    m_open = false;
    m_chosenPath = !path.isEmpty();
    if (m_chosenPath) {
        m_path = QFileInfo(path).absoluteFilePath();
        if (!QDir(QFileInfo(m_path).absolutePath()).exists()) {
            qWarning() << "export folder missing:" << m_path;
            return false;
        }
    } else {
        const QDir folder(exportFolder());
        m_path = folder.path();
        if (!folder.mkpath(QStringLiteral("."))) {
            qWarning() << "export folder not created:" << folder.path();
            return false;
        }
        m_path = uniqueExportPath(folder);
        // Claim the name now: a folder that takes no files should fail
        // here, before the user waits for the whole sheet.
        QFile claim(m_path);
        if (!claim.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            qWarning() << "export file not created:" << m_path << claim.errorString();
            return false;
        }
        claim.close();
    }

    // Constant-memory mode: each row goes to a temporary file once the next
    // one starts, so only the open row is held. The workbook is written next
    // to the claimed name and moved over it, so a failed write never leaves
    // a broken workbook under the export's name.
    auto book = std::make_unique<Workbook>();
    book->tmpdir = QFile::encodeName(QDir::tempPath());
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = book->tmpdir.data();
    const QString partial = partialPath(m_path);
    QFile::remove(partial);
    book->workbook = workbook_new_opt(QFile::encodeName(partial).constData(), &options);
    book->sheet = book->workbook ? workbook_add_worksheet(book->workbook, nullptr) : nullptr;
    book->sheets = 1;
    m_sheets = 1;
    // The partial file is made only when the workbook is closed: a place
    // that takes no file must fail now, not after the rows.
    QFile probe(partial);
    const bool writable = probe.open(QIODevice::WriteOnly);
    probe.close();
    QFile::remove(partial);
    if (!book->sheet || !writable) {
        qWarning() << "export workbook not created:" << partial;
        if (book->workbook)
            lxw_workbook_free(book->workbook);
        if (!m_chosenPath)
            QFile::remove(m_path);
        return false;
    }
    for (int bold = 0; bold < 2; ++bold) {
        for (int centred = 0; centred < 2; ++centred) {
            lxw_format *format = workbook_add_format(book->workbook);
            if (bold)
                format_set_bold(format);
            if (centred)
                format_set_align(format, LXW_ALIGN_CENTER);
            book->formats[bold][centred] = format;
        }
    }
    for (int centred = 0; centred < 2; ++centred) {
        lxw_format *format = workbook_add_format(book->workbook);
        format_set_num_format(format, "dd/mm/yyyy hh:mm");
        if (centred)
            format_set_align(format, LXW_ALIGN_CENTER);
        book->dateFormats[centred] = format;
    }
    m_book = std::move(book);
    m_open = true;
    return true;
}

void ExcelExporter::discardWorkbook()
{
    if (m_book && m_book->workbook)
        lxw_workbook_free(m_book->workbook);
    m_book.reset();
    m_openRows.clear();
    QFile::remove(partialPath(m_path));
}

ExcelExporter::Cell *ExcelExporter::cellAt(int row, int column)
{
    if (row < 1 || column < 1)
        return nullptr;
    if (row < m_firstOpenRow) {
        // The file format takes rows in order only; a late cell would vanish
        // without a word, so say it where a developer looks.
        qWarning() << "export: row" << row << "is already written, cell" << column << "dropped";
        return nullptr;
    }
    return &m_openRows[row][column];
}

ExcelExporter::Cell ExcelExporter::cellOf(const QString &text)
{
    Cell cell;
    if (text.startsWith(QLatin1Char('\''))) {
        cell.text = text.mid(1);
    } else if (readsAsNumber(text, &cell.number)) {
        cell.kind = CellKind::Number;
        cell.text = text;
    } else {
        cell.text = text;
    }
    cell.text.truncate(kMaxCellText);
    return cell;
}

ExcelExporter::Cell ExcelExporter::numberCell(qint64 value)
{
    Cell cell;
    cell.kind = CellKind::Number;
    cell.number = double(value);
    cell.text = QString::number(value);
    return cell;
}

void ExcelExporter::putCell(int row, int column, const Cell &made, bool centred)
{
    Cell *cell = cellAt(row, column);
    if (!cell)
        return;
    cell->kind = made.kind;
    cell->text = made.text;
    cell->number = made.number;
    if (centred)
        cell->centred = true;
}

void ExcelExporter::writeCell(const QString &text, int row, int column, bool centred)
{
    putCell(row, column, cellOf(text), centred);
}

void ExcelExporter::writeCellPair(const QString &text1, const QString &text2, int row, int column)
{
    writeCell(text1, row, column);
    writeCell(text2, row, column + 1);
}

void ExcelExporter::writeDateTime(const QDateTime &value, int row, int column)
{
    Cell *cell = cellAt(row, column);
    if (!cell)
        return;
    if (!value.isValid()) {
        cell->kind = CellKind::Text;
        cell->text.clear();
        return;
    }
    cell->kind = CellKind::DateTime;
    cell->dateTime = value;
    cell->text = value.toString(QStringLiteral("dd/MM/yyyy hh:mm"));
}

void ExcelExporter::setBold(int row, int column)
{
    if (Cell *cell = cellAt(row, column))
        cell->bold = true;
}

void ExcelExporter::flushRowsBefore(int row)
{
    while (!m_openRows.isEmpty() && m_openRows.firstKey() < row) {
        const auto first = m_openRows.begin();
        writeRow(first.key(), first.value());
        m_openRows.erase(first);
    }
    m_firstOpenRow = std::max(m_firstOpenRow, row);
}

void ExcelExporter::writeRow(int row, const Row &cells)
{
    for (auto it = cells.cbegin(); it != cells.cend(); ++it) {
        const int column = it.key();
        const Cell &cell = it.value();
        if (column <= kAutoFitLastColumn) {
            const double width = std::clamp(double(cell.text.size()) + kColumnPadding,
                                            kMinColumnWidth, kMaxColumnWidth);
            m_columnWidths[column] = std::max(m_columnWidths.value(column, kMinColumnWidth), width);
        }
        if (!m_book)
            continue;
        // The sheet counts from 1, the file format from 0.
        const lxw_row_t r = lxw_row_t(row - 1);
        const lxw_col_t c = lxw_col_t(column - 1);
        // A plain cell has no format: the writer would look the plain format,
        // equal to its default one, up in its table for every such cell.
        lxw_format *format =
            cell.bold || cell.centred ? m_book->formats[cell.bold][cell.centred] : nullptr;
        switch (cell.kind) {
        case CellKind::Number:
            worksheet_write_number(m_book->sheet, r, c, cell.number, format);
            break;
        case CellKind::DateTime: {
            const QDate date = cell.dateTime.date();
            const QTime time = cell.dateTime.time();
            lxw_datetime value = {date.year(), date.month(),  date.day(),
                                  time.hour(), time.minute(), double(time.second())};
            worksheet_write_datetime(m_book->sheet, r, c, &value,
                                     m_book->dateFormats[cell.centred]);
            break;
        }
        case CellKind::Text:
            if (cell.text.isEmpty())
                worksheet_write_blank(m_book->sheet, r, c, format);
            else
                worksheet_write_string(m_book->sheet, r, c, cell.text.toUtf8().constData(), format);
            break;
        }
    }
}

void ExcelExporter::autoFitColumns()
{
    if (!m_openRows.isEmpty())
        flushRowsBefore(m_openRows.lastKey() + 1);
    if (!m_book)
        return;
    for (auto it = m_columnWidths.cbegin(); it != m_columnWidths.cend(); ++it) {
        const lxw_col_t column = lxw_col_t(it.key() - 1);
        worksheet_set_column(m_book->sheet, column, column, it.value(), nullptr);
    }
}

int ExcelExporter::sheetCount() const
{
    return m_sheets;
}

void ExcelExporter::freezeRowsAbove(int row)
{
    m_frozenRows = row - 1;
}

void ExcelExporter::setAutoFilter(int headerRow, int lastRow, int lastColumn)
{
    m_filterRow = headerRow;
    m_filterLastRow = lastRow;
    m_filterLastColumn = lastColumn;
}

// The end of a sheet: its rows, column widths, frozen rows and filter.
void ExcelExporter::closeSheet()
{
    autoFitColumns();
    if (!m_book)
        return;
    if (m_frozenRows > 0)
        worksheet_freeze_panes(m_book->sheet, lxw_row_t(m_frozenRows), 0);
    if (m_filterRow > 0 && m_filterLastColumn > 0)
        worksheet_autofilter(m_book->sheet, lxw_row_t(m_filterRow - 1), 0,
                             lxw_row_t(std::max(m_filterRow, m_filterLastRow) - 1),
                             lxw_col_t(m_filterLastColumn - 1));
}

void ExcelExporter::startSheet()
{
    if (!m_book)
        return;
    closeSheet();
    lxw_worksheet *next = workbook_add_worksheet(m_book->workbook, nullptr);
    if (!next)
        return;
    m_book->sheet = next;
    ++m_book->sheets;
    m_sheets = m_book->sheets;
    m_openRows.clear();
    m_firstOpenRow = 1;
    m_columnWidths.clear();
    m_frozenRows = 0;
    m_filterRow = 0;
}

void ExcelExporter::writeTitle(const QString &text, int row)
{
    writeCell(text, row, 1);
    setBold(row, 1);
}

void ExcelExporter::writeHeaders(const QStringList &texts, int row)
{
    for (int i = 0; i < texts.size(); ++i)
        writeCell(texts.at(i), row, i + 1);
}

// No German headings exist; "DE" and every other code get the English ones.
void ExcelExporter::writeBoardInfoTitle(const QString &language, int row)
{
    writeTitle(pick(language, "Board Info", "Info Scheda"), row);
}

void ExcelExporter::writeBoardSettingsTitle(const QString &language, int row)
{
    writeTitle(pick(language, "Board Settings", "Impostazioni Scheda"), row);
}

void ExcelExporter::writeAlarmsTitle(const QString &language, int row)
{
    writeTitle(pick(language, "Alarms", "Allarmi"), row);
}

void ExcelExporter::writeLastAlarmsTitle(const QString &language, int row)
{
    writeTitle(pick(language, "Last Alarms", "Ultimi Allarmi"), row);
}

void ExcelExporter::writeParameterHeaders(const QString &language, int row)
{
    writeHeaders({pick(language, "Parameter", "Parametro"), pick(language, "Value", "Valore"),
                  pick(language, "Description", "Descrizione")},
                 row);
}

void ExcelExporter::writeAlarmHeaders(const QString &language, int row)
{
    writeHeaders({pick(language, "Code", "Codice"), pick(language, "Occurrency", "Occorrenza"),
                  pick(language, "Description", "Descrizione")},
                 row);
}

void ExcelExporter::writeLastAlarmHeaders(const QString &language, int row)
{
    writeHeaders({pick(language, "Code", "Codice"), pick(language, "Run", "Manovra")}, row);
}

void ExcelExporter::writeEventHeaders(const QString &language, int row)
{
    const QStringList texts = {pick(language, "N", "N"),
                               pick(language, "Run Number", "Numero Manovra"),
                               pick(language, "Partial Run", "Parziale Manovre"),
                               pick(language, "Total Run", "Totale Manovre"),
                               pick(language, "Time", "Tempo"),
                               pick(language, "Command/Event/Alarm", "Comando/Evento/Allarme"),
                               pick(language, "Description", "Descrizione"),
                               pick(language, "Run in Graphs", "Manovra nei grafici")};
    writeHeaders(texts, row);
    for (int column = 1; column <= texts.size(); ++column)
        setBold(row, column);
    if (language == kItalian)
        writeCell(texts.constFirst(), row, 1, true);
}

void ExcelExporter::writeFirmwareInfo(QString firmware, int row, const QString &language)
{
    const QString key = before(firmware, QStringLiteral(":"));
    firmware.remove(key + QLatin1Char(':'));
    writeCell(key, row, 1);
    writeCell(boardInfoDescription(QStringLiteral("BOARDID"), language), row, 2);

    if (firmware.contains(QLatin1String("FW:"))) {
        firmware = firmware.trimmed();
        QString token = before(firmware, QStringLiteral(" "));
        if (!token.isEmpty())
            firmware.remove(token);
        token.remove(QLatin1String("FW:"));
        writeCell(token, row + 1, 1);
        writeCell(boardInfoDescription(QStringLiteral("FW"), language), row + 1, 2);
    }
    if (firmware.contains(QLatin1String("AS:"))) {
        QString token;
        for (int i = 0; i < 2; ++i) {
            firmware = firmware.trimmed();
            token = before(firmware, QStringLiteral(" "));
            if (!token.isEmpty())
                firmware.remove(token);
        }
        writeCell(token, row + 2, 1);
        writeCell(boardInfoDescription(QStringLiteral("AS"), language), row + 2, 2);
    }
    if (firmware.contains(QLatin1String("PAR/TOT"))) {
        firmware.remove(QLatin1String("PAR/TOT"));
        firmware.remove(QLatin1Char(':'));
        const QString partial = before(firmware, QStringLiteral("/"));
        firmware.remove(partial + QLatin1Char('/'));
        writeCell(QLatin1Char('\'') + partial.trimmed(), row + 3, 1);
        writeCell(boardInfoDescription(QStringLiteral("CP"), language), row + 3, 2);
        writeCell(QLatin1Char('\'') + firmware, row + 4, 1);
        writeCell(boardInfoDescription(QStringLiteral("CV"), language), row + 4, 2);
    }
    writeTitle(pick(language, "Board Info", "Info Scheda"), 1);
}

void ExcelExporter::buildBlocks(const QStringList &lines)
{
    // The blocks as the one parse of a full log cuts them.
    FullLog log;
    log.parse(lines.join(QLatin1Char('\n')).toLatin1());
    blocks.clear();
    for (int k = 0; k < log.logBlocks.size(); ++k) {
        const LogBlockInfo &info = log.blocks.at(k);
        EventBlock block;
        block.firstLine = log.logBlocks.at(k).first;
        block.lastLine = log.logBlocks.at(k).second;
        block.time = info.time;
        block.runNumber = info.runNumber;
        block.partialRuns = info.partialRuns;
        block.totalRuns = info.totalRuns;
        blocks.append(block);
    }
}

bool ExcelExporter::exportFullLog(const QStringList &lines, int firstTime,
                                  const QDateTime &startTime, const QString &firmware)
{
    FullLog log;
    log.parse(lines.join(QLatin1Char('\n')).toLatin1());
    log.firstTime = firstTime;
    log.firmwareLine = firmware;
    return exportFullLog(log, startTime);
}

bool ExcelExporter::exportFullLog(const FullLog &log, const QDateTime &startTime,
                                  const QString &path)
{
    const QString language = Lenguagge().languageCode();
    m_exportedRuns = 0;
    if (!openWorkbook(path)) {
        reportOpenFailure();
        return false;
    }
    // Block 0 is not written: one step per run, then the file.
    ExportProgress progress(std::max(int(log.blocks.size()) - 1, 0));
    progress.runRows([&](ExportProgress::Sink &sink) {
        writeFullLogRows(
            log, startTime, language, [&sink](int k) { sink.step(k); },
            [&sink] { return sink.cancelled(); });
    });
    return finish(&progress);
}

// Runs on the export's thread: the lookup database gets a connection of
// that thread.
void ExcelExporter::writeFullLogRows(const FullLog &log, const QDateTime &startTime,
                                     const QString &language, const std::function<void(int)> &step,
                                     const std::function<bool()> &cancelled)
{
    database = std::make_unique<LookupDatabase>();
    writeFirmwareInfo(log.firmwareLine, kFirmwareRow, language);
    writeEventHeaders(language, kEventHeaderRow);
    freezeRowsAbove(kFirstEventRow);
    int headerRow = kEventHeaderRow;
    int row = kFirstEventRow;
    int lastRow = headerRow; // of the sheet being written
    int n = 1;
    QVector<TextCells> textCells[3] = {QVector<TextCells>(log.commandTexts.size()),
                                       QVector<TextCells>(log.eventTexts.size()),
                                       QVector<TextCells>(log.alarmTexts.size())};
    // Closes the sheet's filter at `filterEnd` and goes on under the same
    // headings on a new sheet.
    const auto nextSheet = [&](int filterEnd) {
        setAutoFilter(headerRow, filterEnd, kEventColumns);
        startSheet();
        writeEventHeaders(language, 1);
        headerRow = 1;
        lastRow = 1;
        freezeRowsAbove(2);
        row = 2;
    };
    for (int k = 1; k < log.blocks.size(); ++k) {
        step(k);
        if (cancelled())
            break;
        const LogBlockInfo &block = log.blocks.at(k);
        // A run stays on one sheet: when its rows (and the blank one after
        // it) do not fit, the next sheet starts, under the same headings.
        const int rows = std::max(1, block.itemEnd - block.firstItem);
        if (row + rows - 1 > m_sheetRowLimit && row > headerRow + 1)
            nextSheet(lastRow);
        putCell(row, 2, numberCell(block.runNumber), true);
        putCell(row, 3, numberCell(block.partialRuns), true);
        putCell(row, 4, numberCell(block.totalRuns), true);
        // 64-bit difference, and no date for a run that cannot be dated: TIME
        // values near the 32-bit limits must not wrap.
        writeDateTime(block.timeKnown ? runDate(startTime, qint64(block.time) - log.firstTime)
                                      : QDateTime(),
                      row, 5);
        putCell(row, kEventColumns, numberCell(k), true);
        for (int i = block.firstItem; i < block.itemEnd; ++i) {
            if (row > m_sheetRowLimit)
                nextSheet(row - 1); // one run longer than a sheet goes on on the next
            const LogItem &item = log.items.at(i);
            const int kind = int(item.kind());
            // The same few texts come back run after run: each text's cell
            // and description are made once.
            QVector<TextCells> &cells = textCells[kind];
            TextCells &text = cells[int(item.text)];
            if (!text.made) {
                const QString &value = log.textsOf(item.kind()).at(int(item.text));
                // The word is followed by ": ", so the code is the first word
                // after the blank, as the graphs read it.
                const QString code = before(value.trimmed(), QStringLiteral(" "));
                text.value = cellOf(QLatin1Char('\'') + value);
                text.description =
                    cellOf(item.kind() == LogItem::Kind::Alarm ? alarmDescription(code, language)
                                                               : eventDescription(code, language));
                text.made = true;
            }
            putCell(row, 1, numberCell(n), true);
            putCell(row, 6, text.value);
            putCell(row, 7, text.description);
            ++n;
            ++row;
        }
        lastRow = std::max(row - 1, lastRow);
        if (block.itemEnd == block.firstItem)
            lastRow = row;
        ++row; // one blank row before the next run
        ++m_exportedRuns;
        flushRowsBefore(row);
    }
    setAutoFilter(headerRow, std::max(headerRow, lastRow), kEventColumns);
    database.reset();
    m_descriptions.clear();
}

QString ExcelExporter::describe(const char *query, const QString &code, const QString &language)
{
    if (!database)
        return QStringLiteral(" ");
    // A log repeats the same few codes thousands of times.
    const QString key =
        QString::fromLatin1(query) + QLatin1Char('\n') + language + QLatin1Char('\n') + code;
    const auto known = m_descriptions.constFind(key);
    if (known != m_descriptions.constEnd())
        return known.value();
    const QString description = lookupDescriptions(database->database(), QString::fromLatin1(query),
                                                   QStringLiteral(":code"), {code}, language)
                                    .value(0, QStringLiteral(" "));
    m_descriptions.insert(key, description);
    return description;
}

QString ExcelExporter::boardInfoDescription(const QString &code, const QString &language)
{
    return describe(lookupquery::kBoardInfo, code, language);
}

QString ExcelExporter::alarmDescription(const QString &code, const QString &language)
{
    return describe(lookupquery::kSingleAlarm, code, language);
}

QString ExcelExporter::eventDescription(const QString &code, const QString &language)
{
    return describe(lookupquery::kCommandEvent, QStringLiteral("text") + code, language);
}

QString ExcelExporter::alarmDescriptionFromFile(const QString &code, const QString &language)
{
    return ::alarmDescription(code, language);
}

QString ExcelExporter::eventDescriptionFromFile(const QString &code, const QString &language)
{
    return commandEventDescription(code, language);
}

bool ExcelExporter::closeWorkbook(ExportProgress *progress, QString *error)
{
    closeSheet();
    lxw_workbook *workbook = m_book->workbook;
    m_book->workbook = nullptr; // closing frees it, whatever the outcome
    lxw_error result = LXW_NO_ERROR;
    const auto close = [workbook, &result] { result = workbook_close(workbook); };
    if (progress)
        progress->runFinalStep(close);
    else
        close();
    m_book.reset();

    const QString partial = partialPath(m_path);
    if (result != LXW_NO_ERROR) {
        *error = QString::fromUtf8(lxw_strerror(result));
        QFile::remove(partial);
        return false;
    }
    QFile::remove(m_path);
    if (!QFile::rename(partial, m_path)) {
        *error = tr("the file could not be renamed");
        QFile::remove(partial);
        return false;
    }
    return true;
}

bool ExcelExporter::finish(ExportProgress *progress)
{
    if (!m_open)
        return false;
    m_open = false;
    QString error;
    if (!closeWorkbook(progress, &error)) {
        qWarning() << "export not written:" << m_path << error;
        QFile::remove(m_path);
        UserDialogs::instance().critical(tr("Error"),
                                         tr("The spreadsheet could not be written to %1: %2")
                                             .arg(QDir::toNativeSeparators(m_path), error));
        return false;
    }
    showWhereItWent();
    return true;
}

// On Linux the desktop's open call "succeeds" as soon as its helper has
// started, even when that finds nothing to open the file with; so the
// desktop is first asked whether any application takes spreadsheets.
void ExcelExporter::showWhereItWent() const
{
    UserDialogs &dialogs = UserDialogs::instance();
    const bool registered = dialogs.hasDefaultApplication(QString::fromLatin1(kMimeType));
    if (registered && dialogs.openDocument(m_path))
        return;
    const QString folder = QFileInfo(m_path).absolutePath();
    const QString reason = registered ? tr("The spreadsheet could not be opened.")
                                      : Lenguagge().excelNotInstalledText();
    QString text =
        reason + QLatin1Char('\n') + tr("It was saved as %1").arg(QDir::toNativeSeparators(m_path));
    if (!registered)
        text += QLatin1Char('\n') +
                tr("To open it, install a spreadsheet program that reads .xlsx files, such as "
                   "LibreOffice Calc (sudo apt install libreoffice-calc), then open the file "
                   "from it or double-click it in the file manager.");
    // A button that would start nothing is not offered: the path is in the text.
    const bool browsable = dialogs.hasDefaultApplication(QString::fromLatin1(kFolderMimeType));
    const QStringList buttons = browsable ? QStringList{tr("Open folder")} : QStringList();
    const int choice = dialogs.showChoice(UserDialogs::Kind::Warning, tr("Warning"), text, buttons);
    if (browsable && choice == 0 && !dialogs.openUrl(QUrl::fromLocalFile(folder))) {
        dialogs.critical(
            tr("Error"),
            tr("The folder %1 could not be opened.").arg(QDir::toNativeSeparators(folder)));
    }
}

void ExcelExporter::reportOpenFailure() const
{
    UserDialogs::instance().critical(tr("Error"),
                                     tr("The spreadsheet could not be created in %1").arg(m_path));
}
