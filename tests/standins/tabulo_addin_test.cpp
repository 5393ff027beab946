// The spreadsheet add-in stand-in run as a program: the road of one linked
// workbook through its commands, the password prompt, and its exit codes.
#include <filesystem>

#include "addin_testing.h"
#include "foundation/registry_access.h"
#include "workbook/passwords.h"
#include "workbook_json.h"

using addintest::ProcessResult;
using addintest::textOf;

namespace fs = std::filesystem;

namespace {

class TabuloAddin : public ::testing::Test {
protected:
    testsupport::Sandbox box;
    int ann = -1;
    std::string pc;

    void SetUp() override {
        ann = box.addUser("Ann", "1001");
        pc = box.dir.makeDir("pc");
    }
    ProcessResult run(const std::vector<std::string>& args, const std::string& input = "") {
        return addintest::runProgram(addintest::addinPath(), args,
                                     {{"BRIGHTFOLD_HIVE", std::getenv("BRIGHTFOLD_HIVE")},
                                      {"BRIGHTFOLD_UI", "headless"},
                                      {"BRIGHTFOLD_GRIDLINK", addintest::gridlinkPath()}},
                                     input);
    }
    tabulo::Book readBook(const std::string& path) {
        tabulo::Book book;
        std::string error;
        EXPECT_TRUE(tabulo::readJson(textOf(path), book, error)) << error;
        return book;
    }
};

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST_F(TabuloAddin, TheRoadOfOneLinkedWorkbook) {
    const std::string workbook = pc + "/Budget.xls";
    ProcessResult r = run({"link", workbook, "--user", "0", "--rule", "synchronize"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "created " + workbook + " from the template workbook")) << r.out;
    EXPECT_EQ(textOf(workbook), "template workbook");
    EXPECT_EQ(textOf(box.registryFile()),
              "0\r\n[Ann]\r\nenabled=10\r\nBudget=0,0,-1,0,0,-1?" + workbook + "\r\n");

    // Nothing on the handheld yet: the import check lists no sheet, and the
    // workbook is left alone.
    r = run({"import", workbook, workbook});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "listed no sheet database")) << r.err;
    EXPECT_EQ(textOf(workbook), "template workbook");

    // The template is an empty workbook; the desktop fills it in.
    r = run({"export", workbook});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "taken as an empty workbook")) << r.out;
    EXPECT_TRUE(contains(r.out, "exported 0 sheets")) << r.out;
    testsupport::writeFile(workbook, std::string(R"js({"sheets": [{"name": "Jan", "fontSize": 10,
        "cells": [{"row": 1, "column": 1, "text": "Käse \u20ac", "currency": "[$€-2]", "formatFlags": "0x40"},
                  {"row": 2, "column": 1, "text": "7", "value": 7}],
        "charts": [{"column": 3, "item": "Pie", "series": ["=SERIES(A1,,A2:A3,1)"]}]}]})js"));
    r = run({"export", workbook});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "VerifyExport: user 0, " + box.install(ann) + "/Budget\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "sheet \"Jan\": 4 pieces, 2 cells, 1 charts written")) << r.out;
    EXPECT_TRUE(fs::exists(box.install(ann) + "/Budget-Jan.pdb"));
    EXPECT_EQ(box.installFlag("1001"), 1);

    ASSERT_EQ(addintest::hotSync(box, ann), 1);
    r = run({"import", workbook, pc + "/back.json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "VerifyImport: user 0, 1 sheet databases in " + box.backup(ann) + "/Budget"))
        << r.out;
    tabulo::Book back = readBook(pc + "/back.json");
    ASSERT_EQ(back.sheets.size(), 1u);
    ASSERT_EQ(back.sheets[0].cells.size(), 2u);
    EXPECT_EQ(back.sheets[0].cells[0].text, "K\xE4se \x80");
    EXPECT_EQ(back.sheets[0].cells[0].currency, "[$\x80-2]");
    EXPECT_EQ(back.sheets[0].cells[1].value, 7);
    ASSERT_EQ(back.sheets[0].charts.size(), 1u);
    EXPECT_EQ(back.sheets[0].charts[0].item, "Pie");
    EXPECT_EQ(back.sheets[0].charts[0].series,
              std::vector<std::string>{"=SERIES('Jan'!$A$1,,'Jan'!$A$2:$A$3,1)"});
    // The JSON itself is UTF-8.
    EXPECT_TRUE(contains(textOf(pc + "/back.json"), "K\xC3\xA4se \xE2\x82\xAC"));

    // The book was seen: the next import finds nothing new.
    r = run({"import", workbook, pc + "/again.json"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "VerifyImport failed")) << r.err;
    EXPECT_FALSE(fs::exists(pc + "/again.json"));

    r = run({"unlink", workbook, "--user", "0"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(textOf(box.registryFile()), "0\r\n");
}

TEST_F(TabuloAddin, CsvBooksGoOutAndComeBackAsOneFilePerSheet) {
    const std::string workbook = pc + "/Sales.xls";
    ASSERT_EQ(run({"link", workbook, "--user", "0", "--rule", "desktop", "--font-map", "small"}).exitCode, 0);
    EXPECT_EQ(textOf(box.registryFile()).substr(0, 3), "1\r\n");
    testsupport::writeFile(pc + "/Sales-North.csv", std::string("\"a\",\"b\"\"c\",,\"d\"\r\n\r\nx,y"));
    testsupport::writeFile(pc + "/Sales-South.csv", std::string("1.5\n2"));
    testsupport::writeFile(pc + "/Salesman-X.csv", std::string("not this book"));
    ProcessResult r = run({"export", workbook, "--from", pc + "/Sales-North.csv"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(fs::exists(box.install(ann) + "/Sales-North.pdb"));
    EXPECT_TRUE(fs::exists(box.install(ann) + "/Sales-South.pdb"));
    EXPECT_FALSE(fs::exists(box.install(ann) + "/Salesman-X.pdb"));

    // Desktop Overwrites never imports; Handheld Overwrites always does.
    ASSERT_EQ(addintest::hotSync(box, ann), 2);
    EXPECT_EQ(run({"import", workbook, pc + "/out/Copy.csv"}).exitCode, 1);
    ASSERT_EQ(run({"link", workbook, "--user", "0", "--rule", "handheld"}).exitCode, 0);
    fs::create_directories(pc + "/out");
    r = run({"import", workbook, pc + "/out/Copy.csv"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "wrote " + pc + "/out/Copy-North.csv")) << r.out;
    EXPECT_EQ(textOf(pc + "/out/Copy-North.csv"), "\"a\",\"b\"\"c\",,\"d\"\r\n\r\n\"x\",\"y\"");
    EXPECT_EQ(textOf(pc + "/out/Copy-South.csv"), "\"1.5\"\r\n\"2\"");
}

TEST_F(TabuloAddin, APasswordIsAskedOnTheTerminal) {
    auto db = testsupport::makeSheetDatabase(testsupport::SheetDbSpec("Budget-Jan", 71, 5));
    addintest::setOpenPasswordHash(
        db, workbook::HashPassword("pw", workbook::kCheckHashStart, workbook::ZeroHash::LittleEndian));
    testsupport::writeFile(box.backup(ann) + "/Budget-Jan.pdb", db);
    const std::string workbook = pc + "/Budget.xls";
    ASSERT_EQ(run({"link", workbook, "--user", "0", "--rule", "handheld"}).exitCode, 0);

    ProcessResult r = run({"import", workbook, pc + "/a.json"}, "wrong\npw\n");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "Password for Jan: Password for Jan: ");
    EXPECT_TRUE(fs::exists(pc + "/a.json"));

    r = run({"import", workbook, pc + "/b.json"}, "1\n2\n3\npw\n");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err,
                         "Password for Jan: Password for Jan: Password for Jan: tabulo-addin: CheckPasswd "
                         "failed (sheet 1 \"Jan\"): Can not open input file, invalid password. (status -13)"))
        << r.err;
    EXPECT_FALSE(fs::exists(pc + "/b.json"));

    r = run({"import", workbook, pc + "/c.json", "--password", "pw"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = run({"import", workbook, pc + "/d.json"});  // no input at all
    EXPECT_EQ(r.exitCode, 1);
}

TEST_F(TabuloAddin, FailuresExitWith1AndSayWhy) {
    ProcessResult r = run({"link", pc + "/Budget.txt", "--user", "0", "--rule", "desktop"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "tabulo-addin: Error: Invalid file type\n");

    r = run({"link", pc + "/Budget.xls", "--user", "3", "--rule", "desktop"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "Invalid user name. (status -10)")) << r.err;

    testsupport::writeFile(pc + "/Loose.xls", std::string("{\"sheets\": [{\"name\": 5}]}"));
    r = run({"export", pc + "/Loose.xls"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "Loose.xls: sheets[0].name: must be a text")) << r.err;

    testsupport::writeFile(pc + "/Loose.xls", std::string("{\"sheets\": []}"));
    r = run({"export", pc + "/Loose.xls"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "VerifyExport failed (" + pc + "/Loose.xls): the workbook is not linked"))
        << r.err;

    r = run({"export", pc + "/Missing.xls"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "cannot read " + pc + "/Missing.xls")) << r.err;

    // Without a HotSync user the library refuses to load.
    foundation::RegistryDeleteKey(box.productKey() + "\\User0");
    r = run({"list"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(contains(r.err, "Error: Tabulo is not installed properly\n")) << r.err;
    EXPECT_TRUE(contains(r.err, "cannot load")) << r.err;
}

TEST_F(TabuloAddin, UsageErrorsExitWith2) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {},
             {"bogus"},
             {"link", "a.xls", "--rule", "desktop"},
             {"link", "a.xls", "--user", "0"},
             {"link", "a.xls", "--user", "0", "--rule", "sometimes"},
             {"link", "a.xls", "--user", "x", "--rule", "desktop"},
             {"link", "a.xls", "--user", "0", "--rule", "desktop", "--category", "16"},
             {"link", "a.xls", "--user", "0", "--rule", "desktop", "--font-map", "huge"},
             {"export"},
             {"export", "a.xls", "b.xls"},
             {"export", "a.xls", "--password", "x"},
             {"import", "a.xls", "b.txt"},
             {"import", "a.xls", "b.json", "--default-font-size", "0"},
             {"import", "a.xls", "b.json", "--password"},
             {"list", "x"},
             {"show", "a.json", "-x"}}) {
        ProcessResult r = run(args);
        EXPECT_EQ(r.exitCode, 2) << ::testing::PrintToString(args) << r.err;
        EXPECT_TRUE(contains(r.err, "tabulo-addin: ")) << ::testing::PrintToString(args);
    }
    ProcessResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* word :
         {"link WORKBOOK --user INDEX --rule synchronize|handheld|desktop", "unlink WORKBOOK",
          "export WORKBOOK", "import WORKBOOK OUTPUT", "list", "show FILE"})
        EXPECT_TRUE(contains(help.out, word)) << word;
    help = run({"import", "--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(contains(help.out, "Password for <sheet>")) << help.out;
    EXPECT_FALSE(contains(help.out, "unlink"));
}
