// The serial number read from a USB device's instance ID: a device with a
// serial Windows accepts, one without (a generated last part), and IDs of
// other nodes the location climb may stop at.

#include <gtest/gtest.h>

#include "platforms/win32/UsbInstanceId.h"

namespace norvik {
namespace {

TEST(UsbInstanceId, TheLastPartOfAUsbDeviceIsItsSerial)
{
    EXPECT_EQ(SerialFromInstanceId(L"USB\\VID_2E7A&PID_0C41\\KST0001"), L"KST0001");
    // Case of the enumerator and the hardware part does not matter; the
    // serial is kept as written.
    EXPECT_EQ(SerialFromInstanceId(L"usb\\vid_2e7a&pid_0c41\\a1b2-C3d4"), L"a1b2-C3d4");
    EXPECT_EQ(SerialFromInstanceId(L"USB\\VID_2E7A&PID_0C41&REV_0100\\00000000001A"), L"00000000001A");
}

TEST(UsbInstanceId, GeneratedIdsAndOtherNodesHaveNoSerial)
{
    // No serial (or one Windows refused): an ID made up from the port.
    EXPECT_FALSE(SerialFromInstanceId(L"USB\\VID_2E7A&PID_0C41\\5&2A3B4C5D&0&2"));
    EXPECT_FALSE(SerialFromInstanceId(L"USB\\VID_2E7A&PID_0C41\\&"));
    // An interface of a composite device, a hub, other enumerators.
    EXPECT_FALSE(SerialFromInstanceId(L"USB\\VID_2E7A&PID_0C41&MI_00\\KST0001"));
    EXPECT_FALSE(SerialFromInstanceId(L"USB\\ROOT_HUB30\\4&1F4A2B9C&0&0"));
    EXPECT_FALSE(SerialFromInstanceId(L"PCI\\VEN_8086&DEV_A36D\\3&11583659&0&A0"));
    EXPECT_FALSE(SerialFromInstanceId(L"USBSTOR\\VID_2E7A&PID_0C41\\KST0001"));
    // Not three parts, or an empty one.
    EXPECT_FALSE(SerialFromInstanceId(L""));
    EXPECT_FALSE(SerialFromInstanceId(L"USB\\VID_2E7A&PID_0C41"));
    EXPECT_FALSE(SerialFromInstanceId(L"USB\\VID_2E7A&PID_0C41\\"));
    EXPECT_FALSE(SerialFromInstanceId(L"USB\\VID_2E7A&PID_0C41\\KST\\0001"));
    EXPECT_FALSE(SerialFromInstanceId(L"USB\\VID_2E7A\\KST0001"));
}

}  // namespace
}  // namespace norvik
