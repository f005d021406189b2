// The main window's side of the help viewer; the viewer is HelpDialog.
#include "helpdialog.h"
#include "mainwindow.h"

void MainWindow::showDocumentation()
{
    // The same window every time, so the reader finds the page left open.
    m_help->show();
    m_help->raise();
    m_help->activateWindow();
}
