#include "platform/files/TempFileCleanup.h"

#include <limits.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <mutex>

namespace {

constexpr int kSlots = 16;
constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

enum SlotState : int { kFree, kFilling, kHeld };

// A handler may only read what is fully written: a slot's path is valid while it is kHeld.
struct Slot {
    std::atomic<int> state{kFree};
    char path[PATH_MAX];
};
Slot g_slots[kSlots];

void RemoveAndResignal(int signal) {
    for (Slot& slot : g_slots) {
        if (slot.state.load(std::memory_order_acquire) == kHeld) {
            ::unlink(slot.path);
        }
    }
    std::signal(signal, SIG_DFL);
    ::raise(signal);
}

void InstallOnce() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        for (int signal : kSignals) {
            struct sigaction current {};
            if (::sigaction(signal, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) {
                continue;  // ignored or handled by the program: left to it
            }
            struct sigaction cleanup {};
            cleanup.sa_handler = RemoveAndResignal;
            sigemptyset(&cleanup.sa_mask);
            ::sigaction(signal, &cleanup, nullptr);
        }
    });
}

}  // namespace

int RememberTemporaryFile(const std::string& path) {
    InstallOnce();
    if (path.size() >= PATH_MAX) {
        return -1;
    }
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (g_slots[i].state.compare_exchange_strong(expected, kFilling)) {
            std::memcpy(g_slots[i].path, path.c_str(), path.size() + 1);
            g_slots[i].state.store(kHeld, std::memory_order_release);
            return i;
        }
    }
    return -1;
}

void ForgetTemporaryFile(int ticket) {
    if (ticket >= 0 && ticket < kSlots) {
        g_slots[ticket].state.store(kFree, std::memory_order_release);
    }
}
