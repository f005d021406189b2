#include "frontend/base/translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

void FrontEndTranslations::load(const QString &localeName, const QString &folder,
                                const QString &qtFolder)
{
    // Whether it loaded does not matter: without it the texts stay English.
    (void)m_frontEnd.load(QStringLiteral("velmofrontend_") + localeName, folder);
    if (m_frontEnd.isEmpty())
        return;
    (void)m_qt.load(QStringLiteral("qtbase_") + m_frontEnd.language(),
                    qtFolder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath)
                                       : qtFolder);
}

void FrontEndTranslations::install()
{
    QCoreApplication::installTranslator(&m_frontEnd);
    if (qtLoaded())
        QCoreApplication::installTranslator(&m_qt);
}
