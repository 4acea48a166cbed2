// The shell-folder concern: the user's known folders.
#pragma once

#include <string>

namespace quarro::platform {

// DefaultUserStartup is the start-up folder of the profile new users are made from.
enum class KnownFolder { Documents, Desktop, Startup, CommonStartup, ProgramFiles, Windows, DefaultUserStartup };

class IShellFolders {
public:
    virtual ~IShellFolders() = default;
    // SHGetKnownFolderPath (SHGetFolderPathW where that is missing); false when not known.
    // The path has no trailing backslash.
    virtual bool GetKnownFolderPath(KnownFolder folder, std::u16string* path) = 0;
};

}  // namespace quarro::platform
