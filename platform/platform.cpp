#include "platform/platform.h"

#include <cstdlib>
#include <memory>

#include "platform/recording_prompt.h"
#include "platform/sim/machine_snapshot.h"
#include "platform/utf8.h"

namespace quarro::platform {

namespace {

std::string MachineFolderFromEnvironment() {
#ifdef _WIN32
    const wchar_t* value = _wgetenv(L"QUARRO_MACHINE");
    if (!value || !*value) return {};
    return Utf16ToUtf8(reinterpret_cast<const char16_t*>(value));
#else
    const char* value = std::getenv("QUARRO_MACHINE");
    if (value && *value) return value;
    return QUARRO_DEFAULT_MACHINE;
#endif
}

std::string PromptLogFromEnvironment() {
#ifdef _WIN32
    const wchar_t* value = _wgetenv(L"QUARRO_PROMPT_LOG");
    return value ? Utf16ToUtf8(reinterpret_cast<const char16_t*>(value)) : std::string();
#else
    const char* value = std::getenv("QUARRO_PROMPT_LOG");
    return value ? value : "";
#endif
}

// Everything the process owns for its platform services; built once, never destroyed (modules
// may still call into it while the process ends).
struct Holder {
    std::unique_ptr<sim::MachineSnapshot> machine;
    std::string machineError;
#define QUARRO_HOLDER_MEMBER(Interface, member, ...) std::shared_ptr<Interface> member;
    QUARRO_PLATFORM_CONCERNS(QUARRO_HOLDER_MEMBER, QUARRO_HOLDER_MEMBER)
#undef QUARRO_HOLDER_MEMBER
    Services published;  // the pointers of the members above
};

// A hardware concern: the snapshot's model when there is a snapshot that describes the part,
// `otherwise` when not.
template <typename Interface>
std::shared_ptr<Interface> FromSnapshotOr(const sim::MachineSnapshot* machine,
                                          std::shared_ptr<Interface> (*fromSnapshot)(const sim::MachineSnapshot&),
                                          std::shared_ptr<Interface> (*otherwise)()) {
    std::shared_ptr<Interface> made = machine ? fromSnapshot(*machine) : nullptr;
    return made ? made : otherwise();
}

Holder* Build() {
    auto* holder = new Holder();
    const std::string folder = MachineFolderFromEnvironment();
    if (!folder.empty()) holder->machine = sim::MachineSnapshot::Load(folder, &holder->machineError);
    const sim::MachineSnapshot* machine = holder->machine.get();
#ifdef _WIN32
#define QUARRO_BUILD_OS(Interface, member, Accessor, win32Factory, standInFactory) \
    holder->member = win32::win32Factory();
#define QUARRO_BUILD_HARDWARE(Interface, member, Accessor, win32Factory, snapshotFactory, absentFactory) \
    holder->member = FromSnapshotOr<Interface>(machine, &sim::snapshotFactory, &win32::win32Factory);
#else
#define QUARRO_BUILD_OS(Interface, member, Accessor, win32Factory, standInFactory) \
    holder->member = sim::standInFactory(machine, &holder->machineError);
#define QUARRO_BUILD_HARDWARE(Interface, member, Accessor, win32Factory, snapshotFactory, absentFactory) \
    holder->member = FromSnapshotOr<Interface>(machine, &sim::snapshotFactory, &sim::absentFactory);
#endif
    QUARRO_PLATFORM_CONCERNS(QUARRO_BUILD_OS, QUARRO_BUILD_HARDWARE)
#undef QUARRO_BUILD_OS
#undef QUARRO_BUILD_HARDWARE

    // Unattended runs log their message boxes instead of showing them, on every flavour.
    if (const std::string log = PromptLogFromEnvironment(); !log.empty()) {
        holder->prompt = std::make_shared<RecordingPrompt>(log);
    }

#define QUARRO_PUBLISH(Interface, member, ...) holder->published.member = holder->member.get();
    QUARRO_PLATFORM_CONCERNS(QUARRO_PUBLISH, QUARRO_PUBLISH)
#undef QUARRO_PUBLISH
    return holder;
}

Holder& TheHolder() {
    static Holder* holder = Build();
    return *holder;
}

// The set in use: the built one, or a test's replacement.
Services& Active() {
    static Services active = TheHolder().published;
    return active;
}

}  // namespace

const Services& Current() { return Active(); }

const sim::MachineSnapshot* Machine() { return TheHolder().machine.get(); }

const std::string& MachineLoadError() { return TheHolder().machineError; }

#define QUARRO_DEFINE_ACCESSOR(Interface, member, Accessor, ...) \
    Interface& Accessor() { return *Active().member; }
QUARRO_PLATFORM_CONCERNS(QUARRO_DEFINE_ACCESSOR, QUARRO_DEFINE_ACCESSOR)
#undef QUARRO_DEFINE_ACCESSOR

ScopedOverride::ScopedOverride(const Services& replacement) : previous_(Active()) {
    Services& active = Active();
#define QUARRO_OVERRIDE(Interface, member, ...) \
    if (replacement.member) active.member = replacement.member;
    QUARRO_PLATFORM_CONCERNS(QUARRO_OVERRIDE, QUARRO_OVERRIDE)
#undef QUARRO_OVERRIDE
}

ScopedOverride::~ScopedOverride() { Active() = previous_; }

}  // namespace quarro::platform
