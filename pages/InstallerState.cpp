#include "pages/InstallerState.h"

#include "dialog/Dialog.h"

namespace vexo {

namespace {
InstallerState state;
} // namespace

InstallerState& installerState() {
    return state;
}

void resetInstallerState() {
    state = InstallerState{};
}

void reportPageFailure(Platform& platform, int templateId) {
    state.exitCode = kExitPageFailed;
    WinError error = platform.ui.modalError();
    std::string why = error == err::Success ? std::string("Windows gave no reason.")
                                            : platform.system.errorText(error) + " (error " +
                                                  std::to_string(error) + ")";
    std::string text = "The installer could not open its window (dialog " +
                       std::to_string(templateId) + "): " + why;
    platform.system.debugOutput(platform.system.programTitle() + ": " + text + "\n");
    // Without a display this box cannot open either; the debugger output and the exit
    // code still tell.
    appMessageBox(platform, text, mb::Ok | mb::IconError);
}

} // namespace vexo
