#include "frontend/logs/shortlog.h"
#include "frontend/ui/excelexporter.h"
#include "frontend/ui/mainwindow.h"

void MainWindow::export_to_excel()
{
    if (log_kind == QLatin1String("file_short")) {
        short_log log;
        log.exportToExcel();
        return;
    }
    ExcelExporter exporter;
    exporter.exportFullLog(m_fullLog.logRecords, m_fullLog.firstTime, startDateTime,
                           m_fullLog.firmwareLine);
}
