// platform/ui_script.h - the scripted ui backend: message boxes, dialogs and
// file choosers answered from a script, every event logged. The format is
// described in docs/dialogs.md; tests outside the project rely on it, so it
// only grows compatibly.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "platform/ui.h"

namespace platform::ui {

// A scripted backend playing `script` (the text of a script file) and
// appending its log to the file at logPath (empty: no log).
std::unique_ptr<Backend> makeScriptedBackend(std::string_view script, std::string logPath);

// The scripted backend of BRIGHTFOLD_UI_SCRIPT and BRIGHTFOLD_UI_LOG; the
// script is read now, at most kMaxScriptBytes of it.
std::unique_ptr<Backend> makeScriptedBackendFromEnvironment();

constexpr size_t kMaxScriptBytes = size_t(1) << 20;

}  // namespace platform::ui
