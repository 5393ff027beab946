// The shared command-line layer: where options may stand, what is
// a usage error (and its exact message), help, the command's exit status,
// numbers and the library a host loads.
#include <gtest/gtest.h>

#include <cstdio>
#include <new>
#include <string>
#include <vector>

#include "command_line.h"
#include "support/test_support.h"

namespace {

// What the last command that ran was given.
standin::Arguments lastRun;
int runs = 0;

int record(const standin::Arguments& args) {
    lastRun = args;
    ++runs;
    return 7;
}

int runOutOfMemory(const standin::Arguments&) { throw std::bad_alloc(); }

standin::Program testProgram(bool commandHelp = false) {
    return {"tool",
            "[--library PATH] COMMAND ARGUMENTS",
            {{"copy", "FROM TO [--mode M]", "copy FROM to TO", 2, 2, {}, {"mode"}, record},
             {"tag", "NAME [VALUE] --user U", "tag a name", 1, 2, {"user"}, {"user"}, record},
             {"oom", "", "runs out of memory", 0, 0, {}, {}, runOutOfMemory}},
            {"library"},
            "\noptions: --library PATH\n",
            commandHelp};
}

struct Outcome {
    int exitCode;
    std::string out, err;
};

Outcome runTool(std::vector<std::string> words, bool commandHelp = false) {
    words.insert(words.begin(), "/opt/tool/bin/tool");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    runs = 0;
    lastRun = {};
    const standin::Program program = testProgram(commandHelp);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    int rc = standin::run(program, int(words.size()), argv.data());
    std::fflush(stdout);
    std::fflush(stderr);
    return {rc, ::testing::internal::GetCapturedStdout(), ::testing::internal::GetCapturedStderr()};
}

}  // namespace

TEST(StandinCommandLine, OptionsStandAnywhereAndTheCommandsStatusIsTheExitStatus) {
    Outcome o = runTool({"--library", "/x/lib.so", "tag", "--user", "--mode", "name", "value"});
    ASSERT_EQ(o.exitCode, 7) << o.err;
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(lastRun.positional, (std::vector<std::string>{"name", "value"}));
    ASSERT_NE(lastRun.option("user"), nullptr);
    EXPECT_EQ(*lastRun.option("user"), "--mode");  // a value, even when it looks like an option
    EXPECT_EQ(*lastRun.option("library"), "/x/lib.so");
    EXPECT_EQ(lastRun.option("mode"), nullptr);
    EXPECT_EQ(lastRun.argv0, "/opt/tool/bin/tool");
    EXPECT_EQ(o.err, "");

    o = runTool({"copy", "a", "--mode", "", "b"});
    ASSERT_EQ(o.exitCode, 7) << o.err;
    EXPECT_EQ(lastRun.positional, (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(*lastRun.option("mode"), "");
}

TEST(StandinCommandLine, UsageErrorsNameTheProblemAndRunNothing) {
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no command given"},
        {{"--library", "x"}, "no command given"},
        {{"move", "a", "b"}, "unknown command move"},
        {{"copy", "a", "b", "-v"}, "unknown option -v"},
        {{"copy", "a", "b", "--"}, "unknown option --"},
        {{"copy", "a", "b", "--mode"}, "--mode needs a value"},
        {{"copy", "a", "b", "--mode", "x", "--mode", "y"}, "--mode given twice"},
        {{"--library", "x", "copy", "a", "b", "--library", "y"}, "--library given twice"},
        {{"copy", "a", "b", "--user", "Jo"}, "copy takes no --user"},
        {{"copy", "a"}, "copy takes FROM TO [--mode M]"},
        {{"copy", "a", "b", "c"}, "copy takes FROM TO [--mode M]"},
        {{"tag", "--user", "Jo"}, "tag takes NAME [VALUE] --user U"},
        {{"tag", "a", "b", "c", "--user", "Jo"}, "tag takes NAME [VALUE] --user U"},
        {{"tag", "a"}, "tag needs --user"},
        {{"tag", "a", "--mode", "m"}, "tag takes no --mode"},
    };
    for (const auto& [words, message] : cases) {
        Outcome o = runTool(words);
        EXPECT_EQ(o.exitCode, standin::kExitUsage) << ::testing::PrintToString(words);
        EXPECT_EQ(o.err, "tool: " + message + "\ntry 'tool --help'\n") << ::testing::PrintToString(words);
        EXPECT_EQ(o.out, "");
        EXPECT_EQ(runs, 0) << ::testing::PrintToString(words);
    }
}

TEST(StandinCommandLine, HelpPrintsTheUsageFromTheTable) {
    const std::string usage =
        "usage: tool [--library PATH] COMMAND ARGUMENTS\n\ncommands:\n"
        "  copy FROM TO [--mode M]\n      copy FROM to TO\n"
        "  tag NAME [VALUE] --user U\n      tag a name\n"
        "  oom \n      runs out of memory\n"
        "\noptions: --library PATH\n";
    for (const std::vector<std::string>& words :
         std::vector<std::vector<std::string>>{{"--help"},
                                               {"-h"},
                                               {"copy", "--help"},
                                               {"--help", "copy"},
                                               {"copy", "a", "--help", "--bogus"}}) {
        Outcome o = runTool(words);
        EXPECT_EQ(o.exitCode, 0) << ::testing::PrintToString(words);
        EXPECT_EQ(o.out, usage) << ::testing::PrintToString(words);
        EXPECT_EQ(o.err, "");
        EXPECT_EQ(runs, 0);
    }
    // With help per command, a command named before --help gets its own.
    Outcome o = runTool({"tag", "--help"}, true);
    EXPECT_EQ(o.exitCode, 0);
    EXPECT_EQ(o.out, "usage: tool [--library PATH] tag NAME [VALUE] --user U\n  tag a name\n");
    EXPECT_EQ(runTool({"--help", "tag"}, true).out, usage);
    // Errors before --help still count.
    EXPECT_EQ(runTool({"copy", "a", "-v", "--help"}).exitCode, 2);
}

TEST(StandinCommandLine, ACommandOutOfMemoryEndsWithAFailure) {
    Outcome o = runTool({"oom"});
    EXPECT_EQ(o.exitCode, standin::kExitFailure);
    EXPECT_EQ(o.err, "tool: not enough memory\n");
}

TEST(StandinCommandLine, NumbersAreDecimalDigitsWithinTheirRange) {
    long long v = -1;
    EXPECT_TRUE(standin::parseNumber("0", 0, 10, v));
    EXPECT_EQ(v, 0);
    EXPECT_TRUE(standin::parseNumber("000000000010", 0, 10, v));
    EXPECT_EQ(v, 10);
    EXPECT_TRUE(standin::parseNumber("999999999999", 0, 999999999999LL, v));
    EXPECT_EQ(v, 999999999999LL);
    v = 5;
    for (const char* bad : {"", "11", "-1", "+1", " 1", "1 ", "1x", "0x1", "1.0", "0000000000001"})
        EXPECT_FALSE(standin::parseNumber(bad, 0, 10, v)) << bad;
    EXPECT_FALSE(standin::parseNumber("3", 4, 10, v));
    EXPECT_EQ(v, 5);  // untouched by a refusal
}

TEST(StandinCommandLine, TheLibraryComesFromTheOptionTheEnvironmentBesideTheProgramOrTheSystemFolder) {
    testsupport::TempDir dir;
    std::string system = dir.makeDir("system"), lib = dir.makeDir("tool/lib");
    dir.makeDir("tool/bin");
    testsupport::ScopedEnv systemDir("BRIGHTFOLD_SYSTEM_DIR", system.c_str());
    const std::string tool = dir.file("tool/bin/tool"), beside = dir.file("tool/bin/../lib/libx.so");
    struct Case {
        std::string argv0;
        bool inLib, inSystem;
        const char *environment, *option;
        std::string expected;
    } cases[] = {
        {tool, false, false, nullptr, nullptr, beside},  // named, so that a failure says where
        {tool, true, true, nullptr, nullptr, beside},
        {tool, false, true, nullptr, nullptr, system + "/libx.so"},
        {"tool", false, false, nullptr, nullptr, "libx.so"},  // the loader searches
        {"tool", false, true, nullptr, nullptr, system + "/libx.so"},
        {"tool", false, false, nullptr, "", "libx.so"},  // an empty --library is no choice
        {tool, true, true, "/env/libx.so", nullptr, "/env/libx.so"},
        {tool, true, true, "/env/libx.so", "/given/libx.so", "/given/libx.so"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        for (const auto& [folder, present] : {std::pair{lib, c.inLib}, std::pair{system, c.inSystem}}) {
            if (present)
                testsupport::writeFile(folder + "/libx.so", "");
            else
                std::remove((folder + "/libx.so").c_str());
        }
        testsupport::ScopedEnv variable("BF_TEST_LIBRARY", c.environment);
        standin::Arguments args;
        args.argv0 = c.argv0;
        if (c.option) args.options["library"] = c.option;
        EXPECT_EQ(standin::libraryPath(args, "BF_TEST_LIBRARY", "libx.so"), c.expected);
    }
}
