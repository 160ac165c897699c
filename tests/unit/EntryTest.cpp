#include "app/Entry.h"
#include "Fixture.h"
#include "install/ExitCodes.h"
#include "resources/ResourceIds.h"

#include <string>
#include <vector>

namespace vexo::test {
namespace {

using sim::DialogDriver;

// Services that log each step, over the simulated machine.
class LoggingServices final : public EntryServices {
  public:
    LoggingServices(sim::SimMachine& machine, std::vector<std::string>& log)
        : machine_(machine), log_(log) {}

    void restrictDllSearch() override { log_.push_back(step("restrictDllSearch")); }
    void initCommonControls() override { log_.push_back(step("initCommonControls")); }
    Platform& makePlatform() override {
        log_.push_back(step("makePlatform"));
        return machine_.platform;
    }
    std::vector<std::string> arguments() override { return {}; }
    std::string commandLine() override { return "VexoSetup.exe"; }

  private:
    // The step, with how many machine calls had been made by then.
    std::string step(const std::string& name) const {
        return name + " after " + std::to_string(machine_.faults.calls().size()) + " calls";
    }

    sim::SimMachine& machine_;
    std::vector<std::string>& log_;
};

using EntryTest = MachineTest;

TEST_F(EntryTest, RestrictsTheDllSearchBeforeAnythingElseRuns) {
    std::vector<std::string> log;
    machine.faults.clearCalls();
    ui.onDialog(IDD_OS_SELECT, [&](DialogDriver& d) {
        log.push_back("page " + std::to_string(IDD_OS_SELECT));
        d.click(IDC_OS_INSTALL);
    });
    ui.onDialog(IDD_PRINTER_SETTINGS, [&](DialogDriver& d) {
        log.push_back("page " + std::to_string(IDD_PRINTER_SETTINGS));
        d.click(IDC_SET_EXIT);
    });
    LoggingServices services(machine, log);

    EXPECT_EQ(runInstaller(services), kExitUserCancelled) << "left before installing";

    EXPECT_EQ(log, (std::vector<std::string>{
                       "restrictDllSearch after 0 calls", "initCommonControls after 0 calls",
                       "makePlatform after 0 calls", "page " + std::to_string(IDD_OS_SELECT),
                       "page " + std::to_string(IDD_PRINTER_SETTINGS)}));
    EXPECT_FALSE(machine.faults.calls().empty()) << "the pages ran on the made platform";
}

TEST_F(EntryTest, AWizardThatCannotStartEndsWithANonZeroExitCode) {
    std::vector<std::string> log;
    ui.failToCreate(IDD_OS_SELECT, err::ResourceNameNotFound);
    LoggingServices services(machine, log);
    EXPECT_EQ(runInstaller(services), 1);
}

} // namespace
} // namespace vexo::test
