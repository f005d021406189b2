#include "frontend/cli/interruptnotifier.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM};

volatile sig_atomic_t g_writeFd = -1;
struct sigaction g_previous[sizeof kSignals / sizeof kSignals[0]];

void onSignal(int signalNumber)
{
    const int savedErrno = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    if (g_writeFd >= 0) {
        [[maybe_unused]] const ssize_t n = ::write(g_writeFd, &byte, 1);
    }
    errno = savedErrno;
}

} // namespace

InterruptNotifier::InterruptNotifier(QObject *parent)
    : QObject(parent)
{
    if (::pipe2(m_fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    g_writeFd = m_fds[1];
    m_notifier = std::make_unique<QSocketNotifier>(m_fds[0], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &InterruptNotifier::readSignals);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    // Restarted system calls: the transport's threads must not see EINTR
    // where they do not expect it.
    action.sa_flags = SA_RESTART;
    for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
        ::sigaction(kSignals[i], &action, &g_previous[i]);
}

InterruptNotifier::~InterruptNotifier()
{
    if (!m_notifier)
        return;
    for (size_t i = 0; i < sizeof kSignals / sizeof kSignals[0]; ++i)
        ::sigaction(kSignals[i], &g_previous[i], nullptr);
    g_writeFd = -1;
    m_notifier.reset();
    ::close(m_fds[0]);
    ::close(m_fds[1]);
}

void InterruptNotifier::readSignals()
{
    unsigned char byte = 0;
    while (::read(m_fds[0], &byte, 1) == 1)
        emit interrupted(int(byte));
}
