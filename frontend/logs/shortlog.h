#pragma once

#include "frontend/logs/skippedvalues.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>

class LookupDatabase;

// The last short log read, completed from the lookup database. One record
// for the whole program: the tables show it and the export reads it again.
struct ShortLogData
{
    QStringList infoCodes, infoValues, infoDescriptions;
    QStringList settingCodes, settingRawValues, settingValues, settingUnits, settingDescriptions,
        settingFormulas, settingTypes;
    QStringList alarmCodes, alarmCounts, alarmDescriptions;
    QStringList historyCodes, historyTimes;
    QString language;

    void clear();
    static ShortLogData &instance();
};

// Pure helpers for one line of a short log.
namespace shortlogline {
inline constexpr char kIdle[] = "Idle";
inline constexpr char kDeviceInfo[] = "#DEVICEINFO";
inline constexpr char kDeviceConf[] = "#DEVICECONF";
inline constexpr char kAlarmCounter[] = "#ALARMCOUNTER";
inline constexpr char kAlarmHistory[] = "#ALARMHISTORY";

// White space trimmed at both ends, inner runs squeezed to one blank.
QString normalize(const QString &line);
// The section marker the line contains (first in precedence order), or an
// empty string when it is a data line.
QString marker(const QString &line);

struct Fields
{
    QString first;
    QString second;
};
// The two fields of a data line of `section`; a missing separator counts as
// found at position -1, so the fields fall back to the line's start.
Fields split(const QString &section, const QString &line);
} // namespace shortlogline

class short_log : public QObject
{
    Q_OBJECT
public:
    // Fills the program-wide record.
    explicit short_log(QObject *parent = nullptr);
    short_log(ShortLogData &data, const QString &databasePath, QObject *parent = nullptr);

    void process(const QString &path);

    // The parts of process(), for a window that reads on another thread and
    // fills its tables without freezing. load() reads the file, looks the
    // codes up and converts the values, and emits nothing; it may run on any
    // thread. emitEmptyTables() is step 3 (the four tables emptied);
    // emitTables() the rows of step 9, which emitTableRows() gives out a
    // few at a time: false once all are out.
    enum class Outcome
    {
        Read,
        CannotOpen,
        Invalid, // no #DEVICEINFO or no #DEVICECONF data line
        Cancelled
    };
    Outcome load(const QString &path, const std::atomic<bool> *cancel = nullptr);
    void emitEmptyTables();
    void emitTables();
    bool emitTableRows(int maxRows);
    // Why the last load() gave no tables, for the line below "Invalid Log File".
    QString invalidReason() const { return m_invalidReason; }
    // What the last load() could not use.
    const SkippedValues &skipped() const { return m_skipped; }
    // "Invalid Log File", then the reason on a line of its own.
    static QString invalidLogText(const QString &reason);

    void lookup_board_info();
    void lookup_board_settings();
    void lookup_alarms();
    void convert_settings();

signals:
    void Board_Info_Table_Set_Row_Count(int Row_Count);
    void Board_Info_Table_Add_Item(int Parameter_Row, QString Parameter_Name,
                                   QString Parameter_Value, QString Parameter_Description);
    void Board_Settings_Table_Set_Row_Count(int Row_Count);
    void Board_Settings_Table_Add_Item(int Parameter_Row, QString Parameter_Name,
                                       QString Parameter_Value, QString Parameter_Unit,
                                       QString Parameter_Description);
    void Alarms_Table_Set_Row_Count(int Row_Count);
    void Alarms_Table_Add_Item(int Alarm_Row, QString Code_Value, QString Occurrency,
                               QString Alarm_Description);
    void Last_Alarms_Table_Set_Row_Count(int Row_Count);
    void Last_Alarms_Table_Add_Item(int Alarm_Row, QString Code_Value, QString Alarm_Time);

private:
    bool readFile(const QString &path, const std::atomic<bool> *cancel);
    void addDataLine(const QString &line, qint64 lineNumber);

    ShortLogData &m_data;
    QString m_databasePath;
    QStringList confCodes;
    QStringList confValues;
    QVector<qint64> m_confLines; // file line of each entry of confCodes
    QString section;
    QString settingsTable;
    LookupDatabase *m_db = nullptr;
    QString m_invalidReason;
    SkippedValues m_skipped;
    int m_emitGroup = 0; // where emitTableRows() goes on
    int m_emitRow = 0;
};

// Connects the eight row signals to the receiver's slots of the same names.
template <typename Receiver> void connectShortLogTables(short_log &log, Receiver *receiver)
{
    QObject::connect(&log, &short_log::Board_Info_Table_Set_Row_Count, receiver,
                     &Receiver::Board_Info_Table_Set_Row_Count);
    QObject::connect(&log, &short_log::Board_Info_Table_Add_Item, receiver,
                     &Receiver::Board_Info_Table_Add_Item);
    QObject::connect(&log, &short_log::Board_Settings_Table_Set_Row_Count, receiver,
                     &Receiver::Board_Settings_Table_Set_Row_Count);
    QObject::connect(&log, &short_log::Board_Settings_Table_Add_Item, receiver,
                     &Receiver::Board_Settings_Table_Add_Item);
    QObject::connect(&log, &short_log::Alarms_Table_Set_Row_Count, receiver,
                     &Receiver::Alarms_Table_Set_Row_Count);
    QObject::connect(&log, &short_log::Alarms_Table_Add_Item, receiver,
                     &Receiver::Alarms_Table_Add_Item);
    QObject::connect(&log, &short_log::Last_Alarms_Table_Set_Row_Count, receiver,
                     &Receiver::Last_Alarms_Table_Set_Row_Count);
    QObject::connect(&log, &short_log::Last_Alarms_Table_Add_Item, receiver,
                     &Receiver::Last_Alarms_Table_Add_Item);
}
