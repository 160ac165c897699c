// The second page: the printer model, the default-printer flag and the (hidden) port and
// serial-line settings. "&Next >" opens the port page with what was chosen here.
#pragma once

#include "dialog/Dialog.h"
#include "install/Installation.h"

#include <string>

namespace vexo {

// The selections the page opens with.
inline constexpr int kDefaultModel = 0;    // "K20A"
inline constexpr int kDefaultPort = 0;     // "LPT1"
inline constexpr int kDefaultBaud = 5;     // "19200"
inline constexpr int kDefaultDataBits = 3; // "8"
inline constexpr int kDefaultStopBits = 0; // "1"
inline constexpr int kDefaultParity = 2;   // "None"
inline constexpr int kDefaultFlow = 2;     // "Hardware"

class PrinterSettingsPage : public Dialog {
  public:
    explicit PrinterSettingsPage(Platform& platform);

    // What the page's controls ask of the installation: the model, the default-printer
    // flag and, for a COM port, its line settings.
    [[nodiscard]] InstallRequest installRequest();

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
    // The completion box, or the list of what failed.
    void showReport(const InstallReport& report);

    IconId appIcon_ = 0;
};

} // namespace vexo
