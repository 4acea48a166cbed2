// An in-memory registry with the Win32 semantics of platform/registry.h, for the native build and
// for unit tests. It answers the calls the way the registry of 64-bit Wine answers the real
// calls (checked case by case under Wine 8), so that a program behaves the same against both.
//
// Model:
// - One tree per predefined root. HKEY_CLASSES_ROOT is HKLM\SOFTWARE\Classes and
//   HKEY_CURRENT_CONFIG is HKLM\SYSTEM\CurrentControlSet\Hardware Profiles\Current, as in Wine.
//   Those keys, HKLM\SOFTWARE and HKLM\SOFTWARE\Wow6432Node always exist and cannot be deleted
//   (error 5), like the roots themselves.
// - Key and value names are case-insensitive and case-preserving. Letters fold to lower case
//   (ASCII, Latin-1, Latin Extended-A, Greek, Cyrillic, fullwidth Latin); other characters
//   compare exactly.
// - Enumeration (keys and values alike) runs in case-insensitive order of the lower-cased names,
//   the order Wine returns. Real Windows returns keys in that order too, except that it folds to
//   upper case (so "_x" comes after "Z" there and before "A" here), and returns values in the
//   order they were created.
// - Views: an access mask with kKeyWow64_32Key, or with neither view flag, means the 32-bit view;
//   kKeyWow64_64Key alone the 64-bit view. A path walked in the 32-bit view that steps from the
//   HKLM root into SOFTWARE continues in SOFTWARE\Wow6432Node, unless its next component already
//   names Wow6432Node; SOFTWARE itself opened in the 32-bit view is the Wow6432Node key. An open
//   handle is bound to the key it resolved to, so paths relative to it stay in the view it was
//   opened in whatever view flag the later call carries. Nothing else is redirected.
// - Handles are opaque numbers, never reused; the predefined roots are always open with all
//   access. Access rights are checked per handle: values need kKeyQueryValue to be read or
//   enumerated, kKeySetValue to be set or deleted, subkeys kKeyEnumerateSubKeys to be
//   enumerated, and creating a key that does not exist yet needs kKeyCreateSubKey on the handle
//   passed in (a documented Windows rule that Wine does not enforce). Opening and deleting keys
//   need no right on the parent handle.
// - A deleted key stays alive for the handles open to it: every call through them then gives
//   kErrorKeyDeleted (after the access check, as in Wine).
// - A key's security can grant the user less than everything (RestrictKey): then opening it, or
//   creating it when it exists, asking for any right beyond the grant gives kErrorAccessDenied,
//   as the access check of RegOpenKeyEx/RegCreateKeyEx does; MAXIMUM_ALLOWED opens with the
//   granted rights. Creating a subkey needs KEY_CREATE_SUB_KEY in the grant, deleting the key
//   DELETE. Keys below it inherit the grant, as inheritable entries pass down, but the creator
//   of a new key gets the access it asked for. Without a grant everything is allowed: what an
//   administrator sees. The case this stands for is a key an installer opened to standard users
//   with read and write but not full control: KEY_ALL_ACCESS also asks for DELETE, WRITE_DAC,
//   WRITE_OWNER and KEY_CREATE_LINK, so it is refused there while KEY_WRITE opens. (64-bit Wine
//   checks a key's own entries the same way, but lets its administrator user take DELETE,
//   WRITE_DAC and WRITE_OWNER, passes nothing down to new subkeys and does not check creation.)
//
// Where 64-bit Wine answers otherwise (on purpose here; keep these out of cross-checks):
// - SetValue stores exactly `size` bytes. For string types whose count leaves out the terminator,
//   Windows and Wine look at the character after the data and count it in when it is NUL; that
//   reads past the caller's stated size, so it is not imitated.
// - CreateKey reports created=false for an existing key whatever the path looks like; Wine says
//   "created" for an empty subkey, and with the 32-bit view flag also for a trailing backslash.
// - With the 32-bit view flag Wine's CreateKey accepts a leading backslash; here it is error 161,
//   as without the flag.
// - Wine gives HKEY_CLASSES_ROOT (and HKLM\SOFTWARE\Classes) a 32-bit view of its own, under
//   Classes\Wow6432Node; here Classes is shared by both views.
//
// Limits: a path is at most 32767 characters and a key name at most 256 (longer: error 87), a
// value name at most 16383 (longer: 87 when setting, 2 when reading), keys nest at most 512 deep
// in HKLM, HKCU or HKU (deeper: 87), at most 1,048,576 handles are open at once (more: 1450).
//
// Thread-safe: every call holds one lock (a spin lock: the MinGW toolchain we build with has
// no std::mutex, and calls are short).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>

#include "platform/registry.h"
#include "platform/native/reg_file.h"

namespace quarro::platform::sim {

class MemoryRegistry : public IRegistry {
public:
    MemoryRegistry();
    ~MemoryRegistry() override;
    MemoryRegistry(const MemoryRegistry&) = delete;
    MemoryRegistry& operator=(const MemoryRegistry&) = delete;

    long OpenKey(RegKey parent, const char16_t* subkey, std::uint32_t access, RegKey* out) override;
    long CreateKey(RegKey parent, const char16_t* subkey, std::uint32_t access, RegKey* out,
                   bool* created) override;
    long CloseKey(RegKey key) override;
    long QueryValue(RegKey key, const char16_t* name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override;
    long SetValue(RegKey key, const char16_t* name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override;
    long DeleteValue(RegKey key, const char16_t* name) override;
    long DeleteKey(RegKey parent, const char16_t* subkey, std::uint32_t access) override;
    long EnumKey(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars) override;
    long EnumValue(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars,
                   std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) override;

    // RegDeleteTreeW with a subkey: deletes the key, its values and everything below it, in the
    // view `access` names. Keys that cannot be deleted (see above) are emptied instead.
    long DeleteTree(RegKey parent, const char16_t* subkey, std::uint32_t access);

    // Lets the security of the existing key `subkey` (in the view `access` names) grant the user
    // only the rights of `granted` (an access mask such as KEY_READ | KEY_WRITE).
    long RestrictKey(RegKey parent, const char16_t* subkey, std::uint32_t access, std::uint32_t granted);

    // Handles open now, predefined roots not counted: lets tests find handles a program leaks.
    std::size_t OpenHandleCount() const;

    struct Node;

private:
    struct Handle;

    std::shared_ptr<Node> NodeOf(RegKey key, std::uint32_t* rights) const;
    long UsableNode(RegKey key, std::uint32_t right, std::shared_ptr<Node>* out) const;
    long Resolve(RegKey parent, const char16_t* subkey, std::uint32_t access, bool create, bool checkCreateRight,
                 std::shared_ptr<Node>* out, bool* created);
    long NewHandle(const std::shared_ptr<Node>& node, std::uint32_t access, bool created, RegKey* out);

    class Lock;
    mutable std::atomic_flag busy_ = ATOMIC_FLAG_INIT;
    std::shared_ptr<Node> machine_;
    std::shared_ptr<Node> currentUser_;
    std::shared_ptr<Node> users_;
    std::shared_ptr<Node> classes_;        // HKLM\SOFTWARE\Classes
    std::shared_ptr<Node> currentConfig_;  // HKLM\SYSTEM\CurrentControlSet\Hardware Profiles\Current
    std::unordered_map<RegKey, std::unique_ptr<Handle>> handles_;
    RegKey nextHandle_ = 0x1000;
};

// Applies registry export text to `registry`, as `regedit /S` run by 64-bit Wine imports it: key
// paths are 64-bit-view paths. The whole text is parsed before anything changes, so a syntax error
// leaves the registry untouched. On failure returns false and, if `error` is not null, stores a
// message naming the line.
bool LoadRegFile(const std::string& bytes, MemoryRegistry& registry, std::string* error);

// Same, reading the file at `path` (at most kMaxRegFileBytes).
bool LoadRegFileFromPath(const std::string& path, MemoryRegistry& registry, std::string* error);

}  // namespace quarro::platform::sim
