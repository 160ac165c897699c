#include "pages/InstallerState.h"

#include "dialog/Dialog.h"
#include "platform/Text.h"

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
    std::string why =
        error == err::Success
            ? std::string("Windows gave no reason.")
            : cat({platform.system.errorText(error), " (error ", Decimal(error), ")"});
    std::string text = cat({"The installer could not open its window (dialog ",
                            Decimal(static_cast<std::uint64_t>(templateId)), "): ", why});
    platform.system.debugOutput(cat({platform.system.programTitle(), ": ", text, "\n"}));
    // Without a display this box cannot open either; the debugger output and the exit
    // code still tell.
    appMessageBox(platform, text, mb::Ok | mb::IconError);
}

} // namespace vexo
