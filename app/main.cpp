// The Windows entry point: runInstaller over the Win32 implementations and the process's
// own command line. runInstaller
// restricts the DLL search to System32 before anything else runs, so that a DLL planted
// beside the program or in the current directory (a download folder, while the program
// runs elevated) is never loaded.
#include "app/Entry.h"
#include "platform/win32/Win32Platform.h"

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

class Win32Entry final : public vexo::EntryServices {
  public:
    void restrictDllSearch() override { vexo::win32::restrictDllSearch(); }
    void initCommonControls() override { vexo::win32::initCommonControls(); }
    vexo::Platform& makePlatform() override {
        machine_ = std::make_unique<vexo::win32::Win32Machine>();
        return machine_->platform();
    }
    std::vector<std::string> arguments() override { return vexo::win32::commandLineArguments(); }
    std::string commandLine() override { return vexo::win32::commandLineText(); }

  private:
    std::unique_ptr<vexo::win32::Win32Machine> machine_;
};

} // namespace

// The runtime's default handler for an exception nobody caught writes the exception's
// demangled type to the standard error, which a windowed program does not have; it brings
// the whole C++ demangler into the program (about 50 KB). This one ends the process as the
// default does afterwards, without the text. The linker takes it instead of the runtime's.
namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
} // namespace __gnu_cxx

int main() {
    Win32Entry entry;
    return vexo::runInstaller(entry);
}
