#include "TerminationSignals.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "Logger.h"

namespace {

constexpr int kSignals[] = {SIGTERM, SIGINT, SIGHUP};
// [0] written by the handler, [1] read in the GUI thread. One set per process.
int g_pair[2] = {-1, -1};

} // namespace

TerminationSignals::TerminationSignals(std::function<void(int)> leave, QObject *parent)
    : QObject(parent), m_leave(std::move(leave))
{
    if (g_pair[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pair) != 0) {
        LOG_WARN() << "Termination signals not handled: no socket pair";
        return;
    }
    // A full socket must not block the handler; the signals already waiting suffice.
    ::fcntl(g_pair[0], F_SETFL, ::fcntl(g_pair[0], F_GETFL) | O_NONBLOCK);
    m_notifier = new QSocketNotifier(g_pair[1], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);

    struct sigaction action = {};
    action.sa_handler = &TerminationSignals::handle;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    m_installed = true;
    for (int s : kSignals)
        m_installed = ::sigaction(s, &action, nullptr) == 0 && m_installed;
    if (!m_installed)
        LOG_WARN() << "Termination signals not all handled";
}

TerminationSignals::~TerminationSignals()
{
    if (!m_notifier)
        return;   // another object holds the pair
    for (int s : kSignals)
        ::signal(s, SIG_DFL);
    delete m_notifier;
    for (int &fd : g_pair) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void TerminationSignals::handle(int signal)
{
    // Async-signal-safe: one write, errno left as the interrupted code had it.
    const int saved = errno;
    const char number = static_cast<char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(g_pair[0], &number, 1);
    errno = saved;
}

void TerminationSignals::readSignal()
{
    char number = 0;
    if (::read(g_pair[1], &number, 1) != 1)
        return;
    LOG_INFO() << "Leaving on signal" << int(number);
    if (m_leave)
        m_leave(number);
}
