// The battery tab's degree sign in each language's ANSI code page: the module's own string 21,
// read from Facet07.dll for English, French and Japanese, converted as the report converts it.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "platform/win32/handles.h"
#include "product_module.h"

namespace {

using quarro::wintests::ProductModulePath;

// String `id` of `module` in `language` (string tables are blocks of 16 counted strings).
std::wstring ModuleString(HMODULE module, LANGID language, UINT id) {
    HRSRC block = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
    HGLOBAL loaded = block ? LoadResource(module, block) : nullptr;
    const auto* p = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
    if (!p) return L"";
    for (UINT i = 0; i < id % 16; ++i) p += 1 + *p;
    return std::wstring(p + 1, *p);
}

std::string Ansi(const std::wstring& text, UINT codePage) {
    char out[64] = {};
    WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, text.c_str(), static_cast<int>(text.size()), out, 63,
                        nullptr, nullptr);
    return out;
}

TEST(BatteryOnWine, TheDegreeSignIsRightInEachLanguagesCodePage) {
    quarro::win32::UniqueLibrary module(
        LoadLibraryExW(ProductModulePath(L"Facet07.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(module);
    // A data-file module's handle has its low bit set; the resource functions take it as it is.
    const HMODULE resources = module.Get();
    const struct {
        LANGID language;
        UINT codePage;
        const char* degrees;
    } cases[] = {
        {MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), 1252, "\xB0" "C"},
        {MAKELANGID(LANG_FRENCH, SUBLANG_FRENCH), 1252, "\xB0" "C"},
        {MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT), 932, "\x81\x8B" "C"},
    };
    for (const auto& c : cases) {
        const std::wstring text = ModuleString(resources, c.language, 21);
        EXPECT_EQ(text, L"\u00B0C") << c.language;
        EXPECT_EQ(Ansi(text, c.codePage), c.degrees) << c.language;
    }
}

}  // namespace
