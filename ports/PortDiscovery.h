// Port discovery for the automatic port choice: sorts the spooler's ports into groups by
// kind and names the row of the port page's list that the choice prefers (USB, then
// serial, parallel, file). Plain data in and out; the port page applies the answer.
#pragma once

#include "platform/Registry.h"
#include "platform/Spooler.h"

#include <string>
#include <vector>

namespace vexo {

// The most ports discovery and the port list look at.
inline constexpr int kMaxListedPorts = 256;

// The port page's list as it opens: a row for each kind of port, the "USB port" row
// selected. The automatic choice reads a list's rows by these indices (see portGroupOfRow),
// whatever the list shows.
inline constexpr int kSerialPortRow = 0;
inline constexpr int kUsbPortRow = 1;
inline constexpr int kTcpIpPortRow = 2;
inline constexpr int kPortKindRows = 3;

struct PortGroups {
    std::vector<std::string> all, usb, serial, lpt, tcpip;
    // The list row discovery prefers: 0 serial, 1 USB, 2 parallel, 3 file (a row the
    // three-row list lacks), 1 when there is no port at all.
    int preferredRow = 1;
    // Why the spooler's ports could not be listed (they are then no part of the groups).
    WinError portsError = err::Success;
};

// The serial ports of the device map (HARDWARE\DEVICEMAP\SERIALCOMM) as port names
// ("COM1:"), in the map's order; empty when the map cannot be read or names none.
std::vector<std::string> readSerialDeviceMap(Registry& registry);

// Groups the first kMaxListedPorts of `ports`; `serialPorts` becomes the serial group.
PortGroups groupPorts(const std::vector<PortInfo2>& ports, std::vector<std::string> serialPorts);

// Discovery on the machine: the serial device map, then the spooler's ports (none when
// the enumeration fails), grouped.
PortGroups discoverPorts(Registry& registry, Spooler& spooler);

// The group of a row of the port list, by index alone: 0 serial, 1 USB, 2 parallel (the
// row labelled "TCP/IP port" among the kinds of port), 3 TCP/IP; null for any other row.
const std::vector<std::string>* portGroupOfRow(const PortGroups& groups, int row);

// The row whose port group the automatic choice takes, for a list of `listRows` rows that
// keeps `keptRow` selected when it does not hold discovery's preferred row (row 3 on the
// list of kinds of port).
[[nodiscard]] int automaticRow(const PortGroups& groups, int listRows, int keptRow);

} // namespace vexo
