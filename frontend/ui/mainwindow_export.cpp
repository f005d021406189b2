#include "frontend/base/userdialogs.h"
#include "frontend/logs/shortlog.h"
#include "frontend/ui/excelexporter.h"
#include "frontend/ui/mainwindow.h"
#include "frontend/ui/shortlogexport.h"

#include <QDir>
#include <QFileInfo>
#include <QStatusBar>

void MainWindow::export_to_excel()
{
    const bool shortLog = log_kind == QLatin1String("file_short");
    // Save As, proposing a name of the log in the exports folder.
    QDir().mkpath(ExcelExporter::exportFolder());
    const QString stem = QFileInfo(shortLog ? m_shortLogPath : m_fullLogPath).completeBaseName();
    const QString path = UserDialogs::instance().chooseSaveFile(tr("Excel workbook (*.xlsx)"),
                                                                ExcelExporter::suggestedPath(stem));
    if (path.isEmpty())
        return;
    QString written;
    if (shortLog) {
        exportToExcel(ShortLogData::instance(), path, &written);
    } else {
        ExcelExporter exporter;
        if (exporter.exportFullLog(m_fullLog, startDateTime, path))
            written = exporter.filePath();
    }
    // Whether or not an application shows it, the file's place stays in view.
    if (written.isEmpty())
        ui->statusBar->showMessage(tr("The spreadsheet was not written."));
    else
        ui->statusBar->showMessage(
            tr("Spreadsheet saved as %1").arg(QDir::toNativeSeparators(written)));
}
