// Fuzz target for the ui script: any bytes play without a crash against a
// dialog with every kind of control, whose handlers raise boxes, choosers and
// a dialog of their own; every dialog ends with a result its controller or
// the player gave.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/dialog.h"
#include "platform/ui_script.h"

namespace {

namespace ui = platform::ui;
using ui::ControlKind;

constexpr uint32_t kPixel[1] = {0};
constexpr ui::Image kImages[] = {{200, 1, 1, kPixel}};

constexpr ui::ControlSpec kControls[] = {
    {ui::IdOk, ControlKind::DefaultButton, "OK"},
    {ui::IdCancel, ControlKind::Button, "Cancel"},
    {10, ControlKind::Label, "Name:"},
    {11, ControlKind::Edit, "", 0, 0, 0, 0, ui::kAutoScroll},
    {12, ControlKind::Button, "Ask"},
    {13, ControlKind::CheckBox, "Check"},
    {14, ControlKind::RadioButton, "A", 0, 0, 0, 0, 0, 1},
    {15, ControlKind::RadioButton, "B", 0, 0, 0, 0, 0, 1},
    {16, ControlKind::GroupBox, "Group"},
    {17, ControlKind::DropDownList, "", 0, 0, 0, 0, ui::kSorted},
    {18, ControlKind::ListBox, "", 0, 0, 0, 0, ui::kNotify},
    {19, ControlKind::ListView, ""},
    {20, ControlKind::CheckList, ""},
    {21, ControlKind::Icon, ""},
    {22, ControlKind::VScrollBar, ""},
    {23, ControlKind::Button, "Browse", 0, 0, 0, 0, ui::kDisabled},
    {24, ControlKind::Button, "Nested", 0, 0, 0, 0, ui::kHidden},
};

class Controller : public ui::DialogController {
public:
    explicit Controller(int depth)
        : depth_(depth), spec_{100 + depth, "Fuzz", 100, 100, "MS Sans Serif", 8, kControls, kImages} {}
    const ui::DialogSpec& spec() const override { return spec_; }
    void init(ui::DialogView& view) override {
        for (int id : {17, 18, 19, 20}) {
            view.addItem(id, "b", 0);
            view.addItem(id, "a");
        }
        view.setItemEnabled(20, 1, false);
        if (ui::messageBox(view.window(), "Start?", "Fuzz", ui::Buttons::YesNo) == ui::IdYes)
            view.enable(23, true);
    }
    void handle(ui::DialogView& view, const ui::Event& e) override {
        switch (e.id) {
            case ui::IdOk:
            case ui::IdCancel:
                view.end(e.id);
                break;
            case 11:
                view.show(24, view.text(11) == "nested");
                break;
            case 12:
                if (ui::messageBox(view.window(), "Go?", "Fuzz", ui::Buttons::AbortRetryIgnore) ==
                    ui::IdRetry)
                    view.setCaption("Retried\n");
                break;
            case 23:
                if (auto path = ui::chooseFile({})) view.setText(11, *path);
                break;
            case 24:
                if (depth_ < 3) {
                    Controller nested(depth_ + 1);
                    view.setText(10, std::to_string(ui::runDialog(view.window(), nested)));
                }
                break;
            default:
                if (e.what == ui::Notify::DoubleClicked) view.clearItems(e.id);
                break;
        }
    }
    void cancel(ui::DialogView& view) override {
        if (ui::messageBox(view.window(), "Close?", "Fuzz", ui::Buttons::OkCancel) == ui::IdOk)
            view.end(ui::IdOk);
    }

private:
    int depth_;
    ui::DialogSpec spec_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view script(reinterpret_cast<const char*>(data), size);
    ui::setBackend(ui::makeScriptedBackend(script, ""));
    for (int i = 0; i < 3; ++i) {
        Controller controller(0);
        int result = ui::runDialog(nullptr, controller);
        if (result != ui::IdOk && result != ui::IdCancel) std::abort();
        ui::messageBox(nullptr, "Between", "Fuzz", ui::Buttons::YesNoCancel);
        ui::chooseFile({});
    }
    ui::setBackend(nullptr);
    return 0;
}
