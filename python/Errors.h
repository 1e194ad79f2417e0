#pragma once
// norvik.Error: a failed Result raised as a Python exception.

#include <pybind11/pybind11.h>

#include <norvik/Records.h>

namespace norvik::python {

// Makes norvik.Error (a RuntimeError) and adds it to the module.
void AddErrorType(pybind11::module_& module);

// Raises norvik.Error for a failed result: the message is the dialog's text
// without its line end; .text keeps it byte for byte, .hresult and .failure
// come with it.
[[noreturn]] void RaiseFailure(const Result& result);

// Raises when the result is a failure.
inline void Check(const Result& result)
{
    if (!result)
        RaiseFailure(result);
}

}  // namespace norvik::python
