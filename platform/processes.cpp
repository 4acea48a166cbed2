#include "platform/processes.h"

namespace quarro::platform {

namespace {

char16_t Lower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

bool StartsWithNoCase(const std::u16string& text, const std::u16string& prefix) {
    if (prefix.empty() || prefix.size() > text.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (Lower(text[i]) != Lower(prefix[i])) return false;
    }
    return true;
}

}  // namespace

std::u16string DevicePathToDosPath(const std::u16string& path, const std::vector<DosDevice>& devices) {
    for (const DosDevice& device : devices) {
        const std::u16string& name = device.second;
        // "\Device\HarddiskVolume1" must not claim "\Device\HarddiskVolume10\...".
        if (StartsWithNoCase(path, name) && (path.size() == name.size() || path[name.size()] == u'\\')) {
            return device.first + path.substr(name.size());
        }
    }
    return path;
}

}  // namespace quarro::platform
