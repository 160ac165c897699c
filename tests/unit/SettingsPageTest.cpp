#include "Fixture.h"
#include "pages/PortSelectPage.h"
#include "pages/PrinterSettingsPage.h"
#include "resources/ResourceIds.h"

namespace vexo::test {
namespace {

using sim::DialogDriver;

class SettingsPageTest : public MachineTest {
  protected:
    std::intptr_t run(const std::function<void(DialogDriver&)>& script) {
        ui.onDialog(IDD_PRINTER_SETTINGS, script);
        PrinterSettingsPage page(platform);
        return page.doModal();
    }
    const std::vector<int> serialLists{IDC_SET_BAUD, IDC_SET_DATA_BITS, IDC_SET_STOP_BITS,
                                       IDC_SET_PARITY, IDC_SET_FLOW};
};

TEST_F(SettingsPageTest, OpensWithTheFirstModelTheDefaultFlagAndTheSerialDefaults) {
    run([&](DialogDriver& d) {
        EXPECT_EQ(d.comboItems(IDC_SET_MODEL),
                  (std::vector<std::string>{"K20A", "K20AW", "K30A", "K30AN", "K30AL", "M41", "M42",
                                            "M43"}));
        EXPECT_EQ(d.comboSelection(IDC_SET_MODEL), 0);
        EXPECT_EQ(d.text(IDC_SET_PRINTER_NAME), "K20A");
        EXPECT_EQ(d.checkState(IDC_SET_DEFAULT_PRINTER), CheckChecked);
        EXPECT_EQ(d.focusedId(), IDC_SET_MODEL);
        EXPECT_EQ(d.comboText(IDC_SET_PORT), "LPT1");
        // The defaults translate to the codes the installation writes.
        EXPECT_EQ(baudCodes[static_cast<std::size_t>(d.comboSelection(IDC_SET_BAUD))],
                  std::string("19200"));
        EXPECT_EQ(parityCodes[static_cast<std::size_t>(d.comboSelection(IDC_SET_PARITY))],
                  std::string("N"));
        EXPECT_EQ(dataBitsCodes[static_cast<std::size_t>(d.comboSelection(IDC_SET_DATA_BITS))],
                  std::string("8"));
        EXPECT_EQ(stopBitsCodes[static_cast<std::size_t>(d.comboSelection(IDC_SET_STOP_BITS))],
                  std::string("1"));
        EXPECT_EQ(flowCodes[static_cast<std::size_t>(d.comboSelection(IDC_SET_FLOW))],
                  std::string("p"));
        for (int id : serialLists) {
            EXPECT_FALSE(d.enabled(id)) << id;
            EXPECT_FALSE(d.visible(id)) << id;
        }
        EXPECT_TRUE(d.enabled(IDC_SET_PORT));
        EXPECT_NE(state.settingsPage, nullptr);
        d.click(IDC_SET_EXIT);
    });
    EXPECT_EQ(state.settingsPage, nullptr); // the page is gone: no pointer to it is left
}

TEST_F(SettingsPageTest, TheSerialListsCarryTheirItemsFromTheTemplate) {
    run([&](DialogDriver& d) {
        EXPECT_EQ(
            d.comboItems(IDC_SET_PORT),
            (std::vector<std::string>{"LPT1", "LPT2", "LPT3", "COM1", "COM2", "COM3", "COM4"}));
        EXPECT_EQ(d.comboItems(IDC_SET_BAUD).size(), baudCodes.size());
        EXPECT_EQ(d.comboItems(IDC_SET_PARITY),
                  (std::vector<std::string>{"Even", "Mark", "None", "Odd", "Space"}));
        EXPECT_EQ(d.comboItems(IDC_SET_FLOW),
                  (std::vector<std::string>{"None", "XonXoff", "Hardware"}));
        d.click(IDC_SET_EXIT);
    });
}

TEST_F(SettingsPageTest, ThePrinterNameFollowsTheModel) {
    run([&](DialogDriver& d) {
        for (int m = 7; m >= 0; --m) {
            d.selectComboItem(IDC_SET_MODEL, m);
            EXPECT_EQ(d.text(IDC_SET_PRINTER_NAME), modelCodes[static_cast<std::size_t>(m)]);
        }
        d.selectComboItem(IDC_SET_MODEL, 0);
        d.selectComboItem(IDC_SET_MODEL, 0);
        EXPECT_EQ(d.text(IDC_SET_PRINTER_NAME), "K20A");
        EXPECT_EQ(d.checkState(IDC_SET_DEFAULT_PRINTER), CheckChecked);
        d.click(IDC_SET_EXIT);
    });
}

TEST_F(SettingsPageTest, TheSerialListsAreEnabledExactlyForTheComRows) {
    run([&](DialogDriver& d) {
        // The port list is hidden; select in it as a program would, with its notification.
        for (int row : {3, 0, 6, 2, 4}) {
            d.selectComboItem(IDC_SET_PORT, row, sim::DialogDriver::EvenIfHidden);
            for (int id : serialLists) {
                EXPECT_EQ(d.enabled(id), row > 2) << "port row " << row << ", list " << id;
            }
        }
        d.click(IDC_SET_EXIT);
    });
}

TEST_F(SettingsPageTest, BackCancelsWhileExitEscCloseAndEnterEndWithOk) {
    EXPECT_EQ(run([](DialogDriver& d) { d.click(IDC_SET_BACK); }), IdCancel);
    EXPECT_EQ(run([](DialogDriver& d) { d.click(IDC_SET_EXIT); }), IdOk);
    EXPECT_EQ(run([](DialogDriver& d) { d.pressEscape(); }), IdOk);
    EXPECT_EQ(run([](DialogDriver& d) { d.closeBox(); }), IdOk);
    EXPECT_EQ(run([](DialogDriver& d) { d.pressEnter(); }), IdOk);
    EXPECT_TRUE(ui.messageBoxes().empty());
}

TEST_F(SettingsPageTest, NextOpensANewPortPageEachTimeAndPointsPortPageAtIt) {
    std::vector<PortSelectPage*> pages;
    for (int i = 0; i < 3; ++i) {
        ui.onDialog(IDD_PORT_SELECT, [&, i](DialogDriver& d) {
            pages.push_back(state.portPage);
            d.click(i == 0 ? IDC_PS_CANCEL : IDC_PS_BACK);
        });
    }
    run([&](DialogDriver& d) {
        d.click(IDC_SET_NEXT);
        d.click(IDC_SET_NEXT);
        d.click(IDC_SET_NEXT);
        EXPECT_TRUE(d.isOpen());
        d.click(IDC_SET_EXIT);
    });
    ASSERT_EQ(pages.size(), 3u);
    EXPECT_NE(pages[0], nullptr);
    EXPECT_EQ(state.portPage, pages[2]);
}

} // namespace
} // namespace vexo::test
