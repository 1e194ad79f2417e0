#pragma once
// The capture stack on Linux: the uvcvideo video functions found through
// sysfs stand for the video input devices; a device's topology nodes are the
// terminals and units of its VideoControl interface, in descriptor order;
// extension-unit property requests become UVCIOC_CTRL_QUERY on its video
// node. Every answer is the one the Windows capture stack gives.
//
// Node property requests (KsProperty with a 32-byte KSP_NODE, TOPOLOGY flag):
//   - the node must be an extension unit whose guidExtensionCode is the
//     property set, otherwise ERROR_SET_NOT_FOUND;
//   - property id 0, GET: the unit's descriptor from bNumControls on,
//     answered from the USB descriptors without a request to the camera;
//   - GET with data length 0: UVC_GET_LEN; the answer is ERROR_MORE_DATA with
//     the control's length as the byte count;
//   - GET: UVC_GET_CUR, SET: UVC_SET_CUR, of the selector = property id, on
//     the unit = the node's bUnitID; a GET buffer shorter than the control
//     answers ERROR_MORE_DATA with the length, a longer one receives the
//     control's bytes at its start;
//   - a failed call's errno is turned into the like Windows error
//     (ErrnoMapping.h); a request the camera refuses (stalls) answers
//     ERROR_GEN_FAILURE whatever its reason, as on Windows, and the reason
//     goes to the diagnostic console as
//     "<node>: the camera refused SET_CUR of unit 5 selector 5: out of range (ERANGE)".

#include <memory>

#include "discovery/CaptureStack.h"
#include "platforms/linux/SysfsVideoFunctions.h"
#include "platforms/linux/V4l2UvcIoctl.h"
#include "runtime/Runtime.h"

namespace norvik {

// Moniker parsing results with their COM values.
constexpr HResult kMkESyntax = HResult(0x800401E4u);    // MK_E_SYNTAX
constexpr HResult kMkENoObject = HResult(0x800401E5u);  // MK_E_NOOBJECT

class V4l2CaptureStack final : public CaptureStack {
public:
    // The runtime receives diagnostic lines and must outlive every object
    // this stack hands out.
    V4l2CaptureStack(LinuxPaths paths, std::shared_ptr<UvcIoctl> ioctl, Runtime& runtime);
    ~V4l2CaptureStack() override;

    HResult CreateDeviceEnumerator(std::shared_ptr<DeviceEnumerator>* out) override;
    HResult CreateBindContext(std::shared_ptr<BindContext>* out) override;
    // Finds the device a display name obtained earlier names, by its USB port
    // path and interface number, wherever its video node is now.
    HResult ParseDisplayName(BindContext& context, const std::wstring& displayName,
                             std::shared_ptr<DeviceMoniker>* out) override;

    struct Environment;

private:
    std::shared_ptr<const Environment> environment_;
};

}  // namespace norvik
