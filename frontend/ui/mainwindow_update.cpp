// The Help menu's update actions; the check itself lives in UpdateCheckUi.
#include "frontend/ui/mainwindow.h"
#include "frontend/ui/updatecheckui.h"

#include <QAction>
#include <QDebug>

void MainWindow::setupUpdateCheck()
{
    m_updateCheck = std::make_unique<UpdateCheckUi>(this);
    connect(ui->actionCheck_for_update, &QAction::triggered, this, &MainWindow::checkForUpdates);
    connect(ui->actionDisable_Update, &QAction::triggered, this, &MainWindow::enableUpdate);
    showUpdateToggleText();
}

void MainWindow::startAutomaticUpdateCheck()
{
    m_updateCheck->scheduleAutomaticCheck();
}

// The action names what a click will do.
void MainWindow::showUpdateToggleText()
{
    ui->actionDisable_Update->setText(m_updateCheck->automaticCheck() ? tr("Disable Update")
                                                                      : tr("Enable Update"));
}

void MainWindow::checkForUpdates()
{
    m_updateCheck->checkNow();
}

void MainWindow::enableUpdate()
{
    qDebug() << "unable disable";
    m_updateCheck->setAutomaticCheck(!m_updateCheck->automaticCheck());
    showUpdateToggleText();
}
