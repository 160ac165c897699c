// A fresh simulated machine and installer state for each test, and a check at the end that
// the scripted user met no surprise (a dialog without a script, an unanswered box).
#pragma once

#include "pages/InstallerState.h"
#include "tests/sim/SimMachine.h"

#include <gtest/gtest.h>

namespace vexo::test {

class MachineTest : public ::testing::Test {
  protected:
    MachineTest() { resetInstallerState(); }
    ~MachineTest() override { resetInstallerState(); }

    void TearDown() override {
        for (const std::string& e : machine.ui.errors()) {
            ADD_FAILURE() << "headless user: " << e;
        }
        EXPECT_EQ(machine.ui.pendingScripts(), 0u) << "scripted dialogs that never opened";
        EXPECT_EQ(machine.ui.pendingAnswers(), 0u) << "message-box answers never used";
    }

    sim::SimMachine machine;
    Platform& platform = machine.platform;
    sim::HeadlessUi& ui = machine.ui;
    InstallerState& state = installerState();
};

} // namespace vexo::test
