#include "platform/win32/Win32Registry.h"

#include "platform/win32/WideText.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

namespace vexo::win32 {

namespace {

// A value or key that keeps changing size between our calls is given up on after this
// many rounds.
constexpr int kMaxSizingRounds = 16;

HKEY rootKey(RegRoot root) {
    switch (root) {
    case RegRoot::LocalMachine:
        return HKEY_LOCAL_MACHINE;
    case RegRoot::CurrentUser:
        return HKEY_CURRENT_USER;
    case RegRoot::CurrentConfig:
        return HKEY_CURRENT_CONFIG;
    case RegRoot::ClassesRoot:
        return HKEY_CLASSES_ROOT;
    case RegRoot::Users:
        return HKEY_USERS;
    }
    return nullptr;
}

HKEY keyHandle(const RegKey& key) {
    return reinterpret_cast<HKEY>(key.get());
}

// The start of a value operation: the open key and the value's wide name.
WinError keyAndName(const RegKey& key, const std::string& name, HKEY& handle,
                    std::wstring& wideName) {
    handle = keyHandle(key);
    if (handle == nullptr) {
        return err::InvalidHandle;
    }
    auto wide = tryWiden(name);
    if (!wide) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    wideName = std::move(*wide);
    return err::Success;
}

// The UTF-8 bytes of stored value data: text types are converted from UTF-16 code unit by
// code unit (NULs included; an odd trailing byte is half a code unit and is dropped), other
// types are returned as they are.
std::vector<std::uint8_t> dataFromRegistry(DWORD type, const std::vector<BYTE>& raw) {
    if (!isTextType(type)) {
        return {raw.begin(), raw.end()};
    }
    std::wstring wide(raw.size() / sizeof(wchar_t), L'\0');
    if (!wide.empty()) {
        std::memcpy(wide.data(), raw.data(), wide.size() * sizeof(wchar_t));
    }
    std::string text = narrow(wide);
    return {text.begin(), text.end()};
}

} // namespace

bool isTextType(std::uint32_t type) {
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

WinError Win32Registry::openKey(RegRoot root, const std::string& path, std::uint32_t access,
                                RegKey& key) {
    key.reset();
    auto widePath = tryWiden(path);
    if (!widePath) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    HKEY handle = nullptr;
    LSTATUS status = RegOpenKeyExW(rootKey(root), widePath->c_str(), 0, access, &handle);
    if (status != ERROR_SUCCESS) {
        return static_cast<WinError>(status);
    }
    key = RegKey(reinterpret_cast<std::uintptr_t>(handle), {this});
    return err::Success;
}

WinError Win32Registry::createKey(RegRoot root, const std::string& path, std::uint32_t options,
                                  std::uint32_t access, RegKey& key, std::uint32_t* disposition) {
    key.reset();
    auto widePath = tryWiden(path);
    if (!widePath) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    // No security descriptor (the key gets the default one) and an inheritable handle.
    SECURITY_ATTRIBUTES attributes{};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = nullptr;
    attributes.bInheritHandle = TRUE;
    HKEY handle = nullptr;
    DWORD created = 0;
    LSTATUS status = RegCreateKeyExW(rootKey(root), widePath->c_str(), 0, nullptr, options, access,
                                     &attributes, &handle, &created);
    if (status != ERROR_SUCCESS) {
        return static_cast<WinError>(status);
    }
    key = RegKey(reinterpret_cast<std::uintptr_t>(handle), {this});
    if (disposition != nullptr) {
        *disposition = created;
    }
    return err::Success;
}

WinError Win32Registry::setValue(const RegKey& key, const std::string& name, std::uint32_t type,
                                 const std::vector<std::uint8_t>& data) {
    HKEY handle = nullptr;
    std::wstring wideName;
    if (WinError e = keyAndName(key, name, handle, wideName); e != err::Success) {
        return e;
    }
    static const BYTE kNoData = 0;
    if (isTextType(type)) {
        // Every byte converts, so a terminating NUL is written exactly when it was given.
        auto text =
            tryWiden(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
        if (!text) {
            return ERROR_NO_UNICODE_TRANSLATION;
        }
        const std::size_t bytes = text->size() * sizeof(wchar_t);
        if (bytes > MAXDWORD) {
            return err::InvalidParameter;
        }
        return static_cast<WinError>(
            RegSetValueExW(handle, wideName.c_str(), 0, type,
                           bytes == 0 ? &kNoData : reinterpret_cast<const BYTE*>(text->data()),
                           static_cast<DWORD>(bytes)));
    }
    if (data.size() > MAXDWORD) {
        return err::InvalidParameter;
    }
    return static_cast<WinError>(RegSetValueExW(handle, wideName.c_str(), 0, type,
                                                data.empty() ? &kNoData : data.data(),
                                                static_cast<DWORD>(data.size())));
}

WinError Win32Registry::queryValue(const RegKey& key, const std::string& name, RegValue& value) {
    HKEY handle = nullptr;
    std::wstring wideName;
    if (WinError e = keyAndName(key, name, handle, wideName); e != err::Success) {
        return e;
    }
    DWORD type = REG_NONE;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExW(handle, wideName.c_str(), nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS) {
        return static_cast<WinError>(status);
    }
    std::vector<BYTE> raw;
    for (int round = 0;; ++round) {
        // One byte more than asked for, so that the buffer is never empty (a null buffer
        // would only ask for the size again).
        raw.assign(static_cast<std::size_t>(size) + 1, 0);
        DWORD got = size + 1;
        status = RegQueryValueExW(handle, wideName.c_str(), nullptr, &type, raw.data(), &got);
        if (status == ERROR_SUCCESS) {
            raw.resize(std::min<std::size_t>(got, raw.size()));
            break;
        }
        if (status != ERROR_MORE_DATA || round + 1 >= kMaxSizingRounds) {
            return static_cast<WinError>(status);
        }
        // The value grew since the size was asked; the call reports the new size.
        size = std::max<DWORD>(got, size * 2);
    }
    value.type = type;
    value.data = dataFromRegistry(type, raw);
    return err::Success;
}

WinError Win32Registry::enumValue(const RegKey& key, std::uint32_t index, RegNamedValue& entry) {
    HKEY handle = keyHandle(key);
    if (handle == nullptr) {
        return err::InvalidHandle;
    }
    std::wstring name;
    std::vector<BYTE> raw;
    for (int round = 0;; ++round) {
        DWORD maxNameLength = 0; // in characters, without the NUL
        DWORD maxDataSize = 0;   // in bytes
        LSTATUS status =
            RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             &maxNameLength, &maxDataSize, nullptr, nullptr);
        if (status != ERROR_SUCCESS) {
            return static_cast<WinError>(status);
        }
        // Grow from the last round too, in case the key's maxima lag behind its values.
        name.assign(std::max<std::size_t>(name.size() * 2, std::size_t{maxNameLength} + 1), L'\0');
        raw.assign(std::max<std::size_t>(raw.size() * 2, std::size_t{maxDataSize} + 1), 0);
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(raw.size());
        DWORD type = REG_NONE;
        status = RegEnumValueW(handle, index, name.data(), &nameLength, nullptr, &type, raw.data(),
                               &dataSize);
        if (status == ERROR_SUCCESS) {
            name.resize(std::min<std::size_t>(nameLength, name.size()));
            raw.resize(std::min<std::size_t>(dataSize, raw.size()));
            entry.name = narrow(name);
            entry.value.type = type;
            entry.value.data = dataFromRegistry(type, raw);
            return err::Success;
        }
        if (status != ERROR_MORE_DATA || round + 1 >= kMaxSizingRounds) {
            return static_cast<WinError>(status);
        }
    }
}

void Win32Registry::closeKey(std::uintptr_t handle) {
    RegCloseKey(reinterpret_cast<HKEY>(handle));
}

WinError Win32Registry::deleteValue(const RegKey& key, const std::string& name) {
    HKEY handle = nullptr;
    std::wstring wideName;
    if (WinError e = keyAndName(key, name, handle, wideName); e != err::Success) {
        return e;
    }
    return static_cast<WinError>(RegDeleteValueW(handle, wideName.c_str()));
}

WinError Win32Registry::deleteKey(RegRoot root, const std::string& path) {
    auto widePath = tryWiden(path);
    if (!widePath) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    return static_cast<WinError>(RegDeleteKeyW(rootKey(root), widePath->c_str()));
}

} // namespace vexo::win32
