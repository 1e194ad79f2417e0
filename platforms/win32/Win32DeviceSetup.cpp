#include "platforms/win32/Win32DeviceSetup.h"

#include <vector>

#include "platforms/win32/Win32Guid.h"
#include "platforms/win32/WindowsApi.h"

#include <cfgmgr32.h>
#include <setupapi.h>

namespace norvik {

std::wstring FirstStringOf(const wchar_t* buffer, std::size_t bytes)
{
    const std::size_t units = bytes / sizeof(wchar_t);
    std::size_t length = 0;
    while (length < units && buffer[length] != L'\0')
        ++length;
    return std::wstring(buffer, length);
}

namespace {

class Win32DeviceInfoSet final : public DeviceInfoSet {
public:
    explicit Win32DeviceInfoSet(HDEVINFO set) : set_(set) {}
    ~Win32DeviceInfoSet() override { ::SetupDiDestroyDeviceInfoList(set_); }

    bool OpenDeviceInterface(const std::wstring& devicePath) override
    {
        interface_ = SP_DEVICE_INTERFACE_DATA{};
        interface_.cbSize = sizeof interface_;
        opened_ = ::SetupDiOpenDeviceInterfaceW(set_, devicePath.c_str(), 0, &interface_) != FALSE;
        return opened_;
    }

    bool GetInterfaceDetail(DeviceInfoData* info) override
    {
        if (!opened_)
            return false;
        // The detail structure is read into a 1024-byte buffer; its size
        // field holds the structure's fixed size, as the call requires.
        alignas(SP_DEVICE_INTERFACE_DETAIL_DATA_W) unsigned char buffer[1024] = {};
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer);
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
        DWORD required = 0;
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        if (!::SetupDiGetDeviceInterfaceDetailW(set_, &interface_, detail, sizeof buffer, &required, &device))
            return false;
        device_ = device;
        info->classGuid = FromWinGuid(device.ClassGuid);
        info->devInst = device.DevInst;
        return true;
    }

    bool ClassNameFromGuid(const Guid& classGuid, std::wstring* name, std::size_t bufferChars) override
    {
        std::vector<wchar_t> buffer(bufferChars + 1, L'\0');
        const GUID guid = ToWinGuid(classGuid);
        if (!::SetupDiClassNameFromGuidW(&guid, buffer.data(), DWORD(bufferChars), nullptr))
            return false;
        name->assign(buffer.data());
        return true;
    }

    bool ClassDescription(const Guid& classGuid, std::wstring* text, std::size_t bufferChars) override
    {
        std::vector<wchar_t> buffer(bufferChars + 1, L'\0');
        const GUID guid = ToWinGuid(classGuid);
        if (!::SetupDiGetClassDescriptionW(&guid, buffer.data(), DWORD(bufferChars), nullptr))
            return false;
        text->assign(buffer.data());
        return true;
    }

    bool RegistryProperty(const DeviceInfoData& info, std::uint32_t property, std::wstring* value,
                          std::size_t bufferBytes) override
    {
        SP_DEVINFO_DATA device = device_;
        if (device.cbSize == 0 || device.DevInst != info.devInst)
            return false;
        std::vector<wchar_t> buffer(bufferBytes / sizeof(wchar_t) + 1, L'\0');
        if (!::SetupDiGetDeviceRegistryPropertyW(set_, &device, property, nullptr,
                                                 reinterpret_cast<BYTE*>(buffer.data()), DWORD(bufferBytes),
                                                 nullptr))
            return false;
        *value = FirstStringOf(buffer.data(), bufferBytes);
        return true;
    }

private:
    HDEVINFO set_;
    SP_DEVICE_INTERFACE_DATA interface_{};
    bool opened_ = false;
    SP_DEVINFO_DATA device_{};
};

}  // namespace

std::unique_ptr<DeviceInfoSet> Win32DeviceSetup::CreateDeviceInfoList()
{
    HDEVINFO set = ::SetupDiCreateDeviceInfoList(nullptr, nullptr);
    if (set == INVALID_HANDLE_VALUE)
        return nullptr;
    return std::make_unique<Win32DeviceInfoSet>(set);
}

std::uint32_t Win32DeviceSetup::LocationInformation(DevInst node, std::wstring* text, std::size_t bufferBytes)
{
    std::vector<wchar_t> buffer(bufferBytes / sizeof(wchar_t) + 1, L'\0');
    ULONG length = ULONG(bufferBytes);
    const CONFIGRET result =
        ::CM_Get_DevNode_Registry_PropertyW(node, CM_DRP_LOCATION_INFORMATION, nullptr, buffer.data(), &length, 0);
    if (result == CR_SUCCESS)
        *text = FirstStringOf(buffer.data(), bufferBytes);
    return result;
}

std::uint32_t Win32DeviceSetup::Parent(DevInst node, DevInst* parent)
{
    DEVINST found = 0;
    const CONFIGRET result = ::CM_Get_Parent(&found, node, 0);
    if (result == CR_SUCCESS && parent)
        *parent = found;
    return result;
}

}  // namespace norvik
