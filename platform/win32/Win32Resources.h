// The program's own resources, as the loader mapped them.
#pragma once

#include "platform/Resources.h"

#include <windows.h>

namespace vexo::win32 {

class Win32Resources final : public Resources {
  public:
    // The resources of `module`; null for the program's own file.
    explicit Win32Resources(HMODULE module = nullptr);

    std::optional<std::span<const std::uint8_t>> find(std::uint16_t type,
                                                      std::uint16_t id) const override;

    [[nodiscard]] HMODULE module() const { return module_; }

  private:
    HMODULE module_;
};

} // namespace vexo::win32
