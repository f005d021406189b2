#include "frontend/base/userdialogs.h"

#include <QDebug>
#include <QProcess>

namespace {
UserDialogs *g_installed = nullptr;
constexpr int kDesktopQueryTimeoutMs = 2000;
} // namespace

UserDialogs &UserDialogs::instance()
{
    static HeadlessDialogs headless;
    return g_installed ? *g_installed : headless;
}

void UserDialogs::setInstance(UserDialogs *dialogs)
{
    g_installed = dialogs;
}

bool UserDialogs::openUrl(const QUrl &url)
{
    Q_UNUSED(url);
    return false;
}

bool UserDialogs::openDocument(const QString &path)
{
    Q_UNUSED(path);
    return false;
}

bool UserDialogs::hasDefaultApplication(const QString &mimeType)
{
    // The freedesktop query the desktop's own open helper relies on; it
    // prints nothing when no application is set for the type.
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"), mimeType});
    if (!query.waitForFinished(kDesktopQueryTimeoutMs)) {
        query.kill();
        query.waitForFinished(kDesktopQueryTimeoutMs);
        return true; // no answer: let the open call decide
    }
    if (query.exitStatus() != QProcess::NormalExit || query.exitCode() != 0)
        return true;
    return !query.readAllStandardOutput().trimmed().isEmpty();
}

QString UserDialogs::chooseSaveFile(const QString &, const QString &)
{
    return QString();
}

int UserDialogs::showChoice(Kind kind, const QString &title, const QString &text,
                            const QStringList &)
{
    showMessage(kind, title, text);
    return -1;
}

UserDialogs::Answer UserDialogs::askYesNo(Kind kind, const QString &title, const QString &text,
                                          Answer defaultAnswer)
{
    Q_UNUSED(kind);
    qWarning().noquote() << QStringLiteral("[question] %1: %2 -> %3")
                                .arg(title, text,
                                     defaultAnswer == Answer::Yes ? QStringLiteral("yes")
                                                                  : QStringLiteral("no"));
    return defaultAnswer;
}

void UserDialogs::showNonModalMessage(Kind kind, const QString &title, const QString &text,
                                      const QString &informativeText)
{
    showMessage(kind, title, text + QLatin1Char('\n') + informativeText);
}

QString UserDialogs::kindKey(Kind kind)
{
    switch (kind) {
    case Kind::Critical:
        return QStringLiteral("error");
    case Kind::Warning:
        return QStringLiteral("warning");
    case Kind::Information:
    case Kind::Plain:
        break;
    }
    return QStringLiteral("info");
}

void HeadlessDialogs::showMessage(Kind kind, const QString &title, const QString &text)
{
    // Nobody could close a box here; the text must not be lost all the same.
    qWarning().noquote() << QStringLiteral("[%1] %2: %3").arg(kindKey(kind), title, text);
}

QString HeadlessDialogs::chooseOpenFile(const QString &nameFilter)
{
    Q_UNUSED(nameFilter);
    return QString();
}

int HeadlessDialogs::execDialog(QDialog &dialog)
{
    Q_UNUSED(dialog);
    return kRejected;
}
