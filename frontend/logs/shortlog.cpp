#include "frontend/logs/shortlog.h"

#include "frontend/base/lenguagge.h"
#include "frontend/base/userdialogs.h"
#include "frontend/logs/convertsettings.h"
#include "frontend/logs/fulllog.h"
#include "frontend/logs/lookupdb.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QHash>

#include <limits>

void ShortLogData::clear()
{
    *this = ShortLogData();
}

ShortLogData &ShortLogData::instance()
{
    static ShortLogData data;
    return data;
}

namespace shortlogline {

QString normalize(const QString &line)
{
    return line.simplified();
}

QString marker(const QString &line)
{
    for (const char *candidate : {kDeviceInfo, kDeviceConf, kAlarmCounter, kAlarmHistory}) {
        if (line.contains(QLatin1String(candidate)))
            return QString::fromLatin1(candidate);
    }
    return QString();
}

Fields split(const QString &section, const QString &line)
{
    const int equals = line.indexOf(QLatin1Char('='));
    if (section == QLatin1String(kDeviceConf)) {
        // "1A=0x3C": two characters after "=" are the board's "0x".
        return {line.left(equals), line.mid(equals + 3)};
    }
    if (section == QLatin1String(kAlarmHistory)) {
        const int comma = line.indexOf(QLatin1Char(','));
        return {line.mid(equals + 1, 2), line.mid(comma + 1)};
    }
    return {line.left(equals), line.mid(equals + 1)};
}

} // namespace shortlogline

short_log::short_log(QObject *parent)
    : short_log(ShortLogData::instance(), QString::fromLatin1(kLookupDatabasePath), parent)
{}

short_log::short_log(ShortLogData &data, const QString &databasePath, QObject *parent)
    : QObject(parent)
    , m_data(data)
    , m_databasePath(databasePath)
{}

void short_log::process(const QString &path)
{
    emitEmptyTables();
    const Outcome outcome = load(path);
    if (outcome == Outcome::CannotOpen)
        qDebug() << "error to open file";
    if (outcome != Outcome::Read) {
        UserDialogs::instance().showMessage(UserDialogs::Kind::Plain, QString(),
                                            invalidLogText(m_invalidReason));
        return;
    }
    emitTables();
}

QString short_log::invalidLogText(const QString &reason)
{
    const QString text = tr("Invalid Log File");
    return reason.isEmpty() ? text : text + QLatin1Char('\n') + reason;
}

short_log::Outcome short_log::load(const QString &path, const std::atomic<bool> *cancel)
{
    section = QString::fromLatin1(shortlogline::kIdle);
    settingsTable.clear();
    m_data.clear();
    confCodes.clear();
    confValues.clear();
    m_confLines.clear();
    m_skipped.clear();
    m_invalidReason.clear();
    m_data.language = Lenguagge().languageCode();

    const QString name = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_invalidReason = tr("%1 could not be opened: %2").arg(name, file.errorString());
        return Outcome::CannotOpen;
    }
    if (!readFile(path, cancel))
        return Outcome::Cancelled;
    if (m_data.infoCodes.isEmpty()) {
        m_invalidReason =
            tr("%1 has no board information: no data line under #DEVICEINFO.").arg(name);
        return Outcome::Invalid;
    }
    if (confCodes.isEmpty()) {
        m_invalidReason = tr("%1 has no board settings: no data line under #DEVICECONF.").arg(name);
        return Outcome::Invalid;
    }
    settingsTable = m_data.infoValues.constFirst();

    {
        LookupDatabase db(m_databasePath);
        m_db = &db;
        lookup_board_info();
        lookup_board_settings();
        lookup_alarms();
        m_db = nullptr;
    }
    if (cancel && cancel->load())
        return Outcome::Cancelled;
    convert_settings();
    return Outcome::Read;
}

void short_log::emitEmptyTables()
{
    emit Board_Info_Table_Set_Row_Count(0);
    emit Board_Settings_Table_Set_Row_Count(0);
    emit Last_Alarms_Table_Set_Row_Count(0);
    emit Alarms_Table_Set_Row_Count(0);
    m_emitGroup = 0;
    m_emitRow = 0;
}

bool short_log::readFile(const QString &path, const std::atomic<bool> *cancel)
{
    constexpr qint64 kCancelCheckLines = 4096;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true; // said by the caller
    qint64 lineNumber = 0;
    while (!file.atEnd()) {
        if (++lineNumber % kCancelCheckLines == 0 && cancel && cancel->load())
            return false;
        QString line = shortlogline::normalize(QString::fromLatin1(file.readLine()));
        const QString found = shortlogline::marker(line);
        if (!found.isEmpty()) {
            section = found;
            continue;
        }
        // A table cell has no use for a line longer than anyone reads.
        if (line.size() > fulllogline::kMaxLineChars &&
            section != QLatin1String(shortlogline::kIdle)) {
            m_skipped.add(SkippedValues::Kind::LongLine, lineNumber, section,
                          line.left(SkippedValues::kMaxRawChars));
            line = fulllogline::cutForDisplay(line);
        }
        addDataLine(line, lineNumber);
    }
    return true;
}

void short_log::addDataLine(const QString &line, qint64 lineNumber)
{
    using namespace shortlogline;
    if (section == QLatin1String(kIdle))
        return;
    const Fields fields = split(section, line);
    if (section == QLatin1String(kDeviceInfo)) {
        m_data.infoCodes.append(fields.first);
        m_data.infoValues.append(fields.second);
    } else if (section == QLatin1String(kDeviceConf)) {
        confCodes.append(fields.first);
        confValues.append(fields.second);
        m_confLines.append(lineNumber);
    } else if (section == QLatin1String(kAlarmCounter)) {
        m_data.alarmCodes.append(fields.first);
        m_data.alarmCounts.append(fields.second);
    } else if (section == QLatin1String(kAlarmHistory)) {
        m_data.historyCodes.append(fields.first);
        m_data.historyTimes.append(fields.second);
    }
}

void short_log::lookup_board_info()
{
    if (!m_db)
        return;
    m_data.infoDescriptions.append(
        lookupDescriptions(m_db->database(), QString::fromLatin1(lookupquery::kBoardInfo),
                           QStringLiteral(":code"), m_data.infoCodes, m_data.language));
}

void short_log::lookup_board_settings()
{
    if (!m_db)
        return;
    const QVector<SettingLookup> rows =
        lookupSettings(m_db->database(), settingsTable, confCodes, m_data.language);
    for (int i = 0; i < rows.size(); ++i) {
        if (!rows.at(i).found) {
            // No row, as described; but said once with the others skipped.
            m_skipped.add(SkippedValues::Kind::UnknownSetting, m_confLines.value(i),
                          confCodes.at(i), confValues.value(i));
            continue;
        }
        const SettingRow &row = rows.at(i).row;
        m_data.settingCodes.append(row.code);
        m_data.settingUnits.append(row.unit);
        m_data.settingDescriptions.append(row.description);
        m_data.settingFormulas.append(row.formula);
        m_data.settingTypes.append(row.type);
        m_data.settingRawValues.append(confValues.value(i));
    }
}

void short_log::lookup_alarms()
{
    if (!m_db)
        return;
    m_data.alarmDescriptions.append(
        lookupDescriptions(m_db->database(), QString::fromLatin1(lookupquery::kAlarmCounters),
                           QStringLiteral(":Alarms_Code"), m_data.alarmCodes, m_data.language));
}

void short_log::convert_settings()
{
    // All formulas of the log go to one evaluator in one batch: one engine,
    // one hand-over to its thread. A formula's value depends on its text
    // alone (each runs as if in an engine of its own), so a program that a
    // long log repeats is run once.
    QStringList programs;
    QHash<QString, int> programIndex;
    QVector<int> formulaOf(m_data.settingCodes.size(), -1);
    for (int i = 0; i < m_data.settingCodes.size(); ++i) {
        if (!settingconv::usesFormula(m_data.settingTypes.value(i)))
            continue;
        const QString program = settingconv::formulaProgram(m_data.settingFormulas.value(i),
                                                            m_data.settingRawValues.value(i));
        auto known = programIndex.constFind(program);
        if (known == programIndex.constEnd()) {
            known = programIndex.insert(program, int(programs.size()));
            programs.append(program);
        }
        formulaOf[i] = known.value();
    }
    FormulaEvaluator evaluator;
    const QStringList formulaValues = evaluator.evaluateAll(programs);
    for (int i = 0; i < m_data.settingCodes.size(); ++i) {
        const QString type = m_data.settingTypes.value(i);
        if (settingconv::usesFormula(type))
            m_data.settingValues.append(formulaValues.value(formulaOf.at(i)));
        else
            m_data.settingValues.append(settingconv::convert(type, m_data.settingFormulas.value(i),
                                                             m_data.settingRawValues.value(i)));
    }
}

void short_log::emitTables()
{
    while (emitTableRows(std::numeric_limits<int>::max())) {
    }
}

bool short_log::emitTableRows(int maxRows)
{
    const ShortLogData &d = m_data;
    // The groups in their order; each gives its row count, then its rows.
    const int counts[] = {int(d.infoCodes.size()), int(d.settingCodes.size()),
                          int(d.alarmCodes.size()), int(d.historyCodes.size())};
    int budget = maxRows;
    while (m_emitGroup < 4 && budget > 0) {
        const int n = counts[m_emitGroup];
        if (n == 0) {
            ++m_emitGroup;
            continue;
        }
        if (m_emitRow == 0) {
            switch (m_emitGroup) {
            case 0:
                emit Board_Info_Table_Set_Row_Count(n);
                break;
            case 1:
                emit Board_Settings_Table_Set_Row_Count(n);
                break;
            case 2:
                emit Alarms_Table_Set_Row_Count(n);
                break;
            default:
                emit Last_Alarms_Table_Set_Row_Count(n);
                break;
            }
        }
        for (; m_emitRow < n && budget > 0; ++m_emitRow, --budget) {
            const int i = m_emitRow;
            switch (m_emitGroup) {
            case 0:
                emit Board_Info_Table_Add_Item(i, d.infoCodes.at(i), d.infoValues.value(i),
                                               d.infoDescriptions.value(i));
                break;
            case 1:
                emit Board_Settings_Table_Add_Item(
                    i, d.settingCodes.at(i), d.settingValues.value(i), d.settingUnits.value(i),
                    d.settingDescriptions.value(i));
                break;
            case 2:
                emit Alarms_Table_Add_Item(i, d.alarmCodes.at(i), d.alarmCounts.value(i),
                                           d.alarmDescriptions.value(i));
                break;
            default:
                emit Last_Alarms_Table_Add_Item(i, d.historyCodes.at(i), d.historyTimes.value(i));
                break;
            }
        }
        if (m_emitRow >= n) {
            ++m_emitGroup;
            m_emitRow = 0;
        }
    }
    return m_emitGroup < 4;
}
