#include "frontend/ui/exportprogress.h"

#include "frontend/base/lenguagge.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace {
constexpr int kProgressMinWidth = 300;

QElapsedTimer &exportClock()
{
    static QElapsedTimer timer;
    if (!timer.isValid())
        timer.start();
    return timer;
}

// Runs `work` on a thread of its own and waits for it in an event loop that
// takes no user input but the dialog's (a window-modal dialog lets none
// reach the window), calling `tick` every so often.
void runOnThread(const std::function<void()> &work, const std::function<void()> &tick,
                 QEventLoop::ProcessEventsFlags flags)
{
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create(work));
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer timer;
    if (tick) {
        QObject::connect(&timer, &QTimer::timeout, &loop, tick);
        timer.start(ExportProgress::kRefreshMs);
    }
    worker->start();
    loop.exec(flags);
    worker->wait();
}
} // namespace

ExportProgress::ExportProgress(int rowSteps)
    : m_dialog(std::make_unique<QProgressDialog>())
{
    const Lenguagge texts;
    m_dialog->setLabelText(texts.exportingText());
    m_dialog->setCancelButtonText(texts.cancelText());
    m_dialog->setRange(0, std::max(rowSteps, 0) + 1);
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumWidth(kProgressMinWidth);
    m_dialog->setWindowTitle(texts.dataExportText());
    // Reaching the total must not hide the dialog or forget a cancel before
    // the end steps have run.
    m_dialog->setAutoReset(false);
    m_dialog->setAutoClose(false);
    // Shown at once: the export may be short, but the user sees it started.
    m_dialog->setMinimumDuration(0);
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

ExportProgress::~ExportProgress() = default;

bool ExportProgress::step(int value)
{
    // A modal dialog processes events on every value it is given: only
    // when enough time has passed does it get one.
    const qint64 now = exportClock().elapsed();
    if (m_lastEventsMs < 0 || now - m_lastEventsMs >= kEventsEveryMs ||
        m_dialog->maximum() <= 1000) {
        m_dialog->setValue(value);
        QApplication::processEvents();
        m_lastEventsMs = now;
    }
    return !m_dialog->wasCanceled();
}

bool ExportProgress::cancelled() const
{
    return m_dialog->wasCanceled();
}

void ExportProgress::runRows(const std::function<void(Sink &)> &work)
{
    Sink sink;
    QDialog *dialog = m_dialog.get();
    QObject::connect(m_dialog.get(), &QProgressDialog::canceled, dialog,
                     [&sink] { sink.m_cancelled.store(true); });
    runOnThread([&] { work(sink); },
                [&] {
                    if (m_dialog->wasCanceled())
                        sink.m_cancelled.store(true);
                    else
                        m_dialog->setValue(std::min(sink.m_value.load(), m_dialog->maximum() - 1));
                },
                QEventLoop::AllEvents);
    QObject::disconnect(m_dialog.get(), &QProgressDialog::canceled, dialog, nullptr);
}

void ExportProgress::runFinalStep(const std::function<void()> &work)
{
    const int last = m_dialog->maximum();
    // Compressing a long sheet takes seconds: a bar standing still just
    // short of the end would look like a hang, so it runs as "busy".
    m_dialog->setCancelButton(nullptr);
    m_dialog->setLabelText(tr("Writing the file..."));
    m_dialog->setRange(0, 0);
    // A cancel hides the dialog, but the rows so far are still being saved.
    m_dialog->show();
    // The user can do nothing here but watch; the work must not be re-entered.
    runOnThread(work, nullptr, QEventLoop::ExcludeUserInputEvents);
    m_dialog->setRange(0, last);
    m_dialog->setValue(last);
    QApplication::processEvents();
    // Done: whatever is said about the file next must not sit behind it.
    m_dialog->hide();
}
