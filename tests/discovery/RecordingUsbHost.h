#pragma once
// Wraps a USB host and records every open and every request made through the
// handles it gives, so tests can check what the walk asks and in what order.

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "discovery/UsbHost.h"

namespace norvik::test {

struct UsbCall {
    std::string handle;  // the name it was opened with
    std::uint32_t code = 0;
    std::uint32_t inSize = 0;
    std::uint32_t outSize = 0;
    std::vector<std::uint8_t> input;  // the input bytes as sent
    bool same = false;                // input and output are one buffer
};

class RecordingUsbHost : public UsbHost {
public:
    explicit RecordingUsbHost(UsbHost& inner) : inner_(inner) {}

    std::unique_ptr<UsbDeviceHandle> Open(const std::string& name) override
    {
        opened.push_back(name);
        std::unique_ptr<UsbDeviceHandle> handle = inner_.Open(name);
        if (!handle)
            return nullptr;
        return std::make_unique<Handle>(*this, name, std::move(handle));
    }
    std::uint32_t LastError() override { return inner_.LastError(); }

    std::vector<std::string> opened;
    std::vector<UsbCall> calls;

    std::size_t CountCalls(std::uint32_t code) const
    {
        std::size_t n = 0;
        for (const UsbCall& call : calls)
            n += call.code == code;
        return n;
    }

private:
    class Handle : public UsbDeviceHandle {
    public:
        Handle(RecordingUsbHost& host, std::string name, std::unique_ptr<UsbDeviceHandle> inner)
            : host_(host), name_(std::move(name)), inner_(std::move(inner))
        {
        }
        bool DeviceIoControl(std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                             std::uint32_t outSize, std::uint32_t* bytesReturned) override
        {
            UsbCall call{name_, code, inSize, outSize, {}, in != nullptr && in == out};
            if (in)
                call.input.assign(static_cast<const std::uint8_t*>(in),
                                  static_cast<const std::uint8_t*>(in) + inSize);
            host_.calls.push_back(std::move(call));
            return inner_->DeviceIoControl(code, in, inSize, out, outSize, bytesReturned);
        }

    private:
        RecordingUsbHost& host_;
        std::string name_;
        std::unique_ptr<UsbDeviceHandle> inner_;
    };

    UsbHost& inner_;
};

}  // namespace norvik::test
