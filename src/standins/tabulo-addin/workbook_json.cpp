#include "workbook_json.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include <nlohmann/json.hpp>

namespace tabulo {

using json = nlohmann::ordered_json;

namespace {

// Windows-1252 bytes 0x80-0x9F; the five unassigned ones map to the C1
// controls of the same number, as the system's conversion does.
constexpr char32_t kHighControls[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                        0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                        0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                        0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

char ansiOf(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return char(c);
    for (size_t i = 0; i < 32; ++i)
        if (kHighControls[i] == c) return char(0x80 + i);
    return '?';
}

std::string hexFlags(uint32_t flags) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08X", flags);
    return buf;
}

std::string hexColor(uint32_t colorRef) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "#%02X%02X%02X", colorRef & 0xFF, (colorRef >> 8) & 0xFF,
                  (colorRef >> 16) & 0xFF);
    return buf;
}

json valueJson(double v) {
    if (std::isnan(v)) return "nan";
    if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
    return v;
}

// ---- Reading, with the path of the field in every message ---------------

struct Reader {
    std::string error;

    bool fail(const std::string& where, const std::string& what) {
        if (error.empty()) error = where + ": " + what;
        return false;
    }

    bool integer(const json& object, const char* key, const std::string& where, long long low, long long high,
                 int32_t& out) {
        auto it = object.find(key);
        if (it == object.end()) return true;
        if (!it->is_number_integer()) return fail(where + "." + key, "must be a whole number");
        long long v = it->get<long long>();
        if (v < low || v > high)
            return fail(where + "." + key,
                        "must be from " + std::to_string(low) + " to " + std::to_string(high));
        out = int32_t(v);
        return true;
    }

    // A place (row or column number) has no default.
    bool place(const json& object, const char* key, const std::string& where, long long high, int32_t& out) {
        if (object.find(key) == object.end()) return fail(where + "." + key, "is missing");
        return integer(object, key, where, 1, high, out);
    }

    bool byte(const json& value, const std::string& where, uint8_t& out) {
        if (!value.is_number_integer() || value.get<long long>() < 0 || value.get<long long>() > 255)
            return fail(where, "must be a number from 0 to 255");
        out = uint8_t(value.get<long long>());
        return true;
    }

    bool flags(const json& object, const char* key, const std::string& where, uint32_t& out) {
        auto it = object.find(key);
        if (it == object.end()) return true;
        if (it->is_number_integer()) {
            long long v = it->get<long long>();
            if (v < INT32_MIN || v > static_cast<long long>(UINT32_MAX))
                return fail(where + "." + key, "is out of range");
            out = uint32_t(v);
            return true;
        }
        if (it->is_string()) {
            const std::string& s = it->get_ref<const std::string&>();
            bool hex = s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
            unsigned long long v = 0;
            size_t digits = 0;
            for (size_t i = hex ? 2 : 0; i < s.size(); ++i, ++digits) {
                char c = s[i];
                int d = c >= '0' && c <= '9'          ? c - '0'
                        : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                      : -1;
                if (d < 0)
                    return fail(where + "." + key, "must be a number or \"0x\" and hexadecimal digits");
                v = v * (hex ? 16 : 10) + unsigned(d);
                if (v > UINT32_MAX) return fail(where + "." + key, "is out of range");
            }
            if (digits == 0) return fail(where + "." + key, "has no digits");
            out = uint32_t(v);
            return true;
        }
        return fail(where + "." + key, "must be a number or a \"0x...\" text");
    }

    bool color(const json& object, const char* key, const std::string& where, uint32_t& out) {
        auto it = object.find(key);
        if (it == object.end()) return true;
        if (it->is_number_integer()) {
            long long v = it->get<long long>();
            if (v < 0 || v > 0xFFFFFF)
                return fail(where + "." + key, "must be a COLORREF from 0 to 0xFFFFFF");
            out = uint32_t(v);
            return true;
        }
        if (it->is_string()) {
            const std::string& s = it->get_ref<const std::string&>();
            if (s.size() == 7 && s[0] == '#') {
                uint32_t rgb = 0;
                bool ok = true;
                for (size_t i = 1; i < 7; ++i) {
                    char c = s[i];
                    int d = c >= '0' && c <= '9'   ? c - '0'
                            : c >= 'a' && c <= 'f' ? c - 'a' + 10
                            : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                   : -1;
                    if (d < 0) ok = false;
                    rgb = rgb * 16 + uint32_t(d < 0 ? 0 : d);
                }
                if (ok) {
                    out = ((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16);
                    return true;
                }
            }
        }
        return fail(where + "." + key, "must be \"#RRGGBB\" or a COLORREF number");
    }

    bool text(const json& object, const char* key, const std::string& where, std::string& out) {
        auto it = object.find(key);
        if (it == object.end()) return true;
        if (!it->is_string()) return fail(where + "." + key, "must be a text");
        out = toAnsi(it->get_ref<const std::string&>());
        return true;
    }

    bool number(const json& object, const char* key, const std::string& where, double& out) {
        auto it = object.find(key);
        if (it == object.end()) return true;
        if (it->is_number()) {
            out = it->get<double>();
            return true;
        }
        if (it->is_string()) {
            const std::string& s = it->get_ref<const std::string&>();
            if (s == "nan")
                out = std::numeric_limits<double>::quiet_NaN();
            else if (s == "inf")
                out = std::numeric_limits<double>::infinity();
            else if (s == "-inf")
                out = -std::numeric_limits<double>::infinity();
            else
                return fail(where + "." + key, "must be a number, \"nan\", \"inf\" or \"-inf\"");
            return true;
        }
        return fail(where + "." + key, "must be a number");
    }

    bool chartBytes(const json& object, const std::string& where, uint8_t& a, uint8_t& b) {
        auto it = object.find("chartBytes");
        if (it == object.end()) return true;
        if (!it->is_array() || it->size() != 2)
            return fail(where + ".chartBytes", "must be a list of two numbers");
        return byte((*it)[0], where + ".chartBytes[0]", a) && byte((*it)[1], where + ".chartBytes[1]", b);
    }

    const json* list(const json& object, const char* key, const std::string& where) {
        auto it = object.find(key);
        if (it == object.end()) return nullptr;
        if (!it->is_array()) {
            fail(where + "." + key, "must be a list");
            return nullptr;
        }
        return &*it;
    }

    bool object(const json& value, const std::string& where) {
        return value.is_object() || fail(where, "must be an object");
    }

    bool readSheet(const json& js, const std::string& where, SheetData& sheet);
};

constexpr long long kInt16Min = -32768, kInt16Max = 32767;
// A column above the last one would close the sheet; rows end at 9999.
constexpr long long kLastRow = kMaxRow, kLastColumn = kMaxColumn;

bool Reader::readSheet(const json& js, const std::string& where, SheetData& sheet) {
    if (!object(js, where)) return false;
    if (!text(js, "name", where, sheet.name) || !flags(js, "formatFlags", where, sheet.formatFlags) ||
        !integer(js, "defaultColumnWidth", where, kInt16Min, kInt16Max, sheet.defaultColumnWidth) ||
        !integer(js, "defaultRowHeight", where, kInt16Min, kInt16Max, sheet.defaultRowHeight) ||
        !flags(js, "options", where, sheet.options) ||
        !integer(js, "fontSize", where, kInt16Min, kInt16Max, sheet.fontSize) ||
        !integer(js, "defaultFontSize", where, kInt16Min, kInt16Max, sheet.defaultFontSize) ||
        !integer(js, "deviceClass", where, kInt16Min, kInt16Max, sheet.deviceClass) ||
        !text(js, "currency", where, sheet.currency))
        return false;
    int32_t bookFlags = sheet.bookFlags;
    if (!integer(js, "bookFlags", where, 0, 255, bookFlags)) return false;
    sheet.bookFlags = uint8_t(bookFlags);
    if (auto it = js.find("settings"); it != js.end()) {
        if (!it->is_array() || it->size() != 6)
            return fail(where + ".settings", "must be a list of six numbers");
        for (size_t i = 0; i < 6; ++i) {
            const json& v = (*it)[i];
            if (!v.is_number_integer() || v.get<long long>() < INT32_MIN || v.get<long long>() > INT32_MAX)
                return fail(where + ".settings[" + std::to_string(i) + "]", "must be a 32-bit whole number");
            sheet.settings[i] = int32_t(v.get<long long>());
        }
    }
    if (auto it = js.find("colors"); it != js.end()) {
        if (!it->is_array() || it->size() != 2)
            return fail(where + ".colors", "must be a list of two colours");
        json pair = {{"0", (*it)[0]}, {"1", (*it)[1]}};
        if (!color(pair, "0", where + ".colors", sheet.color1) ||
            !color(pair, "1", where + ".colors", sheet.color2))
            return false;
    }

    if (const json* rows = list(js, "rows", where)) {
        for (size_t i = 0; i < rows->size(); ++i) {
            std::string at = where + ".rows[" + std::to_string(i) + "]";
            RowData row;
            const json& r = (*rows)[i];
            if (!object(r, at) || !place(r, "row", at, kLastRow, row.row) ||
                !integer(r, "height", at, kInt16Min, kInt16Max, row.height))
                return false;
            sheet.rows.push_back(row);
        }
    }
    if (const json* columns = list(js, "columns", where)) {
        for (size_t i = 0; i < columns->size(); ++i) {
            std::string at = where + ".columns[" + std::to_string(i) + "]";
            ColumnData column;
            const json& c = (*columns)[i];
            if (!object(c, at) || !place(c, "column", at, kLastColumn, column.column) ||
                !integer(c, "width", at, kInt16Min, kInt16Max, column.width) ||
                !flags(c, "formatFlags", at, column.formatFlags) ||
                !color(c, "textColor", at, column.textColor) ||
                !color(c, "backgroundColor", at, column.backColor) ||
                !integer(c, "fontSize", at, kInt16Min, kInt16Max, column.fontSize) ||
                !text(c, "currency", at, column.currency))
                return false;
            sheet.columns.push_back(std::move(column));
        }
    }
    if (const json* cells = list(js, "cells", where)) {
        sheet.cells.reserve(cells->size());
        for (size_t i = 0; i < cells->size(); ++i) {
            std::string at = where + ".cells[" + std::to_string(i) + "]";
            CellData cell;
            const json& c = (*cells)[i];
            if (!object(c, at) || !place(c, "row", at, kLastRow, cell.row) ||
                !place(c, "column", at, kLastColumn, cell.column) || !text(c, "text", at, cell.text) ||
                !number(c, "value", at, cell.value) || !flags(c, "formatFlags", at, cell.formatFlags) ||
                !color(c, "textColor", at, cell.textColor) ||
                !color(c, "backgroundColor", at, cell.backColor) ||
                !integer(c, "fontSize", at, kInt16Min, kInt16Max, cell.fontSize) ||
                !text(c, "currency", at, cell.currency) ||
                !chartBytes(c, at, cell.chartByteA, cell.chartByteB))
                return false;
            sheet.cells.push_back(std::move(cell));
        }
    }
    if (const json* charts = list(js, "charts", where)) {
        for (size_t i = 0; i < charts->size(); ++i) {
            std::string at = where + ".charts[" + std::to_string(i) + "]";
            ChartData chart;
            const json& c = (*charts)[i];
            if (!object(c, at) || !place(c, "column", at, kLastColumn, chart.column) ||
                !text(c, "item", at, chart.item) || !flags(c, "formatFlags", at, chart.formatFlags) ||
                !chartBytes(c, at, chart.chartByteA, chart.chartByteB))
                return false;
            if (const json* series = list(c, "series", at)) {
                for (size_t k = 0; k < series->size(); ++k) {
                    if (!(*series)[k].is_string())
                        return fail(at + ".series[" + std::to_string(k) + "]", "must be a text");
                    chart.series.push_back(toAnsi((*series)[k].get_ref<const std::string&>()));
                }
            }
            sheet.charts.push_back(std::move(chart));
        }
    }
    return error.empty();
}

json sheetJson(const SheetData& sheet) {
    json js = json::object();
    js["name"] = toUtf8(sheet.name);
    js["formatFlags"] = hexFlags(sheet.formatFlags);
    js["defaultColumnWidth"] = sheet.defaultColumnWidth;
    js["defaultRowHeight"] = sheet.defaultRowHeight;
    js["settings"] = sheet.settings;
    js["options"] = hexFlags(sheet.options);
    js["fontSize"] = sheet.fontSize;
    js["defaultFontSize"] = sheet.defaultFontSize;
    if (sheet.bookFlags) js["bookFlags"] = sheet.bookFlags;
    if (sheet.deviceClass) js["deviceClass"] = sheet.deviceClass;
    js["colors"] = {hexColor(sheet.color1), hexColor(sheet.color2)};
    if (!sheet.currency.empty()) js["currency"] = toUtf8(sheet.currency);

    json rows = json::array();
    for (const RowData& r : sheet.rows) rows.push_back({{"row", r.row}, {"height", r.height}});
    js["rows"] = std::move(rows);

    json columns = json::array();
    for (const ColumnData& c : sheet.columns) {
        json col = {{"column", c.column}, {"width", c.width}, {"formatFlags", hexFlags(c.formatFlags)}};
        if (c.textColor != kBlack) col["textColor"] = hexColor(c.textColor);
        if (c.backColor != kWhite) col["backgroundColor"] = hexColor(c.backColor);
        if (c.fontSize) col["fontSize"] = c.fontSize;
        if (!c.currency.empty()) col["currency"] = toUtf8(c.currency);
        columns.push_back(std::move(col));
    }
    js["columns"] = std::move(columns);

    json cells = json::array();
    for (const CellData& c : sheet.cells) {
        json cell = {{"row", c.row}, {"column", c.column}, {"text", toUtf8(c.text)}};
        if (c.value != 0 || std::signbit(c.value) || std::isnan(c.value)) cell["value"] = valueJson(c.value);
        if (c.formatFlags) cell["formatFlags"] = hexFlags(c.formatFlags);
        if (c.textColor != kBlack) cell["textColor"] = hexColor(c.textColor);
        if (c.backColor != kWhite) cell["backgroundColor"] = hexColor(c.backColor);
        if (c.fontSize) cell["fontSize"] = c.fontSize;
        if (!c.currency.empty()) cell["currency"] = toUtf8(c.currency);
        if (c.chartByteA || c.chartByteB) cell["chartBytes"] = {c.chartByteA, c.chartByteB};
        cells.push_back(std::move(cell));
    }
    js["cells"] = std::move(cells);

    json charts = json::array();
    for (const ChartData& c : sheet.charts) {
        json series = json::array();
        for (const std::string& s : c.series) series.push_back(toUtf8(s));
        json chart = {{"column", c.column}, {"item", toUtf8(c.item)}, {"series", std::move(series)}};
        if (c.formatFlags) chart["formatFlags"] = hexFlags(c.formatFlags);
        if (c.chartByteA || c.chartByteB) chart["chartBytes"] = {c.chartByteA, c.chartByteB};
        charts.push_back(std::move(chart));
    }
    js["charts"] = std::move(charts);
    return js;
}

}  // namespace

std::string toUtf8(std::string_view ansi) {
    std::string out;
    out.reserve(ansi.size());
    for (char ch : ansi) {
        unsigned char b = static_cast<unsigned char>(ch);
        appendUtf8(out, b >= 0x80 && b <= 0x9F ? kHighControls[b - 0x80] : char32_t(b));
    }
    return out;
}

std::string toAnsi(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        unsigned char b = static_cast<unsigned char>(utf8[i]);
        size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > utf8.size()) {
            out += '?';
            ++i;
            continue;
        }
        char32_t c = length == 1 ? b : b & (0x7F >> length);
        bool valid = true;
        for (size_t k = 1; k < length; ++k) {
            unsigned char next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) valid = false;
            c = (c << 6) | (next & 0x3F);
        }
        if (!valid) {
            out += '?';
            ++i;
            continue;
        }
        out += ansiOf(c);
        i += length;
    }
    return out;
}

std::string writeJson(const Book& book) {
    json sheets = json::array();
    for (const SheetData& sheet : book.sheets) sheets.push_back(sheetJson(sheet));
    json root = {{"sheets", std::move(sheets)}};
    return root.dump(2) + "\n";
}

bool readJson(std::string_view text, Book& book, std::string& error) {
    json root = json::parse(text.begin(), text.end(), nullptr, false);
    if (root.is_discarded()) {
        error = "not a JSON text";
        return false;
    }
    Reader reader;
    if (!reader.object(root, "workbook")) {
        error = reader.error;
        return false;
    }
    Book parsed;
    if (const json* sheets = reader.list(root, "sheets", "workbook")) {
        for (size_t i = 0; i < sheets->size(); ++i) {
            SheetData sheet;
            if (!reader.readSheet((*sheets)[i], "sheets[" + std::to_string(i) + "]", sheet)) break;
            parsed.sheets.push_back(std::move(sheet));
        }
    }
    if (!reader.error.empty()) {
        error = reader.error;
        return false;
    }
    book = std::move(parsed);
    return true;
}

bool looksLikeJson(std::string_view bytes) {
    size_t i = bytes.find_first_not_of(" \t\r\n");
    return i != std::string_view::npos && bytes[i] == '{';
}

std::string currencyForExport(const std::string& spreadsheetText) {
    if (spreadsheetText.size() >= 3 && spreadsheetText.compare(0, 2, "[$") == 0 &&
        spreadsheetText.back() == ']')
        return spreadsheetText.substr(2, spreadsheetText.size() - 3);
    return spreadsheetText;
}

}  // namespace tabulo
