#include "InstallFixture.h"

namespace vexo::test {
namespace {

using sim::DialogDriver;

class DiscoveryTest : public InstallTest {
  protected:
    void setPorts(const std::vector<std::pair<std::string, std::string>>& ports) {
        machine.spooler.ports().clear();
        for (const auto& [name, description] : ports) {
            machine.spooler.addLocalPort(name, description);
        }
    }
    void deviceMap(const std::vector<std::pair<std::string, std::string>>& values) {
        for (const auto& [name, data] : values) {
            machine.registry.putText(RegRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM", name,
                                     data);
        }
    }
    // Runs discovery on an open port page (optionally after Search Port) and hands the page
    // to `look`.
    void discover(const std::function<void(PortSelectPage&, DialogDriver&)>& look,
                  bool searchFirst = false) {
        ui.onDialog(IDD_PORT_SELECT, [&](DialogDriver& d) {
            if (searchFirst) {
                d.click(IDC_PS_SEARCH_PORT);
            }
            state.portPage->scanPorts();
            look(*state.portPage, d);
            d.click(IDC_PS_CANCEL);
        });
        ui.onDialog(IDD_PRINTER_SETTINGS, [](DialogDriver& d) {
            d.click(IDC_SET_NEXT);
            d.click(IDC_SET_EXIT);
        });
        PrinterSettingsPage page(platform);
        page.doModal();
    }
    using Names = std::vector<std::string>;
    const std::string local = "Local Port";
    const std::string tcp = "Standard TCP/IP Port";
};

TEST_F(DiscoveryTest, SortsWinesPortsWithAUsbPortAndPrefersUsb) {
    setPorts({{"COM1:", local},
              {"COM2:", local},
              {"COM3:", local},
              {"COM4:", local},
              {"FILE:", local},
              {"LPT1:", local},
              {"LPT2:", local},
              {"LPT3:", local},
              {"USB001", "Virtual printer port for USB"}});
    discover([&](PortSelectPage& p, DialogDriver& d) {
        EXPECT_EQ(d.selectedRows(IDC_PS_PORT_LIST), std::vector<int>{1});
        EXPECT_EQ(p.usbPorts, Names{"USB001"});
        EXPECT_EQ(p.lptPorts, (Names{"LPT1:", "LPT2:", "LPT3:"}));
        EXPECT_EQ(p.allPorts.size(), 9u);
        EXPECT_EQ(p.allPorts.front(), "COM1:");
        EXPECT_TRUE(p.tcpipPorts.empty());
    });
    // The page was sent "MyUpdateData", which nothing handles.
    ASSERT_FALSE(ui.sentMessages().empty());
    EXPECT_EQ(ui.sentMessages().back().message, state.updateDataMessage);
    EXPECT_EQ(ui.sentMessages().back().targetTemplate, IDD_PORT_SELECT);
}

TEST_F(DiscoveryTest, WithoutUsbTheSerialRowWinsEvenWithAnEmptyDeviceMap) {
    discover([&](PortSelectPage& p, DialogDriver& d) {
        EXPECT_EQ(d.selectedRows(IDC_PS_PORT_LIST), std::vector<int>{0});
        EXPECT_TRUE(p.serialPorts.empty());
    });
}

TEST_F(DiscoveryTest, ReadsTheSerialDeviceMapInOrderAndWhole) {
    std::string longData(300, 'C');
    deviceMap({{"\\Device\\Serial0", "COM1"},
               {"Serial1", "COM9"},
               {"\\device\\Serial2", "COM8"},
               {"\\Device\\VCP0", "COM5"},
               {"\\Device\\" + std::string(200, 'n'), longData}});
    discover([&](PortSelectPage& p, DialogDriver&) {
        EXPECT_EQ(p.serialPorts, (Names{"COM1:", "COM5:", longData + ":"}));
    });
}

TEST_F(DiscoveryTest, ADeviceMapThatCannotBeReadLeavesTheSerialGroupEmpty) {
    deviceMap({{"\\Device\\Serial0", "COM1"}});
    machine.faults.fail("RegOpenKeyEx", err::AccessDenied, "SERIALCOMM");
    discover([&](PortSelectPage& p, DialogDriver&) {
        EXPECT_TRUE(p.serialPorts.empty());
        std::vector<std::string> list{"stale"};
        EXPECT_TRUE(p.findSerialPorts(list));
        EXPECT_EQ(list, Names{"COM1:"});
    });
    // A failing value goes on with the next one.
    machine.faults.fail("RegEnumValue", err::InvalidParameter, ":0");
    deviceMap({{"\\Device\\Serial1", "COM2"}});
    discover([&](PortSelectPage& p, DialogDriver&) { EXPECT_EQ(p.serialPorts, Names{"COM2:"}); });
}

TEST_F(DiscoveryTest, ClassifiesByNameAndExactTcpIpDescription) {
    setPorts({{"usb001", local},
              {"LPT5:", tcp},
              {"USB002", tcp},
              {"IP_10.0.0.5", "Standard TCP/IP Port "},
              {"IP_10.0.0.6", "standard tcp/ip port"},
              {"IP_10.0.0.7", "标准 TCP/IP 端口"},
              {"LP", local}});
    discover([&](PortSelectPage& p, DialogDriver& d) {
        EXPECT_EQ(p.usbPorts, Names{"USB002"});
        EXPECT_EQ(p.tcpipPorts, (Names{"LPT5:", "IP_10.0.0.7"}));
        EXPECT_TRUE(p.lptPorts.empty());
        EXPECT_EQ(p.allPorts.size(), 7u);
        EXPECT_EQ(d.selectedRows(IDC_PS_PORT_LIST), std::vector<int>{1});
    });
}

TEST_F(DiscoveryTest, OnlyTheFirst256PortsCount) {
    std::vector<std::pair<std::string, std::string>> ports;
    for (int i = 0; i < 300; ++i) {
        ports.emplace_back(i == 279 ? "USB001" : "NE" + std::to_string(i) + ":", local);
    }
    setPorts(ports);
    discover([&](PortSelectPage& p, DialogDriver& d) {
        EXPECT_TRUE(p.usbPorts.empty());
        EXPECT_EQ(p.allPorts.size(), 256u);
        EXPECT_EQ(d.selectedRows(IDC_PS_PORT_LIST), std::vector<int>{1}); // no counter raised
    });
}

TEST_F(DiscoveryTest, FileAloneAsksForRowThreeWhichTheThreeRowListLacks) {
    setPorts({{"FILE:", local}});
    discover([&](PortSelectPage&, DialogDriver& d) {
        EXPECT_EQ(d.selectedRows(IDC_PS_PORT_LIST), std::vector<int>{1}); // unchanged
    });
    setPorts({{"A", local}, {"B", local}, {"C", local}, {"FILE:", local}});
    discover(
        [&](PortSelectPage&, DialogDriver& d) {
            EXPECT_EQ(d.selectedRows(IDC_PS_PORT_LIST), std::vector<int>{3});
        },
        true);
}

TEST_F(DiscoveryTest, AFailedEnumerationSelectsTheUsbRowAndRunningTwiceIsLikeOnce) {
    machine.faults.fail("EnumPorts", err::RpcServerUnavailable);
    discover([&](PortSelectPage& p, DialogDriver& d) {
        EXPECT_TRUE(p.allPorts.empty());
        EXPECT_EQ(d.selectedRows(IDC_PS_PORT_LIST), std::vector<int>{1});
    });
    deviceMap({{"\\Device\\Serial0", "COM1"}});
    discover([&](PortSelectPage& p, DialogDriver&) {
        auto first = std::make_tuple(p.allPorts, p.usbPorts, p.serialPorts, p.lptPorts);
        p.scanPorts();
        EXPECT_EQ(std::make_tuple(p.allPorts, p.usbPorts, p.serialPorts, p.lptPorts), first);
        EXPECT_EQ(p.serialPorts, Names{"COM1:"});
    });
}

} // namespace
} // namespace vexo::test

namespace vexo::test {
namespace {

TEST_F(DiscoveryTest, DeviceMapValuesThatNameNoPortAreLeftOut) {
    machine.registry.put(RegRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM",
                         "\\Device\\Serial0", RegValue{reg::TypeDword, regDwordData(5)});
    machine.registry.put(RegRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM",
                         "\\Device\\Serial1", RegValue{reg::TypeSz, {}});
    machine.registry.put(RegRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM",
                         "\\Device\\Serial2", RegValue{reg::TypeSz, {'C', 'O', 'M', '7'}});
    discover([&](PortSelectPage& p, DialogDriver&) { EXPECT_EQ(p.serialPorts, Names{"COM7:"}); });
}

TEST_F(DiscoveryTest, ManyDuplicateAndNonAsciiPortsAreHandled) {
    std::vector<std::pair<std::string, std::string>> ports;
    for (int i = 0; i < 5000; ++i) {
        ports.emplace_back(i % 2 == 0 ? "USB001" : "打印机端口" + std::to_string(i), "端口 描述");
    }
    setPorts(ports);
    discover(
        [&](PortSelectPage& p, DialogDriver& d) {
            EXPECT_EQ(p.usbPorts.size(), 128u); // duplicates kept, only the first 256 looked at
            EXPECT_EQ(p.allPorts.size(), 256u);
            EXPECT_EQ(d.rowCount(IDC_PS_PORT_LIST), 256);
            EXPECT_EQ(d.cell(IDC_PS_PORT_LIST, 1, 0), "打印机端口1");
            EXPECT_EQ(d.cell(IDC_PS_PORT_LIST, 1, 1), "端口 描述");
        },
        true);
}

TEST_F(DiscoveryTest, APrinterInstallsOnAPortWithAChineseName) {
    machine.spooler.addLocalPort("打印机端口", "本地端口");
    install(installOn("打印机端口"));
    ASSERT_EQ(machine.spooler.printers().size(), 1u);
    EXPECT_EQ(machine.spooler.printers()[0].info.portName, "打印机端口");
    EXPECT_TRUE(report.failures.empty());
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
