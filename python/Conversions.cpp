#include "python/Conversions.h"

#include <cstdio>
#include <limits>
#include <utility>

namespace py = pybind11;

namespace norvik::python {

std::string SelectorText(long long cs)
{
    if (cs < 0 || cs > std::numeric_limits<std::uint32_t>::max())
        throw py::value_error("cs must be between 0 and 4294967295 (only its low 8 bits count)");
    return std::to_string(cs);
}

std::uint8_t Selector(long long cs)
{
    SelectorText(cs);
    return std::uint8_t(cs & 0xFF);
}

QueryKind QueryKindOf(const std::string& name)
{
    static const std::pair<const char*, QueryKind> kinds[] = {{"info", QueryKind::Info},
                                                              {"min", QueryKind::Min},
                                                              {"max", QueryKind::Max},
                                                              {"res", QueryKind::Res},
                                                              {"def", QueryKind::Def}};
    for (const auto& [text, kind] : kinds)
        if (name == text)
            return kind;
    throw py::value_error("unknown query kind \"" + name +
                          "\" (the kinds are \"info\", \"min\", \"max\", "
                          "\"res\" and \"def\")");
}

py::dict ControlDict(const ControlRecord& record)
{
    const std::pair<const char*, const ControlValue*> items[] = {{"cur", &record.cur},
                                                                 {"min", &record.min},
                                                                 {"max", &record.max},
                                                                 {"res", &record.res},
                                                                 {"def", &record.def}};
    py::dict control;
    control["selector"] = record.selector;
    control["length"] = record.len.available ? py::object(py::int_(record.length)) : py::none();
    control["info"] = record.info.available && !record.info.bytes.empty()
                          ? py::object(py::int_(record.info.bytes[0]))
                          : py::none();
    py::list caps;
    for (const std::string& name : record.capabilities)
        caps.append(py::str(name));
    control["caps"] = caps;
    for (const auto& [name, value] : items)
        control[name] = value->available ? py::object(Bytes(value->bytes)) : py::none();
    py::dict failures;
    for (const auto& [name, value] : {std::pair<const char*, const ControlValue*>{"len", &record.len},
                                      {"info", &record.info},
                                      items[0],
                                      items[1],
                                      items[2],
                                      items[3],
                                      items[4]})
        if (!value->available)
            failures[name] = py::str(value->failureText);
    control["failures"] = failures;
    return control;
}

unsigned Position(long long value, const char* name)
{
    if (value < 0 || value > std::numeric_limits<std::uint32_t>::max())
        throw py::value_error(std::string(name) + " must be a position from 0");
    return unsigned(value);
}

std::string Utf8Of(const py::handle& text)
{
    Py_ssize_t size = 0;
    const char* bytes = PyUnicode_AsUTF8AndSize(text.ptr(), &size);
    if (!bytes)
        throw py::error_already_set();
    return std::string(bytes, std::size_t(size));
}

std::string HexPairs(const std::string& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (unsigned char byte : bytes) {
        if (!text.empty())
            text += ' ';
        text += digits[byte >> 4];
        text += digits[byte & 15];
    }
    return text;
}

py::bytes Bytes(const std::vector<std::uint8_t>& bytes)
{
    return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

std::string Hex4(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%04X", unsigned(value));
    return text;
}

}  // namespace norvik::python
