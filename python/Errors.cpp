#include "python/Errors.h"

#include <string>

namespace py = pybind11;

namespace norvik::python {

namespace {

// norvik.Error, made at import and kept for the life of the process.
PyObject* g_errorType = nullptr;

}  // namespace

void AddErrorType(py::module_& module)
{
    // A RuntimeError: the failures are the session's refusals and the
    // devices' answers, whose codes are HRESULTs, not errno values, so
    // OSError's errno/strerror/filename would be wrong or empty.
    g_errorType = PyErr_NewExceptionWithDoc(
        "norvik.Error",
        "A failed Norvik operation. .text is the text the Norvik dialog shows for it, byte for byte "
        "(str(error) is the same without its line end); .hresult is the platform's result code where a "
        "request was made, else 0; .failure is a norvik.Failure.",
        PyExc_RuntimeError, nullptr);
    if (!g_errorType)
        throw py::error_already_set();
    module.attr("Error") = py::reinterpret_borrow<py::object>(g_errorType);
}

void RaiseFailure(const Result& result)
{
    std::string message = result.text;
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    py::object type = py::reinterpret_borrow<py::object>(g_errorType);
    py::object error = type(py::str(message));
    error.attr("text") = py::str(result.text);
    error.attr("hresult") = py::int_(result.hresult);
    error.attr("failure") = py::cast(result.failure);
    PyErr_SetObject(g_errorType, error.ptr());
    throw py::error_already_set();
}

}  // namespace norvik::python
