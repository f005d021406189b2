#pragma once

#include "frontend/base/userdialogs.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// Tests of the plain classes link no widgets; QTest picks its application
// type the same way.
#ifdef QT_WIDGETS_LIB
#include <QDialog>
#include <QMessageBox>
#endif

// Records every box instead of showing it and answers file dialogs from a
// queue; installed for the lifetime of the object.
class FakeDialogs : public UserDialogs
{
public:
    struct Box
    {
        Kind kind;
        QString title;
        QString text;
    };

    FakeDialogs() { UserDialogs::setInstance(this); }
    ~FakeDialogs() override { UserDialogs::setInstance(nullptr); }

    void showMessage(Kind kind, const QString &title, const QString &text) override
    {
        boxes.append({kind, title, text});
        if (onBox)
            onBox(boxes.constLast());
    }
    QString chooseOpenFile(const QString &nameFilter) override
    {
        filters.append(nameFilter);
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    // Answers from `saveFiles`, in order; then with the suggestion when
    // `saveAsSuggested`, else cancelled.
    QString chooseSaveFile(const QString &nameFilter, const QString &suggestedPath) override
    {
        saveFilters.append(nameFilter);
        suggestedSavePaths.append(suggestedPath);
        if (saveFiles.isEmpty())
            return saveAsSuggested ? suggestedPath : QString();
        return saveFiles.takeFirst();
    }
    int execDialog(QDialog &dialog) override
    {
#ifdef QT_WIDGETS_LIB
        if (auto *box = qobject_cast<QMessageBox *>(&dialog))
            dialogTexts.append(box->text());
        dialogTitles.append(dialog.windowTitle());
#else
        Q_UNUSED(dialog);
#endif
        return kAccepted;
    }

    bool openDocument(const QString &path) override
    {
        openedDocuments.append(path);
        return canOpenDocuments;
    }
    bool openUrl(const QUrl &url) override
    {
        openedUrls.append(url);
        return canOpenUrls;
    }
    // The desktop as the test sets it up: nothing is asked of the real one.
    bool hasDefaultApplication(const QString &mimeType) override
    {
        queriedTypes.append(mimeType);
        return !unregisteredTypes.contains(mimeType);
    }
    // Recorded as a box too, with the extra buttons offered; answers with
    // `choice` when that button was offered, else -1 (OK).
    int showChoice(Kind kind, const QString &title, const QString &text,
                   const QStringList &buttons) override
    {
        choiceButtons.append(buttons);
        showMessage(kind, title, text);
        return choice < buttons.size() ? choice : -1;
    }

    // Recorded apart from the boxes; answered from `answers` in order, then
    // with the question's default.
    // A question withdrawn while open (from onQuestion) answers No.
    Answer askYesNo(Kind kind, const QString &title, const QString &text,
                    Answer defaultAnswer) override
    {
        questions.append({kind, title, text});
        questionDefaults.append(defaultAnswer);
        const int withdrawnBefore = withdrawnQuestions;
        asking = true;
        if (onQuestion)
            onQuestion(questions.constLast());
        asking = false;
        const Answer answer = answers.isEmpty() ? defaultAnswer : answers.takeFirst();
        return withdrawnQuestions > withdrawnBefore ? Answer::No : answer;
    }
    void withdrawQuestion() override
    {
        if (asking)
            ++withdrawnQuestions;
    }
    // Recorded apart from the modal boxes: nothing waits for them.
    void showNonModalMessage(Kind kind, const QString &title, const QString &text,
                             const QString &informativeText) override
    {
        nonModalBoxes.append({kind, title, text, informativeText});
    }

    QStringList texts() const
    {
        QStringList out;
        for (const Box &b : boxes)
            out.append(b.text);
        return out;
    }
    // The first line of each box: the fixed text before any explanation.
    QStringList firstLines() const
    {
        QStringList out;
        for (const Box &b : boxes)
            out.append(b.text.section(QLatin1Char('\n'), 0, 0));
        return out;
    }

    QList<Box> boxes;
    QStringList files;              // answers of chooseOpenFile, in order
    QStringList filters;            // name filters asked for
    QStringList saveFiles;          // answers of chooseSaveFile, in order
    bool saveAsSuggested = false;   // then the suggested path
    QStringList saveFilters;        // its name filters
    QStringList suggestedSavePaths; // the paths it proposed
    QStringList dialogTitles;
    QStringList dialogTexts;
    std::function<void(const Box &)> onBox;
    QStringList openedDocuments; // handed to the desktop, never launched
    bool canOpenDocuments = true;
    QList<QUrl> openedUrls;
    bool canOpenUrls = true;
    QStringList queriedTypes;      // asked of hasDefaultApplication
    QStringList unregisteredTypes; // types no application is set for
    QList<QStringList> choiceButtons;
    int choice = -1;
    QList<Box> questions;
    QList<Answer> questionDefaults;
    QList<Answer> answers; // answers of askYesNo, in order
    std::function<void(const Box &)> onQuestion;
    int withdrawnQuestions = 0;
    bool asking = false;
    struct NonModalBox
    {
        Kind kind;
        QString title;
        QString text;
        QString informativeText;
    };
    QList<NonModalBox> nonModalBoxes;
};
