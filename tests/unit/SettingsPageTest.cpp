#include "Fixture.h"
#include "install/ModelTables.h"
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
        EXPECT_EQ(codeAt(baudCodes, d.comboSelection(IDC_SET_BAUD)), std::string("19200"));
        EXPECT_EQ(codeAt(parityCodes, d.comboSelection(IDC_SET_PARITY)), std::string("N"));
        EXPECT_EQ(codeAt(dataBitsCodes, d.comboSelection(IDC_SET_DATA_BITS)), std::string("8"));
        EXPECT_EQ(codeAt(stopBitsCodes, d.comboSelection(IDC_SET_STOP_BITS)), std::string("1"));
        EXPECT_EQ(codeAt(flowCodes, d.comboSelection(IDC_SET_FLOW)), std::string("p"));
        for (int id : serialLists) {
            EXPECT_FALSE(d.enabled(id)) << id;
            EXPECT_FALSE(d.visible(id)) << id;
        }
        EXPECT_TRUE(d.enabled(IDC_SET_PORT));
        d.click(IDC_SET_EXIT);
    });
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
        // Each code table stands beside the template's labels, item for item.
        auto labels = [](const auto& table) {
            std::vector<std::string> out;
            for (const SerialCode& c : table) {
                out.emplace_back(c.label);
            }
            return out;
        };
        EXPECT_EQ(d.comboItems(IDC_SET_PORT), labels(portCodes));
        EXPECT_EQ(d.comboItems(IDC_SET_BAUD), labels(baudCodes));
        EXPECT_EQ(d.comboItems(IDC_SET_DATA_BITS), labels(dataBitsCodes));
        EXPECT_EQ(d.comboItems(IDC_SET_STOP_BITS), labels(stopBitsCodes));
        EXPECT_EQ(d.comboItems(IDC_SET_PARITY), labels(parityCodes));
        EXPECT_EQ(d.comboItems(IDC_SET_FLOW), labels(flowCodes));
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

TEST_F(SettingsPageTest, NextOpensAFreshPortPageEachTimeThatEndsWithoutAResult) {
    int opened = 0;
    for (int i = 0; i < 3; ++i) {
        ui.onDialog(IDD_PORT_SELECT, [&, i](DialogDriver& d) {
            ++opened;
            EXPECT_EQ(d.column(IDC_PS_PORT_LIST, 0).size(), 3u) << "page " << i;
            d.click(IDC_PS_SEARCH_PORT);
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
    EXPECT_EQ(opened, 3);
    EXPECT_EQ(state.selectedPortName, ""); // no port page ended with a port
    EXPECT_TRUE(ui.messageBoxes().empty());
}

} // namespace
} // namespace vexo::test
