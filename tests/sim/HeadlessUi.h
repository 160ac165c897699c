// The headless dialog backend. A modal run builds the dialog's controls from the compiled
// template (ids, classes, captions, styles, positions as on Windows), calls the dialog's
// initialisation, and then hands it to a scripted user until it ends. Nested modal runs
// nest on the call stack. Message boxes are answered from a queue. The dialogs opened, the
// messages sent, the progress positions and the message boxes go into the machine's call
// log, from which the accessors below read them.
#pragma once

#include "platform/Resources.h"
#include "platform/Ui.h"
#include "tests/sim/DialogTemplate.h"
#include "tests/sim/Faults.h"

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace vexo::sim {

class HeadlessUi;

// Win32 window styles the backend interprets.
namespace ws {
inline constexpr std::uint32_t Visible = 0x10000000;
inline constexpr std::uint32_t Disabled = 0x08000000;
inline constexpr std::uint32_t TabStop = 0x00010000;
inline constexpr std::uint32_t Group = 0x00020000;
inline constexpr std::uint32_t SysMenu = 0x00080000;
} // namespace ws

namespace bs {
inline constexpr std::uint32_t TypeMask = 0xF;
inline constexpr std::uint32_t PushButton = 0;
inline constexpr std::uint32_t DefPushButton = 1;
inline constexpr std::uint32_t AutoCheckBox = 3;
inline constexpr std::uint32_t AutoRadioButton = 9;
} // namespace bs

inline constexpr std::uint32_t kScClose = 0xF060;
inline constexpr std::uint32_t kScMinimize = 0xF020;
inline constexpr std::uint32_t kScRestore = 0xF120;

struct MessageBoxRecord {
    int ownerTemplate = 0; // template id of the owning dialog, 0 for none
    std::string text;
    std::string caption;
    std::uint32_t style = 0;
    int answer = 0;
};

struct SystemMenuItem {
    bool separator = false;
    std::uint32_t command = 0;
    std::string text;
};

struct IconDraw {
    int x = 0, y = 0;
    IconId icon = 0;
};

// What a scripted user can do with, and see of, the dialog open in front of them. Every
// action fails the test (throws ScriptError) when a real user could not do it: the control
// does not exist, is hidden or disabled, or the dialog has already closed.
class DialogDriver {
  public:
    DialogDriver(HeadlessUi& ui, WindowId dialog) : ui_(ui), dialog_(dialog) {}

    [[nodiscard]] int templateId() const;
    [[nodiscard]] std::string title() const;
    [[nodiscard]] bool isOpen() const;
    [[nodiscard]] WindowId window() const { return dialog_; }

    // Actions.
    void click(int id);
    // Clicks if a user could (visible and enabled); returns whether the click happened.
    bool tryClick(int id);
    // Selects an item and sends CBN_SELCHANGE. EvenIfHidden does it for a hidden list, as a
    // program (not a user) could.
    enum Reach { AsUser, EvenIfHidden };
    void selectComboItem(int id, int index, Reach reach = AsUser);
    void selectRow(int listId, int row);
    void clickListBlank(int listId); // a click beside the rows: clears the selection
    void focus(int id);
    void pressEscape();
    void pressEnter();
    void closeBox();
    void systemCommand(std::uint32_t command);
    void minimise();
    void restore();
    // Sends WM_PAINT; true when the dialog painted itself.
    bool paint();
    IconId queryDragIcon();

    // What the user sees.
    [[nodiscard]] std::string text(int id) const;
    [[nodiscard]] bool visible(int id) const;
    [[nodiscard]] bool enabled(int id) const;
    [[nodiscard]] int checkState(int id) const;
    [[nodiscard]] std::vector<std::string> comboItems(int id) const;
    [[nodiscard]] int comboSelection(int id) const;
    [[nodiscard]] std::string comboText(int id) const; // the selected item's text
    [[nodiscard]] int rowCount(int listId) const;
    [[nodiscard]] std::string cell(int listId, int row, int column) const;
    [[nodiscard]] std::vector<std::string> column(int listId, int column) const;
    [[nodiscard]] std::vector<int> selectedRows(int listId) const;
    [[nodiscard]] std::uint32_t rowState(int listId, int row) const;
    [[nodiscard]] std::vector<std::string> columnHeadings(int listId) const;
    [[nodiscard]] std::vector<int> columnWidths(int listId) const;
    [[nodiscard]] std::uint32_t listExtendedStyle(int listId) const;
    [[nodiscard]] int progressPos(int id) const;
    [[nodiscard]] std::pair<int, int> progressRange(int id) const;
    [[nodiscard]] int focusedId() const;
    [[nodiscard]] std::vector<SystemMenuItem> systemMenu() const;
    [[nodiscard]] IconId bigIcon() const;
    [[nodiscard]] IconId smallIcon() const;
    [[nodiscard]] const std::vector<IconDraw>& iconDraws() const;

  private:
    HeadlessUi& ui_;
    WindowId dialog_;
};

struct ScriptError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class HeadlessUi final : public Ui {
  public:
    using Script = std::function<void(DialogDriver&)>;
    using MessageBoxAnswer = std::function<int(const MessageBoxRecord&)>;

    HeadlessUi(const Resources& resources, Faults& faults);
    ~HeadlessUi() override;

    // The next opening of dialog `templateId` is handed to `script`. A dialog that opens
    // without a script, or whose script returns while it is still open, is a test error
    // and the run ends with -1.
    void onDialog(int templateId, Script script);
    // The next message box is answered with `button`; with no answer queued, a box with
    // only an OK button is answered OK and any other box is a test error (answered Cancel).
    void answerMessageBox(int button);
    void answerMessageBox(MessageBoxAnswer answer);
    // Answers every message box for which no answer is queued.
    void answerEveryMessageBox(MessageBoxAnswer answer) { defaultAnswer_ = std::move(answer); }
    // The next run of `templateId` fails to create its window (the run returns -1), and
    // modalError() answers `error`.
    void failToCreate(int templateId, WinError error = err::Success) {
        failCreate_.emplace_back(templateId, error);
    }

    [[nodiscard]] std::vector<MessageBoxRecord> messageBoxes() const;
    // The template ids of the dialogs opened, in order.
    [[nodiscard]] std::vector<int> openedDialogs() const;
    // What went wrong in the scripts (a dialog without a script, a failed action, ...).
    [[nodiscard]] const std::vector<std::string>& errors() const { return errors_; }
    struct SentMessage {
        int targetTemplate; // the template id of the dialog sent to, 0 for a control
        std::uint32_t message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    [[nodiscard]] std::vector<SentMessage> sentMessages() const;
    // Scripts not used by the end of the test.
    [[nodiscard]] std::size_t pendingScripts() const;
    [[nodiscard]] std::size_t pendingAnswers() const { return answers_.size(); }
    // The dialogs open now, outermost first.
    [[nodiscard]] std::vector<int> openDialogs() const;

    // Ui
    std::intptr_t runModal(int templateId, DialogEvents& events) override;
    WinError modalError() override { return modalError_; }
    void endDialog(WindowId dialog, std::intptr_t result) override;
    WindowId item(WindowId dialog, int id) override;
    std::string text(WindowId w) override;
    void setText(WindowId w, const std::string& text) override;
    bool isEnabled(WindowId w) override;
    void enable(WindowId w, bool enabled) override;
    bool isVisible(WindowId w) override;
    bool isIconic(WindowId w) override;
    std::intptr_t sendMessage(WindowId w, std::uint32_t message, std::uintptr_t wParam,
                              std::intptr_t lParam) override;
    WindowId activeWindow() override;
    int checkState(WindowId button) override;
    void setCheckState(WindowId button, int state) override;
    void comboReset(WindowId combo) override;
    int comboAdd(WindowId combo, const std::string& text) override;
    int comboCount(WindowId combo) override;
    int comboSelection(WindowId combo) override;
    void comboSelect(WindowId combo, int index) override;
    std::string comboItemText(WindowId combo, int index) override;
    std::uint32_t listExtendedStyle(WindowId list) override;
    void setListExtendedStyle(WindowId list, std::uint32_t style) override;
    int listInsertColumn(WindowId list, int index, const std::string& heading, int format) override;
    void listSetColumnWidth(WindowId list, int column, int width) override;
    void listDeleteAll(WindowId list) override;
    int listInsertItem(WindowId list, int index, const std::string& text) override;
    void listSetItemText(WindowId list, int row, int column, const std::string& text) override;
    std::string listItemText(WindowId list, int row, int column) override;
    int listItemCount(WindowId list) override;
    std::uint32_t listItemState(WindowId list, int row, std::uint32_t mask) override;
    void listSetItemState(WindowId list, int row, std::uint32_t state, std::uint32_t mask) override;
    void progressSetRange(WindowId bar, int low, int high) override;
    void progressSetPos(WindowId bar, int pos) override;
    int progressPos(WindowId bar) override;
    bool hasSystemMenu(WindowId dialog) override;
    void appendSystemMenuSeparator(WindowId dialog) override;
    void appendSystemMenuItem(WindowId dialog, std::uint32_t command,
                              const std::string& text) override;
    IconId loadIcon(int resourceId) override;
    void setIcon(WindowId dialog, bool big, IconId icon) override;
    int iconWidth() override { return 32; }
    int iconHeight() override { return 32; }
    void paint(WindowId dialog, const std::function<void(Painter&)>& draw) override;
    std::uint32_t registerWindowMessage(const std::string& name) override;
    int messageBox(WindowId owner, const std::string& text, const std::string& caption,
                   std::uint32_t style) override;
    std::string loadString(int id) override;

    // The progress positions a bar has been set to, in order (a bar keeps its history).
    [[nodiscard]] std::vector<int> progressHistory(int templateId, int id) const;

  private:
    friend class DialogDriver;
    struct Window;
    Window& win(WindowId id) const;
    Window* find(WindowId id) const;
    // The window to read; one that is not there reads as empty, hidden and disabled.
    const Window& peek(WindowId id) const;
    Window& control(WindowId dialog, int id) const; // throws ScriptError
    Window& dialog(WindowId id) const;
    void requireOpen(WindowId dialog) const;
    // What the system does with a system command that the dialog left to it.
    void defaultSysCommand(Window& dlg, std::uint32_t command);
    void userClick(Window& dlg, Window& c);
    void dispatchCommand(Window& dlg, int id, int code);
    void dialogClose(Window& dlg);
    void userEnter(Window& dlg);
    void error(std::string message);

    const Resources& resources_;
    Faults& faults_;
    std::map<WindowId, std::unique_ptr<Window>> windows_;
    std::vector<WindowId> stack_; // open dialogs, outermost first
    WindowId next_ = 0x1000;
    std::map<int, std::deque<Script>> scripts_;
    std::deque<MessageBoxAnswer> answers_;
    MessageBoxAnswer defaultAnswer_;
    std::vector<std::pair<int, WinError>> failCreate_;
    WinError modalError_ = 0;
    std::vector<std::string> errors_;
    std::map<std::string, std::uint32_t> messages_;
};

} // namespace vexo::sim
