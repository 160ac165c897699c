#include "pages/PortSelectPage.h"

#include "app/InstallerState.h"
#include "resources/ResourceIds.h"

namespace vexo {

PortSelectPage::PortSelectPage(Platform& platform) : Dialog(platform, IDD_PORT_SELECT) {
    onClicked(IDC_PS_BACK, [this] { onBack(); });
    onClicked(IDC_PS_CANCEL, [this] { onCancel(); });
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
    portList.selectRow(1);
    progressBar.setRange(0, 100);
    progressBar.setPos(0);
    return true;
}

void PortSelectPage::onBack() {
    Dialog::onCancel();
    installerState().autoPortFlag = 1;
}

} // namespace vexo
