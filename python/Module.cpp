// The Python module "norvik": the Norvik session for test bench scripts.
// Machine, Unit and the records are thin wrappers over the public C++ API;
// every call that reaches a device runs with the GIL released.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <string>

#include <norvik/Norvik.h>

#include "python/Conversions.h"
#include "python/Errors.h"
#include "python/MachineObject.h"
#include "python/UnitObject.h"

namespace py = pybind11;
using norvik::python::AddErrorType;
using norvik::python::Bytes;
using norvik::python::Hex4;
using norvik::python::Machine;
using norvik::python::Unit;

namespace {

// A device's text that may be missing: None rather than "".
py::object TextOrNone(const std::string& text)
{
    return text.empty() ? py::object(py::none()) : py::str(text);
}

}  // namespace

PYBIND11_MODULE(norvik, m)
{
    m.doc() =
        "Norvik for test benches: find UVC cameras and their extension units, and SET and GET "
        "their vendor controls with the texts, timeouts and CSV bytes of the Norvik dialog.";
    m.attr("__version__") =
        std::to_string(norvik::kVersionMajor) + "." + std::to_string(norvik::kVersionMinor);

    py::enum_<norvik::Failure>(m, "Failure", "Why an operation failed (norvik.Error.failure).")
        .value("Conversion", norvik::Failure::Conversion, "The ANSI code page refused a text.")
        .value("NoSuchDevice", norvik::Failure::NoSuchDevice,
               "A device position beyond the discovered devices.")
        .value("NoSuchUnit", norvik::Failure::NoSuchUnit, "A unit position beyond the device's units.")
        .value("NotListed", norvik::Failure::NotListed, "A unit the dialog's list does not offer.")
        .value("BadGuidText", norvik::Failure::BadGuidText, "A text without a braced 36-character GUID.")
        .value("OpenFailed", norvik::Failure::OpenFailed, "The unit could not be opened.")
        .value("NoChannel", norvik::Failure::NoChannel, "No unit is open.")
        .value("EmptySelector", norvik::Failure::EmptySelector, "An empty control selector.")
        .value("ZeroSelector", norvik::Failure::ZeroSelector, "A control selector whose low 8 bits are 0.")
        .value("LengthProbe", norvik::Failure::LengthProbe, "The driver reported no length for the selector.")
        .value("EmptyData", norvik::Failure::EmptyData, "SET with empty data.")
        .value("Request", norvik::Failure::Request, "The SET, GET or class query failed (or timed out).")
        .value("EmptyLog", norvik::Failure::EmptyLog, "Saving a log without rows.")
        .value("FileNotCreated", norvik::Failure::FileNotCreated, "The CSV file could not be created.")
        .value("FileNotWritten", norvik::Failure::FileNotWritten,
               "The CSV file could not be written completely.")
        .value("BadScenario", norvik::Failure::BadScenario, "The scenario file could not be loaded.")
        .value("OutOfMemory", norvik::Failure::OutOfMemory, "Memory ran out.")
        .value("UnitInfo", norvik::Failure::UnitInfo, "The unit information could not be read.");

    AddErrorType(m);

    py::class_<norvik::UnitRecord>(m, "UnitInfo", "One extension unit of a device, as discovery found it.")
        .def_readonly("position", &norvik::UnitRecord::position,
                      "Position within the device's units, from 0.")
        .def_readonly("guid", &norvik::UnitRecord::guid,
                      "\"{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}\", upper case; all zero when not matched.")
        .def_readonly("unit_id", &norvik::UnitRecord::unitId, "bUnitID of the unit's descriptor.")
        .def_readonly("node", &norvik::UnitRecord::nodeId, "The node that answers the GUID.")
        .def_readonly("matched", &norvik::UnitRecord::matched,
                      "Whether a node answered the descriptor's GUID.")
        .def("__repr__", [](const norvik::UnitRecord& u) {
            return "<norvik.UnitInfo " + std::to_string(u.position) + " " + u.guid +
                   (u.matched ? "" : " not matched") + ">";
        });

    py::class_<norvik::DeviceRecord>(m, "Device", "One video capture device and its extension units.")
        .def_readonly("position", &norvik::DeviceRecord::position, "Position in discovery order, from 0.")
        .def_readonly("friendly_name", &norvik::DeviceRecord::friendlyName, "The device's friendly name.")
        .def_readonly("display_name", &norvik::DeviceRecord::displayName, "The name the device is bound by.")
        .def_readonly("vendor_id", &norvik::DeviceRecord::vendorId, "The USB vendor ID.")
        .def_readonly("product_id", &norvik::DeviceRecord::productId, "The USB product ID.")
        .def_readonly("has_matched_unit", &norvik::DeviceRecord::hasMatchedUnit,
                      "Whether a unit is matched: only such devices are listed and open by position.")
        .def_readonly("units", &norvik::DeviceRecord::units, "The extension units (list of UnitInfo).")
        .def_property_readonly(
            "location", [](const norvik::DeviceRecord& d) { return TextOrNone(d.location); },
            "Where the device is plugged in: the hub port (\"Port_#0002.Hub_#0001\"; Windows, simulated) or "
            "the USB port path (\"1-1.2\"; Linux); None when unknown.")
        .def_property_readonly(
            "video_node", [](const norvik::DeviceRecord& d) { return TextOrNone(d.videoNode); },
            "The V4L2 capture node (\"/dev/video0\"; Linux); None elsewhere.")
        .def_property_readonly(
            "serial", [](const norvik::DeviceRecord& d) { return TextOrNone(d.serial); },
            "The USB serial number string; None when the device has none.")
        .def("__repr__", [](const norvik::DeviceRecord& d) {
            return "<norvik.Device " + std::to_string(d.position) + " " + d.friendlyName + " (" +
                   Hex4(d.vendorId) + ":" + Hex4(d.productId) + "), " + std::to_string(d.units.size()) +
                   " units>";
        });

    py::class_<norvik::TransferRow>(m, "Row", "One SET or GET: its outcome and the six cells of its log row.")
        .def_readonly("is_set", &norvik::TransferRow::isSet, "True for a SET, False for a GET.")
        .def_readonly("ok", &norvik::TransferRow::ok, "Whether the transfer succeeded.")
        .def_readonly("line_number", &norvik::TransferRow::lineNumber, "1 for the unit's first transfer.")
        .def_readonly("selector", &norvik::TransferRow::selector, "The control selector.")
        .def_readonly("hresult", &norvik::TransferRow::hresult, "The request's result code.")
        .def_property_readonly(
            "bytes", [](const norvik::TransferRow& r) { return Bytes(r.bytes); },
            "The control's bytes as sent or as read.")
        .def_readonly("line", &norvik::TransferRow::line, "Cell \"Line\": the line number.")
        .def_readonly("direct", &norvik::TransferRow::direct,
                      "Cell \"Direct\": \"SET CS=n\" or \"GET CS=n\".")
        .def_readonly("data_hex", &norvik::TransferRow::dataHex,
                      "Cell \"Data(HEX)\": the bytes as hex pairs, or the failure text.")
        .def_readonly("data_string", &norvik::TransferRow::dataString,
                      "Cell \"Data(String)\": the bytes as text.")
        .def_readonly("device", &norvik::TransferRow::device, "Cell \"Device\": the device's friendly name.")
        .def_readonly("xu_guid", &norvik::TransferRow::xuGuid,
                      "Cell \"XU guid\": the unit's GUID, or the text as typed.")
        .def_property_readonly(
            "cells", [](const norvik::TransferRow& r) { return py::tuple(py::cast(r.Cells())); },
            "The six cells in the dialog's column order.")
        .def("__repr__",
             [](const norvik::TransferRow& r) { return "<norvik.Row " + r.line + " " + r.direct + ">"; });

    py::class_<Unit>(m, "Unit",
                     "An open extension unit (from Machine.open). A context manager that closes it. One unit "
                     "per machine is open at a time: opening another closes this one. Its log holds its "
                     "transfers from line 1.")
        .def("length", &Unit::Length, py::arg("cs"),
             "The data length of control selector cs, read from the driver (cached until another cs).")
        .def("get", &Unit::Get, py::arg("cs"), "Reads control cs; returns its bytes (the control's length).")
        .def("set", &Unit::Set, py::arg("cs"), py::arg("data"),
             "Writes control cs. bytes-like data is sent padded with zeros or cut to the control's length; "
             "str is sent as text in the ANSI code page. Returns the bytes sent.")
        .def(
            "query", &Unit::Query, py::arg("cs"), py::arg("kind"),
            "Asks control cs one class query: kind is \"info\" (one byte), \"min\", \"max\", \"res\" or "
            "\"def\" (the control's length). Returns the bytes; raises norvik.Error (its .hresult and .text) "
            "when the device refuses, ValueError for another kind. Adds no row to the log.")
        .def("describe", &Unit::Describe, py::arg("cs"),
             "Every class query of control cs as a dict: selector, length and info (int or None), caps (the "
             "names of the INFO bits set), cur, min, max, res and def (bytes or None) and failures (from "
             "\"len\", \"info\", \"cur\", ... to \"0x%08x: \" and the system's text). A refused item is None "
             "and named in failures, not raised.")
        .def("controls", &Unit::Controls,
             "describe() of every selector the unit declares (its descriptor's bmControls), lowest first. "
             "Raises norvik.Error (failure UnitInfo) when the unit information cannot be read.")
        .def_property_readonly("log", &Unit::Log, "The transfer log: a list of Row, one per SET or GET made.")
        .def("clear_log", &Unit::ClearLog, "Forgets the rows; the next transfer is line 1 again.")
        .def("csv_bytes", &Unit::CsvBytes, "The log as the dialog's save writes it, as bytes.")
        .def("save_csv", &Unit::SaveCsv, py::arg("path") = py::none(),
             "Writes the log as the dialog's save does, to path or, when None, to the dialog's file name "
             "in the current folder; returns the file name written.")
        .def("close", &Unit::Close, "Closes the unit; its log stays readable until the next open.")
        .def_property_readonly("closed", &Unit::Closed, "Whether the unit is closed.")
        .def(
            "__enter__", [](py::object self) { return self; }, "Returns the unit.")
        .def(
            "__exit__", [](Unit& unit, py::args) { unit.Close(); }, "Closes the unit.")
        .def("__repr__", &Unit::Repr);

    py::class_<Machine>(
        m, "Machine",
        "The cameras a script works on: Machine() for this computer's real cameras, "
        "Machine(sim=\"demo\") for the built-in demo, Machine(sim=path) for a scenario file. A "
        "bad scenario raises norvik.Error with the loader's message. Use one machine per thread.")
        .def(py::init<const py::object&>(), py::arg("sim") = py::none())
        .def_property_readonly("simulated", &Machine::Simulated, "Whether this is a simulated machine.")
        .def("discover", &Machine::Discover, py::arg("debug") = false,
             "Runs a discovery and returns the devices (list of Device); with debug=True, a tuple of the "
             "devices and the run's diagnostic lines (list of str).")
        .def(
            "open", &Machine::Open, py::arg("guid") = py::none(), py::kw_only(),
            py::arg("device") = py::none(), py::arg("unit") = py::none(),
            "Opens a unit: guid=\"{...}\" as a typed GUID opens (the first device with a node that answers), "
            "or device=, unit= as a picked list item opens (discovering first if this machine has not). "
            "Closes the unit opened before.")
        .def("close", &Machine::Close, "Lets go of the machine; its units are closed.")
        .def_property_readonly("closed", &Machine::Closed, "Whether the machine is closed.")
        .def(
            "__enter__", [](py::object self) { return self; }, "Returns the machine.")
        .def(
            "__exit__", [](Machine& machine, py::args) { machine.Close(); }, "Closes the machine.");
}
