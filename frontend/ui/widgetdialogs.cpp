#include "frontend/ui/widgetdialogs.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

#include <utility>

static_assert(UserDialogs::kRejected == QDialog::Rejected &&
              UserDialogs::kAccepted == QDialog::Accepted);

namespace {
QMessageBox::Icon iconOf(UserDialogs::Kind kind)
{
    switch (kind) {
    case UserDialogs::Kind::Critical:
        return QMessageBox::Critical;
    case UserDialogs::Kind::Warning:
        return QMessageBox::Warning;
    case UserDialogs::Kind::Information:
        return QMessageBox::Information;
    case UserDialogs::Kind::Plain:
        break;
    }
    return QMessageBox::NoIcon;
}
} // namespace

void WidgetDialogs::showMessage(Kind kind, const QString &title, const QString &text)
{
    QMessageBox box(iconOf(kind), title, text, QMessageBox::Ok);
    box.exec();
}

int WidgetDialogs::showChoice(Kind kind, const QString &title, const QString &text,
                              const QStringList &buttons)
{
    QMessageBox box(iconOf(kind), title, text, QMessageBox::Ok);
    // Paths and addresses in the text are there to be copied.
    box.setTextInteractionFlags(Qt::TextSelectableByMouse);
    QList<QAbstractButton *> extra;
    for (const QString &label : buttons)
        extra.append(box.addButton(label, QMessageBox::ActionRole));
    box.exec();
    return int(extra.indexOf(box.clickedButton()));
}

UserDialogs::Answer WidgetDialogs::askYesNo(Kind kind, const QString &title, const QString &text,
                                            Answer defaultAnswer)
{
    QMessageBox box(iconOf(kind), title, text, QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(defaultAnswer == Answer::Yes ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    const QPointer<QMessageBox> outer = std::exchange(m_question, &box);
    box.exec();
    m_question = outer;
    return box.clickedButton() == box.button(QMessageBox::Yes) ? Answer::Yes : Answer::No;
}

void WidgetDialogs::withdrawQuestion()
{
    if (m_question)
        m_question->done(QMessageBox::No);
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

QString WidgetDialogs::chooseSaveFile(const QString &nameFilter, const QString &suggestedPath)
{
    QFileDialog dialog(nullptr);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(nameFilter);
    const QFileInfo suggested(suggestedPath);
    dialog.setDirectory(suggested.absolutePath());
    dialog.selectFile(suggested.fileName());
    dialog.setDefaultSuffix(suggested.suffix());
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
