#include "platform/win32/files_win32.h"

#include <new>

#include "platform/concerns.h"
#include "platform/win32/handles.h"
#include "platform/win32/wide.h"

namespace quarro::platform::win32 {

namespace {

using quarro::win32::UniqueFile;
using quarro::win32::UniqueFindHandle;

HANDLE AsHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

bool IsOpen(FileHandle file) { return file != kInvalidFile && file != 0; }

// WriteFile until every byte is written; false (last error set) when a write fails or stalls.
bool WriteAll(HANDLE file, const char* data, std::size_t size) {
    while (size > 0) {
        const DWORD part = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, data, part, &written, nullptr)) return false;
        if (written == 0 || written > part) {
            SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Closes `file` now, leaving the caller's last error as it was.
void CloseKeepingError(UniqueFile& file) {
    const KeepLastError keep;
    file.Reset();
}

}  // namespace

FileHandle Win32Files::CreateForWriting(const char16_t* path, std::uint32_t attributes) {
    if (!path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return kInvalidFile;
    }
    HANDLE file = CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, attributes,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return kInvalidFile;
    return reinterpret_cast<FileHandle>(file);
}

bool Win32Files::Write(FileHandle file, const void* data, std::uint32_t size) {
    if (!IsOpen(file)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    if (size == 0) return true;
    if (!data) {
        SetLastError(ERROR_NOACCESS);
        return false;
    }
    return WriteAll(AsHandle(file), static_cast<const char*>(data), size);
}

void Win32Files::Close(FileHandle file) {
    if (IsOpen(file)) ::CloseHandle(AsHandle(file));
}

bool Win32Files::Delete(const char16_t* path) {
    if (!path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    return DeleteFileW(W(path)) != 0;
}

std::uint32_t Win32Files::GetAttributes(const char16_t* path) {
    if (!path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return kInvalidFileAttributes;
    }
    return GetFileAttributesW(W(path));
}

bool Win32Files::SetAttributes(const char16_t* path, std::uint32_t attributes) {
    if (!path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    return SetFileAttributesW(W(path), attributes) != FALSE;
}

std::vector<std::u16string> Win32Files::FindFiles(const char16_t* folder, const char16_t* pattern) {
    std::vector<std::u16string> names;
    std::u16string search;
    try {
        search = folder ? folder : u"";
        if (!search.empty() && search.back() != u'\\' && search.back() != u'/' && search.back() != u':') {
            search += u'\\';
        }
        search += pattern ? pattern : u"";
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return names;
    }
    WIN32_FIND_DATAW found{};
    UniqueFindHandle finder(FindFirstFileW(W(search.c_str()), &found));
    if (!finder) return names;
    DWORD error = ERROR_NO_MORE_FILES;
    try {
        do {
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
            // cFileName is terminated by the call; bounded all the same.
            std::size_t length = 0;
            while (length < MAX_PATH && found.cFileName[length] != 0) ++length;
            names.emplace_back(U(found.cFileName), length);
        } while (FindNextFileW(finder.Get(), &found));
        error = GetLastError();
    } catch (const std::bad_alloc&) {
        names.clear();
        error = ERROR_NOT_ENOUGH_MEMORY;
    }
    finder.Reset();
    SetLastError(error);
    return names;
}

bool Win32Files::ReadAll(const char16_t* path, std::string* bytes) {
    if (!path || !bytes) {
        SetLastError(bytes ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return false;
    }
    UniqueFile file(CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    std::string content;
    char chunk[16384];
    bool ok = true;
    try {
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(file.Get(), chunk, sizeof(chunk), &got, nullptr)) {
                ok = false;
                break;
            }
            if (got == 0) break;
            content.append(chunk, got);
        }
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        ok = false;
    }
    CloseKeepingError(file);
    if (ok) bytes->swap(content);
    return ok;
}

bool Win32Files::Append(const char16_t* path, const std::string& bytes) {
    if (!path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    // Open without truncation, others may read but not write; then write at the end.
    UniqueFile file(CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    LARGE_INTEGER zero{};
    const bool ok = SetFilePointerEx(file.Get(), zero, nullptr, FILE_END) &&
                    WriteAll(file.Get(), bytes.data(), bytes.size());
    CloseKeepingError(file);
    return ok;
}

bool Win32Files::CanOpenForReading(const char16_t* path) {
    if (!path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    UniqueFile file(CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return static_cast<bool>(file);
}

bool Win32Files::CreateFolder(const char16_t* path) {
    if (!path) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return false;
    }
    return CreateDirectoryW(W(path), nullptr) != FALSE;
}

std::shared_ptr<IFiles> MakeWin32Files() { return std::make_shared<Win32Files>(); }

}  // namespace quarro::platform::win32
