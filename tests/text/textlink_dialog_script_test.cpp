// textlink's dialogs end to end: `quillo-addin export-dialog`,
// `import-dialog` and `about` call the exports in their own process, the
// scripted ui backend plays a script against the dialogs, and the sandbox's
// files, the program's output and the ui log show what happened.
#include <filesystem>

#include "support/sandbox.h"
#include "textlink_testing.h"

using testsupport::writeFile;
using textlinktest::textOf;
namespace fs = std::filesystem;

namespace {

class TextDialogScript : public ::testing::Test {
protected:
    testsupport::Sandbox box{"Quillo"};
    int jo = box.addUser("Jo", "31");
    int al = box.addUser("Al", "32");

    struct Played {
        int exitCode = -1;
        std::string out;
        std::string log;
    };
    Played play(const std::vector<std::string>& args, const std::string& script) {
        const std::string scriptPath = box.dir.file("ui.script"), logPath = box.dir.file("ui.log");
        writeFile(scriptPath, script);
        fs::remove(logPath);
        textlinktest::ProcessResult run =
            textlinktest::runProgram(textlinktest::addinPath(), args,
                                     {{"BRIGHTFOLD_HIVE", std::getenv("BRIGHTFOLD_HIVE")},
                                      {"BRIGHTFOLD_TEXTLINK", textlinktest::textlinkPath()},
                                      {"BRIGHTFOLD_UI", "scripted"},
                                      {"BRIGHTFOLD_UI_SCRIPT", scriptPath},
                                      {"BRIGHTFOLD_UI_LOG", logPath}});
        Played played{run.exitCode, run.out, textOf(logPath)};
        EXPECT_EQ(played.log.find("FAIL"), std::string::npos) << played.log << run.err;
        return played;
    }
};

}  // namespace

TEST_F(TextDialogScript, NotesForJoLandInJosInstallFolderAndAreReported) {
    const std::string notes = box.dir.file("notes.txt");
    writeFile(notes, std::string("Dear Jo\r\n"));
    Played played = play({"export-dialog"},
                         "dialog 132\n"
                         "expect 2 text Done\n"
                         "type 1029 " +
                             notes +
                             "\n"
                             "click 1\n"
                             "ok\n"
                             "click 2\n");
    EXPECT_EQ(played.exitCode, 0);
    EXPECT_EQ(played.out, "result 2\n");
    const std::string database = box.install(jo) + "/notes.pdb";
    EXPECT_NE(played.log.find("Done: Conversion from " + notes + "\\n to " + database + " completed => ok"),
              std::string::npos)
        << played.log;
    EXPECT_EQ(textOf(database).substr(0, 6), std::string("notes\0", 6));
    EXPECT_EQ(box.installFlag("31"), 1);
}

TEST_F(TextDialogScript, TheRecordFormHandsBackTheChosenUsersInstallFolder) {
    const std::string notes = box.dir.file("notes.txt");
    writeFile(notes, std::string("text"));
    Played played = play({"export-dialog", notes},
                         "dialog 132\n"
                         "expect 1029 enabled no\n"
                         "select 1005 1\n"
                         "click 1\n");
    EXPECT_EQ(played.exitCode, 0);
    EXPECT_EQ(played.out.substr(0, played.out.find("wrote")),
              "result 1\nstatus 0 user 1 path " + box.install(al) + "/\n");
    // The add-in then writes its document there for that user.
    EXPECT_TRUE(fs::exists(box.install(al) + "/notes.pdb"));
    EXPECT_EQ(box.installFlag("32"), 1);

    played = play({"export-dialog", notes}, "dialog 132\nend\n");
    EXPECT_EQ(played.out, "result 2\nstatus -16 user 0 path \n");
}

TEST_F(TextDialogScript, ImportAsksBeforeReplacingAndAnotherUserDisablesImportUntilToChanges) {
    writeFile(box.backup(jo) + "/a.pdb", textlinktest::makeDocDatabase({"a", {"new"}}));
    writeFile(box.backup(al) + "/c.pdb", textlinktest::makeDocDatabase({"c", {"other"}}));
    const std::string target = box.dir.file("target.txt");
    writeFile(target, std::string("the old and longer text"));
    // No: nothing more is said; Yes: the conversion is reported.
    const std::string answers[] = {"no", "yes\nok"};
    for (const std::string& lines : answers) {
        const std::string answer = lines.substr(0, lines.find('\n'));
        SCOPED_TRACE(answer);
        Played played = play({"import-dialog"},
                             "dialog 133\n"
                             "expect 1002 items a.pdb\n"
                             "type 1026 " +
                                 target +
                                 "\n"
                                 "expect 1 enabled yes\n"
                                 "select 1005 1\n"
                                 "expect 1002 items c.pdb\n"
                                 "expect 1 enabled no\n"
                                 "select 1005 0\n"
                                 "expect 1 enabled no\n"
                                 "type 1026 " +
                                 target +
                                 "\n"
                                 "click 1\n" +
                                 lines +
                                 "\n"
                                 "click 2\n");
        EXPECT_EQ(played.exitCode, 0);
        const std::string question =
            "Save As: " + target + " already exists.\\nDo you want to replace it? => " + answer + "\n";
        const std::string done =
            "Done: Conversion from " + box.backup(jo) + "/a.pdb\\n to " + target + " completed => ok\n";
        EXPECT_NE(played.log.find(question + (answer == "yes" ? done : "click 1 ok\n")), std::string::npos)
            << played.log;
        EXPECT_EQ(textOf(target), answer == "yes" ? "new" : "the old and longer text");
    }
}

TEST_F(TextDialogScript, TheAboutBoxFromTheCommandAndFromTheWindowMenu) {
    const std::string about =
        "dialog 134\n"
        "expect 0 caption Quillo Text Conversion Utility\n"
        "expect 1031 text Quillo Text Conversion Utility V7.0\n"
        "click 1\n";
    Played played = play({"about"}, about);
    EXPECT_EQ(played.out, "result 1\n");
    played = play({"import-dialog"}, "dialog 133\nclick 16\n" + about + "click 2\n");
    EXPECT_EQ(played.out, "result 2\n");
    EXPECT_NE(played.log.find("dialog 134 closed 1\nclick 16 ok\nclick 2 ok\n"), std::string::npos)
        << played.log;
}
