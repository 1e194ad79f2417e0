#pragma once
// The model of a simulated machine, as read from a scenario file: the video
// input devices the capture stack lists (names, topology nodes, extension-unit
// controls, injected failures), the setup properties of each, and the USB tree
// of host controllers, hubs, ports and configuration descriptors. The format
// is described in docs/scenarios.md.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "discovery/CaptureStack.h"
#include "runtime/Guid.h"
#include "runtime/ResultCodes.h"

namespace norvik {

// One control selector of an extension unit.
struct ScenarioControl {
    std::uint16_t length = 0;
    std::vector<std::uint8_t> value;         // initial value, exactly length bytes
    std::uint32_t delayMs = 0;               // every request blocks this long (real time)
    std::optional<HResult> fail;             // every request answers this code
    std::optional<HResult> getFail;          // GETs of non-zero length answer this code
    std::optional<HResult> setFail;          // SETs answer this code
    std::optional<std::uint32_t> failTimes;  // injected codes stop after this many
    // What the class queries answer, each exactly length bytes but info.
    std::uint8_t info = 3;          // GET_INFO: GET and SET supported
    std::vector<std::uint8_t> min;  // all zero unless given
    std::vector<std::uint8_t> max;  // all 0xFF unless given
    std::vector<std::uint8_t> res;  // 01 and zeros unless given
    std::vector<std::uint8_t> def;  // the initial value unless given
    // A query kind ("info", "min", ...: the ControlQuery) that answers a code.
    std::map<ControlQuery, HResult> queryFail;
};

// The controls of one extension unit, by selector.
struct ScenarioUnitControls {
    Guid guid;
    std::map<std::uint8_t, ScenarioControl> selectors;
};

struct ScenarioNode {
    bool isExtensionUnit = false;
    Guid guid;  // the unit's GUID (extension-unit nodes)
    Guid type;  // the node type get_NodeType answers
    bool typeFails = false;
    std::uint32_t probeFailures = 0;  // probes in the own GUID refused before it answers
    // What a GET of property id 0 in the own GUID returns: the unit's
    // descriptor bytes from bNumControls on.
    std::vector<std::uint8_t> unitInfo;
};

// The SetupAPI and configuration-manager view of a camera.
struct ScenarioSetup {
    bool opens = true;
    bool detailFails = false;
    Guid classGuid;
    std::optional<std::wstring> className;
    std::optional<std::wstring> classDescription;
    std::optional<std::wstring> deviceDesc;
    std::optional<std::wstring> service;
    std::optional<std::vector<std::wstring>> locationPaths;
    std::optional<std::wstring> friendlyName;
    std::optional<std::wstring> serial;  // the USB device's serial number string
    // From the device's own node upward; nullopt: no location information.
    std::vector<std::optional<std::wstring>> locations;
};

struct ScenarioCamera {
    std::wstring displayName;
    bool displayNameFails = false;
    std::optional<std::wstring> friendlyName;
    std::optional<std::wstring> devicePath;
    bool propertyBag = true;
    bool binds = true;
    bool topologyInfo = true;
    bool ksControl = true;
    bool nodeCountFails = false;
    std::vector<ScenarioNode> nodes;
    std::vector<ScenarioUnitControls> controls;
    std::optional<ScenarioSetup> setup;
};

// A configuration descriptor and the faults its requests inject.
struct ScenarioConfig {
    std::vector<std::uint8_t> bytes;
    bool firstRequestFails = false;
    bool shortFirstAnswer = false;
    bool secondRequestFails = false;
    std::optional<std::uint16_t> totalLength;         // wTotalLength both answers report
    std::optional<std::uint16_t> changedTotalLength;  // wTotalLength the second answer reports
};

struct ScenarioHub;

struct ScenarioPortDevice {
    std::uint16_t idVendor = 0;
    std::uint16_t idProduct = 0;
    std::optional<std::wstring> driverKey;
    std::optional<std::string> childName;  // the name of the hub on this port
    bool connectionInfoFails = false;
    std::uint32_t status = 1;  // USB_CONNECTION_STATUS; 1 is DeviceConnected
    std::unique_ptr<ScenarioHub> hub;
    std::optional<ScenarioConfig> config;
};

struct ScenarioHub {
    std::string name;  // empty when nothing names it
    std::uint32_t ports = 0;
    bool opens = true;
    bool nodeInfoFails = false;
    std::map<std::uint32_t, ScenarioPortDevice> children;  // by port number
};

struct ScenarioController {
    std::uint32_t index = 0;
    bool opens = true;
    std::optional<std::wstring> driverKey;
    bool driverKeyFails = false;
    bool rootHubFails = false;
    std::unique_ptr<ScenarioHub> hub;  // the root hub; its name is the root hub name
};

struct Scenario {
    std::string name;  // the file name, for messages
    std::string description;
    bool enumeratorFails = false;
    bool classEnumeratorFails = false;
    bool setupListFails = false;
    std::vector<ScenarioCamera> cameras;
    std::vector<ScenarioController> controllers;
};

// A loaded scenario, or the one message that says why it could not be loaded.
struct ScenarioLoad {
    std::shared_ptr<const Scenario> scenario;
    std::string error;
    explicit operator bool() const { return scenario != nullptr; }
};

// Reads a scenario file, named in UTF-8. The message names the file, the
// place in it (a JSON pointer such as /cameras/1/nodes/0/guid, or a line and
// column for text that is not JSON) and what is wrong.
ScenarioLoad LoadScenarioFile(const std::string& path);
// The same for text at hand; nameForMessages stands for the file name.
ScenarioLoad LoadScenarioText(const std::string& text, const std::string& nameForMessages);
// The built-in demo (scenarios/demo.json, compiled into the library).
ScenarioLoad LoadDemoScenario();
// The demo's text.
std::string DemoScenarioText();

// The USB Video Class configuration descriptor the loader builds for an
// "extensionUnits" list: configuration, interface association, VideoControl
// interface (header, camera terminal, processing unit, the extension units in
// order, output terminal), VideoStreaming interface (input header, MJPEG
// format and frame, an isochronous alternate setting), then extra bytes.
struct ScenarioExtensionUnit {
    std::uint8_t unitId = 0;
    Guid guid;
    std::uint8_t inPins = 1;
    std::uint8_t controlSize = 2;
    std::uint8_t numControls = 0;
    std::vector<std::uint8_t> bmControls;  // controlSize bytes
};
// Empty when the descriptor would not fit its length fields.
std::vector<std::uint8_t> BuildUvcConfiguration(const std::vector<ScenarioExtensionUnit>& units,
                                                const std::vector<std::uint8_t>& extra);

}  // namespace norvik
