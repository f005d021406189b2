#pragma once

#include "frontend/base/userdialogs.h"

class ConsoleOutput;

// The boxes of the workflow on a terminal: each warning or error becomes
// one clean line on standard error ("Error: File wrong."), and every box a
// "message" event. Nobody can
// answer a box here, so each one counts as closed at once; file dialogs
// are cancelled.
class ConsoleDialogs : public UserDialogs
{
public:
    explicit ConsoleDialogs(ConsoleOutput &output)
        : m_output(output)
    {}

    void showMessage(Kind kind, const QString &title, const QString &text) override;
    QString chooseOpenFile(const QString &nameFilter) override;
    int execDialog(QDialog &dialog) override;

    // The text on one line: line breaks and runs of blanks become one blank.
    static QString oneLine(const QString &text);

private:
    ConsoleOutput &m_output;
};
