#pragma once
// The Windows USB hub and host-controller I/O control codes and structures,
// byte-packed as the drivers lay them out. Names inside them are UTF-16LE
// (WCHAR), whatever the size of wchar_t on the build's platform.

#include <cstddef>
#include <cstdint>
#include <string>

namespace norvik::usb {

constexpr std::uint32_t kIoctlGetHcdDriverKeyName = 0x220424;
constexpr std::uint32_t kIoctlGetRootHubName = 0x220408;
constexpr std::uint32_t kIoctlGetNodeInformation = 0x220408;
constexpr std::uint32_t kIoctlGetNodeConnectionInformation = 0x22040C;
constexpr std::uint32_t kIoctlGetNodeConnectionDriverKeyName = 0x220420;
constexpr std::uint32_t kIoctlGetNodeConnectionName = 0x220414;
constexpr std::uint32_t kIoctlGetDescriptorFromNodeConnection = 0x220410;

constexpr std::uint32_t kDeviceConnected = 1;  // USB_CONNECTION_STATUS DeviceConnected

#pragma pack(push, 1)

struct DeviceDescriptor {  // USB_DEVICE_DESCRIPTOR
    std::uint8_t bLength;
    std::uint8_t bDescriptorType;
    std::uint16_t bcdUSB;
    std::uint8_t bDeviceClass;
    std::uint8_t bDeviceSubClass;
    std::uint8_t bDeviceProtocol;
    std::uint8_t bMaxPacketSize0;
    std::uint16_t idVendor;
    std::uint16_t idProduct;
    std::uint16_t bcdDevice;
    std::uint8_t iManufacturer;
    std::uint8_t iProduct;
    std::uint8_t iSerialNumber;
    std::uint8_t bNumConfigurations;
};

struct ConfigurationDescriptor {  // USB_CONFIGURATION_DESCRIPTOR
    std::uint8_t bLength;
    std::uint8_t bDescriptorType;
    std::uint16_t wTotalLength;
    std::uint8_t bNumInterfaces;
    std::uint8_t bConfigurationValue;
    std::uint8_t iConfiguration;
    std::uint8_t bmAttributes;
    std::uint8_t MaxPower;
};

// USB_HCD_DRIVERKEY_NAME and USB_ROOT_HUB_NAME share this shape.
struct ControllerName {
    std::uint32_t ActualLength;
    std::uint16_t Name[1];
};

// USB_NODE_CONNECTION_DRIVERKEY_NAME and USB_NODE_CONNECTION_NAME.
struct ConnectionName {
    std::uint32_t ConnectionIndex;
    std::uint32_t ActualLength;
    std::uint16_t Name[1];
};

struct HubDescriptor {  // USB_HUB_DESCRIPTOR
    std::uint8_t bDescriptorLength;
    std::uint8_t bDescriptorType;
    std::uint8_t bNumberOfPorts;
    std::uint16_t wHubCharacteristics;
    std::uint8_t bPowerOnToPowerGood;
    std::uint8_t bHubControlCurrent;
    std::uint8_t bRemoveAndPowerMask[64];
};

struct NodeInformation {  // USB_NODE_INFORMATION with its hub member
    std::uint32_t NodeType;
    HubDescriptor HubDescriptor_;
    std::uint8_t HubIsBusPowered;
};

struct EndpointDescriptor {  // USB_ENDPOINT_DESCRIPTOR
    std::uint8_t bLength;
    std::uint8_t bDescriptorType;
    std::uint8_t bEndpointAddress;
    std::uint8_t bmAttributes;
    std::uint16_t wMaxPacketSize;
    std::uint8_t bInterval;
};

struct PipeInfo {  // USB_PIPE_INFO
    EndpointDescriptor EndpointDescriptor_;
    std::uint32_t ScheduleOffset;
};

struct NodeConnectionInformation {  // USB_NODE_CONNECTION_INFORMATION, without PipeList
    std::uint32_t ConnectionIndex;
    DeviceDescriptor DeviceDescriptor_;
    std::uint8_t CurrentConfigurationValue;
    std::uint8_t LowSpeed;
    std::uint8_t DeviceIsHub;
    std::uint16_t DeviceAddress;
    std::uint32_t NumberOfOpenPipes;
    std::uint32_t ConnectionStatus;
};

struct SetupPacket {
    std::uint8_t bmRequest;
    std::uint8_t bRequest;
    std::uint16_t wValue;
    std::uint16_t wIndex;
    std::uint16_t wLength;
};

struct DescriptorRequest {  // USB_DESCRIPTOR_REQUEST, without its Data
    std::uint32_t ConnectionIndex;
    SetupPacket SetupPacket_;
};

#pragma pack(pop)

static_assert(sizeof(DeviceDescriptor) == 18);
static_assert(sizeof(ConfigurationDescriptor) == 9);
static_assert(sizeof(ControllerName) == 6);
static_assert(sizeof(ConnectionName) == 10);
static_assert(sizeof(NodeInformation) == 76);
static_assert(offsetof(NodeInformation, HubDescriptor_) + offsetof(HubDescriptor, bNumberOfPorts) == 6);
static_assert(sizeof(PipeInfo) == 11);
static_assert(sizeof(NodeConnectionInformation) == 35);
static_assert(sizeof(DescriptorRequest) == 12);

constexpr std::uint32_t kConnectionInfoBufferSize = sizeof(NodeConnectionInformation) + 30 * sizeof(PipeInfo);
static_assert(kConnectionInfoBufferSize == 365);

// Reads a NUL-terminated (or length-bounded) UTF-16LE name.
std::wstring ReadUtf16Le(const std::uint8_t* bytes, std::size_t byteCount);
// Writes a name as UTF-16LE with a terminating NUL; returns the byte count.
std::size_t Utf16LeSize(const std::wstring& text);
void WriteUtf16Le(const std::wstring& text, std::uint8_t* out, std::size_t capacity);

}  // namespace norvik::usb
