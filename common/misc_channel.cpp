// The request channel of CMiscCommon: the capsule exchange (inner message, capsule, cipher,
// reply checks) and Misc function packets carried through it.
//
// Replies are untrusted. A capsule reply's payload is taken only from bytes the driver returned
// and, when enciphered, that its own capsule length covers. A Misc packet reply must fill the
// packet's output length: a shorter one would leave request bytes where the caller reads results
// (and byte 0 holding the function number instead of a status).
#include <cstring>
#include <new>

#include "common/misc_common.h"
#include "common/misc_private.h"
#include "platform/platform.h"

namespace MiscCommon {

using namespace detail;

// ======================================================================================
// Capsules
// ======================================================================================

int CMiscCommon::_Encrypt(std::uint8_t* capsule, std::uint32_t capsuleLength) {
    if (!capsule) {
        SetErrorText(kOpEncrypt, u"capsule is NULL");
        return kMiscInvalidArgument;
    }
    if (!Cipher) {
        SetErrorText(kOpEncrypt, u"BlowFish Context is not initialized.");
        return kMiscNotInitialized;
    }
    const std::uint32_t blocks = capsuleLength < 16 ? 0 : (capsuleLength - 16) / 8;
    for (std::uint32_t i = 0; i < blocks; ++i) {
        if (!crypto::BlowfishEncipherBlock(Cipher, capsule + 12 + 8 * i)) {
            SetErrorTextNumbers(kOpEncrypt, u"BlowFish Encipher failed. i = ", static_cast<int>(i), nullptr, 0, false);
            return kMiscSystemError;
        }
    }
    return kMiscSuccess;
}

int CMiscCommon::_Decrypt(std::uint8_t* capsule, std::uint32_t bufferSize) {
    if (!capsule) {
        SetErrorText(kOpDecrypt, u"capsule is NULL");
        return kMiscInvalidArgument;
    }
    if (!Cipher) {
        SetErrorText(kOpDecrypt, u"BlowFish Context is not initialized.");
        return kMiscNotInitialized;
    }
    const std::uint32_t blocks = ReplyBlockCount(capsule, bufferSize);
    for (std::uint32_t i = 0; i < blocks; ++i) {
        if (!crypto::BlowfishDecipherBlock(Cipher, capsule + 12 + 8 * i)) {
            SetErrorTextNumbers(kOpDecrypt, u"BlowFish Decipher failed. i = ", static_cast<int>(i), nullptr, 0, false);
            return kMiscSystemError;
        }
    }
    return kMiscSuccess;
}

std::uint8_t* CMiscCommon::_InitializeMessageCapsule(const std::uint8_t* payload, std::uint32_t payloadLength,
                                                     std::uint32_t* capsuleLength) {
    const std::uint32_t length = CapsuleLength(payloadLength);
    auto* capsule = new (std::nothrow) std::uint8_t[length];
    if (!capsule) {
        SetErrorText(kOpInitializeCapsule, kMsgHeapAlloc);
        return nullptr;
    }
    WriteCapsule(capsule, SessionId, payload, payloadLength);
    *capsuleLength = length;
    return capsule;
}

int CMiscCommon::EncapsuledDeviceIoControl(std::uint32_t code, const void* input, std::uint32_t inputLength,
                                           void* output, std::uint32_t outputCapacity, std::uint32_t* returned) {
    if (!SessionGate()) {
        pf::SetLastErrorCode(pf::kErrorNotSupported);
        return 0;
    }
    if ((input == nullptr) != (inputLength == 0) || (output == nullptr) != (outputCapacity == 0) || !returned) {
        SetErrorText(kOpEncapsulated, kMsgInvalidArguments);
        pf::SetLastErrorCode(pf::kErrorInvalidParameter);
        return 0;
    }
    *returned = 0;
    if (!IsOpen() || (Encrypting && !Cipher)) {
        SetErrorText(kOpEncapsulated, u"Session Not Initialized.");
        pf::SetLastErrorCode(IsOpen() ? pf::kErrorAccessDenied : pf::kErrorInvalidHandle);
        return 0;
    }
    if (inputLength > kMaxTransferBytes || outputCapacity > kMaxTransferBytes) {
        SetErrorText(kOpEncapsulated, kMsgHeapAlloc);
        pf::SetLastErrorCode(pf::kErrorNotEnoughMemory);
        return 0;
    }

    const std::uint32_t innerLength = InnerMessageLength(inputLength);
    WipedBlock inner(innerLength);
    if (!inner) {
        SetErrorText(kOpEncapsulated, kMsgHeapAlloc);
        pf::SetLastErrorCode(pf::kErrorNotEnoughMemory);
        return 0;
    }
    WriteInnerMessage(inner.get(), Sequence, code, input, inputLength, outputCapacity);

    std::uint32_t requestLength = 0;
    std::uint8_t* rawRequest = _InitializeMessageCapsule(inner.get(), innerLength, &requestLength);
    if (!rawRequest) {
        pf::SetLastErrorCode(pf::kErrorNotEnoughMemory);
        return 0;
    }
    // Owned from here on, wiped on the way out.
    struct Owned {
        std::uint8_t* p;
        std::uint32_t n;
        ~Owned() {
            crypto::SecureZero(p, n);
            delete[] p;
        }
    } request{rawRequest, requestLength};
    inner.Free();

    if (Encrypting) {
        const int encrypted = _Encrypt(request.p, request.n);
        if (encrypted != kMiscSuccess) {
            pf::SetLastErrorCode(encrypted == kMiscNotInitialized ? pf::kErrorAccessDenied : pf::kErrorGenFailure);
            return 0;
        }
    }

    const std::uint32_t replySize = CapsuleLength(outputCapacity);
    WipedBlock reply(replySize);
    if (!reply) {
        SetErrorText(kOpEncapsulated, kMsgHeapAlloc);
        pf::SetLastErrorCode(pf::kErrorNotEnoughMemory);
        return 0;
    }

    std::uint32_t got = 0;
    bool ok = _device.Control(kIoctlCapsule, request.p, request.n, reply.get(), replySize, &got);
    std::uint32_t error = pf::GetLastErrorCode();
    if (ok || got > 0) ++Sequence;
    if (got > replySize) got = replySize;

    if (got < 12) {
        SetErrorTextNumbers(kOpEncapsulated, u"Invalid structure returned. size = ", static_cast<int>(got), nullptr, 0,
                            false);
        pf::SetLastErrorCode(ok ? static_cast<std::uint32_t>(pf::kErrorInvalidData) : error);
        return 0;
    }
    std::uint32_t deciphered = got;  // bytes after the header that hold plain text
    if (Encrypting) {
        const int decrypted = _Decrypt(reply.get(), replySize);
        if (decrypted != kMiscSuccess) {
            pf::SetLastErrorCode(decrypted == kMiscNotInitialized ? pf::kErrorAccessDenied : pf::kErrorGenFailure);
            return 0;
        }
        deciphered = 12 + 8 * ReplyBlockCount(reply.get(), replySize);
    }

    const std::uint32_t payloadLength = Load32(reply.get());
    if (payloadLength != 0) {
        std::uint32_t copy = payloadLength < outputCapacity ? payloadLength : outputCapacity;
        // Only bytes the driver returned and, when enciphered, that its capsule length covers are
        // payload. A reply that claims success with less is malformed; a failed call hands back
        // what it carries, with its own error.
        const std::uint32_t available = (got < deciphered ? got : deciphered) - 12;
        if (copy > available) {
            if (ok) {
                SetErrorTextNumbers(kOpEncapsulated, u"Invalid structure returned. size = ", static_cast<int>(got),
                                    nullptr, 0, false);
                pf::SetLastErrorCode(pf::kErrorInvalidData);
                return 0;
            }
            copy = available;
        }
        if (copy) std::memcpy(output, reply.get() + 12, copy);
        *returned = copy;
        if (payloadLength > outputCapacity && ok) {
            ok = false;
            error = static_cast<std::uint32_t>(pf::kErrorMoreData);
        }
    }
    pf::SetLastErrorCode(error);
    return ok ? 1 : 0;
}

// ======================================================================================
// Misc function packets
// ======================================================================================

int CMiscCommon::ShortPacketReply() {
    pf::SetLastErrorCode(pf::kErrorInvalidData);
    SetErrorText(kOpCallMisc, kMsgDeviceIoControl);
    return kMiscSystemError;
}

int CMiscCommon::CallMiscFunction(void* packet, std::uint32_t packetSize, std::uint32_t retries,
                                  std::uint32_t pauseMs) {
    if (!IsOpen()) {
        SetErrorText(kOpCallMisc, kMsgNoDevice);
        return kMiscNotInitialized;
    }
    if (!packet) {
        SetErrorText(kOpCallMisc, u"pPacket is NULL");
        return kMiscInvalidArgument;
    }
    if (packetSize == 0) {
        SetErrorText(kOpCallMisc, u"sizePacket is '0'");
        return kMiscInvalidArgument;
    }
    if (!SessionGate()) return kMiscTooOld;
    auto* bytes = static_cast<std::uint8_t*>(packet);
    if (packetSize < kPacketHeaderSize || Load16(bytes + 2) > packetSize || Load16(bytes + 4) > packetSize) {
        SetErrorText(kOpCallMisc, kMsgInvalidArguments);
        return kMiscInvalidArgument;
    }
    const std::uint32_t inputLength = Load16(bytes + 2);
    const std::uint32_t outputLength = Load16(bytes + 4);

    WipedBlock copy(packetSize);
    if (!copy) {
        SetErrorText(kOpCallMisc, kMsgHeapAlloc);
        return kMiscNoMemory;
    }
    std::memcpy(copy.get(), bytes, packetSize);

    for (std::uint32_t repeats = 0;; ++repeats) {
        std::uint32_t got = 0;
        const int ok = EncapsuledDeviceIoControl(kInnerCallMisc, inputLength ? bytes : nullptr, inputLength,
                                                 outputLength ? bytes : nullptr, outputLength, &got);
        if (!ok) {
            if (Encrypting && !Cipher) return kMiscNotInitialized;  // "Session Not Initialized." stays
            SetErrorText(kOpCallMisc, kMsgDeviceIoControl);
            return kMiscSystemError;
        }
        if (got < outputLength) return ShortPacketReply();
        if (outputLength == 0 || bytes[0] != kStatusBusy || repeats >= retries) break;
        pf::Clock().Sleep(pauseMs);
        std::memcpy(bytes, copy.get(), packetSize);
    }
    ClearErrorText();
    return kMiscSuccess;
}

int CMiscCommon::CallMiscFunction(void* packet1, std::uint32_t packetSize1, void* packet2,
                                  std::uint32_t packetSize2) {
    if (!IsOpen()) {
        SetErrorText(kOpCallMisc, kMsgNoDevice);
        return kMiscNotInitialized;
    }
    if (!packet1) {
        SetErrorText(kOpCallMisc, u"pPacket1 is NULL");
        return kMiscInvalidArgument;
    }
    if (!packet2) {
        SetErrorText(kOpCallMisc, u"pPacket2 is NULL");
        return kMiscInvalidArgument;
    }
    if (packetSize1 == 0) {
        SetErrorText(kOpCallMisc, u"sizePacket1 is '0'");
        return kMiscInvalidArgument;
    }
    if (packetSize2 == 0) {
        SetErrorText(kOpCallMisc, u"sizePacket2 is '0'");
        return kMiscInvalidArgument;
    }
    if (!SessionGate()) return kMiscTooOld;
    auto* bytes1 = static_cast<std::uint8_t*>(packet1);
    auto* bytes2 = static_cast<std::uint8_t*>(packet2);
    if (packetSize1 < kPacketHeaderSize || packetSize2 < kPacketHeaderSize || Load16(bytes1 + 2) > packetSize1 ||
        Load16(bytes1 + 4) > packetSize1 || Load16(bytes2 + 2) > packetSize2 || Load16(bytes2 + 4) > packetSize2) {
        SetErrorText(kOpCallMisc, kMsgInvalidArguments);
        return kMiscInvalidArgument;
    }
    const std::uint32_t in1 = Load16(bytes1 + 2), out1 = Load16(bytes1 + 4);
    const std::uint32_t in2 = Load16(bytes2 + 2), out2 = Load16(bytes2 + 4);
    const unsigned long long total = static_cast<unsigned long long>(packetSize1) + packetSize2;

    WipedBlock buffer;
    if (total > kMaxTransferBytes || !buffer.Allocate(static_cast<std::size_t>(total))) {
        SetErrorText(kOpCallMisc, kMsgHeapAlloc);
        return kMiscNoMemory;
    }
    std::memcpy(buffer.get(), bytes1, in1);
    std::memcpy(buffer.get() + in1, bytes2, in2);
    const std::uint32_t inputLength = in1 + in2;
    const std::uint32_t outputLength = out1 + out2;
    std::uint32_t got = 0;
    if (!EncapsuledDeviceIoControl(kInnerCallMisc2, inputLength ? buffer.get() : nullptr, inputLength,
                                   outputLength ? buffer.get() : nullptr, outputLength, &got)) {
        if (Encrypting && !Cipher) return kMiscNotInitialized;
        SetErrorText(kOpCallMisc, kMsgDeviceIoControl);
        return kMiscSystemError;
    }
    if (got < outputLength) return ShortPacketReply();
    std::memcpy(bytes1, buffer.get(), out1);
    std::memcpy(bytes2, buffer.get() + out1, out2);
    ClearErrorText();
    return kMiscSuccess;
}

}  // namespace MiscCommon
