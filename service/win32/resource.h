// Resource identifiers of Watchpost.exe.
#pragma once

#define IDS_PRODUCT 103       // window title and the log header's product name
#define IDS_DATE_FORMAT 105   // the log header's date format
#define IDS_LOG_HEADING 106   // the log header's heading
#define IDI_WATCHPOST 107     // large icon of the window class
#define IDI_WATCHPOST_SMALL 108
#define IDS_WINDOW_CLASS 109  // the hidden window's class name
#define IDS_MAKER 110         // the log header's maker name
