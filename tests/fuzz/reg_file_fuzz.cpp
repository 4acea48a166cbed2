// libFuzzer entry point: arbitrary bytes through the registry export parser and the loader, then
// a walk over whatever registry they built, checking that the answers agree with each other.
// Built by the fuzz preset; a short run is a test, tools/fuzz.sh runs it for longer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/native/memory_registry.h"
#include "platform/native/reg_file.h"

namespace {

using namespace quarro::platform;
using namespace quarro::platform::sim;

void Check(bool condition) {
    if (!condition) std::abort();
}

// `name` is one buffer shared by every level (a value name can be 16383 characters).
void Walk(MemoryRegistry& reg, RegKey key, int depth, char16_t* name) {
    Check(depth <= 512);
    std::vector<std::uint8_t> data;
    for (std::uint32_t i = 0;; ++i) {
        std::uint32_t chars = kMaxRegValueNameChars + 1;
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        const long rc = reg.EnumValue(key, i, name, &chars, &type, nullptr, &size);
        if (rc == kErrorNoMoreItems) break;
        Check(rc == kErrorSuccess && chars <= kMaxRegValueNameChars && name[chars] == u'\0');
        data.assign(size + 2u, 0xEE);
        std::uint32_t queried = size;
        std::uint32_t queriedType = 0;
        Check(reg.QueryValue(key, name, &queriedType, data.data(), &queried) == kErrorSuccess);
        Check(queried == size && queriedType == type);
        if (size > 0) {
            queried = size - 1;
            Check(reg.QueryValue(key, name, nullptr, data.data(), &queried) == kErrorMoreData && queried == size);
        }
    }
    for (std::uint32_t i = 0;; ++i) {
        std::uint32_t chars = kMaxRegKeyNameChars + 1;
        const long rc = reg.EnumKey(key, i, name, &chars);
        if (rc == kErrorNoMoreItems) break;
        Check(rc == kErrorSuccess && chars >= 1 && chars <= kMaxRegKeyNameChars);
        RegKey child = 0;
        Check(reg.OpenKey(key, name, kKeyRead | kKeyWow64_64Key, &child) == kErrorSuccess);
        Walk(reg, child, depth + 1, name);
        Check(reg.CloseKey(child) == kErrorSuccess);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(bytes), size);

    std::vector<RegFileOperation> ops;
    std::string error;
    const bool parsed = ParseRegFile(input, &ops, &error);
    Check(parsed ? error.empty() : (ops.empty() && error.rfind("line ", 0) == 0));
    for (std::size_t i = 0; i < ops.size(); ++i) {
        const RegFileOperation& op = ops[i];
        if (op.kind == RegFileOpKind::kSetValue || op.kind == RegFileOpKind::kDeleteValue) {
            Check(op.keyOp < i && ops[op.keyOp].kind == RegFileOpKind::kCreateKey);
            Check(op.valueName.size() <= kMaxRegValueNameChars);
        }
    }

    MemoryRegistry reg;
    std::string loadError;
    const bool loaded = LoadRegFile(input, reg, &loadError);
    Check(loaded || !parsed || loadError.rfind("line ", 0) == 0);
    Check(reg.OpenHandleCount() == 0);
    std::vector<char16_t> name(kMaxRegValueNameChars + 1);
    for (RegKey root : {kHkeyLocalMachine, kHkeyCurrentUser, kHkeyUsers}) Walk(reg, root, 0, name.data());
    Check(reg.OpenHandleCount() == 0);
    return 0;
}
