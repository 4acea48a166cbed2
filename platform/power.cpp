#include "platform/power.h"

#include <cstdio>
#include <cstring>

namespace quarro::platform {

namespace {

const char* const kFunctionNames[static_cast<int>(PowerFunction::kCount)] = {
    "PowerGetActiveScheme",       "PowerReadFriendlyName",         "PowerReadACValueIndex",
    "PowerReadDCValueIndex",      "PowerEnumerate",                "PowerReadPossibleFriendlyName",
    "PowerReadValueUnitsSpecifier", "PowerReadACDefaultIndex",     "PowerReadDCDefaultIndex",
    "PowerReadSettingAttributes",
};

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

bool PowerGuid::operator==(const PowerGuid& other) const {
    return data1 == other.data1 && data2 == other.data2 && data3 == other.data3 &&
           std::memcmp(data4, other.data4, sizeof data4) == 0;
}

bool ParsePowerGuid(const std::string& text, PowerGuid* guid) {
    std::string t = text;
    if (t.size() == 38 && t.front() == '{' && t.back() == '}') t = t.substr(1, 36);
    if (t.size() != 36 || t[8] != '-' || t[13] != '-' || t[18] != '-' || t[23] != '-') return false;
    std::uint8_t bytes[16];
    int n = 0;
    for (std::size_t i = 0; i < t.size();) {
        if (t[i] == '-') {
            ++i;
            continue;
        }
        const int hi = HexDigit(t[i]);
        const int lo = HexDigit(t[i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes[n++] = static_cast<std::uint8_t>(hi * 16 + lo);
        i += 2;
    }
    if (n != 16) return false;
    PowerGuid g;
    g.data1 = (std::uint32_t(bytes[0]) << 24) | (std::uint32_t(bytes[1]) << 16) | (std::uint32_t(bytes[2]) << 8) |
              bytes[3];
    g.data2 = static_cast<std::uint16_t>((bytes[4] << 8) | bytes[5]);
    g.data3 = static_cast<std::uint16_t>((bytes[6] << 8) | bytes[7]);
    std::memcpy(g.data4, bytes + 8, 8);
    *guid = g;
    return true;
}

std::string FormatPowerGuid(const PowerGuid& g) {
    char text[40];
    std::snprintf(text, sizeof text, "%08x-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x", unsigned(g.data1),
                  unsigned(g.data2), unsigned(g.data3), g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4],
                  g.data4[5], g.data4[6], g.data4[7]);
    return text;
}

const char* PowerFunctionName(PowerFunction function) {
    const int i = static_cast<int>(function);
    if (i < 0 || i >= static_cast<int>(PowerFunction::kCount)) return "";
    return kFunctionNames[i];
}

}  // namespace quarro::platform
