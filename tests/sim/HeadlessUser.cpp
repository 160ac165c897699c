// The scripted user: the scripts waiting for dialogs, the answers waiting for message
// boxes, and the DialogDriver through which a script works a dialog.
#include "tests/sim/HeadlessUi.h"

#include "tests/sim/HeadlessWindow.h"

#include <cstdio>

namespace vexo::sim {

void HeadlessUi::onDialog(int templateId, Script script) {
    scripts_[templateId].push_back(std::move(script));
}

void HeadlessUi::answerMessageBox(int button) {
    answers_.push_back([button](const MessageBoxRecord&) { return button; });
}

void HeadlessUi::answerMessageBox(MessageBoxAnswer answer) {
    answers_.push_back(std::move(answer));
}

std::size_t HeadlessUi::pendingScripts() const {
    std::size_t n = 0;
    for (const auto& [id, q] : scripts_) {
        n += q.size();
    }
    return n;
}

std::vector<int> HeadlessUi::openDialogs() const {
    std::vector<int> out;
    for (WindowId w : stack_) {
        out.push_back(win(w).templateId);
    }
    return out;
}

int HeadlessUi::messageBox(WindowId owner, const std::string& t, const std::string& caption,
                           std::uint32_t style) {
    MessageBoxRecord rec;
    if (Window* o = find(owner)) {
        rec.ownerTemplate = o->templateId;
    } else if (owner != 0) {
        // Windows refuses a box whose owner is no window: it shows nothing and returns 0.
        error("message box \"" + t + "\" owned by a window that does not exist");
        return 0;
    }
    rec.text = t;
    rec.caption = caption;
    rec.style = style;
    if (!answers_.empty()) {
        MessageBoxAnswer a = std::move(answers_.front());
        answers_.pop_front();
        rec.answer = a(rec);
    } else if (defaultAnswer_) {
        rec.answer = defaultAnswer_(rec);
    } else if ((style & mb::TypeMask) == mb::Ok) {
        rec.answer = static_cast<int>(IdOk);
    } else {
        error("message box \"" + t + "\" appeared with no answer waiting");
        rec.answer = static_cast<int>(IdCancel);
    }
    char head[64];
    std::snprintf(head, sizeof head, "style 0x%X, answer %d:\n", style, rec.answer);
    faults_.log("MessageBox", "\"" + caption + "\" " + head + t, // head, a line, the text
                {std::to_string(rec.ownerTemplate), t, caption, std::to_string(style),
                 std::to_string(rec.answer)});
    return rec.answer;
}

std::vector<MessageBoxRecord> HeadlessUi::messageBoxes() const {
    std::vector<MessageBoxRecord> out;
    for (const CallRecord& c : faults_.callsOf("MessageBox")) {
        const auto& a = c.args;
        out.push_back(MessageBoxRecord{std::stoi(a[0]), a[1], a[2],
                                       static_cast<std::uint32_t>(std::stoul(a[3])),
                                       std::stoi(a[4])});
    }
    return out;
}

std::vector<int> HeadlessUi::openedDialogs() const {
    std::vector<int> out;
    for (const std::string& id : faults_.subjectsOf("DialogBox")) {
        out.push_back(std::stoi(id));
    }
    return out;
}

std::vector<HeadlessUi::SentMessage> HeadlessUi::sentMessages() const {
    std::vector<SentMessage> out;
    for (const CallRecord& c : faults_.callsOf("SendMessage")) {
        out.push_back(SentMessage{std::stoi(c.args[0]),
                                  static_cast<std::uint32_t>(std::stoul(c.subject)),
                                  static_cast<std::uintptr_t>(std::stoull(c.args[1])),
                                  static_cast<std::intptr_t>(std::stoll(c.args[2]))});
    }
    return out;
}

int DialogDriver::templateId() const {
    return ui_.win(dialog_).templateId;
}
std::string DialogDriver::title() const {
    return ui_.win(dialog_).text;
}
bool DialogDriver::isOpen() const {
    auto* w = ui_.find(dialog_);
    return w != nullptr && !w->ended;
}

void DialogDriver::click(int id) {
    ui_.requireOpen(dialog_);
    auto& c = ui_.control(dialog_, id);
    if (!c.visible) {
        throw ScriptError("control " + std::to_string(id) + " is hidden");
    }
    if (!c.enabled) {
        throw ScriptError("control " + std::to_string(id) + " is disabled");
    }
    if (ui_.stack_.empty() || ui_.stack_.back() != dialog_) {
        throw ScriptError("dialog " + std::to_string(templateId()) + " is not in front");
    }
    ui_.userClick(ui_.win(dialog_), c);
}

bool DialogDriver::tryClick(int id) {
    ui_.requireOpen(dialog_);
    auto& c = ui_.control(dialog_, id);
    if (!c.visible || !c.enabled) {
        return false;
    }
    ui_.userClick(ui_.win(dialog_), c);
    return true;
}

void DialogDriver::selectComboItem(int id, int index, Reach reach) {
    ui_.requireOpen(dialog_);
    auto& c = ui_.control(dialog_, id);
    if (reach == AsUser && (!c.visible || !c.enabled)) {
        throw ScriptError("combo box " + std::to_string(id) + " is hidden or disabled");
    }
    if (index < 0 || index >= static_cast<int>(c.items.size())) {
        throw ScriptError("combo box " + std::to_string(id) + " has no item " +
                          std::to_string(index));
    }
    c.selection = index;
    ui_.win(dialog_).focus = c.id;
    ui_.dispatchCommand(ui_.win(dialog_), id, notify::ComboSelChange);
}

void DialogDriver::selectRow(int listId, int row) {
    ui_.requireOpen(dialog_);
    auto& c = ui_.control(dialog_, listId);
    if (!c.visible || !c.enabled) {
        throw ScriptError("list " + std::to_string(listId) + " is hidden or disabled");
    }
    if (row < 0 || row >= static_cast<int>(c.rows.size())) {
        throw ScriptError("list " + std::to_string(listId) + " has no row " + std::to_string(row));
    }
    ui_.listSetItemState(c.id, row, lv::StateSelected | lv::StateFocused,
                         lv::StateSelected | lv::StateFocused);
    ui_.win(dialog_).focus = c.id;
    std::intptr_t result = 0;
    ui_.win(dialog_).events->handleNotify(listId, notify::ListItemChanged, result);
    if (isOpen()) {
        ui_.win(dialog_).events->handleNotify(listId, notify::ListClick, result);
    }
}

void DialogDriver::clickListBlank(int listId) {
    ui_.requireOpen(dialog_);
    auto& c = ui_.control(dialog_, listId);
    for (auto& r : c.rows) {
        r.state &= ~lv::StateSelected;
    }
    ui_.win(dialog_).focus = c.id;
    std::intptr_t result = 0;
    ui_.win(dialog_).events->handleNotify(listId, notify::ListClick, result);
}

void DialogDriver::focus(int id) {
    ui_.requireOpen(dialog_);
    auto& c = ui_.control(dialog_, id);
    if (!c.visible || !c.enabled) {
        throw ScriptError("control " + std::to_string(id) + " cannot take the focus");
    }
    ui_.win(dialog_).focus = c.id;
}

void DialogDriver::pressEscape() {
    ui_.requireOpen(dialog_);
    ui_.dispatchCommand(ui_.win(dialog_), static_cast<int>(IdCancel), notify::ButtonClicked);
}

void DialogDriver::pressEnter() {
    ui_.requireOpen(dialog_);
    ui_.userEnter(ui_.win(dialog_));
}

void DialogDriver::closeBox() {
    systemCommand(kScClose);
}

void DialogDriver::systemCommand(std::uint32_t command) {
    ui_.requireOpen(dialog_);
    auto& d = ui_.win(dialog_);
    if (!d.events->handleSysCommand(command)) {
        ui_.defaultSysCommand(d, command);
    }
}

void DialogDriver::minimise() {
    systemCommand(kScMinimize);
}
void DialogDriver::restore() {
    systemCommand(kScRestore);
}

bool DialogDriver::paint() {
    ui_.requireOpen(dialog_);
    return ui_.win(dialog_).events->handlePaint();
}

IconId DialogDriver::queryDragIcon() {
    ui_.requireOpen(dialog_);
    return ui_.win(dialog_).events->handleQueryDragIcon();
}

std::string DialogDriver::text(int id) const {
    return ui_.control(dialog_, id).text;
}
bool DialogDriver::visible(int id) const {
    return ui_.control(dialog_, id).visible;
}
bool DialogDriver::enabled(int id) const {
    return ui_.control(dialog_, id).enabled;
}
int DialogDriver::checkState(int id) const {
    return ui_.control(dialog_, id).check;
}
std::vector<std::string> DialogDriver::comboItems(int id) const {
    return ui_.control(dialog_, id).items;
}
int DialogDriver::comboSelection(int id) const {
    return ui_.control(dialog_, id).selection;
}
std::string DialogDriver::comboText(int id) const {
    auto& c = ui_.control(dialog_, id);
    return c.selection < 0 ? "" : c.items[static_cast<std::size_t>(c.selection)];
}
int DialogDriver::rowCount(int listId) const {
    return static_cast<int>(ui_.control(dialog_, listId).rows.size());
}
std::string DialogDriver::cell(int listId, int row, int column) const {
    return ui_.listItemText(ui_.control(dialog_, listId).id, row, column);
}
std::vector<std::string> DialogDriver::column(int listId, int col) const {
    std::vector<std::string> out;
    for (int r = 0; r < rowCount(listId); ++r) {
        out.push_back(cell(listId, r, col));
    }
    return out;
}
std::vector<int> DialogDriver::selectedRows(int listId) const {
    std::vector<int> out;
    const auto& rows = ui_.control(dialog_, listId).rows;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if ((rows[i].state & lv::StateSelected) != 0) {
            out.push_back(static_cast<int>(i));
        }
    }
    return out;
}
std::uint32_t DialogDriver::rowState(int listId, int row) const {
    return ui_.listItemState(ui_.control(dialog_, listId).id, row, 0xFFFFFFFFu);
}
std::vector<std::string> DialogDriver::columnHeadings(int listId) const {
    std::vector<std::string> out;
    for (const auto& c : ui_.control(dialog_, listId).columns) {
        out.push_back(c.heading);
    }
    return out;
}
std::vector<int> DialogDriver::columnWidths(int listId) const {
    std::vector<int> out;
    for (const auto& c : ui_.control(dialog_, listId).columns) {
        out.push_back(c.width);
    }
    return out;
}
std::uint32_t DialogDriver::listExtendedStyle(int listId) const {
    return ui_.control(dialog_, listId).listExStyle;
}
int DialogDriver::progressPos(int id) const {
    return ui_.control(dialog_, id).pos;
}
std::pair<int, int> DialogDriver::progressRange(int id) const {
    auto& c = ui_.control(dialog_, id);
    return {c.low, c.high};
}
int DialogDriver::focusedId() const {
    auto* f = ui_.find(ui_.win(dialog_).focus);
    return f == nullptr ? 0 : f->ctrlId;
}
std::vector<SystemMenuItem> DialogDriver::systemMenu() const {
    return ui_.win(dialog_).sysMenu;
}
IconId DialogDriver::bigIcon() const {
    return ui_.win(dialog_).bigIcon;
}
IconId DialogDriver::smallIcon() const {
    return ui_.win(dialog_).smallIcon;
}
const std::vector<IconDraw>& DialogDriver::iconDraws() const {
    return ui_.win(dialog_).draws;
}

} // namespace vexo::sim
