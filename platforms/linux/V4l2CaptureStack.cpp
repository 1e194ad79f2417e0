#include "platforms/linux/V4l2CaptureStack.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "discovery/KsNode.h"
#include "platforms/linux/ErrnoMapping.h"
#include "platforms/linux/SysfsTree.h"
#include "platforms/linux/UvcDescriptors.h"
#include "runtime/Diagnostics.h"

namespace norvik {

struct V4l2CaptureStack::Environment {
    LinuxPaths paths;
    std::shared_ptr<UvcIoctl> ioctl;
    Runtime* runtime;
};

namespace {

using Environment = V4l2CaptureStack::Environment;

// Runs one call of the port. Running out of memory anywhere in it answers
// E_OUTOFMEMORY, as the COM interfaces this stack stands in for do, instead
// of a std::bad_alloc across the port. A call that hands out an interface
// sets it to null before it allocates, so a failed one hands out nothing.
template <class Call>
HResult Answer(Call&& call) noexcept
{
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return hr::kOutOfMemory;
    }
}

bool IsDeviceGone(int error) { return error == ENODEV || error == ENXIO || error == ESHUTDOWN; }

const char* QueryName(std::uint8_t query)
{
    switch (query) {
    case kUvcSetCur:
        return "SET_CUR";
    case kUvcGetCur:
        return "GET_CUR";
    case kUvcGetMin:
        return "GET_MIN";
    case kUvcGetMax:
        return "GET_MAX";
    case kUvcGetRes:
        return "GET_RES";
    case kUvcGetInfo:
        return "GET_INFO";
    case kUvcGetDef:
        return "GET_DEF";
    default:
        return "GET_LEN";
    }
}

// The class request of a query kind.
std::uint8_t QueryCode(ControlQuery kind)
{
    switch (kind) {
    case ControlQuery::Info:
        return kUvcGetInfo;
    case ControlQuery::Min:
        return kUvcGetMin;
    case ControlQuery::Max:
        return kUvcGetMax;
    case ControlQuery::Res:
        return kUvcGetRes;
    case ControlQuery::Def:
        return kUvcGetDef;
    }
    return kUvcGetCur;
}

// What a bound filter knows of its device: the topology nodes and the video
// node, which is opened on the first request that needs the camera and kept
// open while any interface of the filter lives.
class FunctionState {
public:
    FunctionState(std::shared_ptr<const Environment> environment, std::string nodePath,
                  std::vector<uvc::VideoControlEntity> nodes)
        : environment_(std::move(environment)), nodePath_(std::move(nodePath)), nodes_(std::move(nodes))
    {
    }

    const std::vector<uvc::VideoControlEntity>& Nodes() const { return nodes_; }

    // The open node, or the errno value of the failed open. Requests running
    // on other threads each hold their own reference, so a node dropped
    // here stays open until they are done with it.
    std::pair<std::shared_ptr<OpenVideoNode>, int> Node()
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (open_)
            return {open_, 0};
        const int fd = environment_->ioctl->Open(nodePath_);
        if (fd < 0) {
            if (-fd == EACCES || -fd == EPERM)
                PrintNodePermissionHint(*environment_->runtime, nodePath_);
            return {nullptr, -fd};
        }
        try {
            open_ = std::make_shared<OpenVideoNode>(environment_->ioctl, fd);
        } catch (const std::bad_alloc&) {
            environment_->ioctl->Close(fd);  // nothing owns it yet
            return {nullptr, ENOMEM};
        }
        return {open_, 0};
    }

    // A camera's refusal answers with one code, as on Windows; its reason
    // goes to the diagnostic console.
    void ReportRefusal(std::uint8_t query, std::uint8_t unit, std::uint8_t selector, const char* reason) const
    {
        DiagPrint(*environment_->runtime, "%s: the camera refused %s of unit %u selector %u: %s\n",
                  nodePath_.c_str(), QueryName(query), unsigned(unit), unsigned(selector), reason);
    }

    // After the camera went away: the next request opens the node afresh.
    void Drop(const std::shared_ptr<OpenVideoNode>& node)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (open_ == node)
            open_.reset();
    }

private:
    std::shared_ptr<const Environment> environment_;
    std::string nodePath_;
    std::vector<uvc::VideoControlEntity> nodes_;
    std::mutex mutex_;
    std::shared_ptr<OpenVideoNode> open_;
};

class UvcTopology final : public KsTopologyInfo {
public:
    explicit UvcTopology(std::shared_ptr<FunctionState> state) : state_(std::move(state)) {}

    HResult GetNumNodes(std::uint32_t* count) override
    {
        if (!count)
            return hr::kPointer;
        *count = std::uint32_t(state_->Nodes().size());
        return hr::kOk;
    }

    HResult GetNodeType(std::uint32_t index, Guid* type) override
    {
        if (!type)
            return hr::kPointer;
        if (index >= state_->Nodes().size())
            return hr::kInvalidArg;
        *type = state_->Nodes()[index].NodeType();
        return hr::kOk;
    }

private:
    std::shared_ptr<FunctionState> state_;
};

class UvcKsControl final : public KsControl {
public:
    explicit UvcKsControl(std::shared_ptr<FunctionState> state) : state_(std::move(state)) {}

    HResult KsProperty(const void* property, std::uint32_t propertyLength, void* data,
                       std::uint32_t dataLength, std::uint32_t* bytesReturned) override
    {
        std::uint32_t unused = 0;
        std::uint32_t& count = bytesReturned ? *bytesReturned : unused;
        count = 0;
        return Answer([&] {
            const HResult result = Request(property, propertyLength, data, dataLength, count, std::nullopt);
            if (result == hr::kOutOfMemory)
                count = 0;
            return result;
        });
    }

    // The query's own class request (GET_INFO, GET_MIN, ...) through the
    // same ioctl, sized and refused as a GET_CUR is.
    HResult KsQuery(ControlQuery kind, const void* property, std::uint32_t propertyLength, void* data,
                    std::uint32_t dataLength, std::uint32_t* bytesReturned) override
    {
        std::uint32_t unused = 0;
        std::uint32_t& count = bytesReturned ? *bytesReturned : unused;
        count = 0;
        return Answer([&] {
            const HResult result = Request(property, propertyLength, data, dataLength, count, kind);
            if (result == hr::kOutOfMemory)
                count = 0;
            return result;
        });
    }

private:
    static constexpr std::size_t kUnitInfoOffset = 20;  // bNumControls

    // A GET or SET (no kind), or a class query of that kind.
    HResult Request(const void* property, std::uint32_t propertyLength, void* data, std::uint32_t dataLength,
                    std::uint32_t& count, std::optional<ControlQuery> kind)
    {
        if (!property || propertyLength < sizeof(KsNodeProperty))
            return HResultFromWin32(win32::kInvalidParameter);
        KsNodeProperty request;
        std::memcpy(&request, property, sizeof request);

        // Only plain GET and SET of a topology node's property.
        const std::uint32_t verb = request.flags & ~kKsPropertyTypeTopology;
        if (!(request.flags & kKsPropertyTypeTopology) ||
            (verb != kKsPropertyTypeGet && (kind || verb != kKsPropertyTypeSet)))
            return HResultFromWin32(win32::kNotSupported);
        const bool isGet = verb == kKsPropertyTypeGet;

        const auto& nodes = state_->Nodes();
        if (request.nodeId >= nodes.size())
            return HResultFromWin32(win32::kNotFound);
        const uvc::VideoControlEntity& node = nodes[request.nodeId];
        if (!node.IsExtensionUnit() || node.extensionCode != Guid::FromBytes(request.set))
            return HResultFromWin32(win32::kSetNotFound);
        if (dataLength > 0 && !data)
            return hr::kPointer;

        // The unit's information is the descriptor's: no class request has it.
        if (request.id == 0)
            return kind ? HResultFromWin32(win32::kNotSupported)
                        : UnitInfo(node, isGet, data, dataLength, count);
        if (request.id > 0xFF)
            return HResultFromWin32(win32::kNotFound);
        // A UVC request carries at most 65535 bytes.
        const bool fitsRequest = dataLength <= 0xFFFF;
        if (!isGet && !fitsRequest)
            return HResultFromWin32(win32::kInvalidParameter);

        const auto opened = state_->Node();
        const std::shared_ptr<OpenVideoNode>& open = opened.first;
        if (!open)
            return HResultFromErrno(opened.second);

        const std::uint8_t selector = std::uint8_t(request.id);
        UvcIoctl& ioctl = open->Ioctl();
        // One control query: 0, or the errno value, with a refusal reported.
        auto query = [&](std::uint8_t code, std::uint8_t* bytes, std::uint16_t size) {
            const int error = -ioctl.CtrlQuery(open->Fd(), node.id, selector, code, bytes, size);
            if (error != 0)
                Note(open, error, code, node.id, selector);
            return error;
        };
        if (!isGet) {
            const int error = query(kUvcSetCur, static_cast<std::uint8_t*>(data), std::uint16_t(dataLength));
            return error != 0 ? HResultFromCtrlQueryErrno(error) : hr::kOk;
        }
        if (kind == ControlQuery::Info) {
            // GET_INFO is one byte, whatever the control's length.
            if (dataLength == 0) {
                count = 1;
                return HResultFromWin32(win32::kMoreData);
            }
            const int error = query(kUvcGetInfo, static_cast<std::uint8_t*>(data), 1);
            if (error != 0)
                return HResultFromCtrlQueryErrno(error);
            count = 1;
            return hr::kOk;
        }
        const std::uint8_t code = kind ? QueryCode(*kind) : kUvcGetCur;
        if (dataLength > 0 && fitsRequest) {
            const int error = query(code, static_cast<std::uint8_t*>(data), std::uint16_t(dataLength));
            if (error == 0) {
                count = dataLength;
                return hr::kOk;
            }
            // The driver wants the control's exact length; a buffer of
            // another size is answered as Windows answers it, below.
            if (error != ENOBUFS)
                return HResultFromCtrlQueryErrno(error);
        }
        std::uint8_t lengthBytes[2] = {0, 0};
        int error = query(kUvcGetLen, lengthBytes, sizeof lengthBytes);
        if (error != 0)
            return HResultFromCtrlQueryErrno(error);
        const std::uint16_t length = uvc::ReadLe16(lengthBytes);
        if (dataLength < length || dataLength == 0) {
            // Too small a buffer, or the length query itself: more data,
            // and how much.
            count = length;
            return HResultFromWin32(win32::kMoreData);
        }
        // A larger buffer: the control's bytes at its start.
        std::vector<std::uint8_t> value(length);
        error = query(code, value.data(), length);
        if (error != 0)
            return HResultFromCtrlQueryErrno(error);
        std::memcpy(data, value.data(), length);
        count = length;
        return hr::kOk;
    }

    // Property id 0 of the unit's own set: what the unit's descriptor says.
    static HResult UnitInfo(const uvc::VideoControlEntity& node, bool isGet, void* data,
                            std::uint32_t dataLength, std::uint32_t& count)
    {
        if (!isGet)
            return HResultFromWin32(win32::kNotSupported);
        // The descriptor from bNumControls on: the controls, the source IDs
        // and the control bitmap.
        const std::uint32_t size = std::uint32_t(node.descriptor.size() - kUnitInfoOffset);
        if (dataLength == 0) {
            count = size;
            return HResultFromWin32(win32::kMoreData);
        }
        const std::uint32_t copied = std::min(size, dataLength);
        std::memcpy(data, node.descriptor.data() + kUnitInfoOffset, copied);
        count = copied;
        return hr::kOk;
    }

    // What a failed control query leaves behind: a gone camera's node is
    // let go, a refusal is reported.
    void Note(const std::shared_ptr<OpenVideoNode>& open, int error, std::uint8_t query, std::uint8_t unit,
              std::uint8_t selector)
    {
        if (IsDeviceGone(error))
            state_->Drop(open);
        if (const char* reason = CameraRefusalReason(error))
            state_->ReportRefusal(query, unit, selector, reason);
    }

    std::shared_ptr<FunctionState> state_;
};

class UvcFilter final : public CaptureFilter {
public:
    explicit UvcFilter(std::shared_ptr<FunctionState> state) : state_(std::move(state)) {}

    HResult QueryTopologyInfo(std::shared_ptr<KsTopologyInfo>* out) override
    {
        if (!out)
            return hr::kPointer;
        *out = nullptr;
        return Answer([&] {
            *out = std::make_shared<UvcTopology>(state_);
            return hr::kOk;
        });
    }

    HResult QueryKsControl(std::shared_ptr<KsControl>* out) override
    {
        if (!out)
            return hr::kPointer;
        *out = nullptr;
        return Answer([&] {
            *out = std::make_shared<UvcKsControl>(state_);
            return hr::kOk;
        });
    }

private:
    std::shared_ptr<FunctionState> state_;
};

class UvcPropertyBag final : public PropertyBag {
public:
    UvcPropertyBag(std::wstring friendlyName, std::wstring devicePath)
        : friendlyName_(std::move(friendlyName)), devicePath_(std::move(devicePath))
    {
    }

    HResult Read(const std::wstring& name, std::wstring* value) override
    {
        if (!value)
            return hr::kPointer;
        return Answer([&] {
            if (name == L"FriendlyName") {
                *value = friendlyName_;
                return hr::kOk;
            }
            if (name == L"DevicePath") {
                *value = devicePath_;
                return hr::kOk;
            }
            return HResultFromWin32(win32::kFileNotFound);
        });
    }

private:
    std::wstring friendlyName_;
    std::wstring devicePath_;
};

// The configuration the interface belongs to ("1-4:1.0" is in configuration
// value 1), or the first one.
const std::vector<std::uint8_t>* ConfigurationOf(const uvc::DescriptorSet& set,
                                                 const std::string& interfaceName)
{
    if (set.configurations.empty())
        return nullptr;
    const auto colon = interfaceName.find(':');
    if (colon != std::string::npos) {
        const unsigned long value = std::strtoul(interfaceName.c_str() + colon + 1, nullptr, 10);
        for (const auto& configuration : set.configurations)
            if (configuration.size() >= 6 && configuration[5] == value)
                return &configuration;
    }
    return &set.configurations.front();
}

class UvcMoniker final : public DeviceMoniker {
public:
    UvcMoniker(std::shared_ptr<const Environment> environment, VideoFunction function)
        : environment_(std::move(environment)), function_(std::move(function))
    {
    }

    HResult GetDisplayName(std::wstring* name) override
    {
        if (!name)
            return hr::kPointer;
        return Answer([&] {
            *name = DisplayNameOf(function_.identity);
            return hr::kOk;
        });
    }

    HResult BindToStorage(std::shared_ptr<PropertyBag>* out) override
    {
        if (!out)
            return hr::kPointer;
        *out = nullptr;
        return Answer([&] {
            *out = std::make_shared<UvcPropertyBag>(function_.friendlyName, DevicePathOf(function_.identity));
            return hr::kOk;
        });
    }

    HResult BindToObject(std::shared_ptr<CaptureFilter>* out) override
    {
        if (!out)
            return hr::kPointer;
        *out = nullptr;
        return Answer([&] { return Bind(out); });
    }

private:
    HResult Bind(std::shared_ptr<CaptureFilter>* out)
    {
        const sysfs::UsbTree tree(environment_->paths.sysfsRoot);
        auto interfaceName = FindFunctionInterface(tree, function_.identity);
        if (!interfaceName)
            return HResultFromWin32(win32::kDeviceNotConnected);
        const uvc::DescriptorSet descriptors = tree.Descriptors(function_.identity.usbDevice);
        const auto* configuration = ConfigurationOf(descriptors, *interfaceName);
        if (!configuration)
            return HResultFromWin32(win32::kDeviceNotConnected);
        std::vector<uvc::VideoControlEntity> nodes;
        if (auto control = uvc::FindVideoControlInterface(*configuration, function_.identity.interfaceNumber))
            nodes = std::move(control->entities);
        auto state = std::make_shared<FunctionState>(environment_, function_.nodePath, std::move(nodes));
        *out = std::make_shared<UvcFilter>(std::move(state));
        return hr::kOk;
    }

    std::shared_ptr<const Environment> environment_;
    VideoFunction function_;
};

class UvcMonikerEnumerator final : public MonikerEnumerator {
public:
    UvcMonikerEnumerator(std::shared_ptr<const Environment> environment, std::vector<VideoFunction> functions)
        : environment_(std::move(environment)), functions_(std::move(functions))
    {
    }

    HResult Reset() override
    {
        next_ = 0;
        return hr::kOk;
    }

    HResult Next(std::shared_ptr<DeviceMoniker>* out) override
    {
        if (!out)
            return hr::kPointer;
        *out = nullptr;
        if (next_ >= functions_.size())
            return hr::kFalse;
        // A moniker that cannot be had is not skipped: the next call tries
        // the same function again.
        return Answer([&] {
            *out = std::make_shared<UvcMoniker>(environment_, functions_[next_]);
            ++next_;
            return hr::kOk;
        });
    }

private:
    std::shared_ptr<const Environment> environment_;
    std::vector<VideoFunction> functions_;
    std::size_t next_ = 0;
};

class UvcDeviceEnumerator final : public DeviceEnumerator {
public:
    explicit UvcDeviceEnumerator(std::shared_ptr<const Environment> environment)
        : environment_(std::move(environment))
    {
    }

    HResult CreateClassEnumerator(const Guid& category, std::uint32_t,
                                  std::shared_ptr<MonikerEnumerator>* out) override
    {
        if (!out)
            return hr::kPointer;
        *out = nullptr;
        if (category != guids::kVideoInputDeviceCategory)
            return hr::kFalse;
        return Answer([&] {
            auto functions =
                ScanVideoFunctions(environment_->paths, *environment_->ioctl, *environment_->runtime, true);
            if (functions.empty())
                return hr::kFalse;
            *out = std::make_shared<UvcMonikerEnumerator>(environment_, std::move(functions));
            return hr::kOk;
        });
    }

private:
    std::shared_ptr<const Environment> environment_;
};

class PlainBindContext final : public BindContext {};

}  // namespace

V4l2CaptureStack::V4l2CaptureStack(LinuxPaths paths, std::shared_ptr<UvcIoctl> ioctl, Runtime& runtime)
    : environment_(std::make_shared<Environment>(
          Environment{std::move(paths), ioctl ? std::move(ioctl) : MakeSystemUvcIoctl(), &runtime}))
{
}

V4l2CaptureStack::~V4l2CaptureStack() = default;

HResult V4l2CaptureStack::CreateDeviceEnumerator(std::shared_ptr<DeviceEnumerator>* out)
{
    if (!out)
        return hr::kPointer;
    *out = nullptr;
    return Answer([&] {
        *out = std::make_shared<UvcDeviceEnumerator>(environment_);
        return hr::kOk;
    });
}

HResult V4l2CaptureStack::CreateBindContext(std::shared_ptr<BindContext>* out)
{
    if (!out)
        return hr::kPointer;
    *out = nullptr;
    return Answer([&] {
        *out = std::make_shared<PlainBindContext>();
        return hr::kOk;
    });
}

HResult V4l2CaptureStack::ParseDisplayName(BindContext&, const std::wstring& displayName,
                                           std::shared_ptr<DeviceMoniker>* out)
{
    if (!out)
        return hr::kPointer;
    *out = nullptr;
    return Answer([&] {
        auto identity = ParseFunctionIdentity(displayName);
        if (!identity)
            return kMkESyntax;
        // Quietly: the device's own requests say so if its node is not readable.
        for (auto& function :
             ScanVideoFunctions(environment_->paths, *environment_->ioctl, *environment_->runtime, false)) {
            if (function.identity == *identity) {
                *out = std::make_shared<UvcMoniker>(environment_, std::move(function));
                return hr::kOk;
            }
        }
        return kMkENoObject;
    });
}

}  // namespace norvik
