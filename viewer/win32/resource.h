// Resource identifiers of Almanac.exe (viewer/almanac.rc).
#pragma once

#define IDD_ABOUTBOX 100
#define IDD_ALMANAC_MAIN 102
#define IDD_SAVE_RANGE 132
#define IDI_ALMANAC 147
#define IDD_PROGRESS 148

// About box
#define IDC_ABOUT_EXTRA 1002
#define IDC_ABOUT_PRODUCT 1004
#define IDC_ABOUT_MAKER 1005
// Save range
#define IDC_RANGE_DISPLAYED 1003
#define IDC_RANGE_ALL 1004
// Progress window
#define IDC_PROGRESS_TEXT 1009
#define IDC_PROGRESS_BAR 1010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
