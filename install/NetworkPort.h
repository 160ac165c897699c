// The Standard TCP/IP port of a printer on the network: its name, and its creation through the
// port monitor, or the reuse of a port of that name whose settings are the ones asked for.
#pragma once

#include "install/ChangeRecord.h"
#include "install/InstallReport.h"
#include "platform/Spooler.h"

#include <cstdint>
#include <string>

namespace vexo {

inline constexpr std::uint32_t kRawPortNumber = 9100;
inline constexpr std::uint32_t kLprPortNumber = 515;

// IP_HOST for RAW on port 9100, IP_HOST_N for RAW on port N, IP_HOST_QUEUE for LPR, and
// IP_HOST_lpr+QUEUE for LPR to a queue of digits alone: one host's several ports do not
// collide.
[[nodiscard]] std::string tcpPortName(const TcpPort& port);

// Has the monitor create `port`. A port of its name that exists with the same settings is used
// as it is; one with other settings may serve other printers and is not this installation's to
// change. False, the step recorded as failed, when the printer has no port to go on. A port
// it created goes into `changes`.
bool settleTcpPort(Spooler& spooler, const TcpPort& port, StepLog& steps, ChangeLog& changes);

} // namespace vexo
