#include "install/NetworkPort.h"

#include "platform/Text.h"

#include <vector>

namespace vexo {

namespace {

// What of the port `found` differs from `asked`, for the log ("host, SNMP"); empty when
// nothing does. An SNMP community is never shown.
std::string differences(const TcpPort& asked, const TcpPort& found) {
    // What a setting means depends on the protocol and SNMP: only the same ones compare.
    const bool raw = found.protocol == asked.protocol && asked.protocol != kTcpLpr;
    const bool lpr = found.protocol == asked.protocol && asked.protocol == kTcpLpr;
    const bool snmp = found.snmp && asked.snmp;
    const std::pair<bool, const char*> fields[] = {
        {!equalsIgnoringAsciiCase(found.host, asked.host), "host"},
        {found.protocol != asked.protocol, "protocol"},
        {raw && found.portNumber != asked.portNumber, "port number"},
        {lpr && found.queue != asked.queue, "queue"},
        {found.snmp != asked.snmp, "SNMP"},
        {snmp && found.snmpCommunity != asked.snmpCommunity, "SNMP community"},
        {snmp && found.snmpDeviceIndex != asked.snmpDeviceIndex, "SNMP device index"}};
    std::vector<const char*> names;
    for (const auto& [differs, name] : fields) {
        if (differs) {
            names.push_back(name);
        }
    }
    return joined(names);
}

} // namespace

std::string tcpPortName(const TcpPort& port) {
    if (port.protocol == kTcpLpr) {
        // IP_HOST_9101 is the RAW port 9101's name. A queue of digits alone takes a "+",
        // which no queue, host or port number holds, so its name is no other port's either.
        const bool digits =
            !port.queue.empty() && port.queue.find_first_not_of("0123456789") == std::string::npos;
        return cat({"IP_", port.host, digits ? "_lpr+" : "_", port.queue});
    }
    return port.portNumber == kRawPortNumber
               ? cat({"IP_", port.host})
               : cat({"IP_", port.host, "_", Decimal(port.portNumber)});
}

bool settleTcpPort(Spooler& spooler, const TcpPort& port, StepLog& steps, ChangeLog& changes) {
    std::string step = cat({"Create the Standard TCP/IP port \"", port.name, "\""});
    WinError e = spooler.addTcpPort(port);
    if (e == err::Success) {
        changes.add(Change::of(ChangeKind::PortCreated, port.name));
    }
    const char* outcome = e == err::Success ? ": done" : "";
    if (e == err::AlreadyExists) {
        TcpPort found;
        e = spooler.getTcpPort(port.name, found);
        outcome = ": it exists already with these settings, and is used as it is";
        if (e != err::Success) {
            outcome = ": a port of that name exists already; read its settings";
        } else if (const std::string differ = differences(port, found); !differ.empty()) {
            // Other printers may use it: not this installation's to change.
            steps.failedWithoutCode(
                cat({step, ": a port of that name exists already, with another ", differ,
                     "; other printers may use it, so it was left as it is "
                     "and nothing was installed"}));
            return false;
        }
    }
    step += outcome;
    if (e != err::Success) {
        steps.failed(std::move(step), e);
        return false;
    }
    steps.note(step);
    return true;
}

} // namespace vexo
