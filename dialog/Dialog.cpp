#include "dialog/Dialog.h"

#include <exception>

namespace vexo {

namespace {

// Runs a handler so that no exception reaches the backend (and, on Windows, the system's
// dialog procedure). What went wrong goes to the debugger output.
template <class F> auto guarded(System& system, F&& f, decltype(f()) fallback) -> decltype(f()) {
    try {
        return f();
    } catch (const std::exception& e) {
        system.debugOutput(std::string("VexoSetup: unexpected error: ") + e.what() + "\n");
    } catch (...) {
        system.debugOutput("VexoSetup: unexpected error\n");
    }
    return fallback;
}

} // namespace

Dialog::Dialog(Platform& platform, int templateId)
    : platform_(platform), ui_(platform.ui), templateId_(templateId) {}

std::intptr_t Dialog::doModal() {
    std::intptr_t result = ui_.runModal(templateId_, *this);
    window_ = 0;
    return result;
}

void Dialog::endDialog(std::intptr_t result) {
    if (window_ != 0) {
        ui_.endDialog(window_, result);
    }
}

bool Dialog::onInitDialog() {
    auto data = platform_.resources.find(rt::DlgInit, static_cast<std::uint16_t>(templateId_));
    if (data) {
        for (const DlgInitItem& item : parseDlgInit(*data)) {
            if (item.message == kDlgInitAddString) {
                WindowId combo = ui_.item(window_, item.controlId);
                if (combo != 0) {
                    ui_.comboAdd(combo, item.text);
                }
            }
        }
    }
    return true;
}

void Dialog::onOK() {
    endDialog(IdOk);
}

void Dialog::onCancel() {
    endDialog(IdCancel);
}

bool Dialog::onSysCommand(std::uint32_t) {
    return false;
}

bool Dialog::onPaint() {
    return false;
}

IconId Dialog::onQueryDragIcon() {
    return 0;
}

void Dialog::onCommand(int id, int code, Handler handler) {
    commands_[{id, code}] = std::move(handler);
}

void Dialog::onNotify(int id, int code, NotifyHandler handler) {
    notifications_[{id, code}] = std::move(handler);
}

int Dialog::messageBox(const std::string& text, std::uint32_t style) {
    return appMessageBox(platform_, text, style);
}

bool Dialog::handleInitDialog(WindowId window) {
    window_ = window;
    return guarded(
        platform_.system, [&] { return onInitDialog(); }, true);
}

void Dialog::handleCommand(int id, int code) {
    guarded(
        platform_.system,
        [&] {
            if (auto it = commands_.find({id, code}); it != commands_.end()) {
                it->second();
            } else if (id == IdOk && code == notify::ButtonClicked) {
                onOK();
            } else if (id == IdCancel && code == notify::ButtonClicked) {
                onCancel();
            }
            return 0;
        },
        0);
}

bool Dialog::handleNotify(int id, int code, std::intptr_t& result) {
    auto it = notifications_.find({id, code});
    if (it == notifications_.end()) {
        return false;
    }
    result = guarded(
        platform_.system, [&] { return it->second(); }, std::intptr_t{0});
    return true;
}

bool Dialog::handleSysCommand(std::uint32_t command) {
    return guarded(
        platform_.system, [&] { return onSysCommand(command); }, false);
}

bool Dialog::handlePaint() {
    return guarded(
        platform_.system, [&] { return onPaint(); }, false);
}

IconId Dialog::handleQueryDragIcon() {
    return guarded(
        platform_.system, [&] { return onQueryDragIcon(); }, IconId{0});
}

void Dialog::handleDestroy() {
    window_ = 0;
}

int appMessageBox(Platform& platform, const std::string& text, std::uint32_t style) {
    if ((style & mb::TypeMask) == mb::Ok && (style & mb::IconMask) == 0) {
        style |= mb::IconExclamation;
    }
    return platform.ui.messageBox(platform.ui.activeWindow(), text, platform.system.programTitle(),
                                  style);
}

} // namespace vexo
