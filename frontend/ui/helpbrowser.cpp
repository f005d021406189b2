#include "frontend/ui/helpbrowser.h"

#include <QHelpEngine>
#include <QUrl>

HelpBrowser::HelpBrowser(QHelpEngine *helpEngine, QWidget *parent)
    : QTextBrowser(parent)
    , m_helpEngine(helpEngine)
{}

QVariant HelpBrowser::loadResource(int type, const QUrl &name)
{
    // A page the collection does not hold comes back empty and shows as an
    // empty page, which is what the reader should see for a broken link.
    if (name.scheme() == QLatin1String("qthelp") && m_helpEngine)
        return m_helpEngine->fileData(name);
    return QTextBrowser::loadResource(type, name);
}
