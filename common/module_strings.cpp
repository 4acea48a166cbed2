#include "common/module_strings.h"

#include <cstdlib>
#include <cstring>

#include "common/ansi.h"
#include "common/text.h"

#if defined(_WIN32)
#include "platform/module_resources.h"
#endif

namespace quarro::resources {

namespace {

#if defined(_WIN32)
// Any address inside this module: it names the module whose resources are meant.
void ModuleAnchor() {}
#else
std::uint16_t NativeLanguage() {
    const char* language = std::getenv("QUARRO_LANGUAGE");
    if (language && std::strcmp(language, "fr") == 0) return 0x0C;
    if (language && std::strcmp(language, "ja") == 0) return 0x11;
    return 0x09;
}
#endif

}  // namespace

std::u16string LoadModuleString(std::uint32_t id) {
#if defined(_WIN32)
    return platform::LoadResourceString(reinterpret_cast<const void*>(&ModuleAnchor), id);
#else
    std::size_t count = 0;
    const StringEntry* entries = ModuleStringEntries(&count);
    const std::uint16_t language = NativeLanguage();
    const char16_t* english = nullptr;
    for (std::size_t i = 0; i < count; ++i) {
        if (entries[i].id != id || !entries[i].text) continue;
        if (entries[i].language == language) return entries[i].text;
        if (entries[i].language == 0x09) english = entries[i].text;
    }
    return english ? english : u"";
#endif
}

int LoadModuleString(std::uint32_t id, char16_t* buffer, int units) {
    if (!buffer || units <= 0) return 0;
    const std::u16string text = LoadModuleString(id);
    return static_cast<int>(text::CopyBounded(buffer, static_cast<std::size_t>(units), text));
}

std::string LoadModuleStringAnsi(std::uint32_t id) { return text::ToAnsi(LoadModuleString(id)); }

}  // namespace quarro::resources
