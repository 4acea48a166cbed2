// The file concern of the native build: POSIX files behaving as the Win32 calls of IFiles do.
//
// Paths are UTF-16, converted to UTF-8; a backslash is accepted as a separator. What Windows keeps
// in a file's attributes is modelled as follows:
//  - read-only: a file without any write permission bit (for folders, see the next point);
//  - hidden, system and archive (and read-only on folders, where it means nothing to Windows
//    either, while a missing write bit would stop files being made in them): a per-process table
//    keyed by the file's canonical path. They live only in memory and are lost when the process
//    ends; another process sees the files without them;
//  - directory: from stat.
// The Windows rules that callers trip over are kept: creating over a read-only file fails with
// ERROR_ACCESS_DENIED; a created or appended file gets the archive attribute; and the share modes
// of the handles this process holds are enforced between them (ERROR_SHARING_VIOLATION), though
// not against other processes.
//
// Where Windows and Wine 8 differ in a way the programs notice, this follows Wine, as the
// in-memory registry does, so that a native run and a run under Wine write the same files:
// creating over a hidden or system file succeeds and keeps those attributes (Windows refuses
// CREATE_ALWAYS with FILE_ATTRIBUTE_NORMAL on such a file with ERROR_ACCESS_DENIED).
#pragma once

#include "platform/files.h"

namespace quarro::platform::sim {

class PosixFiles : public IFiles {
public:
    FileHandle CreateForWriting(const char16_t* path, std::uint32_t attributes = kFileAttributeNormal) override;
    bool Write(FileHandle file, const void* data, std::uint32_t size) override;
    void Close(FileHandle file) override;
    bool Delete(const char16_t* path) override;

    std::uint32_t GetAttributes(const char16_t* path) override;
    bool SetAttributes(const char16_t* path, std::uint32_t attributes) override;

    // The pattern may carry folders of its own ("sub\\*.txt"). Wildcards: '*' (any run of
    // characters, also none) and '?' (exactly one character); "*.*" matches every name. Letters
    // compare without regard to ASCII case. Names come in the order readdir gives them.
    std::vector<std::u16string> FindFiles(const char16_t* folder, const char16_t* pattern) override;

    bool ReadAll(const char16_t* path, std::string* bytes) override;
    bool Append(const char16_t* path, const std::string& bytes) override;
    bool CanOpenForReading(const char16_t* path) override;
    bool CreateFolder(const char16_t* path) override;

    char16_t Separator() const override { return u'/'; }
};

// The wildcard matching of FindFiles, on its own for tests: `name` against `pattern`.
bool MatchesFilePattern(const std::u16string& name, const std::u16string& pattern);

}  // namespace quarro::platform::sim
