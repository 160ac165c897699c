// The headless dialog manager: modal runs built from the templates, and what the keyboard,
// clicks and the close box do to a dialog.
#include "tests/sim/HeadlessUi.h"

#include "tests/sim/HeadlessWindow.h"

#include <algorithm>

namespace vexo::sim {

HeadlessUi::HeadlessUi(const Resources& resources, Faults& faults)
    : resources_(resources), faults_(faults) {}
HeadlessUi::~HeadlessUi() = default;

void HeadlessUi::error(std::string message) {
    errors_.push_back(std::move(message));
}

HeadlessUi::Window* HeadlessUi::find(WindowId id) const {
    auto it = windows_.find(id);
    return it == windows_.end() ? nullptr : it->second.get();
}

const HeadlessUi::Window& HeadlessUi::peek(WindowId id) const {
    static const Window none = [] {
        Window w;
        w.visible = w.enabled = false;
        return w;
    }();
    const Window* w = find(id);
    return w != nullptr ? *w : none;
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
    faults_.log("DialogBox", std::to_string(templateId));

    auto dlgWin = std::make_unique<Window>();
    Window& dlg = *dlgWin;
    dlg.id = next_++;
    dlg.events = &events;
    dlg.templateId = templateId;
    dlg.style = tmpl->style;
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
        c->style = ct.style;
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

WindowId HeadlessUi::activeWindow() {
    return stack_.empty() ? 0 : stack_.back();
}

void HeadlessUi::defaultSysCommand(Window& dlg, std::uint32_t command) {
    switch (command & 0xFFF0) {
    case kScClose:
        dialogClose(dlg);
        break;
    case kScMinimize:
        dlg.iconic = true;
        break;
    case kScRestore:
        dlg.iconic = false;
        break;
    default:
        break;
    }
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

void HeadlessUi::userEnter(Window& d) {
    // The focused push button, else the default push button, else IDOK.
    if (auto* f = find(d.focus); f != nullptr && f->isPushButton() && f->enabled) {
        userClick(d, *f);
        return;
    }
    for (WindowId c : d.controls) {
        auto& w = win(c);
        if (w.kind == ControlClass::Button && w.buttonType() == bs::DefPushButton) {
            if (w.enabled && w.visible) {
                userClick(d, w);
            }
            return;
        }
    }
    dispatchCommand(d, static_cast<int>(IdOk), notify::ButtonClicked);
}

} // namespace vexo::sim
