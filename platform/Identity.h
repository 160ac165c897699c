// Who this process is and who may change what it reads: its account, its token's elevation,
// the domain the computer is joined to, and the owners and access lists of files. Facts
// only; what they mean for the installer is decided above.
#pragma once

#include "platform/Security.h"
#include "platform/Win32Constants.h"

#include <cstdint>
#include <string>

namespace vexo {

// What the process's token says of its elevation.
enum class Elevation : std::uint8_t { Elevated, NotElevated, Unreadable };

// The SIDs of the domain this computer is joined to and of its forest's root domain, and the
// name of the computer's own account there ("VEXO\PC1$"), as the local security policy keeps
// them (no domain controller is asked); empty where the computer is in no domain, and the
// root's where it cannot be told locally (a child domain).
struct DomainFacts {
    std::string domain;
    std::string forestRoot;
    std::string computerAccount;
};

class Identity {
  public:
    virtual ~Identity() = default;

    // The token's elevation (TokenElevation; LocalSystem's is elevated).
    [[nodiscard]] virtual Elevation elevation() = 0;
    // The account the process runs as ("DOMAIN\user"), and whether it is LocalSystem.
    [[nodiscard]] virtual std::string accountName() = 0;
    [[nodiscard]] virtual bool runsAsLocalSystem() = 0;
    // The SID of the account the process runs as ("S-1-5-18"); empty when it cannot be read.
    [[nodiscard]] virtual std::string accountSid() = 0;
    [[nodiscard]] virtual DomainFacts domain() = 0;
    // The owner and access list of the file or folder `path` (GetNamedSecurityInfo; relative
    // paths against the current directory, a network path as any other). `security` is
    // untouched on failure.
    [[nodiscard]] virtual WinError readSecurity(const std::string& path,
                                                ObjectSecurity& security) = 0;
    // The account or group a SID names, "DOMAIN\name" or "name" (LookupAccountSid); empty
    // when it names none that can be found.
    [[nodiscard]] virtual std::string accountNameOf(const std::string& sid) = 0;
};

} // namespace vexo
