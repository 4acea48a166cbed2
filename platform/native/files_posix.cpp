#include "platform/native/files_posix.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <new>
#include <string>

#include "platform/concerns.h"
#include "platform/last_error.h"
#include "platform/utf8.h"
#include "platform/win32_errors.h"

namespace quarro::platform::sim {

namespace {

char16_t FoldAscii(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c; }

bool MatchesPlain(const std::u16string& name, const std::u16string& pattern) {
    const std::size_t none = std::u16string::npos;
    std::size_t n = 0, p = 0;
    std::size_t starP = none, starN = 0;  // the last '*' seen and where its run started in the name
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || FoldAscii(pattern[p]) == FoldAscii(name[n]))) {
            ++p;
            ++n;
        } else if (starP != none) {
            // Let the last '*' take one more character and try again from there.
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*') ++p;
    return p == pattern.size();
}

}  // namespace

bool MatchesFilePattern(const std::u16string& name, const std::u16string& pattern) {
    if (pattern.empty()) return false;
    if (MatchesPlain(name, pattern)) return true;
    // As on Windows, a pattern ending in ".*" also matches names without that dot: "*.*" matches
    // every name, "log*.*" matches "log".
    const std::size_t size = pattern.size();
    return size >= 2 && pattern[size - 2] == u'.' && pattern[size - 1] == u'*' &&
           MatchesPlain(name, pattern.substr(0, size - 2));
}

namespace {

constexpr unsigned kRead = 1;   // access, and FILE_SHARE_READ
constexpr unsigned kWrite = 2;  // access, and FILE_SHARE_WRITE
constexpr mode_t kWriteBits = S_IWUSR | S_IWGRP | S_IWOTH;
constexpr std::uint32_t kKeptOnFiles = kFileAttributeHidden | kFileAttributeSystem | kFileAttributeArchive;
constexpr std::uint32_t kSettable = kFileAttributeReadOnly | kKeptOnFiles;

struct OpenFile {
    dev_t device;
    ino_t inode;
    unsigned access;
    unsigned share;
};

// What Windows would keep in the file system and this process keeps here instead. Never
// destroyed: modules may still use the files while the process ends.
struct State {
    std::mutex lock;
    std::map<std::string, std::uint32_t> kept;  // canonical path -> attributes not held by the file itself
    std::map<int, OpenFile> open;               // the handles of CreateForWriting
};

State& TheState() {
    static State* state = new State();
    return *state;
}

std::string NativePath(const char16_t* path) {
    if (!path) return {};
    std::string native = Utf16ToUtf8(path);
    for (char& c : native) {
        if (c == '\\') c = '/';
    }
    return native;
}

std::string Canonical(const std::string& path) {
    char* resolved = realpath(path.c_str(), nullptr);
    if (!resolved) return path;
    std::string canonical(resolved);
    std::free(resolved);
    return canonical;
}

bool ParentFolderExists(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string parent = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/")
                                                                                          : path.substr(0, slash);
    struct stat st {};
    return stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The Win32 error for an errno met on `path`.
std::uint32_t ErrorFromErrno(int error, const std::string& path) {
    switch (error) {
    case ENOENT: return ParentFolderExists(path) ? kErrorFileNotFound : kErrorPathNotFound;
    case ENOTDIR: return kErrorPathNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
    case ETXTBSY: return kErrorAccessDenied;
    case ENAMETOOLONG: return kErrorFilenameTooLong;
    case ENOSPC:
    case EDQUOT: return kErrorDiskFull;
    case EMFILE:
    case ENFILE: return kErrorTooManyOpenFiles;
    case EBADF: return kErrorInvalidHandle;
    case ENOMEM: return kErrorNotEnoughMemory;
    case EINVAL: return kErrorInvalidParameter;
    case EEXIST: return kErrorFileExists;
    case EIO: return kErrorIoDevice;
    case ELOOP: return kErrorCantResolveFilename;
    default: return kErrorGenFailure;
    }
}

bool IsReadOnlyFile(const struct stat& st) { return !S_ISDIR(st.st_mode) && (st.st_mode & kWriteBits) == 0; }

std::uint32_t Kept(State& state, const std::string& canonical) {
    auto it = state.kept.find(canonical);
    return it == state.kept.end() ? 0 : it->second;
}

// Would a new handle with this access and share mode clash with one this process holds?
bool SharingConflict(const State& state, const struct stat& st, unsigned access, unsigned share) {
    for (const auto& entry : state.open) {
        const OpenFile& other = entry.second;
        if (other.device != st.st_dev || other.inode != st.st_ino) continue;
        if ((access & ~other.share) != 0 || (other.access & ~share) != 0) return true;
    }
    return false;
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

void CloseQuietly(int fd) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
}

}  // namespace

// Natively a replaced file keeps its remembered attributes whatever `attributes` says, as Wine does.
FileHandle PosixFiles::CreateForWriting(const char16_t* path, std::uint32_t) {
    State& state = TheState();
    std::lock_guard<std::mutex> guard(state.lock);
    const std::string native = NativePath(path);
    if (native.empty()) {
        SetLastErrorCode(kErrorPathNotFound);
        return kInvalidFile;
    }
    struct stat st {};
    const bool existed = stat(native.c_str(), &st) == 0;
    if (existed) {
        // CREATE_ALWAYS over an existing file: denied for a folder or a read-only file. (A hidden
        // or system file is overwritten as Wine 8 does it; see the header.)
        if (S_ISDIR(st.st_mode) || IsReadOnlyFile(st)) {
            SetLastErrorCode(kErrorAccessDenied);
            return kInvalidFile;
        }
        if (SharingConflict(state, st, kWrite, kRead)) {
            SetLastErrorCode(kErrorSharingViolation);
            return kInvalidFile;
        }
    }
    const int fd = ::open(native.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        SetLastErrorCode(ErrorFromErrno(errno, native));
        return kInvalidFile;
    }
    if (fstat(fd, &st) != 0) {
        const std::uint32_t error = ErrorFromErrno(errno, native);
        ::close(fd);
        SetLastErrorCode(error);
        return kInvalidFile;
    }
    // Hidden and system stay; the new content is marked for archiving.
    state.kept[Canonical(native)] |= kFileAttributeArchive;
    state.open[fd] = OpenFile{st.st_dev, st.st_ino, kWrite, kRead};
    // Like CreateFileW: ERROR_ALREADY_EXISTS tells the caller an existing file was overwritten.
    SetLastErrorCode(existed ? kErrorAlreadyExists : kErrorSuccess);
    return static_cast<FileHandle>(fd);
}

bool PosixFiles::Write(FileHandle file, const void* data, std::uint32_t size) {
    State& state = TheState();
    std::lock_guard<std::mutex> guard(state.lock);
    auto it = file <= static_cast<FileHandle>(INT32_MAX) ? state.open.find(static_cast<int>(file)) : state.open.end();
    if (it == state.open.end()) {
        SetLastErrorCode(kErrorInvalidHandle);
        return false;
    }
    if (size == 0) return true;
    if (!data) {
        SetLastErrorCode(kErrorNoAccess);
        return false;
    }
    if (!WriteAll(it->first, static_cast<const char*>(data), size)) {
        SetLastErrorCode(errno == ENOSPC || errno == EDQUOT ? kErrorDiskFull : kErrorIoDevice);
        return false;
    }
    return true;
}

void PosixFiles::Close(FileHandle file) {
    State& state = TheState();
    std::lock_guard<std::mutex> guard(state.lock);
    auto it = file <= static_cast<FileHandle>(INT32_MAX) ? state.open.find(static_cast<int>(file)) : state.open.end();
    if (it == state.open.end()) {
        SetLastErrorCode(kErrorInvalidHandle);
        return;
    }
    ::close(it->first);
    state.open.erase(it);
}


// The native path of the Windows path `path` and its status; false with the last error Windows
// would give (path not found, or the error of the lookup) when there is none.
static bool StatWindowsPath(const char16_t* path, std::string* native, struct stat* st) {
    *native = NativePath(path);
    if (native->empty() || stat(native->c_str(), st) != 0) {
        SetLastErrorCode(native->empty() ? kErrorPathNotFound : ErrorFromErrno(errno, *native));
        return false;
    }
    return true;
}

bool PosixFiles::Delete(const char16_t* path) {
    State& state = TheState();
    std::lock_guard<std::mutex> guard(state.lock);
    std::string native;
    struct stat st {};
    if (!StatWindowsPath(path, &native, &st)) return false;
    const std::string canonical = Canonical(native);
    // DeleteFileW removes no folder.
    if (S_ISDIR(st.st_mode) || ::unlink(native.c_str()) != 0) {
        SetLastErrorCode(S_ISDIR(st.st_mode) ? kErrorAccessDenied : ErrorFromErrno(errno, native));
        return false;
    }
    state.kept.erase(canonical);
    return true;
}

std::uint32_t PosixFiles::GetAttributes(const char16_t* path) {
    State& state = TheState();
    std::lock_guard<std::mutex> guard(state.lock);
    const std::string native = NativePath(path);
    struct stat st {};
    if (native.empty() || stat(native.c_str(), &st) != 0) {
        SetLastErrorCode(native.empty() ? kErrorPathNotFound : ErrorFromErrno(errno, native));
        return kInvalidFileAttributes;
    }
    std::uint32_t attributes = Kept(state, Canonical(native));
    if (S_ISDIR(st.st_mode)) {
        attributes |= kFileAttributeDirectory;
    } else if (IsReadOnlyFile(st)) {
        attributes |= kFileAttributeReadOnly;
    }
    return attributes != 0 ? attributes : kFileAttributeNormal;
}

bool PosixFiles::SetAttributes(const char16_t* path, std::uint32_t attributes) {
    State& state = TheState();
    std::lock_guard<std::mutex> guard(state.lock);
    std::string native;
    struct stat st {};
    if (!StatWindowsPath(path, &native, &st)) return false;
    // FILE_ATTRIBUTE_NORMAL alone clears everything; the directory bit and the attributes this
    // model does not keep are ignored.
    attributes &= kSettable;
    std::uint32_t kept = attributes;
    if (!S_ISDIR(st.st_mode)) {
        kept &= kKeptOnFiles;
        const bool readOnly = (attributes & kFileAttributeReadOnly) != 0;
        if (readOnly != IsReadOnlyFile(st)) {
            const mode_t mode = readOnly ? (st.st_mode & ~kWriteBits) : (st.st_mode | S_IWUSR);
            if (chmod(native.c_str(), mode & 07777) != 0) {
                SetLastErrorCode(ErrorFromErrno(errno, native));
                return false;
            }
        }
    }
    const std::string canonical = Canonical(native);
    if (kept != 0) {
        state.kept[canonical] = kept;
    } else {
        state.kept.erase(canonical);
    }
    return true;
}

std::vector<std::u16string> PosixFiles::FindFiles(const char16_t* folder, const char16_t* pattern) {
    std::string search = NativePath(folder);
    if (!search.empty() && search.back() != '/') search += '/';
    search += NativePath(pattern);
    // Folders named in the pattern belong to the folder searched.
    const std::size_t slash = search.find_last_of('/');
    const std::string directory = slash == std::string::npos ? std::string(".") : slash == 0 ? std::string("/")
                                                                                            : search.substr(0, slash);
    const std::u16string namePattern = Utf8ToUtf16(slash == std::string::npos ? search : search.substr(slash + 1));

    std::vector<std::u16string> names;
    DIR* dir = opendir(directory.c_str());
    if (!dir) {
        SetLastErrorCode(errno == ENOENT ? kErrorPathNotFound : ErrorFromErrno(errno, directory));
        return names;
    }
    try {
        while (const dirent* entry = readdir(dir)) {
            const std::u16string name = Utf8ToUtf16(entry->d_name);
            if (!MatchesFilePattern(name, namePattern)) continue;
            struct stat st {};
            if (fstatat(dirfd(dir), entry->d_name, &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
            names.push_back(name);
        }
    } catch (const std::bad_alloc&) {
        closedir(dir);
        SetLastErrorCode(kErrorNotEnoughMemory);
        return {};
    }
    closedir(dir);
    // What FindNextFileW leaves after the last name, or FindFirstFileW when nothing matched.
    SetLastErrorCode(names.empty() ? kErrorFileNotFound : kErrorNoMoreFiles);
    return names;
}

bool PosixFiles::ReadAll(const char16_t* path, std::string* bytes) {
    State& state = TheState();
    std::lock_guard<std::mutex> guard(state.lock);
    const std::string native = NativePath(path);
    if (!bytes || native.empty()) {
        SetLastErrorCode(bytes ? kErrorPathNotFound : kErrorInvalidParameter);
        return false;
    }
    const int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetLastErrorCode(ErrorFromErrno(errno, native));
        return false;
    }
    struct stat st {};
    std::uint32_t error = kErrorSuccess;
    if (fstat(fd, &st) != 0) {
        error = ErrorFromErrno(errno, native);
    } else if (S_ISDIR(st.st_mode)) {
        error = kErrorAccessDenied;
    } else if (SharingConflict(state, st, kRead, kRead | kWrite)) {
        error = kErrorSharingViolation;
    }
    std::string content;
    char chunk[16384];
    try {
        while (error == kErrorSuccess) {
            const ssize_t got = ::read(fd, chunk, sizeof(chunk));
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) error = ErrorFromErrno(errno, native);
            if (got <= 0) break;
            content.append(chunk, static_cast<std::size_t>(got));
        }
    } catch (const std::bad_alloc&) {
        error = kErrorNotEnoughMemory;
    }
    CloseQuietly(fd);
    if (error != kErrorSuccess) {
        SetLastErrorCode(error);
        return false;
    }
    bytes->swap(content);
    return true;
}

bool PosixFiles::Append(const char16_t* path, const std::string& bytes) {
    State& state = TheState();
    std::lock_guard<std::mutex> guard(state.lock);
    std::string native;
    struct stat st {};
    if (!StatWindowsPath(path, &native, &st)) return false;
    if (S_ISDIR(st.st_mode) || IsReadOnlyFile(st)) {
        SetLastErrorCode(kErrorAccessDenied);
        return false;
    }
    if (SharingConflict(state, st, kWrite, kRead)) {
        SetLastErrorCode(kErrorSharingViolation);
        return false;
    }
    const int fd = ::open(native.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        SetLastErrorCode(ErrorFromErrno(errno, native));
        return false;
    }
    std::uint32_t error = kErrorSuccess;
    if (lseek(fd, 0, SEEK_END) < 0) {
        error = ErrorFromErrno(errno, native);
    } else if (!WriteAll(fd, bytes.data(), bytes.size())) {
        error = errno == ENOSPC || errno == EDQUOT ? kErrorDiskFull : kErrorIoDevice;
    }
    CloseQuietly(fd);
    if (error != kErrorSuccess) {
        SetLastErrorCode(error);
        return false;
    }
    if (!bytes.empty()) state.kept[Canonical(native)] |= kFileAttributeArchive;
    return true;
}

bool PosixFiles::CanOpenForReading(const char16_t* path) {
    State& state = TheState();
    std::lock_guard<std::mutex> guard(state.lock);
    std::string native;
    struct stat st {};
    if (!StatWindowsPath(path, &native, &st)) return false;
    if (S_ISDIR(st.st_mode)) {
        SetLastErrorCode(kErrorAccessDenied);
        return false;
    }
    const int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetLastErrorCode(ErrorFromErrno(errno, native));
        return false;
    }
    CloseQuietly(fd);
    return true;
}

bool PosixFiles::CreateFolder(const char16_t* path) {
    const std::string native = NativePath(path);
    if (native.empty()) {
        SetLastErrorCode(kErrorPathNotFound);
        return false;
    }
    if (::mkdir(native.c_str(), 0777) != 0) {
        SetLastErrorCode(errno == EEXIST ? kErrorAlreadyExists : ErrorFromErrno(errno, native));
        return false;
    }
    return true;
}

std::shared_ptr<IFiles> MakeSimFiles(const MachineSnapshot*, std::string*) { return std::make_shared<PosixFiles>(); }

}  // namespace quarro::platform::sim
