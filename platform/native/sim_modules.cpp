// Run-time libraries in the native build: shared objects loaded with dlopen; "Name.dll" means
// libName.so beside the program.
#include <dlfcn.h>
#include <unistd.h>

#include <string>

#include "platform/concerns.h"
#include "platform/modules.h"
#include "platform/utf8.h"

namespace quarro::platform::sim {

namespace {

class SimModules : public IModules {
public:
    std::u16string ProgramFileName() override {
        char buffer[4096];
        const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
        if (length <= 0) return {};
        return Utf8ToUtf16(std::string(buffer, static_cast<std::size_t>(length)));
    }

    LibraryHandle Load(const char16_t* name, bool) override {
        if (!name || !*name) return 0;
        std::string file = Utf16ToUtf8(name);
        if (file.size() > 4 &&
            (file.compare(file.size() - 4, 4, ".dll") == 0 || file.compare(file.size() - 4, 4, ".DLL") == 0)) {
            file = "lib" + file.substr(0, file.size() - 4) + ".so";
        }
        std::string program = Utf16ToUtf8(ProgramFileName());
        const auto slash = program.rfind('/');
        const std::string folder = slash == std::string::npos ? std::string(".") : program.substr(0, slash);
        void* library = dlopen((folder + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
        return reinterpret_cast<LibraryHandle>(library);
    }

    void* GetExport(LibraryHandle library, const char* name) override {
        if (!library || !name) return nullptr;
        return dlsym(reinterpret_cast<void*>(library), name);
    }

    void Free(LibraryHandle library) override {
        if (library) dlclose(reinterpret_cast<void*>(library));
    }
};

}  // namespace

std::shared_ptr<IModules> MakeSimModules(const MachineSnapshot*, std::string*) {
    return std::make_shared<SimModules>();
}

}  // namespace quarro::platform::sim
