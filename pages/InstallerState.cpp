#include "pages/InstallerState.h"

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

} // namespace vexo
