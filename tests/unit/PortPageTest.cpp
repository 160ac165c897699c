#include "Fixture.h"
#include "pages/CreatePortDialog.h"
#include "pages/PortSelectPage.h"
#include "resources/ResourceIds.h"

namespace vexo::test {
namespace {

using sim::DialogDriver;

class PortPageTest : public MachineTest {
  protected:
    std::intptr_t run(const std::function<void(DialogDriver&)>& script) {
        ui.onDialog(IDD_PORT_SELECT, script);
        page = std::make_unique<PortSelectPage>(platform, InstallRequest{});
        return page->doModal();
    }
    void setPorts(const std::vector<std::string>& names) {
        machine.spooler.ports().clear();
        for (const auto& n : names) {
            machine.spooler.addLocalPort(n, "Local Port");
        }
    }
    std::unique_ptr<PortSelectPage> page;
};

TEST_F(PortPageTest, OpensWithTheThreeKindsOfPortAndUsbSelected) {
    run([&](DialogDriver& d) {
        EXPECT_EQ(d.column(IDC_PS_PORT_LIST, 0),
                  (std::vector<std::string>{"Serial port", "USB port", "TCP/IP port"}));
        EXPECT_EQ(d.cell(IDC_PS_PORT_LIST, 1, 1),
                  "The program will select a available USB port automatically");
        EXPECT_EQ(d.selectedRows(IDC_PS_PORT_LIST), std::vector<int>{1});
        EXPECT_EQ(d.rowState(IDC_PS_PORT_LIST, 1) & lv::StateFocused, 0u);
        EXPECT_EQ(d.columnHeadings(IDC_PS_PORT_LIST), (std::vector<std::string>{"Port", "Type"}));
        EXPECT_EQ(d.columnWidths(IDC_PS_PORT_LIST), (std::vector<int>{100, 520}));
        EXPECT_EQ(d.listExtendedStyle(IDC_PS_PORT_LIST), lv::ExGridLines | lv::ExFullRowSelect);
        EXPECT_EQ(d.progressRange(IDC_PS_PROGRESS), std::make_pair(0, 100));
        EXPECT_EQ(d.progressPos(IDC_PS_PROGRESS), 0);
        EXPECT_TRUE(d.enabled(IDC_PS_INSTALL));
        EXPECT_FALSE(d.visible(IDC_PS_SLIDER));
        d.click(IDC_PS_CANCEL);
    });
}

TEST_F(PortPageTest, SearchListsTheFirst256PortsSelectsNoneAndClearsTheFlag) {
    std::vector<std::string> names;
    for (int i = 0; i < 300; ++i) {
        names.push_back("P" + std::to_string(i));
    }
    setPorts(names);
    EXPECT_EQ(run([&](DialogDriver& d) {
                  d.click(IDC_PS_SEARCH_PORT);
                  EXPECT_EQ(d.rowCount(IDC_PS_PORT_LIST), 256);
                  EXPECT_EQ(d.cell(IDC_PS_PORT_LIST, 255, 0), "P255");
                  EXPECT_EQ(d.cell(IDC_PS_PORT_LIST, 0, 1), "Local Port");
                  EXPECT_TRUE(d.selectedRows(IDC_PS_PORT_LIST).empty());
                  EXPECT_EQ(state.autoPortFlag, 0);
                  EXPECT_EQ(d.columnHeadings(IDC_PS_PORT_LIST).size(), 2u);
                  d.click(IDC_PS_CANCEL);
              }),
              IdCancel);
    EXPECT_EQ(machine.system.debugLines().size(), 256u);
    EXPECT_EQ(machine.system.debugLines().front(), "P0\n");
    EXPECT_EQ(state.autoPortFlag, 0); // Cancel leaves it
}

TEST_F(PortPageTest, BackEndsWithCancelAndSetsTheFlagAgain) {
    state.autoPortFlag = 0;
    EXPECT_EQ(run([](DialogDriver& d) { d.click(IDC_PS_BACK); }), IdCancel);
    EXPECT_EQ(state.autoPortFlag, 1);
    state.autoPortFlag = 0;
    EXPECT_EQ(run([](DialogDriver& d) { d.pressEscape(); }), IdCancel);
    EXPECT_EQ(run([](DialogDriver& d) { d.closeBox(); }), IdCancel);
    EXPECT_EQ(state.autoPortFlag, 0);
}

TEST_F(PortPageTest, EnterDoesNotEndThePageAsIfItHadInstalled) {
    EXPECT_EQ(run([](DialogDriver& d) {
                  d.selectRow(IDC_PS_PORT_LIST, 0); // focus on the list, not on a button
                  d.pressEnter();
                  EXPECT_TRUE(d.isOpen());
                  d.click(IDC_PS_CANCEL);
              }),
              IdCancel);
}

struct CreateCase {
    std::vector<std::string> ports;
    int expectedRow; // -1: none
};

TEST_F(PortPageTest, CreatePortSelectsTheLpt1ThenCom1ThenFileRowButNeverRowZero) {
    const CreateCase cases[] = {
        {{"LPT1:", "X", "Y", "COM1:", "Z", "W", "V", "U", "T", "FILE:"}, 3},
        {{"COM1:", "X", "LPT1:", "FILE:"}, 2},
        {{"COM1:", "LPT1:", "FILE:"}, 1}, // the second row is not "no match"
        {{"LPT1:", "COM2:", "FIL2:"}, -1},
        {{"A", "FILE:"}, 1},
        {{"A", "COM1:", "B", "COM10:"}, 3}, // a later "COM1" match replaces the earlier
        {{}, -1},
    };
    for (const auto& c : cases) {
        setPorts(c.ports);
        ui.onDialog(IDD_CREATE_PORT, [](DialogDriver& d) { d.click(IDC_CP_CLOSE); });
        run([&](DialogDriver& d) {
            d.click(IDC_PS_CREATE_PORT);
            std::vector<int> expected;
            if (c.expectedRow >= 0) {
                expected.push_back(c.expectedRow);
            }
            EXPECT_EQ(d.selectedRows(IDC_PS_PORT_LIST), expected)
                << "first port " << (c.ports.empty() ? "none" : c.ports[0]);
            EXPECT_EQ(d.rowCount(IDC_PS_PORT_LIST), static_cast<int>(c.ports.size()));
            d.click(IDC_PS_CANCEL);
        });
    }
}

TEST_F(PortPageTest, CreatePortLeavesADisabledInstallButtonDisabled) {
    ui.onDialog(IDD_CREATE_PORT, [](DialogDriver& d) { d.closeBox(); });
    run([&](DialogDriver& d) {
        // as the Install command leaves it when it asks the user to search first
        ui.enable(ui.item(d.window(), IDC_PS_INSTALL), false);
        d.click(IDC_PS_CREATE_PORT);
        EXPECT_FALSE(d.enabled(IDC_PS_INSTALL));
        EXPECT_EQ(state.autoPortFlag, 0);
        EXPECT_EQ(d.rowCount(IDC_PS_PORT_LIST), 8); // machine-port mode
        d.click(IDC_PS_SEARCH_PORT);
        EXPECT_TRUE(d.enabled(IDC_PS_INSTALL));
        d.click(IDC_PS_CANCEL);
    });
}

TEST_F(PortPageTest, ConfigurePortAsksTheMonitorForTheSelectedRowOnly) {
    run([&](DialogDriver& d) {
        d.click(IDC_PS_CONFIGURE_PORT); // port-type mode: the row's label, which names no port
        d.click(IDC_PS_SEARCH_PORT);
        d.click(IDC_PS_CONFIGURE_PORT); // no row selected: nothing
        d.selectRow(IDC_PS_PORT_LIST, 5);
        d.click(IDC_PS_CONFIGURE_PORT);
        d.click(IDC_PS_CANCEL);
    });
    EXPECT_EQ(machine.spooler.configuredPorts(), (std::vector<std::string>{"USB port", "LPT1:"}));
    EXPECT_TRUE(ui.messageBoxes().empty());
}

class CreatePortDialogTest : public MachineTest {};

TEST_F(CreatePortDialogTest, ListsTheMonitorsWithRowZeroSelectedAndAddsPortsUntilClosed) {
    machine.spooler.monitors() = {MonitorInfo1{"Local Port"}, MonitorInfo1{std::nullopt},
                                  MonitorInfo1{"Standard TCP/IP Port"}};
    machine.spooler.queueNewPort("USB001");
    machine.spooler.queueNewPort("USB002");
    ui.onDialog(IDD_CREATE_PORT, [&](DialogDriver& d) {
        EXPECT_EQ(d.column(IDC_CP_MONITOR_LIST, 0),
                  (std::vector<std::string>{"Local Port", "Standard TCP/IP Port"}));
        EXPECT_EQ(d.columnHeadings(IDC_CP_MONITOR_LIST),
                  std::vector<std::string>{"Available Port Type"});
        EXPECT_EQ(d.columnWidths(IDC_CP_MONITOR_LIST), std::vector<int>{340});
        EXPECT_EQ(d.selectedRows(IDC_CP_MONITOR_LIST), std::vector<int>{0});
        EXPECT_EQ(d.listExtendedStyle(IDC_CP_MONITOR_LIST), lv::ExGridLines | lv::ExFullRowSelect);
        EXPECT_EQ(d.focusedId(), IDC_CP_MONITOR_LIST); // the first tab stop
        d.click(IDC_CP_NEW_PORT);
        d.selectRow(IDC_CP_MONITOR_LIST, 1);
        d.click(IDC_CP_NEW_PORT);
        EXPECT_TRUE(d.isOpen());
        EXPECT_EQ(d.rowCount(IDC_CP_MONITOR_LIST), 2);
        d.clickListBlank(IDC_CP_MONITOR_LIST);
        d.click(IDC_CP_NEW_PORT); // nothing selected: nothing happens
        d.click(IDC_CP_CLOSE);
    });
    CreatePortDialog dialog(platform);
    EXPECT_EQ(dialog.doModal(), IdCancel);
    auto adds = machine.faults.callsOf("AddPort");
    ASSERT_EQ(adds.size(), 2u);
    EXPECT_EQ(adds[0].subject, "Local Port");
    EXPECT_EQ(adds[1].subject, "Standard TCP/IP Port");
    EXPECT_EQ(machine.spooler.ports().back().portName, "USB002");
    EXPECT_EQ(machine.system.debugLines(),
              (std::vector<std::string>{"Local Port\n", "Standard TCP/IP Port\n"}));
}

TEST_F(CreatePortDialogTest, WithoutMonitorsTheListIsEmptyAndNewPortDoesNothing) {
    machine.spooler.monitors().clear();
    ui.onDialog(IDD_CREATE_PORT, [&](DialogDriver& d) {
        EXPECT_EQ(d.rowCount(IDC_CP_MONITOR_LIST), 0);
        d.click(IDC_CP_NEW_PORT);
        d.focus(IDC_CP_MONITOR_LIST); // Enter with no push button focused: the OK command
        d.pressEnter();
    });
    CreatePortDialog dialog(platform);
    EXPECT_EQ(dialog.doModal(), IdOk);
    EXPECT_TRUE(machine.faults.callsOf("AddPort").empty());
}

TEST_F(PortPageTest, APortAddedThroughCreatePortIsListedAfterwards) {
    machine.spooler.queueNewPort("USB001");
    ui.onDialog(IDD_CREATE_PORT, [](DialogDriver& d) {
        d.click(IDC_CP_NEW_PORT);
        d.click(IDC_CP_CLOSE);
    });
    run([&](DialogDriver& d) {
        d.click(IDC_PS_CREATE_PORT);
        auto names = d.column(IDC_PS_PORT_LIST, 0);
        EXPECT_EQ(names.back(), "USB001");
        EXPECT_EQ(d.selectedRows(IDC_PS_PORT_LIST), std::vector<int>{5}); // LPT1:
        d.click(IDC_PS_CANCEL);
    });
}

// The automatic choice remembers the port it took (the one the report names); a named port
// leaves that memory alone.
TEST_F(PortPageTest, AutoPortNameIsThePortTheAutomaticChoiceTook) {
    setPorts({"COM1:", "LPT1:", "USB001"});
    // Windows 7: the printer is bound to USB001 without a read-back or a question.
    EXPECT_EQ(run([](DialogDriver& d) { d.click(IDC_PS_INSTALL); }), IdOk);
    EXPECT_EQ(page->report().portName, "USB001");
    EXPECT_EQ(page->autoPortName, "USB001");

    EXPECT_EQ(run([](DialogDriver& d) {
                  d.click(IDC_PS_SEARCH_PORT);
                  d.selectRow(IDC_PS_PORT_LIST, 1); // LPT1:
                  d.selectRow(IDC_PS_PORT_LIST, 0); // COM1:, the manual path's row 0
                  d.click(IDC_PS_INSTALL);
              }),
              IdOk);
    EXPECT_EQ(page->report().portName, "COM1:");
    EXPECT_EQ(page->autoPortName, "");
}

} // namespace
} // namespace vexo::test
