#include "foundation/message_text.h"

namespace foundation {

std::string fillMessage(std::string_view format, std::string_view text, int number) {
    std::string out;
    for (size_t i = 0; i < format.size(); ++i) {
        char next = i + 1 < format.size() ? format[i + 1] : '\0';
        if (format[i] == '%' && next == 's') {
            out += text;
            ++i;
        } else if (format[i] == '%' && next == 'd') {
            out += std::to_string(number);
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

}  // namespace foundation
