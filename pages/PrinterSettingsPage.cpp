#include "pages/PrinterSettingsPage.h"

#include "install/DriverDeployment.h"
#include "pages/AboutDialog.h"
#include "pages/InstallerState.h"
#include "pages/PortSelectPage.h"
#include "resources/ResourceIds.h"

#include <memory>

namespace vexo {

namespace {

// The port page opened last. It outlives its window, so that portPage still refers to a
// valid object after the page has closed; the next "&Next >" replaces it.
std::unique_ptr<PortSelectPage>& lastPortPage() {
    static std::unique_ptr<PortSelectPage> page;
    return page;
}

} // namespace

PrinterSettingsPage::PrinterSettingsPage(Platform& platform)
    : Dialog(platform, IDD_PRINTER_SETTINGS) {
    appIcon_ = ui_.loadIcon(IDI_APP);
    onCommand(IDC_SET_MODEL, notify::ComboSelChange, [this] { onModelChanged(); });
    onCommand(IDC_SET_PORT, notify::ComboSelChange, [this] { onPortChanged(); });
    onClicked(IDC_SET_NEXT, [this] { onNext(); });
    onClicked(IDC_SET_BACK, [this] { Dialog::onCancel(); });
    onClicked(IDC_SET_EXIT, [this] { onCancel(); });
}

PrinterSettingsPage::~PrinterSettingsPage() {
    if (installerState().settingsPage == this) {
        installerState().settingsPage = nullptr;
    }
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
    modelCombo.select(0);

    control<Button>(IDC_SET_DEFAULT_PRINTER).setCheckState(CheckChecked);
    control<Edit>(IDC_SET_PRINTER_NAME).setText(modelCodes[0]);

    portCombo = control<ComboBox>(IDC_SET_PORT);
    baudCombo = control<ComboBox>(IDC_SET_BAUD);
    dataBitsCombo = control<ComboBox>(IDC_SET_DATA_BITS);
    stopBitsCombo = control<ComboBox>(IDC_SET_STOP_BITS);
    parityCombo = control<ComboBox>(IDC_SET_PARITY);
    flowCombo = control<ComboBox>(IDC_SET_FLOW);
    portCombo.select(0);     // "LPT1"
    baudCombo.select(5);     // "19200"
    dataBitsCombo.select(3); // "8"
    stopBitsCombo.select(0); // "1"
    parityCombo.select(2);   // "None"
    flowCombo.select(2);     // "Hardware"
    for (const ComboBox* c :
         {&baudCombo, &dataBitsCombo, &stopBitsCombo, &parityCombo, &flowCombo}) {
        c->enable(false);
    }

    installerState().settingsPage = this;
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

void PrinterSettingsPage::onNext() {
    InstallerState& state = installerState();
    lastPortPage() = std::make_unique<PortSelectPage>(platform_);
    PortSelectPage* page = lastPortPage().get();
    state.portPage = page;
    std::intptr_t result = page->doModal();
    if (result == IdCancel) {
        return;
    }
    state.selectedPortName = page->portName;
    // Only an installation that ran reports; one that failed says what failed, on every
    // Windows version.
    if (installReport.ran && !installReport.succeeded()) {
        messageBox(installReport.failureMessage(), mb::Ok | mb::IconError);
    } else if (installReport.ran && state.osType >= 3 && state.osType <= 9) {
        messageBox(installReport.completionMessage());
    }
    onOK();
}

namespace {

// The deployment's view of the settings page's controls, read when it gets to them.
class PageInputs final : public DeploymentInputs {
  public:
    explicit PageInputs(PrinterSettingsPage& page) : page_(page) {}
    int portIndex() override { return page_.portCombo.selection(); }
    int modelIndex() override { return page_.modelCombo.selection(); }
    std::optional<SerialLine> serialLine() override {
        auto code = [](const auto& table, int index) -> std::optional<std::string> {
            if (index < 0 || index >= static_cast<int>(table.size())) {
                return std::nullopt;
            }
            return std::string(table[static_cast<std::size_t>(index)]);
        };
        // Read in the page's order: baud, data bits, stop bits, parity, flow.
        auto baud = code(baudCodes, page_.baudCombo.selection());
        auto dataBits = code(dataBitsCodes, page_.dataBitsCombo.selection());
        auto stopBits = code(stopBitsCodes, page_.stopBitsCombo.selection());
        auto parity = code(parityCodes, page_.parityCombo.selection());
        auto flow = code(flowCodes, page_.flowCombo.selection());
        auto port = code(portCodes, page_.portCombo.selection());
        if (!baud || !dataBits || !stopBits || !parity || !flow || !port) {
            return std::nullopt;
        }
        return SerialLine{*port, *baud, *parity, *dataBits, *stopBits, *flow};
    }
    bool setDefaultPrinter() override { return page_.readDefaultPrinterCheck(); }

  private:
    PrinterSettingsPage& page_;
};

// Without a port page there is no progress to show; the registry error box still shows.
class NoPortPage final : public InstallFeedback {
  public:
    explicit NoPortPage(Platform& platform) : platform_(platform) {}
    void progress(int) override {}
    bool askRetryUsbPort() override { return false; }
    void showRegistryError() override { appMessageBox(platform_, kRegistryErrorMessage); }

  private:
    Platform& platform_;
};

} // namespace

void PrinterSettingsPage::installDriver(const DeploymentVariant& variant) {
    InstallerState& state = installerState();
    state.selectedPortName = state.portPage != nullptr ? state.portPage->portName : "";
    PageInputs inputs(*this);
    NoPortPage noPortPage(platform_);
    InstallFeedback* user = &noPortPage;
    if (state.portPage != nullptr) {
        user = state.portPage;
    }
    deployDriver(platform_, variant, inputs, *user, state.selectedPortName, state.monitorName,
                 installReport);
}

bool PrinterSettingsPage::readDefaultPrinterCheck() {
    defaultPrinterCheck = control<Button>(IDC_SET_DEFAULT_PRINTER);
    return defaultPrinterCheck.checkState() == CheckChecked;
}

void PrinterSettingsPage::installDriverX86() {
    installDriver(kX86Deployment);
}

void PrinterSettingsPage::installDriverX64() {
    installDriver(kX64Deployment);
}

} // namespace vexo
