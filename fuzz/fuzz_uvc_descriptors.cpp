// Feeds arbitrary bytes as a USB device's sysfs `descriptors` file: the
// bytes a device supplies, read by the Linux platform to find the device's
// configurations, its VideoControl entities and its default endpoints.
// Every piece the parser hands back must lie inside the bytes it was given,
// and each entity must be as long as its kind needs.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <span>

#include "platforms/linux/UvcDescriptors.h"

namespace {

using namespace norvik::uvc;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckInterface(std::span<const std::uint8_t> configuration, std::uint8_t number)
{
    const auto control = FindVideoControlInterface(configuration, number);
    if (!control)
        return;
    Check(control->interfaceNumber == number);
    std::size_t bytes = 0;
    for (const VideoControlEntity& entity : control->entities) {
        Check(entity.id != 0);
        Check(entity.descriptor.size() >= 4 && entity.descriptor.size() == entity.descriptor[0]);
        Check(entity.descriptor[2] == entity.subtype && entity.descriptor[3] == entity.id);
        bytes += entity.descriptor.size();
        (void)entity.NodeType();
        if (entity.IsExtensionUnit()) {
            // What the capture stack answers for property id 0: the
            // descriptor from bNumControls (offset 20) on.
            Check(entity.descriptor.size() >= 24);
            Check(entity.extensionCode == norvik::Guid::FromBytes(&entity.descriptor[4]));
        }
    }
    Check(bytes <= configuration.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> bytes(data, size);
    const DescriptorSet set = SplitDescriptors(bytes);
    Check(set.device.empty() || set.device.size() == 18);
    std::size_t total = set.device.size();
    for (const auto& configuration : set.configurations) {
        Check(configuration.size() >= 4);
        total += configuration.size();
        // The interface numbers the configuration declares, and one it does not.
        std::set<std::uint8_t> numbers = {0xFF};
        ForEachDescriptor(configuration, [&](std::span<const std::uint8_t> d) {
            Check(d.size() >= 2 && d.size() == d[0]);
            if (d[1] == kInterfaceType && d.size() >= 3)
                numbers.insert(d[2]);
        });
        for (std::uint8_t number : numbers)
            CheckInterface(configuration, number);
        for (const auto& endpoint : DefaultEndpoints(configuration))
            Check(endpoint.size() == 7 && endpoint[1] == kEndpointType);
    }
    Check(total <= size);
    return 0;
}
