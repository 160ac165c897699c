// The installation lock: a mutex that only Administrators and SYSTEM can make or open, in a
// private namespace bound to the Administrators group where the system has one. What its
// name already bore is reported; whether that is honoured is decided above.
#include "platform/win32/Win32System.h"

#include "platform/win32/UniqueHandle.h"
#include "platform/win32/WideText.h"
#include "platform/win32/Win32Account.h"

#include <windows.h>

#include <sddl.h>

#include <cstddef>
#include <memory>
#include <vector>

namespace vexo::win32 {

namespace {

// Administrators and SYSTEM may do everything with the namespace and the mutex; nobody
// else anything.
constexpr const wchar_t* kAdministratorsOnly = L"D:P(A;;GA;;;BA)(A;;GA;;;SY)";

// The owner the lock is made with, named rather than left to the system (Wine would give
// it none, or the account's primary group): the Administrators group, or this account.
std::wstring ownerPart(bool administrators) {
    if (administrators) {
        return L"O:BA";
    }
    std::vector<std::byte> buffer;
    const std::string user = sidText(tokenUser(buffer));
    return user.empty() ? L"" : L"O:" + widen(user);
}

// The private-namespace functions, looked up: Windows Vista and later have them.
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

struct DeleteBoundaryCall {
    decltype(&::DeleteBoundaryDescriptor) remove = nullptr;
    void operator()(HANDLE h) const { remove(h); }
};
using UniqueBoundary = UniqueHandle<KeptErrorTraits<HANDLE, DeleteBoundaryCall>>;

struct ClosePrivateNamespaceCall {
    decltype(&::ClosePrivateNamespace) closeSpace = nullptr;
    void operator()(HANDLE h) const { closeSpace(h, 0); }
};
using UniqueNamespace = UniqueHandle<KeptErrorTraits<HANDLE, ClosePrivateNamespaceCall>>;

// Creates or opens the private namespace `name`, bound to the Administrators group: only a
// process in that group can make it, so whatever it holds is an administrator's. Empty
// where the system has no private namespaces (Wine 8 has none, and its boundary descriptor
// is a null one that sets no error) or this process may not make one.
UniqueNamespace openPrivateNamespace(const NamespaceFunctions& f, const std::wstring& name,
                                     SECURITY_ATTRIBUTES& security) {
    if (!f.present()) {
        return UniqueNamespace();
    }
    HANDLE raw = f.createBoundary(name.c_str(), 0);
    if (raw == nullptr) {
        return UniqueNamespace();
    }
    BYTE sid[SECURITY_MAX_SID_SIZE] = {};
    DWORD sidSize = sizeof sid;
    // AddSIDToBoundaryDescriptor may move the descriptor: it is owned from its final place.
    const bool bound = CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize) &&
                       f.addSid(&raw, sid);
    const UniqueBoundary boundary(raw, {{f.deleteBoundary}});
    if (!bound) {
        return UniqueNamespace();
    }
    HANDLE space = f.create(&security, boundary.get(), name.c_str());
    if (space == nullptr && GetLastError() == ERROR_ALREADY_EXISTS) {
        space = f.open(boundary.get(), name.c_str());
    }
    return UniqueNamespace(space, {{f.close}});
}

// An open installation mutex and the namespace it lives in, closed after it; released
// first when this process holds it.
struct OpenedMutex {
    UniqueNamespace space;
    UniqueKernelHandle mutex;
    bool held = false;

    OpenedMutex(UniqueNamespace s, UniqueKernelHandle m)
        : space(std::move(s)), mutex(std::move(m)) {}
    OpenedMutex(const OpenedMutex&) = delete;
    OpenedMutex& operator=(const OpenedMutex&) = delete;
    ~OpenedMutex() {
        if (held) {
            const KeptLastError kept;
            ReleaseMutex(mutex.get());
        }
        (void)mutex.reset(); // before the namespace that holds it
    }
};

} // namespace

MutexFacts Win32System::openInstallMutex(const std::string& name, bool administratorsOwn,
                                         InstallMutex& mutex) {
    MutexFacts facts;
    facts.name = name;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::wstring sddl = ownerPart(administratorsOwn) + kAdministratorsOnly;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl.c_str(), SDDL_REVISION_1,
                                                              &descriptor, nullptr)) {
        facts.error = lastErrorOr();
        return facts;
    }
    UniqueLocalMemory heldDescriptor(descriptor);
    SECURITY_ATTRIBUTES security{sizeof security, descriptor, FALSE};

    const std::wstring wide = widen(name);
    UniqueNamespace space = openPrivateNamespace(NamespaceFunctions(), wide, security);
    facts.privateNamespace = space.isOpen();
    const std::wstring full = space.isOpen() ? wide + L"\\" + wide : L"Global\\" + wide;
    facts.name = narrow(full);

    SetLastError(ERROR_SUCCESS);
    UniqueKernelHandle opened(CreateMutexW(&security, FALSE, full.c_str()));
    const DWORD created = GetLastError();
    if (!opened.isOpen()) {
        // What bears the name and cannot be opened as a mutex: another kind of object, or a
        // mutex whose access list shuts this process out.
        facts.existed = created == ERROR_INVALID_HANDLE || created == ERROR_ACCESS_DENIED;
        facts.opened = created == ERROR_INVALID_HANDLE  ? MutexFacts::Opened::OtherKind
                       : created == ERROR_ACCESS_DENIED ? MutexFacts::Opened::Denied
                                                        : MutexFacts::Opened::Failed;
        facts.error = created != 0 ? created : static_cast<WinError>(ERROR_GEN_FAILURE);
        return facts;
    }
    facts.opened = MutexFacts::Opened::Mutex;
    facts.existed = created == ERROR_ALREADY_EXISTS;
    if (facts.existed && !facts.privateNamespace) {
        facts.owner = ownerOf(opened.get(), SE_KERNEL_OBJECT);
    }
    auto held = std::make_unique<OpenedMutex>(std::move(space), std::move(opened));
    mutex = InstallMutex(reinterpret_cast<std::uintptr_t>(held.release()), {{this}});
    return facts;
}

MutexWait Win32System::takeMutex(const InstallMutex& mutex, WinError& error) {
    auto* opened = reinterpret_cast<OpenedMutex*>(mutex.get());
    switch (WaitForSingleObject(opened->mutex.get(), 0)) {
    case WAIT_OBJECT_0:
        opened->held = true;
        return MutexWait::Taken;
    case WAIT_ABANDONED:
        opened->held = true;
        return MutexWait::Abandoned;
    case WAIT_TIMEOUT:
        return MutexWait::Busy;
    default:
        error = lastErrorOr();
        return MutexWait::Failed;
    }
}

WinError Win32System::closeMutex(std::uintptr_t handle) {
    delete reinterpret_cast<OpenedMutex*>(handle);
    return err::Success;
}

} // namespace vexo::win32
