// The ANSI code page concern: conversion between UTF-16 text inside the programs and the 8-bit
// text of reports and logs.
//
// Contract shared by every implementation, so that report bytes are the same on both targets:
//  - Conversion is unit by unit for single-byte code pages: one byte per UTF-16 unit and back.
//  - A character with no exact byte in the code page becomes the code page's default character
//    ('?'). No "best fit" substitution: U+0100 becomes '?', not 'A'. Best fit is what
//    WideCharToMultiByte does with no flags, but it depends on undocumented per-code-page tables
//    and would make the same report differ between the simulated and the real code page. Each
//    unit of a surrogate pair counts as one unmappable character.
//  - Embedded zero units and bytes are converted like any other character.
//
// The code page of the process comes from quarro::platform::CodePage() (platform/platform.h).
#pragma once

#include <string>
#include <string_view>

namespace quarro::platform {

class ICodePage {
public:
    virtual ~ICodePage() = default;

    virtual std::string WideToAnsi(std::u16string_view text) = 0;
    virtual std::u16string AnsiToWide(std::string_view text) = 0;
};

}  // namespace quarro::platform
