#include "tools/ptyboard.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/timerfd.h>
#include <termios.h>
#include <unistd.h>

namespace boardsim {

namespace {
constexpr int kReadChunkBytes = 4096;
constexpr int kRearmMs = 50;

qint32 baudOf(speed_t speed)
{
    struct Pair
    {
        speed_t code;
        qint32 baud;
    };
    static constexpr Pair kSpeeds[] = {
        {B1200, 1200},     {B2400, 2400},     {B4800, 4800},     {B9600, 9600},
        {B19200, 19200},   {B38400, 38400},   {B57600, 57600},   {B115200, 115200},
        {B230400, 230400}, {B460800, 460800}, {B921600, 921600},
    };
    for (const Pair &p : kSpeeds) {
        if (p.code == speed)
            return p.baud;
    }
    return 0;
}

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QLatin1String(what),
                                        QString::fromLocal8Bit(strerror(errno)));
}
} // namespace

PtyBoard::PtyBoard(const BoardConfig &config, QObject *parent)
    : QObject(parent)
    , m_model(config)
{
    m_rearmTimer.setSingleShot(true);
    m_rearmTimer.setInterval(kRearmMs);
    connect(&m_rearmTimer, &QTimer::timeout, this, [this] {
        if (m_readNotifier)
            m_readNotifier->setEnabled(true);
    });
}

PtyBoard::~PtyBoard()
{
    closeFds();
}

qint64 PtyBoard::nowUs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000 + ts.tv_nsec / 1000;
}

bool PtyBoard::open(QString *error)
{
    closeFds();
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        if (error)
            *error = systemError("cannot create a pseudo-terminal");
        closeFds();
        return false;
    }
    const char *name = ptsname(m_master);
    if (!name) {
        if (error)
            *error = systemError("ptsname");
        closeFds();
        return false;
    }
    m_portName = QString::fromLocal8Bit(name);

    // Holding the slave open keeps the line alive while the daemon closes
    // and re-opens its port, and keeps the speed it set readable.
    m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0) {
        if (error)
            *error = systemError("cannot open the slave side");
        closeFds();
        return false;
    }
    termios tio{};
    if (tcgetattr(m_slave, &tio) == 0) {
        cfmakeraw(&tio);
        const speed_t speed = m_model.baud() == kHighBaud ? B115200 : B9600;
        cfsetispeed(&tio, speed);
        cfsetospeed(&tio, speed);
        tcsetattr(m_slave, TCSANOW, &tio);
    }

    m_timerFd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (m_timerFd < 0) {
        if (error)
            *error = systemError("timerfd_create");
        closeFds();
        return false;
    }

    m_readNotifier = std::make_unique<QSocketNotifier>(m_master, QSocketNotifier::Read);
    connect(m_readNotifier.get(), &QSocketNotifier::activated, this, &PtyBoard::readAvailable);
    m_timerNotifier = std::make_unique<QSocketNotifier>(m_timerFd, QSocketNotifier::Read);
    connect(m_timerNotifier.get(), &QSocketNotifier::activated, this, [this] {
        quint64 expirations = 0;
        while (::read(m_timerFd, &expirations, sizeof expirations) > 0) {
        }
        sendDue();
    });
    return true;
}

qint32 PtyBoard::lineBaud() const
{
    const int fd = m_slave >= 0 ? m_slave : m_master;
    termios tio{};
    if (fd < 0 || tcgetattr(fd, &tio) != 0)
        return 0;
    return baudOf(cfgetospeed(&tio));
}

void PtyBoard::readAvailable()
{
    if (m_master < 0)
        return;
    char buffer[kReadChunkBytes];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            const QList<Transmission> answers =
                m_model.receive(QByteArray(buffer, n), lineBaud(), nowUs());
            for (const Transmission &t : answers)
                m_queue.push_back(t);
            if (m_model.hungUp()) {
                hangUp();
                return;
            }
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EIO) {
            // No slave open: the notifier would fire without end, so look
            // again a little later.
            m_readNotifier->setEnabled(false);
            m_rearmTimer.start();
        }
        break;
    }
    sendDue();
}

void PtyBoard::sendDue()
{
    if (m_master < 0)
        return;
    const qint64 now = nowUs();
    while (!m_queue.empty() && m_queue.front().dueUs <= now) {
        const QByteArray bytes = m_model.transmit(m_queue.front(), lineBaud());
        m_queue.pop_front();
        if (bytes.isEmpty())
            continue;
        const ssize_t written = ::write(m_master, bytes.constData(), size_t(bytes.size()));
        if (written != bytes.size()) {
            // Nobody reads the line and its buffer is full: the bytes are
            // lost, as on a real wire.
            qCWarning(lcBoardSim) << "answer of" << bytes.size() << "bytes only partly sent";
        }
    }
    armTimer();
}

void PtyBoard::armTimer()
{
    if (m_timerFd < 0)
        return;
    itimerspec spec{};
    if (!m_queue.empty()) {
        const qint64 due = std::max<qint64>(m_queue.front().dueUs, 1);
        spec.it_value.tv_sec = due / 1000000;
        spec.it_value.tv_nsec = (due % 1000000) * 1000;
    }
    // Absolute time on the same clock as nowUs(); a due time already past
    // fires at once. A zero value disarms.
    timerfd_settime(m_timerFd, TFD_TIMER_ABSTIME, &spec, nullptr);
}

void PtyBoard::hangUp()
{
    if (m_master < 0)
        return;
    m_queue.clear();
    closeFds();
    emit lineHungUp();
}

void PtyBoard::closeFds()
{
    m_rearmTimer.stop();
    m_readNotifier.reset();
    m_timerNotifier.reset();
    for (int *fd : {&m_master, &m_slave, &m_timerFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

} // namespace boardsim
