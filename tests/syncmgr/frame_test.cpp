// The library frame as an add-in sees it: loaded by path, exports looked up
// by name, GetErrorText through the exported entry.
#include "gridlink.h"

#include <dlfcn.h>

#include "platform/bstr.h"
#include "platform/library.h"
#include "support/sandbox.h"

namespace {

std::string gridlinkPath() { return testsupport::buildDir() + "/lib/libgridlink.so"; }

}  // namespace

TEST(GridlinkFrame, GetErrorTextThroughTheExport) {
    testsupport::Sandbox box;
    box.addUser("Ann", "101");
    std::string error;
    auto lib = platform::Library::load(gridlinkPath(), &error);
    ASSERT_TRUE(lib) << error;
    auto getErrorText = lib->function<int16_t(WINAPI*)(TextRecord*)>("GetErrorText");
    auto sysFree = lib->function<void (*)(BSTR)>("SysFreeString");
    ASSERT_TRUE(getErrorText && sysFree);

    TextRecord record{};
    record.number = -12;
    EXPECT_EQ(getErrorText(&record), 0);
    EXPECT_EQ(platform::byteStringView(record.text), "Number of cells exceeds maximmu 32K.");
    record.number = -15;
    EXPECT_EQ(getErrorText(&record), 0);  // frees the previous text first
    EXPECT_EQ(platform::byteStringView(record.text), "Invalid path to a file or folder.");
    for (int code : {0, 1, -16, -32768, 32767}) {
        record.number = int16_t(code);
        EXPECT_EQ(getErrorText(&record), 0);
        EXPECT_EQ(record.text, nullptr) << code;
    }
    EXPECT_EQ(getErrorText(nullptr), 0);
    // A string made by the library can be freed through its own export.
    record.number = -1;
    getErrorText(&record);
    sysFree(record.text);
}

TEST(GridlinkFrame, PlainDlopenKeepsARefusingLibraryForErrorTexts) {
    // No product installed: the attach step refuses, but a host that loads
    // the library without the platform loader keeps it.
    testsupport::TempDir dir;
    testsupport::ScopedHive hive(dir.file("empty.reg"));
    void* handle = dlopen(gridlinkPath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    auto getErrorText = reinterpret_cast<int16_t(WINAPI*)(TextRecord*)>(dlsym(handle, "GetErrorText"));
    auto notify = reinterpret_cast<int32_t (*)(int32_t, int32_t)>(dlsym(handle, "HS_Notify"));
    ASSERT_TRUE(getErrorText && notify);
    TextRecord record{};
    record.number = -6;
    EXPECT_EQ(getErrorText(&record), 0);
    EXPECT_EQ(platform::byteStringView(record.text), "EOF, no more cells.");
    platform::clearByteString(record.text);
    EXPECT_EQ(notify(HS_SYNC_STARTED, 101), 1);
    dlclose(handle);
}
