// For the Windows tests that load a product module: where the build put it, and its exports.
#pragma once

#include <windows.h>

#include <string>

namespace quarro::wintests {

// `name` in the build's bin\ folder: the tests run from <build>\tests\.
inline std::wstring ProductModulePath(const wchar_t* name) {
    wchar_t program[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring dir(program);
    dir = dir.substr(0, dir.find_last_of(L'\\'));      // ...\tests
    dir = dir.substr(0, dir.find_last_of(L'\\') + 1);  // the build folder
    return dir + L"bin\\" + name;
}

// The export `name` of `module` as a `Proc`, through void (*)(), the type any function pointer may
// pass through; null when the module has no such export.
template <typename Proc>
Proc Export(HMODULE module, const char* name) {
    return reinterpret_cast<Proc>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace quarro::wintests
