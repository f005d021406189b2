#pragma once

#include <QLocale>
#include <QObject>
#include <QString>

// The installed-language code follows the translation files shipped next to
// the program, not the system locale: it picks the language of the lookup
// database, the help and a few fixed texts. Every call looks at the files
// again, so dropping a translation in place takes effect without a restart.
class Lenguagge : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // "IT", "ES", "DE", "PT", "FR" or "EN".
    QString languageCode() const;
    // The locale of that language, for day and month names.
    QLocale locale() const;
    static QLocale localeOf(const QString &languageCode);

    QString excelNotInstalledText() const;
    QString cancelText() const;
    QString dataExportText() const;
    QString exportingText() const;
    QString manualHintText() const;

private:
    bool italian() const;
};
