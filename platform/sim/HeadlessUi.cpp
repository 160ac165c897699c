#include "platform/sim/HeadlessUi.h"

#include <algorithm>
#include <cctype>

namespace vexo::sim {

struct HeadlessUi::Window {
    WindowId id = 0;
    WindowId parent = 0;
    int ctrlId = 0;
    ControlClass kind = ControlClass::Other;
    std::string cls;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    std::string text;
    bool visible = true;
    bool enabled = true;
    int cx = 0, cy = 0; // dialog units
    // buttons
    int check = 0;
    // combo boxes
    std::vector<std::string> items;
    int selection = -1;
    // list views
    struct Column {
        std::string heading;
        int width = 0;
        int format = 0;
    };
    struct Row {
        std::vector<std::string> cells;
        std::uint32_t state = 0;
    };
    std::vector<Column> columns;
    std::vector<Row> rows;
    std::uint32_t listExStyle = 0;
    // progress bars
    int low = 0, high = 100, pos = 0;
    // dialogs
    DialogEvents* events = nullptr;
    int templateId = 0;
    std::vector<WindowId> controls;
    bool ended = false;
    std::intptr_t result = 0;
    std::vector<SystemMenuItem> sysMenu;
    IconId bigIcon = 0, smallIcon = 0;
    bool iconic = false;
    WindowId focus = 0;
    WindowId owner = 0;
    std::vector<IconDraw> draws;

    [[nodiscard]] bool isClass(const char* name) const {
        std::string a = cls, b = name;
        std::transform(a.begin(), a.end(), a.begin(), ::tolower);
        std::transform(b.begin(), b.end(), b.begin(), ::tolower);
        return a == b;
    }
    [[nodiscard]] std::uint32_t buttonType() const { return style & bs::TypeMask; }
    [[nodiscard]] bool isPushButton() const {
        return kind == ControlClass::Button &&
               (buttonType() == bs::PushButton || buttonType() == bs::DefPushButton);
    }
};

namespace {

const char* className(ControlClass k) {
    switch (k) {
    case ControlClass::Button:
        return "Button";
    case ControlClass::Edit:
        return "Edit";
    case ControlClass::Static:
        return "Static";
    case ControlClass::ListBox:
        return "ListBox";
    case ControlClass::ScrollBar:
        return "ScrollBar";
    case ControlClass::ComboBox:
        return "ComboBox";
    case ControlClass::Other:
        return "";
    }
    return "";
}

class HeadlessPainter final : public Painter {
  public:
    HeadlessPainter(int w, int h, std::vector<IconDraw>& draws) : w_(w), h_(h), draws_(draws) {}
    void eraseIconBackground() override { erased = true; }
    int clientWidth() override { return w_; }
    int clientHeight() override { return h_; }
    void drawIcon(int x, int y, IconId icon) override { draws_.push_back(IconDraw{x, y, icon}); }
    bool erased = false;

  private:
    int w_, h_;
    std::vector<IconDraw>& draws_;
};

} // namespace

HeadlessUi::HeadlessUi(const Resources& resources) : resources_(resources) {}
HeadlessUi::~HeadlessUi() = default;

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

void HeadlessUi::error(std::string message) {
    errors_.push_back(std::move(message));
}

HeadlessUi::Window* HeadlessUi::find(WindowId id) const {
    auto it = windows_.find(id);
    return it == windows_.end() ? nullptr : it->second.get();
}

HeadlessUi::Window& HeadlessUi::win(WindowId id) const {
    Window* w = find(id);
    if (w == nullptr) {
        throw ScriptError("no window " + std::to_string(id));
    }
    return *w;
}

HeadlessUi::Window& HeadlessUi::dialog(WindowId id) const {
    Window& w = win(id);
    if (w.events == nullptr) {
        throw ScriptError("window " + std::to_string(id) + " is not a dialog");
    }
    return w;
}

void HeadlessUi::requireOpen(WindowId id) const {
    Window& d = dialog(id);
    if (d.ended) {
        throw ScriptError("dialog " + std::to_string(d.templateId) + " has already closed");
    }
}

HeadlessUi::Window& HeadlessUi::control(WindowId dlg, int id) const {
    Window& d = dialog(dlg);
    for (WindowId c : d.controls) {
        if (win(c).ctrlId == id) {
            return win(c);
        }
    }
    throw ScriptError("dialog " + std::to_string(d.templateId) + " has no control " +
                      std::to_string(id));
}

std::intptr_t HeadlessUi::runModal(int templateId, DialogEvents& events) {
    if (auto it = std::find_if(failCreate_.begin(), failCreate_.end(),
                               [&](const auto& f) { return f.first == templateId; });
        it != failCreate_.end()) {
        modalError_ = it->second;
        failCreate_.erase(it);
        return -1;
    }
    auto bytes = resources_.find(rt::Dialog, static_cast<std::uint16_t>(templateId));
    if (!bytes) {
        modalError_ = err::ResourceNameNotFound;
        return -1;
    }
    auto tmpl = parseDialogTemplate(*bytes);
    if (!tmpl) {
        modalError_ = err::InvalidData;
        return -1;
    }
    opened_.push_back(templateId);

    auto dlgWin = std::make_unique<Window>();
    Window& dlg = *dlgWin;
    dlg.id = next_++;
    dlg.events = &events;
    dlg.templateId = templateId;
    dlg.style = tmpl->style;
    dlg.exStyle = tmpl->exStyle;
    dlg.text = tmpl->title;
    dlg.cx = tmpl->cx;
    dlg.cy = tmpl->cy;
    dlg.owner = activeWindow();
    windows_[dlg.id] = std::move(dlgWin);
    for (const ControlTemplate& ct : tmpl->controls) {
        auto c = std::make_unique<Window>();
        c->id = next_++;
        c->parent = dlg.id;
        c->ctrlId = ct.id;
        c->kind = ct.kind;
        c->cls = ct.kind == ControlClass::Other ? ct.className : className(ct.kind);
        c->style = ct.style;
        c->exStyle = ct.exStyle;
        c->text = ct.title.id ? std::string() : ct.title.name;
        c->visible = (ct.style & ws::Visible) != 0;
        c->enabled = (ct.style & ws::Disabled) == 0;
        c->cx = ct.cx;
        c->cy = ct.cy;
        dlg.controls.push_back(c->id);
        windows_[c->id] = std::move(c);
    }
    if (dlg.owner != 0) {
        win(dlg.owner).enabled = false;
    }
    stack_.push_back(dlg.id);
    WindowId self = dlg.id;

    bool focusFirst = events.handleInitDialog(self);
    Window& d = win(self);
    if (focusFirst && d.focus == 0) {
        for (WindowId c : d.controls) {
            Window& w = win(c);
            if ((w.style & ws::TabStop) != 0 && w.visible && w.enabled) {
                d.focus = c;
                break;
            }
        }
    }
    if (!d.ended) {
        auto& queue = scripts_[templateId];
        if (queue.empty()) {
            error("dialog " + std::to_string(templateId) + " (\"" + d.text +
                  "\") opened but no script was waiting for it");
            d.ended = true;
            d.result = -1;
        } else {
            Script script = std::move(queue.front());
            queue.pop_front();
            DialogDriver driver(*this, self);
            try {
                script(driver);
            } catch (const std::exception& e) {
                error("script of dialog " + std::to_string(templateId) + ": " + e.what());
            }
            if (!win(self).ended) {
                error("script of dialog " + std::to_string(templateId) +
                      " returned while the dialog was still open");
                win(self).ended = true;
                win(self).result = -1;
            }
        }
    }
    Window& done = win(self);
    std::intptr_t result = done.result;
    done.events->handleDestroy();
    stack_.pop_back();
    if (done.owner != 0) {
        if (Window* o = find(done.owner)) {
            o->enabled = true;
        }
    }
    // Keep the progress history of the dialog's bars; then forget its windows.
    for (WindowId c : done.controls) {
        windows_.erase(c);
    }
    windows_.erase(self);
    return result;
}

void HeadlessUi::endDialog(WindowId dialogId, std::intptr_t result) {
    Window& d = dialog(dialogId);
    if (!d.ended) {
        d.ended = true;
        d.result = result;
    }
}

WindowId HeadlessUi::item(WindowId dialogId, int id) {
    Window* d = find(dialogId);
    if (d == nullptr) {
        return 0;
    }
    for (WindowId c : d->controls) {
        if (win(c).ctrlId == id) {
            return c;
        }
    }
    return 0;
}

int HeadlessUi::controlId(WindowId c) {
    Window* w = find(c);
    return w == nullptr ? 0 : w->ctrlId;
}

std::string HeadlessUi::text(WindowId w) {
    Window* x = find(w);
    return x == nullptr ? "" : x->text;
}

void HeadlessUi::setText(WindowId w, const std::string& t) {
    if (Window* x = find(w)) {
        x->text = t;
    }
}

bool HeadlessUi::isEnabled(WindowId w) {
    Window* x = find(w);
    return x != nullptr && x->enabled;
}

void HeadlessUi::enable(WindowId w, bool on) {
    if (Window* x = find(w)) {
        x->enabled = on;
    }
}

bool HeadlessUi::isVisible(WindowId w) {
    Window* x = find(w);
    return x != nullptr && x->visible;
}

bool HeadlessUi::isIconic(WindowId w) {
    Window* x = find(w);
    return x != nullptr && x->iconic;
}

std::intptr_t HeadlessUi::sendMessage(WindowId w, std::uint32_t message, std::uintptr_t wParam,
                                      std::intptr_t lParam) {
    Window* x = find(w);
    sent_.push_back(SentMessage{x != nullptr ? x->templateId : 0, message, wParam, lParam});
    return 0;
}

WindowId HeadlessUi::activeWindow() {
    return stack_.empty() ? 0 : stack_.back();
}

int HeadlessUi::checkState(WindowId b) {
    Window* x = find(b);
    return x == nullptr ? 0 : x->check;
}

void HeadlessUi::setCheckState(WindowId b, int state) {
    if (Window* x = find(b)) {
        x->check = state;
    }
}

void HeadlessUi::comboReset(WindowId c) {
    if (Window* x = find(c)) {
        x->items.clear();
        x->selection = -1;
    }
}

int HeadlessUi::comboAdd(WindowId c, const std::string& t) {
    Window* x = find(c);
    if (x == nullptr) {
        return -1;
    }
    x->items.push_back(t); // lists without CBS_SORT append
    return static_cast<int>(x->items.size()) - 1;
}

int HeadlessUi::comboCount(WindowId c) {
    Window* x = find(c);
    return x == nullptr ? 0 : static_cast<int>(x->items.size());
}

int HeadlessUi::comboSelection(WindowId c) {
    Window* x = find(c);
    return x == nullptr ? -1 : x->selection;
}

void HeadlessUi::comboSelect(WindowId c, int index) {
    if (Window* x = find(c)) {
        x->selection = (index >= 0 && index < static_cast<int>(x->items.size())) ? index : -1;
    }
}

std::string HeadlessUi::comboItemText(WindowId c, int index) {
    Window* x = find(c);
    if (x == nullptr || index < 0 || index >= static_cast<int>(x->items.size())) {
        return "";
    }
    return x->items[static_cast<std::size_t>(index)];
}

std::uint32_t HeadlessUi::listExtendedStyle(WindowId l) {
    Window* x = find(l);
    return x == nullptr ? 0 : x->listExStyle;
}

void HeadlessUi::setListExtendedStyle(WindowId l, std::uint32_t style) {
    if (Window* x = find(l)) {
        x->listExStyle = style;
    }
}

int HeadlessUi::listInsertColumn(WindowId l, int index, const std::string& heading, int format) {
    Window* x = find(l);
    if (x == nullptr) {
        return -1;
    }
    auto at = static_cast<std::size_t>(std::clamp(index, 0, static_cast<int>(x->columns.size())));
    x->columns.insert(x->columns.begin() + static_cast<long>(at),
                      Window::Column{heading, 0, format});
    return static_cast<int>(at);
}

void HeadlessUi::listSetColumnWidth(WindowId l, int column, int width) {
    Window* x = find(l);
    if (x != nullptr && column >= 0 && column < static_cast<int>(x->columns.size())) {
        x->columns[static_cast<std::size_t>(column)].width = width;
    }
}

int HeadlessUi::listColumnWidth(WindowId l, int column) {
    Window* x = find(l);
    if (x == nullptr || column < 0 || column >= static_cast<int>(x->columns.size())) {
        return 0;
    }
    return x->columns[static_cast<std::size_t>(column)].width;
}

int HeadlessUi::listColumnCount(WindowId l) {
    Window* x = find(l);
    return x == nullptr ? 0 : static_cast<int>(x->columns.size());
}

void HeadlessUi::listDeleteAll(WindowId l) {
    if (Window* x = find(l)) {
        x->rows.clear();
    }
}

int HeadlessUi::listInsertItem(WindowId l, int index, const std::string& t) {
    Window* x = find(l);
    if (x == nullptr || index < 0) {
        return -1;
    }
    auto at = static_cast<std::size_t>(std::min(index, static_cast<int>(x->rows.size())));
    x->rows.insert(x->rows.begin() + static_cast<long>(at), Window::Row{{t}, 0});
    return static_cast<int>(at);
}

void HeadlessUi::listSetItemText(WindowId l, int row, int column, const std::string& t) {
    Window* x = find(l);
    if (x == nullptr || row < 0 || row >= static_cast<int>(x->rows.size()) || column < 0) {
        return;
    }
    auto& cells = x->rows[static_cast<std::size_t>(row)].cells;
    if (cells.size() <= static_cast<std::size_t>(column)) {
        cells.resize(static_cast<std::size_t>(column) + 1);
    }
    cells[static_cast<std::size_t>(column)] = t;
}

std::string HeadlessUi::listItemText(WindowId l, int row, int column) {
    Window* x = find(l);
    if (x == nullptr || row < 0 || row >= static_cast<int>(x->rows.size()) || column < 0) {
        return "";
    }
    const auto& cells = x->rows[static_cast<std::size_t>(row)].cells;
    return static_cast<std::size_t>(column) < cells.size() ? cells[static_cast<std::size_t>(column)]
                                                           : "";
}

int HeadlessUi::listItemCount(WindowId l) {
    Window* x = find(l);
    return x == nullptr ? 0 : static_cast<int>(x->rows.size());
}

std::uint32_t HeadlessUi::listItemState(WindowId l, int row, std::uint32_t mask) {
    Window* x = find(l);
    if (x == nullptr || row < 0 || row >= static_cast<int>(x->rows.size())) {
        return 0;
    }
    return x->rows[static_cast<std::size_t>(row)].state & mask;
}

void HeadlessUi::listSetItemState(WindowId l, int row, std::uint32_t state, std::uint32_t mask) {
    Window* x = find(l);
    if (x == nullptr || row < -1 || row >= static_cast<int>(x->rows.size())) {
        return; // a row the list does not hold changes nothing
    }
    auto apply = [&](Window::Row& r) { r.state = (r.state & ~mask) | (state & mask); };
    if (row == -1) {
        for (auto& r : x->rows) {
            apply(r);
        }
        return;
    }
    // A single-selection list (LVS_SINGLESEL) drops the earlier selection; the focus mark
    // belongs to one row at a time.
    constexpr std::uint32_t kSingleSel = 0x0004;
    bool selecting = (mask & lv::StateSelected) != 0 && (state & lv::StateSelected) != 0;
    bool focusing = (mask & lv::StateFocused) != 0 && (state & lv::StateFocused) != 0;
    for (std::size_t i = 0; i < x->rows.size(); ++i) {
        if (static_cast<int>(i) == row) {
            continue;
        }
        if (selecting && (x->style & kSingleSel) != 0) {
            x->rows[i].state &= ~lv::StateSelected;
        }
        if (focusing) {
            x->rows[i].state &= ~lv::StateFocused;
        }
    }
    apply(x->rows[static_cast<std::size_t>(row)]);
}

void HeadlessUi::progressSetRange(WindowId b, int low, int high) {
    if (Window* x = find(b)) {
        x->low = low;
        x->high = high;
        x->pos = std::clamp(x->pos, low, high);
    }
}

void HeadlessUi::progressSetPos(WindowId b, int pos) {
    if (Window* x = find(b)) {
        x->pos = std::clamp(pos, x->low, x->high);
        progress_[{win(x->parent).templateId, x->ctrlId}].push_back(x->pos);
    }
}

int HeadlessUi::progressPos(WindowId b) {
    Window* x = find(b);
    return x == nullptr ? 0 : x->pos;
}

int HeadlessUi::progressLow(WindowId b) {
    Window* x = find(b);
    return x == nullptr ? 0 : x->low;
}

int HeadlessUi::progressHigh(WindowId b) {
    Window* x = find(b);
    return x == nullptr ? 0 : x->high;
}

std::vector<int> HeadlessUi::progressHistory(int templateId, int id) const {
    auto it = progress_.find({templateId, id});
    return it == progress_.end() ? std::vector<int>{} : it->second;
}

bool HeadlessUi::hasSystemMenu(WindowId d) {
    Window* x = find(d);
    return x != nullptr && (x->style & ws::SysMenu) != 0;
}

void HeadlessUi::appendSystemMenuSeparator(WindowId d) {
    if (Window* x = find(d)) {
        x->sysMenu.push_back(SystemMenuItem{true, 0, ""});
    }
}

void HeadlessUi::appendSystemMenuItem(WindowId d, std::uint32_t command, const std::string& t) {
    if (Window* x = find(d)) {
        x->sysMenu.push_back(SystemMenuItem{false, command, t});
    }
}

void HeadlessUi::defaultSysCommand(WindowId d, std::uint32_t command) {
    Window* x = find(d);
    if (x == nullptr) {
        return;
    }
    switch (command & 0xFFF0) {
    case kScClose:
        dialogClose(*x);
        break;
    case kScMinimize:
        x->iconic = true;
        break;
    case kScRestore:
        x->iconic = false;
        break;
    default:
        break;
    }
}

IconId HeadlessUi::loadIcon(int resourceId) {
    return resources_.find(rt::GroupIcon, static_cast<std::uint16_t>(resourceId))
               ? static_cast<IconId>(0x10000 + resourceId)
               : 0;
}

void HeadlessUi::setIcon(WindowId d, bool big, IconId icon) {
    if (Window* x = find(d)) {
        (big ? x->bigIcon : x->smallIcon) = icon;
    }
}

void HeadlessUi::paint(WindowId d, const std::function<void(Painter&)>& draw) {
    Window& x = win(d);
    // A minimised window's client area in pixels (a restored one from dialog units at the
    // base units of a 9-point font: 6 by 12 pixels per 4 by 8 units).
    int w = x.iconic ? 36 : x.cx * 6 / 4;
    int h = x.iconic ? 36 : x.cy * 12 / 8;
    HeadlessPainter p(w, h, x.draws);
    draw(p);
}

void HeadlessUi::validate(WindowId) {}

std::uint32_t HeadlessUi::registerWindowMessage(const std::string& name) {
    std::string key = name;
    std::transform(key.begin(), key.end(), key.begin(), ::tolower);
    auto [it, inserted] =
        messages_.emplace(key, 0xC000u + static_cast<std::uint32_t>(messages_.size()));
    return it->second;
}

int HeadlessUi::messageBox(WindowId owner, const std::string& t, const std::string& caption,
                           std::uint32_t style) {
    MessageBoxRecord rec;
    if (Window* o = find(owner)) {
        rec.ownerTemplate = o->templateId;
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
    boxes_.push_back(rec);
    return rec.answer;
}

std::string HeadlessUi::loadString(int id) {
    return loadStringResource(resources_, static_cast<std::uint16_t>(id));
}

void HeadlessUi::dispatchCommand(Window& dlg, int id, int code) {
    dlg.events->handleCommand(id, code);
}

void HeadlessUi::dialogClose(Window& dlg) {
    // WM_CLOSE in a dialog: IDCANCEL, unless an IDCANCEL button exists and is disabled.
    for (WindowId c : dlg.controls) {
        Window& w = win(c);
        if (w.ctrlId == IdCancel && !w.enabled) {
            return;
        }
    }
    dispatchCommand(dlg, static_cast<int>(IdCancel), notify::ButtonClicked);
}

void HeadlessUi::userClick(Window& dlg, Window& c) {
    if (c.kind == ControlClass::Button) {
        switch (c.buttonType()) {
        case bs::AutoCheckBox:
            c.check = c.check == CheckChecked ? CheckUnchecked : CheckChecked;
            break;
        case bs::AutoRadioButton: {
            // Uncheck the other automatic radio buttons of the group: the controls from the
            // last WS_GROUP at or before this one up to the next WS_GROUP.
            auto& ids = dlg.controls;
            auto self = std::find(ids.begin(), ids.end(), c.id);
            auto first = self;
            while (first != ids.begin() && (win(*first).style & ws::Group) == 0) {
                --first;
            }
            for (auto it = first; it != ids.end(); ++it) {
                if (it != first && (win(*it).style & ws::Group) != 0) {
                    break;
                }
                Window& o = win(*it);
                if (o.kind == ControlClass::Button && o.buttonType() == bs::AutoRadioButton) {
                    o.check = CheckUnchecked;
                }
            }
            c.check = CheckChecked;
            break;
        }
        default:
            break;
        }
        if ((c.style & ws::TabStop) != 0 || c.isPushButton()) {
            dlg.focus = c.id;
        }
    }
    dispatchCommand(dlg, c.ctrlId, notify::ButtonClicked);
}

// DialogDriver

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
    auto& d = ui_.win(dialog_);
    // The focused push button, else the default push button, else IDOK.
    if (auto* f = ui_.find(d.focus); f != nullptr && f->isPushButton() && f->enabled) {
        ui_.userClick(d, *f);
        return;
    }
    for (WindowId c : d.controls) {
        auto& w = ui_.win(c);
        if (w.kind == ControlClass::Button && w.buttonType() == bs::DefPushButton) {
            if (w.enabled && w.visible) {
                ui_.userClick(d, w);
            }
            return;
        }
    }
    ui_.dispatchCommand(d, static_cast<int>(IdOk), notify::ButtonClicked);
}

void DialogDriver::closeBox() {
    systemCommand(kScClose);
}

void DialogDriver::systemCommand(std::uint32_t command) {
    ui_.requireOpen(dialog_);
    auto& d = ui_.win(dialog_);
    if (!d.events->handleSysCommand(command)) {
        ui_.defaultSysCommand(dialog_, command);
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

bool DialogDriver::exists(int id) const {
    return ui_.item(dialog_, id) != 0;
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
std::vector<int> DialogDriver::controlIds() const {
    std::vector<int> out;
    for (WindowId c : ui_.win(dialog_).controls) {
        out.push_back(ui_.win(c).ctrlId);
    }
    return out;
}

} // namespace vexo::sim
