#include "InstallFixture.h"
#include "install/UsbPortBinding.h"

namespace vexo::test {
namespace {

using sim::DialogDriver;

const char* kPleaseSearch = "Please click \"Search Port...\",then select port!";

class InstallSequenceTest : public InstallTest {
  protected:
    InstallSequenceTest() {
        machine.system.setVersion({6, 2, 9200, PlatformNt}); // release code 10: reads back
        machine.system.setWow64(false);
    }
    bool usbRetryRan() const { return !machine.faults.callsOf("RegCreateKeyEx").empty(); }
    bool wow64Asked() const { return !machine.faults.callsOf("IsWow64Process").empty(); }
    std::string lastEnvironment() const {
        auto q = machine.faults.callsOf("GetPrinterDriverDirectory");
        return q.empty() ? "" : q.back().subject;
    }
    void addUsbPort(const std::string& name) {
        machine.spooler.addLocalPort(name, "Virtual printer port for USB");
    }
};

TEST_F(InstallSequenceTest, AutomaticWithTheFlagSetRunsDiscoveryTheRetryAndTheDeployment) {
    addUsbPort("USB001");
    for (bool wow64 : {true, false}) {
        machine.system.setWow64(wow64);
        machine.faults.clearCalls();
        answerUsbRetry(IdCancel); // the printer is not on line at USB001
        EXPECT_EQ(installAutomatic(), IdOk);
        EXPECT_TRUE(usbRetryRan());
        EXPECT_EQ(lastEnvironment(), wow64 ? "Windows x64" : "Windows NT x86");
        EXPECT_EQ(state.selectedPortName, "USB001");
        state.autoPortFlag = 1;
    }
}

TEST_F(InstallSequenceTest, AutomaticWithTheFlagClearSkipsTheRetry) {
    addUsbPort("USB001");
    state.autoPortFlag = 0; // an earlier page was cancelled after a search
    EXPECT_EQ(installAutomatic(), IdOk);
    EXPECT_FALSE(usbRetryRan());
    EXPECT_EQ(machine.spooler.printers().back().info.portName, "USB001");
}

TEST_F(InstallSequenceTest, TheOtherRowsRefuseUntilTheUserHasSearched) {
    install([&](DialogDriver& d) {
        d.selectRow(IDC_PS_PORT_LIST, 0);
        d.click(IDC_PS_INSTALL);
        EXPECT_TRUE(d.isOpen());
        EXPECT_FALSE(d.enabled(IDC_PS_INSTALL));
        EXPECT_FALSE(d.tryClick(IDC_PS_INSTALL));
        d.selectRow(IDC_PS_PORT_LIST, 2);
        d.click(IDC_PS_SEARCH_PORT);
        EXPECT_TRUE(d.enabled(IDC_PS_INSTALL));
        d.click(IDC_PS_CANCEL);
    });
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(ui.messageBoxes()[0].text, kPleaseSearch);
    EXPECT_EQ(ui.messageBoxes()[0].style, mb::Ok | mb::IconExclamation);
    EXPECT_FALSE(wow64Asked());
    EXPECT_TRUE(machine.system.copies().empty());
}

TEST_F(InstallSequenceTest, AFirstPressWithNoRowSelectedTakesTheManualPath) {
    install([&](DialogDriver& d) {
        d.clickListBlank(IDC_PS_PORT_LIST);
        d.click(IDC_PS_INSTALL);
        EXPECT_TRUE(d.isOpen());
        d.click(IDC_PS_CANCEL);
    });
    EXPECT_EQ(ui.messageBoxes().back().text, kPleaseSearch);
}

TEST_F(InstallSequenceTest, AfterSearchTheSelectedPortIsInstalledWithoutDiscoveryOrRetry) {
    machine.system.setWow64(true);
    EXPECT_EQ(install(installOn("COM1:")), IdOk); // row 0
    EXPECT_EQ(state.selectedPortName, "COM1:");
    EXPECT_FALSE(usbRetryRan());
    EXPECT_TRUE(ui.sentMessages().empty()); // no discovery
    EXPECT_EQ(lastEnvironment(), "Windows x64");
}

TEST_F(InstallSequenceTest, RowOneInTheMachineListStillMeansTheAutomaticChoice) {
    addUsbPort("USB007");
    install([&](DialogDriver& d) {
        d.click(IDC_PS_SEARCH_PORT);
        d.selectRow(IDC_PS_PORT_LIST, 1); // COM2:
        d.click(IDC_PS_INSTALL);
    });
    EXPECT_EQ(state.selectedPortName, "USB007");
    EXPECT_FALSE(usbRetryRan()); // Search Port cleared the flag
    EXPECT_FALSE(ui.sentMessages().empty());
}

// Discovery's row counts on the list the page shows: a searched list of four ports holds
// row 3 (FILE: alone preferred), whose group is TCP/IP; the three kinds of port lack it.
TEST_F(InstallSequenceTest, OnASearchedListDiscoverysRowThreeTakesTheTcpIpGroup) {
    machine.spooler.ports().clear();
    for (const char* name : {"FILE:", "NUL:", "XPS:"}) {
        machine.spooler.addLocalPort(name, "Local Port");
    }
    machine.spooler.addLocalPort("IP_10.0.0.20", "Standard TCP/IP Port");
    install([&](DialogDriver& d) {
        d.click(IDC_PS_SEARCH_PORT);
        d.selectRow(IDC_PS_PORT_LIST, 1);
        d.click(IDC_PS_INSTALL);
    });
    EXPECT_EQ(state.selectedPortName, "IP_10.0.0.20");
}

// A press that found the lock busy keeps its row: after "Search Port..." leaves no row
// selected, the next press takes the automatic choice again (without the retry, the flag
// being clear), not the manual path.
TEST_F(InstallSequenceTest, APressThatFoundTheLockBusyKeepsItsRow) {
    addUsbPort("USB001");
    machine.system.setMutexHeldElsewhere("Global\\VexoSetupInstall", true);
    install([&](DialogDriver& d) {
        d.click(IDC_PS_INSTALL); // the USB row; another installation is running
        machine.system.setMutexHeldElsewhere("Global\\VexoSetupInstall", false);
        d.click(IDC_PS_SEARCH_PORT);
        EXPECT_TRUE(d.selectedRows(IDC_PS_PORT_LIST).empty());
        d.click(IDC_PS_INSTALL);
    });
    EXPECT_EQ(state.selectedPortName, "USB001") << "discovery's port, not no port";
    EXPECT_FALSE(usbRetryRan());
}

TEST_F(InstallSequenceTest, ARefusalRecordsTheRowThatASecondPressReuses) {
    install([&](DialogDriver& d) {
        d.selectRow(IDC_PS_PORT_LIST, 0);
        d.click(IDC_PS_INSTALL); // refused, row 0 recorded
        d.click(IDC_PS_SEARCH_PORT);
        EXPECT_TRUE(d.selectedRows(IDC_PS_PORT_LIST).empty());
        d.click(IDC_PS_INSTALL); // manual path with row 0, but no row selected
    });
    EXPECT_EQ(state.selectedPortName, "");
    EXPECT_TRUE(machine.faults.callsOf("AddPrinter").empty());
    EXPECT_NE(ui.messageBoxes().back().text.find("No port was chosen"), std::string::npos);
}

TEST_F(InstallSequenceTest, WithTheFlagClearTheTcpIpRowNamesAPortCalledTcpIpPort) {
    state.autoPortFlag = 0;
    install([&](DialogDriver& d) {
        d.selectRow(IDC_PS_PORT_LIST, 2);
        d.click(IDC_PS_INSTALL);
    });
    EXPECT_EQ(state.selectedPortName, "TCP/IP port");
    // No such port: the spooler refuses the printer and the report says so.
    EXPECT_NE(ui.messageBoxes().back().text.find("TCP/IP port"), std::string::npos);
}

TEST_F(InstallSequenceTest, DiscoveryOfParallelPortsOnlyTakesTheFirstLptPort) {
    machine.spooler.ports().clear();
    machine.spooler.addLocalPort("FILE:");
    machine.spooler.addLocalPort("LPT2:");
    machine.spooler.addLocalPort("LPT1:");
    state.autoPortFlag = 0;
    installAutomatic();
    EXPECT_EQ(state.selectedPortName, "LPT2:");
}

TEST_F(InstallSequenceTest, AMissingOrFailingWow64QueryGivesThe32BitDeployment) {
    machine.system.setWow64(std::nullopt);
    install(installOn("LPT1:"));
    EXPECT_EQ(lastEnvironment(), "Windows NT x86");
    machine.system.setWow64(true);
    machine.faults.fail("IsWow64Process", err::AccessDenied);
    install(installOn("LPT1:"));
    EXPECT_EQ(lastEnvironment(), "Windows NT x86");
}

class UsbRetryTest : public InstallSequenceTest {
  protected:
    // Installs K20A on LPT1: first, so that the printer's keys exist.
    void preinstall() {
        install(installOn("LPT1:"));
        state.autoPortFlag = 1; // as on a fresh start: Search Port had cleared it
        machine.faults.clearCalls();
        boxesBefore = ui.messageBoxes().size();
    }
    std::vector<sim::MessageBoxRecord> retryBoxes() const {
        std::vector<sim::MessageBoxRecord> out;
        for (const auto& b : ui.messageBoxes()) {
            if (b.caption == kUsbRetryCaption) {
                out.push_back(b);
            }
        }
        return out;
    }
    // The latest page's progress positions before the deployment's first one.
    std::vector<int> retryProgress() const {
        std::vector<int> p = progress();
        auto start = std::find(p.rbegin(), p.rend(), 0).base(); // after the page's initial 0
        return std::vector<int>(start, std::find(start, p.end(), 10));
    }
    std::optional<std::string> keyPort(const char* key) const {
        return text(RegRoot::LocalMachine, std::string(key) + "K20A", "Port");
    }
    std::size_t boxesBefore = 0;
};

TEST_F(UsbRetryTest, NoCandidateAsksAtOnceAndRetryAsksAgain) {
    for (int release : {10, 9}) {
        machine.system.setVersion(
            {6, static_cast<std::uint32_t>(release == 9 ? 1 : 2), 0, PlatformNt});
        answerUsbRetry(IdRetry);
        answerUsbRetry(IdCancel);
        installAutomatic();
        auto boxes = retryBoxes();
        ASSERT_EQ(boxes.size(), release == 10 ? 2u : 4u);
        EXPECT_EQ(boxes.back().text, kUsbRetryText);
        EXPECT_EQ(boxes.back().style, mb::RetryCancel);
        EXPECT_EQ(boxes.back().ownerTemplate, IDD_PORT_SELECT);
        EXPECT_EQ(retryProgress(), std::vector<int>{80});
        state.autoPortFlag = 1;
    }
}

TEST_F(UsbRetryTest, AMissingPrinterGetsOnlyTheHardwareProfileKey) {
    addUsbPort("USB001");
    addUsbPort("USB002");
    answerUsbRetry(IdCancel);
    installAutomatic();
    EXPECT_EQ(retryBoxes().size(), 1u);
    EXPECT_EQ(retryProgress(), (std::vector<int>{50, 50, 80}));
    // Steps 1 to 4 found no keys; the printer is created afterwards, on USB001.
    EXPECT_EQ(machine.registry.writes().front().name, "PrinterOnLine");
    EXPECT_EQ(machine.spooler.printers().back().info.portName, "USB001");
}

TEST_F(UsbRetryTest, TheSecondCandidateOnLineEndsTheSearchWithoutAQuestion) {
    preinstall();
    addUsbPort("USB001");
    addUsbPort("USB002");
    addUsbPort("USB003");
    machine.spooler.connectPrinterAt("USB002");
    installAutomatic();
    EXPECT_TRUE(retryBoxes().empty());
    EXPECT_EQ(retryProgress(), (std::vector<int>{50, 50, 70, 80}));
    EXPECT_EQ(keyPort("SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\"),
              "USB002" + std::string(1, '\0'));
    EXPECT_EQ(keyPort("SYSTEM\\ControlSet001\\Control\\Print\\Printers\\"),
              "USB002" + std::string(1, '\0'));
    EXPECT_EQ(keyPort("Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\"),
              "USB002" + std::string(1, '\0'));
    EXPECT_EQ(
        text(RegRoot::LocalMachine,
             "Software\\Microsoft\\Windows NT\\CurrentVersion\\Print\\Printers\\K20A\\DsSpooler",
             "portName"),
        "USB002" + std::string(1, '\0'));
    EXPECT_EQ(machine.faults.callsOf("EnumPrinters").size(), 2u);
}

// Only Windows 7 binds every candidate without reading back; Vista and earlier read back
// as Windows 8 and later do.
TEST_F(UsbRetryTest, OnWindows7EveryCandidateIsBoundAndNothingIsReadBack) {
    preinstall();
    addUsbPort("USB001");
    addUsbPort("USB002");
    for (const OsVersion& v : {OsVersion{6, 1, 7601, PlatformNt}, OsVersion{6, 0, 6002, PlatformNt},
                               OsVersion{5, 1, 2600, PlatformNt}}) {
        SCOPED_TRACE(std::to_string(v.majorVersion) + "." + std::to_string(v.minorVersion));
        const bool windows7 = v.minorVersion == 1 && v.majorVersion == 6;
        machine.system.setVersion(v);
        machine.faults.clearCalls();
        if (!windows7) {
            answerUsbRetry(IdCancel);
        }
        state.autoPortFlag = 1;
        installAutomatic();
        EXPECT_EQ(retryProgress(), (std::vector<int>{50, 50, 80}));
        EXPECT_EQ(keyPort("SYSTEM\\ControlSet001\\Control\\Print\\Printers\\"),
                  "USB002" + std::string(1, '\0'));
        EXPECT_EQ(machine.faults.callsOf("EnumPrinters").empty(), windows7);
        EXPECT_EQ(machine.faults.callsOf("RegQueryValueEx").empty(), windows7);
    }
}

TEST_F(UsbRetryTest, OnlyTheFirstByteOfTheReadBackCounts) {
    struct Case {
        RegValue value;
        bool asks;
    } cases[] = {
        {{reg::TypeDword, regDwordData(256)}, true}, // first byte 0
        {{reg::TypeDword, regDwordData(2)}, false},  // neither 0 nor 1: goes on, asks nothing
        {{reg::TypeBinary, {}}, true},               // no byte at all
        {{reg::TypeSz, regSzData("1")}, false},      // '1' is 0x31
        {{reg::TypeBinary, std::vector<std::uint8_t>(51, 1)}, true},  // does not fit
        {{reg::TypeBinary, std::vector<std::uint8_t>(50, 1)}, false}, // fits exactly
        {{reg::TypeDword, regDwordData(0x0101)}, false},              // found
    };
    preinstall();
    addUsbPort("USB001");
    machine.spooler.connectPrinterAt("USB001");
    for (const Case& c : cases) {
        machine.spooler.setOnLineValue(c.value);
        std::size_t before = retryBoxes().size();
        if (c.asks) {
            answerUsbRetry(IdCancel);
        }
        state.autoPortFlag = 1;
        installAutomatic();
        EXPECT_EQ(retryBoxes().size() - before, c.asks ? 1u : 0u)
            << "type " << c.value.type << ", " << c.value.data.size() << " bytes";
    }
}

TEST_F(UsbRetryTest, RetryThenFoundReturnsOnceToTheDeployment) {
    preinstall();
    addUsbPort("USB001");
    ui.answerMessageBox([&](const sim::MessageBoxRecord&) {
        machine.spooler.connectPrinterAt("USB001"); // the user plugs the printer in
        return static_cast<int>(IdRetry);
    });
    installAutomatic();
    EXPECT_EQ(retryBoxes().size(), 1u);
    EXPECT_EQ(retryProgress(), (std::vector<int>{50, 50, 70, 80}));
    EXPECT_EQ(machine.faults.callsOf("GetPrinterDriverDirectory").size(), 1u);
}

TEST(OsReleaseCode, FollowsItsOwnScale) {
    struct Case {
        std::uint32_t platform, major, minor;
        int code;
    } cases[] = {{1, 4, 0, 1},   {1, 4, 10, 2}, {1, 4, 90, 3},  {1, 4, 5, -1},
                 {1, 5, 0, -1},  {2, 3, 51, 4}, {2, 5, 0, 5},   {2, 5, 2, 7},
                 {2, 5, 3, -1},  {2, 6, 1, 9},  {2, 6, 3, 11},  {2, 6, 4, -1},
                 {2, 10, 0, 12}, {2, 7, 0, -1}, {2, 11, 0, -1}, {0, 3, 1, 5}};
    sim::Faults faults;
    sim::SimSystem system(faults);
    for (const Case& c : cases) {
        system.setVersion({c.major, c.minor, 0, c.platform});
        EXPECT_EQ(queryOsReleaseCode(system), c.code)
            << c.platform << " " << c.major << "." << c.minor;
    }
    system.setVersionRecordsAccepted(false, false);
    EXPECT_EQ(queryOsReleaseCode(system), -1);
}

TEST(ListPrinters, LeavesTheListsAloneWhenTheEnumerationFails) {
    sim::SimMachine m;
    std::vector<std::string> names{"keep"}, ports{"keep"};
    m.faults.fail("EnumPrinters", err::RpcServerUnavailable);
    EXPECT_FALSE(listPrinters(m.spooler, names, ports));
    EXPECT_EQ(names, std::vector<std::string>{"keep"});
    EXPECT_FALSE(listPrinters(m.spooler, names, ports)); // no printers: emptied, false
    EXPECT_TRUE(names.empty());
    m.spooler.addLocalPort("USB001");
    PrinterHandle printer;
    m.spooler.setDriverDirectory("Windows NT x86", "C:\\Windows");
    m.writeFile("C:\\Windows\\D.DLL", "");
    DriverInfo3 driver{2, "D", "Windows NT x86", "D.DLL", "D.DLL", "D.DLL", "", {}, "", "RAW"};
    ASSERT_EQ(m.spooler.addPrinterDriver(driver), err::Success);
    PrinterInfo2 info;
    info.printerName = "P";
    info.portName = "USB001";
    info.driverName = "D";
    ASSERT_EQ(m.spooler.addPrinter(info, printer), err::Success);
    EXPECT_TRUE(listPrinters(m.spooler, names, ports));
    EXPECT_EQ(names, std::vector<std::string>{"P"});
    EXPECT_EQ(ports, std::vector<std::string>{"USB001"});
}

} // namespace
} // namespace vexo::test
