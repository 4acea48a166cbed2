// String-table identifiers of the viewer (viewer/almanac.rc).
#pragma once

enum ViewerString : unsigned {
    IDS_PRODUCT = 102,
    IDS_FILTER_TXT = 104,
    IDS_PATTERN_TXT = 105,
    IDS_BLOCKED_BY_POLICY = 106,
    IDS_MAKER = 107,
    IDS_DISABLE_AUTOSAVE = 108,
    IDS_NO_PERMISSION = 109,
    IDS_UNSUPPORTED_OS = 110,
    IDS_FILE_TYPE_TXT = 111,
    IDS_RETRIEVING = 112,
    IDS_DRIVER_UNAVAILABLE = 113,
};
