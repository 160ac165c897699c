#include "platform/win32/Win32Resources.h"

namespace vexo::win32 {

Win32Resources::Win32Resources(HMODULE module)
    : module_(module != nullptr ? module : GetModuleHandleW(nullptr)) {}

std::optional<std::span<const std::uint8_t>> Win32Resources::find(std::uint16_t type,
                                                                  std::uint16_t id) const {
    HRSRC info = FindResourceW(module_, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
    if (info == nullptr) {
        return std::nullopt;
    }
    HGLOBAL loaded = LoadResource(module_, info);
    if (loaded == nullptr) {
        return std::nullopt;
    }
    const void* data = LockResource(loaded);
    DWORD size = SizeofResource(module_, info);
    if (data == nullptr) {
        return size == 0 ? std::optional(std::span<const std::uint8_t>()) : std::nullopt;
    }
    // The mapped image stays for the life of the module; nothing is to be freed.
    return std::span<const std::uint8_t>(static_cast<const std::uint8_t*>(data), size);
}

} // namespace vexo::win32
