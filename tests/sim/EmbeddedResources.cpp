#include "tests/sim/EmbeddedResources.h"

#include "tests/sim/ResFile.h"

#include <cstddef>

// Generated from the compiled resource file (resources/CMakeLists.txt).
extern const unsigned char kVexoCompiledResources[];
extern const std::size_t kVexoCompiledResourcesSize;

namespace vexo {

std::span<const std::uint8_t> embeddedResourceBytes() {
    return {kVexoCompiledResources, kVexoCompiledResourcesSize};
}

const Resources& embeddedResources() {
    static const ResFileResources resources(embeddedResourceBytes());
    return resources;
}

} // namespace vexo
