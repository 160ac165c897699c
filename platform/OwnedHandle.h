// A handle that its owner (the registry, the spooler) gave out and must close: move-only,
// closed when it goes. A default-constructed one holds nothing.
#pragma once

#include "platform/Win32Constants.h"

#include <cstdint>
#include <utility>

namespace vexo {

// `Owner` provides `static WinError closeOwned(Owner&, std::uintptr_t)` to this template.
template <class Owner> class OwnedHandle {
  public:
    OwnedHandle() = default;
    OwnedHandle(Owner* owner, std::uintptr_t handle) : owner_(owner), handle_(handle) {}
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;
    OwnedHandle(OwnedHandle&& o) noexcept
        : owner_(std::exchange(o.owner_, nullptr)), handle_(std::exchange(o.handle_, 0)) {}
    OwnedHandle& operator=(OwnedHandle&& o) noexcept {
        if (this != &o) {
            (void)reset();
            owner_ = std::exchange(o.owner_, nullptr);
            handle_ = std::exchange(o.handle_, 0);
        }
        return *this;
    }
    ~OwnedHandle() { (void)reset(); }

    [[nodiscard]] bool isOpen() const { return owner_ != nullptr; }
    [[nodiscard]] std::uintptr_t handle() const { return handle_; }
    // Closes the handle; the result of the close, or err::InvalidHandle when none was open.
    WinError reset() {
        if (owner_ == nullptr) {
            return err::InvalidHandle;
        }
        Owner* owner = std::exchange(owner_, nullptr);
        return Owner::closeOwned(*owner, std::exchange(handle_, 0));
    }

  private:
    Owner* owner_ = nullptr;
    std::uintptr_t handle_ = 0;
};

} // namespace vexo
