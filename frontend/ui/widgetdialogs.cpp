#include "frontend/ui/widgetdialogs.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

static_assert(UserDialogs::kRejected == QDialog::Rejected &&
              UserDialogs::kAccepted == QDialog::Accepted);

void WidgetDialogs::showMessage(Kind kind, const QString &title, const QString &text)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (kind) {
    case Kind::Critical:
        icon = QMessageBox::Critical;
        break;
    case Kind::Warning:
        icon = QMessageBox::Warning;
        break;
    case Kind::Information:
        icon = QMessageBox::Information;
        break;
    case Kind::Plain:
        break;
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok);
    box.exec();
}

QString WidgetDialogs::chooseOpenFile(const QString &nameFilter)
{
    QFileDialog dialog(nullptr);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setOption(QFileDialog::ReadOnly, true);
    dialog.setNameFilter(nameFilter);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

int WidgetDialogs::execDialog(QDialog &dialog)
{
    return dialog.exec();
}

bool WidgetDialogs::openDocument(const QString &path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool WidgetDialogs::openUrl(const QUrl &url)
{
    return QDesktopServices::openUrl(url);
}
