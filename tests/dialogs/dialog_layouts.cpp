// Opens every dialog of the system through the process's ui backend, with a
// controller that only puts two sample items into each list, so that the
// backend's layout report (BRIGHTFOLD_UI_REPORT) and a script's snapshots
// (BRIGHTFOLD_UI_SCRIPT) cover the dialogs as their tables describe them.
// Each dialog's report is preceded by a line "# NAME". Used by layouts.sh
// (the GTK and Win32 backends against expected_layouts.txt) and by
// scripts/screenshots-win32.sh.
//   dialog_layouts REPORT
#include <cstdio>

#include "platform/dialog.h"
#ifndef DIALOG_LAYOUTS_NO_SETUPWIZ
#include "installer/pilot_users_dialog.h"
#include "installer/setup_dialogs.h"
#endif
#include "syncmgr/sync_manager_dialog.h"
#include "syncmgr/transfer_dialogs.h"
#include "text/text_dialogs.h"

namespace {

namespace ui = platform::ui;

class SampleController final : public ui::DialogController {
public:
    explicit SampleController(const ui::DialogSpec& spec) : spec_(spec) {}
    const ui::DialogSpec& spec() const override { return spec_; }
    void init(ui::DialogView& view) override {
        for (const ui::ControlSpec& c : spec_.controls) {
            bool list = c.kind == ui::ControlKind::DropDownList || c.kind == ui::ControlKind::ListBox ||
                        c.kind == ui::ControlKind::ListView || c.kind == ui::ControlKind::CheckList;
            if (!list) continue;
            view.addItem(c.id, "Ann", 0);
            view.addItem(c.id, "Bo", 0);
            view.select(c.id, 0);
        }
    }
    void handle(ui::DialogView&, const ui::Event&) override {}

private:
    const ui::DialogSpec& spec_;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: dialog_layouts REPORT\n");
        return 2;
    }
    const struct {
        const char* name;
        const ui::DialogSpec& spec;
    } dialogs[] = {
        {"sync-manager", syncmgr::syncManagerSpec()},
        {"gridlink-password", syncmgr::passwordSpec()},
        {"gridlink-export", syncmgr::exportSpec()},
        {"gridlink-import", syncmgr::importSpec()},
        {"gridlink-change-size", syncmgr::sizeSpec()},
        {"textlink-export", text::exportDialogSpec()},
        {"textlink-import", text::importDialogSpec()},
        {"textlink-about", text::aboutDialogSpec()},
#ifndef DIALOG_LAYOUTS_NO_SETUPWIZ
        {"setupwiz-license", installer::licenseDialogSpec()},
        {"setupwiz-main", installer::mainDialogSpec()},
        {"setupwiz-pilot-users", installer::pilotUsersDialogSpec()},
#endif
    };
    for (const auto& d : dialogs) {
        if (std::FILE* report = std::fopen(argv[1], "ab")) {
            std::fprintf(report, "# %s\n", d.name);
            std::fclose(report);
        }
        SampleController controller(d.spec);
        ui::runDialog(ui::focusWindow(), controller);
    }
    return 0;
}
