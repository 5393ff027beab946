// The Win32 backend (BRIGHTFOLD_UI=win32, the default on Windows).
//
// A dialog's table becomes a DLGTEMPLATE in memory, shown by the dialog
// manager with DialogBoxIndirectParamA, owned by the window given (else the
// focus window). The view keeps the lists' items itself, as the GTK backend
// does, and mirrors them into the controls, so sorted lists and indexes
// behave as DialogModel's. With BRIGHTFOLD_UI_SCRIPT set, the dialog is
// created modeless and the script acts on its real controls; with
// BRIGHTFOLD_UI_REPORT set, each dialog's layout is appended there in the
// GTK backend's format. Message boxes are MessageBoxA, the choosers the
// common file dialogs and SHBrowseForFolderA.
#include <windows.h>
// windows.h first
#include <commctrl.h>
#include <commdlg.h>
#include <shlobj.h>
#undef MessageBox  // ui.h's MessageBox, not user32's MessageBoxA

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/dialog_model.h"
#include "platform/ui_module.h"
#include "platform/ui_native.h"
#include "platform/ui_script.h"

namespace platform::ui {
namespace {

bool isList(ControlKind kind) {
    return kind == ControlKind::DropDownList || kind == ControlKind::ListBox ||
           kind == ControlKind::ListView || kind == ControlKind::CheckList;
}

// A control's text without its access-key marks ("&&" is an ampersand).
std::string plain(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] != '&' || (i + 1 < text.size() && text[i + 1] == '&' && ++i)) out += text[i];
    return out;
}

// ---- The template ------------------------------------------------------------

class TemplateWriter {
public:
    void word(uint16_t w) { bytes_.push_back(uint8_t(w)), bytes_.push_back(uint8_t(w >> 8)); }
    void dword(uint32_t d) { word(uint16_t(d)), word(uint16_t(d >> 16)); }
    void text(std::string_view s) {  // UTF-16 from the ANSI code page, NUL-terminated
        std::string t(s);
        int n = t.empty() ? 0 : ::MultiByteToWideChar(CP_ACP, 0, t.data(), int(t.size()), nullptr, 0);
        std::vector<wchar_t> wide(size_t(n) + 1, L'\0');
        if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, t.data(), int(t.size()), wide.data(), n);
        for (int i = 0; i < n; ++i) word(uint16_t(wide[size_t(i)]));
        word(0);
    }
    void alignDword() {
        while (bytes_.size() % 4) bytes_.push_back(0);
    }
    // DLGTEMPLATE must be DWORD-aligned: a vector of DWORDs holds the bytes.
    std::vector<DWORD> finish() const {
        std::vector<DWORD> out((bytes_.size() + 3) / 4, 0);
        std::memcpy(out.data(), bytes_.data(), bytes_.size());
        return out;
    }

private:
    std::vector<uint8_t> bytes_;
};

struct ClassAndStyle {
    const char* className;
    DWORD style;
    DWORD exStyle = 0;
};

ClassAndStyle windowClassOf(const ControlSpec& s) {
    const uint32_t f = s.styles;
    switch (s.kind) {
        case ControlKind::Label:
            return {"STATIC", DWORD((f & kCenter) ? SS_CENTER : SS_LEFT)};
        case ControlKind::Edit: {
            DWORD style = WS_BORDER | WS_TABSTOP;
            if (f & kMultiline) style |= ES_MULTILINE | ((f & kAutoScroll) ? ES_AUTOVSCROLL : 0);
            if ((f & kAutoScroll) && !(f & kMultiline)) style |= ES_AUTOHSCROLL;
            if (f & kVScroll) style |= WS_VSCROLL;
            if (f & kReadOnly) style |= ES_READONLY;
            if (f & kPassword) style |= ES_PASSWORD;
            if (f & kCenter) style |= ES_CENTER;
            if (f & kWantReturn) style |= ES_WANTRETURN;
            return {"EDIT", style};
        }
        case ControlKind::Button:
            return {"BUTTON", BS_PUSHBUTTON | WS_TABSTOP};
        case ControlKind::DefaultButton:
            return {"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP};
        case ControlKind::CheckBox:
            return {"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP};
        case ControlKind::RadioButton:  // checked by the view: groups are numbers, not WS_GROUP runs
            return {"BUTTON", BS_RADIOBUTTON | WS_TABSTOP};
        case ControlKind::GroupBox:
            return {"BUTTON", BS_GROUPBOX};
        case ControlKind::DropDownList:  // the view sorts: indexes stay its own
            return {"COMBOBOX", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP};
        case ControlKind::ListBox:
            return {"LISTBOX", DWORD(LBS_NOTIFY | LBS_NOINTEGRALHEIGHT | WS_BORDER | WS_TABSTOP |
                                     ((f & kVScroll) ? WS_VSCROLL | LBS_DISABLENOSCROLL : 0))};
        case ControlKind::ListView:
        case ControlKind::CheckList:
            return {WC_LISTVIEWA, DWORD(LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                                        WS_BORDER | WS_TABSTOP | ((f & kVScroll) ? WS_VSCROLL : 0))};
        case ControlKind::Icon:  // centred, kept at its rectangle
            return {"STATIC", SS_ICON | SS_CENTERIMAGE};
        case ControlKind::VScrollBar:
            return {"SCROLLBAR", SBS_VERT};
    }
    return {"STATIC", SS_LEFT};
}

// The dialog's DLGTEMPLATE: a modal frame with caption and window menu, the
// table's font, and every control with its rectangle in dialog units.
std::vector<DWORD> buildTemplate(const DialogSpec& spec, std::string_view caption) {
    TemplateWriter t;
    const DWORD style = DS_SETFONT | DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    t.dword(style);
    t.dword(0);
    t.word(uint16_t(spec.controls.size()));
    t.word(0), t.word(0);
    t.word(uint16_t(std::clamp(spec.cx, 0, 0x7fff))), t.word(uint16_t(std::clamp(spec.cy, 0, 0x7fff)));
    t.word(0);  // no menu
    t.word(0);  // the dialog class
    t.text(caption);
    t.word(uint16_t(spec.fontPoints > 0 && spec.fontPoints <= 72 ? spec.fontPoints : 8));
    t.text(spec.fontName);
    for (const ControlSpec& s : spec.controls) {
        t.alignDword();
        ClassAndStyle cs = windowClassOf(s);
        DWORD controlStyle = WS_CHILD | cs.style;
        if (!(s.styles & kHidden)) controlStyle |= WS_VISIBLE;
        if (s.styles & kDisabled) controlStyle |= WS_DISABLED;
        if (s.styles & kBorder) controlStyle |= WS_BORDER;
        t.dword(controlStyle);
        t.dword(cs.exStyle);
        auto unit = [](int v) { return uint16_t(int16_t(std::clamp(v, -0x8000, 0x7fff))); };
        t.word(unit(s.x)), t.word(unit(s.y)), t.word(unit(s.cx)), t.word(unit(s.cy));
        t.word(uint16_t(s.id));  // -1 is 0xFFFF, the unaddressed static
        t.text(cs.className);
        bool hasText = s.kind != ControlKind::Icon && s.kind != ControlKind::Edit && !isList(s.kind);
        t.text(hasText ? s.text : std::string_view());
        t.word(0);  // no creation data
    }
    return t.finish();
}

HICON iconOf(const Image& image) {
    if (image.width <= 0 || image.height <= 0 || image.width > 256 || image.height > 256 ||
        image.pixels.size() < size_t(image.width) * size_t(image.height))
        return nullptr;
    BITMAPV5HEADER header{};
    header.bV5Size = sizeof header;
    header.bV5Width = image.width;
    header.bV5Height = -image.height;
    header.bV5Planes = 1;
    header.bV5BitCount = 32;
    header.bV5Compression = BI_BITFIELDS;
    header.bV5RedMask = 0x00FF0000, header.bV5GreenMask = 0x0000FF00, header.bV5BlueMask = 0x000000FF;
    header.bV5AlphaMask = 0xFF000000;
    void* bits = nullptr;
    HDC screen = ::GetDC(nullptr);
    HBITMAP color =
        ::CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS, &bits, nullptr, 0);
    ::ReleaseDC(nullptr, screen);
    if (!color) return nullptr;
    std::memcpy(bits, image.pixels.data(), size_t(image.width) * size_t(image.height) * 4);
    HBITMAP mask = ::CreateBitmap(image.width, image.height, 1, 1, nullptr);
    ICONINFO info{TRUE, 0, 0, mask, color};
    HICON icon = ::CreateIconIndirect(&info);
    ::DeleteObject(mask);
    ::DeleteObject(color);
    return icon;
}

// ---- PNG pictures (stored, uncompressed deflate blocks) --------------------

uint32_t crc32Of(const uint8_t* data, size_t size, uint32_t crc = 0) {
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void putBig(std::string& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out += char(uint8_t(v >> shift));
}

void chunk(std::string& out, const char* type, const std::string& data) {
    putBig(out, uint32_t(data.size()));
    std::string body = std::string(type, 4) + data;
    out += body;
    putBig(out, crc32Of(reinterpret_cast<const uint8_t*>(body.data()), body.size()));
}

// rgb: rows top to bottom, 3 bytes a pixel.
std::string pngOf(int width, int height, const std::vector<uint8_t>& rgb) {
    std::string raw;
    for (int y = 0; y < height; ++y) {
        raw += '\0';
        raw.append(reinterpret_cast<const char*>(rgb.data()) + size_t(y) * size_t(width) * 3,
                   size_t(width) * 3);
    }
    std::string z = "\x78\x01";
    uint32_t a = 1, b = 0;
    for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
    for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
        size_t n = std::min<size_t>(65535, raw.size() - at);
        z += char(at + n >= raw.size() ? 1 : 0);
        z += char(n & 0xFF), z += char(n >> 8), z += char(~n & 0xFF), z += char((~n >> 8) & 0xFF);
        z.append(raw, at, n);
        if (raw.empty()) break;
    }
    putBig(z, (b << 16) | a);
    std::string header;
    putBig(header, uint32_t(width)), putBig(header, uint32_t(height));
    header += std::string("\x08\x02\x00\x00\x00", 5);  // 8-bit RGB
    std::string png = "\x89PNG\r\n\x1a\n";
    chunk(png, "IHDR", header);
    chunk(png, "IDAT", z);
    chunk(png, "IEND", "");
    return png;
}

// ---- The view ----------------------------------------------------------------

struct Item {
    std::string text;
    int image = -1;
    bool checked = false;
    bool enabled = true;
};

struct Control {
    const ControlSpec* spec = nullptr;
    HWND hwnd = nullptr;
    std::string text;  // labels, buttons, group boxes
    std::vector<Item> items;
    int selected = -1;
    bool visible = true;
    int scrollMin = 0, scrollMax = 100;
};

void pump() {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        HWND top = msg.hwnd ? ::GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (top && ::IsDialogMessageA(top, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

class Win32DialogView final : public DialogView, public ScriptedDialog {
public:
    Win32DialogView(const DialogSpec& spec, DialogController& controller, std::string report)
        : spec_(spec), controller_(controller), caption_(spec.caption), report_(std::move(report)) {}
    ~Win32DialogView() override {
        if (hwnd_ && !modal_) ::DestroyWindow(hwnd_);
        if (images_) ImageList_Destroy(images_);
        for (HICON icon : icons_)
            if (icon) ::DestroyIcon(icon);
    }

    // Modal, through the dialog manager; the result given to end().
    int runModal(HWND owner) {
        modal_ = true;
        std::vector<DWORD> dlg = buildTemplate(spec_, caption_);
        INT_PTR r = ::DialogBoxIndirectParamA(::GetModuleHandleA(nullptr),
                                              reinterpret_cast<LPCDLGTEMPLATEA>(dlg.data()), owner,
                                              &Win32DialogView::dialogProc, reinterpret_cast<LPARAM>(this));
        hwnd_ = nullptr;
        return r == -1 ? IdCancel : result_;
    }

    // Modeless, for a script: the owner is disabled while it shows.
    void openModeless(HWND owner) {
        owner_ = owner ? ::GetAncestor(owner, GA_ROOT) : nullptr;  // the focus window may be a control
        std::vector<DWORD> dlg = buildTemplate(spec_, caption_);
        ::CreateDialogIndirectParamA(::GetModuleHandleA(nullptr),
                                     reinterpret_cast<LPCDLGTEMPLATEA>(dlg.data()), owner,
                                     &Win32DialogView::dialogProc, reinterpret_cast<LPARAM>(this));
        if (!hwnd_) {
            ended_ = true;
            return;
        }
        if (owner_) ::EnableWindow(owner_, FALSE);
        ::ShowWindow(hwnd_, SW_SHOW);
        ::UpdateWindow(hwnd_);
        pump();
    }
    void closeModeless() {
        if (owner_) ::EnableWindow(owner_, TRUE);
        if (hwnd_) ::DestroyWindow(hwnd_);
        hwnd_ = nullptr;
        pump();
    }

    // DialogView
    void setCaption(std::string_view caption) override {
        caption_ = std::string(caption);
        if (hwnd_) ::SetWindowTextA(hwnd_, caption_.c_str());
    }
    std::string caption() const override { return caption_; }

    void setText(int id, std::string_view text) override {
        Control* c = find(id);
        if (!c || c->spec->kind == ControlKind::Icon || isList(c->spec->kind) ||
            c->spec->kind == ControlKind::VScrollBar)
            return;
        Quiet q(this);
        std::string t(text);
        if (c->spec->kind != ControlKind::Edit) c->text = t;
        ::SetWindowTextA(c->hwnd, t.c_str());
    }
    std::string text(int id) const override {
        const Control* c = find(id);
        if (!c) return {};
        if (c->spec->kind != ControlKind::Edit) return c->text;
        int n = ::GetWindowTextLengthA(c->hwnd);
        std::string out(size_t(std::max(n, 0)) + 1, '\0');
        out.resize(size_t(::GetWindowTextA(c->hwnd, out.data(), n + 1)));
        return out;
    }
    void enable(int id, bool on) override {
        if (Control* c = find(id)) ::EnableWindow(c->hwnd, on);
    }
    bool enabled(int id) const override {
        const Control* c = find(id);
        return c && ::IsWindowEnabled(c->hwnd);
    }
    void show(int id, bool on) override {
        if (Control* c = find(id)) {
            c->visible = on;
            ::ShowWindow(c->hwnd, on ? SW_SHOWNA : SW_HIDE);
        }
    }
    bool visible(int id) const override {
        const Control* c = find(id);
        return c && c->visible;
    }
    void check(int id, bool on) override {
        Control* c = find(id);
        if (!c || (c->spec->kind != ControlKind::CheckBox && c->spec->kind != ControlKind::RadioButton))
            return;
        if (on && c->spec->kind == ControlKind::RadioButton) uncheckGroup(*c);
        ::SendMessageA(c->hwnd, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    bool checked(int id) const override {
        const Control* c = find(id);
        return c && (c->spec->kind == ControlKind::CheckBox || c->spec->kind == ControlKind::RadioButton) &&
               ::SendMessageA(c->hwnd, BM_GETCHECK, 0, 0) == BST_CHECKED;
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
        Quiet q(this);
        ListView_SetCheckState(find(id)->hwnd, index, on);
    }
    bool itemChecked(int id, int index) const override {
        const Item* i = item(id, index);
        return i && i->checked;
    }
    void setItemEnabled(int id, int index, bool on) override {
        Item* i = item(id, index);
        if (!i || find(id)->spec->kind != ControlKind::CheckList) return;
        i->enabled = on;
        ListView_RedrawItems(find(id)->hwnd, index, index);
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
        Control* c = list(id);
        if (!c || index < 0 || index >= static_cast<int>(c->items.size())) return;
        if (c->spec->kind == ControlKind::ListView || c->spec->kind == ControlKind::CheckList)
            ListView_EnsureVisible(c->hwnd, index, FALSE);
        else if (c->spec->kind == ControlKind::ListBox)
            ::SendMessageA(c->hwnd, LB_SETTOPINDEX, WPARAM(index), 0);
    }

    void setScrollRange(int id, int minimum, int maximum, int page) override {
        Control* c = find(id);
        if (!c || maximum < minimum || c->spec->kind != ControlKind::VScrollBar) return;
        c->scrollMin = minimum, c->scrollMax = maximum;
        SCROLLINFO info{};
        info.cbSize = sizeof info;
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL;
        info.nMin = minimum;
        // Win32's range with a page ends a page past the last position.
        info.nMax = maximum + std::max(page, 1) - 1;
        info.nPage = UINT(std::max(page, 1));
        ::SetScrollInfo(c->hwnd, SB_CTL, &info, TRUE);
    }
    void setScrollPos(int id, int position) override {
        Control* c = find(id);
        if (!c || c->spec->kind != ControlKind::VScrollBar) return;
        ::SetScrollPos(c->hwnd, SB_CTL, std::clamp(position, c->scrollMin, c->scrollMax), TRUE);
    }
    int scrollPos(int id) const override {
        const Control* c = find(id);
        return c && c->spec->kind == ControlKind::VScrollBar ? ::GetScrollPos(c->hwnd, SB_CTL) : 0;
    }

    PixelRect clientRect(int id) const override {
        const Control* c = find(id);
        return c ? rectOf(c->hwnd) : PixelRect{};
    }
    void place(int id, const PixelRect& rect) override {
        if (Control* c = find(id))
            ::SetWindowPos(c->hwnd, nullptr, rect.x, rect.y, rect.width, rect.height,
                           SWP_NOZORDER | SWP_NOACTIVATE);
    }
    void focus(int id) override {  // SetFocus selects nothing (WM_NEXTDLGCTL would)
        if (Control* c = find(id)) {
            ::SetFocus(c->hwnd);
            focused_ = true;
        }
    }
    void addSystemMenuItem(int command, std::string_view text) override {
        menu_.push_back({command, std::string(text)});
        if (HMENU menu = hwnd_ ? ::GetSystemMenu(hwnd_, FALSE) : nullptr) {
            if (menu_.size() == 1) ::AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(menu, MF_STRING, UINT_PTR(command), menu_.back().second.c_str());
        }
    }
    Window window() const override { return hwnd_; }
    void end(int result) override {
        if (ended_) return;
        ended_ = true;
        result_ = result;
        if (modal_)
            ::EndDialog(hwnd_, result);
        else if (hwnd_)
            ::ShowWindow(hwnd_, SW_HIDE);
    }

    // ScriptedDialog: the actions act on the controls as a person's would.
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
                    ::SendMessageA(hwnd_, WM_SYSCOMMAND, WPARAM(command), 0);
                    return settle();
                }
        Control* c = nullptr;
        if (ActionResult r = usable(id, c); r != ActionResult::Done) return r;
        switch (c->spec->kind) {
            case ControlKind::Button:
            case ControlKind::DefaultButton:
            case ControlKind::CheckBox:
            case ControlKind::RadioButton:
                break;
            default:
                return ActionResult::WrongKind;
        }
        ::SetFocus(c->hwnd);
        ::SendMessageA(c->hwnd, BM_CLICK, 0, 0);  // the button's own WM_COMMAND runs the handler
        return settle();
    }
    ActionResult type(int id, std::string_view text) override {
        Control* c = nullptr;
        if (ActionResult r = usable(id, c); r != ActionResult::Done) return r;
        if (c->spec->kind != ControlKind::Edit || (c->spec->styles & kReadOnly))
            return ActionResult::WrongKind;
        ::SetFocus(c->hwnd);
        setText(id, text);  // quietly, then one notification even for the same text
        notify({id, Notify::Changed});
        return settle();
    }
    ActionResult choose(int id, int index) override {
        Control* c = nullptr;
        if (ActionResult r = usable(id, c); r != ActionResult::Done) return r;
        if (!isList(c->spec->kind)) return ActionResult::WrongKind;
        if (index < -1 || index >= static_cast<int>(c->items.size())) return ActionResult::BadIndex;
        ::SetFocus(c->hwnd);
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
        if (ended_ || !hwnd_) return std::string(describe(ActionResult::Closed));
        ::RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        pump();
        RECT client;
        ::GetClientRect(hwnd_, &client);
        const int width = client.right, height = client.bottom;
        if (width <= 0 || height <= 0) return std::string("the dialog has no client area");
        HDC window = ::GetDC(hwnd_);
        HDC memory = ::CreateCompatibleDC(window);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width, info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1, info.bmiHeader.biBitCount = 32, info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = ::CreateDIBSection(window, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = ::SelectObject(memory, bitmap);
        ::BitBlt(memory, 0, 0, width, height, window, 0, 0, SRCCOPY);
        ::GdiFlush();
        std::vector<uint8_t> rgb(size_t(width) * size_t(height) * 3);
        const auto* bgrx = static_cast<const uint8_t*>(bits);
        for (size_t p = 0; p < size_t(width) * size_t(height); ++p)
            rgb[p * 3] = bgrx[p * 4 + 2], rgb[p * 3 + 1] = bgrx[p * 4 + 1], rgb[p * 3 + 2] = bgrx[p * 4];
        ::SelectObject(memory, old);
        ::DeleteObject(bitmap);
        ::DeleteDC(memory);
        ::ReleaseDC(hwnd_, window);
        std::string png = pngOf(width, height, rgb);
        std::string tmp = path + ".part";
        ::DeleteFileA(tmp.c_str());
        native::appendToFile(tmp, png);
        if (!::MoveFileExA(tmp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
            ::DeleteFileA(tmp.c_str());
            return "cannot write " + path;
        }
        return std::nullopt;
    }

private:
    struct Quiet {
        explicit Quiet(Win32DialogView* v) : view(v) { ++view->quiet_; }
        ~Quiet() { --view->quiet_; }
        Win32DialogView* view;
    };

    PixelRect rectOf(HWND control) const {
        RECT r;
        ::GetWindowRect(control, &r);
        ::MapWindowPoints(nullptr, hwnd_, reinterpret_cast<POINT*>(&r), 2);
        return {int(r.left), int(r.top), int(r.right - r.left), int(r.bottom - r.top)};
    }

    static INT_PTR CALLBACK dialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* v = reinterpret_cast<Win32DialogView*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
        if (message == WM_INITDIALOG) {
            v = reinterpret_cast<Win32DialogView*>(lParam);
            ::SetWindowLongPtrA(hwnd, DWLP_USER, LONG_PTR(v));
            v->hwnd_ = hwnd;
            return v->initDialog();
        }
        if (!v) return FALSE;
        switch (message) {
            case WM_COMMAND:
                v->command(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
                return TRUE;
            case WM_NOTIFY:
                return v->notifyMessage(reinterpret_cast<NMHDR*>(lParam));
            case WM_VSCROLL:
                v->scrolled(reinterpret_cast<HWND>(lParam), LOWORD(wParam));
                return TRUE;
            case WM_SYSCOMMAND:
                for (const auto& [command, text] : v->menu_)
                    if (UINT(command) == UINT(wParam & 0xFFFF)) {
                        v->notify({command, Notify::MenuCommand});
                        return TRUE;
                    }
                return FALSE;
            case WM_CLOSE:
                v->close();
                return TRUE;
            default:
                return FALSE;
        }
    }

    // Finds the controls, fills lists and images, runs init, reports the layout.
    BOOL initDialog() {
        RECT units{0, 0, 4, 8};
        ::MapDialogRect(hwnd_, &units);
        baseX_ = units.right, baseY_ = units.bottom;
        HWND child = ::GetWindow(hwnd_, GW_CHILD);
        controls_.reserve(spec_.controls.size());
        for (const ControlSpec& s : spec_.controls) {  // the template's order is the children's
            controls_.push_back({});
            controls_.back().spec = &s, controls_.back().hwnd = child;
            if (s.kind != ControlKind::Icon && !isList(s.kind) && s.kind != ControlKind::Edit)
                controls_.back().text = std::string(s.text);
            controls_.back().visible = !(s.styles & kHidden);
            child = child ? ::GetWindow(child, GW_HWNDNEXT) : nullptr;
        }
        {
            Quiet q(this);
            for (Control& c : controls_) prepare(c);
            controller_.init(*this);
        }
        if (!report_.empty()) writeReport();
        if (!focused_) {  // the first control that takes the focus, its text not selected
            for (Control& c : controls_)
                if ((::GetWindowLongA(c.hwnd, GWL_STYLE) & WS_TABSTOP) && c.visible &&
                    ::IsWindowEnabled(c.hwnd)) {
                    ::SetFocus(c.hwnd);
                    break;
                }
        }
        return FALSE;
    }

    void prepare(Control& c) {
        const ControlSpec& s = *c.spec;
        if (!c.hwnd) return;
        if (s.kind == ControlKind::Edit) ::SetWindowTextA(c.hwnd, std::string(s.text).c_str());
        if (s.kind == ControlKind::Icon && s.image >= 0 && size_t(s.image) < spec_.images.size()) {
            HICON icon = iconOf(spec_.images[size_t(s.image)]);
            icons_.push_back(icon);
            if (icon) ::SendMessageA(c.hwnd, STM_SETICON, WPARAM(icon), 0);
        }
        if (s.kind == ControlKind::ListView || s.kind == ControlKind::CheckList) {
            DWORD ex = LVS_EX_FULLROWSELECT | (s.kind == ControlKind::CheckList ? LVS_EX_CHECKBOXES : 0);
            ListView_SetExtendedListViewStyle(c.hwnd, ex);
            RECT r;
            ::GetClientRect(c.hwnd, &r);
            LVCOLUMNA column{};
            column.mask = LVCF_WIDTH;
            column.cx = r.right;
            ::SendMessageA(c.hwnd, LVM_INSERTCOLUMNA, 0, LPARAM(&column));
            if (s.kind == ControlKind::ListView && !spec_.images.empty()) {
                if (!images_) {
                    images_ = ImageList_Create(16, 16, ILC_COLOR32, int(spec_.images.size()), 0);
                    for (const Image& image : spec_.images) {
                        HICON icon = iconOf(image);
                        ImageList_AddIcon(images_, icon);
                        if (icon) ::DestroyIcon(icon);
                    }
                }
                ListView_SetImageList(c.hwnd, images_, LVSIL_SMALL);
            }
        }
    }

    // The layout of the open dialog, in the GTK backend's format:
    //   dialog ID client W H base X Y
    //   control ID KIND X Y W H [text TEXTWIDTH ROOM]
    // TEXTWIDTH is the width of the text in the control's font, ROOM the
    // control's width.
    void writeReport() const {
        RECT client;
        ::GetClientRect(hwnd_, &client);
        std::string out = "dialog " + std::to_string(spec_.resourceId) + " client " +
                          std::to_string(client.right) + " " + std::to_string(client.bottom) + " base " +
                          std::to_string(baseX_) + " " + std::to_string(baseY_) + "\n";
        HDC dc = ::GetDC(hwnd_);
        for (const Control& c : controls_) {
            PixelRect r = rectOf(c.hwnd);
            out += "control " + std::to_string(c.spec->id) + " " + std::to_string(int(c.spec->kind)) + " " +
                   std::to_string(r.x) + " " + std::to_string(r.y) + " " + std::to_string(r.width) + " " +
                   std::to_string(r.height);
            if (!c.text.empty()) {
                HGDIOBJ old = ::SelectObject(dc, HGDIOBJ(::SendMessageA(c.hwnd, WM_GETFONT, 0, 0)));
                std::string t = plain(c.text);
                SIZE size{};
                ::GetTextExtentPoint32A(dc, t.c_str(), int(t.size()), &size);
                ::SelectObject(dc, old);
                out += " text " + std::to_string(size.cx) + " " + std::to_string(r.width);
            }
            out += "\n";
        }
        ::ReleaseDC(hwnd_, dc);
        native::appendToFile(report_, out);
    }

    void command(int id, int code, HWND from) {
        Control* c = from ? find(from) : nullptr;
        if (!c) {
            // Escape (IDCANCEL) or Enter without a default button (IDOK).
            if (id == IdCancel) close();
            return;
        }
        if (id == IdCancel && (::GetKeyState(VK_ESCAPE) & 0x8000)) {  // Escape: cancel, as on GTK
            close();
            return;
        }
        switch (c->spec->kind) {
            case ControlKind::Button:
            case ControlKind::DefaultButton:
            case ControlKind::CheckBox:
                if (code == BN_CLICKED) notify({c->spec->id, Notify::Clicked, -1, checked(c->spec->id)});
                return;
            case ControlKind::RadioButton:
                if (code != BN_CLICKED) return;
                check(c->spec->id, true);
                notify({c->spec->id, Notify::Clicked, -1, true});
                return;
            case ControlKind::Edit:
                if (code == EN_CHANGE) notify({c->spec->id, Notify::Changed});
                return;
            case ControlKind::DropDownList:
                if (code != CBN_SELCHANGE || quiet_) return;
                c->selected = int(::SendMessageA(c->hwnd, CB_GETCURSEL, 0, 0));
                notify({c->spec->id, Notify::SelectionChanged, c->selected});
                return;
            case ControlKind::ListBox: {
                int at = int(::SendMessageA(c->hwnd, LB_GETCURSEL, 0, 0));
                if (code == LBN_SELCHANGE && !quiet_) {
                    c->selected = at;
                    notify({c->spec->id, Notify::SelectionChanged, at});
                } else if (code == LBN_DBLCLK && at >= 0) {
                    c->selected = at;
                    notify({c->spec->id, Notify::DoubleClicked, at});
                }
                return;
            }
            default:
                return;
        }
    }

    INT_PTR notifyMessage(NMHDR* header) {
        Control* c = header ? find(header->hwndFrom) : nullptr;
        if (!c || (c->spec->kind != ControlKind::ListView && c->spec->kind != ControlKind::CheckList))
            return FALSE;
        const bool checkList = c->spec->kind == ControlKind::CheckList;
        switch (header->code) {
            case LVN_ITEMCHANGING: {  // a disabled item keeps its check mark
                auto* change = reinterpret_cast<NMLISTVIEW*>(header);
                Item* i = item(c->spec->id, change->iItem);
                bool checkChange = (change->uChanged & LVIF_STATE) &&
                                   ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK);
                if (checkList && i && !i->enabled && checkChange && !quiet_ && change->uOldState) {
                    ::SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, TRUE);
                    return TRUE;
                }
                return FALSE;
            }
            case LVN_ITEMCHANGED: {
                auto* change = reinterpret_cast<NMLISTVIEW*>(header);
                if (quiet_ || !(change->uChanged & LVIF_STATE)) return FALSE;
                Item* i = item(c->spec->id, change->iItem);
                if (checkList && i && ((change->uNewState ^ change->uOldState) & LVIS_STATEIMAGEMASK) &&
                    change->uOldState & LVIS_STATEIMAGEMASK) {
                    bool on = ((change->uNewState & LVIS_STATEIMAGEMASK) >> 12) == 2;
                    if (on != i->checked) {
                        i->checked = on;
                        notify({c->spec->id, Notify::ItemChecked, change->iItem, on});
                    }
                }
                if ((change->uNewState ^ change->uOldState) & LVIS_SELECTED) {
                    int now = ListView_GetNextItem(c->hwnd, -1, LVNI_SELECTED);
                    if (now != c->selected) {
                        c->selected = now;
                        notify({c->spec->id, Notify::SelectionChanged, now});
                    }
                }
                return FALSE;
            }
            case NM_DBLCLK: {
                int at = reinterpret_cast<NMITEMACTIVATE*>(header)->iItem;
                if (at >= 0 && size_t(at) < c->items.size()) {
                    c->selected = at;
                    notify({c->spec->id, Notify::DoubleClicked, at});
                }
                return FALSE;
            }
            case NM_CUSTOMDRAW: {  // disabled check-list items are greyed
                auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
                LRESULT answer = CDRF_DODEFAULT;
                if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) {
                    answer = checkList ? CDRF_NOTIFYITEMDRAW : CDRF_DODEFAULT;
                } else if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
                    const Item* i = item(c->spec->id, int(draw->nmcd.dwItemSpec));
                    if (i && !i->enabled) draw->clrText = ::GetSysColor(COLOR_GRAYTEXT);
                }
                ::SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, answer);
                return TRUE;
            }
            default:
                return FALSE;
        }
    }

    void scrolled(HWND bar, int code) {
        Control* c = bar ? find(bar) : nullptr;
        if (!c || c->spec->kind != ControlKind::VScrollBar) return;
        Scroll how;
        switch (code) {
            case SB_LINEUP:
                how = Scroll::LineUp;
                break;
            case SB_LINEDOWN:
                how = Scroll::LineDown;
                break;
            case SB_PAGEUP:
                how = Scroll::PageUp;
                break;
            case SB_PAGEDOWN:
                how = Scroll::PageDown;
                break;
            case SB_TOP:
                how = Scroll::Top;
                break;
            case SB_BOTTOM:
                how = Scroll::Bottom;
                break;
            default:
                return;  // the thumb: the controller sets the position on the line and page steps
        }
        notify({c->spec->id, Notify::Scrolled, -1, false, how});
    }

    void uncheckGroup(const Control& on) {
        for (Control& c : controls_)
            if (&c != &on && c.spec->kind == ControlKind::RadioButton && on.spec->group != 0 &&
                c.spec->group == on.spec->group)
                ::SendMessageA(c.hwnd, BM_SETCHECK, BST_UNCHECKED, 0);
    }

    // Puts a list's items into its control.
    void refill(Control& c) {
        Quiet q(this);
        switch (c.spec->kind) {
            case ControlKind::DropDownList:
                ::SendMessageA(c.hwnd, CB_RESETCONTENT, 0, 0);
                for (const Item& i : c.items) ::SendMessageA(c.hwnd, CB_ADDSTRING, 0, LPARAM(i.text.c_str()));
                break;
            case ControlKind::ListBox:
                ::SendMessageA(c.hwnd, LB_RESETCONTENT, 0, 0);
                for (const Item& i : c.items) ::SendMessageA(c.hwnd, LB_ADDSTRING, 0, LPARAM(i.text.c_str()));
                break;
            case ControlKind::ListView:
            case ControlKind::CheckList:
                ListView_DeleteAllItems(c.hwnd);
                for (size_t n = 0; n < c.items.size(); ++n) {
                    LVITEMA row{};
                    row.mask = LVIF_TEXT | (c.spec->kind == ControlKind::ListView ? LVIF_IMAGE : 0);
                    row.iItem = int(n);
                    row.pszText = const_cast<char*>(c.items[n].text.c_str());
                    row.iImage = c.items[n].image >= 0 && size_t(c.items[n].image) < spec_.images.size()
                                     ? c.items[n].image
                                     : I_IMAGENONE;
                    ::SendMessageA(c.hwnd, LVM_INSERTITEMA, 0, LPARAM(&row));
                    if (c.spec->kind == ControlKind::CheckList)
                        ListView_SetCheckState(c.hwnd, int(n), c.items[n].checked);
                }
                break;
            default:
                break;
        }
        showSelection(c);
    }

    void showSelection(Control& c) {
        Quiet q(this);
        switch (c.spec->kind) {
            case ControlKind::DropDownList:
                ::SendMessageA(c.hwnd, CB_SETCURSEL, WPARAM(c.selected), 0);
                break;
            case ControlKind::ListBox:
                ::SendMessageA(c.hwnd, LB_SETCURSEL, WPARAM(c.selected), 0);
                break;
            case ControlKind::ListView:
            case ControlKind::CheckList:
                ListView_SetItemState(c.hwnd, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
                if (c.selected >= 0)
                    ListView_SetItemState(c.hwnd, c.selected, LVIS_SELECTED | LVIS_FOCUSED,
                                          LVIS_SELECTED | LVIS_FOCUSED);
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
    const Control* find(int id) const { return const_cast<Win32DialogView*>(this)->find(id); }
    Control* find(HWND hwnd) {
        for (Control& c : controls_)
            if (c.hwnd == hwnd) return &c;
        return nullptr;
    }
    Control* list(int id) {
        Control* c = find(id);
        return c && isList(c->spec->kind) ? c : nullptr;
    }
    Item* item(int id, int index) {
        Control* c = find(id);
        if (!c || index < 0 || size_t(index) >= c->items.size()) return nullptr;
        return &c->items[size_t(index)];
    }
    const Item* item(int id, int index) const { return const_cast<Win32DialogView*>(this)->item(id, index); }

    ActionResult usable(int id, Control*& c) {
        if (ended_) return ActionResult::Closed;
        c = find(id);
        if (!c) return ActionResult::NoSuchControl;
        if (!c->visible) return ActionResult::Hidden;
        if (!::IsWindowEnabled(c->hwnd)) return ActionResult::Disabled;
        return ActionResult::Done;
    }
    ActionResult settle() {
        pump();
        return ActionResult::Done;
    }
    void notify(const Event& event) {
        if (quiet_ || ended_) return;
        controller_.handle(*this, event);
    }

    const DialogSpec& spec_;
    DialogController& controller_;
    std::string caption_;
    std::string report_;
    HWND hwnd_ = nullptr;
    HWND owner_ = nullptr;
    bool modal_ = false;
    bool focused_ = false;
    int baseX_ = 6, baseY_ = 13;
    std::vector<Control> controls_;
    std::vector<std::pair<int, std::string>> menu_;
    HIMAGELIST images_ = nullptr;
    std::vector<HICON> icons_;
    int quiet_ = 0;
    bool ended_ = false;
    int result_ = IdCancel;
};

// ---- Boxes, choosers, the backend --------------------------------------------

UINT messageBoxFlags(const MessageBox& box) {
    UINT flags = MB_OK;
    switch (box.buttons) {
        case Buttons::Ok:
            flags = MB_OK;
            break;
        case Buttons::OkCancel:
            flags = MB_OKCANCEL;
            break;
        case Buttons::YesNo:
            flags = MB_YESNO;
            break;
        case Buttons::YesNoCancel:
            flags = MB_YESNOCANCEL;
            break;
        case Buttons::RetryCancel:
            flags = MB_RETRYCANCEL;
            break;
        case Buttons::AbortRetryIgnore:
            flags = MB_ABORTRETRYIGNORE;
            break;
    }
    switch (box.icon) {
        case Icon::Error:
            flags |= MB_ICONERROR;
            break;
        case Icon::Question:
            flags |= MB_ICONQUESTION;
            break;
        case Icon::Warning:
            flags |= MB_ICONWARNING;
            break;
        case Icon::Information:
            flags |= MB_ICONINFORMATION;
            break;
        case Icon::None:
            break;
    }
    return flags;
}

// The owner of a box or dialog: the window given, else the focus window.
HWND ownerOf(Window owner) { return owner ? static_cast<HWND>(owner) : ::GetFocus(); }

// The filter in the common dialogs' form: name NUL patterns (";"-joined) NUL
// ..., ended by a second NUL.
std::string commonDialogFilter(std::string_view filter) {
    std::string out;
    for (const FileFilter& f : parseFileFilter(filter)) {
        out += f.name;
        out += '\0';
        for (size_t n = 0; n < f.patterns.size(); ++n) out += (n ? ";" : "") + f.patterns[n];
        out += '\0';
    }
    out += '\0';
    return out;
}

int CALLBACK folderCallback(HWND hwnd, UINT message, LPARAM, LPARAM data) {
    if (message == BFFM_INITIALIZED && data) ::SendMessageA(hwnd, BFFM_SETSELECTIONA, TRUE, data);
    return 0;
}

std::optional<std::string> browseForFolder(const FileChooser& chooser) {
    const bool com = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    char name[MAX_PATH] = "";
    BROWSEINFOA info{};
    info.hwndOwner = ownerOf(chooser.owner);
    info.pszDisplayName = name;
    std::string title = chooser.title.empty() ? "Browse for Folder" : chooser.title;
    info.lpszTitle = title.c_str();
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
    info.lpfn = folderCallback;
    info.lParam = chooser.initialPath.empty() ? 0 : LPARAM(chooser.initialPath.c_str());
    std::optional<std::string> chosen;
    if (LPITEMIDLIST list = ::SHBrowseForFolderA(&info)) {
        char path[MAX_PATH] = "";
        if (::SHGetPathFromIDListA(list, path)) chosen = std::string(path);
        ::CoTaskMemFree(list);
    }
    if (com) ::CoUninitialize();
    return chosen;
}

std::optional<std::string> fileDialog(const FileChooser& chooser) {
    std::string filter = commonDialogFilter(chooser.filter);
    std::string start = chooser.initialPath;
    size_t slash = start.find_last_of("\\/");
    std::string folder = slash == std::string::npos ? "" : start.substr(0, slash);
    std::string name = slash == std::string::npos ? start : start.substr(slash + 1);
    std::vector<char> file(4096, '\0');
    name.copy(file.data(), std::min(name.size(), file.size() - 1));
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = ownerOf(chooser.owner);
    ofn.lpstrFilter = filter.size() > 1 ? filter.c_str() : nullptr;
    ofn.nFilterIndex = DWORD(std::max(chooser.filterIndex, 1));
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = DWORD(file.size());
    ofn.lpstrInitialDir = folder.empty() ? nullptr : folder.c_str();
    ofn.lpstrTitle = chooser.title.empty() ? nullptr : chooser.title.c_str();
    ofn.lpstrDefExt = chooser.defaultExtension.empty() ? nullptr : chooser.defaultExtension.c_str();
    ofn.Flags = OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_EXPLORER;
    if (chooser.hideReadOnly) ofn.Flags |= OFN_HIDEREADONLY;
    if (chooser.mustExist) ofn.Flags |= OFN_FILEMUSTEXIST;
    if (chooser.overwritePrompt) ofn.Flags |= OFN_OVERWRITEPROMPT;
    BOOL ok = chooser.kind == FileChooser::Kind::Save ? ::GetSaveFileNameA(&ofn) : ::GetOpenFileNameA(&ofn);
    if (!ok) return std::nullopt;
    return std::string(file.data());
}

class Win32Backend final : public Backend {
public:
    Win32Backend() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&controls);
        if (const char* script = std::getenv("BRIGHTFOLD_UI_SCRIPT"); script && *script) {
            std::string text, logPath;
            readScriptEnvironment(text, logPath);
            player_ = std::make_unique<ScriptPlayer>(text, std::move(logPath));
        }
        if (const char* report = std::getenv("BRIGHTFOLD_UI_REPORT"); report && *report) report_ = report;
    }

    Answer messageBox(const MessageBox& box) override {
        if (player_) return player_->answer(box);  // a script answers without showing it
        int answer = ::MessageBoxA(ownerOf(box.owner), box.text.c_str(), box.caption.c_str(),
                                   messageBoxFlags(box) | MB_SETFOREGROUND);
        return answer >= IdOk && answer <= IdNo ? Answer(answer) : safeAnswer(box.buttons);
    }

    int runDialog(Window owner, DialogController& controller) override {
        Win32DialogView view(controller.spec(), controller, report_);
        HWND parent = ownerOf(owner);
        if (!player_) return view.runModal(parent);
        int result = player_->runDialog(controller.spec(), view, [&] { view.openModeless(parent); });
        view.closeModeless();
        return result;
    }

    std::optional<std::string> chooseFile(const FileChooser& chooser) override {
        if (player_) return player_->chooseFile(chooser);
        return chooser.kind == FileChooser::Kind::Folder ? browseForFolder(chooser) : fileDialog(chooser);
    }

private:
    std::unique_ptr<ScriptPlayer> player_;
    std::string report_;
};

int g_waiting = 0;
HCURSOR g_before = nullptr;

}  // namespace

namespace native {

// A Windows program always has a desktop to show windows on.
bool displayPresent() { return true; }

void* loadModuleEntry(const char* fileName, const char*, std::string& why) {
    why = std::string(fileName) + " is a Linux module";
    return nullptr;
}

const char* windowBackendName() { return "win32"; }
std::unique_ptr<Backend> openWindowBackend(std::string&) { return std::make_unique<Win32Backend>(); }

void beginWaitCursor() {
    if (g_waiting++ == 0) g_before = ::SetCursor(::LoadCursorA(nullptr, IDC_WAIT));
}
void endWaitCursor() {
    if (g_waiting > 0 && --g_waiting == 0)
        ::SetCursor(g_before ? g_before : ::LoadCursorA(nullptr, IDC_ARROW));
}

}  // namespace native
}  // namespace platform::ui
