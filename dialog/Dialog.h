// The dialog framework: a modal dialog built from a template, with a command map from
// control id and notification code to handler. The backend (Win32 or headless) delivers
// the window's events; the dialog never lets an exception escape into the backend.
#pragma once

#include "dialog/Controls.h"
#include "platform/Platform.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>

namespace vexo {

class Dialog : private DialogEvents {
  public:
    Dialog(Platform& platform, int templateId);
    Dialog(const Dialog&) = delete;
    Dialog& operator=(const Dialog&) = delete;
    ~Dialog() override = default;

    // Shows the dialog modally over the active window and returns the result it ended
    // with, or -1 when it could not be created. May be called again after it has ended.
    std::intptr_t doModal();
    // Ends the modal run with `result`.
    void endDialog(std::intptr_t result);

    [[nodiscard]] int templateId() const { return templateId_; }
    [[nodiscard]] WindowId window() const { return window_; }
    [[nodiscard]] bool isOpen() const { return window_ != 0; }

  protected:
    // The framework's initialisation: adds the template's initial list items. Overrides
    // call it first. Returns true to focus the first tab stop.
    virtual bool onInitDialog();
    // The OK operation: ends with IdOk. The Cancel operation: ends with IdCancel.
    virtual void onOK();
    virtual void onCancel();
    // A system command; return true when handled, false for default processing.
    virtual bool onSysCommand(std::uint32_t command);
    // Painting; return true when the dialog painted, false for default painting.
    virtual bool onPaint();
    virtual IconId onQueryDragIcon();

    using Handler = std::function<void()>;
    using NotifyHandler = std::function<std::intptr_t()>;
    // Binds a command (WM_COMMAND) from control `id` with notification `code`.
    void onCommand(int id, int code, Handler handler);
    void onClicked(int id, Handler handler) {
        onCommand(id, notify::ButtonClicked, std::move(handler));
    }
    // Binds a notification (WM_NOTIFY) from control `id`.
    void onNotify(int id, int code, NotifyHandler handler);

    template <class C> [[nodiscard]] C control(int id) {
        return C(&platform_.ui, platform_.ui.item(window_, id));
    }

    // The application's message box: the program's title as caption; a box with only an
    // OK button and no icon gets the exclamation icon. Owned by the active window.
    int messageBox(const std::string& text, std::uint32_t style = mb::Ok);

    Platform& platform_;
    Ui& ui_;

  private:
    bool handleInitDialog(WindowId window) override;
    void handleCommand(int id, int code) override;
    bool handleNotify(int id, int code, std::intptr_t& result) override;
    bool handleSysCommand(std::uint32_t command) override;
    bool handlePaint() override;
    IconId handleQueryDragIcon() override;
    void handleDestroy() override;

    int templateId_;
    WindowId window_ = 0;
    std::map<std::pair<int, int>, Handler> commands_;
    std::map<std::pair<int, int>, NotifyHandler> notifications_;
};

// The application message box for code without a dialog of its own.
int appMessageBox(Platform& platform, const std::string& text, std::uint32_t style = mb::Ok);

} // namespace vexo
