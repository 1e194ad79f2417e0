#pragma once
// The USB host port: host-controller and hub devices opened by name and
// asked with DeviceIoControl. Requests carry the Windows I/O control codes
// and byte-packed structures (UsbStructures.h); answers keep the Windows
// convention of a bool, a byte count and a last error.

#include <cstdint>
#include <memory>
#include <string>

namespace norvik {

class UsbDeviceHandle {
public:
    // Destruction closes the handle.
    virtual ~UsbDeviceHandle() = default;
    // Synchronous DeviceIoControl. On false, LastError() of the host tells why.
    virtual bool DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                                 std::uint32_t outSize, std::uint32_t* bytesReturned) = 0;
};

class UsbHost {
public:
    virtual ~UsbHost() = default;
    // CreateFile(name, GENERIC_WRITE, FILE_SHARE_WRITE, OPEN_EXISTING) on a
    // name such as "\\.\HCD0" or "\\.\" + a hub name, in the ANSI code page.
    // nullptr when it cannot be opened.
    virtual std::unique_ptr<UsbDeviceHandle> Open(const std::string& name) = 0;
    // GetLastError() after the last failed call on this host or its handles.
    virtual std::uint32_t LastError() = 0;
};

}  // namespace norvik
