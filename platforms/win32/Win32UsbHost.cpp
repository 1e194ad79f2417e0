#include "platforms/win32/Win32UsbHost.h"

#include "platforms/win32/WindowsApi.h"

namespace norvik {

namespace {

class Win32UsbDeviceHandle final : public UsbDeviceHandle {
public:
    Win32UsbDeviceHandle(HANDLE handle, std::shared_ptr<std::atomic<std::uint32_t>> lastError)
        : handle_(handle), lastError_(std::move(lastError))
    {
    }
    ~Win32UsbDeviceHandle() override { ::CloseHandle(handle_); }

    bool DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                         std::uint32_t outSize, std::uint32_t* bytesReturned) override
    {
        DWORD returned = 0;
        const BOOL ok =
            ::DeviceIoControl(handle_, code, const_cast<void*>(in), inSize, out, outSize, &returned, nullptr);
        if (bytesReturned)
            *bytesReturned = returned;
        if (!ok)
            lastError_->store(::GetLastError());
        return ok != FALSE;
    }

private:
    HANDLE handle_;
    std::shared_ptr<std::atomic<std::uint32_t>> lastError_;
};

}  // namespace

Win32UsbHost::Win32UsbHost() : lastError_(std::make_shared<std::atomic<std::uint32_t>>(0)) {}

std::unique_ptr<UsbDeviceHandle> Win32UsbHost::Open(const std::string& name)
{
    HANDLE handle =
        ::CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        lastError_->store(::GetLastError());
        return nullptr;
    }
    return std::make_unique<Win32UsbDeviceHandle>(handle, lastError_);
}

std::uint32_t Win32UsbHost::LastError() { return lastError_->load(); }

}  // namespace norvik
