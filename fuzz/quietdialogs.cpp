// The dialog seam without widgets, for the fuzz targets: the parsers may ask
// for a message box ("Invalid Log File"), and nobody is there to close it.
#include "frontend/core/userdialogs.h"

#include <QUrl>

namespace {
class QuietDialogs : public UserDialogs
{
public:
    void showMessage(Kind, const QString &, const QString &) override {}
    QString chooseOpenFile(const QString &) override { return QString(); }
    int execDialog(QDialog &) override { return 0; }
};

UserDialogs *g_installed = nullptr;
} // namespace

UserDialogs &UserDialogs::instance()
{
    static QuietDialogs quiet;
    return g_installed ? *g_installed : quiet;
}

void UserDialogs::setInstance(UserDialogs *dialogs)
{
    g_installed = dialogs;
}

bool UserDialogs::openUrl(const QUrl &)
{
    return false;
}

bool UserDialogs::openDocument(const QString &)
{
    return false;
}
