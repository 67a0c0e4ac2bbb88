#pragma once

#include <sys/syscall.h>
#include <sys/types.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

// Whether a thread of this process is blocked in the kernel (a read, a poll, a wait), read
// from /proc. Lets a test act once a thread waits, where a fixed sleep would only guess.
inline bool IsThreadAsleep(pid_t tid) {
    std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
    const std::string text((std::istreambuf_iterator<char>(stat)),
                           std::istreambuf_iterator<char>());
    // The state follows the command name, which is in parentheses and may hold anything.
    const std::size_t nameEnd = text.rfind(')');
    if (nameEnd == std::string::npos || nameEnd + 2 >= text.size()) {
        return false;
    }
    const char state = text[nameEnd + 2];
    return state == 'S' || state == 'D';
}

inline pid_t CurrentThreadId() {
    return pid_t(::syscall(SYS_gettid));
}

// Whether every other thread of this process is blocked: a worker has reached its wait.
inline bool OtherThreadsAsleep() {
    const pid_t self = CurrentThreadId();
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error)) {
        const pid_t tid = pid_t(std::stol(entry.path().filename().string()));
        if (tid != self && !IsThreadAsleep(tid)) {
            return false;
        }
    }
    return !error;
}
