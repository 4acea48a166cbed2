// The real file concern under Wine: the calls the report makes, on files in a fresh folder under
// %TEMP%.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/win32/files_win32.h"

namespace pf = quarro::platform;

namespace {

constexpr std::uint32_t kRo = FILE_ATTRIBUTE_READONLY;
constexpr std::uint32_t kHid = FILE_ATTRIBUTE_HIDDEN;
constexpr std::uint32_t kArc = FILE_ATTRIBUTE_ARCHIVE;

static_assert(pf::kFileAttributeReadOnly == FILE_ATTRIBUTE_READONLY && pf::kFileAttributeHidden == kHid &&
                  pf::kFileAttributeSystem == FILE_ATTRIBUTE_SYSTEM && pf::kFileAttributeArchive == kArc &&
                  pf::kFileAttributeDirectory == FILE_ATTRIBUTE_DIRECTORY &&
                  pf::kFileAttributeNormal == FILE_ATTRIBUTE_NORMAL && pf::kInvalidFileAttributes == INVALID_FILE_ATTRIBUTES,
              "attribute values");

class FilesOnWine : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1] = {};
        const DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        ASSERT_GT(length, 0u);
        ASSERT_LE(length, static_cast<DWORD>(MAX_PATH));
        folder_ = reinterpret_cast<const char16_t*>(temp);
        folder_ += u"quarro-files-" + Number(GetCurrentProcessId()) + u"-" + Number(GetTickCount()) + u"\\";
        ASSERT_TRUE(CreateDirectoryW(W(folder_), nullptr)) << GetLastError();
    }
    void TearDown() override { RemoveTree(folder_); }

    static std::u16string Number(DWORD value) {
        std::u16string text;
        do {
            text.insert(text.begin(), static_cast<char16_t>(u'0' + value % 10));
            value /= 10;
        } while (value);
        return text;
    }
    static const wchar_t* W(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

    static void RemoveTree(const std::u16string& folder) {
        WIN32_FIND_DATAW found{};
        HANDLE search = FindFirstFileW(W(folder + u"*"), &found);
        if (search != INVALID_HANDLE_VALUE) {
            do {
                const std::u16string name = reinterpret_cast<const char16_t*>(found.cFileName);
                if (name == u"." || name == u"..") continue;
                const std::u16string path = folder + name;
                SetFileAttributesW(W(path), FILE_ATTRIBUTE_NORMAL);
                if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                    RemoveTree(path + u"\\");
                } else {
                    DeleteFileW(W(path));
                }
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
        RemoveDirectoryW(W(folder));
    }

    std::u16string Path(const std::u16string& name) const { return folder_ + name; }
    // Wine keeps the read-only attribute in the Unix permission bits, which do not stop root:
    // under Wine run as root a read-only file opens for writing all the same.
    static bool ReadOnlyIsEnforced(const std::u16string& path) {
        HANDLE file = CreateFileW(W(path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return true;
        CloseHandle(file);
        std::printf("note: read-only files open for writing here (Wine as root); not checked\n");
        return false;
    }
    bool Overwrite(const std::u16string& name, const std::string& content) {
        const pf::FileHandle file = files_.CreateForWriting(Path(name).c_str());
        if (file == pf::kInvalidFile) return false;
        const bool written = files_.Write(file, content.data(), static_cast<std::uint32_t>(content.size()));
        files_.Close(file);
        return written;
    }
    std::string Content(const std::u16string& name) {
        std::string bytes;
        EXPECT_TRUE(files_.ReadAll(Path(name).c_str(), &bytes));
        return bytes;
    }

    std::u16string folder_;
    pf::win32::Win32Files files_;
};

TEST_F(FilesOnWine, CreateWritesAndReadsBack) {
    EXPECT_EQ(files_.Separator(), u'\\');
    const pf::FileHandle file = files_.CreateForWriting(Path(u"report.txt").c_str());
    ASSERT_NE(file, pf::kInvalidFile);
    EXPECT_TRUE(files_.Write(file, "header\r\n", 8));
    std::string big(100000, 'x');
    EXPECT_TRUE(files_.Write(file, big.data(), static_cast<std::uint32_t>(big.size())));
    files_.Close(file);
    EXPECT_EQ(Content(u"report.txt"), "header\r\n" + big);

    // Created again over the old file: emptied first, and the call says the file existed.
    const pf::FileHandle again = files_.CreateForWriting(Path(u"report.txt").c_str());
    ASSERT_NE(again, pf::kInvalidFile);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    files_.Close(again);
    EXPECT_EQ(Content(u"report.txt"), "");
    EXPECT_EQ(files_.GetAttributes(Path(u"report.txt").c_str()) & ~kArc, 0u);

    EXPECT_EQ(files_.GetAttributes(Path(u"none.txt").c_str()), pf::kInvalidFileAttributes);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(files_.CreateForWriting(Path(u"nofolder\\new.txt").c_str()), pf::kInvalidFile);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FilesOnWine, ReadOnlyReportIsOverwrittenOnceTheAttributeIsCleared) {
    ASSERT_TRUE(Overwrite(u"Sysnote.txt", "last year"));
    ASSERT_TRUE(files_.SetAttributes(Path(u"Sysnote.txt").c_str(), kRo | kArc));
    const std::uint32_t attributes = files_.GetAttributes(Path(u"Sysnote.txt").c_str());
    EXPECT_EQ(attributes, kRo | kArc);
    if (ReadOnlyIsEnforced(Path(u"Sysnote.txt"))) {
        EXPECT_EQ(files_.CreateForWriting(Path(u"Sysnote.txt").c_str()), pf::kInvalidFile);
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_FALSE(files_.Append(Path(u"Sysnote.txt").c_str(), "more"));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    }
    ASSERT_TRUE(files_.SetAttributes(Path(u"Sysnote.txt").c_str(), attributes & ~kRo));
    EXPECT_TRUE(Overwrite(u"Sysnote.txt", "this year"));
    EXPECT_EQ(Content(u"Sysnote.txt"), "this year");
    EXPECT_EQ(files_.GetAttributes(Path(u"Sysnote.txt").c_str()), kArc);
}

TEST_F(FilesOnWine, HiddenReportAfterClearingReadOnly) {
    ASSERT_TRUE(Overwrite(u"hidden.txt", "kept\r\n"));
    // Hidden first, read-only next: Wine run by a user other than root stores "hidden" beside the
    // file only while the file is still writable.
    ASSERT_TRUE(files_.SetAttributes(Path(u"hidden.txt").c_str(), kHid | kArc));
    ASSERT_TRUE(files_.SetAttributes(Path(u"hidden.txt").c_str(), kRo | kHid | kArc));
    const std::uint32_t attributes = files_.GetAttributes(Path(u"hidden.txt").c_str());
    EXPECT_EQ(attributes, kRo | kHid | kArc);
    ASSERT_TRUE(files_.SetAttributes(Path(u"hidden.txt").c_str(), attributes & ~kRo));
    EXPECT_EQ(files_.GetAttributes(Path(u"hidden.txt").c_str()), kHid | kArc);

    // Opening without truncation keeps the content and the attributes everywhere.
    EXPECT_TRUE(files_.Append(Path(u"hidden.txt").c_str(), "appended\r\n"));
    EXPECT_EQ(Content(u"hidden.txt"), "kept\r\nappended\r\n");
    EXPECT_EQ(files_.GetAttributes(Path(u"hidden.txt").c_str()), kHid | kArc);

    // CREATE_ALWAYS with FILE_ATTRIBUTE_NORMAL over a hidden file: Windows refuses it
    // (ERROR_ACCESS_DENIED, the file untouched); Wine 8 overwrites it and keeps its attributes.
    const pf::FileHandle file = files_.CreateForWriting(Path(u"hidden.txt").c_str());
    if (file == pf::kInvalidFile) {
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
        EXPECT_EQ(Content(u"hidden.txt"), "kept\r\nappended\r\n");
    } else {
        EXPECT_TRUE(files_.Write(file, "new", 3));
        files_.Close(file);
        EXPECT_EQ(Content(u"hidden.txt"), "new");
    }
    EXPECT_EQ(files_.GetAttributes(Path(u"hidden.txt").c_str()), kHid | kArc);
}

TEST_F(FilesOnWine, FindFilesReturnsOnlyTheMonthsFiles) {
    ASSERT_TRUE(CreateDirectoryW(W(Path(u"Log")), nullptr));
    for (const char16_t* name : {u"quarro_A_202612.txt", u"QUARRO_B_202612.TXT", u"quarro_C_202611.txt",
                                 u"quarro_D_202612.txt.bak", u"quarro_E_2026121.txt"}) {
        ASSERT_TRUE(Overwrite(std::u16string(u"Log\\") + name, "x"));
    }
    ASSERT_TRUE(CreateDirectoryW(W(Path(u"Log\\folder_202612.txt")), nullptr));
    const std::vector<std::u16string> expected = {u"QUARRO_B_202612.TXT", u"quarro_A_202612.txt"};
    for (const std::u16string& folder : {Path(u"Log"), Path(u"Log\\")}) {
        std::vector<std::u16string> found = files_.FindFiles(folder.c_str(), u"*_202612.txt");
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, expected);
    }
    EXPECT_TRUE(files_.FindFiles(Path(u"Log\\").c_str(), u"*_203001.txt").empty());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_TRUE(files_.FindFiles(Path(u"NoLog\\").c_str(), u"*.txt").empty());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FilesOnWine, AppendKeepsTheContentAndDeniesOtherWriters) {
    ASSERT_TRUE(Overwrite(u"report.txt", "header\r\n"));
    EXPECT_TRUE(files_.Append(Path(u"report.txt").c_str(), ""));
    EXPECT_TRUE(files_.Append(Path(u"report.txt").c_str(), "log 1\r\n"));
    EXPECT_TRUE(files_.Append(Path(u"report.txt").c_str(), std::string("log\0 2\r\n", 8)));
    EXPECT_EQ(Content(u"report.txt"), std::string("header\r\nlog 1\r\nlog\0 2\r\n", 23));

    EXPECT_FALSE(files_.Append(Path(u"none.txt").c_str(), "x"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(files_.GetAttributes(Path(u"none.txt").c_str()), pf::kInvalidFileAttributes) << "never created";

    // While the report is open for writing (shared for reading), it can be read but not appended to.
    const pf::FileHandle file = files_.CreateForWriting(Path(u"report.txt").c_str());
    ASSERT_NE(file, pf::kInvalidFile);
    ASSERT_TRUE(files_.Write(file, "part", 4));
    EXPECT_EQ(Content(u"report.txt"), "part");
    EXPECT_FALSE(files_.Append(Path(u"report.txt").c_str(), "log"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    files_.Close(file);
    EXPECT_TRUE(files_.Append(Path(u"report.txt").c_str(), "log"));
    EXPECT_EQ(Content(u"report.txt"), "partlog");
}

TEST_F(FilesOnWine, LogHeldOpenByTheServiceCanStillBeRead) {
    // The service keeps its log open for reading and writing, shared for reading.
    HANDLE log = CreateFileW(W(Path(u"quarro_x_202612.txt")), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                             OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(log, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(log, "entry\r\n", 7, &written, nullptr));
    std::string bytes;
    EXPECT_TRUE(files_.ReadAll(Path(u"quarro_x_202612.txt").c_str(), &bytes)) << GetLastError();
    EXPECT_EQ(bytes, "entry\r\n");
    CloseHandle(log);
}

}  // namespace
