#include "install/Architecture.h"

#include "platform/Text.h"

namespace vexo {

const ArchitectureRow& architectureOf(const Architectures& a) {
    for (const ArchitectureRow& row : kArchitectures) {
        if (row.native == a.native) {
            return row;
        }
    }
    return kArchitectures[0];
}

const ArchitectureRow& architectureOf(System& system) {
    return architectureOf(system.machineArchitectures());
}

const char* programText(const Architectures& a) {
    return a.program == Machine::X86 ? "a 32-bit program" : "a 64-bit program";
}

std::string architectureText(const Architectures& a) {
    const char* program = a.program == Machine::X86 ? "the x86 build" : "the x64 build";
    switch (architectureOf(a).native) {
    case Machine::Arm64:
        return cat(
            {", Windows on ARM (64-bit): this program, ", program, ", runs under emulation"});
    case Machine::X64:
        return a.program == Machine::X86 ? ", 64-bit (this program runs under WoW64)" : ", 64-bit";
    default:
        return ", 32-bit";
    }
}

} // namespace vexo
