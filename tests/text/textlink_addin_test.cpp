// The word-processor add-in stand-in driven as a process: exporting by user
// name, writing in pieces, reading back, and its exit codes.
#include <filesystem>

#include "foundation/registry_access.h"
#include "support/sandbox.h"
#include "textlink_testing.h"

using testsupport::writeFile;
using textlinktest::ProcessResult;
using textlinktest::textOf;

namespace fs = std::filesystem;

namespace {

class QuilloAddin : public ::testing::Test {
protected:
    testsupport::Sandbox box{"Quillo"};
    int jo = -1;

    void SetUp() override { jo = box.addUser("Jo", "31"); }
    ProcessResult run(const std::vector<std::string>& args, const std::string& faults = "") {
        return textlinktest::runProgram(textlinktest::addinPath(), args,
                                        {{"BRIGHTFOLD_HIVE", std::getenv("BRIGHTFOLD_HIVE")},
                                         {"BRIGHTFOLD_UI", "headless"},
                                         {"BRIGHTFOLD_TEXTLINK", textlinktest::textlinkPath()},
                                         {"BRIGHTFOLD_FAULTS", faults}});
    }
};

}  // namespace

TEST_F(QuilloAddin, ExportsByUserNameAndReadsBack) {
    std::string notes = box.dir.file("notes.txt");
    writeFile(notes, std::string("First line\r\nSecond line\r\n"));
    ProcessResult r = run({"export", notes, "--user", "Jo"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    std::string database = box.install(jo) + "/notes.pdb";
    ASSERT_TRUE(fs::exists(database));
    EXPECT_EQ(box.installFlag("31"), 1);

    std::string back = box.dir.file("back.txt");
    r = run({"read", database, back});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(textOf(back), "First line \nSecond line \n");
}

TEST_F(QuilloAddin, WritesInPiecesAndReadsBack) {
    std::string text;
    for (int i = 0; text.size() < 30000; ++i) text += "piece " + std::to_string(i) + "; ";
    text.resize(30000);
    std::string source = box.dir.file("long.txt");
    writeFile(source, text);
    ProcessResult r =
        run({"write", source, "--user", "0", "--piece", "777", "--to", box.install(jo) + "/Long.doc"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("in 39 pieces"), std::string::npos) << r.out;
    std::string database = box.install(jo) + "/Long.pdb";
    ASSERT_TRUE(fs::exists(database));
    EXPECT_EQ(box.installFlag("31"), 1);

    std::string back = box.dir.file("back.txt");
    r = run({"read", database, back});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(textOf(back), text);
}

TEST_F(QuilloAddin, AFailedReadLeavesTheOldOutputAndNoTemporaryFile) {
    const std::string good = box.dir.file("good.pdb"), damaged = box.dir.file("damaged.pdb");
    writeFile(good, textlinktest::makeDocDatabase({.name = "g", .texts = {"one", "two", "three", "four"}}));
    writeFile(damaged, textlinktest::makeDocDatabase(
                           {.name = "d", .texts = {"one", "two", "th\x80", "four"}, .compression = 2}));
    const std::string folder = box.dir.file("out");
    fs::create_directory(folder);
    const std::string output = folder + "/old.txt";
    writeFile(output, std::string("the old text\n"));
    const struct {
        const std::string& database;
        const char* faults;
        std::string message;
    } cases[] = {
        {good, "write:ENOSPC:2", "cannot write " + output + ": No space left on device"},
        {damaged, "", "ReadDoc failed: Corrupted or old version DB. (status -5)"},
    };
    for (const auto& c : cases) {
        ProcessResult r = run({"read", c.database, output}, c.faults);
        EXPECT_EQ(r.exitCode, 1) << c.message;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(textOf(output), "the old text\n");
        EXPECT_EQ(std::distance(fs::directory_iterator(folder), fs::directory_iterator()), 1)
            << "temporary file left";
    }
}

TEST_F(QuilloAddin, LibraryStatusErrorsExitWith1AndTheirMessage) {
    std::string notes = box.dir.file("notes.txt");
    writeFile(notes, std::string("x"));
    ProcessResult r = run({"export", notes, "--user", "jo"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Invalid user name. (status -10)"), std::string::npos) << r.err;

    r = run({"read", box.dir.file("none.pdb"), box.dir.file("out.txt")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Can not open input file. (status -2)"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(box.dir.file("out.txt")));

    std::string empty = box.dir.file("empty.txt");
    writeFile(empty, std::string());
    r = run({"write", empty, "--user", "0"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("FlushDoc failed: Program error, invalid worksheet name. (status -4)"),
              std::string::npos)
        << r.err;
}

TEST_F(QuilloAddin, UsageErrorsExitWith2) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{},
                                               {"bogus"},
                                               {"export", "a.txt"},
                                               {"export", "--user", "Jo"},
                                               {"read", "a.pdb"},
                                               {"read", "a.pdb", "b.txt", "--user", "0"},
                                               {"write", "a.txt", "--user", "x"},
                                               {"write", "a.txt", "--user", "0", "--piece", "0"},
                                               {"export", "a.txt", "--user", "Jo", "--piece", "5"},
                                               {"read", "a", "b", "--frobnicate"},
                                               {"write", "a.txt", "--user"},
                                               {"about", "x"},
                                               {"import-dialog", "a.txt", "b.txt"}}) {
        ProcessResult r = run(args);
        EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(args);
        EXPECT_NE(r.err.find("quillo-addin: "), std::string::npos);
    }
    ProcessResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word : {"export FILE --user NAME", "write FILE --user INDEX", "read DATABASE OUTPUT",
                             "export-dialog [FILE]", "import-dialog [OUTPUT]", "about"})
        EXPECT_NE(help.out.find(word), std::string::npos) << word;
}

TEST_F(QuilloAddin, ALibraryThatRefusesToLoadExitsWith1) {
    foundation::RegistryDeleteKey(box.productKey() + "\\User0");
    ProcessResult r = run({"read", "a.pdb", "b.txt"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("Error: Quillo is not installed properly\n"), std::string::npos) << r.err;
}
