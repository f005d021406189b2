#pragma once

#include "frontend/core/updatecheck.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class QProgressDialog;
class QWidget;

// The update check as the user sees it: a check on request with a small
// progress window and a box for every outcome, and the once-a-day check in
// the background that speaks up only when there is something to install.
// Boxes and the browser go through UserDialogs.
class UpdateCheckUi : public QObject
{
    Q_OBJECT
public:
    // Start-up belongs to the technician's work, not to our server.
    static constexpr int kAutomaticCheckDelayMs = 30000;

    // `window` parents the progress window; it must outlive this object.
    explicit UpdateCheckUi(QWidget *window, const QString &settingsPath = QString());
    ~UpdateCheckUi() override;

    frontend::UpdateChecker &checker() { return m_checker; }
    const frontend::UpdateSettings &settings() const { return m_settings; }

    bool automaticCheck() const { return m_settings.automaticCheck(); }
    void setAutomaticCheck(bool on);

    // Checks now and reports whatever comes out.
    void checkNow();
    // After `delayMs`, checks quietly when automatic checks are on and none
    // completed within a day.
    void scheduleAutomaticCheck(int delayMs = kAutomaticCheckDelayMs);
    bool automaticCheckScheduled() const { return m_autoTimer.isActive(); }

    // The progress window of a check on request, null when none shows.
    QProgressDialog *progressDialog() const;

    // Stops everything without a word to the user.
    void shutdown();

signals:
    // A check ended and its outcome has been shown (or kept quiet).
    void checkFinished(frontend::UpdateChecker::Outcome outcome);

private:
    enum class Mode
    {
        Interactive,
        Background
    };

    void startBackgroundCheck();
    void onFinished(const frontend::UpdateChecker::Result &result);
    void showProgress();
    void closeProgress();
    void offerUpdate(const frontend::AppcastItem &item);
    QString languageCode() const;

    QWidget *m_window;
    frontend::UpdateSettings m_settings;
    frontend::UpdateChecker m_checker;
    Mode m_mode = Mode::Background;
    QPointer<QProgressDialog> m_progress; // child of the window while shown
    QTimer m_autoTimer;
};
