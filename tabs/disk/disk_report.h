// The report section of the "Hard Disk Status" tab: the volume table, the attribute table and, in
// the advanced hard-disk mode, the hexadecimal dump of the raw data sector, which always begins a
// call of its own. Attribute rows go into the buffer whole, resumed in the next call when one
// does not fit; at most 30 of them, whatever count the server sent.
#pragma once

#include "tabframe/report_writer.h"
#include "tabs/disk/disk_data.h"

namespace disk_tab {

tabframe::ReportStatus WriteDiskReport(const DiskData& data, const Strings& strings, tabframe::ReportWriter& writer,
                                       tabframe::ReportResume& resume);

}  // namespace disk_tab
