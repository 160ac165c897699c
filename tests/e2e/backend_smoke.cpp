// A check of the Win32 backend on a real Windows (wine64 here): the About box through
// Win32Ui, controls driven through the Ui interface, the registry, the spooler and the
// kernel services. Prints one PASS or FAIL line per check and ends with the number of
// failures as its exit code.
//
//   WINEPREFIX=/tmp/wp-b WINEDEBUG=-all xvfb-run -a /usr/lib/wine/wine64 backend_smoke.exe

#include "dialog/Controls.h"
#include "platform/win32/Win32Platform.h"
#include "resources/ResourceIds.h"

#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace vexo;

int failures = 0;

void check(bool ok, const std::string& what, const std::string& seen = "") {
    std::printf("%s %s%s%s\n", ok ? "PASS" : "FAIL", what.c_str(), seen.empty() ? "" : ": ",
                seen.c_str());
    std::fflush(stdout);
    if (!ok) {
        ++failures;
    }
}

void note(const std::string& text) {
    std::printf("     %s\n", text.c_str());
    std::fflush(stdout);
}

std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

std::string hexBytes(const std::vector<std::uint8_t>& data) {
    std::string out;
    char buf[4];
    for (std::uint8_t b : data) {
        std::snprintf(buf, sizeof buf, "%02x ", b);
        out += buf;
    }
    return out;
}

HWND hwndOf(WindowId w) {
    return reinterpret_cast<HWND>(w);
}

// What the program never asks of a list view, read here straight from the control.
int columnWidth(const ListView& list, int column) {
    return static_cast<int>(
        SendMessageW(hwndOf(list.window()), LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}
int columnCount(const ListView& list) {
    HWND header = ListView_GetHeader(hwndOf(list.window()));
    return header == nullptr ? 0 : Header_GetItemCount(header);
}

constexpr UINT_PTR kEndTimer = 1;
constexpr UINT_PTR kSafetyTimer = 2;
constexpr int kListId = 2001, kComboId = 2002, kProgressId = 2003, kCheckId = 2004;

// A dialog that throws from its command handler and ends itself during initialisation.
class ThrowingDialog final : public DialogEvents {
  public:
    explicit ThrowingDialog(Ui& ui) : ui_(ui) {}
    bool handleInitDialog(WindowId window) override {
        owner = GetWindow(hwndOf(window), GW_OWNER);
        ui_.sendMessage(window, WM_COMMAND, MAKEWPARAM(999, 0), 0);
        commandReturned = true;
        ui_.endDialog(window, 7);
        return true;
    }
    void handleCommand(int, int) override { throw std::runtime_error("thrown on purpose"); }
    bool handleNotify(int, int, std::intptr_t&) override { return false; }
    bool handleSysCommand(std::uint32_t) override { return false; }
    bool handlePaint() override { return false; }
    IconId handleQueryDragIcon() override { return 0; }
    void handleDestroy() override {}

    HWND owner = nullptr;
    bool commandReturned = false;

  private:
    Ui& ui_;
};

class AboutSmoke final : public DialogEvents {
  public:
    explicit AboutSmoke(Ui& ui) : ui_(ui) {}

    bool handleInitDialog(WindowId window) override {
        window_ = window;
        active = this;
        check(ui_.text(window) == "关于 VEXO", "dialog caption", quoted(ui_.text(window)));
        WindowId ok = ui_.item(window, IdOk);
        check(ok != 0 && GetDlgCtrlID(hwndOf(ok)) == IdOk, "item(IDOK) and its id");
        check(ui_.text(ok) == "确定", "button text", quoted(ui_.text(ok)));
        check(ui_.isVisible(ok) && ui_.isEnabled(ok), "button visible and enabled at init");
        check(ui_.item(window, 4242) == 0, "item of a missing id is 0");

        const std::string astral = "端口 \xF0\x9D\x84\x9E COM1:"; // a character beyond the BMP
        ui_.setText(ok, astral);
        check(ui_.text(ok) == astral, "setText/text round trip", quoted(ui_.text(ok)));
        std::string longText(5000, 'x');
        longText += "尾";
        ui_.setText(ok, longText);
        check(ui_.text(ok) == longText, "text of 5001 characters read whole",
              std::to_string(ui_.text(ok).size()) + " bytes");
        ui_.setText(ok, "确定");
        ui_.enable(ok, false);
        check(!ui_.isEnabled(ok), "enable(false)");
        ui_.enable(ok, true);

        exerciseControls(window);
        exerciseSystemMenu(window);

        IconId icon = ui_.loadIcon(IDI_APP);
        check(icon != 0, "loadIcon(128)");
        ui_.setIcon(window, true, icon);
        ui_.setIcon(window, false, icon);
        check(static_cast<IconId>(SendMessageW(hwndOf(window), WM_GETICON, ICON_BIG, 0)) == icon,
              "setIcon big");
        check(ui_.iconWidth() > 0 && ui_.iconHeight() > 0, "icon metrics",
              std::to_string(ui_.iconWidth()) + "x" + std::to_string(ui_.iconHeight()));
        appIcon_ = icon;
        check(ui_.loadString(IDS_ABOUTBOX) == "关于 VEXO(&A)...", "loadString(101)",
              quoted(ui_.loadString(IDS_ABOUTBOX)));
        check(ui_.loadString(4321).empty(), "loadString of a missing id is empty");
        std::uint32_t m1 = ui_.registerWindowMessage("MyUpdateData");
        std::uint32_t m2 = ui_.registerWindowMessage("MyUpdateData");
        check(m1 >= 0xC000 && m1 == m2, "registerWindowMessage", std::to_string(m1));

        // Routed through the dialog procedure to the events.
        ui_.sendMessage(window, WM_SYSCOMMAND, 0x0010, 0);
        check(sysCommands_ == std::vector<std::uint32_t>{0x0010}, "WM_SYSCOMMAND reaches events");
        ui_.sendMessage(window, WM_COMMAND, MAKEWPARAM(1234, 1), 0);
        check(commands_ == std::vector<std::pair<int, int>>{{1234, 1}},
              "WM_COMMAND reaches events as id and code");
        check(ui_.sendMessage(window, WM_QUERYDRAGICON, 0, 0) == static_cast<std::intptr_t>(icon),
              "WM_QUERYDRAGICON returns the icon");

        SetTimer(hwndOf(window), kEndTimer, 500, &AboutSmoke::onTimer);
        SetTimer(hwndOf(window), kSafetyTimer, 20000, &AboutSmoke::onTimer);
        return true;
    }

    void handleCommand(int id, int code) override { commands_.emplace_back(id, code); }
    bool handleNotify(int, int, std::intptr_t&) override { return false; }
    bool handleSysCommand(std::uint32_t command) override {
        sysCommands_.push_back(command);
        return true;
    }
    bool handlePaint() override {
        ++paints;
        ui_.paint(window_, [&](Painter& painter) {
            clientWidth = painter.clientWidth();
            clientHeight = painter.clientHeight();
        });
        return true;
    }
    IconId handleQueryDragIcon() override { return appIcon_; }
    void handleDestroy() override { destroyed = true; }

    int paints = 0;
    int clientWidth = 0, clientHeight = 0;
    bool destroyed = false;
    std::intptr_t nestedResult = 0;
    bool nestedOwnedByUs = false;
    bool nestedSurvivedThrow = false;
    bool visibleWhenShown = false;

  private:
    static void CALLBACK onTimer(HWND window, UINT, UINT_PTR id, DWORD) {
        KillTimer(window, kEndTimer);
        KillTimer(window, kSafetyTimer);
        AboutSmoke* self = active;
        if (self == nullptr) {
            return;
        }
        if (id == kSafetyTimer) {
            self->ui_.endDialog(self->window_, -2);
            return;
        }
        self->visibleWhenShown = IsWindowVisible(window) != FALSE;
        // A nested modal run, owned by this dialog, whose handler throws.
        ThrowingDialog nested(self->ui_);
        self->nestedResult = self->ui_.runModal(IDD_ABOUT, nested);
        self->nestedOwnedByUs = nested.owner == window;
        self->nestedSurvivedThrow = nested.commandReturned;
        self->ui_.endDialog(self->window_, 42);
    }

    void exerciseControls(WindowId window) {
        HINSTANCE instance = GetModuleHandleW(nullptr);
        auto create = [&](const wchar_t* cls, DWORD style, int id) {
            return reinterpret_cast<WindowId>(CreateWindowExW(
                0, cls, L"", WS_CHILD | WS_VISIBLE | style, 0, 0, 300, 120, hwndOf(window),
                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr));
        };
        create(WC_LISTVIEWW, LVS_REPORT, kListId);
        create(WC_COMBOBOXW, CBS_DROPDOWNLIST, kComboId);
        create(PROGRESS_CLASSW, 0, kProgressId);
        create(WC_BUTTONW, BS_AUTOCHECKBOX, kCheckId);

        ListView list(&ui_, ui_.item(window, kListId));
        check(list.attached(), "list view created");
        list.applyStandardStyle();
        std::uint32_t style = list.extendedStyle();
        check((style & (lv::ExGridLines | lv::ExFullRowSelect)) ==
                      (lv::ExGridLines | lv::ExFullRowSelect) &&
                  (style & lv::ExTrackSelect) == 0,
              "list extended style", std::to_string(style));
        check(list.insertColumn(0, "Port") == 0 && list.insertColumn(1, "类型") == 1,
              "insert columns");
        list.setColumnWidth(0, 100);
        list.setColumnWidth(1, 520);
        check(columnWidth(list, 0) == 100 && columnWidth(list, 1) == 520, "column widths",
              std::to_string(columnWidth(list, 0)) + "," + std::to_string(columnWidth(list, 1)));
        check(columnCount(list) == 2, "column count", std::to_string(columnCount(list)));
        std::string longRow(3000, 'p');
        longRow += "端";
        check(list.insertItem(0, "COM1:") == 0 && list.insertItem(1, longRow) == 1, "insert rows");
        list.setItemText(0, 1, "本地端口");
        check(list.itemText(0, 0) == "COM1:" && list.itemText(0, 1) == "本地端口", "item texts",
              quoted(list.itemText(0, 1)));
        check(list.itemText(1, 0) == longRow, "item text of 3001 characters read whole",
              std::to_string(list.itemText(1, 0).size()) + " bytes");
        check(list.itemCount() == 2, "item count");
        list.selectRow(1);
        check(list.selectedRow() == 1 &&
                  list.itemState(1, lv::StateSelected | lv::StateFocused) == lv::StateSelected,
              "select row without focus mark",
              std::to_string(list.itemState(1, lv::StateSelected | lv::StateFocused)));
        list.deleteAll();
        check(list.itemCount() == 0 && columnCount(list) == 2, "delete all rows keeps the columns");

        ComboBox combo(&ui_, ui_.item(window, kComboId));
        check(combo.add("LPT1") == 0 && combo.add("COM1") == 1 && combo.add("流控制") == 2,
              "combo add");
        check(combo.count() == 3 && combo.selection() == -1, "combo count, no selection");
        combo.select(2);
        check(combo.selection() == 2 && combo.itemText(2) == "流控制", "combo select and text",
              quoted(combo.itemText(2)));
        check(combo.itemText(7).empty(), "combo text of a missing item is empty");
        combo.reset();
        check(combo.count() == 0, "combo reset");

        ProgressBar bar(&ui_, ui_.item(window, kProgressId));
        bar.setRange(0, 100);
        bar.setPos(40);
        check(bar.pos() == 40 && SendMessageW(hwndOf(bar.window()), PBM_GETRANGE, TRUE, 0) == 0 &&
                  SendMessageW(hwndOf(bar.window()), PBM_GETRANGE, FALSE, 0) == 100,
              "progress range and position");

        Button box(&ui_, ui_.item(window, kCheckId));
        box.setCheckState(CheckChecked);
        check(box.checkState() == CheckChecked, "check box checked");
        box.setCheckState(CheckUnchecked);
        check(box.checkState() == CheckUnchecked, "check box unchecked");
    }

    void exerciseSystemMenu(WindowId window) {
        check(ui_.hasSystemMenu(window), "has a system menu");
        HMENU menu = GetSystemMenu(hwndOf(window), FALSE);
        int before = GetMenuItemCount(menu);
        ui_.appendSystemMenuSeparator(window);
        ui_.appendSystemMenuItem(window, 0x0010, "关于 VEXO(&A)...");
        int after = GetMenuItemCount(menu);
        wchar_t text[64] = {};
        GetMenuStringW(menu, 0x0010, text, 64, MF_BYCOMMAND);
        check(after == before + 2 && std::wstring(text) == L"关于 VEXO(&A)...",
              "system menu items appended",
              std::to_string(before) + " -> " + std::to_string(after));
    }

    static AboutSmoke* active;
    Ui& ui_;
    WindowId window_ = 0;
    IconId appIcon_ = 0;
    std::vector<std::pair<int, int>> commands_;
    std::vector<std::uint32_t> sysCommands_;
};

AboutSmoke* AboutSmoke::active = nullptr;

void dialogChecks(Platform& platform) {
    std::printf("== dialogs\n");
    AboutSmoke about(platform.ui);
    std::intptr_t result = platform.ui.runModal(IDD_ABOUT, about);
    check(result == 42, "runModal returns the endDialog result", std::to_string(result));
    check(about.destroyed, "handleDestroy at the end");
    check(about.visibleWhenShown, "dialog shown");
    check(about.paints > 0 && about.clientWidth > 0 && about.clientHeight > 0,
          "WM_PAINT through paint()",
          std::to_string(about.paints) + " paints, client " + std::to_string(about.clientWidth) +
              "x" + std::to_string(about.clientHeight));
    check(about.nestedResult == 7 && about.nestedOwnedByUs, "nested modal run owned by its opener",
          std::to_string(about.nestedResult));
    check(about.nestedSurvivedThrow, "an exception in a handler stays inside the dialog");

    ThrowingDialog unused(platform.ui);
    check(platform.ui.runModal(9999, unused) == -1, "runModal of a missing template is -1");
}

void registryChecks(Registry& registry) {
    std::printf("== registry\n");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VexoTest");
    RegKey key;
    std::uint32_t disposition = 0;
    WinError e = registry.createKey(RegRoot::CurrentUser, "Software\\VexoTest",
                                    reg::OptionNonVolatile, reg::AllAccess, key, &disposition);
    check(e == 0 && key.isOpen() && disposition == reg::CreatedNewKey, "create HKCU key",
          std::to_string(e));
    if (!key.isOpen()) {
        return;
    }

    const std::string text = "端口,winspool,LPT1:";
    std::vector<std::uint8_t> withNul = regSzData(text);
    std::vector<std::uint8_t> withoutNul(text.begin(), text.end());
    check(registry.setValue(key, "WithNul", reg::TypeSz, withNul) == 0, "set REG_SZ with NUL");
    check(registry.setValue(key, "NoNul", reg::TypeSz, withoutNul) == 0, "set REG_SZ without NUL");

    // What the registry holds: the UTF-16 bytes, with the NUL only where one was given.
    auto storedSize = [&](const wchar_t* name) {
        DWORD size = 0;
        RegQueryValueExW(reinterpret_cast<HKEY>(key.get()), name, nullptr, nullptr, nullptr, &size);
        return size;
    };
    const DWORD units = 17; // UTF-16 code units of the text
    check(storedSize(L"WithNul") == (units + 1) * 2, "stored size with NUL",
          std::to_string(storedSize(L"WithNul")));
    DWORD noNulSize = storedSize(L"NoNul");
    check(noNulSize == units * 2 || noNulSize == (units + 1) * 2, "stored size without NUL",
          std::to_string(noNulSize) +
              (noNulSize == units * 2 ? " (exact)" : " (NUL added by the system)"));

    RegValue value;
    e = registry.queryValue(key, "WithNul", value);
    check(e == 0 && value.type == reg::TypeSz && value.data == withNul, "read REG_SZ with NUL",
          hexBytes(value.data));
    RegValue noNul;
    e = registry.queryValue(key, "NoNul", noNul);
    check(e == 0 && regText(noNul.data) == text, "read REG_SZ without NUL", hexBytes(noNul.data));

    std::vector<std::uint8_t> multi = {'a', 0, 0xE7, 0xAB, 0xAF, 0, 0};
    check(registry.setValue(key, "Multi", reg::TypeMultiSz, multi) == 0, "set REG_MULTI_SZ");
    RegValue multiBack;
    e = registry.queryValue(key, "Multi", multiBack);
    check(e == 0 && multiBack.data == multi, "REG_MULTI_SZ round trip", hexBytes(multiBack.data));

    check(registry.setValue(key, "Online", reg::TypeDword, regDwordData(256)) == 0,
          "set REG_DWORD");
    RegValue dword;
    e = registry.queryValue(key, "Online", dword);
    check(e == 0 && dword.type == reg::TypeDword && dword.data == regDwordData(256),
          "REG_DWORD round trip", hexBytes(dword.data));

    std::vector<std::uint8_t> big(100000);
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<std::uint8_t>(i * 7);
    }
    std::string longName(200, 'n');
    check(registry.setValue(key, longName, reg::TypeBinary, big) == 0, "set a 100000-byte value");
    RegValue bigBack;
    e = registry.queryValue(key, longName, bigBack);
    check(e == 0 && bigBack.data == big, "read a 100000-byte value whole",
          std::to_string(bigBack.data.size()));
    check(registry.setValue(key, "Empty", reg::TypeBinary, {}) == 0, "set an empty value");
    RegValue empty{reg::TypeSz, {1}};
    check(registry.queryValue(key, "Empty", empty) == 0 && empty.type == reg::TypeBinary &&
              empty.data.empty(),
          "read an empty value");

    RegValue untouched{reg::TypeDword, {9}};
    check(registry.queryValue(key, "Missing", untouched) == err::FileNotFound &&
              untouched.data == std::vector<std::uint8_t>{9},
          "missing value: 2, output untouched");
    check(registry.setValue(key, "bad\xFF", reg::TypeSz, withNul) == ERROR_NO_UNICODE_TRANSLATION,
          "invalid UTF-8 name refused");

    std::vector<std::string> names;
    RegNamedValue entry;
    WinError last = 0;
    bool bigSeen = false;
    for (std::uint32_t i = 0; i < 20; ++i) {
        last = registry.enumValue(key, i, entry);
        if (last != 0) {
            break;
        }
        names.push_back(entry.name.size() > 20 ? entry.name.substr(0, 8) + "..." : entry.name);
        if (entry.name == longName) {
            bigSeen = entry.value.data == big;
        }
    }
    std::string list;
    for (const auto& n : names) {
        list += n + " ";
    }
    check(names.size() == 6 && last == err::NoMoreItems && bigSeen,
          "enumValue lists every value whole, then 259", list + "/ " + std::to_string(last));

    RegKey missing;
    check(registry.openKey(RegRoot::CurrentUser, "Software\\VexoTest\\Nope", reg::QueryValue,
                           missing) == err::FileNotFound &&
              !missing.isOpen(),
          "open a missing key: 2, key closed");
    RegKey again;
    check(registry.createKey(RegRoot::CurrentUser, "Software\\VexoTest", 0, reg::AllAccess, again,
                             &disposition) == 0 &&
              disposition == reg::OpenedExistingKey,
          "create an existing key opens it");

    RegKey config;
    e = registry.createKey(RegRoot::CurrentConfig, "Software\\VexoTest", reg::OptionNonVolatile,
                           reg::AllAccess, config, &disposition);
    note("HKEY_CURRENT_CONFIG non-volatile create: " + std::to_string(e));
    config.reset();
    RegDeleteTreeW(HKEY_CURRENT_CONFIG, L"Software\\VexoTest");

    key.reset();
    again.reset();
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VexoTest");
}

void spoolerChecks(Spooler& spooler) {
    std::printf("== spooler\n");
    std::vector<PortInfo2> ports;
    WinError e = spooler.enumPorts(ports);
    check(e == 0 && !ports.empty(), "EnumPorts", std::to_string(ports.size()) + " ports");
    bool lpt1 = false;
    for (const auto& p : ports) {
        note(quoted(p.portName) + " " + quoted(p.description) + " " + quoted(p.monitorName) +
             " type " + std::to_string(p.portType));
        lpt1 = lpt1 || p.portName == "LPT1:";
    }
    check(lpt1, "LPT1: among the ports");

    std::vector<MonitorInfo1> monitors;
    e = spooler.enumMonitors(monitors);
    check(e == 0 && !monitors.empty(), "EnumMonitors", std::to_string(monitors.size()));
    for (const auto& m : monitors) {
        note(m.name ? quoted(*m.name) : "(no name)");
    }

    std::string x64Directory, x86Directory;
    e = spooler.getPrinterDriverDirectory("Windows x64", x64Directory);
    check(e == 0 && !x64Directory.empty(), "driver directory x64", quoted(x64Directory));
    e = spooler.getPrinterDriverDirectory("Windows NT x86", x86Directory);
    check(e == 0 && !x86Directory.empty(), "driver directory x86", quoted(x86Directory));
    std::string untouched = "kept";
    e = spooler.getPrinterDriverDirectory("No Such Environment", untouched);
    check(e != 0 && untouched == "kept", "unknown environment fails, text untouched",
          std::to_string(e));

    DriverInfo3 driver;
    driver.version = 3;
    driver.name = "VexoSmoke";
    driver.environment = "Windows x64";
    driver.driverPath = x64Directory + "\\uniDRV.DLL";
    driver.dataFile = x64Directory + "\\TQ20P.GPD";
    driver.configFile = x64Directory + "\\uniDRVui.DLL";
    driver.helpFile = x64Directory + "\\uniDRV.HLP";
    driver.dependentFiles = {"\\ttfsub.GPD", "\\unires.DLL", "\\stdnames.GPD", "TQ20Ev1.DLL"};
    driver.defaultDataType = "RAW";
    e = spooler.addPrinterDriver(driver);
    note("AddPrinterDriver: " + std::to_string(e));

    PrinterInfo2 printer;
    printer.printerName = "VexoSmoke 打印机";
    printer.portName = "FILE:";
    printer.driverName = "VexoSmoke";
    printer.printProcessor = "WinPrint";
    printer.datatype = "RAW";
    PrinterHandle handle;
    e = spooler.addPrinter(printer, handle);
    check(e == 0 && handle.isOpen(), "AddPrinter", std::to_string(e));
    check(handle.reset() == 0, "ClosePrinter");
    check(handle.reset() == err::InvalidHandle, "closing twice reports an invalid handle");

    std::vector<PrinterInfo2> printers;
    e = spooler.enumPrinters(PrinterEnumLocal | PrinterEnumConnections, printers);
    bool found = false;
    for (const auto& p : printers) {
        note(quoted(p.printerName) + " on " + quoted(p.portName) + " driver " +
             quoted(p.driverName) + " processor " + quoted(p.printProcessor));
        found = found || (p.printerName == printer.printerName && p.portName == "FILE:" &&
                          p.driverName == "VexoSmoke");
    }
    check(e == 0 && found, "EnumPrinters lists the added printer",
          std::to_string(printers.size()) + " printers");

    PrinterInfo2 readBack, moved;
    e = spooler.getPrinter(printer.printerName, readBack);
    check(e == 0 && readBack.portName == "FILE:" && readBack.driverName == "VexoSmoke",
          "GetPrinter, level 2", std::to_string(e) + " " + quoted(readBack.portName));
    readBack.portName = "LPT1:";
    e = spooler.setPrinter(readBack);
    const WinError again = spooler.getPrinter(printer.printerName, moved);
    check(e == 0 && again == 0 && moved.portName == "LPT1:" && moved.driverName == "VexoSmoke",
          "SetPrinter, level 2, sets the port", std::to_string(e) + " " + quoted(moved.portName));
    e = spooler.getPrinter("No Such Printer", moved);
    check(e == err::InvalidPrinterName, "GetPrinter of no such printer", std::to_string(e));

    std::vector<DriverInfo2> drivers;
    e = spooler.enumPrinterDrivers("Windows x64", drivers);
    std::uint32_t version = 0;
    for (const auto& d : drivers) {
        note(quoted(d.name) + " version " + std::to_string(d.version) + " data " +
             quoted(d.dataFile));
        version =
            d.name == "VexoSmoke" && d.dataFile.ends_with("\\TQ20P.GPD") ? d.version : version;
    }
    check(e == 0 && version != 0, "EnumPrinterDrivers, level 2, lists the driver and its data file",
          "version " + std::to_string(version));
    check(spooler.deletePrinter(printer.printerName) == 0, "DeletePrinter");
    note("DeletePrinterDriverEx, unused files, version " + std::to_string(version) + ": " +
         std::to_string(spooler.deletePrinterDriver(
             "Windows x64", "VexoSmoke", kDeleteUnusedFiles | kDeleteSpecificVersion, version)));

    HMODULE winspool = GetModuleHandleW(L"winspool.drv");
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(winspool, path, MAX_PATH);
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    std::wstring expected = std::wstring(system) + L"\\winspool.drv";
    check(winspool != nullptr && lstrcmpiW(path, expected.c_str()) == 0,
          "winspool.drv loaded from System32");
}

void systemChecks(System& system, const Resources& resources) {
    std::printf("== system\n");
    OsVersion v;
    bool extendedOk = system.getVersion(kOsVersionInfoExSize, v);
    check(extendedOk && v.platformId == PlatformNt, "GetVersionEx, extended record",
          std::to_string(v.majorVersion) + "." + std::to_string(v.minorVersion) + "." +
              std::to_string(v.buildNumber) + " platform " + std::to_string(v.platformId));
    OsVersion basic;
    bool basicOk = system.getVersion(kOsVersionInfoSize, basic);
    check(basicOk && basic.majorVersion == v.majorVersion && basic.minorVersion == v.minorVersion,
          "GetVersionEx, basic record");
    OsVersion none{1, 2, 3, 4};
    check(!system.getVersion(7, none) && none.majorVersion == 1, "a bad record size fails");

    const Architectures architectures = system.machineArchitectures();
    check(architectures.native == Machine::X64 && architectures.program == Machine::X64,
          "the 64-bit build on x64 Windows (Wine's IsWow64Process2 or the build's own answer)");

    std::string cwd = system.currentDirectory();
    check(cwd.size() >= 3 && cwd[1] == ':' && (cwd.size() == 3 || cwd.back() != '\\'),
          "current directory", quoted(cwd));
    check(system.programTitle() == "backend_smoke", "program title", quoted(system.programTitle()));

    std::string text = system.errorText(2);
    check(!text.empty() && text.back() != '\n' && text.back() != '\r', "error text of 2",
          quoted(text));
    check(system.errorText(0x20001234) == "Unknown error 536875572.",
          "error text of an unknown code", quoted(system.errorText(0x20001234)));
    system.debugOutput("VexoSetup smoke: 调试输出\n");
    system.sleep(1);

    // Copies: a Chinese name, a relative destination, a destination beyond MAX_PATH.
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    std::wstring base = std::wstring(temp) + L"vexo-smoke";
    SetCurrentDirectoryW(temp);
    CreateDirectoryW(base.c_str(), nullptr);
    std::wstring source = base + L"\\驱动.GPD";
    HANDLE f = CreateFileW(source.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, "GPD", 3, &written, nullptr);
    CloseHandle(f);
    std::string sourceUtf8 = system.currentDirectory() + "\\vexo-smoke\\驱动.GPD";
    check(system.copyFile(sourceUtf8, "vexo-smoke\\copy.GPD", false) == 0 &&
              GetFileAttributesW((base + L"\\copy.GPD").c_str()) != INVALID_FILE_ATTRIBUTES,
          "copy to a relative destination");
    check(system.copyFile(sourceUtf8, "vexo-smoke\\copy.GPD", true) == err::FileExists,
          "fail-if-exists on an existing file: 80");
    check(system.copyFile("vexo-smoke\\none.GPD", "vexo-smoke\\x.GPD", false) == err::FileNotFound,
          "missing source: 2");

    std::wstring deep = L"\\\\?\\" + base;
    std::string deepUtf8 = "vexo-smoke";
    for (int i = 0; i < 6; ++i) {
        std::wstring part(50, static_cast<wchar_t>(L'a' + i));
        deep += L"\\" + part;
        deepUtf8 += "\\" + std::string(50, static_cast<char>('a' + i));
        CreateDirectoryW(deep.c_str(), nullptr);
    }
    std::string longDestination = deepUtf8 + "\\UNIDRV.DLL";
    WinError e = system.copyFile(sourceUtf8, longDestination, false);
    check(e == 0 && GetFileAttributesW((deep + L"\\UNIDRV.DLL").c_str()) != INVALID_FILE_ATTRIBUTES,
          "copy to a path beyond MAX_PATH",
          std::to_string(e) + ", " +
              std::to_string(system.currentDirectory().size() + 1 + longDestination.size()) +
              " characters");

    auto dialog = resources.find(rt::Dialog, IDD_ABOUT);
    check(dialog.has_value() && dialog->size() > 20, "dialog resource 100",
          dialog ? std::to_string(dialog->size()) + " bytes" : "");
    check(!resources.find(rt::Dialog, 9999).has_value(), "a missing resource is nullopt");
}

} // namespace

int main() {
    vexo::win32::restrictDllSearch();
    vexo::win32::initCommonControls();
    vexo::win32::Win32Machine machine;
    Platform& platform = machine.platform();
    systemChecks(platform.system, platform.resources);
    registryChecks(platform.registry);
    spoolerChecks(platform.spooler);
    dialogChecks(platform);
    std::printf("%d failure(s)\n", failures);
    return failures;
}
