#include "frontend/base/userdialogs.h"
#include "frontend/ui/mainwindow.h"
#include "frontend/ui/servicerecorddialog.h"
#include "records/updaterecorder.h"

void MainWindow::setupServiceRecord()
{
    m_recorder = std::make_unique<records::UpdateRecorder>(QStringLiteral("VelmoFrontEnd"));
    // Recording never stands in the way of flashing; the user only hears
    // of it when an update could not be written.
    m_recorder->setProblemHandler([](const QString &text) {
        UserDialogs::instance().warning(QStringLiteral("Warning"), text);
    });
    m_workflow->setRecorder(m_recorder.get());
}

void MainWindow::showServiceRecord()
{
    if (!m_serviceRecord)
        m_serviceRecord = std::make_unique<ServiceRecordDialog>();
    m_serviceRecord->show();
    m_serviceRecord->raise();
    m_serviceRecord->activateWindow();
}
