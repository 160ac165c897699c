// The exit codes of the unattended run, the ones Windows Installer uses, so that deployment
// tools read them as they read an installer package's.
#pragma once

namespace vexo {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitUserCancelled = 1602;      // a person cancelled (a non-quiet run)
inline constexpr int kExitInstallFailed = 1603;      // the installation failed
inline constexpr int kExitAnotherInstall = 1618;     // another installation is running
inline constexpr int kExitInvalidCommandLine = 1639; // the command line was refused

} // namespace vexo
