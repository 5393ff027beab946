// Message boxes, and the choice of backend: the headless one (standard
// error, safe answers) here, the scripted one in ui_script.cpp, the GTK one
// loaded from its module (ui_module.h). Their few OS calls are in ui_native.h.
#include "platform/ui.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/ui_module.h"
#include "platform/ui_native.h"
#include "platform/ui_script.h"

namespace platform::ui {
namespace {

std::string describe(const MessageBox& box) { return oneLine(box.caption) + ": " + oneLine(box.text); }

class HeadlessBackend final : public Backend {
public:
    Answer messageBox(const MessageBox& box) override {
        native::writeStandardError(describe(box) + "\n");
        return safeAnswer(box.buttons);
    }
    std::optional<std::string> chooseFile(const FileChooser&) override {
        native::writeStandardError("file chooser: no display\n");
        return std::nullopt;
    }
};

// BRIGHTFOLD_UI: "scripted", "headless", the window system's backend ("gtk"
// on Linux, "win32" on Windows; forced: when it cannot start, one line on
// standard error says why), or unset: the window system's backend when a
// display is there and it starts, else headless. Anything else is headless.
std::unique_ptr<Backend> chooseBackend() {
    const char* variable = std::getenv("BRIGHTFOLD_UI");
    std::string kind = variable ? variable : "";
    if (kind == "scripted") return makeScriptedBackendFromEnvironment();
    const std::string windows = native::windowBackendName();
    if (kind == windows || (kind.empty() && native::displayPresent())) {
        std::string why;
        if (std::unique_ptr<Backend> gui = native::openWindowBackend(why)) return gui;
        if (kind == windows)
            native::writeStandardError("BRIGHTFOLD_UI=" + windows + ": " + why + "; no windows will show\n");
    }
    return std::make_unique<HeadlessBackend>();
}

std::unique_ptr<Backend> g_chosen;    // from BRIGHTFOLD_UI, made on first use
std::unique_ptr<Backend> g_replaced;  // set by setBackend

}  // namespace

Backend& currentBackend() {
    if (g_replaced) return *g_replaced;
    if (!g_chosen) g_chosen = chooseBackend();
    return *g_chosen;
}

std::unique_ptr<Backend> openGtkBackend(std::string& why) {
    if (!native::displayPresent()) {
        why = "no display";
        return nullptr;
    }
    auto open = reinterpret_cast<UiModuleOpen>(native::loadModuleEntry(kGtkModuleFile, kUiModuleEntry, why));
    if (!open) return nullptr;
    char reason[256] = "";
    std::unique_ptr<Backend> backend(open(kUiModuleAbi, reason, sizeof reason));
    if (!backend) why = reason[0] ? reason : "GTK did not start";
    return backend;
}

Answer safeAnswer(Buttons buttons) {
    switch (buttons) {
        case Buttons::Ok:
            return IdOk;
        case Buttons::YesNo:
        case Buttons::YesNoCancel:
            return IdNo;
        case Buttons::OkCancel:
        case Buttons::RetryCancel:
            return IdCancel;
        case Buttons::AbortRetryIgnore:
            return IdAbort;  // stops, never repeats or skips
    }
    return IdCancel;
}

Answer messageBox(Window owner, std::string_view text, std::string_view caption, Buttons buttons, Icon icon) {
    MessageBox box;
    box.owner = owner;
    box.text = std::string(text);
    box.caption = std::string(caption);
    box.buttons = buttons;
    box.icon = icon;
    return currentBackend().messageBox(box);
}

void setBackend(std::unique_ptr<Backend> backend) { g_replaced = std::move(backend); }

std::string oneLine(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
    return out;
}

}  // namespace platform::ui
