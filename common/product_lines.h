// The two lines that name the product and its maker at the head of the viewer's report and of
// the watch service's log files, so that both say the same thing about the installed product.
#pragma once

#include <string>

namespace quarro::product {

// The product line (`productName`, a blank and the installed "Version") and the maker line
// (`makerName`, " (C) " and the "CopyrightYear"), as wide text. The names come from the caller's
// own string table. A value that does not read adds nothing; one that reads empty still adds its
// blank or " (C) ".
std::u16string ProductLine(const std::u16string& productName);
std::u16string MakerLine(const std::u16string& makerName);

// The two lines as ANSI text, each cut to 259 bytes and ended by CR LF.
std::string ProductAndMakerLines(const std::u16string& productLine, const std::u16string& makerLine);

}  // namespace quarro::product
