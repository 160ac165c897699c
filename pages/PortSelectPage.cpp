#include "pages/PortSelectPage.h"

#include "install/ModelTables.h"
#include "install/UsbPortBinding.h"
#include "pages/CreatePortDialog.h"
#include "pages/InstallerState.h"
#include "pages/PrinterSettingsPage.h"
#include "resources/ResourceIds.h"

namespace vexo {

PortSelectPage::PortSelectPage(Platform& platform) : Dialog(platform, IDD_PORT_SELECT) {
    onClicked(IDC_PS_CREATE_PORT, [this] { onCreatePort(); });
    onClicked(IDC_PS_CONFIGURE_PORT, [this] { onConfigurePort(); });
    onClicked(IDC_PS_BACK, [this] { onBack(); });
    onClicked(IDC_PS_INSTALL, [this] { onInstall(); });
    onClicked(IDC_PS_CANCEL, [this] { onCancel(); });
    onClicked(IDC_PS_SEARCH_PORT, [this] { onSearchPort(); });
    onNotify(IDC_PS_PORT_LIST, notify::ListClick, [] { return std::intptr_t{0}; });
    // Enter while no push button has the focus must not end the page as if it had
    // installed: the page ends with IDOK only from the Install command.
    onClicked(static_cast<int>(IdOk), [] {});
}

bool PortSelectPage::onInitDialog() {
    Dialog::onInitDialog();
    progressBar = control<ProgressBar>(IDC_PS_PROGRESS);
    portList = control<ListView>(IDC_PS_PORT_LIST);
    portList.applyStandardStyle();
    portList.insertColumn(0, "Port");
    portList.insertColumn(1, "Type");
    portList.setColumnWidth(0, 100);
    portList.setColumnWidth(1, 520);
    const char* rows[3][2] = {
        {"Serial port", "The program will select a available serial port during installation"},
        {"USB port", "The program will select a available USB port automatically"},
        {"TCP/IP port", "The program will prompt you to create a TCP/IP port or configure"}};
    for (int i = 0; i < 3; ++i) {
        portList.insertItem(i, rows[i][0]);
        portList.setItemText(i, 1, rows[i][1]);
    }
    portList.selectRow(kUsbPortRow);
    progressBar.setRange(0, 100);
    progressBar.setPos(0);
    return true;
}

void PortSelectPage::listMachinePorts(RememberedRows* remember) {
    portList.deleteAll();
    std::vector<PortInfo2> ports;
    if (platform_.spooler.enumPorts(ports) != err::Success) {
        ports.clear();
    }
    portList.applyStandardStyle();
    int count = static_cast<int>(ports.size());
    for (int k = 0; k < count && k < kMaxListedPorts; ++k) {
        const PortInfo2& port = ports[static_cast<std::size_t>(k)];
        if (remember != nullptr) {
            std::string key = port.portName.substr(0, 4);
            if (key == "COM1") {
                remember->com1 = k;
            } else if (key == "LPT1") {
                remember->lpt1 = k;
            } else if (key == "FILE") {
                remember->file = k;
            }
        }
        platform_.system.debugOutput(port.portName + "\n");
        portList.insertItem(k, port.portName);
        portList.setItemText(k, 1, port.description);
    }
}

bool PortSelectPage::findSerialPorts(std::vector<std::string>& ports) {
    ports = readSerialDeviceMap(platform_.registry);
    return !ports.empty();
}

void PortSelectPage::scanPorts() {
    std::vector<std::string> serial;
    (void)findSerialPorts(serial);
    std::vector<PortInfo2> ports;
    if (platform_.spooler.enumPorts(ports) != err::Success) {
        ports.clear();
    }
    portList.applyStandardStyle();
    PortGroups groups = groupPorts(ports, std::move(serial));
    allPorts = std::move(groups.all);
    usbPorts = std::move(groups.usb);
    serialPorts = std::move(groups.serial);
    lptPorts = std::move(groups.lpt);
    tcpipPorts = std::move(groups.tcpip);
    // A row the list does not hold (row 3 beside the three kinds of port) changes nothing.
    portList.selectRow(groups.preferredRow);
    // Deliberate: no window handles "MyUpdateData", so the send changes nothing; it is kept
    // because the installer has always sent it at the end of discovery (a test checks it).
    ui_.sendMessage(window(), installerState().updateDataMessage, 0, 0);
}

void PortSelectPage::onCreatePort() {
    installerState().autoPortFlag = 0;
    {
        CreatePortDialog dialog(platform_);
        dialog.doModal();
    }
    RememberedRows rows;
    listMachinePorts(&rows);
    // A remembered row of 0 means no match, so a port in row 0 is never chosen by its own
    // test.
    int row = rows.lpt1 > 0   ? rows.lpt1
              : rows.com1 > 0 ? rows.com1
              : rows.file > 0 ? rows.file
                              : -1;
    if (row >= 0) {
        portList.selectRow(row);
    }
}

void PortSelectPage::onSearchPort() {
    Button install = control<Button>(IDC_PS_INSTALL);
    listMachinePorts(nullptr);
    installerState().autoPortFlag = 0;
    install.enable(true);
}

void PortSelectPage::onConfigurePort() {
    int row = portList.selectedRow();
    if (row >= 0) {
        (void)platform_.spooler.configurePort(window(), portList.itemText(row, 0));
    }
}

void PortSelectPage::onInstall() {
    InstallerState& state = installerState();
    if (int row = portList.selectedRow(); row >= 0) {
        selectedRow = row;
    }
    if (selectedRow == kUsbPortRow) {
        // The automatic choice: discovery picks the group, its first port is the port.
        scanPorts();
        if (int row = portList.selectedRow(); row >= 0) {
            selectedRow = row;
        }
        // Rows pick groups by index only. Deliberate: row 2, labelled "TCP/IP port", leads
        // to the parallel ports, as discovery's preferred row 2 means parallel ports found.
        const std::vector<std::string>* groups[] = {&serialPorts, &usbPorts, &lptPorts,
                                                    &tcpipPorts};
        if (selectedRow >= 0 && selectedRow < 4 &&
            !groups[static_cast<std::size_t>(selectedRow)]->empty()) {
            autoPortName = groups[static_cast<std::size_t>(selectedRow)]->front();
        }
        portName = autoPortName;
        bool wow64 = platform_.system.queryIsWow64().value_or(false);
        if (state.autoPortFlag == 1) {
            selectUsbPort();
        }
        deploy(wow64);
    } else {
        if (state.autoPortFlag == 1) {
            control<Button>(IDC_PS_INSTALL).enable(false);
            messageBox("Please click \"Search Port...\",then select port!");
            return;
        }
        if (int row = portList.selectedRow(); row >= 0) {
            portName = portList.itemText(row, 0);
        }
        deploy(platform_.system.queryIsWow64().value_or(false));
    }
    onOK();
}

void PortSelectPage::deploy(bool wow64) {
    PrinterSettingsPage* settings = installerState().settingsPage;
    if (settings == nullptr) {
        return;
    }
    if (wow64) {
        settings->installDriverX64();
    } else {
        settings->installDriverX86();
    }
}

void PortSelectPage::selectUsbPort() {
    PrinterSettingsPage* settings = installerState().settingsPage;
    int model = settings != nullptr ? settings->modelCombo.selection() : -1;
    std::string printer = model >= 0 && model < static_cast<int>(kModelCount)
                              ? modelCodes[static_cast<std::size_t>(model)]
                              : "";
    vexo::selectUsbPort(platform_, usbPorts, printer, *this);
}

void PortSelectPage::progress(int position) {
    progressBar.setPos(position);
}

bool PortSelectPage::askRetryUsbPort() {
    return ui_.messageBox(window(), kUsbRetryText, kUsbRetryCaption, mb::RetryCancel) == IdRetry;
}

void PortSelectPage::showRegistryError() {
    messageBox(kRegistryErrorMessage);
}

void PortSelectPage::onBack() {
    Dialog::onCancel();
    installerState().autoPortFlag = 1;
}

} // namespace vexo
