#include "frontend/core/userdialogs.h"

#include <QDebug>

namespace {
UserDialogs *g_installed = nullptr;
}

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

void HeadlessDialogs::showMessage(Kind kind, const QString &title, const QString &text)
{
    // Nobody could close a box here; the text must not be lost all the same.
    const char *level = kind == Kind::Critical  ? "error"
                        : kind == Kind::Warning ? "warning"
                                                : "info";
    qWarning().noquote() << QStringLiteral("[%1] %2: %3").arg(QLatin1String(level), title, text);
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
