// The shell services: folders, launchers, pending deletions, launching a
// command line, and windows found and posted to by class.
#include "platform/shell.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>

#include "platform/files.h"
#include "platform/system.h"
#include "support/test_support.h"

namespace shell = platform::shell;
using testsupport::ScopedEnv;
using testsupport::ScopedHive;
using testsupport::TempDir;

namespace {

std::string fileText(const std::string& path) {
    std::vector<uint8_t> bytes = testsupport::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

// Waits up to ten seconds for a file to appear.
bool appears(const std::string& path) {
    for (int i = 0; i < 1000 && !platform::fileExists(path); ++i) platform::sleepMilliseconds(10);
    return platform::fileExists(path);
}

}  // namespace

TEST(ShellFolders, FollowTheEnvironment) {
    TempDir home;
    // "~" at the start of a text stands for the home folder; nullptr: unset.
    auto expand = [&](const char* text) -> std::string {
        if (!text) return std::string();
        return text[0] == '~' ? home.path() + (text + 1) : std::string(text);
    };
    ScopedEnv homeEnv("HOME", home.path().c_str());
    struct SystemCase {
        const char *override, *dataHome, *expected;
    } systemCases[] = {
        {nullptr, nullptr, "~/.local/share/brightfold/lib"},
        {nullptr, "~/data/", "~/data/brightfold/lib"},
        {nullptr, "relative", "~/.local/share/brightfold/lib"},
        {"~/sys", "~/data", "~/sys"},
    };
    for (const SystemCase& c : systemCases) {
        std::string override = expand(c.override), data = expand(c.dataHome);
        ScopedEnv systemEnv("BRIGHTFOLD_SYSTEM_DIR", c.override ? override.c_str() : nullptr);
        ScopedEnv dataEnv("XDG_DATA_HOME", c.dataHome ? data.c_str() : nullptr);
        EXPECT_EQ(shell::systemFolder(), expand(c.expected));
        EXPECT_TRUE(platform::isDirectory(expand(c.expected)));  // made on first use
    }

    struct DesktopCase {
        const char *configHome, *userDirs, *desktop, *appData;
    } desktopCases[] = {
        {nullptr, nullptr, "~/Desktop", "~/.config"},
        {"relative", nullptr, "~/Desktop", "~/.config"},
        {nullptr, "# comment\n  XDG_DESKTOP_DIR=\"$HOME/Schreib tisch/\"\n", "~/Schreib tisch", "~/.config"},
        {"~/cfg", "XDG_DESKTOP_DIR=\"/srv/d\\\"q\"\nXDG_MUSIC_DIR=\"/m\"\n", "/srv/d\"q", "~/cfg"},
        {nullptr, "XDG_DESKTOP_DIR=\"rel\"\nXDG_DESKTOP_DIR=\"$HOMEx\"\nXDG_DESKTOP_DIR=open\n", "~/Desktop",
         "~/.config"},
    };
    for (const DesktopCase& c : desktopCases) {
        SCOPED_TRACE(c.userDirs ? c.userDirs : "no user-dirs.dirs");
        std::string config = expand(c.configHome);
        ScopedEnv configEnv("XDG_CONFIG_HOME", c.configHome ? config.c_str() : nullptr);
        std::string dirs = home.makeDir(c.configHome && c.configHome[0] == '~' ? "cfg" : ".config");
        if (c.userDirs) testsupport::writeFile(dirs + "/user-dirs.dirs", c.userDirs);
        EXPECT_EQ(shell::desktopFolder(), expand(c.desktop));
        EXPECT_EQ(shell::applicationDataFolder(), expand(c.appData));
        platform::deleteFile(dirs + "/user-dirs.dirs");
    }
}

TEST(ShellShortcuts, WriteDesktopLaunchers) {
    TempDir dir;
    std::string program = dir.file("bin dir/my \"tool\" $1%");
    std::string document = dir.file("Book 1.xls");
    dir.makeDir("bin dir");
    testsupport::writeFile(program, "#!/bin/sh\n");
    ASSERT_EQ(chmod(program.c_str(), 0755), 0);
    testsupport::writeFile(document, "{}");
    struct Case {
        std::string target, name, description, expected;
    } cases[] = {
        {program, "Tool", "Starts\nthe \\ tool",
         "[Desktop Entry]\nType=Application\nVersion=1.0\nName=Tool\nComment=Starts\\nthe \\\\ tool\n"
         "Exec=\"" +
             dir.path() + "/bin dir/my \\\\\"tool\\\\\" \\\\$1%%\"\nPath=" + dir.path() +
             "/bin dir\nTerminal=false\n"},
        {document, "My Book", "",
         "[Desktop Entry]\nType=Application\nVersion=1.0\nName=My Book\n"
         "Exec=xdg-open \"" +
             dir.path() + "/Book 1.xls\"\nPath=" + dir.path() + "\nTerminal=false\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string link = dir.file(shell::shortcutFileName(c.name));
        EXPECT_EQ(link, dir.file(c.name + ".desktop"));
        ASSERT_EQ(shell::createShortcut(c.target, link, c.description), 0);
        EXPECT_EQ(fileText(link), c.expected);
        struct stat info {};
        ASSERT_EQ(stat(link.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0755u);
    }
    EXPECT_NE(shell::createShortcut(program, dir.file("missing/x.desktop"), ""), 0);
}

TEST(ShellPendingDeletions, CarriedOutOnceByTheNextRun) {
    TempDir dir;
    ScopedHive hive(dir.file("registry.reg"));
    std::string file = dir.file("old.dll"), empty = dir.makeDir("empty"), full = dir.makeDir("full");
    testsupport::writeFile(file, "x");
    testsupport::writeFile(full + "/keep", "x");
    for (const std::string& path : {file, empty, full, dir.file("never-there")})
        EXPECT_TRUE(shell::deleteAtRestart(path)) << path;
    EXPECT_TRUE(platform::fileExists(file));  // nothing happens before the next run
    EXPECT_EQ(shell::carryOutPendingDeletions(), (std::vector<std::string>{file, empty}));
    EXPECT_FALSE(platform::fileExists(file));
    EXPECT_FALSE(platform::fileExists(empty));
    EXPECT_TRUE(platform::fileExists(full + "/keep"));
    EXPECT_TRUE(shell::carryOutPendingDeletions().empty());
}

TEST(ShellWindows, FoundAndPostedToWhileTheyLive) {
    TempDir dir;
    ScopedHive hive(dir.file("registry.reg"));
    EXPECT_FALSE(shell::windowExists("XLMAIN"));
    EXPECT_FALSE(shell::postMessage("XLMAIN", 1, 2, 3));
    {
        auto window = shell::WindowClass::create("XLMAIN");
        ASSERT_TRUE(window);
        EXPECT_FALSE(shell::WindowClass::create("xlmain"));  // class names ignore case
        EXPECT_TRUE(shell::windowExists("XlMain"));
        EXPECT_FALSE(shell::windowExists("OpusApp"));
        EXPECT_FALSE(window->wait(0));
        ASSERT_TRUE(shell::postMessage("XLMAIN", 0x0400, ~uintptr_t(0), -5));
        ASSERT_TRUE(shell::postMessage("XLMAIN", 0x0010, 0, 0));
        auto first = window->wait(5000);
        ASSERT_TRUE(first);
        EXPECT_EQ(first->message, 0x0400u);
        EXPECT_EQ(first->wParam, ~uintptr_t(0));
        EXPECT_EQ(first->lParam, -5);
        auto second = window->wait(-1);
        ASSERT_TRUE(second);
        EXPECT_EQ(second->message, 0x0010u);

        // Another sandbox (another hive) has windows of its own.
        ScopedHive other(dir.file("other.reg"));
        EXPECT_FALSE(shell::windowExists("XLMAIN"));
        auto otherWindow = shell::WindowClass::create("XLMAIN");
        ASSERT_TRUE(otherWindow);
        ASSERT_TRUE(shell::postMessage("XLMAIN", 7, 0, 0));
        EXPECT_FALSE(window->wait(50));
        ASSERT_TRUE(otherWindow->wait(5000));
    }
    EXPECT_FALSE(shell::windowExists("XLMAIN"));
    EXPECT_FALSE(shell::WindowClass::create(""));
}

TEST(ShellLaunch, StartsWithoutShellOrInheritedDescriptorsAndDoesNotWait) {
    TempDir dir;
    std::string out = dir.makeDir("out dir");
    // A descriptor this process leaves open across exec must not reach the child.
    int leak = fcntl(STDERR_FILENO, F_DUPFD, 47);
    ASSERT_GE(leak, 47);
    std::string script = "sleep 1; if [ -e /proc/$$/fd/" + std::to_string(leak) +
                         " ]; then echo leaked; else echo clean; fi; printf '%s|' \\\"$@\\\"; echo";
    std::string line = "/bin/sh -c \"exec > '" + out + "/result.tmp'; " + script + "; mv '" + out +
                       "/result.tmp' '" + out + "/result'\" sh \"a b\" c\\\"d e\\f \"\"";
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(shell::launchCommand(line));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(900));
    close(leak);
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);  // the program is no child of ours
    ASSERT_TRUE(appears(out + "/result"));
    EXPECT_EQ(fileText(out + "/result"), "clean\na b|c\"d|e\\f||\n");

    EXPECT_FALSE(shell::launchCommand(""));
    EXPECT_FALSE(shell::launchCommand("\"" + dir.file("no such program") + "\" x"));
    EXPECT_FALSE(shell::launchCommand(dir.path()));  // a folder is no program
}

TEST(ShellProgram, PathAndOle) {
    EXPECT_TRUE(shell::initializeOle());
    std::string self = shell::programPath();
    EXPECT_TRUE(platform::isAbsolutePath(self));
    EXPECT_EQ(platform::fileNamePart(self), "test_platform");
}
