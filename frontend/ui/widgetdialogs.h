#pragma once

#include "frontend/base/userdialogs.h"

#include <QPointer>

class QMessageBox;

// The real thing: QMessageBox, QFileDialog, QDialog::exec() and the
// desktop's services. The window program installs it at start.
class WidgetDialogs : public UserDialogs
{
public:
    void showMessage(Kind kind, const QString &title, const QString &text) override;
    QString chooseOpenFile(const QString &nameFilter) override;
    QString chooseSaveFile(const QString &nameFilter, const QString &suggestedPath) override;
    int execDialog(QDialog &dialog) override;
    bool openDocument(const QString &path) override;
    bool openUrl(const QUrl &url) override;
    int showChoice(Kind kind, const QString &title, const QString &text,
                   const QStringList &buttons) override;
    void showNonModalMessage(Kind kind, const QString &title, const QString &text,
                             const QString &informativeText) override;
    Answer askYesNo(Kind kind, const QString &title, const QString &text,
                    Answer defaultAnswer) override;
    void withdrawQuestion() override;

private:
    QPointer<QMessageBox> m_question; // while askYesNo() shows it
};
