// The printer's device mode and what its driver offers, over winspool's wide functions: the
// DEVMODEW's fields the installer sets are read and written here only.
#include "platform/win32/Win32Spooler.h"

#include "platform/win32/SpoolerRecords.h"
#include "platform/win32/WideText.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <utility>

namespace vexo::win32 {

static_assert(PrinterAllAccess == PRINTER_ALL_ACCESS && dm::PaperSize == DM_PAPERSIZE &&
              dm::Orientation == DM_ORIENTATION && dm::Duplex == DM_DUPLEX &&
              dm::Color == DM_COLOR && dm::FormName == DM_FORMNAME &&
              dm::PaperLength == DM_PAPERLENGTH && dm::PaperWidth == DM_PAPERWIDTH);
static_assert(dm::LongEdge == DMDUP_VERTICAL && dm::ShortEdge == DMDUP_HORIZONTAL &&
              dm::Landscape == DMORIENT_LANDSCAPE && dm::InColor == DMCOLOR_COLOR);
static_assert(dm::DcPapers == DC_PAPERS && dm::DcDuplex == DC_DUPLEX &&
              dm::DcOrientation == DC_ORIENTATION && dm::DcColorDevice == DC_COLORDEVICE);

WinError Win32Spooler::getPrinterDevMode(const std::string& name, std::uint32_t level,
                                         std::optional<DevMode>& devMode) {
    std::vector<std::byte> buffer;
    PRINTER_INFO_8W info{};
    if (WinError e = readPrinter(name, level, sizeof info, buffer); e != err::Success) {
        return e;
    }
    std::memcpy(&info, buffer.data(), sizeof info);
    devMode.reset();
    if (info.pDevMode == nullptr) {
        return err::Success;
    }
    // The structure lies in the buffer, after the record.
    const auto begin = reinterpret_cast<std::uintptr_t>(buffer.data());
    const auto at = reinterpret_cast<std::uintptr_t>(info.pDevMode);
    DevMode read;
    if (at < begin || at >= begin + buffer.size() ||
        !toDevMode(reinterpret_cast<const BYTE*>(info.pDevMode), begin + buffer.size() - at,
                   read)) {
        return ERROR_INVALID_DATA;
    }
    devMode = std::move(read);
    return err::Success;
}

WinError Win32Spooler::setPrinterDevMode(const std::string& name, std::uint32_t access,
                                         std::uint32_t level,
                                         const std::vector<std::uint8_t>& bytes) {
    if (load(); !allFound(openPrinter_, setPrinter_, closePrinter_)) {
        return unavailable();
    }
    DevMode checked;
    if (!toDevMode(bytes.data(), bytes.size(), checked) || checked.bytes.size() != bytes.size()) {
        return ERROR_INVALID_DATA;
    }
    PrinterHandle handle;
    if (WinError e = openPrinter(name, access, handle); e != err::Success) {
        return e;
    }
    PRINTER_INFO_8W info{reinterpret_cast<DEVMODEW*>(checked.bytes.data())};
    if (!setPrinter_(reinterpret_cast<HANDLE>(handle.get()), level, reinterpret_cast<LPBYTE>(&info),
                     0)) {
        return lastErrorOr();
    }
    return err::Success;
}

WinError Win32Spooler::driverDevMode(const std::string& name, const DevMode* in, DevMode& out) {
    if (load(); !allFound(openPrinter_, documentProperties_, closePrinter_)) {
        return unavailable();
    }
    auto wideName = tryWiden(name);
    if (!wideName) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    std::vector<std::uint8_t> input;
    if (in != nullptr && (input = devModeBytes(*in)).empty()) {
        return ERROR_INVALID_DATA;
    }
    PrinterHandle handle;
    if (WinError e = openPrinter(name, PRINTER_ACCESS_USE, handle); e != err::Success) {
        return e;
    }
    const auto raw = reinterpret_cast<HANDLE>(handle.get());
    // A driver that fails need not say why: no earlier call's error is passed on.
    SetLastError(ERROR_SUCCESS);
    const LONG size = documentProperties_(nullptr, raw, wideName->data(), nullptr, nullptr, 0);
    if (size < static_cast<LONG>(offsetof(DEVMODEW, dmLogPixels))) {
        return size < 0 ? lastErrorOr() : static_cast<WinError>(ERROR_INVALID_DATA);
    }
    std::vector<std::uint8_t> output(static_cast<std::size_t>(size), 0);
    // The output's size in its dmSize, where Wine's spooler tells the driver to look for it.
    const WORD outputSize = static_cast<WORD>(std::min<LONG>(size, 0xFFFF));
    std::memcpy(output.data() + offsetof(DEVMODEW, dmSize), &outputSize, sizeof outputSize);
    SetLastError(ERROR_SUCCESS);
    const LONG done = documentProperties_(
        nullptr, raw, wideName->data(), reinterpret_cast<DEVMODEW*>(output.data()),
        in != nullptr ? reinterpret_cast<DEVMODEW*>(input.data()) : nullptr,
        in != nullptr ? DM_IN_BUFFER | DM_OUT_BUFFER : DM_OUT_BUFFER);
    if (done != IDOK) {
        return done == IDCANCEL ? static_cast<WinError>(ERROR_CANCELLED) : lastErrorOr();
    }
    return toDevMode(output.data(), output.size(), out) ? err::Success
                                                        : static_cast<WinError>(ERROR_INVALID_DATA);
}

WinError Win32Spooler::deviceCapabilities(const std::string& name, std::uint16_t question,
                                          std::vector<std::int32_t>& answer) {
    if (load(); deviceCapabilities_ == nullptr) {
        return unavailable();
    }
    auto wideName = tryWiden(name);
    if (!wideName) {
        return ERROR_NO_UNICODE_TRANSLATION;
    }
    SetLastError(ERROR_SUCCESS);
    const int count = deviceCapabilities_(wideName->c_str(), nullptr, question, nullptr, nullptr);
    if (count < 0) {
        return lastErrorOr();
    }
    answer.assign(1, count);
    if (question != DC_PAPERS) {
        return err::Success;
    }
    std::vector<WORD> papers(static_cast<std::size_t>(count) + 1, 0);
    const int got = deviceCapabilities_(wideName->c_str(), nullptr, question,
                                        reinterpret_cast<LPWSTR>(papers.data()), nullptr);
    if (got < 0) {
        return lastErrorOr();
    }
    answer.assign(papers.begin(), papers.begin() + std::min(got, count));
    return err::Success;
}

} // namespace vexo::win32
