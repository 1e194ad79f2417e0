#include "LabSystem.h"

#include <stdlib.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <map>
#include <stdexcept>
#include <system_error>
#include <vector>

#include "platforms/sim/Scenario.h"

namespace norvik::test {

namespace fs = std::filesystem;

std::filesystem::path FixtureTree(const std::string& name)
{
    return fs::path(NORVIK_SOURCE_DIR) / "tests" / "data" / "sysfs" / name;
}

std::filesystem::path FixtureScenario(const std::string& name)
{
    return fs::path(NORVIK_SOURCE_DIR) / "tests" / "data" / "sysfs" / (name + ".scenario.json");
}

namespace {

// The capture node of each fixture camera (its metadata node is the next
// number), by USB port path.
const std::map<std::string, int> kCaptureNodes = {{"1-1.2", 0}, {"1-3", 2}, {"2-2", 4}};

// The port path in a device path "\\?\usb#vid_...&mi_00#<port path>#{...}\global".
std::string PortPathOf(const std::wstring& devicePath)
{
    std::vector<std::wstring> parts;
    std::size_t at = 0;
    for (std::size_t hash; (hash = devicePath.find(L'#', at)) != std::wstring::npos; at = hash + 1)
        parts.push_back(devicePath.substr(at, hash - at));
    return parts.size() >= 3 ? std::string(parts[2].begin(), parts[2].end()) : std::string();
}

// bUnitID of the extension unit with this GUID, read straight from the
// fixture's descriptor bytes.
int UnitIdOf(const fs::path& descriptorsFile, const Guid& guid)
{
    std::ifstream in(descriptorsFile, std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    for (std::size_t at = 18; at + 20 <= bytes.size() && bytes[at] >= 2; at += bytes[at]) {
        if (bytes[at + 1] == 0x24 && bytes[at + 2] == 0x06 &&
            std::equal(guid.bytes.begin(), guid.bytes.end(), bytes.begin() + std::ptrdiff_t(at + 4)))
            return bytes[at + 3];
    }
    throw std::runtime_error("no extension unit " + FormatGuid(guid) + " in " + descriptorsFile.string());
}

}  // namespace

LabSystem::LabSystem(const std::string& name, Tree tree)
    : copied_(tree == Tree::Copy), ioctl_(std::make_shared<FakeUvcIoctl>())
{
    std::string pattern = (fs::temp_directory_path() / "norvik-linux-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary directory");
    root_ = pattern;
    sysfsRoot_ = FixtureTree(name);
    if (copied_) {
        sysfsRoot_ = root_ / "sys";
        fs::copy(FixtureTree(name), sysfsRoot_,
                 fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    }

    // The cameras' controls are those of the scenario that describes the same
    // machine; a camera whose controls fail with access denied there is one
    // whose nodes the user may not open here.
    const ScenarioLoad load = LoadScenarioFile(FixtureScenario(name).string());
    if (!load)
        throw std::runtime_error(load.error);
    for (const ScenarioCamera& camera : load.scenario->cameras) {
        const std::string port = PortPathOf(camera.devicePath.value_or(L""));
        const int capture = kCaptureNodes.at(port);
        const std::string card(camera.friendlyName->begin(), camera.friendlyName->end());
        FakeVideoNode& node = ioctl_->AddNode(NodePath("video" + std::to_string(capture)), card);
        FakeVideoNode& metadata =
            ioctl_->AddNode(NodePath("video" + std::to_string(capture + 1)), card, false);
        const fs::path descriptors = sysfsRoot_ / "bus" / "usb" / "devices" / port / "descriptors";
        for (const ScenarioUnitControls& unit : camera.controls) {
            const int unitId = UnitIdOf(descriptors, unit.guid);
            for (const auto& [selector, control] : unit.selectors) {
                node.units[std::uint8_t(unitId)][selector].value = control.value;
                if (control.fail == hr::kAccessDenied)
                    node.openError = metadata.openError = EACCES;
            }
        }
    }

    LinuxPlatformOptions options;
    options.sysfsRoot = SysfsRoot();
    options.deviceDir = DeviceDir();
    options.ioctl = ioctl_;
    platform_ = std::make_unique<LinuxPlatform>(runtime_, options);
}

LabSystem::~LabSystem()
{
    platform_.reset();
    std::error_code error;
    fs::remove_all(root_, error);
}

void LabSystem::RequireCopy() const
{
    if (!copied_)
        throw std::logic_error("the fixture tree is read in place: ask for a copy");
}

void LabSystem::Unplug(const std::string& usbDevice)
{
    RequireCopy();
    const fs::path devices = SysfsRoot() / "bus" / "usb" / "devices";
    const fs::path target = fs::canonical(devices / usbDevice);
    // Every link into the device's subtree goes with it.
    std::vector<fs::path> links;
    for (const fs::path& dir : {devices, SysfsRoot() / "class" / "video4linux"}) {
        std::error_code error;
        for (fs::directory_iterator it(dir, error), end; !error && it != end; it.increment(error)) {
            std::error_code resolveError;
            const fs::path resolved = fs::canonical(it->path(), resolveError);
            if (resolveError)
                continue;
            const auto relative = resolved.lexically_relative(target);
            if (!relative.empty() && relative.begin()->string() != "..") {
                links.push_back(it->path());
                if (dir.filename() == "video4linux")
                    ioctl_->Node(NodePath(it->path().filename().string())).unplugged = true;
            }
        }
    }
    for (const auto& link : links)
        fs::remove(link);
    fs::remove_all(target);
}

void LabSystem::Renumber(const std::string& fromNode, const std::string& toNode)
{
    RequireCopy();
    const fs::path classDir = SysfsRoot() / "class" / "video4linux";
    const fs::path nodeDir = fs::canonical(classDir / fromNode);
    const fs::path newDir = nodeDir.parent_path() / toNode;
    fs::rename(nodeDir, newDir);
    fs::remove(classDir / fromNode);
    fs::create_directory_symlink(fs::relative(newDir, classDir), classDir / toNode);

    FakeVideoNode moved = ioctl_->Node(NodePath(fromNode));
    ioctl_->Node(NodePath(fromNode)).unplugged = true;
    FakeVideoNode& added = ioctl_->AddNode(NodePath(toNode), moved.capability.card);
    added = moved;
}

}  // namespace norvik::test
