// The system the installer runs on, by what each part serves: the file system, who this
// process is, the machine and process it runs in, and the installation lock. Texts and paths
// are UTF-8; paths use backslashes as on Windows.
#pragma once

#include "platform/Files.h"
#include "platform/Identity.h"
#include "platform/Lock.h"
#include "platform/MachineServices.h"

namespace vexo {

class System : public FileSystem, public Identity, public MachineServices, public LockService {};

} // namespace vexo
