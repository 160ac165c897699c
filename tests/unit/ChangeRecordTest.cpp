// The change record as its file keeps it, and what the undo accepts of one: a record that a
// rollback reads back must be exactly what the installation kept, and anything else in it
// refuses the whole record.
#include "InstallFixture.h"
#include "install/DriverDeployment.h"
#include "install/Undo.h"

namespace vexo::test {
namespace {

Change value(RegRoot root, const std::string& key, const std::string& name,
             std::optional<RegValue> previous) {
    Change c = Change::of(ChangeKind::ValueWritten, key);
    c.root = root;
    c.valueName = name;
    c.previous = std::move(previous);
    return c;
}

// One change of each kind, with the texts a line could break on.
ChangeRecord everyKind() {
    Change file = Change::of(ChangeKind::FileCopied, std::string(kX86Dir) + "\\TQ20P.GPD");
    file.environment = "Windows NT x86";
    Change driver = Change::of(ChangeKind::DriverRegistered, "K20A");
    driver.environment = "Windows NT x86";
    driver.version = 3;
    Change changed = Change::of(ChangeKind::PrinterChanged, "Front desk");
    changed.before = {"IP_10.0.0.5", "2nd floor\tby the lift", "a \\ comment\r\nwith a line"};
    Change key = Change::of(ChangeKind::KeyCreated,
                            "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Front desk");
    key.root = RegRoot::CurrentConfig;
    Change devMode = Change::of(ChangeKind::DevModeSet, "Front desk");
    devMode.devMode = {0x00, 0x0A, 0xFF, '\t', '\n'};
    return {Change::of(ChangeKind::PortCreated, "IP_10.0.0.20"),
            file,
            driver,
            Change::of(ChangeKind::PrinterAdded, "Front desk"),
            changed,
            value(RegRoot::CurrentUser, kWindowsKey, "Device",
                  RegValue{reg::TypeSz, regSzData("K20A,winspool,LPT1:")}),
            value(RegRoot::LocalMachine,
                  "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\Front desk", "Port",
                  std::nullopt),
            key,
            devMode};
}

std::string textOf(const std::string& token, const ChangeRecord& changes) {
    std::string text = recordHeader(token);
    for (const Change& c : changes) {
        text += changeLine(c);
    }
    return text;
}

TEST(ChangeRecordTest, ReadsBackExactlyWhatWasKeptAndOnlyTheLastRunsRecord) {
    const ChangeRecord kept = everyKind();
    const std::string text = textOf("12/8/2026 10:00:01 {A1}", kept);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 10) << "a line each\n" << text;
    ReadRecord read = readRecord(text);
    EXPECT_EQ(read.fault, "");
    EXPECT_EQ(read.token, "12/8/2026 10:00:01 {A1}");
    EXPECT_TRUE(read.changes == kept);

    struct Row {
        std::string text;
        std::string token, fault;
        std::size_t changes;
        bool spent;
    };
    const Row rows[] = {
        {"", "", "", 0, false},
        // An earlier run's record, spent, then this run's.
        {text + "spent\n" + textOf("t2", {kept[0]}), "t2", "", 1, false},
        {textOf("t2", {kept[0]}) + "spent\n", "t2", "", 0, true},
        {"Vexo\tt\n", "", "its first line is not that of a record of this program", 0, false},
        {textOf("t", {}) + "port\tIP_a\textra\n", "t", "its line 2 is no change this program makes",
         0, false},
        {textOf("t", {}) + "value\tHKLM\tk\tn\t1:0G\n", "t",
         "its line 2 is no change this program makes", 0, false},
        {textOf("t", {}) + "driver\tWindows x64\tthree\tK20A\n", "t",
         "its line 2 is no change this program makes", 0, false},
        {textOf("t", {}) + "devmode\tK20A\t0A0\n", "t",
         "its line 2 is no change this program makes", 0, false},
        {textOf("t", {kept[0]}) + "delete\tC:\\Windows\n", "t",
         "its line 3 is no change this program makes", 0, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        read = readRecord(r.text);
        EXPECT_EQ(read.token, r.token);
        EXPECT_EQ(read.fault, r.fault);
        EXPECT_EQ(read.changes.size(), r.changes);
        EXPECT_EQ(read.spent, r.spent);
    }
}

TEST(ChangeRecordTest, TheUndoTakesOnlyWhatTheInstallationWrites) {
    sim::SimMachine m;
    EXPECT_EQ(undoRefusal(m.spooler, everyKind()), "");
    ChangeRecord onArm = everyKind();
    onArm[2].environment = "Windows ARM64";
    EXPECT_EQ(undoRefusal(m.spooler, onArm), "") << "the driver of Windows on ARM";
    Change elsewhere = Change::of(ChangeKind::FileCopied, "C:\\Windows\\system32\\TQ20P.GPD");
    elsewhere.environment = "Windows NT x86";
    Change notADriverFile = Change::of(ChangeKind::FileCopied, std::string(kX86Dir) + "\\a.dll");
    notADriverFile.environment = "Windows NT x86";
    Change otherDriver = Change::of(ChangeKind::DriverRegistered, "HP Universal Printing PCL 6");
    otherDriver.environment = "Windows x64";
    Change otherKey = Change::of(ChangeKind::KeyCreated, "SOFTWARE\\Policies\\x");
    otherKey.root = RegRoot::LocalMachine;
    const std::pair<Change, std::string> refused[] = {
        {elsewhere, "file\tWindows NT x86\tC:\\\\Windows\\\\system32\\\\TQ20P.GPD"},
        {notADriverFile, "file\tWindows NT x86\t"},
        {otherDriver, "driver\tWindows x64\t0\tHP Universal Printing PCL 6"},
        {Change::of(ChangeKind::PortCreated, "LPT1:"), "port\tLPT1:"},
        {Change::of(ChangeKind::PrinterAdded, "a\\b"), "printer\ta\\\\b"},
        {value(RegRoot::LocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon",
               "Shell", std::nullopt),
         "value\tHKLM\tSOFTWARE"},
        {value(RegRoot::LocalMachine, kPortsKey, "LPT1:", std::nullopt), "value\tHKLM\tSOFTWARE"},
        {value(RegRoot::CurrentUser, kWindowsKey, "Device2", std::nullopt), "value\tHKCU\t"},
        {value(RegRoot::LocalMachine, "SYSTEM\\ControlSet001\\Control\\Print\\Printers\\K20A\\x",
               "Port", std::nullopt),
         "value\tHKLM\tSYSTEM"},
        {otherKey, "key\tHKLM\tSOFTWARE\\\\Policies\\\\x"},
        {Change::of(ChangeKind::DevModeSet, "K20A"), "devmode\tK20A\t"},
    };
    for (const auto& [change, line] : refused) {
        ChangeRecord record = everyKind();
        record.insert(record.begin() + 2, change);
        const std::string why = undoRefusal(m.spooler, record);
        EXPECT_NE(why.find("it holds a change this program never makes: " + line),
                  std::string::npos)
            << why;
    }
}

} // namespace
} // namespace vexo::test
