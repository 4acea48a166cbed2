// Records and tables of CMiscCommon: one field of the model-number record (read directly, not in
// a capsule), the boot-priority list and device table, and BIOS extension tables. Each copies no
// more than its caller's area and the protocol's 65536-byte limits allow.
#include <cstring>

#include "common/misc_common.h"
#include "common/misc_private.h"
#include "platform/platform.h"

namespace MiscCommon {

using namespace detail;

int CMiscCommon::GetModelNumber(std::uint32_t type, void* buffer, std::uint32_t* size) {
    if (!IsOpen()) return kMiscNotInitialized;
    if (!SessionGate()) return kMiscTooOld;
    if (!size || type >= kModelTypeCount) return kMiscInvalidArgument;
    if (!buffer || *size < ModelFieldLength(type)) return CutModelNumberField(nullptr, type, buffer, size);

    WipedBlock record(kModelRecordSize);
    if (!record) {
        SetErrorText(kOpModelNumber, kMsgHeapAlloc);
        return kMiscNoMemory;
    }
    std::uint32_t got = 0;
    const bool ok = _device.Control(kIoctlModelRecord, nullptr, 0, record.get(), kModelRecordSize, &got);
    if (!ok || got != kModelRecordSize) {
        if (ok) pf::SetLastErrorCode(pf::kErrorInvalidData);
        SetErrorText(kOpModelNumber, kMsgDeviceIoControl);
        return kMiscSystemError;
    }
    return CutModelNumberField(record.get(), type, buffer, size);
}

int CMiscCommon::BootPriorityGetPriorityAndTable(std::uint8_t* status, void* priority, std::uint32_t prioritySize,
                                                 void* table, std::uint32_t tableSize) {
    if (!IsOpen()) {
        SetErrorText(kOpBootGet, kMsgNoDevice);
        return kMiscNotInitialized;
    }
    if (!ExtendedGate()) return kMiscTooOld;
    WipedBlock reply(kBootPriorityReplySize);
    if (!reply) {
        SetErrorText(kOpBootGet, kMsgHeapAlloc);
        return kMiscNoMemory;
    }
    for (int attempt = 0;; ++attempt) {
        std::uint32_t got = 0;
        if (!EncapsuledDeviceIoControl(kInnerBootPriorityGet, nullptr, 0, reply.get(), kBootPriorityReplySize, &got)) {
            if (Encrypting && !Cipher) return kMiscNotInitialized;
            SetErrorText(kOpBootGet, kMsgDeviceIoControl);
            return kMiscSystemError;
        }
        if (got == 0) {
            pf::SetLastErrorCode(pf::kErrorInvalidData);
            SetErrorText(kOpBootGet, kMsgDeviceIoControl);
            return kMiscSystemError;
        }
        if (reply.get()[0] != kStatusBusy || attempt >= 1) break;
        pf::Clock().Sleep(100);
        std::memset(reply.get(), 0, reply.size());
    }
    if (status) *status = reply.get()[0];
    if (priority && prioritySize) {
        std::memcpy(priority, reply.get() + 4, prioritySize < kBootPriorityAreaSize ? prioritySize : kBootPriorityAreaSize);
    }
    if (table && tableSize) {
        std::memcpy(table, reply.get() + kBootPriorityTableOffset,
                    tableSize < kBootPriorityAreaSize ? tableSize : kBootPriorityAreaSize);
    }
    ClearErrorText();
    return kMiscSuccess;
}

int CMiscCommon::BootPrioritySetPriority(std::uint8_t* status, const void* array, std::uint32_t size) {
    if (!IsOpen()) {
        SetErrorText(kOpBootSet, kMsgNoDevice);
        return kMiscNotInitialized;
    }
    if (!ExtendedGate()) return kMiscTooOld;
    if (!array) {
        SetErrorText(kOpBootSet, u"pBootPriorityArray is NULL");
        return kMiscInvalidArgument;
    }
    if (size > kBootPriorityAreaSize) {
        SetErrorText(kOpBootSet, kMsgInvalidArguments);
        return kMiscInvalidArgument;
    }
    WipedBlock request(kBootPriorityAreaSize);
    if (!request) {
        SetErrorText(kOpBootSet, kMsgHeapAlloc);
        return kMiscNoMemory;
    }
    std::memcpy(request.get(), array, size);
    std::uint8_t reply = 0;
    for (int attempt = 0;; ++attempt) {
        std::uint32_t got = 0;
        reply = 0;
        if (!EncapsuledDeviceIoControl(kInnerBootPrioritySet, request.get(), kBootPriorityAreaSize, &reply, 1, &got)) {
            if (Encrypting && !Cipher) return kMiscNotInitialized;
            SetErrorText(kOpBootSet, kMsgDeviceIoControl);
            return kMiscSystemError;
        }
        if (got == 0) {
            pf::SetLastErrorCode(pf::kErrorInvalidData);
            SetErrorText(kOpBootSet, kMsgDeviceIoControl);
            return kMiscSystemError;
        }
        if (reply != kStatusBusy || attempt >= 1) break;
        pf::Clock().Sleep(100);
    }
    if (status) *status = reply;
    ClearErrorText();
    return kMiscSuccess;
}

int CMiscCommon::GetBiosExtensionTable2(std::uint16_t table, void* buffer, std::uint32_t* size) {
    if (!ExtendedGate()) return kMiscTooOld;
    if (!size || *size == 0) return kMiscInvalidArgument;
    std::uint8_t request[2];
    Store16(request, table);
    std::uint32_t got = 0;
    if (!EncapsuledDeviceIoControl(kInnerBiosExtensionTable2, request, sizeof(request), buffer, *size, &got)) {
        SetErrorText(kOpBiosTable, kMsgDeviceIoControl);
        return kMiscSystemError;
    }
    *size = got;
    return kMiscSuccess;
}

}  // namespace MiscCommon
