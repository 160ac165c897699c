#include "pages/PortSelectPage.h"

#include "install/DriverDeployment.h"
#include "install/Outcome.h"
#include "install/UsbPortBinding.h"
#include "pages/CreatePortDialog.h"
#include "pages/InstallerState.h"
#include "resources/ResourceIds.h"

#include <utility>

namespace vexo {

PortSelectPage::PortSelectPage(Platform& platform, InstallRequest settings)
    : Dialog(platform, IDD_PORT_SELECT), settings_(std::move(settings)) {
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

void PortSelectPage::scanPorts() {
    showDiscovery(discoverPorts(platform_.registry, platform_.spooler));
}

void PortSelectPage::showDiscovery(const PortGroups& groups) {
    portList.applyStandardStyle();
    allPorts = groups.all;
    usbPorts = groups.usb;
    serialPorts = groups.serial;
    lptPorts = groups.lpt;
    tcpipPorts = groups.tcpip;
    // A row the list does not hold (row 3 beside the three kinds of port) changes nothing.
    portList.selectRow(groups.preferredRow);
    // Deliberate: no window handles "MyUpdateData", so the send changes nothing; it is kept
    // because the installer has always sent it at the end of discovery (a test checks it).
    ui_.sendMessage(window(), installerState().updateDataMessage, 0, 0);
    if (int row = portList.selectedRow(); row >= 0) {
        selectedRow = row;
    }
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
    InstallRequest request = settings_;
    if (selectedRow == kUsbPortRow) {
        // The automatic choice: discovery picks the group, its first port is the port.
        request.port = PortChoice::Automatic;
        request.bindUsbPort = state.autoPortFlag == 1;
        // Discovery's row counts on this list, which "Search Port..." may have refilled.
        request.listRows = portList.itemCount();
        request.keptRow = selectedRow;
    } else {
        if (state.autoPortFlag == 1) {
            control<Button>(IDC_PS_INSTALL).enable(false);
            messageBox("Please click \"Search Port...\",then select port!");
            return;
        }
        if (int row = portList.selectedRow(); row >= 0) {
            portName = portList.itemText(row, 0);
        }
        request.port = PortChoice::Named;
        request.portName = portName;
    }
    // One installation at a time on the machine, the command line's included.
    const InstallLock lock = takeInstallLock(platform_.system);
    if (lock.busy()) {
        messageBox(kAnotherInstallText);
        return;
    }
    report_ = install(platform_, request, *this);
    if (request.port == PortChoice::Automatic && !report_.portName.empty()) {
        autoPortName = report_.portName;
    }
    portName = report_.portName;
    onOK();
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
