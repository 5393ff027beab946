// tabulo-addin/workbook_json.h - workbooks as JSON descriptions.
//
// A workbook file is a JSON object {"sheets": [...]} (docs/tabulo-addin.md
// gives every field). Texts are UTF-8 in the JSON and Windows-1252 bytes in
// the model (what the library's byte strings carry); characters that
// Windows-1252 lacks become '?'. Colours are "#RRGGBB" (or a COLORREF
// number), format flags "0x..." (or a number). Fields left out take the
// model's defaults.
//
// The linked workbook ends in ".xls": such a file holding JSON (its first
// character other than white space is "{") is read as JSON; any other
// content, such as the template workbook that linking copies in, is an empty
// workbook.
#pragma once

#include <string>
#include <string_view>

#include "workbook_model.h"

namespace tabulo {

std::string toUtf8(std::string_view ansi);
std::string toAnsi(std::string_view utf8);

// The JSON text of a workbook (indented, ending with a line feed).
std::string writeJson(const Book& book);
// Parses a JSON workbook; false with a message when the text is not one.
bool readJson(std::string_view text, Book& book, std::string& error);

// True when a file's bytes look like a JSON workbook.
bool looksLikeJson(std::string_view bytes);

}  // namespace tabulo
