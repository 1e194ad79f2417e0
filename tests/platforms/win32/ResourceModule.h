#pragma once
// The module that carries the program's resources for the tests: the
// NorvikResources.dll built beside the test programs.

#include <string>

#include "platforms/win32/WindowsApi.h"

namespace norvik::test {

inline HMODULE ResourceModule()
{
    static HMODULE module = [] {
        wchar_t self[MAX_PATH] = {};
        ::GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring path = self;
        path.resize(path.find_last_of(L"\\/") + 1);
        return ::LoadLibraryW((path + L"NorvikResources.dll").c_str());
    }();
    return module;
}

}  // namespace norvik::test
