// Registry requests performed by the driver, for keys under HKEY_LOCAL_MACHINE that a standard
// user may not write: "RegW" records for setting values, deleting values and keys, creating keys
// and asking whether a key exists, and the "RgQI"/"RgQO" pair for queries. Paths and names are
// bounded by the registry's own limits before any length is computed; replies are checked
// against what they carry and against the caller's room.
#include <cstring>

#include "common/misc_common.h"
#include "common/misc_private.h"
#include "common/text.h"

namespace MiscCommon {

using namespace detail;

namespace {

// Longest registry path and value name the driver is asked about (the registry's own limits).
constexpr std::size_t kMaxRegistryPathChars = 32767;
constexpr std::size_t kMaxRegistryNameChars = 16383;

}  // namespace

int CMiscCommon::RegistryPreamble(quarro::platform::RegKey root) const {
    if (!SessionGate()) return kMiscTooOld;
    if (root != pf::kHkeyLocalMachine) return kMiscTooOld;
    return kMiscSuccess;
}

int CMiscCommon::SendRegWRecord(const char16_t* operation, std::uint32_t innerCode, int kind, const char16_t* path,
                                const char16_t* name, std::uint32_t type, const void* data, std::uint32_t size) {
    const std::size_t pathChars = quarro::text::LengthBounded(path, kMaxRegistryPathChars + 1);
    const std::size_t nameChars = kind == kRegWKey ? 0 : quarro::text::LengthBounded(name, kMaxRegistryNameChars + 1);
    if (pathChars > kMaxRegistryPathChars || nameChars > kMaxRegistryNameChars) {
        SetErrorText(operation, kMsgInvalidArguments);
        return kMiscInvalidArgument;
    }
    const std::uint32_t total = RegWRecordLength(kind, pathChars, nameChars, size);
    WipedBlock record;
    if (total == 0 || !record.Allocate(total)) {
        SetErrorText(operation, kMsgHeapAlloc);
        return kMiscNoMemory;
    }
    WriteRegWRecord(record.get(), kind, path, pathChars, name, nameChars, type, data, size);
    std::uint32_t got = 0;
    if (!EncapsuledDeviceIoControl(innerCode, record.get(), total, nullptr, 0, &got)) {
        SetErrorText(operation, kMsgDeviceIoControl);
        return kMiscSystemError;
    }
    return kMiscSuccess;
}

int CMiscCommon::SetRegistry(quarro::platform::RegKey root, const char16_t* path, const char16_t* name,
                             std::uint32_t type, const void* data, std::uint32_t size) {
    const int gate = RegistryPreamble(root);
    if (gate != kMiscSuccess) return gate;
    if (!path || !name || !data) {
        SetErrorText(kOpSetRegistry, u"lpPath, lpName or lpData is NULL");
        return kMiscInvalidArgument;
    }
    return SendRegWRecord(kOpSetRegistry, kInnerSetRegistry, kRegWData, path, name, type, data, size);
}

int CMiscCommon::DelRegValue(quarro::platform::RegKey root, const char16_t* path, const char16_t* name) {
    const int gate = RegistryPreamble(root);
    if (gate != kMiscSuccess) return gate;
    if (!path || !name) {
        SetErrorText(kOpDelRegValue, u"lpPath or lpName is NULL");
        return kMiscInvalidArgument;
    }
    return SendRegWRecord(kOpDelRegValue, kInnerDelRegValue, kRegWValue, path, name, 0, nullptr, 0);
}

int CMiscCommon::DelRegKey(quarro::platform::RegKey root, const char16_t* path) {
    const int gate = RegistryPreamble(root);
    if (gate != kMiscSuccess) return gate;
    if (!path) {
        SetErrorText(kOpDelRegKey, u"lpPath is NULL");
        return kMiscInvalidArgument;
    }
    return SendRegWRecord(kOpDelRegKey, kInnerDelRegKey, kRegWKey, path, nullptr, 0, nullptr, 0);
}

int CMiscCommon::CreateRegKey(quarro::platform::RegKey root, const char16_t* path) {
    const int gate = RegistryPreamble(root);
    if (gate != kMiscSuccess) return gate;
    if (!path) {
        SetErrorText(kOpCreateRegKey, u"lpPath is NULL");
        return kMiscInvalidArgument;
    }
    return SendRegWRecord(kOpCreateRegKey, kInnerCreateRegKey, kRegWKey, path, nullptr, 0, nullptr, 0);
}

int CMiscCommon::RegKeyExists(quarro::platform::RegKey root, const char16_t* path, int* exists) {
    const int gate = RegistryPreamble(root);
    if (gate != kMiscSuccess) return gate;
    if (!path) {
        SetErrorText(kOpRegKeyExists, u"lpPath is NULL");
        return kMiscInvalidArgument;
    }
    const std::size_t pathChars = quarro::text::LengthBounded(path, kMaxRegistryPathChars + 1);
    if (pathChars > kMaxRegistryPathChars) {
        SetErrorText(kOpRegKeyExists, kMsgInvalidArguments);
        return kMiscInvalidArgument;
    }
    const std::uint32_t total = RegWRecordLength(kRegWKey, pathChars, 0, 0);
    WipedBlock record;
    if (total == 0 || !record.Allocate(total)) {
        SetErrorText(kOpRegKeyExists, kMsgHeapAlloc);
        return kMiscNoMemory;
    }
    WriteRegWRecord(record.get(), kRegWKey, path, pathChars, nullptr, 0, 0, nullptr, 0);
    std::uint8_t reply[4] = {};
    std::uint32_t got = 0;
    if (!EncapsuledDeviceIoControl(kInnerRegKeyExists, record.get(), total, reply, sizeof(reply), &got)) {
        return kMiscSystemError;
    }
    if (got < sizeof(reply)) {
        pf::SetLastErrorCode(pf::kErrorInvalidData);
        return kMiscSystemError;
    }
    if (exists) *exists = Load32(reply) == 1 ? 1 : 0;
    return kMiscSuccess;
}

int CMiscCommon::QueryRegistry(quarro::platform::RegKey root, const char16_t* path, const char16_t* name,
                               std::uint32_t* type, void* data, std::uint32_t* size) {
    const int gate = RegistryPreamble(root);
    if (gate != kMiscSuccess) return gate;
    if (!path || !name) {
        SetErrorText(kOpQueryRegistry, u"lpPath or lpName is NULL");
        return kMiscInvalidArgument;
    }
    if (data && !size) {
        SetErrorText(kOpQueryRegistry, kMsgInvalidArguments);
        return kMiscInvalidArgument;
    }
    const std::size_t pathChars = quarro::text::LengthBounded(path, kMaxRegistryPathChars + 1);
    const std::size_t nameChars = quarro::text::LengthBounded(name, kMaxRegistryNameChars + 1);
    if (pathChars > kMaxRegistryPathChars || nameChars > kMaxRegistryNameChars) {
        SetErrorText(kOpQueryRegistry, kMsgInvalidArguments);
        return kMiscInvalidArgument;
    }
    const std::uint32_t room = data ? *size : 0;
    const std::uint32_t requestLength = RgQIRecordLength(pathChars, nameChars);
    const unsigned long long replyLength = static_cast<unsigned long long>(room) + 15;
    WipedBlock request;
    WipedBlock reply;
    if (requestLength == 0 || replyLength > kMaxTransferBytes || !request.Allocate(requestLength) ||
        !reply.Allocate(static_cast<std::size_t>(replyLength))) {
        SetErrorTextNumbers(kOpQueryRegistry, u"HeapAlloc failed. I:", static_cast<int>(requestLength), u" O:",
                            static_cast<int>(replyLength), true);
        return kMiscNoMemory;
    }
    WriteRgQIRecord(request.get(), path, pathChars, name, nameChars, static_cast<std::uint32_t>(replyLength));

    std::uint32_t got = 0;
    const bool ok = EncapsuledDeviceIoControl(kInnerQueryRegistry, request.get(), requestLength, reply.get(),
                                              static_cast<std::uint32_t>(replyLength), &got) != 0;
    const std::uint32_t error = pf::GetLastErrorCode();
    std::uint32_t valueSize = 0, valueType = 0;
    const bool hasReply = ReadRgQOHeader(reply.get(), got, &valueSize, &valueType);

    if (!ok) {
        if (error == static_cast<std::uint32_t>(pf::kErrorInvalidParameter)) return kMiscInvalidArgument;
        if ((error == static_cast<std::uint32_t>(pf::kErrorBufferOverflow) ||
             error == static_cast<std::uint32_t>(pf::kErrorMoreData)) &&
            hasReply) {
            if (size) *size = valueSize;
            if (type) *type = valueType;
            return data ? kMiscMoreData : kMiscSuccess;
        }
        return kMiscSystemError;
    }
    if (!hasReply) {
        SetErrorText(kOpQueryRegistry, u"Invalid return struct.");
        return kMiscSystemError;
    }
    if (data && valueSize > room) {
        *size = valueSize;
        if (type) *type = valueType;
        return kMiscMoreData;
    }
    if (data) {
        if (valueSize > got - kRgQOHeaderSize) {  // the reply claims more data than it carries
            SetErrorText(kOpQueryRegistry, u"Invalid return struct.");
            pf::SetLastErrorCode(pf::kErrorInvalidData);
            return kMiscSystemError;
        }
        std::memcpy(data, reply.get() + kRgQOHeaderSize, valueSize);
    }
    if (size) *size = valueSize;
    if (type) *type = valueType;
    return kMiscSuccess;
}

}  // namespace MiscCommon
