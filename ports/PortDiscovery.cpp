// Port discovery: sorts the machine's ports into the page's port groups and selects the
// row of the group the automatic choice prefers (USB, then serial, parallel, file).
#include "app/InstallerState.h"
#include "pages/PortSelectPage.h"

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

bool PortSelectPage::findSerialPorts(std::vector<std::string>& ports) {
    ports.clear();
    RegKey key;
    if (platform_.registry.openKey(RegRoot::LocalMachine, kSerialDeviceMap, reg::Read, key) !=
        err::Success) {
        return false;
    }
    for (std::uint32_t index = 0; index < kMaxDeviceMapValues; ++index) {
        RegNamedValue entry;
        WinError e = platform_.registry.enumValue(key, index, entry);
        if (e == err::NoMoreItems) {
            break;
        }
        if (e != err::Success || !startsWith(entry.name, "\\Device\\")) {
            continue;
        }
        // A port name is text; a value of another type, or an empty one, names no port.
        bool text = entry.value.type == reg::TypeSz || entry.value.type == reg::TypeExpandSz;
        std::string name = regText(entry.value.data);
        if (text && !name.empty()) {
            ports.push_back(name + ":");
        }
    }
    return !ports.empty();
}

void PortSelectPage::scanPorts() {
    allPorts.clear();
    usbPorts.clear();
    serialPorts.clear();
    tcpipPorts.clear();
    lptPorts.clear();
    (void)findSerialPorts(serialPorts);

    std::vector<PortInfo2> ports;
    if (platform_.spooler.enumPorts(ports) != err::Success) {
        ports.clear();
    }
    portList.applyStandardStyle();

    int usbCount = 0, comCount = 0, lptCount = 0, fileCount = 0;
    for (std::size_t i = 0; i < ports.size() && i < kMaxListedPorts; ++i) {
        const std::string& name = ports[i].portName;
        comCount += startsWith(name, "COM") ? 1 : 0;
        lptCount += startsWith(name, "LPT") ? 1 : 0;
        fileCount += startsWith(name, "FILE") ? 1 : 0;
        usbCount += startsWith(name, "USB") ? 1 : 0;
        if (startsWith(name, "USB")) {
            usbPorts.push_back(name);
        } else if (isTcpIpDescription(ports[i].description)) {
            tcpipPorts.push_back(name);
        } else if (startsWith(name, "LPT")) {
            lptPorts.push_back(name);
        }
        allPorts.push_back(name);
    }

    int row = usbCount > 0 ? 1 : comCount > 0 ? 0 : lptCount > 0 ? 2 : fileCount > 0 ? 3 : 1;
    // A row the list does not hold (row 3 beside the three kinds of port) changes nothing.
    portList.selectRow(row);
    ui_.sendMessage(window(), installerState().updateDataMessage, 0, 0);
}

} // namespace vexo
