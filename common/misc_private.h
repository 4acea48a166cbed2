// Pieces the source files of CMiscCommon share and nothing else uses: the fixed texts of
// LastErrorText, heap blocks that are wiped before they are freed (requests and replies may
// carry key material or registry data), and the names every one of those files reads with.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "base/little_endian.h"
#include "crypto/blowfish.h"
#include "crypto/sha1.h"
#include "platform/last_error.h"

namespace MiscCommon::detail {

namespace pf = quarro::platform;
namespace crypto = quarro::crypto;
using quarro::bytes::Load16;
using quarro::bytes::Load32;
using quarro::bytes::Store16;
using quarro::bytes::Store32;

// Operation names of LastErrorText ("MiscCommon::CMiscCommon::<operation>: <message>").
inline constexpr const char16_t* kOpOpenDriver = u"OpenDriver";
inline constexpr const char16_t* kOpInitialize = u"_Initialize";
inline constexpr const char16_t* kOpEncrypt = u"_Encrypt";
inline constexpr const char16_t* kOpDecrypt = u"_Decrypt";
inline constexpr const char16_t* kOpInitializeCapsule = u"_InitializeMessageCapsule";
inline constexpr const char16_t* kOpEncapsulated = u"EncapsuledDeviceIoControl";
inline constexpr const char16_t* kOpCallMisc = u"CallMiscFunction";
inline constexpr const char16_t* kOpBootGet = u"BootPriorityGetPriorityAndTable";
inline constexpr const char16_t* kOpBootSet = u"BootPrioritySetPriority";
inline constexpr const char16_t* kOpBiosTable = u"GetBiosExtensionTable2";
inline constexpr const char16_t* kOpModelNumber = u"GetModelNumber";
inline constexpr const char16_t* kOpSetRegistry = u"SetRegistry";
inline constexpr const char16_t* kOpQueryRegistry = u"QueryRegistry";
inline constexpr const char16_t* kOpRegKeyExists = u"RegKeyExists";
inline constexpr const char16_t* kOpDelRegKey = u"DelRegKey";
inline constexpr const char16_t* kOpDelRegValue = u"DelRegValue";
inline constexpr const char16_t* kOpCreateRegKey = u"CreateRegKey";

// Messages several operations share.
inline constexpr const char16_t* kMsgDeviceIoControl = u"DeviceIoControl failed.";
inline constexpr const char16_t* kMsgHeapAlloc = u"HeapAlloc failed.";
inline constexpr const char16_t* kMsgNoDevice = u"_hDevice is NULL";
inline constexpr const char16_t* kMsgInvalidArguments = u"Invalid Argument(s).";

// A zero-filled heap block, wiped before it is freed.
class WipedBlock {
public:
    WipedBlock() = default;
    explicit WipedBlock(std::size_t size) { Allocate(size); }
    ~WipedBlock() { Free(); }
    WipedBlock(const WipedBlock&) = delete;
    WipedBlock& operator=(const WipedBlock&) = delete;

    bool Allocate(std::size_t size) {
        Free();
        data_ = new (std::nothrow) std::uint8_t[size == 0 ? 1 : size]();
        size_ = data_ ? size : 0;
        return data_ != nullptr;
    }
    void Free() {
        if (data_) quarro::crypto::SecureZero(data_, size_);
        delete[] data_;
        data_ = nullptr;
        size_ = 0;
    }
    std::uint8_t* get() const { return data_; }
    std::size_t size() const { return size_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

// A Blowfish context on the heap, wiped before it is freed unless released to the session.
class CipherBlock {
public:
    CipherBlock() : ctx_(new (std::nothrow) quarro::crypto::BlowfishContext()) {}
    ~CipherBlock() { Wipe(ctx_); }
    CipherBlock(const CipherBlock&) = delete;
    CipherBlock& operator=(const CipherBlock&) = delete;
    quarro::crypto::BlowfishContext* get() const { return ctx_; }
    quarro::crypto::BlowfishContext* release() {
        quarro::crypto::BlowfishContext* ctx = ctx_;
        ctx_ = nullptr;
        return ctx;
    }
    // Wipes and frees a context the session held.
    static void Wipe(quarro::crypto::BlowfishContext* ctx) {
        if (!ctx) return;
        quarro::crypto::BlowfishWipe(ctx);
        delete ctx;
    }

private:
    quarro::crypto::BlowfishContext* ctx_;
};

}  // namespace MiscCommon::detail
