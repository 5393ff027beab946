// A CSV book of about 5 MB (eight sheets of 4,000 rows by 8 columns) sent to
// the handheld (CsvToHandheld: read, SetSheetName, SetCellInfo, sheet
// databases written into Install) and brought back (HandheldToCsv:
// GetSheetName, GetCellInfo, CSV files written), in MB/s of CSV text.
// Beside them, in the same run: the CSV reader alone on the same bytes in
// memory, and a plain reference - Python's csv module reading the same files
// (timed inside Python; skipped when python3 is missing).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/bstr.h"
#include "support/sandbox.h"
#include "syncmgr/csv_conversion.h"
#include "syncmgr/gridlink_state.h"
#include "workbook/book_lister.h"
#include "workbook/csv_format.h"

namespace {

constexpr int kSheets = 8;
constexpr int kRows = 4000;
constexpr int kColumns = 8;

std::string sheetText(int sheet) {
    std::string text;
    for (int r = 1; r <= kRows; ++r) {
        for (int c = 1; c <= kColumns; ++c) {
            if (c > 1) text += ',';
            const int n = sheet * 100000 + r * 10 + c;
            switch (c % 4) {
                case 1:
                    text += "Item " + std::to_string(n) + " of sheet " + std::to_string(sheet);
                    break;
                case 2:
                    text += std::to_string(n) + "." + std::to_string(n % 100);
                    break;
                case 3:
                    text += "\"Quoted, with \"\"quotes\"\" " + std::to_string(n) + "\"";
                    break;
                default:
                    text += "=SUM(A" + std::to_string(r) + ":C" + std::to_string(r) + ")";
                    break;
            }
        }
        text += "\r\n";
    }
    return text;
}

struct Book {
    testsupport::Sandbox box;
    int user = box.addUser("Ann", "101");
    std::string sheets = box.dir.makeDir("Sheets");
    std::string back = box.dir.makeDir("Back");
    std::vector<std::string> files;
    std::string allText;
    syncmgr::GridlinkState state;

    Book() {
        for (int s = 1; s <= kSheets; ++s) {
            std::string text = sheetText(s);
            files.push_back(sheets + "/Budget-S" + std::to_string(s) + ".csv");
            testsupport::writeFile(files.back(), text);
            allText += text;
        }
        testsupport::writeFile(box.registryFile(),
                               "0\r\n[Ann]\r\nenabled=10\r\nBudget=0,0,0,0,0,-1?" + files[0] + "\r\n");
        state.registry.RefreshLinkRegistry(foundation::kLockModeDesktop, foundation::SaveFirst::No);
    }
};

Book& book() {
    static auto b = std::make_unique<Book>();
    return *b;
}

void BM_CsvToHandheld(benchmark::State& state) {
    Book& b = book();
    for (auto _ : state) {
        b.state.registry.findLink(b.user, "Budget")->csvSyncTime = {};  // every file is new again
        benchmark::DoNotOptimize(syncmgr::CsvToHandheld(b.state, b.user));
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(b.allText.size()));
    state.counters["book_bytes"] = double(b.allText.size());
    state.counters["sheets"] =
        double(std::distance(std::filesystem::directory_iterator(b.box.install(b.user)), {}));
}
BENCHMARK(BM_CsvToHandheld)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_HandheldToCsv(benchmark::State& state) {
    Book& b = book();
    // The databases of the first benchmark (or a fresh conversion) in Backup.
    b.state.registry.findLink(b.user, "Budget")->csvSyncTime = {};
    syncmgr::CsvToHandheld(b.state, b.user);
    for (const auto& e : std::filesystem::directory_iterator(b.box.install(b.user)))
        std::filesystem::copy_file(e.path(), b.box.backup(b.user) / e.path().filename(),
                                   std::filesystem::copy_options::overwrite_existing);
    TextRecord list{};
    list.number = workbook::kListSheetDatabases;
    platform::replaceByteString(list.text, b.box.backup(b.user) + "/Budget");
    std::string lastListed;
    workbook::ListBookFiles(&list, nullptr, lastListed);
    b.state.options.importUser = b.user;
    b.state.inHotSync = true;  // as during HS_Notify: no registry refresh at the end of the book
    for (auto _ : state) {
        platform::FileTime time = 0;
        benchmark::DoNotOptimize(syncmgr::HandheldToCsv(b.state, &list, b.back + "/Budget.csv", time));
    }
    b.state.inHotSync = false;
    platform::clearByteString(list.text);
    uint64_t written = 0;
    for (const auto& e : std::filesystem::directory_iterator(b.back)) written += e.file_size();
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(written));
    state.counters["csv_bytes"] = double(written);
}
BENCHMARK(BM_HandheldToCsv)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CsvReaderInMemory(benchmark::State& state) {
    Book& b = book();
    size_t fields = 0;
    for (auto _ : state) {
        workbook::CsvReader reader(',');
        fields = 0;
        auto count = [&fields](const workbook::CsvField&) { ++fields; };
        reader.feed(b.allText, count);
        reader.finish(count);
        benchmark::DoNotOptimize(fields);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(b.allText.size()));
    state.counters["fields"] = double(fields);
}
BENCHMARK(BM_CsvReaderInMemory)->Unit(benchmark::kMillisecond)->UseRealTime();

// Python's csv module reading the same files; the time is measured inside
// Python around the reading only (interpreter start-up excluded).
void BM_PythonCsvModule(benchmark::State& state) {
    Book& b = book();
    if (std::system("python3 -c pass >/dev/null 2>&1") != 0) {
        state.SkipWithError("python3 not found");
        return;
    }
    std::string command =
        "python3 -c 'import csv,sys,time\n"
        "t=time.perf_counter();n=0\n"
        "for p in sys.argv[1:]:\n"
        " with open(p,newline=\"\",encoding=\"latin-1\") as f:\n"
        "  for row in csv.reader(f): n+=len(row)\n"
        "print(time.perf_counter()-t, n)'";
    for (const std::string& f : b.files) command += " '" + f + "'";
    for (auto _ : state) {
        FILE* p = popen(command.c_str(), "r");
        double seconds = 0;
        long fields = 0;
        if (!p || std::fscanf(p, "%lf %ld", &seconds, &fields) != 2) {
            if (p) pclose(p);
            state.SkipWithError("python3 csv reading failed");
            return;
        }
        pclose(p);
        state.SetIterationTime(seconds);
        state.counters["fields"] = double(fields);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(b.allText.size()));
}
BENCHMARK(BM_PythonCsvModule)->Unit(benchmark::kMillisecond)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
