#pragma once
// norvik.Unit: an open extension unit, named by its machine and the open
// that made it. Every call runs without the GIL.

#include <pybind11/pybind11.h>

#include <memory>
#include <string>
#include <vector>

#include <norvik/Norvik.h>

#include "python/Conversions.h"
#include "python/Errors.h"
#include "python/MachineCore.h"

namespace norvik::python {

namespace py = pybind11;

// A unit handed to Python: the machine it was opened on and which open.
class Unit {
public:
    Unit(std::shared_ptr<MachineCore> core, std::uint64_t generation, std::string openedAs)
        : core_(std::move(core)), generation_(generation), openedAs_(std::move(openedAs))
    {
    }

    Unit(const Unit&) = delete;
    Unit& operator=(const Unit&) = delete;

    // A unit Python lets go of is closed, as a file is.
    ~Unit()
    {
        py::gil_scoped_release release;
        core_->CloseUnit(generation_);
    }

    void Close()
    {
        py::gil_scoped_release release;
        core_->CloseUnit(generation_);
    }

    bool Closed()
    {
        py::gil_scoped_release release;
        return core_->StateOf(generation_) != UnitState::Open;
    }

    int Length(long long cs)
    {
        const std::string text = SelectorText(cs);
        Result result;
        std::uint16_t length = 0;
        Run(true, [&](Session& session) { result = session.Probe(text, &length); });
        Check(result);
        return length;
    }

    py::bytes Get(long long cs)
    {
        const std::string text = SelectorText(cs);
        Result result;
        std::vector<std::uint8_t> bytes;
        Run(true, [&](Session& session) {
            result = session.Get(text);
            if (result)
                bytes = session.Rows().back().bytes;
        });
        Check(result);
        return Bytes(bytes);
    }

    py::bytes Set(long long cs, const py::object& data)
    {
        const std::string text = SelectorText(cs);
        std::string sent;
        DataForm form = DataForm::Hex;
        if (py::isinstance<py::str>(data)) {
            sent = Utf8Of(data);
            if (sent.find('\0') != std::string::npos)
                throw py::value_error("data text must not contain NUL characters");
            form = DataForm::Text;
        } else if (PyObject_CheckBuffer(data.ptr())) {
            // bytes, bytearray, memoryview: sent as hex pairs, which the
            // session pads or cuts to the control's length.
            const py::buffer_info info = py::reinterpret_borrow<py::buffer>(data).request();
            if (info.ndim > 1 && info.strides.back() != info.itemsize)
                throw py::value_error("data must be a contiguous buffer");
            sent = HexPairs(
                std::string(static_cast<const char*>(info.ptr), std::size_t(info.size * info.itemsize)));
        } else {
            throw py::type_error("data must be bytes-like or str, not " +
                                 std::string(py::str(py::type::of(data).attr("__name__"))));
        }
        Result result;
        std::vector<std::uint8_t> bytes;
        Run(true, [&](Session& session) {
            TransferRow row;
            result = session.Set(text, sent, form, &row);
            if (result)
                bytes = std::move(row.bytes);
        });
        Check(result);
        return Bytes(bytes);
    }

    py::bytes Query(long long cs, const std::string& kindName)
    {
        const std::uint8_t selector = Selector(cs);
        const QueryKind kind = QueryKindOf(kindName);
        Result result;
        std::vector<std::uint8_t> bytes;
        Run(true, [&](Session& session) { result = session.Query(selector, kind, &bytes); });
        Check(result);
        return Bytes(bytes);
    }

    py::dict Describe(long long cs)
    {
        const std::uint8_t selector = Selector(cs);
        Result result;
        ControlRecord record;
        Run(true, [&](Session& session) { result = session.Describe(selector, &record); });
        Check(result);
        return ControlDict(record);
    }

    // Every declared control, described under one hold of the machine so
    // no other thread's open comes between them.
    py::list Controls()
    {
        Result result;
        std::vector<ControlRecord> records;
        Run(true, [&](Session& session) {
            std::vector<std::uint8_t> selectors;
            result = session.DeclaredSelectors(&selectors);
            for (std::size_t i = 0; result && i < selectors.size(); ++i) {
                records.emplace_back();
                result = session.Describe(selectors[i], &records.back());
            }
        });
        Check(result);
        py::list controls;
        for (const ControlRecord& record : records)
            controls.append(ControlDict(record));
        return controls;
    }

    std::vector<TransferRow> Log()
    {
        std::vector<TransferRow> rows;
        Run(false, [&](Session& session) { rows = session.Rows(); });
        return rows;
    }

    void ClearLog()
    {
        Run(false, [&](Session& session) { session.ClearRows(); });
    }

    py::bytes CsvBytes()
    {
        Result result;
        std::string bytes;
        Run(false, [&](Session& session) { result = session.CsvBytes(&bytes); });
        Check(result);
        return py::bytes(bytes);
    }

    std::string SaveCsv(const py::object& pathObject)
    {
        std::string path;
        if (!pathObject.is_none()) {
            py::object text = py::module_::import("os").attr("fspath")(pathObject);
            if (!py::isinstance<py::str>(text))
                throw py::type_error("path must be a str or a path object naming text");
            path = Utf8Of(text);
        }
        Result result;
        std::string name;
        Run(false, [&](Session& session) { result = session.SaveLog(path, &name); });
        Check(result);
        return name;
    }

    std::string Repr() { return "<norvik.Unit " + openedAs_ + (Closed() ? " closed>" : ">"); }

private:
    // Runs the operation without the GIL; a unit that cannot take it raises
    // ValueError, as a closed file does.
    template <class Operation>
    void Run(bool needOpen, Operation&& operation)
    {
        UnitState state;
        {
            py::gil_scoped_release release;
            state = core_->WithUnit(generation_, needOpen, operation);
        }
        switch (state) {
        case UnitState::Open:
            return;
        case UnitState::Closed:
            if (!needOpen)
                return;
            throw py::value_error("the unit is closed");
        case UnitState::Superseded:
            throw py::value_error(
                "another unit was opened on this machine since; this one is closed and its log is gone");
        case UnitState::MachineGone:
            throw py::value_error("the machine is closed");
        }
    }

    std::shared_ptr<MachineCore> core_;
    std::uint64_t generation_;
    std::string openedAs_;
};

}  // namespace norvik::python
