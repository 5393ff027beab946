// platform/dialog.h - dialogs described as data, driven by controllers.
//
// A dialog is a table (DialogSpec): resource id, caption, client size in
// dialog units, font, and its controls, each with an id, a kind, a text, a
// rectangle in dialog units and styles. A controller (one class per dialog)
// implements the dialog's behaviour against DialogView, an abstract view of
// the controls, and never learns which backend draws it:
//   - DialogModel (platform/dialog_model.h) keeps the controls' state in
//     memory; the scripted backend plays scripts against it, and controller
//     tests drive it directly;
//   - a GUI backend (GTK, Win32) renders the same table and implements
//     DialogView on its widgets.
// runDialog() and chooseFile() go through the process's ui backend (ui.h).
//
// Control ids are those of the dialog's resources; ids 1 and 2 are OK and
// Cancel as in Win32 (IdOk, IdCancel).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui.h"

namespace platform::ui {

enum class ControlKind {
    Label,
    Edit,           // single line; Multiline, Password and ReadOnly styles apply
    Button,         // push button
    DefaultButton,  // push button answering Enter
    CheckBox,       // two-state, toggled by a click
    RadioButton,    // checked by a click; unchecks the others of its group
    GroupBox,
    DropDownList,  // a closed list the user picks from; cy is the dropped height
    ListBox,
    ListView,   // report view, one column as wide as the control, no header,
                // single selection always shown, images from DialogSpec::images
    CheckList,  // list of items with check boxes; items can be disabled
    Icon,       // shows the image DialogSpec::images[ControlSpec::image]
    VScrollBar,
};

// Style flags of a control (ControlSpec::styles).
enum Style : uint32_t {
    kDisabled = 1u << 0,
    kHidden = 1u << 1,
    kReadOnly = 1u << 2,    // edit
    kMultiline = 1u << 3,   // edit
    kPassword = 1u << 4,    // edit
    kAutoScroll = 1u << 5,  // edit: scrolls horizontally (single line) or vertically (multi-line)
    kVScroll = 1u << 6,     // a permanent vertical scroll bar (multi-line edit, lists)
    kSorted = 1u << 7,      // list box, drop-down list: items kept sorted by the control
    kNotify = 1u << 8,      // list box: reports selection changes and double clicks
    kBorder = 1u << 9,
    kWantReturn = 1u << 10,  // multi-line edit: Enter is a line break, not the default button
    kCenter = 1u << 11,      // label, edit: the text is centred
};

// A 16 x 16 (or icon-sized) picture: rows top to bottom, 0xAARRGGBB pixels.
struct Image {
    int resourceId = 0;
    int width = 0;
    int height = 0;
    std::span<const uint32_t> pixels;  // width * height
};

struct ControlSpec {
    int id = 0;  // -1 for a static text nobody addresses
    ControlKind kind = ControlKind::Label;
    std::string_view text;
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    uint32_t styles = 0;
    int group = 0;  // radio buttons with the same non-zero group exclude each other
    int image = 0;  // Icon: index into DialogSpec::images
};

struct DialogSpec {
    int resourceId = 0;
    std::string_view caption;  // a controller may replace it at run time
    int cx = 0, cy = 0;        // client size in dialog units
    std::string_view fontName = "MS Sans Serif";
    int fontPoints = 8;
    std::span<const ControlSpec> controls;
    std::span<const Image> images;  // list views' image list, in image-index order; icons

    const ControlSpec* find(int id) const;
};

// What a control reports to its controller.
enum class Notify {
    Clicked,           // button, check box (already toggled), radio button (already checked)
    Changed,           // edit text changed
    SelectionChanged,  // list box, list view, drop-down list: Event::index is the new selection
    DoubleClicked,     // list box, list view: Event::index is the item
    ItemChecked,       // check list: Event::index is the item, Event::checked its new state
    Scrolled,          // scroll bar or scrolling edit: Event::scroll says how
    MenuCommand,       // an item added with addSystemMenuItem: Event::id is its command
};

enum class Scroll { LineUp, LineDown, PageUp, PageDown, Top, Bottom };

struct Event {
    int id = 0;
    Notify what = Notify::Clicked;
    int index = -1;
    bool checked = false;
    Scroll scroll = Scroll::LineDown;
};

// Pixel rectangle in the dialog's client area.
struct PixelRect {
    int x = 0, y = 0, width = 0, height = 0;
};

// The id that stands for the dialog itself (no control has it).
constexpr int kDialogClient = 0;

// The controls of one open dialog as a controller sees them. Setting a state
// never fires a notification: a backend whose toolkit notifies on changes the
// program makes (Win32 sends EN_CHANGE for SetWindowText, GTK emits
// "changed") suppresses those, so controllers behave alike on every backend.
// Calls naming a control that does not exist, or an item index out of range,
// change nothing and read as empty, false or -1.
class DialogView {
public:
    virtual ~DialogView() = default;

    virtual void setCaption(std::string_view caption) = 0;
    virtual std::string caption() const = 0;

    virtual void setText(int id, std::string_view text) = 0;
    virtual std::string text(int id) const = 0;
    virtual void enable(int id, bool on) = 0;
    virtual bool enabled(int id) const = 0;
    virtual void show(int id, bool on) = 0;
    virtual bool visible(int id) const = 0;
    virtual void check(int id, bool on) = 0;  // check box, radio button
    virtual bool checked(int id) const = 0;

    // Lists: drop-down list, list box, list view, check list.
    virtual void clearItems(int id) = 0;
    // Adds an item at the end (or, with kSorted, in its sorted place); returns
    // its index, -1 when the control is not a list. image: list views only.
    virtual int addItem(int id, std::string_view text, int image = -1) = 0;
    virtual int itemCount(int id) const = 0;
    virtual std::string itemText(int id, int index) const = 0;
    virtual void setItemImage(int id, int index, int image) = 0;
    virtual int itemImage(int id, int index) const = 0;           // -1: none
    virtual void setItemChecked(int id, int index, bool on) = 0;  // check list
    virtual bool itemChecked(int id, int index) const = 0;
    virtual void setItemEnabled(int id, int index, bool on) = 0;  // check list
    virtual bool itemEnabled(int id, int index) const = 0;
    virtual void select(int id, int index) = 0;  // -1: none
    virtual int selected(int id) const = 0;      // -1: none
    virtual void ensureVisible(int id, int index) = 0;

    // Scroll bars.
    virtual void setScrollRange(int id, int minimum, int maximum, int page) = 0;
    virtual void setScrollPos(int id, int position) = 0;
    virtual int scrollPos(int id) const = 0;

    // A control's rectangle in the dialog's client pixels, and its placement
    // there (controls placed at run time, sized from another control).
    // clientRect(kDialogClient) is the dialog's own client area, at 0, 0.
    virtual PixelRect clientRect(int id) const = 0;
    virtual void place(int id, const PixelRect& rect) = 0;

    virtual void focus(int id) = 0;  // moves the focus; selects nothing

    // Adds an item (after a separator, for the first one) to the dialog's
    // window menu; choosing it reports Notify::MenuCommand with the command
    // as Event::id. Command ids must differ from the control ids. A backend
    // without a window menu ignores it.
    virtual void addSystemMenuItem(int command, std::string_view text) {
        (void)command;
        (void)text;
    }

    // The dialog's window: owner of the boxes and choosers it opens.
    virtual Window window() const = 0;
    // Closes the dialog once the current handler returns; runDialog answers result.
    virtual void end(int result) = 0;
};

class DialogController {
public:
    virtual ~DialogController() = default;
    virtual const DialogSpec& spec() const = 0;
    // Once, after the controls exist and before the dialog shows.
    virtual void init(DialogView& view) = 0;
    // A control's notification.
    virtual void handle(DialogView& view, const Event& event) = 0;
    // Escape or the window's close box. The default closes with IdCancel.
    virtual void cancel(DialogView& view) { view.end(IdCancel); }
};

// Shows the busy cursor while it lives (a conversion). The headless and
// scripted backends have no pointer to change: a seam that a GUI backend
// fills in; today it does nothing.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Runs a modal dialog owned by `owner` through the current backend and returns
// the result given to DialogView::end (IdCancel when the backend cannot show it).
int runDialog(Window owner, DialogController& controller);

// A file chooser. The filter is the Win32 form: pairs of "name|pattern" joined
// by "|" and ended by "||" ("CSV Files (*.csv)|*.csv|All Files (*.*)|*.*||");
// patterns may hold several globs separated by ";".
struct FileChooser {
    enum class Kind { Open, Save, Folder };
    Kind kind = Kind::Open;
    Window owner = nullptr;
    std::string title;        // empty: the backend's default
    std::string initialPath;  // file name or full path to start from
    std::string filter;
    int filterIndex = 1;  // 1-based, as Win32
    std::string defaultExtension;
    bool hideReadOnly = false;     // no "open read-only" box
    bool mustExist = false;        // open: the file must exist
    bool overwritePrompt = false;  // save: ask before replacing
};

// One filter entry of FileChooser::filter.
struct FileFilter {
    std::string name;
    std::vector<std::string> patterns;
};
// Splits a Win32 filter text; malformed tails are dropped.
std::vector<FileFilter> parseFileFilter(std::string_view filter);

// Shows the chooser through the current backend; the chosen full path, or
// nothing when cancelled.
std::optional<std::string> chooseFile(const FileChooser& chooser);

}  // namespace platform::ui
