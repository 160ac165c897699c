// One move-only owner for system handles: the traits name the handle type, its empty value
// and how it is closed. Copies are deleted, so nothing is ever closed twice.
#pragma once

#include <windows.h>

#include <utility>

namespace vexo::win32 {

template <class Traits> class UniqueAny {
  public:
    using Handle = typename Traits::Handle;

    UniqueAny() = default;
    explicit UniqueAny(Handle handle) : handle_(handle) {}
    UniqueAny(const UniqueAny&) = delete;
    UniqueAny& operator=(const UniqueAny&) = delete;
    UniqueAny(UniqueAny&& other) noexcept : handle_(other.release()) {}
    UniqueAny& operator=(UniqueAny&& other) noexcept {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }
    ~UniqueAny() { reset(); }

    [[nodiscard]] Handle get() const { return handle_; }
    [[nodiscard]] bool valid() const { return handle_ != Traits::empty(); }
    explicit operator bool() const { return valid(); }

    // Hands ownership on; this owner is empty afterwards.
    [[nodiscard]] Handle release() { return std::exchange(handle_, Traits::empty()); }
    // Closes what is held and takes `handle`.
    void reset(Handle handle = Traits::empty()) {
        Handle old = std::exchange(handle_, handle);
        if (old != Traits::empty()) {
            Traits::close(old);
        }
    }

  private:
    Handle handle_ = Traits::empty();
};

struct LibraryTraits {
    using Handle = HMODULE;
    static constexpr Handle empty() { return nullptr; }
    static void close(Handle h) { FreeLibrary(h); }
};
using UniqueLibrary = UniqueAny<LibraryTraits>;

// Memory that a system function allocated with LocalAlloc (FormatMessage's buffer).
struct LocalMemoryTraits {
    using Handle = HLOCAL;
    static constexpr Handle empty() { return nullptr; }
    static void close(Handle h) { LocalFree(h); }
};
using UniqueLocalMemory = UniqueAny<LocalMemoryTraits>;

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
