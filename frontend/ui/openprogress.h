#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QWidget;

// Long work of the Data-Logging page (reading a log, building its graphs)
// on a thread of its own, with its progress and a Cancel button in the
// status bar. The caller waits for it as for a dialog: events go on
// meanwhile, so the window repaints and the rest of it can be used.
class OpenProgress : public QObject
{
    Q_OBJECT
public:
    static constexpr int kRefreshMs = 50;

    // Puts its (hidden) panel into `bar`.
    explicit OpenProgress(QStatusBar *bar, QObject *parent = nullptr);

    struct Step
    {
        QString text;
        // Share done so far, read while the work runs: `done` of `total`.
        // No total: the bar only says that something is going on.
        const std::atomic<qint64> *done = nullptr;
        qint64 total = 0;
        // Set when the user cancels; no flag: the step cannot be cancelled.
        std::atomic<bool> *cancel = nullptr;
    };

    // Runs `work` and returns when it has ended: false when it was
    // cancelled (by the user, or by cancel()) before it ended.
    bool run(const Step &step, const std::function<void()> &work);
    // Work on this thread, in slices: `slice` is called until it returns
    // false, with events processed in between.
    bool runSliced(const Step &step, const std::function<bool()> &slice);

    bool busy() const { return m_busy; }
    // Asks the running step to stop (the window is closing).
    void cancel();

    QWidget *panel() const { return m_panel; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    QProgressBar *progressBar() const { return m_bar; }
    QString text() const;

signals:
    void busyChanged(bool busy);

private:
    void begin(const Step &step);
    void end();
    void refresh();

    QWidget *m_panel = nullptr; // child of the status bar
    QLabel *m_label = nullptr;
    QProgressBar *m_bar = nullptr;
    QPushButton *m_cancelButton = nullptr;
    Step m_step;
    bool m_busy = false;
    std::atomic<bool> m_cancelled{false};
};
