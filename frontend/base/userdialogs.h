#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QDialog;
class QUrl;

// Every modal interaction with the user goes through this seam, so that
// tests can answer message boxes and dialogs without blocking. The window
// program installs its widget implementation at start; tests install their
// own. Nothing here needs a display.
class UserDialogs
{
public:
    enum class Kind
    {
        Critical,
        Warning,
        Information,
        Plain
    };

    enum class Answer
    {
        Yes,
        No
    };

    // QDialog's result codes, for implementations without widgets.
    // A box's kind in one word where there is no box: "error", "warning",
    // "info".
    static QString kindKey(Kind kind);

    static constexpr int kRejected = 0;
    static constexpr int kAccepted = 1;

    virtual ~UserDialogs() = default;

    // A modal box without parent window and with one OK button; returns when
    // the user has closed it.
    virtual void showMessage(Kind kind, const QString &title, const QString &text) = 0;
    // A file dialog for one existing file, read-only option set; returns the
    // chosen path, or an empty string when the user cancelled.
    virtual QString chooseOpenFile(const QString &nameFilter) = 0;
    // A file dialog for saving, proposing `suggestedPath` (folder and name);
    // asks before replacing a file. Returns the chosen path, or an empty
    // string when the user cancelled (which is all this base class does).
    virtual QString chooseSaveFile(const QString &nameFilter, const QString &suggestedPath);
    // Runs a modal dialog that the caller has prepared; returns its result
    // code (QDialog::Accepted or QDialog::Rejected).
    virtual int execDialog(QDialog &dialog) = 0;
    // Hands a finished file to the desktop's default application for its
    // type, without waiting; false when there is none to open it (always,
    // without a desktop).
    virtual bool openDocument(const QString &path);

    // Hands `url` to the desktop's browser; false when nothing took it
    // (always, without a desktop). Tests that reach it override it so
    // nothing is launched.
    virtual bool openUrl(const QUrl &url);

    // Whether the desktop names an application for `mimeType` (a file type,
    // or "x-scheme-handler/https" for web addresses). The open calls above
    // report success once the desktop's helper has started, even when it
    // finds nothing; this asks first. True when the desktop cannot tell.
    virtual bool hasDefaultApplication(const QString &mimeType);

    // A box like showMessage with `buttons` besides OK; returns the index of
    // the one chosen, or -1 for OK or a box closed otherwise. Without an
    // override it is a plain box and no choice is made.
    virtual int showChoice(Kind kind, const QString &title, const QString &text,
                           const QStringList &buttons);

    // A modal box without parent window, with Yes and No buttons of which
    // `defaultAnswer` is preselected (Enter takes it, Escape says No).
    // Without an override nobody can answer: the default stands.
    virtual Answer askYesNo(Kind kind, const QString &title, const QString &text,
                            Answer defaultAnswer);
    // The reason for the question askYesNo() is showing has gone: it closes
    // and answers No. Nothing happens when no question is open.
    virtual void withdrawQuestion() {}
    // A box that shows without waiting for the user, who may go on working
    // beside it; it is disposed of when closed. `informativeText` goes below
    // `text`. Without an override it is reported as showMessage() would.
    virtual void showNonModalMessage(Kind kind, const QString &title, const QString &text,
                                     const QString &informativeText);

    void critical(const QString &title, const QString &text)
    {
        showMessage(Kind::Critical, title, text);
    }
    void warning(const QString &title, const QString &text)
    {
        showMessage(Kind::Warning, title, text);
    }
    void information(const QString &title, const QString &text)
    {
        showMessage(Kind::Information, title, text);
    }

    // The installed implementation; HeadlessDialogs until one is installed.
    static UserDialogs &instance();
    // Installs `dialogs` (not owned); nullptr restores HeadlessDialogs.
    static void setInstance(UserDialogs *dialogs);
};

// For a program without a display: every box becomes a diagnostic line,
// every question is answered as if the user had cancelled it.
class HeadlessDialogs : public UserDialogs
{
public:
    void showMessage(Kind kind, const QString &title, const QString &text) override;
    QString chooseOpenFile(const QString &nameFilter) override;
    int execDialog(QDialog &dialog) override;
};
