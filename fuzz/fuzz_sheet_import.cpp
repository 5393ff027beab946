// A sheet database as it may lie in a Backup folder: any bytes. The first
// input byte chooses the import settings (device class, high resolution,
// font mapping, a password to try, walk states to inject); the rest is the
// file. It is opened with GetSheetName through a book list, as the add-in
// does, then walked with GetCellInfo to its end. Every read must stay in
// bounds and every walk must end.
#include <sys/types.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "foundation/link_registry.h"
#include "platform/bstr.h"
#include "platform/files.h"
#include "workbook/sheet_import.h"

using namespace workbook;

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

// A folder of this process for the file under test, removed at exit.
struct Scratch {
    std::string folder;
    Scratch() {
        auto path =
            std::filesystem::temp_directory_path() / ("fuzz_sheet_import." + std::to_string(getpid()));
        std::filesystem::create_directories(path);
        folder = path.string();
    }
    ~Scratch() {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
};

const std::string& scratchFolder() {
    static const Scratch scratch;
    return scratch.folder;
}

void freeStrings(SheetRecord& sheet, CellRecord& cell) {
    platform::clearByteString(sheet.sheetName);
    platform::clearByteString(sheet.currencyText);
    platform::clearByteString(cell.text);
    platform::clearByteString(cell.currencyText);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t settings = data[0];
    const std::string path = platform::joinPath(scratchFolder(), "Book-Sheet.pdb");
    {
        auto file = platform::File::open(path, platform::File::Mode::CreateTruncate);
        if (!file || !file->write(data + 1, size - 1)) return 0;
    }

    foundation::LinkRegistry registry(foundation::Product{"Tabulo"}, "TBRegistry.dat");
    foundation::UserEntry user;
    user.deviceClass = settings & 0x03;
    registry.userList.push_back(user);
    registry.highResolution = (settings >> 2) & 1;
    TransferOptions options;
    options.fontMapping = (settings >> 3) & 0x03;
    TransferContext context{registry, options};

    struct BookEnds : SheetImportOwner {
        int calls = 0;
        void atBookEnd() override { ++calls; }
    } ends;
    SheetImport import(&ends);
    import.lastListedBook = "book-sheet";  // the usual name; any database name may match

    std::string list = platform::joinPath(scratchFolder(), "Book");
    list += '\0';
    list += "Book-Sheet.pdb";
    list += '\0';
    TextRecord listRecord{};
    listRecord.number = 1;
    listRecord.text = platform::allocByteString(list);

    SheetRecord sheet{};
    sheet.sheetNumber = 1;
    sheet.defaultFontSize = int16_t(settings >> 5);
    CellRecord cell{};
    int16_t opened = import.GetSheetName(context, &sheet, &listRecord);
    if (opened == BF_ERR_PASSWORD || opened == BF_ERR_AUTHORIZATION) {
        // The password that matches a hash whose little-endian fallback is
        // the salt's, and one that does not.
        TextRecord password{};
        password.text = platform::allocByteString((settings & 0x80) ? "Qmvr" : "x");
        require(import.CheckPasswd(&password) != 0);
        platform::clearByteString(password.text);
    }

    // A walk visits every record at most once: bound it by their count.
    const size_t bound = 70000 + 300;
    size_t calls = 0;
    for (;;) {
        int16_t rc = import.GetCellInfo(context, &cell);
        require(++calls < bound);
        if (rc == BF_EOF || rc == BF_ERR_PASSWORD || rc == BF_ERR_AUTHORIZATION) break;
        // A -14 for the state itself would repeat; -5 and chart -14 move on.
        if (rc == BF_ERR_PROGRAM && !import.sheetOpen()) break;
        if (rc != 0 && rc != BF_ERR_CORRUPT && rc != BF_ERR_PROGRAM) std::abort();
        if (rc == 0) {
            require(cell.result == 0);
            require(cell.column >= 0 && cell.column <= int32_t(kMaxColumn));
            require(platform::byteStringView(cell.text).size() <= kMaxRecordTextLength);
        }
    }
    require(ends.calls <= 1);

    // Walk states a careless caller may pass, taken from the input.
    for (size_t i = 1; i + 4 <= size && i < 1 + 4 * 8; i += 4) {
        cell.walkState = int32_t(uint32_t(data[i]) | uint32_t(data[i + 1]) << 8 |
                                 uint32_t(data[i + 2]) << 16 | uint32_t(data[i + 3]) << 24);
        import.GetCellInfo(context, &cell);
    }

    freeStrings(sheet, cell);
    platform::clearByteString(listRecord.text);
    import.release();
    return 0;
}
