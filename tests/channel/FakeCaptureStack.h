#pragma once
// A hand-written capture stack for the channel tests: cameras with display
// and friendly names, topology nodes, and a control interface whose answers
// a test scripts call by call (including calls that block until released).

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "discovery/CaptureStack.h"
#include "discovery/KsNode.h"
#include "runtime/Guid.h"
#include "runtime/ResultCodes.h"

namespace norvik::test {

// A barrier a fake call waits behind until the test opens it.
class Gate {
public:
    void Open();
    void Wait();

private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

// Polls pred until it holds or timeout passes (real time).
bool WaitUntil(const std::function<bool()>& pred,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

// What the fake control saw of one call.
struct RecordedCall {
    KsNodeProperty property{};
    std::uint32_t propertyLength = 0;
    bool hadData = false;
    std::vector<std::uint8_t> dataIn;  // the buffer's bytes when the call came in
    std::uint32_t dataLength = 0;
    std::uint32_t bytesReturnedIn = 0;
    std::thread::id thread;
    bool inApartment = false;           // the calling thread had entered the worker apartment
    std::optional<ControlQuery> query;  // set for a class query
};

class FakeKsControl : public KsControl {
public:
    using Answer = std::function<HResult(const KsNodeProperty& property, std::uint8_t* data,
                                         std::uint32_t length, std::uint32_t* bytes)>;

    HResult KsProperty(const void* property, std::uint32_t propertyLength, void* data,
                       std::uint32_t dataLength, std::uint32_t* bytesReturned) override;
    // Takes its answer from the same queue; the standing answer of a query
    // is the information byte 0x03, or the stored value.
    HResult KsQuery(ControlQuery kind, const void* property, std::uint32_t propertyLength, void* data,
                    std::uint32_t dataLength, std::uint32_t* bytesReturned) override;

    // Answers used one per call, in order; once used up, calls get the
    // standing answer: unit-info GETs succeed only on the node that holds the
    // GUID asked for, other GETs fill the buffer from the stored value, SETs
    // store the bytes.
    void QueueAnswer(Answer answer);
    // An answer for the next query of this kind only, ahead of the queue.
    void QueueQueryAnswer(ControlQuery kind, Answer answer);
    void PlaceUnit(std::uint32_t node, const Guid& guid);
    void SetValue(std::vector<std::uint8_t> value);

    std::vector<RecordedCall> Calls() const;
    int Finished() const;  // calls that have returned

private:
    HResult StandingAnswer(const KsNodeProperty& property, std::uint8_t* data, std::uint32_t length,
                           std::uint32_t* bytes);
    HResult Call(std::optional<ControlQuery> query, const void* property, std::uint32_t propertyLength,
                 void* data, std::uint32_t dataLength, std::uint32_t* bytesReturned);

    mutable std::mutex mutex_;
    std::deque<Answer> answers_;
    std::map<ControlQuery, std::deque<Answer>> queryAnswers_;
    std::map<std::uint32_t, Guid> units_;
    std::vector<std::uint8_t> value_;
    std::vector<RecordedCall> calls_;
    int finished_ = 0;
};

// One camera as the capture stack presents it.
struct FakeDevice {
    std::wstring displayName;
    HResult displayNameResult = hr::kOk;
    std::optional<std::wstring> friendlyName;  // none: reading it fails
    HResult storageResult = hr::kOk;
    HResult bindResult = hr::kOk;
    HResult topologyResult = hr::kOk;
    HResult controlResult = hr::kOk;
    std::vector<Guid> nodeTypes;              // by node index
    std::vector<std::uint32_t> badNodeTypes;  // indexes whose type query fails
    std::shared_ptr<FakeKsControl> control = std::make_shared<FakeKsControl>();
    int bindCount = 0;  // times the device was bound to its filter
};

// What the fake stack's worker apartments saw; shared with the membership
// objects, which may outlive the stack on an abandoned thread.
struct ApartmentLog {
    std::atomic<int> entered{0};
    std::atomic<int> left{0};
    std::atomic<int> arrived{0};  // threads that reached the gate, if any
    std::shared_ptr<Gate> gate;   // set before a request: entering threads wait here
    HResult result = hr::kOk;     // what entering answers
};

class FakeCaptureStack : public CaptureStack {
public:
    HResult EnterThreadApartment(std::unique_ptr<ThreadApartment>* out) override;

    // A USB camera "usb#vid_VVVV&pid_PPPP..." with the given node types.
    std::shared_ptr<FakeDevice> AddCamera(const std::wstring& displayName, const std::wstring& friendlyName,
                                          std::vector<Guid> nodeTypes);

    HResult CreateDeviceEnumerator(std::shared_ptr<DeviceEnumerator>* out) override;
    HResult CreateBindContext(std::shared_ptr<BindContext>* out) override;
    HResult ParseDisplayName(BindContext& context, const std::wstring& displayName,
                             std::shared_ptr<DeviceMoniker>* out) override;

    std::vector<std::shared_ptr<FakeDevice>> devices;
    HResult enumeratorResult = hr::kOk;
    HResult classEnumeratorResult = hr::kOk;
    int parseCount = 0;
    std::shared_ptr<ApartmentLog> apartments = std::make_shared<ApartmentLog>();
};

// Node types.
extern const Guid kXuNode;
extern const Guid kOtherNode;

}  // namespace norvik::test
