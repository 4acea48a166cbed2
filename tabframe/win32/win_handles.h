// RAII holders for the Win32 objects the viewer and the tab modules create: windows, GDI
// objects, icons, COM interfaces and memory the shell hands out. Each holder owns exactly one
// object, is movable and not copyable, and releases its object on every path.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <utility>

namespace quarro::win32 {

// One owned handle; Traits says what "no handle" is and how one is released.
template <typename Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::None(); }
    // Gives the handle up without releasing it.
    Handle Release() { return std::exchange(handle_, Traits::None()); }
    void Reset(Handle handle = Traits::None()) {
        const Handle old = std::exchange(handle_, handle);
        if (old != Traits::None()) Traits::Close(old);
    }

private:
    Handle handle_ = Traits::None();
};

struct WindowTraits {
    using Handle = HWND;
    static HWND None() { return nullptr; }
    static void Close(HWND window) {
        if (IsWindow(window)) DestroyWindow(window);
    }
};
struct IconTraits {
    using Handle = HICON;
    static HICON None() { return nullptr; }
    static void Close(HICON icon) { DestroyIcon(icon); }
};
struct GdiObjectTraits {
    using Handle = HGDIOBJ;
    static HGDIOBJ None() { return nullptr; }
    static void Close(HGDIOBJ object) { DeleteObject(object); }
};
struct KernelHandleTraits {
    using Handle = HANDLE;
    static HANDLE None() { return nullptr; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct FileHandleTraits {
    using Handle = HANDLE;
    static HANDLE None() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct LibraryTraits {
    using Handle = HMODULE;
    static HMODULE None() { return nullptr; }
    static void Close(HMODULE module) { FreeLibrary(module); }
};

using UniqueWindow = UniqueHandle<WindowTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueLibrary = UniqueHandle<LibraryTraits>;

// A COM interface pointer released when it goes.
template <typename Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { Reset(); }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    Interface* Get() const { return pointer_; }
    Interface* operator->() const { return pointer_; }
    explicit operator bool() const { return pointer_ != nullptr; }
    // Where a creating call stores the new pointer; any held one is released first.
    Interface** Put() {
        Reset();
        return &pointer_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    void Reset() {
        if (pointer_) std::exchange(pointer_, nullptr)->Release();
    }

private:
    Interface* pointer_ = nullptr;
};

// Memory from CoTaskMemAlloc (shell strings), freed with CoTaskMemFree.
class CoTaskString {
public:
    CoTaskString() = default;
    ~CoTaskString() { CoTaskMemFree(text_); }
    CoTaskString(const CoTaskString&) = delete;
    CoTaskString& operator=(const CoTaskString&) = delete;
    PWSTR* Put() {
        CoTaskMemFree(std::exchange(text_, nullptr));
        return &text_;
    }
    PCWSTR Get() const { return text_; }

private:
    PWSTR text_ = nullptr;
};

// One CoInitializeEx, balanced by CoUninitialize when it goes. A failed call (another apartment
// model on this thread) is not balanced: uninitialising then would undo the caller's own
// initialisation.
class CoInitScope {
public:
    explicit CoInitScope(DWORD model) : result_(CoInitializeEx(nullptr, model)) {}
    ~CoInitScope() {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    CoInitScope(const CoInitScope&) = delete;
    CoInitScope& operator=(const CoInitScope&) = delete;
    bool Succeeded() const { return SUCCEEDED(result_); }

private:
    HRESULT result_;
};

// The module (program or DLL) that contains this code: static libraries linked into a tab
// module find that module's resources through it.
inline HINSTANCE ModuleOfAddress(const void* address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(address), &module)) {
        return nullptr;
    }
    return module;
}

}  // namespace quarro::win32
