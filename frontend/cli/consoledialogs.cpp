#include "frontend/cli/consoledialogs.h"

#include "frontend/cli/consoleoutput.h"

#include <QJsonObject>

QString ConsoleDialogs::kindKey(Kind kind)
{
    switch (kind) {
    case Kind::Critical:
        return QStringLiteral("error");
    case Kind::Warning:
        return QStringLiteral("warning");
    case Kind::Information:
    case Kind::Plain:
        break;
    }
    return QStringLiteral("info");
}

QString ConsoleDialogs::oneLine(const QString &text)
{
    return text.simplified();
}

void ConsoleDialogs::showMessage(Kind kind, const QString &title, const QString &text)
{
    const QString line = oneLine(text);
    const QString prefix = title.isEmpty() ? QString() : title + QStringLiteral(": ");
    m_output.problem(prefix + line,
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
