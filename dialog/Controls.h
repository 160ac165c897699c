// Thin wrappers over the controls of an open dialog. They hold no state of their own
// beyond the backend and the window; copying one copies a reference to the same control.
#pragma once

#include "platform/Ui.h"

#include <string>

namespace vexo {

class Control {
  public:
    Control() = default;
    Control(Ui* ui, WindowId window) : ui_(ui), window_(window) {}
    [[nodiscard]] bool attached() const { return ui_ != nullptr && window_ != 0; }
    [[nodiscard]] WindowId window() const { return window_; }
    [[nodiscard]] std::string text() const { return attached() ? ui_->text(window_) : ""; }
    void setText(const std::string& t) const {
        if (attached()) {
            ui_->setText(window_, t);
        }
    }
    void enable(bool on) const {
        if (attached()) {
            ui_->enable(window_, on);
        }
    }
    [[nodiscard]] bool isEnabled() const { return attached() && ui_->isEnabled(window_); }
    [[nodiscard]] bool isVisible() const { return attached() && ui_->isVisible(window_); }

  protected:
    Ui* ui_ = nullptr;
    WindowId window_ = 0;
};

class Button : public Control {
  public:
    using Control::Control;
    [[nodiscard]] int checkState() const { return attached() ? ui_->checkState(window_) : 0; }
    void setCheckState(int state) const {
        if (attached()) {
            ui_->setCheckState(window_, state);
        }
    }
};

class Edit : public Control {
  public:
    using Control::Control;
};

class ComboBox : public Control {
  public:
    using Control::Control;
    void reset() const {
        if (attached()) {
            ui_->comboReset(window_);
        }
    }
    int add(const std::string& t) const { return attached() ? ui_->comboAdd(window_, t) : -1; }
    [[nodiscard]] int count() const { return attached() ? ui_->comboCount(window_) : 0; }
    [[nodiscard]] int selection() const { return attached() ? ui_->comboSelection(window_) : -1; }
    void select(int index) const {
        if (attached()) {
            ui_->comboSelect(window_, index);
        }
    }
    [[nodiscard]] std::string itemText(int index) const {
        return attached() ? ui_->comboItemText(window_, index) : "";
    }
};

class ListView : public Control {
  public:
    using Control::Control;
    [[nodiscard]] std::uint32_t extendedStyle() const {
        return attached() ? ui_->listExtendedStyle(window_) : 0;
    }
    void setExtendedStyle(std::uint32_t s) const {
        if (attached()) {
            ui_->setListExtendedStyle(window_, s);
        }
    }
    int insertColumn(int index, const std::string& heading, int format = lv::FormatLeft) const {
        return attached() ? ui_->listInsertColumn(window_, index, heading, format) : -1;
    }
    void setColumnWidth(int column, int width) const {
        if (attached()) {
            ui_->listSetColumnWidth(window_, column, width);
        }
    }
    void deleteAll() const {
        if (attached()) {
            ui_->listDeleteAll(window_);
        }
    }
    int insertItem(int index, const std::string& t) const {
        return attached() ? ui_->listInsertItem(window_, index, t) : -1;
    }
    void setItemText(int row, int column, const std::string& t) const {
        if (attached()) {
            ui_->listSetItemText(window_, row, column, t);
        }
    }
    [[nodiscard]] std::string itemText(int row, int column) const {
        return attached() ? ui_->listItemText(window_, row, column) : "";
    }
    [[nodiscard]] int itemCount() const { return attached() ? ui_->listItemCount(window_) : 0; }
    [[nodiscard]] std::uint32_t itemState(int row, std::uint32_t mask) const {
        return attached() ? ui_->listItemState(window_, row, mask) : 0;
    }
    void setItemState(int row, std::uint32_t state, std::uint32_t mask) const {
        if (attached()) {
            ui_->listSetItemState(window_, row, state, mask);
        }
    }
    // The first row, from 0 upward, whose state includes the selected flag; -1 for none.
    [[nodiscard]] int selectedRow() const {
        for (int i = 0; i < itemCount(); ++i) {
            if (itemState(i, lv::StateSelected) == lv::StateSelected) {
                return i;
            }
        }
        return -1;
    }
    // Selects `row` under the mask selected-and-focused: selected, without the focus mark.
    void selectRow(int row) const {
        setItemState(row, lv::StateSelected, lv::StateSelected | lv::StateFocused);
    }
    // Hot-track selection off, grid lines and full-row selection on, other bits kept.
    void applyStandardStyle() const {
        setExtendedStyle((extendedStyle() & ~lv::ExTrackSelect) | lv::ExGridLines |
                         lv::ExFullRowSelect);
    }
};

class ProgressBar : public Control {
  public:
    using Control::Control;
    void setRange(int low, int high) const {
        if (attached()) {
            ui_->progressSetRange(window_, low, high);
        }
    }
    void setPos(int pos) const {
        if (attached()) {
            ui_->progressSetPos(window_, pos);
        }
    }
    [[nodiscard]] int pos() const { return attached() ? ui_->progressPos(window_) : 0; }
};

} // namespace vexo
