#include "platform/win32/TcpPortData.h"

#include "platform/win32/WideText.h"

#include <cwchar>
#include <iterator>
#include <optional>
#include <string_view>

namespace vexo::win32 {

namespace {

bool put(WCHAR* field, std::size_t size, const std::string& text) {
    std::optional<std::wstring> wide = tryWiden(text);
    if (!wide || wide->size() >= size || wide->find(L'\0') != std::wstring::npos) {
        return false;
    }
    wide->copy(field, wide->size());
    return true;
}

std::string get(const WCHAR* field, std::size_t size) {
    return narrow(std::wstring_view(field, wcsnlen(field, size)));
}

} // namespace

bool toPortData(const TcpPort& port, TcpPortData& data) {
    data = TcpPortData{};
    data.version = 1;
    data.protocol = port.protocol;
    data.size = sizeof(TcpPortData);
    data.portNumber = port.portNumber;
    data.snmpEnabled = port.snmp ? 1 : 0;
    data.snmpDeviceIndex = port.snmpDeviceIndex;
    return put(data.portName, std::size(data.portName), port.name) &&
           put(data.hostAddress, std::size(data.hostAddress), port.host) &&
           put(data.snmpCommunity, std::size(data.snmpCommunity), port.snmpCommunity) &&
           put(data.queue, std::size(data.queue), port.queue);
}

void fromPortData(const TcpPortData& data, TcpPort& port) {
    port.name = get(data.portName, std::size(data.portName));
    port.host = get(data.hostAddress, std::size(data.hostAddress));
    port.protocol = data.protocol;
    port.portNumber = data.portNumber;
    port.queue = get(data.queue, std::size(data.queue));
    port.snmp = data.snmpEnabled != 0;
    port.snmpCommunity = get(data.snmpCommunity, std::size(data.snmpCommunity));
    port.snmpDeviceIndex = data.snmpDeviceIndex;
}

bool toDeletePortData(const std::string& name, TcpDeletePortData& data) {
    data = TcpDeletePortData{};
    data.version = 1;
    return put(data.portName, std::size(data.portName), name);
}

} // namespace vexo::win32
