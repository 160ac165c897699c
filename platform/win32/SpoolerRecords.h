// winspool's records both ways, for the spooler's Win32 implementation: the wide records an
// enumeration fills, converted into the interface's, and the wide texts a call is given,
// kept alive until it returns.
#pragma once

#include "platform/Spooler.h"
#include "platform/TwoCallEnumeration.h"
#include "platform/win32/UniqueHandle.h"

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

namespace vexo::win32 {

// One spooler enumeration: `fn(data, size, needed, count)` through the shared two-call
// enumeration, then each returned record converted by `convert` into `out` (left as it
// was on failure). The records are copied out rather than cast in place; their texts
// point into the buffer.
template <class Record, class Fn, class Convert, class Out>
WinError enumerateRecords(Fn fn, Convert convert, std::vector<Out>& out) {
    std::vector<std::byte> buffer;
    std::uint32_t returned = 0;
    WinError e = enumerateTwoCalls(
        [&](std::byte* data, std::uint32_t size, std::uint32_t* needed, std::uint32_t* got) {
            DWORD n = 0, c = 0;
            BOOL ok = fn(reinterpret_cast<LPBYTE>(data), static_cast<DWORD>(size), &n, &c);
            *needed = static_cast<std::uint32_t>(n);
            *got = static_cast<std::uint32_t>(c);
            return ok ? err::Success : lastErrorOr();
        },
        buffer, returned);
    if (e != err::Success) {
        return e;
    }
    const std::size_t count = std::min<std::size_t>(returned, buffer.size() / sizeof(Record));
    out.clear();
    out.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        Record record;
        std::memcpy(&record, buffer.data() + i * sizeof(Record), sizeof(Record));
        out.push_back(convert(record));
    }
    return err::Success;
}

[[nodiscard]] PortInfo2 toPortInfo(const PORT_INFO_2W& r);
[[nodiscard]] MonitorInfo1 toMonitorInfo(const MONITOR_INFO_1W& r);
[[nodiscard]] PrinterInfo2 toPrinterInfo(const PRINTER_INFO_2W& r);
[[nodiscard]] DriverInfo2 toDriverInfo(const DRIVER_INFO_2W& r);

// The device mode of the DEVMODEW at `data`, of which `available` bytes can be read, its
// driver's private part included; false for bytes that are no device mode with the fields
// through dmFormName (the layout of every driver since Windows NT 4).
[[nodiscard]] bool toDevMode(const BYTE* data, std::size_t available, DevMode& out);
// The bytes of `devMode` with its fields written into them; empty when they are no device mode.
[[nodiscard]] std::vector<std::uint8_t> devModeBytes(const DevMode& devMode);

// The wide texts of one call's record, kept alive (and at fixed addresses) until the call.
class WideArguments {
  public:
    // Always a pointer; an empty text points to a NUL.
    LPWSTR text(const std::string& utf8) { return store(utf8); }
    // Null for an empty text.
    LPWSTR textOrNull(const std::string& utf8) { return utf8.empty() ? nullptr : store(utf8); }
    // A NUL-separated list ended by a further NUL; null when there is no entry. Empty
    // entries are left out, since they would end the list early.
    LPWSTR list(const std::vector<std::string>& entries);
    // False when a text was not valid UTF-8.
    [[nodiscard]] bool ok() const { return ok_; }

  private:
    LPWSTR store(const std::string& utf8);

    std::deque<std::wstring> strings_;
    bool ok_ = true;
};

// The PRINTER_INFO_2W of `printer`, its texts held by `args`. The device mode and the
// security descriptor stay null: AddPrinter gives the printer the defaults, SetPrinter keeps
// what the printer has.
[[nodiscard]] PRINTER_INFO_2W printerRecord(WideArguments& args, const PrinterInfo2& printer);

} // namespace vexo::win32
