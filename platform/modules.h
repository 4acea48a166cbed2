// The module concern: the running program's file name and run-time loading of libraries.
#pragma once

#include <cstdint>
#include <string>

namespace quarro::platform {

using LibraryHandle = std::uintptr_t;

class IModules {
public:
    virtual ~IModules() = default;
    // GetModuleFileNameW(NULL): the full path of the running program.
    virtual std::u16string ProgramFileName() = 0;
    // LoadLibraryW by name. With quietErrors the system's "file not found" box is suppressed
    // (SetErrorMode(SEM_NOOPENFILEERRORBOX) around the load, the previous mode restored). 0 on failure. Natively "Facet01.dll" names libFacet01.so beside
    // the program.
    virtual LibraryHandle Load(const char16_t* name, bool quietErrors) = 0;
    // GetProcAddress; null when the export is missing.
    virtual void* GetExport(LibraryHandle library, const char* name) = 0;
    virtual void Free(LibraryHandle library) = 0;
};

}  // namespace quarro::platform
