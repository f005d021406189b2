#include "common/callerpath.h"
#include "common/datafolder.h"
#include "frontend/base/preferences.h"
#include "frontend/cli/consoledialogs.h"
#include "frontend/cli/consoleoutput.h"
#include "frontend/cli/exitstatus.h"
#include "frontend/cli/flashcommand.h"
#include "frontend/cli/flashoptions.h"
#include "frontend/cli/historycommand.h"
#include "frontend/cli/interruptnotifier.h"
#include "frontend/cli/librarycommand.h"
#include "frontend/core/boardconfig.h"
#include "frontend/library/firmwarelibrary.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

constexpr const char *kTimeoutScaleVariable = "VELMO_FLASH_TIMEOUT_SCALE";

// The transport's and the workflow's diagnostic lines are for --verbose.
void quietMessages(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qPrintable(text));
        std::abort();
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    velmo::restrictNewFilesToOwner();
    // A reader that goes away (velmo-flash | head) must not end an update.
    std::signal(SIGPIPE, SIG_IGN);

    QFile out;
    QFile err;
    (void)out.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
    (void)err.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);

    FlashOptions options;
    QString error;
    if (!FlashOptions::parse(app.arguments(), &options, &error)) {
        err.write(
            QStringLiteral("velmo-flash: %1\nTry 'velmo-flash --help'.\n").arg(error).toUtf8());
        return int(ExitStatus::Usage);
    }
    if (options.mode == FlashOptions::Mode::Help) {
        out.write(FlashOptions::helpText().toUtf8());
        return int(ExitStatus::Ok);
    }
    if (options.mode == FlashOptions::Mode::Version) {
        out.write((FlashOptions::versionText() + QLatin1Char('\n')).toUtf8());
        return int(ExitStatus::Ok);
    }
    if (!options.verbose)
        qInstallMessageHandler(quietMessages);

    // As the window: velmofrontend_<locale>.qm from the working directory.
    QTranslator translator;
    (void)translator.load(QStringLiteral("velmofrontend_") + QLocale::system().name());
    QCoreApplication::installTranslator(&translator);

    ConsoleOutput output(out, err, options.json, ::isatty(STDOUT_FILENO) == 1);
    ConsoleDialogs dialogs(output);
    UserDialogs::setInstance(&dialogs);

    // FILE is the caller's, whatever folder the launcher runs us from.
    if (!options.file.isEmpty())
        options.file = velmo::callerPath(options.file);

    int status = 0;
    if (options.mode == FlashOptions::Mode::History) {
        status = HistoryCommand::run(options, output);
    } else if (options.mode == FlashOptions::Mode::Library) {
        const frontend::LibraryScanInput input = frontend::FirmwareLibrary::defaultInput(
            QString::fromLatin1(frontend::kBoardConfigFolder));
        status = LibraryCommand::list(options, frontend::StoredPreferences::read().onlySignedFiles,
                                      output, input);
    } else if (options.mode == FlashOptions::Mode::Add) {
        const frontend::LibraryScanInput input = frontend::FirmwareLibrary::defaultInput(
            QString::fromLatin1(frontend::kBoardConfigFolder));
        status =
            LibraryCommand::add(options, output, frontend::FirmwareLibrary::userFolder(), input);
    } else {
        FlashCommand command(options, frontend::StoredPreferences::read(), output);
        command.setTimeouts(FlashTimeouts::fromScale(qEnvironmentVariable(kTimeoutScaleVariable)));
        InterruptNotifier interrupts;
        QObject::connect(&interrupts, &InterruptNotifier::interrupted, &command,
                         &FlashCommand::interrupt);
        QObject::connect(&command, &FlashCommand::finished, &app, &QCoreApplication::exit,
                         Qt::QueuedConnection);
        QTimer::singleShot(0, &command, &FlashCommand::start);
        status = app.exec();
    }
    UserDialogs::setInstance(nullptr);
    // A listing that did not reach its file is no success.
    if (!output.outputError().isEmpty()) {
        err.write(QStringLiteral("velmo-flash: cannot write the output: %1\n")
                      .arg(output.outputError())
                      .toUtf8());
        if (status == int(ExitStatus::Ok))
            status = int(ExitStatus::OutputFailed);
    }
    return status;
}
