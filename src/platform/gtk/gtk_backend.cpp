// The GTK 3 backend, built as the module libbrightfold-gtk.so (ui_module.h).
//
// A dialog is a GtkWindow holding a GtkFixed; each control sits at the pixel
// rectangle that the Win32 dialog-unit rule gives for base units measured
// from the dialog's font (Liberation Sans in place of MS Sans Serif). A
// compact style sheet lets every widget take exactly that size. The view
// keeps the lists' items itself and mirrors them into the widgets, so reads
// and writes behave as DialogModel's. With BRIGHTFOLD_UI_SCRIPT set, the
// script's actions act on the widgets instead of a person.
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/dialog_model.h"
#include "platform/ui_module.h"
#include "platform/ui_native.h"
#include "platform/ui_script.h"

namespace platform::ui {
namespace {

constexpr int kIconSize = 32;  // a desktop icon at 96 DPI, in pixels

// The style of every dialog window (class "brightfold-dialog") and of the
// popups of its drop-down lists: controls no larger than their rectangles,
// a framed default button, read-only multi-line edits on the window colour.
constexpr const char* kCss = R"css(
.brightfold-dialog button, .brightfold-dialog entry, .brightfold-dialog combobox button {
  min-height: 0; min-width: 0; padding: 0 4px; }
.brightfold-dialog entry { padding: 0 3px; }
.brightfold-dialog combobox { -GtkComboBox-appears-as-list: true; }
.brightfold-dialog combobox button { padding: 0 2px; }
.brightfold-dialog button.default { border: 1px solid #000000; }
.brightfold-dialog checkbutton, .brightfold-dialog radiobutton { min-height: 0; padding: 0; }
.brightfold-dialog check, .brightfold-dialog radio { min-width: 11px; min-height: 11px; margin: 0 3px 0 0; }
.brightfold-dialog scrollbar { -GtkScrollbar-has-backward-stepper: true; -GtkScrollbar-has-forward-stepper: true; }
.brightfold-dialog scrollbar, .brightfold-dialog scrollbar contents, .brightfold-dialog scrollbar trough {
  padding: 0; margin: 0; border-width: 0; }
.brightfold-dialog scrollbar slider { min-width: 6px; min-height: 2px; margin: 0; border-width: 1px; }
.brightfold-dialog scrollbar button { min-width: 11px; min-height: 11px; padding: 0; margin: 0; border-width: 0;
  -gtk-icon-transform: scale(0.75); }
.brightfold-dialog textview.read-only, .brightfold-dialog textview.read-only text {
  background-color: @theme_bg_color; }
.brightfold-dialog row { min-height: 0; padding: 0 2px; }
)css";

// "MS Sans Serif" has no outline version Pango can draw. Liberation Sans has
// its widths; 7.5 pt is the largest size at which no text of the dialogs at
// 8 pt gets wider than in the original, and other sizes scale alike.
// The rule giving the windows of class `name` the dialog's font.
std::string fontCss(const DialogSpec& spec, const std::string& name) {
    std::string family;
    for (char c : spec.fontName)
        if (c != '"' && c != '\\' && c != ';' && c != '{' && c != '}') family += c;
    double points = spec.fontPoints > 0 && spec.fontPoints <= 72 ? spec.fontPoints : 8;
    if (family == "MS Sans Serif" || family == "MS Shell Dlg") {
        family = "Liberation Sans";
        points = points * 15 / 16;
    }
    char size[32];
    std::snprintf(size, sizeof size, "%.2fpt", points);
    return "." + name + ", ." + name + " * { font-family: \"" + family + "\"; font-size: " + size + "; }\n";
}

// Win32 control texts mark their access key with '&' ("&&" is an ampersand);
// GTK with '_'.
std::string mnemonic(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_')
            out += "__";
        else if (text[i] == '&' && i + 1 < text.size() && text[i + 1] == '&')
            out += '&', ++i;
        else if (text[i] == '&')
            out += '_';
        else
            out += text[i];
    }
    return out;
}

std::string plain(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] != '&' || (i + 1 < text.size() && text[i + 1] == '&' && ++i)) out += text[i];
    return out;
}

GdkPixbuf* pixbufOf(const Image& image) {
    if (image.width <= 0 || image.height <= 0 || image.width > 256 || image.height > 256 ||
        image.pixels.size() < size_t(image.width) * size_t(image.height))
        return nullptr;
    GdkPixbuf* pixbuf = gdk_pixbuf_new(GDK_COLORSPACE_RGB, TRUE, 8, image.width, image.height);
    guchar* rows = gdk_pixbuf_get_pixels(pixbuf);
    int stride = gdk_pixbuf_get_rowstride(pixbuf);
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            uint32_t argb = image.pixels[size_t(y) * size_t(image.width) + size_t(x)];
            guchar* p = rows + y * stride + x * 4;
            p[0] = guchar(argb >> 16), p[1] = guchar(argb >> 8), p[2] = guchar(argb),
            p[3] = guchar(argb >> 24);
        }
    return pixbuf;
}

void pump() {
    while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
}

// Lets a few frames pass: style changes (a control enabled a moment ago) are
// applied only when the frame clock ticks.
void pumpFrames() {
    const gint64 until = g_get_monotonic_time() + 100 * 1000;
    while (g_get_monotonic_time() < until) {
        pump();
        g_usleep(2000);
    }
}

bool isList(ControlKind kind) {
    return kind == ControlKind::DropDownList || kind == ControlKind::ListBox ||
           kind == ControlKind::ListView || kind == ControlKind::CheckList;
}

std::set<GtkWidget*>& openWindows() {
    static std::set<GtkWidget*> windows;
    return windows;
}

// The GTK window behind an owner handle, when it is one of ours.
GtkWindow* ownerWindow(Window owner) {
    auto* widget = static_cast<GtkWidget*>(owner);
    return openWindows().count(widget) ? GTK_WINDOW(widget) : nullptr;
}

class GtkDialogView;

struct Item {
    std::string text;
    int image = -1;
    bool checked = false;
    bool enabled = true;
};

struct Control {
    GtkDialogView* owner = nullptr;
    const ControlSpec* spec = nullptr;
    GtkWidget* outer = nullptr;      // the widget placed on the GtkFixed
    GtkWidget* widget = nullptr;     // the one holding the state
    GtkWidget* noneRadio = nullptr;  // a radio group's hidden member, active when none is checked
    GtkListStore* store = nullptr;
    std::string text;  // labels, buttons, group boxes
    std::vector<Item> items;
    int selected = -1;
    bool visible = true;
    int scrollMin = 0, scrollMax = 100, scrollPage = 0;
    PixelRect rect;
};

class GtkDialogView final : public DialogView, public ScriptedDialog {
public:
    GtkDialogView(const DialogSpec& spec, DialogController& controller, Window owner)
        : spec_(spec), controller_(controller), caption_(spec.caption) {
        window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
        g_object_ref_sink(window_);
        openWindows().insert(window_);
        GtkStyleContext* style = gtk_widget_get_style_context(window_);
        gtk_style_context_add_class(style, "brightfold-dialog");
        // Each dialog its own font rule: a dialog it opens may use another font.
        static int dialogs = 0;
        fontClass_ = "brightfold-font-" + std::to_string(++dialogs);
        gtk_style_context_add_class(style, fontClass_.c_str());
        fontCss_ = gtk_css_provider_new();
        gtk_css_provider_load_from_data(fontCss_, fontCss(spec, fontClass_).c_str(), -1, nullptr);
        gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(fontCss_),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
        gtk_window_set_title(GTK_WINDOW(window_), caption_.c_str());
        gtk_window_set_resizable(GTK_WINDOW(window_), FALSE);
        gtk_window_set_modal(GTK_WINDOW(window_), TRUE);
        gtk_window_set_type_hint(GTK_WINDOW(window_), GDK_WINDOW_TYPE_HINT_DIALOG);
        if (GtkWindow* parent = ownerWindow(owner)) gtk_window_set_transient_for(GTK_WINDOW(window_), parent);
        fixed_ = gtk_fixed_new();
        gtk_container_add(GTK_CONTAINER(window_), fixed_);
        measureBaseUnits();
        client_ = dialogUnitsToPixels(0, 0, spec.cx, spec.cy, baseX_, baseY_);
        gtk_widget_set_size_request(fixed_, client_.width, client_.height);
        controls_.reserve(spec.controls.size());
        for (const ControlSpec& s : spec.controls) build(s);
        gtk_widget_show(fixed_);
        g_signal_connect(window_, "key-press-event", G_CALLBACK(onKey), this);
        g_signal_connect(window_, "delete-event", G_CALLBACK(onDelete), this);
        gtk_widget_add_events(window_, GDK_BUTTON_PRESS_MASK);
        g_signal_connect(window_, "button-press-event", G_CALLBACK(onButton), this);
    }

    ~GtkDialogView() override {
        openWindows().erase(window_);
        gtk_widget_destroy(window_);
        g_object_unref(window_);
        gtk_style_context_remove_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(fontCss_));
        g_object_unref(fontCss_);
        for (Control& c : controls_)
            if (c.store) g_object_unref(c.store);
        for (GdkPixbuf* p : images_)
            if (p) g_object_unref(p);
        pump();
    }

    // Runs init and shows the window with its client area at the rule's size.
    void open() {
        ++quiet_;
        controller_.init(*this);
        --quiet_;
        // Mapping is no user's doing: GTK selects an entry's text and the
        // first row of a list box that takes the focus, which focus() does
        // not. Both are undone, unheard by the controller.
        ++quiet_;
        gtk_widget_show(window_);
        pump();
        for (Control& c : controls_) {
            if (GTK_IS_ENTRY(c.widget)) gtk_editable_select_region(GTK_EDITABLE(c.widget), 0, 0);
            if (GTK_IS_LIST_BOX(c.widget) && c.selected < 0)
                gtk_list_box_unselect_all(GTK_LIST_BOX(c.widget));
        }
        --quiet_;
    }

    // Runs the dialog until end() (a nested loop on the default context,
    // inside a host's own GTK main loop as well).
    void runModal() {
        if (ended_) return;
        loop_ = g_main_loop_new(nullptr, FALSE);
        g_main_loop_run(loop_);
        g_main_loop_unref(loop_);
        loop_ = nullptr;
    }

    void writeReport(const std::string& path) const;

    // DialogView
    void setCaption(std::string_view caption) override {
        caption_ = std::string(caption);
        gtk_window_set_title(GTK_WINDOW(window_), caption_.c_str());
    }
    std::string caption() const override { return caption_; }

    void setText(int id, std::string_view text) override {
        Control* c = find(id);
        if (!c) return;
        Quiet q(this);
        std::string t(text);
        switch (c->spec->kind) {
            case ControlKind::Edit:
                if (GTK_IS_ENTRY(c->widget))
                    gtk_entry_set_text(GTK_ENTRY(c->widget), t.c_str());
                else
                    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(c->widget)), t.c_str(),
                                             -1);
                return;
            case ControlKind::Label:
                c->text = t;
                gtk_label_set_text_with_mnemonic(GTK_LABEL(c->widget), mnemonic(t).c_str());
                return;
            case ControlKind::GroupBox:
                c->text = t;
                gtk_frame_set_label(GTK_FRAME(c->widget), plain(t).c_str());
                return;
            case ControlKind::Button:
            case ControlKind::DefaultButton:
            case ControlKind::CheckBox:
            case ControlKind::RadioButton:
                c->text = t;
                gtk_button_set_label(GTK_BUTTON(c->widget), mnemonic(t).c_str());
                return;
            default:
                return;
        }
    }
    std::string text(int id) const override {
        const Control* c = find(id);
        if (!c) return {};
        if (c->spec->kind != ControlKind::Edit)
            return c->spec->kind == ControlKind::Icon ? std::string() : c->text;
        if (GTK_IS_ENTRY(c->widget)) return gtk_entry_get_text(GTK_ENTRY(c->widget));
        GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(c->widget));
        GtkTextIter start, end;
        gtk_text_buffer_get_bounds(buffer, &start, &end);
        gchar* all = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
        std::string out = all;
        g_free(all);
        return out;
    }
    void enable(int id, bool on) override {
        if (Control* c = find(id)) gtk_widget_set_sensitive(c->outer, on);
    }
    bool enabled(int id) const override {
        const Control* c = find(id);
        return c && gtk_widget_get_sensitive(c->outer);
    }
    void show(int id, bool on) override {
        if (Control* c = find(id)) showControl(*c, on);
    }
    bool visible(int id) const override {
        const Control* c = find(id);
        return c && c->visible;
    }
    void check(int id, bool on) override {
        Control* c = find(id);
        if (!c || (c->spec->kind != ControlKind::CheckBox && c->spec->kind != ControlKind::RadioButton))
            return;
        Quiet q(this);
        if (on || !c->noneRadio)
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(c->widget), on);
        else if (gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(c->widget)))
            gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(c->noneRadio), TRUE);
    }
    bool checked(int id) const override {
        const Control* c = find(id);
        return c && GTK_IS_TOGGLE_BUTTON(c->widget) &&
               gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(c->widget));
    }

    void clearItems(int id) override {
        if (Control* c = list(id)) {
            c->items.clear();
            c->selected = -1;
            refill(*c);
        }
    }
    int addItem(int id, std::string_view text, int image) override {
        Control* c = list(id);
        if (!c) return -1;
        Item added{std::string(text), c->spec->kind == ControlKind::ListView ? image : -1};
        auto at = c->items.end();
        if (c->spec->styles & kSorted)
            at = std::upper_bound(c->items.begin(), c->items.end(), added,
                                  [](const Item& a, const Item& b) { return a.text < b.text; });
        int index = static_cast<int>(at - c->items.begin());
        c->items.insert(at, std::move(added));
        if (c->selected >= index) ++c->selected;
        refill(*c);
        return index;
    }
    int itemCount(int id) const override {
        const Control* c = find(id);
        return c ? static_cast<int>(c->items.size()) : 0;
    }
    std::string itemText(int id, int index) const override {
        const Item* i = item(id, index);
        return i ? i->text : std::string();
    }
    void setItemImage(int id, int index, int image) override {
        Item* i = item(id, index);
        if (!i || find(id)->spec->kind != ControlKind::ListView) return;
        i->image = image;
        refill(*find(id));
    }
    int itemImage(int id, int index) const override {
        const Item* i = item(id, index);
        return i ? i->image : -1;
    }
    void setItemChecked(int id, int index, bool on) override {
        Item* i = item(id, index);
        if (!i || find(id)->spec->kind != ControlKind::CheckList) return;
        i->checked = on;
        refill(*find(id));
    }
    bool itemChecked(int id, int index) const override {
        const Item* i = item(id, index);
        return i && i->checked;
    }
    void setItemEnabled(int id, int index, bool on) override {
        Item* i = item(id, index);
        if (!i || find(id)->spec->kind != ControlKind::CheckList) return;
        i->enabled = on;
        refill(*find(id));
    }
    bool itemEnabled(int id, int index) const override {
        const Item* i = item(id, index);
        return i && i->enabled;
    }
    void select(int id, int index) override {
        Control* c = list(id);
        if (!c || index < -1 || index >= static_cast<int>(c->items.size())) return;
        c->selected = index;
        showSelection(*c);
    }
    int selected(int id) const override {
        const Control* c = find(id);
        return c ? c->selected : -1;
    }
    void ensureVisible(int id, int index) override {
        Control* c = find(id);
        if (!c || index < 0 || index >= static_cast<int>(c->items.size()) || !GTK_IS_TREE_VIEW(c->widget))
            return;
        GtkTreePath* path = gtk_tree_path_new_from_indices(index, -1);
        gtk_tree_view_scroll_to_cell(GTK_TREE_VIEW(c->widget), path, nullptr, FALSE, 0, 0);
        gtk_tree_path_free(path);
    }

    void setScrollRange(int id, int minimum, int maximum, int page) override {
        Control* c = find(id);
        if (!c || maximum < minimum) return;
        c->scrollMin = minimum, c->scrollMax = maximum, c->scrollPage = std::max(page, 0);
        if (!GTK_IS_RANGE(c->widget)) return;
        Quiet q(this);
        GtkAdjustment* a = gtk_range_get_adjustment(GTK_RANGE(c->widget));
        double value = std::clamp<double>(gtk_adjustment_get_value(a), minimum, maximum);
        // Win32's range includes the maximum position; GTK's upper is past the page.
        gtk_adjustment_configure(a, value, minimum, maximum + std::max(page, 1), 1, std::max(page, 1),
                                 std::max(page, 1));
    }
    void setScrollPos(int id, int position) override {
        Control* c = find(id);
        if (!c || !GTK_IS_RANGE(c->widget)) return;
        Quiet q(this);
        gtk_range_set_value(GTK_RANGE(c->widget), std::clamp(position, c->scrollMin, c->scrollMax));
    }
    int scrollPos(int id) const override {
        const Control* c = find(id);
        return c && GTK_IS_RANGE(c->widget) ? int(gtk_range_get_value(GTK_RANGE(c->widget))) : 0;
    }

    // Where the widget really is once laid out; before that, where it was put.
    PixelRect clientRect(int id) const override {
        if (id == kDialogClient) return client_;
        const Control* c = find(id);
        if (!c) return {};
        if (!gtk_widget_get_mapped(c->outer)) return c->rect;
        GtkAllocation a;
        gtk_widget_get_allocation(c->outer, &a);
        int x = 0, y = 0;
        gtk_widget_translate_coordinates(c->outer, fixed_, 0, 0, &x, &y);
        return {x, y, a.width, a.height};
    }
    void place(int id, const PixelRect& rect) override {
        Control* c = find(id);
        if (!c) return;
        c->rect = rect;
        gtk_fixed_move(GTK_FIXED(fixed_), c->outer, rect.x, rect.y);
        gtk_widget_set_size_request(c->outer, rect.width, rect.height);
    }
    void focus(int id) override {
        Control* c = find(id);
        if (!c) return;
        gtk_widget_grab_focus(c->widget);
        if (GTK_IS_ENTRY(c->widget)) gtk_editable_select_region(GTK_EDITABLE(c->widget), 0, 0);
    }
    void addSystemMenuItem(int command, std::string_view text) override {
        // The window manager's window menu is out of reach: the items make
        // a menu of the dialog's own, opened by Alt+Space or a right click.
        menu_.push_back({command, std::string(text)});
    }
    Window window() const override { return window_; }
    void end(int result) override {
        if (ended_) return;
        ended_ = true;
        result_ = result;
        gtk_widget_hide(window_);
        if (loop_) g_main_loop_quit(loop_);
    }

    // ScriptedDialog: the actions act on the widgets as a person's would.
    DialogView& view() override { return *this; }
    bool has(int id) const override { return find(id) != nullptr; }
    ControlKind kind(int id) const override {
        const Control* c = find(id);
        return c ? c->spec->kind : ControlKind::Label;
    }
    ActionResult click(int id) override {
        if (!ended_ && !find(id))
            for (const auto& [command, text] : menu_)
                if (command == id) {
                    controller_.handle(*this, {id, Notify::MenuCommand});
                    return settle();
                }
        Control* c = nullptr;
        if (ActionResult r = usable(id, c); r != ActionResult::Done) return r;
        if (!GTK_IS_BUTTON(c->widget)) return ActionResult::WrongKind;
        gtk_widget_grab_focus(c->widget);
        gtk_button_clicked(GTK_BUTTON(c->widget));  // "clicked" runs the handler
        return settle();
    }
    ActionResult type(int id, std::string_view text) override {
        Control* c = nullptr;
        if (ActionResult r = usable(id, c); r != ActionResult::Done) return r;
        if (c->spec->kind != ControlKind::Edit || (c->spec->styles & kReadOnly))
            return ActionResult::WrongKind;
        gtk_widget_grab_focus(c->widget);
        setText(id, text);  // quietly, then one notification even for the same text
        notify({id, Notify::Changed});
        return settle();
    }
    ActionResult choose(int id, int index) override {
        Control* c = nullptr;
        if (ActionResult r = usable(id, c); r != ActionResult::Done) return r;
        if (!isList(c->spec->kind)) return ActionResult::WrongKind;
        if (index < -1 || index >= static_cast<int>(c->items.size())) return ActionResult::BadIndex;
        gtk_widget_grab_focus(c->widget);
        select(id, index);
        notify({id, Notify::SelectionChanged, index});
        return settle();
    }
    ActionResult doubleClick(int id, int index) override {
        Control* c = nullptr;
        if (ActionResult r = usable(id, c); r != ActionResult::Done) return r;
        ControlKind k = c->spec->kind;
        if (k != ControlKind::ListBox && k != ControlKind::ListView && k != ControlKind::CheckList)
            return ActionResult::WrongKind;
        if (index < 0 || index >= static_cast<int>(c->items.size())) return ActionResult::BadIndex;
        select(id, index);
        notify({id, Notify::DoubleClicked, index});
        return settle();
    }
    ActionResult checkItem(int id, int index, bool on) override {
        Control* c = nullptr;
        if (ActionResult r = usable(id, c); r != ActionResult::Done) return r;
        if (c->spec->kind != ControlKind::CheckList) return ActionResult::WrongKind;
        Item* i = item(id, index);
        if (!i) return ActionResult::BadIndex;
        if (!i->enabled) return ActionResult::Disabled;
        setItemChecked(id, index, on);
        notify({id, Notify::ItemChecked, index, on});
        return settle();
    }
    ActionResult scroll(int id, Scroll how) override {
        Control* c = nullptr;
        if (ActionResult r = usable(id, c); r != ActionResult::Done) return r;
        bool scrollingEdit =
            c->spec->kind == ControlKind::Edit && (c->spec->styles & (kVScroll | kAutoScroll));
        if (c->spec->kind != ControlKind::VScrollBar && !scrollingEdit) return ActionResult::WrongKind;
        notify({id, Notify::Scrolled, -1, false, how});
        return settle();
    }
    void close() override {
        if (ended_) return;
        controller_.cancel(*this);
        if (!ended_) end(IdCancel);
    }
    bool ended() const override { return ended_; }
    int result() const override { return result_; }
    std::optional<std::string> snapshot(const std::string& path) override {
        if (ended_) return std::string(describe(ActionResult::Closed));
        pumpFrames();
        cairo_surface_t* surface =
            cairo_image_surface_create(CAIRO_FORMAT_ARGB32, client_.width, client_.height);
        cairo_t* cr = cairo_create(surface);
        gtk_widget_draw(window_, cr);
        cairo_destroy(cr);
        cairo_status_t status = cairo_surface_write_to_png(surface, path.c_str());
        cairo_surface_destroy(surface);
        if (status != CAIRO_STATUS_SUCCESS) return "cannot write " + path;
        return std::nullopt;
    }

private:
    // Programmatic changes notify nobody while one of these lives.
    struct Quiet {
        explicit Quiet(GtkDialogView* v) : view(v) { ++view->quiet_; }
        ~Quiet() { --view->quiet_; }
        GtkDialogView* view;
    };

    // Windows' rule: baseX is the average width of the 52 letters, rounded
    // as (width / 26 + 1) / 2; baseY the font's height.
    void measureBaseUnits() {
        GtkWidget* probe = gtk_label_new(nullptr);
        gtk_container_add(GTK_CONTAINER(fixed_), probe);
        PangoLayout* layout =
            gtk_widget_create_pango_layout(probe, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
        int width = 0, height = 0;
        pango_layout_get_pixel_size(layout, &width, &height);
        g_object_unref(layout);
        gtk_widget_destroy(probe);
        baseX_ = std::max(1, (width / 26 + 1) / 2);
        baseY_ = std::max(1, height);
    }

    void build(const ControlSpec& s) {
        controls_.push_back({});
        Control& c = controls_.back();
        c.owner = this;
        c.spec = &s;
        if (s.kind != ControlKind::Icon) c.text = std::string(s.text);
        c.rect = dialogUnitsToPixels(s.x, s.y, s.cx, s.cy, baseX_, baseY_);
        // An icon control takes the size of a desktop icon, whatever its
        // rectangle, as Win32's icon statics do.
        if (s.kind == ControlKind::Icon) c.rect.width = c.rect.height = kIconSize;
        std::string label = mnemonic(s.text);
        switch (s.kind) {
            case ControlKind::Label: {
                c.widget = gtk_label_new_with_mnemonic(label.c_str());
                GtkLabel* l = GTK_LABEL(c.widget);
                bool center = s.styles & kCenter;
                gtk_label_set_xalign(l, center ? 0.5f : 0.0f);
                gtk_label_set_yalign(l, 0.0f);
                if (center) gtk_label_set_justify(l, GTK_JUSTIFY_CENTER);
                // Wrap only where two lines fit: a one-line label a pixel too
                // narrow would move its last word to an invisible line.
                if (c.rect.height >= 2 * baseY_) {
                    gtk_label_set_line_wrap(l, TRUE);
                    gtk_label_set_max_width_chars(l, 1);
                }
                break;
            }
            case ControlKind::Edit:
                if (s.styles & kMultiline) {
                    c.widget = gtk_text_view_new();
                    GtkTextView* t = GTK_TEXT_VIEW(c.widget);
                    gtk_text_view_set_wrap_mode(t, GTK_WRAP_WORD);
                    gtk_text_buffer_set_text(gtk_text_view_get_buffer(t), std::string(s.text).c_str(), -1);
                    if (s.styles & kReadOnly) {
                        gtk_text_view_set_editable(t, FALSE);
                        gtk_style_context_add_class(gtk_widget_get_style_context(c.widget), "read-only");
                    }
                    g_signal_connect(gtk_text_view_get_buffer(t), "changed", G_CALLBACK(onChanged), &c);
                    c.outer = scrolled(c.widget, s.styles & kVScroll, true);
                } else {
                    c.widget = gtk_entry_new();
                    GtkEntry* e = GTK_ENTRY(c.widget);
                    gtk_entry_set_width_chars(e, 1);
                    gtk_entry_set_text(e, std::string(s.text).c_str());
                    gtk_entry_set_activates_default(e, TRUE);
                    gtk_entry_set_has_frame(e, TRUE);
                    if (s.styles & kPassword) gtk_entry_set_visibility(e, FALSE);
                    if (s.styles & kReadOnly) gtk_editable_set_editable(GTK_EDITABLE(e), FALSE);
                    if (s.styles & kCenter) gtk_entry_set_alignment(e, 0.5f);
                    g_signal_connect(c.widget, "changed", G_CALLBACK(onChanged), &c);
                }
                break;
            case ControlKind::Button:
            case ControlKind::DefaultButton:
                c.widget = gtk_button_new_with_mnemonic(label.c_str());
                g_signal_connect(c.widget, "clicked", G_CALLBACK(onClicked), &c);
                if (s.kind == ControlKind::DefaultButton) {
                    gtk_widget_set_can_default(c.widget, TRUE);
                    gtk_window_set_default(GTK_WINDOW(window_), c.widget);
                    gtk_style_context_add_class(gtk_widget_get_style_context(c.widget), "default");
                }
                break;
            case ControlKind::CheckBox:
                c.widget = gtk_check_button_new_with_mnemonic(label.c_str());
                g_signal_connect(c.widget, "clicked", G_CALLBACK(onClicked), &c);
                break;
            case ControlKind::RadioButton: {
                // GTK keeps one radio button of a group active: a hidden
                // member stands for "none checked", as Win32 allows.
                GtkWidget*& none = radioGroups_[s.group ? s.group : -1 - int(controls_.size())];
                if (!none) {
                    none = gtk_radio_button_new(nullptr);
                    g_object_ref_sink(none);
                    radioNones_.push_back(none);
                }
                c.widget =
                    gtk_radio_button_new_with_mnemonic_from_widget(GTK_RADIO_BUTTON(none), label.c_str());
                c.noneRadio = none;
                g_signal_connect(c.widget, "clicked", G_CALLBACK(onClicked), &c);
                break;
            }
            case ControlKind::GroupBox:
                c.widget = gtk_frame_new(plain(s.text).c_str());
                gtk_frame_set_shadow_type(GTK_FRAME(c.widget), GTK_SHADOW_ETCHED_IN);
                break;
            case ControlKind::DropDownList:
                c.widget = gtk_combo_box_text_new();
                // Closed, a drop-down is one line high (font height + 8, as
                // Win32); cy caps the dropped list.
                c.rect.height = baseY_ + 8;
                g_signal_connect(c.widget, "changed", G_CALLBACK(onComboChanged), &c);
                g_signal_connect(c.widget, "notify::popup-shown", G_CALLBACK(onPopup), &c);
                break;
            case ControlKind::ListBox:
            case ControlKind::ListView: {
                bool images = s.kind == ControlKind::ListView;
                c.store = gtk_list_store_new(2, GDK_TYPE_PIXBUF, G_TYPE_STRING);
                c.widget = gtk_tree_view_new_with_model(GTK_TREE_MODEL(c.store));
                GtkTreeView* t = GTK_TREE_VIEW(c.widget);
                gtk_tree_view_set_headers_visible(t, FALSE);
                GtkTreeViewColumn* column = gtk_tree_view_column_new();
                if (images) {
                    GtkCellRenderer* icon = gtk_cell_renderer_pixbuf_new();
                    gtk_tree_view_column_pack_start(column, icon, FALSE);
                    gtk_tree_view_column_add_attribute(column, icon, "pixbuf", 0);
                }
                GtkCellRenderer* text = gtk_cell_renderer_text_new();
                g_object_set(text, "ypad", 0, nullptr);
                gtk_tree_view_column_pack_start(column, text, TRUE);
                gtk_tree_view_column_add_attribute(column, text, "text", 1);
                gtk_tree_view_append_column(t, column);
                g_signal_connect(gtk_tree_view_get_selection(t), "changed", G_CALLBACK(onTreeSelection), &c);
                g_signal_connect(c.widget, "row-activated", G_CALLBACK(onRowActivated), &c);
                c.outer = scrolled(c.widget, s.styles & kVScroll);
                break;
            }
            case ControlKind::CheckList:
                c.widget = gtk_list_box_new();
                gtk_list_box_set_selection_mode(GTK_LIST_BOX(c.widget), GTK_SELECTION_SINGLE);
                g_signal_connect(c.widget, "row-selected", G_CALLBACK(onRowSelected), &c);
                c.outer = scrolled(c.widget, s.styles & kVScroll);
                break;
            case ControlKind::Icon: {
                GdkPixbuf* pixbuf = s.image >= 0 && size_t(s.image) < spec_.images.size()
                                        ? pixbufOf(spec_.images[size_t(s.image)])
                                        : nullptr;
                if (pixbuf && gdk_pixbuf_get_width(pixbuf) != kIconSize) {  // pixel art stays crisp
                    GdkPixbuf* scaled =
                        gdk_pixbuf_scale_simple(pixbuf, kIconSize, kIconSize, GDK_INTERP_NEAREST);
                    g_object_unref(pixbuf);
                    pixbuf = scaled;
                }
                c.widget = pixbuf ? gtk_image_new_from_pixbuf(pixbuf) : gtk_image_new();
                gtk_widget_set_halign(c.widget, GTK_ALIGN_START);
                gtk_widget_set_valign(c.widget, GTK_ALIGN_START);
                if (pixbuf) g_object_unref(pixbuf);
                break;
            }
            case ControlKind::VScrollBar:
                c.widget =
                    gtk_scrollbar_new(GTK_ORIENTATION_VERTICAL, gtk_adjustment_new(0, 0, 101, 1, 1, 1));
                g_signal_connect(c.widget, "change-value", G_CALLBACK(onScrollChange), &c);
                break;
        }
        if (!c.outer) c.outer = c.widget;
        gtk_widget_set_size_request(c.outer, c.rect.width, c.rect.height);
        gtk_fixed_put(GTK_FIXED(fixed_), c.outer, c.rect.x, c.rect.y);
        gtk_widget_show_all(c.outer);
        if (s.styles & kHidden) showControl(c, false);
        if (s.styles & kDisabled) gtk_widget_set_sensitive(c.outer, FALSE);
    }

    static void showControl(Control& c, bool on) {
        c.visible = on;
        gtk_widget_set_no_show_all(c.outer, !on);
        gtk_widget_set_visible(c.outer, on);
    }

    // A scrolled window whose vertical bar is always there when asked for
    // (never an overlay bar that shows only under the pointer).
    static GtkWidget* scrolled(GtkWidget* child, bool permanentBar, bool wraps = false) {
        GtkWidget* sw = gtk_scrolled_window_new(nullptr, nullptr);
        gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(sw), GTK_SHADOW_IN);
        // A wrapping edit without a bar scrolls only with the caret.
        gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(sw),
                                       wraps ? GTK_POLICY_NEVER : GTK_POLICY_AUTOMATIC,
                                       permanentBar ? GTK_POLICY_ALWAYS
                                       : wraps      ? GTK_POLICY_EXTERNAL
                                                    : GTK_POLICY_AUTOMATIC);
        gtk_scrolled_window_set_overlay_scrolling(GTK_SCROLLED_WINDOW(sw), FALSE);
        gtk_container_add(GTK_CONTAINER(sw), child);
        return sw;
    }

    GdkPixbuf* image(int index) {
        if (index < 0 || size_t(index) >= spec_.images.size()) return nullptr;
        if (images_.size() < spec_.images.size()) images_.resize(spec_.images.size(), nullptr);
        if (!images_[size_t(index)]) images_[size_t(index)] = pixbufOf(spec_.images[size_t(index)]);
        return images_[size_t(index)];
    }

    // Puts a list's items into its widget.
    void refill(Control& c) {
        Quiet q(this);
        switch (c.spec->kind) {
            case ControlKind::DropDownList:
                gtk_combo_box_text_remove_all(GTK_COMBO_BOX_TEXT(c.widget));
                for (const Item& i : c.items)
                    gtk_combo_box_text_append_text(GTK_COMBO_BOX_TEXT(c.widget), i.text.c_str());
                break;
            case ControlKind::ListBox:
            case ControlKind::ListView:
                gtk_list_store_clear(c.store);
                for (const Item& i : c.items) {
                    GtkTreeIter iter;
                    gtk_list_store_append(c.store, &iter);
                    gtk_list_store_set(c.store, &iter, 0, image(i.image), 1, i.text.c_str(), -1);
                }
                break;
            case ControlKind::CheckList: {
                GList* rows = gtk_container_get_children(GTK_CONTAINER(c.widget));
                for (GList* r = rows; r; r = r->next) gtk_widget_destroy(GTK_WIDGET(r->data));
                g_list_free(rows);
                for (size_t n = 0; n < c.items.size(); ++n) {
                    GtkWidget* box = gtk_check_button_new_with_label(c.items[n].text.c_str());
                    gtk_toggle_button_set_active(GTK_TOGGLE_BUTTON(box), c.items[n].checked);
                    gtk_widget_set_sensitive(box, c.items[n].enabled);
                    g_object_set_data(G_OBJECT(box), "brightfold-index", GINT_TO_POINTER(int(n)));
                    g_signal_connect(box, "toggled", G_CALLBACK(onItemToggled), &c);
                    gtk_list_box_insert(GTK_LIST_BOX(c.widget), box, -1);
                }
                gtk_widget_show_all(c.widget);
                break;
            }
            default:
                break;
        }
        showSelection(c);
    }

    void showSelection(Control& c) {
        Quiet q(this);
        switch (c.spec->kind) {
            case ControlKind::DropDownList:
                gtk_combo_box_set_active(GTK_COMBO_BOX(c.widget), c.selected);
                break;
            case ControlKind::ListBox:
            case ControlKind::ListView: {
                GtkTreeSelection* selection = gtk_tree_view_get_selection(GTK_TREE_VIEW(c.widget));
                if (c.selected < 0) {
                    gtk_tree_selection_unselect_all(selection);
                } else {
                    GtkTreePath* path = gtk_tree_path_new_from_indices(c.selected, -1);
                    gtk_tree_selection_select_path(selection, path);
                    gtk_tree_path_free(path);
                }
                break;
            }
            case ControlKind::CheckList:
                if (c.selected < 0)
                    gtk_list_box_unselect_all(GTK_LIST_BOX(c.widget));
                else
                    gtk_list_box_select_row(GTK_LIST_BOX(c.widget), gtk_list_box_get_row_at_index(
                                                                        GTK_LIST_BOX(c.widget), c.selected));
                break;
            default:
                break;
        }
    }

    Control* find(int id) {
        for (Control& c : controls_)
            if (c.spec->id == id) return &c;
        return nullptr;
    }
    const Control* find(int id) const { return const_cast<GtkDialogView*>(this)->find(id); }
    Control* list(int id) {
        Control* c = find(id);
        return c && isList(c->spec->kind) ? c : nullptr;
    }
    Item* item(int id, int index) {
        Control* c = find(id);
        if (!c || index < 0 || size_t(index) >= c->items.size()) return nullptr;
        return &c->items[size_t(index)];
    }
    const Item* item(int id, int index) const { return const_cast<GtkDialogView*>(this)->item(id, index); }

    ActionResult usable(int id, Control*& c) {
        if (ended_) return ActionResult::Closed;
        c = find(id);
        if (!c) return ActionResult::NoSuchControl;
        if (!c->visible) return ActionResult::Hidden;
        if (!gtk_widget_get_sensitive(c->outer)) return ActionResult::Disabled;
        return ActionResult::Done;
    }

    // Lets the window redraw after a scripted action.
    ActionResult settle() {
        pump();
        return ActionResult::Done;
    }

    void notify(const Event& event) {
        if (quiet_ || ended_) return;
        controller_.handle(*this, event);
    }

    // Signals of the widgets, turned into the controller's events.
    static void onClicked(GtkButton*, Control* c) {
        GtkDialogView* v = c->owner;
        if (v->quiet_) return;
        // A radio button's group switches off the old one with a click of its own.
        if (c->spec->kind == ControlKind::RadioButton && !v->checked(c->spec->id)) return;
        v->notify({c->spec->id, Notify::Clicked, -1, v->checked(c->spec->id)});
    }
    static void onChanged(gpointer, Control* c) { c->owner->notify({c->spec->id, Notify::Changed}); }
    static void onComboChanged(GtkComboBox* combo, Control* c) {
        if (c->owner->quiet_) return;
        c->selected = gtk_combo_box_get_active(combo);
        c->owner->notify({c->spec->id, Notify::SelectionChanged, c->selected});
    }
    static void onTreeSelection(GtkTreeSelection* selection, Control* c) {
        if (c->owner->quiet_) return;
        GtkTreeModel* model = nullptr;
        GtkTreeIter iter;
        int index = -1;
        if (gtk_tree_selection_get_selected(selection, &model, &iter)) {
            GtkTreePath* path = gtk_tree_model_get_path(model, &iter);
            index = gtk_tree_path_get_indices(path)[0];
            gtk_tree_path_free(path);
        }
        if (index == c->selected) return;
        c->selected = index;
        c->owner->notify({c->spec->id, Notify::SelectionChanged, index});
    }
    static void onRowActivated(GtkTreeView*, GtkTreePath* path, GtkTreeViewColumn*, Control* c) {
        int index = gtk_tree_path_get_indices(path)[0];
        c->selected = index;
        c->owner->notify({c->spec->id, Notify::DoubleClicked, index});
    }
    static void onRowSelected(GtkListBox*, GtkListBoxRow* row, Control* c) {
        if (c->owner->quiet_) return;
        c->selected = row ? gtk_list_box_row_get_index(row) : -1;
        c->owner->notify({c->spec->id, Notify::SelectionChanged, c->selected});
    }
    static void onItemToggled(GtkToggleButton* box, Control* c) {
        if (c->owner->quiet_) return;
        int index = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(box), "brightfold-index"));
        if (index < 0 || size_t(index) >= c->items.size()) return;
        bool on = gtk_toggle_button_get_active(box);
        c->items[size_t(index)].checked = on;
        c->owner->notify({c->spec->id, Notify::ItemChecked, index, on});
    }
    static gboolean onScrollChange(GtkRange* range, GtkScrollType type, double value, Control* c) {
        Scroll how = Scroll::LineDown;
        switch (type) {
            case GTK_SCROLL_STEP_BACKWARD:
            case GTK_SCROLL_STEP_UP:
                how = Scroll::LineUp;
                break;
            case GTK_SCROLL_PAGE_BACKWARD:
            case GTK_SCROLL_PAGE_UP:
                how = Scroll::PageUp;
                break;
            case GTK_SCROLL_PAGE_FORWARD:
            case GTK_SCROLL_PAGE_DOWN:
                how = Scroll::PageDown;
                break;
            case GTK_SCROLL_START:
                how = Scroll::Top;
                break;
            case GTK_SCROLL_END:
                how = Scroll::Bottom;
                break;
            case GTK_SCROLL_JUMP:
                how = value < gtk_range_get_value(range) ? Scroll::LineUp : Scroll::LineDown;
                break;
            default:
                break;
        }
        c->owner->notify({c->spec->id, Notify::Scrolled, -1, false, how});
        return TRUE;  // the controller sets the position
    }
    // The dropped list: no higher than the template's cy.
    static void onPopup(GObject* combo, GParamSpec*, Control* c) {
        gboolean shown = FALSE;
        g_object_get(combo, "popup-shown", &shown, nullptr);
        AtkObject* accessible = gtk_combo_box_get_popup_accessible(GTK_COMBO_BOX(combo));
        if (!shown || !accessible) return;
        GtkWidget* popup = gtk_accessible_get_widget(GTK_ACCESSIBLE(accessible));
        GtkWidget* top = popup ? gtk_widget_get_toplevel(popup) : nullptr;
        if (!top || !GTK_IS_WINDOW(top)) return;
        GtkStyleContext* style = gtk_widget_get_style_context(top);  // the dialog's font
        gtk_style_context_add_class(style, "brightfold-dialog");
        gtk_style_context_add_class(style, c->owner->fontClass_.c_str());
        int cap = dialogUnitsToPixels(0, 0, 0, c->spec->cy, c->owner->baseX_, c->owner->baseY_).height;
        int width = 0, height = 0;
        gtk_window_get_size(GTK_WINDOW(top), &width, &height);
        if (height > cap) gtk_window_resize(GTK_WINDOW(top), width, cap);
    }
    static gboolean onKey(GtkWidget*, GdkEventKey* key, GtkDialogView* v) {
        if (key->keyval == GDK_KEY_space && (key->state & GDK_MOD1_MASK)) return v->popupMenu(nullptr);
        if (key->keyval != GDK_KEY_Escape) return FALSE;
        v->close();
        return TRUE;
    }
    static gboolean onButton(GtkWidget*, GdkEventButton* button, GtkDialogView* v) {
        if (button->type != GDK_BUTTON_PRESS || button->button != GDK_BUTTON_SECONDARY) return FALSE;
        return v->popupMenu(reinterpret_cast<GdkEvent*>(button));
    }
    // The window-menu items (addSystemMenuItem); FALSE when there are none.
    gboolean popupMenu(GdkEvent* event) {
        if (menu_.empty() || ended_) return FALSE;
        GtkWidget* menu = gtk_menu_new();
        for (const auto& [command, text] : menu_) {
            GtkWidget* item = gtk_menu_item_new_with_mnemonic(mnemonic(text).c_str());
            g_object_set_data(G_OBJECT(item), "brightfold-command", GINT_TO_POINTER(command));
            g_signal_connect(item, "activate", G_CALLBACK(onMenuItem), this);
            gtk_menu_shell_append(GTK_MENU_SHELL(menu), item);
        }
        gtk_widget_show_all(menu);
        gtk_menu_attach_to_widget(GTK_MENU(menu), window_, nullptr);
        if (event)
            gtk_menu_popup_at_pointer(GTK_MENU(menu), event);
        else
            gtk_menu_popup_at_widget(GTK_MENU(menu), window_, GDK_GRAVITY_NORTH_WEST, GDK_GRAVITY_NORTH_WEST,
                                     nullptr);
        return TRUE;
    }
    static void onMenuItem(GtkMenuItem* item, GtkDialogView* v) {
        v->notify(
            {GPOINTER_TO_INT(g_object_get_data(G_OBJECT(item), "brightfold-command")), Notify::MenuCommand});
    }
    static gboolean onDelete(GtkWidget*, GdkEvent*, GtkDialogView* v) {
        v->close();
        return TRUE;
    }

    const DialogSpec& spec_;
    DialogController& controller_;
    std::string caption_;
    GtkWidget* window_ = nullptr;
    GtkWidget* fixed_ = nullptr;
    GtkCssProvider* fontCss_ = nullptr;
    std::string fontClass_;
    int baseX_ = 6, baseY_ = 13;
    PixelRect client_;
    std::vector<Control> controls_;
    std::map<int, GtkWidget*> radioGroups_;
    std::vector<GtkWidget*> radioNones_;
    std::vector<GdkPixbuf*> images_;
    std::vector<std::pair<int, std::string>> menu_;
    GMainLoop* loop_ = nullptr;
    int quiet_ = 0;
    bool ended_ = false;
    int result_ = IdCancel;
};

// The layout of an open dialog, for tests and the screenshot script:
//   dialog ID client W H base X Y
//   control ID KIND X Y W H [text TEXTWIDTH ROOM]
// TEXTWIDTH is the width of the control's text in pixels and ROOM the width
// its label got; a text wider than its room is clipped.
void GtkDialogView::writeReport(const std::string& path) const {
    std::string out = "dialog " + std::to_string(spec_.resourceId) + " client " +
                      std::to_string(client_.width) + " " + std::to_string(client_.height) + " base " +
                      std::to_string(baseX_) + " " + std::to_string(baseY_) + "\n";
    for (const Control& c : controls_) {
        PixelRect r = clientRect(c.spec->id);
        if (c.spec->id == -1) {  // statics nobody addresses share an id: the widget itself
            r = c.rect;          // hidden: where it was put (a hidden widget has no allocation)
            if (gtk_widget_get_mapped(c.outer)) {
                GtkAllocation a;
                gtk_widget_get_allocation(c.outer, &a);
                r = {a.x, a.y, a.width, a.height};
            }
        }
        out += "control " + std::to_string(c.spec->id) + " " + std::to_string(int(c.spec->kind)) + " " +
               std::to_string(r.x) + " " + std::to_string(r.y) + " " + std::to_string(r.width) + " " +
               std::to_string(r.height);
        GtkWidget* label = GTK_IS_LABEL(c.widget)   ? c.widget
                           : GTK_IS_FRAME(c.widget) ? gtk_frame_get_label_widget(GTK_FRAME(c.widget))
                           : GTK_IS_BUTTON(c.widget) && GTK_IS_BIN(c.widget)
                               ? gtk_bin_get_child(GTK_BIN(c.widget))
                               : nullptr;
        if (label && GTK_IS_LABEL(label) && !c.text.empty()) {
            int width = 0;
            pango_layout_get_pixel_size(gtk_label_get_layout(GTK_LABEL(label)), &width, nullptr);
            GtkAllocation a;
            gtk_widget_get_allocation(label, &a);
            // A wrapping label's layout is as wide as its room.
            if (gtk_label_get_line_wrap(GTK_LABEL(label))) {
                PangoLayout* one = gtk_widget_create_pango_layout(label, nullptr);
                int longest = 0;  // then the longest word must fit
                std::string t = plain(c.text);
                size_t start = 0;
                while (start <= t.size()) {
                    size_t end = t.find_first_of(" \n", start);
                    if (end == std::string::npos) end = t.size();
                    pango_layout_set_text(one, t.substr(start, end - start).c_str(), -1);
                    int w = 0;
                    pango_layout_get_pixel_size(one, &w, nullptr);
                    longest = std::max(longest, w);
                    start = end + 1;
                }
                g_object_unref(one);
                width = longest;
            }
            out += " text " + std::to_string(width) + " " + std::to_string(a.width);
        }
        out += "\n";
    }
    native::appendToFile(path, out);
}

// Message boxes: GTK message dialogs with Win32's icons and buttons; the
// first button is the default, as in Win32.
struct ButtonName {
    Answer answer;
    const char* label;
};

std::vector<ButtonName> buttonsOf(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return {{IdOk, "_OK"}};
        case Buttons::OkCancel:
            return {{IdOk, "_OK"}, {IdCancel, "_Cancel"}};
        case Buttons::YesNo:
            return {{IdYes, "_Yes"}, {IdNo, "_No"}};
        case Buttons::YesNoCancel:
            return {{IdYes, "_Yes"}, {IdNo, "_No"}, {IdCancel, "_Cancel"}};
        case Buttons::RetryCancel:
            return {{IdRetry, "_Retry"}, {IdCancel, "_Cancel"}};
        case Buttons::AbortRetryIgnore:
            return {{IdAbort, "_Abort"}, {IdRetry, "_Retry"}, {IdIgnore, "_Ignore"}};
    }
    return {{IdOk, "_OK"}};
}

GtkMessageType messageTypeOf(Icon icon) {
    switch (icon) {
        case Icon::Error:
            return GTK_MESSAGE_ERROR;
        case Icon::Question:
            return GTK_MESSAGE_QUESTION;
        case Icon::Warning:
            return GTK_MESSAGE_WARNING;
        case Icon::Information:
            return GTK_MESSAGE_INFO;
        case Icon::None:
            break;
    }
    return GTK_MESSAGE_OTHER;
}

// "*.*" is Win32's "every file".
void addPatterns(GtkFileFilter* filter, const FileFilter& f) {
    for (const std::string& pattern : f.patterns)
        gtk_file_filter_add_pattern(filter, pattern == "*.*" ? "*" : pattern.c_str());
}

class GtkBackend final : public Backend {
public:
    GtkBackend() {
        css_ = gtk_css_provider_new();
        gtk_css_provider_load_from_data(css_, kCss, -1, nullptr);
        gtk_style_context_add_provider_for_screen(gdk_screen_get_default(), GTK_STYLE_PROVIDER(css_),
                                                  GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
        if (const char* script = std::getenv("BRIGHTFOLD_UI_SCRIPT"); script && *script) {
            std::string text, logPath;
            readScriptEnvironment(text, logPath);
            player_ = std::make_unique<ScriptPlayer>(text, std::move(logPath));
        }
        if (const char* report = std::getenv("BRIGHTFOLD_UI_REPORT"); report && *report) report_ = report;
    }
    ~GtkBackend() override { g_object_unref(css_); }

    Answer messageBox(const MessageBox& box) override {
        if (player_) return player_->answer(box);  // a script answers without showing it
        GtkWidget* dialog =
            gtk_message_dialog_new(ownerWindow(box.owner), GTK_DIALOG_MODAL, messageTypeOf(box.icon),
                                   GTK_BUTTONS_NONE, "%s", box.text.c_str());
        gtk_window_set_title(GTK_WINDOW(dialog), box.caption.c_str());
        std::vector<ButtonName> buttons = buttonsOf(box.buttons);
        for (const ButtonName& b : buttons) gtk_dialog_add_button(GTK_DIALOG(dialog), b.label, b.answer);
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), buttons.front().answer);
        int response = gtk_dialog_run(GTK_DIALOG(dialog));
        gtk_widget_destroy(dialog);
        pump();
        for (const ButtonName& b : buttons)
            if (b.answer == response) return b.answer;
        // Escape or the close box: Cancel where there is one, else the safe answer.
        for (const ButtonName& b : buttons)
            if (b.answer == IdCancel) return IdCancel;
        return safeAnswer(box.buttons);
    }

    int runDialog(Window owner, DialogController& controller) override {
        GtkDialogView view(controller.spec(), controller, owner);
        auto open = [&] {
            view.open();
            if (!report_.empty()) view.writeReport(report_);
        };
        if (player_) return player_->runDialog(controller.spec(), view, open);
        open();
        view.runModal();
        return view.result();
    }

    std::optional<std::string> chooseFile(const FileChooser& chooser) override {
        if (player_) return player_->chooseFile(chooser);
        GtkFileChooserAction action = chooser.kind == FileChooser::Kind::Save ? GTK_FILE_CHOOSER_ACTION_SAVE
                                      : chooser.kind == FileChooser::Kind::Folder
                                          ? GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER
                                          : GTK_FILE_CHOOSER_ACTION_OPEN;
        const char* accept = chooser.kind == FileChooser::Kind::Save     ? "_Save"
                             : chooser.kind == FileChooser::Kind::Folder ? "_Select"
                                                                         : "_Open";
        std::string title = chooser.title.empty()
                                ? (chooser.kind == FileChooser::Kind::Save     ? "Save As"
                                   : chooser.kind == FileChooser::Kind::Folder ? "Browse for Folder"
                                                                               : "Open")
                                : chooser.title;
        GtkWidget* dialog =
            gtk_file_chooser_dialog_new(title.c_str(), ownerWindow(chooser.owner), action, "_Cancel",
                                        GTK_RESPONSE_CANCEL, accept, GTK_RESPONSE_ACCEPT, nullptr);
        GtkFileChooser* fc = GTK_FILE_CHOOSER(dialog);
        gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_ACCEPT);
        std::vector<FileFilter> filters = parseFileFilter(chooser.filter);
        for (size_t n = 0; n < filters.size(); ++n) {
            GtkFileFilter* filter = gtk_file_filter_new();
            gtk_file_filter_set_name(filter, filters[n].name.c_str());
            addPatterns(filter, filters[n]);
            gtk_file_chooser_add_filter(fc, filter);
            if (int(n) + 1 == chooser.filterIndex) gtk_file_chooser_set_filter(fc, filter);
        }
        const std::string& start = chooser.initialPath;
        size_t slash = start.rfind('/');
        std::string folder = slash == std::string::npos ? "" : start.substr(0, slash == 0 ? 1 : slash);
        std::string name = slash == std::string::npos ? start : start.substr(slash + 1);
        if (chooser.kind == FileChooser::Kind::Folder) {
            if (!start.empty()) gtk_file_chooser_set_current_folder(fc, start.c_str());
        } else {
            if (!folder.empty()) gtk_file_chooser_set_current_folder(fc, folder.c_str());
            if (chooser.kind == FileChooser::Kind::Save && !name.empty())
                gtk_file_chooser_set_current_name(fc, name.c_str());
            else if (!name.empty() && slash != std::string::npos)
                gtk_file_chooser_set_filename(fc, start.c_str());
        }
        gtk_file_chooser_set_do_overwrite_confirmation(fc, chooser.overwritePrompt);
        std::optional<std::string> chosen;
        if (gtk_dialog_run(GTK_DIALOG(dialog)) == GTK_RESPONSE_ACCEPT) {
            if (gchar* path = gtk_file_chooser_get_filename(fc)) {
                chosen = path;
                g_free(path);
            }
        }
        gtk_widget_destroy(dialog);
        pump();
        // A saved name without an extension gets the default one.
        if (chosen && chooser.kind == FileChooser::Kind::Save && !chooser.defaultExtension.empty()) {
            size_t base = chosen->rfind('/');
            if (chosen->find('.', base == std::string::npos ? 0 : base) == std::string::npos)
                *chosen += "." + chooser.defaultExtension;
        }
        return chosen;
    }

private:
    GtkCssProvider* css_ = nullptr;
    std::unique_ptr<ScriptPlayer> player_;
    std::string report_;
};

}  // namespace
}  // namespace platform::ui

extern "C" __attribute__((visibility("default"))) platform::ui::Backend* brightfold_ui_module_open(
    int abi, char* why, size_t whySize) {
    auto fail = [&](const char* reason) -> platform::ui::Backend* {
        if (why && whySize) std::snprintf(why, whySize, "%s", reason);
        return nullptr;
    };
    if (abi != platform::ui::kUiModuleAbi) return fail("libbrightfold-gtk.so was built for another version");
    // A host that already runs GTK has opened the display: no second gtk_init.
    if (!gdk_display_get_default() && !gtk_init_check(nullptr, nullptr))
        return fail("GTK cannot open the display");
    return new platform::ui::GtkBackend();
}
