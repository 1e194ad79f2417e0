#pragma once
// norvik.Machine: the platform a script works on, its discovery and opens.

#include <pybind11/pybind11.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <norvik/Norvik.h>

#include "python/Errors.h"
#include "python/MachineCore.h"
#include "python/UnitObject.h"

namespace norvik::python {

namespace py = pybind11;

// The machine a script works on.
class Machine {
public:
    explicit Machine(const py::object& sim)
    {
        std::optional<std::string> scenario;
        if (!sim.is_none()) {
            py::object path = py::module_::import("os").attr("fspath")(sim);
            if (!py::isinstance<py::str>(path))
                throw py::type_error("sim must be \"demo\" or a scenario file's path as str");
            scenario = path.cast<std::string>();
        }
        Result error;
        {
            py::gil_scoped_release release;
            core_ = MachineCore::Create(scenario, &error);
        }
        if (!core_)
            RaiseFailure(error);
    }

    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // Letting go of the platform may wait for a request still running.
    ~Machine()
    {
        py::gil_scoped_release release;
        core_.reset();
    }

    bool Simulated() const { return core_->IsSimulated(); }

    bool Closed()
    {
        py::gil_scoped_release release;
        return core_->IsClosed();
    }

    void Close()
    {
        py::gil_scoped_release release;
        core_->Close();
    }

    py::object Discover(bool debug)
    {
        std::vector<DeviceRecord> devices;
        std::string diagnostics;
        bool ran;
        {
            py::gil_scoped_release release;
            ran = core_->Discover(devices, debug ? &diagnostics : nullptr);
        }
        if (!ran)
            throw py::value_error("the machine is closed");
        py::list list = py::cast(devices);
        if (!debug)
            return list;
        py::str text = py::reinterpret_steal<py::str>(
            PyUnicode_DecodeUTF8(diagnostics.data(), Py_ssize_t(diagnostics.size()), "replace"));
        if (!text)
            throw py::error_already_set();
        return py::make_tuple(list, text.attr("splitlines")());
    }

    std::unique_ptr<Unit> Open(const std::optional<std::string>& guid, const std::optional<long long>& device,
                               const std::optional<long long>& unit)
    {
        MachineCore::Opened opened;
        std::string openedAs;
        if (guid) {
            if (device || unit)
                throw py::type_error("open() takes guid, or device and unit, not both");
            openedAs = *guid;
            py::gil_scoped_release release;
            opened = core_->OpenByGuid(*guid);
        } else {
            if (!device || !unit)
                throw py::type_error("open() needs guid=\"{...}\", or both device= and unit=");
            const unsigned d = Position(*device, "device");
            const unsigned u = Position(*unit, "unit");
            openedAs = "device " + std::to_string(d) + " unit " + std::to_string(u);
            py::gil_scoped_release release;
            opened = core_->OpenListed(d, u);
        }
        if (opened.machineClosed)
            throw py::value_error("the machine is closed");
        Check(opened.result);
        return std::make_unique<Unit>(core_, opened.generation, openedAs);
    }

private:
    std::shared_ptr<MachineCore> core_;
};

}  // namespace norvik::python
