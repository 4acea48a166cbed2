// Return codes of the driver-session library: one 32-bit code per operation, 0 = success. Every
// part of the session (wire decoders, transport, handshake, requests) answers in these.
#pragma once

namespace MiscCommon {

inline constexpr int kMiscSuccess = 0;
inline constexpr int kMiscSystemError = 2;       // a system call or the driver failed (see the last error)
inline constexpr int kMiscInvalidArgument = 3;   // null pointer, zero size, wrong packet size
inline constexpr int kMiscNoMemory = 5;          // out of memory, or the caller's buffer is too small
inline constexpr int kMiscNotFound = 6;          // no device interface; authentication or key calculation failed
inline constexpr int kMiscNotInitialized = 8;    // no open device, or no cipher context
inline constexpr int kMiscMoreData = 9;          // the registry value is larger than the caller's buffer
inline constexpr int kMiscTooOld = 10;           // driver too old, or a registry root other than HKLM
inline constexpr int kMiscCreateFileFailed = 11;  // CreateFileW on the device failed

}  // namespace MiscCommon
