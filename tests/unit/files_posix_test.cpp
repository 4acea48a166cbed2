// The native file concern: Win32 file semantics over POSIX files.
#include "platform/native/files_posix.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/utf8.h"

namespace quarro::platform::sim {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kRo = kFileAttributeReadOnly;
constexpr std::uint32_t kHid = kFileAttributeHidden;
constexpr std::uint32_t kSys = kFileAttributeSystem;
constexpr std::uint32_t kArc = kFileAttributeArchive;
constexpr std::uint32_t kDir = kFileAttributeDirectory;
constexpr std::uint32_t kNormal = kFileAttributeNormal;

class FilesPosix : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "quarro-files-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    std::string Native(const std::string& name) const { return root_ + "/" + name; }
    std::u16string Path(const std::string& name) const { return Utf8ToUtf16(Native(name)); }
    void Put(const std::string& name, const std::string& content) {
        std::ofstream(Native(name), std::ios::binary) << content;
    }
    std::string Content(const std::string& name) {
        std::string bytes;
        EXPECT_TRUE(files_.ReadAll(Path(name).c_str(), &bytes)) << name;
        return bytes;
    }
    // Creates (truncating) and writes `content` in one go; false when the create failed.
    bool Overwrite(const std::string& name, const std::string& content) {
        const FileHandle file = files_.CreateForWriting(Path(name).c_str());
        if (file == kInvalidFile) return false;
        const bool written = files_.Write(file, content.data(), static_cast<std::uint32_t>(content.size()));
        files_.Close(file);
        return written;
    }

    std::string root_;
    PosixFiles files_;
};

TEST_F(FilesPosix, CreateWritesReadsBackAndTruncatesOnTheNextCreate) {
    const FileHandle file = files_.CreateForWriting(Path("report.txt").c_str());
    ASSERT_NE(file, kInvalidFile);
    EXPECT_EQ(GetLastErrorCode(), 0u);
    EXPECT_TRUE(files_.Write(file, "header\r\n", 8));
    EXPECT_TRUE(files_.Write(file, "rows\r\n", 6));
    EXPECT_TRUE(files_.Write(file, nullptr, 0));
    files_.Close(file);
    EXPECT_EQ(Content("report.txt"), "header\r\nrows\r\n");
    EXPECT_EQ(files_.GetAttributes(Path("report.txt").c_str()), kArc);

    // Over an existing file: truncated, and ERROR_ALREADY_EXISTS tells so.
    const FileHandle again = files_.CreateForWriting(Path("report.txt").c_str());
    ASSERT_NE(again, kInvalidFile);
    EXPECT_EQ(GetLastErrorCode(), 183u);
    EXPECT_TRUE(files_.Write(again, "x", 1));
    files_.Close(again);
    EXPECT_EQ(Content("report.txt"), "x");
}

TEST_F(FilesPosix, BackslashesSeparateFolders) {
    fs::create_directories(Native("a/b"));
    ASSERT_TRUE(Overwrite("a\\b\\c.txt", "deep"));
    EXPECT_EQ(Content("a/b/c.txt"), "deep");
}

TEST_F(FilesPosix, CreateOverAnExistingFileFollowsItsAttributes) {
    // Read-only refuses CREATE_ALWAYS; hidden and system are overwritten and kept, as under Wine 8.
    struct Case {
        std::uint32_t attributes;
        bool created;
        std::uint32_t after;
    } const cases[] = {
        {kNormal, true, kArc},
        {kArc, true, kArc},
        {kHid, true, kHid | kArc},
        {kSys, true, kSys | kArc},
        {kHid | kSys | kArc, true, kHid | kSys | kArc},
        {kRo, false, kRo},
        {kRo | kArc, false, kRo | kArc},
        {kRo | kHid | kSys | kArc, false, kRo | kHid | kSys | kArc},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.attributes);
        Put("old.txt", "old content");
        ASSERT_TRUE(files_.SetAttributes(Path("old.txt").c_str(), c.attributes));
        const bool created = Overwrite("old.txt", "new");
        EXPECT_EQ(created, c.created);
        if (!c.created) {
            EXPECT_EQ(GetLastErrorCode(), 5u);
        }
        EXPECT_EQ(Content("old.txt"), c.created ? "new" : "old content");
        EXPECT_EQ(files_.GetAttributes(Path("old.txt").c_str()), c.after);
        ASSERT_TRUE(files_.SetAttributes(Path("old.txt").c_str(), kNormal));
    }
}

TEST_F(FilesPosix, ClearingReadOnlyLetsAReportBeOverwritten) {
    // What the report does with an existing read-only file: clear read-only, keep the rest, write.
    for (const std::uint32_t others : {kArc, kHid | kArc, kHid | kSys | kArc}) {
        SCOPED_TRACE(others);
        Put("Sysnote.txt", "last year");
        ASSERT_TRUE(files_.SetAttributes(Path("Sysnote.txt").c_str(), kRo | others));
        struct stat st {};
        ASSERT_EQ(stat(Native("Sysnote.txt").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0222, 0u) << "read-only is the lack of write permission";

        const std::uint32_t attributes = files_.GetAttributes(Path("Sysnote.txt").c_str());
        ASSERT_EQ(attributes, kRo | others);
        ASSERT_TRUE(files_.SetAttributes(Path("Sysnote.txt").c_str(), attributes & ~kRo));
        ASSERT_EQ(stat(Native("Sysnote.txt").c_str(), &st), 0);
        EXPECT_NE(st.st_mode & S_IWUSR, 0u);
        EXPECT_TRUE(Overwrite("Sysnote.txt", "this year"));
        EXPECT_EQ(Content("Sysnote.txt"), "this year");
        EXPECT_EQ(files_.GetAttributes(Path("Sysnote.txt").c_str()), others);
        ASSERT_TRUE(files_.SetAttributes(Path("Sysnote.txt").c_str(), kNormal));
    }
}

TEST_F(FilesPosix, AttributesRoundTrip) {
    Put("f.txt", "");
    fs::create_directory(Native("d"));
    struct Case {
        const char* name;
        std::uint32_t set;
        std::uint32_t read;
    } const cases[] = {
        {"f.txt", kNormal, kNormal},
        {"f.txt", 0, kNormal},
        {"f.txt", kRo, kRo},
        {"f.txt", kHid | kArc, kHid | kArc},
        {"f.txt", kRo | kHid | kSys | kArc, kRo | kHid | kSys | kArc},
        {"f.txt", kDir | kHid, kHid},             // the directory bit cannot be set
        {"f.txt", kNormal | 0x2000 | kArc, kArc},  // attributes not modelled are dropped
        {"d", kNormal, kDir},
        {"d", kRo | kHid, kDir | kRo | kHid},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + std::to_string(c.set));
        ASSERT_TRUE(files_.SetAttributes(Path(c.name).c_str(), c.set));
        EXPECT_EQ(files_.GetAttributes(Path(c.name).c_str()), c.read);
        // Another instance sees the same process-wide attributes.
        EXPECT_EQ(PosixFiles().GetAttributes(Path(c.name).c_str()), c.read);
    }
    // A read-only folder still takes new files, as on Windows.
    EXPECT_TRUE(Overwrite("d/inside.txt", "ok"));
}

TEST_F(FilesPosix, MissingPathsReportFileOrPathNotFound) {
    struct Case {
        const char* name;
        std::uint32_t error;
    } const cases[] = {{"none.txt", 2}, {"nofolder/none.txt", 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(files_.GetAttributes(Path(c.name).c_str()), kInvalidFileAttributes);
        EXPECT_EQ(GetLastErrorCode(), c.error);
        EXPECT_FALSE(files_.SetAttributes(Path(c.name).c_str(), kNormal));
        EXPECT_EQ(GetLastErrorCode(), c.error);
        std::string bytes = "kept";
        EXPECT_FALSE(files_.ReadAll(Path(c.name).c_str(), &bytes));
        EXPECT_EQ(GetLastErrorCode(), c.error);
        EXPECT_EQ(bytes, "kept");
        EXPECT_FALSE(files_.Append(Path(c.name).c_str(), "x"));
        EXPECT_EQ(GetLastErrorCode(), c.error);
        EXPECT_FALSE(fs::exists(Native(c.name))) << "Append never creates";
    }
    EXPECT_EQ(files_.CreateForWriting(Path("nofolder/new.txt").c_str()), kInvalidFile);
    EXPECT_EQ(GetLastErrorCode(), 3u);
    EXPECT_EQ(files_.CreateForWriting(u""), kInvalidFile);
}

TEST_F(FilesPosix, FoldersAreNeitherCreatedOverNorRead) {
    fs::create_directory(Native("Log"));
    EXPECT_EQ(files_.CreateForWriting(Path("Log").c_str()), kInvalidFile);
    EXPECT_EQ(GetLastErrorCode(), 5u);
    std::string bytes;
    EXPECT_FALSE(files_.ReadAll(Path("Log").c_str(), &bytes));
    EXPECT_EQ(GetLastErrorCode(), 5u);
    EXPECT_FALSE(files_.Append(Path("Log").c_str(), "x"));
    EXPECT_EQ(GetLastErrorCode(), 5u);
}

TEST_F(FilesPosix, AppendKeepsTheContentAndWritesAtTheEnd) {
    Put("report.txt", "header\r\n");
    EXPECT_TRUE(files_.Append(Path("report.txt").c_str(), ""));
    EXPECT_EQ(Content("report.txt"), "header\r\n");
    EXPECT_EQ(files_.GetAttributes(Path("report.txt").c_str()), kNormal) << "nothing written, nothing changed";
    EXPECT_TRUE(files_.Append(Path("report.txt").c_str(), "log 1\r\n"));
    EXPECT_TRUE(files_.Append(Path("report.txt").c_str(), std::string("log\0 2\r\n", 8)));
    EXPECT_EQ(Content("report.txt"), std::string("header\r\nlog 1\r\nlog\0 2\r\n", 23));
    EXPECT_EQ(files_.GetAttributes(Path("report.txt").c_str()), kArc);

    ASSERT_TRUE(files_.SetAttributes(Path("report.txt").c_str(), kRo));
    EXPECT_FALSE(files_.Append(Path("report.txt").c_str(), "more"));
    EXPECT_EQ(GetLastErrorCode(), 5u);
    ASSERT_TRUE(files_.SetAttributes(Path("report.txt").c_str(), kNormal));
}

TEST_F(FilesPosix, OpenHandlesShareAsTheirModesAllow) {
    // The report is created shared for reading only: while it is open nobody else may write it,
    // but reading is fine.
    const FileHandle file = files_.CreateForWriting(Path("report.txt").c_str());
    ASSERT_NE(file, kInvalidFile);
    ASSERT_TRUE(files_.Write(file, "part", 4));
    std::string bytes;
    EXPECT_TRUE(files_.ReadAll(Path("report.txt").c_str(), &bytes));
    EXPECT_EQ(bytes, "part");
    EXPECT_FALSE(files_.Append(Path("report.txt").c_str(), "log"));
    EXPECT_EQ(GetLastErrorCode(), 32u);
    EXPECT_EQ(files_.CreateForWriting(Path("report.txt").c_str()), kInvalidFile);
    EXPECT_EQ(GetLastErrorCode(), 32u);
    // Other files are not affected.
    Put("other.txt", "");
    EXPECT_TRUE(files_.Append(Path("other.txt").c_str(), "log"));
    files_.Close(file);
    EXPECT_TRUE(files_.Append(Path("report.txt").c_str(), "log"));
    EXPECT_EQ(Content("report.txt"), "partlog");
}

TEST_F(FilesPosix, UnknownHandlesAreRefused) {
    EXPECT_FALSE(files_.Write(kInvalidFile, "x", 1));
    EXPECT_EQ(GetLastErrorCode(), 6u);
    EXPECT_FALSE(files_.Write(0, "x", 1)) << "standard input is not a file this object opened";
    EXPECT_EQ(GetLastErrorCode(), 6u);
    files_.Close(kInvalidFile);
    const FileHandle file = files_.CreateForWriting(Path("a.txt").c_str());
    ASSERT_NE(file, kInvalidFile);
    files_.Close(file);
    EXPECT_FALSE(files_.Write(file, "x", 1)) << "closed";
    files_.Close(file);
    EXPECT_EQ(GetLastErrorCode(), 6u);
}

TEST_F(FilesPosix, FindFilesReturnsOnlyMatchingFiles) {
    fs::create_directory(Native("Log"));
    for (const char* name : {"quarro_A_202612.txt", "QUARRO_B_202612.TXT", "_202612.txt", "quarro_C_202611.txt",
                             "quarro_D_202612.txt.bak", "quarro_E_2026121.txt"}) {
        Put(std::string("Log/") + name, "x");
    }
    fs::create_directory(Native("Log/folder_202612.txt"));
    const std::vector<std::u16string> expected = {u"QUARRO_B_202612.TXT", u"_202612.txt", u"quarro_A_202612.txt"};
    for (const std::string& folder : {Native("Log"), Native("Log") + "/", root_ + "\\Log\\"}) {
        SCOPED_TRACE(folder);
        std::vector<std::u16string> found = files_.FindFiles(Utf8ToUtf16(folder).c_str(), u"*_202612.txt");
        std::sort(found.begin(), found.end());
        EXPECT_EQ(found, expected);
    }
    // The pattern may name a sub-folder of its own.
    std::vector<std::u16string> found = files_.FindFiles(Utf8ToUtf16(root_).c_str(), u"Log\\*_202611.*");
    EXPECT_EQ(found, std::vector<std::u16string>{u"quarro_C_202611.txt"});

    EXPECT_TRUE(files_.FindFiles(Path("Log").c_str(), u"*_203001.txt").empty());
    EXPECT_EQ(GetLastErrorCode(), 2u);
    EXPECT_TRUE(files_.FindFiles(Path("NoLog").c_str(), u"*.txt").empty());
    EXPECT_EQ(GetLastErrorCode(), 3u);
}

TEST(FilesPattern, MatchesAsWindowsDoes) {
    struct Case {
        const char16_t* name;
        const char16_t* pattern;
        bool matches;
    } const cases[] = {
        {u"quarro_1_202612.txt", u"*_202612.txt", true},
        {u"_202612.txt", u"*_202612.txt", true},
        {u"quarro_1_202612.TXT", u"*_202612.txt", true},
        {u"quarro_1_202612.txt.bak", u"*_202612.txt", false},
        {u"quarro_1_202611.txt", u"*_202612.txt", false},
        {u"a_b_202612.txt", u"*_202612.txt", true},  // the star backtracks over the first '_'
        {u"abc", u"a?c", true},
        {u"ac", u"a?c", false},
        {u"abbc", u"a?c", false},
        {u"abc", u"*", true},
        {u"abc", u"*.*", true},
        {u"abc.txt", u"*.*", true},
        {u"log", u"log*.*", true},
        {u"logfile", u"log*.*", true},
        {u"blog", u"log*.*", false},
        {u"a*c", u"a*c", true},
        {u"abc", u"ABC", true},
        {u"\u00e9t\u00e9.txt", u"\u00c9T\u00c9.TXT", false},  // only ASCII letters fold
        {u"abc", u"", false},
        {u"", u"*", true},
        {u"aaaaaaaaaaaaaaaaaaaaaaaaaaaaab", u"*a*a*a*a*a*a*a*c", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MatchesFilePattern(c.name, c.pattern), c.matches)
            << Utf16ToUtf8(c.name) << " ~ " << Utf16ToUtf8(c.pattern);
    }
}

}  // namespace
}  // namespace quarro::platform::sim
