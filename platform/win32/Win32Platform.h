// The real machine: the Win32 implementations of the platform interfaces. This header
// includes no Windows headers, so the entry point in app/ can use it.
#pragma once

#include "platform/Platform.h"

#include <memory>
#include <string>
#include <vector>

namespace vexo::win32 {

// Restricts the DLL search of this process to System32 (SetDefaultDllDirectories with
// LOAD_LIBRARY_SEARCH_SYSTEM32, and SetDllDirectory("") to drop the current directory).
// Called first thing in the entry point, before anything can load a library.
void restrictDllSearch();

// Initialises the common controls (version 6 through the manifest).
void initCommonControls();

// The process's arguments without the program's name (CommandLineToArgvW over
// GetCommandLineW), UTF-8; and the whole command line.
std::vector<std::string> commandLineArguments();
std::string commandLineText();

// Owns the Win32 implementations and hands them out as a Platform.
class Win32Machine {
  public:
    Win32Machine();
    ~Win32Machine();
    Win32Machine(const Win32Machine&) = delete;
    Win32Machine& operator=(const Win32Machine&) = delete;
    Platform& platform();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace vexo::win32
