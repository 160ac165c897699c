// The installation lock: a mutex that only Administrators and SYSTEM can make or open, so
// that no standard user can hold it first and block every deployment, or shut the installer
// out of it.
#include "platform/win32/Win32System.h"

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Account.h"

#include <windows.h>

#include <sddl.h>

#include <cstddef>
#include <vector>

namespace vexo::win32 {

namespace {

// Administrators and SYSTEM may do everything with the namespace and the mutex; nobody
// else anything.
constexpr const wchar_t* kAdministratorsOnly = L"D:P(A;;GA;;;BA)(A;;GA;;;SY)";

// The owner the lock is made with, named rather than left to the system (Wine would give
// it none, or the account's primary group): the Administrators group when this process may
// name it (elevated, or LocalSystem), else this account.
std::wstring ownerPart() {
    if (tokenElevated()) {
        return L"O:BA";
    }
    std::vector<std::byte> buffer;
    const std::string user = sidText(tokenUser(buffer));
    return user.empty() ? L"" : L"O:" + widen(user);
}

struct NamespaceFunctions {
    decltype(&::CreateBoundaryDescriptorW) createBoundary;
    decltype(&::AddSIDToBoundaryDescriptor) addSid;
    decltype(&::DeleteBoundaryDescriptor) deleteBoundary;
    decltype(&::CreatePrivateNamespaceW) create;
    decltype(&::OpenPrivateNamespaceW) open;
    decltype(&::ClosePrivateNamespace) close;

    NamespaceFunctions() {
        HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
        createBoundary =
            lookupFunction<decltype(createBoundary)>(kernel, "CreateBoundaryDescriptorW");
        addSid = lookupFunction<decltype(addSid)>(kernel, "AddSIDToBoundaryDescriptor");
        deleteBoundary =
            lookupFunction<decltype(deleteBoundary)>(kernel, "DeleteBoundaryDescriptor");
        create = lookupFunction<decltype(create)>(kernel, "CreatePrivateNamespaceW");
        open = lookupFunction<decltype(open)>(kernel, "OpenPrivateNamespaceW");
        close = lookupFunction<decltype(close)>(kernel, "ClosePrivateNamespace");
    }
    [[nodiscard]] bool present() const {
        return createBoundary && addSid && deleteBoundary && create && open && close;
    }
};

// Creates or opens the private namespace `name`, bound to the Administrators group: only a
// process in that group can make it, so whatever it holds is an administrator's. Null
// where the system has no private namespaces (Wine 8 has none, and its boundary descriptor
// is a null one that sets no error) or this process may not make one.
HANDLE openPrivateNamespace(const NamespaceFunctions& f, const std::wstring& name,
                            SECURITY_ATTRIBUTES& security) {
    if (!f.present()) {
        return nullptr;
    }
    HANDLE boundary = f.createBoundary(name.c_str(), 0);
    if (boundary == nullptr) {
        return nullptr;
    }
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD sidSize = sizeof sid;
    HANDLE space = nullptr;
    if (CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize) &&
        f.addSid(&boundary, sid)) {
        space = f.create(&security, boundary, name.c_str());
        if (space == nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
            space = f.open(boundary, name.c_str());
        }
    }
    f.deleteBoundary(boundary);
    return space;
}

} // namespace

MutexTake Win32System::takeInstallMutex(const std::string& name, SystemHandle& lock) {
    MutexTake take;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring sddl = ownerPart() + kAdministratorsOnly;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        take.error = lastErrorOr();
        take.name = name;
        return take;
    }
    UniqueLocalMemory heldDescriptor(descriptor);
    SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};

    const std::wstring wide = widen(name);
    const NamespaceFunctions functions;
    HANDLE space = openPrivateNamespace(functions, wide, security);
    auto closeSpace = [&] {
        if (space != nullptr) {
            functions.close(space, 0);
        }
    };
    const std::wstring full = space != nullptr ? wide + L"\\" + wide : L"Global\\" + wide;
    take.name = narrow(full);

    SetLastError(ERROR_SUCCESS);
    HANDLE raw = CreateMutexW(&security, FALSE, full.c_str());
    const DWORD created = GetLastError();
    if (raw == nullptr) {
        closeSpace();
        // Anyone may make an object in Global\: what bears the name there and cannot be
        // opened as a mutex is someone else's, and does not stop the run.
        if (created == ERROR_INVALID_HANDLE) {
            take.result = MutexTake::Result::NotHonoured;
            take.why = "an object of another kind bears its name";
        } else if (created == ERROR_ACCESS_DENIED) {
            take.result = MutexTake::Result::NotHonoured;
            take.why = "it shuts this process out";
        } else {
            // CreateMutex's own error: closing the namespace above may have set another.
            take.error = created != 0 ? created : static_cast<WinError>(ERROR_GEN_FAILURE);
        }
        return take;
    }
    UniqueKernelHandle mutex(raw);
    if (space == nullptr && created == ERROR_ALREADY_EXISTS) {
        take.why = untrustedOwner(mutex.get(), SE_KERNEL_OBJECT);
        if (!take.why.empty()) {
            take.result = MutexTake::Result::NotHonoured;
            return take;
        }
    }
    switch (WaitForSingleObject(mutex.get(), 0)) {
    case WAIT_OBJECT_0:
        take.result = MutexTake::Result::Taken;
        break;
    case WAIT_ABANDONED:
        take.result = MutexTake::Result::Abandoned;
        break;
    case WAIT_TIMEOUT:
        take.result = MutexTake::Result::Busy;
        closeSpace();
        return take;
    default:
        take.error = lastErrorOr();
        closeSpace();
        return take;
    }
    mutexes_[toOwned(mutex.get())] = toOwned(space);
    lock = SystemHandle(toOwned(mutex.release()), ClosedByOwner<System>{this});
    return take;
}

} // namespace vexo::win32
