#include "platform/sim/firmware_model.h"

#include <algorithm>
#include <cstring>

#include "base/little_endian.h"

namespace quarro::platform::sim {

namespace {

using json_read::Member;

bool JsonHex(const nlohmann::json& value, std::vector<std::uint8_t>* out) { return json_read::Hex(value, out); }

bool JsonNumber(const nlohmann::json& value, std::uint32_t* out) { return json_read::Number(value, 0xFFFFFFFF, out); }

// One "functions" entry: {"match": {offset: hex}, "in": n, "status": s, "reply": {offset: hex}}.
bool ReadFixedAnswer(const nlohmann::json& entry, FixedAnswer* answer) {
    if (!entry.is_object()) return false;
    std::uint32_t n = 0;
    if (const nlohmann::json* in = Member(&entry, "in")) {
        if (!JsonNumber(*in, &n) || n > 0xFFFF) return false;
        answer->minIn = static_cast<std::uint16_t>(n);
    }
    if (const nlohmann::json* status = Member(&entry, "status")) {
        if (!JsonNumber(*status, &n) || n > 0xFF) return false;
        answer->status = static_cast<std::uint8_t>(n);
    }
    const std::pair<const char*, std::map<std::size_t, std::vector<std::uint8_t>>*> maps[] = {
        {"match", &answer->match}, {"reply", &answer->bytes}};
    for (const auto& m : maps) {
        const nlohmann::json* object = Member(&entry, m.first);
        if (!object) continue;
        if (!object->is_object()) return false;
        for (auto r = object->begin(); r != object->end(); ++r) {
            std::uint32_t offset = 0;
            std::vector<std::uint8_t> bytes;
            // Byte 0 is the status: a reply never writes it, a match never looks at it.
            if (!ParseNumber(r.key(), &offset) || offset < 1 || offset >= 0x10000 || !JsonHex(r.value(), &bytes)) {
                return false;
            }
            (*m.second)[offset] = std::move(bytes);
        }
    }
    return true;
}

bool Matches(const FixedAnswer& answer, const std::uint8_t* request, std::size_t inSize) {
    for (const auto& m : answer.match) {
        if (m.first > inSize || inSize - m.first < m.second.size()) return false;
        if (!std::equal(m.second.begin(), m.second.end(), request + m.first)) return false;
    }
    return true;
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

    ReadFirmwareData(section, &data_, &problems_);

    if (const nlohmann::json* functions = Member(section, "functions")) {
        if (!functions->is_object()) problem("functions: not an object");
        for (auto it = functions->begin(); functions->is_object() && it != functions->end(); ++it) {
            std::uint32_t number = 0;
            if (!ParseNumber(it.key(), &number) || number > 0xFFFF) {
                problem("functions." + it.key() + ": needs a 16-bit function number");
                continue;
            }
            // One entry or a list of them, tried in order.
            const nlohmann::json list = it.value().is_array() ? it.value() : nlohmann::json::array({it.value()});
            std::vector<FixedAnswer> answers;
            for (const nlohmann::json& entry : list) {
                FixedAnswer answer;
                if (!ReadFixedAnswer(entry, &answer)) {
                    problem("functions." + it.key() +
                            ": \"match\" {offset: hex}, \"in\", \"status\" or \"reply\" {offset: hex} unusable");
                    answers.clear();
                    break;
                }
                answers.push_back(std::move(answer));
            }
            if (!answers.empty()) fixed_[static_cast<std::uint16_t>(number)] = std::move(answers);
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
    const std::uint16_t number = bytes::Load16(request);
    const std::size_t inSize = bytes::Load16(request + 2);
    const std::size_t outSize = bytes::Load16(request + 4);
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
        const std::size_t at = NeededSizeOffset(number);
        if (at + 2 <= packet.size()) bytes::Store16(&packet[at], small->second);
        tooSmall_.erase(small);
        return status(kMiscStatusTooSmall);
    }

    auto fixed = fixed_.find(number);
    if (fixed != fixed_.end()) {
        for (const FixedAnswer& answer : fixed->second) {
            if (!Matches(answer, request, inSize)) continue;
            if (inSize < answer.minIn) return status(kMiscStatusMalformed);
            for (const auto& piece : answer.bytes) {
                if (piece.first + piece.second.size() > outSize) return status(kMiscStatusTooSmall);
            }
            for (const auto& piece : answer.bytes) {
                std::copy(piece.second.begin(), piece.second.end(),
                          packet.begin() + static_cast<std::ptrdiff_t>(piece.first));
            }
            return status(answer.status);
        }
    }
    return status(AnswerMiscFunction(data_, request, inSize, packet));
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
