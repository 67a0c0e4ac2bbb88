#include "platform/ui/TerminationSignals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP};
int g_signalPipe[2] = {-1, -1};

void OnSignal(int signal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t ignored = ::write(g_signalPipe[1], &number, 1);
    errno = saved;
}

}  // namespace

CTerminationSignals::CTerminationSignals(std::function<void(int signal)> onSignal)
    : m_onSignal(std::move(onSignal)) {
    if (g_signalPipe[0] < 0 && ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;  // without a pipe the signals keep their default handling
    }
    m_pNotifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
    QObject::connect(m_pNotifier.get(), &QSocketNotifier::activated, this, [this] { Drain(); });
    for (int signal : kSignals) {
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        ::sigaction(signal, &action, nullptr);
    }
}

CTerminationSignals::~CTerminationSignals() {
    for (int signal : kSignals) {
        std::signal(signal, SIG_DFL);
    }
}

void CTerminationSignals::Drain() {
    unsigned char number = 0;
    while (::read(g_signalPipe[0], &number, 1) == 1) {
        if (m_nCaught == 0) {
            m_nCaught = number;
            m_onSignal(number);
        }
    }
}

void CTerminationSignals::Reraise() const {
    if (m_nCaught != 0) {
        std::signal(m_nCaught, SIG_DFL);
        ::raise(m_nCaught);
    }
}
