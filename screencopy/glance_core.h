// The screen copy's portable core: the fixed palette and its nearest-colour rule, the bitmap
// file layout, the message-mode and language decisions, and the whole run of the program over the
// platform concerns (registry, mutexes, known folders, files, message boxes) with the three things
// only Windows can do injected: the screen capture, the system's own string for the documents
// folder, and bringing another instance's window forward.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quarro::glance {

// String identifiers of the program's table.
inline constexpr std::uint32_t kIdsCopyFailed = 110;
inline constexpr std::uint32_t kIdsFolderNotFound = 111;
inline constexpr std::uint32_t kIdsCopySaved = 114;
inline constexpr std::uint32_t kIdsReplaceFile = 115;
inline constexpr std::uint32_t kIdsMyDocuments = 116;
inline constexpr std::uint32_t kIdsLanguage = 117;
inline constexpr std::uint32_t kIdsUnsupportedOs = 118;
inline constexpr std::uint32_t kIdsCaption = 103;

// The system's "Shell32.dll" names the documents folder with string 21770 from NT 6.3 on, with
// 9227 before.
inline constexpr std::uint32_t kShellDocumentsName63 = 21770;
inline constexpr std::uint32_t kShellDocumentsName = 9227;
std::uint32_t DocumentsNameStringId(std::uint32_t major, std::uint32_t minor);

inline constexpr char16_t kMutexName[] = u"MireltaGlanceMutex";
inline constexpr char16_t kFileName[] = u"quarro.bmp";
inline constexpr char16_t kSettingsKey[] = u"SOFTWARE\\Mirelta\\QUARRO";

struct Rgb {
    std::uint8_t red, green, blue;
};
// The fixed palette (tools/glance_palette.py generates all but the rule).
extern const std::array<Rgb, 256> kPalette;
// The palette as a DIB colour table: blue, green, red, 0 per entry.
std::array<std::uint8_t, 1024> PaletteColourTable();
// The entry nearest to a colour by squared distance in RGB; the lowest index on a tie.
int NearestPaletteIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
// The entry a screen colour becomes when GDI copies it into the 8-bit section: GDI keeps the upper
// five bits of each channel, takes the middle of that step ((c & ~7) + 4), and then the nearest
// entry. So pure black lands on the nearest entry to (4, 4, 4).
int ScreenColourIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

// "BMDispMessage000": only 0 and 2 change the default.
enum class MessageMode { None = 0, All = 1, FailureOnly = 2 };
MessageMode MessageModeFrom(bool present, std::uint32_t value);

// Bitmap file layout: 14-byte file header, 40-byte information header, 1024-byte colour table,
// then the rows, bottom-up, each padded to a multiple of 4 bytes.
inline constexpr std::uint32_t kFileHeaderBytes = 14;
inline constexpr std::uint32_t kInfoHeaderBytes = 40;
inline constexpr std::uint32_t kColourTableBytes = 1024;
inline constexpr std::uint32_t kPixelOffset = kFileHeaderBytes + kInfoHeaderBytes + kColourTableBytes;
// Bytes per row of an 8-bit image `width` pixels wide; 0 when width is not positive.
std::uint32_t RowStride(std::int32_t width);

// What the capture hands over: the section's information header and colour table as it reports
// them, and its rows as stored (bottom-up).
struct Capture {
    std::array<std::uint8_t, kInfoHeaderBytes> infoHeader{};
    std::array<std::uint8_t, kColourTableBytes> colourTable{};
    std::vector<std::uint8_t> pixels;
};
// The file header for a capture; false when the capture is not a bottom-up 8-bit image with
// exactly stride x height bytes of rows, or the file would pass 4 GiB.
bool BuildFileHeader(const Capture& capture, std::array<std::uint8_t, kFileHeaderBytes>* header);

// `text` with its first two "%s" replaced by the file and the folder name, the folder first when
// the language puts it first. Other text is kept as it is; missing "%s" are simply not filled.
std::u16string FormatFileAndFolder(const std::u16string& text, const std::u16string& file,
                                   const std::u16string& folder, bool folderFirst);

struct Environment {
    // Copies the screen; false on any failure (no screen context, memory, section or copy).
    std::function<bool(Capture*)> capture;
    // The string `id` of the system's "Shell32.dll"; false when it cannot be loaded.
    std::function<bool(std::uint32_t id, std::u16string*)> loadSystemString;
    // Brings the top-level window titled `caption` (another instance's) forward, if any.
    std::function<void(const char16_t* caption)> bringForward;
};

// How a run ended, for tests; the program's exit code is 0 whatever it is.
enum class Outcome { Declined, AlreadyRunning, CaptureFailed, NoFolder, NotReplaced, WriteFailed, Saved };
Outcome Run(const Environment& environment);

}  // namespace quarro::glance
