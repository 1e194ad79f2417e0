#include "session/ControlInfo.h"

namespace norvik {

const char* ControlItemName(ControlItem item)
{
    switch (item) {
    case ControlItem::Len:
        return "len";
    case ControlItem::Info:
        return "info";
    case ControlItem::Cur:
        return "cur";
    case ControlItem::Min:
        return "min";
    case ControlItem::Max:
        return "max";
    case ControlItem::Res:
        return "res";
    case ControlItem::Def:
        return "def";
    }
    return "";
}

const char* ControlQueryName(ControlQuery kind)
{
    switch (kind) {
    case ControlQuery::Info:
        return "info";
    case ControlQuery::Min:
        return "min";
    case ControlQuery::Max:
        return "max";
    case ControlQuery::Res:
        return "res";
    case ControlQuery::Def:
        return "def";
    }
    return "";
}

std::optional<ControlQuery> ControlQueryByName(const std::string& name)
{
    for (ControlQuery kind :
         {ControlQuery::Info, ControlQuery::Min, ControlQuery::Max, ControlQuery::Res, ControlQuery::Def})
        if (name == ControlQueryName(kind))
            return kind;
    return std::nullopt;
}

std::vector<std::string> InfoCapabilities(std::uint8_t info)
{
    static const char* const kBitNames[] = {"get",        "set",   "auto-disabled",
                                            "autoupdate", "async", "commit-disabled"};
    std::vector<std::string> names;
    for (unsigned bit = 0; bit < 6; ++bit)
        if (info & (1u << bit))
            names.emplace_back(kBitNames[bit]);
    return names;
}

std::optional<std::vector<std::uint8_t>> DeclaredSelectors(const std::uint8_t* unitInfo, std::size_t size)
{
    // bNumControls, bNrInPins: then p source ids, bControlSize, n bytes.
    if (!unitInfo || size < 2)
        return std::nullopt;
    const std::size_t pins = unitInfo[1];
    const std::size_t sizeAt = 2 + pins;
    if (size <= sizeAt)
        return std::nullopt;
    const std::size_t controlSize = unitInfo[sizeAt];
    if (size < sizeAt + 1 + controlSize)
        return std::nullopt;
    std::vector<std::uint8_t> selectors;
    for (std::size_t byte = 0; byte < controlSize; ++byte)
        for (unsigned bit = 0; bit < 8; ++bit) {
            const std::size_t selector = byte * 8 + bit + 1;
            if (selector <= 255 && (unitInfo[sizeAt + 1 + byte] & (1u << bit)))
                selectors.push_back(std::uint8_t(selector));
        }
    return selectors;
}

}  // namespace norvik
