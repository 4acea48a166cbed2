// The screen copy's portable core: the palette, the file layout, and whole runs against a
// simulated Windows (registry, mutexes, known folders, real files in a temporary folder, recorded
// message boxes) with a fake capture.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <tuple>

#include <unistd.h>

#include "common/text.h"
#include "platform/concerns.h"
#include "platform/native/files_posix.h"
#include "platform/native/memory_registry.h"
#include "platform/native/sim_os_identity.h"
#include "platform/native/sim_prompt.h"
#include "platform/platform.h"
#include "screencopy/glance_core.h"

namespace pf = quarro::platform;
namespace sim = quarro::platform::sim;
namespace g = quarro::glance;
namespace fs = std::filesystem;

using namespace std::string_literals;

namespace {

std::string U8(const std::u16string& s) { return quarro::text::ToUtf8(s); }

TEST(GlancePalette, FixedEntriesCubeAndGreys) {
    const struct {
        int index;
        int r, gr, b;
    } fixed[] = {{0, 0, 0, 0},       {1, 0, 64, 0},     {2, 0, 96, 0},      {3, 0, 128, 0},     {4, 0, 160, 0},
                 {5, 0, 192, 0},     {6, 0, 224, 0},    {249, 0, 255, 0},   {250, 0, 0, 255},   {251, 0, 255, 255},
                 {252, 255, 0, 0},   {253, 255, 255, 0}, {254, 255, 0, 255}, {255, 255, 255, 255}};
    for (const auto& f : fixed) {
        EXPECT_EQ(std::make_tuple(f.r, f.gr, f.b),
                  std::make_tuple(int(g::kPalette[f.index].red), int(g::kPalette[f.index].green),
                                  int(g::kPalette[f.index].blue)))
            << f.index;
    }
    std::set<std::tuple<int, int, int>> colours;
    int greys = 0;
    for (const g::Rgb& c : g::kPalette) {
        colours.insert({c.red, c.green, c.blue});
        if (c.red == c.green && c.green == c.blue) ++greys;
    }
    EXPECT_EQ(256u, colours.size()) << "every entry a colour of its own";
    for (int r = 0; r <= 255; r += 51)
        for (int gr = 0; gr <= 255; gr += 51)
            for (int b = 0; b <= 255; b += 51) EXPECT_TRUE(colours.count({r, gr, b})) << r << "," << gr << "," << b;
    EXPECT_EQ(40, greys);  // black, white, the cube's four and a ramp of 34
    const auto table = g::PaletteColourTable();
    EXPECT_EQ(0xFF, table[250 * 4]);  // blue, green, red, 0
    EXPECT_EQ(0xFF, table[252 * 4 + 2]);
    EXPECT_EQ(0x40, table[1 * 4 + 1]);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(0, table[i * 4 + 3]);
}

TEST(GlancePalette, NearestEntry) {
    const struct {
        int r, gr, b, index;
    } rows[] = {
        {0, 0, 0, 0},         {255, 255, 255, 255}, {250, 8, 3, 252},  {0, 70, 0, 1},  {0, 250, 0, 249},
        {3, 3, 250, 250},     {0, 0, 51, 7},        {6, 6, 6, 215},    {9, 9, 9, 215}, // tie 6/12 at 9: lowest index
        {192, 192, 192, 241}, {0, 229, 0, 6},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(row.index, g::NearestPaletteIndex(row.r, row.gr, row.b)) << row.r << "," << row.gr << "," << row.b;
    }
    // Through the screen copy's five-bit step: black is (4, 4, 4), nearer the darkest grey.
    EXPECT_EQ(215, g::ScreenColourIndex(0, 0, 0));
    EXPECT_EQ(255, g::ScreenColourIndex(255, 255, 255));
    EXPECT_EQ(252, g::ScreenColourIndex(255, 0, 0));
    EXPECT_EQ(1, g::ScreenColourIndex(0, 64, 0));  // (4, 68, 4)
}

TEST(GlanceRules, MessageModeStrideHeaderTextAndShellString) {
    EXPECT_EQ(g::MessageMode::All, g::MessageModeFrom(false, 0));
    EXPECT_EQ(g::MessageMode::None, g::MessageModeFrom(true, 0));
    EXPECT_EQ(g::MessageMode::All, g::MessageModeFrom(true, 1));
    EXPECT_EQ(g::MessageMode::FailureOnly, g::MessageModeFrom(true, 2));
    EXPECT_EQ(g::MessageMode::All, g::MessageModeFrom(true, 3));
    EXPECT_EQ(g::MessageMode::All, g::MessageModeFrom(true, 0xFFFFFFFFu));

    const std::uint32_t strides[][2] = {{1, 4}, {3, 4}, {4, 4}, {5, 8}, {1366, 1368}, {1280, 1280}};
    for (const auto& s : strides) EXPECT_EQ(s[1], g::RowStride(static_cast<std::int32_t>(s[0])));
    EXPECT_EQ(0u, g::RowStride(0));
    EXPECT_EQ(0u, g::RowStride(-4));

    EXPECT_EQ(9227u, g::DocumentsNameStringId(6, 2));
    EXPECT_EQ(21770u, g::DocumentsNameStringId(6, 3));
    EXPECT_EQ(21770u, g::DocumentsNameStringId(10, 0));
    EXPECT_EQ(9227u, g::DocumentsNameStringId(5, 1));

    EXPECT_EQ(u"a F in D.", g::FormatFileAndFolder(u"a %s in %s.", u"F", u"D", false));
    EXPECT_EQ(u"a D in F.", g::FormatFileAndFolder(u"a %s in %s.", u"F", u"D", true));
    EXPECT_EQ(u"F D %s %d", g::FormatFileAndFolder(u"%s %s %s %d", u"F", u"D", false));
    EXPECT_EQ(u"only F%", g::FormatFileAndFolder(u"only %s%", u"F", u"D", false));
}

g::Capture MakeCapture(std::int32_t width, std::int32_t height, int bits = 8) {
    g::Capture c;
    auto put = [&](int at, std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) c.infoHeader[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    put(0, 40, 4);
    put(4, static_cast<std::uint32_t>(width), 4);
    put(8, static_cast<std::uint32_t>(height), 4);
    put(12, 1, 2);
    put(14, static_cast<std::uint32_t>(bits), 2);
    c.colourTable = g::PaletteColourTable();
    const std::uint32_t stride = g::RowStride(width);
    for (std::int32_t y = 0; y < (height > 0 ? height : 0); ++y)
        for (std::uint32_t x = 0; x < stride; ++x) c.pixels.push_back(static_cast<std::uint8_t>(x < std::uint32_t(width) ? y * 16 + x : 0));
    return c;
}

TEST(GlanceRules, FileHeaderOnlyForABottomUpEightBitImage) {
    std::array<std::uint8_t, 14> header{};
    ASSERT_TRUE(g::BuildFileHeader(MakeCapture(5, 3), &header));
    const std::array<std::uint8_t, 14> expected = {'B', 'M', 0x4E, 0x04, 0, 0, 0, 0, 0, 0, 0x36, 0x04, 0, 0};
    EXPECT_EQ(expected, header);  // 1078 + 3 rows of 8 bytes = 1102
    g::Capture tooShort = MakeCapture(5, 3);
    tooShort.pixels.pop_back();
    g::Capture topDown = MakeCapture(5, 3);
    topDown.infoHeader[8] = 0xFD, topDown.infoHeader[9] = topDown.infoHeader[10] = topDown.infoHeader[11] = 0xFF;
    g::Capture wrongSize = MakeCapture(5, 3);
    wrongSize.infoHeader[0] = 108;
    for (const g::Capture& bad : {tooShort, topDown, wrongSize, MakeCapture(5, 3, 24), MakeCapture(0, 3)}) {
        EXPECT_FALSE(g::BuildFileHeader(bad, &header));
    }
}

// Files as the system has them, with the write `failAt` (1-based) failing.
class FailingFiles : public sim::PosixFiles {
public:
    int failAt = 0;
    int writes = 0;
    bool Write(pf::FileHandle file, const void* data, std::uint32_t size) override {
        if (++writes == failAt) return PosixFiles::Write(file, data, size / 2) && false;
        return PosixFiles::Write(file, data, size);
    }
};

class Folders : public pf::IShellFolders {
public:
    std::u16string documents;
    bool GetKnownFolderPath(pf::KnownFolder folder, std::u16string* out) override {
        if (folder != pf::KnownFolder::Documents || documents.empty()) return false;
        *out = documents;
        return true;
    }
};

class GlanceRun : public ::testing::Test {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("quarro-glance-" + std::to_string(::getpid()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "debug");
        folders_.documents = quarro::text::FromUtf8(folder_.string());
        os_.version.majorVersion = 6;
        os_.version.minorVersion = 1;
        os_.version.platformId = 2;
        pf::Services s;
        s.os = &os_;
        s.prompt = &prompt_;
        s.registry = &registry_;
        s.folders = &folders_;
        s.files = &files_;
        s.mutexes = mutexes_.get();
        override_ = std::make_unique<pf::ScopedOverride>(s);
        environment_.capture = [this](g::Capture* out) {
            ++captures_;
            if (!captureWorks_) return false;
            *out = MakeCapture(5, 3);
            return true;
        };
        environment_.loadSystemString = [this](std::uint32_t id, std::u16string* text) {
            shellIds_.push_back(id);
            *text = shellName_;
            return !shellName_.empty();
        };
        environment_.bringForward = [this](const char16_t* caption) { forwarded_.push_back(caption); };
    }
    void TearDown() override {
        fs::remove_all(folder_);
        unsetenv("QUARRO_LANGUAGE");
    }

    void ResetSettings() {
        pf::RegKey key = 0;
        if (registry_.OpenKey(pf::kHkeyLocalMachine, u"SOFTWARE\\Mirelta\\QUARRO", pf::kKeyWrite, &key) != 0) return;
        registry_.DeleteValue(key, u"BMDispMessage000");
        registry_.DeleteValue(key, u"DebugSelectDrive000");
        registry_.CloseKey(key);
    }
    void SetDword(const char16_t* name, std::uint32_t value) {
        pf::RegKey key = 0;
        ASSERT_EQ(0, registry_.CreateKey(pf::kHkeyLocalMachine, u"SOFTWARE\\Mirelta\\QUARRO", pf::kKeyWrite, &key, nullptr));
        registry_.SetValue(key, name, pf::kRegDword, reinterpret_cast<const std::uint8_t*>(&value), 4);
        registry_.CloseKey(key);
    }
    void SetString(const char16_t* name, const std::u16string& value) {
        pf::RegKey key = 0;
        ASSERT_EQ(0, registry_.CreateKey(pf::kHkeyLocalMachine, u"SOFTWARE\\Mirelta\\QUARRO", pf::kKeyWrite, &key, nullptr));
        registry_.SetValue(key, name, pf::kRegSz, reinterpret_cast<const std::uint8_t*>(value.c_str()),
                           static_cast<std::uint32_t>((value.size() + 1) * 2));
        registry_.CloseKey(key);
    }
    std::string Content(const fs::path& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string Boxes() {
        std::string all;
        for (const auto& box : prompt_.shown) {
            EXPECT_EQ(u"Quarro (Screen Copy)", box.caption);
            all += std::to_string(box.style) + ":" + U8(box.text) + "|";
        }
        return all;
    }

    fs::path folder_;
    sim::SimOsIdentity os_{nullptr};
    sim::SimPrompt prompt_;
    sim::MemoryRegistry registry_;
    Folders folders_;
    FailingFiles files_;
    std::shared_ptr<pf::INamedMutexes> mutexes_ = sim::MakeSimNamedMutexes(nullptr, nullptr);
    std::unique_ptr<pf::ScopedOverride> override_;
    g::Environment environment_;
    bool captureWorks_ = true;
    int captures_ = 0;
    std::u16string shellName_ = u"Documents";
    std::vector<std::uint32_t> shellIds_;
    std::vector<std::u16string> forwarded_;
};

const std::string kSaved = "64:The copy of the screen was saved as a \"quarro.bmp\" file in the \"Documents\" folder.|";
const std::string kReplace =
    "36:The file in which the copy of the screen is to be saved already exists. \nDo you want to replace the "
    "\"quarro.bmp\" file in the \"Documents\" folder?|";
const std::string kFailed = "48:A copy of the screen could not be saved as a file.|";

TEST_F(GlanceRun, MessageModesAndTheOverwriteAnswer) {
    const struct Row {
        const char* what;
        int mode;  // -1: no value
        bool fileBefore;
        int answer;
        bool captureWorks;
        int failWrite;
        g::Outcome outcome;
        std::string boxes;
        bool newFile;  // the capture is in the file afterwards (else: the old content or no file)
    } rows[] = {
        {"no value, new file", -1, false, 0, true, 0, g::Outcome::Saved, kSaved, true},
        {"mode 1, existing, No", 1, true, pf::kIdNo, true, 0, g::Outcome::NotReplaced, kReplace, false},
        {"mode 1, existing, Yes", 1, true, pf::kIdYes, true, 0, g::Outcome::Saved, kReplace + kSaved, true},
        {"other value, existing, Yes", 9, true, pf::kIdYes, true, 0, g::Outcome::Saved, kReplace + kSaved, true},
        {"mode 0, existing", 0, true, 0, true, 0, g::Outcome::Saved, "", true},
        {"mode 2, existing", 2, true, 0, true, 0, g::Outcome::Saved, "", true},
        {"mode 1, capture fails", 1, false, 0, false, 0, g::Outcome::CaptureFailed, kFailed, false},
        {"mode 2, capture fails", 2, true, 0, false, 0, g::Outcome::CaptureFailed, kFailed, false},
        {"mode 0, capture fails", 0, false, 0, false, 0, g::Outcome::CaptureFailed, "", false},
        {"mode 1, header write short", 1, false, 0, true, 1, g::Outcome::WriteFailed, kFailed, false},
        {"mode 2, table write short", 2, false, 0, true, 2, g::Outcome::WriteFailed, kFailed, false},
        {"mode 0, pixel write short", 0, false, 0, true, 3, g::Outcome::WriteFailed, "", false},
    };
    const fs::path file = folder_ / "quarro.bmp";
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ResetSettings();
        if (row.mode >= 0) SetDword(u"BMDispMessage000", static_cast<std::uint32_t>(row.mode));
        fs::remove(file);
        if (row.fileBefore) std::ofstream(file) << "old";
        prompt_.shown.clear();
        prompt_.answerOverride = row.answer;
        captureWorks_ = row.captureWorks;
        files_.failAt = row.failWrite;
        files_.writes = 0;

        EXPECT_EQ(row.outcome, g::Run(environment_));
        EXPECT_EQ(row.boxes, Boxes());
        if (row.newFile) {
            const g::Capture capture = MakeCapture(5, 3);
            std::string expected = "BM\x4E\x04\0\0\0\0\0\0\x36\x04\0\0"s;
            expected.append(capture.infoHeader.begin(), capture.infoHeader.end());
            expected.append(capture.colourTable.begin(), capture.colourTable.end());
            expected.append(capture.pixels.begin(), capture.pixels.end());
            EXPECT_EQ(expected, Content(file));
        } else if (row.fileBefore) {
            EXPECT_EQ("old", Content(file));
        } else {
            EXPECT_FALSE(fs::exists(file)) << "a failed write leaves no file";
        }
    }
}

TEST_F(GlanceRun, FoldersNamesAndLanguage) {
    // The debug folder takes the file; the messages still name the documents folder.
    SetString(u"DebugSelectDrive000", quarro::text::FromUtf8((folder_ / "debug").string()));
    EXPECT_EQ(g::Outcome::Saved, g::Run(environment_));
    EXPECT_TRUE(fs::exists(folder_ / "debug" / "quarro.bmp"));
    EXPECT_FALSE(fs::exists(folder_ / "quarro.bmp"));
    EXPECT_EQ(kSaved, Boxes());
    EXPECT_EQ(std::vector<std::uint32_t>{9227}, shellIds_);

    // A debug folder that does not exist: the write fails.
    prompt_.shown.clear();
    SetString(u"DebugSelectDrive000", quarro::text::FromUtf8((folder_ / "missing").string()));
    EXPECT_EQ(g::Outcome::WriteFailed, g::Run(environment_));
    EXPECT_EQ(kFailed, Boxes());

    // No folder at all: the one message every mode shows.
    ResetSettings();
    SetDword(u"BMDispMessage000", 0);
    folders_.documents.clear();
    prompt_.shown.clear();
    EXPECT_EQ(g::Outcome::NoFolder, g::Run(environment_));
    EXPECT_EQ("64:The folder in which to save the copy of the screen as a file could not be found.|", Boxes());

    // Windows 8.1: the newer shell string; when the shell has none, the program's own name.
    folders_.documents = quarro::text::FromUtf8(folder_.string());
    ResetSettings();
    os_.version.minorVersion = 3;
    shellName_.clear();
    shellIds_.clear();
    prompt_.shown.clear();
    EXPECT_EQ(g::Outcome::Saved, g::Run(environment_));
    EXPECT_EQ(std::vector<std::uint32_t>{21770}, shellIds_);
    EXPECT_EQ("64:The copy of the screen was saved as a \"quarro.bmp\" file in the \"My Documents\" folder.|", Boxes());

    // Japanese puts the folder first.
    setenv("QUARRO_LANGUAGE", "ja", 1);
    shellName_ = u"ドキュメント";
    prompt_.shown.clear();
    prompt_.answerOverride = pf::kIdYes;
    EXPECT_EQ(g::Outcome::Saved, g::Run(environment_));
    ASSERT_EQ(2u, prompt_.shown.size());
    EXPECT_EQ("画面のコピーを「ドキュメント」フォルダーに「quarro.bmp」ファイルとして保存しました。", U8(prompt_.shown[1].text));
    EXPECT_EQ("Quarro (画面コピー)", U8(prompt_.shown[1].caption));
}

TEST_F(GlanceRun, SecondInstanceBringsTheFirstForwardAndCopiesNothing) {
    bool existed = false;
    const pf::MutexHandle first = mutexes_->Create(u"MireltaGlanceMutex", &existed);
    EXPECT_EQ(g::Outcome::AlreadyRunning, g::Run(environment_));
    mutexes_->Close(first);
    EXPECT_EQ(0, captures_);
    EXPECT_EQ(std::vector<std::u16string>{u"Quarro (Screen Copy)"}, forwarded_);
    EXPECT_TRUE(prompt_.shown.empty());
    EXPECT_FALSE(fs::exists(folder_ / "quarro.bmp"));
}

TEST_F(GlanceRun, FutureWindowsAskedFirstAndNoEndsTheRun) {
    os_.version.majorVersion = 10;
    os_.version.minorVersion = 0;
    prompt_.answerOverride = pf::kIdNo;
    EXPECT_EQ(g::Outcome::Declined, g::Run(environment_));
    ASSERT_EQ(1u, prompt_.shown.size());
    EXPECT_EQ("This application does not support current version of Windows.\nDo you want to continue launching this "
              "application?",
              U8(prompt_.shown[0].text));
    EXPECT_EQ(0, captures_);
}

}  // namespace
