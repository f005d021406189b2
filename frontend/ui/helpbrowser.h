#pragma once

#include <QTextBrowser>

class QHelpEngine;

// Renders the pages of a help collection: every qthelp:// resource, the
// pages themselves as well as their links, style sheets and images, is read
// from inside the collection rather than from disk.
class HelpBrowser : public QTextBrowser
{
    Q_OBJECT
public:
    // helpEngine is not owned and must outlive the browser.
    explicit HelpBrowser(QHelpEngine *helpEngine, QWidget *parent = nullptr);

    QVariant loadResource(int type, const QUrl &name) override;

private:
    QHelpEngine *m_helpEngine;
};
