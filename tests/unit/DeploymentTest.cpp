#include "InstallFixture.h"

namespace vexo::test {
namespace {

using sim::DialogDriver;

std::string sz(const std::string& s) {
    return s + std::string(1, '\0');
}

std::function<void(DialogDriver&)> chooseModel(int m, bool setDefault = true) {
    return [m, setDefault](DialogDriver& d) {
        d.selectComboItem(IDC_SET_MODEL, m);
        if (!setDefault) {
            d.click(IDC_SET_DEFAULT_PRINTER);
        }
    };
}

TEST_F(InstallTest, CopiesTheEightFilesInOrderAndRegistersTheX86Driver) {
    EXPECT_EQ(install(installOn("LPT1:"), chooseModel(3)), IdOk);
    std::vector<std::string> sources, destinations;
    for (const auto& c : machine.system.copies()) {
        sources.push_back(c.source);
        destinations.push_back(c.destination);
        EXPECT_EQ(c.result, err::Success) << c.source;
    }
    const std::string p = "Printer Driver\\x86\\";
    EXPECT_EQ(sources,
              (std::vector<std::string>{p + "TQ30Ev1.DLL", p + "TQ30P.GPD", p + "uniDRVui.DLL",
                                        p + "uniDRV.DLL", p + "UNIDRV.HLP", p + "UNIRES.DLL",
                                        p + "TTFSUB.GPD", p + "STDNAMES.GPD"}));
    const std::string d = std::string(kX86Dir) + "\\";
    EXPECT_EQ(destinations.front(), d + "TQ30Ev1.DLL");
    EXPECT_EQ(destinations.back(), d + "STDNAMES.GPD");

    ASSERT_EQ(machine.spooler.drivers().size(), 1u);
    const DriverInfo3& drv = machine.spooler.drivers()[0];
    EXPECT_EQ(drv.version, 2u);
    EXPECT_EQ(drv.name, "K30AN");
    EXPECT_EQ(drv.environment, "Windows NT x86");
    EXPECT_EQ(drv.driverPath, d + "uniDRV.DLL");
    EXPECT_EQ(drv.dataFile, d + "TQ30P.GPD");
    EXPECT_EQ(drv.configFile, d + "uniDRVui.DLL");
    EXPECT_EQ(drv.helpFile, d + "uniDRV.HLP");
    EXPECT_EQ(drv.dependentFiles, (std::vector<std::string>{"\\ttfsub.GPD", "\\unires.DLL",
                                                            "\\stdnames.GPD", "TQ30Ev1.DLL"}));
    EXPECT_EQ(drv.monitorName, "");
    EXPECT_EQ(drv.defaultDataType, "RAW");

    ASSERT_EQ(machine.spooler.printers().size(), 1u);
    const PrinterInfo2& pr = machine.spooler.printers()[0].info;
    EXPECT_EQ(pr.printerName, "K30AN");
    EXPECT_EQ(pr.driverName, "K30AN");
    EXPECT_EQ(pr.portName, "LPT1:");
    EXPECT_EQ(pr.printProcessor, "WinPrint");
    EXPECT_EQ(pr.datatype, "RAW");
    EXPECT_EQ(pr.attributes, 0u);
    EXPECT_EQ(pr.shareName, "");
    EXPECT_EQ(machine.spooler.openPrinterCount(), 0u); // the handle was closed

    EXPECT_EQ(state.selectedPortName, "LPT1:");
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_EQ(ui.messageBoxes()[0].text, "Completed!");
    EXPECT_EQ(ui.messageBoxes()[0].caption, "VexoSetup");
    EXPECT_EQ(ui.messageBoxes()[0].style, mb::Ok | mb::IconExclamation);
}

TEST_F(InstallTest, EachModelGroupUsesItsOwnDataFileAndModelLibrary) {
    struct Case {
        int model;
        const char* gpd;
        const char* dll;
    } cases[] = {{0, "TQ20P.GPD", "TQ20Ev1.DLL"}, {1, "TQ20PW.GPD", "TQ20Ev1.DLL"},
                 {2, "TQ30P.GPD", "TQ30Ev1.DLL"}, {4, "TQ30P.GPD", "TQ30Ev1.DLL"},
                 {5, "M41.GPD", "TQ3XEv1.DLL"},   {7, "M43.GPD", "TQ3XEv1.DLL"}};
    for (const Case& c : cases) {
        install(installOn("FILE:"), chooseModel(c.model));
        const DriverInfo3& drv = machine.spooler.drivers().back();
        EXPECT_EQ(drv.name, modelCodes[static_cast<std::size_t>(c.model)]);
        EXPECT_EQ(drv.dataFile, std::string(kX86Dir) + "\\" + c.gpd);
        EXPECT_EQ(drv.dependentFiles.back(), c.dll);
        EXPECT_EQ(machine.spooler.printers().back().info.printerName,
                  modelCodes[static_cast<std::size_t>(c.model)]);
    }
}

TEST_F(InstallTest, TheX64VariantDiffersOnlyInEnvironmentAndSources) {
    machine.system.setWow64(true);
    install(installOn("LPT1:"), chooseModel(5));
    for (const auto& c : machine.system.copies()) {
        EXPECT_EQ(c.source.rfind("Printer Driver\\x64\\", 0), 0u) << c.source;
        EXPECT_EQ(c.destination.rfind(kX64Dir, 0), 0u) << c.destination;
    }
    EXPECT_EQ(machine.faults.callsOf("GetPrinterDriverDirectory")[0].subject, "Windows x64");
    const DriverInfo3& drv = machine.spooler.drivers().back();
    EXPECT_EQ(drv.environment, "Windows x64");
    EXPECT_EQ(drv.dataFile, std::string(kX64Dir) + "\\M41.GPD");
    EXPECT_EQ(drv.dependentFiles.back(), "TQ3XEv1.DLL");
}

TEST_F(InstallTest, ProgressRunsFrom10To100AfterAHalfSecondPause) {
    install(installOn("LPT1:"));
    EXPECT_EQ(progress(), (std::vector<int>{0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 95, 100}));
    EXPECT_EQ(machine.system.sleeps(), std::vector<std::uint32_t>{500});
}

TEST_F(InstallTest, WritesTheDefaultPrinterWithItsTerminatingNul) {
    install(installOn("LPT1:"), chooseModel(1));
    auto device = text(RegRoot::CurrentUser,
                       "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Device");
    ASSERT_TRUE(device);
    EXPECT_EQ(*device, sz("K20AW,winspool,LPT1:"));
    EXPECT_EQ(machine.registry
                  .get(RegRoot::CurrentUser,
                       "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Device")
                  ->type,
              reg::TypeSz);
}

TEST_F(InstallTest, AnUncheckedDefaultBoxLeavesTheUsersKeyUnopened) {
    install(installOn("LPT1:"), chooseModel(6, false));
    for (const auto& c : machine.faults.callsOf("RegOpenKeyEx")) {
        EXPECT_EQ(c.subject.find("HKEY_CURRENT_USER"), std::string::npos) << c.subject;
    }
    EXPECT_EQ(machine.spooler.printers().back().info.printerName, "M42");
    EXPECT_EQ(report.failures.size(), 0u);
}

TEST_F(InstallTest, AComPortChoiceWritesItsLineSettings) {
    install(installOn("COM1:"), [](DialogDriver& d) {
        d.selectComboItem(IDC_SET_PORT, 3, DialogDriver::EvenIfHidden);
    });
    const char* ports = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports";
    EXPECT_EQ(text(RegRoot::LocalMachine, ports, "COM1:"), sz("19200,N,8,1,p"));

    install(installOn("COM1:"), [](DialogDriver& d) {
        d.selectComboItem(IDC_SET_PORT, 6, DialogDriver::EvenIfHidden);
        d.selectComboItem(IDC_SET_FLOW, 0, DialogDriver::EvenIfHidden);
        d.selectComboItem(IDC_SET_BAUD, 8, DialogDriver::EvenIfHidden);
        d.selectComboItem(IDC_SET_PARITY, 4, DialogDriver::EvenIfHidden);
    });
    EXPECT_EQ(text(RegRoot::LocalMachine, ports, "COM4:"), sz("115200,S,8,1, "));
}

TEST_F(InstallTest, AParallelPortChoiceWritesNoLineSettings) {
    install(installOn("COM3:"));
    EXPECT_TRUE(machine.registry
                    .valueNames(RegRoot::LocalMachine,
                                "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Ports")
                    .empty());
    // The printer's port is the port page's, whatever the settings page's port list says.
    ASSERT_EQ(machine.spooler.printers().size(), 1u);
    EXPECT_EQ(machine.spooler.printers().back().info.portName, "COM3:");
}

// The deployment's own failures, each reported instead of "Completed!".
class DeploymentFailureTest : public InstallTest {
  protected:
    std::string lastBoxText() const {
        return ui.messageBoxes().empty() ? "" : ui.messageBoxes().back().text;
    }
    bool completedShown() const {
        for (const auto& b : ui.messageBoxes()) {
            if (b.text.rfind("Completed!", 0) == 0) {
                return true;
            }
        }
        return false;
    }
};

TEST_F(DeploymentFailureTest, AMissingPackageFileIsNamedInTheReport) {
    std::filesystem::remove(machine.host("C:\\VEXO\\Printer Driver\\x86\\UNIRES.DLL"));
    EXPECT_EQ(install(installOn("LPT1:")), IdOk);
    EXPECT_FALSE(completedShown());
    std::string box = lastBoxText();
    EXPECT_NE(box.find("Printer Driver\\x86\\UNIRES.DLL"), std::string::npos) << box;
    EXPECT_NE(box.find("The system cannot find the file specified."), std::string::npos) << box;
    EXPECT_EQ(ui.messageBoxes().back().style, mb::Ok | mb::IconError);
    // The spooler refuses a driver whose files are missing: reported too.
    EXPECT_NE(box.find("Register the printer driver \"K20A\""), std::string::npos) << box;
    // The rest of the deployment still ran.
    EXPECT_EQ(progress().back(), 100);
}

TEST_F(DeploymentFailureTest, AFailedCopyOrRegistrationIsReportedOnEveryWindowsVersion) {
    state.osType = 2; // Windows 98: no "Completed!" box at all
    machine.faults.fail("AddPrinterDriver", err::AccessDenied);
    install(installOn("LPT1:"));
    ASSERT_EQ(ui.messageBoxes().size(), 1u);
    EXPECT_NE(lastBoxText().find("Access is denied."), std::string::npos);

    machine.faults.fail("CopyFile", err::SharingViolation, "uniDRV.DLL");
    install(installOn("LPT1:"));
    EXPECT_NE(lastBoxText().find("Copy \"Printer Driver\\x86\\uniDRV.DLL\""), std::string::npos)
        << lastBoxText();
}

TEST_F(DeploymentFailureTest, WithoutTheDriverDirectoryNothingIsCopiedOrRegistered) {
    machine.faults.fail("GetPrinterDriverDirectory", err::RpcServerUnavailable);
    install(installOn("LPT1:"));
    EXPECT_TRUE(machine.system.copies().empty());
    EXPECT_TRUE(machine.faults.callsOf("AddPrinterDriver").empty());
    EXPECT_FALSE(std::filesystem::exists(machine.host("C:\\uniDRV.DLL")));
    EXPECT_NE(lastBoxText().find("driver directory"), std::string::npos) << lastBoxText();
    EXPECT_FALSE(completedShown());
}

TEST_F(DeploymentFailureTest, AnExistingPrinterIsKeptAndSaidSo) {
    install(installOn("LPT1:"));
    install(installOn("LPT2:"));
    EXPECT_EQ(machine.spooler.printers().size(), 1u);
    EXPECT_EQ(machine.spooler.printers()[0].info.portName, "LPT1:");
    EXPECT_EQ(lastBoxText(), "Completed!\r\n\r\nThe printer \"K20A\" was already installed and "
                             "kept its settings.");
}

TEST_F(DeploymentFailureTest, ADefaultPrinterThatCannotBeSetIsAFailure) {
    machine.faults.fail("RegSetValueEx", err::AccessDenied, "Windows:Device");
    install(installOn("LPT1:"));
    ASSERT_EQ(ui.messageBoxes().size(), 2u);
    EXPECT_EQ(ui.messageBoxes()[0].text, "错误：无法设置有关的注册表信息");
    EXPECT_EQ(ui.messageBoxes()[0].style, mb::Ok | mb::IconExclamation);
    EXPECT_NE(lastBoxText().find("default printer"), std::string::npos);

    // A missing key (as in a fresh Wine prefix) shows no registry message, but is reported.
    machine.faults.fail("RegOpenKeyEx", err::FileNotFound, "CurrentVersion\\Windows");
    install(installOn("LPT1:"));
    EXPECT_EQ(ui.messageBoxes().size(), 3u);
    EXPECT_NE(lastBoxText().find("default printer"), std::string::npos);
}

TEST_F(DeploymentFailureTest, LineSettingsThatCannotBeWrittenAreAFailure) {
    machine.faults.fail("RegSetValueEx", err::AccessDenied, "Ports:COM1:");
    install(installOn("COM1:"), [](DialogDriver& d) {
        d.selectComboItem(IDC_SET_PORT, 3, DialogDriver::EvenIfHidden);
    });
    ASSERT_EQ(ui.messageBoxes().size(), 2u);
    EXPECT_EQ(ui.messageBoxes()[0].text, "错误：无法设置有关的注册表信息");
    EXPECT_NE(lastBoxText().find("COM1:"), std::string::npos);
}

TEST_F(DeploymentFailureTest, NoPortChosenAddsNoPrinter) {
    // Automatic choice with no USB, COM, LPT or FILE port at all: the group is empty.
    machine.spooler.ports().clear();
    machine.system.setVersion({6, 2, 9200, PlatformNt});
    answerUsbRetry(IdCancel);
    installAutomatic();
    EXPECT_TRUE(machine.faults.callsOf("AddPrinter").empty());
    EXPECT_NE(lastBoxText().find("No port was chosen"), std::string::npos) << lastBoxText();
    // The user's default printer is not replaced by one that does not exist.
    EXPECT_FALSE(machine.registry.get(RegRoot::CurrentUser,
                                      "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows",
                                      "Device"));
    EXPECT_NE(lastBoxText().find("default printer was left as it was"), std::string::npos);
    EXPECT_FALSE(completedShown());
}

} // namespace
} // namespace vexo::test

namespace vexo::test {
namespace {

TEST_F(InstallTest, ReadOnlyPackageFilesInstallTwice) {
    for (const std::string& f : kPackageFiles) {
        std::filesystem::permissions(machine.host("C:\\VEXO\\Printer Driver\\x86\\" + f),
                                     std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::remove);
    }
    install(installOn("LPT1:"));
    install(installOn("LPT1:"));
    EXPECT_TRUE(report.failures.empty()) << report.failureMessage();
    EXPECT_EQ(machine.system.copies().size(), 16u);
    for (const auto& c : machine.system.copies()) {
        EXPECT_EQ(c.result, err::Success) << c.destination;
    }
}

TEST_F(InstallTest, AFolderThatIsNoDriverPackageIsNamedInTheReport) {
    machine.system.setCurrentDirectory("C:\\Users\\me\\Downloads");
    std::filesystem::create_directories(machine.host("C:\\Users\\me\\Downloads"));
    install(installOn("LPT1:"));
    EXPECT_TRUE(machine.system.copies().empty());
    std::string box = ui.messageBoxes().back().text;
    EXPECT_NE(box.find("\"C:\\Users\\me\\Downloads\\Printer Driver\\x86\" was not found"),
              std::string::npos)
        << box;
}

TEST_F(InstallTest, EmptyPackageFilesAreCopiedAsTheyAre) {
    machine.writeFile("C:\\VEXO\\Printer Driver\\x86\\UNIDRV.HLP", "");
    install(installOn("LPT1:"));
    EXPECT_TRUE(report.failures.empty()) << report.failureMessage();
    EXPECT_EQ(std::filesystem::file_size(machine.host(std::string(kX86Dir) + "\\UNIDRV.HLP")), 0u);
}

TEST_F(InstallTest, APackageOnALongChinesePathInstalls) {
    std::string dir = "C:\\下载";
    for (int i = 0; i < 4; ++i) {
        dir += "\\" + std::string(70, static_cast<char>('p' + i));
    }
    dir += "\\驱动程序"; // over 300 characters in all
    for (const std::string& f : kPackageFiles) {
        machine.writeFile(dir + "\\Printer Driver\\x86\\" + f, f);
    }
    machine.system.setCurrentDirectory(dir);
    install(installOn("LPT1:"));
    EXPECT_TRUE(report.failures.empty()) << report.failureMessage();
    EXPECT_EQ(machine.spooler.printers().size(), 1u);
}

} // namespace
} // namespace vexo::test

namespace vexo::test {
namespace {

TEST_F(InstallTest, CompletedIsShownOnlyOnTheNtFamily) {
    for (int os : {0, 1, 2, 3, 9}) {
        state.osType = os;
        std::size_t before = ui.messageBoxes().size();
        EXPECT_EQ(install(installOn("LPT1:")), IdOk);
        EXPECT_EQ(ui.messageBoxes().size() - before, os >= 3 ? 1u : 0u) << "osType " << os;
    }
}

} // namespace
} // namespace vexo::test
