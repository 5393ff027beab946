// The shell services on Windows: the system folder, .lnk shortcuts, starting
// a command line, deletion at restart, and windows found and posted to.
#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/shell.h"
#include "platform/system.h"
#include "support/test_support.h"

namespace shell = platform::shell;
using testsupport::ScopedEnv;
using testsupport::TempDir;

namespace {

std::string lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

bool appears(const std::string& path) {
    for (int i = 0; i < 1000 && !platform::fileExists(path); ++i) platform::sleepMilliseconds(10);
    return platform::fileExists(path);
}

}  // namespace

TEST(ShellWin32, SystemFolderIsTheOverrideElseTheWindowsOne) {
    TempDir dir;
    {
        ScopedEnv system("BRIGHTFOLD_SYSTEM_DIR", dir.file("sys").c_str());
        EXPECT_EQ(shell::systemFolder(), dir.file("sys"));
        EXPECT_TRUE(platform::isDirectory(dir.file("sys")));
    }
    ScopedEnv none("BRIGHTFOLD_SYSTEM_DIR", "relative");
    std::string folder = lower(shell::systemFolder());
    EXPECT_EQ(folder.substr(folder.size() - 8), "system32") << folder;
}

TEST(ShellWin32, ShortcutsLaunchAndRestartDeletion) {
    TempDir dir;
    EXPECT_EQ(shell::shortcutFileName("Tabulo"), "Tabulo.lnk");
    std::string program = shell::programPath();
    std::string link = dir.file(shell::shortcutFileName("My tool"));
    EXPECT_EQ(shell::createShortcut(program, link, "The tool"), 0);
    EXPECT_TRUE(platform::isRegularFile(link));
    EXPECT_NE(shell::createShortcut(program, dir.file("missing\\x.lnk"), ""), 0);

    // Started without waiting; the command interpreter makes the folder.
    std::string made = dir.file("made by child");
    ASSERT_TRUE(shell::launchCommand("cmd.exe /c mkdir \"" + made + "\""));
    EXPECT_TRUE(appears(made));
    EXPECT_FALSE(shell::launchCommand("no-such-program-here.exe"));

    // Marked only: the file stays until the restart.
    std::string doomed = dir.file("doomed.txt");
    testsupport::writeFile(doomed, "x");
    EXPECT_TRUE(shell::deleteAtRestart(doomed));
    EXPECT_TRUE(platform::fileExists(doomed));
    EXPECT_TRUE(shell::carryOutPendingDeletions().empty());
}

TEST(ShellWin32, WindowsFoundAndPostedToWhileTheyLive) {
    EXPECT_FALSE(shell::windowExists("XLMAIN"));
    EXPECT_FALSE(shell::postMessage("XLMAIN", 1, 2, 3));
    {
        auto window = shell::WindowClass::create("XLMAIN");
        ASSERT_TRUE(window);
        EXPECT_FALSE(shell::WindowClass::create("xlmain"));  // class names ignore case
        EXPECT_TRUE(shell::windowExists("XlMain"));
        EXPECT_FALSE(window->wait(0));
        ASSERT_TRUE(shell::postMessage("XLMAIN", 0x0400, 7, -5));
        ASSERT_TRUE(shell::postMessage("XLMAIN", 0xBEC5, 1, 0));
        auto first = window->wait(5000);
        ASSERT_TRUE(first);
        EXPECT_EQ(first->message, 0x0400u);
        EXPECT_EQ(first->wParam, 7u);
        EXPECT_EQ(first->lParam, -5);
        auto second = window->wait(-1);
        ASSERT_TRUE(second);
        EXPECT_EQ(second->message, 0xBEC5u);
        EXPECT_FALSE(window->wait(50));
    }
    EXPECT_FALSE(shell::windowExists("XLMAIN"));
    EXPECT_FALSE(shell::WindowClass::create(""));
}
