// The registry over advapi32's wide functions. Text values cross as UTF-8 bytes inside and
// UTF-16 in the registry, byte for byte: a NUL given is written, a NUL not given is not.
#pragma once

#include "platform/Registry.h"

namespace vexo::win32 {

class Win32Registry final : public Registry {
  public:
    WinError openKey(RegRoot root, const std::string& path, std::uint32_t access,
                     RegKey& key) override;
    WinError createKey(RegRoot root, const std::string& path, std::uint32_t options,
                       std::uint32_t access, RegKey& key, std::uint32_t* disposition) override;
    WinError setValue(const RegKey& key, const std::string& name, std::uint32_t type,
                      const std::vector<std::uint8_t>& data) override;
    WinError queryValue(const RegKey& key, const std::string& name, RegValue& value) override;
    WinError enumValue(const RegKey& key, std::uint32_t index, RegNamedValue& entry) override;
    WinError deleteValue(const RegKey& key, const std::string& name) override;
    WinError deleteKey(RegRoot root, const std::string& path) override;

  protected:
    void closeKey(std::uintptr_t handle) override;
};

// Whether values of `type` hold text (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ).
[[nodiscard]] bool isTextType(std::uint32_t type);

} // namespace vexo::win32
