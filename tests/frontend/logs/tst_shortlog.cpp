// Short log parsing, the lookup database and the setting conversions.
#include "frontend/base/lenguagge.h"
#include "frontend/logs/convertsettings.h"
#include "frontend/logs/lookupdb.h"
#include "frontend/logs/shortlog.h"
#include "frontend/logs/tabletext.h"
#include "tests/frontend/logs/logtestutil.h"

#include <QElapsedTimer>
#include <QJSEngine>
#include <QSignalSpy>
#include <QTranslator>
#include <QtTest>

namespace {
// A settings table for board type T1 whose only row converts with `formula`.
QStringList settingsTableWith(const QString &formula)
{
    QString quoted = formula;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return {QStringLiteral("CREATE TABLE T1_Settings (HexCode TEXT, LENGUAGE TEXT, ParamCode "
                           "TEXT, Unit_Measure TEXT, Description TEXT, Conversion_Formula TEXT, "
                           "Parameter_Type TEXT)"),
            QStringLiteral("INSERT INTO T1_Settings VALUES ('00', 'EN', 'LOOP', 's', 'Looping', "
                           "'%1', 'PAR')")
                .arg(quoted),
            QStringLiteral("INSERT INTO T1_Settings VALUES ('01', 'EN', 'HALF', 's', 'Half', "
                           "'x/2', 'PAR')")};
}

qint64 peakResidentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}
} // namespace

class TstShortLog : public QObject
{
    Q_OBJECT

private slots:
    void lineFields_data();
    void lineFields();
    void markers();
    void processFillsRecordAndRows();
    void invalidLogs_data();
    void invalidLogs();
    void lookupsWithoutRowsOrTables();
    void conversions_data();
    void conversions();
    void readingRawValues();
    void languageFromTranslationFiles();
    void italianDescriptions();
    void tablePrefixes_data();
    void tablePrefixes();
    void injectedPrefixGivesNoSettings();
    void loopingFormulaInDatabaseTimesOut();
    void formulasMatchFreshEngine_data();
    void formulasMatchFreshEngine();
    void formulasAreIsolated_data();
    void formulasAreIsolated();
    void runawayFormulasEndWithinLimits_data();
    void runawayFormulasEndWithinLimits();
    void memoryAndBatchLimits();
    void limitTextsAreTranslated();
    void cellOrder();
    void tabSeparatedTables();

private:
    QTemporaryDir m_tmp;
};

void TstShortLog::lineFields_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");

    const QString info = QString::fromLatin1(shortlogline::kDeviceInfo);
    const QString conf = QString::fromLatin1(shortlogline::kDeviceConf);
    const QString counter = QString::fromLatin1(shortlogline::kAlarmCounter);
    const QString history = QString::fromLatin1(shortlogline::kAlarmHistory);
    QTest::newRow("info") << info << "ID=ABC"
                          << "ID"
                          << "ABC";
    QTest::newRow("info blanks kept") << info << "ID = ABC"
                                      << "ID "
                                      << " ABC";
    QTest::newRow("info squeezed") << info << "\t ID  =   A \t B  \r\n"
                                   << "ID "
                                   << " A B";
    QTest::newRow("info no separator") << info << "ABC"
                                       << "ABC"
                                       << "ABC";
    QTest::newRow("info second =") << info << "A=B=C"
                                   << "A"
                                   << "B=C";
    QTest::newRow("empty line") << info << "  \r\n"
                                << ""
                                << "";
    QTest::newRow("conf") << conf << "1A=0x3C"
                          << "1A"
                          << "3C";
    QTest::newRow("conf no separator") << conf << "1A3C44"
                                       << "1A3C44"
                                       << "3C44";
    QTest::newRow("conf short value") << conf << "1A=0x"
                                      << "1A"
                                      << "";
    QTest::newRow("counter") << counter << "E1=41"
                             << "E1"
                             << "41";
    QTest::newRow("history") << history << "03=E5 ,120"
                             << "E5"
                             << "120";
    QTest::newRow("history no comma") << history << "03=E5"
                                      << "E5"
                                      << "03=E5";
    QTest::newRow("history no separator") << history << "E5,7"
                                          << "E5"
                                          << "7";
}

void TstShortLog::lineFields()
{
    QFETCH(QString, section);
    QFETCH(QString, raw);
    QFETCH(QString, first);
    QFETCH(QString, second);
    const shortlogline::Fields fields = shortlogline::split(section, shortlogline::normalize(raw));
    QCOMPARE(fields.first, first);
    QCOMPARE(fields.second, second);
}

void TstShortLog::markers()
{
    using shortlogline::marker;
    QCOMPARE(marker(QStringLiteral("xx #ALARMCOUNTER yy")), QStringLiteral("#ALARMCOUNTER"));
    QCOMPARE(marker(QStringLiteral("#ALARMHISTORY #DEVICEINFO")), QStringLiteral("#DEVICEINFO"));
    QCOMPARE(marker(QStringLiteral("#DEVICECONF=1")), QStringLiteral("#DEVICECONF"));
    QVERIFY(marker(QStringLiteral("#deviceinfo")).isEmpty());
    QVERIFY(marker(QStringLiteral("BOARDID=M7")).isEmpty());
}

void TstShortLog::processFillsRecordAndRows()
{
    const QString path = m_tmp.filePath(QStringLiteral("board.txt"));
    QVERIFY(writeFile(path, "header=ignored before any marker\r\n"
                            "#DEVICECONF=stray\r\n" // a marker line carries no data
                            "BOARDID=M7\r\n"
                            "--- #DEVICEINFO ---\r\n"
                            "BOARDID=M7\r\n"
                            "\r\n"
                            "FW  =  2.08.3\r\n"
                            "ZZ=unknown\r\n"
                            "#DEVICECONF\r\n"
                            "00=0x3C\r\n"
                            "99=0x01\r\n"
                            "03=0xFB\r\n"
                            "09=0xF6\r\n"
                            "0B=0x02\r\n"
                            "0C=0x05\r\n"
                            "#ALARMCOUNTER\r\n"
                            "E3=4\r\n"
                            "Q9=1\r\n"
                            "#ALARMHISTORY\r\n"
                            "01=E3 ,15204\r\n"
                            "02=E1\r\n"));
    ShortLogData data;
    data.historyCodes = QStringList{QStringLiteral("stale")};
    short_log parser(data, stagedDatabase());
    QSignalSpy infoCount(&parser, &short_log::Board_Info_Table_Set_Row_Count);
    QSignalSpy infoRows(&parser, &short_log::Board_Info_Table_Add_Item);
    QSignalSpy settingRows(&parser, &short_log::Board_Settings_Table_Add_Item);
    QSignalSpy alarmRows(&parser, &short_log::Alarms_Table_Add_Item);
    QSignalSpy historyCount(&parser, &short_log::Last_Alarms_Table_Set_Row_Count);
    QSignalSpy historyRows(&parser, &short_log::Last_Alarms_Table_Add_Item);
    RecordingDialogs dialogs;
    parser.process(path);

    QVERIFY(dialogs.boxes.isEmpty());
    QCOMPARE(data.language, QStringLiteral("EN"));
    QCOMPARE(data.infoCodes, (QStringList{"BOARDID", "", "FW ", "ZZ"}));
    QCOMPARE(data.infoValues, (QStringList{"M7", "", " 2.08.3", "unknown"}));
    QCOMPARE(data.infoDescriptions, (QStringList{"Control board type", " ", " ", " "}));

    // Unknown hex code 99 dropped from every list, file order kept.
    QCOMPARE(data.settingCodes, (QStringList{"TLM1", "TRC2", "OFS1", "LOGIC", "FTCA"}));
    QCOMPARE(data.settingRawValues, (QStringList{"3C", "FB", "F6", "02", "05"}));
    QCOMPARE(data.settingValues, (QStringList{"30", "25.1", "-10", "Step-by-step", "5"}));
    QCOMPARE(data.settingUnits, (QStringList{"s", "s", "%", "", ""}));
    QCOMPARE(data.settingTypes, (QStringList{"PAR", "PAR", "PAR_2_COMP", "PAR_ENUM", "FLAG"}));
    QCOMPARE(data.settingFormulas.first(), QStringLiteral("x/2"));

    QCOMPARE(data.alarmDescriptions, (QStringList{"Obstacle detected, motor 1", " "}));
    QCOMPARE(data.historyCodes, (QStringList{"E3", "E1"}));
    QCOMPARE(data.historyTimes, (QStringList{"15204", "02=E1"}));

    QCOMPARE(infoCount.count(), 2);
    QCOMPARE(infoCount.at(0).at(0).toInt(), 0);
    QCOMPARE(infoCount.at(1).at(0).toInt(), 4);
    QCOMPARE(infoRows.count(), 4);
    QCOMPARE(infoRows.at(1).at(0).toInt(), 1);
    QCOMPARE(infoRows.at(3).at(1).toString(), QStringLiteral("ZZ"));
    QCOMPARE(settingRows.count(), 5);
    QCOMPARE(settingRows.at(1).mid(0, 5),
             (QVariantList{1, "TRC2", "25.1", "s", "Leaf delay on closing, motor 2"}));
    QCOMPARE(alarmRows.count(), 2);
    QCOMPARE(historyCount.count(), 2);
    QCOMPARE(historyRows.at(0).mid(0, 3), (QVariantList{0, "E3", "15204"}));
}

void TstShortLog::invalidLogs_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("exists");
    QTest::newRow("no settings") << QByteArray("#DEVICEINFO\nBOARDID=M7\n#ALARMCOUNTER\nE1=3\n")
                                 << true;
    QTest::newRow("no board info") << QByteArray("#DEVICECONF\n00=0x3C\n") << true;
    QTest::newRow("only markers") << QByteArray("#DEVICEINFO\n#DEVICECONF\n") << true;
    QTest::newRow("missing file") << QByteArray() << false;
}

void TstShortLog::invalidLogs()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, exists);
    const QString path = m_tmp.filePath(QStringLiteral("invalid.txt"));
    QFile::remove(path);
    if (exists)
        QVERIFY(writeFile(path, content));

    ShortLogData data;
    short_log parser(data, stagedDatabase());
    QSignalSpy counts(&parser, &short_log::Board_Info_Table_Set_Row_Count);
    QSignalSpy alarmCounts(&parser, &short_log::Alarms_Table_Set_Row_Count);
    QSignalSpy rows(&parser, &short_log::Alarms_Table_Add_Item);
    RecordingDialogs dialogs;
    parser.process(path);

    // The described text first, then the file and what it lacks.
    QCOMPARE(dialogs.texts().size(), 1);
    const QStringList lines = dialogs.texts().at(0).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines.at(0), QStringLiteral("Invalid Log File"));
    QVERIFY2(lines.at(1).startsWith(QDir::toNativeSeparators(path)), qPrintable(lines.at(1)));
    QCOMPARE(counts.count(), 1); // only the emptying
    QCOMPARE(alarmCounts.count(), 1);
    QCOMPARE(rows.count(), 0);
    QVERIFY(data.infoDescriptions.isEmpty()); // no database access
    if (exists && content.contains("E1=3"))
        QCOMPARE(data.alarmCodes, QStringList{QStringLiteral("E1")}); // parse result kept
}

void TstShortLog::lookupsWithoutRowsOrTables()
{
    // A language without rows: blanks, parallel to the codes; no settings.
    {
        LookupDatabase db(stagedDatabase());
        QVERIFY(db.isOpen());
        const QStringList codes{"BOARDID", "FW"};
        QCOMPARE(lookupDescriptions(db.database(), QString::fromLatin1(lookupquery::kBoardInfo),
                                    QStringLiteral(":code"), codes, QStringLiteral("DE")),
                 (QStringList{" ", " "}));
        const QVector<SettingLookup> rows =
            lookupSettings(db.database(), QStringLiteral("M7"), {"00", "01"}, "DE");
        QCOMPARE(rows.size(), 2);
        QVERIFY(!rows.at(0).found && !rows.at(1).found);
    }

    // Missing tables: one blank per code, and no settings for the board type.
    const QString small = m_tmp.filePath(QStringLiteral("small.s3db"));
    QVERIFY(makeDatabase(small, {"CREATE TABLE Board_Info (ParamCode TEXT, LENGUAGE TEXT, "
                                 "Description TEXT)",
                                 "INSERT INTO Board_Info VALUES ('FW', 'EN', 'Firmware')"}));
    {
        LookupDatabase db(small);
        QCOMPARE(lookupDescriptions(db.database(), QString::fromLatin1(lookupquery::kBoardInfo),
                                    QStringLiteral(":code"), {"FW", "XX", "FW"}, "EN"),
                 (QStringList{"Firmware", " ", "Firmware"}));
        QCOMPARE(lookupDescriptions(db.database(), QString::fromLatin1(lookupquery::kAlarmCounters),
                                    QStringLiteral(":Alarms_Code"), {"E1", "E2"}, "EN"),
                 (QStringList{" ", " "}));
        const QVector<SettingLookup> rows =
            lookupSettings(db.database(), QStringLiteral("Z9"), {"00"}, "EN");
        QCOMPARE(rows.size(), 1);
        QVERIFY(!rows.at(0).found);
    }
    QCOMPARE(alarmDescription(QStringLiteral("E1"), QStringLiteral("EN"), small),
             QStringLiteral(" "));

    // Single lookups against the real rows, and a missing file that must not
    // be created by the attempt.
    QCOMPARE(alarmDescription(QStringLiteral("E3"), QStringLiteral("EN"), stagedDatabase()),
             QStringLiteral("Obstacle detected, motor 1"));
    QCOMPARE(commandEventDescription(QStringLiteral("0C"), QStringLiteral("EN"), stagedDatabase()),
             QStringLiteral("Step-by-step command from a radio transmitter"));
    const QString missing = m_tmp.filePath(QStringLiteral("missing.s3db"));
    QCOMPARE(commandEventDescription(QStringLiteral("0C"), QStringLiteral("EN"), missing),
             QStringLiteral(" "));
    QVERIFY(!QFile::exists(missing));

    // A board type whose settings table is missing: no settings rows at all.
    const QString path = m_tmp.filePath(QStringLiteral("z9.txt"));
    QVERIFY(writeFile(path, "#DEVICEINFO\nBOARDID=Z9\n#DEVICECONF\n00=0x3C\n"));
    ShortLogData data;
    short_log parser(data, stagedDatabase());
    QSignalSpy settingCounts(&parser, &short_log::Board_Settings_Table_Set_Row_Count);
    RecordingDialogs dialogs;
    parser.process(path);
    QVERIFY(dialogs.boxes.isEmpty());
    QVERIFY(data.settingCodes.isEmpty() && data.settingValues.isEmpty());
    QCOMPARE(settingCounts.count(), 1);
    QCOMPARE(data.infoDescriptions, QStringList{QStringLiteral("Control board type")});
}

void TstShortLog::conversions_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("formula");
    QTest::addColumn<QString>("raw");
    QTest::addColumn<QString>("value");

    QTest::newRow("integral result") << "PAR"
                                     << "x/10"
                                     << "FA"
                                     << "25";
    QTest::newRow("shortest decimal") << "PAR"
                                      << "x/10"
                                      << "FB"
                                      << "25.1";
    QTest::newRow("third") << "PAR"
                           << "x/3"
                           << "01"
                           << "0.3333333333333333";
    QTest::newRow("large") << "PAR"
                           << "x*100"
                           << "32"
                           << "5000";
    QTest::newRow("math") << "PAR"
                          << "Math.round(x*100/255)"
                          << "B4"
                          << "71";
    QTest::newRow("offset") << "PAR"
                            << "x-40"
                            << "14"
                            << "-20";
    QTest::newRow("2comp zero") << "PAR_2_COMP"
                                << ""
                                << "00"
                                << "+0";
    QTest::newRow("2comp max") << "PAR_2_COMP"
                               << ""
                               << "7F"
                               << "+127";
    QTest::newRow("2comp min") << "PAR_2_COMP"
                               << ""
                               << "80"
                               << "-128";
    QTest::newRow("2comp -1") << "PAR_2_COMP"
                              << ""
                              << "FF"
                              << "-1";
    QTest::newRow("2comp high bits ignored") << "PAR_2_COMP"
                                             << ""
                                             << "1FF"
                                             << "-1";
    QTest::newRow("2comp -10") << "PAR_2_COMP"
                               << ""
                               << "F6"
                               << "-10";
    QTest::newRow("enum hit") << "PAR_ENUM"
                              << "0=Off*1=On"
                              << "01"
                              << "On";
    QTest::newRow("enum miss") << "PAR_ENUM"
                               << "0=Off*1=On"
                               << "02"
                               << "2";
    QTest::newRow("enum decimal key") << "PAR_ENUM"
                                      << "0=Off*10=Ten"
                                      << "0A"
                                      << "Ten";
    QTest::newRow("enum hex key not used") << "PAR_ENUM"
                                           << "A=Hex*10=Ten"
                                           << "0A"
                                           << "Ten";
    QTest::newRow("enum empty pieces") << "FLAG"
                                       << "**1=On*"
                                       << "01"
                                       << "On";
    QTest::newRow("enum text to next =") << "FLAG"
                                         << "1=On=really"
                                         << "01"
                                         << "On";
    QTest::newRow("enum piece without =") << "FLAG"
                                          << "1*1=On"
                                          << "01"
                                          << "On";
    QTest::newRow("enum unreadable raw") << "FLAG"
                                         << "0=Off*1=On"
                                         << "zz"
                                         << "Off";
    QTest::newRow("unknown type") << "PAR_X"
                                  << "x"
                                  << "3C"
                                  << "0x3C";
}

void TstShortLog::conversions()
{
    QFETCH(QString, type);
    QFETCH(QString, formula);
    QFETCH(QString, raw);
    QFETCH(QString, value);
    QCOMPARE(settingconv::convert(type, formula, raw), value);
}

void TstShortLog::readingRawValues()
{
    using settingconv::readRaw;
    QCOMPARE(readRaw(QStringLiteral(" 0x1A ")), 26);
    QCOMPARE(readRaw(QStringLiteral("-1")), -1);
    QCOMPARE(readRaw(QStringLiteral("7FFFFFFF")), 0x7FFFFFFF);
    QCOMPARE(readRaw(QStringLiteral("FFFFFFFF")), 0); // beyond 32-bit signed
    QCOMPARE(readRaw(QStringLiteral("zz")), 0);
    QCOMPARE(readRaw(QString()), 0);

    // Every x is replaced, also inside names, so this formula cannot work:
    // the engine's error text becomes the value.
    const QString broken = settingconv::formulaValue(QStringLiteral("Math.max(x,5)"), "0A");
    QVERIFY2(broken.contains(QLatin1String("Error")), qPrintable(broken));
    QVERIFY(settingconv::formulaValue(QStringLiteral("x +"), "01").contains("Error"));
}

void TstShortLog::languageFromTranslationFiles()
{
    QTemporaryDir dir;
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const Lenguagge language;
    QCOMPARE(language.languageCode(), QStringLiteral("EN"));
    QCOMPARE(language.locale().language(), QLocale::English);
    QVERIFY(writeFile(QStringLiteral("velmofrontend_pt.qm"), QByteArray()));
    QCOMPARE(language.languageCode(), QStringLiteral("PT"));
    QCOMPARE(language.locale().language(), QLocale::Portuguese);
    QCOMPARE(language.manualHintText(),
             QStringLiteral("See control board manual for furtehr information."));
    QCOMPARE(language.exportingText(), QStringLiteral("Exporting to excel.."));
    QVERIFY(writeFile(QStringLiteral("velmofrontend_fr.qm"), QByteArray()));
    QCOMPARE(language.languageCode(), QStringLiteral("PT"));
    QVERIFY(writeFile(QStringLiteral("velmofrontend_it.qm"), QByteArray()));
    QCOMPARE(language.languageCode(), QStringLiteral("IT"));
    QCOMPARE(language.cancelText(), QStringLiteral("Cancella"));
    QCOMPARE(language.locale().language(), QLocale::Italian);
    QCOMPARE(language.locale().toString(QDate(2026, 11, 7), QStringLiteral("ddd d MMM")),
             QStringLiteral("sab 7 nov"));
    QCOMPARE(
        language.manualHintText(),
        QStringLiteral("Vedi il manuale della scheda di controllo per ulteriori informazioni."));
    QVERIFY(QDir::setCurrent(previous));
}

void TstShortLog::italianDescriptions()
{
    // The database and the example come along; the empty translation file
    // alone switches the descriptions.
    QTemporaryDir dir;
    QVERIFY(QFile::copy(stagedDatabase(), dir.filePath(QStringLiteral("Log_look_up.s3db"))));
    QVERIFY(QFile::copy(QStringLiteral("short_log_example.txt"),
                        dir.filePath(QStringLiteral("short_log_example.txt"))));
    QVERIFY(writeFile(dir.filePath(QStringLiteral("velmofrontend_it.qm")), QByteArray()));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));

    ShortLogData data;
    short_log parser(data, QString::fromLatin1(kLookupDatabasePath));
    RecordingDialogs dialogs;
    parser.process(QStringLiteral("short_log_example.txt"));
    QVERIFY(QDir::setCurrent(previous));

    QCOMPARE(data.language, QStringLiteral("IT"));
    QCOMPARE(data.infoDescriptions.value(0), QStringLiteral("Tipo di scheda di controllo"));
    const int logic = int(data.settingCodes.indexOf(QStringLiteral("LOGIC")));
    QVERIFY(logic >= 0);
    QCOMPARE(data.settingValues.at(logic), QStringLiteral("Automatica"));
    QCOMPARE(data.settingDescriptions.at(logic), QStringLiteral("Logica di funzionamento"));
    QCOMPARE(data.alarmDescriptions.value(0), QStringLiteral("Fotocellula occupata alla partenza"));
    QCOMPARE(commandEventDescription(QStringLiteral("47"), data.language, stagedDatabase()),
             QStringLiteral("Richiusura automatica avviata"));
}

void TstShortLog::tablePrefixes_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<bool>("plain");
    QTest::addColumn<bool>("exists");
    QTest::newRow("board type") << "M7" << true << true;
    QTest::newRow("other board type") << "K4" << true << true;
    QTest::newRow("case as SQLite resolves it") << "m7" << true << true;
    QTest::newRow("unknown board type") << "Z9" << true << false;
    QTest::newRow("empty") << "" << false << false;
    QTest::newRow("blank") << "M7 " << false << false;
    QTest::newRow("statement end") << "M7;" << false << false;
    QTest::newRow("comment") << "M7_Settings--" << false << false;
    QTest::newRow("quoted") << "\"M7\"" << false << false;
    QTest::newRow("accented letter") << QStringLiteral("M\u00e97") << false << false;
    QTest::newRow("name of another table") << "Board_Info" << true << false;
}

void TstShortLog::tablePrefixes()
{
    QFETCH(QString, prefix);
    QFETCH(bool, plain);
    QFETCH(bool, exists);
    QCOMPARE(isPlainIdentifier(prefix), plain);
    LookupDatabase db(stagedDatabase());
    QVERIFY(db.isOpen());
    QCOMPARE(settingsTableExists(db.database(), prefix), exists);
    const QVector<SettingLookup> rows = lookupSettings(db.database(), prefix, {"00", "0B"}, "EN");
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0).found, exists);
    if (exists)
        QCOMPARE(lookupquery::boardSettings(prefix),
                 QStringLiteral("SELECT ParamCode,Unit_Measure,Description,Conversion_Formula,"
                                "Parameter_Type FROM ") +
                     prefix +
                     QStringLiteral("_Settings Where HexCode = (:HEXcode) AND LENGUAGE = "
                                    "(:inst_language);"));
}

void TstShortLog::injectedPrefixGivesNoSettings()
{
    // Spliced into the query, this value would make the log supply its own
    // settings row, and with it the formula that runs.
    const QByteArray injected =
        "BOARDID=(SELECT 'Speed' AS ParamCode, 'km/h' AS Unit_Measure, 'Injected' AS "
        "Description, '1+1' AS Conversion_Formula, 'PAR' AS Parameter_Type, '00' AS HexCode, "
        "'EN' AS LENGUAGE) AS M7\n";
    const QString path = m_tmp.filePath(QStringLiteral("injected.txt"));
    QVERIFY(writeFile(path, "#DEVICEINFO\n" + injected + "#DEVICECONF\n00=0x3C\n"));

    // The same row through the unchecked query text proves the value is a
    // working injection, not merely a broken name.
    {
        LookupDatabase db(stagedDatabase());
        QSqlQuery query(db.database());
        const QString prefix = QString::fromLatin1(injected.mid(8).trimmed());
        QVERIFY(query.prepare(lookupquery::boardSettings(prefix)));
        query.bindValue(QStringLiteral(":HEXcode"), QStringLiteral("00"));
        query.bindValue(QStringLiteral(":inst_language"), QStringLiteral("EN"));
        QVERIFY(query.exec() && query.next());
        QCOMPARE(query.value(0).toString(), QStringLiteral("Speed"));
    }

    ShortLogData data;
    short_log parser(data, stagedDatabase());
    QSignalSpy settingRows(&parser, &short_log::Board_Settings_Table_Add_Item);
    QSignalSpy infoRows(&parser, &short_log::Board_Info_Table_Add_Item);
    RecordingDialogs dialogs;
    parser.process(path);
    QVERIFY(dialogs.boxes.isEmpty());
    QVERIFY(data.settingCodes.isEmpty());
    QVERIFY(data.settingValues.isEmpty() && data.settingFormulas.isEmpty());
    QCOMPARE(settingRows.count(), 0);
    QCOMPARE(infoRows.count(), 1); // the rest of the log is still shown
}

void TstShortLog::loopingFormulaInDatabaseTimesOut()
{
    const QString dbPath = m_tmp.filePath(QStringLiteral("looping.s3db"));
    QVERIFY(makeDatabase(dbPath, settingsTableWith(QStringLiteral("while(true){}"))));
    const QString path = m_tmp.filePath(QStringLiteral("looping.txt"));
    QVERIFY(writeFile(path, "#DEVICEINFO\nBOARDID=T1\n#DEVICECONF\n00=0x01\n01=0x0A\n"));

    ShortLogData data;
    short_log parser(data, dbPath);
    RecordingDialogs dialogs;
    QElapsedTimer clock;
    clock.start();
    parser.process(path);
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
    QCOMPARE(data.settingCodes, (QStringList{"LOOP", "HALF"}));
    // The setting after the loop converts normally.
    QCOMPARE(data.settingValues, (QStringList{FormulaEvaluator::timedOutText(), "5"}));
    QCOMPARE(FormulaEvaluator::timedOutText(), QStringLiteral("formula timed out"));
}

void TstShortLog::formulasMatchFreshEngine_data()
{
    QTest::addColumn<QString>("program");
    for (const char *program : {"250/10",
                                "251/10",
                                "1/3",
                                "Math.round(180*100/255)",
                                "10-40",
                                "0.1+0.2",
                                "1/0",
                                "-0",
                                "2e21",
                                "'text'",
                                "null",
                                "undefined",
                                "",
                                "[1,[2,3],null]",
                                "({})",
                                "true",
                                "Symbol('s')",
                                "if (5 > 3) 7; else 8",
                                "var a = 4; a * 2",
                                "let b = 3; b + 1",
                                "function f(v) { return v * 2 } f(21)",
                                "throw 5",
                                "throw new TypeError('bad')",
                                "undefinedName",
                                "Math.ma10(10,5)",
                                "5 +",
                                "'\u00e9'.toUpperCase()",
                                "JSON.stringify({a: [1, 2]})",
                                "[3, 1, 2].sort().join('-')",
                                "'ab'.repeat(3)",
                                "'5'.padStart(3, '0')",
                                "new Array(3).fill(1).join()",
                                "Array.from('abc').length",
                                "new Uint8Array([1, 2, 300])[2]",
                                "/a(b)/.exec('xab')[1]",
                                "parseInt('ff', 16)",
                                "(function () { return this === undefined })()",
                                "typeof arguments"}) {
        QTest::newRow(program) << QString::fromUtf8(program);
    }
}

void TstShortLog::formulasMatchFreshEngine()
{
    // The shared engine gives what an engine of its own gives, error texts
    // included.
    QFETCH(QString, program);
    FormulaEvaluator evaluator;
    QJSEngine fresh;
    const QString expected = fresh.evaluate(program, QString(), 1).toString();
    QCOMPARE(evaluator.evaluate(program), expected);
}

void TstShortLog::formulasAreIsolated_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("probe");
    QTest::newRow("implicit global") << "leak = 5; 1"
                                     << "typeof leak";
    QTest::newRow("this property") << "this.leak = 5; 1"
                                   << "typeof leak";
    QTest::newRow("var") << "var leak = 5; 1"
                         << "typeof leak";
    QTest::newRow("let, declared again") << "let leak = 5; 1"
                                         << "let leak = 6; leak";
    QTest::newRow("function") << "function leak() {} 1"
                              << "typeof leak";
    QTest::newRow("eval var") << "eval('var leak = 1'); 1"
                              << "typeof leak";
    QTest::newRow("Function body") << "Function('leak = 1')(); 1"
                                   << "typeof leak";
    QTest::newRow("symbol key") << "this[Symbol.for('k')] = 1; 1"
                                << "String(this[Symbol.for('k')])";
    QTest::newRow("getter on global")
        << "Object.defineProperty(this, 'leak', {get: function () { return 1 }, "
           "configurable: true}); 1"
        << "typeof leak";
    QTest::newRow("non-configurable global") << "Object.defineProperty(this, 'leak', {value: 1}); 1"
                                             << "typeof leak";
    QTest::newRow("global prototype") << "Object.setPrototypeOf(this, {leak: 1}); 1"
                                      << "typeof leak";
    QTest::newRow("global made fixed") << "Object.preventExtensions(this); 1"
                                       << "later = 2; later";
    QTest::newRow("built-in method") << "Math.abs = function () { return 7 }; 1"
                                     << "Math.abs(-3)";
    QTest::newRow("built-in name") << "parseInt = function () { return 7 }; 1"
                                   << "parseInt('12')";
    QTest::newRow("deleted built-in") << "delete this.Math; 1"
                                      << "typeof Math";
    QTest::newRow("prototype property") << "Array.prototype.leak = 1; 1"
                                        << "[].leak";
    QTest::newRow("prototype getter")
        << "Object.defineProperty(Object.prototype, 'leak', {get: function () { return 1 }}); 1"
        << "({}).leak";
    QTest::newRow("string conversion") << "String.prototype.toString = function () { "
                                          "return 'changed' }; 1"
                                       << "'a'.toString()";
    QTest::newRow("caller's arguments") << "arguments.callee.leak = 1; 1"
                                        << "arguments.callee.leak";
    QTest::newRow("promise job") << "Promise.resolve().then(function () { leak = 1 }); 1"
                                 << "typeof leak";
    QTest::newRow("regexp prototype") << "RegExp.prototype.exec = function () { return null }; 1"
                                      << "/a/.test('a')";
}

void TstShortLog::formulasAreIsolated()
{
    // What a formula sees does not depend on the formula before it: the
    // probe gives the same after `first` as in an evaluator of its own.
    QFETCH(QString, first);
    QFETCH(QString, probe);
    FormulaEvaluator alone;
    const QString expected = alone.evaluate(probe);
    FormulaEvaluator shared;
    const QStringList results = shared.evaluateAll({first, probe, first, probe});
    QCOMPARE(results.value(1), expected);
    QCOMPARE(results.value(3), expected);
    // And again in a later batch of the same evaluator.
    QCOMPARE(shared.evaluateAll({first, probe}).value(1), expected);
    QVERIFY(!expected.contains(QLatin1String("formula")));
}

void TstShortLog::runawayFormulasEndWithinLimits_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("allowed");
    const QString timedOut = FormulaEvaluator::timedOutText();
    const QString memory = FormulaEvaluator::tooMuchMemoryText();
    const QString tooLong = FormulaEvaluator::resultTooLongText();
    const QString textLength = QStringLiteral("RangeError: Invalid string length");
    const QString arrayLength = QStringLiteral("RangeError: Invalid array length");
    QTest::newRow("endless loop") << "while(true){}" << QStringList{timedOut};
    QTest::newRow("loop on the value") << "while(1000000000 > 0){}" << QStringList{timedOut};
    QTest::newRow("doubling string")
        << "var s='x'; while(true) s+=s;" << QStringList{timedOut, memory};
    QTest::newRow("doubling read back")
        << "var s='x'; for (var i = 0; i < 40; i++) s += s; s.length"
        << QStringList{timedOut, memory};
    QTest::newRow("growing array")
        << "var a = []; while(true) a.push({n: a.length});" << QStringList{timedOut, memory};
    QTest::newRow("deep recursion") << "function f() { return f() + 1 } f()"
                                    << QStringList{"RangeError: Maximum call stack size exceeded."};
    QTest::newRow("repeat") << "'x'.repeat(1 << 30)" << QStringList{textLength};
    QTest::newRow("padEnd") << "'x'.padEnd(1e9)" << QStringList{textLength};
    QTest::newRow("padStart") << "'x'.padStart(1e9, 'ab')" << QStringList{textLength};
    QTest::newRow("join") << "new Array(1e8).join('x')" << QStringList{textLength};
    QTest::newRow("join of long texts")
        << "var t = 'x'.repeat(1 << 20); [t, t, t].join()" << QStringList{textLength};
    QTest::newRow("fill") << "new Array(1e8).fill(0)" << QStringList{arrayLength};
    QTest::newRow("Array.from") << "Array.from({length: 1e9})" << QStringList{arrayLength};
    QTest::newRow("typed array") << "new Float64Array(1e9)" << QStringList{arrayLength};
    QTest::newRow("typed array from")
        << "Uint8Array.from({length: 1e9})" << QStringList{arrayLength};
    QTest::newRow("typed array like")
        << "new Uint8Array({length: 1e9})" << QStringList{arrayLength};
    QTest::newRow("buffer") << "new ArrayBuffer(2e9)" << QStringList{arrayLength};
    QTest::newRow("constructor behind the name")
        << "new (new Uint8Array(1).constructor)(1e9)" << QStringList{arrayLength};
    QTest::newRow("long result") << "'y'.repeat(5000)" << QStringList{tooLong};
    QTest::newRow("long result of a loop")
        << "var s = ''; for (var i = 0; i < 5000; i++) s += 'y'; s" << QStringList{tooLong};
    QTest::newRow("endless toString")
        << "({toString: function () { while(true){} }})" << QStringList{timedOut};
    QTest::newRow("endless toString of what is thrown")
        << "throw {toString: function () { while(true){} }}" << QStringList{timedOut};
}

void TstShortLog::runawayFormulasEndWithinLimits()
{
    QFETCH(QString, program);
    QFETCH(QStringList, allowed);
    const qint64 peakBefore = peakResidentKb();
    FormulaEvaluator evaluator;
    QElapsedTimer clock;
    clock.start();
    const QStringList values = evaluator.evaluateAll({program, QStringLiteral("250/10")});
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(allowed.contains(values.value(0)), qPrintable(values.value(0).left(200)));
    QCOMPARE(values.value(1), QStringLiteral("25")); // the engine serves on
    // The limit is 100 ms of the formula's processor time; a loaded machine
    // stretches that, but never towards the seconds a hang would take.
    QVERIFY2(elapsed < 1000, qPrintable(QString::number(elapsed)));
    const qint64 peakAfter = peakResidentKb();
    if (peakBefore > 0 && peakAfter > 0)
        QVERIFY2(peakAfter - peakBefore < 512 * 1024, qPrintable(QString::number(peakAfter)));
}

void TstShortLog::memoryAndBatchLimits()
{
    // Memory that grows in small steps is stopped by the allowance, long
    // before the time limit.
    {
        FormulaEvaluator::Limits limits;
        limits.timeMs = 20000;
        limits.memoryBytes = qint64(16) * 1024 * 1024;
        FormulaEvaluator evaluator(limits);
        QElapsedTimer clock;
        clock.start();
        const QString value = evaluator.evaluate(
            QStringLiteral("var a = []; while(true) a.push('x'.repeat(1 << 16) + a.length);"));
        QCOMPARE(value, FormulaEvaluator::tooMuchMemoryText());
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }
    // A batch of looping formulas costs the time limit a few times, not
    // once per formula; the texts stay parallel to the programs.
    {
        FormulaEvaluator::Limits limits;
        limits.timeMs = 50;
        limits.maxTimeoutsPerBatch = 2;
        FormulaEvaluator evaluator(limits);
        const QStringList programs(100, QStringLiteral("while(true){}"));
        QElapsedTimer clock;
        clock.start();
        const QStringList values = evaluator.evaluateAll(programs);
        QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(values, QStringList(100, FormulaEvaluator::timedOutText()));
        // The next batch starts with a fresh allowance.
        QCOMPARE(evaluator.evaluateAll({QStringLiteral("while(true){}"), QStringLiteral("1+1")}),
                 (QStringList{FormulaEvaluator::timedOutText(), "2"}));
    }
    FormulaEvaluator evaluator;
    QVERIFY(evaluator.evaluateAll({}).isEmpty());
}

void TstShortLog::limitTextsAreTranslated()
{
    const QString qm = QStringLiteral("../translations/velmofrontend_it.qm");
    if (!QFile::exists(qm))
        QSKIP("the Italian translation is not built");
    QTranslator italian;
    QVERIFY(italian.load(qm));
    QCoreApplication::installTranslator(&italian);
    const QStringList texts{FormulaEvaluator::timedOutText(), FormulaEvaluator::tooMuchMemoryText(),
                            FormulaEvaluator::resultTooLongText()};
    QCoreApplication::removeTranslator(&italian);
    QCOMPARE(texts, (QStringList{"tempo della formula scaduto", "la formula usa troppa memoria",
                                 "risultato della formula troppo lungo"}));
}

// What a header click sorts by: values with their units by value, numbers
// before texts, raw hexadecimal by value.
void TstShortLog::cellOrder()
{
    // "1.5e3" is no number a board writes: it sorts as text, after numbers.
    const QStringList ascending{"-5 %",  "0x03",      "5 s",    "12 V", "0x1A", "30 s",
                                "1.5e3", "Automatic", "Manual", "TLM1", "TLM2"};
    QStringList sorted{"TLM2",  "30 s", "Manual", "0x1A", "-5 %",     "12 V",
                       "1.5e3", "5 s",  "TLM1",   "0x03", "Automatic"};
    std::sort(sorted.begin(), sorted.end(),
              [](const QString &a, const QString &b) { return compareCellTexts(a, b) < 0; });
    QCOMPARE(sorted, ascending);
    QCOMPARE(compareCellTexts(QStringLiteral("7"), QStringLiteral("7 s")), -1);
    QCOMPARE(compareCellTexts(QStringLiteral("7 s"), QStringLiteral("7 s")), 0);
    QVERIFY(compareCellTexts(QStringLiteral("2.5 s"), QStringLiteral("2.25 s")) > 0);
    QVERIFY(compareCellTexts(QString(), QStringLiteral("A")) < 0);
}

void TstShortLog::tabSeparatedTables()
{
    QCOMPARE(tabSeparated({{"Parameter", "Value"}, {"TLM1", "30 s"}}),
             QStringLiteral("Parameter\tValue\nTLM1\t30 s\n"));
    // A cell cannot split its row or its line.
    QCOMPARE(tabSeparated({{"a\tb", "two\nlines\r"}, {}}), QStringLiteral("a b\ttwo lines \n\n"));
    QCOMPARE(tabSeparated({}), QString());
}

QTEST_GUILESS_MAIN(TstShortLog)
#include "tst_shortlog.moc"
