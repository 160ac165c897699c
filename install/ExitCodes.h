// The exit codes of the wizard and the unattended run, the ones Windows Installer uses, so
// that deployment tools read them as they read an installer package's.
#pragma once

namespace vexo {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitPageFailed = 1;            // a page of the wizard could not open
inline constexpr int kExitUserCancelled = 1602;      // the user left before installing
inline constexpr int kExitInstallFailed = 1603;      // a step of the installation failed
inline constexpr int kExitAnotherInstall = 1618;     // another installation is running
inline constexpr int kExitInvalidCommandLine = 1639; // the command line was refused

} // namespace vexo
