#include "frontend/base/lenguagge.h"

#include <QFileInfo>

namespace {
struct TranslationFile
{
    const char *path;
    const char *code;
    const char *locale;
};

// Order of precedence when several translations lie side by side.
constexpr TranslationFile kTranslationFiles[] = {
    {"./velmofrontend_it.qm", "IT", "it_IT"}, {"./velmofrontend_es.qm", "ES", "es_ES"},
    {"./velmofrontend_de.qm", "DE", "de_DE"}, {"./velmofrontend_pt.qm", "PT", "pt_PT"},
    {"./velmofrontend_fr.qm", "FR", "fr_FR"},
};
} // namespace

QString Lenguagge::languageCode() const
{
    for (const TranslationFile &file : kTranslationFiles) {
        if (QFileInfo::exists(QString::fromLatin1(file.path)))
            return QString::fromLatin1(file.code);
    }
    return QStringLiteral("EN");
}

QLocale Lenguagge::locale() const
{
    return localeOf(languageCode());
}

QLocale Lenguagge::localeOf(const QString &languageCode)
{
    for (const TranslationFile &file : kTranslationFiles) {
        if (languageCode == QLatin1String(file.code))
            return QLocale(QString::fromLatin1(file.locale));
    }
    return QLocale(QLocale::English, QLocale::UnitedStates);
}

bool Lenguagge::italian() const
{
    return languageCode() == QLatin1String("IT");
}

QString Lenguagge::excelNotInstalledText() const
{
    return italian() ? QStringLiteral("MS Excel non installato")
                     : QStringLiteral("MS excel not installed");
}

QString Lenguagge::cancelText() const
{
    return italian() ? QStringLiteral("Cancella") : QStringLiteral("Cancel");
}

QString Lenguagge::dataExportText() const
{
    return italian() ? QStringLiteral("Esportazione dati") : QStringLiteral("Data export");
}

QString Lenguagge::exportingText() const
{
    return italian() ? QStringLiteral("Esportazione in excel..")
                     : QStringLiteral("Exporting to excel..");
}

QString Lenguagge::manualHintText() const
{
    return italian() ? QStringLiteral(
                           "Vedi il manuale della scheda di controllo per ulteriori informazioni.")
                     : QStringLiteral("See control board manual for furtehr information.");
}
