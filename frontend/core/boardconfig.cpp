#include "frontend/core/boardconfig.h"

#include "frontend/base/userdialogs.h"

#include <QCoreApplication>
#include <QDebug>
#include <QSettings>

namespace frontend {

namespace {

qint32 toInt32(const QString &text, int base)
{
    bool ok = false;
    const qint32 value = text.toInt(&ok, base);
    return ok ? value : 0;
}

enum class Base
{
    Dec = 10,
    Hex = 16
};

} // namespace

QString boardConfigPath(const QString &id, const QString &folder)
{
    return QStringLiteral("%1config-id-%2.ini").arg(folder, id);
}

namespace {

// `log`: each value read as a diagnostic line.
bool readConfig(const QString &id, BoardConf &conf, const QString &folder, bool log)
{
    // The id comes off the broker: one that names a path elsewhere finds no
    // file rather than a file outside the configuration folder.
    const bool plainName = !id.contains(QLatin1Char('/')) && !id.contains(QLatin1Char('\\'));
    QSettings settings(plainName ? boardConfigPath(id, folder) : QString(), QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("configs"));

    struct Field
    {
        const char *key;
        Base base;
        qint32 *target;
    };
    qint32 padding = 0;
    const Field fields[] = {
        {"start-flash", Base::Hex, &conf.startFlash}, {"start-progr", Base::Hex, &conf.startProgr},
        {"size-flash", Base::Dec, &conf.sizeFlash},   {"size-progr", Base::Dec, &conf.sizeProgr},
        {"max-erase", Base::Dec, &conf.maxErase},     {"padding", Base::Hex, &padding},
        {"id-position", Base::Dec, &conf.idPosition},
    };

    bool complete = plainName && settings.contains(QStringLiteral("name"));
    if (complete) {
        // The INI reader splits a value at its commas ("VB-1, rev. 2");
        // the name is all of it.
        const QVariant name = settings.value(QStringLiteral("name"));
        conf.name = name.typeId() == QMetaType::QStringList
                        ? name.toStringList().join(QStringLiteral(", "))
                        : name.toString();
        if (log)
            qDebug().noquote() << "name:" << conf.name;
    }
    for (const Field &field : fields) {
        if (!complete)
            break;
        const QString key = QString::fromLatin1(field.key);
        if (!settings.contains(key)) {
            complete = false;
            break;
        }
        const qint32 value = toInt32(settings.value(key).toString(), static_cast<int>(field.base));
        if (field.target == &padding) {
            conf.padding = static_cast<quint8>(value & 0xFF);
            if (log)
                qDebug().noquote() << key + ":" << QString::number(conf.padding, 16);
        } else {
            *field.target = value;
            if (!log)
                continue;
            if (field.base == Base::Hex)
                qDebug().noquote() << key + ":" << QString::number(value, 16);
            else
                qDebug().noquote() << key + ":" << value;
        }
    }

    if (!complete)
        return false;

    if (settings.contains(QStringLiteral("refresh"))) {
        conf.refresh = settings.value(QStringLiteral("refresh")).toBool();
        if (log)
            qDebug().noquote() << "refresh:" << conf.refresh;
    } else {
        conf.refresh = false;
    }
    settings.endGroup();
    return true;
}

} // namespace

bool readBoardConfig(const QString &id, BoardConf &conf, const QString &folder)
{
    return readConfig(id, conf, folder, false);
}

bool loadBoardConfig(const QString &id, BoardConf &conf, const QString &folder)
{
    if (readConfig(id, conf, folder, true))
        return true;
    UserDialogs::instance().warning(
        QStringLiteral("Warning"),
        QCoreApplication::translate("MainWindow", "Error loading configuration file for "
                                                  "Board: %1.\r\n Try to update the software")
            .arg(id));
    return false;
}

} // namespace frontend
