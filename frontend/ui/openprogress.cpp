#include "frontend/ui/openprogress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QThread>
#include <QTimer>

#include <memory>

namespace {
constexpr int kBarWidthPx = 220;
constexpr int kBarSteps = 1000;
constexpr int kSliceMs = 30;
} // namespace

OpenProgress::OpenProgress(QStatusBar *bar, QObject *parent)
    : QObject(parent)
{
    m_panel = new QWidget(bar);
    m_panel->setObjectName(QStringLiteral("openProgressPanel"));
    auto *layout = new QHBoxLayout(m_panel);
    layout->setContentsMargins(0, 0, 0, 0);
    m_label = new QLabel(m_panel);
    m_bar = new QProgressBar(m_panel);
    m_bar->setObjectName(QStringLiteral("openProgressBar"));
    m_bar->setFixedWidth(kBarWidthPx);
    m_bar->setTextVisible(true);
    m_cancelButton = new QPushButton(tr("Cancel"), m_panel);
    m_cancelButton->setObjectName(QStringLiteral("openProgressCancel"));
    m_cancelButton->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    layout->addWidget(m_label, 1);
    layout->addWidget(m_bar);
    layout->addWidget(m_cancelButton);
    bar->addWidget(m_panel, 1);
    m_panel->hide();
    connect(m_cancelButton, &QPushButton::clicked, this, &OpenProgress::cancel);
}

QString OpenProgress::text() const
{
    return m_label->text();
}

void OpenProgress::cancel()
{
    if (!m_busy)
        return;
    m_cancelled = true;
    if (m_step.cancel)
        m_step.cancel->store(true);
    m_label->setText(tr("Cancelling..."));
    m_cancelButton->setEnabled(false);
}

void OpenProgress::begin(const Step &step)
{
    m_step = step;
    m_cancelled = false;
    m_busy = true;
    m_label->setText(step.text);
    m_cancelButton->setVisible(step.cancel != nullptr);
    m_cancelButton->setEnabled(true);
    if (step.done && step.total > 0)
        m_bar->setRange(0, kBarSteps);
    else
        m_bar->setRange(0, 0);
    m_bar->setValue(0);
    m_panel->show();
    QApplication::setOverrideCursor(Qt::BusyCursor);
    emit busyChanged(true);
}

void OpenProgress::end()
{
    QApplication::restoreOverrideCursor();
    m_panel->hide();
    m_busy = false;
    m_step = Step();
    emit busyChanged(false);
}

void OpenProgress::refresh()
{
    if (m_step.done && m_step.total > 0)
        m_bar->setValue(
            int(std::min<qint64>(kBarSteps, m_step.done->load() * kBarSteps / m_step.total)));
}

bool OpenProgress::run(const Step &step, const std::function<void()> &work)
{
    begin(step);
    QEventLoop loop;
    std::unique_ptr<QThread> worker(QThread::create(work));
    connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, &OpenProgress::refresh);
    timer.start(kRefreshMs);
    worker->start();
    // Ends when the work has, or when the application quits: the work is
    // then told to stop and waited for here.
    loop.exec();
    if (!worker->isFinished()) {
        m_cancelled = true;
        if (step.cancel)
            step.cancel->store(true);
    }
    worker->wait();
    const bool cancelled = m_cancelled;
    end();
    return !cancelled;
}

bool OpenProgress::runSliced(const Step &step, const std::function<bool()> &slice)
{
    begin(step);
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    while (!m_cancelled && slice()) {
        if (sinceEvents.elapsed() >= kSliceMs) {
            refresh();
            QApplication::processEvents();
            sinceEvents.restart();
        }
    }
    const bool cancelled = m_cancelled;
    end();
    return !cancelled;
}
