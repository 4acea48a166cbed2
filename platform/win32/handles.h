// Owners of Win32 objects, for every layer's Win32 code: kernel handles (both "no handle"
// values), files and named pipes, registry keys, device-information sets, service handles,
// libraries, find handles, windows, icons, GDI objects, device contexts, SIDs, COM interfaces,
// BSTRs, VARIANTs, shell memory, COM initialisation and overlapped I/O still in flight. Each owner
// holds exactly one object, is movable and not copyable, and releases its object on every path.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <setupapi.h>

#include <utility>

#include "platform/owner.h"

namespace quarro::win32 {

template <typename Traits>
using UniqueHandle = quarro::platform::Owner<Traits>;

struct KernelHandleTraits {  // events, mutexes, threads, processes: null means none
    using Handle = HANDLE;
    static HANDLE None() { return nullptr; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct FileHandleTraits {  // CreateFileW, CreateNamedPipeW: INVALID_HANDLE_VALUE means none
    using Handle = HANDLE;
    static HANDLE None() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) { CloseHandle(handle); }
};
struct RegKeyTraits {
    using Handle = HKEY;
    static HKEY None() { return nullptr; }
    static void Close(HKEY key) { RegCloseKey(key); }
};
struct DeviceInfoSetTraits {
    using Handle = HDEVINFO;
    static HDEVINFO None() { return INVALID_HANDLE_VALUE; }
    static void Close(HDEVINFO set) { SetupDiDestroyDeviceInfoList(set); }
};
struct ServiceHandleTraits {
    using Handle = SC_HANDLE;
    static SC_HANDLE None() { return nullptr; }
    static void Close(SC_HANDLE handle) { CloseServiceHandle(handle); }
};
struct LibraryTraits {
    using Handle = HMODULE;
    static HMODULE None() { return nullptr; }
    static void Close(HMODULE module) { FreeLibrary(module); }
};
struct FindHandleTraits {  // FindFirstFileW
    using Handle = HANDLE;
    static HANDLE None() { return INVALID_HANDLE_VALUE; }
    static void Close(HANDLE finder) { FindClose(finder); }
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
struct GdiObjectTraits {  // pens, brushes, fonts, bitmaps, regions
    using Handle = HGDIOBJ;
    static HGDIOBJ None() { return nullptr; }
    static void Close(HGDIOBJ object) { DeleteObject(object); }
};
struct MemoryDcTraits {  // CreateCompatibleDC, CreateDCW
    using Handle = HDC;
    static HDC None() { return nullptr; }
    static void Close(HDC dc) { DeleteDC(dc); }
};
struct SidTraits {  // AllocateAndInitializeSid
    using Handle = PSID;
    static PSID None() { return nullptr; }
    static void Close(PSID sid) { FreeSid(sid); }
};
struct CoTaskMemTraits {  // strings and blocks the shell hands out
    using Handle = void*;
    static void* None() { return nullptr; }
    static void Close(void* block) { CoTaskMemFree(block); }
};

using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniquePipe = UniqueHandle<FileHandleTraits>;
using UniqueRegKey = UniqueHandle<RegKeyTraits>;
using UniqueDeviceInfoSet = UniqueHandle<DeviceInfoSetTraits>;
using UniqueServiceHandle = UniqueHandle<ServiceHandleTraits>;
using UniqueLibrary = UniqueHandle<LibraryTraits>;
using UniqueFindHandle = UniqueHandle<FindHandleTraits>;
using UniqueWindow = UniqueHandle<WindowTraits>;
using UniqueIcon = UniqueHandle<IconTraits>;
using UniqueGdiObject = UniqueHandle<GdiObjectTraits>;
using UniqueMemoryDc = UniqueHandle<MemoryDcTraits>;
using UniqueSid = UniqueHandle<SidTraits>;
using UniqueCoTaskMem = UniqueHandle<CoTaskMemTraits>;

// A window's device context (GetDC/GetWindowDC), given back with ReleaseDC to that window.
class WindowDc {
public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return dc_; }
    explicit operator bool() const { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// An object selected into a device context, selected out again when it goes.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~SelectedObject() {
        if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    bool Succeeded() const { return previous_ && previous_ != HGDI_ERROR; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// Shell memory holding a string (SHGetKnownFolderPath and the like).
class CoTaskString {
public:
    CoTaskString() = default;
    CoTaskString(const CoTaskString&) = delete;
    CoTaskString& operator=(const CoTaskString&) = delete;
    PWSTR* Put() { return reinterpret_cast<PWSTR*>(block_.Put()); }
    PCWSTR Get() const { return static_cast<PCWSTR>(block_.Get()); }

private:
    UniqueCoTaskMem block_;
};

// A COM interface pointer released when it goes.
template <typename Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { Reset(); }
    ComRef(ComRef&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComRef& operator=(ComRef&& other) noexcept {
        if (this != &other) {
            Reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }
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

// A BSTR freed with SysFreeString.
class Bstr {
public:
    Bstr() = default;
    explicit Bstr(const wchar_t* text) : text_(SysAllocString(text)) {}
    ~Bstr() { SysFreeString(text_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return text_; }
    explicit operator bool() const { return text_ != nullptr; }
    BSTR* Put() {
        SysFreeString(std::exchange(text_, nullptr));
        return &text_;
    }

private:
    BSTR text_ = nullptr;
};

// A VARIANT cleared with VariantClear (which frees what it holds).
class Variant {
public:
    Variant() { VariantInit(&value_); }
    ~Variant() { VariantClear(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT* Get() { return &value_; }
    const VARIANT* Get() const { return &value_; }
    // Clears what it holds before a call fills it again.
    VARIANT* Put() {
        VariantClear(&value_);
        return &value_;
    }

private:
    VARIANT value_;
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
    HRESULT Result() const { return result_; }

private:
    HRESULT result_;
};

// Overlapped I/O in flight on `handle` with `overlapped`: unless Completed() was called, the
// request is cancelled and waited for when the guard goes, so the system never writes into an
// OVERLAPPED or a buffer that no longer exists.
class PendingIo {
public:
    PendingIo(HANDLE handle, OVERLAPPED* overlapped) : handle_(handle), overlapped_(overlapped) {}
    ~PendingIo() {
        if (!overlapped_) return;
        const DWORD error = GetLastError();
        CancelIo(handle_);
        DWORD transferred = 0;
        GetOverlappedResult(handle_, overlapped_, &transferred, TRUE);
        SetLastError(error);
    }
    PendingIo(const PendingIo&) = delete;
    PendingIo& operator=(const PendingIo&) = delete;
    // The request has finished (its result was read): nothing to cancel.
    void Completed() { overlapped_ = nullptr; }

private:
    HANDLE handle_;
    OVERLAPPED* overlapped_;
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
