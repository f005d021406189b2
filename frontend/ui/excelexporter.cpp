#include "frontend/ui/excelexporter.h"

#include "common/datafolder.h"
#include "frontend/core/lenguagge.h"
#include "frontend/core/userdialogs.h"
#include "frontend/logs/fulllog.h"
#include "frontend/logs/lookupdb.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QRegularExpression>

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

constexpr int kProgressMinWidth = 300;
constexpr int kFirmwareRow = 3;
constexpr int kEventHeaderRow = 10;
constexpr int kFirstEventRow = 11;
constexpr qint64 kSecondsPerHour = 3600;
constexpr int kMaxCellText = 32767; // longest text a cell may hold
constexpr double kMinColumnWidth = 8.43;
constexpr double kMaxColumnWidth = 255;
constexpr double kColumnPadding = 2;
constexpr int kAutoFitLastColumn = 26; // "a:z"

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

int decimal(const QString &text)
{
    return text.toInt(nullptr, 10);
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
} // namespace

ExportProgress::ExportProgress(int total)
    : m_dialog(std::make_unique<QProgressDialog>())
{
    const Lenguagge texts;
    m_dialog->setLabelText(texts.exportingText());
    m_dialog->setCancelButtonText(texts.cancelText());
    m_dialog->setRange(0, total);
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumWidth(kProgressMinWidth);
    m_dialog->setWindowTitle(texts.dataExportText());
    // Reaching the total must not hide the dialog or forget a cancel before
    // the end steps have run.
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

ExportProgress::~ExportProgress() = default;

bool ExportProgress::step(int value)
{
    m_dialog->setValue(value);
    QApplication::processEvents();
    return !m_dialog->wasCanceled();
}

bool ExportProgress::cancelled() const
{
    return m_dialog->wasCanceled();
}

ExcelExporter::ExcelExporter(QObject *parent)
    : QObject(parent)
{}

ExcelExporter::~ExcelExporter()
{
    // A workbook that was never finished must not leave its empty claim.
    if (m_open)
        QFile::remove(m_path);
}

bool ExcelExporter::openWorkbook()
{
    m_cells.clear();
    m_columnWidths.clear();
    m_open = false;
    const QDir folder(velmo::dataFolderPath() + QStringLiteral("/Exports"));
    m_path = folder.path();
    if (!folder.mkpath(QStringLiteral("."))) {
        qWarning() << "export folder not created:" << folder.path();
        return false;
    }
    m_path = uniqueExportPath(folder);
    // Claim the name now: a folder that takes no files should fail here,
    // before the user waits for the whole sheet.
    QFile claim(m_path);
    if (!claim.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        qWarning() << "export file not created:" << m_path << claim.errorString();
        return false;
    }
    m_open = true;
    return true;
}

ExcelExporter::Cell &ExcelExporter::cellAt(int row, int column)
{
    // The sheet counts from 1, the file format from 0.
    return m_cells[CellKey(row - 1, column - 1)];
}

void ExcelExporter::writeCell(const QString &text, int row, int column, bool centred)
{
    if (row < 1 || column < 1)
        return;
    Cell &cell = cellAt(row, column);
    if (text.startsWith(QLatin1Char('\''))) {
        cell.kind = CellKind::Text;
        cell.text = text.mid(1);
    } else if (readsAsNumber(text, &cell.number)) {
        cell.kind = CellKind::Number;
        cell.text = text;
    } else {
        cell.kind = CellKind::Text;
        cell.text = text;
    }
    cell.text.truncate(kMaxCellText);
    if (centred)
        cell.centred = true;
}

void ExcelExporter::writeCellPair(const QString &text1, const QString &text2, int row, int column)
{
    writeCell(text1, row, column);
    writeCell(text2, row, column + 1);
}

void ExcelExporter::writeDateTime(const QDateTime &value, int row, int column)
{
    if (row < 1 || column < 1)
        return;
    Cell &cell = cellAt(row, column);
    if (!value.isValid()) {
        cell.kind = CellKind::Text;
        cell.text.clear();
        return;
    }
    cell.kind = CellKind::DateTime;
    cell.dateTime = value;
    cell.text = value.toString(QStringLiteral("dd/MM/yyyy hh:mm"));
}

void ExcelExporter::setBold(int row, int column)
{
    if (row >= 1 && column >= 1)
        cellAt(row, column).bold = true;
}

void ExcelExporter::autoFitColumns()
{
    m_columnWidths.clear();
    for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it) {
        const int column = it.key().second;
        if (column >= kAutoFitLastColumn)
            continue;
        const double width = std::clamp(double(it.value().text.size()) + kColumnPadding,
                                        kMinColumnWidth, kMaxColumnWidth);
        m_columnWidths[column] = std::max(m_columnWidths.value(column, kMinColumnWidth), width);
    }
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
                               pick(language, "Description", "Descrizione")};
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
    blocks.clear();
    EventBlock block;
    // The nearest CMD line before an EVENT NUMBER line is the last one seen
    // before it, so one forward pass finds what a backward search would.
    int lastCmd = -1;
    for (int i = 0; i < lines.size(); ++i) {
        const QString &line = lines.at(i);
        if (line.contains(kEventNumber) && lastCmd >= 0) {
            block.lastLine = lastCmd - 1;
            blocks.append(block);
            block.firstLine = lastCmd;
        }
        if (line.contains(kTime)) {
            QString value = line;
            value.remove(kTime).remove(QLatin1Char(':')).remove(QLatin1Char(' '));
            block.time = decimal(value);
        }
        if (line.contains(kEventNumber)) {
            QString value = line;
            value.remove(kEventNumber).remove(QLatin1Char(':')).remove(QLatin1Char(' '));
            block.runNumber = decimal(value);
        }
        if (line.contains(kCount)) {
            QString value = line;
            value.remove(kCount)
                .remove(QLatin1String("PAR/TOT"))
                .remove(QLatin1Char(':'))
                .remove(QLatin1Char(' '));
            const QString partial = before(value, QStringLiteral("/"));
            value.remove(partial + QLatin1Char('/'));
            block.partialRuns = decimal(partial);
            block.totalRuns = decimal(value);
        }
        if (line.contains(kCmd))
            lastCmd = i;
    }
    block.lastLine = int(lines.size()) - 1;
    blocks.append(block);
}

bool ExcelExporter::exportFullLog(const QStringList &lines, int firstTime,
                                  const QDateTime &startTime, const QString &firmware)
{
    const QString language = Lenguagge().languageCode();
    if (!openWorkbook()) {
        reportOpenFailure();
        return false;
    }
    database = std::make_unique<LookupDatabase>();

    writeFirmwareInfo(firmware, kFirmwareRow, language);
    writeEventHeaders(language, kEventHeaderRow);
    buildBlocks(lines);

    ExportProgress progress(int(blocks.size()));
    int row = kFirstEventRow;
    int n = 1;
    for (int k = 1; k < blocks.size(); ++k) {
        if (!progress.step(k))
            break;
        const EventBlock &block = blocks.at(k);
        writeCell(QString::number(block.runNumber), row, 2, true);
        writeCell(QString::number(block.partialRuns), row, 3, true);
        writeCell(QString::number(block.totalRuns), row, 4, true);
        writeDateTime(startTime.addSecs(qint64(block.time - firstTime) * kSecondsPerHour), row, 5);
        for (int i = std::max(block.firstLine, 0); i <= block.lastLine && i < lines.size(); ++i) {
            if (progress.cancelled())
                break;
            const QString &line = lines.at(i);
            if (line.contains(kEventNumber))
                continue;
            for (QLatin1String kind : {kAlarm, kCmd, kEvent}) {
                if (!line.contains(kind))
                    continue;
                QString value = line;
                value.remove(kind).remove(QLatin1Char(':'));
                // The word is followed by ": ", so the code is the first word
                // after the blank, as the graphs read it; the text before the
                // first blank would always be empty and find no description.
                const QString code = before(value.trimmed(), QStringLiteral(" "));
                writeCell(QString::number(n), row, 1, true);
                const QString description = kind == kAlarm ? alarmDescription(code, language)
                                                           : eventDescription(code, language);
                writeCellPair(QLatin1Char('\'') + value, description, row, 6);
                ++n;
                ++row;
            }
        }
        if (progress.cancelled())
            break;
        ++row;
    }
    database.reset();
    m_descriptions.clear();
    return finish();
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

bool ExcelExporter::writeWorkbook(QString *error)
{
    // Written next to the claimed name and moved over it, so a failed write
    // never leaves a broken workbook under the export's name.
    const QString partial = m_path + QStringLiteral(".part");
    QFile::remove(partial);
    lxw_workbook *workbook = workbook_new(QFile::encodeName(partial).constData());
    if (!workbook) {
        *error = tr("the workbook could not be created");
        return false;
    }
    lxw_worksheet *sheet = workbook_add_worksheet(workbook, nullptr);
    lxw_format *formats[2][2] = {}; // [bold][centred]
    for (int bold = 0; bold < 2; ++bold) {
        for (int centred = 0; centred < 2; ++centred) {
            lxw_format *format = workbook_add_format(workbook);
            if (bold)
                format_set_bold(format);
            if (centred)
                format_set_align(format, LXW_ALIGN_CENTER);
            formats[bold][centred] = format;
        }
    }
    lxw_format *dateFormats[2] = {};
    for (int centred = 0; centred < 2; ++centred) {
        dateFormats[centred] = workbook_add_format(workbook);
        format_set_num_format(dateFormats[centred], "dd/mm/yyyy hh:mm");
        if (centred)
            format_set_align(dateFormats[centred], LXW_ALIGN_CENTER);
    }

    for (auto it = m_cells.cbegin(); it != m_cells.cend(); ++it) {
        const lxw_row_t row = lxw_row_t(it.key().first);
        const lxw_col_t column = lxw_col_t(it.key().second);
        const Cell &cell = it.value();
        lxw_format *format = formats[cell.bold][cell.centred];
        switch (cell.kind) {
        case CellKind::Number:
            worksheet_write_number(sheet, row, column, cell.number, format);
            break;
        case CellKind::DateTime: {
            const QDate date = cell.dateTime.date();
            const QTime time = cell.dateTime.time();
            lxw_datetime value = {date.year(), date.month(),  date.day(),
                                  time.hour(), time.minute(), double(time.second())};
            worksheet_write_datetime(sheet, row, column, &value, dateFormats[cell.centred]);
            break;
        }
        case CellKind::Text:
            if (cell.text.isEmpty())
                worksheet_write_blank(sheet, row, column, format);
            else
                worksheet_write_string(sheet, row, column, cell.text.toUtf8().constData(), format);
            break;
        }
    }
    for (auto it = m_columnWidths.cbegin(); it != m_columnWidths.cend(); ++it)
        worksheet_set_column(sheet, lxw_col_t(it.key()), lxw_col_t(it.key()), it.value(), nullptr);

    const lxw_error result = workbook_close(workbook);
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

bool ExcelExporter::finish()
{
    if (!m_open)
        return false;
    m_open = false;
    autoFitColumns();
    QString error;
    if (!writeWorkbook(&error)) {
        qWarning() << "export not written:" << m_path << error;
        UserDialogs::instance().critical(
            tr("Error"), tr("The spreadsheet could not be written to %1: %2").arg(m_path, error));
        return false;
    }
    if (!UserDialogs::instance().openDocument(m_path)) {
        UserDialogs::instance().warning(tr("Warning"), Lenguagge().excelNotInstalledText() +
                                                           QLatin1Char('\n') + m_path);
    }
    return true;
}

void ExcelExporter::reportOpenFailure() const
{
    UserDialogs::instance().critical(tr("Error"),
                                     tr("The spreadsheet could not be created in %1").arg(m_path));
}
