#include "viewer/tab.h"

#include "platform/platform.h"

namespace pf = quarro::platform;

CTab::~CTab() { Unload(); }

int CTab::Load(const char16_t* fileName) {
    Unload();
    const pf::LibraryHandle module = pf::Modules().Load(fileName, true);
    if (!module) return 0;
    void* exports[5] = {};
    for (int i = 0; i < 5; ++i) {
        exports[i] = pf::Modules().GetExport(module, kTabExportNames[i]);
        if (!exports[i]) {
            pf::Modules().Free(module);
            return 0;
        }
    }
    setupPropertyPage_ = reinterpret_cast<SetupPropertyPageProc>(exports[0]);
    initTabDll_ = reinterpret_cast<InitTabDLLProc>(exports[1]);
    termTabDll_ = reinterpret_cast<TermTabDLLProc>(exports[2]);
    getStringData_ = reinterpret_cast<GetStringDataProc>(exports[3]);
    commandMessage_ = reinterpret_cast<CommandMessageProc>(exports[4]);
    module_ = module;
    return 1;
}

void CTab::Unload() {
    if (module_) pf::Modules().Free(module_);
    module_ = 0;
    setupPropertyPage_ = nullptr;
    initTabDll_ = nullptr;
    termTabDll_ = nullptr;
    getStringData_ = nullptr;
    commandMessage_ = nullptr;
}

int CTab::SetupPropertyPage(PropSheetPageHandle* out) const { return setupPropertyPage_ ? setupPropertyPage_(out) : -1; }
int CTab::InitTabDLL(const TabInitRecord* record) const { return initTabDll_ ? initTabDll_(record) : -1; }
int CTab::TermTabDLL() const { return termTabDll_ ? termTabDll_() : -1; }
int CTab::GetStringData(int chunk, char* buffer, int size, int separator) const {
    return getStringData_ ? getStringData_(chunk, buffer, size, separator) : -1;
}
int CTab::CommandMessage(int code) const { return commandMessage_ ? commandMessage_(code) : -1; }
