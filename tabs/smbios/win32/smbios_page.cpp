// The "SMBIOS Data" page: a tree of the module's outline (tabs/smbios/smbios_module.h) on
// template 6000, with the page base doing Save, About and the layout. The tree is built once,
// when the page is made: the data never changes after set-up.
#include <algorithm>
#include <string>

#include "tabframe/win32/tab_page.h"
#include "tabs/smbios/smbios_module.h"

namespace smbios {

namespace {

constexpr std::size_t kLeafUnits = kTextUnits - 1;  // a leaf shows at most 259 characters

HTREEITEM AddItem(HWND tree, HTREEITEM parent, const std::u16string& text) {
    TVINSERTSTRUCTW insert = {};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(text.c_str()));
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&insert)));
}

std::u16string Text(const char16_t* units) { return std::u16string(units, quarro::text::LengthBounded(units, kTextUnits)); }

class SmbiosPage : public tabframe::CTabPage {
public:
    explicit SmbiosPage(SmbiosModule& module)
        : CTabPage(module, {kPageTemplate, kPageTree, kPageSave, kPageAbout}), module_(module) {}

protected:
    void InitPage() override { BuildTree(); }

    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override {
        if (message == WM_NOTIFY) {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header && header->idFrom == static_cast<UINT_PTR>(kPageTree) && header->code == NM_RCLICK) {
                SelectItemUnderCursor(header->hwndFrom);
                SetWindowLongPtrW(Window(), DWLP_MSGRESULT, 0);
                *result = TRUE;
                return true;
            }
        }
        return CTabPage::OnMessage(message, wParam, lParam, result);
    }

private:
    void BuildTree() {
        const SmbiosTables& tables = module_.Tables();
        const ItemTable* items = tables.Items();
        HWND tree = GetDlgItem(Window(), kPageTree);
        if (!items || !tree) return;
        SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
        if (tables.TableLength() == 0) {
            AddItem(tree, TVI_ROOT, tables.Load(kNotFoundId));
        } else {
            const HTREEITEM root = AddItem(tree, TVI_ROOT, tables.Load(kRootTitleId));
            for (const OutlineGroup& group : Outline(tables)) {
                const HTREEITEM groupItem = AddItem(tree, root, group.title);
                for (const OutlineInstance& instance : group.instances) {
                    const HTREEITEM instanceItem = AddItem(tree, groupItem, instance.label);
                    for (std::uint32_t r = instance.rows.first; r < instance.rows.end && r < kMaxRows; ++r) {
                        std::u16string leaf = Text(items->rows[r].item) + u": " + Text(items->rows[r].value);
                        if (leaf.size() > kLeafUnits) leaf.resize(kLeafUnits);
                        AddItem(tree, instanceItem, leaf);
                    }
                }
            }
            SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
            SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(root));
        }
        SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
        InvalidateRect(tree, nullptr, TRUE);
    }

    static void SelectItemUnderCursor(HWND tree) {
        TVHITTESTINFO hit = {};
        if (!GetCursorPos(&hit.pt) || !ScreenToClient(tree, &hit.pt)) return;
        const auto item = reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        if (item && (hit.flags & TVHT_ONITEMLABEL)) SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    }

    SmbiosModule& module_;
};

}  // namespace

QUARRO_TAB_PAGE(SmbiosPage, SmbiosModule)

}  // namespace smbios
