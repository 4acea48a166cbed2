#include "screencopy/glance_core.h"

#include <cstring>

#include "common/module_strings.h"
#include "common/reg.h"
#include "common/text.h"
#include "common/win_version.h"
#include "platform/platform.h"

namespace pf = quarro::platform;

namespace quarro::glance {

const std::array<Rgb, 256> kPalette = {{
#include "glance_palette.inc"
}};

std::uint32_t DocumentsNameStringId(std::uint32_t major, std::uint32_t minor) {
    return major > 6 || (major == 6 && minor >= 3) ? kShellDocumentsName63 : kShellDocumentsName;
}

std::array<std::uint8_t, 1024> PaletteColourTable() {
    std::array<std::uint8_t, 1024> table{};
    for (std::size_t i = 0; i < kPalette.size(); ++i) {
        table[i * 4] = kPalette[i].blue;
        table[i * 4 + 1] = kPalette[i].green;
        table[i * 4 + 2] = kPalette[i].red;
    }
    return table;
}

int NearestPaletteIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    int best = 0;
    long bestDistance = -1;
    for (std::size_t i = 0; i < kPalette.size(); ++i) {
        const long dr = long(kPalette[i].red) - red, dg = long(kPalette[i].green) - green,
                   db = long(kPalette[i].blue) - blue;
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            bestDistance = distance;
            best = static_cast<int>(i);
        }
    }
    return best;
}

int ScreenColourIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
    const auto step = [](std::uint8_t c) { return static_cast<std::uint8_t>((c & ~7) + 4); };
    return NearestPaletteIndex(step(red), step(green), step(blue));
}

MessageMode MessageModeFrom(bool present, std::uint32_t value) {
    if (present && value == 0) return MessageMode::None;
    if (present && value == 2) return MessageMode::FailureOnly;
    return MessageMode::All;
}

std::uint32_t RowStride(std::int32_t width) {
    if (width <= 0) return 0;
    return (static_cast<std::uint32_t>(width) + 3u) & ~3u;
}

namespace {

std::uint32_t Le32(const std::uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
std::uint16_t Le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }
void Put32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

bool BuildFileHeader(const Capture& capture, std::array<std::uint8_t, kFileHeaderBytes>* header) {
    const std::uint8_t* info = capture.infoHeader.data();
    const auto width = static_cast<std::int32_t>(Le32(info + 4));
    const auto height = static_cast<std::int32_t>(Le32(info + 8));
    if (!header || Le32(info) != kInfoHeaderBytes || width <= 0 || height <= 0 || Le16(info + 12) != 1 ||
        Le16(info + 14) != 8 || Le32(info + 16) != 0) {
        return false;
    }
    const std::uint64_t pixelBytes = std::uint64_t(RowStride(width)) * std::uint64_t(height);
    if (capture.pixels.size() != pixelBytes || pixelBytes + kPixelOffset > 0xFFFFFFFFull) return false;
    header->fill(0);
    (*header)[0] = 'B';
    (*header)[1] = 'M';
    Put32(header->data() + 2, static_cast<std::uint32_t>(kPixelOffset + pixelBytes));
    Put32(header->data() + 10, kPixelOffset);
    return true;
}

std::u16string FormatFileAndFolder(const std::u16string& text, const std::u16string& file,
                                   const std::u16string& folder, bool folderFirst) {
    const std::u16string* fill[2] = {folderFirst ? &folder : &file, folderFirst ? &file : &folder};
    std::u16string out;
    int used = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (used < 2 && text[i] == u'%' && i + 1 < text.size() && text[i + 1] == u's') {
            out += *fill[used++];
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

namespace {

// Writes the bitmap file; a failed or short write leaves no file behind.
bool WriteBitmap(const std::u16string& path, const Capture& capture) {
    std::array<std::uint8_t, kFileHeaderBytes> header{};
    if (!BuildFileHeader(capture, &header)) return false;
    std::vector<std::uint8_t> info(kInfoHeaderBytes + kColourTableBytes);
    std::memcpy(info.data(), capture.infoHeader.data(), kInfoHeaderBytes);
    std::memcpy(info.data() + kInfoHeaderBytes, capture.colourTable.data(), kColourTableBytes);
    pf::IFiles& files = pf::Files();
    const pf::FileHandle file = files.CreateForWriting(path.c_str());
    if (file == pf::kInvalidFile) return false;
    const bool written = files.Write(file, header.data(), kFileHeaderBytes) &&
                         files.Write(file, info.data(), static_cast<std::uint32_t>(info.size())) &&
                         files.Write(file, capture.pixels.data(), static_cast<std::uint32_t>(capture.pixels.size()));
    files.Close(file);
    if (!written) files.Delete(path.c_str());
    return written;
}

}  // namespace

Outcome Run(const Environment& environment) {
    using resources::LoadModuleString;
    const std::u16string caption = LoadModuleString(kIdsCaption);
    const CWinVersion version;
    {
        const std::u16string question = LoadModuleString(kIdsUnsupportedOs);
        if (!version.ConfirmSupportedOs(0, question.c_str(), caption.c_str())) return Outcome::Declined;
    }

    const bool folderFirst = LoadModuleString(kIdsLanguage) == u"Japanese";
    std::u16string documentsName;
    const std::uint32_t shellId =
        DocumentsNameStringId(version.VersionInfo.majorVersion, version.VersionInfo.minorVersion);
    if (!environment.loadSystemString || !environment.loadSystemString(shellId, &documentsName) ||
        documentsName.empty()) {
        documentsName = LoadModuleString(kIdsMyDocuments);
    }

    pf::OwnedMutex mutex(pf::Mutexes());
    bool existed = false;
    *mutex.Put() = mutex.Api().Create(kMutexName, &existed);
    if (!mutex || existed) {
        if (existed && environment.bringForward) environment.bringForward(caption.c_str());
        return Outcome::AlreadyRunning;
    }

    CReg reg;
    std::uint32_t modeValue = 0;
    const bool modePresent = reg.ReadDword(pf::kHkeyLocalMachine, kSettingsKey, u"BMDispMessage000", &modeValue, 0) != 0;
    const MessageMode mode = MessageModeFrom(modePresent, modeValue);
    char16_t debugFolder[text::kTextUnits] = {};
    std::uint32_t debugBytes = sizeof(debugFolder) - sizeof(char16_t);
    if (!reg.ReadString(pf::kHkeyLocalMachine, kSettingsKey, u"DebugSelectDrive000", debugFolder, &debugBytes, 0)) {
        debugFolder[0] = 0;
    }
    debugFolder[text::kTextUnits - 1] = 0;

    const auto show = [&](std::uint32_t id, std::uint32_t style, bool withNames) {
        std::u16string message = LoadModuleString(id);
        if (withNames) message = FormatFileAndFolder(message, kFileName, documentsName, folderFirst);
        return pf::Prompt().ShowMessage(0, message.c_str(), caption.c_str(), style);
    };
    const auto failed = [&](Outcome outcome) {
        if (mode != MessageMode::None) show(kIdsCopyFailed, pf::kMbOk | pf::kMbIconWarning, false);
        return outcome;
    };

    Capture capture;
    if (!environment.capture || !environment.capture(&capture)) return failed(Outcome::CaptureFailed);

    std::u16string folder = debugFolder;
    if (folder.empty() && !pf::Folders().GetKnownFolderPath(pf::KnownFolder::Documents, &folder)) folder.clear();
    if (folder.empty()) {
        show(kIdsFolderNotFound, pf::kMbOk | pf::kMbIconInformation, false);
        return Outcome::NoFolder;
    }
    std::u16string path = folder;
    if (path.back() != u'\\' && path.back() != u'/') path += pf::Files().Separator();
    path += kFileName;

    const std::uint32_t attributes = pf::Files().GetAttributes(path.c_str());
    if (mode == MessageMode::All && attributes != pf::kInvalidFileAttributes &&
        show(kIdsReplaceFile, pf::kMbYesNo | pf::kMbIconQuestion, true) != pf::kIdYes) {
        return Outcome::NotReplaced;
    }

    if (!WriteBitmap(path, capture)) return failed(Outcome::WriteFailed);
    if (mode == MessageMode::All) show(kIdsCopySaved, pf::kMbOk | pf::kMbIconInformation, true);
    return Outcome::Saved;
}

}  // namespace quarro::glance
