#include "frontend/ui/shortlogexport.h"

#include "frontend/logs/shortlog.h"
#include "frontend/ui/excelexporter.h"
#include "frontend/ui/exportprogress.h"

namespace {
constexpr int kFirstTitleRow = 2;
constexpr int kSectionGap = 2; // title, headers and data one blank row apart
} // namespace

bool exportToExcel(const ShortLogData &data, const QString &path, QString *writtenPath)
{
    const int total = int(data.infoCodes.size() + data.settingCodes.size() +
                          data.alarmCodes.size() + data.historyCodes.size());
    ExportProgress progress(total);

    int exportRow = kFirstTitleRow;
    ExcelExporter exporter;
    if (!exporter.openWorkbook(path)) {
        exporter.reportOpenFailure();
        return false;
    }
    const QString &language = data.language;
    const QChar text = QLatin1Char('\'');
    int count = 0;
    // The lists of a group are parallel when the parser made them; value()
    // keeps a record that is not from turning into a crash.
    const auto section = [&](auto writeTitle, auto writeHeaders, const QStringList &codes,
                             auto writeRow) {
        if (progress.cancelled())
            return;
        (exporter.*writeTitle)(language, exportRow);
        exportRow += kSectionGap;
        (exporter.*writeHeaders)(language, exportRow);
        exportRow += kSectionGap;
        for (int i = 0; i < codes.size(); ++i) {
            if (!progress.step(++count))
                return;
            writeRow(i);
            ++exportRow;
        }
    };

    section(&ExcelExporter::writeBoardInfoTitle, &ExcelExporter::writeParameterHeaders,
            data.infoCodes, [&](int i) {
                exporter.writeCell(text + data.infoCodes.at(i), exportRow, 1);
                exporter.writeCell(text + data.infoValues.value(i), exportRow, 2, true);
                exporter.writeCell(text + data.infoDescriptions.value(i), exportRow, 3);
            });
    exportRow += kSectionGap;
    section(&ExcelExporter::writeBoardSettingsTitle, &ExcelExporter::writeParameterHeaders,
            data.settingCodes, [&](int i) {
                exporter.writeCell(text + data.settingCodes.at(i), exportRow, 1);
                exporter.writeCell(text + data.settingValues.value(i) + QLatin1Char(' ') +
                                       data.settingUnits.value(i),
                                   exportRow, 2, true);
                exporter.writeCell(text + data.settingDescriptions.value(i), exportRow, 3);
            });
    exportRow += kSectionGap;
    section(&ExcelExporter::writeAlarmsTitle, &ExcelExporter::writeAlarmHeaders, data.alarmCodes,
            [&](int i) {
                exporter.writeCell(text + data.alarmCodes.at(i), exportRow, 1);
                exporter.writeCell(text + data.alarmCounts.value(i), exportRow, 2, true);
                exporter.writeCell(text + data.alarmDescriptions.value(i), exportRow, 3);
            });
    exportRow += kSectionGap;
    section(&ExcelExporter::writeLastAlarmsTitle, &ExcelExporter::writeLastAlarmHeaders,
            data.historyCodes, [&](int i) {
                exporter.writeCell(text + data.historyCodes.at(i), exportRow, 1);
                exporter.writeCell(text + data.historyTimes.value(i), exportRow, 2, true);
            });
    if (!exporter.finish(&progress))
        return false;
    if (writtenPath)
        *writtenPath = exporter.filePath();
    return true;
}
