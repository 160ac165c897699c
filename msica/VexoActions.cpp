// The MSI's custom actions (see CMakeLists.txt beside this file). Each returns
// ERROR_SUCCESS or ERROR_INSTALL_FAILURE and never lets an exception reach Windows Installer.
#include "cli/MsiRun.h"
#include "cli/Switches.h"
#include "cli/UnattendedRun.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Platform.h"
#include "platform/win32/Win32System.h"

#include <windows.h>

#include <msi.h>
#include <msiquery.h>
#include <sddl.h>

#include <exception>

namespace vexo::win32 {
namespace {

constexpr const wchar_t* kKeptKeyPrefix = L"SOFTWARE\\VEXO\\Printer Setup\\";
// The locked subkey of the model's key: the SNMP community, for Administrators and SYSTEM.
constexpr const wchar_t* kLockedSubkey = L"\\Locked";
constexpr const wchar_t* kLockedSddl = L"D:P(A;OICI;KA;;;BA)(A;OICI;KA;;;SY)";

std::string property(MSIHANDLE install, const char* name) {
    const std::wstring wide = widen(name);
    DWORD size = 0;
    wchar_t none[1] = {};
    if (MsiGetPropertyW(install, wide.c_str(), none, &size) != ERROR_MORE_DATA) {
        return "";
    }
    std::wstring value(size + 1, L'\0');
    size = static_cast<DWORD>(value.size());
    if (MsiGetPropertyW(install, wide.c_str(), value.data(), &size) != ERROR_SUCCESS) {
        return "";
    }
    value.resize(size);
    return narrow(value);
}

void setProperty(MSIHANDLE install, const char* name, const std::string& value) {
    MsiSetPropertyW(install, widen(name).c_str(), widen(value).c_str());
}

// A line in msiexec's log; an error also goes to the user (and fails a quiet install's UI).
void message(MSIHANDLE install, const std::string& text, bool error = false) {
    PMSIHANDLE record = MsiCreateRecord(1);
    MsiRecordSetStringW(record, 0, widen(text).c_str());
    MsiProcessMessage(install, error ? INSTALLMESSAGE_ERROR : INSTALLMESSAGE_INFO, record);
}

// Sixteen random hexadecimal digits, or empty.
std::string randomDigits() {
    return Win32System().randomName();
}

std::wstring keptKey(const std::string& model) {
    return kKeptKeyPrefix + widen(model);
}

// The kept community, from the locked key; empty when there is none.
std::string keptCommunity(const std::string& model) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, (keptKey(model) + kLockedSubkey).c_str(), 0,
                      KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        return "";
    }
    wchar_t value[64] = {};
    DWORD size = sizeof value - sizeof(wchar_t);
    DWORD type = 0;
    const LSTATUS s =
        RegQueryValueExW(key, L"SNMP", nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return s == ERROR_SUCCESS && type == REG_SZ ? narrow(value) : "";
}

// Writes the values of a run that succeeded as one group: every kept value goes, the new ones
// come; the community only into the locked key.
bool keep(const std::string& model, const std::vector<std::string>& pairs) {
    const std::wstring path = keptKey(model);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (path + kLockedSubkey).c_str());
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    bool ok = true;
    for (const Switch& s : kSwitches) {
        if (s.msi.group != MsiGroup::None) {
            RegDeleteValueW(key, widen(s.msi.name).c_str());
        }
    }
    for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) {
        const std::wstring value = widen(pairs[i + 1]);
        const auto* data = reinterpret_cast<const BYTE*>(value.c_str());
        const auto size = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
        if (pairs[i] != "SNMP") {
            ok = RegSetValueExW(key, widen(pairs[i]).c_str(), 0, REG_SZ, data, size) ==
                     ERROR_SUCCESS &&
                 ok;
            continue;
        }
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kLockedSddl, SDDL_REVISION_1,
                                                                  &descriptor, nullptr)) {
            ok = false;
            continue;
        }
        SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
        HKEY locked = nullptr;
        ok = RegCreateKeyExW(key, kLockedSubkey + 1, 0, nullptr, 0, KEY_ALL_ACCESS, &attributes,
                             &locked, nullptr) == ERROR_SUCCESS &&
             RegSetValueExW(locked, L"SNMP", 0, REG_SZ, data, size) == ERROR_SUCCESS && ok;
        if (locked != nullptr) {
            RegCloseKey(locked);
        }
        LocalFree(descriptor);
    }
    RegCloseKey(key);
    return ok;
}

void forget(const std::string& model) {
    const std::wstring path = keptKey(model);
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, (path + kLockedSubkey).c_str());
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, path.c_str());
}

// Starts the program and waits for it: its exit code, or nullopt when it could not start.
std::optional<DWORD> runProgram(MSIHANDLE install, const std::string& program,
                                const std::vector<std::string>& args) {
    std::wstring line = widen(commandLineOf(program, args));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(widen(program).c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &process)) {
        message(install, "VexoSetup: cannot start " + program + " (error " +
                             std::to_string(GetLastError()) + ")");
        return std::nullopt;
    }
    UniqueKernelHandle thread(process.hThread), owner(process.hProcess);
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1603;
    GetExitCodeProcess(process.hProcess, &code);
    return code;
}

// The log a run writes, as its arguments name it.
std::string logOf(const std::vector<std::string>& args) {
    for (const std::string& a : args) {
        if (a.rfind("/log=", 0) == 0) {
            return a.substr(5);
        }
    }
    return "";
}

// Runs the program and says in msiexec's log how it ended and where its log is; true when it
// ended 0.
bool ranWell(MSIHANDLE install, const std::string& program, const std::vector<std::string>& args) {
    const std::optional<DWORD> code = runProgram(install, program, args);
    message(install, "VexoSetup.exe ended with exit code " +
                         (code ? std::to_string(*code) : std::string("none")) + "; its log is " +
                         logOf(args));
    return code == 0u;
}

template <class Action> UINT guarded(MSIHANDLE install, Action action) {
    try {
        return action();
    } catch (const std::exception& e) {
        message(install, std::string("VexoSetup: the action stopped on an error: ") + e.what());
    } catch (...) {
        message(install, "VexoSetup: the action stopped on an error");
    }
    return ERROR_INSTALL_FAILURE;
}

// The fields of the running deferred action's CustomActionData.
std::vector<std::string> actionData(MSIHANDLE install) {
    return splitFields(property(install, "CustomActionData")).value_or(std::vector<std::string>());
}

// The rollback or the commit of the installation's record, run by the program's own code in
// this process: the installed program may be gone already.
UINT recordAction(MSIHANDLE install, const char* which) {
    const std::vector<std::string> f = actionData(install);
    if (f.size() != 2) {
        message(install, "VexoSetup: no change record was handed to the action");
        return ERROR_INSTALL_FAILURE;
    }
    const std::vector<std::string> args = {"/quiet", std::string("/") + which, f[0], "/token",
                                           f[1]};
    Win32Machine machine;
    const int code = runUnattended(machine.platform(), parseCommandLine(args),
                                   commandLineOf("VexoActions.dll", args));
    message(install, std::string("VexoSetup: the ") + which + " of \"" + f[0] +
                         "\" ended with exit code " + std::to_string(code) +
                         "; its log is VexoSetup-*.log in the system's temporary folder");
    return code == 0 ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}

} // namespace
} // namespace vexo::win32

using namespace vexo;
using namespace vexo::win32;

// Immediate: the properties into the deferred actions' data, refused before anything changes.
extern "C" __declspec(dllexport) UINT __stdcall VexoPrepare(MSIHANDLE install) {
    return guarded(install, [&]() -> UINT {
        const std::string model = property(install, "VexoModel");
        std::string folder = property(install, "INSTALLDIR");
        const std::string program = folder + "VexoSetup.exe";
        std::string log = property(install, "LOG");
        if (log.empty()) {
            wchar_t windows[MAX_PATH] = {};
            GetWindowsDirectoryW(windows, MAX_PATH);
            log =
                narrow(windows) + "\\Temp\\VexoSetup-MSI-" + model + "-" + randomDigits() + ".log";
        }
        if (property(install, "REMOVE") == "ALL") {
            std::vector<std::string> args = {"/quiet", "/uninstall", "/model", model};
            if (const std::string name = property(install, "VexoSavedNAME"); !name.empty()) {
                args.push_back("/name=" + name);
            }
            args.push_back("/log=" + log);
            args.insert(args.begin(), {program, model});
            setProperty(install, "VexoRemove", joinFields(args));
            return ERROR_SUCCESS;
        }
        MsiProperties p;
        p.model = model;
        for (const Switch& s : kSwitches) {
            if (s.msi.group != MsiGroup::None) {
                p.given[s.msi.name] = property(install, s.msi.name);
                p.kept[s.msi.name] =
                    property(install, (std::string("VexoSaved") + s.msi.name).c_str());
            }
        }
        p.repair = !property(install, "REINSTALL").empty();
        p.log = log;
        p.record = folder + "VexoSetup.record";
        p.token = randomDigits() + randomDigits();
        const MsiInstall run = msiInstall(p);
        if (!run.error.empty()) {
            message(install,
                    "VexoSetup refuses the properties: " + run.error + ". Nothing was changed.",
                    true);
            return ERROR_INSTALL_FAILURE;
        }
        std::vector<std::string> data = {program, model, run.snmpFromKeptKey ? "1" : "",
                                         std::to_string(run.args.size())};
        data.insert(data.end(), run.args.begin(), run.args.end());
        for (const auto& [name, value] : run.keep) {
            data.insert(data.end(), {name, value});
        }
        setProperty(install, "VexoInstall", joinFields(data));
        setProperty(install, "VexoRollback", joinFields({p.record, p.token}));
        setProperty(install, "VexoCommit", joinFields({p.record, p.token}));
        return ERROR_SUCCESS;
    });
}

// Deferred, as SYSTEM: the program's installation; the values it ran with are kept when it
// ends 0.
extern "C" __declspec(dllexport) UINT __stdcall VexoInstall(MSIHANDLE install) {
    return guarded(install, [&]() -> UINT {
        const std::vector<std::string> f = actionData(install);
        // The number of the program's arguments, which follow it; the kept pairs come last.
        const std::optional<std::uint32_t> given =
            f.size() >= 4 ? decimalOf(f[3], static_cast<std::uint32_t>(f.size() - 4))
                          : std::nullopt;
        if (!given) {
            message(install, "VexoSetup: the installation's data are damaged");
            return ERROR_INSTALL_FAILURE;
        }
        const std::size_t count = *given;
        std::vector<std::string> args(f.begin() + 4, f.begin() + 4 + static_cast<long>(count));
        std::vector<std::string> keptPairs(f.begin() + 4 + static_cast<long>(count), f.end());
        // A kept connection comes back with its community, which only this action may read.
        if (f[2] == "1") {
            if (const std::string community = keptCommunity(f[1]); !community.empty()) {
                args.push_back("/snmp=" + community);
                keptPairs.insert(keptPairs.end(), {"SNMP", community});
            }
        }
        if (!ranWell(install, f[0], args)) {
            return ERROR_INSTALL_FAILURE;
        }
        if (!keep(f[1], keptPairs)) {
            message(install, "VexoSetup: the values of this installation could not all be kept");
        }
        return ERROR_SUCCESS;
    });
}

// Deferred, as SYSTEM: the program's removal; the kept values go with the product.
extern "C" __declspec(dllexport) UINT __stdcall VexoRemove(MSIHANDLE install) {
    return guarded(install, [&]() -> UINT {
        const std::vector<std::string> f = actionData(install);
        if (f.size() < 3) {
            message(install, "VexoSetup: the removal's data are damaged");
            return ERROR_INSTALL_FAILURE;
        }
        const std::vector<std::string> args(f.begin() + 2, f.end());
        if (!ranWell(install, f[0], args)) {
            return ERROR_INSTALL_FAILURE;
        }
        forget(f[1]);
        return ERROR_SUCCESS;
    });
}

extern "C" __declspec(dllexport) UINT __stdcall VexoRollback(MSIHANDLE install) {
    return guarded(install, [&] { return recordAction(install, "rollback"); });
}

extern "C" __declspec(dllexport) UINT __stdcall VexoCommit(MSIHANDLE install) {
    return guarded(install, [&] { return recordAction(install, "commit"); });
}
