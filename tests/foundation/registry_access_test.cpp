// The key-path registry routines and the user lookups built on them.
#include "foundation/registry_access.h"

#include "platform/bstr.h"
#include "platform/registry.h"
#include "support/test_support.h"

namespace reg = platform::registry;
using foundation::Product;

namespace {

class RegistryAccess : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedHive hive{dir.file("registry.reg")};
    Product tabulo{"Tabulo"};

    void set(const std::string& keyPath, const std::string& name, const std::string& value) {
        std::string text = value;
        ASSERT_EQ(foundation::RegistryValue(keyPath, name, text), 0);
    }
    std::string get(const std::string& keyPath, const std::string& name) {
        std::string text;
        foundation::RegistryValue(keyPath, name, text);
        return text;
    }
    bool keyExists(reg::Root root, const reg::KeyPath& path) {
        return reg::openKey(root, path) == reg::kSuccess;
    }
    void addUser(int index, const std::string& name, const std::string& folder, const std::string& id) {
        std::string key = tabulo.userKey(index);
        if (!name.empty()) set(key, "Name", name);
        if (!folder.empty()) set(key, "Path", folder);
        if (!id.empty()) set(key, "ID", id);
    }
};

const reg::KeyPath kUserKey0{"Software", "Brightfold", "Tabulo", "User0"};
const reg::KeyPath kUserKey1{"Software", "Brightfold", "Tabulo", "User1"};

}  // namespace

TEST_F(RegistryAccess, RootIsChosenByTheExactMachineName) {
    set("HKEY_LOCAL_MACHINE\\Software\\Test", "A", "machine");
    set("hkey_local_machine\\Software\\Test", "A", "user");
    set("HKCU\\\\Software\\Test\\", "B", "empty parts skipped");
    reg::Value v;
    ASSERT_EQ(reg::queryValue(reg::Root::LocalMachine, {"Software", "Test"}, "A", v), reg::kSuccess);
    EXPECT_EQ(v.text, "machine");
    ASSERT_EQ(reg::queryValue(reg::Root::CurrentUser, {"Software", "Test"}, "A", v), reg::kSuccess);
    EXPECT_EQ(v.text, "user");
    ASSERT_EQ(reg::queryValue(reg::Root::CurrentUser, {"Software", "Test"}, "B", v), reg::kSuccess);
    EXPECT_EQ(v.text, "empty parts skipped");
}

TEST_F(RegistryAccess, OneRoutineReadsAndWrites) {
    uint32_t seven = 7;
    std::string ignored = "text is ignored when a number is given";
    ASSERT_EQ(foundation::RegistryValue("HKEY_CURRENT_USER\\Software\\T", "N", ignored, &seven), 0);
    reg::Value v;
    ASSERT_EQ(reg::queryValue(reg::Root::CurrentUser, {"Software", "T"}, "N", v), reg::kSuccess);
    EXPECT_EQ(v.type, reg::Value::Type::Dword);
    EXPECT_EQ(v.number, 7u);
    // A long value is read whole (no fixed-size buffer).
    std::string longPath(600, 'p');
    set("HKEY_CURRENT_USER\\Software\\T", "Path", longPath);
    EXPECT_EQ(get("HKEY_CURRENT_USER\\Software\\T", "Path"), longPath);
    // Reading a missing value leaves the text empty and reports the failure.
    std::string text;
    EXPECT_NE(foundation::RegistryValue("HKEY_CURRENT_USER\\Software\\T", "Missing", text), 0);
    EXPECT_TRUE(text.empty());
}

TEST_F(RegistryAccess, ReadingCreatesTheKeyAndLookupsRemoveItAgain) {
    EXPECT_EQ(get(tabulo.userKey(0), "Path"), "");
    EXPECT_TRUE(keyExists(reg::Root::CurrentUser, kUserKey0));
    EXPECT_EQ(foundation::GetUserFolder(tabulo, 0), "");
    EXPECT_FALSE(keyExists(reg::Root::CurrentUser, kUserKey0));
    EXPECT_TRUE(keyExists(reg::Root::CurrentUser, {"Software", "Brightfold", "Tabulo"}));

    // RegistryDeleteKey does not create anything on its way.
    EXPECT_NE(foundation::RegistryDeleteKey("HKEY_CURRENT_USER\\Software\\Nothing\\Here"), 0);
    EXPECT_FALSE(keyExists(reg::Root::CurrentUser, {"Software", "Nothing"}));
}

TEST_F(RegistryAccess, UserListEndsAtTheFirstMissingName) {
    addUser(0, "Ann", "/palm/Ann", "101");
    addUser(2, "Cy", "/palm/Cy", "303");
    TextRecord record{};
    EXPECT_EQ(foundation::ListUsers(tabulo, &record), 1);
    EXPECT_EQ(platform::byteStringView(record.text), std::string_view("0Ann\0\0", 6));
    // The probe of User1 did not leave a key behind; User2 is untouched.
    EXPECT_FALSE(keyExists(reg::Root::CurrentUser, kUserKey1));
    EXPECT_EQ(get(tabulo.userKey(2), "Name"), "Cy");

    addUser(1, "Bo", "/palm/Bo", "202");
    EXPECT_EQ(foundation::ListUsers(tabulo, &record), 3);  // replaces the old text
    EXPECT_EQ(platform::byteStringView(record.text), std::string_view("0Ann\0"
                                                                      "0Bo\0"
                                                                      "0Cy\0\0",
                                                                      14));
    platform::clearByteString(record.text);
}

TEST_F(RegistryAccess, ListUsersWithoutUsersLeavesTheRecordAlone) {
    TextRecord record{};
    record.text = platform::allocByteString("keep");
    EXPECT_EQ(foundation::ListUsers(tabulo, &record), BF_ERR_USER);
    EXPECT_EQ(platform::byteStringView(record.text), "keep");
    EXPECT_EQ(foundation::ListUsers(tabulo, nullptr), BF_ERR_PARAMETER);
    platform::clearByteString(record.text);
}

TEST_F(RegistryAccess, FindUserByIdStopsAtAUserWithoutId) {
    addUser(0, "Ann", "/palm/Ann", "101");
    addUser(1, "Bo", "/palm/Bo", "");  // no ID: ends the walk and is deleted
    addUser(2, "Cy", "/palm/Cy", "303");
    EXPECT_EQ(foundation::FindUserById(tabulo, 101), 0);
    EXPECT_EQ(foundation::FindUserById(tabulo, 303), -1);
    EXPECT_FALSE(keyExists(reg::Root::CurrentUser, kUserKey1));
    EXPECT_EQ(foundation::FindUserById(tabulo, 999), -1);
}

TEST_F(RegistryAccess, LargeHotSyncIdsMatchTheirSignedForm) {
    addUser(0, "Ann", "/palm/Ann", "3456789012");
    EXPECT_EQ(foundation::FindUserById(tabulo, uint32_t(int32_t(-838178284))), 0);
}

TEST_F(RegistryAccess, PendingInstallRaisesTheHotSyncFlag) {
    addUser(0, "Ann", "/palm/Ann", "101");
    addUser(1, "Bo", "/palm/Bo", "");
    foundation::MarkPendingInstall(tabulo, 0);
    reg::Value v;
    ASSERT_EQ(
        reg::queryValue(reg::Root::CurrentUser,
                        {"SOFTWARE", "U.S. Robotics", "Pilot Desktop", "HotSync Manager"}, "Install101", v),
        reg::kSuccess);
    EXPECT_EQ(v.type, reg::Value::Type::Dword);
    EXPECT_EQ(v.number, 1u);
    foundation::MarkPendingInstall(tabulo, 1);
    EXPECT_FALSE(keyExists(reg::Root::CurrentUser, kUserKey1));
}

TEST_F(RegistryAccess, ProductSettingsHaveFolderNameDefaults) {
    set(tabulo.productKey(), "Path", "/opt/tabulo");
    auto s = foundation::readProductSettings(tabulo);
    EXPECT_EQ(s.productFolder, "/opt/tabulo");
    EXPECT_EQ(s.backupFolderName, "Backup");
    EXPECT_EQ(s.installFolderName, "Install");
    set(tabulo.productKey(), "Backup", "Sicherung");
    EXPECT_EQ(foundation::readProductSettings(tabulo).backupFolderName, "Sicherung");
    EXPECT_EQ(foundation::readProductSettings(Product{"Quillo"}).productFolder, "");
}
