#include "frontend/base/userdialogs.h"
#include "frontend/library/librarycontroller.h"
#include "frontend/library/libraryindex.h"
#include "frontend/ui/librarypanel.h"
#include "frontend/ui/mainwindow.h"
#include "frontend/ui/settingsdialog.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QStatusBar>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

// The place of the library in the Flashing tab's column: after the HEX
// file group (a spacer, then that group's row).
constexpr int kLibraryRow = 2;

// The local HEX files among what is dragged.
QStringList hexFiles(const QMimeData *data)
{
    QStringList files;
    if (!data || !data->hasUrls())
        return files;
    for (const QUrl &url : data->urls()) {
        if (url.isLocalFile() && frontend::LibraryScanner::isLibraryName(url.fileName()))
            files << url.toLocalFile();
    }
    return files;
}

} // namespace

void MainWindow::setupLibrary()
{
    m_library = std::make_unique<frontend::LibraryController>(*m_workflow);
    m_library->setSignedOnly(m_settings->onlySignedFiles());
    m_libraryPanel = new LibraryPanel(*m_library, ui->flashing);
    ui->verticalLayout_2->insertWidget(kLibraryRow, m_libraryPanel);
    connect(m_libraryPanel, &LibraryPanel::addRequested, this, &MainWindow::addToLibrary);
    // Hex File Info with its notes needs the tab's room more than the list.
    connect(m_workflow.get(), &frontend::FlashWorkflow::imageInfoChanged, m_libraryPanel,
            [panel = m_libraryPanel](const QString &info) { panel->setCompact(!info.isEmpty()); });
    connect(ui->actionAddToLibrary, &QAction::triggered, this, &MainWindow::addToLibrary);
    setAcceptDrops(true);
    m_library->refresh();
}

void MainWindow::addToLibrary()
{
    const QString path =
        UserDialogs::instance().chooseOpenFile(QStringLiteral("Hex files (*.hex)"));
    if (!path.isEmpty())
        reportAdded({path});
}

void MainWindow::reportAdded(const QStringList &paths)
{
    const frontend::LibraryController::AddReport report = m_library->addFiles(paths);
    if (report.lines.isEmpty())
        return;
    ui->statusBar->showMessage(report.lines.constFirst());
    const QString text = report.lines.join(QLatin1Char('\n'));
    if (report.anyFailed)
        UserDialogs::instance().warning(QStringLiteral("Warning"), text);
    else
        UserDialogs::instance().information(QStringLiteral("Flashing"), text);
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!hexFiles(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QStringList files = hexFiles(event->mimeData());
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    // Where the user sees what came in.
    ui->tabWidget->setCurrentWidget(ui->flashing);
    reportAdded(files);
}
