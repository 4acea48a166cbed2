// Parser for registry export text, as `regedit` writes it and `regedit /S` imports it.
//
// Accepted input: the raw bytes of a file that starts with "Windows Registry Editor Version 5.00"
// or "REGEDIT4", encoded as UTF-16LE with a byte-order mark or as UTF-8 with or without one.
// Lines end in CRLF, LF or CR.
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Maker]      create the key (and the keys above it)
//   [-HKEY_LOCAL_MACHINE\SOFTWARE\Old]       delete the key and everything below it
//   @="text"                                  the key's default value
//   "Name"="te\"xt\\"                         REG_SZ; escapes \\ \" (and \n \r \0 as Wine's regedit)
//   "Count"=dword:0000002a                    REG_DWORD, 1 to 8 hex digits
//   "Blob"=hex:01,02,ff                       REG_BINARY
//   "Path"=hex(2):25,00,00,00                 any type by number: 2 REG_EXPAND_SZ, 7 REG_MULTI_SZ,
//   "Big"=hex(b):01,00,00,00,00,00,00,00      b REG_QWORD, 0 REG_NONE, ...
//   "Gone"=-                                  delete the value
//   ; comment                                 comment line (also blank lines)
//
// A hex list continues on the next line when the line ends with a backslash; the continuation
// line may be indented. Values below a "[-...]" line are ignored, as regedit ignores them.
//
// REGEDIT4 files carry 8-bit text: one that is not valid UTF-8 is read as Windows code page 1252,
// and their hex(2) and hex(7) bytes are converted from code page 1252 to UTF-16LE, as regedit does
// when it imports such a file.
//
// The input is untrusted. Every failure is reported as "line N: what is wrong"; the parser never
// reads outside the input and bounds what it builds (see the limits below).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace quarro::platform::sim {

// HKEY_CURRENT_CONFIG; the shared interface names only the four roots the programs use.
inline constexpr RegKey kHkeyCurrentConfig = MakePredefinedKey(static_cast<std::int32_t>(0x80000005u));

enum class RegFileRoot { kClassesRoot, kCurrentUser, kLocalMachine, kUsers, kCurrentConfig };

// The predefined handle of a root.
RegKey RootKeyOf(RegFileRoot root);

enum class RegFileOpKind {
    kCreateKey,    // root + keyPath
    kDeleteKey,    // root + keyPath: the key and its whole subtree
    kSetValue,     // keyOp + valueName + type + data
    kDeleteValue,  // keyOp + valueName
};

struct RegFileOperation {
    RegFileOpKind kind = RegFileOpKind::kCreateKey;
    std::size_t line = 0;  // 1-based line of the key line or of the value line

    // Key operations: the root and the path below it, components joined by '\' (empty path: the
    // root itself). Empty components of the file's path are dropped.
    RegFileRoot root = RegFileRoot::kLocalMachine;
    std::u16string keyPath;

    // Value operations: index, in the same list, of the kCreateKey operation naming their key.
    std::size_t keyOp = 0;
    std::u16string valueName;  // empty: the default value
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

// Limits on what one file may hold.
inline constexpr std::size_t kMaxRegFileBytes = 32u * 1024u * 1024u;
inline constexpr std::size_t kMaxRegFileOperations = 1000000;
inline constexpr std::size_t kMaxRegKeyNameChars = 256;     // one path component
inline constexpr std::size_t kMaxRegValueNameChars = 16383;
inline constexpr std::size_t kMaxRegPathComponents = 512;

// Parses `bytes`. On success fills `operations` (replacing its content) and returns true. On
// failure returns false, leaves `operations` empty and, if `error` is not null, stores a message
// that begins with the line number ("line 12: bad dword value").
bool ParseRegFile(std::string_view bytes, std::vector<RegFileOperation>* operations, std::string* error);

}  // namespace quarro::platform::sim
