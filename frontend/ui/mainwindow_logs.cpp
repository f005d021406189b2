// The Data-Logging side of the main window: opening log files and the graphs.
#include "mainwindow.h"

#include <QMouseEvent>
#include <QPoint>
#include <QWheelEvent>

void MainWindow::setupLogViews() {}

void MainWindow::openLogFile() {}

void MainWindow::open_short_log_example() {}

void MainWindow::process_full_log_example() {}

void MainWindow::processLogFile(QString filename)
{
    Q_UNUSED(filename);
}

void MainWindow::contextMenuRequestCommands(QPoint pos)
{
    Q_UNUSED(pos);
}

void MainWindow::contextMenuRequestAllarms(QPoint pos)
{
    Q_UNUSED(pos);
}

void MainWindow::replotGraphCommands() {}

void MainWindow::replotGraphAllarms() {}

void MainWindow::removeSelectedCommandsGraph() {}

void MainWindow::removeSelectedAllarmsGraph() {}

void MainWindow::enableTimeCommands() {}

void MainWindow::disableTimeCommands() {}

void MainWindow::enableTimeAllarms() {}

void MainWindow::disableTimeAllarms() {}

void MainWindow::mousePressCommands(QMouseEvent *event)
{
    Q_UNUSED(event);
}

void MainWindow::mousePressAllarms(QMouseEvent *event)
{
    Q_UNUSED(event);
}

void MainWindow::mouseWheelCommands(QWheelEvent *event)
{
    Q_UNUSED(event);
}

void MainWindow::mouseWheelAllarms(QWheelEvent *event)
{
    Q_UNUSED(event);
}

void MainWindow::graphAllarmsClicked() {}

void MainWindow::graphCommandsClicked() {}

void MainWindow::graphCommandsItemClicked() {}

void MainWindow::xAxis2TickRequest() {}

void MainWindow::plotSingleGraph(int number_graph)
{
    Q_UNUSED(number_graph);
}

void MainWindow::singleGraphNext() {}

void MainWindow::singleGraphPrev() {}

void MainWindow::singleGraphToolTip() {}
