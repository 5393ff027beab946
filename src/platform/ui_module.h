// platform/ui_module.h - the contract between platform::ui and a GUI backend
// built as a module of its own (libbrightfold-gtk.so), so that a library or
// program links no toolkit and loads one only when its backend is chosen.
//
// The module exports one C function, kUiModuleEntry, of type UiModuleOpen.
// It opens the toolkit (once: a host that already runs GTK keeps its own
// initialisation and main loop) and returns a Backend made with `new`, which
// the caller owns and deletes through its virtual destructor; on failure it
// returns nullptr and writes why into `why` (NUL-terminated). The module is
// never unloaded.
//
// Host and module exchange only the abstract Backend, DialogController and
// DialogView interfaces (virtual calls) and the plain data of ui.h and
// dialog.h. The module links its own copy of the stateless helpers of this
// layer (the dialog-unit rule, the script player) and hides them; it never
// calls currentBackend(), so the process's one backend is the host's.
// Both sides must be built from the same headers: `abi` is kUiModuleAbi and
// a module of another version refuses.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "platform/ui.h"

namespace platform::ui {

constexpr int kUiModuleAbi = 1;
constexpr const char* kUiModuleEntry = "brightfold_ui_module_open";
constexpr const char* kGtkModuleFile = "libbrightfold-gtk.so";

extern "C" {
using UiModuleOpen = Backend* (*)(int abi, char* why, size_t whySize);
}

// Loads the GTK module and makes its backend: nullptr, with why set, when
// there is no display, no module or GTK cannot start.
std::unique_ptr<Backend> openGtkBackend(std::string& why);

}  // namespace platform::ui
