// The real file concern: the Win32 file calls behind IFiles.
#pragma once

#include "platform/files.h"

namespace quarro::platform::win32 {

class Win32Files : public IFiles {
public:
    FileHandle CreateForWriting(const char16_t* path, std::uint32_t attributes = kFileAttributeNormal) override;
    bool Write(FileHandle file, const void* data, std::uint32_t size) override;
    void Close(FileHandle file) override;
    bool Delete(const char16_t* path) override;

    std::uint32_t GetAttributes(const char16_t* path) override;
    bool SetAttributes(const char16_t* path, std::uint32_t attributes) override;

    // A backslash is put between `folder` and `pattern` unless the folder ends with one (or with
    // a slash or a drive colon).
    std::vector<std::u16string> FindFiles(const char16_t* folder, const char16_t* pattern) override;

    // Opened shared for reading and writing, as a text-mode fopen opens it, so that a log file
    // the service holds open for writing can still be read.
    bool ReadAll(const char16_t* path, std::string* bytes) override;
    bool Append(const char16_t* path, const std::string& bytes) override;
    bool CanOpenForReading(const char16_t* path) override;
    bool CreateFolder(const char16_t* path) override;

    char16_t Separator() const override { return u'\\'; }
};

}  // namespace quarro::platform::win32
