// The command line's front end of the installation: a run with arguments, with or without
// "/quiet". It writes a log, takes the installation mutex, checks the request against the
// machine before anything changes, installs or removes, and returns the exit code
// (install/ExitCodes.h). Quiet, it never opens a window: what the wizard would show goes to
// the log.
#pragma once

#include "cli/CommandLine.h"
#include "platform/Platform.h"
#include "platform/Version.h"

#include <string>

namespace vexo {

// The version the log names, as the version resource says it.
inline constexpr const char* kProgramVersion = VEXO_VERSION_TEXT;

// Runs `line`. `commandLine` is the whole command line as started, for the log. A Wizard
// line comes here only where nobody can see a window: the run ends 1639, its log saying that
// the wizard needs a desktop and what command line such a session takes.
int runUnattended(Platform& platform, const CommandLine& line, const std::string& commandLine);

} // namespace vexo
