#include "platform/win32/Win32Platform.h"

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Registry.h"
#include "platform/win32/Win32Resources.h"
#include "platform/win32/Win32Spooler.h"
#include "platform/win32/Win32System.h"
#include "platform/win32/Win32Ui.h"

#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

namespace vexo::win32 {

void restrictDllSearch() {
    // Looked up, so that the program still starts on a system without them (Windows 7
    // without KB2533623); SetDllDirectory alone then keeps the current directory out.
    HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    if (auto setDefaultDllDirectories = lookupFunction<decltype(&::SetDefaultDllDirectories)>(
            kernel32, "SetDefaultDllDirectories");
        setDefaultDllDirectories != nullptr) {
        setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    // An empty text removes the current directory from the search order.
    SetDllDirectoryW(L"");
    // SearchPath (which some system code uses to find DLLs) looks in the current directory
    // last, and never on its own.
    if (auto setSearchPathMode =
            lookupFunction<decltype(&::SetSearchPathMode)>(kernel32, "SetSearchPathMode");
        setSearchPathMode != nullptr) {
        setSearchPathMode(BASE_SEARCH_PATH_ENABLE_SAFE_SEARCHMODE | BASE_SEARCH_PATH_PERMANENT);
    }
}

void initCommonControls() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC =
        ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES | ICC_STANDARD_CLASSES;
    InitCommonControlsEx(&controls);
}

std::vector<std::string> commandLineArguments() {
    std::vector<std::string> args;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (argv == nullptr) {
        return args;
    }
    UniqueLocalMemory owner(static_cast<HLOCAL>(argv));
    for (int i = 1; i < count; ++i) {
        args.push_back(narrow(argv[i]));
    }
    return args;
}

std::string commandLineText() {
    return narrow(GetCommandLineW());
}

struct Win32Machine::Impl {
    Win32Spooler spooler;
    Win32Registry registry;
    Win32System system;
    Win32Ui ui;
    Win32Resources resources;
    Platform platform{spooler, registry, system, ui, resources};
};

Win32Machine::Win32Machine() : impl_(std::make_unique<Impl>()) {}

Win32Machine::~Win32Machine() = default;

Platform& Win32Machine::platform() {
    return impl_->platform;
}

} // namespace vexo::win32
