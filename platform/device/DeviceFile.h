#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/device/ReadLimit.h"

// Our stand-in for the platform's device-file calls. A device name of the form
// "\\.\LPTSIMPLE<N>" resolves, through the installed DeviceResolver, to a device object.

class IDevice {
  public:
    virtual ~IDevice() = default;
    // One read of up to `size` bytes. Returns false when the device failed, or did not
    // answer before the limit's deadline or cancel; otherwise *delivered holds the byte
    // count the device reports, which a driver may use as a signal and which may therefore
    // differ from what was asked for.
    virtual bool Read(void* buffer, std::size_t size, std::size_t* delivered,
                      const ReadLimit& limit) = 0;
};

// Maps a device number (1..5) to a device; null when no such device can be opened, with
// the reason in *error when there is one worth telling (a camera another program holds).
class IDeviceResolver {
  public:
    virtual ~IDeviceResolver() = default;
    virtual std::unique_ptr<IDevice> OpenDevice(int index, std::string* error) = 0;
};

// The camera's probe at open time: a read of this many bytes before any frame; a stand-in
// device answers it without a frame.
inline constexpr std::size_t kProbeBytes = 2;

using DeviceHandle = IDevice*;
// The value a failed open leaves in a handle (distinct from null, "never opened").
inline DeviceHandle const kInvalidDeviceHandle = reinterpret_cast<DeviceHandle>(~std::uintptr_t{0});

// Installs the resolver used by later opens and returns the previous one. Without one,
// devices resolve to the character device /dev/lptsimple<N>.
std::shared_ptr<IDeviceResolver> SetDeviceResolver(std::shared_ptr<IDeviceResolver> resolver);
std::shared_ptr<IDeviceResolver> CurrentDeviceResolver();

// CreateFile stand-in: opens an existing device by name; kInvalidDeviceHandle on failure,
// with the reason in *error when the device gave one.
DeviceHandle CreateDevice(const char* path, std::string* error = nullptr);
// The same through the given resolver instead of the installed one (a source of its own).
DeviceHandle CreateDevice(const char* path, IDeviceResolver& resolver, std::string* error);
// ReadFile stand-in: one read; *bytesRead is preset to 0 and then set to the reported count.
// Without a limit it waits at most DeviceReadTimeout().
bool ReadDevice(DeviceHandle handle, void* buffer, std::uint32_t bytesToRead,
                std::uint32_t* bytesRead);
bool ReadDevice(DeviceHandle handle, void* buffer, std::uint32_t bytesToRead,
                std::uint32_t* bytesRead, const ReadLimit& limit);
// Reads exactly bytesToRead bytes, completing short reads; false when the device fails or
// ends, or the whole block has not arrived by the one deadline (however the bytes trickle
// in), or the read is cancelled. Without a limit the deadline is DeviceReadTimeout() away.
bool ReadDeviceFully(DeviceHandle handle, void* buffer, std::uint32_t bytesToRead);
bool ReadDeviceFully(DeviceHandle handle, void* buffer, std::uint32_t bytesToRead,
                     const ReadLimit& limit);
// CloseHandle stand-in.
bool CloseDevice(DeviceHandle handle);
