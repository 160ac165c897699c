// Undoing what an installation changed, from its record: newest change first, each undo a
// line for the log ("Undo: delete the port "IP_10.0.0.20": done"). An undo that fails is
// logged with Windows' text, and the rest are still undone. A driver is deleted only through
// the spooler, by name, environment and version, with the files no other driver uses: the
// universal driver's files serve other printers too, so no file of its version folder is ever
// deleted by its path.
#pragma once

#include "install/ChangeRecord.h"
#include "install/InstallReport.h"
#include "platform/Platform.h"

#include <string>

namespace vexo {

// Why the undo refuses `changes` whole: a change of a kind, a key, a file or a name that the
// installation never writes; empty when it accepts them all. Asks the spooler where its
// driver directories are.
[[nodiscard]] std::string undoRefusal(Spooler& spooler, const ChangeRecord& changes);

// Undoes `changes`, newest first; the undos that failed go into `failures`.
void undoChanges(Platform& platform, const ChangeRecord& changes, InstallFeedback& feedback,
                 StepFailures& failures);

} // namespace vexo
