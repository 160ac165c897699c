// The second page: the printer model, the default-printer flag and the (hidden) port and
// serial-line settings, with the code tables they translate into.
#pragma once

#include "dialog/Dialog.h"
#include "install/DriverDeployment.h"
#include "install/InstallReport.h"
#include "install/ModelTables.h"

#include <array>
#include <string>

namespace vexo {

// The serial settings' codes, indexed by the selection of their lists.
inline constexpr std::array<const char*, 7> portCodes = {
    "LPT1:", "LPT2:", "LPT3:", "COM1:", "COM2:", "COM3:", "COM4:"};
inline constexpr std::array<const char*, 9> baudCodes = {"300",   "1200",  "2400",  "4800",  "9600",
                                                         "19200", "38400", "57600", "115200"};
inline constexpr std::array<const char*, 4> dataBitsCodes = {"5", "6", "7", "8"};
inline constexpr std::array<const char*, 3> stopBitsCodes = {"1", "1.5", "2"};
inline constexpr std::array<const char*, 5> parityCodes = {"E", "M", "N", "O", "S"};
inline constexpr std::array<const char*, 3> flowCodes = {" ", "x", "p"};

class PrinterSettingsPage : public Dialog {
  public:
    explicit PrinterSettingsPage(Platform& platform);
    ~PrinterSettingsPage() override;

    // The driver deployment for 32-bit and for 64-bit Windows, run while the port page is
    // open on top of this page; what failed is left in installReport.
    void installDriverX86();
    void installDriverX64();
    InstallReport installReport;
    // The state of "Set Default Printer", read when the deployment gets to it.
    bool readDefaultPrinterCheck();

    // The controls, bound at initialisation.
    ComboBox modelCombo, portCombo, baudCombo, dataBitsCombo, stopBitsCombo, parityCombo, flowCombo;
    Button defaultPrinterCheck;

  protected:
    bool onInitDialog() override;
    // Deliberate: this page's Cancel performs its OK, so Esc, the close box and "&Exit"
    // end the installer (the wizard loop goes back to the first page only on IDCANCEL,
    // which "< &Back" alone gives).
    void onCancel() override;
    bool onSysCommand(std::uint32_t command) override;
    bool onPaint() override;
    IconId onQueryDragIcon() override;

  private:
    void onModelChanged();
    void onPortChanged();
    void onNext();
    void installDriver(const DeploymentVariant& variant);

    IconId appIcon_ = 0;
};

} // namespace vexo
