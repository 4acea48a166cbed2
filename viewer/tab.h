// CTab: one loaded tab module and its five entry points.
#pragma once

#include "platform/modules.h"
#include "tabframe/tab_contract.h"

class CTab {
public:
    CTab() = default;
    virtual ~CTab();
    CTab(const CTab&) = delete;
    CTab& operator=(const CTab&) = delete;

    // Loads the library by bare name (the system's library search, the program's folder first),
    // with the system's error boxes suppressed, and binds the five exports in their fixed order.
    // 1 when all five are there; 0 with nothing left loaded otherwise.
    int Load(const char16_t* fileName);
    void Unload();
    bool Loaded() const { return module_ != 0; }

    // Call wrappers: -1 without calling when the entry point is missing.
    int SetupPropertyPage(PropSheetPageHandle* out) const;
    int InitTabDLL(const TabInitRecord* record) const;
    int TermTabDLL() const;
    int GetStringData(int chunk, char* buffer, int size, int separator) const;
    int CommandMessage(int code) const;

private:
    SetupPropertyPageProc setupPropertyPage_ = nullptr;
    InitTabDLLProc initTabDll_ = nullptr;
    TermTabDLLProc termTabDll_ = nullptr;
    GetStringDataProc getStringData_ = nullptr;
    CommandMessageProc commandMessage_ = nullptr;
    quarro::platform::LibraryHandle module_ = 0;
};
