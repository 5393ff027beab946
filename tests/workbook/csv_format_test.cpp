// The CSV dialects: writing a sheet, reading a file, the separator mapping
// and the file names of a CSV book.
#include "workbook/csv_format.h"

#include <gtest/gtest.h>

using namespace workbook;

namespace {

using Fields = std::vector<ReadCsvField>;

const CsvSeparators kPc{',', '.'};
const CsvSeparators kContinental{';', ','};

}  // namespace

TEST(CsvSeparatorsTest, ContinentalSeparatorsMapBothWays) {
    // A number and a list on the handheld, as a PC with ";" and "," writes them.
    std::string out;
    appendCsvField(out, "1234.5", kContinental);
    out += kContinental.list;
    appendCsvField(out, "a,b", kContinental);
    EXPECT_EQ(out, "\"1234,5\";\"a;b\"");
    Fields back = readCsvText(out, kContinental.list);
    ASSERT_EQ(back.size(), 2u);
    for (ReadCsvField& f : back) mapFromPc(f.text, kContinental);
    EXPECT_EQ(back[0].text, "1234.5");
    EXPECT_EQ(back[1].text, "a,b");
    EXPECT_EQ(back[1].column, 2u);
}

TEST(CsvSeparatorsTest, SwappedSeparatorsDoNotUndoEachOther) {
    const CsvSeparators swapped{'.', ','};
    EXPECT_EQ(mapToPc("1.5,2", swapped), "1,5.2");
    std::string field = "1,5.2";
    mapFromPc(field, swapped);
    EXPECT_EQ(field, "1.5,2");
    // The PC's own characters leave the text alone.
    EXPECT_EQ(mapToPc("1.5,2", kPc), "1.5,2");
}

TEST(CsvSeparatorsTest, RegionalValues) {
    CsvSeparators s;
    applyRegionalValues(s, ";x", ",y");  // the first character counts
    EXPECT_EQ(s.list, ';');
    EXPECT_EQ(s.decimal, ',');
    applyRegionalValues(s, "", "");  // empty values keep the current characters
    EXPECT_EQ(s.list, ';');
    EXPECT_EQ(s.decimal, ',');
    // Characters that would break the dialect are not taken.
    applyRegionalValues(s, "\"", "\r");
    EXPECT_EQ(s.list, ';');
    EXPECT_EQ(s.decimal, ',');
    applyRegionalValues(s, std::string_view("\0", 1), "\n");
    EXPECT_EQ(s.list, ';');
    applyRegionalValues(s, "\t", " ");
    EXPECT_EQ(s.list, '\t');
    EXPECT_EQ(s.decimal, ' ');
}

TEST(CsvWriteTest, CellAtRowThreeColumnTwo) {
    EXPECT_EQ(writeCsvSheet({{3, 2, "x"}}, kPc), "\r\n\r\n,\"x\"");
}

TEST(CsvWriteTest, SheetLayout) {
    std::vector<CsvCell> cells{{1, 1, "a"}, {1, 3, "say \"hi\""}, {2, 2, ""}, {4, 1, "1.5"}};
    // Separators between cells of a row, an empty field for an empty cell,
    // an empty line for a row without cells, no line end after the last row.
    EXPECT_EQ(writeCsvSheet(cells, kPc), "\"a\",,\"say \"\"hi\"\"\"\r\n,\"\"\r\n\r\n\"1.5\"");
    EXPECT_EQ(writeCsvSheet(cells, kContinental), "\"a\";;\"say \"\"hi\"\"\"\r\n;\"\"\r\n\r\n\"1,5\"");
    EXPECT_EQ(writeCsvSheet({}, kPc), "");
}

TEST(CsvWriteTest, CellsOutOfOrderAndRepeated) {
    // Records of a sheet need not be in row order; written as they come, two
    // fields would run together ("b""a", read back as one field b"a).
    std::vector<CsvCell> cells{{2, 1, "c"}, {1, 2, "b"}, {1, 1, "a"}, {1, 2, "B"}};
    EXPECT_EQ(writeCsvSheet(cells, kPc), "\"a\",\"B\"\r\n\"c\"");
    // Places outside the sheet are not written.
    EXPECT_EQ(writeCsvSheet({{0, 1, "x"}, {1, 0, "y"}, {10000, 1, "z"}, {1, 257, "w"}, {1, 1, "a"}}, kPc),
              "\"a\"");
}

TEST(CsvReadTest, QuotedAndEmptyFields) {
    Fields f = readCsvText("a,\"b\"\"c\",,d", ',');
    EXPECT_EQ(f, (Fields{{1, 1, "a"}, {1, 2, "b\"c"}, {1, 4, "d"}}));
    // An empty quoted field takes its column too; a quote inside an unquoted
    // field is text.
    EXPECT_EQ(readCsvText("\"\",x\"y", ','), (Fields{{1, 2, "x\"y"}}));
    // The separator inside quotes is text.
    EXPECT_EQ(readCsvText("a,b;c", ';'), (Fields{{1, 1, "a,b"}, {1, 2, "c"}}));
    EXPECT_EQ(readCsvText("\"a,b\",c", ','), (Fields{{1, 1, "a,b"}, {1, 2, "c"}}));
}

TEST(CsvReadTest, LineEnds) {
    const Fields expected{{1, 1, "a"}, {1, 2, "b"}, {2, 1, "c"}, {2, 2, "d"}};
    EXPECT_EQ(readCsvText("a,b\r\nc,d", ','), expected);
    EXPECT_EQ(readCsvText("a,b\rc,d", ','), expected);
    // Lines ended by a line feed alone are rows as well (they used to run
    // together into one row).
    EXPECT_EQ(readCsvText("a,b\nc,d\n", ','), expected);
    EXPECT_EQ(readCsvText("\"a\",\"b\"\n\"c\",\"d\"", ','), expected);
    // Empty lines in any form are rows without cells.
    EXPECT_EQ(readCsvText("a\r\n\r\nb\n\nc\r\rd", ','),
              (Fields{{1, 1, "a"}, {3, 1, "b"}, {5, 1, "c"}, {7, 1, "d"}}));
}

TEST(CsvReadTest, LineBreaksInsideQuotes) {
    // A line feed inside quotes is part of the text: a handheld cell with a
    // line break is written that way and comes back whole.
    std::string out;
    appendCsvField(out, "two\nlines", kPc);
    EXPECT_EQ(readCsvText(out + ",x", ','), (Fields{{1, 1, "two\nlines"}, {1, 2, "x"}}));
    // A carriage return ends even a quoted field, and its row.
    EXPECT_EQ(readCsvText("\"a\r\nb\",c", ','), (Fields{{1, 1, "a"}, {2, 1, "b\""}, {2, 2, "c"}}));
}

TEST(CsvReadTest, JunkAfterClosingQuoteEndsTheReading) {
    CsvReader reader(',');
    Fields got;
    auto collect = [&got](const CsvField& f) { got.push_back({f.row, f.column, std::string(f.text)}); };
    EXPECT_FALSE(reader.feed(std::string_view("x,\"ab\"cd,e\r\nf"), collect));
    reader.finish(collect);
    EXPECT_TRUE(reader.stopped());
    EXPECT_EQ(got, (Fields{{1, 1, "x"}, {1, 2, "ab"}}));
    // Further input is ignored.
    EXPECT_FALSE(reader.feed(std::string_view("more"), collect));
    EXPECT_EQ(got.size(), 2u);
}

TEST(CsvReadTest, ByteOrderMark) {
    // Skipped at the start of the file, so it does not land in the first cell.
    EXPECT_EQ(readCsvText("\xEF\xBB\xBF"
                          "a,b",
                          ','),
              (Fields{{1, 1, "a"}, {1, 2, "b"}}));
    EXPECT_EQ(readCsvText("\xEF\xBB\xBF\"a\"", ','), (Fields{{1, 1, "a"}}));
    // Anywhere else, and a mark begun but not finished, are text.
    EXPECT_EQ(readCsvText("a,\xEF\xBB\xBF", ','), (Fields{{1, 1, "a"}, {1, 2, "\xEF\xBB\xBF"}}));
    EXPECT_EQ(readCsvText("\xEF\xBB"
                          "x,y",
                          ','),
              (Fields{{1, 1, "\xEF\xBBx"}, {1, 2, "y"}}));
    EXPECT_EQ(readCsvText("\xEF,y", ','), (Fields{{1, 1, "\xEF"}, {1, 2, "y"}}));
    EXPECT_EQ(readCsvText("\xEF\xBB", ','), (Fields{{1, 1, "\xEF\xBB"}}));
    EXPECT_EQ(readCsvText("\xEF\xBB\xBF\xEF\xBB\xBF", ','), (Fields{{1, 1, "\xEF\xBB\xBF"}}));
}

TEST(CsvReadTest, LongFieldsAreCutAtTheBuffer) {
    std::string longText(kMaxCsvFieldLength + 10, 'x');
    CsvReader reader(',');
    Fields got;
    auto collect = [&got](const CsvField& f) { got.push_back({f.row, f.column, std::string(f.text)}); };
    reader.feed(longText + ",\"" + longText + "\",z", collect);
    reader.finish(collect);
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].text, std::string(kMaxCsvFieldLength, 'x'));
    EXPECT_EQ(got[1].text, std::string(kMaxCsvFieldLength, 'x'));
    EXPECT_EQ(got[2], (ReadCsvField{1, 3, "z"}));
    EXPECT_EQ(reader.droppedBytes(), 20u);
    // Exactly the buffer's length is kept whole.
    std::string exact(kMaxCsvFieldLength, 'y');
    EXPECT_EQ(readCsvText(exact, ',')[0].text, exact);
}

TEST(CsvReadTest, PiecesOfAnySizeReadAlike) {
    const std::string text = "\xEF\xBB\xBF\"q\"\"x\",b\r\n\r\nc,\"d\ne\",\xEF\n\"f\"\r\n";
    const Fields whole = readCsvText(text, ',');
    ASSERT_EQ(
        whole,
        (Fields{{1, 1, "q\"x"}, {1, 2, "b"}, {3, 1, "c"}, {3, 2, "d\ne"}, {3, 3, "\xEF"}, {4, 1, "f"}}));
    for (size_t cut1 = 0; cut1 <= text.size(); ++cut1) {
        for (size_t cut2 = cut1; cut2 <= text.size(); cut2 += 3) {
            CsvReader reader(',');
            Fields got;
            auto collect = [&got](const CsvField& f) {
                got.push_back({f.row, f.column, std::string(f.text)});
            };
            reader.feed(std::string_view(text).substr(0, cut1), collect);
            reader.feed(std::string_view(text).substr(cut1, cut2 - cut1), collect);
            reader.feed(std::string_view(text).substr(cut2), collect);
            reader.finish(collect);
            ASSERT_EQ(got, whole) << cut1 << " " << cut2;
        }
    }
}

TEST(CsvNamesTest, Prefix) {
    EXPECT_EQ(csvPrefix("C:\\Data\\Budget.csv"), "C:\\Data\\Budget-");
    EXPECT_EQ(csvPrefix("C:\\Data\\Budget-Jan.csv"), "C:\\Data\\Budget-");
    EXPECT_EQ(csvPrefix("/data/Budget.CSV"), "/data/Budget-");
    EXPECT_EQ(csvPrefix("/data/A-B-C.csv"), "/data/A-B-");
    // A hyphen in a folder name is not the book's hyphen.
    EXPECT_EQ(csvPrefix("C:\\My-Data\\Budget.csv"), "C:\\My-Data\\Budget-");
    EXPECT_EQ(csvPrefix("/my-data/Budget.csv"), "/my-data/Budget-");
    EXPECT_EQ(csvPrefix("/my-data/Budget"), "/my-data/Budget");
    EXPECT_EQ(csvPrefix("Budget-x"), "Budget-");
}

TEST(CsvNamesTest, SheetFiles) {
    EXPECT_EQ(csvSheetFileName("/d/Budget-", "Jan"), "/d/Budget-Jan.csv");
    EXPECT_EQ(csvSheetFileName("/d/Budget-", "Data.XLS"), "/d/Budget-Data.csv");
    EXPECT_EQ(csvSheetFileName("/d/Budget-", "x.csv"), "/d/Budget-x.csv.csv");
    EXPECT_EQ(csvOneSheetFileName("/d/Budget-"), "/d/Budget.csv");
    EXPECT_EQ(csvSheetName("Budget-Jan.csv"), "Jan");
    EXPECT_EQ(csvSheetName("A-B-C.CSV"), "C");
    EXPECT_EQ(csvSheetName("Budget.csv"), "");
    EXPECT_EQ(csvSheetName("Budget-.csv"), ".csv");  // not longer than four characters
    EXPECT_EQ(csvSheetName("Budget-x"), "x");
}
