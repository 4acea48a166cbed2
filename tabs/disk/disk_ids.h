// Resource identifiers of Facet05.dll's page and dialog (disk.rc), shared by the page code.
#pragma once

#define IDD_DISK_PAGE 129
#define IDD_DISK_ADVANCED 130
#define IDC_DISK_SAVE 1016
#define IDC_DISK_ABOUT 1017
#define IDC_DISK_VOLUMES 1018
#define IDC_DISK_ATTRIBUTES 1019
#define IDC_DISK_AUTOSAVE_OFF 1020
#define IDC_DISK_GROUP 1021
#define IDC_DISK_DUMP 1022
#define IDC_DISK_ADVANCED 1023
