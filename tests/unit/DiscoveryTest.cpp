#include "InstallFixture.h"
#include "ports/PortDiscovery.h"

namespace vexo::test {
namespace {

using sim::DialogDriver;

using Names = std::vector<std::string>;
const std::string local = "Local Port";
const std::string tcp = "Standard TCP/IP Port";

std::vector<PortInfo2> ports(const std::vector<std::pair<std::string, std::string>>& list) {
    std::vector<PortInfo2> out;
    for (const auto& [name, description] : list) {
        PortInfo2 p;
        p.portName = name;
        p.description = description;
        out.push_back(p);
    }
    return out;
}

TEST(GroupPorts, SortsWinesPortsWithAUsbPortAndPrefersUsb) {
    PortGroups g = groupPorts(ports({{"COM1:", local},
                                     {"COM2:", local},
                                     {"FILE:", local},
                                     {"LPT1:", local},
                                     {"LPT2:", local},
                                     {"USB001", "Virtual printer port for USB"}}),
                              {"COM1:"});
    EXPECT_EQ(g.preferredRow, 1);
    EXPECT_EQ(g.usb, Names{"USB001"});
    EXPECT_EQ(g.lpt, (Names{"LPT1:", "LPT2:"}));
    EXPECT_EQ(g.serial, Names{"COM1:"}); // from the device map, not the spooler
    EXPECT_EQ(g.all.size(), 6u);
    EXPECT_EQ(g.all.front(), "COM1:");
    EXPECT_TRUE(g.tcpip.empty());
}

TEST(GroupPorts, PrefersUsbThenComThenLptThenFile) {
    EXPECT_EQ(groupPorts(ports({{"LPT1:", local}, {"COM1:", local}}), {}).preferredRow, 0);
    EXPECT_EQ(groupPorts(ports({{"FILE:", local}, {"LPT1:", local}}), {}).preferredRow, 2);
    EXPECT_EQ(groupPorts(ports({{"FILE:", local}}), {}).preferredRow, 3);
    EXPECT_EQ(groupPorts(ports({{"NE01:", local}}), {}).preferredRow, 1);
    EXPECT_EQ(groupPorts({}, {}).preferredRow, 1);
}

// The automatic choice's row: discovery's preferred row where the list holds it, else the
// row the list keeps; the fixed list of kinds of port lacks row 3, a searched list may not.
TEST(AutomaticRow, IsThePreferredRowWhereTheListHoldsItElseTheKeptRow) {
    struct Row {
        int preferred, listRows, kept, expected;
    };
    for (const Row& r :
         {Row{1, kPortKindRows, kUsbPortRow, 1}, Row{0, kPortKindRows, kUsbPortRow, 0},
          Row{2, kPortKindRows, kUsbPortRow, 2},
          Row{3, kPortKindRows, kUsbPortRow, kUsbPortRow}, // FILE: alone
          Row{3, 4, kUsbPortRow, 3},                       // after "Search Port...": four ports
          Row{2, 2, kUsbPortRow, kUsbPortRow}, Row{0, 0, kUsbPortRow, kUsbPortRow},
          Row{0, 0, -1, -1}}) {
        PortGroups g;
        g.preferredRow = r.preferred;
        EXPECT_EQ(automaticRow(g, r.listRows, r.kept), r.expected)
            << "preferred " << r.preferred << ", " << r.listRows << " rows, kept " << r.kept;
    }
}

TEST(GroupPorts, ClassifiesByNameAndExactTcpIpDescription) {
    PortGroups g = groupPorts(ports({{"usb001", local},
                                     {"LPT5:", tcp},
                                     {"USB002", tcp},
                                     {"IP_10.0.0.5", "Standard TCP/IP Port "},
                                     {"IP_10.0.0.6", "standard tcp/ip port"},
                                     {"IP_10.0.0.7", "标准 TCP/IP 端口"},
                                     {"LP", local}}),
                              {});
    EXPECT_EQ(g.usb, Names{"USB002"});
    EXPECT_EQ(g.tcpip, (Names{"LPT5:", "IP_10.0.0.7"}));
    EXPECT_TRUE(g.lpt.empty());
    EXPECT_EQ(g.all.size(), 7u);
    EXPECT_EQ(g.preferredRow, 1);
}

TEST(GroupPorts, OnlyTheFirst256PortsCountDuplicatesIncluded) {
    std::vector<std::pair<std::string, std::string>> late;
    for (int i = 0; i < 300; ++i) {
        late.emplace_back(i == 279 ? "USB001" : "NE" + std::to_string(i) + ":", local);
    }
    PortGroups g = groupPorts(ports(late), {});
    EXPECT_TRUE(g.usb.empty());
    EXPECT_EQ(g.all.size(), 256u);
    EXPECT_EQ(g.preferredRow, 1); // no counter raised

    std::vector<std::pair<std::string, std::string>> many;
    for (int i = 0; i < 5000; ++i) {
        many.emplace_back(i % 2 == 0 ? "USB001" : "打印机端口" + std::to_string(i), "端口 描述");
    }
    g = groupPorts(ports(many), {});
    EXPECT_EQ(g.usb.size(), 128u);
    EXPECT_EQ(g.all[1], "打印机端口1");
}

class DeviceMapTest : public MachineTest {
  protected:
    void deviceMap(const std::vector<std::pair<std::string, std::string>>& values) {
        for (const auto& [name, data] : values) {
            machine.registry.putText(RegRoot::LocalMachine, kMap, name, data);
        }
    }
    static constexpr const char* kMap = "HARDWARE\\DEVICEMAP\\SERIALCOMM";
};

TEST_F(DeviceMapTest, ReadsTheSerialDeviceMapInOrderAndWhole) {
    EXPECT_TRUE(readSerialDeviceMap(platform.registry).empty());
    std::string longData(300, 'C');
    deviceMap({{"\\Device\\Serial0", "COM1"},
               {"Serial1", "COM9"},
               {"\\device\\Serial2", "COM8"},
               {"\\Device\\VCP0", "COM5"},
               {"\\Device\\" + std::string(200, 'n'), longData}});
    EXPECT_EQ(readSerialDeviceMap(platform.registry), (Names{"COM1:", "COM5:", longData + ":"}));
}

TEST_F(DeviceMapTest, AMapThatCannotBeReadIsEmptyAndAFailingValueIsSkipped) {
    deviceMap({{"\\Device\\Serial0", "COM1"}, {"\\Device\\Serial1", "COM2"}});
    machine.faults.fail("RegOpenKeyEx", err::AccessDenied, "SERIALCOMM");
    EXPECT_TRUE(readSerialDeviceMap(platform.registry).empty());
    EXPECT_EQ(readSerialDeviceMap(platform.registry), (Names{"COM1:", "COM2:"}));
    machine.faults.fail("RegEnumValue", err::InvalidParameter, ":0");
    EXPECT_EQ(readSerialDeviceMap(platform.registry), Names{"COM2:"});
    // A registry that keeps failing holds the reading for 4,096 values at most.
    machine.faults.clearCalls();
    machine.faults.fail("RegEnumValue", err::InvalidParameter, "", 1, 0);
    EXPECT_TRUE(readSerialDeviceMap(platform.registry).empty());
    EXPECT_EQ(machine.faults.callsOf("RegEnumValue").size(), 4096u);
}

TEST_F(DeviceMapTest, ValuesThatNameNoPortAreLeftOut) {
    machine.registry.put(RegRoot::LocalMachine, kMap, "\\Device\\Serial0",
                         RegValue{reg::TypeDword, regDwordData(5)});
    machine.registry.put(RegRoot::LocalMachine, kMap, "\\Device\\Serial1",
                         RegValue{reg::TypeSz, {}});
    machine.registry.put(RegRoot::LocalMachine, kMap, "\\Device\\Serial2",
                         RegValue{reg::TypeSz, {'C', 'O', 'M', '7'}});
    EXPECT_EQ(readSerialDeviceMap(platform.registry), Names{"COM7:"});
}

// The page applies the answer: the groups, the preferred row, the registered message.
class DiscoveryTest : public InstallTest {
  protected:
    void discover(const std::function<void(PortSelectPage&, DialogDriver&)>& look,
                  bool searchFirst = false) {
        PortSelectPage page(platform, InstallRequest{});
        ui.onDialog(IDD_PORT_SELECT, [&](DialogDriver& d) {
            if (searchFirst) {
                d.click(IDC_PS_SEARCH_PORT);
            }
            page.scanPorts();
            look(page, d);
            d.click(IDC_PS_CANCEL);
        });
        page.doModal();
    }
};

TEST_F(DiscoveryTest, ThePageTakesTheGroupsSelectsTheRowAndSendsMyUpdateData) {
    machine.spooler.addLocalPort("USB001", "Virtual printer port for USB");
    machine.registry.putText(RegRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM",
                             "\\Device\\Serial0", "COM1");
    discover([&](PortSelectPage& p, DialogDriver& d) {
        EXPECT_EQ(d.selectedRows(IDC_PS_PORT_LIST), std::vector<int>{1});
        EXPECT_EQ(p.usbPorts, Names{"USB001"});
        EXPECT_EQ(p.serialPorts, Names{"COM1:"});
        EXPECT_EQ(p.allPorts.size(), 9u); // Wine's eight and the USB port
        auto first = std::make_tuple(p.allPorts, p.usbPorts, p.serialPorts, p.lptPorts);
        p.scanPorts();
        EXPECT_EQ(std::make_tuple(p.allPorts, p.usbPorts, p.serialPorts, p.lptPorts), first);
    });
    // The page was sent "MyUpdateData", which nothing handles.
    ASSERT_FALSE(ui.sentMessages().empty());
    EXPECT_EQ(ui.sentMessages().back().message, state.updateDataMessage);
    EXPECT_EQ(ui.sentMessages().back().targetTemplate, IDD_PORT_SELECT);
}

TEST_F(DiscoveryTest, ARowTheListLacksChangesNothingAndAFailedEnumerationPicksUsb) {
    discover([&](PortSelectPage& p, DialogDriver& d) { // COM ports, no USB port: the first row
        EXPECT_EQ(d.selectedRows(IDC_PS_PORT_LIST), std::vector<int>{0});
        EXPECT_EQ(p.selectedRow, 0);
    });
    machine.spooler.ports().clear();
    machine.spooler.addLocalPort("FILE:", "Local Port");
    discover([&](PortSelectPage&, DialogDriver& d) {
        EXPECT_EQ(d.selectedRows(IDC_PS_PORT_LIST), std::vector<int>{1}); // unchanged
    });
    for (const char* name : {"A", "B", "C"}) {
        machine.spooler.addLocalPort(name, "Local Port");
    }
    discover(
        [&](PortSelectPage&, DialogDriver& d) {
            EXPECT_EQ(d.selectedRows(IDC_PS_PORT_LIST), std::vector<int>{3});
        },
        true);
    machine.faults.fail("EnumPorts", err::RpcServerUnavailable);
    discover([&](PortSelectPage& p, DialogDriver& d) {
        EXPECT_TRUE(p.allPorts.empty());
        EXPECT_EQ(d.selectedRows(IDC_PS_PORT_LIST), std::vector<int>{1});
    });
}

} // namespace
} // namespace vexo::test

namespace vexo::test {
namespace {

TEST_F(DiscoveryTest, APrinterInstallsOnAPortWithAChineseName) {
    machine.spooler.addLocalPort("打印机端口", "本地端口");
    install(installOn("打印机端口"));
    ASSERT_EQ(machine.spooler.printers().size(), 1u);
    EXPECT_EQ(machine.spooler.printers()[0].info.portName, "打印机端口");
    EXPECT_TRUE(completed()) << lastBoxText();
}

TEST_F(DiscoveryTest, OfAThousandUsbPortsThoseAmongTheFirst256AreEachTriedOnce) {
    for (int i = 0; i < 1000; ++i) {
        machine.spooler.addLocalPort("USB" + std::to_string(1000 + i), "Virtual printer port");
    }
    machine.system.setVersion({6, 2, 9200, PlatformNt});
    ui.answerMessageBox(IdCancel);
    installAutomatic();
    // Wine's eight ports come first, so 248 USB ports are among the first 256.
    EXPECT_EQ(machine.faults.callsOf("EnumPrinters").size(), 248u);
    EXPECT_EQ(machine.spooler.printers()[0].info.portName, "USB1000");
}

} // namespace
} // namespace vexo::test
