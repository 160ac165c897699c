// The system handles that the Win32 layer owns, each a UniqueHandle with traits that close it
// and keep the last error as it was, functions looked up at run time, and the error of a call
// that failed.
#pragma once

#include "platform/UniqueHandle.h"

#include <windows.h>

namespace vexo::win32 {

// Keeps the last error across a clean-up, so that closing a handle never replaces the error
// of the call before it.
class KeptLastError {
  public:
    KeptLastError() : error_(GetLastError()) {}
    KeptLastError(const KeptLastError&) = delete;
    KeptLastError& operator=(const KeptLastError&) = delete;
    ~KeptLastError() { SetLastError(error_); }

  private:
    DWORD error_;
};

// Traits of a handle that `Closer` (a callable, which may hold a function looked up at run
// time) closes, the last error kept as it was.
template <class H, class Closer> struct KeptErrorTraits {
    using Handle = H;
    [[no_unique_address]] Closer closer{};
    static constexpr Handle empty() { return nullptr; }
    void close(Handle h) const {
        const KeptLastError kept;
        closer(h);
    }
    static void notOpen() {}
};

struct FreeLibraryCall {
    void operator()(HMODULE h) const { FreeLibrary(h); }
};
using UniqueLibrary = UniqueHandle<KeptErrorTraits<HMODULE, FreeLibraryCall>>;

// A kernel object's handle (a file, a mutex, a token).
struct CloseHandleCall {
    void operator()(HANDLE h) const { CloseHandle(h); }
};
using UniqueKernelHandle = UniqueHandle<KeptErrorTraits<HANDLE, CloseHandleCall>>;

// Memory that a system function allocated with LocalAlloc (FormatMessage's buffer).
struct LocalFreeCall {
    void operator()(HLOCAL h) const { LocalFree(h); }
};
using UniqueLocalMemory = UniqueHandle<KeptErrorTraits<HLOCAL, LocalFreeCall>>;

// GetLastError after a call that failed, or `fallback` where it failed without setting it.
[[nodiscard]] inline WinError lastErrorOr(DWORD fallback = ERROR_GEN_FAILURE) {
    const DWORD e = GetLastError();
    return static_cast<WinError>(e != 0 ? e : fallback);
}

// A function looked up at run time, as the pointer type of its declaration, so that the
// calling convention (WINAPI) comes from the system headers. Null when it is missing.
template <class Function> Function lookupFunction(HMODULE module, const char* name) {
    if (module == nullptr) {
        return nullptr;
    }
    // void (*)() converts to and from every function pointer type without a cast warning.
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

} // namespace vexo::win32
