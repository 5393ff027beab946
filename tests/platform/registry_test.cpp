// The registry calls over a private hive file.
#include "platform/registry.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/faults.h"
#include "platform/files.h"
#include "support/test_support.h"

namespace reg = platform::registry;
using reg::Root;
using testsupport::ScopedEnv;
using testsupport::ScopedHive;
using testsupport::TempDir;

namespace {

std::string fileText(const std::string& path) {
    std::vector<uint8_t> bytes = testsupport::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

reg::Value text(std::string t) { return reg::Value{reg::Value::Type::String, std::move(t), 0}; }
reg::Value dword(uint32_t n) { return reg::Value{reg::Value::Type::Dword, {}, n}; }

class Registry : public ::testing::Test {
protected:
    TempDir dir;
    ScopedHive hive{dir.file("registry.reg")};
    const reg::KeyPath product{"Software", "Brightfold", "Tabulo"};

    void TearDown() override { platform::faults::disarmAll(); }

    std::string stringAt(const reg::KeyPath& path, std::string_view name) {
        reg::Value v;
        long rc = reg::queryValue(Root::CurrentUser, path, name, v);
        EXPECT_EQ(rc, reg::kSuccess) << name;
        EXPECT_EQ(v.type, reg::Value::Type::String);
        return v.text;
    }
};

}  // namespace

TEST_F(Registry, MissingHiveIsEmptyAndReadsCreateNothing) {
    reg::Value v;
    EXPECT_EQ(reg::openKey(Root::CurrentUser, product), reg::kFileNotFound);
    EXPECT_EQ(reg::openKey(Root::CurrentUser, {}), reg::kSuccess);
    EXPECT_EQ(reg::queryValue(Root::CurrentUser, product, "Path", v), reg::kFileNotFound);
    std::vector<std::string> names{"stale"};
    EXPECT_EQ(reg::enumSubkeys(Root::CurrentUser, {}, names), reg::kSuccess);
    EXPECT_TRUE(names.empty());
    EXPECT_FALSE(platform::fileExists(hive.path()));
    EXPECT_EQ(reg::createKey(Root::CurrentUser, {}), reg::kSuccess);
    EXPECT_FALSE(platform::fileExists(hive.path()));  // nothing changed, nothing written
}

TEST_F(Registry, WritesTheExpectedFile) {
    ASSERT_EQ(reg::createKey(Root::CurrentUser, product), reg::kSuccess);
    ASSERT_EQ(reg::setValue(Root::CurrentUser, product, "Path", text("C:\\Tabulo")), reg::kSuccess);
    ASSERT_EQ(reg::createKey(Root::CurrentUser, {"Software", "Brightfold", "Tabulo", "User0"}),
              reg::kSuccess);
    ASSERT_EQ(
        reg::setValue(Root::CurrentUser, {"Software", "Brightfold", "Tabulo", "User0"}, "ID", text("1234")),
        reg::kSuccess);
    ASSERT_EQ(
        reg::createKey(Root::CurrentUser, {"SOFTWARE", "U.S. Robotics", "Pilot Desktop", "HotSync Manager"}),
        reg::kSuccess);
    ASSERT_EQ(
        reg::setValue(Root::CurrentUser, {"SOFTWARE", "U.S. Robotics", "Pilot Desktop", "HotSync Manager"},
                      "Install1234", dword(1)),
        reg::kSuccess);
    ASSERT_EQ(reg::createKey(Root::LocalMachine, {"Software"}), reg::kSuccess);
    ASSERT_EQ(reg::setValue(Root::LocalMachine, {"Software"}, "", text("default")), reg::kSuccess);
    EXPECT_TRUE(testsupport::sameBytes(
        testsupport::bytesOf(
            "REGEDIT4\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software]\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\Brightfold]\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\Brightfold\\Tabulo]\r\n"
            "\"Path\"=\"C:\\\\Tabulo\"\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\Brightfold\\Tabulo\\User0]\r\n"
            "\"ID\"=\"1234\"\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\U.S. Robotics]\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\U.S. Robotics\\Pilot Desktop]\r\n"
            "\r\n"
            "[HKEY_CURRENT_USER\\Software\\U.S. Robotics\\Pilot Desktop\\HotSync Manager]\r\n"
            "\"Install1234\"=dword:00000001\r\n"
            "\r\n"
            "[HKEY_LOCAL_MACHINE\\Software]\r\n"
            "@=\"default\"\r\n"
            "\r\n"),
        testsupport::readFile(hive.path())));
}

TEST_F(Registry, HandWrittenHiveReads) {
    for (const char* lineEnd : {"\r\n", "\n"}) {
        std::string text = std::string("REGEDIT4") + lineEnd + lineEnd +
                           "[HKEY_CURRENT_USER\\Software\\Brightfold\\Tabulo]" + lineEnd +
                           "\"Path\"=\"/home/ann/Tabulo\"" + lineEnd + "\"Flags\"=dword:0000000a" + lineEnd +
                           "@=\"top\"" + lineEnd + lineEnd;
        testsupport::writeFile(hive.path(), text);
        EXPECT_EQ(stringAt(product, "Path"), "/home/ann/Tabulo");
        EXPECT_EQ(stringAt(product, ""), "top");
        reg::Value v;
        ASSERT_EQ(reg::queryValue(Root::CurrentUser, product, "Flags", v), reg::kSuccess);
        EXPECT_EQ(v.type, reg::Value::Type::Dword);
        EXPECT_EQ(v.number, 10u);
        // Levels the file skipped exist all the same.
        EXPECT_EQ(reg::openKey(Root::CurrentUser, {"Software"}), reg::kSuccess);
        EXPECT_EQ(reg::openKey(Root::CurrentUser, {"Software", "Brightfold"}), reg::kSuccess);
        std::vector<std::string> names;
        ASSERT_EQ(reg::enumSubkeys(Root::CurrentUser, {"Software"}, names), reg::kSuccess);
        EXPECT_EQ(names, std::vector<std::string>{"Brightfold"});
    }
}

TEST_F(Registry, NamesIgnoreCaseAndKeepTheirSpelling) {
    ASSERT_EQ(reg::createKey(Root::CurrentUser, {"Software", "MixedCase"}), reg::kSuccess);
    EXPECT_EQ(reg::openKey(Root::CurrentUser, {"SOFTWARE", "mixedcase"}), reg::kSuccess);
    ASSERT_EQ(reg::setValue(Root::CurrentUser, {"software", "MIXEDCASE"}, "ValueName", text("1")),
              reg::kSuccess);
    ASSERT_EQ(reg::setValue(Root::CurrentUser, {"Software", "MixedCase"}, "VALUENAME", text("2")),
              reg::kSuccess);
    EXPECT_EQ(stringAt({"Software", "MixedCase"}, "valuename"), "2");
    ASSERT_EQ(reg::createKey(Root::CurrentUser, {"SOFTWARE", "MIXEDCASE", "Sub"}), reg::kSuccess);
    std::string file = fileText(hive.path());
    EXPECT_NE(file.find("[HKEY_CURRENT_USER\\Software\\MixedCase\\Sub]"), std::string::npos);
    EXPECT_NE(file.find("\"ValueName\"=\"2\""), std::string::npos);
    EXPECT_EQ(file.find("VALUENAME"), std::string::npos);
    // A hand-written root in lower case is the same root.
    testsupport::writeFile(hive.path(), "REGEDIT4\n\n[hkey_current_user\\software\\x]\n\"v\"=\"1\"\n");
    EXPECT_EQ(stringAt({"Software", "X"}, "V"), "1");
}

TEST_F(Registry, ValuesRoundTripExactly) {
    ASSERT_EQ(reg::createKey(Root::CurrentUser, product), reg::kSuccess);
    const std::string odd = "C:\\Program Files\\\"Tabulo\"\\ \xE9t\xE9 \x80\xFF end\\";
    const std::string lines = "one\r\ntwo\nthree";
    ASSERT_EQ(reg::setValue(Root::CurrentUser, product, "Odd \"name\" \\ here", text(odd)), reg::kSuccess);
    ASSERT_EQ(reg::setValue(Root::CurrentUser, product, "Lines", text(lines)), reg::kSuccess);
    ASSERT_EQ(reg::setValue(Root::CurrentUser, product, "Empty", text("")), reg::kSuccess);
    ASSERT_EQ(reg::setValue(Root::CurrentUser, product, "Max", dword(0xFFFFFFFF)), reg::kSuccess);
    ASSERT_EQ(reg::setValue(Root::CurrentUser, product, "", text("default")), reg::kSuccess);
    EXPECT_EQ(stringAt(product, "odd \"NAME\" \\ here"), odd);
    EXPECT_EQ(stringAt(product, "Lines"), lines);
    EXPECT_EQ(stringAt(product, "Empty"), "");
    EXPECT_EQ(stringAt(product, ""), "default");
    reg::Value v;
    ASSERT_EQ(reg::queryValue(Root::CurrentUser, product, "Max", v), reg::kSuccess);
    EXPECT_EQ(v.number, 0xFFFFFFFFu);
    std::string file = fileText(hive.path());
    EXPECT_NE(file.find("\"Odd \\\"name\\\" \\\\ here\"=\"C:\\\\Program Files\\\\\\\"Tabulo\\\"\\\\ "
                        "\xE9t\xE9 \x80\xFF end\\\\\"\r\n"),
              std::string::npos);
    EXPECT_NE(file.find("\"Max\"=dword:ffffffff\r\n"), std::string::npos);
    // A type change replaces the value.
    ASSERT_EQ(reg::setValue(Root::CurrentUser, product, "Max", text("now text")), reg::kSuccess);
    EXPECT_EQ(stringAt(product, "max"), "now text");
}

TEST_F(Registry, UnknownValuesSurviveChanges) {
    const std::string original =
        "REGEDIT4\r\n\r\n"
        "[HKEY_CURRENT_USER\\Software\\App]\r\n"
        "\"Blob\"=hex:de,ad,\\\r\n"
        "  be,ef\r\n"
        "; a note someone left\r\n"
        "\"Keep\"=\"1\"\r\n"
        "\r\n"
        "[HKEY_USERS\\.DEFAULT\\Software]\r\n"
        "\"Other\"=\"root\"\r\n"
        "\r\n";
    testsupport::writeFile(hive.path(), original);
    reg::Value v;
    EXPECT_EQ(reg::queryValue(Root::CurrentUser, {"Software", "App"}, "blob", v), reg::kUnsupportedType);
    ASSERT_EQ(reg::setValue(Root::CurrentUser, {"Software", "App"}, "Keep", text("2")), reg::kSuccess);
    ASSERT_EQ(reg::setValue(Root::CurrentUser, {"Software", "App"}, "New", dword(3)), reg::kSuccess);
    EXPECT_EQ(fileText(hive.path()),
              "REGEDIT4\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software]\r\n\r\n"
              "[HKEY_CURRENT_USER\\Software\\App]\r\n"
              "\"Blob\"=hex:de,ad,\\\r\n"
              "  be,ef\r\n"
              "; a note someone left\r\n"
              "\"Keep\"=\"2\"\r\n"
              "\"New\"=dword:00000003\r\n"
              "\r\n"
              "[HKEY_USERS\\.DEFAULT]\r\n\r\n"
              "[HKEY_USERS\\.DEFAULT\\Software]\r\n"
              "\"Other\"=\"root\"\r\n"
              "\r\n");
    // Setting an unsupported value replaces it; deleting removes it.
    ASSERT_EQ(reg::setValue(Root::CurrentUser, {"Software", "App"}, "BLOB", text("plain")), reg::kSuccess);
    EXPECT_EQ(stringAt({"Software", "App"}, "Blob"), "plain");
    ASSERT_EQ(reg::deleteValue(Root::CurrentUser, {"Software", "App"}, "blob"), reg::kSuccess);
    EXPECT_EQ(reg::queryValue(Root::CurrentUser, {"Software", "App"}, "Blob", v), reg::kFileNotFound);
    EXPECT_NE(fileText(hive.path()).find("; a note someone left\r\n"), std::string::npos);
}

TEST_F(Registry, DeleteRules) {
    const reg::KeyPath user0{"Software", "Brightfold", "Tabulo", "User0"};
    ASSERT_EQ(reg::createKey(Root::CurrentUser, user0), reg::kSuccess);
    EXPECT_EQ(reg::deleteKey(Root::CurrentUser, {}), reg::kInvalidParameter);
    EXPECT_EQ(reg::deleteKey(Root::CurrentUser, product), reg::kAccessDenied);
    EXPECT_EQ(reg::deleteKey(Root::CurrentUser, {"Software", "Nope", "Deeper"}), reg::kFileNotFound);
    EXPECT_EQ(reg::deleteKey(Root::LocalMachine, user0), reg::kFileNotFound);
    EXPECT_EQ(reg::deleteKey(Root::CurrentUser, {"software", "brightfold", "tabulo", "USER0"}),
              reg::kSuccess);
    EXPECT_EQ(reg::openKey(Root::CurrentUser, user0), reg::kFileNotFound);
    EXPECT_EQ(reg::deleteKey(Root::CurrentUser, product), reg::kSuccess);
    EXPECT_EQ(reg::deleteValue(Root::CurrentUser, {"Software"}, "none"), reg::kFileNotFound);
    EXPECT_EQ(reg::deleteValue(Root::CurrentUser, product, "none"), reg::kFileNotFound);
    EXPECT_EQ(reg::setValue(Root::CurrentUser, product, "Path", text("x")), reg::kFileNotFound);
}

TEST_F(Registry, SubkeysListInCreationOrder) {
    for (const char* name : {"User2", "User0", "user10", "User1"})
        ASSERT_EQ(reg::createKey(Root::CurrentUser, {"Software", name}), reg::kSuccess);
    std::vector<std::string> names;
    ASSERT_EQ(reg::enumSubkeys(Root::CurrentUser, {"Software"}, names), reg::kSuccess);
    EXPECT_EQ(names, (std::vector<std::string>{"User2", "User0", "user10", "User1"}));
    EXPECT_EQ(reg::enumSubkeys(Root::CurrentUser, {"Nothing"}, names), reg::kFileNotFound);
    EXPECT_TRUE(names.empty());
}

TEST_F(Registry, NamesThatCannotBeStoredAreRefused) {
    EXPECT_EQ(reg::createKey(Root::CurrentUser, {"Software", "a\\b"}), reg::kInvalidParameter);
    EXPECT_EQ(reg::createKey(Root::CurrentUser, {"Software", ""}), reg::kInvalidParameter);
    EXPECT_EQ(reg::createKey(Root::CurrentUser, {"Line\nBreak"}), reg::kInvalidParameter);
    EXPECT_EQ(reg::createKey(Root::CurrentUser, reg::KeyPath(600, "deep")), reg::kInvalidParameter);
    ASSERT_EQ(reg::createKey(Root::CurrentUser, {"Software"}), reg::kSuccess);
    EXPECT_EQ(reg::setValue(Root::CurrentUser, {"Software"}, "a\nb", text("x")), reg::kInvalidParameter);
    EXPECT_EQ(reg::setValue(Root::CurrentUser, {"Software"}, std::string_view("a\0b", 3), text("x")),
              reg::kInvalidParameter);
    EXPECT_EQ(fileText(hive.path()), "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software]\r\n\r\n");
}

TEST_F(Registry, FaultsAndUnreadableHivesChangeNothing) {
    ASSERT_EQ(reg::createKey(Root::CurrentUser, product), reg::kSuccess);
    ASSERT_EQ(reg::setValue(Root::CurrentUser, product, "Path", text("old")), reg::kSuccess);

    platform::faults::arm(platform::faults::Op::Registry, EACCES, 1, 2);
    EXPECT_EQ(reg::setValue(Root::CurrentUser, product, "Path", text("first")), reg::kSuccess);  // skipped
    EXPECT_EQ(reg::setValue(Root::CurrentUser, product, "Path", text("new")), reg::kCantWrite);
    reg::Value v;
    EXPECT_EQ(reg::queryValue(Root::CurrentUser, product, "Path", v), reg::kCantRead);
    EXPECT_EQ(stringAt(product, "Path"), "first");  // the fault has run out
    platform::faults::disarmAll();

    // A hive that exists but cannot be read is never replaced.
    ASSERT_EQ(::chmod(hive.path().c_str(), 0), 0);
    if (::geteuid() != 0) {
        EXPECT_EQ(reg::queryValue(Root::CurrentUser, product, "Path", v), reg::kCantRead);
        EXPECT_EQ(reg::setValue(Root::CurrentUser, product, "Path", text("lost?")), reg::kCantRead);
    }
    ASSERT_EQ(::chmod(hive.path().c_str(), 0600), 0);
    EXPECT_EQ(stringAt(product, "Path"), "first");
    ScopedHive folderHive(dir.makeDir("a-folder"));
    EXPECT_EQ(reg::queryValue(Root::CurrentUser, product, "Path", v), reg::kCantRead);
    EXPECT_EQ(reg::createKey(Root::CurrentUser, product), reg::kCantRead);
}

TEST_F(Registry, HivePathFollowsTheEnvironment) {
    EXPECT_EQ(reg::hivePath(), hive.path());
    {
        ScopedEnv noHive("BRIGHTFOLD_HIVE", nullptr);
        ScopedEnv xdg("XDG_CONFIG_HOME", dir.file("config").c_str());
        EXPECT_EQ(reg::hivePath(), dir.file("config") + "/brightfold/registry.reg");
        ASSERT_EQ(reg::createKey(Root::CurrentUser, {"Software"}), reg::kSuccess);  // makes the folders
        EXPECT_TRUE(platform::isRegularFile(dir.file("config/brightfold/registry.reg")));
        ScopedEnv noXdg("XDG_CONFIG_HOME", nullptr);
        ScopedEnv home("HOME", dir.file("home").c_str());
        EXPECT_EQ(reg::hivePath(), dir.file("home") + "/.config/brightfold/registry.reg");
    }
    EXPECT_EQ(reg::hivePath(), hive.path());
}
