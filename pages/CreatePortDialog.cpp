#include "pages/CreatePortDialog.h"

#include "resources/ResourceIds.h"

namespace vexo {

CreatePortDialog::CreatePortDialog(Platform& platform) : Dialog(platform, IDD_CREATE_PORT) {
    onClicked(IDC_CP_NEW_PORT, [this] { onNewPort(); });
    onClicked(IDC_CP_CLOSE, [this] { onCancel(); });
}

bool CreatePortDialog::onInitDialog() {
    Dialog::onInitDialog();
    monitorList = control<ListView>(IDC_CP_MONITOR_LIST);
    std::vector<MonitorInfo1> monitors;
    if (platform_.spooler.enumMonitors(monitors) != err::Success) {
        monitors.clear();
    }
    monitorList.applyStandardStyle();
    monitorList.insertColumn(0, "Available Port Type");
    monitorList.setColumnWidth(0, 340);
    for (std::size_t i = 0; i < monitors.size(); ++i) {
        if (!monitors[i].name) {
            continue;
        }
        platform_.system.debugOutput(*monitors[i].name + "\n");
        monitorList.insertItem(static_cast<int>(i), *monitors[i].name);
    }
    monitorList.selectRow(0);
    return true;
}

void CreatePortDialog::onNewPort() {
    int row = monitorList.selectedRow();
    if (row >= 0) {
        (void)platform_.spooler.addPort(window(), monitorList.itemText(row, 0));
    }
}

} // namespace vexo
