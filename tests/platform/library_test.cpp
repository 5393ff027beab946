// Loading a library whose attach step may refuse, as LoadLibrary does.
#include "platform/library.h"

#include <dlfcn.h>

#include <gtest/gtest.h>

#include "support/process.h"
#include "support/test_support.h"

using platform::Library;
using testsupport::ScopedEnv;

namespace {

std::string markerText(const std::string& path) {
    std::vector<uint8_t> bytes = testsupport::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace

TEST(LibraryLoad, LoadsFindsSymbolsAndDetachesOnUnload) {
    testsupport::TempDir dir;
    ScopedEnv marker("ATTACH_PROBE_MARKER", dir.file("marker").c_str());
    ScopedEnv refuse("ATTACH_PROBE_REFUSE", nullptr);
    std::string error = "stale";
    std::optional<Library> lib = Library::load(ATTACH_PROBE_PATH, &error);
    ASSERT_TRUE(lib) << error;
    EXPECT_TRUE(error.empty());
    auto answer = lib->function<int (*)()>("attach_probe_answer");
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(lib->symbol("no_such_symbol"), nullptr);
    EXPECT_EQ(markerText(dir.file("marker")), "");

    Library moved = std::move(*lib);
    EXPECT_FALSE(lib->isLoaded());
    EXPECT_TRUE(moved.isLoaded());
    moved.unload();
    EXPECT_FALSE(moved.isLoaded());
    EXPECT_EQ(markerText(dir.file("marker")), "detach\n");
}

TEST(LibraryLoad, DetachRunsOnUnloadNotWhenTheProcessEnds) {
    for (bool unload : {true, false}) {
        testsupport::TempDir dir;
        ScopedEnv marker("ATTACH_PROBE_MARKER", dir.file("marker").c_str());
        ScopedEnv refuse("ATTACH_PROBE_REFUSE", nullptr);
        auto r = testsupport::runLibraryHost(testsupport::LibraryHost::C, ATTACH_PROBE_PATH, unload);
        ASSERT_TRUE(r);
        EXPECT_EQ(r->exitCode, 0) << r->err;
        EXPECT_EQ(markerText(dir.file("marker")), unload ? "detach\n" : "");
    }
}

TEST(LibraryLoad, RefusedAttachFailsTheLoadAndRunsDetach) {
    testsupport::TempDir dir;
    ScopedEnv marker("ATTACH_PROBE_MARKER", dir.file("marker").c_str());
    ScopedEnv refuse("ATTACH_PROBE_REFUSE", "1");
    std::string error;
    std::optional<Library> lib = Library::load(ATTACH_PROBE_PATH, &error);
    EXPECT_FALSE(lib);
    EXPECT_NE(error.find("refused"), std::string::npos) << error;
    EXPECT_EQ(markerText(dir.file("marker")), "detach\n");
    // The library is gone: a plain lookup without loading finds nothing.
    EXPECT_EQ(dlopen(ATTACH_PROBE_PATH, RTLD_NOW | RTLD_NOLOAD), nullptr);

    // A later load that is not refused works again.
    ScopedEnv accept("ATTACH_PROBE_REFUSE", nullptr);
    std::optional<Library> again = Library::load(ATTACH_PROBE_PATH, &error);
    ASSERT_TRUE(again) << error;
    auto count = again->function<int (*)()>("attach_probe_attach_count");
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count(), 1);  // a fresh copy, attached once
}

TEST(LibraryLoad, PlainDlopenKeepsARefusingLibrary) {
    testsupport::TempDir dir;
    ScopedEnv marker("ATTACH_PROBE_MARKER", dir.file("marker").c_str());
    ScopedEnv refuse("ATTACH_PROBE_REFUSE", "1");
    void* handle = dlopen(ATTACH_PROBE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << dlerror();
    EXPECT_EQ(markerText(dir.file("marker")), "");
    auto answer = reinterpret_cast<int (*)()>(dlsym(handle, "attach_probe_answer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    // Outside a load, the refusal has no effect on later loads either.
    ScopedEnv accept("ATTACH_PROBE_REFUSE", nullptr);
    std::optional<Library> lib = Library::load(ATTACH_PROBE_PATH);
    EXPECT_TRUE(lib);
    lib.reset();
    EXPECT_EQ(dlclose(handle), 0);
    EXPECT_EQ(markerText(dir.file("marker")), "detach\n");
}

TEST(LibraryLoad, MissingLibraryReportsTheLoaderText) {
    std::string error;
    EXPECT_FALSE(Library::load("/nonexistent/libnothing.so", &error));
    EXPECT_NE(error.find("libnothing.so"), std::string::npos) << error;
    EXPECT_FALSE(Library::load("/nonexistent/libnothing.so"));  // error text is optional
    platform::reportAttachRefused();                            // outside a load: harmless
}
