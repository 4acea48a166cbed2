// The shell-link concern: the shortcut files of a folder and what a shortcut points to, read
// through the shell's link object (IShellLinkW loaded through IPersistFile).
#pragma once

#include <string>
#include <vector>

namespace quarro::platform {

class IShellLinks {
public:
    virtual ~IShellLinks() = default;
    // The full paths of the "*.lnk" files of `folder` (no trailing backslash), in the order the
    // file system lists them; empty when the folder cannot be read.
    virtual std::vector<std::u16string> LinkFiles(const std::u16string& folder) = 0;
    // The link's target (GetPath, the UNC form preferred) and arguments (GetArguments); false when
    // the file does not load as a shell link.
    virtual bool ReadLink(const std::u16string& file, std::u16string* target, std::u16string* arguments) = 0;
};

}  // namespace quarro::platform
