// The main window's side of the help viewer; the viewer is HelpDialog.
#include "frontend/ui/helpdialog.h"
#include "frontend/ui/mainwindow.h"

void MainWindow::showDocumentation()
{
    // The same window every time, so the reader finds the page left open.
    // A minimised help window would otherwise stay out of sight.
    m_help->setWindowState(m_help->windowState() & ~Qt::WindowMinimized);
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}
