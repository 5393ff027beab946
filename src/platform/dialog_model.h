// platform/dialog_model.h - the state of an open dialog's controls, in memory.
//
// DialogModel implements DialogView without any window system: it keeps each
// control's text, enabled/visible/checked flags, list items (text, image,
// check mark, enabled), selection, scroll position and pixel rectangle, as a
// real dialog would. The scripted backend plays scripts against it; controller
// tests drive it with the same user actions (click, type, select, ...), which
// behave as the controls do for a person: a disabled or hidden control cannot
// be used, a check box toggles before its handler runs, a radio button checks
// itself and unchecks the others of its group.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dialog.h"

namespace platform::ui {

// Why a user action was refused (Done when it ran).
enum class ActionResult { Done, NoSuchControl, Disabled, Hidden, WrongKind, BadIndex, Closed };
std::string_view describe(ActionResult result);

class DialogModel final : public DialogView {
public:
    // The controls start as the table says: texts, kDisabled, kHidden.
    DialogModel(const DialogSpec& spec, DialogController& controller, Window owner = nullptr);

    // Runs the controller's init once.
    void open();

    // User actions: each checks that the control exists, is visible and
    // enabled and has the right kind, changes the control as a person's action
    // would, then runs the controller's handler. Refused actions change nothing.
    // A click on a button-like control, or the choice of a window-menu item
    // (addSystemMenuItem) whose command no control has.
    ActionResult click(int id);
    ActionResult type(int id, std::string_view text);
    ActionResult choose(int id, int index);  // select an item (-1: none)
    ActionResult doubleClick(int id, int index);
    ActionResult checkItem(int id, int index, bool on);
    ActionResult scroll(int id, Scroll how);
    // Escape or the close box: the controller's cancel(); IdCancel if it did not end.
    void close();

    bool ended() const { return ended_; }
    int result() const { return result_; }
    const DialogSpec& spec() const { return spec_; }
    bool has(int id) const { return find(id) != nullptr; }
    ControlKind kind(int id) const;  // Label when missing

    // DialogView
    void setCaption(std::string_view caption) override;
    std::string caption() const override { return caption_; }
    void setText(int id, std::string_view text) override;
    std::string text(int id) const override;
    void enable(int id, bool on) override;
    bool enabled(int id) const override;
    void show(int id, bool on) override;
    bool visible(int id) const override;
    void check(int id, bool on) override;
    bool checked(int id) const override;
    void clearItems(int id) override;
    int addItem(int id, std::string_view text, int image = -1) override;
    int itemCount(int id) const override;
    std::string itemText(int id, int index) const override;
    void setItemImage(int id, int index, int image) override;
    int itemImage(int id, int index) const override;
    void setItemChecked(int id, int index, bool on) override;
    bool itemChecked(int id, int index) const override;
    void setItemEnabled(int id, int index, bool on) override;
    bool itemEnabled(int id, int index) const override;
    void select(int id, int index) override;
    int selected(int id) const override;
    void ensureVisible(int id, int index) override;
    void setScrollRange(int id, int minimum, int maximum, int page) override;
    void setScrollPos(int id, int position) override;
    int scrollPos(int id) const override;
    PixelRect clientRect(int id) const override;
    void place(int id, const PixelRect& rect) override;
    void focus(int id) override;
    void addSystemMenuItem(int command, std::string_view text) override;
    Window window() const override;
    void end(int result) override;

    int focused() const { return focus_; }
    int lastVisible(int id) const;  // the item last passed to ensureVisible, -1 none
    struct MenuItem {
        int command = 0;
        std::string text;
    };
    const std::vector<MenuItem>& systemMenuItems() const { return menu_; }

private:
    struct Item {
        std::string text;
        int image = -1;
        bool checked = false;
        bool enabled = true;
    };
    struct Control {
        const ControlSpec* spec = nullptr;
        std::string text;
        bool enabled = true;
        bool visible = true;
        bool checked = false;
        std::vector<Item> items;
        int selected = -1;
        int shown = -1;  // ensureVisible
        int scrollMin = 0, scrollMax = 100, scrollPage = 0, scrollPos = 0;
        PixelRect rect;
    };

    Control* find(int id);
    const Control* find(int id) const;
    Item* item(int id, int index);
    const Item* item(int id, int index) const;
    bool isList(const Control& control) const;
    // Looks up a control a user action may use.
    ActionResult usable(int id, Control*& control);

    const DialogSpec& spec_;
    DialogController& controller_;
    Window owner_;
    std::string caption_;
    std::vector<Control> controls_;
    std::vector<MenuItem> menu_;
    int focus_ = 0;
    bool ended_ = false;
    int result_ = IdCancel;
};

// Pixel rectangle of a rectangle in dialog units, for base units measured from
// the dialog's font (Win32 rounds each value on its own: MulDiv(x, baseX, 4)).
PixelRect dialogUnitsToPixels(int x, int y, int cx, int cy, int baseX, int baseY);

}  // namespace platform::ui
