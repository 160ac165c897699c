#include "Fixture.h"
#include "app/InstallerApp.h"
#include "pages/PortSelectPage.h"
#include "pages/PrinterSettingsPage.h"
#include "resources/ResourceIds.h"

namespace vexo::test {
namespace {

using sim::DialogDriver;
using Action = std::function<void(DialogDriver&)>;

class WizardTest : public MachineTest {
  protected:
    void run() {
        InstallerApp app(platform);
        EXPECT_FALSE(app.initInstance());
    }
    std::vector<int> opened() const { return ui.openedDialogs(); }
};

TEST_F(WizardTest, CancellingTheFirstPageEndsAtOnce) {
    for (Action cancel : {Action([](DialogDriver& d) { d.click(IDC_OS_EXIT); }),
                          Action([](DialogDriver& d) { d.pressEscape(); }),
                          Action([](DialogDriver& d) { d.closeBox(); })}) {
        sim::SimMachine fresh;
        resetInstallerState();
        fresh.ui.onDialog(IDD_OS_SELECT, cancel);
        InstallerApp app(fresh.platform);
        EXPECT_FALSE(app.initInstance());
        EXPECT_EQ(fresh.ui.openedDialogs(), std::vector<int>{IDD_OS_SELECT});
        EXPECT_TRUE(fresh.ui.errors().empty());
    }
}

TEST_F(WizardTest, RegistersTheUpdateMessageBeforeThePagesRun) {
    ui.onDialog(IDD_OS_SELECT, [](DialogDriver& d) { d.click(IDC_OS_EXIT); });
    run();
    EXPECT_EQ(state.updateDataMessage, ui.registerWindowMessage("MyUpdateData"));
    EXPECT_NE(state.updateDataMessage, 0u);
}

TEST_F(WizardTest, ForwardThenBackReturnsToTheSamePageWhichDetectsAgain) {
    machine.system.setVersion({6, 1, 7601, PlatformNt});
    ui.onDialog(IDD_OS_SELECT, [](DialogDriver& d) { d.click(IDC_OS_INSTALL); });
    ui.onDialog(IDD_PRINTER_SETTINGS, [&](DialogDriver& d) {
        machine.system.setVersion({6, 2, 9200, PlatformNt});
        d.click(IDC_SET_BACK);
    });
    ui.onDialog(IDD_OS_SELECT, [&](DialogDriver& d) {
        EXPECT_EQ(state.osType, 9);
        EXPECT_EQ(d.checkState(IDC_OS_WIN8), CheckChecked);
        EXPECT_EQ(d.checkState(IDC_OS_WIN7), CheckUnchecked);
        d.click(IDC_OS_EXIT);
    });
    run();
    EXPECT_EQ(opened(), (std::vector<int>{IDD_OS_SELECT, IDD_PRINTER_SETTINGS, IDD_OS_SELECT}));
}

TEST_F(WizardTest, EveryOtherEndingOfTheSettingsPageEndsTheInstaller) {
    for (Action end : {Action([](DialogDriver& d) { d.click(IDC_SET_EXIT); }),
                       Action([](DialogDriver& d) { d.pressEscape(); }),
                       Action([](DialogDriver& d) { d.closeBox(); }),
                       Action([](DialogDriver& d) { d.pressEnter(); })}) {
        sim::SimMachine fresh;
        resetInstallerState();
        fresh.ui.onDialog(IDD_OS_SELECT, [](DialogDriver& d) { d.click(IDC_OS_INSTALL); });
        fresh.ui.onDialog(IDD_PRINTER_SETTINGS, end);
        InstallerApp app(fresh.platform);
        app.initInstance();
        EXPECT_EQ(fresh.ui.openedDialogs(),
                  (std::vector<int>{IDD_OS_SELECT, IDD_PRINTER_SETTINGS}));
        EXPECT_TRUE(fresh.ui.errors().empty());
        EXPECT_TRUE(fresh.ui.messageBoxes().empty());
    }
}

// A wizard that cannot open a page ends, and says why: in the debugger output, in an error
// box when one can still be shown, and in a non-zero exit code.
TEST_F(WizardTest, APageThatCannotBeCreatedEndsTheWizardAndSaysWhy) {
    struct Case {
        int failing;
        WinError error;
        std::string why;
    };
    for (const Case& c : {Case{IDD_OS_SELECT, err::ResourceNameNotFound,
                               "The specified resource name cannot be found in the image file. "
                               "(error 1814)"},
                          Case{IDD_PRINTER_SETTINGS, err::Success, "Windows gave no reason."},
                          Case{IDD_PORT_SELECT, err::NotEnoughMemory,
                               "Not enough memory resources are available to process this "
                               "command. (error 8)"}}) {
        sim::SimMachine fresh;
        resetInstallerState();
        if (c.failing != IDD_OS_SELECT) {
            fresh.ui.onDialog(IDD_OS_SELECT, [](DialogDriver& d) { d.click(IDC_OS_INSTALL); });
        }
        if (c.failing == IDD_PORT_SELECT) {
            // The settings page ends after the failed "&Next >", as after an installation.
            fresh.ui.onDialog(IDD_PRINTER_SETTINGS, [](DialogDriver& d) {
                d.click(IDC_SET_NEXT);
                EXPECT_FALSE(d.isOpen());
            });
        }
        fresh.ui.failToCreate(c.failing, c.error);
        InstallerApp app(fresh.platform);
        EXPECT_FALSE(app.initInstance());

        const std::string text = "The installer could not open its window (dialog " +
                                 std::to_string(c.failing) + "): " + c.why;
        EXPECT_EQ(app.exitCode(), 1);
        EXPECT_EQ(fresh.system.debugLines(), std::vector<std::string>{"VexoSetup: " + text + "\n"});
        ASSERT_EQ(fresh.ui.messageBoxes().size(), 1u);
        EXPECT_EQ(fresh.ui.messageBoxes()[0].text, text);
        EXPECT_EQ(fresh.ui.messageBoxes()[0].style, mb::Ok | mb::IconError);
        EXPECT_EQ(fresh.ui.openedDialogs().size(), c.failing == IDD_OS_SELECT          ? 0u
                                                   : c.failing == IDD_PRINTER_SETTINGS ? 1u
                                                                                       : 2u);
    }
}

TEST_F(WizardTest, EachVisitOfTheSettingsPageStartsFromItsDefaults) {
    ui.onDialog(IDD_OS_SELECT, [](DialogDriver& d) { d.click(IDC_OS_INSTALL); });
    ui.onDialog(IDD_PRINTER_SETTINGS, [](DialogDriver& d) {
        d.selectComboItem(IDC_SET_MODEL, 6);
        d.click(IDC_SET_DEFAULT_PRINTER);
        d.click(IDC_SET_BACK);
    });
    ui.onDialog(IDD_OS_SELECT, [](DialogDriver& d) { d.click(IDC_OS_INSTALL); });
    ui.onDialog(IDD_PRINTER_SETTINGS, [](DialogDriver& d) {
        EXPECT_EQ(d.comboSelection(IDC_SET_MODEL), 0);
        EXPECT_EQ(d.text(IDC_SET_PRINTER_NAME), "K20A");
        EXPECT_EQ(d.checkState(IDC_SET_DEFAULT_PRINTER), CheckChecked);
        EXPECT_EQ(d.comboText(IDC_SET_BAUD), "19200");
        d.click(IDC_SET_EXIT);
    });
    run();
}

TEST_F(WizardTest, CancellingThePortPageKeepsTheSettingsAndNextOpensAFreshPortPage) {
    ui.onDialog(IDD_OS_SELECT, [](DialogDriver& d) { d.click(IDC_OS_INSTALL); });
    ui.onDialog(IDD_PRINTER_SETTINGS, [&](DialogDriver& d) {
        d.selectComboItem(IDC_SET_MODEL, 3);
        d.click(IDC_SET_DEFAULT_PRINTER);
        d.click(IDC_SET_NEXT);
        EXPECT_TRUE(d.isOpen());
        EXPECT_EQ(d.comboSelection(IDC_SET_MODEL), 3);
        EXPECT_EQ(d.text(IDC_SET_PRINTER_NAME), "K30AN");
        EXPECT_EQ(d.checkState(IDC_SET_DEFAULT_PRINTER), CheckUnchecked);
        d.click(IDC_SET_NEXT);
        d.click(IDC_SET_EXIT);
    });
    ui.onDialog(IDD_PORT_SELECT, [&](DialogDriver& d) {
        d.click(IDC_PS_SEARCH_PORT); // the machine's ports, none selected
        d.click(IDC_PS_CANCEL);
    });
    ui.onDialog(IDD_PORT_SELECT, [&](DialogDriver& d) {
        // A fresh page: the kinds of port again, with "USB port" selected.
        EXPECT_EQ(d.column(IDC_PS_PORT_LIST, 0),
                  (std::vector<std::string>{"Serial port", "USB port", "TCP/IP port"}));
        EXPECT_EQ(d.selectedRows(IDC_PS_PORT_LIST), std::vector<int>{1});
        d.click(IDC_PS_BACK);
    });
    run();
    EXPECT_EQ(opened(), (std::vector<int>{IDD_OS_SELECT, IDD_PRINTER_SETTINGS, IDD_PORT_SELECT,
                                          IDD_PORT_SELECT}));
}

TEST_F(WizardTest, ThePortPageIsModalOverTheSettingsPage) {
    ui.onDialog(IDD_OS_SELECT, [](DialogDriver& d) { d.click(IDC_OS_INSTALL); });
    ui.onDialog(IDD_PRINTER_SETTINGS, [&](DialogDriver& d) {
        d.click(IDC_SET_NEXT);
        d.click(IDC_SET_EXIT);
    });
    ui.onDialog(IDD_PORT_SELECT, [&](DialogDriver& d) {
        EXPECT_EQ(ui.openDialogs(), (std::vector<int>{IDD_PRINTER_SETTINGS, IDD_PORT_SELECT}));
        d.click(IDC_PS_CANCEL);
    });
    run();
}

class AboutBoxTest : public MachineTest {
  protected:
    // Opens a settings page, runs `look`, exits.
    void onSettingsPage(const Action& look) {
        ui.onDialog(IDD_PRINTER_SETTINGS, [&](DialogDriver& d) {
            look(d);
            d.click(IDC_SET_EXIT);
        });
        PrinterSettingsPage page(platform);
        EXPECT_EQ(page.doModal(), IdOk);
    }
};

TEST_F(AboutBoxTest, TheSystemMenuGetsASeparatorAndTheAboutItem) {
    onSettingsPage([](DialogDriver& d) {
        auto menu = d.systemMenu();
        ASSERT_EQ(menu.size(), 2u);
        EXPECT_TRUE(menu[0].separator);
        EXPECT_EQ(menu[1].command, 16u);
        EXPECT_EQ(menu[1].text, "关于 VEXO(&A)...");
    });
}

TEST_F(AboutBoxTest, SystemCommands16To31OpenTheAboutBoxAndOthersDoNot) {
    int abouts = 0;
    for (int i = 0; i < 16; ++i) {
        ui.onDialog(IDD_ABOUT, [&](DialogDriver& d) {
            ++abouts;
            EXPECT_EQ(d.title(), "关于 VEXO");
            d.click(IdOk);
        });
    }
    onSettingsPage([](DialogDriver& d) {
        for (std::uint32_t cmd = 16; cmd <= 31; ++cmd) {
            d.systemCommand(cmd);
        }
        d.systemCommand(0x0020);
        d.systemCommand(sim::kScMinimize);
        d.restore();
    });
    EXPECT_EQ(abouts, 16);
}

TEST_F(AboutBoxTest, TheAboutBoxEndsByOkEscOrItsCloseBoxAndChangesNothing) {
    for (Action end : {Action([](DialogDriver& d) { d.click(IdOk); }),
                       Action([](DialogDriver& d) { d.pressEscape(); }),
                       Action([](DialogDriver& d) { d.closeBox(); }),
                       Action([](DialogDriver& d) { d.pressEnter(); })}) {
        ui.onDialog(IDD_ABOUT, end);
    }
    onSettingsPage([&](DialogDriver& d) {
        d.selectComboItem(IDC_SET_MODEL, 2);
        for (int i = 0; i < 4; ++i) {
            d.systemCommand(16);
            EXPECT_TRUE(d.isOpen());
        }
        EXPECT_EQ(d.text(IDC_SET_PRINTER_NAME), "K30A");
    });
}

// Resources without string 101, as a build whose string table lost it.
class WithoutAboutString : public Resources {
  public:
    explicit WithoutAboutString(const Resources& base) : base_(base) {}
    std::optional<std::span<const std::uint8_t>> find(std::uint16_t type,
                                                      std::uint16_t id) const override {
        if (type == rt::String && id == IDS_ABOUTBOX / 16 + 1) {
            return std::nullopt;
        }
        return base_.find(type, id);
    }

  private:
    const Resources& base_;
};

TEST(AboutBoxMissing, NoStringNoItemAndNoSeparator) {
    resetInstallerState();
    sim::SimMachine plain;
    WithoutAboutString resources(plain.platform.resources);
    sim::SimMachine machine(resources);
    machine.ui.onDialog(IDD_PRINTER_SETTINGS, [](DialogDriver& d) {
        EXPECT_TRUE(d.systemMenu().empty());
        d.click(IDC_SET_EXIT);
    });
    PrinterSettingsPage page(machine.platform);
    page.doModal();
    EXPECT_TRUE(machine.ui.errors().empty());
    resetInstallerState();
}

TEST_F(AboutBoxTest, PaintsItsIconCentredOnlyWhileMinimised) {
    onSettingsPage([](DialogDriver& d) {
        EXPECT_NE(d.bigIcon(), 0u);
        EXPECT_EQ(d.bigIcon(), d.smallIcon());
        EXPECT_EQ(d.queryDragIcon(), d.bigIcon());
        EXPECT_FALSE(d.paint());
        EXPECT_TRUE(d.iconDraws().empty());
        d.minimise();
        EXPECT_TRUE(d.paint());
        ASSERT_EQ(d.iconDraws().size(), 1u);
        // a 36 by 36 client area and a 32 by 32 icon: (36 - 32 + 1) / 2
        EXPECT_EQ(d.iconDraws()[0].x, 2);
        EXPECT_EQ(d.iconDraws()[0].y, 2);
        EXPECT_EQ(d.iconDraws()[0].icon, d.bigIcon());
    });
}

} // namespace
} // namespace vexo::test
