// libFuzzer target: the front end's board configuration loader. The input's
// first line is the identifier the board reported, the rest the file's
// content. A file that loads carries every required key; one that does not
// shows exactly one warning; an identifier naming a path reads no file.
#include "frontend/base/userdialogs.h"
#include "frontend/core/boardconfig.h"
#include "fuzz/fuzzsupport.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QString>
#include <QtGlobal>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

// The message-box seam without widgets: the loader's only interaction is a
// warning, which is counted.
namespace {
struct CountingDialogs : UserDialogs
{
    int shown = 0;
    void showMessage(Kind, const QString &, const QString &) override { ++shown; }
    QString chooseOpenFile(const QString &) override { return {}; }
    int execDialog(QDialog &) override { return 0; }
};
CountingDialogs g_dialogs;

using fuzzsupport::check;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::quietQt();
    UserDialogs::setInstance(&g_dialogs);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static const QString folder = QDir::tempPath() + QStringLiteral("/velmo-fuzz-board-config/");
    static const bool made = QDir().mkpath(folder);
    check(made);

    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype eol = input.indexOf('\n');
    const QString id = QString::fromLatin1(eol < 0 ? input : input.left(eol)).left(64);
    const QByteArray content = eol < 0 ? QByteArray() : input.mid(eol + 1);
    const bool plainName = !id.contains(QLatin1Char('/')) && !id.contains(QLatin1Char('\\')) &&
                           !id.isEmpty() && id != QLatin1String(".") && id != QLatin1String("..");
    QString path;
    if (plainName) {
        path = frontend::boardConfigPath(id, folder);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0; // a name the file system refuses
        file.write(content);
    }

    frontend::BoardConf conf;
    g_dialogs.shown = 0;
    const bool loaded = frontend::loadBoardConfig(id, conf, folder);
    check(g_dialogs.shown == (loaded ? 0 : 1));
    if (loaded) {
        check(plainName);
        QSettings settings(path, QSettings::IniFormat);
        settings.beginGroup(QStringLiteral("configs"));
        for (const char *key : {"name", "start-flash", "start-progr", "size-flash", "size-progr",
                                "max-erase", "padding", "id-position"})
            check(settings.contains(QString::fromLatin1(key)));
    }
    if (!path.isEmpty())
        QFile::remove(path);
    return 0;
}
