// One move-only owner for handles: the traits name the handle type, its empty value and how
// a handle is closed. Copies are deleted, so nothing is ever closed twice. Traits that carry
// state (the registry or the spooler that gave a handle out and must close it) travel with
// the handle.
#pragma once

#include "platform/Win32Constants.h"

#include <cstdint>
#include <utility>

namespace vexo {

// `Traits` provides `Handle`, `static constexpr Handle empty()`, `close(Handle)` and
// `notOpen()`: what reset() answers when nothing is held (void when closing answers nothing).
template <class Traits> class UniqueHandle {
  public:
    using Handle = typename Traits::Handle;

    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle, Traits traits = {}) : traits_(traits), handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept
        : traits_(other.traits_), handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            (void)reset();
            traits_ = other.traits_;
            handle_ = other.release();
        }
        return *this;
    }
    ~UniqueHandle() { (void)reset(); }

    [[nodiscard]] Handle get() const { return handle_; }
    [[nodiscard]] bool isOpen() const { return handle_ != Traits::empty(); }

    // Hands ownership on; this owner is empty afterwards.
    [[nodiscard]] Handle release() { return std::exchange(handle_, Traits::empty()); }
    // Closes what is held, and answers what the close answered.
    auto reset() {
        if (!isOpen()) {
            return Traits::notOpen();
        }
        return traits_.close(release());
    }

  private:
    [[no_unique_address]] Traits traits_;
    Handle handle_ = Traits::empty();
};

// A handle that the object which gave it out must close (the registry's keys, the
// spooler's printers): `Owner` provides `static WinError closeOwned(Owner&, std::uintptr_t)`
// to these traits. Closing nothing answers ERROR_INVALID_HANDLE.
template <class Owner> struct ClosedByOwner {
    using Handle = std::uintptr_t;
    Owner* owner = nullptr;

    static constexpr Handle empty() { return 0; }
    WinError close(Handle handle) const { return Owner::closeOwned(*owner, handle); }
    static constexpr WinError notOpen() { return err::InvalidHandle; }
};
template <class Owner> using OwnedHandle = UniqueHandle<ClosedByOwner<Owner>>;

} // namespace vexo
