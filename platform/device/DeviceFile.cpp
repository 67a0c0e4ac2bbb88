#include "platform/device/DeviceFile.h"

#include <algorithm>
#include <atomic>
#include <charconv>
#include <mutex>
#include <string_view>

#include "platform/device/DeviceTimeout.h"
#include "platform/device/FileDevice.h"

namespace {

constexpr std::string_view kDevicePrefix = "\\\\.\\LPTSIMPLE";
// The driver numbers its devices from 1; larger numbers are left to the resolver.
constexpr int kHighestDeviceNumber = 99;

std::mutex g_resolverMutex;  // guards g_pResolver
std::shared_ptr<IDeviceResolver> g_pResolver;

std::atomic<std::chrono::milliseconds::rep> g_nReadTimeoutMs{kDefaultReadTimeout.count()};

// The device number of "\\.\LPTSIMPLE<N>"; 0 for any other name.
int ParseDeviceNumber(std::string_view name) {
    if (!name.starts_with(kDevicePrefix)) {
        return 0;
    }
    std::string_view digits = name.substr(kDevicePrefix.size());
    if (digits.empty() || digits.size() > 2 || digits.front() < '1' || digits.front() > '9') {
        return 0;
    }
    int number = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error != std::errc{} || end != digits.data() + digits.size()) {
        return 0;
    }
    return number <= kHighestDeviceNumber ? number : 0;
}

bool IsRealHandle(DeviceHandle handle) {
    return handle != nullptr && handle != kInvalidDeviceHandle;
}

}  // namespace

std::chrono::milliseconds DeviceReadTimeout() {
    return std::chrono::milliseconds{g_nReadTimeoutMs.load(std::memory_order_relaxed)};
}

void SetDeviceReadTimeout(std::chrono::milliseconds timeout) {
    g_nReadTimeoutMs.store(timeout.count(), std::memory_order_relaxed);
}

std::chrono::milliseconds DeviceProbeTimeout() {
    return std::min(kProbeTimeout, DeviceReadTimeout());
}

std::shared_ptr<IDeviceResolver> SetDeviceResolver(std::shared_ptr<IDeviceResolver> resolver) {
    std::lock_guard lock(g_resolverMutex);
    std::swap(g_pResolver, resolver);
    return resolver;
}

std::shared_ptr<IDeviceResolver> CurrentDeviceResolver() {
    std::lock_guard lock(g_resolverMutex);
    if (!g_pResolver) {
        g_pResolver = std::make_shared<CFileDeviceResolver>();
    }
    return g_pResolver;
}

DeviceHandle CreateDevice(const char* path, std::string* error) {
    return CreateDevice(path, *CurrentDeviceResolver(), error);
}

DeviceHandle CreateDevice(const char* path, IDeviceResolver& resolver, std::string* error) {
    int number = path ? ParseDeviceNumber(path) : 0;
    if (number == 0) {
        return kInvalidDeviceHandle;
    }
    std::string reason;
    std::unique_ptr<IDevice> device = resolver.OpenDevice(number, &reason);
    if (error != nullptr) {
        *error = device ? std::string() : reason;
    }
    return device ? device.release() : kInvalidDeviceHandle;
}

bool ReadDevice(DeviceHandle handle, void* buffer, std::uint32_t bytesToRead,
                std::uint32_t* bytesRead) {
    return ReadDevice(handle, buffer, bytesToRead, bytesRead,
                      ReadLimit::Within(DeviceReadTimeout()));
}

bool ReadDevice(DeviceHandle handle, void* buffer, std::uint32_t bytesToRead,
                std::uint32_t* bytesRead, const ReadLimit& limit) {
    *bytesRead = 0;
    if (!IsRealHandle(handle) || limit.IsCancelled()) {
        return false;
    }
    std::size_t delivered = 0;
    if (!handle->Read(buffer, bytesToRead, &delivered, limit)) {
        return false;
    }
    *bytesRead = static_cast<std::uint32_t>(delivered);
    return true;
}

bool ReadDeviceFully(DeviceHandle handle, void* buffer, std::uint32_t bytesToRead) {
    return ReadDeviceFully(handle, buffer, bytesToRead, ReadLimit::Within(DeviceReadTimeout()));
}

bool ReadDeviceFully(DeviceHandle handle, void* buffer, std::uint32_t bytesToRead,
                     const ReadLimit& limit) {
    if (!IsRealHandle(handle)) {
        return false;
    }
    auto* cursor = static_cast<std::uint8_t*>(buffer);
    std::size_t remaining = bytesToRead;
    while (remaining > 0) {
        std::size_t delivered = 0;
        if (limit.IsCancelled() || !handle->Read(cursor, remaining, &delivered, limit)) {
            return false;
        }
        // Nothing delivered means the device ended; more than asked is a count we
        // cannot trust. Either way the block is incomplete.
        if (delivered == 0 || delivered > remaining) {
            return false;
        }
        cursor += delivered;
        remaining -= delivered;
    }
    return true;
}

bool CloseDevice(DeviceHandle handle) {
    if (!IsRealHandle(handle)) {
        return false;
    }
    delete handle;
    return true;
}
