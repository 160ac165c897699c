// The system registry as the installer needs it. Texts are UTF-8; a Windows implementation
// converts value data of the text types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) to and from
// UTF-16 at the call, keeping every byte given, including a terminating NUL or its absence.
#pragma once

#include "platform/UniqueHandle.h"
#include "platform/Win32Constants.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexo {

class Registry;

// An open registry key; closes itself.
using RegKey = OwnedHandle<Registry>;

// One value as stored: its type and its data bytes (text types as UTF-8 bytes).
struct RegValue {
    std::uint32_t type = reg::TypeNone;
    std::vector<std::uint8_t> data;

    // The text of a REG_SZ or REG_EXPAND_SZ value, up to its first NUL; nullopt for a value
    // of another type.
    [[nodiscard]] std::optional<std::string> text() const;
};

struct RegNamedValue {
    std::string name;
    RegValue value;
};

// What writing a value under a key by its path came to: the key did not open (`opened`
// false, `error` says why), or the value was written (`error` 0) or refused (`error`).
struct RegWrite {
    bool opened = false;
    WinError error = err::Success;
    [[nodiscard]] bool succeeded() const { return opened && error == err::Success; }
};

class Registry {
  public:
    virtual ~Registry() = default;

    // Opens an existing key. On failure `key` is left closed.
    [[nodiscard]] virtual WinError openKey(RegRoot root, const std::string& path,
                                           std::uint32_t access, RegKey& key) = 0;
    // Opens or creates a key (RegCreateKeyEx with an inheritable handle and no security
    // descriptor). `disposition` receives reg::CreatedNewKey or reg::OpenedExistingKey.
    [[nodiscard]] virtual WinError createKey(RegRoot root, const std::string& path,
                                             std::uint32_t options, std::uint32_t access,
                                             RegKey& key, std::uint32_t* disposition) = 0;
    // Writes exactly `data` as the value's bytes.
    [[nodiscard]] virtual WinError setValue(const RegKey& key, const std::string& name,
                                            std::uint32_t type,
                                            const std::vector<std::uint8_t>& data) = 0;
    // Reads a whole value, whatever its size. `value` is untouched on failure.
    [[nodiscard]] virtual WinError queryValue(const RegKey& key, const std::string& name,
                                              RegValue& value) = 0;
    // The value at `index` in enumeration order, whole; err::NoMoreItems past the last.
    [[nodiscard]] virtual WinError enumValue(const RegKey& key, std::uint32_t index,
                                             RegNamedValue& entry) = 0;
    // Deletes the value `name` of a key opened for setting values (RegDeleteValue);
    // err::FileNotFound when it has none of that name.
    [[nodiscard]] virtual WinError deleteValue(const RegKey& key, const std::string& name) = 0;
    // Deletes the key `path`, which holds no subkey (RegDeleteKey), with its values.
    [[nodiscard]] virtual WinError deleteKey(RegRoot root, const std::string& path) = 0;

    // Typed writes. A text value is stored as REG_SZ with its terminating NUL.
    [[nodiscard]] WinError setText(const RegKey& key, const std::string& name,
                                   std::string_view text);
    [[nodiscard]] WinError setDword(const RegKey& key, const std::string& name,
                                    std::uint32_t value);
    // Opens the existing key `path` for setting values, writes the text value and closes
    // the key again.
    [[nodiscard]] RegWrite writeText(RegRoot root, const std::string& path, const std::string& name,
                                     std::string_view text);

  protected:
    virtual void closeKey(std::uintptr_t handle) = 0;

  private:
    friend struct ClosedByOwner<Registry>;
    static WinError closeOwned(Registry& registry, std::uintptr_t handle) {
        registry.closeKey(handle);
        return err::Success;
    }
};

// The root's name as Windows writes it ("HKEY_LOCAL_MACHINE").
[[nodiscard]] constexpr std::string_view rootName(RegRoot root) {
    switch (root) {
    case RegRoot::LocalMachine:
        return "HKEY_LOCAL_MACHINE";
    case RegRoot::CurrentUser:
        return "HKEY_CURRENT_USER";
    case RegRoot::CurrentConfig:
        return "HKEY_CURRENT_CONFIG";
    case RegRoot::ClassesRoot:
        return "HKEY_CLASSES_ROOT";
    case RegRoot::Users:
        return "HKEY_USERS";
    }
    return "?";
}

// REG_SZ data for `text` with its terminating NUL, as Windows requires of a text value.
inline std::vector<std::uint8_t> regSzData(std::string_view text) {
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

// REG_DWORD data, little-endian.
inline std::vector<std::uint8_t> regDwordData(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
}

// The text of REG_SZ-like data: the bytes up to the first NUL or the end.
inline std::string regText(const std::vector<std::uint8_t>& data) {
    std::string s(data.begin(), data.end());
    if (auto nul = s.find('\0'); nul != std::string::npos) {
        s.resize(nul);
    }
    return s;
}

inline WinError Registry::setText(const RegKey& key, const std::string& name,
                                  std::string_view text) {
    return setValue(key, name, reg::TypeSz, regSzData(text));
}

inline WinError Registry::setDword(const RegKey& key, const std::string& name,
                                   std::uint32_t value) {
    return setValue(key, name, reg::TypeDword, regDwordData(value));
}

inline RegWrite Registry::writeText(RegRoot root, const std::string& path, const std::string& name,
                                    std::string_view text) {
    RegWrite result;
    RegKey key;
    result.error = openKey(root, path, reg::SetValue, key);
    if (result.error != err::Success) {
        return result;
    }
    result.opened = true;
    result.error = setText(key, name, text);
    return result;
}

inline std::optional<std::string> RegValue::text() const {
    if (type != reg::TypeSz && type != reg::TypeExpandSz) {
        return std::nullopt;
    }
    return regText(data);
}

} // namespace vexo
