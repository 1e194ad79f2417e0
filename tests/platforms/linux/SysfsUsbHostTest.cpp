// The USB host port on the lab fixture tree, asked the way the USB tree walk
// asks: byte layouts, name probes, connection information and descriptors.

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <vector>

#include "LabSystem.h"
#include "discovery/UsbStructures.h"
#include "platforms/linux/SysfsTree.h"

namespace norvik {
namespace {

using test::LabSystem;

// A name request as the walk makes it: a probe with room for one character,
// then the full length. The name, or nullopt when a step fails.
std::optional<std::string> QueryName(UsbDeviceHandle& handle, std::uint32_t code, std::uint32_t port,
                                     bool controller)
{
    const std::uint32_t header = controller ? 4 : 8;
    std::vector<std::uint8_t> probe(header + 2, 0);
    if (!controller)
        std::memcpy(probe.data(), &port, 4);
    std::uint32_t bytes = 0;
    if (!handle.DeviceIoControl(code, probe.data(), std::uint32_t(probe.size()), probe.data(),
                                std::uint32_t(probe.size()), &bytes))
        return std::nullopt;
    EXPECT_EQ(bytes, probe.size());
    std::uint32_t actual;
    std::memcpy(&actual, probe.data() + header - 4, 4);
    if (actual <= probe.size())
        return std::string();
    std::vector<std::uint8_t> full(actual, 0);
    if (!controller)
        std::memcpy(full.data(), &port, 4);
    if (!handle.DeviceIoControl(code, full.data(), actual, full.data(), actual, &bytes))
        return std::nullopt;
    EXPECT_EQ(bytes, actual);
    EXPECT_EQ(full[actual - 1], 0);  // UTF-16LE NUL terminator
    EXPECT_EQ(full[actual - 2], 0);
    std::string name;
    for (std::uint32_t i = header; i + 1 < actual && (full[i] || full[i + 1]); i += 2) {
        EXPECT_EQ(full[i + 1], 0);  // every name here is ASCII
        name.push_back(char(full[i]));
    }
    return name;
}

struct Connection {
    bool ok;
    std::uint32_t bytes;
    usb::NodeConnectionInformation info;
    std::vector<usb::PipeInfo> pipes;
};

Connection Connect(UsbDeviceHandle& hub, std::uint32_t port)
{
    std::uint8_t buffer[usb::kConnectionInfoBufferSize] = {};
    std::memcpy(buffer, &port, 4);
    Connection c{};
    c.ok = hub.DeviceIoControl(usb::kIoctlGetNodeConnectionInformation, buffer, sizeof buffer, buffer,
                               sizeof buffer, &c.bytes);
    std::memcpy(&c.info, buffer, sizeof c.info);
    for (std::uint32_t at = sizeof c.info; at + sizeof(usb::PipeInfo) <= c.bytes;
         at += sizeof(usb::PipeInfo)) {
        usb::PipeInfo pipe;
        std::memcpy(&pipe, buffer + at, sizeof pipe);
        c.pipes.push_back(pipe);
    }
    return c;
}

std::string HubPath(const std::string& name) { return "\\\\.\\" + name; }

TEST(SysfsUsbHost, ControllersAreTheBusesInOrder)
{
    LabSystem lab;
    UsbHost& host = lab.Platform().Usb();
    auto hcd0 = host.Open("\\\\.\\HCD0");
    auto hcd1 = host.Open("\\\\.\\HCD1");
    ASSERT_TRUE(hcd0);
    ASSERT_TRUE(hcd1);
    EXPECT_FALSE(host.Open("\\\\.\\HCD2"));
    EXPECT_EQ(host.LastError(), 2u);  // ERROR_FILE_NOT_FOUND
    EXPECT_FALSE(host.Open("\\\\.\\HCD"));
    EXPECT_FALSE(host.Open("HCD0"));

    EXPECT_EQ(QueryName(*hcd0, usb::kIoctlGetHcdDriverKeyName, 0, true),
              "{36fc9e60-c465-11cf-8056-444553540000}\\0000:00:14.0");
    EXPECT_EQ(QueryName(*hcd0, usb::kIoctlGetRootHubName, 0, true),
              "USB#ROOT_HUB#usb1#{f18a0e88-c30c-11d0-8815-00a0c906bed8}");
    EXPECT_EQ(QueryName(*hcd1, usb::kIoctlGetRootHubName, 0, true),
              "USB#ROOT_HUB#usb2#{f18a0e88-c30c-11d0-8815-00a0c906bed8}");

    // The root hub probe is made with no input buffer at all.
    std::uint8_t probe[6] = {};
    std::uint32_t bytes = 0;
    ASSERT_TRUE(hcd0->DeviceIoControl(usb::kIoctlGetRootHubName, nullptr, 0, probe, 6, &bytes));
    std::uint32_t actual;
    std::memcpy(&actual, probe, 4);
    EXPECT_EQ(actual,
              4 + 2 * (std::string("USB#ROOT_HUB#usb1#{f18a0e88-c30c-11d0-8815-00a0c906bed8}").size() + 1));
    EXPECT_EQ(probe[4], 'U');
}

TEST(SysfsUsbHost, HubAnswersNodeAndConnectionInformation)
{
    LabSystem lab;
    UsbHost& host = lab.Platform().Usb();
    auto root = host.Open(HubPath("USB#ROOT_HUB#usb1#{f18a0e88-c30c-11d0-8815-00a0c906bed8}"));
    ASSERT_TRUE(root);

    std::uint8_t node[76] = {};
    std::uint32_t bytes = 0;
    ASSERT_TRUE(root->DeviceIoControl(usb::kIoctlGetNodeInformation, node, 76, node, 76, &bytes));
    EXPECT_EQ(bytes, 76u);
    EXPECT_EQ(node[6], 4);  // u.HubInformation.HubDescriptor.bNumberOfPorts
    EXPECT_EQ(node[5], 0x29);

    // Port 1: the hub; 2: empty; 3: the UVC 1.5 camera; 5: no such port.
    Connection hub = Connect(*root, 1);
    ASSERT_TRUE(hub.ok);
    EXPECT_EQ(+hub.info.ConnectionIndex, 1u);
    EXPECT_EQ(+hub.info.ConnectionStatus, usb::kDeviceConnected);
    EXPECT_EQ(+hub.info.DeviceIsHub, 1);
    EXPECT_EQ(+hub.info.DeviceDescriptor_.idVendor, 0x05E3);
    EXPECT_EQ(+hub.info.DeviceDescriptor_.idProduct, 0x0608);
    EXPECT_EQ(+hub.info.DeviceAddress, 2);

    Connection empty = Connect(*root, 2);
    ASSERT_TRUE(empty.ok);
    EXPECT_EQ(+empty.info.ConnectionStatus, 0u);
    EXPECT_EQ(empty.bytes, 35u);

    Connection camera = Connect(*root, 3);
    ASSERT_TRUE(camera.ok);
    EXPECT_EQ(+camera.info.ConnectionStatus, usb::kDeviceConnected);
    EXPECT_EQ(+camera.info.DeviceIsHub, 0);
    EXPECT_EQ(+camera.info.DeviceDescriptor_.bLength, 18);
    EXPECT_EQ(+camera.info.DeviceDescriptor_.bDeviceClass, 0xEF);
    EXPECT_EQ(+camera.info.DeviceDescriptor_.idVendor, 0x2BD9);
    EXPECT_EQ(+camera.info.DeviceDescriptor_.idProduct, 0x0150);
    EXPECT_EQ(+camera.info.CurrentConfigurationValue, 1);
    // The open pipes: the VideoControl interrupt endpoint (the streaming
    // interface's default setting has none).
    ASSERT_EQ(+camera.info.NumberOfOpenPipes, 1u);
    ASSERT_EQ(camera.pipes.size(), 1u);
    EXPECT_EQ(+camera.pipes[0].EndpointDescriptor_.bEndpointAddress, 0x83);
    EXPECT_EQ(camera.bytes, 35u + 11u);

    EXPECT_FALSE(Connect(*root, 5).ok);
    EXPECT_EQ(host.LastError(), 87u);  // ERROR_INVALID_PARAMETER
    EXPECT_FALSE(Connect(*root, 0).ok);
}

TEST(SysfsUsbHost, PortNamesLeadToChildHubs)
{
    LabSystem lab;
    UsbHost& host = lab.Platform().Usb();
    auto root = host.Open(HubPath("USB#ROOT_HUB#usb1#{f18a0e88-c30c-11d0-8815-00a0c906bed8}"));
    ASSERT_TRUE(root);
    EXPECT_EQ(QueryName(*root, usb::kIoctlGetNodeConnectionDriverKeyName, 1, false),
              "{36fc9e60-c465-11cf-8056-444553540000}\\1-1");
    EXPECT_EQ(QueryName(*root, usb::kIoctlGetNodeConnectionDriverKeyName, 3, false),
              "{36fc9e60-c465-11cf-8056-444553540000}\\1-3");
    EXPECT_EQ(QueryName(*root, usb::kIoctlGetNodeConnectionDriverKeyName, 2, false), std::nullopt);

    auto childName = QueryName(*root, usb::kIoctlGetNodeConnectionName, 1, false);
    ASSERT_EQ(childName, "USB#VID_05E3&PID_0608#1-1#{f18a0e88-c30c-11d0-8815-00a0c906bed8}");
    // A device that is not a hub has an empty node name.
    EXPECT_EQ(QueryName(*root, usb::kIoctlGetNodeConnectionName, 3, false), "");

    auto hub = host.Open(HubPath(*childName));
    ASSERT_TRUE(hub);
    Connection mouse = Connect(*hub, 4);
    ASSERT_TRUE(mouse.ok);
    EXPECT_EQ(+mouse.info.LowSpeed, 1);
    EXPECT_EQ(+mouse.info.DeviceDescriptor_.idVendor, 0x046D);
    EXPECT_EQ(QueryName(*hub, usb::kIoctlGetNodeConnectionDriverKeyName, 2, false),
              "{36fc9e60-c465-11cf-8056-444553540000}\\1-1.2");

    // Names that are not hubs, or not there, do not open.
    EXPECT_FALSE(host.Open(HubPath("USB#VID_2BD9&PID_0150#1-3#{f18a0e88-c30c-11d0-8815-00a0c906bed8}")));
    EXPECT_FALSE(host.Open(HubPath("USB#VID_05E3&PID_0608#1-9#{f18a0e88-c30c-11d0-8815-00a0c906bed8}")));
    EXPECT_FALSE(host.Open(HubPath("USB#VID_05E3&PID_0608#..#{f18a0e88-c30c-11d0-8815-00a0c906bed8}")));
    EXPECT_EQ(host.LastError(), 2u);
}

TEST(SysfsUsbHost, ConfigurationDescriptorInTwoRequests)
{
    LabSystem lab;
    UsbHost& host = lab.Platform().Usb();
    auto hub = host.Open(HubPath("USB#VID_05E3&PID_0608#1-1#{f18a0e88-c30c-11d0-8815-00a0c906bed8}"));
    ASSERT_TRUE(hub);

    // The first request: 12-byte header and room for the 9-byte header.
    std::uint8_t first[21] = {};
    usb::DescriptorRequest request{};
    request.ConnectionIndex = 2;
    request.SetupPacket_.wValue = 0x0200;
    request.SetupPacket_.wLength = 9;
    std::memcpy(first, &request, sizeof request);
    std::uint32_t bytes = 0;
    ASSERT_TRUE(
        hub->DeviceIoControl(usb::kIoctlGetDescriptorFromNodeConnection, first, 21, first, 21, &bytes));
    EXPECT_EQ(bytes, 21u);
    EXPECT_EQ(first[13], 0x02);  // bDescriptorType
    const std::uint16_t total = std::uint16_t(first[14] | first[15] << 8);

    // The file's configuration, after the 18-byte device descriptor.
    const auto file = sysfs::ReadBinary(lab.SysfsRoot() / "bus/usb/devices/1-1.2/descriptors");
    ASSERT_TRUE(file);
    ASSERT_EQ(file->size(), 18u + total);

    std::vector<std::uint8_t> second(12 + total, 0);
    request.SetupPacket_.wLength = total;
    std::memcpy(second.data(), &request, sizeof request);
    ASSERT_TRUE(hub->DeviceIoControl(usb::kIoctlGetDescriptorFromNodeConnection, second.data(),
                                     std::uint32_t(second.size()), second.data(),
                                     std::uint32_t(second.size()), &bytes));
    EXPECT_EQ(bytes, 12u + total);
    EXPECT_TRUE(std::equal(second.begin() + 12, second.end(), file->begin() + 18));
    EXPECT_EQ(second[0], 2);  // the request header comes back in front

    // An empty port, a configuration index the device does not have.
    request.ConnectionIndex = 3;
    std::memcpy(first, &request, sizeof request);
    EXPECT_FALSE(
        hub->DeviceIoControl(usb::kIoctlGetDescriptorFromNodeConnection, first, 21, first, 21, &bytes));
    EXPECT_EQ(host.LastError(), 1167u);  // ERROR_DEVICE_NOT_CONNECTED
    request.ConnectionIndex = 2;
    request.SetupPacket_.wValue = 0x0201;
    std::memcpy(first, &request, sizeof request);
    EXPECT_FALSE(
        hub->DeviceIoControl(usb::kIoctlGetDescriptorFromNodeConnection, first, 21, first, 21, &bytes));
    EXPECT_EQ(host.LastError(), 31u);  // ERROR_GEN_FAILURE
}

TEST(SysfsUsbHost, HubUnpluggedAfterOpeningFailsItsRequests)
{
    LabSystem lab("lab", LabSystem::Tree::Copy);
    UsbHost& host = lab.Platform().Usb();
    auto hub = host.Open(HubPath("USB#VID_05E3&PID_0608#1-1#{f18a0e88-c30c-11d0-8815-00a0c906bed8}"));
    ASSERT_TRUE(hub);
    lab.Unplug("1-1");
    std::uint8_t node[76] = {};
    std::uint32_t bytes = 5;
    EXPECT_FALSE(hub->DeviceIoControl(usb::kIoctlGetNodeInformation, node, 76, node, 76, &bytes));
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(host.LastError(), 1167u);

    // The root hub now sees port 1 empty.
    auto root = host.Open(HubPath("USB#ROOT_HUB#usb1#{f18a0e88-c30c-11d0-8815-00a0c906bed8}"));
    ASSERT_TRUE(root);
    EXPECT_EQ(+Connect(*root, 1).info.ConnectionStatus, 0u);
}

}  // namespace
}  // namespace norvik
