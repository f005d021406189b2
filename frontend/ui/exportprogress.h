#pragma once

#include <QCoreApplication>

#include <atomic>
#include <functional>
#include <memory>

class QProgressDialog;

// The progress dialog the exports show while they write: window-modal, so
// the main window stays blocked while events keep being processed. Its range
// ends one step past the rows: the last step is writing the file.
class ExportProgress
{
    Q_DECLARE_TR_FUNCTIONS(ExportProgress)
public:
    // Longest time between two looks at the event queue while rows are
    // written on this thread, so a long export does not spend its time
    // repainting the dialog.
    static constexpr int kEventsEveryMs = 30;
    // How often the dialog shows the count of work on another thread.
    static constexpr int kRefreshMs = 50;

    // `rowSteps` is the number of steps before the file is written.
    explicit ExportProgress(int rowSteps);
    ~ExportProgress();
    ExportProgress(const ExportProgress &) = delete;
    ExportProgress &operator=(const ExportProgress &) = delete;

    // Rows written on this thread: sets the value and now and then
    // processes pending events; false once the user has cancelled.
    bool step(int value);
    bool cancelled() const;

    // What work on another thread sees of the dialog.
    class Sink
    {
    public:
        void step(int value) { m_value.store(value, std::memory_order_relaxed); }
        bool cancelled() const { return m_cancelled.load(std::memory_order_relaxed); }

    private:
        friend class ExportProgress;
        std::atomic<int> m_value{0};
        std::atomic<bool> m_cancelled{false};
    };
    // Rows written on a thread of their own while the dialog follows their
    // count and its Cancel reaches them; returns when `work` has.
    void runRows(const std::function<void(Sink &)> &work);

    // The last step: `work` (writing the file) runs on a thread of its own
    // while the dialog says so and keeps moving; it cannot be cancelled any
    // more. The bar is full, and the dialog closed, when it returns.
    void runFinalStep(const std::function<void()> &work);

private:
    std::unique_ptr<QProgressDialog> m_dialog;
    qint64 m_lastEventsMs = -1;
};
