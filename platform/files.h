// The file concern: the few file operations the programs make, with Win32 semantics. Paths are
// UTF-16 in the form of the running system (Windows paths on Windows, POSIX paths natively, where
// a backslash is also accepted as a separator).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quarro::platform {

using FileHandle = std::uintptr_t;
inline constexpr FileHandle kInvalidFile = ~static_cast<FileHandle>(0);  // INVALID_HANDLE_VALUE

// File attributes (Win32 values).
inline constexpr std::uint32_t kFileAttributeReadOnly = 0x01;
inline constexpr std::uint32_t kFileAttributeHidden = 0x02;
inline constexpr std::uint32_t kFileAttributeSystem = 0x04;
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
inline constexpr std::uint32_t kFileAttributeArchive = 0x20;
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;
inline constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;

class IFiles {
public:
    virtual ~IFiles() = default;

    // CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, attributes):
    // kInvalidFile on failure (last error set). Windows refuses to replace a hidden or system
    // file unless `attributes` names those attributes too.
    virtual FileHandle CreateForWriting(const char16_t* path, std::uint32_t attributes = kFileAttributeNormal) = 0;
    // WriteFile of all `size` bytes; false when not all were written.
    virtual bool Write(FileHandle file, const void* data, std::uint32_t size) = 0;
    virtual void Close(FileHandle file) = 0;
    // DeleteFileW: false when the file could not be deleted.
    virtual bool Delete(const char16_t* path) = 0;

    // GetFileAttributesW / SetFileAttributesW.
    virtual std::uint32_t GetAttributes(const char16_t* path) = 0;
    virtual bool SetAttributes(const char16_t* path, std::uint32_t attributes) = 0;

    // FindFirstFileW/FindNextFileW on `folder` + `pattern` (wildcards * and ?): the names of the
    // files found (not folders), in the order the search returns them.
    virtual std::vector<std::u16string> FindFiles(const char16_t* folder, const char16_t* pattern) = 0;

    // The whole content of a file; false when it cannot be opened or read.
    virtual bool ReadAll(const char16_t* path, std::string* bytes) = 0;
    // Opens for appending without truncation, denying writes to others, and appends `bytes`;
    // false when the file cannot be opened or written.
    virtual bool Append(const char16_t* path, const std::string& bytes) = 0;

    // CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
    // OPEN_EXISTING), closed again at once: whether the file can be opened for reading.
    virtual bool CanOpenForReading(const char16_t* path) = 0;
    // CreateDirectoryW (parent folders are not made); false when it fails, also when the folder
    // already exists (ERROR_ALREADY_EXISTS).
    virtual bool CreateFolder(const char16_t* path) = 0;
    // The path separator of the running system.
    virtual char16_t Separator() const = 0;
};

}  // namespace quarro::platform
