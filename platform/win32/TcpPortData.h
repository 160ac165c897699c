// The Standard TCP/IP Port monitor's records, under names of our own: Debian's MinGW has no
// tcpxcv.h. Their layouts are the monitor's and the same for 32 and 64 bits (texts, DWORDs and
// bytes only); the assertions pin them.
#pragma once

#include "platform/Spooler.h"

#include <windows.h>

#include <cstddef>

namespace vexo::win32 {

// PORT_DATA_1: what "AddPort" is given and "GetConfigInfo" answers.
struct TcpPortData {
    WCHAR portName[64];
    DWORD version;
    DWORD protocol;
    DWORD size;
    DWORD reserved;
    WCHAR hostAddress[49];
    WCHAR snmpCommunity[33];
    DWORD doubleSpool;
    WCHAR queue[33];
    WCHAR ipAddress[16];
    BYTE reservedBytes[540];
    DWORD portNumber;
    DWORD snmpEnabled;
    DWORD snmpDeviceIndex;
};
static_assert(sizeof(TcpPortData) == 964);
static_assert(offsetof(TcpPortData, version) == 128);
static_assert(offsetof(TcpPortData, hostAddress) == 144);
static_assert(offsetof(TcpPortData, snmpCommunity) == 242);
static_assert(offsetof(TcpPortData, doubleSpool) == 308);
static_assert(offsetof(TcpPortData, queue) == 312);
static_assert(offsetof(TcpPortData, portNumber) == 952);
static_assert(offsetof(TcpPortData, snmpDeviceIndex) == 960);

// CONFIG_INFO_DATA_1: what "GetConfigInfo" is given.
struct TcpConfigRequest {
    BYTE reserved[128];
    DWORD version;
};
static_assert(sizeof(TcpConfigRequest) == 132);

// DELETE_PORT_DATA_1: what "DeletePort" is given.
struct TcpDeletePortData {
    WCHAR portName[64];
    BYTE reserved[98];
    DWORD version;
    DWORD reservedWord;
};
static_assert(sizeof(TcpDeletePortData) == 236);
static_assert(offsetof(TcpDeletePortData, version) == 228);

// `port` as the monitor takes it (version 1); false when a text is not valid UTF-8 or does
// not fit its field with its NUL.
[[nodiscard]] bool toPortData(const TcpPort& port, TcpPortData& data);
void fromPortData(const TcpPortData& data, TcpPort& port);
// The port `name` to delete (version 1); false as toPortData.
[[nodiscard]] bool toDeletePortData(const std::string& name, TcpDeletePortData& data);

} // namespace vexo::win32
