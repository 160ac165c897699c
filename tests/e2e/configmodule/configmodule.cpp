// A stand-in for a printer driver's configuration module (its "configuration file"), for the
// end-to-end tests: the sample package's driver files are placeholders that cannot be loaded.
// Put into a package as its uniDRVui.DLL, it is what the spooler loads for DocumentProperties
// and DeviceCapabilities, and it answers them as a driver does: its device mode (the public
// fields and a private part of its own), merged with the fields of one it is given that it
// offers, a form name before a paper number; the papers Letter, Legal, A3, A4, A5 and
// B5 (JIS); two-sided printing, colour and landscape. Every call is recorded in
// C:\vexo-e2e-configmodule.log. Test machinery only, never shipped.
#include <windows.h>

#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <string>

namespace {

// DOCUMENTPROPERTYHEADER as the driver documentation lays it out (MinGW has no winddiui.h
// declaration of it).
struct DocumentPropertyHeader {
    WORD cbSize;
    WORD Reserved;
    HANDLE hPrinter;
    LPWSTR pszPrinterName;
    DEVMODEW* pdmIn;
    DEVMODEW* pdmOut;
    DWORD cbOut;
    DWORD fMode;
};

struct Paper {
    short number;
    const wchar_t* name;
};
const Paper kPapers[] = {{DMPAPER_LETTER, L"Letter"}, {DMPAPER_LEGAL, L"Legal"},
                         {DMPAPER_A3, L"A3"},         {DMPAPER_A4, L"A4"},
                         {DMPAPER_A5, L"A5"},         {DMPAPER_B5, L"B5 (JIS)"}};

// The device mode with the driver's private part after it.
struct DriverDevMode {
    DEVMODEW dm;
    char own[16];
};
const char kOwn[] = "VEXO stand-in";

void record(const char* format, ...) {
    char line[512];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(line, sizeof line - 2, format, args);
    va_end(args);
    HANDLE file = CreateFileW(L"C:\\vexo-e2e-configmodule.log", FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (n < 0 || file == INVALID_HANDLE_VALUE) {
        return;
    }
    const std::string text = std::string(line) + "\r\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

const Paper* paper(short number, const wchar_t* name) {
    for (const Paper& p : kPapers) {
        if (name != nullptr ? std::wcsncmp(name, p.name, CCHFORMNAME) == 0 : number == p.number) {
            return &p;
        }
    }
    return nullptr;
}

// The driver's defaults, then each field of `in` that its bit names and the driver offers.
DriverDevMode devMode(const wchar_t* printer, const DEVMODEW* in) {
    DriverDevMode d{};
    std::wcsncpy(d.dm.dmDeviceName, printer, CCHDEVICENAME - 1);
    d.dm.dmSpecVersion = DM_SPECVERSION;
    d.dm.dmDriverVersion = 0x100;
    d.dm.dmSize = sizeof d.dm;
    d.dm.dmDriverExtra = sizeof d.own;
    d.dm.dmFields = DM_ORIENTATION | DM_PAPERSIZE | DM_COPIES | DM_COLOR | DM_DUPLEX | DM_FORMNAME;
    d.dm.dmOrientation = DMORIENT_PORTRAIT;
    d.dm.dmCopies = 1;
    d.dm.dmColor = DMCOLOR_COLOR;
    d.dm.dmDuplex = DMDUP_SIMPLEX;
    std::memcpy(d.own, kOwn, sizeof kOwn);
    const Paper* chosen = &kPapers[0];
    if (in != nullptr && in->dmSize >= offsetof(DEVMODEW, dmLogPixels)) {
        const DWORD f = in->dmFields;
        const Paper* p = (f & DM_FORMNAME) != 0    ? paper(0, in->dmFormName)
                         : (f & DM_PAPERSIZE) != 0 ? paper(in->dmPaperSize, nullptr)
                                                   : nullptr;
        chosen = p != nullptr ? p : chosen;
        if ((f & DM_ORIENTATION) != 0 &&
            (in->dmOrientation == DMORIENT_PORTRAIT || in->dmOrientation == DMORIENT_LANDSCAPE)) {
            d.dm.dmOrientation = in->dmOrientation;
        }
        if ((f & DM_DUPLEX) != 0 && in->dmDuplex >= DMDUP_SIMPLEX &&
            in->dmDuplex <= DMDUP_HORIZONTAL) {
            d.dm.dmDuplex = in->dmDuplex;
        }
        if ((f & DM_COLOR) != 0 &&
            (in->dmColor == DMCOLOR_MONOCHROME || in->dmColor == DMCOLOR_COLOR)) {
            d.dm.dmColor = in->dmColor;
        }
    }
    d.dm.dmPaperSize = chosen->number;
    std::wcscpy(d.dm.dmFormName, chosen->name);
    return d;
}

} // namespace

extern "C" __declspec(dllexport) LONG WINAPI DrvDocumentPropertySheets(void* sheet, LPARAM lParam) {
    auto* h = reinterpret_cast<DocumentPropertyHeader*>(lParam);
    if (sheet != nullptr || h == nullptr) {
        record("DrvDocumentPropertySheets with a property sheet: refused");
        return -1;
    }
    const DEVMODEW* in = (h->fMode & DM_IN_BUFFER) != 0 ? h->pdmIn : nullptr;
    record("DrvDocumentPropertySheets hPrinter=%s fMode=%lu cbOut=%lu in=%s fields=0x%lX "
           "paper=%d orientation=%d duplex=%d color=%d",
           h->hPrinter != nullptr ? "yes" : "null", h->fMode, h->cbOut, in ? "yes" : "none",
           in ? in->dmFields : 0, in ? in->dmPaperSize : 0, in ? in->dmOrientation : 0,
           in ? in->dmDuplex : 0, in ? in->dmColor : 0);
    const LONG size = sizeof(DriverDevMode);
    if (h->fMode == 0 || h->pdmOut == nullptr) {
        h->cbOut = size;
        return size;
    }
    if (h->cbOut < static_cast<DWORD>(size)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return -1;
    }
    const DriverDevMode d = devMode(h->pszPrinterName, in);
    std::memcpy(h->pdmOut, &d, size);
    return IDOK;
}

extern "C" __declspec(dllexport) DWORD WINAPI
    DrvDeviceCapabilities(HANDLE, LPWSTR, WORD capability, void* output, DEVMODEW*) {
    record("DrvDeviceCapabilities capability=%u output=%s", capability, output ? "yes" : "null");
    switch (capability) {
    case DC_PAPERS:
        for (std::size_t i = 0; output != nullptr && i < std::size(kPapers); ++i) {
            static_cast<WORD*>(output)[i] = static_cast<WORD>(kPapers[i].number);
        }
        return static_cast<DWORD>(std::size(kPapers));
    case DC_DUPLEX:
    case DC_COLORDEVICE:
        return 1;
    case DC_ORIENTATION:
        return 90;
    default:
        return GDI_ERROR;
    }
}
