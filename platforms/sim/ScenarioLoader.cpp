// Reads a scenario file into the model, checking every value on the way. The
// first problem stops the load with one message naming the file, the place
// (a JSON pointer) and what is wrong; nothing half-loaded is returned.

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "platforms/sim/Scenario.h"
#include "runtime/HexDigit.h"

namespace norvik {

namespace {

using Json = nlohmann::json;

// The node type of the nodes that are not extension units, unless a node names
// its own: a video processing node.
const Guid kDefaultOtherNodeType = *ParseRegistryGuid("{DFF229E5-F70F-11D0-B917-00A0C9223196}");
// The setup class of cameras, unless the scenario names another.
const Guid kDefaultClassGuid = *ParseRegistryGuid("{CA3E7AB9-B4C3-4AE6-8251-579EF933890F}");

// Raised inside the loader only; LoadScenarioText turns it into the message.
struct LoadError {
    std::string place;
    std::string what;
};

// "[json.exception.parse_error.101] parse error at line 1, ..." without the tag.
std::string ParseErrorText(const std::string& what)
{
    const auto end = what.find("] ");
    return end == std::string::npos ? what : what.substr(end + 2);
}

std::string EscapePointerToken(const std::string& token)
{
    std::string out;
    for (char c : token) {
        if (c == '~')
            out += "~0";
        else if (c == '/')
            out += "~1";
        else
            out += c;
    }
    return out;
}

// A JSON value with its place in the file. The place is a chain of links to
// the enclosing values, spelt out as a JSON pointer only when a message needs
// it, so reading costs nothing per value however deep the file.
class Node {
public:
    explicit Node(const Json& value) : value_(value) {}

    const Json& Value() const { return value_; }

    std::string Place() const
    {
        std::vector<const Node*> chain;
        for (const Node* at = this; at->parent_; at = at->parent_)
            chain.push_back(at);
        std::string place;
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            place += '/';
            if ((*it)->isIndex_)
                place += std::to_string((*it)->index_);
            else
                place += EscapePointerToken(std::string((*it)->key_));
        }
        return place;
    }

    [[noreturn]] void Fail(const std::string& what) const { throw LoadError{Place(), what}; }

    Node Member(const std::string& key) const
    {
        const auto it = value_.find(key);
        if (it == value_.end())
            Fail("the key \"" + key + "\" is missing");
        return Member(it);
    }
    // The key's text lives in the JSON object, as long as the value does.
    Node Member(const Json::const_iterator& it) const { return Node(it.value(), this, it.key()); }
    Node Element(std::size_t i) const { return Node(value_.at(i), this, i); }
    bool Has(const std::string& key) const { return value_.contains(key); }

    void ExpectObject(std::initializer_list<const char*> allowed) const
    {
        if (!value_.is_object())
            Fail("must be an object");
        for (auto it = value_.begin(); it != value_.end(); ++it) {
            bool known = false;
            for (const char* name : allowed)
                known = known || it.key() == name;
            if (!known)
                Member(it).Fail("unknown key \"" + it.key() + "\"");
        }
    }
    Node Required(const std::string& key) const
    {
        if (!Has(key))
            Fail("the key \"" + key + "\" is missing");
        return Member(key);
    }

private:
    Node(const Json& value, const Node* parent, std::string_view key)
        : value_(value), parent_(parent), key_(key)
    {
    }
    Node(const Json& value, const Node* parent, std::size_t index)
        : value_(value), parent_(parent), isIndex_(true), index_(index)
    {
    }

    const Json& value_;
    const Node* parent_ = nullptr;  // lives longer than this node: it made it
    bool isIndex_ = false;
    std::string_view key_;
    std::size_t index_ = 0;
};

// Deeper than any scenario needs: a USB tree of seven tiers takes 25 levels.
// A limit keeps a hostile file from exhausting the stack of whatever walks
// the tree afterwards.
constexpr std::size_t kMaxJsonDepth = 64;

// Builds the JSON tree from the parser's events, refusing what the library
// would take silently: a key given twice in one object (it keeps the last)
// and nesting beyond kMaxJsonDepth. The parser itself does not recurse.
class TreeBuilder {
public:
    using number_integer_t = Json::number_integer_t;
    using number_unsigned_t = Json::number_unsigned_t;
    using number_float_t = Json::number_float_t;
    using string_t = Json::string_t;
    using binary_t = Json::binary_t;

    Json& Root() { return root_; }
    // The message after the file name when the text was refused.
    const std::string& Error() const { return error_; }

    bool null() { return Put(nullptr); }
    bool boolean(bool value) { return Put(value); }
    bool number_integer(number_integer_t value) { return Put(value); }
    bool number_unsigned(number_unsigned_t value) { return Put(value); }
    bool number_float(number_float_t value, const string_t&) { return Put(value); }
    bool string(string_t& value) { return Put(std::move(value)); }
    bool binary(binary_t& value) { return Put(Json::binary(std::move(value))); }

    bool start_object(std::size_t) { return Open(Json::object()); }
    bool key(string_t& name)
    {
        Level& top = levels_.back();
        if (top.container->contains(name)) {
            error_ = PlaceOfNext(name) + ": the key \"" + name + "\" is given twice";
            return false;
        }
        top.key = std::move(name);
        return true;
    }
    bool end_object() { return Close(); }
    bool start_array(std::size_t) { return Open(Json::array()); }
    bool end_array() { return Close(); }

    bool parse_error(std::size_t, const std::string&, const Json::exception& e)
    {
        // A number beyond what a double holds (1e400) is an out_of_range
        // error rather than a parse error.
        error_ = (dynamic_cast<const Json::parse_error*>(&e) ? "not valid JSON: " : "not usable JSON: ") +
                 ParseErrorText(e.what());
        return false;
    }

private:
    struct Level {
        Json* container;
        string_t key;  // objects: the key of the value that comes next
    };

    // Where the value arriving now goes, as a JSON pointer; key is the
    // innermost object's key when it is not stored yet.
    std::string PlaceOfNext(const std::string& key) const
    {
        std::string place;
        for (std::size_t i = 0; i < levels_.size(); ++i) {
            const Level& level = levels_[i];
            const bool last = i + 1 == levels_.size();
            place += '/';
            if (level.container->is_array())
                place += std::to_string(level.container->size() - (last ? 0 : 1));
            else
                place += EscapePointerToken(last ? key : level.key);
        }
        return place;
    }

    Json* Store(Json&& value)
    {
        if (levels_.empty()) {
            root_ = std::move(value);
            return &root_;
        }
        Level& top = levels_.back();
        if (top.container->is_array()) {
            top.container->push_back(std::move(value));
            return &top.container->back();
        }
        Json& slot = (*top.container)[top.key];
        slot = std::move(value);
        return &slot;
    }
    bool Put(Json&& value)
    {
        Store(std::move(value));
        return true;
    }
    bool Open(Json&& container)
    {
        if (levels_.size() >= kMaxJsonDepth) {
            error_ = PlaceOfNext(levels_.back().key) + ": nested more than " + std::to_string(kMaxJsonDepth) +
                     " levels deep";
            return false;
        }
        Json* stored = Store(std::move(container));
        levels_.push_back(Level{stored, {}});
        return true;
    }
    bool Close()
    {
        levels_.pop_back();
        return true;
    }

    Json root_;
    std::vector<Level> levels_;
    std::string error_;
};

// UTF-8 (already checked by the JSON parser) to wide text.
std::wstring Widen(const std::string& utf8)
{
    std::wstring out;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        std::uint32_t code;
        int extra;
        if (c < 0x80) {
            code = c;
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            code = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            code = c & 0x0F;
            extra = 2;
        } else {
            code = c & 0x07;
            extra = 3;
        }
        ++i;
        for (int k = 0; k < extra && i < utf8.size(); ++k, ++i)
            code = code << 6 | (static_cast<unsigned char>(utf8[i]) & 0x3F);
        if (sizeof(wchar_t) == 2 && code > 0xFFFF) {
            code -= 0x10000;
            out.push_back(wchar_t(0xD800 + (code >> 10)));
            out.push_back(wchar_t(0xDC00 + (code & 0x3FF)));
        } else {
            out.push_back(wchar_t(code));
        }
    }
    return out;
}

std::string String(const Node& n)
{
    if (!n.Value().is_string())
        n.Fail("must be a string");
    return n.Value().get<std::string>();
}

std::wstring WideString(const Node& n) { return Widen(String(n)); }

bool Bool(const Node& n)
{
    if (!n.Value().is_boolean())
        n.Fail("must be true or false");
    return n.Value().get<bool>();
}

bool OptionalBool(const Node& parent, const std::string& key, bool otherwise)
{
    return parent.Has(key) ? Bool(parent.Member(key)) : otherwise;
}

std::uint64_t Integer(const Node& n, std::uint64_t low, std::uint64_t high)
{
    const Json& v = n.Value();
    const std::string range =
        "must be an integer from " + std::to_string(low) + " to " + std::to_string(high);
    if (v.is_number_unsigned()) {
        const std::uint64_t x = v.get<std::uint64_t>();
        if (x < low || x > high)
            n.Fail(range);
        return x;
    }
    n.Fail(range);  // negative, fractional or not a number
}

// A number given as an integer or as a hexadecimal string ("0x2E7A").
std::uint64_t HexOrInteger(const Node& n, std::uint64_t high)
{
    if (n.Value().is_number())
        return Integer(n, 0, high);
    if (!n.Value().is_string())
        n.Fail("must be a number or a hexadecimal string such as \"0x1234\"");
    const std::string text = n.Value().get<std::string>();
    std::size_t at = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        at = 2;
    if (at == text.size() || text.size() - at > 16)
        n.Fail("not a hexadecimal number: \"" + text + "\"");
    std::uint64_t value = 0;
    for (; at < text.size(); ++at) {
        const int d = HexDigitValue(text[at]);
        if (d < 0)
            n.Fail("not a hexadecimal number: \"" + text + "\"");
        value = value << 4 | std::uint64_t(d);
    }
    if (value > high) {
        char limit[32];
        std::snprintf(limit, sizeof limit, "0x%llX", static_cast<unsigned long long>(high));
        n.Fail("\"" + text + "\" is larger than " + limit);
    }
    return value;
}

HResult FailureCode(const Node& n)
{
    const std::uint64_t code = HexOrInteger(n, 0xFFFFFFFFu);
    if (code < 0x80000000u)
        n.Fail("must be a failure code, 0x80000000 or above");
    return HResult(std::uint32_t(code));
}

// Hexadecimal byte pairs, blanks allowed between them: "4B 53 54" or "4B5354".
std::vector<std::uint8_t> HexBytes(const Node& n)
{
    const std::string text = String(n);
    std::vector<std::uint8_t> bytes;
    int pending = -1;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            if (pending >= 0)
                n.Fail("not a string of hexadecimal byte pairs: a single digit stands alone");
            continue;
        }
        const int d = HexDigitValue(c);
        if (d < 0)
            n.Fail(std::string("not a string of hexadecimal byte pairs: '") + c + "' is not a hex digit");
        if (pending < 0) {
            pending = d;
        } else {
            bytes.push_back(std::uint8_t(pending << 4 | d));
            pending = -1;
        }
    }
    if (pending >= 0)
        n.Fail("not a string of hexadecimal byte pairs: odd number of digits");
    return bytes;
}

Guid GuidValue(const Node& n)
{
    const std::string text = String(n);
    const std::optional<Guid> guid = ParseRegistryGuid(text);
    if (!guid)
        n.Fail("not a GUID in registry form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: \"" + text + "\"");
    return *guid;
}

std::optional<std::wstring> OptionalWide(const Node& parent, const std::string& key)
{
    if (!parent.Has(key))
        return std::nullopt;
    return WideString(parent.Member(key));
}

std::uint8_t SelectorKey(const Node& n, const std::string& key)
{
    if (key.empty() || key.size() > 3)
        n.Fail("a control selector must be a number from 1 to 255");
    unsigned value = 0;
    for (char c : key) {
        if (c < '0' || c > '9')
            n.Fail("a control selector must be a number from 1 to 255");
        value = value * 10 + unsigned(c - '0');
    }
    if (value < 1 || value > 255)
        n.Fail("a control selector must be a number from 1 to 255");
    return std::uint8_t(value);
}

// A query answer of the control's length: hex byte pairs padded with zeros
// to the length like "value", or the given default when the key is absent.
std::vector<std::uint8_t> QueryValue(const Node& parent, const char* key, std::uint16_t length,
                                     std::vector<std::uint8_t> fallback)
{
    if (!parent.Has(key))
        return fallback;
    const Node n = parent.Member(key);
    std::vector<std::uint8_t> bytes = HexBytes(n);
    if (bytes.size() > length)
        n.Fail("longer than the control's length of " + std::to_string(length) + " bytes");
    bytes.resize(length, 0);
    return bytes;
}

// "queryFail": {"info": "0x80070032", ...}, a failure code per query kind.
std::map<ControlQuery, HResult> QueryFailures(const Node& n)
{
    static const std::pair<const char*, ControlQuery> kKinds[] = {{"info", ControlQuery::Info},
                                                                  {"min", ControlQuery::Min},
                                                                  {"max", ControlQuery::Max},
                                                                  {"res", ControlQuery::Res},
                                                                  {"def", ControlQuery::Def}};
    if (!n.Value().is_object())
        n.Fail(
            "must be an object from a query kind (\"info\", \"min\", \"max\", \"res\", \"def\") to a "
            "failure code");
    std::map<ControlQuery, HResult> failures;
    for (auto it = n.Value().begin(); it != n.Value().end(); ++it) {
        const Node member = n.Member(it);
        const auto kind = std::find_if(std::begin(kKinds), std::end(kKinds),
                                       [&](const auto& entry) { return it.key() == entry.first; });
        if (kind == std::end(kKinds))
            member.Fail("unknown query kind \"" + it.key() +
                        "\" (the kinds are \"info\", \"min\", \"max\", \"res\" and \"def\")");
        failures[kind->second] = FailureCode(member);
    }
    return failures;
}

ScenarioControl ReadControl(const Node& n)
{
    n.ExpectObject({"length", "value", "text", "delayMs", "fail", "getFail", "setFail", "failTimes", "info",
                    "min", "max", "res", "def", "queryFail"});
    ScenarioControl control;
    if (n.Has("value") && n.Has("text"))
        n.Fail("give either \"value\" or \"text\", not both");
    if (n.Has("value"))
        control.value = HexBytes(n.Member("value"));
    if (n.Has("text")) {
        const std::string text = String(n.Member("text"));
        control.value.assign(text.begin(), text.end());
    }
    if (n.Has("length")) {
        control.length = std::uint16_t(Integer(n.Member("length"), 0, 0xFFFF));
    } else {
        if (!n.Has("value") && !n.Has("text"))
            n.Fail("the key \"length\" is missing (or give a \"value\" to take it from)");
        if (control.value.size() > 0xFFFF)
            n.Fail("the value is longer than 65535 bytes");
        control.length = std::uint16_t(control.value.size());
    }
    if (control.value.size() > control.length)
        n.Member(n.Has("value") ? "value" : "text")
            .Fail("longer than the control's length of " + std::to_string(control.length) + " bytes");
    control.value.resize(control.length, 0);
    if (n.Has("delayMs"))
        control.delayMs = std::uint32_t(Integer(n.Member("delayMs"), 0, 60000));
    if (n.Has("fail"))
        control.fail = FailureCode(n.Member("fail"));
    if (n.Has("getFail"))
        control.getFail = FailureCode(n.Member("getFail"));
    if (n.Has("setFail"))
        control.setFail = FailureCode(n.Member("setFail"));
    if (n.Has("failTimes"))
        control.failTimes = std::uint32_t(Integer(n.Member("failTimes"), 0, 1000000));
    if (n.Has("info"))
        control.info = std::uint8_t(Integer(n.Member("info"), 0, 255));
    std::vector<std::uint8_t> resolution(control.length, 0);
    if (!resolution.empty())
        resolution[0] = 0x01;
    control.min = QueryValue(n, "min", control.length, std::vector<std::uint8_t>(control.length, 0));
    control.max = QueryValue(n, "max", control.length, std::vector<std::uint8_t>(control.length, 0xFF));
    control.res = QueryValue(n, "res", control.length, std::move(resolution));
    control.def = QueryValue(n, "def", control.length, control.value);
    if (n.Has("queryFail"))
        control.queryFail = QueryFailures(n.Member("queryFail"));
    return control;
}

ScenarioNode ReadNode(const Node& n)
{
    n.ExpectObject({"type", "guid", "typeGuid", "typeFails", "probeFailures"});
    ScenarioNode node;
    const std::string type = String(n.Required("type"));
    if (type == "xu") {
        node.isExtensionUnit = true;
        node.guid = GuidValue(n.Required("guid"));
        node.type = guids::kNodeTypeDevSpecific;
        if (n.Has("typeGuid"))
            n.Member("typeGuid").Fail("an extension-unit node always has the device-specific type");
    } else if (type == "other") {
        if (n.Has("guid"))
            n.Member("guid").Fail("only an extension-unit node (\"type\": \"xu\") has a GUID");
        node.type = n.Has("typeGuid") ? GuidValue(n.Member("typeGuid")) : kDefaultOtherNodeType;
        if (n.Has("probeFailures"))
            n.Member("probeFailures").Fail("only an extension-unit node answers probes");
    } else {
        n.Member("type").Fail("must be \"xu\" or \"other\", not \"" + type + "\"");
    }
    node.typeFails = OptionalBool(n, "typeFails", false);
    if (n.Has("probeFailures"))
        node.probeFailures = std::uint32_t(Integer(n.Member("probeFailures"), 0, 1000000));
    return node;
}

ScenarioSetup ReadSetup(const Node& n)
{
    n.ExpectObject({"opens", "detailFails", "classGuid", "class", "classDescription", "deviceDesc", "service",
                    "locationPaths", "friendlyName", "locations", "serial"});
    ScenarioSetup setup;
    setup.opens = OptionalBool(n, "opens", true);
    setup.detailFails = OptionalBool(n, "detailFails", false);
    setup.classGuid = n.Has("classGuid") ? GuidValue(n.Member("classGuid")) : kDefaultClassGuid;
    setup.className = OptionalWide(n, "class");
    setup.classDescription = OptionalWide(n, "classDescription");
    setup.deviceDesc = OptionalWide(n, "deviceDesc");
    setup.service = OptionalWide(n, "service");
    setup.friendlyName = OptionalWide(n, "friendlyName");
    setup.serial = OptionalWide(n, "serial");
    // A device without a serial leaves the key out; an empty string would
    // be a serial no address can name.
    if (setup.serial && setup.serial->empty())
        n.Member("serial").Fail("must not be empty (leave it out for a device without a serial number)");
    if (n.Has("locationPaths")) {
        const Node paths = n.Member("locationPaths");
        if (!paths.Value().is_array())
            paths.Fail("must be an array of strings");
        std::vector<std::wstring> list;
        for (std::size_t i = 0; i < paths.Value().size(); ++i)
            list.push_back(WideString(paths.Element(i)));
        setup.locationPaths = std::move(list);
    }
    if (n.Has("locations")) {
        const Node locations = n.Member("locations");
        if (!locations.Value().is_array())
            locations.Fail("must be an array of strings and nulls");
        for (std::size_t i = 0; i < locations.Value().size(); ++i) {
            const Node entry = locations.Element(i);
            if (entry.Value().is_null())
                setup.locations.push_back(std::nullopt);
            else
                setup.locations.push_back(WideString(entry));
        }
    }
    return setup;
}

ScenarioCamera ReadCamera(const Node& n)
{
    n.ExpectObject({"displayName", "displayNameFails", "friendlyName", "devicePath", "propertyBag", "binds",
                    "topologyInfo", "ksControl", "nodeCountFails", "nodes", "controls", "setup"});
    ScenarioCamera camera;
    camera.displayName = WideString(n.Required("displayName"));
    camera.displayNameFails = OptionalBool(n, "displayNameFails", false);
    camera.friendlyName = OptionalWide(n, "friendlyName");
    camera.devicePath = OptionalWide(n, "devicePath");
    camera.propertyBag = OptionalBool(n, "propertyBag", true);
    camera.binds = OptionalBool(n, "binds", true);
    camera.topologyInfo = OptionalBool(n, "topologyInfo", true);
    camera.ksControl = OptionalBool(n, "ksControl", true);
    camera.nodeCountFails = OptionalBool(n, "nodeCountFails", false);
    if (n.Has("nodes")) {
        const Node nodes = n.Member("nodes");
        if (!nodes.Value().is_array())
            nodes.Fail("must be an array of nodes");
        for (std::size_t i = 0; i < nodes.Value().size(); ++i)
            camera.nodes.push_back(ReadNode(nodes.Element(i)));
    }
    if (n.Has("controls")) {
        const Node controls = n.Member("controls");
        if (!controls.Value().is_object())
            controls.Fail("must be an object keyed by extension-unit GUID");
        // The key each unit was given by, to name both when one GUID comes
        // twice in different letter cases.
        std::vector<const std::string*> unitKeys;
        for (auto it = controls.Value().begin(); it != controls.Value().end(); ++it) {
            const Node unit = controls.Member(it);
            const std::optional<Guid> guid = ParseRegistryGuid(it.key());
            if (!guid)
                unit.Fail("the key is not a GUID in registry form {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
            for (std::size_t k = 0; k < camera.controls.size(); ++k)
                if (camera.controls[k].guid == *guid)
                    unit.Fail("this GUID is given twice, also as \"" + *unitKeys[k] + "\"");
            bool known = false;
            for (const ScenarioNode& node : camera.nodes)
                known = known || (node.isExtensionUnit && node.guid == *guid);
            if (!known)
                unit.Fail("no extension-unit node of this camera has this GUID");
            if (!unit.Value().is_object())
                unit.Fail("must be an object keyed by control selector");
            ScenarioUnitControls entry;
            entry.guid = *guid;
            std::map<std::uint8_t, const std::string*> selectorKeys;
            for (auto sel = unit.Value().begin(); sel != unit.Value().end(); ++sel) {
                const Node control = unit.Member(sel);
                const std::uint8_t selector = SelectorKey(control, sel.key());
                if (const auto first = selectorKeys.find(selector); first != selectorKeys.end())
                    control.Fail("control selector " + std::to_string(selector) +
                                 " is given twice, also as \"" + *first->second + "\"");
                selectorKeys[selector] = &sel.key();
                entry.selectors[selector] = ReadControl(control);
            }
            camera.controls.push_back(std::move(entry));
            unitKeys.push_back(&it.key());
        }
    }
    if (n.Has("setup"))
        camera.setup = ReadSetup(n.Member("setup"));
    return camera;
}

// The selectors scenario cameras declare for a unit, for the descriptors built
// from an "extensionUnits" list.
const ScenarioUnitControls* FindUnitControls(const std::vector<ScenarioCamera>& cameras, const Guid& guid)
{
    for (const ScenarioCamera& camera : cameras)
        for (const ScenarioUnitControls& unit : camera.controls)
            if (unit.guid == guid)
                return &unit;
    return nullptr;
}

// The deepest tier a hub may sit on: USB has at most seven tiers, the root
// hub's being the first and the last one holding only devices.
constexpr unsigned kMaxHubTier = 6;

class UsbReader {
public:
    explicit UsbReader(const std::vector<ScenarioCamera>& cameras) : cameras_(cameras) {}

    ScenarioController ReadController(const Node& n)
    {
        n.ExpectObject({"index", "opens", "driverKey", "driverKeyFails", "rootHub", "rootHubFails", "hub"});
        ScenarioController controller;
        controller.index = std::uint32_t(Integer(n.Required("index"), 0, 99));
        controller.opens = OptionalBool(n, "opens", true);
        controller.driverKey = OptionalWide(n, "driverKey");
        controller.driverKeyFails = OptionalBool(n, "driverKeyFails", false);
        controller.rootHubFails = OptionalBool(n, "rootHubFails", false);
        std::string rootName;
        if (n.Has("rootHub"))
            rootName = HubName(n.Member("rootHub"));
        if (n.Has("hub")) {
            controller.hub = ReadHub(n.Member("hub"), 1);
            controller.hub->name = rootName;
        } else if (!rootName.empty()) {
            n.Fail("a controller with a \"rootHub\" name needs its \"hub\"");
        }
        return controller;
    }

private:
    std::string HubName(const Node& n)
    {
        const std::string name = String(n);
        if (name.empty())
            n.Fail("a hub name must not be empty");
        for (char c : name)
            if (c < 0x21 || c > 0x7E)
                n.Fail("a hub name must be printable ASCII without blanks");
        if (!hubNames_.insert(name).second)
            n.Fail("the hub name \"" + name + "\" is used twice");
        return name;
    }

    // A hub on the given tier: the root hub is on the first.
    std::unique_ptr<ScenarioHub> ReadHub(const Node& n, unsigned tier)
    {
        n.ExpectObject({"ports", "opens", "nodeInfoFails", "children"});
        auto hub = std::make_unique<ScenarioHub>();
        hub->ports = std::uint32_t(Integer(n.Required("ports"), 0, 255));
        hub->opens = OptionalBool(n, "opens", true);
        hub->nodeInfoFails = OptionalBool(n, "nodeInfoFails", false);
        if (n.Has("children")) {
            const Node children = n.Member("children");
            if (!children.Value().is_object())
                children.Fail("must be an object keyed by port number");
            std::map<unsigned, const std::string*> portKeys;
            for (auto it = children.Value().begin(); it != children.Value().end(); ++it) {
                const Node child = children.Member(it);
                unsigned port = 0;
                bool digits = !it.key().empty() && it.key().size() <= 3;
                for (char c : it.key()) {
                    digits = digits && c >= '0' && c <= '9';
                    port = port * 10 + unsigned(c - '0');
                }
                if (!digits || port < 1 || port > hub->ports)
                    child.Fail("port \"" + it.key() + "\" is out of range: this hub has " +
                               (hub->ports == 0 ? std::string("no ports")
                                                : "ports 1 to " + std::to_string(hub->ports)));
                if (const auto first = portKeys.find(port); first != portKeys.end())
                    child.Fail("port " + std::to_string(port) + " is given twice, also as \"" +
                               *first->second + "\"");
                portKeys[port] = &it.key();
                hub->children[port] = ReadPortDevice(child, tier);
            }
        }
        return hub;
    }

    // A device on a port of a hub on the given tier.
    ScenarioPortDevice ReadPortDevice(const Node& n, unsigned hubTier)
    {
        n.ExpectObject({"idVendor", "idProduct", "driverKey", "connectionInfoFails", "status", "hub",
                        "childName", "config"});
        ScenarioPortDevice device;
        device.idVendor = std::uint16_t(HexOrInteger(n.Required("idVendor"), 0xFFFF));
        device.idProduct = std::uint16_t(HexOrInteger(n.Required("idProduct"), 0xFFFF));
        device.driverKey = OptionalWide(n, "driverKey");
        device.connectionInfoFails = OptionalBool(n, "connectionInfoFails", false);
        if (n.Has("status"))
            device.status = std::uint32_t(Integer(n.Member("status"), 0, 255));
        if (n.Has("childName"))
            device.childName = HubName(n.Member("childName"));
        if (n.Has("hub")) {
            // A device may sit at most on the seventh tier, counting the root
            // hub as the first, so a hub on the seventh would serve nothing.
            if (hubTier + 1 > kMaxHubTier)
                n.Member("hub").Fail("USB allows at most " + std::to_string(kMaxHubTier - 1) +
                                     " hubs between the root hub and a device (" +
                                     std::to_string(kMaxHubTier + 1) +
                                     " tiers, root hub and device included); this would be the " +
                                     std::to_string(hubTier) + "th");
            device.hub = ReadHub(n.Member("hub"), hubTier + 1);
            if (device.childName)
                device.hub->name = *device.childName;
        }
        if (n.Has("config"))
            device.config = ReadConfig(n.Member("config"));
        return device;
    }

    ScenarioConfig ReadConfig(const Node& n)
    {
        n.ExpectObject({"hex", "extensionUnits", "extra", "firstRequestFails", "shortFirstAnswer",
                        "totalLength", "secondRequestFails", "changedTotalLength"});
        ScenarioConfig config;
        if (n.Has("hex")) {
            if (n.Has("extensionUnits") || n.Has("extra"))
                n.Fail("give either \"hex\" or \"extensionUnits\" (with \"extra\"), not both");
            config.bytes = HexBytes(n.Member("hex"));
            if (config.bytes.size() > 0xFFFF)
                n.Member("hex").Fail("a configuration descriptor holds at most 65535 bytes");
        } else {
            std::vector<ScenarioExtensionUnit> units;
            if (n.Has("extensionUnits")) {
                const Node list = n.Member("extensionUnits");
                if (!list.Value().is_array())
                    list.Fail("must be an array of extension units");
                for (std::size_t i = 0; i < list.Value().size(); ++i)
                    units.push_back(ReadExtensionUnit(list.Element(i)));
            }
            const std::vector<std::uint8_t> extra =
                n.Has("extra") ? HexBytes(n.Member("extra")) : std::vector<std::uint8_t>{};
            config.bytes = BuildUvcConfiguration(units, extra);
            if (config.bytes.empty())
                n.Fail("the configuration descriptor would be longer than 65535 bytes");
        }
        config.firstRequestFails = OptionalBool(n, "firstRequestFails", false);
        config.shortFirstAnswer = OptionalBool(n, "shortFirstAnswer", false);
        config.secondRequestFails = OptionalBool(n, "secondRequestFails", false);
        if (n.Has("totalLength"))
            config.totalLength = std::uint16_t(Integer(n.Member("totalLength"), 0, 0xFFFF));
        if (n.Has("changedTotalLength"))
            config.changedTotalLength = std::uint16_t(Integer(n.Member("changedTotalLength"), 0, 0xFFFF));
        return config;
    }

    ScenarioExtensionUnit ReadExtensionUnit(const Node& n)
    {
        n.ExpectObject({"unitId", "guid", "inPins", "controlSize", "numControls", "bmControls"});
        ScenarioExtensionUnit unit;
        unit.unitId = std::uint8_t(Integer(n.Required("unitId"), 1, 255));
        unit.guid = GuidValue(n.Required("guid"));
        if (n.Has("inPins"))
            unit.inPins = std::uint8_t(Integer(n.Member("inPins"), 0, 8));
        if (n.Has("controlSize"))
            unit.controlSize = std::uint8_t(Integer(n.Member("controlSize"), 0, 32));
        // By default the unit declares the selectors the cameras give it.
        unit.bmControls.assign(unit.controlSize, 0);
        if (const ScenarioUnitControls* controls = FindUnitControls(cameras_, unit.guid)) {
            unit.numControls = std::uint8_t(controls->selectors.size());
            for (const auto& [selector, control] : controls->selectors) {
                const std::size_t bit = selector - 1u;
                if (bit / 8 < unit.bmControls.size())
                    unit.bmControls[bit / 8] |= std::uint8_t(1u << (bit % 8));
            }
        }
        if (n.Has("numControls"))
            unit.numControls = std::uint8_t(Integer(n.Member("numControls"), 0, 255));
        if (n.Has("bmControls")) {
            unit.bmControls = HexBytes(n.Member("bmControls"));
            if (unit.bmControls.size() != unit.controlSize)
                n.Member("bmControls")
                    .Fail("must hold exactly controlSize (" + std::to_string(unit.controlSize) + ") bytes");
        }
        return unit;
    }

    const std::vector<ScenarioCamera>& cameras_;
    std::set<std::string> hubNames_;
};

// Every extension unit descriptor of a configuration, for the probe answers.
void CollectUnitDescriptors(const std::vector<std::uint8_t>& bytes,
                            std::vector<std::pair<Guid, std::vector<std::uint8_t>>>& out)
{
    for (std::size_t at = 0; at + 2 <= bytes.size();) {
        const std::size_t length = bytes[at];
        if (length == 0 || length > bytes.size() - at)
            break;
        if (length >= 21 && bytes[at + 1] == 0x24 && bytes[at + 2] == 0x06)
            out.emplace_back(Guid::FromBytes(&bytes[at + 4]),
                             std::vector<std::uint8_t>(bytes.begin() + std::ptrdiff_t(at + 20),
                                                       bytes.begin() + std::ptrdiff_t(at + length)));
        at += length;
    }
}

void CollectFromHub(const ScenarioHub& hub, std::vector<std::pair<Guid, std::vector<std::uint8_t>>>& out)
{
    for (const auto& [port, device] : hub.children) {
        if (device.config)
            CollectUnitDescriptors(device.config->bytes, out);
        if (device.hub)
            CollectFromHub(*device.hub, out);
    }
}

// The answer of a unit whose GUID no configuration declares: what a one-pin
// unit behind the processing unit with two bytes of controls would hold.
std::vector<std::uint8_t> SynthesizedUnitInfo(const ScenarioCamera& camera, const Guid& guid)
{
    std::uint8_t count = 0;
    std::uint8_t bm[2] = {0, 0};
    for (const ScenarioUnitControls& unit : camera.controls) {
        if (unit.guid != guid)
            continue;
        count = std::uint8_t(unit.selectors.size());
        for (const auto& [selector, control] : unit.selectors)
            if (selector <= 16)
                bm[(selector - 1) / 8] |= std::uint8_t(1u << ((selector - 1) % 8));
    }
    return {count, 1, 2, 2, bm[0], bm[1], 0};
}

Scenario ReadScenario(const Json& root, const std::string& name)
{
    const Node top(root);
    top.ExpectObject(
        {"description", "enumeratorFails", "classEnumeratorFails", "setupListFails", "cameras", "usb"});
    Scenario scenario;
    scenario.name = name;
    if (top.Has("description"))
        scenario.description = String(top.Member("description"));
    scenario.enumeratorFails = OptionalBool(top, "enumeratorFails", false);
    scenario.classEnumeratorFails = OptionalBool(top, "classEnumeratorFails", false);
    scenario.setupListFails = OptionalBool(top, "setupListFails", false);

    const Node cameras = top.Required("cameras");
    if (!cameras.Value().is_array())
        cameras.Fail("must be an array of cameras");
    for (std::size_t i = 0; i < cameras.Value().size(); ++i)
        scenario.cameras.push_back(ReadCamera(cameras.Element(i)));

    if (top.Has("usb")) {
        const Node usb = top.Member("usb");
        usb.ExpectObject({"controllers"});
        const Node controllers = usb.Required("controllers");
        if (!controllers.Value().is_array())
            controllers.Fail("must be an array of host controllers");
        UsbReader reader(scenario.cameras);
        std::set<std::uint32_t> indexes;
        for (std::size_t i = 0; i < controllers.Value().size(); ++i) {
            const Node entry = controllers.Element(i);
            ScenarioController controller = reader.ReadController(entry);
            if (!indexes.insert(controller.index).second)
                entry.Member("index").Fail("host controller " + std::to_string(controller.index) +
                                           " is given twice");
            scenario.controllers.push_back(std::move(controller));
        }
    }

    std::vector<std::pair<Guid, std::vector<std::uint8_t>>> descriptors;
    for (const ScenarioController& controller : scenario.controllers)
        if (controller.hub)
            CollectFromHub(*controller.hub, descriptors);
    for (ScenarioCamera& camera : scenario.cameras) {
        for (ScenarioNode& node : camera.nodes) {
            if (!node.isExtensionUnit)
                continue;
            node.unitInfo = SynthesizedUnitInfo(camera, node.guid);
            for (const auto& [guid, tail] : descriptors) {
                if (guid == node.guid) {
                    node.unitInfo = tail;
                    break;
                }
            }
        }
    }
    return scenario;
}

}  // namespace

ScenarioLoad LoadScenarioText(const std::string& text, const std::string& nameForMessages)
{
    ScenarioLoad load;
    // The JSON parser takes a NUL byte for the end of the text and would
    // quietly ignore whatever follows it.
    if (const std::size_t nul = text.find('\0'); nul != std::string::npos) {
        const std::size_t lineStart = text.rfind('\n', nul);
        const std::size_t line =
            1 + std::size_t(std::count(text.begin(), text.begin() + std::ptrdiff_t(nul), '\n'));
        const std::size_t column = lineStart == std::string::npos ? nul + 1 : nul - lineStart;
        load.error = nameForMessages + ": not valid JSON: a NUL byte at line " + std::to_string(line) +
                     ", column " + std::to_string(column);
        return load;
    }
    TreeBuilder builder;
    bool parsed = false;
    try {
        parsed = Json::sax_parse(text, &builder);
    } catch (const Json::exception& e) {
        // The parser reports its errors to the builder; this is for safety.
        load.error = nameForMessages + ": not valid JSON: " + ParseErrorText(e.what());
        return load;
    }
    if (!parsed) {
        load.error = nameForMessages + ": " + builder.Error();
        return load;
    }
    try {
        load.scenario = std::make_shared<const Scenario>(ReadScenario(builder.Root(), nameForMessages));
    } catch (const LoadError& e) {
        load.error = nameForMessages + ": " + (e.place.empty() ? "top level" : e.place) + ": " + e.what;
    } catch (const Json::exception& e) {
        load.error = nameForMessages + ": " + ParseErrorText(e.what());
    }
    return load;
}

ScenarioLoad LoadScenarioFile(const std::string& path)
{
    // The name is UTF-8 on every system (on Windows a std::string path would
    // be read in the ANSI code page).
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    std::error_code ignored;
    if (std::filesystem::is_directory(file, ignored)) {
        ScenarioLoad load;
        load.error = path + ": is a directory, not a scenario file";
        return load;
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        ScenarioLoad load;
        load.error = path + ": cannot be opened for reading";
        return load;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        ScenarioLoad load;
        load.error = path + ": cannot be read";
        return load;
    }
    return LoadScenarioText(text.str(), path);
}

}  // namespace norvik
