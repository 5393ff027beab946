#include "foundation/link_file.h"

#include <cstdint>
#include <optional>

#include "platform/files.h"
#include "platform/text.h"

namespace foundation {

LinkFileText::LinkFileText(std::string content) : content_(std::move(content)) {
    std::string_view all(content_);
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find('\n', start);
        size_t next = end == std::string_view::npos ? all.size() : end + 1;
        if (end == std::string_view::npos) end = all.size();
        std::string_view line = all.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        // A line ends at a NUL byte, as a C string read from the file does.
        line = line.substr(0, line.find('\0'));
        if (!line.empty() && line.front() == '[') sectionStarts_.push_back(lines_.size());
        lines_.push_back({start, line.size()});
        start = next;
    }
}

std::vector<std::string_view> LinkFileText::section(std::string_view userName) const {
    std::vector<std::string_view> out;
    for (size_t i = 0; i < sectionStarts_.size(); ++i) {
        std::string_view header = line(sectionStarts_[i]);
        if (header.size() < userName.size() + 2 || header.substr(1, userName.size()) != userName ||
            header[userName.size() + 1] != ']')
            continue;
        size_t end = i + 1 < sectionStarts_.size() ? sectionStarts_[i + 1] : lines_.size();
        for (size_t l = sectionStarts_[i] + 1; l < end; ++l)
            if (lines_[l].length != 0) out.push_back(line(l));
        break;
    }
    return out;
}

bool readLinkFile(const std::string& path, LinkFileText& text) {
    if (!platform::fileExists(path)) {
        text = LinkFileText();
        return true;
    }
    std::vector<uint8_t> bytes;
    if (!platform::readWholeFile(path, bytes)) {
        text = LinkFileText();
        return false;
    }
    text = LinkFileText(std::string(bytes.begin(), bytes.end()));
    return true;
}

std::string toDiskText(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

bool writeLinkFile(const std::string& path, std::string_view text) {
    std::string out = toDiskText(text);
    return platform::writeFileAtomically(path, out.data(), out.size());
}

bool parseInt32(std::string_view field, int32_t& value) {
    constexpr platform::DecimalRules kFieldRules{.skipBlanks = true, .minus = true, .plus = true};
    const std::optional<uint64_t> v = platform::parseDecimal(field, kFieldRules);
    if (!v) return false;
    value = int32_t(uint32_t(*v));
    return true;
}

}  // namespace foundation
