// The installation lock: a mutex that only Administrators and SYSTEM can make or open, so
// that no standard user can hold it first and block every deployment, or shut the installer
// out of it. The system reports what it found under the mutex's name; whether that is
// honoured is decided above.
#pragma once

#include "platform/Security.h"
#include "platform/UniqueHandle.h"
#include "platform/Win32Constants.h"

#include <cstdint>
#include <string>

namespace vexo {

class LockService;

// An open installation mutex, released (when held) and closed on destruction, with the
// private namespace it lives in.
struct MutexClose : ClosedByOwner<LockService> {};
using InstallMutex = UniqueHandle<MutexClose>;

// What opening the mutex found.
struct MutexFacts {
    enum class Opened : std::uint8_t {
        Mutex,     // created or opened
        OtherKind, // an object of another kind bears its name
        Denied,    // a mutex that shuts this process out
        Failed,    // `error`
    };
    Opened opened = Opened::Failed;
    WinError error = err::Success;
    std::string name;              // its full name ("Global\VexoSetupInstall"), for the log
    bool privateNamespace = false; // in a namespace only administrators can make
    bool existed = false;          // someone made it before this run
    OwnerFact owner;               // read where it existed outside a private namespace
};

// What waiting for it, without waiting, found.
enum class MutexWait : std::uint8_t { Taken, Abandoned, Busy, Failed };

class LockService {
  public:
    virtual ~LockService() = default;

    // Creates or opens the mutex `name`: in a private namespace bound to the Administrators
    // group where the system has them, else as "Global\name", the Administrators group its
    // owner when `administratorsOwn`, else this account. `mutex` is open when
    // `facts.opened` is Mutex.
    [[nodiscard]] virtual MutexFacts
    openInstallMutex(const std::string& name, bool administratorsOwn, InstallMutex& mutex) = 0;
    // Takes the open mutex without waiting; on Failed `error` says why.
    [[nodiscard]] virtual MutexWait takeMutex(const InstallMutex& mutex, WinError& error) = 0;

  protected:
    virtual WinError closeMutex(std::uintptr_t handle) = 0;

  private:
    friend struct ClosedByOwner<LockService>;
    static WinError closeOwned(LockService& locks, std::uintptr_t handle) {
        return locks.closeMutex(handle);
    }
};

} // namespace vexo
