#include "workbook/passwords.h"

#include <string>

#include "foundation/byteorder.h"
#include "platform/bstr.h"
#include "platform/files.h"
#include "platform/text.h"

namespace workbook {

namespace {

constexpr std::string_view kWorkbookEnding = ".xls";

}  // namespace

uint32_t HashPassword(std::string_view password, uint32_t start, ZeroHash zeroHash) {
    std::string text;
    text.reserve(password.size() + kPasswordSalt.size());
    text.append(password);
    text.append(kPasswordSalt);
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    uint32_t hash = start;
    for (size_t i = 0; i + 4 <= text.size(); i += 4) hash ^= foundation::loadBE32(bytes + i);
    if (hash == 0)  // the text always holds at least the four salt bytes
        hash = zeroHash == ZeroHash::BigEndian ? foundation::loadBE32(bytes) : foundation::loadLE32(bytes);
    return hash;
}

uint32_t exportPasswordHash(std::string_view password) {
    return password.empty() ? 0 : HashPassword(password, kExportHashStart, ZeroHash::BigEndian);
}

std::string bookNameFromPath(std::string_view path) {
    std::string_view name = platform::fileNamePart(path);
    if (platform::endsWithNoCase(name, kWorkbookEnding)) name.remove_suffix(kWorkbookEnding.size());
    return std::string(name);
}

int16_t PrepareExportTarget(const SheetRecord* record, ExportTarget& target) {
    if (!record) return BF_ERR_PARAMETER;
    target.exportBookName = bookNameFromPath(platform::byteStringText(record->sheetName));
    target.authorPasswordHash = exportPasswordHash(target.authorPassword);
    target.userPasswordHash = exportPasswordHash(target.userPassword);
    return 1;
}

int16_t CheckPasswd(const TextRecord* record, const BookHeader* openSheetHeader,
                    uint32_t& enteredPasswordHash) {
    if (!record) return BF_ERR_PARAMETER;
    if (!openSheetHeader) return BF_ERR_PROGRAM;
    if (openSheetHeader->authorPasswordHash != 0) return BF_ERR_AUTHORIZATION;
    if (openSheetHeader->openPasswordHash == 0) return 1;
    if (!record->text) return BF_ERR_PASSWORD;
    enteredPasswordHash =
        HashPassword(platform::byteStringText(record->text), kCheckHashStart, ZeroHash::LittleEndian);
    return enteredPasswordHash == openSheetHeader->openPasswordHash ? 1 : BF_ERR_PASSWORD;
}

}  // namespace workbook
