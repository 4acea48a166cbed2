#include "platform/sim/firmware_data.h"

#include <cstdio>
#include <limits>

#include "base/little_endian.h"
#include "platform/sim/code_page_1252.h"
#include "platform/utf8.h"

namespace quarro::platform::sim {

bool ParseNumber(const std::string& text, std::uint32_t* value) {
    if (text.empty() || !value) return false;
    std::uint64_t result = 0;
    std::size_t i = 0;
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        i = 2;
    }
    for (; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (base == 16 && c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (base == 16 && c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else {
            return false;
        }
        result = result * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digit);
        if (result > 0xFFFFFFFFull) return false;
    }
    *value = static_cast<std::uint32_t>(result);
    return true;
}

bool ParseHex(const std::string& text, std::vector<std::uint8_t>* bytes) {
    if (!bytes) return false;
    std::vector<std::uint8_t> result;
    int high = -1;
    for (char c : text) {
        int digit;
        if (c >= '0' && c <= '9') {
            digit = c - '0';
        } else if (c >= 'a' && c <= 'f') {
            digit = c - 'a' + 10;
        } else if (c >= 'A' && c <= 'F') {
            digit = c - 'A' + 10;
        } else if (c == ' ' || c == '-' || c == ':' || c == '\n' || c == '\t') {
            if (high >= 0) return false;  // separators only between whole bytes
            continue;
        } else {
            return false;
        }
        if (high < 0) {
            high = digit;
        } else {
            result.push_back(static_cast<std::uint8_t>(high * 16 + digit));
            high = -1;
        }
    }
    if (high >= 0) return false;
    *bytes = std::move(result);
    return true;
}

namespace json_read {

bool Number(const nlohmann::json& value, std::uint32_t max, std::uint32_t* out) {
    std::uint32_t result = 0;
    if (value.is_number_unsigned()) {
        const auto v = value.get<std::uint64_t>();
        if (v > 0xFFFFFFFFull) return false;
        result = static_cast<std::uint32_t>(v);
    } else if (value.is_number_integer()) {
        const auto v = value.get<std::int64_t>();
        if (v < 0 || v > 0xFFFFFFFFll) return false;
        result = static_cast<std::uint32_t>(v);
    } else if (!value.is_string() || !ParseNumber(value.get<std::string>(), &result)) {
        return false;
    }
    if (result > max) return false;
    *out = result;
    return true;
}

bool Hex(const nlohmann::json& value, std::vector<std::uint8_t>* out) {
    return value.is_string() && ParseHex(value.get<std::string>(), out);
}

const nlohmann::json* Member(const nlohmann::json* object, const char* name) {
    if (!object || !object->is_object()) return nullptr;
    auto it = object->find(name);
    if (it == object->end() || it->is_null()) return nullptr;
    return &*it;
}

}  // namespace json_read

std::uint16_t PackDate(int year, int month, int day) {
    if (year < 1980 || year > 2107 || month < 1 || month > 12 || day < 1 || day > 31) return 0;
    return static_cast<std::uint16_t>((year - 1980) * 512 + month * 32 + day);
}

std::vector<std::uint8_t> EncodeDeviceNames(const std::vector<DeviceName>& names) {
    std::vector<std::uint8_t> data;
    for (const DeviceName& name : names) {
        const std::size_t length = name.text.size() < 255 ? name.text.size() : 255;
        data.push_back(name.tag);
        data.push_back(static_cast<std::uint8_t>(length));
        data.insert(data.end(), name.text.begin(), name.text.begin() + static_cast<std::ptrdiff_t>(length));
    }
    return data;
}

namespace {

using json = nlohmann::json;
using json_read::Member;

// Reads one section's entries; every unusable entry becomes one problem line and is skipped.
class Reader {
public:
    explicit Reader(std::vector<std::string>* problems) : problems_(problems) {}

    void Problem(const std::string& where, const char* need) {
        if (problems_) problems_->push_back(where + ": " + need);
    }

    // A number field of `object` no larger than T holds (or `max`). Absent: *out stays, true.
    template <typename T>
    bool Field(const json& object, const char* name, T* out, std::uint32_t max = std::numeric_limits<T>::max()) {
        const json* value = Member(&object, name);
        if (!value) return true;
        std::uint32_t n = 0;
        if (!json_read::Number(*value, max, &n)) return false;
        *out = static_cast<T>(n);
        return true;
    }

    // A list of exactly N numbers, each at most what T holds.
    template <typename T, std::size_t N>
    bool NumberList(const json& value, std::array<T, N>* out) {
        if (!value.is_array() || value.size() != N) return false;
        for (std::size_t i = 0; i < N; ++i) {
            std::uint32_t n = 0;
            if (!json_read::Number(value[i], std::numeric_limits<T>::max(), &n)) return false;
            (*out)[i] = static_cast<T>(n);
        }
        return true;
    }

    // Exactly N bytes of hexadecimal text.
    template <std::size_t N>
    bool Bytes(const json& value, std::array<std::uint8_t, N>* out) {
        std::vector<std::uint8_t> bytes;
        if (!json_read::Hex(value, &bytes) || bytes.size() != N) return false;
        std::copy(bytes.begin(), bytes.end(), out->begin());
        return true;
    }

    // "YYYY-MM-DD" packed, or a number that is the packed date itself.
    bool Date(const json& object, const char* name, std::uint16_t* out) {
        const json* value = Member(&object, name);
        if (!value) return true;
        if (!value->is_string() || value->get<std::string>().find('-') == std::string::npos) {
            return Field(object, name, out);
        }
        int year = 0, month = 0, day = 0;
        char tail = 0;
        if (std::sscanf(value->get<std::string>().c_str(), "%4d-%2d-%2d%c", &year, &month, &day, &tail) != 3) {
            return false;
        }
        *out = PackDate(year, month, day);
        return *out != 0;
    }

    // Calls `read(key, value, where)` for every member of the object `name`; a key that is not a
    // number up to `maxKey`, or a member `read` refuses, is a problem.
    template <typename Read>
    void Keyed(const json* section, const char* name, std::uint32_t maxKey, const char* need, Read read) {
        const json* object = Member(section, name);
        if (!object) return;
        if (!object->is_object()) return Problem(name, "not an object");
        for (auto it = object->begin(); it != object->end(); ++it) {
            const std::string where = std::string(name) + "." + it.key();
            std::uint32_t key = 0;
            if (!ParseNumber(it.key(), &key) || key > maxKey || !read(key, it.value(), where)) Problem(where, need);
        }
    }

    // The same for command tables keyed by four argument bytes ("8D 00 01 00": "34 12 00 00").
    void Commands(const json* section, const char* name, std::map<std::uint32_t, std::uint32_t>* out) {
        const json* object = Member(section, name);
        if (!object) return;
        if (!object->is_object()) return Problem(name, "not an object");
        for (auto it = object->begin(); it != object->end(); ++it) {
            std::array<std::uint8_t, 4> key = {}, result = {};
            if (!Bytes(json(it.key()), &key) || !Bytes(it.value(), &result)) {
                Problem(std::string(name) + "." + it.key(), "needs four argument bytes and four result bytes");
                continue;
            }
            (*out)[bytes::Load32(key.data())] = bytes::Load32(result.data());
        }
    }

    // Runs `read` on the object `name` of the section; refused: a problem.
    template <typename Read>
    void Object(const json* section, const char* name, const char* need, Read read) {
        const json* value = Member(section, name);
        if (value && !read(*value)) Problem(name, need);
    }

private:
    std::vector<std::string>* problems_;
};

// One tagged name: {"tag": 1-5, "text": "..."} (ANSI tags in Windows-1252, wide tags in UTF-16)
// or {"tag": n, "hex": "..."} for bytes as they are (Japanese ANSI text, odd data).
bool ReadDeviceName(const json& entry, DeviceName* name) {
    std::uint32_t tag = 0;
    const json* tagValue = Member(&entry, "tag");
    if (!tagValue || !json_read::Number(*tagValue, 255, &tag) || tag == 0) return false;
    name->tag = static_cast<std::uint8_t>(tag);
    name->text.clear();
    if (const json* hex = Member(&entry, "hex")) {
        if (!json_read::Hex(*hex, &name->text)) return false;
    } else if (const json* text = Member(&entry, "text"); text && text->is_string()) {
        const std::u16string wide = Utf8ToUtf16(text->get<std::string>());
        for (char16_t unit : wide) {
            if (tag == 4 || tag == 5) {
                name->text.push_back(static_cast<std::uint8_t>(unit));
                name->text.push_back(static_cast<std::uint8_t>(unit >> 8));
            } else {
                name->text.push_back(CodePage1252::UnitToByte(unit));
            }
        }
    } else {
        return false;
    }
    return name->text.size() <= 255;
}

bool ReadDeviceInstance(Reader& r, const json& entry, DeviceInstance* instance) {
    if (!entry.is_object() || !r.Field(entry, "state", &instance->state) ||
        !r.Field(entry, "reportedSize", &instance->reportedSize)) {
        return false;
    }
    if (const json* extra = Member(&entry, "extra"); extra && !r.NumberList(*extra, &instance->extra)) return false;
    if (const json* names = Member(&entry, "names")) {
        if (!names->is_array()) return false;
        std::vector<DeviceName> list;
        for (const json& item : *names) {
            DeviceName name;
            if (!ReadDeviceName(item, &name)) return false;
            list.push_back(std::move(name));
        }
        instance->names = EncodeDeviceNames(list);
    }
    return true;
}

// A battery's 0x232 words: one number (selector 0) or {"<selector>": number}.
bool ReadStates(const json& battery, std::map<std::uint16_t, std::uint32_t>* states) {
    const json* state = Member(&battery, "state");
    if (!state) return true;
    std::uint32_t word = 0;
    if (!state->is_object()) {
        if (!json_read::Number(*state, 0xFFFFFFFF, &word)) return false;
        (*states)[0] = word;
        return true;
    }
    for (auto it = state->begin(); it != state->end(); ++it) {
        std::uint32_t selector = 0;
        if (!ParseNumber(it.key(), &selector) || selector > 0xFFFF || !json_read::Number(it.value(), 0xFFFFFFFF, &word)) {
            return false;
        }
        (*states)[static_cast<std::uint16_t>(selector)] = word;
    }
    return true;
}

}  // namespace

void ReadFirmwareData(const json* section, FirmwareData* data, std::vector<std::string>* problems) {
    Reader r(problems);

    r.Keyed(section, "settings", 0xFFFFFFFF, "needs a number key, \"bits\" (0-32) and \"value\"",
            [&](std::uint32_t key, const json& v, const std::string&) {
                FirmwareSetting s;
                if (!Member(&v, "bits") || !Member(&v, "value") || !r.Field(v, "bits", &s.bits, 32) ||
                    !r.Field(v, "value", &s.value)) {
                    return false;
                }
                data->settings[key] = s;
                return true;
            });
    r.Keyed(section, "ec", 0xFF, "needs a register 0-255 and a byte value",
            [&](std::uint32_t key, const json& v, const std::string&) {
                std::uint32_t n = 0;
                if (!json_read::Number(v, 0xFF, &n)) return false;
                data->ec[key] = static_cast<std::uint8_t>(n);
                return true;
            });
    r.Keyed(section, "environmentControl", 0xFF, "needs an argument byte and a result byte",
            [&](std::uint32_t key, const json& v, const std::string&) {
                std::uint32_t n = 0;
                if (!json_read::Number(v, 0xFF, &n)) return false;
                data->environmentControl[static_cast<std::uint8_t>(key)] = static_cast<std::uint8_t>(n);
                return true;
            });
    r.Keyed(section, "featureFlags", 0xFF, "needs an argument byte and a flags byte",
            [&](std::uint32_t key, const json& v, const std::string&) {
                std::uint32_t n = 0;
                if (!json_read::Number(v, 0xFF, &n)) return false;
                data->featureFlags[static_cast<std::uint8_t>(key)] = static_cast<std::uint8_t>(n);
                return true;
            });
    r.Object(section, "operatingTime", "needs \"flags\" (byte), \"hours\" and \"second\"", [&](const json& v) {
        OperatingTime t;
        if (!v.is_object() || !r.Field(v, "flags", &t.flags) || !r.Field(v, "hours", &t.hours) ||
            !r.Field(v, "second", &t.second)) {
            return false;
        }
        data->operatingTime = t;
        return true;
    });
    r.Keyed(section, "deviceTable", 0xFFFF,
            "needs a device number and a list of instances {\"state\", \"extra\": [2 words], \"names\": "
            "[{\"tag\", \"text\" or \"hex\"}], \"reportedSize\"}",
            [&](std::uint32_t key, const json& v, const std::string&) {
                if (!v.is_array()) return false;
                std::vector<DeviceInstance> instances;
                for (const json& entry : v) {
                    DeviceInstance instance;
                    if (!ReadDeviceInstance(r, entry, &instance)) return false;
                    instances.push_back(std::move(instance));
                }
                data->deviceTable[static_cast<std::uint16_t>(key)] = std::move(instances);
                return true;
            });
    r.Keyed(section, "deviceData", 0xFFFF, "needs an item number and {\"<sub-item>\": hex}",
            [&](std::uint32_t item, const json& v, const std::string& where) {
                if (!v.is_object()) return false;
                for (auto it = v.begin(); it != v.end(); ++it) {
                    std::uint32_t sub = 0;
                    std::vector<std::uint8_t> bytes;
                    if (!ParseNumber(it.key(), &sub) || sub > 0xFFFF || !json_read::Hex(it.value(), &bytes)) {
                        r.Problem(where + "." + it.key(), "needs a sub-item number and hex bytes");
                        continue;
                    }
                    data->deviceData[{static_cast<std::uint16_t>(item), static_cast<std::uint16_t>(sub)}] =
                        std::move(bytes);
                }
                return true;
            });
    r.Object(section, "biosConfiguration", "needs \"value\", \"flags\" and \"extended\": [3 words]",
             [&](const json& v) {
                 BiosConfiguration c;
                 if (!v.is_object() || !r.Field(v, "value", &c.value) || !r.Field(v, "flags", &c.flags)) return false;
                 if (const json* extended = Member(&v, "extended")) {
                     std::array<std::uint16_t, 3> words = {};
                     if (!r.NumberList(*extended, &words)) return false;
                     c.extended = words;
                 }
                 data->biosConfiguration = c;
                 return true;
             });
    r.Object(section, "ecVersion", "needs 5 bytes: major, minor, level, letter, M-number", [&](const json& v) {
        std::array<std::uint8_t, 5> b = {};
        if (!r.Bytes(v, &b)) return false;
        data->ecVersion = b;
        return true;
    });
    r.Commands(section, "ecCommands", &data->ecCommands);
    r.Commands(section, "firmwareCommands", &data->firmwareCommands);
    r.Object(section, "featureLevel", "needs a byte", [&](const json& v) {
        std::uint32_t n = 0;
        if (!json_read::Number(v, 0xFF, &n)) return false;
        data->featureLevel = static_cast<std::uint8_t>(n);
        return true;
    });
    r.Object(section, "memorySlots", "needs a list of {\"flags\" (byte), \"value\" (word), \"spd\": hex}",
             [&](const json& v) {
                 if (!v.is_array()) return false;
                 std::vector<MemorySlot> slots;
                 for (const json& entry : v) {
                     MemorySlot slot;
                     if (!entry.is_object() || !r.Field(entry, "flags", &slot.flags) ||
                         !r.Field(entry, "value", &slot.value)) {
                         return false;
                     }
                     if (const json* spd = Member(&entry, "spd"); spd && !json_read::Hex(*spd, &slot.spd)) return false;
                     slots.push_back(std::move(slot));
                 }
                 data->memorySlots = std::move(slots);
                 return true;
             });
    r.Keyed(section, "batteries", 0xFFFF,
            "needs a slot index and words \"temperature\", \"chargeIndex\", \"serialNumber\", dates "
            "\"manufactureDate\", \"referenceDate\" (YYYY-MM-DD), \"state\" (a number, or {\"<selector>\": "
            "number}), \"healthSupport\" (0-3)",
            [&](std::uint32_t key, const json& v, const std::string&) {
                BatteryData b;
                if (!v.is_object() || !r.Field(v, "temperature", &b.temperature) ||
                    !r.Field(v, "chargeIndex", &b.chargeIndex) || !r.Field(v, "serialNumber", &b.serialNumber) ||
                    !r.Date(v, "manufactureDate", &b.manufactureDate) ||
                    !r.Date(v, "referenceDate", &b.referenceDate) ||
                    !r.Field(v, "healthSupport", &b.healthSupport, 3) || !ReadStates(v, &b.states)) {
                    return false;
                }
                data->batteries[static_cast<std::uint16_t>(key)] = b;
                return true;
            });
    r.Object(section, "environmentStatus", "needs 2 bytes", [&](const json& v) {
        std::array<std::uint8_t, 2> b = {};
        if (!r.Bytes(v, &b)) return false;
        data->environmentStatus = b;
        return true;
    });
    r.Object(section, "docking", "needs bytes \"state\", \"usbType\", \"antenna\"", [&](const json& v) {
        DockingState d;
        if (!v.is_object() || !r.Field(v, "state", &d.state) || !r.Field(v, "usbType", &d.usbType) ||
            !r.Field(v, "antenna", &d.antenna)) {
            return false;
        }
        data->docking = d;
        return true;
    });
    r.Object(section, "portReplicatorFirmware", "needs \"bytes\" (4 bytes) and \"value\" (word)",
             [&](const json& v) {
                 PortReplicatorFirmware f;
                 const json* bytes = Member(&v, "bytes");
                 if (!bytes || !r.Bytes(*bytes, &f.bytes) || !r.Field(v, "value", &f.value)) return false;
                 data->portReplicatorFirmware = f;
                 return true;
             });
    r.Object(section, "thermal",
             "needs \"sensors\": {\"<index>\": {\"reading\", \"passive\", \"critical\"}}, \"controlMask\", \"mode\"",
             [&](const json& v) {
                 ThermalData t;
                 if (!v.is_object() || !r.Field(v, "controlMask", &t.controlMask) || !r.Field(v, "mode", &t.mode)) {
                     return false;
                 }
                 if (const json* sensors = Member(&v, "sensors")) {
                     if (!sensors->is_object()) return false;
                     for (auto it = sensors->begin(); it != sensors->end(); ++it) {
                         std::uint32_t index = 0;
                         ThermalSensor s;
                         if (!ParseNumber(it.key(), &index) || index > 0xFFFF || !it.value().is_object() ||
                             !r.Field(it.value(), "reading", &s.reading) || !r.Field(it.value(), "passive", &s.passive) ||
                             !r.Field(it.value(), "critical", &s.critical)) {
                             return false;
                         }
                         t.sensors[static_cast<std::uint16_t>(index)] = s;
                     }
                 }
                 data->thermal = std::move(t);
                 return true;
             });
    r.Object(section, "fan", "needs \"marks\" (2 bytes) and/or \"control\" (word)", [&](const json& v) {
        if (!v.is_object()) return false;
        if (const json* marks = Member(&v, "marks")) {
            std::array<std::uint8_t, 2> b = {};
            if (!r.Bytes(*marks, &b)) return false;
            data->fanMarks = b;
        }
        if (Member(&v, "control")) {
            std::uint16_t control = 0;
            if (!r.Field(v, "control", &control)) return false;
            data->fanControl = control;
        }
        return true;
    });
    r.Object(section, "meFirmware", "needs a list of 4 words", [&](const json& v) {
        std::array<std::uint16_t, 4> words = {};
        if (!r.NumberList(v, &words)) return false;
        data->meFirmware = words;
        return true;
    });
    r.Keyed(section, "holdButton", 0xFFFFFFFF, "needs an argument and bytes \"autoCancel\", \"flags\", \"extra\"",
            [&](std::uint32_t key, const json& v, const std::string&) {
                HoldButton h;
                if (!v.is_object() || !r.Field(v, "autoCancel", &h.autoCancel) || !r.Field(v, "flags", &h.flags) ||
                    !r.Field(v, "extra", &h.extra)) {
                    return false;
                }
                data->holdButton[key] = h;
                return true;
            });
    r.Object(section, "antennaKind", "needs a byte", [&](const json& v) {
        std::uint32_t n = 0;
        if (!json_read::Number(v, 0xFF, &n)) return false;
        data->antennaKind = static_cast<std::uint8_t>(n);
        return true;
    });
    r.Keyed(section, "uefiBoot", 0xFFFF, "needs a boot kind and \"value\" (word), \"flag\" (byte)",
            [&](std::uint32_t key, const json& v, const std::string&) {
                UefiBootEntry e;
                if (!v.is_object() || !r.Field(v, "value", &e.value) || !r.Field(v, "flag", &e.flag)) return false;
                data->uefiBoot[static_cast<std::uint16_t>(key)] = e;
                return true;
            });
    r.Object(section, "bootOrder",
             "needs \"kind\" and/or all of \"priorityCount\", \"deviceCount\", \"priorityEntrySize\", "
             "\"deviceEntrySize\" (words)",
             [&](const json& v) {
                 if (!v.is_object()) return false;
                 if (Member(&v, "kind")) {
                     std::uint16_t kind = 0;
                     if (!r.Field(v, "kind", &kind)) return false;
                     data->bootOrderKind = kind;
                 }
                 const char* names[] = {"priorityCount", "deviceCount", "priorityEntrySize", "deviceEntrySize"};
                 std::array<std::uint16_t, 4> layout = {};
                 int given = 0;
                 for (int i = 0; i < 4; ++i) {
                     if (!Member(&v, names[i])) continue;
                     if (!r.Field(v, names[i], &layout[static_cast<std::size_t>(i)])) return false;
                     ++given;
                 }
                 if (given != 0 && given != 4) return false;
                 if (given == 4) data->bootLayout = layout;
                 return true;
             });
    r.Keyed(section, "dataBlocks", 0xFFFF, "needs a function number 0x304-0x30E and hex bytes",
            [&](std::uint32_t key, const json& v, const std::string&) {
                std::vector<std::uint8_t> bytes;
                if (key < 0x304 || key > 0x30E || !json_read::Hex(v, &bytes)) return false;
                data->dataBlocks[static_cast<std::uint16_t>(key)] = std::move(bytes);
                return true;
            });
}

}  // namespace quarro::platform::sim
