#include "platforms/win32/Win32DeviceSetup.h"

#include <optional>
#include <vector>

#include "platforms/win32/UsbInstanceId.h"
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

// The interface class of a device interface path: its last braced GUID
// ("\\?\usb#vid_..#..#{65e8773d-8f56-11d0-a3b9-00a0c9223196}\global").
std::optional<GUID> InterfaceClassOf(const std::wstring& devicePath)
{
    const std::size_t close = devicePath.rfind(L'}');
    const std::size_t open = close == std::wstring::npos ? close : devicePath.rfind(L'{', close);
    if (open == std::wstring::npos || close - open != 37)
        return std::nullopt;
    GUID interfaceClass{};
    if (FAILED(::IIDFromString(devicePath.substr(open, 38).c_str(), &interfaceClass)))
        return std::nullopt;
    return interfaceClass;
}

// An owned device information set.
class DeviceInfoList {
public:
    DeviceInfoList() = default;
    explicit DeviceInfoList(HDEVINFO set) : set_(set) {}
    DeviceInfoList(const DeviceInfoList&) = delete;
    DeviceInfoList& operator=(const DeviceInfoList&) = delete;
    ~DeviceInfoList() { Reset(INVALID_HANDLE_VALUE); }

    void Reset(HDEVINFO set)
    {
        if (set_ != INVALID_HANDLE_VALUE)
            ::SetupDiDestroyDeviceInfoList(set_);
        set_ = set;
    }
    HDEVINFO Get() const { return set_; }
    explicit operator bool() const { return set_ != INVALID_HANDLE_VALUE; }

private:
    HDEVINFO set_ = INVALID_HANDLE_VALUE;
};

class Win32DeviceInfoSet final : public DeviceInfoSet {
public:
    explicit Win32DeviceInfoSet(HDEVINFO set) : set_(set) {}

    bool OpenDeviceInterface(const std::wstring& devicePath) override
    {
        interface_ = SP_DEVICE_INTERFACE_DATA{};
        interface_.cbSize = sizeof interface_;
        device_ = SP_DEVINFO_DATA{};
        present_.Reset(INVALID_HANDLE_VALUE);
        ::SetLastError(ERROR_SUCCESS);
        opened_ = ::SetupDiOpenDeviceInterfaceW(set_.Get(), devicePath.c_str(), 0, &interface_) != FALSE;
        // Windows gives a reason whenever the call fails. A failure without
        // one comes from a system that does not implement the call (Wine 8
        // answers FALSE and nothing else); there the interface is looked for
        // among the present interfaces of its class.
        if (!opened_ && ::GetLastError() == ERROR_SUCCESS)
            opened_ = FindPresentInterface(devicePath);
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
        if (!::SetupDiGetDeviceInterfaceDetailW(Active(), &interface_, detail, sizeof buffer, &required,
                                                &device))
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
        if (!::SetupDiGetDeviceRegistryPropertyW(Active(), &device, property, nullptr,
                                                 reinterpret_cast<BYTE*>(buffer.data()), DWORD(bufferBytes),
                                                 nullptr))
            return false;
        *value = FirstStringOf(buffer.data(), bufferBytes);
        return true;
    }

private:
    // The set the opened interface belongs to.
    HDEVINFO Active() const { return present_ ? present_.Get() : set_.Get(); }

    bool FindPresentInterface(const std::wstring& devicePath)
    {
        const std::optional<GUID> interfaceClass = InterfaceClassOf(devicePath);
        if (!interfaceClass)
            return false;
        present_.Reset(::SetupDiGetClassDevsW(&*interfaceClass, nullptr, nullptr,
                                              DIGCF_DEVICEINTERFACE | DIGCF_PRESENT));
        if (!present_)
            return false;
        SP_DEVICE_INTERFACE_DATA candidate{};
        candidate.cbSize = sizeof candidate;
        for (DWORD i = 0;
             ::SetupDiEnumDeviceInterfaces(present_.Get(), nullptr, &*interfaceClass, i, &candidate); ++i) {
            alignas(SP_DEVICE_INTERFACE_DETAIL_DATA_W) unsigned char buffer[1024] = {};
            auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer);
            detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
            if (::SetupDiGetDeviceInterfaceDetailW(present_.Get(), &candidate, detail, sizeof buffer, nullptr,
                                                   nullptr) &&
                ::lstrcmpiW(detail->DevicePath, devicePath.c_str()) == 0) {
                interface_ = candidate;
                return true;
            }
        }
        present_.Reset(INVALID_HANDLE_VALUE);
        return false;
    }

    DeviceInfoList set_;
    // The present interfaces of the opened interface's class, when it had
    // to be found among them.
    DeviceInfoList present_;
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
    const CONFIGRET result = ::CM_Get_DevNode_Registry_PropertyW(node, CM_DRP_LOCATION_INFORMATION, nullptr,
                                                                 buffer.data(), &length, 0);
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

bool Win32DeviceSetup::SerialNumber(DevInst node, std::wstring* serial)
{
    // MAX_DEVICE_ID_LEN characters and the terminator.
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    if (::CM_Get_Device_IDW(node, id, MAX_DEVICE_ID_LEN + 1, 0) != CR_SUCCESS)
        return false;
    const std::optional<std::wstring> found = SerialFromInstanceId(id);
    if (!found)
        return false;
    if (serial)
        *serial = *found;
    return true;
}

}  // namespace norvik
