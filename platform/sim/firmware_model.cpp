#include "platform/sim/firmware_model.h"

#include <algorithm>
#include <cstring>

namespace quarro::platform::sim {

namespace {

std::uint32_t Load16(const std::vector<std::uint8_t>& p, std::size_t at) {
    if (at + 2 > p.size()) return 0;
    return static_cast<std::uint32_t>(p[at]) | (static_cast<std::uint32_t>(p[at + 1]) << 8);
}

std::uint32_t Load32(const std::vector<std::uint8_t>& p, std::size_t at) {
    if (at + 4 > p.size()) return 0;
    return static_cast<std::uint32_t>(p[at]) | (static_cast<std::uint32_t>(p[at + 1]) << 8) |
           (static_cast<std::uint32_t>(p[at + 2]) << 16) | (static_cast<std::uint32_t>(p[at + 3]) << 24);
}

void Store16(std::vector<std::uint8_t>& p, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 2 && at + i < p.size(); ++i) p[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void Store32(std::vector<std::uint8_t>& p, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4 && at + i < p.size(); ++i) p[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The 32-byte form: input and output 32, 0x90 at byte 8, (function << 16) | 0x90 at byte 16.
constexpr std::size_t kForm32Size = 32;
constexpr std::uint32_t kForm32Marker = 0x90;
constexpr std::size_t kSlotArgument = 12;
constexpr std::size_t kSlotResult = 20;

enum class Form { Compact, Form32 };

struct FunctionEntry {
    std::uint16_t number;
    Form form;
    std::uint16_t minIn;   // compact form: shortest input accepted
    std::uint16_t minOut;  // compact form: shortest output that holds the answer
    FirmwareModel::Handler handler;
};

}  // namespace

// Functions with their own logic. Add a function: one row here and its handler below.
struct FirmwareHandlers {
    // 0x10C: slot 12 (low byte) setting number -> slot 12 number of meaningful bits, slot 20 value.
    static std::uint8_t Setting(FirmwareModel& fw, std::vector<std::uint8_t>& packet, std::size_t) {
        const std::uint32_t number = Load32(packet, kSlotArgument) & 0xFF;
        auto it = fw.settings_.find(number);
        if (it == fw.settings_.end()) return kMiscStatusBadArgument;
        Store32(packet, kSlotArgument, it->second.bits);
        Store32(packet, kSlotResult, it->second.value);
        return kMiscStatusDone;
    }

    // 0x210: slot 12 controller address -> byte 20 the register's byte (unlisted registers read 0).
    static std::uint8_t EcRead(FirmwareModel& fw, std::vector<std::uint8_t>& packet, std::size_t) {
        const std::uint32_t address = Load32(packet, kSlotArgument);
        if (address > 0xFF) return kMiscStatusBadArgument;
        auto it = fw.ec_.find(address);
        Store32(packet, kSlotResult, it == fw.ec_.end() ? 0u : it->second);
        return kMiscStatusDone;
    }

    static const FunctionEntry* Find(std::uint16_t number);
};

namespace {

const FunctionEntry kMiscFunctions[] = {
    {0x10C, Form::Form32, 0, 0, &FirmwareHandlers::Setting},
    {0x210, Form::Form32, 0, 0, &FirmwareHandlers::EcRead},
};

}  // namespace

const FunctionEntry* FirmwareHandlers::Find(std::uint16_t number) {
    for (const FunctionEntry& entry : kMiscFunctions) {
        if (entry.number == number) return &entry;
    }
    return nullptr;
}

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

namespace {

// A JSON number or number text ("0x1F", "31").
bool JsonNumber(const nlohmann::json& value, std::uint32_t* out) {
    if (value.is_number_unsigned()) {
        const auto v = value.get<std::uint64_t>();
        if (v > 0xFFFFFFFFull) return false;
        *out = static_cast<std::uint32_t>(v);
        return true;
    }
    if (value.is_number_integer()) {
        const auto v = value.get<std::int64_t>();
        if (v < 0 || v > 0xFFFFFFFFll) return false;
        *out = static_cast<std::uint32_t>(v);
        return true;
    }
    if (value.is_string()) return ParseNumber(value.get<std::string>(), out);
    return false;
}

bool JsonHex(const nlohmann::json& value, std::vector<std::uint8_t>* out) {
    return value.is_string() && ParseHex(value.get<std::string>(), out);
}

const nlohmann::json* Member(const nlohmann::json* object, const char* name) {
    if (!object || !object->is_object()) return nullptr;
    auto it = object->find(name);
    if (it == object->end() || it->is_null()) return nullptr;
    return &*it;
}

// Bounded copy of text into record[at, at + room), zero-filled.
void PutText(std::vector<std::uint8_t>& record, std::size_t at, std::size_t room, const std::string& text) {
    for (std::size_t i = 0; i < room && at + i < record.size(); ++i) {
        record[at + i] = i < text.size() ? static_cast<std::uint8_t>(text[i]) : 0;
    }
}

}  // namespace

FirmwareModel::FirmwareModel()
    : modelRecord_(kModelRecordSize, 0), bootPriority_(kBootPriorityAreaSize, 0), bootTable_(kBootPriorityAreaSize, 0) {}

FirmwareModel::FirmwareModel(const nlohmann::json* section) : FirmwareModel() {
    auto problem = [this](const std::string& text) { problems_.push_back(text); };

    if (const nlohmann::json* settings = Member(section, "settings")) {
        if (!settings->is_object()) problem("settings: not an object");
        for (auto it = settings->begin(); settings->is_object() && it != settings->end(); ++it) {
            std::uint32_t number = 0;
            FirmwareSetting setting;
            const nlohmann::json* bits = Member(&it.value(), "bits");
            const nlohmann::json* value = Member(&it.value(), "value");
            if (!ParseNumber(it.key(), &number) || !bits || !value || !JsonNumber(*bits, &setting.bits) ||
                !JsonNumber(*value, &setting.value) || setting.bits > 32) {
                problem("settings." + it.key() + ": needs a number key, \"bits\" (0-32) and \"value\"");
                continue;
            }
            settings_[number] = setting;
        }
    }

    if (const nlohmann::json* ec = Member(section, "ec")) {
        if (!ec->is_object()) problem("ec: not an object");
        for (auto it = ec->begin(); ec->is_object() && it != ec->end(); ++it) {
            std::uint32_t address = 0, value = 0;
            if (!ParseNumber(it.key(), &address) || address > 0xFF || !JsonNumber(it.value(), &value) || value > 0xFF) {
                problem("ec." + it.key() + ": needs a register 0-255 and a byte value");
                continue;
            }
            ec_[address] = static_cast<std::uint8_t>(value);
        }
    }

    if (const nlohmann::json* functions = Member(section, "functions")) {
        if (!functions->is_object()) problem("functions: not an object");
        for (auto it = functions->begin(); functions->is_object() && it != functions->end(); ++it) {
            std::uint32_t number = 0;
            if (!ParseNumber(it.key(), &number) || number > 0xFFFF || !it.value().is_object()) {
                problem("functions." + it.key() + ": needs a 16-bit function number and an object");
                continue;
            }
            FixedAnswer answer;
            bool ok = true;
            std::uint32_t n = 0;
            if (const nlohmann::json* in = Member(&it.value(), "in")) {
                ok = JsonNumber(*in, &n) && n <= 0xFFFF;
                answer.minIn = static_cast<std::uint16_t>(n);
            }
            if (const nlohmann::json* status = Member(&it.value(), "status")) {
                ok = ok && JsonNumber(*status, &n) && n <= 0xFF;
                answer.status = static_cast<std::uint8_t>(n);
            }
            if (const nlohmann::json* reply = Member(&it.value(), "reply")) {
                for (auto r = reply->begin(); ok && reply->is_object() && r != reply->end(); ++r) {
                    std::uint32_t offset = 0;
                    std::vector<std::uint8_t> bytes;
                    ok = ParseNumber(r.key(), &offset) && offset >= 1 && offset < 0x10000 && JsonHex(r.value(), &bytes);
                    if (ok) answer.bytes[offset] = std::move(bytes);
                }
                ok = ok && reply->is_object();
            }
            if (!ok) {
                problem("functions." + it.key() + ": \"in\", \"status\" or \"reply\" {offset: hex} unusable");
                continue;
            }
            fixed_[static_cast<std::uint16_t>(number)] = std::move(answer);
        }
    }

    if (const nlohmann::json* model = Member(section, "modelRecord")) {
        if (const nlohmann::json* hex = Member(model, "hex")) {
            std::vector<std::uint8_t> bytes;
            if (!JsonHex(*hex, &bytes) || bytes.size() > kModelRecordSize) {
                problem("modelRecord.hex: needs at most 128 bytes of hexadecimal text");
            } else {
                std::copy(bytes.begin(), bytes.end(), modelRecord_.begin());
            }
        }
        if (const nlohmann::json* name = Member(model, "modelName")) {
            if (name->is_string()) PutText(modelRecord_, 4, 16, name->get<std::string>());
            else problem("modelRecord.modelName: not text");
        }
        if (const nlohmann::json* number = Member(model, "modelNumber")) {
            std::string text = number->is_string() ? number->get<std::string>() : std::string();
            if (text.size() > 19) {
                problem("modelRecord.modelNumber: longer than 19 characters, cut");
                text.resize(19);
            }
            if (!number->is_string()) problem("modelRecord.modelNumber: not text");
            // Up to 12 characters live at 40-51; a longer number keeps its first 11 (and the
            // 12th, for readers that take 12 bytes) at 40 and the rest from 96, with its length at 95.
            PutText(modelRecord_, 40, 12, text);
            modelRecord_[95] = 0;
            if (text.size() > 12) {
                modelRecord_[95] = static_cast<std::uint8_t>(text.size());
                PutText(modelRecord_, 96, text.size() - 11, text.substr(11));
            }
        }
        if (const nlohmann::json* serial = Member(model, "serialNumber")) {
            const nlohmann::json* prefix = Member(serial, "prefix");
            const nlohmann::json* number = Member(serial, "number");
            std::uint32_t n = 0;
            if (!prefix || !prefix->is_string() || !number || !JsonNumber(*number, &n) || n > 0xFFFFFF) {
                problem("modelRecord.serialNumber: needs \"prefix\" text and a \"number\" below 2^24");
            } else {
                PutText(modelRecord_, 32, 5, prefix->get<std::string>());
                modelRecord_[37] = static_cast<std::uint8_t>(n);
                modelRecord_[38] = static_cast<std::uint8_t>(n >> 8);
                modelRecord_[39] = static_cast<std::uint8_t>(n >> 16);
            }
        }
        if (const nlohmann::json* bios = Member(model, "biosVersion")) {
            std::vector<std::uint8_t> bytes;
            if (!JsonHex(*bios, &bytes) || bytes.size() != 5) {
                problem("modelRecord.biosVersion: needs 5 bytes of hexadecimal text");
            } else {
                std::copy(bytes.begin(), bytes.end(), modelRecord_.begin() + 27);
            }
        }
        if (const nlohmann::json* overlay = Member(model, "bytes")) {
            for (auto it = overlay->begin(); overlay->is_object() && it != overlay->end(); ++it) {
                std::uint32_t offset = 0;
                std::vector<std::uint8_t> bytes;
                if (!ParseNumber(it.key(), &offset) || !JsonHex(it.value(), &bytes) ||
                    offset + bytes.size() > kModelRecordSize) {
                    problem("modelRecord.bytes." + it.key() + ": needs an offset and hex bytes inside the record");
                    continue;
                }
                std::copy(bytes.begin(), bytes.end(), modelRecord_.begin() + offset);
            }
        }
    }

    if (const nlohmann::json* boot = Member(section, "bootPriority")) {
        std::uint32_t status = 0;
        if (const nlohmann::json* s = Member(boot, "status")) {
            if (JsonNumber(*s, &status) && status <= 0xFF) bootStatus_ = static_cast<std::uint8_t>(status);
            else problem("bootPriority.status: needs a byte");
        }
        const char* names[] = {"priority", "table"};
        std::vector<std::uint8_t>* areas[] = {&bootPriority_, &bootTable_};
        for (int i = 0; i < 2; ++i) {
            const nlohmann::json* area = Member(boot, names[i]);
            if (!area) continue;
            std::vector<std::uint8_t> bytes;
            if (!JsonHex(*area, &bytes) || bytes.size() > kBootPriorityAreaSize) {
                problem(std::string("bootPriority.") + names[i] + ": needs at most 65536 bytes of hexadecimal text");
                continue;
            }
            std::copy(bytes.begin(), bytes.end(), areas[i]->begin());
        }
    }

    if (const nlohmann::json* tables = Member(section, "biosExtensionTables")) {
        for (auto it = tables->begin(); tables->is_object() && it != tables->end(); ++it) {
            std::uint32_t number = 0;
            std::vector<std::uint8_t> bytes;
            if (!ParseNumber(it.key(), &number) || number > 0xFFFF || !JsonHex(it.value(), &bytes)) {
                problem("biosExtensionTables." + it.key() + ": needs a 16-bit number and hex bytes");
                continue;
            }
            extensionTables_[static_cast<std::uint16_t>(number)] = std::move(bytes);
        }
    }

    if (const nlohmann::json* inject = Member(section, "inject")) {
        for (const char* kind : {"busy", "tooSmall"}) {
            const nlohmann::json* table = Member(inject, kind);
            if (!table || !table->is_object()) continue;
            for (auto it = table->begin(); it != table->end(); ++it) {
                std::uint32_t number = 0, n = 0;
                if (!ParseNumber(it.key(), &number) || number > 0xFFFF || !JsonNumber(it.value(), &n) || n > 0xFFFF) {
                    problem(std::string("inject.") + kind + "." + it.key() + ": needs a function number and a count or size");
                    continue;
                }
                if (kind[0] == 'b') InjectBusy(static_cast<std::uint16_t>(number), static_cast<int>(n));
                else InjectTooSmall(static_cast<std::uint16_t>(number), static_cast<std::uint16_t>(n));
            }
        }
    }
}

void FirmwareModel::InjectBusy(std::uint16_t function, int count) {
    if (count > 0) busy_[function] = count;
    else busy_.erase(function);
}

void FirmwareModel::InjectTooSmall(std::uint16_t function, std::uint16_t neededSize) {
    tooSmall_[function] = neededSize;
}

std::vector<std::uint8_t> FirmwareModel::Answer(const std::uint8_t* request, std::size_t size) {
    if (!request || size < kMiscPacketHeaderSize) {
        std::vector<std::uint8_t> reply(kMiscPacketHeaderSize, 0);
        if (request) std::copy(request, request + size, reply.begin());
        reply[0] = kMiscStatusMalformed;
        return reply;
    }
    const std::vector<std::uint8_t> header(request, request + kMiscPacketHeaderSize);
    const auto number = static_cast<std::uint16_t>(Load16(header, 0));
    const std::size_t inSize = Load16(header, 2);
    const std::size_t outSize = Load16(header, 4);
    std::vector<std::uint8_t> packet(outSize, 0);
    std::copy(request, request + std::min({size, inSize, outSize}), packet.begin());
    answered_.push_back(number);

    auto status = [&](std::uint8_t value) {
        if (!packet.empty()) packet[0] = value;
        return packet;
    };
    if (inSize < kMiscPacketHeaderSize || inSize > size) return status(kMiscStatusMalformed);

    auto busy = busy_.find(number);
    if (busy != busy_.end()) {
        if (--busy->second <= 0) busy_.erase(busy);
        return status(kMiscStatusBusy);
    }
    auto small = tooSmall_.find(number);
    if (small != tooSmall_.end()) {
        Store16(packet, 20, small->second);
        tooSmall_.erase(small);
        return status(kMiscStatusTooSmall);
    }

    auto fixed = fixed_.find(number);
    if (fixed != fixed_.end()) {
        const FixedAnswer& answer = fixed->second;
        if (inSize < answer.minIn) return status(kMiscStatusMalformed);
        for (const auto& bytes : answer.bytes) {
            if (bytes.first + bytes.second.size() > outSize) return status(kMiscStatusTooSmall);
        }
        for (const auto& bytes : answer.bytes) {
            std::copy(bytes.second.begin(), bytes.second.end(), packet.begin() + static_cast<std::ptrdiff_t>(bytes.first));
        }
        return status(answer.status);
    }

    const FunctionEntry* entry = FirmwareHandlers::Find(number);
    if (!entry) return status(kMiscStatusUnknownFunction);
    if (entry->form == Form::Form32) {
        const std::vector<std::uint8_t> in(request, request + inSize);
        if (inSize != kForm32Size || outSize != kForm32Size || Load32(in, 8) != kForm32Marker ||
            Load32(in, 16) != ((static_cast<std::uint32_t>(number) << 16) | kForm32Marker)) {
            return status(kMiscStatusMalformed);
        }
    } else {
        if (inSize < entry->minIn) return status(kMiscStatusMalformed);
        if (outSize < entry->minOut) return status(kMiscStatusTooSmall);
    }
    return status(entry->handler(*this, packet, inSize));
}

std::vector<std::uint8_t> FirmwareModel::BootPriorityReply() {
    std::vector<std::uint8_t> reply(kBootPriorityReplySize, 0);
    if (bootPriorityBusy_ > 0) {
        --bootPriorityBusy_;
        reply[0] = kMiscStatusBusy;
        return reply;
    }
    reply[0] = bootStatus_;
    std::copy(bootPriority_.begin(), bootPriority_.end(), reply.begin() + 4);
    std::copy(bootTable_.begin(), bootTable_.end(), reply.begin() + 4 + kBootPriorityAreaSize);
    return reply;
}

std::uint8_t FirmwareModel::SetBootPriority(const std::uint8_t* list, std::size_t size) {
    if (!list || size != kBootPriorityAreaSize) return kMiscStatusMalformed;
    if (bootPriorityBusy_ > 0) {
        --bootPriorityBusy_;
        return kMiscStatusBusy;
    }
    std::copy(list, list + size, bootPriority_.begin());
    return kMiscStatusDone;
}

bool FirmwareModel::BiosExtensionTable(std::uint16_t number, std::vector<std::uint8_t>* bytes) const {
    auto it = extensionTables_.find(number);
    if (it == extensionTables_.end()) return false;
    if (bytes) *bytes = it->second;
    return true;
}

}  // namespace quarro::platform::sim
