#include "frontend/ui/updatecheckui.h"

#include "frontend/base/lenguagge.h"
#include "frontend/base/userdialogs.h"

#include <QAbstractButton>
#include <QClipboard>
#include <QDebug>
#include <QGuiApplication>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTextDocumentFragment>
#include <QUrl>

using frontend::UpdateChecker;

namespace {

// The notes come from the network: keep their words and line breaks, but no
// links, images or anything else a label would act on.
QString releaseNotesText(const QString &notes)
{
    const QString plain = QTextDocumentFragment::fromHtml(notes).toPlainText().trimmed();
    if (plain.isEmpty())
        return QString();
    return QStringLiteral("<p>%1</p>")
        .arg(plain.toHtmlEscaped().replace(QLatin1Char('\n'), QLatin1String("<br>")));
}

// The desktop's open call "succeeds" as soon as its helper has started, even
// when that finds no browser: ask first, and when nothing shows the page,
// leave the user the address to take elsewhere.
void openDownloadPage(const QUrl &url)
{
    UserDialogs &dialogs = UserDialogs::instance();
    const QString address = url.toDisplayString();
    const bool registered =
        dialogs.hasDefaultApplication(QStringLiteral("x-scheme-handler/") + url.scheme());
    if (registered && dialogs.openUrl(url))
        return;
    const QString reason =
        registered ? UpdateCheckUi::tr("Cannot open %1 in the browser.").arg(address)
                   : UpdateCheckUi::tr("No web browser is set up to open %1.").arg(address);
    const QString text = reason + QLatin1Char('\n') +
                         UpdateCheckUi::tr("Open the address in a browser to download the update.");
    const int choice =
        dialogs.showChoice(registered ? UserDialogs::Kind::Critical : UserDialogs::Kind::Warning,
                           registered ? QStringLiteral("Error") : QStringLiteral("Warning"), text,
                           {UpdateCheckUi::tr("Copy address")});
    if (choice == 0)
        QGuiApplication::clipboard()->setText(address);
}

} // namespace

UpdateCheckUi::UpdateCheckUi(QWidget *window, const QString &settingsPath)
    : m_window(window)
    , m_settings(settingsPath)
{
    m_autoTimer.setSingleShot(true);
    connect(&m_autoTimer, &QTimer::timeout, this, &UpdateCheckUi::startBackgroundCheck);
    connect(&m_checker, &UpdateChecker::finished, this, &UpdateCheckUi::onFinished);
}

UpdateCheckUi::~UpdateCheckUi()
{
    shutdown();
}

void UpdateCheckUi::shutdown()
{
    m_autoTimer.stop();
    m_checker.abort();
    // No event loop may be left to run a deferred delete.
    delete m_progress.data();
}

void UpdateCheckUi::setAutomaticCheck(bool on)
{
    m_settings.setAutomaticCheck(on);
    if (!on)
        m_autoTimer.stop();
}

QString UpdateCheckUi::languageCode() const
{
    const Lenguagge language;
    return language.languageCode();
}

void UpdateCheckUi::checkNow()
{
    m_autoTimer.stop();
    m_mode = Mode::Interactive;
    // A quiet check already under way simply gets a face.
    if (!m_checker.isRunning())
        m_checker.start(languageCode());
    showProgress();
}

void UpdateCheckUi::scheduleAutomaticCheck(int delayMs)
{
    if (m_settings.automaticCheck() && m_settings.automaticCheckDue())
        m_autoTimer.start(delayMs);
}

void UpdateCheckUi::startBackgroundCheck()
{
    // The user may have switched it off or checked by hand meanwhile.
    if (m_checker.isRunning() || !m_settings.automaticCheck() || !m_settings.automaticCheckDue())
        return;
    m_mode = Mode::Background;
    m_checker.start(languageCode());
}

QProgressDialog *UpdateCheckUi::progressDialog() const
{
    return m_progress;
}

void UpdateCheckUi::showProgress()
{
    if (m_progress) {
        m_progress->raise();
        return;
    }
    auto *progress = new QProgressDialog(m_window);
    progress->setObjectName(QStringLiteral("updateCheckProgress"));
    progress->setWindowTitle(tr("Check for update"));
    progress->setLabelText(tr("Checking for updates..."));
    progress->setCancelButtonText(tr("Cancel"));
    progress->setRange(0, 0);
    progress->setModal(false);
    progress->setMinimumDuration(0);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    connect(progress, &QProgressDialog::canceled, this, [this] {
        m_checker.abort();
        closeProgress();
    });
    m_progress = progress;
    progress->show();
}

// Deferred: this may run inside the dialog's own cancel button or close event.
void UpdateCheckUi::closeProgress()
{
    if (!m_progress)
        return;
    QProgressDialog *progress = m_progress;
    m_progress = nullptr;
    progress->disconnect(this);
    progress->hide();
    progress->deleteLater();
}

void UpdateCheckUi::onFinished(const UpdateChecker::Result &result)
{
    const bool interactive = m_mode == Mode::Interactive;
    m_mode = Mode::Background;
    closeProgress();

    // A failed check is retried at the next start; a completed one counts
    // for the day, whatever it found.
    if (result.outcome != UpdateChecker::Outcome::Failed)
        m_settings.setLastCheck(QDateTime::currentDateTimeUtc());

    switch (result.outcome) {
    case UpdateChecker::Outcome::UpToDate:
        if (interactive)
            UserDialogs::instance().information(
                tr("Check for update"),
                tr("You are running the latest version (%1).").arg(m_checker.installedVersion()));
        break;
    case UpdateChecker::Outcome::UpdateAvailable: {
        const QString skipped = m_settings.skippedVersion();
        if (interactive || skipped.isEmpty() ||
            frontend::compareVersions(result.item.version, skipped) > 0)
            offerUpdate(result.item);
        break;
    }
    case UpdateChecker::Outcome::Failed:
        qWarning().noquote() << "[UpdateCheckUi] update check failed:" << result.error;
        if (interactive)
            UserDialogs::instance().critical(
                QStringLiteral("Error"), tr("Unable to check for updates.\n%1").arg(result.error));
        break;
    }
    emit checkFinished(result.outcome);
}

void UpdateCheckUi::offerUpdate(const frontend::AppcastItem &item)
{
    QMessageBox box(m_window);
    box.setIcon(QMessageBox::Information);
    box.setWindowTitle(tr("Update available"));
    box.setTextFormat(Qt::PlainText); // the version comes from the feed
    box.setText(tr("A new version of %1 is available: %2 (you are running %3).")
                    .arg(QLatin1String(frontend::UpdateAppDetails::kAppName), item.displayVersion,
                         m_checker.installedVersion()));
    const QString notes = releaseNotesText(item.releaseNotes);
    box.setInformativeText(
        notes.isEmpty() ? QStringLiteral("<p>%1</p>").arg(item.title.toHtmlEscaped()) : notes);
    QPushButton *download = box.addButton(tr("Download"), QMessageBox::AcceptRole);
    QPushButton *skip = box.addButton(tr("Skip This Version"), QMessageBox::RejectRole);
    QPushButton *later = box.addButton(tr("Later"), QMessageBox::RejectRole);
    box.setDefaultButton(download);
    box.setEscapeButton(later);
    UserDialogs::instance().execDialog(box);
    if (box.clickedButton() == skip)
        m_settings.setSkippedVersion(item.version);
    if (box.clickedButton() != download)
        return;
    openDownloadPage(item.downloadUrl);
}
