// The SMBIOS tab module (Facet09.dll): the portable core's tables (smbios_table.h) read once per
// load through the platform's raw-SMBIOS concern, the outline the page's tree and the report
// share, and the report text.
//
// Outline: the root ("System Management BIOS"), then every group whose counter is non-zero with
// its title, then each of its instances whose rows are not empty, labelled with the general
// entry's title or "<label> <n>" from 1; no outline at all when there is no table ("Not Found").
//
// Report (one GetStringData call holds it all; the call index only decides the heading):
//   [SMBIOS Data]                      call index 0 only, with the rule, the column line (the
//   ----                               value column starts at byte 43) and the rule
//   System Management BIOS | Not Found
//   <group title>
//     <instance label>
//       <item>  <value>               fixed layout: "    %-34s " and "    %s\r\n"; separated:
//                                     "    %s<sep>" and "%s\r\n"
//   CR LF CR LF
// A row is written only while its two pieces, 20 bytes and the text so far stay below the buffer
// size; the first that does not ends its instance, and titles are cut by the bounded append.
#pragma once

#include <string>
#include <vector>

#include "tabframe/tab_module.h"
#include "tabs/smbios/smbios_table.h"

namespace smbios {

struct OutlineInstance {
    std::u16string label;
    RowRange rows;
};
struct OutlineGroup {
    std::u16string title;
    std::vector<OutlineInstance> instances;
};

// The groups and instances shown for `tables`; empty when the table length is 0.
std::vector<OutlineGroup> Outline(const SmbiosTables& tables);

// Control and template numbers of the page (smbios.rc).
inline constexpr unsigned kPageTemplate = 6000;
inline constexpr int kPageSave = 6002;
inline constexpr int kPageAbout = 6003;
inline constexpr int kPageTree = 6004;

class SmbiosModule : public tabframe::TabModule {
public:
    // `source` null: the platform's raw-SMBIOS concern, looked up at each set-up.
    explicit SmbiosModule(IRawSmbiosSource* source = nullptr, StringLoader strings = &ModuleString)
        : TabModule(u"Facet09"), source_(source), tables_(strings) {}

    const SmbiosTables& Tables() const { return tables_; }

protected:
    bool BuildData(const TabInitRecord& record) override;
    void ReleaseData() override { tables_.ReleaseRows(); }
    void TerminateData() override { tables_.Release(); }
    bool HasData() const override { return tables_.Items() != nullptr; }
    tabframe::ReportStatus WriteReport(tabframe::ReportWriter& writer, tabframe::ReportResume& resume) override;

private:
    IRawSmbiosSource* source_;
    SmbiosTables tables_;
};

}  // namespace smbios
