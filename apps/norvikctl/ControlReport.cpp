#include "apps/norvikctl/ControlReport.h"

#include <algorithm>
#include <cstdio>

#include "runtime/Utf8.h"
#include "session/Codecs.h"

namespace norvik::ctl {

namespace {

using Json = nlohmann::ordered_json;

// The value items in column order.
constexpr ControlItem kValueItems[] = {ControlItem::Cur, ControlItem::Min, ControlItem::Max, ControlItem::Res,
                                       ControlItem::Def};

std::string Capabilities(std::uint8_t info)
{
    std::string joined;
    for (const std::string& name : InfoCapabilities(info))
        joined += (joined.empty() ? "" : ",") + name;
    return joined;
}

}  // namespace

std::string ItemCell(const QueryItem& item)
{
    if (!item.available)
        return "-";
    return WideToUtf8(FormatHexBytes(item.bytes.data(), item.bytes.size()));
}

std::string InfoCell(const QueryItem& info)
{
    if (!info.available || info.bytes.empty())
        return "-";
    char hex[4];
    std::snprintf(hex, sizeof hex, "%02X", unsigned(info.bytes[0]));
    const std::string names = Capabilities(info.bytes[0]);
    return names.empty() ? hex : std::string(hex) + " " + names;
}

std::vector<std::string> ControlTable(const std::vector<ControlDescription>& controls)
{
    std::vector<std::vector<std::string>> rows;
    rows.push_back({"selector", "length", "info", "cur", "min", "max", "res", "def"});
    for (const ControlDescription& control : controls) {
        std::vector<std::string> row{std::to_string(control.selector),
                                     control.len.available ? std::to_string(control.length) : "-",
                                     InfoCell(control.info)};
        for (ControlItem item : kValueItems)
            row.push_back(ItemCell(control.Item(item)));
        rows.push_back(std::move(row));
    }
    std::vector<std::size_t> widths(rows[0].size(), 0);
    for (const auto& row : rows)
        for (std::size_t i = 0; i < row.size(); ++i)
            widths[i] = std::max(widths[i], row[i].size());
    std::vector<std::string> lines;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size())
                line += std::string(widths[i] - row[i].size() + 2, ' ');
        }
        line.erase(line.find_last_not_of(' ') + 1);
        lines.push_back(std::move(line));
    }
    return lines;
}

std::vector<std::string> ControlLines(const ControlDescription& control)
{
    std::vector<std::string> lines{"selector: " + std::to_string(control.selector)};
    for (ControlItem item : kControlItems) {
        const QueryItem& answer = control.Item(item);
        std::string value;
        if (!answer.available)
            value = "not available: " + WideToUtf8(answer.failureText);
        else if (item == ControlItem::Len)
            value = std::to_string(control.length);
        else if (item == ControlItem::Info)
            value = InfoCell(answer);
        else
            value = ItemCell(answer);
        lines.push_back(std::string(ControlItemName(item)) + ": " + value);
    }
    return lines;
}

Json ControlJson(const ControlDescription& control)
{
    Json object;
    object["selector"] = control.selector;
    object["length"] = control.len.available ? Json(control.length) : Json(nullptr);
    const bool haveInfo = control.info.available && !control.info.bytes.empty();
    object["info"] = haveInfo ? Json(control.info.bytes[0]) : Json(nullptr);
    Json caps = Json::array();
    if (haveInfo)
        for (const std::string& name : InfoCapabilities(control.info.bytes[0]))
            caps.push_back(name);
    object["caps"] = std::move(caps);
    for (ControlItem item : kValueItems) {
        const QueryItem& answer = control.Item(item);
        object[ControlItemName(item)] = answer.available ? Json(ItemCell(answer)) : Json(nullptr);
    }
    Json failures = Json::object();
    for (ControlItem item : kControlItems) {
        const QueryItem& answer = control.Item(item);
        if (!answer.available)
            failures[ControlItemName(item)] = WideToUtf8(answer.failureText);
    }
    object["failures"] = std::move(failures);
    return object;
}

}  // namespace norvik::ctl
