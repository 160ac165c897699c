// The dialog templates as the program carries them: read from the compiled, embedded
// resources and compared with the page layouts, control by control.
#include "resources/ResourceIds.h"
#include "tests/sim/DialogTemplate.h"
#include "tests/sim/EmbeddedResources.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vexo {
namespace {

// Window, dialog and control styles, as the Windows headers define them.
constexpr std::uint32_t WS_POPUP = 0x80000000;
constexpr std::uint32_t WS_CHILD = 0x40000000;
constexpr std::uint32_t WS_VISIBLE = 0x10000000;
constexpr std::uint32_t WS_DISABLED = 0x08000000;
constexpr std::uint32_t WS_CAPTION = 0x00C00000;
constexpr std::uint32_t WS_BORDER = 0x00800000;
constexpr std::uint32_t WS_VSCROLL = 0x00200000;
constexpr std::uint32_t WS_SYSMENU = 0x00080000;
constexpr std::uint32_t WS_GROUP = 0x00020000;
constexpr std::uint32_t WS_MINIMIZEBOX = 0x00020000;
constexpr std::uint32_t WS_MAXIMIZEBOX = 0x00010000;
constexpr std::uint32_t WS_TABSTOP = 0x00010000;
constexpr std::uint32_t WS_EX_APPWINDOW = 0x00040000;
constexpr std::uint32_t DS_MODALFRAME = 0x80;
constexpr std::uint32_t DS_SETFONT = 0x40;
constexpr std::uint32_t BS_TYPEMASK = 0x0F;
constexpr std::uint32_t SS_TYPEMASK = 0x1F;
constexpr std::uint32_t CBS_TYPEMASK = 0x03;
constexpr std::uint32_t CBS_DROPDOWNLIST = 0x03;
constexpr std::uint32_t CBS_SORT = 0x0100;
constexpr std::uint32_t ES_AUTOHSCROLL = 0x0080;
constexpr std::uint32_t ES_READONLY = 0x0800;
constexpr std::uint32_t LVS_TYPEMASK = 0x03;
constexpr std::uint32_t LVS_REPORT = 0x01;
constexpr std::uint32_t LVS_SINGLESEL = 0x04;
constexpr std::uint32_t LVS_SHOWSELALWAYS = 0x08;

enum class Kind {
    PushButton,
    DefPushButton,
    AutoRadio,
    AutoCheck,
    GroupBox,
    Text,
    Icon,
    Edit,
    DropDownList,
    ListView,
    Progress,
    Trackbar,
    Unknown,
};

const char* kindName(Kind k) {
    switch (k) {
    case Kind::PushButton:
        return "push button";
    case Kind::DefPushButton:
        return "default push button";
    case Kind::AutoRadio:
        return "automatic radio button";
    case Kind::AutoCheck:
        return "automatic check box";
    case Kind::GroupBox:
        return "group box";
    case Kind::Text:
        return "static text";
    case Kind::Icon:
        return "icon";
    case Kind::Edit:
        return "edit box";
    case Kind::DropDownList:
        return "drop-down list";
    case Kind::ListView:
        return "list view";
    case Kind::Progress:
        return "progress bar";
    case Kind::Trackbar:
        return "trackbar";
    case Kind::Unknown:
        break;
    }
    return "unknown";
}

void PrintTo(Kind k, std::ostream* os) {
    *os << kindName(k);
}

Kind kindOf(const ControlTemplate& c) {
    switch (c.kind) {
    case ControlClass::Button:
        switch (c.style & BS_TYPEMASK) {
        case 0x0:
            return Kind::PushButton;
        case 0x1:
            return Kind::DefPushButton;
        case 0x3:
            return Kind::AutoCheck;
        case 0x7:
            return Kind::GroupBox;
        case 0x9:
            return Kind::AutoRadio;
        default:
            return Kind::Unknown;
        }
    case ControlClass::Static:
        switch (c.style & SS_TYPEMASK) {
        case 0x0:
            return Kind::Text;
        case 0x3:
            return Kind::Icon;
        default:
            return Kind::Unknown;
        }
    case ControlClass::Edit:
        return Kind::Edit;
    case ControlClass::ComboBox:
        return (c.style & CBS_TYPEMASK) == CBS_DROPDOWNLIST ? Kind::DropDownList : Kind::Unknown;
    case ControlClass::Other:
        if (isWindowClass(c, "SysListView32")) {
            return Kind::ListView;
        }
        if (isWindowClass(c, "msctls_progress32")) {
            return Kind::Progress;
        }
        if (isWindowClass(c, "msctls_trackbar32")) {
            return Kind::Trackbar;
        }
        return Kind::Unknown;
    case ControlClass::ListBox:
    case ControlClass::ScrollBar:
        break;
    }
    return Kind::Unknown;
}

enum class Shown { Yes, Hidden, HiddenDisabled };

struct Expected {
    int id;
    Kind kind;
    std::string caption;
    int x, y, cx, cy;
    Shown shown = Shown::Yes;
};

struct ExpectedDialog {
    int templateId;
    std::string title;
    int cx, cy;
    std::vector<Expected> controls;
};

void PrintTo(const ExpectedDialog& d, std::ostream* os) {
    *os << "dialog " << d.templateId;
}

constexpr int kStatic = -1;
constexpr int kIdOk = 1;

const std::vector<ExpectedDialog>& expectedDialogs() {
    static const std::vector<ExpectedDialog> dialogs = {
        {IDD_ABOUT,
         "关于 VEXO",
         235,
         55,
         {
             {kStatic, Kind::Icon, "", 11, 17, 0, 0},
             {kStatic, Kind::Text, "VEXO 4.0 版", 40, 10, 119, 8},
             {kStatic, Kind::Text, "Copyright (C) 2026 VEXO", 40, 25, 119, 8},
             {kIdOk, Kind::DefPushButton, "确定", 178, 7, 50, 14},
         }},
        {IDD_PRINTER_SETTINGS,
         "Detail Setting (x86/x64)",
         364,
         239,
         {
             {kStatic, Kind::Text, "Install Module", 20, 21, 56, 8},
             {1011, Kind::DropDownList, "", 77, 19, 168, 202},
             {kStatic, Kind::GroupBox, "Printer Setting", 7, 48, 350, 54},
             {1012, Kind::AutoCheck, "Set Default Printer", 20, 59, 115, 10},
             {kStatic, Kind::Text, "Printer Name", 20, 79, 51, 8},
             {1013, Kind::Edit, "", 77, 77, 166, 15},
             {kStatic, Kind::GroupBox, "打印机端口设置", 7, 108, 350, 94, Shown::Hidden},
             {kStatic, Kind::Text, "端口", 20, 127, 17, 8, Shown::Hidden},
             {1014, Kind::DropDownList, "", 58, 123, 65, 86, Shown::Hidden},
             {kStatic, Kind::Text, "波特率", 20, 148, 25, 8, Shown::Hidden},
             {1015, Kind::DropDownList, "", 58, 149, 65, 112, Shown::Hidden},
             {kStatic, Kind::Text, "字节长度", 20, 171, 33, 8, Shown::Hidden},
             {1016, Kind::DropDownList, "", 58, 172, 65, 60, Shown::Hidden},
             {kStatic, Kind::Text, "停止位", 135, 151, 25, 8, Shown::Hidden},
             {1019, Kind::DropDownList, "", 171, 149, 65, 55, Shown::Hidden},
             {kStatic, Kind::Text, "校验位", 135, 172, 25, 8, Shown::Hidden},
             {1018, Kind::DropDownList, "", 171, 172, 65, 68, Shown::Hidden},
             {kStatic, Kind::Text, "流控制", 240, 153, 25, 8, Shown::Hidden},
             {1017, Kind::DropDownList, "", 286, 149, 65, 60, Shown::Hidden},
             {1008, Kind::PushButton, "< &Back", 161, 207, 55, 15},
             {1009, Kind::PushButton, "&Next >", 225, 207, 54, 15},
             {1010, Kind::PushButton, "&Exit", 290, 207, 57, 15},
             {kStatic, Kind::Text, "This Driver is suitable for Windows x86 and x64 OS.", 7, 226,
              205, 8},
         }},
        {IDD_OS_SELECT,
         "Select OS (x86/x64)",
         251,
         172,
         {
             {kStatic, Kind::GroupBox, "Select OS", 7, 19, 237, 77},
             {1000, Kind::AutoRadio, "Windows 95", 13, 7, 54, 10, Shown::Hidden},
             {1001, Kind::AutoRadio, "Windows 98", 85, 7, 54, 10, Shown::Hidden},
             {1002, Kind::AutoRadio, "Windows NT4.0", 155, 7, 65, 10, Shown::Hidden},
             {1003, Kind::AutoRadio, "Windows 2000", 13, 41, 62, 10},
             {1004, Kind::AutoRadio, "Windows XP", 84, 41, 55, 10},
             {1011, Kind::AutoRadio, "Windows 2003", 146, 41, 64, 10},
             {1020, Kind::AutoRadio, "Windows Vista", 13, 65, 68, 10},
             {1005, Kind::AutoRadio, "Windows 7", 84, 65, 53, 10},
             {1006, Kind::AutoRadio, "", 146, 65, 9, 8},
             {kStatic, Kind::Text, "Windows 8", 157, 55, 37, 8},
             {kStatic, Kind::Text, "Windows 10", 157, 64, 41, 8},
             {kStatic, Kind::Text, "Windows 11", 157, 73, 41, 8},
             {1009, Kind::PushButton, "Install Printer Driver (&N) >", 14, 108, 157, 42},
             {1010, Kind::PushButton, "&Exit", 189, 110, 49, 36},
             {1022, Kind::PushButton, "Install USB Virtual Serial Port Driver", 14, 108, 157, 19,
              Shown::HiddenDisabled},
             {1023, Kind::PushButton, "Button5", 7, 77, 50, 14, Shown::Hidden},
             {1007, Kind::Trackbar, "Slider1", 7, 109, 237, 6, Shown::Hidden},
             {1008, Kind::PushButton, "< &Back", 189, 112, 49, 8, Shown::HiddenDisabled},
             {1013, Kind::Edit, "", 7, 95, 215, 12, Shown::Hidden},
             {kStatic, Kind::Text, "This Driver is suitable for Windows x86 and x64 OS.", 7, 157,
              205, 8},
         }},
        {IDD_CREATE_PORT,
         "Create Port",
         254,
         133,
         {
             {1021, Kind::ListView, "", 7, 14, 240, 80},
             {1008, Kind::PushButton, "New Port...", 121, 108, 50, 14},
             {1009, Kind::PushButton, "Close", 179, 108, 53, 14},
         }},
        {IDD_PORT_SELECT,
         "Select Port (x86/x64)",
         320,
         214,
         {
             {kStatic, Kind::Text, "Specify Port ", 7, 7, 195, 8},
             {1021, Kind::ListView, "", 7, 47, 306, 93},
             {1008, Kind::PushButton, "Create Port...", 159, 145, 66, 14},
             {1009, Kind::PushButton, "Configure Port...", 235, 145, 72, 14},
             {1010, Kind::PushButton, "< &Back", 142, 182, 50, 14},
             {1022, Kind::PushButton, "&Install", 201, 181, 50, 14},
             {1023, Kind::PushButton, "&Cancel", 260, 182, 50, 14},
             {1007, Kind::Trackbar, "Slider1", 7, 149, 84, 6, Shown::Hidden},
             {1025, Kind::Progress, "", 7, 164, 306, 11},
             {kStatic, Kind::Text, "A port is used to connect a printer to the computer.", 21, 16,
              260, 8},
             {kStatic, Kind::Text,
              "Specify the port that you are using.If you are connecting using TCP/IP or ", 21, 25,
              292, 8},
             {kStatic, Kind::Text, "another port type not listed below,creat a new port.", 7, 34,
              306, 8},
             {kStatic, Kind::Text, "This Driver is suitable for Windows x86 and x64 OS.", 7, 199,
              205, 8},
             {1036, Kind::PushButton, "Search Port...", 85, 146, 67, 14},
         }},
    };
    return dialogs;
}

std::optional<DialogTemplateData> loadTemplate(int id) {
    auto bytes = embeddedResources().find(rt::Dialog, static_cast<std::uint16_t>(id));
    if (!bytes) {
        return std::nullopt;
    }
    return parseDialogTemplate(*bytes);
}

const ControlTemplate* findControl(const DialogTemplateData& d, int id) {
    for (const ControlTemplate& c : d.controls) {
        if (c.id == id) {
            return &c;
        }
    }
    return nullptr;
}

// The control that takes the focus when the dialog opens: the first visible, enabled tab stop.
int firstTabStop(const DialogTemplateData& d) {
    for (const ControlTemplate& c : d.controls) {
        if ((c.style & (WS_TABSTOP | WS_VISIBLE | WS_DISABLED)) == (WS_TABSTOP | WS_VISIBLE)) {
            return c.id;
        }
    }
    return 0;
}

class TemplateLayout : public ::testing::TestWithParam<ExpectedDialog> {
  protected:
    void SetUp() override {
        parsed = loadTemplate(GetParam().templateId);
        ASSERT_TRUE(parsed.has_value()) << "dialog " << GetParam().templateId;
    }
    std::optional<DialogTemplateData> parsed;
};

TEST_P(TemplateLayout, FrameTitleFontAndSize) {
    const ExpectedDialog& want = GetParam();
    const DialogTemplateData& d = *parsed;
    EXPECT_TRUE(d.extended);
    EXPECT_EQ(d.title, want.title);
    EXPECT_EQ(d.cx, want.cx);
    EXPECT_EQ(d.cy, want.cy);
    for (std::uint32_t bit : {WS_POPUP, WS_CAPTION, WS_SYSMENU, DS_MODALFRAME, DS_SETFONT}) {
        EXPECT_EQ(d.style & bit, bit) << std::hex << "style bit 0x" << bit;
    }
    EXPECT_EQ(d.style & WS_VISIBLE, 0u);
    EXPECT_EQ(d.pointSize, 9);
    EXPECT_EQ(d.typeface, "宋体");
    EXPECT_FALSE(d.menu.id.has_value());
    EXPECT_TRUE(d.menu.name.empty());
}

TEST_P(TemplateLayout, ControlsInOrder) {
    const ExpectedDialog& want = GetParam();
    const DialogTemplateData& d = *parsed;
    ASSERT_EQ(d.controls.size(), want.controls.size());
    for (std::size_t i = 0; i < want.controls.size(); ++i) {
        const Expected& e = want.controls[i];
        const ControlTemplate& c = d.controls[i];
        SCOPED_TRACE("control " + std::to_string(i) + " (" + std::to_string(e.id) + " \"" +
                     e.caption + "\")");
        EXPECT_EQ(c.id, e.id);
        EXPECT_EQ(kindOf(c), e.kind);
        if (e.kind != Kind::Icon) {
            EXPECT_FALSE(c.title.id.has_value());
            EXPECT_EQ(c.title.name, e.caption);
        }
        EXPECT_EQ(c.x, e.x);
        EXPECT_EQ(c.y, e.y);
        EXPECT_EQ(c.cx, e.cx);
        EXPECT_EQ(c.cy, e.cy);
        EXPECT_EQ((c.style & WS_VISIBLE) != 0, e.shown == Shown::Yes);
        EXPECT_EQ((c.style & WS_DISABLED) != 0, e.shown == Shown::HiddenDisabled);
        EXPECT_NE(c.style & WS_CHILD, 0u);
    }
}

// Every control a user can operate is a tab stop, except the radio buttons after the first
// of their group; labels, frames and the progress bar are not.
TEST_P(TemplateLayout, TabStops) {
    const DialogTemplateData& d = *parsed;
    for (const ControlTemplate& c : d.controls) {
        SCOPED_TRACE("control " + std::to_string(c.id) + " \"" + c.title.name + "\"");
        const bool tabStop = (c.style & WS_TABSTOP) != 0;
        switch (kindOf(c)) {
        case Kind::PushButton:
        case Kind::DefPushButton:
        case Kind::AutoCheck:
        case Kind::Edit:
        case Kind::DropDownList:
        case Kind::ListView:
        case Kind::Trackbar:
            EXPECT_TRUE(tabStop);
            break;
        case Kind::AutoRadio:
            EXPECT_EQ(tabStop, c.id == IDC_OS_WIN95);
            break;
        case Kind::GroupBox:
        case Kind::Text:
        case Kind::Icon:
        case Kind::Progress:
            EXPECT_FALSE(tabStop);
            break;
        case Kind::Unknown:
            ADD_FAILURE() << "control of unknown kind";
            break;
        }
    }
}

TEST_P(TemplateLayout, OnlyTheAboutBoxHasADefaultButton) {
    const DialogTemplateData& d = *parsed;
    std::vector<int> defaults;
    for (const ControlTemplate& c : d.controls) {
        if (kindOf(c) == Kind::DefPushButton) {
            defaults.push_back(c.id);
        }
    }
    if (GetParam().templateId == IDD_ABOUT) {
        EXPECT_EQ(defaults, std::vector<int>{kIdOk});
    } else {
        EXPECT_TRUE(defaults.empty());
    }
}

TEST_P(TemplateLayout, ListsAreUnsortedDropDownListsThatScroll) {
    for (const ControlTemplate& c : parsed->controls) {
        if (c.kind == ControlClass::ComboBox) {
            SCOPED_TRACE("combo box " + std::to_string(c.id));
            EXPECT_EQ(c.style & CBS_TYPEMASK, CBS_DROPDOWNLIST);
            EXPECT_EQ(c.style & CBS_SORT, 0u);
            EXPECT_NE(c.style & WS_VSCROLL, 0u);
        }
    }
}

std::string templateName(const ::testing::TestParamInfo<ExpectedDialog>& param) {
    return "Dialog" + std::to_string(param.param.templateId);
}

INSTANTIATE_TEST_SUITE_P(AllTemplates, TemplateLayout, ::testing::ValuesIn(expectedDialogs()),
                         templateName);

TEST(TemplateFocus, FirstTabStopOfEachTemplate) {
    const struct {
        int templateId;
        int focus;
    } cases[] = {
        {IDD_ABOUT, kIdOk},
        {IDD_OS_SELECT, IDC_OS_INSTALL},
        {IDD_PRINTER_SETTINGS, IDC_SET_MODEL},
        {IDD_CREATE_PORT, IDC_CP_MONITOR_LIST},
        {IDD_PORT_SELECT, IDC_PS_PORT_LIST},
    };
    for (const auto& c : cases) {
        auto d = loadTemplate(c.templateId);
        ASSERT_TRUE(d.has_value());
        EXPECT_EQ(firstTabStop(*d), c.focus) << "dialog " << c.templateId;
    }
}

TEST(AboutBoxLayout, ShowsTheProgramIcon) {
    auto d = loadTemplate(IDD_ABOUT);
    ASSERT_TRUE(d.has_value());
    ASSERT_FALSE(d->controls.empty());
    const ControlTemplate& icon = d->controls.front();
    ASSERT_EQ(kindOf(icon), Kind::Icon);
    EXPECT_EQ(icon.title.id, std::optional<std::uint16_t>(IDI_APP));
    EXPECT_EQ(d->exStyle & WS_EX_APPWINDOW, 0u);
}

// A standard modal frame with a system menu, like the other pages, and a taskbar button of
// its own: no minimise or maximise box.
TEST(PrinterSettingsLayout, StandardModalFrameWithItsOwnTaskbarButton) {
    auto d = loadTemplate(IDD_PRINTER_SETTINGS);
    ASSERT_TRUE(d.has_value());
    EXPECT_NE(d->exStyle & WS_EX_APPWINDOW, 0u);
    EXPECT_EQ(d->style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0u);
    EXPECT_EQ(d->style & (DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU),
              DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU);
}

TEST(PrinterSettingsLayout, PrinterNameIsReadOnlyAndScrolls) {
    auto d = loadTemplate(IDD_PRINTER_SETTINGS);
    ASSERT_TRUE(d.has_value());
    const ControlTemplate* name = findControl(*d, IDC_SET_PRINTER_NAME);
    ASSERT_NE(name, nullptr);
    EXPECT_NE(name->style & ES_READONLY, 0u);
    EXPECT_NE(name->style & ES_AUTOHSCROLL, 0u);
    EXPECT_NE(name->style & WS_BORDER, 0u);
}

TEST(OsSelectLayout, HiddenEditScrollsAndCanBeTyped) {
    auto d = loadTemplate(IDD_OS_SELECT);
    ASSERT_TRUE(d.has_value());
    const ControlTemplate* edit = findControl(*d, IDC_OS_EDIT);
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->style & ES_READONLY, 0u);
    EXPECT_NE(edit->style & ES_AUTOHSCROLL, 0u);
    EXPECT_NE(edit->style & WS_BORDER, 0u);
}

// Checking one radio button unchecks the others: all nine are one group, which starts at the
// first of them and ends at the control after the last.
TEST(OsSelectLayout, RadioButtonsFormOneGroup) {
    auto d = loadTemplate(IDD_OS_SELECT);
    ASSERT_TRUE(d.has_value());
    const auto& controls = d->controls;
    std::vector<std::size_t> radios;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        if (kindOf(controls[i]) == Kind::AutoRadio) {
            radios.push_back(i);
        }
    }
    ASSERT_EQ(radios.size(), 9u);
    for (std::size_t k = 1; k < radios.size(); ++k) {
        EXPECT_EQ(radios[k], radios[k - 1] + 1) << "radio buttons are contiguous";
    }
    EXPECT_NE(controls[radios.front()].style & WS_GROUP, 0u);
    for (std::size_t k = 1; k < radios.size(); ++k) {
        EXPECT_EQ(controls[radios[k]].style & WS_GROUP, 0u) << controls[radios[k]].id;
    }
    ASSERT_LT(radios.back() + 1, controls.size());
    EXPECT_NE(controls[radios.back() + 1].style & WS_GROUP, 0u) << "the group ends";
}

TEST(PortListLayout, ReportViewsWithSingleSelection) {
    const struct {
        int templateId;
        int list;
        bool showSelectionAlways;
    } cases[] = {
        {IDD_PORT_SELECT, IDC_PS_PORT_LIST, true},
        {IDD_CREATE_PORT, IDC_CP_MONITOR_LIST, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("dialog " + std::to_string(c.templateId));
        auto d = loadTemplate(c.templateId);
        ASSERT_TRUE(d.has_value());
        const ControlTemplate* list = findControl(*d, c.list);
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->style & LVS_TYPEMASK, LVS_REPORT);
        EXPECT_NE(list->style & LVS_SINGLESEL, 0u);
        EXPECT_EQ((list->style & LVS_SHOWSELALWAYS) != 0, c.showSelectionAlways);
        EXPECT_NE(list->style & WS_BORDER, 0u);
    }
}

TEST(PortSelectLayout, ProgressBarHasABorder) {
    auto d = loadTemplate(IDD_PORT_SELECT);
    ASSERT_TRUE(d.has_value());
    const ControlTemplate* bar = findControl(*d, IDC_PS_PROGRESS);
    ASSERT_NE(bar, nullptr);
    EXPECT_NE(bar->style & WS_BORDER, 0u);
}

} // namespace
} // namespace vexo
