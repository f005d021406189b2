#pragma once

#include "frontend/base/userdialogs.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

// The parser tests link no widgets; QTest picks its application type the
// same way.
#ifdef QT_WIDGETS_LIB
#include <QDialog>
#endif

// Records message boxes and lets a test answer each modal dialog.
class RecordingDialogs : public UserDialogs
{
public:
    struct Box
    {
        Kind kind;
        QString title;
        QString text;
    };

    RecordingDialogs() { UserDialogs::setInstance(this); }
    ~RecordingDialogs() override { UserDialogs::setInstance(nullptr); }

    void showMessage(Kind kind, const QString &title, const QString &text) override
    {
        boxes.append({kind, title, text});
    }
    QString chooseOpenFile(const QString &nameFilter) override
    {
        filters.append(nameFilter);
        return files.isEmpty() ? QString() : files.takeFirst();
    }
    int execDialog(QDialog &dialog) override
    {
#ifdef QT_WIDGETS_LIB
        dialogTitles.append(dialog.windowTitle());
#endif
        return onDialog ? onDialog(dialog) : kRejected;
    }

    void showNonModalMessage(Kind kind, const QString &title, const QString &text,
                             const QString &informativeText) override
    {
        nonModalBoxes.append({kind, title, text, informativeText});
    }
    QString chooseSaveFile(const QString &nameFilter, const QString &suggestedName) override
    {
        saveFilters.append(nameFilter);
        saveSuggestions.append(suggestedName);
        return saveFiles.isEmpty() ? QString() : saveFiles.takeFirst();
    }

    QStringList texts() const
    {
        QStringList out;
        for (const Box &box : boxes)
            out.append(box.text);
        return out;
    }

    QList<Box> boxes;
    QStringList files;
    QStringList filters;
    QStringList dialogTitles;
    std::function<int(QDialog &)> onDialog;
    struct NonModalBox
    {
        Kind kind;
        QString title;
        QString text;
        QString informativeText;
    };
    QList<NonModalBox> nonModalBoxes;
    QStringList saveFiles;
    QStringList saveFilters;
    QStringList saveSuggestions;
};

// The lookup database built from the shipped SQL; the tests start in the
// stage directory that holds it.
inline QString stagedDatabase()
{
    return QDir::current().absoluteFilePath(QStringLiteral("Log_look_up.s3db"));
}

inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A small database made of the given statements, under its own connection.
inline bool makeDatabase(const QString &path, const QStringList &statements)
{
    bool ok = true;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("test-maker"));
        db.setDatabaseName(path);
        ok = db.open();
        for (const QString &statement : statements) {
            QSqlQuery query(db);
            ok = ok && query.exec(statement);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("test-maker"));
    return ok;
}
