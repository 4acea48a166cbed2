#include "platform/native/memory_registry.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <string_view>
#include <utility>
#include <vector>

namespace quarro::platform::sim {

namespace {

constexpr std::size_t kMaxPathChars = 32767;
constexpr int kMaxDepth = 512;
constexpr std::size_t kMaxOpenHandles = std::size_t{1} << 20;
constexpr RegKey kLastHandle = 0x7FFF0000u;

constexpr std::uint32_t kDelete = 0x00010000;
constexpr std::uint32_t kKeyCreateLink = 0x0020;
constexpr std::uint32_t kGenericRead = 0x80000000u;
constexpr std::uint32_t kGenericWrite = 0x40000000u;
constexpr std::uint32_t kGenericExecute = 0x20000000u;
constexpr std::uint32_t kGenericAll = 0x10000000u;
constexpr std::uint32_t kMaximumAllowed = 0x02000000u;
constexpr std::uint32_t kAllRights = kKeyQueryValue | kKeySetValue | kKeyCreateSubKey | kKeyEnumerateSubKeys |
                                     kKeyNotify | kKeyCreateLink | kDelete;
constexpr std::uint32_t kReadControl = 0x00020000;
constexpr std::uint32_t kWriteDac = 0x00040000;
constexpr std::uint32_t kWriteOwner = 0x00080000;
constexpr std::uint32_t kStandardRights = kDelete | kReadControl | kWriteDac | kWriteOwner;

constexpr std::u16string_view kWow6432Node = u"Wow6432Node";

// Rights a handle opened with `access` holds (generic rights mapped as for registry keys).
std::uint32_t RightsOf(std::uint32_t access) {
    std::uint32_t rights = access & kAllRights;
    if ((access & (kGenericRead | kGenericExecute)) != 0) rights |= kKeyQueryValue | kKeyEnumerateSubKeys | kKeyNotify;
    if ((access & kGenericWrite) != 0) rights |= kKeySetValue | kKeyCreateSubKey;
    if ((access & (kGenericAll | kMaximumAllowed)) != 0) rights |= kAllRights;
    return rights;
}

// Everything `access` asks of a key's security, standard rights included (generic rights mapped
// as for registry keys): what a grant must cover for the key to open.
std::uint32_t RequestedRights(std::uint32_t access) {
    std::uint32_t rights = RightsOf(access) | (access & kStandardRights);
    if ((access & (kGenericRead | kGenericWrite | kGenericExecute)) != 0) rights |= kReadControl;
    if ((access & kGenericAll) != 0) rights |= kStandardRights;
    return rights;
}

bool IsPredefined(RegKey key) {
    return key == kHkeyClassesRoot || key == kHkeyCurrentUser || key == kHkeyLocalMachine || key == kHkeyUsers ||
           key == kHkeyCurrentConfig;
}

bool Is32BitView(std::uint32_t access) {
    return (access & kKeyWow64_32Key) != 0 || (access & kKeyWow64_64Key) == 0;
}

char16_t FoldChar(char16_t c) {
    if (c < 0x80) return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c + 0x20) : c;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return static_cast<char16_t>(c + 0x20);
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F) return c;
        if (c == 0x178) return 0xFF;
        if (c <= 0x137 || (c >= 0x14A && c <= 0x177)) return static_cast<char16_t>(c | 1);
        return (c & 1) != 0 ? static_cast<char16_t>(c + 1) : c;  // 0x139..0x148, 0x179..0x17E
    }
    if (c >= 0x391 && c <= 0x3AB && c != 0x3A2) return static_cast<char16_t>(c + 0x20);
    if (c >= 0x410 && c <= 0x42F) return static_cast<char16_t>(c + 0x20);
    if (c >= 0x400 && c <= 0x40F) return static_cast<char16_t>(c + 0x50);
    if (c >= 0xFF21 && c <= 0xFF3A) return static_cast<char16_t>(c + 0x20);
    return c;
}

std::u16string Fold(std::u16string_view s) {
    std::u16string out(s);
    for (char16_t& c : out) c = FoldChar(c);
    return out;
}

bool EqualNoCase(std::u16string_view a, std::u16string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldChar(a[i]) != FoldChar(b[i])) return false;
    }
    return true;
}

// Reads a NUL-terminated string of at most `limit` characters; false when it is longer.
bool ReadBounded(const char16_t* s, std::size_t limit, std::u16string_view* out) {
    std::size_t n = 0;
    while (s[n] != u'\0') {
        if (n == limit) return false;
        ++n;
    }
    *out = std::u16string_view(s, n);
    return true;
}

bool IsStringType(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

// Like the real call, a string value returned into a buffer with room to spare gets a terminating
// NUL character after its data when its last character is not one already; the size reported
// stays the stored size.
void TerminateString(std::uint32_t type, const std::vector<std::uint8_t>& stored, std::uint8_t* data,
                     std::uint32_t room) {
    const std::size_t n = stored.size();
    if (!IsStringType(type) || n == 0 || room < n || room - n < 2) return;
    const bool lastIsNul = n >= 2 ? (stored[n - 2] == 0 && stored[n - 1] == 0) : stored[0] == 0;
    if (lastIsNul) return;
    data[n] = 0;
    data[n + 1] = 0;
}

}  // namespace

struct MemoryRegistry::Node {
    struct Value {
        std::u16string name;
        std::u16string folded;
        std::uint32_t type = 0;
        std::vector<std::uint8_t> data;
    };

    std::u16string name;
    std::u16string folded;
    Node* parent = nullptr;  // null for roots and for unlinked (deleted) keys
    int depth = 0;
    bool deleted = false;
    bool pinned = false;      // a root or a key the system keeps; never deleted
    bool redirected = false;  // walks in the 32-bit view continue in its Wow6432Node subkey
    bool granted = false;     // its security grants the user `grant` only (else: inherited)
    std::uint32_t grant = 0;  // RequestedRights form
    std::vector<std::shared_ptr<Node>> children;  // sorted by `folded`
    std::vector<Value> values;                    // sorted by `folded`

    std::vector<std::shared_ptr<Node>>::iterator LowerChild(const std::u16string& key) {
        return std::lower_bound(children.begin(), children.end(), key,
                                [](const std::shared_ptr<Node>& n, const std::u16string& k) { return n->folded < k; });
    }
    std::shared_ptr<Node> FindChild(std::u16string_view childName) {
        const std::u16string key = Fold(childName);
        auto it = LowerChild(key);
        return (it != children.end() && (*it)->folded == key) ? *it : nullptr;
    }
    std::shared_ptr<Node> AddChild(std::u16string_view childName) {
        auto child = std::make_shared<Node>();
        child->name = std::u16string(childName);
        child->folded = Fold(childName);
        child->parent = this;
        child->depth = depth + 1;
        children.insert(LowerChild(child->folded), child);
        return child;
    }
    void RemoveChild(const Node* child) {
        auto it = std::find_if(children.begin(), children.end(),
                               [child](const std::shared_ptr<Node>& n) { return n.get() == child; });
        if (it != children.end()) children.erase(it);
    }
    std::vector<Value>::iterator LowerValue(const std::u16string& key) {
        return std::lower_bound(values.begin(), values.end(), key,
                                [](const Value& v, const std::u16string& k) { return v.folded < k; });
    }
    // The rights this key's security grants: its own grant or the nearest ancestor's, as
    // inheritable entries pass down; everything when none is set.
    std::uint32_t EffectiveGrant() const {
        for (const Node* n = this; n != nullptr; n = n->parent) {
            if (n->granted) return n->grant;
        }
        return ~std::uint32_t{0};
    }
    // Whether opening or creating this key with `access` passes the access check. MAXIMUM_ALLOWED
    // takes whatever is granted.
    bool Admits(std::uint32_t access) const {
        return (access & kMaximumAllowed) != 0 || (RequestedRights(access) & ~EffectiveGrant()) == 0;
    }
    Value* FindValue(std::u16string_view valueName) {
        const std::u16string key = Fold(valueName);
        auto it = LowerValue(key);
        return (it != values.end() && it->folded == key) ? &*it : nullptr;
    }
};

class MemoryRegistry::Lock {
public:
    explicit Lock(std::atomic_flag& flag) : flag_(flag) {
        while (flag_.test_and_set(std::memory_order_acquire)) {
        }
    }
    ~Lock() { flag_.clear(std::memory_order_release); }
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;

private:
    std::atomic_flag& flag_;
};

struct MemoryRegistry::Handle {
    std::shared_ptr<Node> node;
    std::uint32_t rights = 0;
};

namespace {

using Node = MemoryRegistry::Node;

// Empties `node`: its values go, and its subkeys too, except pinned ones, which are emptied.
// Keys that go are marked deleted for the handles still open to them.
void Purge(Node* node) {
    std::vector<std::shared_ptr<Node>> kept;
    for (const std::shared_ptr<Node>& child : node->children) {
        Purge(child.get());
        if (child->pinned) {
            kept.push_back(child);
        } else {
            child->deleted = true;
            child->parent = nullptr;
        }
    }
    node->children = std::move(kept);
    node->values.clear();
}

std::shared_ptr<Node> MakeRoot(const char16_t* name) {
    auto root = std::make_shared<Node>();
    root->name = name;
    root->folded = Fold(root->name);
    root->pinned = true;
    return root;
}

// Creates (pinned) the path below `root` and returns its last key.
std::shared_ptr<Node> PinPath(const std::shared_ptr<Node>& root, std::initializer_list<const char16_t*> path) {
    std::shared_ptr<Node> node = root;
    for (const char16_t* component : path) {
        std::shared_ptr<Node> child = node->FindChild(component);
        if (!child) child = node->AddChild(component);
        child->pinned = true;
        node = child;
    }
    return node;
}

}  // namespace

MemoryRegistry::MemoryRegistry()
    : machine_(MakeRoot(u"HKEY_LOCAL_MACHINE")),
      currentUser_(MakeRoot(u"HKEY_CURRENT_USER")),
      users_(MakeRoot(u"HKEY_USERS")) {
    std::shared_ptr<Node> software = PinPath(machine_, {u"SOFTWARE"});
    software->redirected = true;
    PinPath(software, {kWow6432Node.data()});
    classes_ = PinPath(software, {u"Classes"});
    currentConfig_ = PinPath(machine_, {u"SYSTEM", u"CurrentControlSet", u"Hardware Profiles", u"Current"});
}

MemoryRegistry::~MemoryRegistry() = default;

std::shared_ptr<Node> MemoryRegistry::NodeOf(RegKey key, std::uint32_t* rights) const {
    *rights = kAllRights;
    if (key == kHkeyLocalMachine) return machine_;
    if (key == kHkeyCurrentUser) return currentUser_;
    if (key == kHkeyUsers) return users_;
    if (key == kHkeyClassesRoot) return classes_;
    if (key == kHkeyCurrentConfig) return currentConfig_;
    auto it = handles_.find(key);
    if (it == handles_.end()) return nullptr;
    *rights = it->second->rights;
    return it->second->node;
}

// The node behind an open handle, checked in the order Windows checks: the handle, then the
// right the operation needs, then whether the key was deleted meanwhile. 0 or the Win32 error.
long MemoryRegistry::UsableNode(RegKey key, std::uint32_t right, std::shared_ptr<Node>* out) const {
    std::uint32_t rights = 0;
    std::shared_ptr<Node> node = NodeOf(key, &rights);
    if (!node) return kErrorInvalidHandle;
    if ((rights & right) == 0) return kErrorAccessDenied;
    if (node->deleted) return kErrorKeyDeleted;
    *out = std::move(node);
    return kErrorSuccess;
}

long MemoryRegistry::NewHandle(const std::shared_ptr<Node>& node, std::uint32_t access, bool created, RegKey* out) {
    if (handles_.size() >= kMaxOpenHandles || nextHandle_ >= kLastHandle) return kErrorNoSystemResources;
    auto handle = std::make_unique<Handle>();
    handle->node = node;
    handle->rights = created ? RightsOf(access) : RightsOf(access) & node->EffectiveGrant();
    const RegKey key = nextHandle_;
    nextHandle_ += 4;
    handles_.emplace(key, std::move(handle));
    *out = key;
    return kErrorSuccess;
}

// Finds (and with `create`, creates) the key `subkey` names below `parent` in the view `access`
// names. `created` tells whether the last key was new.
long MemoryRegistry::Resolve(RegKey parent, const char16_t* subkey, std::uint32_t access, bool create,
                             bool checkCreateRight, std::shared_ptr<Node>* out, bool* created) {
    std::uint32_t rights = 0;
    std::shared_ptr<Node> node = NodeOf(parent, &rights);
    if (!node) return kErrorInvalidHandle;
    if (node->deleted) return kErrorKeyDeleted;

    std::u16string_view path;
    if (subkey != nullptr && !ReadBounded(subkey, kMaxPathChars, &path)) return kErrorInvalidParameter;
    if (!path.empty() && path[0] == u'\\') return kErrorBadPathname;
    std::vector<std::u16string_view> tokens;
    for (std::size_t start = 0; start < path.size();) {
        std::size_t end = path.find(u'\\', start);
        if (end == std::u16string_view::npos) end = path.size();
        if (end > start) tokens.push_back(path.substr(start, end - start));
        start = end + 1;
    }

    const bool view32 = Is32BitView(access);
    std::vector<std::u16string_view> missing;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].size() > kMaxRegKeyNameChars) return kErrorInvalidParameter;
        std::shared_ptr<Node> child = node->FindChild(tokens[i]);
        if (!child) {
            missing.assign(tokens.begin() + static_cast<std::ptrdiff_t>(i), tokens.end());
            break;
        }
        node = child;
        const bool nextIsWow = i + 1 < tokens.size() && EqualNoCase(tokens[i + 1], kWow6432Node);
        if (view32 && node->redirected && !nextIsWow) {
            std::shared_ptr<Node> wow = node->FindChild(kWow6432Node);
            if (!wow) {
                missing.push_back(kWow6432Node);
                missing.insert(missing.end(), tokens.begin() + static_cast<std::ptrdiff_t>(i) + 1, tokens.end());
                break;
            }
            node = wow;
        }
    }

    if (created != nullptr) *created = false;
    if (!missing.empty()) {
        if (!create) return kErrorFileNotFound;
        for (std::u16string_view token : missing) {
            if (token.size() > kMaxRegKeyNameChars) return kErrorInvalidParameter;
        }
        if (checkCreateRight && (rights & kKeyCreateSubKey) == 0) return kErrorAccessDenied;
        if ((node->EffectiveGrant() & kKeyCreateSubKey) == 0) return kErrorAccessDenied;
        if (node->depth + static_cast<int>(missing.size()) > kMaxDepth) return kErrorInvalidParameter;
        for (std::u16string_view token : missing) node = node->AddChild(token);
        if (created != nullptr) *created = true;
    }
    *out = node;
    return kErrorSuccess;
}

long MemoryRegistry::OpenKey(RegKey parent, const char16_t* subkey, std::uint32_t access, RegKey* out) {
    if (out == nullptr) return kErrorInvalidParameter;
    Lock lock(busy_);
    *out = 0;
    // A predefined root opened again is the root itself, whatever the view.
    if (IsPredefined(parent) && (subkey == nullptr || subkey[0] == u'\0')) {
        *out = parent;
        return kErrorSuccess;
    }
    if (parent == kHkeyClassesRoot && subkey != nullptr && subkey[0] == u'\\') ++subkey;
    std::shared_ptr<Node> node;
    const long rc = Resolve(parent, subkey, access, false, false, &node, nullptr);
    if (rc != kErrorSuccess) return rc;
    if (!node->Admits(access)) return kErrorAccessDenied;
    return NewHandle(node, access, false, out);
}

long MemoryRegistry::CreateKey(RegKey parent, const char16_t* subkey, std::uint32_t access, RegKey* out,
                               bool* created) {
    if (out == nullptr) return kErrorInvalidParameter;
    Lock lock(busy_);
    *out = 0;
    std::shared_ptr<Node> node;
    bool isNew = false;
    const long rc = Resolve(parent, subkey, access, true, true, &node, &isNew);
    if (rc != kErrorSuccess) return rc;
    // The creator of a key gets what it asked for; an existing key is checked like an open.
    if (!isNew && !node->Admits(access)) return kErrorAccessDenied;
    const long handleRc = NewHandle(node, access, isNew, out);
    if (handleRc != kErrorSuccess) return handleRc;
    if (created != nullptr) *created = isNew;
    return kErrorSuccess;
}

long MemoryRegistry::CloseKey(RegKey key) {
    Lock lock(busy_);
    auto it = handles_.find(key);
    if (it != handles_.end()) {
        handles_.erase(it);
        return kErrorSuccess;
    }
    return IsPredefined(key) ? kErrorSuccess : kErrorInvalidHandle;
}

long MemoryRegistry::QueryValue(RegKey key, const char16_t* name, std::uint32_t* type, std::uint8_t* data,
                                std::uint32_t* size) {
    if (data != nullptr && size == nullptr) return kErrorInvalidParameter;
    Lock lock(busy_);
    std::shared_ptr<Node> node;
    if (const long refused = UsableNode(key, kKeyQueryValue, &node)) return refused;
    std::u16string_view valueName;
    if (name != nullptr && !ReadBounded(name, kMaxRegValueNameChars, &valueName)) return kErrorFileNotFound;
    const Node::Value* value = node->FindValue(valueName);
    if (value == nullptr) return kErrorFileNotFound;

    const auto needed = static_cast<std::uint32_t>(value->data.size());
    if (data != nullptr) {
        if (*size < needed) {
            if (type != nullptr) *type = value->type;
            *size = needed;
            return kErrorMoreData;
        }
        if (needed > 0) std::memcpy(data, value->data.data(), needed);
        TerminateString(value->type, value->data, data, *size);
    }
    if (type != nullptr) *type = value->type;
    if (size != nullptr) *size = needed;
    return kErrorSuccess;
}

long MemoryRegistry::SetValue(RegKey key, const char16_t* name, std::uint32_t type, const std::uint8_t* data,
                              std::uint32_t size) {
    if (data == nullptr && size != 0) return kErrorNoAccess;
    Lock lock(busy_);
    std::shared_ptr<Node> node;
    if (const long refused = UsableNode(key, kKeySetValue, &node)) return refused;
    std::u16string_view valueName;
    if (name != nullptr && !ReadBounded(name, kMaxRegValueNameChars, &valueName)) return kErrorInvalidParameter;

    std::vector<std::uint8_t> bytes(data, data + size);
    if (Node::Value* existing = node->FindValue(valueName)) {
        existing->type = type;
        existing->data = std::move(bytes);
        return kErrorSuccess;
    }
    Node::Value value;
    value.name = std::u16string(valueName);
    value.folded = Fold(valueName);
    value.type = type;
    value.data = std::move(bytes);
    auto at = node->LowerValue(value.folded);
    node->values.insert(at, std::move(value));
    return kErrorSuccess;
}

long MemoryRegistry::DeleteValue(RegKey key, const char16_t* name) {
    Lock lock(busy_);
    std::shared_ptr<Node> node;
    if (const long refused = UsableNode(key, kKeySetValue, &node)) return refused;
    std::u16string_view valueName;
    if (name != nullptr && !ReadBounded(name, kMaxRegValueNameChars, &valueName)) return kErrorFileNotFound;
    const std::u16string folded = Fold(valueName);
    auto it = node->LowerValue(folded);
    if (it == node->values.end() || it->folded != folded) return kErrorFileNotFound;
    node->values.erase(it);
    return kErrorSuccess;
}

long MemoryRegistry::DeleteKey(RegKey parent, const char16_t* subkey, std::uint32_t access) {
    if (subkey == nullptr) return kErrorInvalidParameter;
    Lock lock(busy_);
    std::shared_ptr<Node> node;
    const long rc = Resolve(parent, subkey, access, false, false, &node, nullptr);
    if (rc != kErrorSuccess) return rc;
    if (node->pinned || !node->children.empty() || node->parent == nullptr || !node->Admits(kDelete)) {
        return kErrorAccessDenied;
    }
    node->parent->RemoveChild(node.get());
    node->parent = nullptr;
    node->deleted = true;
    node->values.clear();
    return kErrorSuccess;
}

long MemoryRegistry::DeleteTree(RegKey parent, const char16_t* subkey, std::uint32_t access) {
    Lock lock(busy_);
    std::uint32_t rights = 0;
    std::shared_ptr<Node> start = NodeOf(parent, &rights);
    if (!start) return kErrorInvalidHandle;
    const std::uint32_t needed = kDelete | kKeyEnumerateSubKeys | kKeyQueryValue | (subkey == nullptr ? kKeySetValue : 0);
    if ((rights & needed) != needed) return kErrorAccessDenied;
    std::shared_ptr<Node> node;
    const long rc = Resolve(parent, subkey, access, false, false, &node, nullptr);
    if (rc != kErrorSuccess) return rc;
    Purge(node.get());
    if (subkey != nullptr && !node->pinned && node->parent != nullptr) {
        node->parent->RemoveChild(node.get());
        node->parent = nullptr;
        node->deleted = true;
    }
    return kErrorSuccess;
}

long MemoryRegistry::RestrictKey(RegKey parent, const char16_t* subkey, std::uint32_t access, std::uint32_t granted) {
    Lock lock(busy_);
    std::shared_ptr<Node> node;
    const long rc = Resolve(parent, subkey, access, false, false, &node, nullptr);
    if (rc != kErrorSuccess) return rc;
    node->granted = true;
    node->grant = RequestedRights(granted);
    return kErrorSuccess;
}

long MemoryRegistry::EnumKey(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars) {
    if (name == nullptr || nameChars == nullptr) return kErrorInvalidParameter;
    Lock lock(busy_);
    std::shared_ptr<Node> node;
    if (const long refused = UsableNode(key, kKeyEnumerateSubKeys, &node)) return refused;
    if (index >= node->children.size()) return kErrorNoMoreItems;
    const std::u16string& childName = node->children[index]->name;
    if (childName.size() >= *nameChars) return kErrorMoreData;
    std::copy(childName.begin(), childName.end(), name);
    name[childName.size()] = u'\0';
    *nameChars = static_cast<std::uint32_t>(childName.size());
    return kErrorSuccess;
}

long MemoryRegistry::EnumValue(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t* nameChars,
                               std::uint32_t* type, std::uint8_t* data, std::uint32_t* size) {
    if (data != nullptr && size == nullptr) return kErrorInvalidParameter;
    if (name == nullptr || nameChars == nullptr) return kErrorInvalidParameter;
    Lock lock(busy_);
    std::shared_ptr<Node> node;
    if (const long refused = UsableNode(key, kKeyQueryValue, &node)) return refused;
    if (index >= node->values.size()) return kErrorNoMoreItems;
    const Node::Value& value = node->values[index];
    const auto needed = static_cast<std::uint32_t>(value.data.size());

    long rc = kErrorSuccess;
    if (value.name.size() >= *nameChars) {
        rc = kErrorMoreData;  // the name is not copied, the type and size are still reported
    } else {
        std::copy(value.name.begin(), value.name.end(), name);
        name[value.name.size()] = u'\0';
        *nameChars = static_cast<std::uint32_t>(value.name.size());
        if (data != nullptr) {
            if (*size < needed) {
                rc = kErrorMoreData;
            } else {
                if (needed > 0) std::memcpy(data, value.data.data(), needed);
                TerminateString(value.type, value.data, data, *size);
            }
        }
    }
    if (type != nullptr) *type = value.type;
    if (size != nullptr) *size = needed;
    return rc;
}

std::size_t MemoryRegistry::OpenHandleCount() const {
    Lock lock(busy_);
    return handles_.size();
}

// ---------------------------------------------------------------------------------------------
// Loading registry export text.

namespace {

std::string ApplyError(const RegFileOperation& op, const char* what, long rc) {
    return "line " + std::to_string(op.line) + ": " + what + " (error " + std::to_string(rc) + ")";
}

constexpr std::uint32_t kLoaderAccess = kKeyAllAccess | kKeyWow64_64Key;

}  // namespace

bool LoadRegFile(const std::string& bytes, MemoryRegistry& registry, std::string* error) {
    std::vector<RegFileOperation> ops;
    if (!ParseRegFile(bytes, &ops, error)) return false;

    RegKey current = 0;
    std::size_t currentOp = ops.size();  // no key open
    auto closeCurrent = [&]() {
        if (current != 0) registry.CloseKey(current);
        current = 0;
        currentOp = ops.size();
    };
    auto fail = [&](const std::string& message) {
        closeCurrent();
        if (error != nullptr) *error = message;
        return false;
    };

    for (std::size_t i = 0; i < ops.size(); ++i) {
        const RegFileOperation& op = ops[i];
        switch (op.kind) {
            case RegFileOpKind::kCreateKey: {
                closeCurrent();
                const long rc = registry.CreateKey(RootKeyOf(op.root), op.keyPath.c_str(), kLoaderAccess, &current,
                                                   nullptr);
                if (rc != kErrorSuccess) return fail(ApplyError(op, "cannot create the key", rc));
                currentOp = i;
                break;
            }
            case RegFileOpKind::kDeleteKey: {
                closeCurrent();
                const long rc = registry.DeleteTree(RootKeyOf(op.root), op.keyPath.c_str(), kLoaderAccess);
                if (rc != kErrorSuccess && rc != kErrorFileNotFound) {
                    return fail(ApplyError(op, "cannot delete the key", rc));
                }
                break;
            }
            case RegFileOpKind::kSetValue:
            case RegFileOpKind::kDeleteValue: {
                // The parser puts values right after their key line.
                if (op.keyOp != currentOp) return fail(ApplyError(op, "value without a key", kErrorInvalidParameter));
                if (op.kind == RegFileOpKind::kSetValue) {
                    const long rc = registry.SetValue(current, op.valueName.c_str(), op.type,
                                                      op.data.empty() ? nullptr : op.data.data(),
                                                      static_cast<std::uint32_t>(op.data.size()));
                    if (rc != kErrorSuccess) return fail(ApplyError(op, "cannot set the value", rc));
                } else {
                    const long rc = registry.DeleteValue(current, op.valueName.c_str());
                    if (rc != kErrorSuccess && rc != kErrorFileNotFound) {
                        return fail(ApplyError(op, "cannot delete the value", rc));
                    }
                }
                break;
            }
        }
    }
    closeCurrent();
    return true;
}

bool LoadRegFileFromPath(const std::string& path, MemoryRegistry& registry, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error != nullptr) *error = "cannot open " + path;
        return false;
    }
    std::string bytes;
    std::vector<char> chunk(64 * 1024);
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        const std::streamsize got = in.gcount();
        if (got <= 0) break;
        if (bytes.size() + static_cast<std::size_t>(got) > kMaxRegFileBytes) {
            if (error != nullptr) *error = path + ": file larger than " + std::to_string(kMaxRegFileBytes) + " bytes";
            return false;
        }
        bytes.append(chunk.data(), static_cast<std::size_t>(got));
    }
    if (in.bad()) {
        if (error != nullptr) *error = "cannot read " + path;
        return false;
    }
    return LoadRegFile(bytes, registry, error);
}

}  // namespace quarro::platform::sim
