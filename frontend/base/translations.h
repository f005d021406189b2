#pragma once

#include <QString>
#include <QTranslator>

// The front end's texts in the user's language, and Qt's own texts (Yes and
// No, the file dialogs) in the same one. Qt's follow the front end's: an
// English window keeps English buttons.
class FrontEndTranslations
{
public:
    // "velmofrontend_" + `localeName` (it_IT, then it, each .qm first) from
    // `folder`, the working directory when empty; then "qtbase_" + the
    // language that file is in, from Qt's translations folder unless
    // `qtFolder` is given.
    void load(const QString &localeName, const QString &folder = QString(),
              const QString &qtFolder = QString());
    // Into the running application. The window's translator is installed
    // whether or not it loaded.
    void install();

    bool frontEndLoaded() const { return !m_frontEnd.isEmpty(); }
    bool qtLoaded() const { return !m_qt.isEmpty(); }

private:
    QTranslator m_frontEnd;
    QTranslator m_qt;
};
