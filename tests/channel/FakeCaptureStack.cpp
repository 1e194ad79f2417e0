#include "FakeCaptureStack.h"

#include <algorithm>
#include <cstring>

namespace norvik::test {

namespace {
thread_local bool inWorkerApartment = false;
}  // namespace

const Guid kXuNode = *ParseRegistryGuid("{941C7AC0-C559-11D0-8A2B-00A0C9255AC1}");
const Guid kOtherNode = *ParseRegistryGuid("{DFF229E2-F70F-11D0-B917-00A0C9223196}");

void Gate::Open()
{
    {
        std::lock_guard<std::mutex> guard(mutex_);
        open_ = true;
    }
    opened_.notify_all();
}

void Gate::Wait()
{
    std::unique_lock<std::mutex> guard(mutex_);
    opened_.wait(guard, [&] { return open_; });
}

bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

HResult FakeKsControl::KsProperty(const void* property, std::uint32_t propertyLength, void* data,
                                  std::uint32_t dataLength, std::uint32_t* bytesReturned)
{
    return Call(std::nullopt, property, propertyLength, data, dataLength, bytesReturned);
}

HResult FakeKsControl::KsQuery(ControlQuery kind, const void* property, std::uint32_t propertyLength,
                               void* data, std::uint32_t dataLength, std::uint32_t* bytesReturned)
{
    return Call(kind, property, propertyLength, data, dataLength, bytesReturned);
}

HResult FakeKsControl::Call(std::optional<ControlQuery> query, const void* property,
                            std::uint32_t propertyLength, void* data, std::uint32_t dataLength,
                            std::uint32_t* bytesReturned)
{
    RecordedCall call;
    call.query = query;
    std::memcpy(&call.property, property, std::min<std::size_t>(propertyLength, sizeof call.property));
    call.propertyLength = propertyLength;
    call.hadData = data != nullptr;
    if (data)
        call.dataIn.assign(static_cast<std::uint8_t*>(data), static_cast<std::uint8_t*>(data) + dataLength);
    call.dataLength = dataLength;
    call.bytesReturnedIn = bytesReturned ? *bytesReturned : 0;
    call.thread = std::this_thread::get_id();
    call.inApartment = inWorkerApartment;

    Answer answer;
    {
        std::lock_guard<std::mutex> guard(mutex_);
        calls_.push_back(call);
        if (query && !queryAnswers_[*query].empty()) {
            answer = std::move(queryAnswers_[*query].front());
            queryAnswers_[*query].pop_front();
        } else if (!answers_.empty()) {
            answer = std::move(answers_.front());
            answers_.pop_front();
        }
    }
    HResult result = 0;
    if (answer) {
        result = answer(call.property, static_cast<std::uint8_t*>(data), dataLength, bytesReturned);
    } else if (query == ControlQuery::Info && dataLength == 1) {
        *static_cast<std::uint8_t*>(data) = 0x03;
        *bytesReturned = 1;
    } else {
        result = StandingAnswer(call.property, static_cast<std::uint8_t*>(data), dataLength, bytesReturned);
    }
    std::lock_guard<std::mutex> guard(mutex_);
    ++finished_;
    return result;
}

HResult FakeKsControl::StandingAnswer(const KsNodeProperty& property, std::uint8_t* data,
                                      std::uint32_t length, std::uint32_t* bytes)
{
    std::lock_guard<std::mutex> guard(mutex_);
    if (property.id == 0) {
        auto unit = units_.find(property.nodeId);
        if (unit == units_.end() ||
            !std::equal(unit->second.bytes.begin(), unit->second.bytes.end(), property.set))
            return HResultFromWin32(win32::kNotFound);
        *bytes = std::min<std::uint32_t>(length, 3);
        return hr::kOk;
    }
    if (length == 0) {
        *bytes = std::uint32_t(value_.size());
        return HResultFromWin32(win32::kMoreData);
    }
    if (length != value_.size())
        return HResultFromWin32(win32::kInvalidParameter);
    if (property.flags & kKsPropertyTypeSet)
        value_.assign(data, data + length);
    else
        std::copy(value_.begin(), value_.end(), data);
    *bytes = length;
    return hr::kOk;
}

void FakeKsControl::QueueAnswer(Answer answer)
{
    std::lock_guard<std::mutex> guard(mutex_);
    answers_.push_back(std::move(answer));
}

void FakeKsControl::QueueQueryAnswer(ControlQuery kind, Answer answer)
{
    std::lock_guard<std::mutex> guard(mutex_);
    queryAnswers_[kind].push_back(std::move(answer));
}

void FakeKsControl::PlaceUnit(std::uint32_t node, const Guid& guid)
{
    std::lock_guard<std::mutex> guard(mutex_);
    units_[node] = guid;
}

void FakeKsControl::SetValue(std::vector<std::uint8_t> value)
{
    std::lock_guard<std::mutex> guard(mutex_);
    value_ = std::move(value);
}

std::vector<RecordedCall> FakeKsControl::Calls() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return calls_;
}

int FakeKsControl::Finished() const
{
    std::lock_guard<std::mutex> guard(mutex_);
    return finished_;
}

namespace {

class FakeTopology : public KsTopologyInfo {
public:
    explicit FakeTopology(std::shared_ptr<FakeDevice> device) : device_(std::move(device)) {}
    HResult GetNumNodes(std::uint32_t* count) override
    {
        *count = std::uint32_t(device_->nodeTypes.size());
        return hr::kOk;
    }
    HResult GetNodeType(std::uint32_t index, Guid* type) override
    {
        if (index >= device_->nodeTypes.size())
            return hr::kInvalidArg;
        for (auto bad : device_->badNodeTypes)
            if (bad == index)
                return hr::kFail;
        *type = device_->nodeTypes[index];
        return hr::kOk;
    }

private:
    std::shared_ptr<FakeDevice> device_;
};

class FakeFilter : public CaptureFilter {
public:
    explicit FakeFilter(std::shared_ptr<FakeDevice> device) : device_(std::move(device)) {}
    HResult QueryTopologyInfo(std::shared_ptr<KsTopologyInfo>* out) override
    {
        if (Failed(device_->topologyResult))
            return device_->topologyResult;
        *out = std::make_shared<FakeTopology>(device_);
        return hr::kOk;
    }
    HResult QueryKsControl(std::shared_ptr<KsControl>* out) override
    {
        if (Failed(device_->controlResult))
            return device_->controlResult;
        *out = device_->control;
        return hr::kOk;
    }

private:
    std::shared_ptr<FakeDevice> device_;
};

class FakePropertyBag : public PropertyBag {
public:
    explicit FakePropertyBag(std::shared_ptr<FakeDevice> device) : device_(std::move(device)) {}
    HResult Read(const std::wstring& name, std::wstring* value) override
    {
        if (name != L"FriendlyName" || !device_->friendlyName)
            return hr::kInvalidArg;
        *value = *device_->friendlyName;
        return hr::kOk;
    }

private:
    std::shared_ptr<FakeDevice> device_;
};

class FakeMoniker : public DeviceMoniker {
public:
    explicit FakeMoniker(std::shared_ptr<FakeDevice> device) : device_(std::move(device)) {}
    HResult GetDisplayName(std::wstring* name) override
    {
        if (Failed(device_->displayNameResult))
            return device_->displayNameResult;
        *name = device_->displayName;
        return hr::kOk;
    }
    HResult BindToStorage(std::shared_ptr<PropertyBag>* out) override
    {
        if (Failed(device_->storageResult))
            return device_->storageResult;
        *out = std::make_shared<FakePropertyBag>(device_);
        return hr::kOk;
    }
    HResult BindToObject(std::shared_ptr<CaptureFilter>* out) override
    {
        ++device_->bindCount;
        if (Failed(device_->bindResult))
            return device_->bindResult;
        *out = std::make_shared<FakeFilter>(device_);
        return hr::kOk;
    }

private:
    std::shared_ptr<FakeDevice> device_;
};

class FakeMonikerEnumerator : public MonikerEnumerator {
public:
    explicit FakeMonikerEnumerator(std::vector<std::shared_ptr<FakeDevice>> devices)
        : devices_(std::move(devices))
    {
    }
    HResult Reset() override
    {
        next_ = 0;
        return hr::kOk;
    }
    HResult Next(std::shared_ptr<DeviceMoniker>* out) override
    {
        if (next_ >= devices_.size())
            return hr::kFalse;
        *out = std::make_shared<FakeMoniker>(devices_[next_++]);
        return hr::kOk;
    }

private:
    std::vector<std::shared_ptr<FakeDevice>> devices_;
    std::size_t next_ = 0;
};

class FakeDeviceEnumerator : public DeviceEnumerator {
public:
    explicit FakeDeviceEnumerator(FakeCaptureStack& stack) : stack_(stack) {}
    HResult CreateClassEnumerator(const Guid& category, std::uint32_t flags,
                                  std::shared_ptr<MonikerEnumerator>* out) override
    {
        if (category != *ParseRegistryGuid("{860BB310-5D01-11D0-BD3B-00A0C911CE86}") || flags != 0)
            return hr::kInvalidArg;
        if (stack_.classEnumeratorResult != hr::kOk)
            return stack_.classEnumeratorResult;
        *out = std::make_shared<FakeMonikerEnumerator>(stack_.devices);
        return hr::kOk;
    }

private:
    FakeCaptureStack& stack_;
};

}  // namespace

std::shared_ptr<FakeDevice> FakeCaptureStack::AddCamera(const std::wstring& displayName,
                                                        const std::wstring& friendlyName,
                                                        std::vector<Guid> nodeTypes)
{
    auto device = std::make_shared<FakeDevice>();
    device->displayName = displayName;
    device->friendlyName = friendlyName;
    device->nodeTypes = std::move(nodeTypes);
    devices.push_back(device);
    return device;
}

namespace {

class FakeApartment final : public ThreadApartment {
public:
    explicit FakeApartment(std::shared_ptr<ApartmentLog> log) : log_(std::move(log))
    {
        inWorkerApartment = true;
        log_->entered.fetch_add(1);
    }
    ~FakeApartment() override
    {
        inWorkerApartment = false;
        log_->left.fetch_add(1);
    }

private:
    std::shared_ptr<ApartmentLog> log_;
};

}  // namespace

HResult FakeCaptureStack::EnterThreadApartment(std::unique_ptr<ThreadApartment>* out)
{
    out->reset();
    const std::shared_ptr<ApartmentLog> log = apartments;
    if (const std::shared_ptr<Gate> gate = log->gate) {
        log->arrived.fetch_add(1);
        gate->Wait();
    }
    if (Failed(log->result))
        return log->result;
    *out = std::make_unique<FakeApartment>(log);
    return hr::kOk;
}

HResult FakeCaptureStack::CreateDeviceEnumerator(std::shared_ptr<DeviceEnumerator>* out)
{
    if (enumeratorResult != hr::kOk)
        return enumeratorResult;
    *out = std::make_shared<FakeDeviceEnumerator>(*this);
    return hr::kOk;
}

HResult FakeCaptureStack::CreateBindContext(std::shared_ptr<BindContext>* out)
{
    *out = std::make_shared<BindContext>();
    return hr::kOk;
}

HResult FakeCaptureStack::ParseDisplayName(BindContext&, const std::wstring& displayName,
                                           std::shared_ptr<DeviceMoniker>* out)
{
    ++parseCount;
    for (auto& device : devices) {
        if (device->displayName == displayName) {
            *out = std::make_shared<FakeMoniker>(device);
            return hr::kOk;
        }
    }
    return HResult(0x800401E4u);  // MK_E_SYNTAX
}

}  // namespace norvik::test
