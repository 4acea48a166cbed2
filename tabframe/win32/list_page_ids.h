// Identifiers of the list page template that every list module carries (list_page.rc).
#pragma once

#define IDD_LIST_PAGE 129
#define IDC_LIST_SAVE 1016
#define IDC_LIST_ABOUT 1017
#define IDC_LIST_VIEW 1018
