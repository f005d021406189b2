#include "frontend/ui/widgetdialogs.h"

#include "frontend/base/preferences.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
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
    // Not the program's folder: where the technician last took a file from.
    dialog.setDirectory(frontend::dialogStartFolder(frontend::DialogFolder::Open));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString chosen = dialog.selectedFiles().constFirst();
    frontend::rememberDialogFolder(frontend::DialogFolder::Open, chosen);
    return chosen;
}

QString WidgetDialogs::chooseSaveFile(const QString &nameFilter, const QString &suggestedPath)
{
    QFileDialog dialog(nullptr);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(nameFilter);
    const QFileInfo suggested(suggestedPath);
    dialog.setDirectory(
        frontend::dialogStartFolder(frontend::DialogFolder::Save, suggested.absolutePath()));
    dialog.selectFile(suggested.fileName());
    dialog.setDefaultSuffix(suggested.suffix());
    // A name typed without an ending gets the one of the type chosen.
    static const QRegularExpression kEnding(QStringLiteral("\\*\\.(\\w+)"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString &filter) {
                         const QRegularExpressionMatch ending = kEnding.match(filter);
                         if (ending.hasMatch())
                             dialog.setDefaultSuffix(ending.captured(1));
                     });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    const QString chosen = dialog.selectedFiles().constFirst();
    frontend::rememberDialogFolder(frontend::DialogFolder::Save, chosen);
    return chosen;
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

void WidgetDialogs::showNonModalMessage(Kind kind, const QString &title, const QString &text,
                                        const QString &informativeText)
{
    // A modal dialog that is up (the single-run graph) would block a box
    // outside it, which could then not be closed until the dialog is: the
    // box belongs to that dialog. Otherwise it has no parent.
    auto *box = new QMessageBox(iconOf(kind), title, text, QMessageBox::Ok,
                                QApplication::activeModalWidget());
    box->setInformativeText(informativeText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->show();
}
