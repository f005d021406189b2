// velmo-board-sim: a control board's boot loader on a pseudo-terminal, for
// tests, benchmarks and demonstrations without hardware.
#include "common/callerpath.h"
#include "common/version.h"
#include "tools/boardoptions.h"
#include "tools/ptyboard.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>

#include <sys/socket.h>
#include <unistd.h>

namespace {
int g_signalFds[2] = {-1, -1};

void forwardSignal(int signal)
{
    const char code = static_cast<char>(signal);
    // Nothing useful to do if the pipe is full: a signal is already pending.
    [[maybe_unused]] const ssize_t n = ::write(g_signalFds[0], &code, 1);
}

bool installSignalHandlers()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_signalFds) != 0)
        return false;
    struct sigaction action
    {
    };
    action.sa_handler = forwardSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGUSR1, SIGHUP}) {
        if (::sigaction(signal, &action, nullptr) != 0)
            return false;
    }
    return true;
}

void printLine(const QString &line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

bool dumpFlash(const boardsim::PtyBoard &board, const QString &path)
{
    if (path.isEmpty())
        return true;
    QString error;
    if (!boardsim::writeFlashDump(board.model().flash(), path, &error)) {
        qCCritical(lcBoardSim).noquote() << error;
        return false;
    }
    return true;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("velmo-board-sim"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(velmo::kProductVersion));

    QCommandLineParser parser;
    boardsim::addOptions(parser);
    parser.process(app);
    boardsim::SimOptions options;
    QString error;
    if (!boardsim::readOptions(parser, &options, &error)) {
        std::fprintf(stderr, "velmo-board-sim: %s\n", qPrintable(error));
        return 2;
    }
    // Files named on the command line are the user's, wherever the launcher
    // runs the program.
    options.dumpPath = velmo::callerPath(options.dumpPath);
    options.loadPath = velmo::callerPath(options.loadPath);
    if (options.verbose)
        QLoggingCategory::setFilterRules(QStringLiteral("velmo.boardsim.debug=true"));

    boardsim::PtyBoard board(options.board);
    if (!options.loadPath.isEmpty()) {
        QFile file(options.loadPath);
        if (!file.open(QIODevice::ReadOnly) || !board.model().loadFlash(file.readAll())) {
            std::fprintf(stderr, "velmo-board-sim: cannot load %s into %d bytes of flash\n",
                         qPrintable(options.loadPath), options.board.flashBytes);
            return 2;
        }
    }
    if (!installSignalHandlers()) {
        std::fprintf(stderr, "velmo-board-sim: cannot install signal handlers\n");
        return 1;
    }
    if (!board.open(&error)) {
        std::fprintf(stderr, "velmo-board-sim: %s\n", qPrintable(error));
        return 1;
    }
    printLine(QStringLiteral("PORT ") + board.portName());
    qCInfo(lcBoardSim).noquote() << QStringLiteral("board id 0x%1, %2 KiB flash, %3 baud")
                                        .arg(options.board.id, 4, 16, QLatin1Char('0'))
                                        .arg(options.board.flashBytes / 1024)
                                        .arg(board.model().baud());

    QObject::connect(&board, &boardsim::PtyBoard::lineHungUp, &app,
                     [] { qCInfo(lcBoardSim) << "line hung up; waiting for SIGTERM"; });

    int exitCode = 0;
    QSocketNotifier signalNotifier(g_signalFds[1], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
        char code = 0;
        while (::read(g_signalFds[1], &code, 1) == 1) {
            switch (code) {
            case SIGUSR1:
                dumpFlash(board, options.dumpPath);
                printLine(boardsim::statsLine(board.model().stats()));
                break;
            case SIGHUP:
                qCInfo(lcBoardSim) << "power cycle";
                board.model().powerCycle();
                break;
            default:
                if (!dumpFlash(board, options.dumpPath))
                    exitCode = 1;
                printLine(boardsim::statsLine(board.model().stats()));
                QCoreApplication::exit(exitCode);
                break;
            }
        }
    });
    const int rc = app.exec();
    return rc != 0 ? rc : exitCode;
}
