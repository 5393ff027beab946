// Messages built from a format of the system's texts.
#pragma once

#include <string>
#include <string_view>

namespace foundation {

// Fills a message format: each "%s" takes the text, each "%d" the number in
// decimal. The format is read once, so a "%s" or "%d" inside the text (a
// path) stays as it is; any other '%' is copied.
std::string fillMessage(std::string_view format, std::string_view text, int number = 0);

}  // namespace foundation
