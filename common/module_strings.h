// The string table of the running module (program or tab module). Every user-visible text comes
// from the string table of the module that shows it, in English, French and Japanese under the
// same identifiers.
//
// On Windows the strings are the module's own resources (LoadStringW on the module that contains
// the calling code). Natively the module's resource script is turned into a table at build time
// (tools/rc_strings.py) and linked into that module only; QUARRO_LANGUAGE (en, fr, ja) picks the
// language, English by default.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#if defined(_WIN32)
#define QUARRO_MODULE_LOCAL
#else
#define QUARRO_MODULE_LOCAL __attribute__((visibility("hidden")))
#endif

namespace quarro::resources {

struct StringEntry {
    std::uint16_t language;  // primary language id: 0x09 English, 0x0C French, 0x11 Japanese
    std::uint32_t id;
    const char16_t* text;
};

// Defined by the generated table of each native module.
QUARRO_MODULE_LOCAL const StringEntry* ModuleStringEntries(std::size_t* count);

// The string `id` of this module; empty when there is none.
std::u16string LoadModuleString(std::uint32_t id);
// LoadStringW: copies at most units - 1 characters and terminates; returns the characters
// copied, 0 when there is no such string.
int LoadModuleString(std::uint32_t id, char16_t* buffer, int units);
// LoadStringA: the string in the ANSI code page.
std::string LoadModuleStringAnsi(std::uint32_t id);

}  // namespace quarro::resources
