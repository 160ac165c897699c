// Everything the installer needs of the machine, passed down from the entry point.
#pragma once

#include "platform/Registry.h"
#include "platform/Resources.h"
#include "platform/Spooler.h"
#include "platform/System.h"
#include "platform/Ui.h"

namespace vexo {

struct Platform {
    Spooler& spooler;
    Registry& registry;
    System& system;
    Ui& ui;
    const Resources& resources;
};

} // namespace vexo
