// The program's compiled resources (resources/vexo.rc, built by windres) embedded in the
// linux build, so the headless backend and the tests read the real templates.
#pragma once

#include "platform/Resources.h"

#include <cstdint>
#include <span>

namespace vexo {

const Resources& embeddedResources();

// The bytes of the embedded .res file.
std::span<const std::uint8_t> embeddedResourceBytes();

} // namespace vexo
