#pragma once

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

// The lookup database shipped next to the program: descriptions of the codes
// found in the board's logs, per language, and how raw settings convert.
inline constexpr char kLookupDatabasePath[] = "./Log_look_up.s3db";

// Holds the default SQL connection open for one sequence of lookups and
// removes it afterwards (on a thread other than the main one, a connection
// of that thread's own). The file is opened read-only: a missing database
// must not leave an empty one behind in the working directory.
class LookupDatabase
{
public:
    explicit LookupDatabase(const QString &path = QString::fromLatin1(kLookupDatabasePath));
    ~LookupDatabase();
    LookupDatabase(const LookupDatabase &) = delete;
    LookupDatabase &operator=(const LookupDatabase &) = delete;

    bool isOpen() const { return m_db.isOpen(); }
    QSqlDatabase &database() { return m_db; }

private:
    QSqlDatabase m_db;
};

// One description per code, in order: the first matching row, or " " when
// there is none or the query fails (missing table or file), so the list
// stays parallel to the codes.
QStringList lookupDescriptions(QSqlDatabase &db, const QString &queryText,
                               const QString &codePlaceholder, const QStringList &codes,
                               const QString &language);

struct SettingRow
{
    QString code; // display name of the setting
    QString unit;
    QString description;
    QString formula;
    QString type;
};

// Letters, digits and underscores only (ASCII), at least one.
bool isPlainIdentifier(const QString &text);
// True when `tablePrefix` is a plain identifier and the table
// tablePrefix + "_Settings" exists in the open database.
bool settingsTableExists(QSqlDatabase &db, const QString &tablePrefix);

// The settings rows of one board type for the given hex codes. Entry i is
// unset (found == false) for a code the table does not know, and for every
// code when the prefix is not the name of an existing settings table.
struct SettingLookup
{
    bool found = false;
    SettingRow row;
};
QVector<SettingLookup> lookupSettings(QSqlDatabase &db, const QString &tablePrefix,
                                      const QStringList &hexCodes, const QString &language);

// Single lookups; each opens the database for the call.
QString alarmDescription(const QString &code, const QString &language,
                         const QString &path = QString::fromLatin1(kLookupDatabasePath));
QString commandEventDescription(const QString &code, const QString &language,
                                const QString &path = QString::fromLatin1(kLookupDatabasePath));

namespace lookupquery {
inline constexpr char kBoardInfo[] = "SELECT Description FROM Board_Info Where ParamCode = (:code) "
                                     "AND LENGUAGE = (:inst_language);";
inline constexpr char kAlarmCounters[] =
    "SELECT Description FROM Alarms Where Alarms_Code = (:Alarms_Code) AND LENGUAGE = "
    "(:inst_language);";
inline constexpr char kSingleAlarm[] = "SELECT Description FROM Alarms Where Alarms_Code = (:code) "
                                       "AND LENGUAGE = (:inst_language);";
inline constexpr char kCommandEvent[] = "SELECT Description FROM Event_Commands Where ParamCode = "
                                        "(:code) AND LENGUAGE = (:inst_language);";
QString boardSettings(const QString &tablePrefix);
} // namespace lookupquery
