#include "ports/PortDiscovery.h"

#include <string_view>

namespace vexo {

namespace {

constexpr const char* kSerialDeviceMap = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
// A device map holds a handful of values; the bound only stops a registry that keeps
// failing from holding the installer in the loop.
constexpr std::uint32_t kMaxDeviceMapValues = 4096;

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool isTcpIpDescription(const std::string& description) {
    return description == "Standard TCP/IP Port" || description == "标准 TCP/IP 端口";
}

} // namespace

std::vector<std::string> readSerialDeviceMap(Registry& registry) {
    std::vector<std::string> ports;
    RegKey key;
    if (registry.openKey(RegRoot::LocalMachine, kSerialDeviceMap, reg::Read, key) != err::Success) {
        return ports;
    }
    for (std::uint32_t index = 0; index < kMaxDeviceMapValues; ++index) {
        RegNamedValue entry;
        WinError e = registry.enumValue(key, index, entry);
        if (e == err::NoMoreItems) {
            break;
        }
        if (e != err::Success || !startsWith(entry.name, "\\Device\\")) {
            continue;
        }
        // A port name is text; a value of another type, or an empty one, names no port.
        if (auto name = entry.value.text(); name && !name->empty()) {
            ports.push_back(*name + ":");
        }
    }
    return ports;
}

PortGroups groupPorts(const std::vector<PortInfo2>& ports, std::vector<std::string> serialPorts) {
    PortGroups groups;
    groups.serial = std::move(serialPorts);
    int usbCount = 0, comCount = 0, lptCount = 0, fileCount = 0;
    for (std::size_t i = 0; i < ports.size() && i < kMaxListedPorts; ++i) {
        const std::string& name = ports[i].portName;
        comCount += startsWith(name, "COM") ? 1 : 0;
        lptCount += startsWith(name, "LPT") ? 1 : 0;
        fileCount += startsWith(name, "FILE") ? 1 : 0;
        usbCount += startsWith(name, "USB") ? 1 : 0;
        if (startsWith(name, "USB")) {
            groups.usb.push_back(name);
        } else if (isTcpIpDescription(ports[i].description)) {
            groups.tcpip.push_back(name);
        } else if (startsWith(name, "LPT")) {
            groups.lpt.push_back(name);
        }
        groups.all.push_back(name);
    }
    groups.preferredRow = usbCount > 0    ? 1
                          : comCount > 0  ? 0
                          : lptCount > 0  ? 2
                          : fileCount > 0 ? 3
                                          : 1;
    return groups;
}

PortGroups discoverPorts(Registry& registry, Spooler& spooler) {
    std::vector<std::string> serial = readSerialDeviceMap(registry);
    std::vector<PortInfo2> ports;
    WinError e = spooler.enumPorts(ports);
    if (e != err::Success) {
        ports.clear();
    }
    PortGroups groups = groupPorts(ports, std::move(serial));
    groups.portsError = e;
    return groups;
}

const std::vector<std::string>* portGroupOfRow(const PortGroups& groups, int row) {
    switch (row) {
    case 0:
        return &groups.serial;
    case 1:
        return &groups.usb;
    case 2:
        return &groups.lpt;
    case 3:
        return &groups.tcpip;
    default:
        return nullptr;
    }
}

int automaticRow(const PortGroups& groups, int listRows, int keptRow) {
    const int row = groups.preferredRow;
    return row >= 0 && row < listRows ? row : keptRow;
}

} // namespace vexo
