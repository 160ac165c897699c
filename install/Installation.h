// The installation as one call: the request says what to install, the feedback is the only
// way back to a person, and the report says what happened. The wizard and the unattended
// run are two front ends of it.
#pragma once

#include "install/InstallFeedback.h"
#include "install/InstallReport.h"
#include "install/PrintingDefaults.h"
#include "install/SerialLine.h"
#include "platform/Platform.h"

#include <optional>
#include <string>

namespace vexo {

enum class PortChoice {
    Automatic, // discovery picks the port group; its first port is the port
    Named,     // the port `portName`, without discovery or binding
};

// What becomes of a printer of the model's name that exists already.
enum class ExistingPrinter {
    Keep,         // it keeps its port and settings (the wizard)
    SetToRequest, // it is set to the port asked for (the command line)
};

struct InstallRequest {
    int model = 0; // index into modelCodes
    bool setDefaultPrinter = true;
    // The line settings written for a COM port; none leaves the line as it is.
    std::optional<SerialLine> serialLine;
    PortChoice port = PortChoice::Automatic;
    // On the automatic choice: bind the printer to each USB port in turn until it is on
    // line, asking to retry when none is.
    bool bindUsbPort = true;
    // The list the automatic choice reads its row from: its row count, and the row it keeps
    // selected when it cannot show discovery's (see automaticRow). The port page passes its
    // own list; the command line the list as the page opens.
    int listRows = kPortKindRows;
    int keptRow = kUsbPortRow;
    std::string portName; // the named port
    // A Standard TCP/IP port to create (or take, when one of its name has its settings); it is
    // then the port, whatever `port` says.
    std::optional<TcpPort> tcpPort;
    // The printer's name; empty names it after the model. The driver is always the model's.
    std::string printerName;
    // The printer's location and comment; empty leaves an existing printer's as they are.
    std::string location;
    std::string comment;
    // Either way, a printer of that name on another driver is not this model's: it is left
    // as it is and the step fails.
    ExistingPrinter existingPrinter = ExistingPrinter::Keep;
    // Keep a record of each change, with what was there before, so that the run can be undone.
    bool keepRecord = false;
    // Printing defaults to set for every user once the printer is there; none asks nothing.
    PrintingDefaults defaults;
};

// Windows protected print mode's policy value (a DWORD, 1 when on) under HKLM.
inline constexpr const char* kProtectedPrintKey =
    "SOFTWARE\\Policies\\Microsoft\\Windows NT\\Printers\\WPP";
inline constexpr const char* kProtectedPrintValue = "WindowsProtectedPrintGroupPolicyState";

// Windows on ARM with a package that has no ARM64 driver: nothing is installed.
inline constexpr const char* kNoArm64DriverText =
    "This PC runs Windows on ARM, and the driver package has no ARM64 driver (\"Printer "
    "Driver\\ARM64\\\"): Windows on ARM loads only ARM64 printer drivers, so nothing was "
    "installed or changed. Ask the printer's maker for a driver package with an ARM64 driver";

// Whether the policy turns Windows protected print mode on: Windows then accepts only its
// own inbox printer drivers and removes any other.
bool protectedPrintModeOn(Registry& registry);

// The printer's name for a model; empty for an index outside the model tables.
std::string printerNameOf(int model);
// The printer's name the request asks for: its own, else the model's.
std::string printerNameOf(const InstallRequest& request);

// Settles the port, decides between the x86 and the x64 driver, binds the printer to a USB
// port when asked, deploys the driver and adds the printer. Under Windows protected print
// mode nothing is installed.
InstallReport install(Platform& platform, const InstallRequest& request, InstallFeedback& feedback);

} // namespace vexo
