// libFuzzer target: the short-log parser with its lookups and conversions,
// against a small lookup database made at start. The input is the log file.
#include "frontend/logs/convertsettings.h"
#include "frontend/logs/lookupdb.h"
#include "frontend/logs/shortlog.h"
#include "fuzz/fuzzsupport.h"

#include <QFile>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVector>

#include <cstddef>
#include <cstdint>

namespace {

using fuzzsupport::check;

struct Fixture
{
    QTemporaryDir dir;
    QString database;
    QString log;
    QSet<QString> formulas; // of every settings row
    QSet<QString> names;    // ParamCode of every settings row
};

const char *const kSettingsColumns = "(HexCode TEXT, LENGUAGE TEXT, ParamCode TEXT, "
                                     "Unit_Measure TEXT, Description TEXT, "
                                     "Conversion_Formula TEXT, Parameter_Type TEXT)";

bool makeDatabase(Fixture &f)
{
    const QStringList statements{
        "CREATE TABLE Board_Info (ParamCode TEXT, LENGUAGE TEXT, Description TEXT)",
        "INSERT INTO Board_Info VALUES ('BOARDID', 'EN', 'Board type'), ('FW', 'EN', 'Firmware')",
        "CREATE TABLE Alarms (Alarms_Code TEXT, LENGUAGE TEXT, Description TEXT)",
        "INSERT INTO Alarms VALUES ('E1', 'EN', 'Photocell'), ('E3', 'EN', 'Obstacle')",
        QStringLiteral("CREATE TABLE M7_Settings ") + QLatin1String(kSettingsColumns),
        "INSERT INTO M7_Settings VALUES "
        "('00', 'EN', 'TLM1', 's', 'Working time', 'x/2', 'PAR'), "
        "('01', 'EN', 'FRZ1', '%', 'Force', 'Math.round(x*100/255)', 'PAR'), "
        "('02', 'EN', 'OFS1', '%', 'Offset', '', 'PAR_2_COMP'), "
        "('03', 'EN', 'LOGIC', '', 'Logic', '0=Automatic*1=Step-by-step*2=Condo', 'PAR_ENUM'), "
        "('04', 'EN', 'FTCA', '', 'Photocell', '0=Off*1=On', 'FLAG'), "
        "('05', 'EN', 'TEMP', 'C', 'Heating', 'x-40', 'PAR'), "
        "('06', 'EN', 'ODD', '', 'Unknown type', 'x', 'PAR_X'), "
        "('07', 'EN', 'MAX', '', 'Never evaluates', 'Math.max(x,5)', 'PAR'), "
        "('00', 'IT', 'TLM1', 's', 'Tempo di lavoro', 'x/2', 'PAR')",
        QStringLiteral("CREATE TABLE K4_Settings ") + QLatin1String(kSettingsColumns),
        "INSERT INTO K4_Settings VALUES ('00', 'EN', 'TLAV', 's', 'Working time', 'x*2', 'PAR')",
    };
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "fuzz-maker");
        db.setDatabaseName(f.database);
        ok = db.open();
        for (const QString &statement : statements) {
            QSqlQuery query(db);
            ok = ok && query.exec(statement);
        }
        QSqlQuery rows(db);
        for (const char *table : {"M7_Settings", "K4_Settings"}) {
            ok = ok && rows.exec(QStringLiteral("SELECT ParamCode, Conversion_Formula FROM ") +
                                 QLatin1String(table));
            while (ok && rows.next()) {
                f.names.insert(rows.value(0).toString());
                f.formulas.insert(rows.value(1).toString());
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fuzz-maker"));
    return ok;
}

Fixture &fixture()
{
    static Fixture f;
    static const bool ready = [] {
        f.database = f.dir.filePath(QStringLiteral("Log_look_up.s3db"));
        f.log = f.dir.filePath(QStringLiteral("short.txt"));
        return f.dir.isValid() && makeDatabase(f);
    }();
    check(ready, "the lookup database could not be made");
    return f;
}

// What one table received: the row counts set and the row indices added.
struct Table
{
    QVector<int> counts;
    QVector<int> rows;

    // Emptied first, then either left empty or given n rows 0 .. n-1.
    void checkShows(qsizetype n, const char *what) const
    {
        check(!counts.isEmpty() && counts.first() == 0, what);
        if (counts.size() == 1) {
            check(rows.isEmpty(), what);
            return;
        }
        check(counts.size() == 2 && counts.at(1) == n && n > 0, what);
        check(rows.size() == n, what);
        for (int i = 0; i < rows.size(); ++i)
            check(rows.at(i) == i, what);
    }
};

} // namespace

// The script engine keeps its objects in memory of its own that the leak
// checker does not scan, so whatever they point to looks leaked.
extern "C" int __lsan_is_turned_off()
{
    return 1;
}

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::startQt();
    fixture();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Fixture &f = fixture();
    {
        QFile file(f.log);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char *>(data), qsizetype(size));
    }

    ShortLogData record;
    short_log parser(record, f.database);
    Table info, settings, alarms, history;
    QObject::connect(&parser, &short_log::Board_Info_Table_Set_Row_Count,
                     [&](int n) { info.counts.append(n); });
    QObject::connect(&parser, &short_log::Board_Info_Table_Add_Item,
                     [&](int row, QString, QString, QString) { info.rows.append(row); });
    QObject::connect(&parser, &short_log::Board_Settings_Table_Set_Row_Count,
                     [&](int n) { settings.counts.append(n); });
    QObject::connect(
        &parser, &short_log::Board_Settings_Table_Add_Item,
        [&](int row, QString, QString, QString, QString) { settings.rows.append(row); });
    QObject::connect(&parser, &short_log::Alarms_Table_Set_Row_Count,
                     [&](int n) { alarms.counts.append(n); });
    QObject::connect(&parser, &short_log::Alarms_Table_Add_Item,
                     [&](int row, QString, QString, QString) { alarms.rows.append(row); });
    QObject::connect(&parser, &short_log::Last_Alarms_Table_Set_Row_Count,
                     [&](int n) { history.counts.append(n); });
    QObject::connect(&parser, &short_log::Last_Alarms_Table_Add_Item,
                     [&](int row, QString, QString) { history.rows.append(row); });
    parser.process(f.log);

    const ShortLogData &r = record;
    check(r.language == QLatin1String("EN"), "language");
    check(r.infoCodes.size() == r.infoValues.size(), "board information lists parallel");
    check(r.alarmCodes.size() == r.alarmCounts.size(), "alarm lists parallel");
    check(r.historyCodes.size() == r.historyTimes.size(), "history lists parallel");
    const qsizetype n = r.settingCodes.size();
    for (const QStringList *list : {&r.settingRawValues, &r.settingValues, &r.settingUnits,
                                    &r.settingDescriptions, &r.settingFormulas, &r.settingTypes})
        check(list->size() == n, "settings lists parallel");

    // The database was asked only for a log with both sections, and then
    // for one description per code.
    const bool lookedUp = !r.infoDescriptions.isEmpty();
    if (lookedUp) {
        check(r.infoDescriptions.size() == r.infoCodes.size(), "one description per code");
        check(r.alarmDescriptions.size() == r.alarmCodes.size(), "one alarm description per code");
    } else {
        check(n == 0, "settings without a lookup");
        check(r.alarmDescriptions.isEmpty(), "alarm descriptions without a lookup");
    }
    info.checkShows(lookedUp ? r.infoCodes.size() : 0, "board information rows");
    settings.checkShows(lookedUp ? n : 0, "settings rows");
    alarms.checkShows(lookedUp ? r.alarmCodes.size() : 0, "alarm rows");
    history.checkShows(lookedUp ? r.historyCodes.size() : 0, "history rows");

    // Settings come from a table that exists, named by a plain identifier,
    // and every row (with its formula) from the database, never the log.
    if (n > 0) {
        const QString board = r.infoValues.constFirst();
        check(isPlainIdentifier(board), "settings through a prefix that is no identifier");
        check(board.compare(QLatin1String("M7"), Qt::CaseInsensitive) == 0 ||
                  board.compare(QLatin1String("K4"), Qt::CaseInsensitive) == 0,
              "settings of a table that does not exist");
    }
    static FormulaEvaluator single;
    for (qsizetype i = 0; i < n; ++i) {
        check(f.formulas.contains(r.settingFormulas.at(i)), "a formula not from the database");
        check(f.names.contains(r.settingCodes.at(i)), "a setting not from the database");
        // The batch of a parse and a value on its own agree, and these
        // formulas never come near a limit.
        const QString alone = settingconv::convert(r.settingTypes.at(i), r.settingFormulas.at(i),
                                                   r.settingRawValues.at(i), single);
        check(alone == r.settingValues.at(i), "batch and single conversion differ");
        check(r.settingValues.at(i) != FormulaEvaluator::timedOutText() &&
                  r.settingValues.at(i) != FormulaEvaluator::tooMuchMemoryText(),
              "a plain formula hit a limit");
    }
    return 0;
}
