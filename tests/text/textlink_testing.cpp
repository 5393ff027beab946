#include "textlink_testing.h"

#include <atomic>
#include <cstdlib>
#include <new>

#include "foundation/byteorder.h"

// operator new and delete of this program, replaced so that a test can make
// large allocations fail. Every form of one family is replaced, on malloc and
// free, so memory never crosses between two allocators.
namespace {

std::atomic<size_t> g_failFrom{0};  // 0: nothing fails

void* allocate(size_t size) noexcept {
    size_t from = g_failFrom.load(std::memory_order_relaxed);
    if (from != 0 && size >= from) return nullptr;
    return std::malloc(size != 0 ? size : 1);
}

void* allocateOrThrow(size_t size) {
    if (void* p = allocate(size)) return p;
    throw std::bad_alloc();
}

}  // namespace

void* operator new(size_t size) { return allocateOrThrow(size); }
void* operator new[](size_t size) { return allocateOrThrow(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }
void operator delete[](void* p, size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace textlinktest {

ScopedLargeAllocationFailure::ScopedLargeAllocationFailure(size_t smallest) { g_failFrom = smallest; }
ScopedLargeAllocationFailure::~ScopedLargeAllocationFailure() { g_failFrom = 0; }

std::vector<uint8_t> makeDocDatabase(const DocDbSpec& spec) {
    std::vector<uint8_t> record0(16, 0);
    record0[1] = spec.compression;
    uint32_t total = 0;
    for (const std::string& t : spec.texts) total += uint32_t(t.size());
    foundation::storeBE32(&record0[4], total);
    foundation::storeBE16(&record0[8], uint16_t(spec.texts.size()));
    foundation::storeBE16(&record0[10], spec.recordSize);
    std::vector<std::vector<uint8_t>> records{record0};
    for (const std::string& t : spec.texts) records.emplace_back(t.begin(), t.end());
    return testsupport::databaseFile(testsupport::databaseHeader(spec.name, 70, spec.type, spec.creator),
                                     records);
}

std::string textOf(const std::string& path) {
    auto bytes = testsupport::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

std::string crlf(const std::string& lfText) {
    std::string out;
    for (char c : lfText) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

platform::ui::Answer RecordingBackend::messageBox(const platform::ui::MessageBox& box) {
    shared_->boxes.push_back(box.caption + ": " + box.text);
    shared_->details.push_back(box);
    if (!shared_->answers.empty()) {
        platform::ui::Answer a = shared_->answers.front();
        shared_->answers.erase(shared_->answers.begin());
        return a;
    }
    return platform::ui::safeAnswer(box.buttons);
}

std::optional<std::string> RecordingBackend::chooseFile(const platform::ui::FileChooser& chooser) {
    shared_->choosers.push_back(chooser);
    if (shared_->files.empty()) return std::nullopt;
    std::optional<std::string> file = shared_->files.front();
    shared_->files.erase(shared_->files.begin());
    return file;
}

int RecordingBackend::runDialog(platform::ui::Window, platform::ui::DialogController& controller) {
    shared_->dialogs.push_back(controller.spec().resourceId);
    return platform::ui::IdCancel;
}

ScopedRecorder::ScopedRecorder(std::vector<platform::ui::Answer> answers)
    : shared_(std::make_shared<RecordingBackend::Shared>()) {
    shared_->answers = std::move(answers);
    platform::ui::setBackend(std::make_unique<RecordingBackend>(shared_));
}

ScopedRecorder::~ScopedRecorder() { platform::ui::setBackend(nullptr); }

ChildResult runInChild(const testsupport::TempDir& dir, const std::function<int()>& body) {
    const std::string errPath = dir.file("child-stderr.txt");
    ChildResult r;
    r.exitCode = testsupport::runInChild(errPath, body);
    if (r.exitCode != -1) r.stderrText = textOf(errPath);
    return r;
}

std::string textlinkPath() { return testsupport::buildDir() + "/lib/libtextlink.so"; }
std::string addinPath() { return testsupport::buildDir() + "/bin/quillo-addin"; }

}  // namespace textlinktest
