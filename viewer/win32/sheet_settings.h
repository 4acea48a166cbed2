// What the sheet keeps per user under HKCU "Software\Mirelta\Quarro": its placement
// ("WinPosLeft", "WinPosTop", "WinPosRight", "WinPosBottom") and the page it was closed on
// ("StartPage"), and what pressing OK does (placement, OkPressed, the watch service).
#pragma once

#include <windows.h>

#include <cstdint>

// Saves the sheet's window rectangle and its selected page. Silent on failure.
void SaveSheetPlacement(HWND sheet);
// Puts the sheet where it was saved: exactly there when that lies on a monitor, else with the
// saved size centred in the primary work area. Nothing when any of the four values is missing.
void ApplySheetPlacement(HWND sheet);
// "StartPage" when it reads.
bool ReadStartPage(std::uint32_t* page);

// The OK steps, run before the sheet applies and closes: placement, OkPressed, and bringing the
// watch service in line with the user's wish (through the elevated object on client Windows from
// Vista on, directly elsewhere).
void OnSheetOk(HWND sheet);
