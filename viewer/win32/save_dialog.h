// The interactive save: the file dialog for the Windows version, then the report core.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "viewer/tab.h"

// The file the user chose, or empty when the choice was cancelled or failed. `itemDialog`: the
// common item dialog (client Windows from Vista on); otherwise the classic save dialog.
std::wstring ChooseReportFile(HWND owner, bool itemDialog);

// SaveReport of the viewer: 0 after writing, -100 when no file was chosen, -101 without a text
// buffer, -102 when the file could not be created. Shows nothing itself.
int SaveReport(HWND owner, const std::vector<CTab*>& range, bool allPages);
