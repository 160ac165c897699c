#include "pages/PrinterSettingsPage.h"

#include "install/ModelTables.h"
#include "install/Outcome.h"
#include "pages/AboutDialog.h"
#include "pages/InstallerState.h"
#include "pages/PortSelectPage.h"
#include "resources/ResourceIds.h"

namespace vexo {

PrinterSettingsPage::PrinterSettingsPage(Platform& platform)
    : Dialog(platform, IDD_PRINTER_SETTINGS) {
    appIcon_ = ui_.loadIcon(IDI_APP);
    onCommand(IDC_SET_MODEL, notify::ComboSelChange, [this] { onModelChanged(); });
    onCommand(IDC_SET_PORT, notify::ComboSelChange, [this] { onPortChanged(); });
    onClicked(IDC_SET_NEXT, [this] { onNext(); });
    onClicked(IDC_SET_BACK, [this] { Dialog::onCancel(); });
    onClicked(IDC_SET_EXIT, [this] { onCancel(); });
}

bool PrinterSettingsPage::onInitDialog() {
    Dialog::onInitDialog();

    std::string aboutText = ui_.loadString(IDS_ABOUTBOX);
    if (ui_.hasSystemMenu(window()) && !aboutText.empty()) {
        ui_.appendSystemMenuSeparator(window());
        ui_.appendSystemMenuItem(window(), IDM_ABOUTBOX, aboutText);
    }
    ui_.setIcon(window(), true, appIcon_);
    ui_.setIcon(window(), false, appIcon_);

    modelCombo = control<ComboBox>(IDC_SET_MODEL);
    modelCombo.reset();
    for (const char* code : modelCodes) {
        modelCombo.add(code);
    }
    modelCombo.select(kDefaultModel);

    control<Button>(IDC_SET_DEFAULT_PRINTER).setCheckState(CheckChecked);
    control<Edit>(IDC_SET_PRINTER_NAME).setText(modelCodes[kDefaultModel]);

    portCombo = control<ComboBox>(IDC_SET_PORT);
    baudCombo = control<ComboBox>(IDC_SET_BAUD);
    dataBitsCombo = control<ComboBox>(IDC_SET_DATA_BITS);
    stopBitsCombo = control<ComboBox>(IDC_SET_STOP_BITS);
    parityCombo = control<ComboBox>(IDC_SET_PARITY);
    flowCombo = control<ComboBox>(IDC_SET_FLOW);
    portCombo.select(kDefaultPort);
    baudCombo.select(kDefaultBaud);
    dataBitsCombo.select(kDefaultDataBits);
    stopBitsCombo.select(kDefaultStopBits);
    parityCombo.select(kDefaultParity);
    flowCombo.select(kDefaultFlow);
    for (const ComboBox* c :
         {&baudCombo, &dataBitsCombo, &stopBitsCombo, &parityCombo, &flowCombo}) {
        c->enable(false);
    }
    defaultPrinterCheck = control<Button>(IDC_SET_DEFAULT_PRINTER);
    return true;
}

void PrinterSettingsPage::onCancel() {
    onOK();
}

bool PrinterSettingsPage::onSysCommand(std::uint32_t command) {
    if ((command & 0xFFF0) == IDM_ABOUTBOX) {
        AboutDialog about(platform_);
        about.doModal();
        return true;
    }
    return false;
}

bool PrinterSettingsPage::onPaint() {
    if (!ui_.isIconic(window())) {
        return false;
    }
    IconId icon = appIcon_;
    int iconW = ui_.iconWidth();
    int iconH = ui_.iconHeight();
    ui_.paint(window(), [&](Painter& p) {
        p.eraseIconBackground();
        int x = (p.clientWidth() - iconW + 1) / 2;
        int y = (p.clientHeight() - iconH + 1) / 2;
        p.drawIcon(x, y, icon);
    });
    return true;
}

IconId PrinterSettingsPage::onQueryDragIcon() {
    return appIcon_;
}

void PrinterSettingsPage::onModelChanged() {
    int m = modelCombo.selection();
    if (m >= 0 && m < static_cast<int>(modelCodes.size())) {
        control<Edit>(IDC_SET_PRINTER_NAME).setText(modelCodes[static_cast<std::size_t>(m)]);
    }
}

void PrinterSettingsPage::onPortChanged() {
    bool serial = portCombo.selection() > kLastParallelPort;
    for (const ComboBox* c :
         {&baudCombo, &dataBitsCombo, &stopBitsCombo, &parityCombo, &flowCombo}) {
        c->enable(serial);
    }
}

InstallRequest PrinterSettingsPage::installRequest() {
    InstallRequest request;
    request.model = modelCombo.selection();
    request.setDefaultPrinter = defaultPrinterCheck.checkState() == CheckChecked;
    if (int port = portCombo.selection(); port > kLastParallelPort) {
        // Read in the page's order: baud, data bits, stop bits, parity, flow.
        SerialLine line;
        line.portCode = codeAt(portCodes, port);
        line.baud = codeAt(baudCodes, baudCombo.selection());
        line.dataBits = codeAt(dataBitsCodes, dataBitsCombo.selection());
        line.stopBits = codeAt(stopBitsCodes, stopBitsCombo.selection());
        line.parity = codeAt(parityCodes, parityCombo.selection());
        line.flow = codeAt(flowCodes, flowCombo.selection());
        request.serialLine = line;
    }
    return request;
}

void PrinterSettingsPage::onNext() {
    PortSelectPage page(platform_, installRequest());
    std::intptr_t result = page.doModal();
    if (result == IdCancel) {
        return;
    }
    if (result == -1) {
        reportPageFailure(platform_, IDD_PORT_SELECT);
    } else {
        installerState().selectedPortName = page.portName;
        showReport(page.report());
    }
    onOK();
}

void PrinterSettingsPage::showReport(const InstallReport& report) {
    // Only an installation that ran reports; one that failed says what failed, on every
    // Windows version.
    if (!report.ran) {
        return;
    }
    installerState().exitCode = exitCodeOf(report);
    const FinalMessage message =
        finalMessageOf(report, FrontEnd::Wizard, isNtFamily(installerState().osType));
    if (!message.text.empty()) {
        messageBox(message.text, message.style);
    }
}

} // namespace vexo
