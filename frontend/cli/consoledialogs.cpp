#include "frontend/cli/consoledialogs.h"

#include "frontend/cli/consoleoutput.h"

#include <QJsonObject>

QString ConsoleDialogs::oneLine(const QString &text)
{
    return text.simplified();
}

void ConsoleDialogs::showMessage(Kind kind, const QString &title, const QString &text)
{
    const QString line = oneLine(text);
    const QString prefix = title.isEmpty() ? QString() : title + QStringLiteral(": ");
    // Standard error is for what went wrong or needs attention. An
    // information box says how something went well, which velmo-flash's
    // own lines on standard output say in full (the end of an update):
    // on a terminal it would be told twice. Scripts still get its event.
    // An error box about a failure velmo-flash has told repeats its cause
    // with advice for the window's buttons.
    const bool toldAlready =
        kind == Kind::Information || (kind == Kind::Critical && m_output.causeTold(line));
    m_output.problem(toldAlready ? QString() : prefix + line,
                     jsonEvent(QStringLiteral("message"), {{QStringLiteral("kind"), kindKey(kind)},
                                                           {QStringLiteral("title"), title},
                                                           {QStringLiteral("text"), line}}));
}

QString ConsoleDialogs::chooseOpenFile(const QString &nameFilter)
{
    Q_UNUSED(nameFilter);
    return QString();
}

int ConsoleDialogs::execDialog(QDialog &dialog)
{
    Q_UNUSED(dialog);
    return kRejected;
}
