// The in-memory dialog: control state and the user actions on it.
#include "platform/dialog_model.h"

#include <algorithm>

namespace platform::ui {
namespace {

// Base units of "MS Sans Serif" 8 at 96 DPI, which the Win32 dialog manager
// and the GTK backend both reach; the model has no font to measure.
constexpr int kBaseX = 6;
constexpr int kBaseY = 13;

int mulDiv(int value, int numerator, int denominator) {
    long long product = static_cast<long long>(value) * numerator;
    long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

bool isToggle(ControlKind kind) { return kind == ControlKind::CheckBox || kind == ControlKind::RadioButton; }

bool isButtonLike(ControlKind kind) {
    return kind == ControlKind::Button || kind == ControlKind::DefaultButton || isToggle(kind);
}

}  // namespace

std::string_view describe(ActionResult result) {
    switch (result) {
        case ActionResult::Done:
            return "done";
        case ActionResult::NoSuchControl:
            return "no such control";
        case ActionResult::Disabled:
            return "control is disabled";
        case ActionResult::Hidden:
            return "control is hidden";
        case ActionResult::WrongKind:
            return "control cannot do that";
        case ActionResult::BadIndex:
            return "no such item";
        case ActionResult::Closed:
            return "dialog is closed";
    }
    return "?";
}

const ControlSpec* DialogSpec::find(int id) const {
    for (const ControlSpec& control : controls)
        if (control.id == id) return &control;
    return nullptr;
}

PixelRect dialogUnitsToPixels(int x, int y, int cx, int cy, int baseX, int baseY) {
    return {mulDiv(x, baseX, 4), mulDiv(y, baseY, 8), mulDiv(cx, baseX, 4), mulDiv(cy, baseY, 8)};
}

DialogModel::DialogModel(const DialogSpec& spec, DialogController& controller, Window owner)
    : spec_(spec), controller_(controller), owner_(owner), caption_(spec.caption) {
    controls_.reserve(spec.controls.size());
    for (const ControlSpec& s : spec.controls) {
        Control c;
        c.spec = &s;
        if (s.kind != ControlKind::Icon) c.text = std::string(s.text);
        c.enabled = !(s.styles & kDisabled);
        c.visible = !(s.styles & kHidden);
        c.rect = dialogUnitsToPixels(s.x, s.y, s.cx, s.cy, kBaseX, kBaseY);
        controls_.push_back(std::move(c));
    }
}

void DialogModel::open() { controller_.init(*this); }

DialogModel::Control* DialogModel::find(int id) {
    for (Control& c : controls_)
        if (c.spec->id == id) return &c;
    return nullptr;
}

const DialogModel::Control* DialogModel::find(int id) const {
    for (const Control& c : controls_)
        if (c.spec->id == id) return &c;
    return nullptr;
}

ControlKind DialogModel::kind(int id) const {
    const Control* c = find(id);
    return c ? c->spec->kind : ControlKind::Label;
}

bool DialogModel::isList(const Control& control) const {
    switch (control.spec->kind) {
        case ControlKind::DropDownList:
        case ControlKind::ListBox:
        case ControlKind::ListView:
        case ControlKind::CheckList:
            return true;
        default:
            return false;
    }
}

DialogModel::Item* DialogModel::item(int id, int index) {
    Control* c = find(id);
    if (!c || index < 0 || static_cast<size_t>(index) >= c->items.size()) return nullptr;
    return &c->items[static_cast<size_t>(index)];
}

const DialogModel::Item* DialogModel::item(int id, int index) const {
    const Control* c = find(id);
    if (!c || index < 0 || static_cast<size_t>(index) >= c->items.size()) return nullptr;
    return &c->items[static_cast<size_t>(index)];
}

ActionResult DialogModel::usable(int id, Control*& control) {
    if (ended_) return ActionResult::Closed;
    control = find(id);
    if (!control) return ActionResult::NoSuchControl;
    if (!control->visible) return ActionResult::Hidden;
    if (!control->enabled) return ActionResult::Disabled;
    return ActionResult::Done;
}

ActionResult DialogModel::click(int id) {
    if (!ended_ && !find(id))
        for (const MenuItem& item : menu_)
            if (item.command == id) {
                controller_.handle(*this, {id, Notify::MenuCommand});
                return ActionResult::Done;
            }
    Control* c = nullptr;
    if (ActionResult r = usable(id, c); r != ActionResult::Done) return r;
    ControlKind k = c->spec->kind;
    if (!isButtonLike(k)) return ActionResult::WrongKind;
    if (k == ControlKind::CheckBox) c->checked = !c->checked;
    if (k == ControlKind::RadioButton) {
        for (Control& other : controls_)
            if (other.spec->kind == ControlKind::RadioButton && c->spec->group != 0 &&
                other.spec->group == c->spec->group)
                other.checked = false;
        c->checked = true;
    }
    focus_ = id;
    controller_.handle(*this, {id, Notify::Clicked, -1, c->checked, Scroll::LineDown});
    return ActionResult::Done;
}

ActionResult DialogModel::type(int id, std::string_view text) {
    Control* c = nullptr;
    if (ActionResult r = usable(id, c); r != ActionResult::Done) return r;
    if (c->spec->kind != ControlKind::Edit || (c->spec->styles & kReadOnly)) return ActionResult::WrongKind;
    c->text = std::string(text);
    focus_ = id;
    controller_.handle(*this, {id, Notify::Changed});
    return ActionResult::Done;
}

ActionResult DialogModel::choose(int id, int index) {
    Control* c = nullptr;
    if (ActionResult r = usable(id, c); r != ActionResult::Done) return r;
    if (!isList(*c)) return ActionResult::WrongKind;
    if (index < -1 || index >= static_cast<int>(c->items.size())) return ActionResult::BadIndex;
    c->selected = index;
    focus_ = id;
    controller_.handle(*this, {id, Notify::SelectionChanged, index});
    return ActionResult::Done;
}

ActionResult DialogModel::doubleClick(int id, int index) {
    Control* c = nullptr;
    if (ActionResult r = usable(id, c); r != ActionResult::Done) return r;
    ControlKind k = c->spec->kind;
    if (k != ControlKind::ListBox && k != ControlKind::ListView && k != ControlKind::CheckList)
        return ActionResult::WrongKind;
    if (index < 0 || index >= static_cast<int>(c->items.size())) return ActionResult::BadIndex;
    c->selected = index;
    focus_ = id;
    controller_.handle(*this, {id, Notify::DoubleClicked, index});
    return ActionResult::Done;
}

ActionResult DialogModel::checkItem(int id, int index, bool on) {
    Control* c = nullptr;
    if (ActionResult r = usable(id, c); r != ActionResult::Done) return r;
    if (c->spec->kind != ControlKind::CheckList) return ActionResult::WrongKind;
    Item* i = item(id, index);
    if (!i) return ActionResult::BadIndex;
    if (!i->enabled) return ActionResult::Disabled;
    i->checked = on;
    focus_ = id;
    controller_.handle(*this, {id, Notify::ItemChecked, index, on});
    return ActionResult::Done;
}

ActionResult DialogModel::scroll(int id, Scroll how) {
    Control* c = nullptr;
    if (ActionResult r = usable(id, c); r != ActionResult::Done) return r;
    bool scrollingEdit = c->spec->kind == ControlKind::Edit && (c->spec->styles & (kVScroll | kAutoScroll));
    if (c->spec->kind != ControlKind::VScrollBar && !scrollingEdit) return ActionResult::WrongKind;
    controller_.handle(*this, {id, Notify::Scrolled, -1, false, how});
    return ActionResult::Done;
}

void DialogModel::close() {
    if (ended_) return;
    controller_.cancel(*this);
    if (!ended_) end(IdCancel);
}

void DialogModel::setCaption(std::string_view caption) { caption_ = std::string(caption); }

void DialogModel::setText(int id, std::string_view text) {
    if (Control* c = find(id)) c->text = std::string(text);
}

std::string DialogModel::text(int id) const {
    const Control* c = find(id);
    return c ? c->text : std::string();
}

void DialogModel::enable(int id, bool on) {
    if (Control* c = find(id)) c->enabled = on;
}

bool DialogModel::enabled(int id) const {
    const Control* c = find(id);
    return c && c->enabled;
}

void DialogModel::show(int id, bool on) {
    if (Control* c = find(id)) c->visible = on;
}

bool DialogModel::visible(int id) const {
    const Control* c = find(id);
    return c && c->visible;
}

void DialogModel::check(int id, bool on) {
    if (Control* c = find(id); c && isToggle(c->spec->kind)) c->checked = on;
}

bool DialogModel::checked(int id) const {
    const Control* c = find(id);
    return c && c->checked;
}

void DialogModel::clearItems(int id) {
    if (Control* c = find(id); c && isList(*c)) {
        c->items.clear();
        c->selected = -1;
        c->shown = -1;
    }
}

int DialogModel::addItem(int id, std::string_view text, int image) {
    Control* c = find(id);
    if (!c || !isList(*c)) return -1;
    Item added{std::string(text), c->spec->kind == ControlKind::ListView ? image : -1};
    auto at = c->items.end();
    if (c->spec->styles & kSorted)  // after equal texts, as the list controls do
        at = std::upper_bound(c->items.begin(), c->items.end(), added,
                              [](const Item& a, const Item& b) { return a.text < b.text; });
    int index = static_cast<int>(at - c->items.begin());
    c->items.insert(at, std::move(added));
    if (c->selected >= index) ++c->selected;
    return index;
}

int DialogModel::itemCount(int id) const {
    const Control* c = find(id);
    return c ? static_cast<int>(c->items.size()) : 0;
}

std::string DialogModel::itemText(int id, int index) const {
    const Item* i = item(id, index);
    return i ? i->text : std::string();
}

void DialogModel::setItemImage(int id, int index, int image) {
    if (kind(id) != ControlKind::ListView) return;
    if (Item* i = item(id, index)) i->image = image;
}

int DialogModel::itemImage(int id, int index) const {
    const Item* i = item(id, index);
    return i ? i->image : -1;
}

void DialogModel::setItemChecked(int id, int index, bool on) {
    if (kind(id) != ControlKind::CheckList) return;
    if (Item* i = item(id, index)) i->checked = on;
}

bool DialogModel::itemChecked(int id, int index) const {
    const Item* i = item(id, index);
    return i && i->checked;
}

void DialogModel::setItemEnabled(int id, int index, bool on) {
    if (kind(id) != ControlKind::CheckList) return;
    if (Item* i = item(id, index)) i->enabled = on;
}

bool DialogModel::itemEnabled(int id, int index) const {
    const Item* i = item(id, index);
    return i && i->enabled;
}

void DialogModel::select(int id, int index) {
    Control* c = find(id);
    if (!c || !isList(*c)) return;
    if (index >= -1 && index < static_cast<int>(c->items.size())) c->selected = index;
}

int DialogModel::selected(int id) const {
    const Control* c = find(id);
    return c ? c->selected : -1;
}

void DialogModel::ensureVisible(int id, int index) {
    Control* c = find(id);
    if (c && index >= 0 && index < static_cast<int>(c->items.size())) c->shown = index;
}

int DialogModel::lastVisible(int id) const {
    const Control* c = find(id);
    return c ? c->shown : -1;
}

void DialogModel::setScrollRange(int id, int minimum, int maximum, int page) {
    Control* c = find(id);
    if (!c || maximum < minimum) return;
    c->scrollMin = minimum;
    c->scrollMax = maximum;
    c->scrollPage = std::max(page, 0);
    c->scrollPos = std::clamp(c->scrollPos, minimum, maximum);
}

void DialogModel::setScrollPos(int id, int position) {
    if (Control* c = find(id)) c->scrollPos = std::clamp(position, c->scrollMin, c->scrollMax);
}

int DialogModel::scrollPos(int id) const {
    const Control* c = find(id);
    return c ? c->scrollPos : 0;
}

PixelRect DialogModel::clientRect(int id) const {
    if (id == kDialogClient) return dialogUnitsToPixels(0, 0, spec_.cx, spec_.cy, kBaseX, kBaseY);
    const Control* c = find(id);
    return c ? c->rect : PixelRect{};
}

void DialogModel::place(int id, const PixelRect& rect) {
    if (Control* c = find(id)) c->rect = rect;
}

void DialogModel::focus(int id) {
    if (find(id)) focus_ = id;
}

void DialogModel::addSystemMenuItem(int command, std::string_view text) {
    menu_.push_back({command, std::string(text)});
}

// The model stands for the dialog's window: boxes it raises are owned by it.
Window DialogModel::window() const { return const_cast<DialogModel*>(this); }

void DialogModel::end(int result) {
    if (ended_) return;
    ended_ = true;
    result_ = result;
}

}  // namespace platform::ui
