#include "palm_testing.h"

#include <string>

#include "foundation/hotsync_users.h"
#include "foundation/registry_access.h"
#include "installer/installer_places.h"

namespace palmtest {

namespace ui = platform::ui;

std::string hotsyncProgram() { return testsupport::buildDir() + "/bin/hotsync"; }

PalmSandbox::PalmSandbox() : hive_(dir.file("registry.reg")) { setHotSyncPath(hotsyncProgram()); }

std::string PalmSandbox::addUser(const std::string& name, const std::string& id) {
    const std::string folder = dir.file("users/" + name);
    dir.makeDir("users");
    std::string error;
    EXPECT_TRUE(foundation::addUser({name, folder, id}, error)) << error;
    return folder;
}

void PalmSandbox::setHotSyncPath(const std::string& path) {
    std::string text = path;
    foundation::RegistryValue(installer::kPalmCoreKey, "HotSyncPath", text);
}

namespace {

class Backend : public ui::Backend {
public:
    explicit Backend(std::shared_ptr<ScopedUi::Record> record) : record_(std::move(record)) {}

    ui::Answer messageBox(const ui::MessageBox& box) override {
        record_->boxes.push_back(box.caption + ": " + box.text);
        ui::Answer answer = ui::IdCancel;
        if (!record_->answers.empty()) {
            answer = record_->answers.front();
            record_->answers.erase(record_->answers.begin());
        }
        if (record_->afterBox) record_->afterBox();
        return answer;
    }
    int runDialog(ui::Window owner, ui::DialogController& controller) override {
        record_->dialogs.push_back(controller.spec().resourceId);
        if (!record_->showDialogs) return ui::IdCancel;
        ui::DialogModel model(controller.spec(), controller, owner);
        model.open();
        if (record_->play) record_->play(model);
        if (!model.ended()) model.close();
        return model.result();
    }

private:
    std::shared_ptr<ScopedUi::Record> record_;
};

}  // namespace

ScopedUi::ScopedUi(std::vector<ui::Answer> answers, Play play) : record_(std::make_shared<Record>()) {
    record_->answers = std::move(answers);
    record_->play = std::move(play);
    ui::setBackend(std::make_unique<Backend>(record_));
}

ScopedUi::~ScopedUi() { ui::setBackend(nullptr); }

}  // namespace palmtest
