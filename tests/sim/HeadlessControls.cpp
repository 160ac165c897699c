// The headless control model: what each control holds and how the Ui calls read and change
// it, as the real controls do.
#include "tests/sim/HeadlessUi.h"

#include "tests/sim/HeadlessWindow.h"
#include "tests/sim/ResFile.h"
#include "tests/sim/Utf.h"

namespace vexo::sim {

namespace {

class HeadlessPainter final : public Painter {
  public:
    HeadlessPainter(int w, int h, std::vector<IconDraw>& draws) : w_(w), h_(h), draws_(draws) {}
    void eraseIconBackground() override {}
    int clientWidth() override { return w_; }
    int clientHeight() override { return h_; }
    void drawIcon(int x, int y, IconId icon) override { draws_.push_back(IconDraw{x, y, icon}); }

  private:
    int w_, h_;
    std::vector<IconDraw>& draws_;
};

// Element `i` of a control's list (items, columns, rows, cells), or null when there is none.
template <class List> auto* at(List& list, int i) {
    return i >= 0 && i < static_cast<int>(list.size()) ? &list[static_cast<std::size_t>(i)]
                                                       : nullptr;
}

} // namespace

WindowId HeadlessUi::item(WindowId dialogId, int id) {
    for (WindowId c : peek(dialogId).controls) {
        if (win(c).ctrlId == id) {
            return c;
        }
    }
    return 0;
}

std::string HeadlessUi::text(WindowId w) {
    return peek(w).text;
}

void HeadlessUi::setText(WindowId w, const std::string& t) {
    if (Window* x = find(w)) {
        x->text = t;
    }
}

bool HeadlessUi::isEnabled(WindowId w) {
    return peek(w).enabled;
}

void HeadlessUi::enable(WindowId w, bool on) {
    if (Window* x = find(w)) {
        x->enabled = on;
    }
}

bool HeadlessUi::isVisible(WindowId w) {
    return peek(w).visible;
}

bool HeadlessUi::isIconic(WindowId w) {
    return peek(w).iconic;
}

std::intptr_t HeadlessUi::sendMessage(WindowId w, std::uint32_t message, std::uintptr_t wParam,
                                      std::intptr_t lParam) {
    faults_.log(
        "SendMessage", std::to_string(message),
        {std::to_string(peek(w).templateId), std::to_string(wParam), std::to_string(lParam)});
    return 0;
}

int HeadlessUi::checkState(WindowId b) {
    return peek(b).check;
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
    return static_cast<int>(peek(c).items.size());
}

int HeadlessUi::comboSelection(WindowId c) {
    return peek(c).selection;
}

void HeadlessUi::comboSelect(WindowId c, int index) {
    if (Window* x = find(c)) {
        x->selection = (index >= 0 && index < static_cast<int>(x->items.size())) ? index : -1;
    }
}

std::string HeadlessUi::comboItemText(WindowId c, int index) {
    const std::string* t = at(peek(c).items, index);
    return t != nullptr ? *t : "";
}

std::uint32_t HeadlessUi::listExtendedStyle(WindowId l) {
    return peek(l).listExStyle;
}

void HeadlessUi::setListExtendedStyle(WindowId l, std::uint32_t style) {
    if (Window* x = find(l)) {
        x->listExStyle = style;
    }
}

int HeadlessUi::listInsertColumn(WindowId l, int index, const std::string& heading, int) {
    Window* x = find(l);
    if (x == nullptr) {
        return -1;
    }
    auto where =
        static_cast<std::size_t>(std::clamp(index, 0, static_cast<int>(x->columns.size())));
    x->columns.insert(x->columns.begin() + static_cast<long>(where), Window::Column{heading, 0});
    return static_cast<int>(where);
}

void HeadlessUi::listSetColumnWidth(WindowId l, int column, int width) {
    Window* x = find(l);
    if (auto* c = x != nullptr ? at(x->columns, column) : nullptr) {
        c->width = width;
    }
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
    auto where = static_cast<std::size_t>(std::min(index, static_cast<int>(x->rows.size())));
    x->rows.insert(x->rows.begin() + static_cast<long>(where), Window::Row{{t}, 0});
    return static_cast<int>(where);
}

void HeadlessUi::listSetItemText(WindowId l, int row, int column, const std::string& t) {
    Window* x = find(l);
    Window::Row* r = x != nullptr ? at(x->rows, row) : nullptr;
    if (r == nullptr || column < 0) {
        return;
    }
    auto& cells = r->cells;
    if (cells.size() <= static_cast<std::size_t>(column)) {
        cells.resize(static_cast<std::size_t>(column) + 1);
    }
    cells[static_cast<std::size_t>(column)] = t;
}

std::string HeadlessUi::listItemText(WindowId l, int row, int column) {
    const Window::Row* r = at(peek(l).rows, row);
    const std::string* t = r != nullptr ? at(r->cells, column) : nullptr;
    return t != nullptr ? *t : "";
}

int HeadlessUi::listItemCount(WindowId l) {
    return static_cast<int>(peek(l).rows.size());
}

std::uint32_t HeadlessUi::listItemState(WindowId l, int row, std::uint32_t mask) {
    const Window::Row* r = at(peek(l).rows, row);
    return r != nullptr ? r->state & mask : 0;
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
        faults_.log("progress", std::to_string(x->pos),
                    {std::to_string(win(x->parent).templateId), std::to_string(x->ctrlId)});
    }
}

int HeadlessUi::progressPos(WindowId b) {
    return peek(b).pos;
}

std::vector<int> HeadlessUi::progressHistory(int templateId, int id) const {
    std::vector<int> out;
    for (const CallRecord& c : faults_.callsOf("progress")) {
        if (c.args == std::vector<std::string>{std::to_string(templateId), std::to_string(id)}) {
            out.push_back(std::stoi(c.subject));
        }
    }
    return out;
}

bool HeadlessUi::hasSystemMenu(WindowId d) {
    return (peek(d).style & ws::SysMenu) != 0;
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

std::uint32_t HeadlessUi::registerWindowMessage(const std::string& name) {
    std::string key = lowerAscii(name);
    auto [it, inserted] =
        messages_.emplace(key, 0xC000u + static_cast<std::uint32_t>(messages_.size()));
    return it->second;
}

std::string HeadlessUi::loadString(int id) {
    return loadStringResource(resources_, static_cast<std::uint16_t>(id));
}

} // namespace vexo::sim
