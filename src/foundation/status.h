// foundation/status.h - status codes and the texts GetErrorText hands out.
//
// A status is a signed 16-bit value: zero and positive values are results,
// negative values errors (BF_ERR_* in include/brightfold.h). One table holds
// the texts of both libraries; the text library spells -12 correctly and adds
// -16, the workbook library keeps its historical texts ("maximmu",
// "authorizaton") because add-ins may compare against them.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "brightfold.h"

namespace foundation {

enum class ErrorTexts { Workbook, Text };

// The message for a status code, or nothing for a code without one.
std::optional<std::string_view> statusText(int code, ErrorTexts variant);

// GetErrorText: a null record gives 0; otherwise the record's text is freed
// and replaced with the message for its number (no string when there is none
// or the allocation fails). Always returns 0.
int16_t fillErrorText(TextRecord* record, ErrorTexts variant);

}  // namespace foundation
