#include "frontend/logs/shortlog.h"
#include "frontend/ui/excelexporter.h"
#include "frontend/ui/mainwindow.h"

#include <QDir>
#include <QStatusBar>

void MainWindow::export_to_excel()
{
    QString written;
    if (log_kind == QLatin1String("file_short")) {
        short_log log;
        if (log.exportToExcel())
            written = log.exportedPath();
    } else {
        ExcelExporter exporter;
        if (exporter.exportFullLog(m_fullLog.logRecords, m_fullLog.firstTime, startDateTime,
                                   m_fullLog.firmwareLine))
            written = exporter.filePath();
    }
    // Whether or not an application shows it, the file's place stays in view.
    if (written.isEmpty())
        ui->statusBar->showMessage(tr("The spreadsheet was not written."));
    else
        ui->statusBar->showMessage(
            tr("Spreadsheet saved as %1").arg(QDir::toNativeSeparators(written)));
}
