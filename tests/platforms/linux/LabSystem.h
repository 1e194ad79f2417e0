#pragma once
// A Linux system made of a sysfs fixture tree and a fake uvcvideo driver
// behind the video nodes of its cameras. A test that unplugs or renumbers
// devices asks for a copy of the tree in a temporary directory; the others
// read the fixture in place.

#include <filesystem>
#include <memory>
#include <string>

#include "FakeUvcIoctl.h"
#include "platforms/linux/LinuxPlatform.h"
#include "platforms/sim/FakeRuntime.h"

namespace norvik::test {

class LabSystem {
public:
    enum class Tree { ReadOnly, Copy };
    // name: a directory under tests/data/sysfs ("lab", "nocamera").
    explicit LabSystem(const std::string& name = "lab", Tree tree = Tree::ReadOnly);
    ~LabSystem();
    LabSystem(const LabSystem&) = delete;
    LabSystem& operator=(const LabSystem&) = delete;

    std::filesystem::path SysfsRoot() const { return sysfsRoot_; }
    std::filesystem::path DeviceDir() const { return root_ / "dev"; }
    std::string NodePath(const std::string& videoNode) const { return (DeviceDir() / videoNode).string(); }

    FakeRuntime& Runtime() { return runtime_; }
    FakeUvcIoctl& Ioctl() { return *ioctl_; }
    LinuxPlatform& Platform() { return *platform_; }

    // The camera's sysfs entries go, and its video nodes answer as an
    // unplugged device does. Needs a copied tree.
    void Unplug(const std::string& usbDevice);
    // The capture and metadata nodes of a camera get new numbers, as after
    // the camera was plugged in again while another took its old numbers.
    // Needs a copied tree.
    void Renumber(const std::string& fromNode, const std::string& toNode);

private:
    void RequireCopy() const;

    std::filesystem::path root_;  // temporary: dev/, and sys/ when copied
    std::filesystem::path sysfsRoot_;
    bool copied_;
    FakeRuntime runtime_;
    std::shared_ptr<FakeUvcIoctl> ioctl_;
    std::unique_ptr<LinuxPlatform> platform_;
};

// The fixture trees of the source tree, and the scenarios that describe the
// same machines to the simulated platform.
std::filesystem::path FixtureTree(const std::string& name);
std::filesystem::path FixtureScenario(const std::string& name);

}  // namespace norvik::test
