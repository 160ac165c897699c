#include "app/Entry.h"
#include "Fixture.h"
#include "install/ExitCodes.h"
#include "resources/ResourceIds.h"

#include <fstream>
#include <functional>
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

// A wizard that cannot be shown ends at once, with an exit code that says so. Where nobody can
// see a window it would wait forever: no window opens, and the fresh log says what to run.
TEST_F(EntryTest, AWizardThatCannotBeShownEndsAtOnce) {
    const std::string time = "2026-12-08 10:00:00.000  ";
    struct Row {
        std::function<void()> setUp;
        int exitCode;
        std::string log; // lines of the fresh log after its header; empty: none is written
    };
    for (const Row& r :
         {Row{[&] { ui.failToCreate(IDD_OS_SELECT, err::ResourceNameNotFound); }, 1, ""},
          Row{[&] { machine.system.setCanShowWindows(false); }, kExitInvalidCommandLine,
              "Without arguments the program is the setup wizard, which needs a desktop: nobody "
              "can see a window in this session (session 0, or a window station that is not "
              "visible), so nothing was changed. Here the command line is /quiet /model MODEL "
              "with the switches below\r\n" +
                  time + "Usage:\r\n"}}) {
        std::vector<std::string> steps;
        r.setUp();
        LoggingServices services(machine, steps);
        const std::size_t windows = ui.messageBoxes().size() + ui.openedDialogs().size();
        EXPECT_EQ(runInstaller(services), r.exitCode);
        std::ifstream in(machine.host("C:\\Users\\user\\AppData\\Local\\Temp\\VexoSetup-"
                                      "20261208-100000-4242-5eedc0de5eedc0de.log"),
                         std::ios::binary);
        const std::string text(std::istreambuf_iterator<char>(in), {});
        if (r.log.empty()) {
            EXPECT_EQ(text, "") << "the wizard writes no log";
            continue;
        }
        EXPECT_EQ(ui.messageBoxes().size() + ui.openedDialogs().size(), windows);
        EXPECT_NE(text.find(time + r.log), std::string::npos) << text;
        EXPECT_TRUE(text.ends_with(time + "Exit code 1639\r\n")) << text;
    }
}

} // namespace
} // namespace vexo::test
