#include "pages/OsSelectPage.h"
#include "Fixture.h"
#include "resources/ResourceIds.h"

namespace vexo::test {
namespace {

using sim::DialogDriver;

struct VersionCase {
    std::uint32_t platformId, major, minor;
    int expected; // -1: the version leaves osType unchanged
};

TEST(OsTypeCode, ClassifiesEveryListedVersionAndNothingElse) {
    const VersionCase cases[] = {
        {PlatformWindows, 4, 0, 1},
        {PlatformWindows, 4, 10, 2},
        {PlatformWindows, 4, 90, 2},
        {PlatformWindows, 4, 3, -1},
        {PlatformWindows, 5, 0, -1},
        {PlatformNt, 3, 51, 3},
        {PlatformNt, 4, 0, 3},
        {PlatformNt, 5, 0, 4},
        {PlatformNt, 5, 1, 5},
        {PlatformNt, 5, 2, 6},
        {PlatformNt, 5, 3, -1},
        {PlatformNt, 6, 0, 7},
        {PlatformNt, 6, 1, 8},
        {PlatformNt, 6, 2, 9},
        {PlatformNt, 6, 3, -1},
        {PlatformNt, 10, 0, -1},
        {PlatformNt, 7, 0, -1},
        {PlatformWin32s, 3, 1, 4},
        {3, 0, 0, 4},
    };
    for (const auto& c : cases) {
        auto code = classifyOsVersion(OsVersion{c.major, c.minor, 0, c.platformId});
        SCOPED_TRACE(testing::Message()
                     << "platform " << c.platformId << " version " << c.major << "." << c.minor);
        if (c.expected < 0) {
            EXPECT_FALSE(code.has_value());
        } else {
            EXPECT_EQ(code, c.expected);
        }
    }
}

TEST(OsTypeCode, MapsEachCodeToItsRadioButton) {
    const int expected[] = {0,
                            IDC_OS_WIN95,
                            IDC_OS_WIN98,
                            IDC_OS_WINNT4,
                            IDC_OS_WIN2000,
                            IDC_OS_WINXP,
                            IDC_OS_WIN2003,
                            IDC_OS_WINVISTA,
                            IDC_OS_WIN7,
                            IDC_OS_WIN8};
    for (int code = 0; code <= 9; ++code) {
        EXPECT_EQ(osRadioButton(static_cast<OsTypeCode>(code)), expected[code]) << "code " << code;
    }
    EXPECT_EQ(osRadioButton(static_cast<OsTypeCode>(10)), 0);
}

class OsSelectPageTest : public MachineTest {
  protected:
    // Opens the page, lets `look` see it, then exits.
    void openPage(const std::function<void(DialogDriver&)>& look) {
        ui.onDialog(IDD_OS_SELECT, [&](DialogDriver& d) {
            look(d);
            d.click(IDC_OS_EXIT);
        });
        OsSelectPage page(platform);
        EXPECT_EQ(page.doModal(), IdCancel);
    }
    std::vector<int> checkedRadios(DialogDriver& d) {
        std::vector<int> out;
        for (int id : {IDC_OS_WIN95, IDC_OS_WIN98, IDC_OS_WINNT4, IDC_OS_WIN2000, IDC_OS_WINXP,
                       IDC_OS_WIN2003, IDC_OS_WINVISTA, IDC_OS_WIN7, IDC_OS_WIN8}) {
            if (d.checkState(id) == CheckChecked) {
                out.push_back(id);
            }
        }
        return out;
    }
};

TEST_F(OsSelectPageTest, ChecksTheRadioButtonOfTheDetectedVersion) {
    machine.system.setVersion({6, 2, 9200, PlatformNt}); // what Windows 8.1 to 11 report
    openPage([&](DialogDriver& d) {
        EXPECT_EQ(checkedRadios(d), std::vector<int>{IDC_OS_WIN8});
        EXPECT_EQ(d.focusedId(), IDC_OS_INSTALL);
    });
    EXPECT_EQ(state.osType, 9);
}

TEST_F(OsSelectPageTest, UsesTheBasicRecordWhenTheExtendedOneIsRefused) {
    machine.system.setVersion({5, 1, 2600, PlatformNt});
    machine.system.setVersionRecordsAccepted(false, true);
    openPage([&](DialogDriver& d) { EXPECT_EQ(checkedRadios(d), std::vector<int>{IDC_OS_WINXP}); });
    EXPECT_EQ(state.osType, 5);
    auto calls = machine.faults.callsOf("GetVersionEx");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].subject, "156");
    EXPECT_EQ(calls[1].subject, "148");
}

TEST_F(OsSelectPageTest, ChecksNothingWhenTheVersionIsUnknownOrTheQueryFails) {
    machine.system.setVersion({10, 0, 19045, PlatformNt});
    openPage([&](DialogDriver& d) { EXPECT_TRUE(checkedRadios(d).empty()); });
    EXPECT_EQ(state.osType, 0);

    machine.system.setVersionRecordsAccepted(false, false);
    openPage([&](DialogDriver& d) { EXPECT_TRUE(checkedRadios(d).empty()); });
    EXPECT_EQ(state.osType, 0);
}

TEST_F(OsSelectPageTest, KeepsTheEarlierDetectionWhenALaterOneFindsNothing) {
    machine.system.setVersion({6, 1, 7601, PlatformNt});
    openPage([](DialogDriver&) {});
    machine.system.setVersion({6, 3, 9600, PlatformNt});
    openPage([&](DialogDriver& d) {
        // The earlier result stays in osType and is shown again.
        EXPECT_EQ(checkedRadios(d), std::vector<int>{IDC_OS_WIN7});
    });
    EXPECT_EQ(state.osType, 8);
}

TEST_F(OsSelectPageTest, ShowsOnlyTheVisibleControlsOfItsLayout) {
    openPage([&](DialogDriver& d) {
        for (int id : {IDC_OS_WIN95, IDC_OS_WIN98, IDC_OS_WINNT4, IDC_OS_USB_DRIVER,
                       IDC_OS_LEGACY_USB_DRIVER, IDC_OS_SLIDER, IDC_OS_BACK, IDC_OS_EDIT}) {
            EXPECT_FALSE(d.visible(id)) << id;
        }
        EXPECT_FALSE(d.enabled(IDC_OS_USB_DRIVER));
        EXPECT_FALSE(d.enabled(IDC_OS_BACK));
        for (int id : {IDC_OS_WIN2000, IDC_OS_WINXP, IDC_OS_WIN2003, IDC_OS_WINVISTA, IDC_OS_WIN7,
                       IDC_OS_WIN8, IDC_OS_INSTALL, IDC_OS_EXIT}) {
            EXPECT_TRUE(d.visible(id)) << id;
        }
        EXPECT_TRUE(d.systemMenu().empty());
    });
}

TEST_F(OsSelectPageTest, EndsWithOkFromTheForwardButtonAndFromEnter) {
    ui.onDialog(IDD_OS_SELECT, [](DialogDriver& d) { d.click(IDC_OS_INSTALL); });
    OsSelectPage page(platform);
    EXPECT_EQ(page.doModal(), IdOk);

    // Enter with the focus on a radio button: the dialog manager's OK command.
    ui.onDialog(IDD_OS_SELECT, [](DialogDriver& d) {
        d.click(IDC_OS_WINXP);
        d.pressEnter();
    });
    EXPECT_EQ(page.doModal(), IdOk);
}

TEST_F(OsSelectPageTest, EndsWithCancelFromExitEscAndTheCloseBox) {
    OsSelectPage page(platform);
    for (auto action : std::vector<std::function<void(DialogDriver&)>>{
             [](DialogDriver& d) { d.click(IDC_OS_EXIT); },
             [](DialogDriver& d) { d.pressEscape(); }, [](DialogDriver& d) { d.closeBox(); }}) {
        ui.onDialog(IDD_OS_SELECT, action);
        EXPECT_EQ(page.doModal(), IdCancel);
    }
}

TEST_F(OsSelectPageTest, ClickingAnotherRadioButtonChangesNothingElse) {
    ui.onDialog(IDD_OS_SELECT, [&](DialogDriver& d) {
        d.click(IDC_OS_WINXP);
        EXPECT_EQ(checkedRadios(d), std::vector<int>{IDC_OS_WINXP});
        d.click(IDC_OS_INSTALL);
    });
    OsSelectPage page(platform);
    EXPECT_EQ(page.doModal(), IdOk);
    EXPECT_EQ(state.osType, 8);
    EXPECT_TRUE(machine.system.shellStarts().empty());
}

class LaunchTest : public MachineTest {
  protected:
    // Runs the hidden commands directly: no user can reach them on the page.
    std::vector<std::string> launch(bool legacy) {
        ui.onDialog(IDD_OS_SELECT, [](DialogDriver& d) { d.click(IDC_OS_EXIT); });
        OsSelectPage page(platform);
        page.doModal();
        if (legacy) {
            page.launchLegacyUsbDriverInstaller();
        } else {
            page.launchUsbDriverInstaller();
        }
        return machine.system.shellStarts();
    }
};

TEST_F(LaunchTest, StartsTheInstallerOfTheArchitecture) {
    machine.system.setCurrentDirectory("D:\\Drivers\\VEXO");
    machine.system.setWow64(true);
    EXPECT_EQ(launch(false).back(), "D:\\Drivers\\VEXO\\USB Driver\\x64\\dpinstx64.exe");
    machine.system.setWow64(false);
    EXPECT_EQ(launch(false).back(), "D:\\Drivers\\VEXO\\USB Driver\\x86\\dpinstx86.exe");
    machine.system.setWow64(std::nullopt); // IsWow64Process missing
    EXPECT_EQ(launch(false).back(), "D:\\Drivers\\VEXO\\USB Driver\\x86\\dpinstx86.exe");
    machine.faults.fail("IsWow64Process", err::AccessDenied);
    machine.system.setWow64(true);
    EXPECT_EQ(launch(false).back(), "D:\\Drivers\\VEXO\\USB Driver\\x86\\dpinstx86.exe");
    EXPECT_EQ(launch(true).back(), "D:\\Drivers\\VEXO\\USBdriver\\x86\\dpinst.exe");
}

TEST_F(LaunchTest, KeepsTheDoubledBackslashOfADriveRoot) {
    machine.system.setCurrentDirectory("E:\\");
    EXPECT_EQ(launch(false).back(), "E:\\\\USB Driver\\x86\\dpinstx86.exe");
    EXPECT_EQ(launch(true).back(), "E:\\\\USBdriver\\x86\\dpinst.exe");
}

TEST_F(LaunchTest, BuildsWholePathsFromACurrentDirectoryBeyond259Characters) {
    std::string dir = "C:\\" + std::string(300, 'd') + "\\中文驱动";
    machine.system.setCurrentDirectory(dir);
    EXPECT_EQ(launch(false).back(), dir + "\\USB Driver\\x86\\dpinstx86.exe");
}

TEST_F(LaunchTest, AMissingInstallerIsSilentAndThePageStaysUsable) {
    auto starts = launch(false);
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_TRUE(ui.messageBoxes().empty());
}

} // namespace
} // namespace vexo::test
