// The simulated machine must behave like Windows where the installer relies on it;
// otherwise the tests that stand on it prove nothing.
#include "tests/sim/SimMachine.h"

#include <fstream>
#include <gtest/gtest.h>

namespace vexo::sim {
namespace {

class SimRegistryTest : public ::testing::Test {
  protected:
    Faults faults;
    SimRegistry reg{faults};
};

TEST_F(SimRegistryTest, KeyNamesCompareWithoutRegardToCase) {
    reg.putText(RegRoot::LocalMachine, "SOFTWARE\\Vexo\\Test", "Name", "x");
    RegKey key;
    ASSERT_EQ(reg.openKey(RegRoot::LocalMachine, "software\\VEXO\\test", reg::QueryValue, key),
              err::Success);
    RegValue v;
    ASSERT_EQ(reg.queryValue(key, "NAME", v), err::Success);
    EXPECT_EQ(regText(v.data), "x");
}

TEST_F(SimRegistryTest, EachRootIsCalledByItsOwnName) {
    const std::pair<RegRoot, const char*> roots[] = {
        {RegRoot::LocalMachine, "HKEY_LOCAL_MACHINE"},
        {RegRoot::CurrentUser, "HKEY_CURRENT_USER"},
        {RegRoot::CurrentConfig, "HKEY_CURRENT_CONFIG"},
        {RegRoot::ClassesRoot, "HKEY_CLASSES_ROOT"},
        {RegRoot::Users, "HKEY_USERS"}};
    for (const auto& [root, name] : roots) {
        EXPECT_EQ(rootName(root), name);
    }
}

TEST_F(SimRegistryTest, CurrentConfigIsTheCurrentHardwareProfileOfTheCurrentControlSet) {
    RegKey created;
    std::uint32_t disposition = 0;
    ASSERT_EQ(reg.createKey(RegRoot::CurrentConfig,
                            "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\K20A", 0,
                            reg::AllAccess, created, &disposition),
              err::Success);
    EXPECT_EQ(disposition, reg::CreatedNewKey);
    RegKey again, top;
    ASSERT_EQ(reg.createKey(RegRoot::LocalMachine,
                            "SYSTEM\\ControlSet001\\Hardware Profiles\\Current\\System\\"
                            "CurrentControlSet\\Control\\Print\\Printers\\K20A",
                            0, reg::AllAccess, again, &disposition),
              err::Success);
    EXPECT_EQ(disposition, reg::OpenedExistingKey);
    // A key of its own right under a root.
    EXPECT_EQ(reg.createKey(RegRoot::LocalMachine, "VEXO", 0, reg::Read, top, nullptr),
              err::Success);
    ASSERT_EQ(reg.setValue(created, "PrinterOnLine", reg::TypeDword, regDwordData(0)),
              err::Success);
    const char* viaMachine = "SYSTEM\\ControlSet001\\Hardware Profiles\\Current\\System\\"
                             "CurrentControlSet\\Control\\Print\\Printers\\K20A";
    auto v = reg.get(RegRoot::LocalMachine, viaMachine, "PrinterOnLine");
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(v->type, reg::TypeDword);
    EXPECT_EQ(v->data, regDwordData(0));
    EXPECT_TRUE(reg.keyExists(RegRoot::LocalMachine,
                              "SYSTEM\\CurrentControlSet\\Hardware Profiles\\Current\\System\\"
                              "CurrentControlSet\\Control\\Print\\Printers\\k20a"));
}

TEST_F(SimRegistryTest, ValuesKeepTheirTypeAndExactBytes) {
    reg.makeKey(RegRoot::CurrentUser, "Software\\T");
    RegKey key;
    ASSERT_EQ(
        reg.openKey(RegRoot::CurrentUser, "Software\\T", reg::SetValue | reg::QueryValue, key),
        err::Success);
    std::vector<std::uint8_t> unterminated{'a', 'b'};
    ASSERT_EQ(reg.setValue(key, "S", reg::TypeSz, unterminated), err::Success);
    RegValue v;
    ASSERT_EQ(reg.queryValue(key, "S", v), err::Success);
    EXPECT_EQ(v.data, unterminated); // no NUL is added behind the caller's back
    ASSERT_EQ(reg.setValue(key, "E", reg::TypeBinary, {}), err::Success);
    ASSERT_EQ(reg.queryValue(key, "E", v), err::Success);
    EXPECT_TRUE(v.data.empty());
    EXPECT_EQ(v.type, reg::TypeBinary);
}

TEST_F(SimRegistryTest, OpenAndSetReportFailure) {
    RegKey key;
    EXPECT_EQ(reg.openKey(RegRoot::LocalMachine, "SOFTWARE\\Missing", reg::Read, key),
              err::FileNotFound);
    EXPECT_FALSE(key.isOpen());
    reg.makeKey(RegRoot::LocalMachine, "SOFTWARE\\Here");
    ASSERT_EQ(reg.openKey(RegRoot::LocalMachine, "SOFTWARE\\Here", reg::QueryValue, key),
              err::Success);
    EXPECT_EQ(reg.setValue(key, "v", reg::TypeSz, regSzData("x")), err::AccessDenied);
    RegKey bad;
    EXPECT_EQ(reg.openKey(RegRoot::LocalMachine, "\\SOFTWARE", reg::Read, bad), err::BadPathname);
}

TEST_F(SimRegistryTest, EnumeratesEveryValueOnceInOrderThenNoMoreItems) {
    reg.putText(RegRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\Serial0",
                "COM1");
    reg.putText(RegRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM", "\\Device\\VCP0", "COM5");
    RegKey key;
    ASSERT_EQ(reg.openKey(RegRoot::LocalMachine, "HARDWARE\\DEVICEMAP\\SERIALCOMM", reg::Read, key),
              err::Success);
    RegNamedValue e;
    ASSERT_EQ(reg.enumValue(key, 0, e), err::Success);
    EXPECT_EQ(e.name, "\\Device\\Serial0");
    ASSERT_EQ(reg.enumValue(key, 1, e), err::Success);
    EXPECT_EQ(regText(e.value.data), "COM5");
    EXPECT_EQ(reg.enumValue(key, 2, e), err::NoMoreItems);
}

TEST_F(SimRegistryTest, AVolatileParentRefusesANonVolatileChildButOpensAnExistingOne) {
    reg.setVolatile(RegRoot::CurrentConfig, "");
    reg.makeKey(RegRoot::CurrentConfig, "Existing");
    RegKey key;
    EXPECT_EQ(reg.createKey(RegRoot::CurrentConfig, "New", 0, reg::AllAccess, key, nullptr),
              err::ChildMustBeVolatile);
    EXPECT_EQ(reg.createKey(RegRoot::CurrentConfig, "Existing", 0, reg::AllAccess, key, nullptr),
              err::Success);
}

TEST_F(SimRegistryTest, KeysCloseThemselvesAndFaultsHitTheChosenCall) {
    reg.makeKey(RegRoot::LocalMachine, "SOFTWARE\\A");
    {
        RegKey a;
        ASSERT_EQ(reg.openKey(RegRoot::LocalMachine, "SOFTWARE\\A", reg::Read, a), err::Success);
        RegKey moved = std::move(a);
        EXPECT_EQ(reg.openKeyCount(), 1u);
    }
    EXPECT_EQ(reg.openKeyCount(), 0u);
    faults.fail("RegOpenKeyEx", err::AccessDenied, "SOFTWARE\\A", 2);
    RegKey k1, k2, k3;
    EXPECT_EQ(reg.openKey(RegRoot::LocalMachine, "SOFTWARE\\A", reg::Read, k1), err::Success);
    EXPECT_EQ(reg.openKey(RegRoot::LocalMachine, "SOFTWARE\\A", reg::Read, k2), err::AccessDenied);
    EXPECT_EQ(reg.openKey(RegRoot::LocalMachine, "SOFTWARE\\A", reg::Read, k3), err::Success);
    EXPECT_EQ(faults.injected(), 1);
    EXPECT_EQ(faults.delivered(), 1);
}

TEST(SimSystemTest, CopiesMatchNamesWithoutCaseAndCarryTheReadOnlyAttribute) {
    SimMachine m;
    m.writeFile("C:\\VEXO\\Printer Driver\\x86\\UNIDRV.HLP", "help");
    const std::string dest = "C:\\Windows\\system32\\spool\\drivers\\w32x86\\UNIDRV.HLP";
    EXPECT_EQ(m.system.copyFile("printer driver\\X86\\unidrv.hlp", dest, false), err::Success);
    std::ifstream in(m.host("C:\\WINDOWS\\System32\\spool\\drivers\\W32X86\\uniDRV.HLP"));
    std::string content;
    in >> content;
    EXPECT_EQ(content, "help");

    std::filesystem::permissions(m.host("C:\\VEXO\\Printer Driver\\x86\\UNIDRV.HLP"),
                                 std::filesystem::perms::owner_write,
                                 std::filesystem::perm_options::remove);
    std::filesystem::remove(m.host(dest));
    EXPECT_EQ(m.system.copyFile("Printer Driver\\x86\\UNIDRV.HLP", dest, false), err::Success);
    // The copy is read-only now, so a second copy over it is refused, as on Windows.
    EXPECT_EQ(m.system.copyFile("Printer Driver\\x86\\UNIDRV.HLP", dest, false), err::AccessDenied);
    EXPECT_EQ(m.system.copyFile("Printer Driver\\x86\\MISSING.DLL", dest, false),
              err::FileNotFound);
    EXPECT_EQ(m.system.copyFile("Printer Driver\\x86\\UNIDRV.HLP", "C:\\NoSuchDir\\x", false),
              err::PathNotFound);
}

TEST(SimSystemTest, ABareBackslashIsTheRootOfTheCurrentDrive) {
    SimMachine m;
    m.system.setCurrentDirectory("C:\\VEXO");
    EXPECT_EQ(m.system.absolutePath("\\uniDRV.DLL"), "C:\\uniDRV.DLL");
    EXPECT_EQ(m.system.absolutePath("Printer Driver\\x"), "C:\\VEXO\\Printer Driver\\x");
    m.system.setCurrentDirectory("C:\\");
    EXPECT_EQ(m.system.absolutePath("USB Driver"), "C:\\USB Driver");
}

TEST(SimSpoolerTest, AddingAPrinterWritesItsKeysAndOnLineFollowsTheBoundPort) {
    SimMachine m;
    m.spooler.addLocalPort("USB001", "Virtual printer port for USB");
    m.spooler.addLocalPort("USB002", "Virtual printer port for USB");
    m.spooler.connectPrinterAt("USB002");
    for (const char* f : {"uniDRV.DLL", "TQ20P.GPD", "uniDRVui.DLL"}) {
        m.writeFile(std::string("C:\\Windows\\system32\\spool\\drivers\\w32x86\\") + f, "x");
    }
    DriverInfo3 d;
    d.version = 2;
    d.name = "K20A";
    d.environment = "Windows NT x86";
    d.driverPath = "C:\\Windows\\system32\\spool\\drivers\\w32x86\\uniDRV.DLL";
    d.dataFile = "C:\\Windows\\system32\\spool\\drivers\\w32x86\\TQ20P.GPD";
    d.configFile = "C:\\Windows\\system32\\spool\\drivers\\w32x86\\uniDRVui.DLL";
    ASSERT_EQ(m.spooler.addPrinterDriver(d), err::Success);
    d.dependentFiles = {"\\unires.DLL"};
    EXPECT_EQ(m.spooler.addPrinterDriver(d), err::FileNotFound);

    PrinterInfo2 p;
    p.printerName = "K20A";
    p.driverName = "K20A";
    p.portName = "USB001";
    PrinterHandle h;
    ASSERT_EQ(m.spooler.addPrinter(p, h), err::Success);
    EXPECT_TRUE(h.isOpen());
    PrinterHandle again;
    EXPECT_EQ(m.spooler.addPrinter(p, again), err::PrinterAlreadyExists);
    EXPECT_EQ(again.reset(), err::InvalidHandle);

    std::vector<PrinterInfo2> list;
    ASSERT_EQ(m.spooler.enumPrinters(6, list), err::Success);
    const char* online = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\K20A";
    EXPECT_FALSE(m.registry.get(RegRoot::CurrentConfig, online, "PrinterOnLine"));
    m.registry.putText(RegRoot::LocalMachine, std::string(kPrintersKey) + "K20A", "Port", "USB002");
    ASSERT_EQ(m.spooler.enumPrinters(6, list), err::Success);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].portName, "USB002");
    auto v = m.registry.get(RegRoot::CurrentConfig, online, "PrinterOnLine");
    ASSERT_TRUE(v);
    EXPECT_EQ(v->data, regDwordData(1));
}

} // namespace
} // namespace vexo::sim
