// The installed-updates concern: the objects WMI returns for
// "SELECT * FROM Win32_QuickFixEngineering" in ROOT\CIMV2, with the two properties the programs
// read. A property that is not a string (absent, NULL, another type) is reported as such.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

namespace quarro::platform {

struct HotfixObject {
    bool hotFixIdIsString = false;
    std::u16string hotFixId;
    bool descriptionIsString = false;
    std::u16string description;
};

// Longest property text passed on, in characters; longer texts are cut (callers keep less).
inline constexpr std::size_t kHotfixTextMaxUnits = 1024;

class IHotfixes {
public:
    virtual ~IHotfixes() = default;

    // Runs the query and hands the objects to `visit` one at a time, in the order WMI returns
    // them, until `visit` returns false or there are no more. False when WMI could not be reached
    // or the query failed; objects already handed over stay handed over.
    virtual bool Query(const std::function<bool(const HotfixObject&)>& visit) = 0;
};

}  // namespace quarro::platform
