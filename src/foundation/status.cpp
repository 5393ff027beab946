#include "foundation/status.h"

#include <array>

#include "platform/bstr.h"

namespace foundation {

namespace {

struct StatusRow {
    int code;
    std::string_view workbook;  // gridlink's text
    std::string_view text;      // textlink's text (empty: same as gridlink's)
};

constexpr std::array<StatusRow, 16> kStatusTable{{
    {BF_ERR_PARAMETER, "Program error, required parameter missing.", {}},
    {BF_ERR_OPEN, "Can not open input file.", {}},
    {BF_ERR_MEMORY, "Not enough memory to complete operation.", {}},
    {BF_ERR_SHEET_NAME, "Program error, invalid worksheet name.", {}},
    {BF_ERR_CORRUPT, "Corrupted or old version DB.", {}},
    {BF_EOF, "EOF, no more cells.", {}},
    {BF_ERR_ROW, "Program error, invalid row number.", {}},
    {BF_ERR_COLUMN, "Program error, invalid column number.", {}},
    {BF_ERR_WRITE, "Can not write output file.", {}},
    {BF_ERR_USER, "Invalid user name.", {}},
    {BF_ERR_AUTHORIZATION, "Can not open input file, authorizaton error.", {}},
    {BF_ERR_TOO_MANY_CELLS, "Number of cells exceeds maximmu 32K.", "Number of cells exceeds maximum 32K."},
    {BF_ERR_PASSWORD, "Can not open input file, invalid password.", {}},
    {BF_ERR_PROGRAM, "Program error.", {}},
    {BF_ERR_PATH, "Invalid path to a file or folder.", {}},
    {BF_ERR_CANCELLED, {}, "Operation cancelled."},
}};

}  // namespace

std::optional<std::string_view> statusText(int code, ErrorTexts variant) {
    for (const StatusRow& row : kStatusTable) {
        if (row.code != code) continue;
        std::string_view s = variant == ErrorTexts::Text && !row.text.empty() ? row.text : row.workbook;
        if (s.empty()) return std::nullopt;
        return s;
    }
    return std::nullopt;
}

int16_t fillErrorText(TextRecord* record, ErrorTexts variant) {
    if (!record) return 0;
    platform::clearByteString(record->text);
    if (auto text = statusText(record->number, variant)) record->text = platform::allocByteString(*text);
    return 0;
}

}  // namespace foundation
