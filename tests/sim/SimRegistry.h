// An in-memory registry that behaves like the Windows one where the installer relies on
// it: key names compare without regard to case, values keep their type and exact bytes,
// HKEY_CURRENT_CONFIG is HKLM\SYSTEM\CurrentControlSet\Hardware Profiles\Current, and
// CurrentControlSet is ControlSet001. Open and set report failure; access rights are
// checked. Every operation can be made to fail through Faults.
#pragma once

#include "platform/Registry.h"
#include "tests/sim/Faults.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexo::sim {

class SimRegistry final : public Registry {
  public:
    explicit SimRegistry(Faults& faults);
    ~SimRegistry() override;

    WinError openKey(RegRoot root, const std::string& path, std::uint32_t access,
                     RegKey& key) override;
    WinError createKey(RegRoot root, const std::string& path, std::uint32_t options,
                       std::uint32_t access, RegKey& key, std::uint32_t* disposition) override;
    WinError setValue(const RegKey& key, const std::string& name, std::uint32_t type,
                      const std::vector<std::uint8_t>& data) override;
    WinError queryValue(const RegKey& key, const std::string& name, RegValue& value) override;
    WinError enumValue(const RegKey& key, std::uint32_t index, RegNamedValue& entry) override;
    WinError deleteValue(const RegKey& key, const std::string& name) override;
    // A key with subkeys is refused with err::AccessDenied, as RegDeleteKey refuses it.
    WinError deleteKey(RegRoot root, const std::string& path) override;

    // Direct access for tests and for the simulated spooler (no faults, no access checks).
    void put(RegRoot root, const std::string& path, const std::string& name, RegValue value);
    void putText(RegRoot root, const std::string& path, const std::string& name,
                 const std::string& text) {
        put(root, path, name, RegValue{reg::TypeSz, regSzData(text)});
    }
    void makeKey(RegRoot root, const std::string& path);
    [[nodiscard]] bool keyExists(RegRoot root, const std::string& path) const;
    // Deletes a key with everything under it (nothing when it does not exist).
    void removeKey(RegRoot root, const std::string& path);
    [[nodiscard]] std::optional<RegValue> get(RegRoot root, const std::string& path,
                                              const std::string& name) const;
    // Marks a key volatile, as Wine's HKEY_CURRENT_CONFIG is: a non-volatile subkey can then
    // not be created under it (ERROR_CHILD_MUST_BE_VOLATILE).
    void setVolatile(RegRoot root, const std::string& path);
    // Keys currently open (a test checks that every key opened is closed).
    [[nodiscard]] std::size_t openKeyCount() const { return handles_.size(); }
    // Every value, and every key that holds neither values nor keys, one line each, keys in
    // name order and values in enumeration order: "HKLM\path: name = TYPE bytes" (see
    // formatValue), "HKLM\path\" for an empty key. A link (CurrentControlSet) is left out:
    // its target is listed.
    [[nodiscard]] std::vector<std::string> dump() const;
    // Every value written by setValue, in order: "ROOT\path" and name (from the call log).
    struct Write {
        std::string key;
        std::string name;
    };
    [[nodiscard]] std::vector<Write> writes() const;

  protected:
    void closeKey(std::uintptr_t handle) override;

  private:
    struct Node;
    struct Handle {
        Node* node;
        std::uint32_t access;
        std::string path;
    };
    Node* root(RegRoot r) const;
    Node* find(RegRoot root, const std::string& path) const;
    WinError walk(RegRoot root, const std::string& path, bool create, bool isVolatile, Node*& out,
                  bool& created, bool checkVolatile = true);
    // Opens, or with `create` creates, a key: the fault check, the walk and the handle.
    WinError open(const char* operation, RegRoot root, const std::string& path, bool create,
                  bool isVolatile, std::uint32_t access, RegKey& key, bool& created);
    const Handle* handleOf(const RegKey& key) const;
    // The start of an operation on an open key: the fault check, the handle and its access.
    WinError begin(const char* operation, const RegKey& key, const std::string& what,
                   std::uint32_t access, const Handle*& handle);
    static std::string describe(RegRoot root, const std::string& path);

    Faults& faults_;
    std::unique_ptr<Node> hklm_, hkcu_, hkcr_, hku_;
    std::map<std::uintptr_t, Handle> handles_;
    std::uintptr_t nextHandle_ = 0x100;
};

// A value's type and exact bytes: text types as their quoted bytes, others as hexadecimal
// bytes: `REG_SZ "K20A\0"`, `REG_DWORD 01 00 00 00`.
std::string formatValue(const RegValue& value);
// Bytes in double quotes, a NUL as "\0" and other control bytes as "\xNN"; the rest (UTF-8
// text included) as they are.
std::string quotedBytes(std::string_view bytes);

} // namespace vexo::sim
